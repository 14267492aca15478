// Making a pack from a base program: what the pack carries, the same bytes
// from the same inputs, every refusal (nothing written, an older output
// kept), and every step of the writing failed in turn.
#include "tessaline_pack/make_pack.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/elf_builder.h"
#include "common/fail_each_step.h"
#include "common/test_support.h"
#include "installer/identity.h"
#include "pack_sheet/card_sheet.h"
#include "sheet_pictures.h"
#include "support/resources.h"
#include "tessaline_pack/elf_resources.h"

namespace tessaline {
namespace {

using test::CardColours;

std::string ResourceOf(const std::string& path, const std::string& name) {
  const std::vector<std::byte> bytes = ReadResourceFromFile(path, name);
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

class MakePackTest : public testing::Test {
 protected:
  void SetUp() override {
    // A small program with the window's resources stands in for the
    // tessaline program (the end-to-end test uses the real one); without
    // them it is some other program.
    test::ElfBuilder builder(true, false);
    builder.MakeProgram(1);
    const test::ElfBuilder::Bytes plain = builder.Build({{".text", {0x90, 0xc3}}});
    plain_ = dir_.Write("plain", {plain.begin(), plain.end()});
    base_ = dir_.Write(
        "tessaline",
        ResourceWriter(test::ReadFile(plain_))
            .With({{"LOGO1", "l1"}, {"LOGO2", "l2"}, {"ICON", "ic"}, {"ICONPNG", "ip"}}));
    sheet_png_ = test::MakePng(18, 8, CardColours(2, 2));
    sheet_ = dir_.Write("sheet.png", sheet_png_);
  }

  PackOptions Options() const {
    PackOptions options;
    options.mode = PackOptions::Mode::kMake;
    options.sheet = sheet_;
    options.title = "Kestrel";
    options.cyrillic_title = "Пустельга";
    options.number = "2";
    options.output = dir_ / "kestrel";
    options.base = base_;
    return options;
  }

  int Make(const PackOptions& options, std::string* report = nullptr) const {
    std::ostringstream err;
    const int status = MakePack(options, err);
    if (report != nullptr) *report = err.str();
    return status;
  }

  test::ScratchDir dir_;
  std::string plain_;
  std::string base_;
  std::string sheet_png_;
  std::string sheet_;
};

TEST_F(MakePackTest, ThePackCarriesItsSheetAndIdentityAndTheBasesOwnResources) {
  std::string report;
  ASSERT_EQ(Make(Options(), &report), 0) << report;
  EXPECT_EQ(report, "");
  const std::string pack = dir_ / "kestrel";
  const PackIdentity identity = ParseIdentityText(ResourceOf(pack, "IDENTITY"));
  EXPECT_EQ(identity.number, 2);
  EXPECT_EQ(identity.name, "Kestrel");
  EXPECT_EQ(identity.cyrillic_name, "Пустельга");
  const std::vector<std::byte> dib =
      CheckCardSheet(std::as_bytes(std::span(sheet_png_.data(), sheet_png_.size()))).dib;
  EXPECT_EQ(ResourceOf(pack, "PACK"),
            std::string(reinterpret_cast<const char*>(dib.data()), dib.size()));
  EXPECT_EQ(ResourceOf(pack, "LOGO2"), "l2");
  EXPECT_EQ(::access(pack.c_str(), X_OK), 0);

  // The same inputs give the same bytes; a pack is a base for the next.
  PackOptions again = Options();
  again.output = dir_ / "again";
  ASSERT_EQ(Make(again), 0);
  EXPECT_EQ(test::ReadFile(dir_ / "again"), test::ReadFile(pack));
  PackOptions from_pack = Options();
  from_pack.base = pack;
  from_pack.title = "Merlin";
  from_pack.output = dir_ / "merlin";
  ASSERT_EQ(Make(from_pack), 0);
  EXPECT_EQ(ParseIdentityText(ResourceOf(dir_ / "merlin", "IDENTITY")).name, "Merlin");
}

TEST_F(MakePackTest, ASheetBeyondTheGridIsTakenWithAWarning) {
  PackOptions options = Options();
  options.sheet = dir_.Write("wide.png", test::MakePng(19, 8, CardColours(2, 2)));
  std::string report;
  ASSERT_EQ(Make(options, &report), 0);
  EXPECT_EQ(report, "tessaline-pack: " + options.sheet +
                        ": warning: 19 x 8 is not a whole 9 x 4 grid; cells are 2 x 2 and the "
                        "rest is never shown\n");
}

// Each refusal: exit status 2, the reason, and the older output untouched
// with nothing beside it.
TEST_F(MakePackTest, RefusalsWriteNothing) {
  const std::string output = dir_.Write("kestrel", "the older pack");
  ASSERT_EQ(::symlink(base_.c_str(), (dir_ / "link").c_str()), 0);
  ASSERT_EQ(::link(base_.c_str(), (dir_ / "hard").c_str()), 0);
  const std::string bomb = dir_.Write(
      "bomb.png", test::WithDeclaredSize(test::MakePng(9, 4, CardColours(1, 1)), 16384, 16384));
  struct Case {
    std::string PackOptions::*field;
    std::string value;
    std::string reason;  // what the report holds
  };
  // The rules themselves are the identity's and the sheet's (their own
  // tests) and the command's end to end (tests/packs/pack_tool.sh); here
  // one of each kind, and what the shell cannot give.
  const std::vector<Case> cases = {
      {&PackOptions::number, "0", "the number '0' is not a whole number from 1 to 2147483647"},
      {&PackOptions::title, std::string(252, 'k'), "cannot be used: it is longer than 251 bytes"},
      {&PackOptions::cyrillic_title, "two\nlines", "cannot be used: it holds a control character"},
      {&PackOptions::sheet, bomb, "bomb.png: a 16384 x 16384 picture is larger than a card sheet"},
      {&PackOptions::base, plain_, "is not a Tessaline program: it carries no resource LOGO1"},
      {&PackOptions::output, dir_ / "link", "/link is the base program itself"},
      {&PackOptions::output, dir_ / "hard", "/hard is the base program itself"},
  };
  const std::vector<std::string> files = test::ListDir(dir_.path());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    PackOptions options = Options();
    options.*c.field = c.value;
    std::string report;
    EXPECT_EQ(Make(options, &report), 2);
    EXPECT_EQ(report.rfind("tessaline-pack: ", 0), 0u) << report;
    EXPECT_NE(report.find(c.reason), std::string::npos) << report;
    EXPECT_EQ(test::ReadFile(output), "the older pack");
    EXPECT_EQ(test::ListDir(dir_.path()), files);
  }
}

// A failure at any step of reading or writing leaves the older output as it
// was and nothing beside it; the report says what failed.
TEST_F(MakePackTest, EveryFailedStepKeepsTheOlderOutput) {
  const std::string output = dir_ / "kestrel";
  ASSERT_EQ(Make(Options()), 0);
  const std::string pack = test::ReadFile(output);
  std::vector<std::string> files;
  test::StepDriver driver;
  driver.reset = [&] {
    test::WriteFile(output, "the older pack");
    files = test::ListDir(dir_.path());
  };
  driver.operation = [&] {
    std::string report;
    return Make(Options(), &report) == 0 ? std::string() : report;
  };
  driver.check = [&](const test::FailedStep& run) {
    EXPECT_EQ(test::ListDir(dir_.path()), files);
    const std::string left = test::ReadFile(output);
    if (run.message.empty()) {
      EXPECT_TRUE(left == pack) << "the pack is not what was asked";
      return;
    }
    // Once the new file has its name, only the folder's sync can fail: the
    // pack stands whole, and the failure is still told.
    EXPECT_TRUE(left == "the older pack" || (run.After(test::FsOp::kRename) && left == pack))
        << "a failure left something else in place";
    EXPECT_EQ(run.message.rfind("tessaline-pack: ", 0), 0u) << run.message;
  };
  EXPECT_GT(test::FailEachStep(driver), 0);
}

}  // namespace
}  // namespace tessaline
