#include "installer/pack_file.h"

#include <cerrno>
#include <vector>

#include "drawing/bitmap.h"
#include "os/files.h"
#include "support/exception.h"
#include "support/resources.h"

namespace tessaline {

PackFileState CheckPackFile(const std::string& path) {
  Result<struct stat> info = StatPath(path);
  if (!info.ok()) {
    const int code = info.error().code();
    return code == ENOENT || code == ENOTDIR ? PackFileState::kMissing : PackFileState::kUnreadable;
  }
  if (!S_ISREG(info.value().st_mode)) return PackFileState::kNotAPack;
  // Opening first tells a file we may not read from one that holds no sheet.
  if (Result<UniqueFd> fd = Open(path, O_RDONLY | O_NONBLOCK); !fd.ok()) {
    return PackFileState::kUnreadable;
  }
  try {
    const std::vector<std::byte> sheet = ReadResourceFromFile(path, "PACK");
    Bitmap::FromDib(sheet);
    return PackFileState::kOk;
  } catch (const Exception&) {
    return PackFileState::kNotAPack;
  }
}

std::string_view PackFileStateName(PackFileState state) {
  switch (state) {
    case PackFileState::kOk:
      return "ok";
    case PackFileState::kMissing:
      return "missing";
    case PackFileState::kNotAPack:
      return "not a pack";
    case PackFileState::kUnreadable:
      return "unreadable";
  }
  return "unreadable";
}

}  // namespace tessaline
