// The installer form: what it shows when it is created (decided from the
// registry) and its handlers (Exit, closing, Browse with the prompt
// replaced, Install). Its layout is in form_layout_test.cpp, the keyboard's
// way to Browse and the focus after it in form_keyboard_test.cpp.
#include "installer/window/form.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "common/scoped_env.h"
#include "os/process.h"
#include "registry/cipher_reg.h"
#include "window_test_support.h"

namespace tessaline::test {
namespace {

namespace fs = std::filesystem;

std::string TextOf(const TForm1& form, const char* name) {
  QWidget* widget = form.findChild<QWidget*>(QString::fromLatin1(name));
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text().toStdString();
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text().toStdString();
  if (auto* button = qobject_cast<QPushButton*>(widget)) return button->text().toStdString();
  ADD_FAILURE() << "no text control named " << name;
  return {};
}

class FormCreateTest : public WindowTest {
 protected:
  void ExpectNotInstalled(const TForm1& form) {
    EXPECT_EQ(TextOf(form, "btInstall"), "Install pack");
    EXPECT_EQ(TextOf(form, "Label2"), "Select directory to Pack:");
  }
  void ExpectTitledTessaline(const TForm1& form) {
    EXPECT_EQ(TextOf(form, "Label1"), "Tessaline");
    EXPECT_EQ(form.windowTitle().toStdString(), "Tessaline");
    EXPECT_EQ(toolkit_.title, "Tessaline");
  }
};

TEST_F(FormCreateTest, WithoutTheProductKeyOffersTheTemporaryFolder) {
  const ScopedEnv tmpdir("TMPDIR", Path("temp").string());
  TForm1 form;
  EXPECT_EQ(TextOf(form, "DirN"), Path("temp").string() + "/");
  ExpectNotInstalled(form);
  ExpectTitledTessaline(form);
  EXPECT_TRUE(toolkit_.exceptions.empty());
  EXPECT_TRUE(toolkit_.boxes.empty());
  // Looking did not create the product key.
  EXPECT_FALSE(CipherReg->SubKeyExists(""));
}

TEST_F(FormCreateTest, NotInstalledStatesOfferTheProductFolder) {
  ASSERT_TRUE(CipherReg->WriteValue("", "Wenlora", "/games/wenlora/"));
  {
    TForm1 form;
    EXPECT_EQ(TextOf(form, "DirN"), "/games/wenlora/");
    ExpectNotInstalled(form);
    ExpectTitledTessaline(form);
  }
  // An empty record, or the record of another pack number, is not this pack.
  ASSERT_TRUE(CipherReg->WriteValue("Pack", "Pack1", ""));
  ASSERT_TRUE(CipherReg->WriteValue("Pack", "Pack2", "/elsewhere/Other.wpk"));
  {
    TForm1 form;
    EXPECT_EQ(TextOf(form, "DirN"), "/games/wenlora/");
    ExpectNotInstalled(form);
  }
  EXPECT_TRUE(toolkit_.exceptions.empty());
}

TEST_F(FormCreateTest, ProductKeyWithoutItsFolderValueOffersTheTemporaryFolder) {
  const ScopedEnv tmpdir("TMPDIR", Path("temp").string());
  ASSERT_TRUE(CipherReg->WriteValue("", "Other", "x"));
  TForm1 form;
  EXPECT_EQ(TextOf(form, "DirN"), Path("temp").string() + "/");
  ExpectNotInstalled(form);
  ExpectTitledTessaline(form);
}

TEST_F(FormCreateTest, InstalledPackIsOfferedForReinstalling) {
  ASSERT_TRUE(CipherReg->WriteValue("", "Wenlora", "/games/wenlora/"));
  ASSERT_TRUE(CipherReg->WriteValue("Pack", "Pack1", "/games/packs/Tessaline.wpk"));
  TForm1 form;
  EXPECT_EQ(TextOf(form, "DirN"), "/games/packs/Tessaline.wpk");
  EXPECT_EQ(TextOf(form, "btInstall"), "Reinstall pack");
  EXPECT_EQ(TextOf(form, "Label2"), "Pack allready installed.");
  ExpectTitledTessaline(form);
  // The longer prompt is shown whole: the label grows with its text.
  auto* prompt = form.findChild<QLabel*>("Label2");
  EXPECT_GE(prompt->width(), prompt->fontMetrics().horizontalAdvance(prompt->text()));
}

TEST_F(FormCreateTest, FolderValueThatIsNotTextKeepsEveryDesignText) {
  WriteHive(
      "REGEDIT4\n\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora]\n"
      "\"Wenlora\"=dword:00000001\n\n");
  TForm1 form;
  ASSERT_EQ(toolkit_.exceptions.size(), 1u);
  EXPECT_FALSE(toolkit_.exceptions[0].empty());
  EXPECT_EQ(TextOf(form, "DirN"), "DirN");
  EXPECT_EQ(TextOf(form, "Label1"), "Install pack");
  ExpectNotInstalled(form);
  EXPECT_EQ(form.windowTitle().toStdString(), "Form1");
  EXPECT_EQ(toolkit_.title, "");  // the application title is not set
  // The window works all the same.
  form.show();
  EXPECT_TRUE(form.isVisible());
}

TEST_F(FormCreateTest, PackValueThatIsNotTextKeepsTheFolderReadBeforeIt) {
  WriteHive(
      "REGEDIT4\n\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora]\n"
      "\"Wenlora\"=\"/games/wenlora/\"\n\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora\\Pack]\n"
      "\"Pack1\"=hex:01,02\n\n");
  TForm1 form;
  EXPECT_EQ(toolkit_.exceptions.size(), 1u);
  EXPECT_EQ(TextOf(form, "DirN"), "/games/wenlora/");
  ExpectNotInstalled(form);
  EXPECT_EQ(TextOf(form, "Label1"), "Install pack");
  EXPECT_EQ(form.windowTitle().toStdString(), "Form1");
  EXPECT_EQ(toolkit_.title, "");
}

class FormEventsTest : public WindowTest {
 protected:
  QLineEdit* DirN(TForm1& form) { return form.findChild<QLineEdit*>("DirN"); }
  QPushButton* Button(TForm1& form, const char* name) {
    return form.findChild<QPushButton*>(QString::fromLatin1(name));
  }
  // Clicks like a user does: through the event loop, so an exception from the
  // handler reaches the application's exception display.
  void Click(TForm1& form, const char* name) {
    QTest::mouseClick(Button(form, name), Qt::LeftButton);
  }
};

TEST_F(FormEventsTest, ExitAndEveryOtherCloseMinimiseAndClose) {
  {
    TForm1 form;
    form.show();
    Click(form, "Button2");
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.windowState() & Qt::WindowMinimized);
  }
  {
    TForm1 form;
    form.show();
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.windowState() & Qt::WindowMinimized);
  }
}

