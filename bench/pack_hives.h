// Hive files that record many packs, for the benchmarks that compare a hive
// of many packs with one of a single pack.
#pragma once

#include <string>

#include "registry/hive_file.h"

namespace tessaline::bench {

// Writes the hive file at `path` recording packs `first` to `last` as the
// installer records a pack (PackN, CommN, CirN), with made-up paths and
// titles of the usual lengths, Cyrillic included.
inline void WritePackHive(const std::string& path, int first, int last) {
  HiveFile file(path);
  file.Modify([&](Hive& hive) {
    HiveKey& key = hive.CreateKey({"HKEY_LOCAL_MACHINE", "SOFTWARE", "Wenlora", "Pack"});
    for (int n = first; n <= last; ++n) {
      const std::string no = std::to_string(n);
      key.SetValue("Pack" + no, kRegSz, "/opt/wenlora/packs/Pack number " + no + ".wpk" + '\0');
      key.SetValue("Comm" + no, kRegSz, "Pack number " + no + '\0');
      key.SetValue("Cir" + no, kRegSz, "Колода номер " + no + '\0');
    }
    return true;
  });
}

}  // namespace tessaline::bench
