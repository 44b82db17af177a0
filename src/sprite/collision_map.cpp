// The collision map's planes: creation, stamping, tests and scrolling.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include <vexa/collision_map.h>
#include <vexa/collision_mask.h>
#include <vexa/image_bank.h>

#include "sprite/map_stamp_kernels.h"
#include "window/game_window.h"

namespace {

constexpr int kTopEdgeRows = 6;

bool HasMap(GameWindow* window) {
  return IsValidWindowObject(window) && window->planeMemory != nullptr;
}

std::uint8_t* PlaneAt(GameWindow* window, std::int32_t offset) {
  if (!HasMap(window) || offset < 0) return nullptr;
  return window->planeMemory + offset;
}

std::uint8_t* Plane(GameWindow* window, int which) {
  return PlaneAt(window,
                 which == kMapTestTopEdge ? window->topEdgePlaneOffset : window->solidPlaneOffset);
}

int PlaneRows(GameWindow* window) { return window->mapBottom - window->mapTop + 1; }
int PlaneWidth(GameWindow* window) { return window->planeRowBytes * 8; }

// The planes a stamp or fill touches, each with whether it is set or cleared. A plane that
// serves as both is processed once, set when either bit asks for it.
struct PlaneOp {
  std::uint8_t* plane;
  bool set;
};
int PlaneOps(GameWindow* window, int bits, PlaneOp ops[2]) {
  std::uint8_t* solid = PlaneAt(window, window->solidPlaneOffset);
  std::uint8_t* top = PlaneAt(window, window->topEdgePlaneOffset);
  int count = 0;
  if (solid && solid == top) {
    ops[count++] = {solid, (bits & 3) != 0};
    return count;
  }
  if (solid) ops[count++] = {solid, (bits & 1) != 0};
  if (top) ops[count++] = {top, (bits & 2) != 0};
  return count;
}

// An inclusive rectangle in plane pixels.
using Box = vexa::MapBox;

// The clip rectangle in plane pixels.
Box ClipBox(GameWindow* window) {
  return Box{std::int64_t{window->clipLeft} - window->mapLeft,
             std::int64_t{window->clipTop} - window->mapTop,
             std::int64_t{window->clipRight} - window->mapLeft,
             std::int64_t{window->clipBottom} - window->mapTop};
}

Box Meet(Box a, const Box& b) {
  a.left = std::max(a.left, b.left);
  a.top = std::max(a.top, b.top);
  a.right = std::min(a.right, b.right);
  a.bottom = std::min(a.bottom, b.bottom);
  return a;
}

// Display x, y to plane pixels.
std::int64_t PlaneX(GameWindow* window, std::int64_t x) {
  return x + window->scrollX - window->mapLeft;
}
std::int64_t PlaneY(GameWindow* window, std::int64_t y) {
  return y + window->scrollY - window->mapTop;
}

std::uint16_t Word(const std::uint8_t* row, std::int64_t index) {
  std::uint16_t w;
  std::memcpy(&w, row + index * 2, 2);
  return w;
}
void PutWord(std::uint8_t* row, std::int64_t index, std::uint16_t w) {
  std::memcpy(row + index * 2, &w, 2);
}

// Bits first..last (inclusive, 0-15) of a word.
std::uint16_t Span(int first, int last) {
  return static_cast<std::uint16_t>((0xFFFFu << first) & (0xFFFFu >> (15 - last)));
}

void FillBox(GameWindow* window, std::uint8_t* plane, const Box& box, bool set) {
  const int rowBytes = window->planeRowBytes;
  const std::int64_t firstWord = box.left >> 4, lastWord = box.right >> 4;
  for (std::int64_t y = box.top; y <= box.bottom; ++y) {
    std::uint8_t* row = plane + y * rowBytes;
    for (std::int64_t w = firstWord; w <= lastWord; ++w) {
      const int from = w == firstWord ? static_cast<int>(box.left & 15) : 0;
      const int to = w == lastWord ? static_cast<int>(box.right & 15) : 15;
      const std::uint16_t span = Span(from, to);
      const std::uint16_t old = Word(row, w);
      PutWord(row, w, set ? (old | span) : (old & ~span));
    }
  }
}

}  // namespace

