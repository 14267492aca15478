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

}  // namespace

bool IsValid(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    if (b >= 0xC2 && b <= 0xDF) {
      // Two bytes (Cyrillic, Latin-1 ...): never overlong, never out of range.
      if (i + 1 == n || !IsContinuation(static_cast<unsigned char>(text[i + 1]))) return false;
      i += 2;
      continue;
    }
    const std::size_t len = ClaimedLength(b);
    if (len == 0 || n - i < len) return false;
    std::uint32_t cp = b & (0x7F >> len);
    for (std::size_t k = 1; k < len; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if (!IsContinuation(c)) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF.
    if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    i += len;
  }
  return true;
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
