// Filter managers: the table of loaded filter plug-ins (filter_plugin.h) and the ways to
// create filter objects from it.
//
// CFilterMgr scans a folder for plug-ins matching a pattern, loads every one that exports the
// required entry points and keeps one entry per plug-in in ascending priority order (a plug-in
// found later stands before earlier ones of equal priority). The folder's matches are taken in
// the order of their names (UTF-16 code units), so the table is the same on every run.
// Every search runs from index 0 upwards and stops at the first hit.
//
// CImageFilterMgr scans for "*.ift" and then moves "PNG ", "BMP " and "JPEG" (those present)
// to the front, in that order. CSoundFilterMgr scans for "*.sft".
//
// The virtual operations' order is part of the interface: slot 0 is Destroy(flags) (bit 0 also
// frees the object), then the slots numbered below. A manager is filled by one load call,
// queried, and emptied with Free before it is destroyed: Free unloads the plug-ins, so every
// filter object created through the manager must be released first. The destructor unloads
// nothing.
//
// Indexes run from 0 to GetFilterCount() - 1; an index outside the table gets the getter's
// empty answer ("", an empty list, 0, -1 or null) and changes nothing. Name and list getters
// never return null. Narrow names, paths and lists are converted from the wide ones with code
// page 0 (and the other way round) on first request and cached in the entry.
#pragma once

#include <cstdint>

#include <vexa/export.h>
#include <vexa/filter_plugin.h>
#include <vexa/wintypes.h>

class CInputFile;
class CFilterImpl;

// Which string fields of an entry the manager allocated (and frees with the entry). Fields
// without their bit point into the plug-in.
enum FilterEntryOwnership : std::uint32_t {
  kOwnsNameA = 0x01,
  kOwnsExtsA = 0x02,
  kOwnsDepsA = 0x04,
  kOwnsFileNameA = 0x08,
  kOwnsNameW = 0x10,
  kOwnsExtsW = 0x20,
  kOwnsDepsW = 0x40,
};

// One loaded plug-in. Entries are memory blocks (memory.h), zero-filled when made; the
// manager owns them.
struct FilterEntry {
  HMODULE module;                 // the plug-in; null for an entry the host added itself
  char* fileNameA;                // converted from fileNameW on first request (kOwnsFileNameA)
  const char* nameA;              // GetFilterName's result, or a converted copy (kOwnsNameA)
  const char* const* extsA;       // GetFilterExts's list, or a converted copy (kOwnsExtsA)
  const char* const* depsA;       // GetDependencies's list, or a converted copy (kOwnsDepsA)
  WCHAR* fileNameW;               // full path of the plug-in file; always owned (may be null)
  const WCHAR* nameW;             // GetFilterNameW's result, or a converted copy (kOwnsNameW)
  const WCHAR* const* extsW;      // GetFilterExtsW's list, or a converted copy (kOwnsExtsW)
  const WCHAR* const* depsW;      // GetDependenciesW's list, or a converted copy (kOwnsDepsW)
  std::uint32_t priority;         // GetPriority's result, else kDefaultFilterPriority
  std::uint32_t userValue;        // handed to createFilter on every creation
  std::uint32_t id;               // GetFilterID's result
  std::uint32_t ownership;        // FilterEntryOwnership bits
  CreateFilterProc createFilter;  // always present
  CanReadFileProc canReadFile;    // optional
};

class VEXA_API CFilterMgr {
 public:
  CFilterMgr();
  ~CFilterMgr();  // unloads nothing: call Free first
  CFilterMgr(const CFilterMgr&) = delete;
  CFilterMgr& operator=(const CFilterMgr&) = delete;

