#include "text/utf8.h"

namespace tessaline::utf8 {

namespace {

// The length a character starting with `lead` claims, or 0 for a byte that
// cannot start one.
std::size_t ClaimedLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// The length of the well-formed character at byte `i` of `text` (1 to 4),
// its code point in `*code_point` when asked; 0 when none starts there.
std::size_t CharacterAt(std::string_view text, std::size_t i, std::uint32_t* code_point) {
  const auto b = static_cast<unsigned char>(text[i]);
  const std::size_t len = ClaimedLength(b);
  if (len == 0 || text.size() - i < len) return 0;
  std::uint32_t cp = len == 1 ? b : b & (0x7F >> len);
  for (std::size_t k = 1; k < len; ++k) {
    const auto c = static_cast<unsigned char>(text[i + k]);
    if (!IsContinuation(c)) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  // Overlong forms, surrogates and code points past U+10FFFF.
  if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF ||
      (cp >= 0xD800 && cp <= 0xDFFF)) {
    return 0;
  }
  if (code_point != nullptr) *code_point = cp;
  return len;
}

// One byte in the printable form's escapes.
void AppendEscaped(std::string& out, unsigned char b) {
  static constexpr char kHex[] = "0123456789abcdef";
  switch (b) {
    case '\\':
      out += "\\\\";
      return;
    case '\t':
      out += "\\t";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    default:
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
  }
}

}  // namespace

std::size_t CharacterLength(std::string_view text, std::size_t i) {
  return CharacterAt(text, i, nullptr);
}

bool IsValid(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    // Plain ASCII, by far the most of any text, needs no decoding.
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t len = CharacterAt(text, i, nullptr);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

std::string Printable(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    std::uint32_t cp = 0;
    const std::size_t len = CharacterAt(bytes, i, &cp);
    if (len != 0 && cp >= 0x20 && !(cp >= 0x7F && cp <= 0x9F) && cp != '\\') {
      out.append(bytes.substr(i, len));
      i += len;
      continue;
    }
    // Not UTF-8, a control character or the escape itself: each byte of it.
    for (const std::size_t end = i + (len == 0 ? 1 : len); i < end; ++i) {
      AppendEscaped(out, static_cast<unsigned char>(bytes[i]));
    }
  }
  return out;
}

void Append(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::size_t CharacterBoundaryAtMost(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  // Step back over at most three continuation bytes to the character's lead;
  // cut before it when the character it starts does not fit whole.
  std::size_t start = limit;
  while (start > 0 && limit - start < 3 && IsContinuation(static_cast<unsigned char>(text[start])))
    --start;
  const std::size_t len = ClaimedLength(static_cast<unsigned char>(text[start]));
  if (len > 1 && start + len > limit && start < limit) return start;
  return limit;
}

}  // namespace tessaline::utf8
