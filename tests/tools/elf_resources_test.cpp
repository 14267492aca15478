// The resource writer on small programs of every ELF flavour and on a real
// one: replaced and added resources read back through the installer's own
// reader, the loaded image and the section numbers kept, the same bytes for
// the same inputs, and bases that cannot take resources refused.
#include "tessaline_pack/elf_resources.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/elf_builder.h"
#include "common/test_support.h"
#include "os/process.h"
#include "support/resources.h"

namespace tessaline {
namespace {

using test::ElfBuilder;
using Bytes = ElfBuilder::Bytes;

std::string AsString(const Bytes& bytes) {
  return {bytes.begin(), bytes.end()};
}

std::string AsString(const std::vector<std::byte>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// A program whose first section is loaded, then three that are not.
Bytes SmallProgram(bool wide, bool big) {
  ElfBuilder builder(wide, big);
  builder.MakeProgram(1);
  return builder.Build({{".text", Bytes(100, 0x90)},
                        {".comment", {'c', 'c', 0}},
                        {".rsrc.PACK", Bytes(40, 7)},
                        {".rsrc.LOGO1", {1, 2, 3}}});
}

class ResourceWriterTest : public testing::Test {
 protected:
  // The resource `name` of `image`, as the installer reads it from a file.
  std::string ReadBack(const std::string& image, const std::string& name) {
    const std::string path = dir_.path() + "/image";
    test::WriteFile(path, image);
    return AsString(ReadResourceFromFile(path, name));
  }

  test::ScratchDir dir_;
};

TEST_F(ResourceWriterTest, ReplacesLargerAndSmallerAndAddsInEveryFlavour) {
  for (const bool wide : {true, false}) {
    for (const bool big : {false, true}) {
      SCOPED_TRACE(testing::Message() << (wide ? "64" : "32") << (big ? " big" : " little"));
      const std::string base = AsString(SmallProgram(wide, big));
      const ResourceWriter writer(base);
      EXPECT_EQ(writer.ResourceNames(), (std::vector<std::string>{"PACK", "LOGO1"}));
      const std::string larger(5000, 'L');
      const std::string image =
          writer.With({{"PACK", larger}, {"LOGO1", "s"}, {"IDENTITY", "Number=3\n"}});
      EXPECT_EQ(ReadBack(image, "PACK"), larger);
      EXPECT_EQ(ReadBack(image, "LOGO1"), "s");
      EXPECT_EQ(ReadBack(image, "IDENTITY"), "Number=3\n");
      // The loaded image is the base's, byte for byte, but for the file
      // header's place of the section table.
      const std::size_t header = wide ? 64 : 52, loaded = writer.LoadedImageSize();
      EXPECT_EQ(image.substr(header, loaded - header), base.substr(header, loaded - header));
      EXPECT_EQ(image.substr(0, 0x18), base.substr(0, 0x18));

      // Written again with smaller bytes: the image shrinks, the sections
      // keep their numbers, and nothing else of the first image changes.
      const ResourceWriter again(image);
      EXPECT_EQ(again.ResourceNames(), (std::vector<std::string>{"PACK", "LOGO1", "IDENTITY"}));
      const std::string smaller = again.With({{"PACK", ""}, {"IDENTITY", "Number=4\n"}});
      EXPECT_LT(smaller.size(), image.size() - 4000);
      EXPECT_EQ(ReadBack(smaller, "PACK"), "");
      EXPECT_EQ(ReadBack(smaller, "IDENTITY"), "Number=4\n");
      EXPECT_EQ(ReadBack(smaller, "LOGO1"), "s");
      EXPECT_EQ(ResourceWriter(smaller).ResourceNames(), again.ResourceNames());
    }
  }
}

TEST_F(ResourceWriterTest, TheSameInputsGiveTheSameBytes) {
  const std::string base = AsString(SmallProgram(true, false));
  const std::vector<NamedResource> resources = {{"PACK", "sheet"}, {"IDENTITY", "id"}};
  const std::string first = ResourceWriter(base).With(resources);
  EXPECT_EQ(ResourceWriter(base).With(resources), first);
  // Writing the image with what it already holds changes nothing.
  EXPECT_EQ(ResourceWriter(first).With(resources), first);
  // The order the resources are given in makes no difference to a base
  // that has them all.
  EXPECT_EQ(ResourceWriter(first).With({resources[1], resources[0]}), first);
}

// The running test program, a real linked program: its code and data stay
// where the system maps them, its other sections stay readable, and strip
// and objcopy see the resources.
TEST_F(ResourceWriterTest, ARealProgramKeepsItsLoadedImageAndSections) {
  const std::string base = test::ReadFile(ExecutablePath());
  ASSERT_FALSE(base.empty());
  const ResourceWriter writer(base);
  const std::string sheet(246824, 's');
  const std::string image = writer.With({{"PACK", sheet}, {"ICON", "icon"}});
  const std::size_t loaded = writer.LoadedImageSize();
  ASSERT_GT(loaded, 64u);
  EXPECT_EQ(image.substr(64, loaded - 64), base.substr(64, loaded - 64));
  EXPECT_EQ(ReadBack(image, "PACK"), sheet);
  const std::string path = dir_.Write("program", image);
  // The platform's tools take the image as a whole program.
  const std::string dumped = dir_.path() + "/pack.bin";
  const std::string stripped = dir_.path() + "/stripped";
  ASSERT_EQ(std::system(("strip -o '" + stripped + "' '" + path + "'").c_str()), 0);
  ASSERT_EQ(std::system(
                ("objcopy --dump-section .rsrc.PACK='" + dumped + "' '" + stripped + "' /dev/null")
                    .c_str()),
            0);
  EXPECT_EQ(test::ReadFile(dumped), sheet);
  EXPECT_EQ(AsString(ReadResourceFromFile(stripped, "ICON")), "icon");
  ASSERT_EQ(std::system(
                ("chmod +x '" + stripped + "' && '" + stripped + "' --gtest_filter=none >/dev/null")
                    .c_str()),
            0);
}

// Bases that cannot take resources, each with the reason given.
TEST_F(ResourceWriterTest, BasesThatCannotTakeResourcesAreRefusedWithTheReason) {
  ElfBuilder relocatable(true, false);
  ElfBuilder loaded_resources(true, false);
  loaded_resources.MakeProgram(2);
  ElfBuilder twice(true, false);
  twice.MakeProgram(1);
  const Bytes program = SmallProgram(true, false);
  ElfBuilder positions(true, false);
  positions.MakeProgram(1);
  Bytes outside = positions.Build({{".text", Bytes(16, 1)}, {".rsrc.PACK", {1}}});
  positions.Put(outside, positions.Field(3, 24), 8, 1u << 30);  // .rsrc.PACK's offset
  // Program headers read from the file header, which a rewrite changes.
  Bytes overlapping = program;
  positions.Put(overlapping, 0x20, 8, 16);  // e_phoff
  struct Case {
    const char* what;
    std::string base;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"text", "hello, world", "it is not an ELF file"},
      {"empty", "", "it is not an ELF file"},
      {"relocatable", AsString(relocatable.Build({{".rsrc.PACK", {1}}})),
       "it is not a program (an ELF file of type 1)"},
      {"cut off", AsString(program).substr(0, 40), "it is not an ELF file"},
      {"section outside", AsString(outside), "its headers are damaged (section 3 lies outside"},
      {"headers in headers", AsString(overlapping),
       "its headers are damaged (program headers inside the file header)"},
      {"loaded resource", AsString(loaded_resources.Build({{".text", {1}}, {".rsrc.PACK", {2}}})),
       "its resource section .rsrc.PACK is loaded with the program"},
      {"two of a name",
       AsString(twice.Build({{".text", {1}}, {".rsrc.PACK", {2}}, {".rsrc.PACK", {3}}})),
       "it has two sections named .rsrc.PACK"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      ResourceWriter(c.base).With({{"PACK", "x"}});
      ADD_FAILURE() << "accepted";
    } catch (const BaseProgramError& error) {
      EXPECT_EQ(std::string(error.what()).rfind(c.reason, 0), 0u) << error.what();
    }
  }
}

TEST_F(ResourceWriterTest, OnlyPlainResourceNamesAreWritten) {
  const ResourceWriter writer(AsString(SmallProgram(true, false)));
  for (const std::string& name :
       std::vector<std::string>{"", "A/B", "A B", std::string(kMaxResourceName + 1, 'A')}) {
    EXPECT_THROW(writer.With({{name, "x"}}), std::invalid_argument) << name;
  }
  EXPECT_THROW(writer.With({{"PACK", "x"}, {"PACK", "y"}}), std::invalid_argument);
  EXPECT_EQ(ReadBack(writer.With({{std::string(kMaxResourceName, 'A'), "x"}}),
                     std::string(kMaxResourceName, 'A')),
            "x");
}

}  // namespace
}  // namespace tessaline
