// UTF-8, the system's code page: checking, encoding, and the two-byte
// characters that case folding works on.
//
// Thread use: pure functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessaline::utf8 {

// Whether `c` continues a multi-byte character (10xxxxxx).
constexpr bool IsContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// The length of the well-formed character that starts at byte `i` of `text`
// (1 to 4), or 0 when none does.
std::size_t CharacterLength(std::string_view text, std::size_t i);

// Whether `text` is well-formed UTF-8: no overlong forms, no surrogates,
// nothing past U+10FFFF, no cut-off character at the end.
bool IsValid(std::string_view text);

// `bytes` as a terminal may show them: UTF-8 characters stay as they are, but
// control characters (U+0000..U+001F, U+007F..U+009F) and bytes that are not
// UTF-8 are written as "\xHH" per byte ("\t", "\n", "\r" for those three),
// and a backslash as "\\", so that the bytes can be read back from the form.
std::string Printable(std::string_view bytes);

// Appends the UTF-8 form of the code point `cp` (at most U+10FFFF).
void Append(std::string& out, std::uint32_t cp);

// The longest length of at most `limit` bytes at which `text` can be cut
// without splitting a character. Bytes that are not UTF-8 count as characters
// of their own.
std::size_t CharacterBoundaryAtMost(std::string_view text, std::size_t limit);

}  // namespace tessaline::utf8
