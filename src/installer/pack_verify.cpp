#include "installer/pack_verify.h"

#include <exception>
#include <ostream>

#include "installer/identity.h"
#include "installer/pack_file.h"
#include "installer/pack_record.h"
#include "registry/hive_file.h"

namespace tessaline {
namespace {

using Kind = PackFileVerdict::Kind;

// The verdict on the file of a complete record with this pack's titles.
std::pair<bool, std::string> JudgeFile(const std::string& path, const VerifyRequest& request) {
  const PackFileVerdict verdict = ExaminePackFile(path, request.sheet);
  switch (verdict.kind) {
    case Kind::kAbsent:
      return {false, "file missing: " + path};
    case Kind::kNotAPack:
      return {false, "not a pack: " + path};
    case Kind::kUnreadable:
      return {false, "file unreadable: " + path + ": " + verdict.reason};
    case Kind::kOther:
      return {false, "file differs: " + path + ": " + verdict.reason};
    case Kind::kThisPack:
      break;
  }
  const std::string opened = "/proc/self/fd/" + std::to_string(verdict.file.get());
  Result<bool> same = SameContents(opened, request.program);
  if (!same.ok()) return {false, "file unreadable: " + path + ": " + same.error().Reason()};
  if (!same.value()) return {false, "file differs: " + path};
  return {true, "ok: " + path};
}

// The verdict on `record`, and whether it is "ok".
std::pair<bool, std::string> Judge(const PackRecord& record, const VerifyRequest& request) {
  const RecordNames names = RecordNamesOf(record.number);
  if (record.empty()) return {false, "not installed"};
  if (!record.path) return {false, "record incomplete: " + names.path + " missing"};
  if (!record.title) return {false, "record incomplete: " + names.title + " missing"};
  if (!record.cyrillic_title) {
    return {false, "record incomplete: " + names.cyrillic_title + " missing"};
  }
  if (*record.title != PackName) return {false, "record differs: " + names.title};
  if (*record.cyrillic_title != PackNameCyr) {
    return {false, "record differs: " + names.cyrillic_title};
  }
  return JudgeFile(*record.path, request);
}

}  // namespace

int RunVerify(const VerifyRequest& request, std::ostream& out, std::ostream& err) {
  PackRecord record;
  try {
    HiveFile hive = OpenHive(request.hive_path);
    record = FindPackRecord(hive.Read(), PackNo);
  } catch (const std::exception& error) {
    err << error.what() << '\n';
    return 1;
  }
  const auto [ok, line] = Judge(record, request);
  out << line << '\n';
  return ok ? 0 : 1;
}

}  // namespace tessaline
