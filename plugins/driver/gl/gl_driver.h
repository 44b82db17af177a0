// Driver-wide pieces shared by the surface and the entry points.
#pragma once

#include <cstdint>

#include <vexa/surface_implementation.h>
#include <vexa/transformed_blit.h>

class cGLSurface;

namespace vexagl {

// The arguments of BlitTransformedFrom (laid out in <vexa/transformed_blit.h>) as this driver
// draws them: scale and angle in double, a negative scale mirrors, kTransformSmooth filters
// linearly. Effect 13 does not travel this way.
struct TransformedBlit : TransformedBlitArgs {
  double xScale = 1, yScale = 1, degrees = 0;  // the fixed-point values, exact
  bool smooth = false;
};

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
