// The pack record: the three values under the key
// HKEY_LOCAL_MACHINE\SOFTWARE\Wenlora\Pack that tell the game where pack N
// lies and what it is called, written in this order:
//   "Pack"N  the full path of the pack file
//   "Comm"N  the pack's title (PackName)
//   "Cir"N   the pack's Cyrillic title (PackNameCyr)
// N is the pack's number in decimal. This is the one place that names them:
// the window, the installation, --list, --verify and --uninstall all read,
// write and remove records through it.
//
// A record refused raises ERegistryException "Failed to set data for
// 'Pack<N>'", its second line saying why. Thread use: the functions on a Hive
// are plain; the others use the registry store CipherReg (main thread only).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/hive.h"
#include "registry/hive_file.h"

namespace tessaline {

// The product key's subkey that holds the records.
inline constexpr char kPackSubKey[] = "Pack";

// The record's value names for the number spelt `number` ("1" -> Pack1, Comm1, Cir1).
struct RecordNames {
  std::string path, title, cyrillic_title;
};
RecordNames RecordNamesOf(std::string_view number);

struct PackRecord {
  std::string number;                         // N in decimal ("1", "12")
  std::optional<std::string> path;            // "Pack"N
  std::optional<std::string> title;           // "Comm"N
  std::optional<std::string> cyrillic_title;  // "Cir"N

  bool empty() const { return !path && !title && !cyrillic_title; }
};

// The hive at `hive_path` (DefaultHivePath) for --list, --verify and
// --uninstall. Raises std::runtime_error "No registry file: neither
// WENLORA_REGISTRY nor a home folder is set" for an empty path.
HiveFile OpenHive(const std::string& hive_path);

// Every record with a "Pack"N value, N a number as the installer writes it
// (decimal without leading zeros, at most 2,147,483,647), sorted by N.
std::vector<PackRecord> ListPackRecords(const Hive& hive);

// The record of pack `number`; empty when the hive has none of its values.
// A value that is not text counts as missing.
PackRecord FindPackRecord(const Hive& hive, std::int32_t number);

// This pack's recorded file, read through CipherReg as the window reads it:
// "Pack"+PackNo of the subkey "Pack", empty when there is none. Raises the
// store's "Invalid data type" for a value that is not text.
std::string ReadRecordedPackPath();

// Refuses the record when it could not be written now, so that an install
// finds that out before it makes anything or puts anything in place.
void CheckRecordCanBeWritten();

// Holds the hive's exclusive lock through CipherReg for the caller's scope,
// so that the record and the caller's work on the pack file go together.
// Refuses the record when the lock cannot be had.
[[nodiscard]] HiveFile::WriteLock HoldRecordLock();

// Writes this pack's record (`pack_path`, PackName, PackNameCyr) through
// CipherReg in one change of the hive, in the record's order: all three
// values or none. Refuses the record when the store cannot open or create
// the key or the hive cannot be written.
void WritePackRecord(const std::string& pack_path);

// Removes the values of `seen` (all three) in one change of `hive`, provided
// "Pack"N still holds what `seen` read (another installer may have recorded
// a new file meanwhile: then ERegistryException, nothing removed). Every
// other value stays; so does every key that still holds something. The
// record's key and the product's keys above it go when left empty.
void RemovePackRecord(HiveFile& hive, const PackRecord& seen);

}  // namespace tessaline
