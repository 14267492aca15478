#include "support/string_list.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace tessaline {
namespace {

// Counts its own destruction.
class Counted : public TObject {
 public:
  explicit Counted(int* freed) : freed_(freed) {}
  ~Counted() override { ++*freed_; }

 private:
  int* freed_;
};

TEST(StringListTest, LookupsIgnoreCaseAndFindTheFirstMatch) {
  TStringList list;
  list.Add("no separator");
  list.Add("Name=first");
  list.Add("NAME=second");
  list.Add("Привет=hello");
  list.Add("=empty name");
  EXPECT_EQ(list.IndexOf("NO SEPARATOR"), 0);
  EXPECT_EQ(list.IndexOf("no"), -1);
  EXPECT_EQ(list.IndexOfName("name"), 1);
  EXPECT_EQ(list.IndexOfName("ПРИВЕТ"), 3);
  EXPECT_EQ(list.IndexOfName("no separator"), -1);  // lines without "=" have no name
  EXPECT_EQ(list.IndexOfName(""), 4);
  EXPECT_EQ(list.IndexOfName("missing"), -1);
}

TEST(StringListTest, NameLookupsFollowEditsAndDeletes) {
  TStringList list;
  list.Add("a=1");
  list.Add("b=2");
  list.Add("A=3");
  EXPECT_EQ(list.IndexOfName("a"), 0);
  list.Delete(0);
  EXPECT_EQ(list.IndexOfName("a"), 1);
  EXPECT_EQ(list.IndexOfName("b"), 0);
  list.SetValue("b", "");
  EXPECT_EQ(list.IndexOfName("b"), -1);
  EXPECT_EQ(list.IndexOfName("A"), 0);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.IndexOfName("c"), -1);
  list.Add("c=5");
  EXPECT_EQ(list.IndexOfName("C"), 0);
}

TEST(StringListTest, SetValueReplacesAppendsOrRemoves) {
  TStringList list;
  list.SetValue("Save", "Speichern");
  list.SetValue("Open", "Öffnen");
  list.SetValue("SAVE", "Sichern");  // replaced in place, under the new spelling
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Strings(0), "SAVE=Sichern");
  EXPECT_EQ(list.IndexOfName("save"), 0);
  list.SetValue("save", "");  // removed
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Strings(0), "Open=Öffnen");
  list.SetValue("absent", "");  // nothing to remove, nothing added
  EXPECT_EQ(list.Count(), 1);
  list.SetValue("k", "v=w");
  EXPECT_EQ(list.Strings(list.IndexOfName("K")), "k=v=w");
}

TEST(StringListTest, OwningListsFreeTheirObjects) {
  int freed = 0;
  {
    TStringList owning(/*owns_objects=*/true);
    owning.AddObject("a", new Counted(&freed));
    owning.AddObject("b", new Counted(&freed));
    owning.AddObject("c", new Counted(&freed));
    owning.Delete(1);
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(owning.Strings(1), "c");
  }
  EXPECT_EQ(freed, 3);

  Counted kept(&freed);
  {
    TStringList referring;
    referring.AddObject("x", &kept);
    EXPECT_EQ(referring.Objects(0), &kept);
    referring.Clear();
  }
  EXPECT_EQ(freed, 3);
}

TEST(StringListTest, BadIndexesThrow) {
  TStringList list;
  list.Add("only");
  EXPECT_THROW(list.Strings(1), std::out_of_range);
  EXPECT_THROW(list.Objects(-1), std::out_of_range);
  EXPECT_THROW(list.Delete(5), std::out_of_range);
  EXPECT_EQ(list.Count(), 1);
}

}  // namespace
}  // namespace tessaline
