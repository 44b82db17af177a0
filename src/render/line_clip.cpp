// Outcode clipping of one-pixel lines.
#include "render/line_clip.h"

namespace vexa {
namespace {

constexpr int kBelow = 1, kAbove = 2, kRight = 4, kLeft = 8;

int Outcode(std::int64_t x, std::int64_t y, std::int64_t left, std::int64_t top, std::int64_t right,
            std::int64_t bottom) {
  int code = y > bottom ? kBelow : (y < top ? kAbove : 0);
  code |= x > right ? kRight : (x < left ? kLeft : 0);
  return code;
}

// a + (b - a) x (edge - from) / (to - from), truncating; the product needs more than 64 bits
// for endpoints far apart.
std::int64_t Along(std::int64_t a, std::int64_t b, std::int64_t edge, std::int64_t from,
                   std::int64_t to) {
  const __int128 product = static_cast<__int128>(b - a) * (edge - from);
  return a + static_cast<std::int64_t>(product / (to - from));
}

}  // namespace

bool ClipSegment(std::int64_t* x1, std::int64_t* y1, std::int64_t* x2, std::int64_t* y2,
                 std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom) {
  // Every cut is measured on the original segment, so that a line cut at both ends keeps its
  // course instead of adding one truncation to the next.
  const std::int64_t fromX = *x1, fromY = *y1, toX = *x2, toY = *y2;
  int code1 = Outcode(*x1, *y1, left, top, right, bottom);
  int code2 = Outcode(*x2, *y2, left, top, right, bottom);
  // Each move puts an endpoint on an edge line; two per endpoint and axis settle any segment,
  // the rest is headroom for truncation.
  for (int moves = 0; moves < 16; ++moves) {
    if (!(code1 | code2)) return true;
    if (code1 & code2) return false;
    const bool first = code1 != 0;
    const int code = first ? code1 : code2;
    std::int64_t x, y;
    if (code & (kBelow | kAbove)) {
      y = (code & kBelow) ? bottom : top;
      x = Along(fromX, toX, y, fromY, toY);
    } else {
      x = (code & kRight) ? right : left;
      y = Along(fromY, toY, x, fromX, toX);
    }
    if (first) {
      *x1 = x;
      *y1 = y;
      code1 = Outcode(x, y, left, top, right, bottom);
    } else {
      *x2 = x;
      *y2 = y;
      code2 = Outcode(x, y, left, top, right, bottom);
    }
  }
  return false;
}

}  // namespace vexa
