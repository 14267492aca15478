// Case-insensitive text comparison for the dictionary and the registry store.
//
// Texts are UTF-8. Two texts are the same ignoring case when they are equal
// after folding these letter pairs to lower case: ASCII A-Z, the Latin-1
// letters U+00C0..U+00DE (except U+00D7, the multiplication sign), Š Œ Ž, and
// the Cyrillic letters of Windows code page 1251 (А..Я, Ё Ђ Ѓ Є Ѕ І Ї Ј Љ Њ Ћ Ќ
// Ў Џ Ґ). Every other character, including bytes that are not valid UTF-8,
// must be equal byte for byte. Е and Ё, И and Й stay different letters.
//
// All functions are pure and thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace tessaline {

// True when `a` and `b` are equal ignoring letter case as described above.
bool SameText(std::string_view a, std::string_view b);

// The case-folded form of `text`, of the same length: SameText(a, b) holds
// exactly when FoldCase(a) == FoldCase(b), so it can key a hash index.
std::string FoldCase(std::string_view text);

// True when `a` and `b` are equal ignoring the case of ASCII letters only.
bool SameTextAscii(std::string_view a, std::string_view b);

}  // namespace tessaline
