// The installer window, TForm1: the backdrop paint box PB filling the client
// area and the centred control panel Panel1 with the product heading, the
// pack title, the destination DirN and the buttons Install (btInstall), Exit
// (Button2) and Browse (Button3). The layout comes from form.ui; the
// controls keep their form names (QObject::objectName), so tests find them
// with findChild.
//
// What the window shows at creation is decided by PanelState; the
// installation is InstallPack. The handlers only move data between those and
// the widgets. An exception a handler raises is shown by the application's
// default exception display (ShowCurrentException) as it leaves the handler;
// the window stays open.
//
// Thread use: user-interface thread only.
#pragma once

#include <QFileDialog>
#include <QPixmap>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace Ui {
class TForm1;
}

namespace tessaline {

class Backdrop;
class Canvas;
struct PanelState;

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  // Builds the window from its layout and fills it from the product's
  // registry values (PanelState::Create). A failure while filling it is
  // shown through the exception display; the window is usable all the same.
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // How Browse asks for a directory: the chosen one, or nothing on Cancel.
  // ChooseDirectory (the Qt directory chooser) unless replaced, e.g. by tests.
  using DirectoryPrompt =
      std::function<std::optional<std::string>(QWidget* parent, const std::string& start)>;
  void SetDirectoryPrompt(DirectoryPrompt prompt);

 protected:
  // The paint box fills the client area; Panel1 stays centred in it.
  void resizeEvent(QResizeEvent* event) override;
  // Every way of closing passes here: the window is minimised, then closes.
  void closeEvent(QCloseEvent* event) override;
  // Enter or Return on a focused push button presses it.
  void keyPressEvent(QKeyEvent* event) override;
  // Out of the maximised state the frame keeps the design size, centred on
  // the screen, and does not resize; maximised, it takes the screen.
  void changeEvent(QEvent* event) override;

 private:
  void FormCreate();
  void FormResize();
  // Exit: minimise, then close.
  void Button2Click();
  // Browse (the button or Alt+B): creates the chosen directory when it does
  // not exist and puts it in DirN as a destination (DestinationForFolder).
  // When the prompt has closed, this window has the focus back, on the
  // control that had it.
  void Button3Click();
  // Install: installs the pack into DirN's folder, reports it and closes.
  void btInstallClick();
  // Draws the backdrop on the paint box's canvas.
  void PBPaint(Canvas& canvas);
  void ApplyDesignProperties();
  void RestoreDesignGeometry();
  void LoadPictures();
  void ShowState(const PanelState& state);
  // Puts `dir_n` in DirN, scrolled to its beginning, with the whole text as
  // the tool tip (FieldToolTip). DirN shows text, the destination is bytes:
  // a path that is not UTF-8 shows replacement characters there, and its
  // bytes are kept in destination_ for Browse and Install.
  void SetDestination(const std::string& dir_n);
  // The destination's bytes: those given to SetDestination while DirN still
  // shows them, else DirN's own text in UTF-8.
  std::string Destination() const;

  std::unique_ptr<Ui::TForm1> ui_;
  DirectoryPrompt directory_prompt_;
  std::string destination_;  // the bytes of what DirN shows as destination_shown_
  QString destination_shown_;
  // The backdrop of the executable's card sheet, made on the first paint.
  std::unique_ptr<Backdrop> backdrop_;
  bool paint_failure_reported_ = false;
  QSize design_size_;         // the client size of the layout
  bool focus_shown_ = false;  // the first activation has marked the focus
};

// Shows `window` maximised on its screen. Without a window manager (Xvfb)
// Qt would leave a small window that only claims to be maximised, so the
// geometry is set to the screen's available area first.
void ShowMaximizedOnScreen(QWidget& window);

// What the tool tip of a line edit holding `text` shows. The line edit draws
// each control character but the tab, and the line and paragraph
// separators, as a space; so does the tip. A tip that looks like rich text
// to Qt ("<b>" or "&lt;" in a folder's name) would be drawn as markup: it is
// then given as markup that draws exactly those characters, on one line.
QString FieldToolTip(const QString& text);

// The picture in the executable's resource `name`, in any format Qt reads
// (BMP, PNG, ICO); a null pixmap when its bytes are no picture Qt can read.
// Throws the resource lookup's error ("Resource %s not found") when there is
// no such resource.
QPixmap ResourcePicture(const std::string& name);

// The directory chooser of Browse: Qt's own (non-native) file dialog in
// directory mode, showing directories only, that also accepts the name of a
// directory that does not exist yet. Accepting such a name first asks "The
// specified directory does not exist. Create it?" (Yes / No); No keeps the
// chooser open. The name of an existing file is refused with a warning. The
// chooser itself creates nothing: its caller creates the chosen directory
// (CreateFolderPath), so that a failure to create it is the caller's to show.
class DirectoryChooser : public QFileDialog {
  Q_OBJECT

 public:
  // Opens on `start` when it is an existing directory, else on the nearest
  // existing folder above it, else on the user's home directory. A folder
  // whose path is not UTF-8 cannot be shown: the chooser opens on the nearest
  // one above it that can.
  DirectoryChooser(QWidget* parent, const std::string& start);

  // The accepted directory: an absolute path without a trailing "/" (except
  // the root itself), in UTF-8. Empty until the chooser is accepted.
  const std::string& chosen() const { return chosen_; }

 public slots:
  void accept() override;

 private:
  std::string chosen_;
};

// Runs the chooser modally; the chosen directory, or nothing on Cancel.
std::optional<std::string> ChooseDirectory(QWidget* parent, const std::string& start);

}  // namespace tessaline
