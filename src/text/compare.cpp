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

// Length of the character that starts at `i`: 2 for a valid two-byte sequence
// (the only ones that can fold), 1 otherwise. Longer sequences are compared
// byte by byte, which is equivalent since none of their characters fold.
inline std::size_t TokenLength(std::string_view s, std::size_t i) {
  return utf8::IsTwoByteAt(s, i) ? 2 : 1;
}

inline std::uint32_t FoldTwoByte(std::string_view s, std::size_t i) {
  return FoldCodePoint(utf8::DecodeTwoByte(s, i));
}

}  // namespace

bool SameText(std::string_view a, std::string_view b) {
  // Folding keeps lengths, so texts of different lengths never match.
  if (a.size() != b.size()) return false;
  std::size_t i = 0;
  const std::size_t n = a.size();
  while (i < n) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x < 0x80 && y < 0x80) {  // ASCII fast path
      if (x != y && AsciiLower(x) != AsciiLower(y)) return false;
      ++i;
      continue;
    }
    std::size_t la = TokenLength(a, i);
    std::size_t lb = TokenLength(b, i);
    if (la != lb) return false;  // a folded pair never meets a lone byte
    if (la == 1) {
      if (x != y) return false;
    } else if (FoldTwoByte(a, i) != FoldTwoByte(b, i)) {
      return false;
    }
    i += la;
  }
  return true;
}

std::string FoldCase(std::string_view text) {
  std::string out(text);
  std::size_t i = 0;
  while (i < out.size()) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (c < 0x80) {
      out[i] = static_cast<char>(AsciiLower(c));
      ++i;
      continue;
    }
    if (TokenLength(out, i) == 1) {
      ++i;
      continue;
    }
    // Every folded partner is itself a two-byte character, so the length holds.
    std::uint32_t cp = FoldTwoByte(out, i);
    utf8::EncodeTwoByte(cp, &out[i]);
    i += 2;
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
