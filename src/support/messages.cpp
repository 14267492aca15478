#include "support/messages.h"

#include <exception>

#include "support/dictionary.h"
#include "support/toolkit.h"

namespace tessaline {

namespace {

const char kLineBreak[] = "\r\n";

// Replaces the first `ch` in `text` by `replacement`; true when there was one.
bool ReplaceFirst(char ch, std::string& text, const std::string& replacement) {
  std::size_t pos = text.find(ch);
  if (pos == std::string::npos) return false;
  text.replace(pos, 1, replacement);
  return true;
}

}  // namespace

std::string BuildMsg(std::span<const MsgArg> args) {
  if (args.empty()) return {};
  const std::string& pattern = args[0].text();
  // Without the support library started there is nothing to translate with.
  std::string msg = CommonPage != nullptr ? CommonPage->TranslateOrSame(pattern) : pattern;
  // Line breaks first, so a "|" inside an argument stays as it is.
  while (ReplaceFirst('|', msg, kLineBreak)) {
  }
  // Each "%" search starts again at the beginning, after the texts inserted
  // so far: a "%" brought in by an argument is the next one filled.
  std::size_t i = 1;
  while (i < args.size() && ReplaceFirst('%', msg, args[i].text())) ++i;
  for (; i < args.size(); ++i) {
    msg += kLineBreak;
    msg += args[i].text();
  }
  return msg;
}

void ShowMsg(std::span<const MsgArg> args) {
  const std::string text = BuildMsg(args);
  Toolkit& toolkit = CurrentToolkit();
  const int saved = toolkit.ScreenCursor();
  toolkit.SetScreenCursor(kCursorDefault);
  // Put the cursor back even when the box fails.
  struct Restore {
    Toolkit& toolkit;
    int cursor;
    ~Restore() { toolkit.SetScreenCursor(cursor); }
  } restore{toolkit, saved};
  toolkit.MessageBox(text, std::string(), kMbIconInformation);
}

void ShowCurrentException() {
  std::exception_ptr current = std::current_exception();
  if (!current) {
    CurrentToolkit().Beep();
    return;
  }
  std::string message;
  try {
    std::rethrow_exception(current);
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = "Unknown error";
  }
  CurrentToolkit().ShowException(message);
}

}  // namespace tessaline
