// Plain and styled lines, rectangles, ellipses and polygons with fuzzed points, counts,
// widths, styles and effects on a small surface with a fuzzed clip and origin. Nothing may be
// written outside the surface: a guard frame around the drawing area must stay untouched.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <vexa/blit.h>
#include <vexa/fill_style.h>
#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "fuzz_reader.h"

namespace {

// Mostly small coordinates around the surface, sometimes anything at all.
class Reader : public FuzzReader {
 public:
  using FuzzReader::FuzzReader;
  int Coordinate() { return FuzzReader::Coordinate(16, 1, -64); }
};

constexpr int kDepths[] = {8, 15, 16, 24, 32};
constexpr std::uint32_t kGuard = 0xA5;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 8 || size > 4096) return 0;
  Reader in(data, size);
  const int depth = kDepths[in.Byte() % 5];
  const int width = 1 + in.Byte() % 48, height = 1 + in.Byte() % 40;
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, depth, kTypeMemory, kDriverNone);
  // The target is the middle of a larger surface reached through a sub-rectangle clip: the
  // frame outside the clip must keep its guard bytes.
  cSurfaceObject surface;
  if (!surface.Create(width + 16, height + 16, prototype)) return 0;
  surface.FillRectValue(0, 0, width + 16, height + 16, kGuard);
  const int cx = in.Byte() % 8, cy = in.Byte() % 8;
  surface.SetClipRect(8 + cx, 8 + cy, width - cx, height - cy);
  surface.SetOrigin(static_cast<std::int8_t>(in.Byte()), static_cast<std::int8_t>(in.Byte()));

  cSurfaceObject tile;
  tile.Create(1 + in.Byte() % 9, 1 + in.Byte() % 9, prototype);
  tile.FillColor(0x3366CC);
  CFillFlat flat(static_cast<COLORREF>(in.Int()) & 0xFFFFFF);
  CFillMosaic mosaic(&tile, in.Coordinate(), in.Coordinate());
  CFillDir gradient(static_cast<COLORREF>(in.Int()) & 0xFFFFFF, 0x00FF00, in.Byte() & 1, 0, 0);
  CFillData* styles[] = {&flat, &mosaic, &gradient, nullptr};

  for (int op = 0; op < 8 && !in.Done(); ++op) {
    const int kind = in.Byte() % 10;
    const int x1 = in.Coordinate(), y1 = in.Coordinate(), x2 = in.Coordinate(),
              y2 = in.Coordinate();
    const int lineWidth = static_cast<int>(in.Byte() % 8) - 1;
    const COLORREF colour = static_cast<COLORREF>(in.Int());
    CFillData* a = styles[in.Byte() % 4];
    CFillData* b = styles[in.Byte() % 4];
    std::uint32_t effect = in.Byte() % 13;  // 13 takes an object pointer as its parameter
    if (in.Byte() & 1) effect |= kEffectParamIsRGBA;
    const EffectParam parameter = static_cast<std::uint32_t>(in.Int());
    const int fill = in.Byte() & 1;
    std::vector<POINT> points(in.Byte() % 12);
    for (POINT& p : points) p = POINT{in.Coordinate(), in.Coordinate()};
    switch (kind) {
      case 0:
        surface.DrawLine(x1, y1, x2, y2, lineWidth, colour);
        break;
      case 1:
        surface.DrawRectangle(x1, y1, x2, y2, colour, lineWidth, ~colour, fill);
        break;
      case 2:
        surface.DrawEllipse(x1, y1, x2, y2, colour, lineWidth, ~colour, fill);
        break;
      case 3:
        surface.DrawPolygon(points.data(), static_cast<int>(points.size()), colour, lineWidth,
                            ~colour, fill);
        break;
      case 4:
        surface.DrawLineStyled(x1, y1, x2, y2, lineWidth, a, 0, effect, parameter);
        break;
      case 5:
        surface.DrawRectangleStyled(x1, y1, x2, y2, a, lineWidth, b, 0, effect, parameter, fill);
        break;
      case 6:
        surface.DrawEllipseStyled(x1, y1, x2, y2, a, lineWidth, b, 0, effect, parameter, fill);
        break;
      case 7:
        surface.DrawPolygonStyled(points.data(), static_cast<int>(points.size()), a, lineWidth, b,
                                  0, effect, parameter, fill);
        break;
      case 8:
        if (a) a->FillRect(&surface, x1, y1, x2, y2, fill);
        break;
      default:
        if (a)
          a->FillRectBlend(&surface, x1, y1, x2, y2, fill, static_cast<std::uint32_t>(parameter),
                           1);
        break;
    }
  }

  // Everything outside the clip keeps its guard value.
  surface.SetOrigin(0, 0);
  cSurfaceImplementation* s = surface.implementation;
  for (int y = 0; y < s->height; ++y)
    for (int x = 0; x < s->width; ++x) {
      if (s->InClip(x, y)) continue;
      std::uint32_t value = 0;
      std::memcpy(&value, s->PixelAddress(x, y), static_cast<std::size_t>(s->bytesPerPixel));
      if (value != kGuard) std::abort();
    }
  return 0;
}
