#include "support/object.h"

#include <gtest/gtest.h>

#include <string>

namespace tessaline {
namespace {

class TAnimal : public TComponent {
 public:
  TESSALINE_CLASS(TAnimal, TComponent)
};
class TUndeclared : public TAnimal {};

TEST(ObjectTest, ObjectsKnowTheirClassAndItsAncestors) {
  TAnimal animal;
  TUndeclared undeclared;
  EXPECT_EQ(animal.ClassName(), "TAnimal");
  EXPECT_EQ(undeclared.ClassName(), "TAnimal");  // the nearest declared ancestor
  EXPECT_TRUE(TAnimal::StaticClass().InheritsFrom(TObject::StaticClass()));
  EXPECT_TRUE(TAnimal::StaticClass().InheritsFrom(TAnimal::StaticClass()));
  EXPECT_FALSE(TComponent::StaticClass().InheritsFrom(TAnimal::StaticClass()));
  EXPECT_EQ(TObject::StaticClass().parent, nullptr);
}

TEST(ObjectTest, VariantTexts) {
  const struct {
    Variant value;
    std::string text;
  } rows[] = {
      {Variant(), ""},
      {Variant::Null(), ""},
      {Variant(true), "True"},
      {Variant(false), "False"},
      {Variant(-7), "-7"},
      {Variant(std::int64_t{1} << 40), "1099511627776"},
      {Variant(0.1), "0.1"},
      {Variant(1.0 / 3.0), "0.333333333333333"},
      {Variant("Kestrel"), "Kestrel"},
  };
  for (const auto& row : rows) EXPECT_EQ(row.value.ToText(), row.text);
  EXPECT_TRUE(Variant().IsUnassigned());
  EXPECT_TRUE(Variant::Null().IsNull());
  EXPECT_FALSE(Variant::Null().IsUnassigned());
}

}  // namespace
}  // namespace tessaline
