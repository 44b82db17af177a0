// The entry points of a filter plug-in: one definition for the library, the plug-ins and the
// guide (docs/plugins.md).
//
// A filter plug-in is an ELF shared object named "*.ift" (image filters) or "*.sft" (sound
// filters). The filter manager loads it with dlopen and looks these extern "C" functions up
// by name. CreateFilter, GetFilterID and one of GetFilterName / GetFilterNameW are required;
// the others are optional. Every pointer a plug-in returns (names, lists) stays owned by the
// plug-in and must stay valid while the plug-in is loaded; lists end with a null pointer.
#pragma once

#include <cstdint>

#include <vexa/wintypes.h>

class CInputFile;

// A four-character filter identifier whose bytes in memory spell the code:
// FilterID("PNG ") == 0x20474E50.
constexpr std::uint32_t FilterID(const char (&code)[5]) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[3])) << 24;
}

// The priority of a plug-in that does not export GetPriority; lower values are asked first.
inline constexpr std::uint32_t kDefaultFilterPriority = 0x2000;

// Marks a plug-in's entry point as exported from its shared object.
#define VEXA_PLUGIN_ENTRY extern "C" __attribute__((visibility("default")))

// Entry point types, as the manager calls them.
using CreateFilterProc = void* (*)(std::uint32_t userValue);
using CanReadFileProc = int (*)(CInputFile* input);
using GetFilterIDProc = std::uint32_t (*)();
using GetFilterNameProc = const char* (*)();
using GetFilterNameWProc = const WCHAR* (*)();
using GetPriorityProc = std::uint32_t (*)();
using GetFilterExtsProc = const char* const* (*)();
using GetFilterExtsWProc = const WCHAR* const* (*)();
using GetDependenciesProc = const char* const* (*)();
using GetDependenciesWProc = const WCHAR* const* (*)();

// The entry points themselves, declared for plug-ins (the library never defines them).
//
// CreateFilter: a new filter object, or null. Image filters return a CFilterImpl* (sound
// filters their own base class) converted to void*; userValue is the value the host passed
// to the scan.
VEXA_PLUGIN_ENTRY void* CreateFilter(std::uint32_t userValue);
// Non-zero when the plug-in recognises the data at the stream's position. It may read ahead:
// the manager puts the position back.
VEXA_PLUGIN_ENTRY int CanReadFile(CInputFile* input);
VEXA_PLUGIN_ENTRY std::uint32_t GetFilterID();
VEXA_PLUGIN_ENTRY const char* GetFilterName();
VEXA_PLUGIN_ENTRY const WCHAR* GetFilterNameW();
VEXA_PLUGIN_ENTRY std::uint32_t GetPriority();
VEXA_PLUGIN_ENTRY const char* const* GetFilterExts();
VEXA_PLUGIN_ENTRY const WCHAR* const* GetFilterExtsW();
VEXA_PLUGIN_ENTRY const char* const* GetDependencies();
VEXA_PLUGIN_ENTRY const WCHAR* const* GetDependenciesW();
