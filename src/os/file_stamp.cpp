#include "os/file_stamp.h"

namespace tessaline {

namespace {

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

std::chrono::nanoseconds SinceEpoch(const timespec& t) {
  return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

}  // namespace

bool FileStamp::operator==(const FileStamp& other) const {
  return device == other.device && inode == other.inode && size == other.size &&
         SameTime(modified, other.modified) && SameTime(changed, other.changed);
}

FileStamp StampOf(const struct stat& info) {
  return FileStamp{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
}

bool Settled(const FileStamp& stamp, std::chrono::nanoseconds settle) {
  timespec now{};
  if (clock_gettime(CLOCK_REALTIME, &now) != 0) return false;
  const std::chrono::nanoseconds limit = SinceEpoch(now) - settle;
  return SinceEpoch(stamp.modified) < limit && SinceEpoch(stamp.changed) < limit;
}

}  // namespace tessaline