TEST_F(FormEventsTest, BrowseCancelledLeavesTheDestination) {
  TForm1 form;
  DirN(form)->setText("/games/packs/");
  std::string started_at;
  form.SetDirectoryPrompt([&](QWidget*, const std::string& start) {
    started_at = start;
    return std::optional<std::string>();
  });
  Click(form, "Button3");
  EXPECT_EQ(started_at, "/games/packs/");
  EXPECT_EQ(DirN(form)->text().toStdString(), "/games/packs/");
}

// The chosen folder is made when missing and shown as an absolute, normal
// destination; what is made is that folder, not the names its "." and ".."
// pass through.
TEST_F(FormEventsTest, BrowseCreatesTheChosenFolderAndShowsItNormal) {
  TForm1 form;
  std::string answer;
  form.SetDirectoryPrompt([&](QWidget*, const std::string&) { return std::optional(answer); });
  const std::string base = dir_.string();
  struct Row {
    std::string answer, shown;
  };
  const std::vector<Row> rows = {
      {base + "/a/b/c", base + "/a/b/c/"},  // none of it exists yet
      {base + "/a//", base + "/a/"},        // existing, with trailing slashes
      {base + "/./x//y/.", base + "/x/y/"},
      {base + "/gone/../z", base + "/z/"},
      {"/", "/"},
  };
  for (const Row& row : rows) {
    answer = row.answer;
    Click(form, "Button3");
    EXPECT_EQ(DirN(form)->text().toStdString(), row.shown) << row.answer;
    EXPECT_TRUE(fs::is_directory(row.shown)) << row.shown;
  }
  EXPECT_FALSE(fs::exists(Path("gone")));
  // A relative answer is taken from the current directory.
  const fs::path old = fs::current_path();
  fs::current_path(dir_);
  answer = "./rel";
  Click(form, "Button3");
  fs::current_path(old);
  EXPECT_EQ(DirN(form)->text().toStdString(), fs::canonical(dir_).string() + "/rel/");
  EXPECT_TRUE(fs::is_directory(Path("rel")));
  EXPECT_TRUE(toolkit_.exceptions.empty());
}

TEST_F(FormEventsTest, BrowseWhoseFolderCannotBeCreatedShowsWhyAndKeepsTheDestination) {
  TForm1 form;
  DirN(form)->setText("/games/packs/");
  form.SetDirectoryPrompt([&](QWidget*, const std::string&) { return std::optional(std::string()); });
  Click(form, "Button3");
  EXPECT_EQ(DirN(form)->text().toStdString(), "/games/packs/");
  EXPECT_EQ(toolkit_.exceptions, std::vector<std::string>{"Unable to create directory"});
}

// The real chooser, driven like a user: type a name, answer the question.
TEST_F(FormEventsTest, InstallCopiesRecordsReportsAndCloses) {
  TForm1 form;
  form.show();
  const fs::path folder = Path("games/packs");
  DirN(form)->setText(QString::fromStdString(folder.string() + "/"));
  Click(form, "btInstall");

  const fs::path pack = folder / "Tessaline.wpk";
  ASSERT_TRUE(toolkit_.exceptions.empty()) << toolkit_.exceptions[0];
  EXPECT_EQ(toolkit_.plain_messages,
            std::vector<std::string>{"Pack installation finished\r\n" + pack.string()});
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(ReadFile(pack) == ReadFile(ExecutablePath()));
  EXPECT_EQ(CipherReg->ReadValue("Pack", "Pack1", ""), pack.string());
  EXPECT_EQ(CipherReg->ReadValue("Pack", "Comm1", ""), "Tessaline");
  EXPECT_EQ(CipherReg->ReadValue("Pack", "Cir1", ""), "Тесселин");
}

