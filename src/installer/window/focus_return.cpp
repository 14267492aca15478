#include "installer/window/focus_return.h"

namespace tessaline {

FocusReturn::FocusReturn(QWidget& window) : window_(&window), control_(window.focusWidget()) {}

FocusReturn::~FocusReturn() {
  if (window_ == nullptr || !window_->isVisible()) return;
  window_->raise();
  window_->activateWindow();
  // Set while the window may still be inactive: the window's focus goes
  // there as soon as it is active.
  if (control_ != nullptr && control_->window() == window_) control_->setFocus(Qt::OtherFocusReason);
}

}  // namespace tessaline
