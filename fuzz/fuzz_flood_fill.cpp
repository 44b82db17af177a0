// Flood fill over fuzzed images, seeds, tolerances, clips and effects: the direct form and the
// virtual-call form must paint the same pixels and report the same box, and the public call
// must stay inside the surface.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "frame/flood_fill.h"

namespace {

constexpr int kDepths[] = {8, 15, 16, 24, 32};

std::vector<std::uint8_t> Pixels(cSurfaceObject& s) {
  std::vector<std::uint8_t> out;
  cSurfaceImplementation* d = s.implementation;
  for (int y = 0; y < d->height; ++y)
    out.insert(out.end(), d->Row(y), d->Row(y) + d->width * d->bytesPerPixel);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size <= 10 || size > 8192) return 0;
  const int depth = kDepths[data[0] % 5];
  const int width = 1 + data[1] % 64, height = 1 + data[2] % 64;
  const int seedX = data[3] % width, seedY = data[4] % height;
  const int tolerance = data[5] % 4 == 0 ? data[6] : data[6] % 16;
  const std::uint32_t effect = data[7] % 13;
  const COLORREF colour = static_cast<COLORREF>(data[8]) * 0x010203u;
  const int clip = data[9];
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, depth, kTypeMemory, kDriverNone);
  cSurfaceObject a, b;
  if (!a.Create(width, height, prototype) || !b.Create(width, height, prototype)) return 0;
  // The image: few distinct bytes, so that regions form.
  const std::size_t bytes = static_cast<std::size_t>(width) * a.implementation->bytesPerPixel;
  for (int y = 0; y < height; ++y)
    for (std::size_t i = 0; i < bytes; ++i) {
      const std::size_t at = 10 + (y * bytes + i) % (size - 10);
      const std::uint8_t v = (data[at] & 3) * 0x55;
      a.implementation->Row(y)[i] = v;
      b.implementation->Row(y)[i] = v;
    }
  if (clip & 1) {
    a.SetClipRect(clip % 5, (clip >> 3) % 5, width - 2, height - 2);
    b.SetClipRect(clip % 5, (clip >> 3) % 5, width - 2, height - 2);
  }

  COLORREF seed = 0;
  if (a.GetPixelColor(seedX, seedY, &seed)) {
    vexa::FloodFillRequest request;
    request.seedX = seedX;
    request.seedY = seedY;
    request.seedColour = seed;
    request.fillIndex = depth == 8 ? static_cast<std::uint32_t>(a.GetNearestIndex(colour)) : 0;
    request.fillColour = depth == 8 ? a.GetPaletteColor(static_cast<int>(request.fillIndex))
                                    : colour & (depth == 15   ? 0xF8F8F8u
                                                : depth == 16 ? 0xF8FCF8u
                                                              : 0xFFFFFFu);
    request.tolerance = tolerance;
    vexa::FloodBox boxA{seedX, seedY, seedX, seedY}, boxB = boxA;
    request.surface = request.target = a.implementation;
    vexa::RunFloodFill(request, &boxA);
    request.surface = request.target = b.implementation;
    request.allowDirect = false;
    vexa::RunFloodFill(request, &boxB);
    if (Pixels(a) != Pixels(b) || std::memcmp(&boxA, &boxB, sizeof boxA) != 0) std::abort();
  }
  // The public call, through an effect when the input asks for one.
  int l = 0, t = 0, r = 0, bottom = 0;
  if (a.FloodFill(seedX, seedY, &l, &t, &r, &bottom, colour ^ 0x808080, 0, tolerance, 0, effect,
                  effect ? data[8] : 0)) {
    if (l < 0 || t < 0 || r > width || bottom > height || l >= r || t >= bottom) std::abort();
  }
  return 0;
}
