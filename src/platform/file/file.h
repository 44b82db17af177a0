// The platform's file service: open with access and sharing modes, read, write, seek and
// size, and directory search with wildcards, over POSIX file descriptors.
//
// Paths are UTF-16 as the library's callers give them; a backslash is taken as a separator
// just like '/'. Sharing modes are emulated with open-file-description locks that only
// this layer honours (see docs/platform-files.md).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <vexa/wintypes.h>

namespace plat {

enum class FileAccess { kRead, kWrite, kReadWrite };

// What other opens of the same file may do while this handle is open.
enum FileShare : unsigned {
  kShareNone = 0,
  kShareRead = 1,
  kShareWrite = 2,
};

enum class FileDisposition {
  kOpenExisting,  // fail when the file does not exist
  kCreateAlways,  // create, or truncate an existing file
};

// The outcome of a read or write: bytes moved, and the errno of a failure (0 when none).
// A failure after some bytes moved still reports those bytes.
struct FileIo {
  std::int64_t bytes = 0;
  int error = 0;
};

// A UTF-8 path for the system, with backslashes turned into '/'.
std::string NativePath(const WCHAR* path);

// Opens or creates a file; -1 on failure (errno set, EBUSY when sharing refused it).
HFILE OpenFile(const WCHAR* path, FileAccess access, unsigned share, FileDisposition disposition);
bool CloseFile(HFILE file);

// Reads up to size bytes, repeating short reads until size bytes came, the file ended or
// the system failed.
FileIo ReadFile(HFILE file, void* buffer, std::size_t size);
// The same from `offset` on, leaving the file offset where it was; ESPIPE, with nothing read,
// for a handle that cannot seek (a pipe).
FileIo ReadFileAt(HFILE file, void* buffer, std::size_t size, std::int64_t offset);
// Writes size bytes, repeating short writes until all went out or the system failed.
FileIo WriteFile(HFILE file, const void* data, std::size_t size);

// Moves the file offset (whence is SEEK_SET, SEEK_CUR or SEEK_END); the new offset or -1.
std::int64_t SeekFile(HFILE file, std::int64_t distance, int whence);
// The offset of the file's end, the current offset left where it was; -1 on failure.
std::int64_t FileLength(HFILE file);

// Bytes between the current offset and the end of a regular file; -1 when the handle is
// not a regular file (pipes, devices), whose length cannot be known in advance.
std::int64_t BytesLeft(HFILE file);

// True when the path names an existing file or directory; the last component may hold the
// wildcards '*' and '?'.
bool FindFirstMatch(const WCHAR* pattern);

// One directory entry found by FindMatches. Times are 100-nanosecond steps since 1601-01-01
// (UTC), as the library's callers expect them.
struct FoundFile {
  std::u16string name;
  bool directory = false;
  std::uint64_t size = 0;
  std::uint64_t creationTime = 0;  // the status-change time: Linux keeps no creation time
  std::uint64_t accessTime = 0;
  std::uint64_t writeTime = 0;
};

// The entries of the pattern's folder whose names match its last component ('*' and '?'),
// without "." and "..", sorted by name in UTF-16 code units so that every run sees the same
// order (the system returns them in no particular order). Empty when the folder cannot be read.
std::vector<FoundFile> FindMatches(const WCHAR* pattern);

// True when the path names a regular file or nothing: a save may then go through a temporary
// file renamed over it. Devices, pipes and folders are written in place.
bool IsRegularOrMissing(const WCHAR* path);
// A name for a temporary file beside path (same folder), unique within the process.
std::u16string TemporaryBeside(const WCHAR* path);
// Renames from over to (replacing it atomically); false on failure.
bool ReplaceFile(const WCHAR* from, const WCHAR* to);
bool RemoveFile(const WCHAR* path);

// True when a file name matches a pattern of '*' (any run) and '?' (one UTF-16 unit),
// case-sensitively. A pattern ending in ".*" also matches names without an extension, so
// "*.*" matches every name.
bool WildcardMatch(std::u16string_view pattern, std::u16string_view name);

}  // namespace plat
