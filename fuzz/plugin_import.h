// Fuzzing a filter plug-in through the whole import: the plug-in's source is built into the
// target, and its CreateFilter goes into a manager's table as an entry without a module.
#pragma once

#include <cstddef>
#include <cstdint>

#include <vexa/filter_manager.h>
#include <vexa/filter_plugin.h>
#include <vexa/image_file.h>
#include <vexa/stream.h>
#include <vexa/surface_object.h>

inline int FuzzImport(const std::uint8_t* data, std::size_t size) {
  static CImageFilterMgr* const manager = [] {
    auto* m = new CImageFilterMgr;
    m->LoadFiltersW(nullptr, nullptr, 0);  // an empty table
    FilterEntry entry{};
    entry.id = GetFilterID();
    entry.priority = kDefaultFilterPriority;
    entry.createFilter = CreateFilter;
    entry.canReadFile = CanReadFile;
    m->AddEntry(entry);
    return m;
  }();
  if (size < 1 || size > 0x7FFFFFFF) return 0;
  // The first byte picks the surface the file goes into and the load flags.
  const int flags = data[0] & 0x1F;
  CInputMemFile input;
  input.Create(data + 1, static_cast<int>(size - 1));
  cSurfaceObject surface;
  ImportImageFromStream(manager, &input, &surface, nullptr, flags);
  // Once more into the surface as it is now (another depth or size, an alpha plane).
  input.Seek(0, kStreamSeekStart);
  ImportImageFromStream(manager, &input, &surface, nullptr, flags ^ 0x01);
  return 0;
}
