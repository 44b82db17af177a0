// The five pixel formats as the scalar kernels see them: loading and storing a pixel value,
// and the working form in which colour effects are computed.
//
//   format  pixel                      working form
//   8       palette index              the destination palette's entry as stored, 0x00BBGGRR
//                                      (flag byte on top); back through the inverse table
//   15      5-5-5 (red bits 10-14)     0x00BBGGRR, each 5-bit field shifted left by 3
//   16      5-6-5 (red bits 11-15)     as 15, the 6-bit green shifted left by 2
//   24      bytes blue, green, red     0x00RRGGBB
//   32      bytes blue, green, red, x  the pixel as is, 0xXXRRGGBB
//
// ColorOfPixel gives a stored pixel's colour value (0x00BBGGRR), at 8 bits through a palette
// (black without one); PixelOfColor stores a colour value in the formats above 8 bits, where
// it needs no palette (8-bit callers choose their own rule: an index, the nearest entry or the
// inverse table). A 32-bit pixel made from a colour has its fourth byte 0.
//
// Narrowing back to 15 or 16 bits keeps the top bits of each byte. `kBitwiseMask` is what the
// bitwise effects keep of a result: every stored bit, except bit 15 of a 5-5-5 pixel, which
// the library never sets.
#pragma once

#include <cstdint>
#include <cstring>

#include "palette/palette_ops.h"
#include "pixels/kernels/effect_context.h"
#include "pixels/pixel_format.h"

