// Row conversion of image filters: from the file's depth to the depth the library asked for,
// through the file's palette, a palette remap table or the 5-6-5 colour cache.
//
// Expanding 5- and 6-bit components shifts them to the top of the byte and leaves the low
// bits 0; reducing keeps the top bits. Conversion to 8 bits never searches the palette per
// pixel: each 5-6-5 colour is searched once and kept in the cache, where 253 marks a slot not
// computed yet (a colour whose nearest entry is 253 is therefore searched every time).
#include <cstdlib>
#include <cstring>

#include <vexa/filter_impl.h>

#include "imagefile/filter_blocks.h"
#include "imagefile/filter_convert_rows.h"

namespace {

using vexa::EntriesOf;

constexpr int kCacheSize = 65536;

std::uint32_t Load16(const BYTE* s) {
  std::uint16_t v;
  std::memcpy(&v, s, 2);
  return v;
}
void Store16(BYTE* d, std::uint32_t v) {
  const auto x = static_cast<std::uint16_t>(v);
  std::memcpy(d, &x, 2);
}
void Store32(BYTE* d, std::uint32_t v) { std::memcpy(d, &v, 4); }

struct Bgr {
  std::uint32_t b, g, r;
};

template <int From>
Bgr ReadPixel(const BYTE* s, const PALETTEENTRY* palette) {
  if constexpr (From == 8) {
    const PALETTEENTRY e = palette[s[0]];
    return {e.peBlue, e.peGreen, e.peRed};
  } else if constexpr (From == 15) {
    const std::uint32_t p = Load16(s);
    return {(p << 3) & 0xF8, (p >> 2) & 0xF8, (p >> 7) & 0xF8};
  } else if constexpr (From == 16) {
    const std::uint32_t p = Load16(s);
    return {(p << 3) & 0xF8, (p >> 3) & 0xFC, (p >> 8) & 0xF8};
  } else {
    return {s[0], s[1], s[2]};
  }
}

template <int To>
void WritePixel(BYTE* d, Bgr c) {
  if constexpr (To == 15) {
    Store16(d, (c.r >> 3) << 10 | (c.g >> 3) << 5 | c.b >> 3);
  } else if constexpr (To == 16) {
    Store16(d, (c.r >> 3) << 11 | (c.g >> 2) << 5 | c.b >> 3);
  } else if constexpr (To == 24) {
    d[0] = static_cast<BYTE>(c.b);
    d[1] = static_cast<BYTE>(c.g);
    d[2] = static_cast<BYTE>(c.r);
  } else {
    Store32(d, c.b | c.g << 8 | c.r << 16);
  }
}

constexpr int BytesOf(int depth) { return (depth + 1) / 8; }

// One row between two true-colour layouts, or from 8 bits through the source palette.
template <int From, int To>
void ConvertColor(BYTE* d, const BYTE* s, int count, const PALETTEENTRY* palette) {
  if constexpr (From == To) {
    std::memcpy(d, s, static_cast<std::size_t>(count) * BytesOf(From));
  } else {
    for (int i = 0; i < count; ++i) {
      WritePixel<To>(d + i * BytesOf(To), ReadPixel<From>(s + i * BytesOf(From), palette));
    }
  }
}

// The 5-6-5 cache index of a source pixel. wide: the pixel's bytes may be read as 32 bits
// (always for 32-bit pixels; for 24-bit ones when another pixel follows).
template <int From, bool wide>
std::uint32_t CacheKey(const BYTE* s) {
  if constexpr (From == 15) {
    const std::uint32_t p = Load16(s);
    return (p & 0x7FE0) << 1 | (p & 0x1F);
  } else if constexpr (From == 16) {
    return Load16(s);
  } else if constexpr (wide) {
    std::uint32_t v;  // blue, green, red in bits 0-23
    std::memcpy(&v, s, 4);
    return ((v >> 8) & 0xF800) | ((v >> 5) & 0x07E0) | ((v >> 3) & 0x1F);
  } else {
    return (s[2] >> 3) << 11 | (s[1] >> 2) << 5 | s[0] >> 3;
  }
}

// The cache's index for a pixel, searching the target palette when the slot is still empty.
template <int From>
[[gnu::noinline]] BYTE FillCacheSlot(const BYTE* p, std::uint32_t key, BYTE* cache,
                                     const LOGPALETTE* target) {
  int red, green, blue;
  if constexpr (From == 15 || From == 16) {
    red = static_cast<int>(key >> 11) << 3;
    green = static_cast<int>((key >> 5) & 63) << 2;
    blue = static_cast<int>(key & 31) << 3;
  } else {
    red = p[2], green = p[1], blue = p[0];
  }
  const auto index = static_cast<BYTE>(CFilterImpl::FindNearestColor(target, red, green, blue));
  cache[key] = index;
  return index;
}

// Reduces a row to palette indexes through the colour cache.
template <int From>
void ConvertToIndexes(BYTE* d, const BYTE* s, int count, BYTE* cache, const LOGPALETTE* target) {
  const int wideCount = From == 24 ? count - 1 : count;
  int i = 0;
  for (; i < wideCount; ++i) {
    const BYTE* p = s + i * BytesOf(From);
    const std::uint32_t key = CacheKey<From, true>(p);
    const BYTE index = cache[key];
    d[i] = index != kColorCacheEmpty ? index : FillCacheSlot<From>(p, key, cache, target);
  }
  for (; i < count; ++i) {
    const BYTE* p = s + i * BytesOf(From);
    const std::uint32_t key = CacheKey<From, false>(p);
    const BYTE index = cache[key];
    d[i] = index != kColorCacheEmpty ? index : FillCacheSlot<From>(p, key, cache, target);
  }
}

int FormatIndex(int depth) {
  switch (depth) {
    case 8:
      return 0;
    case 15:
      return 1;
    case 16:
      return 2;
    case 24:
      return 3;
    case 32:
      return 4;
    default:
      return -1;
  }
}

using ColorRowFn = void (*)(BYTE*, const BYTE*, int, const PALETTEENTRY*);

template <int To>
constexpr ColorRowFn kFromEach[5] = {ConvertColor<8, To>, ConvertColor<15, To>,
                                     ConvertColor<16, To>, ConvertColor<24, To>,
                                     ConvertColor<32, To>};
// [output format - 1][source format]; output 8 is handled on its own.
constexpr const ColorRowFn* kColorRows[4] = {kFromEach<15>, kFromEach<16>, kFromEach<24>,
                                             kFromEach<32>};

using IndexRowFn = void (*)(BYTE*, const BYTE*, int, BYTE*, const LOGPALETTE*);
constexpr IndexRowFn kIndexRows[5] = {nullptr, ConvertToIndexes<15>, ConvertToIndexes<16>,
                                      ConvertToIndexes<24>, ConvertToIndexes<32>};

// The row for a pair at the library's SIMD level: vector forms where they exist.
ColorRowFn ColorRowFor(int from, int to) {
  static const ColorRowFn kPalette8To32 =
      vexa::FilterRowAt(vexa::FilterRowKind::Palette8To32, vexa::ActiveSimdLevel());
  static const ColorRowFn kBgr24To32 =
      vexa::FilterRowAt(vexa::FilterRowKind::Bgr24To32, vexa::ActiveSimdLevel());
  static const ColorRowFn kBgrx32To24 =
      vexa::FilterRowAt(vexa::FilterRowKind::Bgrx32To24, vexa::ActiveSimdLevel());
  if (from == 0 && to == 4) return kPalette8To32;
  if (from == 3 && to == 4) return kBgr24To32;
  if (from == 4 && to == 3) return kBgrx32To24;
  return kColorRows[to - 1][from];
}

}  // namespace

