// CInputMemFile: reading a block of memory, the caller's or an owned one.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include <vexa/memory.h>
#include <vexa/stream.h>

#include "stream/stream_names.h"

CInputMemFile::~CInputMemFile() { Release(); }

void CInputMemFile::Destroy(unsigned flags) { vexa::DestroyStream(this, flags); }

void CInputMemFile::Release() {
  if (m_owned) {
    void* block = m_base;
    FreeBlockAndClear(&block);
  }
  m_base = m_cursor = nullptr;
  m_position = m_remaining = 0;
  m_owned = 0;
}

int CInputMemFile::Create(const void* data, int size) {
  Release();
  m_base = m_cursor = static_cast<BYTE*>(const_cast<void*>(data));
  m_remaining = data ? std::max(size, 0) : 0;
  return kStreamOk;
}

int CInputMemFile::Create(int size) {
  Release();
  if (size < 0) return kStreamOutOfMemory;
  void* block = nullptr;
  // One byte at least, so that an empty owned block still has an address.
  if (!AllocBlock(&block, static_cast<std::size_t>(std::max(size, 1)))) return kStreamOutOfMemory;
  m_base = m_cursor = static_cast<BYTE*>(block);
  m_remaining = size;
  m_owned = 1;
  return kStreamOk;
}

BYTE* CInputMemFile::GetBuffer() { return m_base; }

int CInputMemFile::ReadExact(void* buffer, int size) {
  if (size < 0) return kStreamReadError;
  if (size == 0) return kStreamOk;
  if (m_remaining == 0) return kStreamEndOfFile;
  const int n = std::min(size, m_remaining);
  std::memcpy(buffer, m_cursor, n);
  m_cursor += n;
  m_position += n;
  m_remaining -= n;
  return n < size ? kStreamEndOfFile : kStreamOk;
}

int CInputMemFile::Read(void* buffer, int size, int* count) {
  const int before = m_position;
  const int code = ReadExact(buffer, size);
  if (count) *count = m_position - before;
  return code;
}

int CInputMemFile::ReadByte(BYTE* value) {
  if (m_remaining == 0) return kStreamEndOfFile;
  *value = *m_cursor++;
  ++m_position;
  --m_remaining;
  return kStreamOk;
}

int CInputMemFile::Tell() { return m_position; }

int CInputMemFile::GetSize() { return m_position + m_remaining; }

int CInputMemFile::Seek(int offset, int origin) {
  const std::int64_t size = GetSize();
  std::int64_t target = m_position;
  if (origin == kStreamSeekStart) target = offset;
  if (origin == kStreamSeekCurrent) target += offset;
  if (origin == kStreamSeekEnd) target = size + offset;
  target = std::clamp<std::int64_t>(target, 0, size);
  m_position = static_cast<int>(target);
  m_remaining = static_cast<int>(size - target);
  m_cursor = m_base + m_position;
  return m_position;
}

int CInputMemFile::Attach(HFILE) { return kStreamOk; }

HFILE CInputMemFile::Detach() { return kInvalidFile; }

void* CInputMemFile::ReadAlloc(int size) {
  if (size <= 0 || size > m_remaining) return nullptr;
  BYTE* block = m_cursor;
  m_cursor += size;
  m_position += size;
  m_remaining -= size;
  return block;
}

void CInputMemFile::FreeAlloc(void*) {}

char* CInputMemFile::GetFileName() { return nullptr; }

WCHAR* CInputMemFile::GetFileNameW() { return nullptr; }
