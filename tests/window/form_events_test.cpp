// The window's handlers: Exit, closing, Browse (with the prompt replaced and
// with the real directory chooser) and Install.
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <fstream>
#include <iterator>

#include "installer/window/directory_chooser.h"
#include "installer/window/form.h"
#include "platform/process.h"
#include "registry/cipher_reg.h"
#include "window_test_support.h"

namespace tessaline::test {
namespace {

namespace fs = std::filesystem;

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

TEST_F(FormEventsTest, BrowseCreatesTheChosenFolderAndAddsExactlyOneSlash) {
  TForm1 form;
  std::string answer;
  form.SetDirectoryPrompt([&](QWidget*, const std::string&) { return std::optional(answer); });

  answer = Path("a/b/c").string();  // none of it exists yet
  Click(form, "Button3");
  EXPECT_TRUE(fs::is_directory(Path("a/b/c")));
  EXPECT_EQ(DirN(form)->text().toStdString(), Path("a/b/c").string() + "/");

  answer = Path("a").string() + "//";  // existing, with trailing slashes
  Click(form, "Button3");
  EXPECT_EQ(DirN(form)->text().toStdString(), Path("a").string() + "/");

  answer = "/";
  Click(form, "Button3");
  EXPECT_EQ(DirN(form)->text().toStdString(), "/");
  EXPECT_TRUE(toolkit_.exceptions.empty());
}

TEST_F(FormEventsTest, BrowseWhoseFolderCannotBeCreatedShowsWhyAndKeepsTheDestination) {
  TForm1 form;
  DirN(form)->setText("/games/packs/");
  for (const std::string& answer : {std::string(), std::string("no-such-top-level/inner")}) {
    form.SetDirectoryPrompt([&](QWidget*, const std::string&) { return std::optional(answer); });
    Click(form, "Button3");
    EXPECT_EQ(DirN(form)->text().toStdString(), "/games/packs/");
  }
  EXPECT_EQ(toolkit_.exceptions,
            (std::vector<std::string>{"Unable to create directory", "Unable to create directory"}));
}

// The real chooser, driven like a user: type a name, answer the question.
class DirectoryChooserTest : public WindowTest {
 protected:
  static bool TypeAndAccept(QWidget* modal, const QString& name) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (dialog == nullptr || !dialog->isVisible()) return false;
    auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    edit->setText(name);
    auto* buttons = dialog->findChild<QDialogButtonBox*>("buttonBox");
    QPushButton* choose = buttons->button(QDialogButtonBox::Open);
    EXPECT_TRUE(choose->isEnabled()) << "the Choose button must take a new name";
    // Queued: the click opens a modal question, and the driver's timer does
    // not fire again while it is still in its own callback.
    QMetaObject::invokeMethod(choose, &QPushButton::click, Qt::QueuedConnection);
    return true;
  }
  static ModalDriver::Step Answer(QMessageBox::StandardButton which, std::string* text) {
    return [which, text](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      if (box == nullptr || !box->isVisible()) return false;
      *text = box->text().toStdString();
      box->button(which)->click();
      return true;
    };
  }
};

TEST_F(DirectoryChooserTest, CancelGivesNothing) {
  fs::create_directories(Path("start"));
  QString shown_directory;
  ModalDriver driver({[&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (dialog == nullptr || !dialog->isVisible()) return false;
    shown_directory = dialog->directory().absolutePath();
    dialog->reject();
    return true;
  }});
  EXPECT_EQ(ChooseDirectory(nullptr, Path("start").string() + "/"), std::nullopt);
  EXPECT_TRUE(driver.finished());
  EXPECT_EQ(shown_directory.toStdString(), Path("start").string());
}

TEST_F(DirectoryChooserTest, NewNameIsAskedAboutAndNoKeepsTheChooserOpen) {
  fs::create_directories(Path("start"));
  std::string first_question, second_question;
  bool open_after_no = false;
  ModalDriver driver({
      [&](QWidget* modal) { return TypeAndAccept(modal, "fresh"); },
      Answer(QMessageBox::No, &first_question),
      [&](QWidget* modal) {
        open_after_no = qobject_cast<QFileDialog*>(modal) != nullptr && modal->isVisible();
        return TypeAndAccept(modal, "fresh");
      },
      Answer(QMessageBox::Yes, &second_question),
  });
  const auto chosen = ChooseDirectory(nullptr, Path("start").string());
  EXPECT_TRUE(driver.finished());
  EXPECT_TRUE(open_after_no);
  EXPECT_EQ(first_question, "The specified directory does not exist. Create it?");
  EXPECT_EQ(second_question, first_question);
  EXPECT_EQ(chosen, Path("start/fresh").string());
  // The chooser only chooses; Browse creates.
  EXPECT_FALSE(fs::exists(Path("start/fresh")));
}

TEST_F(DirectoryChooserTest, ExistingDirectoryIsTakenWithoutAQuestion) {
  fs::create_directories(Path("start/there"));
  ModalDriver driver({[&](QWidget* modal) {
    return TypeAndAccept(modal, QString::fromStdString(Path("start/there").string()));
  }});
  EXPECT_EQ(ChooseDirectory(nullptr, Path("start").string()), Path("start/there").string());
  EXPECT_TRUE(driver.finished());
}

TEST_F(DirectoryChooserTest, BrowseWithTheChooserCreatesTheNewFolder) {
  fs::create_directories(Path("start"));
  TForm1 form;
  form.findChild<QLineEdit*>("DirN")->setText(QString::fromStdString(Path("start").string() + "/"));
  std::string question;
  ModalDriver driver({
      [&](QWidget* modal) { return TypeAndAccept(modal, "new/deeper"); },
      Answer(QMessageBox::Yes, &question),
  });
  QTest::mouseClick(form.findChild<QPushButton*>("Button3"), Qt::LeftButton);
  EXPECT_TRUE(driver.finished());
  EXPECT_TRUE(fs::is_directory(Path("start/new/deeper")));
  EXPECT_EQ(form.findChild<QLineEdit*>("DirN")->text().toStdString(),
            Path("start/new/deeper").string() + "/");
}

std::string FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

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
  EXPECT_TRUE(FileBytes(pack) == FileBytes(ExecutablePath()));
  EXPECT_EQ(CipherReg->ReadValue("Pack", "Pack1", ""), pack.string());
  EXPECT_EQ(CipherReg->ReadValue("Pack", "Comm1", ""), "Tessaline");
  EXPECT_EQ(CipherReg->ReadValue("Pack", "Cir1", ""), "Тесселин");
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

}  // namespace
}  // namespace tessaline::test
