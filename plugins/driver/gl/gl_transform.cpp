#include <cmath>

#include "gl_driver.h"

namespace vexagl {

TransformedBlit ReadTransformedBlit(float x, float y, int a1, int a2, int a3, int a4, int a5,
                                    int a6, int a7, int a8, int a9, int a10, int a11, int a12) {
  TransformedBlit t;
  static_cast<TransformedBlitArgs&>(t) =
      UnpackTransformedBlit(x, y, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12);
  t.xScale = a7 ? a7 / 65536.0 : 1.0;
  t.yScale = a8 ? a8 / 65536.0 : 1.0;
  t.degrees = a9 / 1000.0;
  t.smooth = (t.options & kTransformSmooth) != 0;
  return t;
}

void TransformedCorners(const TransformedBlit& t, float out[8]) {
  const double radians = t.degrees * 3.14159265358979323846 / 180.0;
  const double c = std::cos(radians), s = std::sin(radians);
  const double w = t.sourceWidth, h = t.sourceHeight;
  const double corners[4][2] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
  for (int i = 0; i < 4; ++i) {
    const double px = (corners[i][0] - t.hotSpotX) * t.xScale;
    const double py = (corners[i][1] - t.hotSpotY) * t.yScale;
    // Counter-clockwise on a screen whose y grows downwards.
    out[i * 2] = static_cast<float>(t.x + px * c + py * s);
    out[i * 2 + 1] = static_cast<float>(t.y - px * s + py * c);
  }
}

}  // namespace vexagl
