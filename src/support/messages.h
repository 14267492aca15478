// The message facility: builds one message text from a list of tagged
// arguments, translates its pattern through the dictionary page "Common", and
// shows it in an information box with an empty title.
//
// Thread use: no locks; the dictionary lookup and the box run on the calling
// thread (the toolkit decides where the box is really shown).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

namespace tessaline {

// The kind of value an argument carries.
enum class MsgTag : std::uint8_t {
  kInteger = 0,      // signed 32-bit integer
  kBoolean = 1,      // Boolean byte, not zero is true
  kChar = 2,         // single-byte character
  kExtended = 3,     // reference to a long double (never null)
  kShortString = 4,  // reference to a length byte and up to 255 bytes (never null)
  kPointer = 5,      // untyped pointer
  kPChar = 6,        // reference to a zero-terminated byte string
  kObject = 7,       // reference to a TObject
  kClass = 8,        // reference to a TClass
  kWideChar = 9,
  kPWideChar = 10,
  kAnsiString = 11,  // a text
  kCurrency = 12,
  kVariant = 13,     // reference to a Variant (never null)
  kInterface = 14,
  kWideString = 15,
  kInt64 = 16,
};

class TObject;
struct TClass;
class Variant;

// One element of an argument list: a value slot and its tag. Texts (tag 11)
// are held by value, so an argument list may be built from temporaries.
class MsgArg {
 public:
  static MsgArg Integer(std::int32_t value);
  static MsgArg Boolean(bool value);
  static MsgArg Char(char value);
  static MsgArg Extended(const long double* value);
  static MsgArg ShortString(const unsigned char* value);
  static MsgArg Pointer(const void* value);
  static MsgArg PChar(const char* value);
  static MsgArg Object(const TObject* value);
  static MsgArg Class(const TClass* value);
  static MsgArg Text(std::string value);
  static MsgArg Variant(const class Variant* value);
  // Any other tag (9, 10, 12, 14 and above) with its raw slot value.
  static MsgArg Other(std::uint8_t tag, std::uintptr_t slot);

  MsgTag tag() const { return tag_; }
  std::uint8_t raw_tag() const { return static_cast<std::uint8_t>(tag_); }
  std::uintptr_t slot() const { return slot_; }
  const std::string& text() const { return text_; }

 private:
  MsgArg(MsgTag tag, std::uintptr_t slot) : tag_(tag), slot_(slot) {}

  MsgTag tag_;
  std::uintptr_t slot_;
  std::string text_;
};

// The text of one argument.
std::string ArgToText(const MsgArg& arg);

// Replaces the first occurrence of `ch` in `text` by `replacement`; true when
// there was one.
bool ReplaceFirst(char ch, std::string& text, const std::string& replacement);

// The finished message: the pattern (args[0]) translated through "Common",
// each "|" made a line break (CR LF), each "%" filled in turn with the next
// argument's text, and the arguments left over appended on lines of their own.
// `args` must hold at least one element.
std::string BuildMsg(std::span<const MsgArg> args);
inline std::string BuildMsg(std::initializer_list<MsgArg> args) {
  return BuildMsg(std::span<const MsgArg>(args.begin(), args.size()));
}

// Shows `text` in the application's message box with an empty title and the
// given flags, with the default cursor while it is up; returns the button code.
int MsgBox(const std::string& text, std::int32_t flags);

// BuildMsg, then MsgBox with the information icon and one OK button.
void ShowMsg(std::span<const MsgArg> args);
inline void ShowMsg(std::initializer_list<MsgArg> args) {
  ShowMsg(std::span<const MsgArg>(args.begin(), args.size()));
}

// Inside a catch block: shows the exception being handled through the
// application's exception display (any exception: a std::exception shows its
// what(), anything else "Unknown error"). Outside one: the default beep.
void ShowCurrentException();

}  // namespace tessaline
