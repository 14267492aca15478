// Gives a window the focus back when a dialog it opened has closed: the
// window is raised and activated, and the focus goes back to the control
// that had it when the dialog opened.
//
// The window system may not do it by itself: under openbox, a question box
// closing just before the dialog that asked it leaves the focus on the
// window manager's own window about half the time, the installer's window
// drawn inactive and deaf to the keyboard until it is clicked. The request
// to activate the window leaves on the same connection after the dialog's
// unmapping, so the window manager takes it after its own choice of focus.
//
// Thread use: user-interface thread only.
#pragma once

#include <QPointer>
#include <QWidget>

namespace tessaline {

class FocusReturn {
 public:
  // Notes `window`'s focused control, before the dialog opens.
  explicit FocusReturn(QWidget& window);
  FocusReturn(const FocusReturn&) = delete;
  FocusReturn& operator=(const FocusReturn&) = delete;
  // Gives the focus back, after the dialog has closed.
  ~FocusReturn();

 private:
  QPointer<QWidget> window_;
  QPointer<QWidget> control_;
};

}  // namespace tessaline
