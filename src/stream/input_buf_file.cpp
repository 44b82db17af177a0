// CInputBufFile: buffered reading of a file, optionally limited to a range of it.
//
// m_position is the absolute offset of the next byte the caller receives. The buffer holds
// the last block read from the file: the bytes before m_cursor were already delivered, the
// m_buffered bytes from m_cursor on were not, so while any are buffered the file has been
// read up to m_position + m_buffered. Reads name their offset: the handle's own offset is not
// the stream's place (only Seek and Detach move it). Keeping the delivered part lets a short
// backward Seek stay inside the buffer; emptying the buffer (EmptyBuffer) forgets both parts.
//
// A read larger than the buffered bytes takes those, then reads the whole 16384-byte chunks
// straight into the caller's memory, then refills the buffer once for the remainder. Every
// system read is cut at the end of the range (start + length; length 0 means no limit: the
// stream then ends where the file does, for its size and for seeking).
#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>

#include <vexa/memory.h>
#include <vexa/stream.h>
#include <vexa/text.h>

#include "platform/file/file.h"
#include "stream/stream_names.h"

namespace {

bool FitsPosition(std::int64_t value) { return value >= 0 && value <= INT_MAX; }

}  // namespace

CInputBufFile::~CInputBufFile() {
  Release();
  void* buffer = m_buffer;
  FreeBlockAndClear(&buffer);
}

void CInputBufFile::Destroy(unsigned flags) { vexa::DestroyStream(this, flags); }

void CInputBufFile::EmptyBuffer() {
  m_cursor = m_buffer;
  m_buffered = 0;
}

// Forgets the file, closing it when the stream opened it by name. A handle the caller keeps is
// left where reading it in order would have: after the last byte the stream read from it.
void CInputBufFile::Release() {
  const bool owned = m_name || m_nameW;
  if (owned && m_file != kInvalidFile) plat::CloseFile(m_file);
  if (!owned && m_file != kInvalidFile)
    plat::SeekFile(m_file, std::int64_t{m_position} + m_buffered, SEEK_SET);
  vexa::FreeNames(m_name, m_nameW);
  m_file = kInvalidFile;
  m_position = m_start = m_length = 0;
  EmptyBuffer();
}

int CInputBufFile::AttachRange(HFILE file, int start, int length) {
  Release();
  if (file == kInvalidFile) return kStreamOk;  // an empty stream
  if (start < 0 || length < 0) return kStreamReadError;
  if (!m_buffer) {
    void* block = nullptr;
    if (!AllocBlock(&block, kStreamBufferSize)) return kStreamOutOfMemory;
    m_buffer = static_cast<BYTE*>(block);
  }
  m_file = file;
  m_start = start;
  m_length = length;
  m_position = start;
  EmptyBuffer();
  return kStreamOk;
}

int CInputBufFile::Attach(HFILE file) {
  if (file == kInvalidFile) return AttachRange(file, 0, 0);
  const std::int64_t here = plat::SeekFile(file, 0, SEEK_CUR);
  const std::int64_t end = plat::FileLength(file);
  if (!FitsPosition(here) || end < here) return kStreamReadError;
  // A range past 2 GiB cannot be expressed; the stream then reads up to that limit.
  const std::int64_t length = std::min<std::int64_t>(end - here, INT_MAX - here);
  return AttachRange(file, static_cast<int>(here), static_cast<int>(length));
}

int CInputBufFile::Create(HFILE file, int start, int length) {
  const int code = AttachRange(file, start, length);
  if (code == kStreamOk && m_file != kInvalidFile) plat::SeekFile(m_file, start, SEEK_SET);
  return code;
}

int CInputBufFile::OpenByName(const WCHAR* name, const char* narrowName, int start, int length,
                              bool ranged) {
  Release();
  const HFILE file = plat::OpenFile(name, plat::FileAccess::kRead, plat::kShareRead,
                                    plat::FileDisposition::kOpenExisting);
  if (file == kInvalidFile) return kStreamCannotOpen;
  const int code = ranged ? Create(file, start, length) : Attach(file);
  if (code != kStreamOk) {
    plat::CloseFile(file);
    Release();
    return code;
  }
  // The stored name makes the stream the owner of the handle.
  if (narrowName) {
    m_name = vexa::CopyName(narrowName);
  } else {
    m_nameW = vexa::CopyName(name);
  }
  if (!m_name && !m_nameW) {
    plat::CloseFile(file);
    Release();
    return kStreamOutOfMemory;
  }
  return kStreamOk;
}

int CInputBufFile::Create(const WCHAR* name) { return OpenByName(name, nullptr, 0, 0, false); }

int CInputBufFile::Create(const WCHAR* name, int start, int length) {
  return OpenByName(name, nullptr, start, length, true);
}

int CInputBufFile::Create(const char* name) { return OpenNarrow(name, 0, 0, false); }

int CInputBufFile::Create(const char* name, int start, int length) {
  return OpenNarrow(name, start, length, true);
}

// Narrow names are converted with the library's code page and kept as given.
int CInputBufFile::OpenNarrow(const char* name, int start, int length, bool ranged) {
  if (!name) return kStreamCannotOpen;
  WCHAR* wide = ConvertToWide(name, -1);
  if (!wide) return kStreamOutOfMemory;
  const int code = OpenByName(wide, name, start, length, ranged);
  FreeConvertedString(wide);
  return code;
}

// The part of want that lies before the end of the range.
int CInputBufFile::LimitOf(int want) const {
  if (m_length == 0) return want;
  const std::int64_t left = static_cast<std::int64_t>(m_start) + m_length - m_position;
  return static_cast<int>(std::clamp<std::int64_t>(left, 0, want));
}

