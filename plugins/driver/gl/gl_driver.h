// Driver-wide pieces shared by the surface and the entry points.
#pragma once

#include <cstdint>

#include <vexa/surface_implementation.h>

class cGLSurface;

namespace vexagl {

// The arguments of BlitTransformedFrom as this driver reads them:
//   x, y        where the hot spot lands on the destination (pixels, fractional)
//   a1..a4      source rectangle: x, y, width, height
//   a5, a6      hot spot inside the source rectangle
//   a7, a8      horizontal and vertical scale in 1/65536 (0 means 1.0; negative mirrors)
//   a9          angle in 1/1000 degree, counter-clockwise on the screen
//   a10         drawing mode (bits 0-7); bit 8 smooths (linear filtering)
//   a11, a12    ink effect and its parameter (32 bits: effect 13 is not available here)
struct TransformedBlit {
  float x = 0, y = 0;
  int sourceX = 0, sourceY = 0, sourceWidth = 0, sourceHeight = 0;
  float hotX = 0, hotY = 0;
  double scaleX = 1, scaleY = 1, angle = 0;
  int mode = 0;
  bool smooth = false;
  std::uint32_t effect = 0;
  EffectParam parameter = 0;
};
inline constexpr int kTransformedSmooth = 0x100;

TransformedBlit ReadTransformedBlit(float x, float y, int a1, int a2, int a3, int a4, int a5,
                                    int a6, int a7, int a8, int a9, int a10, int a11, int a12);
// The destination corners (top-left, top-right, bottom-right, bottom-left of the source
// rectangle) as x, y pairs.
void TransformedCorners(const TransformedBlit& t, float out[8]);

// Calls every image bank's frame callback (once per presented frame).
void RunFrameCallbacks();
// Withdraws the effects attached to a surface that goes away.
void ForgetEffectsOf(cGLSurface* surface);
// Withdraws every effect and callback before the context ends.
void DestroyAllSurfaces();

// SEFunction code 0: the rectangle of the window a display surface is shown in.
extern int g_presentViewport[4];

}  // namespace vexagl
