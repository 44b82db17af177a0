#include <cstring>
#include <new>

#include <vexa/filter_impl.h>
#include <vexa/filter_manager.h>
#include <vexa/memory.h>
#include <vexa/stream.h>
#include <vexa/text.h>
#include <vexa/wide_calls.h>

#include "imagefile/filter_entry.h"
#include "imagefile/string_lists.h"

namespace vexa {
namespace {

// Names, paths and lists of the table are converted with code page 0.
constexpr int kTableCodePage = 0;

void FreeOwned(const void* block) { FreeConvertedString(const_cast<void*>(block)); }

// The narrow field, or a converted copy of the wide one cached in the entry under bit.
template <typename Narrow, typename Wide, typename Convert>
Narrow CachedConversion(FilterEntry* entry, Narrow* field, Wide source, std::uint32_t bit,
                        Convert convert) {
  if (*field) return *field;
  if (!source) return nullptr;
  Narrow copy = convert(source);
  if (!copy) return nullptr;
  *field = copy;
  entry->ownership |= bit;
  return copy;
}

}  // namespace

void FreeFilterEntryBlocks(const FilterEntry& entry) {
  FreeOwned(entry.fileNameW);
  if (entry.ownership & kOwnsFileNameA) FreeOwned(entry.fileNameA);
  if (entry.ownership & kOwnsNameA) FreeOwned(entry.nameA);
  if (entry.ownership & kOwnsExtsA) FreeOwned(entry.extsA);
  if (entry.ownership & kOwnsDepsA) FreeOwned(entry.depsA);
  if (entry.ownership & kOwnsNameW) FreeOwned(entry.nameW);
  if (entry.ownership & kOwnsExtsW) FreeOwned(entry.extsW);
  if (entry.ownership & kOwnsDepsW) FreeOwned(entry.depsW);
}

void DestroyFilterEntry(FilterEntry* entry) {
  if (!entry) return;
  if (entry->module) FreeLibraryModule(entry->module);
  FreeFilterEntryBlocks(*entry);
  void* block = entry;
  FreeBlockAndClear(&block);
}

}  // namespace vexa

using vexa::kTableCodePage;

CFilterMgr::CFilterMgr() = default;
CFilterMgr::~CFilterMgr() = default;

void CFilterMgr::Destroy(unsigned flags) {
  this->CFilterMgr::~CFilterMgr();
  if (flags & 1) ::operator delete(static_cast<void*>(this));
}

void CFilterMgr::Delete() {
  // Callers bound by number may call this on a null manager; keep the test from being
  // folded away by the assumption that `this` is never null.
  CFilterMgr* self = this;
  asm("" : "+r"(self));
  if (!self) return;
  self->Destroy(1);
}

void CFilterMgr::LoadFilters(const char* directory, const char* pattern, std::uint32_t userValue) {
  WCHAR* wideDirectory = ConvertToWide(directory, kTableCodePage);
  WCHAR* widePattern = ConvertToWide(pattern, kTableCodePage);
  LoadFiltersW(wideDirectory, widePattern, userValue);
  FreeConvertedString(wideDirectory);
  FreeConvertedString(widePattern);
}

void CFilterMgr::Free() {
  for (int i = 0; i < m_count; ++i) vexa::DestroyFilterEntry(m_entries[i]);
  void* table = m_entries;
  FreeBlockAndClear(&table);
  m_entries = nullptr;
  m_count = 0;
  m_capacity = 0;
}

FilterEntry* CFilterMgr::EntryAt(int index) const {
  if (!m_entries || index < 0 || index >= m_count) return nullptr;
  return m_entries[index];
}

const FilterEntry* CFilterMgr::GetEntry(int index) const { return EntryAt(index); }

int CFilterMgr::GetFilterCount() { return m_entries ? m_count : 0; }

const char* CFilterMgr::GetFilterName(int index) {
  FilterEntry* e = EntryAt(index);
  if (!e) return "";
  const char* name = vexa::CachedConversion(
      e, &e->nameA, e->nameW, kOwnsNameA,
      [](const WCHAR* s) -> const char* { return ConvertToNarrow(s, kTableCodePage); });
  return name ? name : "";
}

const WCHAR* CFilterMgr::GetFilterNameW(int index) {
  FilterEntry* e = EntryAt(index);
  if (!e) return u"";
  const WCHAR* name = vexa::CachedConversion(
      e, &e->nameW, e->nameA, kOwnsNameW,
      [](const char* s) -> const WCHAR* { return ConvertToWide(s, kTableCodePage); });
  return name ? name : u"";
}

const char* CFilterMgr::GetFilterFileName(int index) {
  FilterEntry* e = EntryAt(index);
  if (!e) return "";
  const char* name = vexa::CachedConversion(
      e, &e->fileNameA, e->fileNameW, kOwnsFileNameA,
      [](const WCHAR* s) -> char* { return ConvertToNarrow(s, kTableCodePage); });
  return name ? name : "";
}

const WCHAR* CFilterMgr::GetFilterFileNameW(int index) {
  FilterEntry* e = EntryAt(index);
  return e && e->fileNameW ? e->fileNameW : u"";
}

std::uint32_t CFilterMgr::GetFilterID(int index) {
  FilterEntry* e = EntryAt(index);
  return e ? e->id : 0;
}

