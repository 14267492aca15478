#include "support/messages.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "support/dictionary.h"
#include "support/exception.h"
#include "support/toolkit.h"

namespace tessaline {
namespace {

using test::RecordingToolkit;

class MessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SupportStartup();
    // No dictionary file unless a test writes one.
    Dict->SetDictFileName("/nonexistent/tessaline-test.dic");
    SetToolkit(&toolkit_);
  }
  void TearDown() override {
    SetToolkit(nullptr);
    SupportShutdown();
  }

  void UseDictionary(const std::string& contents) {
    std::string pattern = (std::filesystem::temp_directory_path() / "msgtest.XXXXXX").string();
    int fd = ::mkstemp(pattern.data());
    ASSERT_GE(fd, 0);
    ::close(fd);
    dic_file_ = pattern;
    std::ofstream(dic_file_, std::ios::binary) << contents;
    Dict->SetDictFileName(dic_file_);
  }
  ~MessagesTest() override {
    if (!dic_file_.empty()) std::filesystem::remove(dic_file_);
  }

  RecordingToolkit toolkit_;
  std::string dic_file_;
};

MsgArg T(const char* text) {
  return MsgArg::Text(text);
}

TEST_F(MessagesTest, SurplusArgumentsGoOnLinesOfTheirOwn) {
  EXPECT_EQ(BuildMsg({T("Registry error 1"), T("/opt/x"), T("Pack")}),
            "Registry error 1\r\n/opt/x\r\nPack");
  EXPECT_EQ(BuildMsg({T("One % here"), T("a"), T("b"), T("c")}), "One a here\r\nb\r\nc");
  EXPECT_EQ(BuildMsg({T("only pattern")}), "only pattern");
}

TEST_F(MessagesTest, PercentSignsAreFilledInOrderAfterLineBreaks) {
  EXPECT_EQ(BuildMsg({T("Copy % to %|Done"), T("a"), T("b")}), "Copy a to b\r\nDone");
  // Missing arguments leave their "%" in place.
  EXPECT_EQ(BuildMsg({T("% and %"), T("x")}), "x and %");
  // Each search restarts at the front: the "%" the first text brings in is
  // the one the second argument fills.
  EXPECT_EQ(BuildMsg({T("% and %"), T("50%"), T("x")}), "50x and %");
  // A "|" inside an argument stays a "|".
  EXPECT_EQ(BuildMsg({T("a|%"), T("b|c")}), "a\r\nb|c");
  EXPECT_EQ(BuildMsg({T("||"), T("z")}), "\r\n\r\n\r\nz");
}

TEST_F(MessagesTest, PatternIsTranslatedBeforeSubstitution) {
  UseDictionary(
      "[Common]\nCopy % to %=Kopiere % nach %|fertig\n"
      "Registry error=Registrierungsfehler\n");
  EXPECT_EQ(BuildMsg({T("copy % to %"), T("a"), T("b")}), "Kopiere a nach b\r\nfertig");
  EXPECT_EQ(BuildMsg({T("Registry error 2"), T("k")}), "Registrierungsfehler 2\r\nk");
  // Arguments themselves are not translated.
  EXPECT_EQ(BuildMsg({T("%"), T("Registry error")}), "Registry error");
}

TEST_F(MessagesTest, ShippedDictionariesTranslateTheRegistryReports) {
  Dict->SetDictFileName(TESSALINE_RESOURCE_DIR "/tessaline.dic");
  ShowMsg({T("Registry error 1"), T("SOFTWARE\\Wenlora\\Pack"), T("\\SOFTWARE\\Wenlora\\Pack")});
  ASSERT_EQ(toolkit_.boxes.size(), 1u);
  EXPECT_EQ(toolkit_.boxes[0].text,
            "Ошибка реестра 1: ключ «SOFTWARE\\Wenlora\\Pack» остался открытым;\r\n"
            "запрошен ключ «\\SOFTWARE\\Wenlora\\Pack».");
  EXPECT_EQ(toolkit_.boxes[0].caption, "");

  Dict->SetDictFileName(TESSALINE_RESOURCE_DIR "/tessaline-de.dic");
  EXPECT_EQ(BuildMsg({T("Registry error 2"), T("\\SOFTWARE\\Wenlora\\")}),
            "Registrierungsfehler 2: Zugriff auf die Registrierung außerhalb des "
            "Hauptthreads;\r\nangefordert wurde „\\SOFTWARE\\Wenlora\\“.");
  // A report without an entry of its own falls back on its core.
  EXPECT_EQ(BuildMsg({T("Registry error 3"), T("x")}), "Registrierungsfehler 3\r\nx");
}

TEST_F(MessagesTest, WithoutTheSupportLibraryPatternsStayUntranslated) {
  SupportShutdown();
  EXPECT_EQ(BuildMsg({T("Save %"), T("x")}), "Save x");
  SupportStartup();
}

TEST_F(MessagesTest, ShowMsgShowsAnInformationBoxWithTheArrowCursor) {
  toolkit_.cursor = kCursorWait;
  ShowMsg({T("Registry error 2"), T("key")});
  ASSERT_EQ(toolkit_.boxes.size(), 1u);
  const RecordingToolkit::Box& box = toolkit_.boxes[0];
  EXPECT_EQ(box.text, "Registry error 2\r\nkey");
  EXPECT_EQ(box.caption, "");
  EXPECT_EQ(box.flags, 64);
  EXPECT_EQ(box.cursor_while_shown, kCursorDefault);
  EXPECT_EQ(toolkit_.cursor, kCursorWait);
}

TEST_F(MessagesTest, ShowMsgRestoresTheCursorWhenTheBoxFails) {
  class Failing : public RecordingToolkit {
    int MessageBox(const std::string&, const std::string&, std::int32_t) override {
      throw std::runtime_error("no display");
    }
  } failing;
  failing.cursor = kCursorWait;
  SetToolkit(&failing);
  EXPECT_THROW(ShowMsg({T("x")}), std::runtime_error);
  EXPECT_EQ(failing.cursor, kCursorWait);
  SetToolkit(&toolkit_);
}

TEST_F(MessagesTest, ShowCurrentExceptionShowsOrBeeps) {
  try {
    throw Exception("Cannot create file");
  } catch (...) {
    ShowCurrentException();
  }
  try {
    throw std::out_of_range("index");
  } catch (...) {
    ShowCurrentException();
  }
  try {
    throw 42;
  } catch (...) {
    ShowCurrentException();
  }
  EXPECT_EQ(toolkit_.exceptions,
            (std::vector<std::string>{"Cannot create file", "index", "Unknown error"}));
  EXPECT_EQ(toolkit_.beeps, 0);
  ShowCurrentException();
  EXPECT_EQ(toolkit_.beeps, 1);
  EXPECT_EQ(toolkit_.exceptions.size(), 3u);
  EXPECT_TRUE(toolkit_.boxes.empty());
}

TEST_F(MessagesTest, OnlyThePatternIsTranslatedAndOnlyThroughCommon) {
  UseDictionary("[Message]\nSave %=Wrong %\n[Common]\nSave %=Sichere %\nx=y\n");
  EXPECT_EQ(BuildMsg({T("Save %"), T("x"), T("x")}), "Sichere x\r\nx");
  ShowMsg({T("Save %"), T("file")});
  ASSERT_EQ(toolkit_.boxes.size(), 1u);
  EXPECT_EQ(toolkit_.boxes[0].text, "Sichere file");
  EXPECT_EQ(toolkit_.boxes[0].flags, kMbIconInformation);
}

}  // namespace
}  // namespace tessaline