  virtual void Destroy(unsigned flags);  // slot 0
  // 1: frees any table, then scans directory for files matching pattern. A null directory,
  // or one without matches, leaves an empty table. Never reports an error.
  virtual void LoadFiltersW(const WCHAR* directory, const WCHAR* pattern, std::uint32_t userValue);
  // 2: the same with narrow strings, converted with code page 0.
  virtual void LoadFilters(const char* directory, const char* pattern, std::uint32_t userValue);
  virtual void Free();           // 3: destroys every entry (unloading its plug-in) and the table
  virtual void Delete();         // 4: Destroy(1); does nothing for null
  virtual int GetFilterCount();  // 5
  virtual const char* GetFilterName(int index);           // 6
  virtual const char* GetFilterFileName(int index);       // 7
  virtual std::uint32_t GetFilterID(int index);           // 8
  virtual int GetFilterIndex(std::uint32_t id);           // 9: -1 when absent
  virtual const char* const* GetFilterExts(int index);    // 10
  virtual const char* const* GetDependencies(int index);  // 11
  // 12: the plug-in's CanReadFile answer (0 without one), with the stream's position put
  // back where it was.
  virtual int CanReadFile(int index, CInputFile* input);
  // 13: the first filter, in table order, whose plug-in recognises the stream and whose
  // creation succeeds; null when none. Each plug-in sees the stream at the same position.
  virtual void* CreateFilterFromFile(CInputFile* input);
  // 14: the first entry with that identifier whose creation succeeds; null when none.
  virtual void* CreateFilterFromID(std::uint32_t id);
  virtual void* CreateFilter(int index);                    // 15
  virtual void RemoveFilter(int index);                     // 16: closes the gap
  virtual const WCHAR* GetFilterNameW(int index);           // 17
  virtual const WCHAR* GetFilterFileNameW(int index);       // 18
  virtual const WCHAR* const* GetFilterExtsW(int index);    // 19
  virtual const WCHAR* const* GetDependenciesW(int index);  // 20

  // Adds an entry the caller filled (one without a plug-in module may be added this way) at
  // its priority place: before the first entry of greater or equal priority. The table takes
  // over the entry's owned strings and fileNameW. 0 when there is no table or memory ran out
  // (the entry's blocks are then freed).
  BOOL AddEntry(const FilterEntry& entry);
  // The entry at index, or null outside the table.
  const FilterEntry* GetEntry(int index) const;

 protected:
  [[gnu::visibility("hidden")]] FilterEntry* EntryAt(int index) const;
  [[gnu::visibility("hidden")]] void SwapEntries(int first, int second);
  [[gnu::visibility("hidden")]] BOOL LoadOne(const WCHAR* path, std::uint32_t userValue);

  FilterEntry** m_entries = nullptr;  // the table; null before the first scan and after Free
  int m_count = 0;
  int m_capacity = 0;
};

class VEXA_API CImageFilterMgr : public CFilterMgr {
 public:
  CImageFilterMgr();
  ~CImageFilterMgr();

  void Destroy(unsigned flags) override;  // slot 0
  void Free() override;                   // slot 3

  using CFilterMgr::LoadFilters;
  using CFilterMgr::LoadFiltersW;
  // Scans directory for "*.ift", then moves "PNG ", "BMP " and "JPEG" to the front.
  void LoadFiltersW(const WCHAR* directory, std::uint32_t userValue);
  // The narrow form converts directory with the library's code page setting.
  void LoadFilters(const char* directory, std::uint32_t userValue);

  // Premultiplied alpha on load (0 after construction); the setter returns the old value.
  int GetPremultiplyAlpha() const;
  int SetPremultiplyAlpha(int value);

  // Creates a filter of the entry, asks it and releases it; 0 when creation fails.
  int FilterSupportsImages(int index);
  int FilterSupportsAnimations(int index);

  // CreateFilter (index) typed for image filters.
  CFilterImpl* CreateImageFilter(int index);

 protected:
  std::int32_t m_premultiply = 0;
};

class VEXA_API CSoundFilterMgr : public CFilterMgr {
 public:
  CSoundFilterMgr();
  ~CSoundFilterMgr();

  void Destroy(unsigned flags) override;  // slot 0
  // Slot 3: also releases the shared sound output registry when the last sound manager
  // is freed.
  void Free() override;

  using CFilterMgr::LoadFilters;
  using CFilterMgr::LoadFiltersW;
  // Scans directory for "*.sft"; the first load in the process also sets up the shared sound
  // output registry. The narrow form converts with the library's code page setting.
  void LoadFiltersW(const WCHAR* directory, std::uint32_t userValue);
  void LoadFilters(const char* directory, std::uint32_t userValue);
};

// New managers on the heap (null when memory runs out); release them with Delete after Free.
VEXA_API CFilterMgr* NewFilterMgr();
VEXA_API CImageFilterMgr* NewImageFilterMgr();
VEXA_API CSoundFilterMgr* NewSoundFilterMgr();
