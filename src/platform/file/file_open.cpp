#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file/file.h"
#include "platform/file/file_share.h"

namespace plat {
namespace {

int OpenFlags(FileAccess access) {
  switch (access) {
    case FileAccess::kRead:
      return O_RDONLY;
    case FileAccess::kWrite:
      return O_WRONLY;
    case FileAccess::kReadWrite:
      return O_RDWR;
  }
  return O_RDONLY;
}

// Closes fd keeping the errno that explains the failure.
HFILE Fail(int fd, int error) {
  close(fd);
  errno = error;
  return kInvalidFile;
}

}  // namespace

HFILE OpenFile(const WCHAR* path, FileAccess access, unsigned share, FileDisposition disposition) {
  if (!path || !*path) {
    errno = ENOENT;
    return kInvalidFile;
  }
  const std::string native = NativePath(path);
  int flags = OpenFlags(access) | O_CLOEXEC;
  // Creation never truncates at open: the file is emptied only once sharing allows it, so
  // a refused create leaves another user's data alone.
  if (disposition == FileDisposition::kCreateAlways) flags |= O_CREAT;
  const int fd = open(native.c_str(), flags, 0666);
  if (fd < 0) return kInvalidFile;
  struct stat info {};
  if (fstat(fd, &info) != 0) return Fail(fd, errno);
  if (S_ISDIR(info.st_mode)) return Fail(fd, EISDIR);
  if (!detail::ClaimShareMode(fd, access, share)) return Fail(fd, errno);
  if (disposition == FileDisposition::kCreateAlways && S_ISREG(info.st_mode) &&
      ftruncate(fd, 0) != 0) {
    return Fail(fd, errno);
  }
  return fd;
}

bool CloseFile(HFILE file) {
  if (file < 0 || file > INT32_MAX) {
    errno = EBADF;
    return false;
  }
  return close(static_cast<int>(file)) == 0;
}

}  // namespace plat
