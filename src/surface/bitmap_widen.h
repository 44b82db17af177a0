// Widening 1- and 4-bit bitmaps to 8 bits, which the surfaces can show.
#pragma once

#include <cstdint>

#include <vexa/wintypes.h>

namespace vexa {

// Index of the first entry that receives a widened bitmap's own colours; entries 0-9 keep
// the palette the caller supplies (its static colours).
inline constexpr int kWidenedTableStart = 10;

// Builds an 8-bit packed record (40-byte header, 256-entry table, rows) from a 1- or 4-bit
// record `info` whose rows are at `bits` (null: right after its colour table). The table is
// `base` (256 entries, null for all 0) as (blue, green, red, 0) with the record's own entries
// at 10 onwards; a 4-bit value v becomes v + 10 except 0, which stays 0, and a 1-bit value b
// becomes 10 + b. The record's header may be any of the information header's lengths (40 to
// 124 bytes); the table follows it. Returns a block of the library's allocator (free with
// FreeBlockAndClear), or null for another bit count, sizes that cannot make a surface, or no
// memory.
BITMAPINFO* WidenBitmap(const BITMAPINFO* info, const void* bits, const PALETTEENTRY* base);

}  // namespace vexa
