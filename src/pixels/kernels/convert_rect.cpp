// Entry 11: converting a rectangle between pixel formats, one row converter per (source
// format, destination format) pair, chosen by the destination's format.
//
// Every pixel goes through its colour (0x00BBGGRR). To 8 bits the destination palette gives
// the nearest index (using and filling its inverse table). To 15 or 16 bits a colour other
// than black whose narrowed value is 0 is stored as 1, so that only black converts to pixel
// value 0 and dark pixels do not turn transparent. To 32 bits the fourth byte is 0.
#include "pixels/kernels/kernel_formats.h"
#include "pixels/kernels/kernel_routines.h"

namespace vexa {
namespace {

struct ConvertContext {
  const PaletteObject* sourcePalette;
  PaletteObject* destinationPalette;
  PaletteSearchFn search;
};

using ConvertRowFn = void (*)(const ConvertContext& c, std::uint8_t* d, const std::uint8_t* s,
                              int width);

template <class F>
std::uint32_t PixelOf(const ConvertContext& c, COLORREF color) {
  if constexpr (F::kIndex == kFormat8) {
    return static_cast<std::uint32_t>(NearestIndexWith(c.destinationPalette, color, c.search));
  } else if constexpr (F::kIndex == kFormat15 || F::kIndex == kFormat16) {
    const std::uint32_t v = F::PixelOfColor(color);
    return v == 0 && color != 0 ? 1 : v;  // black stays black, and only black
  } else {
    return F::PixelOfColor(color);
  }
}

template <class S, class D>
void ConvertRow(const ConvertContext& c, std::uint8_t* d, const std::uint8_t* s, int width) {
  if constexpr (S::kIndex == D::kIndex) {
    std::memcpy(d, s, static_cast<std::size_t>(width) * S::kBytes);
  } else {
    for (int i = 0; i < width; ++i, d += D::kBytes, s += S::kBytes)
      D::Store(d, PixelOf<D>(c, S::ColorOfPixel(c.sourcePalette, S::Load(s))));
  }
}

template <class S>
struct RowsFrom {
  static constexpr ConvertRowFn kTo[kFormatCount] = {
      ConvertRow<S, Format8>, ConvertRow<S, Format555>, ConvertRow<S, Format565>,
      ConvertRow<S, Format24>, ConvertRow<S, Format32>};
};

template <class S>
void ConvertRectFrom(PixelDescriptor* d, int x, int y, const PixelDescriptor* s, int sx, int sy,
                     int width, int height) {
  const ConvertContext c{s->palette, d->palette, PaletteSearchFor(d->flags)};
  const ConvertRowFn row = RowsFrom<S>::kTo[FormatOfDepth(d->depth)];
  ForEachRowPair(d, x, y, s, sx, sy, height,
                 [&](std::uint8_t* dr, const std::uint8_t* sr) { row(c, dr, sr, width); });
}

// From 8 bits to a deeper format every pixel's value depends on its index alone: the 256
// values are worked out once and the rows become table lookups.
template <class D>
void ConvertIndexedRect(PixelDescriptor* d, int x, int y, const PixelDescriptor* s, int sx, int sy,
                        int width, int height) {
  const ConvertContext c{s->palette, d->palette, PaletteSearchFor(d->flags)};
  std::uint32_t values[256];
  for (std::uint32_t i = 0; i < 256; ++i) {
    values[i] = PixelOf<D>(c, Format8::ColorOfPixel(c.sourcePalette, i));
  }
  ForEachRowPair(d, x, y, s, sx, sy, height, [&](std::uint8_t* dr, const std::uint8_t* sr) {
    for (int i = 0; i < width; ++i, dr += D::kBytes) D::Store(dr, values[sr[i]]);
  });
}

template <class S>
void ConvertRect(PixelDescriptor* d, int x, int y, int, const PixelDescriptor* s, int sx, int sy,
                 int width, int height) {
  if (width <= 0 || height <= 0) return;
  if constexpr (S::kIndex == kFormat8) {
    switch (FormatOfDepth(d->depth)) {
      case kFormat15:
        return ConvertIndexedRect<Format555>(d, x, y, s, sx, sy, width, height);
      case kFormat16:
        return ConvertIndexedRect<Format565>(d, x, y, s, sx, sy, width, height);
      case kFormat24:
        return ConvertIndexedRect<Format24>(d, x, y, s, sx, sy, width, height);
      case kFormat32:
        return ConvertIndexedRect<Format32>(d, x, y, s, sx, sy, width, height);
      default:
        break;
    }
  }
  ConvertRectFrom<S>(d, x, y, s, sx, sy, width, height);
}

// The 15- and 16-bit tables share their entry; the source's depth picks the form.
void ConvertRect16(PixelDescriptor* d, int x, int y, int, const PixelDescriptor* s, int sx, int sy,
                   int width, int height) {
  if (width <= 0 || height <= 0) return;
  if (s->depth == 15)
    ConvertRectFrom<Format555>(d, x, y, s, sx, sy, width, height);
  else
    ConvertRectFrom<Format565>(d, x, y, s, sx, sy, width, height);
}

}  // namespace

void InstallConvertRoutines(PixelRoutineTableSet& tables) {
  tables[kFormat8].convertRect = ConvertRect<Format8>;
  tables[kFormat15].convertRect = ConvertRect16;
  tables[kFormat16].convertRect = ConvertRect16;
  tables[kFormat24].convertRect = ConvertRect<Format24>;
  tables[kFormat32].convertRect = ConvertRect<Format32>;
}

}  // namespace vexa
