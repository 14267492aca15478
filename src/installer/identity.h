// The installer's identity: the pack's number and its two titles.
//
// The values are placeholders until the installer module's start-up gives
// them the pack's own, before the window exists. PackNo is written in decimal
// after the pack record's value names (Pack1, Comm1, Cir1); PackName is the
// window's title, the application title and the pack file's base name;
// PackNameCyr is only recorded in the registry. Texts are UTF-8.
//
// A program carries its identity as its resource IDENTITY
// (support/resources.h), written by tessaline-pack: three lines, each ending
// in a line feed, in this order and nothing else:
//
//     Number=2
//     CyrillicTitle=Пустельга
//     Title=Kestrel
//
// The number is written in decimal without sign or leading zeros, 1 to
// 2,147,483,647; each title as it is (no quotes, no escapes), so the rules of
// TitleProblem keep it on its line.
//
// Thread use: main thread only, like everything that reads them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessaline {

// The pack an executable installs, read from its resource IDENTITY.
struct PackIdentity {
  std::int32_t number = 0;
  std::string name;
  std::string cyrillic_name;
};

extern std::int32_t PackNo;      // placeholder 0
extern std::string PackNameCyr;  // placeholder "Карты х"
extern std::string PackName;     // placeholder "Pack x"

// The installer module's start-up: gives PackNo, PackName and PackNameCyr the
// values of `identity`.
void InstallerStartup(const PackIdentity& identity);

// The installer module's shut-down: releases PackName and PackNameCyr (they
// become empty and give their memory back). Safe to call when start-up has
// not run.
void InstallerShutdown();

// The name of the resource that holds a program's identity.
inline constexpr char kIdentityResource[] = "IDENTITY";

// The longest title, in bytes: the pack file "<title>.wpk" must fit the
// 255 bytes of a file name.
inline constexpr std::size_t kMaxTitleBytes = 251;

// Why `title` cannot be a pack's title, or empty when it can: it is empty,
// is not UTF-8, or holds a control character (a line feed, a NUL, ...); with
// `names_file` (the title, not the Cyrillic title, names the pack file) also
// when it holds "/" or is longer than kMaxTitleBytes.
std::string TitleProblem(std::string_view title, bool names_file);

// The pack number `text` stands for: decimal digits only (leading zeros
// allowed), 1 to 2,147,483,647; nothing otherwise.
std::optional<std::int32_t> ParsePackNumber(std::string_view text);

// The identity resource's text for `identity` (see above).
std::string IdentityText(const PackIdentity& identity);

// The identity that `text` holds. Throws tessaline::Exception "The pack
// identity is damaged: <what>" for any text IdentityText does not write.
PackIdentity ParseIdentityText(std::string_view text);

// The running program's identity, from its resource IDENTITY. Throws
// tessaline::Exception "This program carries no pack identity: <reason>"
// when the resource is missing or cannot be read, and ParseIdentityText's
// error when it is damaged.
PackIdentity ProgramIdentity();

}  // namespace tessaline
