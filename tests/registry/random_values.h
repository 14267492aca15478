// Random key and value names and value data that are hard for the hive's
// text form, for the tests of writing and rewriting it.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "registry/hive.h"

namespace tessaline::test {

// A name of 0 to 6 pieces (1 to 6 for a key, which never holds "\").
inline std::string RandomName(std::mt19937& rng, bool key) {
  static const std::vector<std::string> kPieces = {"a", "Z", " ",  "\"", "\\", "[", "]", "=", ";",
                                                   "@", ",", "\t", "é",  "Ё",  "ж", "😀", "%"};
  std::uniform_int_distribution<int> length(key ? 1 : 0, 6);
  std::uniform_int_distribution<std::size_t> piece(0, kPieces.size() - 1);
  std::string name;
  for (int n = length(rng); n > 0; --n) {
    std::string p = kPieces[piece(rng)];
    if (key && p == "\\") p = "/";
    name += p;
  }
  return name;
}

// Data of `type`: mostly quotable text for REG_SZ, else bytes that may wrap
// onto continuation lines, a dword of either form.
inline std::string RandomData(std::mt19937& rng, std::uint32_t type) {
  if (type == kRegSz && rng() % 3) return RandomName(rng, false) + '\0';
  std::string data;
  for (int n = std::uniform_int_distribution<int>(0, 90)(rng); n > 0; --n) {
    data.push_back(static_cast<char>(rng()));
  }
  if (type == kRegDword && rng() % 2) data.resize(4);
  return data;
}

}  // namespace tessaline::test
