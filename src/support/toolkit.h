// The window toolkit's services that the support library and the installer
// need. The Qt window installs its own implementation at start-up; until then,
// and in runs without a window, a console implementation writes to the
// standard streams. Tests install a recording implementation.
//
// Thread use: CurrentToolkit() may be called from any thread; an implementation
// decides how a call from another thread than the user-interface thread is
// served (the Qt one runs the box on the user-interface thread and waits).
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

namespace tessaline {

// Message box style flags and results.
inline constexpr std::int32_t kMbOk = 0x00;
inline constexpr std::int32_t kMbIconError = 0x10;
inline constexpr std::int32_t kMbIconInformation = 0x40;
inline constexpr int kIdOk = 1;

// Screen cursors: 0 is the default arrow; the others are the toolkit's.
inline constexpr int kCursorDefault = 0;
inline constexpr int kCursorWait = -11;

class Toolkit {
 public:
  virtual ~Toolkit() = default;

  // Modal message box with the given text, title and style flags; returns the
  // code of the button that closed it (kIdOk for the one OK button).
  virtual int MessageBox(const std::string& text, const std::string& caption,
                         std::int32_t flags) = 0;

  // The plain message dialog: the text, one OK button, no icon, the
  // application title as caption, centred on the screen; returns when closed.
  virtual void ShowPlainMessage(const std::string& text) = 0;

  // The application's default exception display: an error box (flags
  // kMbIconError) titled with the application title, showing
  // ExceptionDisplayText(message).
  virtual void ShowException(const std::string& message) = 0;

  virtual void Beep() = 0;

  // The screen's current cursor, shared by the whole application.
  virtual int ScreenCursor() const = 0;
  virtual void SetScreenCursor(int cursor) = 0;

  // Handles every pending window message, then returns without waiting.
  virtual void ProcessMessages() = 0;

  // The application title (task-bar text; caption of error boxes and of the
  // plain message dialog).
  virtual std::string Title() const = 0;
  virtual void SetTitle(const std::string& title) = 0;
};

// The toolkit in use: the one installed with SetToolkit, else the console one.
Toolkit& CurrentToolkit();

// Installs a toolkit (not owned; it must outlive its use). nullptr restores the
// console toolkit.
void SetToolkit(Toolkit* toolkit);

// Installs `toolkit` (not owned) while it lives, then puts back the one before.
class ScopedToolkit {
 public:
  explicit ScopedToolkit(Toolkit& toolkit) : previous_(&CurrentToolkit()) { SetToolkit(&toolkit); }
  ScopedToolkit(const ScopedToolkit&) = delete;
  ScopedToolkit& operator=(const ScopedToolkit&) = delete;
  ~ScopedToolkit() { SetToolkit(previous_); }

 private:
  Toolkit* previous_;
};

// The text the exception display shows for a message: the message with a full
// stop appended when its last byte is greater than "." ("Stream read error" ->
// "Stream read error.", "Done!" and "x." unchanged).
std::string ExceptionDisplayText(const std::string& message);

// The toolkit for runs without a window: boxes and exception displays go to
// `errors` as "<caption>: <text>" (the text alone under an empty caption), the
// plain message dialog to `output`; the beep writes "\a" to `errors` when it
// is a terminal. The cursor is only remembered.
class ConsoleToolkit : public Toolkit {
 public:
  ConsoleToolkit(std::ostream& output, std::ostream& errors);

  int MessageBox(const std::string& text, const std::string& caption, std::int32_t flags) override;
  void ShowPlainMessage(const std::string& text) override;
  void ShowException(const std::string& message) override;
  void Beep() override;
  int ScreenCursor() const override { return cursor_; }
  void SetScreenCursor(int cursor) override { cursor_ = cursor; }
  void ProcessMessages() override {}
  std::string Title() const override { return title_; }
  void SetTitle(const std::string& title) override { title_ = title; }

 private:
  std::ostream& output_;
  std::ostream& errors_;
  int cursor_ = kCursorDefault;
  std::string title_;
};

}  // namespace tessaline
