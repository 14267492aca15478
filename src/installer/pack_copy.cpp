#include "installer/pack_copy.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "os/files.h"
#include "os/process.h"

namespace tessaline {

namespace {

// Largest request handed to the kernel's in-place copy at once.
constexpr std::size_t kFastCopyChunk = std::size_t{1} << 30;

// A read or write of the copy that failed: `text`, then the file and the
// system's reason.
template <typename E>
E StreamFailure(const char* text, const SystemError& error) {
  return E(WithCause(text, error.path() + ": " + error.Reason()));
}

// Copies `size` bytes from the start of `in` to the start of `out`. The kernel
// copies in place while it can; when it cannot or fails, the rest goes through
// plain reads and writes of kCopyPieceSize bytes, which tell a failing source
// from a failing target.
void CopyContents(int in, int out, off_t size, const std::string& source,
                  const std::string& target) {
  System& fs = CurrentSystem();
  off_t done = 0;
  bool in_kernel = true;
  std::unique_ptr<char[]> buffer;
  while (done < size) {
    if (in_kernel) {
      off_t in_offset = done;
      off_t out_offset = done;
      const auto want = static_cast<std::size_t>(std::min<off_t>(size - done, kFastCopyChunk));
      const ssize_t n = fs.CopyRange(in, &in_offset, out, &out_offset, want);
      if (n > 0) {
        done += n;
      } else if (n == 0 || errno != EINTR) {
        in_kernel = false;
      }
      continue;
    }
    const auto piece = static_cast<std::size_t>(std::min<off_t>(size - done, kCopyPieceSize));
    if (!buffer) buffer = std::make_unique<char[]>(piece);
    if (Status read = ReadExactlyAt(in, buffer.get(), piece, done, source); !read.ok()) {
      throw StreamFailure<EReadError>("Stream read error", read.error());
    }
    if (Status written = WriteExactlyAt(out, buffer.get(), piece, done, target); !written.ok()) {
      throw StreamFailure<EWriteError>("Stream write error", written.error());
    }
    done += static_cast<off_t>(piece);
  }
}

// Only a regular file at the target may be replaced, and never the source
// itself: that would destroy what is being copied. A target that cannot be
// looked at for a reason other than its absence is refused too.
void CheckTarget(const std::string& target, const struct stat& source_info) {
  Result<struct stat> info = StatPath(target);
  std::string in_the_way;
  if (!info.ok()) {
    if (info.code() != ENOENT) in_the_way = info.error().Reason();
  } else if (S_ISDIR(info.value().st_mode)) {
    in_the_way = "A folder has that name";
  } else if (!S_ISREG(info.value().st_mode)) {
    in_the_way = "Something that is not a regular file has that name";
  } else if (SameFile(info.value(), source_info)) {
    in_the_way = "It is the running program itself";
  }
  if (!in_the_way.empty()) throw CannotCreateFile(target, in_the_way);
}

// How a failed step of putting the new file in place is reported: a full
// disk or an I/O error is a failed write, anything else a file that cannot be
// created.
[[noreturn]] void FailPutInPlace(const std::string& target, const Status& status) {
  const int code = status.code();
  if (status.error().operation() == "sync folder" || code == ENOSPC || code == EDQUOT ||
      code == EIO) {
    throw StreamFailure<EWriteError>("Stream write error", status.error());
  }
  throw CannotCreateFile(target, status.error().Reason());
}

// The name a user knows a source by: the running program's own image is
// copied through /proc/self/exe, but it is the program's path.
std::string Named(const std::string& source) {
  if (source != RunningImagePath()) return source;
  const std::string path = ExecutablePath();
  return path.empty() ? source : path;
}

}  // namespace

EFCreateError CannotCreateFile(const std::string& target, const std::string& why) {
  return EFCreateError(WithCause("Cannot create file " + target, why));
}

PendingCopy::PendingCopy(std::string source, std::string target)
    : source_(std::move(source)), target_(std::move(target)), replacement_(target_) {
  Result<UniqueFd> in = Open(source_, O_RDONLY | O_NONBLOCK);
  Result<struct stat> info = in.ok() ? StatOpen(in.value().get(), source_) : in.error();
  if (!info.ok())
    throw EFOpenError(WithCause("Cannot open file " + Named(source_), info.error().Reason()));
  if (!S_ISREG(info.value().st_mode)) {
    throw EFOpenError(WithCause("Cannot open file " + Named(source_), "It is not a regular file"));
  }
  in_ = std::move(in.value());
  source_info_ = info.value();
  CheckTarget(target_, source_info_);
}

void PendingCopy::Write() {
  if (Status created = replacement_.Create(0755); !created.ok()) {
    throw CannotCreateFile(target_, created.error().Reason());
  }
  CopyContents(in_.get(), replacement_.fd(), source_info_.st_size, source_, target_);
  if (Status synced = replacement_.Sync(); !synced.ok()) {
    throw StreamFailure<EWriteError>("Stream write error", synced.error());
  }
}

void PendingCopy::PutInPlace() {
  // The name may have changed meanwhile; check again right before replacing.
  CheckTarget(target_, source_info_);
  if (Status placed = replacement_.PutInPlaceKeepingOld(); !placed.ok()) {
    FailPutInPlace(target_, placed);
  }
}

}  // namespace tessaline
