#include "installer/folders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/test_support.h"

namespace tessaline {
namespace {

namespace fs = std::filesystem;

TEST(DestinationTest, AbsoluteFolderBecomesNormalWithOneTrailingSlash) {
  struct Row {
    const char* folder;
    const char* destination;
  };
  const Row rows[] = {
      {"/games/packs", "/games/packs/"},
      {"/games/packs//", "/games/packs/"},
      {"/", "/"},
      {"//", "/"},
      {"///games", "/games/"},
      {"/games//packs", "/games/packs/"},
      {"/games/./packs/.", "/games/packs/"},
      {"/games/old/../packs", "/games/packs/"},
      {"/games/a/b/../../packs/..", "/games/"},
      {"/..", "/"},
      {"/../../games", "/games/"},
      {"/games/..packs/...", "/games/..packs/.../"},  // names made of dots are names
      {"/games/.hidden/", "/games/.hidden/"},
      {"/caf\xE9/./x", "/caf\xE9/x/"},  // bytes, not text
      {"", ""},                         // refused later, not taken for the root
  };
  for (const Row& row : rows) {
    EXPECT_EQ(DestinationForFolder(row.folder), row.destination) << row.folder;
  }
}

TEST(DestinationTest, RelativeFolderIsTakenFromTheCurrentDirectory) {
  const test::ScratchDir scratch;
  const auto old = fs::current_path();
  fs::current_path(scratch.path());
  // getcwd gives the scratch folder's real path (it may lie behind a link).
  const std::string here = fs::canonical(scratch.path()).string();
  struct Row {
    std::string folder, destination;
  };
  const std::vector<Row> rows = {
      {"rel/packs/", here + "/rel/packs/"},
      {"./packs", here + "/packs/"},
      {".", here + "/"},
      {"packs/../other//", here + "/other/"},
      {"../" + fs::path(here).filename().string() + "/packs", here + "/packs/"},
      {"-packs", here + "/-packs/"},
  };
  std::vector<std::string> got;
  for (const Row& row : rows) got.push_back(DestinationForFolder(row.folder));
  fs::current_path("/");
  const std::string below_root = DestinationForFolder("../packs");
  fs::current_path(old);
  for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(got[i], rows[i].destination);
  EXPECT_EQ(below_root, "/packs/");
}

// ".." is taken away by the text: a link stays as the user named it.
TEST(DestinationTest, SymbolicLinksAreNotResolved) {
  const test::ScratchDir scratch;
  const std::string base = scratch.path();
  fs::create_directories(base + "/real/inner");
  fs::create_directory_symlink(base + "/real/inner", base + "/link");
  EXPECT_EQ(DestinationForFolder(base + "/link/./packs"), base + "/link/packs/");
  // The system would go to real/ here; the text goes back to base.
  EXPECT_EQ(DestinationForFolder(base + "/link/../x"), base + "/x/");
}

}  // namespace
}  // namespace tessaline