int CreateCollisionMap(GameWindow* window, int left, int top, int right, int bottom,
                       int planeFlags) {
  if (!IsValidWindowObject(window)) return 0;
  std::free(window->planeMemory);
  window->planeMemory = nullptr;
  window->solidPlaneOffset = window->topEdgePlaneOffset = -1;
  // Whole 16-pixel columns: a left edge of 1 starts at 16, one of -1 at -16.
  std::int64_t mapLeft = left >= 0 ? (std::int64_t{left} + 15) / 16 * 16
                                   : -((-(std::int64_t{left} - 15) + 15) / 16) * 16;
  std::int64_t mapRight = std::max<std::int64_t>(right, window->backBufferWidth);
  mapRight = (mapRight >= 0 ? (mapRight + 15) / 16 * 16 : -(-mapRight / 16) * 16) - 1;
  const std::int64_t mapBottom = std::max<std::int64_t>(bottom, window->backBufferHeight) - 1;
  const std::int64_t rowBytes = (mapRight - mapLeft + 1) / 8;
  const std::int64_t rows = mapBottom - top + 1;
  const std::int64_t planeSize = rowBytes * rows;
  // Maps the fields cannot describe fail instead of wrapping.
  if (mapRight < mapLeft || rows < 1 || rowBytes > std::numeric_limits<std::uint16_t>::max() ||
      planeSize > std::numeric_limits<std::int32_t>::max() / 2 - 4 ||
      mapLeft < std::numeric_limits<std::int32_t>::min() ||
      mapRight > std::numeric_limits<std::int32_t>::max())
    return 0;
  window->mapLeft = static_cast<std::int32_t>(mapLeft);
  window->mapRight = static_cast<std::int32_t>(mapRight);
  window->mapTop = top;
  window->mapBottom = static_cast<std::int32_t>(mapBottom);
  window->planeRowBytes = static_cast<std::uint16_t>(rowBytes);
  window->clipLeft = window->mapLeft;
  window->clipTop = window->mapTop;
  window->clipRight = window->mapRight;
  window->clipBottom = window->mapBottom;
  window->scrollX = window->scrollY = 0;
  window->planeSize = static_cast<std::int32_t>(planeSize);
  int planes = 0;
  std::int32_t solid = -1, topEdge = -1;
  if (planeFlags & kMapSolidPlane) {
    solid = topEdge = 0;
    planes = 1;
  }
  if (planeFlags & kMapTopEdgePlane) {
    topEdge = static_cast<std::int32_t>(planes * planeSize);
    ++planes;
  }
  if (planes == 0) return 1;
  auto* memory =
      static_cast<std::uint8_t*>(std::calloc(static_cast<size_t>(planeSize * planes + 4), 1));
  if (!memory) return 0;
  window->planeMemory = memory;
  window->solidPlaneOffset = solid;
  window->topEdgePlaneOffset = topEdge;
  return 1;
}

int FreeCollisionMap(GameWindow* window) {
  if (!IsValidWindowObject(window)) return 0;
  const int had = window->planeMemory != nullptr;
  std::free(window->planeMemory);
  window->planeMemory = nullptr;
  window->solidPlaneOffset = window->topEdgePlaneOffset = -1;
  return had;
}

int ClearCollisionMap(GameWindow* window, int fillBits) {
  if (!HasMap(window)) return 0;
  PlaneOp ops[2];
  const int count = PlaneOps(window, fillBits, ops);
  for (int i = 0; i < count; ++i)
    std::memset(ops[i].plane, ops[i].set ? 0xFF : 0, static_cast<size_t>(window->planeSize));
  return count ? 1 : 0;
}

int FillCollisionMapRect(GameWindow* window, int left, int top, int right, int bottom,
                         int fillBits) {
  if (!HasMap(window)) return 0;
  const Box box = Meet(
      Box{PlaneX(window, left), PlaneY(window, top), PlaneX(window, right), PlaneY(window, bottom)},
      ClipBox(window));
  if (box.Empty()) return 0;
  PlaneOp ops[2];
  const int count = PlaneOps(window, fillBits, ops);
  for (int i = 0; i < count; ++i) FillBox(window, ops[i].plane, box, ops[i].set);
  return count ? 1 : 0;
}

