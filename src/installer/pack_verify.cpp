#include "installer/pack_verify.h"

#include <cerrno>
#include <exception>
#include <ostream>

#include "installer/identity.h"
#include "installer/pack_record.h"
#include "os/files.h"
#include "registry/hive_file.h"

namespace tessaline {
namespace {

// The verdict on `record`, and whether it is "ok".
std::pair<bool, std::string> Judge(const PackRecord& record, const std::string& program) {
  const std::string n = record.number;
  if (record.empty()) return {false, "not installed"};
  if (!record.path) return {false, "record incomplete: Pack" + n + " missing"};
  if (!record.title) return {false, "record incomplete: Comm" + n + " missing"};
  if (!record.cyrillic_title) return {false, "record incomplete: Cir" + n + " missing"};
  if (*record.title != PackName) return {false, "record differs: Comm" + n};
  if (*record.cyrillic_title != PackNameCyr) return {false, "record differs: Cir" + n};
  const std::string& path = *record.path;
  Result<bool> same = SameContents(path, program);
  if (!same.ok()) {
    const int code = same.error().code();
    if (same.error().path() == path && (code == ENOENT || code == ENOTDIR)) {
      return {false, "file missing: " + path};
    }
    return {false, "file unreadable: " + path + ": " + same.error().ToString()};
  }
  if (!same.value()) return {false, "file differs: " + path};
  return {true, "ok: " + path};
}

}  // namespace

int RunVerify(const std::string& hive_path, const std::string& program, std::ostream& out,
              std::ostream& err) {
  PackRecord record;
  try {
    if (hive_path.empty()) {
      throw std::runtime_error(
          "No registry file: neither WENLORA_REGISTRY nor a home folder is set");
    }
    HiveFile hive(hive_path);
    record = FindPackRecord(hive.Read(), PackNo);
  } catch (const std::exception& error) {
    err << error.what() << '\n';
    return 1;
  }
  const auto [ok, line] = Judge(record, program);
  out << line << '\n';
  out.flush();
  return ok ? 0 : 1;
}

}  // namespace tessaline