namespace vexa {

FilterRowFn FilterRowAt(FilterRowKind kind, SimdLevel level) {
  if (level == SimdLevel::Avx2 && SimdLevelSupported(level)) {
    if (FilterRowFn row = FilterRowAvx2(kind)) return row;
  }
  switch (kind) {
    case FilterRowKind::Palette8To32:
      return ConvertColor<8, 32>;
    case FilterRowKind::Bgr24To32:
      return ConvertColor<24, 32>;
    case FilterRowKind::Bgrx32To24:
      return ConvertColor<32, 24>;
  }
  return nullptr;
}

}  // namespace vexa

int CFilterImpl::FindNearestColor(const LOGPALETTE* palette, int red, int green, int blue) {
  if (!palette) return 0;
  const PALETTEENTRY* entries = EntriesOf(palette);
  const int count = palette->palNumEntries > 256 ? 256 : palette->palNumEntries;
  int best = 0;
  int bestDistance = 0x7FFFFFFF;
  for (int i = 0; i < count; ++i) {
    const int distance = std::abs(red - entries[i].peRed) + std::abs(green - entries[i].peGreen) +
                         std::abs(blue - entries[i].peBlue);
    if (distance == 0) return i;
    if (distance < bestDistance) bestDistance = distance, best = i;
  }
  return best;
}