// Reads up to want bytes (cut at the range's end) from the file; a failed system read
// counts as the bytes it delivered before failing. It is only called with nothing buffered,
// so the stream's own place in the file is m_position. A handle may be shared with other
// streams (two sounds playing one stored window of a file) that move its offset: the read
// starts at this stream's place, not wherever they left the handle, and leaves the handle's
// offset alone (one system call, where a seek and a read took two; Detach puts the offset at
// the stream's place). A handle that cannot seek (a pipe) is read where it stands.
int CInputBufFile::ReadChunk(BYTE* destination, int want) {
  const int limited = LimitOf(want);
  if (limited == 0) return 0;
  const plat::FileIo io = plat::ReadFileAt(m_file, destination, limited, m_position);
  if (io.error != ESPIPE || io.bytes != 0) return static_cast<int>(io.bytes);
  return static_cast<int>(plat::ReadFile(m_file, destination, limited).bytes);
}

// Refills the empty buffer; the bytes that came.
int CInputBufFile::FillBuffer(int want) {
  const int got = ReadChunk(m_buffer, want);
  m_cursor = m_buffer;
  m_buffered = got;
  return got;
}

int CInputBufFile::ReadExact(void* buffer, int size) {
  if (size < 0) return kStreamReadError;
  if (size == 0) return kStreamOk;
  auto* out = static_cast<BYTE*>(buffer);
  if (m_buffered >= size) {
    std::memcpy(out, m_cursor, size);
    m_cursor += size;
    m_buffered -= size;
    m_position += size;
    return kStreamOk;
  }
  const int taken = m_buffered;
  if (taken > 0) std::memcpy(out, m_cursor, taken);
  out += taken;
  m_position += taken;
  int remaining = size - taken;
  EmptyBuffer();
  // The whole 16384-byte chunks go straight into the caller's memory. They are asked for in
  // one system read: on a file that is the same as chunk by chunk (a short chunk ends the
  // read with the bytes that came) without a system call per chunk.
  const int chunks = remaining / kStreamBufferSize * kStreamBufferSize;
  if (chunks > 0) {
    const int got = ReadChunk(out, chunks);
    out += got;
    m_position += got;
    remaining -= got;
    if (got != chunks) return kStreamEndOfFile;
  }
  if (remaining == 0) return kStreamOk;
  if (!m_buffer) return kStreamNoBuffer;
  const int got = FillBuffer(kStreamBufferSize);
  const int delivered = std::min(got, remaining);
  std::memcpy(out, m_cursor, delivered);
  m_cursor += delivered;
  m_buffered -= delivered;
  m_position += delivered;
  return delivered < remaining ? kStreamEndOfFile : kStreamOk;
}

int CInputBufFile::Read(void* buffer, int size, int* count) {
  const int before = m_position;
  const int code = ReadExact(buffer, size);
  if (count) *count = m_position - before;
  return code;
}

int CInputBufFile::ReadByte(BYTE* value) {
  if (m_buffered == 0) return ReadExact(value, 1);
  *value = *m_cursor++;
  --m_buffered;
  ++m_position;
  return kStreamOk;
}

int CInputBufFile::Tell() { return m_position - m_start; }

// Where the stream ends: start + length, or without a limit the file's end (measured now,
// so a file that grows is followed), never before start.
std::int64_t CInputBufFile::RangeEnd() const {
  if (m_length != 0) return std::int64_t{m_start} + m_length;
  const std::int64_t end = m_file == kInvalidFile ? m_start : plat::FileLength(m_file);
  return std::clamp<std::int64_t>(end, m_start, INT_MAX);
}

int CInputBufFile::GetSize() { return static_cast<int>(RangeEnd() - m_start); }

int CInputBufFile::Seek(int offset, int origin) {
  std::int64_t target = m_start;
  if (origin == kStreamSeekCurrent) {
    if (offset == 0) return Tell();
    // Moves that stay inside the buffer: forward over unread bytes, or back over bytes
    // already delivered from it.
    const std::int64_t consumed = m_cursor - m_buffer;
    if ((offset > 0 && offset <= m_buffered) || (offset < 0 && -std::int64_t{offset} <= consumed)) {
      m_cursor += offset;
      m_buffered -= offset;
      m_position += offset;
      return Tell();
    }
    target = std::int64_t{m_position} + offset;
  } else if (origin == kStreamSeekStart) {
    target = std::int64_t{m_start} + offset;
  } else if (origin == kStreamSeekEnd) {
    target = RangeEnd() + offset;
  }
  EmptyBuffer();
  target = std::clamp<std::int64_t>(target, m_start, RangeEnd());
  const std::int64_t now = plat::SeekFile(m_file, target, SEEK_SET);
  if (FitsPosition(now)) m_position = static_cast<int>(now);
  return Tell();
}

HFILE CInputBufFile::Detach() {
  const HFILE file = m_file;
  // Forgetting the names first hands ownership of the handle to the caller; with the buffer
  // emptied, Release leaves the handle at the logical position.
  vexa::FreeNames(m_name, m_nameW);
  EmptyBuffer();
  Release();
  return file;
}

void* CInputBufFile::ReadAlloc(int size) {
  if (size <= 0) return nullptr;
  void* block = nullptr;
  if (!AllocBlock(&block, static_cast<std::size_t>(size))) return nullptr;
  if (ReadExact(block, size) != kStreamOk) FreeBlockAndClear(&block);
  return block;
}

void CInputBufFile::FreeAlloc(void* block) { FreeBlockAndClear(&block); }

char* CInputBufFile::GetFileName() { return vexa::NarrowNameOf(m_name, m_nameW); }

WCHAR* CInputBufFile::GetFileNameW() { return vexa::WideNameOf(m_nameW, m_name); }
