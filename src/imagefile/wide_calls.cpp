#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include <vexa/text.h>
#include <vexa/wide_calls.h>

#include "imagefile/string_table.h"
#include "platform/file/file.h"
#include "platform/module/module.h"

namespace {

// The state behind a search handle: every match, read at the first call.
struct FindState {
  std::vector<plat::FoundFile> matches;
  std::size_t next = 0;
};

FindState* StateOf(HFIND search) {
  return search == kInvalidFind || search == 0 ? nullptr : reinterpret_cast<FindState*>(search);
}

void FillFindData(const plat::FoundFile& file, WIN32_FIND_DATAW* data) {
  std::memset(data, 0, sizeof *data);
  data->dwFileAttributes = file.directory ? kFileAttributeDirectory : kFileAttributeNormal;
  auto setTime = [](FILETIME* time, std::uint64_t value) {
    time->dwLowDateTime = static_cast<DWORD>(value);
    time->dwHighDateTime = static_cast<DWORD>(value >> 32);
  };
  setTime(&data->ftCreationTime, file.creationTime);
  setTime(&data->ftLastAccessTime, file.accessTime);
  setTime(&data->ftLastWriteTime, file.writeTime);
  data->nFileSizeHigh = static_cast<DWORD>(file.size >> 32);
  data->nFileSizeLow = static_cast<DWORD>(file.size);
  // Linux names have at most 255 bytes, so they always fit the 260-unit field.
  const std::size_t n = std::min<std::size_t>(file.name.size(), 259);
  std::copy_n(file.name.data(), n, data->cFileName);
}

}  // namespace

BOOL DetectWideCalls() { return 1; }

HFIND FindFirstFileWide(const WCHAR* pattern, WIN32_FIND_DATAW* data) {
  if (!pattern || !data) return kInvalidFind;
  auto* state = new (std::nothrow) FindState;
  if (!state) return kInvalidFind;
  state->matches = plat::FindMatches(pattern);
  if (state->matches.empty()) {
    delete state;
    return kInvalidFind;
  }
  FillFindData(state->matches[0], data);
  state->next = 1;
  return reinterpret_cast<HFIND>(state);
}

BOOL FindNextFileWide(HFIND search, WIN32_FIND_DATAW* data) {
  FindState* state = StateOf(search);
  if (!state || !data || state->next >= state->matches.size()) return 0;
  FillFindData(state->matches[state->next++], data);
  return 1;
}

BOOL FindCloseWide(HFIND search) {
  FindState* state = StateOf(search);
  if (!state) return 0;
  delete state;
  return 1;
}

HMODULE LoadLibraryWide(const WCHAR* path) {
  if (!path || !*path) return nullptr;
  return static_cast<HMODULE>(plat::LoadModule(plat::NativePath(path)));
}

void* GetModuleEntryPoint(HMODULE module, const char* name) {
  return name ? plat::FindEntryPoint(module, name) : nullptr;
}

BOOL FreeLibraryModule(HMODULE module) {
  if (!module) return 0;
  plat::FreeModule(module);
  return 1;
}

int LoadLibraryStringW(UINT id, WCHAR* buffer, int size) {
  if (!buffer || size <= 0) return 0;
  buffer[0] = 0;
  const char16_t* text = vexa::FindLibraryString(id);
  if (!text) return 0;
  const int length = std::min(WideLength(text), size - 1);
  std::copy_n(text, length, buffer);
  buffer[length] = 0;
  return length;
}

int LoadLibraryString(UINT id, char* buffer, int size) {
  if (!buffer || size <= 0) return 0;
  buffer[0] = 0;
  const char16_t* text = vexa::FindLibraryString(id);
  if (!text) return 0;
  char* narrow = ConvertToNarrow(text, -1);
  if (!narrow) return 0;
  const int length = std::min(static_cast<int>(std::strlen(narrow)), size - 1);
  std::memcpy(buffer, narrow, static_cast<std::size_t>(length));
  buffer[length] = 0;
  FreeConvertedString(narrow);
  return length;
}
