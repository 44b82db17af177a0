#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/file/file.h"

namespace plat {
namespace {

bool ValidFd(HFILE file) { return file >= 0 && file <= INT_MAX; }

// Runs one system transfer repeatedly until size bytes moved, the system moved nothing
// (end of file) or it failed; interrupted calls are retried.
template <typename Transfer>
FileIo Repeat(std::size_t size, Transfer transfer) {
  FileIo io;
  while (static_cast<std::size_t>(io.bytes) < size) {
    const ssize_t n = transfer(static_cast<std::size_t>(io.bytes), size - io.bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      io.error = errno;
      break;
    }
    if (n == 0) break;
    io.bytes += n;
  }
  return io;
}

}  // namespace

FileIo ReadFile(HFILE file, void* buffer, std::size_t size) {
  if (!ValidFd(file)) return FileIo{0, EBADF};
  auto* bytes = static_cast<unsigned char*>(buffer);
  return Repeat(size, [&](std::size_t done, std::size_t left) {
    return read(static_cast<int>(file), bytes + done, left);
  });
}

FileIo ReadFileAt(HFILE file, void* buffer, std::size_t size, std::int64_t offset) {
  if (!ValidFd(file)) return FileIo{0, EBADF};
  if (offset < 0) return FileIo{0, EINVAL};
  auto* bytes = static_cast<unsigned char*>(buffer);
  return Repeat(size, [&](std::size_t done, std::size_t left) {
    return pread(static_cast<int>(file), bytes + done, left,
                 static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
  });
}

FileIo WriteFile(HFILE file, const void* data, std::size_t size) {
  if (!ValidFd(file)) return FileIo{0, EBADF};
  const auto* bytes = static_cast<const unsigned char*>(data);
  FileIo io = Repeat(size, [&](std::size_t done, std::size_t left) {
    return write(static_cast<int>(file), bytes + done, left);
  });
  // A write that moves nothing without an error means the device took no more.
  if (io.error == 0 && static_cast<std::size_t>(io.bytes) < size) io.error = ENOSPC;
  return io;
}

std::int64_t SeekFile(HFILE file, std::int64_t distance, int whence) {
  if (!ValidFd(file)) {
    errno = EBADF;
    return -1;
  }
  return lseek(static_cast<int>(file), distance, whence);
}

std::int64_t FileLength(HFILE file) {
  const std::int64_t here = SeekFile(file, 0, SEEK_CUR);
  if (here < 0) return -1;
  const std::int64_t end = SeekFile(file, 0, SEEK_END);
  SeekFile(file, here, SEEK_SET);
  return end;
}

std::int64_t BytesLeft(HFILE file) {
  struct stat info {};
  if (!ValidFd(file) || fstat(static_cast<int>(file), &info) != 0 || !S_ISREG(info.st_mode)) {
    return -1;
  }
  const std::int64_t here = SeekFile(file, 0, SEEK_CUR);
  if (here < 0) return -1;
  return here >= info.st_size ? 0 : info.st_size - here;
}

}  // namespace plat
