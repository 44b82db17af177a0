// The collision map's planes: creation, stamping, tests and scrolling.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <vexa/collision_map.h>
#include <vexa/collision_mask.h>
#include <vexa/image_bank.h>

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
struct Box {
  std::int64_t left, top, right, bottom;
  bool Empty() const { return left > right || top > bottom; }
};

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

namespace {

// Bits first..last (inclusive, 0-63) of a 64-bit word.
std::uint64_t Span64(std::int64_t first, std::int64_t last) {
  return (~std::uint64_t{0} << first) & (~std::uint64_t{0} >> (63 - last));
}

std::uint64_t Load64(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}
void Store64(std::uint8_t* p, std::uint64_t v) { std::memcpy(p, &v, 8); }

// 64 mask bits from `at`, moved down by `shift` (0-7) bits; reads 16 bytes.
std::uint64_t Shifted(const std::uint8_t* at, int shift) {
  // (high << 1) << (63 - shift): no shift by 64 when shift is 0.
  return (Load64(at) >> shift) | ((Load64(at + 8) << 1) << (63 - shift));
}

template <bool kSet>
void Apply64(std::uint8_t* target, std::uint64_t stamp) {
  const std::uint64_t old = Load64(target);
  Store64(target, kSet ? (old | stamp) : (old & ~stamp));
}

// How one stamp covers a plane row: `words` 64-bit words from plane byte `firstByte`, the
// first and last cut to the clipped columns; word k takes the mask bits from byte
// `sourceByte` + 8 k of the mask row (-1 at most: the row's first column may lie up to 7 bits
// left of the byte), moved down by `shift` bits. When the last word would pass the plane
// row's end (`partialLast`) it is written byte by byte.
struct RowStamp {
  std::int64_t firstByte, words, sourceByte;
  std::uint64_t firstSpan, lastSpan;
  int shift;
  bool partialLast;
  std::int64_t lastBytes;  // bytes of the last word inside the row
  std::uint64_t spans[6];  // word k's cut, for up to 6 words: the first and last spans
};

// One row; kWords > 0 fixes the word count (the last word then lies inside the row).
template <bool kSet, int kWords>
inline __attribute__((always_inline)) void StampRow(std::uint8_t* target,
                                                    const std::uint8_t* source, const RowStamp& r) {
  const std::int64_t words = kWords > 0 ? kWords : r.words;
  const int shift = r.shift;
#if defined(__SSE2__)
  if constexpr (kWords >= 2) {
    // Two words at a time; the shifts by 64 of the high halves give 0 when shift is 0.
    const __m128i down = _mm_cvtsi32_si128(shift), up = _mm_cvtsi32_si128(64 - shift);
    int k = 0;
    for (; k + 2 <= kWords; k += 2) {
      const auto* from = reinterpret_cast<const __m128i*>(source + 8 * k);
      const auto* high = reinterpret_cast<const __m128i*>(source + 8 * k + 8);
      auto* to = reinterpret_cast<__m128i*>(target + 8 * k);
      __m128i v = _mm_or_si128(_mm_srl_epi64(_mm_loadu_si128(from), down),
                               _mm_sll_epi64(_mm_loadu_si128(high), up));
      v = _mm_and_si128(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(r.spans + k)));
      const __m128i old = _mm_loadu_si128(to);
      _mm_storeu_si128(to, kSet ? _mm_or_si128(old, v) : _mm_andnot_si128(v, old));
    }
    if (k < kWords) Apply64<kSet>(target + 8 * k, Shifted(source + 8 * k, shift) & r.spans[k]);
    return;
  }
#endif
  const std::int64_t last = words - 1;
  std::uint64_t stamp = Shifted(source, shift) & r.firstSpan;
  for (std::int64_t k = 1; k <= last; ++k) {
    Apply64<kSet>(target + 8 * (k - 1), stamp);
    stamp = Shifted(source + 8 * k, shift);
  }
  stamp &= r.lastSpan;
  std::uint8_t* at = target + 8 * last;
  if (kWords > 0 || !r.partialLast) {
    Apply64<kSet>(at, stamp);
    return;
  }
  for (std::int64_t b = 0; b < r.lastBytes; ++b, stamp >>= 8) {
    const auto bits = static_cast<std::uint8_t>(stamp);
    at[b] =
        kSet ? static_cast<std::uint8_t>(at[b] | bits) : static_cast<std::uint8_t>(at[b] & ~bits);
  }
}

