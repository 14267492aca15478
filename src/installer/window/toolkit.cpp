#include "installer/window/toolkit.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QThread>
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

constexpr int kIdCancel = 2;
constexpr int kIdAbort = 3;
constexpr int kIdRetry = 4;
constexpr int kIdIgnore = 5;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

QMessageBox::Icon IconOf(std::int32_t flags) {
  switch (flags & 0xF0) {
    case 0x10:
      return QMessageBox::Critical;
    case 0x20:
      return QMessageBox::Question;
    case 0x30:
      return QMessageBox::Warning;
    case 0x40:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

QMessageBox::StandardButtons ButtonsOf(std::int32_t flags) {
  switch (flags & 0x0F) {
    case 1:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case 2:
      return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case 3:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case 4:
      return QMessageBox::Yes | QMessageBox::No;
    case 5:
      return QMessageBox::Retry | QMessageBox::Cancel;
    default:
      return QMessageBox::Ok;
  }
}

int ButtonCode(QMessageBox::StandardButton button, QMessageBox::StandardButtons offered) {
  switch (button) {
    case QMessageBox::Ok:
      return kIdOk;
    case QMessageBox::Cancel:
      return kIdCancel;
    case QMessageBox::Abort:
      return kIdAbort;
    case QMessageBox::Retry:
      return kIdRetry;
    case QMessageBox::Ignore:
      return kIdIgnore;
    case QMessageBox::Yes:
      return kIdYes;
    case QMessageBox::No:
      return kIdNo;
    default:
      return offered == QMessageBox::Ok ? kIdOk : kIdCancel;
  }
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

Qt::CursorShape ShapeOf(int cursor) {
  switch (cursor) {
    case -1:
      return Qt::BlankCursor;
    case -3:
      return Qt::CrossCursor;
    case -4:
      return Qt::IBeamCursor;
    case -6:
      return Qt::SizeBDiagCursor;
    case -7:
      return Qt::SizeVerCursor;
    case -8:
      return Qt::SizeFDiagCursor;
    case -9:
      return Qt::SizeHorCursor;
    case -10:
      return Qt::UpArrowCursor;
    case kCursorWait:
      return Qt::WaitCursor;
    case -13:
    case -18:
      return Qt::ForbiddenCursor;
    case -19:
      return Qt::BusyCursor;
    case -20:
      return Qt::WhatsThisCursor;
    case -21:
      return Qt::PointingHandCursor;
    case -22:
      return Qt::SizeAllCursor;
    default:
      return Qt::ArrowCursor;
  }
}

}  // namespace

QString BoxText(const std::string& text) {
  QString result = QString::fromStdString(text);
  result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return result;
}

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
