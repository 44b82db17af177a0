// COutputBufFile: writing a file through a buffer.
//
// Writes are collected while the stream writes at the end of the file (m_buffering); a
// Seek before the end writes the buffer out and makes later writes go straight to the
// file, a Seek to the end collects them again. Tell and GetSize count the buffered bytes.
#include <fcntl.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include <vexa/memory.h>
#include <vexa/stream.h>
#include <vexa/text.h>

#include "platform/file/file.h"
#include "stream/file_codes.h"
#include "stream/stream_names.h"

COutputFile::COutputFile() = default;

COutputBufFile::~COutputBufFile() { Release(); }

void COutputBufFile::Destroy(unsigned flags) { vexa::DestroyStream(this, flags); }

// Writes what is buffered (a failure is ignored: there is nobody left to tell), closes the
// handle when the stream opened it and frees the buffer and names.
void COutputBufFile::Release() {
  COutputBufFile::Flush();
  if ((m_name || m_nameW) && m_file != kInvalidFile) plat::CloseFile(m_file);
  vexa::FreeNames(m_name, m_nameW);
  void* buffer = m_buffer;
  FreeBlockAndClear(&buffer);
  m_file = kInvalidFile;
  m_buffer = m_cursor = nullptr;
  m_buffered = m_bufferSize = 0;
  m_buffering = 0;
}

int COutputBufFile::AttachHandle(HFILE file, int bufferSize) {
  Release();
  m_file = file;
  void* block = nullptr;
  if (bufferSize > 0 && AllocBlock(&block, static_cast<std::size_t>(bufferSize))) {
    m_buffer = m_cursor = static_cast<BYTE*>(block);
    m_bufferSize = bufferSize;
    m_buffering = 1;
  }
  return kStreamOk;
}

int COutputBufFile::Create(HFILE file, int bufferSize) { return AttachHandle(file, bufferSize); }

int COutputBufFile::Create(const WCHAR* name, int bufferSize) {
  Release();
  const HFILE file = plat::OpenFile(name, plat::FileAccess::kReadWrite, plat::kShareNone,
                                    plat::FileDisposition::kCreateAlways);
  if (file == kInvalidFile) return kStreamCannotCreate;
  AttachHandle(file, bufferSize);
  m_nameW = vexa::CopyName(name);
  if (!m_nameW) {
    plat::CloseFile(file);
    Release();
    return kStreamOutOfMemory;
  }
  return kStreamOk;
}

int COutputBufFile::Create(const char* name, int bufferSize) {
  Release();
  if (!name) return kStreamCannotCreate;
  WCHAR* wide = ConvertToWide(name, -1);
  if (!wide) return kStreamOutOfMemory;
  int code = Create(wide, bufferSize);
  FreeConvertedString(wide);
  if (code != kStreamOk) return code;
  // Keep the name in the form it was given.
  vexa::FreeNames(m_name, m_nameW);
  m_name = vexa::CopyName(name);
  if (!m_name) {
    plat::CloseFile(m_file);
    m_file = kInvalidFile;
    Release();
    code = kStreamOutOfMemory;
  }
  return code;
}

int COutputBufFile::WriteThrough(const void* data, int size) {
  return vexa::WriteResult(plat::WriteFile(m_file, data, static_cast<std::size_t>(size)), size);
}

int COutputBufFile::Write(const void* data, int size) {
  if (size < 0) return kStreamWriteError;
  if (size == 0) return kStreamOk;
  if (!m_buffering) return WriteThrough(data, size);
  const auto* in = static_cast<const BYTE*>(data);
  // A buffer that becomes exactly full waits for the next write or Flush.
  while (std::int64_t{m_buffered} + size > m_bufferSize) {
    const int top = m_bufferSize - m_buffered;
    std::memcpy(m_cursor, in, top);
    in += top;
    size -= top;
    m_cursor += top;
    m_buffered = m_bufferSize;
    if (int code = WriteThrough(m_buffer, m_bufferSize)) return code;
    m_cursor = m_buffer;
    m_buffered = 0;
  }
  std::memcpy(m_cursor, in, size);
  m_cursor += size;
  m_buffered += size;
  return kStreamOk;
}

int COutputBufFile::Flush() {
  if (!m_buffering || m_buffered == 0) return kStreamOk;
  const int code = WriteThrough(m_buffer, m_buffered);
  if (code == kStreamOk) {
    m_cursor = m_buffer;
    m_buffered = 0;
  }
  return code;
}

namespace {

int ToPosition(std::int64_t value) {
  return static_cast<int>(std::clamp<std::int64_t>(value, -1, INT_MAX));
}

}  // namespace

int COutputBufFile::Tell() {
  const std::int64_t here = plat::SeekFile(m_file, 0, SEEK_CUR);
  return here < 0 ? -1 : ToPosition(here + m_buffered);
}

int COutputBufFile::GetSize() {
  const std::int64_t end = plat::FileLength(m_file);
  return end < 0 ? -1 : ToPosition(end + m_buffered);
}

int COutputBufFile::Seek(int offset, int origin) {
  const std::int64_t size = GetSize();
  const std::int64_t here = Tell();
  if (size < 0 || here < 0) return -1;
  std::int64_t target = here;
  if (origin == kStreamSeekStart) target = offset;
  if (origin == kStreamSeekCurrent) target = here + offset;
  if (origin == kStreamSeekEnd) target = size + offset;
  target = std::clamp<std::int64_t>(target, 0, size);
  if (target < size) {
    // Buffered bytes belong at the end: write them before leaving it. If that fails the
    // stream stays where it is rather than lose them.
    if (Flush() != kStreamOk) return static_cast<int>(here);
    m_buffering = 0;
    plat::SeekFile(m_file, target, SEEK_SET);
  } else {
    if (m_buffer) m_buffering = 1;
    plat::SeekFile(m_file, 0, SEEK_END);
  }
  return static_cast<int>(target);
}

char* COutputBufFile::GetFileName() { return vexa::NarrowNameOf(m_name, m_nameW); }

WCHAR* COutputBufFile::GetFileNameW() { return vexa::WideNameOf(m_nameW, m_name); }