void CFilterImpl::ConvertRow(BYTE* destination, const BYTE* source, int count) {
  if (!destination || !source || count <= 0) return;
  const int from = FormatIndex(depth);
  const int to = FormatIndex(outputDepth);
  if (from < 0 || to < 0) return;
  if (to == 0) {
    if (from == 0) {
      if (!remap) {
        std::memcpy(destination, source, static_cast<std::size_t>(count));
        return;
      }
      for (int i = 0; i < count; ++i) destination[i] = remap[source[i]];
      return;
    }
    if (!colorCache || !targetPalette) return;
    kIndexRows[from](destination, source, count, colorCache, targetPalette);
    return;
  }
  if (from == 0 && !palette) return;
  ColorRowFor(from, to)(destination, source, count, palette ? EntriesOf(palette) : nullptr);
}

BOOL CFilterImpl::BuildConversion() {
  convert = depth != outputDepth;
  if (outputDepth != 8 || !targetPalette) return 1;
  if (depth == 8) {
    if (!palette) return 1;
    if (remap && lastSourcePalette && vexa::SamePalette(lastSourcePalette, palette) &&
        !paletteChanged) {
      convert = 1;
      return 1;
    }
    paletteChanged = 0;
    if (vexa::SamePalette(palette, targetPalette)) {
      vexa::FreeFilterBlock(&lastSourcePalette);
      vexa::FreeFilterBlock(&remap);
      return 1;
    }
    if (!vexa::EnsurePaletteBlock(&lastSourcePalette) || !vexa::EnsureFilterBlock(&remap, 256)) {
      return 0;
    }
    vexa::CopyPalette(lastSourcePalette, palette);
    // Indexes past the source palette's count map to 0 rather than to stale entries.
    std::memset(remap, 0, 256);
    const PALETTEENTRY* entries = EntriesOf(palette);
    for (int i = 0; i < palette->palNumEntries && i < 256; ++i) {
      remap[i] = static_cast<BYTE>(
          FindNearestColor(targetPalette, entries[i].peRed, entries[i].peGreen, entries[i].peBlue));
    }
    convert = 1;
    return 1;
  }
  if (depth < 8) return 1;
  if (!colorCache) {
    if (!vexa::EnsureFilterBlock(&colorCache, kCacheSize)) return 0;
    paletteChanged = 1;
  }
  if (paletteChanged) {
    std::memset(colorCache, kColorCacheEmpty, kCacheSize);
    const PALETTEENTRY* entries = EntriesOf(targetPalette);
    for (int i = 0; i < targetPalette->palNumEntries && i < 256; ++i) {
      colorCache[(entries[i].peRed >> 3) << 11 | (entries[i].peGreen >> 2) << 5 |
                 entries[i].peBlue >> 3] = static_cast<BYTE>(i);
    }
    paletteChanged = 0;
  }
  return 1;
}

int CFilterImpl::SetOutputFormat(int newDepth, const LOGPALETTE* newPalette) {
  if (newDepth == 8) {
    outputDepth = 8;
    outputPixelBytes = 1;
    if (!newPalette || newPalette->palNumEntries > 256) return kFilterBadArgument;
    if (depth == 8 && newPalette == palette) {
      vexa::FreeFilterBlock(&targetPalette);
      vexa::FreeFilterBlock(&lastSourcePalette);
      vexa::FreeFilterBlock(&remap);
      vexa::FreeFilterBlock(&colorCache);
      convert = 0;
      return 0;
    }
    if (!targetPalette) {
      if (!vexa::EnsurePaletteBlock(&targetPalette)) return 1;
      paletteChanged = 1;
    }
    if (paletteChanged || !vexa::SamePalette(newPalette, targetPalette)) {
      vexa::CopyPalette(targetPalette, newPalette);
      paletteChanged = 1;
    }
    return BuildConversion() ? 0 : 1;
  }
  if (newDepth == 15 || newDepth == 16 || newDepth == 24 || newDepth == 32) {
    outputDepth = newDepth;
    outputPixelBytes = (newDepth + 1) / 8;
    vexa::FreeFilterBlock(&targetPalette);
    return BuildConversion() ? 0 : 1;
  }
  return kFilterBadArgument;
}