int CFilterMgr::GetFilterIndex(std::uint32_t id) {
  for (int i = 0; i < GetFilterCount(); ++i) {
    if (m_entries[i]->id == id) return i;
  }
  return -1;
}

namespace {

const char* const* NarrowList(const WCHAR* const* list) {
  return vexa::ConvertListToNarrow(list, kTableCodePage);
}
const WCHAR* const* WideList(const char* const* list) {
  return vexa::ConvertListToWide(list, kTableCodePage);
}

}  // namespace

const char* const* CFilterMgr::GetFilterExts(int index) {
  FilterEntry* e = EntryAt(index);
  if (!e) return vexa::kEmptyNarrowList;
  auto list = vexa::CachedConversion(e, &e->extsA, e->extsW, kOwnsExtsA, NarrowList);
  return list ? list : vexa::kEmptyNarrowList;
}

const char* const* CFilterMgr::GetDependencies(int index) {
  FilterEntry* e = EntryAt(index);
  if (!e) return vexa::kEmptyNarrowList;
  auto list = vexa::CachedConversion(e, &e->depsA, e->depsW, kOwnsDepsA, NarrowList);
  return list ? list : vexa::kEmptyNarrowList;
}

const WCHAR* const* CFilterMgr::GetFilterExtsW(int index) {
  FilterEntry* e = EntryAt(index);
  if (!e) return vexa::kEmptyWideList;
  auto list = vexa::CachedConversion(e, &e->extsW, e->extsA, kOwnsExtsW, WideList);
  return list ? list : vexa::kEmptyWideList;
}

const WCHAR* const* CFilterMgr::GetDependenciesW(int index) {
  FilterEntry* e = EntryAt(index);
  if (!e) return vexa::kEmptyWideList;
  auto list = vexa::CachedConversion(e, &e->depsW, e->depsA, kOwnsDepsW, WideList);
  return list ? list : vexa::kEmptyWideList;
}

int CFilterMgr::CanReadFile(int index, CInputFile* input) {
  FilterEntry* e = EntryAt(index);
  if (!e || !e->canReadFile || !input) return 0;
  const int position = input->Tell();
  const int answer = e->canReadFile(input);
  if (input->Tell() != position) input->Seek(position, kStreamSeekStart);
  return answer;
}

void* CFilterMgr::CreateFilterFromFile(CInputFile* input) {
  if (!input) return nullptr;
  const int position = input->Tell();
  for (int i = 0; i < GetFilterCount(); ++i) {
    FilterEntry* e = m_entries[i];
    if (!e->canReadFile) continue;
    const int answer = e->canReadFile(input);
    if (input->Tell() != position) input->Seek(position, kStreamSeekStart);
    if (!answer) continue;
    if (void* filter = e->createFilter(e->userValue)) return filter;
  }
  return nullptr;
}

void* CFilterMgr::CreateFilterFromID(std::uint32_t id) {
  for (int i = 0; i < GetFilterCount(); ++i) {
    FilterEntry* e = m_entries[i];
    if (e->id != id) continue;
    if (void* filter = e->createFilter(e->userValue)) return filter;
  }
  return nullptr;
}

void* CFilterMgr::CreateFilter(int index) {
  FilterEntry* e = EntryAt(index);
  return e ? e->createFilter(e->userValue) : nullptr;
}

void CFilterMgr::RemoveFilter(int index) {
  FilterEntry* e = EntryAt(index);
  if (!e) return;
  vexa::DestroyFilterEntry(e);
  std::memmove(m_entries + index, m_entries + index + 1,
               static_cast<std::size_t>(m_count - index - 1) * sizeof(FilterEntry*));
  m_entries[--m_count] = nullptr;
}

void CFilterMgr::SwapEntries(int first, int second) {
  FilterEntry* a = m_entries[first];
  m_entries[first] = m_entries[second];
  m_entries[second] = a;
}

BOOL CFilterMgr::AddEntry(const FilterEntry& entry) {
  if (!m_entries) {
    vexa::FreeFilterEntryBlocks(entry);
    return 0;
  }
  if (m_count == m_capacity) {
    void* table = m_entries;
    const int capacity = m_capacity * 2;
    if (!ReallocBlock(&table, static_cast<std::size_t>(capacity) * sizeof(FilterEntry*))) {
      vexa::FreeFilterEntryBlocks(entry);
      return 0;
    }
    m_entries = static_cast<FilterEntry**>(table);
    m_capacity = capacity;
  }
  void* block = nullptr;
  if (!AllocBlockZero(&block, sizeof(FilterEntry))) {
    vexa::FreeFilterEntryBlocks(entry);
    return 0;
  }
  auto* stored = static_cast<FilterEntry*>(block);
  *stored = entry;
  // Before the first entry of greater or equal priority: the table stays in ascending order
  // and a later entry stands before earlier ones of the same priority.
  int at = 0;
  while (at < m_count && m_entries[at]->priority < entry.priority) ++at;
  std::memmove(m_entries + at + 1, m_entries + at,
               static_cast<std::size_t>(m_count - at) * sizeof(FilterEntry*));
  m_entries[at] = stored;
  ++m_count;
  return 1;
}

CFilterMgr* NewFilterMgr() { return new (std::nothrow) CFilterMgr; }