template <bool kSet, int kWords>
void StampRows(std::uint8_t* plane, std::int64_t rowBytes, std::int64_t top, std::int64_t bottom,
               std::int64_t py, const CollisionMask* mask, const RowStamp& stamp) {
  const RowStamp r = stamp;  // a local copy: plane writes cannot alias it
  const std::uint8_t* bits = MaskBits(mask);
  const std::int64_t maskBytes = mask->rowBytes;
  // Rows whose reads stay inside the mask's bits are read in place (a read may start in the
  // header before the first row; bits of neighbouring rows fall outside the spans); the last
  // rows go through a copy padded with zeros.
  const std::int64_t reach = r.sourceByte + 8 * (r.words - 1) + 16;
  const std::int64_t total = maskBytes * mask->height;
  std::int64_t inPlace = (total - reach) / maskBytes + py;  // the last row read in place
  if (total < reach) inPlace = py - 1;
  std::uint8_t* target = plane + top * rowBytes + r.firstByte;
  const std::uint8_t* source = bits + (top - py) * maskBytes + r.sourceByte;
  std::int64_t y = top;
  for (const std::int64_t end = std::min(bottom, inPlace); y <= end; ++y) {
    StampRow<kSet, kWords>(target, source, r);
    target += rowBytes;
    source += maskBytes;
  }
  if (y > bottom) return;
  const std::size_t padded = static_cast<std::size_t>(maskBytes + 40);
  std::uint8_t small[256];
  std::vector<std::uint8_t> large;
  std::uint8_t* row = small;
  if (padded > sizeof small) {
    large.resize(padded);
    row = large.data();
  }
  std::memset(row, 0, padded);
  for (; y <= bottom; ++y) {
    std::memcpy(row + 8, bits + (y - py) * maskBytes, static_cast<std::size_t>(maskBytes));
    StampRow<kSet, kWords>(target, row + 8 + r.sourceByte, r);
    target += rowBytes;
  }
}

template <bool kSet>
void StampPlane(std::uint8_t* plane, std::int64_t rowBytes, const Box& box, std::int64_t py,
                const CollisionMask* mask, const RowStamp& r) {
  if (r.partialLast || r.words > 5)
    StampRows<kSet, 0>(plane, rowBytes, box.top, box.bottom, py, mask, r);
  else if (r.words == 1)
    StampRows<kSet, 1>(plane, rowBytes, box.top, box.bottom, py, mask, r);
  else if (r.words == 2)
    StampRows<kSet, 2>(plane, rowBytes, box.top, box.bottom, py, mask, r);
  else if (r.words == 3)
    StampRows<kSet, 3>(plane, rowBytes, box.top, box.bottom, py, mask, r);
  else if (r.words == 4)
    StampRows<kSet, 4>(plane, rowBytes, box.top, box.bottom, py, mask, r);
  else
    StampRows<kSet, 5>(plane, rowBytes, box.top, box.bottom, py, mask, r);
}

}  // namespace

int StampMaskInMap(GameWindow* window, int image, int x, int y, int mode) {
  if (!HasMap(window)) return 0;
  const CollisionMask* mask = GetImageMask(window->context, image, 0);
  if (!mask || mask->width <= 0 || mask->height <= 0) return 0;
  const std::int64_t px = PlaneX(window, x), py = PlaneY(window, y);
  const Box box = Meet(Box{px, py, px + mask->width - 1, py + mask->height - 1}, ClipBox(window));
  if (box.Empty()) return 0;
  PlaneOp ops[2];
  const int count = PlaneOps(window, mode, ops);
  const int rowBytes = window->planeRowBytes;
  RowStamp r;
  r.firstByte = box.left >> 3;
  r.words = ((box.right >> 3) - r.firstByte) / 8 + 1;
  r.firstSpan = Span64(box.left - r.firstByte * 8, 63);
  r.lastSpan = Span64(0, box.right - r.firstByte * 8 - 64 * (r.words - 1));
  // The mask bit under the plane's column firstByte * 8; box.left >= px, so it is at most 7
  // bits before the mask row.
  const std::int64_t sourceBit = r.firstByte * 8 - px;
  r.sourceByte = sourceBit >> 3;  // rounds towards minus infinity
  r.shift = static_cast<int>(sourceBit & 7);
  r.partialLast = r.firstByte + 8 * r.words > rowBytes;
  for (int k = 0; k < 6; ++k)
    r.spans[k] = (k == 0 ? r.firstSpan : ~std::uint64_t{0}) &
                 (k == r.words - 1 ? r.lastSpan : ~std::uint64_t{0});
  r.lastBytes = rowBytes - (r.firstByte + 8 * (r.words - 1));
  for (int i = 0; i < count; ++i) {
    if (ops[i].set)
      StampPlane<true>(ops[i].plane, rowBytes, box, py, mask, r);
    else
      StampPlane<false>(ops[i].plane, rowBytes, box, py, mask, r);
  }
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
