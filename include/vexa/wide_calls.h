// Wide-first platform calls shared by the whole library and its plug-ins: directory search,
// plug-in loading and the library's own string table.
//
// The platform layer takes UTF-16 names everywhere, so the wide calls are always available:
// DetectWideCalls answers 1 and there are no narrow fallbacks.
#pragma once

#include <cstdint>

#include <vexa/export.h>
#include <vexa/wintypes.h>

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

// One directory-search result, in the platform's wide layout. Times are 100 ns steps since
// 1601-01-01; the creation time is the status-change time (Linux records no creation time).
struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  WCHAR cFileName[260];
  WCHAR cAlternateFileName[14];
};
static_assert(sizeof(WIN32_FIND_DATAW) == 592);
static_assert(offsetof(WIN32_FIND_DATAW, cFileName) == 44);

inline constexpr DWORD kFileAttributeDirectory = 0x10;
inline constexpr DWORD kFileAttributeNormal = 0x80;

// A directory-search handle; kInvalidFind (all bits set) on failure.
using HFIND = std::intptr_t;
inline constexpr HFIND kInvalidFind = -1;

// 1 when the wide system calls are used directly: always, on this platform.
VEXA_API BOOL DetectWideCalls();

// Starts a search for pattern ('*' and '?' in its last component) and fills data with the
// first match. Matches come sorted by name (UTF-16 code units). kInvalidFind when nothing
// matches or the folder cannot be read.
VEXA_API HFIND FindFirstFileWide(const WCHAR* pattern, WIN32_FIND_DATAW* data);
// The next match; 0 when there is none.
VEXA_API BOOL FindNextFileWide(HFIND search, WIN32_FIND_DATAW* data);
VEXA_API BOOL FindCloseWide(HFIND search);

// Loads a shared object by its wide path (dlopen); null on failure.
VEXA_API HMODULE LoadLibraryWide(const WCHAR* path);
// An entry point of a loaded shared object by name; null when absent.
VEXA_API void* GetModuleEntryPoint(HMODULE module, const char* name);
VEXA_API BOOL FreeLibraryModule(HMODULE module);

// Copies string id of the library's own string table into buffer (size characters with the
// terminating null, truncated to fit); the number of characters copied, 0 when the id is
// unknown. The narrow form converts with the library's code page.
VEXA_API int LoadLibraryStringW(UINT id, WCHAR* buffer, int size);
VEXA_API int LoadLibraryString(UINT id, char* buffer, int size);
