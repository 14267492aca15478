#include "installer/pack_commands.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "pack_files.h"
#include "registry_fixture.h"

namespace tessaline {
namespace {

using test::kGameKey;
using test::kPackKeyLine;
using test::PackFile;
using test::ReadFile;
using test::RecordLines;
using test::WriteFile;

constexpr char kHeader[] = "number\ttitle\tcyrillic title\tpath\tstate\n";

class PackListTest : public test::RegistryTest {
 protected:
  int Run(bool json = false) {
    std::ostringstream out, err;
    const int status = RunList(hive_path(), json, out, err);
    out_ = out.str();
    err_ = err.str();
    return status;
  }
  std::string out_, err_;
};

TEST_F(PackListTest, AnEmptyHiveListsNothing) {
  ASSERT_EQ(Run(), 0) << err_;
  EXPECT_EQ(out_, kHeader);
  ASSERT_EQ(Run(true), 0);
  EXPECT_EQ(out_, "[]\n");
  WriteHive(kGameKey);
  ASSERT_EQ(Run(), 0);
  EXPECT_EQ(out_, kHeader);
}

// Packs in numeric order with the state of each file; a value that is not a
// record's ("Other", "PackX") is not listed, and nothing is written.
TEST_F(PackListTest, ListsEveryRecordWithTheStateOfItsFile) {
  WriteFile(scratch() / "Tessaline.wpk", PackFile(test::ShippedSheet()));
  WriteFile(scratch() / "broken.wpk", PackFile("BM not a bitmap"));
  WriteFile(scratch() / "text.wpk", "hello");
  const std::string body =
      std::string(kGameKey) + kPackKeyLine + "\"Other\"=\"x\"\r\n" + "\"PackX\"=\"y\"\r\n" +
      RecordLines(10, "Ten", "Десять", scratch() / "text.wpk") +
      RecordLines(2, "Kestrel", "Пустельга", scratch() / "gone.wpk") + "\"pack3\"=\"" +
      scratch().path() + "\"\r\n" + "\"Pack5\"=dword:00000005\r\n" +
      RecordLines(1, "Tessaline", "Тесселин", scratch() / "Tessaline.wpk") +
      RecordLines(4, "Four\\\"tab\\\\", "Четыре", scratch() / "broken.wpk") + "\r\n";
  WriteHive(body);
  const std::string before = ReadFile(hive_path());
  ASSERT_EQ(Run(), 0) << err_;
  const std::string dir = scratch().path();
  std::string expected = kHeader;
  for (const std::string& line :
       {"1\tTessaline\tТесселин\t" + dir + "/Tessaline.wpk\tok",
        "2\tKestrel\tПустельга\t" + dir + "/gone.wpk\tmissing", "3\t\t\t" + dir + "\tnot a pack",
        "4\tFour\"tab\\\\\tЧетыре\t" + dir + "/broken.wpk\tnot a pack",
        std::string("5\t\t\t\tmissing"), "10\tTen\tДесять\t" + dir + "/text.wpk\tnot a pack"}) {
    expected += line;
    expected += '\n';
  }
  EXPECT_EQ(out_, expected);
  EXPECT_EQ(ReadFile(hive_path()), before);

  ASSERT_EQ(Run(true), 0) << err_;
  const nlohmann::json list = nlohmann::json::parse(out_);
  ASSERT_EQ(list.size(), 6u);
  EXPECT_EQ(list[0]["number"], 1);
  EXPECT_EQ(list[0]["title"], "Tessaline");
  EXPECT_EQ(list[0]["cyrillic_title"], "Тесселин");
  EXPECT_EQ(list[0]["path"], scratch() / "Tessaline.wpk");
  EXPECT_EQ(list[0]["state"], "ok");
  EXPECT_TRUE(list[2]["title"].is_null());
  EXPECT_EQ(list[3]["title"], "Four\"tab\\");
  EXPECT_TRUE(list[4]["path"].is_null());
  EXPECT_EQ(list[5]["number"], 10);
  EXPECT_EQ(list[5]["state"], "not a pack");
}

// Whoever may edit a shared hive must not reach the terminal of whoever
// lists it: control characters and bytes that are not UTF-8 show as escapes
// in the text, and the JSON keeps a path that is not UTF-8 byte for byte.
// Only the spelling the installer writes is a record's number.
TEST_F(PackListTest, HiveBytesNeverReachTheTerminalRaw) {
  const auto hex_line = [](int n, const std::string& name, const std::string& bytes) {
    std::string line = "\"" + name + std::to_string(n) + "\"=hex(1):";
    static constexpr char kHex[] = "0123456789abcdef";
    for (const char c : bytes + std::string(1, '\0')) {
      line += kHex[static_cast<unsigned char>(c) >> 4];
      line += kHex[static_cast<unsigned char>(c) & 15];
      line += ',';
    }
    line.pop_back();
    return line + "\r\n";
  };
  WriteHive(std::string(kPackKeyLine) + hex_line(1, "Pack", "/games/caf\xe9/T.wpk") +
            hex_line(1, "Comm", "\x1b]0;owned\x07\x1b[2J") + hex_line(1, "Cir", "two\nlines") +
            "\"Pack007\"=\"/seven\"\r\n\"Pack99999999999\"=\"/big\"\r\n\r\n");
  ASSERT_EQ(Run(), 0) << err_;
  EXPECT_EQ(out_, std::string(kHeader) +
                      "1\t\\x1b]0;owned\\x07\\x1b[2J\ttwo\\nlines\t/games/caf\\xe9/T.wpk\tmissing\n");
  ASSERT_EQ(Run(true), 0) << err_;
  const nlohmann::json list = nlohmann::json::parse(out_);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0]["title"], "\x1b]0;owned\x07\x1b[2J");  // escaped by JSON itself
  EXPECT_EQ(list[0]["path"], "/games/caf\xEF\xBF\xBD/T.wpk");
  EXPECT_EQ(list[0]["path_hex"], "2f67616d65732f636166e92f542e77706b");
}

TEST_F(PackListTest, ADamagedHiveIsAnErrorNamingTheFile) {
  WriteHive(std::string(kPackKeyLine) + "\"Pack1\"=\"/a\"\r\nthis line is no value\r\n\r\n");
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(out_, "");
  EXPECT_NE(err_.find(hive_path()), std::string::npos) << err_;
}

TEST_F(PackListTest, AThousandPacks) {
  std::string body = kPackKeyLine;
  for (int n = 1000; n >= 1; --n) {
    std::string title = "P";
    title += std::to_string(n);
    body += RecordLines(n, title, "К", "/nonexistent/p");
  }
  WriteHive(body + "\r\n");
  ASSERT_EQ(Run(), 0) << err_;
  std::istringstream lines(out_);
  std::string line;
  std::getline(lines, line);
  for (int n = 1; n <= 1000; ++n) {
    ASSERT_TRUE(std::getline(lines, line));
    const std::string number = std::to_string(n);
    ASSERT_EQ(line, number + "\tP" + number + "\tК\t/nonexistent/p\tmissing");
  }
  EXPECT_FALSE(std::getline(lines, line));
  ASSERT_EQ(Run(true), 0);
  EXPECT_EQ(nlohmann::json::parse(out_).size(), 1000u);
}

}  // namespace
}  // namespace tessaline
