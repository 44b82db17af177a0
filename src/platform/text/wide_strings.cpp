#include <algorithm>
#include <atomic>
#include <cstring>
#include <string_view>

#include <vexa/memory.h>
#include <vexa/text.h>

#include "platform/text/codepage.h"

namespace {

std::atomic<int> gLibraryCodePage{plat::kCodePageSystem};

int Resolve(int codePage) {
  return codePage == plat::kCodePageLibrary ? gLibraryCodePage.load() : codePage;
}

}  // namespace

int SetLibraryCodePage(int codePage) {
  if (!plat::IsSupportedCodePage(codePage)) return gLibraryCodePage.load();
  return gLibraryCodePage.exchange(codePage);
}

int GetLibraryCodePage() { return gLibraryCodePage.load(); }

int WideLength(const WCHAR* text) {
  if (!text) return 0;
  int n = 0;
  while (text[n]) ++n;
  return n;
}

WCHAR* ConvertToWide(const char* text, int codePage) {
  if (!text) return nullptr;
  const std::string_view narrow(text);
  const std::u16string wide = plat::DecodeNarrow(narrow, Resolve(codePage));
  // The block holds length + 1 characters of the narrow text; UTF-8 decoding never yields
  // more UTF-16 units than input bytes.
  void* block = nullptr;
  if (!AllocBlock(&block, (narrow.size() + 1) * sizeof(WCHAR))) {
    if (!AllocBlockZero(&block, sizeof(WCHAR))) return nullptr;
    return static_cast<WCHAR*>(block);  // empty text
  }
  auto* out = static_cast<WCHAR*>(block);
  std::copy(wide.begin(), wide.end(), out);
  out[wide.size()] = 0;
  return out;
}

char* ConvertToNarrow(const WCHAR* text, int codePage) {
  if (!text) return nullptr;
  const std::u16string_view wide(text, static_cast<size_t>(WideLength(text)));
  const std::string narrow = plat::EncodeNarrow(wide, Resolve(codePage));
  // 3 bytes per UTF-16 unit always suffice (a surrogate pair gives 4 bytes for 2 units).
  void* block = nullptr;
  if (!AllocBlock(&block, 3 * wide.size() + 3)) return nullptr;
  auto* out = static_cast<char*>(block);
  std::memcpy(out, narrow.data(), narrow.size());
  out[narrow.size()] = 0;
  return out;
}

void FreeConvertedString(void* text) { FreeBlockAndClear(&text); }
