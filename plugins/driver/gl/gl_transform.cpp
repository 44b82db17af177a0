#include <cmath>

#include "gl_driver.h"

namespace vexagl {

TransformedBlit ReadTransformedBlit(float x, float y, int a1, int a2, int a3, int a4, int a5,
                                    int a6, int a7, int a8, int a9, int a10, int a11, int a12) {
  TransformedBlit t;
  t.x = x;
  t.y = y;
  t.sourceX = a1;
  t.sourceY = a2;
  t.sourceWidth = a3;
  t.sourceHeight = a4;
  t.hotX = static_cast<float>(a5);
  t.hotY = static_cast<float>(a6);
  t.scaleX = a7 ? a7 / 65536.0 : 1.0;
  t.scaleY = a8 ? a8 / 65536.0 : 1.0;
  t.angle = a9 / 1000.0;
  t.mode = a10 & 0xFF;
  t.smooth = (a10 & kTransformedSmooth) != 0;
  t.effect = static_cast<std::uint32_t>(a11);
  t.parameter = static_cast<std::uint32_t>(a12);
  return t;
}

void TransformedCorners(const TransformedBlit& t, float out[8]) {
  const double radians = t.angle * 3.14159265358979323846 / 180.0;
  const double c = std::cos(radians), s = std::sin(radians);
  const double w = t.sourceWidth, h = t.sourceHeight;
  const double corners[4][2] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
  for (int i = 0; i < 4; ++i) {
    const double px = (corners[i][0] - t.hotX) * t.scaleX;
    const double py = (corners[i][1] - t.hotY) * t.scaleY;
    // Counter-clockwise on a screen whose y grows downwards.
    out[i * 2] = static_cast<float>(t.x + px * c + py * s);
    out[i * 2 + 1] = static_cast<float>(t.y - px * s + py * c);
  }
}

}  // namespace vexagl
