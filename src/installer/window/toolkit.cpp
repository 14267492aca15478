#include "installer/window/toolkit.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QThread>
#include <algorithm>
#include <iterator>
#include <type_traits>
#include <utility>

namespace tessaline {
namespace {

// Runs `f` on the user-interface thread and returns its result; from that
// thread (or without an application) it runs at once.
template <typename F>
auto OnUiThread(F&& f) -> decltype(f()) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr || QThread::currentThread() == app->thread()) return f();
  using Result = decltype(f());
  if constexpr (std::is_void_v<Result>) {
    QMetaObject::invokeMethod(app, std::forward<F>(f), Qt::BlockingQueuedConnection);
  } else {
    Result result{};
    QMetaObject::invokeMethod(app, std::forward<F>(f), Qt::BlockingQueuedConnection, &result);
    return result;
  }
}

// The icons of a box's flags (flags & 0xF0, one step each 0x10) and its
// button sets (flags & 0x0F).
constexpr QMessageBox::Icon kIcons[] = {QMessageBox::NoIcon, QMessageBox::Critical,
                                        QMessageBox::Question, QMessageBox::Warning,
                                        QMessageBox::Information};
constexpr QMessageBox::StandardButtons kButtonSets[] = {
    QMessageBox::Ok,
    QMessageBox::Ok | QMessageBox::Cancel,
    QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore,
    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
    QMessageBox::Yes | QMessageBox::No,
    QMessageBox::Retry | QMessageBox::Cancel,
};
// The buttons in the order of the platform's codes, from kIdOk (1) on.
constexpr QMessageBox::StandardButton kButtonCodes[] = {
    QMessageBox::Ok,     QMessageBox::Cancel, QMessageBox::Abort, QMessageBox::Retry,
    QMessageBox::Ignore, QMessageBox::Yes,    QMessageBox::No};
constexpr int kIdCancel = 2;

QMessageBox::Icon IconOf(std::int32_t flags) {
  const std::size_t icon = (flags & 0xF0) >> 4;
  return icon < std::size(kIcons) ? kIcons[icon] : QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ButtonsOf(std::int32_t flags) {
  const std::size_t set = flags & 0x0F;
  return set < std::size(kButtonSets) ? kButtonSets[set] : QMessageBox::Ok;
}

int ButtonCode(QMessageBox::StandardButton button, QMessageBox::StandardButtons offered) {
  const auto* found = std::find(std::begin(kButtonCodes), std::end(kButtonCodes), button);
  if (found != std::end(kButtonCodes)) return kIdOk + static_cast<int>(found - kButtonCodes);
  // Closed without a button: Cancel, or OK when that is the only one.
  return offered == QMessageBox::Ok ? kIdOk : kIdCancel;
}

// The text as a box shows it: CR LF line breaks made LF.
QString BoxText(const std::string& text) {
  QString result = QString::fromStdString(text);
  result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return result;
}

// Runs a modal box and returns the platform's code of the button that closed it.
int RunBox(QMessageBox::Icon icon, const std::string& caption, const std::string& text,
           QMessageBox::StandardButtons buttons, QWidget* owner) {
  QMessageBox box(icon, QString::fromStdString(caption), BoxText(text), buttons, owner);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  const QMessageBox::StandardButton which =
      clicked != nullptr ? box.standardButton(clicked) : QMessageBox::NoButton;
  return ButtonCode(which, buttons);
}

// The screen cursors with a shape of their own; any other is the arrow.
constexpr std::pair<int, Qt::CursorShape> kCursorShapes[] = {
    {-1, Qt::BlankCursor},      {-3, Qt::CrossCursor},         {-4, Qt::IBeamCursor},
    {-6, Qt::SizeBDiagCursor},  {-7, Qt::SizeVerCursor},       {-8, Qt::SizeFDiagCursor},
    {-9, Qt::SizeHorCursor},    {-10, Qt::UpArrowCursor},      {kCursorWait, Qt::WaitCursor},
    {-13, Qt::ForbiddenCursor}, {-18, Qt::ForbiddenCursor},    {-19, Qt::BusyCursor},
    {-20, Qt::WhatsThisCursor}, {-21, Qt::PointingHandCursor}, {-22, Qt::SizeAllCursor},
};

Qt::CursorShape ShapeOf(int cursor) {
  for (const auto& [code, shape] : kCursorShapes) {
    if (code == cursor) return shape;
  }
  return Qt::ArrowCursor;
}

}  // namespace

QtToolkit::~QtToolkit() {
  if (cursor_overridden_ && QGuiApplication::instance() != nullptr) {
    QGuiApplication::restoreOverrideCursor();
  }
}

int QtToolkit::MessageBox(const std::string& text, const std::string& caption, std::int32_t flags) {
  return OnUiThread([&] {
    return RunBox(IconOf(flags), caption, text, ButtonsOf(flags), QApplication::activeWindow());
  });
}

void QtToolkit::ShowPlainMessage(const std::string& text) {
  // Without an owner the dialog centres itself on the screen.
  OnUiThread([&] { RunBox(QMessageBox::NoIcon, Title(), text, QMessageBox::Ok, nullptr); });
}

void QtToolkit::ShowException(const std::string& message) {
  OnUiThread([&] {
    RunBox(QMessageBox::Critical, Title(), ExceptionDisplayText(message), QMessageBox::Ok,
           QApplication::activeWindow());
  });
}

void QtToolkit::Beep() {
  OnUiThread([] { QApplication::beep(); });
}

int QtToolkit::ScreenCursor() const {
  std::lock_guard lock(mutex_);
  return cursor_;
}

void QtToolkit::SetScreenCursor(int cursor) {
  OnUiThread([&] {
    {
      std::lock_guard lock(mutex_);
      cursor_ = cursor;
    }
    if (cursor == kCursorDefault) {
      if (cursor_overridden_) QGuiApplication::restoreOverrideCursor();
      cursor_overridden_ = false;
    } else if (cursor_overridden_) {
      QGuiApplication::changeOverrideCursor(QCursor(ShapeOf(cursor)));
    } else {
      QGuiApplication::setOverrideCursor(QCursor(ShapeOf(cursor)));
      cursor_overridden_ = true;
    }
  });
}

void QtToolkit::ProcessMessages() {
  OnUiThread([] { QCoreApplication::processEvents(); });
}

std::string QtToolkit::Title() const {
  std::lock_guard lock(mutex_);
  return title_;
}

void QtToolkit::SetTitle(const std::string& title) {
  std::lock_guard lock(mutex_);
  title_ = title;
}

}  // namespace tessaline
