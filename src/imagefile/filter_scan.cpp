// The plug-in scan: every file of a folder matching a pattern, loaded and asked for its entry
// points, goes into the table at its priority place.
#include <algorithm>
#include <string>

#include <vexa/filter_manager.h>
#include <vexa/memory.h>
#include <vexa/text.h>
#include <vexa/wide_calls.h>

#include "imagefile/filter_entry.h"

namespace {

constexpr int kInitialCapacity = 8;

bool EndsInSeparator(std::u16string_view path) {
  return !path.empty() && (path.back() == u'/' || path.back() == u'\\');
}

// The folder, a separator when the folder is non-empty and has none at its end, and name.
// Paths of any length are built (the folder may be deep).
std::u16string JoinPath(std::u16string_view folder, std::u16string_view name) {
  std::u16string path(folder);
  if (!path.empty() && !EndsInSeparator(path)) path += u'/';
  path += name;
  return path;
}

WCHAR* CopyToBlock(const std::u16string& text) {
  void* block = nullptr;
  if (!AllocBlock(&block, (text.size() + 1) * sizeof(WCHAR))) return nullptr;
  auto* out = static_cast<WCHAR*>(block);
  std::copy(text.begin(), text.end(), out);
  out[text.size()] = 0;
  return out;
}

template <typename Proc>
Proc EntryPoint(HMODULE module, const char* name) {
  return reinterpret_cast<Proc>(GetModuleEntryPoint(module, name));
}

}  // namespace

void CFilterMgr::LoadFiltersW(const WCHAR* directory, const WCHAR* pattern,
                              std::uint32_t userValue) {
  if (m_entries) Free();
  void* table = nullptr;
  if (!AllocBlockZero(&table, kInitialCapacity * sizeof(FilterEntry*))) return;
  m_entries = static_cast<FilterEntry**>(table);
  m_count = 0;
  m_capacity = kInitialCapacity;
  if (!directory || !pattern) return;

  const std::u16string_view folder(directory, static_cast<std::size_t>(WideLength(directory)));
  const std::u16string search = JoinPath(folder, pattern);
  WIN32_FIND_DATAW found;
  const HFIND handle = FindFirstFileWide(search.c_str(), &found);
  if (handle == kInvalidFind) return;
  do {
    if (found.dwFileAttributes & kFileAttributeDirectory) continue;
    LoadOne(JoinPath(folder, found.cFileName).c_str(), userValue);
  } while (FindNextFileWide(handle, &found));
  FindCloseWide(handle);
}

BOOL CFilterMgr::LoadOne(const WCHAR* path, std::uint32_t userValue) {
  FilterEntry entry{};
  entry.fileNameW = CopyToBlock(path);
  if (!entry.fileNameW) return 0;
  entry.module = LoadLibraryWide(path);
  if (!entry.module) {
    vexa::FreeFilterEntryBlocks(entry);
    return 0;
  }
  HMODULE module = entry.module;
  entry.createFilter = EntryPoint<CreateFilterProc>(module, "CreateFilter");
  entry.canReadFile = EntryPoint<CanReadFileProc>(module, "CanReadFile");
  auto getID = EntryPoint<GetFilterIDProc>(module, "GetFilterID");
  auto getName = EntryPoint<GetFilterNameProc>(module, "GetFilterName");
  auto getNameW = EntryPoint<GetFilterNameWProc>(module, "GetFilterNameW");
  if (!entry.createFilter || (!getName && !getNameW) || !getID) {
    FreeLibraryModule(module);
    vexa::FreeFilterEntryBlocks(entry);
    return 0;
  }
  auto getPriority = EntryPoint<GetPriorityProc>(module, "GetPriority");
  entry.priority = getPriority ? getPriority() : kDefaultFilterPriority;
  entry.userValue = userValue;
  entry.id = getID();
  // Only one name entry point is called; the other form is converted when asked for.
  if (getNameW) {
    entry.nameW = getNameW();
  } else {
    entry.nameA = getName();
  }
  if (auto extsW = EntryPoint<GetFilterExtsWProc>(module, "GetFilterExtsW")) {
    entry.extsW = extsW();
  } else if (auto exts = EntryPoint<GetFilterExtsProc>(module, "GetFilterExts")) {
    entry.extsA = exts();
  }
  if (auto depsW = EntryPoint<GetDependenciesWProc>(module, "GetDependenciesW")) {
    entry.depsW = depsW();
  } else if (auto deps = EntryPoint<GetDependenciesProc>(module, "GetDependencies")) {
    entry.depsA = deps();
  }
  if (!AddEntry(entry)) {
    FreeLibraryModule(module);  // AddEntry freed the path
    return 0;
  }
  return 1;
}