int StampMaskInMap(GameWindow* window, int image, int x, int y, int mode) {
  if (!HasMap(window)) return 0;
  const CollisionMask* mask = GetImageMask(window->context, image, 0);
  if (!mask || mask->width <= 0 || mask->height <= 0) return 0;
  const std::int64_t px = PlaneX(window, x), py = PlaneY(window, y);
  const Box box = Meet(Box{px, py, px + mask->width - 1, py + mask->height - 1}, ClipBox(window));
  if (box.Empty()) return 0;
  PlaneOp ops[2];
  const int count = PlaneOps(window, mode, ops);
  for (int i = 0; i < count; ++i)
    vexa::StampMaskRows(vexa::ActiveMapStampKernels(), ops[i].plane, window->planeRowBytes, box, px,
                        py, mask, ops[i].set);
  return count ? 1 : 0;
}

int StampTopEdgeInMap(GameWindow* window, int image, int x, int y) {
  std::uint8_t* plane = PlaneAt(window, HasMap(window) ? window->topEdgePlaneOffset : -1);
  if (!plane) return 0;
  const CollisionMask* mask = GetImageMask(window->context, image, 0);
  if (!mask || mask->width <= 0 || mask->height <= 0) return 0;
  Box clip = ClipBox(window);
  // A clip rectangle that ends close to the map's left edge reaches 16 pixels further.
  if (std::int64_t{window->clipRight} - window->mapLeft <= 120)
    clip.right = std::min<std::int64_t>(clip.right + 16, window->mapRight - window->mapLeft);
  const std::int64_t px = PlaneX(window, x), py = PlaneY(window, y);
  const std::uint8_t* bits = MaskBits(mask);
  const int rowBytes = window->planeRowBytes;
  for (int column = 0; column < mask->width; ++column) {
    const std::int64_t tx = px + column;
    if (tx < clip.left || tx > clip.right) continue;
    int first = 0;
    while (first < mask->height && !TestMaskPoint(bits, column, first, mask->width, mask->height))
      ++first;
    if (first == mask->height) continue;
    const int end = std::min(first + kTopEdgeRows, mask->height);
    for (int row = first; row < end; ++row) {
      const std::int64_t ty = py + row;
      if (ty < clip.top) continue;
      if (ty > clip.bottom) break;
      std::uint8_t& byte = plane[ty * rowBytes + (tx >> 3)];
      const std::uint8_t bit = static_cast<std::uint8_t>(1u << (tx & 7));
      if (TestMaskPoint(bits, column, row, mask->width, mask->height))
        byte |= bit;
      else
        byte &= static_cast<std::uint8_t>(~bit);
    }
  }
  return 1;
}

int TestPointInMap(GameWindow* window, int x, int y, int plane) {
  const std::uint8_t* bits = Plane(window, plane);
  if (!bits) return 0;
  const std::int64_t px = PlaneX(window, x), py = PlaneY(window, y);
  const Box clip = ClipBox(window);
  if (px < clip.left || px > clip.right || py < clip.top || py > clip.bottom) return 0;
  return (bits[py * window->planeRowBytes + (px >> 3)] >> (px & 7)) & 1;
}

int TestRectInMap(GameWindow* window, int x, int y, int width, int height, int plane) {
  const std::uint8_t* bits = Plane(window, plane);
  if (!bits || width <= 0 || height <= 0) return 0;
  const std::int64_t px = PlaneX(window, x), py = PlaneY(window, y);
  const Box box = Meet(Box{px, py, px + width - 1, py + height - 1}, ClipBox(window));
  if (box.Empty()) return 0;
  return TestMaskRect(bits, PlaneWidth(window), PlaneRows(window), static_cast<int>(box.left),
                      static_cast<int>(box.top), static_cast<int>(box.right - box.left + 1),
                      static_cast<int>(box.bottom - box.top + 1));
}

int SetMapClip(GameWindow* window, const RECT* clip) {
  if (!IsValidWindowObject(window)) return 0;
  if (!clip) {
    window->clipLeft = window->mapLeft;
    window->clipTop = window->mapTop;
    window->clipRight = window->mapRight;
    window->clipBottom = window->mapBottom;
    return 1;
  }
  // Kept inside the map, so that no operation reaches outside the planes.
  window->clipLeft = std::max<std::int32_t>(clip->left, window->mapLeft);
  window->clipTop = std::max<std::int32_t>(clip->top, window->mapTop);
  window->clipRight = std::min<std::int32_t>(clip->right, window->mapRight);
  window->clipBottom = std::min<std::int32_t>(clip->bottom, window->mapBottom);
  return 1;
}

