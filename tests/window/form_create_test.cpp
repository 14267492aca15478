// What the window shows when it is created, decided from the registry.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "installer/folders.h"
#include "installer/window/form.h"
#include "registry/cipher_reg.h"
#include "window_test_support.h"

namespace tessaline::test {
namespace {

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
  const std::string saved = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
  setenv("TMPDIR", Path("temp").c_str(), 1);
  TForm1 form;
  if (saved.empty()) {
    unsetenv("TMPDIR");
  } else {
    setenv("TMPDIR", saved.c_str(), 1);
  }
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

TEST_F(FormCreateTest, ProductKeyWithoutItsFolderValueGivesAnEmptyDestination) {
  ASSERT_TRUE(CipherReg->WriteValue("", "Other", "x"));
  TForm1 form;
  EXPECT_EQ(TextOf(form, "DirN"), "");
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

}  // namespace
}  // namespace tessaline::test
