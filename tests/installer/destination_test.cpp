#include "installer/destination.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/test_support.h"

namespace tessaline {
namespace {

TEST(DestinationTest, FolderGetsExactlyOneTrailingSlash) {
  EXPECT_EQ(DestinationForFolder("/games/packs"), "/games/packs/");
  EXPECT_EQ(DestinationForFolder("/games/packs//"), "/games/packs/");
  EXPECT_EQ(DestinationForFolder("/"), "/");
  EXPECT_EQ(DestinationForFolder("//"), "/");
  // Refused later, not taken for the root.
  EXPECT_EQ(DestinationForFolder(""), "");
}

TEST(DestinationTest, RelativeFolderIsTakenFromTheCurrentDirectory) {
  const test::ScratchDir scratch;
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(scratch.path());
  const std::string nested = DestinationForFolder("rel/packs/");
  std::filesystem::current_path("/");
  const std::string below_root = DestinationForFolder("packs");
  std::filesystem::current_path(old);
  // The scratch folder may lie behind a symbolic link; getcwd gives its real path.
  EXPECT_EQ(nested, std::filesystem::canonical(scratch.path()).string() + "/rel/packs/");
  EXPECT_EQ(below_root, "/packs/");
}

}  // namespace
}  // namespace tessaline
