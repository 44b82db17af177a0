#include "stream/stream_names.h"

#include <cstring>

#include <vexa/memory.h>
#include <vexa/text.h>

#include "platform/text/codepage.h"

namespace vexa {

char* CopyName(const char* name) {
  if (!name) return nullptr;
  const std::size_t bytes = std::strlen(name) + 1;
  void* block = nullptr;
  if (!AllocBlock(&block, bytes)) return nullptr;
  std::memcpy(block, name, bytes);
  return static_cast<char*>(block);
}

WCHAR* CopyName(const WCHAR* name) {
  if (!name) return nullptr;
  const std::size_t bytes = (static_cast<std::size_t>(WideLength(name)) + 1) * sizeof(WCHAR);
  void* block = nullptr;
  if (!AllocBlock(&block, bytes)) return nullptr;
  std::memcpy(block, name, bytes);
  return static_cast<WCHAR*>(block);
}

char* NarrowNameOf(char*& narrow, const WCHAR* wide) {
  if (!narrow && wide) narrow = ConvertToNarrow(wide, plat::kCodePageSystem);
  return narrow;
}

WCHAR* WideNameOf(WCHAR*& wide, const char* narrow) {
  if (!wide && narrow) wide = ConvertToWide(narrow, plat::kCodePageSystem);
  return wide;
}

void FreeNames(char*& narrow, WCHAR*& wide) {
  void* n = narrow;
  void* w = wide;
  FreeBlockAndClear(&n);
  FreeBlockAndClear(&w);
  narrow = nullptr;
  wide = nullptr;
}

}  // namespace vexa