// Pending messages are handled once, after the report and before the close;
// a failed install handles none.
TEST_F(FormEventsTest, InstallHandlesPendingMessagesOnceBetweenReportAndClose) {
  TForm1 form;
  form.show();
  std::vector<std::string> when_processed;
  toolkit_.on_process_messages = [&] {
    when_processed.push_back(std::to_string(toolkit_.plain_messages.size()) + " message(s), " +
                             (form.isVisible() ? "open" : "closed"));
  };
  DirN(form)->setText("");
  Click(form, "btInstall");
  EXPECT_TRUE(when_processed.empty());
  DirN(form)->setText(QString::fromStdString(Path("packs").string() + "/"));
  Click(form, "btInstall");
  toolkit_.on_process_messages = nullptr;
  EXPECT_EQ(when_processed, std::vector<std::string>{"1 message(s), open"});
  EXPECT_FALSE(form.isVisible());
}

TEST_F(FormEventsTest, FailedInstallShowsTheErrorAndKeepsTheWindow) {
  TForm1 form;
  form.show();
  // A plain file where the folder should be: the pack file cannot be created.
  std::ofstream(Path("blocker")) << "x";
  const std::string destination = Path("blocker").string() + "/";
  DirN(form)->setText(QString::fromStdString(destination));
  Click(form, "btInstall");
  ASSERT_EQ(toolkit_.exceptions.size(), 1u);
  EXPECT_NE(toolkit_.exceptions[0].find("Cannot create file"), std::string::npos);
  EXPECT_TRUE(toolkit_.plain_messages.empty());
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(DirN(form)->text().toStdString(), destination);
  EXPECT_EQ(CipherReg->ReadValue("Pack", "Pack1", "none"), "none");

  // An empty destination: the folder cannot be made; Install may be pressed again.
  DirN(form)->setText("");
  Click(form, "btInstall");
  ASSERT_EQ(toolkit_.exceptions.size(), 2u);
  EXPECT_EQ(toolkit_.exceptions[1], "Unable to create directory");
  EXPECT_TRUE(form.isVisible());
}

// A path whose bytes are not UTF-8 shows replacement characters and is used
// byte for byte: the game's folder, an installed pack's path, Browse's choice.
TEST_F(FormEventsTest, DestinationsThatAreNotUtf8KeepTheirBytes) {
  const std::string game = Path("caf\xE9").string() + "/";
  const std::string pack = game + "Tessaline.wpk";
  fs::create_directories(game);
  ASSERT_TRUE(CipherReg->WriteValue("", "Wenlora", game));
  {
    TForm1 form;
    form.show();
    EXPECT_EQ(TextOf(form, "DirN"), Path("caf\uFFFD").string() + "/");
    Click(form, "btInstall");
    ASSERT_TRUE(toolkit_.exceptions.empty()) << toolkit_.exceptions[0];
    EXPECT_TRUE(ReadFile(pack) == ReadFile(ExecutablePath()));
    EXPECT_FALSE(fs::exists(Path("caf\uFFFD")));
    EXPECT_EQ(CipherReg->ReadValue("Pack", "Pack1", ""), pack);
    EXPECT_EQ(toolkit_.plain_messages,
              std::vector<std::string>{"Pack installation finished\r\n" + pack});
  }
  {
    // Installed: reinstalled where the record says, Browse starts there.
    fs::remove(pack);
    TForm1 form;
    EXPECT_EQ(TextOf(form, "btInstall"), "Reinstall pack");
    std::string started_at;
    form.SetDirectoryPrompt([&](QWidget*, const std::string& start) {
      started_at = start;
      return std::optional<std::string>();
    });
    Click(form, "Button3");
    EXPECT_EQ(started_at, pack);
    form.show();
    Click(form, "btInstall");
    EXPECT_TRUE(fs::exists(pack));
  }
  {
    TForm1 form;
    const std::string chosen = Path("d\xFF").string();
    form.SetDirectoryPrompt([&](QWidget*, const std::string&) { return std::optional(chosen); });
    Click(form, "Button3");
    EXPECT_TRUE(fs::is_directory(chosen));
    EXPECT_EQ(TextOf(form, "DirN"), Path("d\uFFFD").string() + "/");
    form.show();
    Click(form, "btInstall");
    EXPECT_TRUE(fs::exists(chosen + "/Tessaline.wpk"));
    EXPECT_EQ(CipherReg->ReadValue("Pack", "Pack1", ""), chosen + "/Tessaline.wpk");
  }
  EXPECT_TRUE(toolkit_.exceptions.empty());
}

}  // namespace
}  // namespace tessaline::test