int SetMapScroll(GameWindow* window, int scrollX, int scrollY) {
  if (!IsValidWindowObject(window)) return 0;
  window->scrollX = scrollX;
  window->scrollY = scrollY;
  return 1;
}

namespace {

// Moves a plane's contents by `bytes` bytes left (negative: right) and `rows` rows down
// (negative: up); what comes in is cleared.
void ShiftPlane(GameWindow* window, std::uint8_t* plane, std::int64_t bytes, std::int64_t rows) {
  const std::int64_t rowBytes = window->planeRowBytes, height = PlaneRows(window);
  const std::int64_t keepRows = std::max<std::int64_t>(height - std::llabs(rows), 0);
  const std::int64_t keepBytes = std::max<std::int64_t>(rowBytes - std::llabs(bytes), 0);
  auto move = [&](std::int64_t targetRow) {
    std::uint8_t* target = plane + targetRow * rowBytes;
    const std::int64_t sourceRow = targetRow - rows;
    if (sourceRow < 0 || sourceRow >= height || keepBytes == 0) {
      std::memset(target, 0, static_cast<size_t>(rowBytes));
      return;
    }
    const std::uint8_t* source = plane + sourceRow * rowBytes;
    if (bytes >= 0) {
      std::memmove(target, source + bytes, static_cast<size_t>(keepBytes));
      std::memset(target + keepBytes, 0, static_cast<size_t>(rowBytes - keepBytes));
    } else {
      std::memmove(target - bytes, source, static_cast<size_t>(keepBytes));
      std::memset(target, 0, static_cast<size_t>(-bytes));
    }
  };
  (void)keepRows;
  if (rows > 0)
    for (std::int64_t r = height - 1; r >= 0; --r) move(r);
  else
    for (std::int64_t r = 0; r < height; ++r) move(r);
}

std::int64_t FloorDiv8(std::int64_t value) { return value >= 0 ? value / 8 : -((-value + 7) / 8); }

}  // namespace

int ScrollCollisionMap(GameWindow* window, int newScrollX, int shiftY, RECT* across, RECT* down) {
  if (!IsValidWindowObject(window)) return 0;
  if (!across && !down) {
    window->scrollX = newScrollX;
    window->scrollY = shiftY;
    return 0;
  }
  if (!HasMap(window)) return 0;
  const std::int64_t d = std::int64_t{window->scrollX} - newScrollX;
  const std::int64_t e = FloorDiv8(d);
  window->scrollX = static_cast<std::int32_t>(d - 8 * e);
  if (e == 0 && shiftY == 0) return 0;
  const RECT bounds{window->mapLeft, window->mapTop, window->mapRight, window->mapBottom};
  auto inRange = [](std::int64_t v) {
    return static_cast<LONG>(std::clamp<std::int64_t>(v, std::numeric_limits<LONG>::min(),
                                                      std::numeric_limits<LONG>::max()));
  };
  if (across) {
    *across = bounds;
    if (e > 0)
      across->left = inRange(std::int64_t{bounds.right} - 8 * e - 7);
    else
      across->right = inRange(std::int64_t{bounds.left} + 8 * ((1 - e) & ~std::int64_t{1}) + 15);
  }
  if (down) {
    *down = bounds;
    if (shiftY < 0)
      down->top = inRange(std::int64_t{bounds.bottom} + shiftY);
    else if (shiftY > 0)
      down->bottom = inRange(std::int64_t{bounds.top} + shiftY - 1);
  }
  std::uint8_t* solid = PlaneAt(window, window->solidPlaneOffset);
  std::uint8_t* topEdge = PlaneAt(window, window->topEdgePlaneOffset);
  if (solid) ShiftPlane(window, solid, e, shiftY);
  if (topEdge && topEdge != solid) ShiftPlane(window, topEdge, e, shiftY);
  return 1;
}

int SetFineCollision(GameWindow* window, int value) {
  if (!IsValidWindowObject(window)) return 0;
  const int previous = window->fineCollision;
  window->fineCollision = static_cast<std::uint16_t>(value);
  return previous;
}
