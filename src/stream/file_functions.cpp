// The plain file functions: the platform's file calls behind the library's result codes.
// Narrow names are converted with the library's code page and passed to the wide forms.
#include <fcntl.h>

#include <climits>
#include <cstdint>

#include <vexa/stream.h>
#include <vexa/text.h>

#include "platform/file/file.h"
#include "stream/file_codes.h"

namespace {

// Mode bits of OpenExistingFile.
constexpr int kModeWrite = 1;
constexpr int kModeReadWrite = 2;
constexpr int kModeShareNone = 0x10;
constexpr int kModeShareNoneLow = 0x20;
constexpr int kModeShareReadWrite = 0x40;

template <typename Result, typename WideCall>
Result WithWideName(const char* name, Result failure, WideCall call) {
  if (!name) return failure;
  WCHAR* wide = ConvertToWide(name, -1);
  if (!wide) return failure;
  const Result result = call(wide);
  FreeConvertedString(wide);
  return result;
}

int ToOffset(std::int64_t offset) {
  return offset < 0 || offset > INT_MAX ? -1 : static_cast<int>(offset);
}

plat::FileAccess AccessOfMode(int mode) {
  if (mode == kModeWrite) return plat::FileAccess::kWrite;
  if (mode == kModeReadWrite) return plat::FileAccess::kReadWrite;
  return plat::FileAccess::kRead;
}

unsigned ShareOfMode(int mode) {
  if (mode == kModeWrite || (mode & kModeShareNone)) return plat::kShareNone;
  if (mode & kModeShareReadWrite) return plat::kShareRead | plat::kShareWrite;
  if (mode & kModeShareNoneLow) return plat::kShareNone;
  return plat::kShareRead;
}

}  // namespace

BOOL CloseFile(HFILE file) { return plat::CloseFile(file) ? 1 : 0; }

HFILE CreateNewFileW(const WCHAR* name) {
  return plat::OpenFile(name, plat::FileAccess::kReadWrite, plat::kShareNone,
                        plat::FileDisposition::kCreateAlways);
}

HFILE CreateNewFile(const char* name) {
  return WithWideName(name, kInvalidFile, [](const WCHAR* wide) { return CreateNewFileW(wide); });
}

BOOL FileExistsW(const WCHAR* name) { return name && plat::FindFirstMatch(name) ? 1 : 0; }

BOOL FileExists(const char* name) {
  return WithWideName(name, BOOL{0}, [](const WCHAR* wide) { return FileExistsW(wide); });
}

HFILE OpenExistingFileW(const WCHAR* name, int mode) {
  return plat::OpenFile(name, AccessOfMode(mode), ShareOfMode(mode),
                        plat::FileDisposition::kOpenExisting);
}

HFILE OpenExistingFile(const char* name, int mode) {
  return WithWideName(name, kInvalidFile,
                      [mode](const WCHAR* wide) { return OpenExistingFileW(wide, mode); });
}

int GetFileLength(HFILE file) { return ToOffset(plat::FileLength(file)); }

int GetFilePosition(HFILE file) { return ToOffset(plat::SeekFile(file, 0, SEEK_CUR)); }

int SeekFileStart(HFILE file, int distance) {
  return ToOffset(plat::SeekFile(file, distance, SEEK_SET));
}

int SeekFileCurrent(HFILE file, int distance) {
  return ToOffset(plat::SeekFile(file, distance, SEEK_CUR));
}

int SeekFileEnd(HFILE file, int distance) {
  return ToOffset(plat::SeekFile(file, distance, SEEK_END));
}

int ReadFileExact(HFILE file, void* buffer, int size) {
  if (size < 0) return kStreamReadError;
  return vexa::ReadResult(plat::ReadFile(file, buffer, static_cast<std::size_t>(size)), size);
}

int ReadFileRaw(HFILE file, void* buffer, int size) {
  if (size < 0) return -1;
  const plat::FileIo io = plat::ReadFile(file, buffer, static_cast<std::size_t>(size));
  // Bytes that arrived before a failure are still the caller's.
  return io.error != 0 && io.bytes == 0 ? -1 : static_cast<int>(io.bytes);
}

int WriteFileExact(HFILE file, const void* data, int size) {
  if (size < 0) return kStreamWriteError;
  return vexa::WriteResult(plat::WriteFile(file, data, static_cast<std::size_t>(size)), size);
}
