#include "installer/window/form.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QTextDocument>  // Qt::mightBeRichText
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <exception>

#include "drawing/backdrop.h"
#include "drawing/canvas.h"
#include "installer/folders.h"
#include "installer/installation.h"
#include "os/files.h"
#include "os/process.h"
#include "support/messages.h"
#include "support/resources.h"
#include "support/toolkit.h"
#include "text/utf8.h"
#include "ui_form.h"

namespace tessaline {
namespace {

// Runs an event handler. What it raises goes to the application's default
// exception display right here, at the handler's edge: unwinding through Qt's
// own event code (which is not written for exceptions) would leave Qt's state
// half updated. The application's notify() stays as the last resort.
template <typename Handler>
void RunHandler(Handler&& handler) {
  try {
    handler();
  } catch (...) {
    ShowCurrentException();
  }
}

// Gives a window the focus back when a dialog it opened has closed: the
// window is raised and activated, and the focus goes back to the control
// that had it when the dialog opened. The window system may not do it by
// itself: under openbox, a question box closing just before the dialog that
// asked it leaves the focus on the window manager's own window about half
// the time. The request to activate the window leaves on the same
// connection after the dialog's unmapping, so the window manager takes it
// after its own choice of focus.
class FocusReturn {
 public:
  explicit FocusReturn(QWidget& window) : window_(&window), control_(window.focusWidget()) {}
  FocusReturn(const FocusReturn&) = delete;
  FocusReturn& operator=(const FocusReturn&) = delete;
  ~FocusReturn() {
    if (window_ == nullptr || !window_->isVisible()) return;
    window_->raise();
    window_->activateWindow();
    // Set while the window may still be inactive: the window's focus goes
    // there as soon as it is active.
    if (control_ != nullptr && control_->window() == window_) {
      control_->setFocus(Qt::OtherFocusReason);
    }
  }

