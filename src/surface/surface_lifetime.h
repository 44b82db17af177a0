// The parts of a surface class's life that every implementation spells the same way: slot 0
// (Destroy) and the start of CreateCompatible for surfaces that own a block of rows.
#pragma once

#include <cstddef>
#include <new>

#include <vexa/surface_implementation.h>

#include "surface/buffer_surface_storage.h"

namespace vexa {

// The end of slot 0 (Destroy) of a surface class, after it ran its own destructor (never that
// of a class derived from it): frees the object's memory when bit 0 of `flags` is set, and
// answers the object's address.
inline cSurfaceImplementation* FreeDestroyed(cSurfaceImplementation* surface, unsigned flags) {
  if (flags & 1) ::operator delete(static_cast<void*>(surface));
  return surface;
}

// The start of CreateCompatible: the row layout of newWidth x newHeight pixels of `depth`, and
// a new Surface formatted like `prototype` (InitCompatible) that has no pixels yet. Null for a
// prototype without a format, a refused size or no memory.
template <class Surface>
Surface* NewCompatibleSurface(const cSurfaceImplementation& prototype, int newWidth, int newHeight,
                              int depth, RowLayout* layout) {
  if (prototype.depth == 0 || !ComputeRowLayout(newWidth, newHeight, depth, layout)) {
    return nullptr;
  }
  auto* created = new (std::nothrow) Surface();
  if (created) InitCompatible(created, &prototype, newWidth, newHeight, layout->stride);
  return created;
}

// Gives a new surface an owned, uncleared block for `layout` (AllocateAligned with `spare`
// bytes) as its rows. When memory runs out the surface is deleted and null answered.
template <class Surface>
Surface* AttachAlignedRows(Surface* created, const RowLayout& layout, std::size_t spare) {
  AlignedBlock block;
  if (!AllocateAligned(layout.bytes, spare, false, &block)) {
    created->Delete();
    return nullptr;
  }
  created->storage = block.block;
  created->firstRow = block.aligned;
  return created;
}

}  // namespace vexa
