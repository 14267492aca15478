#include "text/compare.h"

#include <cstddef>
#include <cstdint>

#include "text/utf8.h"

namespace tessaline {

namespace {

constexpr unsigned char AsciiLower(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// The lower-case partner of a code point below U+0800 among the folded pairs,
// or the code point itself.
constexpr std::uint32_t FoldCodePoint(std::uint32_t cp) {
  if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 0x20;  // À..Þ except ×
  switch (cp) {
    case 0x152:  // Œ
    case 0x160:  // Š
    case 0x17D:  // Ž
      return cp + 1;
    case 0x490:  // Ґ
      return 0x491;
    default:
      break;
  }
  if (cp >= 0x410 && cp <= 0x42F) return cp + 0x20;  // А..Я
  // Ё Ђ Ѓ Є Ѕ І Ї Ј Љ Њ Ћ Ќ Ў Џ; U+040D is not a letter of code page 1251.
  if (cp >= 0x401 && cp <= 0x40F && cp != 0x40D) return cp + 0x50;
  return cp;
}

}  // namespace

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && FoldCase(a) == FoldCase(b);
}

std::string FoldCase(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto c = static_cast<unsigned char>(out[i]);
    if (c < 0x80) {
      out[i] = static_cast<char>(AsciiLower(c));
    } else if (c >= 0xC2 && c <= 0xDF && i + 1 < out.size() &&
               utf8::IsContinuation(static_cast<unsigned char>(out[i + 1]))) {
      // Only two-byte characters fold, each to another two-byte character, so
      // the length holds; longer ones and stray bytes stay as they are.
      const auto next = static_cast<unsigned char>(out[i + 1]);
      const std::uint32_t cp = FoldCodePoint(((c & 0x1Fu) << 6) | (next & 0x3Fu));
      out[i] = static_cast<char>(0xC0 | (cp >> 6));
      out[++i] = static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x != y && AsciiLower(x) != AsciiLower(y)) return false;
  }
  return true;
}

}  // namespace tessaline