 private:
  QPointer<QWidget> window_;
  QPointer<QWidget> control_;
};

// Lets a window that was restored to a fixed size grow again.
void LiftSizeLimits(QWidget& window) {
  window.setMinimumSize(0, 0);
  window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

// The directory to open on: `start` when it is an existing directory, else
// the nearest existing folder above it (a folder chosen before that could
// not be made leaves its parents), else the home directory. Qt names files
// by text and cannot open a folder whose name is not UTF-8, so the chooser
// opens on the nearest folder above that it can name.
QString StartDirectory(std::string start) {
  while (!start.empty() && (!utf8::IsValid(start) || !DirectoryExists(start))) {
    while (start.size() > 1 && start.back() == '/') start.pop_back();
    const std::string parent = DirectoryPart(start);
    if (parent == start) break;
    start = parent;
  }
  if (start.empty() || !DirectoryExists(start)) return QDir::homePath();
  return QString::fromStdString(start);
}

// The question asked before a directory that does not exist is accepted, and
// the warning for the name of an existing file (the chooser stays open).
constexpr char kCreateQuestion[] = "The specified directory does not exist. Create it?";
constexpr char kNotADirectory[] = "The specified name is a file, not a directory.";

}  // namespace

TForm1::TForm1(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::TForm1>()), directory_prompt_(ChooseDirectory) {
  ui_->setupUi(this);
  design_size_ = size();
  // A fixed frame with only the system menu and the close button.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  ApplyDesignProperties();
  LoadPictures();
  connect(ui_->PB, &PaintBox::paint, this, &TForm1::PBPaint, Qt::DirectConnection);
  connect(ui_->btInstall, &QPushButton::clicked, this,
          [this] { RunHandler([this] { btInstallClick(); }); });
  connect(ui_->Button2, &QPushButton::clicked, this,
          [this] { RunHandler([this] { Button2Click(); }); });
  connect(ui_->Button3, &QPushButton::clicked, this,
          [this] { RunHandler([this] { Button3Click(); }); });
  FormCreate();
  // The focus starts on Install (its frame is shown once the window is
  // first active: ShowFocusOnFirstActivation).
  ui_->btInstall->setFocus();
}

TForm1::~TForm1() = default;

void TForm1::SetDirectoryPrompt(DirectoryPrompt prompt) {
  directory_prompt_ = std::move(prompt);
}

// The layout gives font heights in pixels and text colours as dynamic
// properties (a .ui font knows only whole points, and palettes set there
// would spread to the children).
void TForm1::ApplyDesignProperties() {
  QList<QWidget*> widgets = findChildren<QWidget*>();
  widgets.prepend(this);
  for (QWidget* widget : widgets) {
    if (const QVariant height = widget->property("fontHeight"); height.isValid()) {
      QFont font = widget->font();
      font.setPixelSize(-height.toInt());
      widget->setFont(font);
    }
    if (const QVariant color = widget->property("fontColor"); color.isValid()) {
      QPalette palette = widget->palette();
      for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(role, color.value<QColor>());
      }
      widget->setPalette(palette);
    }
  }
}

// The logos come from the executable's resources, named by each picture's
// "resourceName" property. A picture that cannot be loaded stays empty; the
// failure is shown like any other.
void TForm1::LoadPictures() {
  for (QLabel* label : findChildren<QLabel*>()) {
    const QVariant name = label->property("resourceName");
    if (!name.isValid()) continue;
    try {
      const QPixmap picture = ResourcePicture(name.toString().toStdString());
      label->setPixmap(picture);
      // Pictures size themselves to their contents.
      if (!picture.isNull()) label->resize(picture.size());
    } catch (...) {
      ShowCurrentException();
    }
  }
}

void TForm1::SetDestination(const std::string& dir_n) {
  destination_ = dir_n;
  destination_shown_ = QString::fromStdString(dir_n);  // invalid UTF-8 shows as U+FFFD
  ui_->DirN->setText(destination_shown_);
  // A long path shows its beginning; the tip, the whole path as shown.
  ui_->DirN->setCursorPosition(0);
  ui_->DirN->setToolTip(FieldToolTip(ui_->DirN->text()));
}

std::string TForm1::Destination() const {
  const QString shown = ui_->DirN->text();
  return shown == destination_shown_ ? destination_ : shown.toStdString();
}

// What the panel's facts look like. A fact that is not there leaves the
// design text of form.ui.
void TForm1::ShowState(const PanelState& state) {
  SetDestination(state.destination.value_or(Destination()));
  if (state.installed) {
    ui_->btInstall->setText(QStringLiteral("Reinstall pack"));
    ui_->Label2->setText(QStringLiteral("Pack allready installed."));
  }
  ui_->Label2->resize(ui_->Label2->sizeHint());  // labels size themselves to their text
  if (state.title) {
    ui_->Label1->setText(QString::fromStdString(*state.title));
    setWindowTitle(QString::fromStdString(*state.title));
    CurrentToolkit().SetTitle(*state.title);
  }
}

void TForm1::FormCreate() {
  PanelState state;
  try {
    state.Create();
  } catch (...) {
    // The texts set before the failure stay; the rest keep their design texts.
    ShowState(state);
    ShowCurrentException();
    return;
  }
  ShowState(state);
}

void TForm1::FormResize() {
  // C++ division truncates toward zero, as the centring wants (-5 / 2 == -2).
  QWidget* panel = ui_->Panel1;
  const int left = (width() - panel->width()) / 2;
  const int top = (height() - panel->height()) / 2;
  panel->setGeometry(left, top, panel->width(), panel->height());
}

void TForm1::Button2Click() {
  showMinimized();
  close();
}

void TForm1::Button3Click() {
  std::optional<std::string> chosen;
  {
    const FocusReturn focus_return(*this);  // when the chooser has closed
    chosen = directory_prompt_(this, Destination());
  }
  if (!chosen) return;
  const std::string destination = DestinationForFolder(*chosen);
  // May raise (DirN then stays); a level that cannot be made is told by Install.
  if (!DirectoryExists(destination)) (void)CreateFolderPath(destination);
  SetDestination(destination);
}

void TForm1::btInstallClick() {
  const std::string pack_path = InstallPack(Destination(), RunningImagePath());
  CurrentToolkit().ShowPlainMessage(CompletionText(pack_path));
  CurrentToolkit().ProcessMessages();
  close();
}

void TForm1::PBPaint(Canvas& canvas) {
  try {
    if (!backdrop_) backdrop_ = std::make_unique<Backdrop>(FindResource("PACK"));
    backdrop_->Paint(canvas);
  } catch (...) {
    // Without a card sheet the blend shows alone.
    Backdrop::PaintBlend(canvas);
    // A failure (a missing or damaged card sheet) would come back with every
    // paint, and an error box raised from inside a paint brings more paints:
    // report it once, from the event loop rather than from the paint.
    if (paint_failure_reported_) return;
    paint_failure_reported_ = true;
    QTimer::singleShot(0, this,
                       [failure = std::current_exception()] { std::rethrow_exception(failure); });
  }
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ui_->PB->setGeometry(rect());  // the paint box fills the client area
  RunHandler([this] { FormResize(); });
}

void TForm1::closeEvent(QCloseEvent* event) {
  RunHandler([this] { showMinimized(); });
  event->accept();
}

void TForm1::keyPressEvent(QKeyEvent* event) {
  // A push button takes only Space by itself outside a dialog; Enter and
  // Return reach the form.
  auto* button = qobject_cast<QPushButton*>(focusWidget());
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && button != nullptr &&
      button->isEnabled()) {
    button->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TForm1::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && !focus_shown_) {
    focus_shown_ = true;
    // Qt shows the focus frame only after a focus change by keyboard, and the
    // activation that follows this event gives the focus by another reason:
    // mark the window afterwards, from the event loop.
    QTimer::singleShot(0, this, [this] {
      setAttribute(Qt::WA_KeyboardFocusChange);
      if (QWidget* focused = focusWidget()) focused->update();
    });
  }
  if (event->type() != QEvent::WindowStateChange) return;
  const auto* change = static_cast<QWindowStateChangeEvent*>(event);
  const bool was_maximized = change->oldState() & (Qt::WindowMaximized | Qt::WindowFullScreen);
  if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
    LiftSizeLimits(*this);
  } else if (was_maximized && !(windowState() & Qt::WindowMinimized)) {
    RestoreDesignGeometry();
  }
}

