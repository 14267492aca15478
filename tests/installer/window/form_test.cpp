// The installer form: what it shows when it is created (decided from the
// registry), its handlers (Exit, closing, Browse with the prompt replaced,
// Install) and its layout (centring of the panel, the paint box, the texts'
// room, the pictures, the frame and the keyboard order).
#include "installer/window/form.h"

#include <unistd.h>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <cstdlib>

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

class FormLayoutTest : public WindowTest {};

TEST_F(FormLayoutTest, PanelIsCentredWithDivisionTruncatingTowardZero) {
  TForm1 form;
  QWidget* panel = form.findChild<QWidget*>("Panel1");
  QWidget* paint_box = form.findChild<QWidget*>("PB");
  ASSERT_NE(panel, nullptr);
  ASSERT_NE(paint_box, nullptr);
  struct Case {
    int width, height, left, top;
  };
  for (const Case c : {Case{688, 453, 87, 126}, Case{1920, 1080, 703, 439},
                       Case{514, 202, 0, 0},    // differences of 1 give 0
                       Case{508, 196, -2, -2},  // -5 div 2 is -2, not -3
                       Case{1, 1, -256, -100}}) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    form.show();
    form.resize(c.width, c.height);
    // The resize event of a shown window comes through the event loop.
    WaitFor([&] { return paint_box->size() == QSize(c.width, c.height); }, 2000);
    ASSERT_EQ(form.size(), QSize(c.width, c.height));
    EXPECT_EQ(panel->geometry(), QRect(c.left, c.top, 513, 201));
    EXPECT_EQ(paint_box->geometry(), form.rect());
  }
}

TEST_F(FormLayoutTest, EveryTextFitsItsControl) {
  // Both states: the installed one has the longer prompt and caption.
  for (bool installed : {false, true}) {
    if (installed) {
      ASSERT_TRUE(CipherReg->WriteValue("", "Wenlora", "/games/"));
      ASSERT_TRUE(CipherReg->WriteValue("Pack", "Pack1", "/games/Tessaline.wpk"));
    }
    TForm1 form;
    for (QLabel* label : form.findChildren<QLabel*>()) {
      if (label->text().isEmpty()) continue;
      SCOPED_TRACE(label->objectName().toStdString());
      const QRect needed = label->fontMetrics().boundingRect(label->text());
      EXPECT_LE(needed.width(), label->contentsRect().width());
      EXPECT_LE(label->fontMetrics().height(), label->contentsRect().height());
      // Inside its parent, so nothing is cut off there either.
      EXPECT_TRUE(label->parentWidget()->rect().contains(label->geometry()));
    }
    for (QPushButton* button : form.findChildren<QPushButton*>()) {
      SCOPED_TRACE(button->objectName().toStdString());
      EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 8, button->width());
      EXPECT_LE(button->fontMetrics().height() + 4, button->height());
    }
    auto* dir_n = form.findChild<QLineEdit*>("DirN");
    EXPECT_LE(dir_n->fontMetrics().height(), dir_n->height() - 4);
  }
}

TEST_F(FormLayoutTest, LogosAreMirrorImagesAtTheirNaturalSize) {
  TForm1 form;
  auto* left = form.findChild<QLabel*>("Image1");
  auto* right = form.findChild<QLabel*>("Image2");
  ASSERT_NE(left, nullptr);
  ASSERT_NE(right, nullptr);
  const QImage left_image = left->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
  const QImage right_image = right->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(left_image.size(), QSize(130, 34));
  EXPECT_EQ(left->size(), QSize(130, 34));
  EXPECT_EQ(right_image, left_image.mirrored(true, false));
}

TEST_F(FormLayoutTest, FrameOffersOnlyTheSystemMenuAndClose) {
  TForm1 form;
  const Qt::WindowFlags flags = form.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
}

// Out of the maximised state the window has the design's client size,
// centred on the screen, and its frame does not resize.
TEST_F(FormLayoutTest, RestoringFromMaximisedGivesTheFixedDesignSizeCentred) {
  TForm1 form;
  ShowMaximizedOnScreen(form);
  ASSERT_TRUE(WaitFor([&] { return form.isMaximized(); }, 2000));
  EXPECT_GT(form.width(), 688);  // maximised, it takes the screen
  form.showNormal();
  ASSERT_TRUE(WaitFor([&] { return form.size() == QSize(688, 453); }, 2000)) << form.width();
  EXPECT_EQ(form.minimumSize(), QSize(688, 453));
  EXPECT_EQ(form.maximumSize(), QSize(688, 453));
  const QRect area = form.screen()->availableGeometry();
  const QRect frame = form.frameGeometry();
  EXPECT_LE(std::abs(frame.center().x() - area.center().x()), 1);
  EXPECT_LE(std::abs(frame.center().y() - area.center().y()), 1);
  EXPECT_TRUE(area.contains(frame.topLeft()));  // the title bar is on the screen
  ShowMaximizedOnScreen(form);
  ASSERT_TRUE(WaitFor([&] { return form.width() > 688; }, 2000));
  EXPECT_EQ(form.minimumSize(), QSize(0, 0));
}

