// The window toolkit's services (support/toolkit.h) done with Qt widgets:
// message boxes, the plain message dialog, the exception display, the beep,
// the override cursor, the application title and processing of pending events.
//
// Thread use: create it on the user-interface thread while the QApplication
// exists, and install it with SetToolkit. Every call from another thread is
// carried out on the user-interface thread while the calling thread waits
// (a blocking queued call), so no widget is ever touched off that thread; the
// user-interface thread must then be running its event loop, or the caller
// waits forever. The toolkit must outlive every such call.
#pragma once

#include <mutex>
#include <string>

#include "support/toolkit.h"

namespace tessaline {

class QtToolkit : public Toolkit {
 public:
  QtToolkit() = default;
  ~QtToolkit() override;

  QtToolkit(const QtToolkit&) = delete;
  QtToolkit& operator=(const QtToolkit&) = delete;

  // A box with the icon (0x10 error, 0x20 question, 0x30 warning, 0x40
  // information) and buttons (low four bits: 0 OK, 1 OK/Cancel, 2
  // Abort/Retry/Ignore, 3 Yes/No/Cancel, 4 Yes/No, 5 Retry/Cancel) of `flags`,
  // owned by the active window. Returns the platform's button code (1 OK,
  // 2 Cancel, 3 Abort, 4 Retry, 5 Ignore, 6 Yes, 7 No); a box closed without
  // a button gives Cancel, or OK when OK is its only button.
  int MessageBox(const std::string& text, const std::string& caption, std::int32_t flags) override;
  void ShowPlainMessage(const std::string& text) override;
  void ShowException(const std::string& message) override;
  void Beep() override;
  int ScreenCursor() const override;
  void SetScreenCursor(int cursor) override;
  void ProcessMessages() override;
  std::string Title() const override;
  void SetTitle(const std::string& title) override;

 private:
  mutable std::mutex mutex_;  // guards title_ and cursor_
  std::string title_;
  int cursor_ = kCursorDefault;
  bool cursor_overridden_ = false;  // user-interface thread only
};

}  // namespace tessaline