namespace {
// The least room left for a restored frame's side borders and title bar.
constexpr int kRestoredBorder = 4;
constexpr int kRestoredTitle = 30;
}  // namespace

// The design size (or the screen's available area when that is smaller),
// centred, with the frame's top left inside the available area so the title
// bar can be reached.
void TForm1::RestoreDesignGeometry() {
  QScreen* screen = this->screen();
  QSize client = design_size_;
  QRect area = screen != nullptr ? screen->availableGeometry() : QRect(QPoint(0, 0), client);
  // A maximised frame often lacks the borders a restored one gets, so its
  // margins understate them: the size and the top left leave at least common
  // border and title sizes, and the centring uses the margins known.
  const QMargins known = windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
  const QMargins least(
      std::max(known.left(), kRestoredBorder), std::max(known.top(), kRestoredTitle),
      std::max(known.right(), kRestoredBorder), std::max(known.bottom(), kRestoredBorder));
  const QRect room = area.marginsRemoved(least);
  client = client.boundedTo(room.size()).expandedTo(QSize(1, 1));
  setFixedSize(client);
  QRect wanted(QPoint(0, 0), client);
  wanted.moveCenter(area.marginsRemoved(known).center());
  wanted.moveTopLeft(
      QPoint(std::max(wanted.left(), room.left()), std::max(wanted.top(), room.top())));
  setGeometry(wanted);
}

void ShowMaximizedOnScreen(QWidget& window) {
  LiftSizeLimits(window);
  if (QScreen* screen = window.screen()) window.setGeometry(screen->availableGeometry());
  window.showMaximized();
}

QString FieldToolTip(const QString& text) {
  QString shown = text;
  for (QChar& c : shown) {
    if ((c.unicode() < 0x20 && c != u'\t') || c == QChar::LineSeparator ||
        c == QChar::ParagraphSeparator) {
      c = u' ';
    }
  }
  if (!Qt::mightBeRichText(shown)) return shown;
  return QStringLiteral("<p style=\"white-space:pre\">") + shown.toHtmlEscaped() +
         QStringLiteral("</p>");
}

QPixmap ResourcePicture(const std::string& name) {
  const auto bytes = FindResource(name);
  QPixmap picture;
  picture.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                       static_cast<uint>(bytes.size()));
  return picture;
}

DirectoryChooser::DirectoryChooser(QWidget* parent, const std::string& start)
    : QFileDialog(parent, QStringLiteral("Select Directory"), StartDirectory(start)) {
  setOption(QFileDialog::DontUseNativeDialog);
  setOption(QFileDialog::ShowDirsOnly);
  setFileMode(QFileDialog::Directory);
  setAcceptMode(QFileDialog::AcceptOpen);
  // Qt disables the accept button for a typed name that does not exist; keep
  // it usable whenever a name has been typed (our accept() handles the rest).
  // This connection is made after Qt's own, so it has the last word.
  auto* name_edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
  if (name_edit != nullptr && buttons != nullptr) {
    connect(name_edit, &QLineEdit::textChanged, this, [buttons](const QString& text) {
      if (QPushButton* open = buttons->button(QDialogButtonBox::Open);
          open != nullptr && !text.trimmed().isEmpty()) {
        open->setEnabled(true);
      }
    });
  }
}

void DirectoryChooser::accept() {
  const QStringList files = selectedFiles();
  QString path = files.isEmpty() ? directory().absolutePath() : files.first();
  if (path.isEmpty()) return;
  path = QDir::cleanPath(QDir(directory()).absoluteFilePath(path));
  // A path Qt names is UTF-8: its bytes are those of the file system.
  const std::string bytes = path.toStdString();
  const Result<struct stat> info = StatPath(bytes);
  if (info.ok() && !S_ISDIR(info.value().st_mode)) {  // a file: not a choice
    QMessageBox::warning(this, windowTitle(), QString::fromUtf8(kNotADirectory));
    return;
  }
  if (!info.ok()) {
    const auto answer =
        QMessageBox::question(this, QStringLiteral("Confirm"), QString::fromUtf8(kCreateQuestion),
                              QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
  }
  chosen_ = bytes;
  // QFileDialog::accept() refuses a directory that does not exist; the choice
  // is made, so close the dialog as accepted directly.
  QDialog::accept();
}

std::optional<std::string> ChooseDirectory(QWidget* parent, const std::string& start) {
  DirectoryChooser chooser(parent, start);
  if (chooser.exec() != QDialog::Accepted) return std::nullopt;
  return chooser.chosen();
}

}  // namespace tessaline