// On a screen smaller than the design the restored window fits the screen,
// and every button the keyboard reaches still works. Run in a child on an
// offscreen screen of 480 x 180.
TEST_F(FormLayoutTest, SmallScreenKeepsTheWindowOnItAndTheButtonsReachable) {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen->size() != QSize(480, 180)) {
    const std::string config = Path("small.json").string();
    WriteFile(
        config,
        R"({"windowFrameMargins": false, "screens": [{"name": "s", "x": 0, "y": 0, )"
        R"("width": 480, "height": 180, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    const std::string child = "env QT_QPA_PLATFORM=offscreen:configfile=" + config + " /proc/" +
                              std::to_string(::getpid()) +
                              "/exe --gtest_filter=FormLayoutTest.SmallScreen* >/dev/null 2>&1";
    EXPECT_EQ(std::system(child.c_str()), 0) << child;
    return;
  }
  TForm1 form;
  ShowMaximizedOnScreen(form);
  ASSERT_TRUE(WaitFor([&] { return form.isMaximized(); }, 2000));
  form.showNormal();
  ASSERT_TRUE(WaitFor([&] { return !form.isMaximized(); }, 2000));
  QCoreApplication::processEvents();
  const QRect area = screen->availableGeometry();
  EXPECT_TRUE(area.contains(form.frameGeometry())) << form.frameGeometry().width();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  std::vector<std::string> order;
  for (int i = 0; i < 3; ++i) {
    order.push_back(QApplication::focusWidget()->objectName().toStdString());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"btInstall", "Button2", "DirN"}));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // back to Install, then Exit
  ASSERT_EQ(QApplication::focusWidget()->objectName().toStdString(), "Button2");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_FALSE(form.isVisible());
}

TEST_F(FormLayoutTest, FocusStartsVisiblyOnInstallAndEnterPressesTheFocusedButton) {
  const std::string folder = Path("packs").string() + "/";
  TForm1 form;
  form.findChild<QLineEdit*>("DirN")->setText(QString::fromStdString(folder));
  int prompts = 0;
  form.SetDirectoryPrompt([&](QWidget*, const std::string&) {
    ++prompts;
    return std::optional<std::string>();
  });
  form.show();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), "btInstall");
  // The focus frame shows.
  EXPECT_TRUE(WaitFor([&] { return form.testAttribute(Qt::WA_KeyboardFocusChange); }, 2000));

  auto* browse = form.findChild<QPushButton*>("Button3");
  browse->setFocus();
  QTest::keyClick(browse, Qt::Key_Return);
  EXPECT_EQ(prompts, 1);
  QTest::keyClick(browse, Qt::Key_Enter);
  EXPECT_EQ(prompts, 2);
  // Other keys are not presses.
  QTest::keyClick(browse, Qt::Key_A);
  EXPECT_EQ(prompts, 2);

  auto* install = form.findChild<QPushButton*>("btInstall");
  install->setFocus();
  QTest::keyClick(install, Qt::Key_Return);
  ASSERT_TRUE(toolkit_.exceptions.empty()) << toolkit_.exceptions[0];
  EXPECT_TRUE(fs::exists(folder + "Tessaline.wpk"));
  EXPECT_FALSE(form.isVisible());
}

TEST_F(FormLayoutTest, TabGoesInstallExitDestinationAndSkipsBrowse) {
  TForm1 form;
  form.show();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  auto* install = form.findChild<QWidget*>("btInstall");
  install->setFocus();
  std::vector<std::string> order;
  for (int i = 0; i < 4; ++i) {
    order.push_back(QApplication::focusWidget()->objectName().toStdString());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"btInstall", "Button2", "DirN", "btInstall"}));
  auto* dir_n = form.findChild<QLineEdit*>("DirN");
  EXPECT_TRUE(dir_n->isReadOnly());
}

}  // namespace
}  // namespace tessaline::test
