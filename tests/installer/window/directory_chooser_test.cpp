// The directory chooser of Browse, driven like a user: cancel, a new name
// (asked about), an existing directory, and Browse creating what it chose.
#include "installer/window/form.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "installer/window/form.h"
#include "window_test_support.h"

namespace tessaline::test {
namespace {

namespace fs = std::filesystem;

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

TEST_F(DirectoryChooserTest, NameOfAFileIsRefusedWithAWarning) {
  fs::create_directories(Path("start"));
  WriteFile(Path("start/file").string(), "x");
  std::string warning;
  bool open_after_warning = false;
  ModalDriver driver({
      [&](QWidget* modal) { return TypeAndAccept(modal, "file"); },
      Answer(QMessageBox::Ok, &warning),
      [&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog == nullptr || !dialog->isVisible()) return false;
        open_after_warning = true;
        dialog->reject();
        return true;
      },
  });
  EXPECT_EQ(ChooseDirectory(nullptr, Path("start").string()), std::nullopt);
  EXPECT_TRUE(driver.finished());
  EXPECT_EQ(warning, "The specified name is a file, not a directory.");
  EXPECT_TRUE(open_after_warning);
}

// Qt cannot name a folder whose path is not UTF-8: the chooser opens on the
// nearest folder above it, and a name typed there is taken as it is.
TEST_F(DirectoryChooserTest, StartThatIsNotUtf8OpensOnTheFolderAbove) {
  const std::string start = Path("caf\xE9").string();
  fs::create_directories(start + "/inner");
  QString shown_directory;
  std::string question;
  ModalDriver driver({
      [&](QWidget* modal) {
        if (modal == nullptr || !modal->isVisible()) return false;
        shown_directory = qobject_cast<QFileDialog*>(modal)->directory().absolutePath();
        return TypeAndAccept(modal, "new");
      },
      Answer(QMessageBox::Yes, &question),
  });
  EXPECT_EQ(ChooseDirectory(nullptr, start + "/inner/"), dir_.string() + "/new");
  EXPECT_TRUE(driver.finished());
  EXPECT_EQ(shown_directory.toStdString(), dir_.string());
}

// A start that does not exist (a folder chosen before that could not be
// made) opens on the nearest existing folder above it.
TEST_F(DirectoryChooserTest, StartThatDoesNotExistOpensOnTheNearestFolderAbove) {
  fs::create_directories(Path("games"));
  QString shown_directory;
  ModalDriver driver({
      [&](QWidget* modal) {
        if (modal == nullptr || !modal->isVisible()) return false;
        shown_directory = qobject_cast<QFileDialog*>(modal)->directory().absolutePath();
        qobject_cast<QDialog*>(modal)->reject();
        return true;
      },
  });
  EXPECT_EQ(ChooseDirectory(nullptr, Path("games/never/made/").string()), std::nullopt);
  EXPECT_TRUE(driver.finished());
  EXPECT_EQ(shown_directory.toStdString(), Path("games").string());
}

}  // namespace
}  // namespace tessaline::test
