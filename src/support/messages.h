// The message facility: builds one message text from a list of arguments,
// translates its pattern through the dictionary page "Common", and shows it in
// an information box with an empty title.
//
// Thread use: no locks; the dictionary lookup and the box run on the calling
// thread (the toolkit decides where the box is really shown).
#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <utility>

namespace tessaline {

// One element of an argument list: a text, held by value, so that a list may
// be built from temporaries.
class MsgArg {
 public:
  static MsgArg Text(std::string value) { return MsgArg(std::move(value)); }
  const std::string& text() const { return text_; }

 private:
  explicit MsgArg(std::string text) : text_(std::move(text)) {}
  std::string text_;
};

// The finished message: the pattern (args[0]) translated through "Common",
// each "|" made a line break (CR LF), each "%" filled in turn with the next
// argument's text, and the arguments left over appended on lines of their own.
std::string BuildMsg(std::span<const MsgArg> args);
inline std::string BuildMsg(std::initializer_list<MsgArg> args) {
  return BuildMsg(std::span<const MsgArg>(args.begin(), args.size()));
}

// BuildMsg, shown in the application's message box with an empty title, the
// information icon and one OK button, with the default cursor while it is up.
void ShowMsg(std::span<const MsgArg> args);
inline void ShowMsg(std::initializer_list<MsgArg> args) {
  ShowMsg(std::span<const MsgArg>(args.begin(), args.size()));
}

// Inside a catch block: shows the exception being handled through the
// application's exception display (any exception: a std::exception shows its
// what(), anything else "Unknown error"). Outside one: the default beep.
void ShowCurrentException();

}  // namespace tessaline
