// COutputMemFile: writing into a memory block that grows in multiples of its step, or into
// the caller's block of fixed size.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include <vexa/memory.h>
#include <vexa/stream.h>

#include "stream/stream_names.h"

namespace {

// The step used when the stream was created without a usable initial size.
constexpr int kDefaultStep = 512;

}  // namespace

COutputMemFile::~COutputMemFile() { Release(); }

void COutputMemFile::Destroy(unsigned flags) { vexa::DestroyStream(this, flags); }

void COutputMemFile::Release() {
  if (m_growable) {
    void* block = m_base;
    FreeBlockAndClear(&block);
  }
  m_base = m_cursor = nullptr;
  m_capacity = m_size = 0;
  m_step = kDefaultStep;
  m_growable = 0;
}

int COutputMemFile::Create(int initialSize) {
  Release();
  m_growable = 1;
  if (initialSize <= 0) return kStreamOk;  // the block comes with the first write
  void* block = nullptr;
  if (!AllocBlock(&block, static_cast<std::size_t>(initialSize))) return kStreamOutOfMemory;
  m_base = m_cursor = static_cast<BYTE*>(block);
  m_capacity = initialSize;
  m_step = initialSize;
  return kStreamOk;
}

int COutputMemFile::Create(void* data, int size) {
  Release();
  m_base = m_cursor = static_cast<BYTE*>(data);
  m_capacity = data ? std::max(size, 0) : 0;
  return kStreamOk;
}

BYTE* COutputMemFile::GetBuffer() { return m_base; }

BYTE* COutputMemFile::FixedRoom(int* room) {
  *room = m_base && !m_growable ? m_capacity - static_cast<int>(m_cursor - m_base) : 0;
  return m_cursor;
}

void COutputMemFile::Commit(int size) {
  m_cursor += size;
  m_size = std::max(m_size, static_cast<int>(m_cursor - m_base));
}

// Reallocates the owned block to needed bytes rounded up to a multiple of the step (the
// block functions retry once after compacting the heap).
int COutputMemFile::Grow(std::int64_t needed) {
  std::int64_t capacity = (needed + m_step - 1) / m_step * m_step;
  if (needed > INT_MAX) return kStreamOutOfMemory;
  capacity = std::min<std::int64_t>(capacity, INT_MAX);
  const std::ptrdiff_t offset = m_cursor - m_base;
  void* block = m_base;
  if (!ReallocBlock(&block, static_cast<std::size_t>(capacity))) return kStreamOutOfMemory;
  m_base = static_cast<BYTE*>(block);
  m_cursor = m_base + offset;
  m_capacity = static_cast<int>(capacity);
  return kStreamOk;
}

int COutputMemFile::Write(const void* data, int size) {
  if (size < 0) return kStreamWriteError;
  if (size == 0) return kStreamOk;
  const std::int64_t needed = (m_cursor - m_base) + std::int64_t{size};
  if (needed > m_capacity) {
    if (!m_growable) return kStreamMemoryFull;
    if (int code = Grow(needed)) return code;
  }
  std::memcpy(m_cursor, data, size);
  m_cursor += size;
  m_size = std::max(m_size, static_cast<int>(needed));
  return kStreamOk;
}

int COutputMemFile::Flush() { return kStreamOk; }

int COutputMemFile::GetSize() { return m_size; }

int COutputMemFile::Tell() { return static_cast<int>(m_cursor - m_base); }

int COutputMemFile::Seek(int offset, int origin) {
  std::int64_t target = Tell();
  if (origin == kStreamSeekStart) target = offset;
  if (origin == kStreamSeekCurrent) target += offset;
  if (origin == kStreamSeekEnd) target = std::int64_t{m_size} + offset;
  target = std::clamp<std::int64_t>(target, 0, m_size);
  m_cursor = m_base + target;
  return static_cast<int>(target);
}

char* COutputMemFile::GetFileName() { return nullptr; }

WCHAR* COutputMemFile::GetFileNameW() { return nullptr; }
