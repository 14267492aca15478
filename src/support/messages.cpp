#include "support/messages.h"

#include <cinttypes>
#include <cstdio>
#include <exception>
#include <utility>

#include "support/dictionary.h"
#include "support/object.h"
#include "support/toolkit.h"

namespace tessaline {

namespace {

template <typename T>
std::uintptr_t SlotOf(const T* pointer) {
  return reinterpret_cast<std::uintptr_t>(pointer);
}

template <typename T>
const T* PointerOf(std::uintptr_t slot) {
  return reinterpret_cast<const T*>(slot);
}

const char kLineBreak[] = "\r\n";

}  // namespace

// ---- MsgArg factories ----

MsgArg MsgArg::Integer(std::int32_t value) {
  return MsgArg(MsgTag::kInteger, static_cast<std::uint32_t>(value));
}
MsgArg MsgArg::Boolean(bool value) {
  return MsgArg(MsgTag::kBoolean, value ? 1 : 0);
}
MsgArg MsgArg::Char(char value) {
  return MsgArg(MsgTag::kChar, static_cast<unsigned char>(value));
}
MsgArg MsgArg::Extended(const long double* value) {
  return MsgArg(MsgTag::kExtended, SlotOf(value));
}
MsgArg MsgArg::ShortString(const unsigned char* value) {
  return MsgArg(MsgTag::kShortString, SlotOf(value));
}
MsgArg MsgArg::Pointer(const void* value) {
  return MsgArg(MsgTag::kPointer, SlotOf(value));
}
MsgArg MsgArg::PChar(const char* value) {
  return MsgArg(MsgTag::kPChar, SlotOf(value));
}
MsgArg MsgArg::Object(const TObject* value) {
  return MsgArg(MsgTag::kObject, SlotOf(value));
}
MsgArg MsgArg::Class(const TClass* value) {
  return MsgArg(MsgTag::kClass, SlotOf(value));
}
MsgArg MsgArg::Text(std::string value) {
  MsgArg arg(MsgTag::kAnsiString, 0);
  arg.text_ = std::move(value);
  return arg;
}
MsgArg MsgArg::Variant(const class Variant* value) {
  return MsgArg(MsgTag::kVariant, SlotOf(value));
}
MsgArg MsgArg::Other(std::uint8_t tag, std::uintptr_t slot) {
  return MsgArg(static_cast<MsgTag>(tag), slot);
}

// ---- text of an argument ----

std::string ArgToText(const MsgArg& arg) {
  const std::uintptr_t slot = arg.slot();
  switch (arg.raw_tag()) {
    case 0:
      return std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(slot)));
    case 1:
      return slot != 0 ? "True" : "False";
    case 2:
      return std::string("\"") + static_cast<char>(slot & 0xFF) + "\"";
    case 3: {
      const long double* number = PointerOf<long double>(slot);
      if (number == nullptr) return "nil";  // the tag promises a value; be safe anyway
      char buffer[128];
      std::snprintf(buffer, sizeof buffer, "%.15Lg", *number);
      return buffer;
    }
    case 4: {
      const unsigned char* text = PointerOf<unsigned char>(slot);
      if (text == nullptr) return {};
      return std::string(reinterpret_cast<const char*>(text + 1), text[0]);
    }
    case 5: {
      if (slot == 0) return "nil";
      // The pointer's full width, upper-case, with leading zeros.
      char buffer[2 * sizeof(void*) + 1];
      std::snprintf(buffer, sizeof buffer, "%0*" PRIXPTR, static_cast<int>(2 * sizeof(void*)),
                    slot);
      return buffer;
    }
    case 6: {
      const char* text = PointerOf<char>(slot);
      return text == nullptr ? std::string() : std::string(text);
    }
    case 7: {
      const TObject* object = PointerOf<TObject>(slot);
      if (object == nullptr) return "nil";
      std::string text = object->ClassName();
      if (const auto* component = dynamic_cast<const TComponent*>(object)) {
        text += "(" + component->Name() + ")";
      }
      return text;
    }
    case 8: {
      const TClass* cls = PointerOf<TClass>(slot);
      return cls == nullptr ? "nil" : std::string(cls->name);
    }
    case 11:
      return arg.text();
    case 13: {
      const class Variant* variant = PointerOf<class Variant>(slot);
      return variant == nullptr ? std::string() : variant->ToText();
    }
    default:
      return slot == 0 ? "nil" : " ?" + std::to_string(arg.raw_tag());
  }
}

// ---- building and showing ----

bool ReplaceFirst(char ch, std::string& text, const std::string& replacement) {
  std::size_t pos = text.find(ch);
  if (pos == std::string::npos) return false;
  text.replace(pos, 1, replacement);
  return true;
}

std::string BuildMsg(std::span<const MsgArg> args) {
  if (args.empty()) return {};
  const std::string pattern = ArgToText(args[0]);
  // Without the support library started there is nothing to translate with.
  std::string msg = CommonPage != nullptr ? CommonPage->TranslateOrSame(pattern) : pattern;
  // Line breaks first, so a "|" inside an argument stays as it is.
  while (ReplaceFirst('|', msg, kLineBreak)) {
  }
  // Each "%" search starts again at the beginning, after the texts inserted
  // so far: a "%" brought in by an argument is the next one filled.
  std::size_t i = 1;
  while (i < args.size() && ReplaceFirst('%', msg, ArgToText(args[i]))) ++i;
  for (; i < args.size(); ++i) {
    msg += kLineBreak;
    msg += ArgToText(args[i]);
  }
  return msg;
}

int MsgBox(const std::string& text, std::int32_t flags) {
  Toolkit& toolkit = CurrentToolkit();
  const int saved = toolkit.ScreenCursor();
  toolkit.SetScreenCursor(kCursorDefault);
  // Put the cursor back even when the box fails.
  struct Restore {
    Toolkit& toolkit;
    int cursor;
    ~Restore() { toolkit.SetScreenCursor(cursor); }
  } restore{toolkit, saved};
  return toolkit.MessageBox(text, std::string(), flags);
}

void ShowMsg(std::span<const MsgArg> args) {
  MsgBox(BuildMsg(args), kMbIconInformation);
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