namespace vexa {

inline std::uint32_t LoadU16(const std::uint8_t* p) {
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline void StoreU16(std::uint8_t* p, std::uint32_t v) {
  const auto w = static_cast<std::uint16_t>(v);
  std::memcpy(p, &w, 2);
}
inline std::uint32_t LoadU32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void StoreU32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }
inline std::uint32_t LoadU24(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16;
}
inline void StoreU24(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
}

// A palette entry as a 32-bit value, red in the low byte, the flag byte on top.
inline std::uint32_t EntryValue(const PALETTEENTRY& e) {
  const std::uint8_t bytes[4] = {e.peRed, e.peGreen, e.peBlue, e.peFlags};
  return LoadU32(bytes);
}

// The index for a working colour at 8 bits: the inverse table's entry, filled by the
// nearest-colour search when it is still 0.
inline std::uint32_t InverseIndex(const EffectContext& c, std::uint32_t color) {
  if (c.inverse) {
    const std::uint8_t slot = LoadInverseCell(c.inverse, ColorKey(color));
    if (slot) return slot;
  }
  return static_cast<std::uint32_t>(LookupInverseWith(c.palette, color, c.search));
}

struct Format8 {
  static constexpr int kIndex = kFormat8;
  static constexpr int kBytes = 1;
  static constexpr std::uint32_t kBitwiseMask = 0xFF;
  static constexpr bool kRedLow = true;
  static std::uint32_t Load(const std::uint8_t* p) { return *p; }
  static void Store(std::uint8_t* p, std::uint32_t v) { *p = static_cast<std::uint8_t>(v); }
  static std::uint32_t ToWorking(const EffectContext& c, std::uint32_t p) {
    return EntryValue(c.colors[p & 0xFF]);
  }
  static std::uint32_t FromWorking(const EffectContext& c, std::uint32_t w) {
    return InverseIndex(c, w);
  }
  static COLORREF ColorOfPixel(const PaletteObject* palette, std::uint32_t p) {
    return palette ? RgbOf(palette->entries[p & 0xFF]) : 0;
  }
};

struct Format555 {
  static constexpr int kIndex = kFormat15;
  static constexpr int kBytes = 2;
  static constexpr std::uint32_t kBitwiseMask = 0x7FFF;
  static constexpr bool kRedLow = true;
  static std::uint32_t Load(const std::uint8_t* p) { return LoadU16(p); }
  static void Store(std::uint8_t* p, std::uint32_t v) { StoreU16(p, v); }
  static std::uint32_t ToWorking(const EffectContext&, std::uint32_t p) { return ColorFrom555(p); }
  static std::uint32_t FromWorking(const EffectContext&, std::uint32_t w) { return ColorTo555(w); }
  static COLORREF ColorOfPixel(const PaletteObject*, std::uint32_t p) { return ColorFrom555(p); }
  static std::uint32_t PixelOfColor(COLORREF c) { return ColorTo555(c); }
};

struct Format565 {
  static constexpr int kIndex = kFormat16;
  static constexpr int kBytes = 2;
  static constexpr std::uint32_t kBitwiseMask = 0xFFFF;
  static constexpr bool kRedLow = true;
  static std::uint32_t Load(const std::uint8_t* p) { return LoadU16(p); }
  static void Store(std::uint8_t* p, std::uint32_t v) { StoreU16(p, v); }
  static std::uint32_t ToWorking(const EffectContext&, std::uint32_t p) { return ColorFrom565(p); }
  static std::uint32_t FromWorking(const EffectContext&, std::uint32_t w) { return ColorTo565(w); }
  static COLORREF ColorOfPixel(const PaletteObject*, std::uint32_t p) { return ColorFrom565(p); }
  static std::uint32_t PixelOfColor(COLORREF c) { return ColorTo565(c); }
};

struct Format24 {
  static constexpr int kIndex = kFormat24;
  static constexpr int kBytes = 3;
  static constexpr std::uint32_t kBitwiseMask = 0xFFFFFF;
  static constexpr bool kRedLow = false;
  static std::uint32_t Load(const std::uint8_t* p) { return LoadU24(p); }
  static void Store(std::uint8_t* p, std::uint32_t v) { StoreU24(p, v); }
  static std::uint32_t ToWorking(const EffectContext&, std::uint32_t p) { return p; }
  static std::uint32_t FromWorking(const EffectContext&, std::uint32_t w) { return w & 0xFFFFFF; }
  static COLORREF ColorOfPixel(const PaletteObject*, std::uint32_t p) {
    return SwapRedBlue(p & 0xFFFFFF);
  }
  static std::uint32_t PixelOfColor(COLORREF c) { return SwapRedBlue(c); }
};

struct Format32 {
  static constexpr int kIndex = kFormat32;
  static constexpr int kBytes = 4;
  static constexpr std::uint32_t kBitwiseMask = 0xFFFFFFFF;
  static constexpr bool kRedLow = false;
  static std::uint32_t Load(const std::uint8_t* p) { return LoadU32(p); }
  static void Store(std::uint8_t* p, std::uint32_t v) { StoreU32(p, v); }
  static std::uint32_t ToWorking(const EffectContext&, std::uint32_t p) { return p; }
  static std::uint32_t FromWorking(const EffectContext&, std::uint32_t w) { return w; }
  static COLORREF ColorOfPixel(const PaletteObject*, std::uint32_t p) {
    return SwapRedBlue(p & 0xFFFFFF);
  }
  static std::uint32_t PixelOfColor(COLORREF c) { return SwapRedBlue(c); }
};

// Calls row(d, s) for `height` rows of a target rectangle at (x, y) and a source rectangle at
// (sx, sy), top row first.
template <class RowFn>
void ForEachRowPair(PixelDescriptor* t, int x, int y, const PixelDescriptor* s, int sx, int sy,
                    int height, RowFn&& row) {
  std::uint8_t* d = t->PixelAddress(x, y);
  const std::uint8_t* src = s->PixelAddress(sx, sy);
  for (int r = 0; r < height; ++r, d += t->pitch, src += s->pitch) row(d, src);
}

// Calls f(FormatTag{}) with the format of `formatIndex` (the 16-bit formats by depth).
template <class Fn>
decltype(auto) WithFormat(int formatIndex, Fn&& f) {
  switch (formatIndex) {
    case kFormat8:
      return f(Format8{});
    case kFormat15:
      return f(Format555{});
    case kFormat16:
      return f(Format565{});
    case kFormat24:
      return f(Format24{});
    default:
      return f(Format32{});
  }
}

}  // namespace vexa
