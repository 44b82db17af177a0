// The transformed blit: an image scaled and turned about its hot spot, handed from a source
// surface to a destination that draws it (BlitTransformed -> BlitTransformedFrom).
//
// BlitTransformed carries the drawing in a position and twelve integers:
//   x, y        where the hot spot lands on the destination (pixels, fractional)
//   a1..a4      source rectangle: x, y, width, height
//   a5, a6      hot spot inside the source rectangle (unscaled source pixels)
//   a7, a8      horizontal and vertical scale in 1/65536 (0 means 1)
//   a9          angle in 1/1000 degree, counter-clockwise on the screen
//   a10         drawing mode in bits 0-7 (kModeOpaque, kModeTransparent) and the options below
//   a11, a12    ink effect (bits 0-15 of a sprite's ink) and its 32-bit parameter
// Effect 13 takes a pointer as its parameter, which does not fit: the library never hands it
// over this way.
#pragma once

#include <cmath>
#include <cstdint>

#include <vexa/export.h>
#include <vexa/surface_implementation.h>

// Options in a10 above the mode. kTransformSmooth is the one a GPU driver needs (filter
// linearly); the finer three say which smoothing the library itself would apply, so that a
// driver drawing with the library's renderer can do exactly that.
inline constexpr int kTransformSmooth = 0x100;      // any smoothing below
inline constexpr int kTransformResample = 0x200;    // resample while scaling
inline constexpr int kTransformSmoothTurn = 0x400;  // filter while turning
inline constexpr int kTransformEdgeRing = 0x800;    // the blit's antialiased edge ring
inline constexpr int kTransformModeMask = 0xFF;

// One transformed blit, unpacked.
struct TransformedBlitArgs {
  float x = 0, y = 0;
  int sourceX = 0, sourceY = 0, sourceWidth = 0, sourceHeight = 0;
  int hotSpotX = 0, hotSpotY = 0;
  float scaleX = 1, scaleY = 1;
  float angle = 0;  // degrees
  int mode = 0;
  int options = 0;  // kTransformed... bits
  std::uint32_t effect = 0;
  std::uint32_t parameter = 0;
};

// Scale and angle travel as fixed-point integers: a scale to 1/65536, an angle to 1/1000
// degree. Values finer than that reach the destination rounded.
inline int PackTransformedScale(float scale) {
  // 0 would read as 1: the smallest scale that travels is 1/65536 (callers skip empty draws).
  if (!(scale > 0)) return 1;
  const double fixed = std::nearbyint(static_cast<double>(scale) * 65536.0);
  return fixed >= 2147483647.0 ? 2147483647 : fixed < 1 ? 1 : static_cast<int>(fixed);
}
inline float ReadTransformedScale(int fixed) {
  return fixed == 0 ? 1.0f : static_cast<float>(fixed / 65536.0);
}
inline int PackTransformedAngle(float angle) {
  if (!std::isfinite(angle)) return 0;
  return static_cast<int>(std::nearbyint(std::fmod(static_cast<double>(angle), 360.0) * 1000.0));
}
inline float ReadTransformedAngle(int milli) { return static_cast<float>(milli / 1000.0); }

// Calls source->BlitTransformed(destination, ...) with the arguments packed as above.
inline int CallBlitTransformed(cSurfaceImplementation* source, cSurfaceImplementation* destination,
                               const TransformedBlitArgs& t) {
  if (!source) return 0;
  return source->BlitTransformed(
      destination, t.x, t.y, t.sourceX, t.sourceY, t.sourceWidth, t.sourceHeight, t.hotSpotX,
      t.hotSpotY, PackTransformedScale(t.scaleX), PackTransformedScale(t.scaleY),
      PackTransformedAngle(t.angle), (t.mode & kTransformModeMask) | (t.options & ~0xFF),
      static_cast<int>(t.effect), static_cast<int>(t.parameter));
}

// The arguments of BlitTransformedFrom, unpacked.
inline TransformedBlitArgs UnpackTransformedBlit(float x, float y, int a1, int a2, int a3, int a4,
                                                 int a5, int a6, int a7, int a8, int a9, int a10,
                                                 int a11, int a12) {
  TransformedBlitArgs t;
  t.x = x;
  t.y = y;
  t.sourceX = a1;
  t.sourceY = a2;
  t.sourceWidth = a3;
  t.sourceHeight = a4;
  t.hotSpotX = a5;
  t.hotSpotY = a6;
  t.scaleX = ReadTransformedScale(a7);
  t.scaleY = ReadTransformedScale(a8);
  t.angle = ReadTransformedAngle(a9);
  t.mode = a10 & kTransformModeMask;
  t.options = a10 & ~kTransformModeMask;
  t.effect = static_cast<std::uint32_t>(a11);
  t.parameter = static_cast<std::uint32_t>(a12);
  return t;
}

// Draws a transformed blit with the library's own renderer, exactly as the library draws a
// scaled or turned sprite on a memory display: the source rectangle is stretched to its scaled
// size (truncated), turned about its hot spot into the bounding box of the turned rectangle
// (quarter turns exactly), and the result blitted with the mode, effect and parameter so that
// the turned hot spot lands on (floor x, floor y). Returns the blit's result; 0 when the
// arguments are unusable or a scale is 0.
VEXA_API int DrawTransformedSoftware(cSurfaceImplementation* source,
                                     cSurfaceImplementation* destination,
                                     const TransformedBlitArgs& args);
