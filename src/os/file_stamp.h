// What tells whether a file changed since it was last looked at: its
// identity (device and inode), its size and its modification and status
// change times, as stat gives them.
//
// A replacement (a new file renamed into place) has another inode; a change
// in place moves the status change time, which no program can set back, even
// when it forges the modification time and keeps the size. Times are kept in
// coarse steps, though (a kernel clock tick, a second or two on some file
// systems), so a second change within the same step as the first keeps them:
// a stamp is only good for telling changes apart once it has settled, that
// is once its times lie further in the past than such a step.
//
// Thread use: plain values and pure functions (Settled reads the clock).
#pragma once

#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>

#include <chrono>

namespace tessaline {

struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};

  bool operator==(const FileStamp& other) const;
};

FileStamp StampOf(const struct stat& info);

// Whether both times of `stamp` lie more than `settle` before now, so that
// any later change of the file gives it another stamp. A time in the future
// (a clock set back) never settles.
bool Settled(const FileStamp& stamp, std::chrono::nanoseconds settle);

}  // namespace tessaline
