// BitBlt and StretchBlt: copies between the bitmaps of two contexts through the renderer's row
// converters and nearest-pixel scaler.
#include <algorithm>
#include <memory>

#include "platform/gdi/gdi_paint.h"
#include "pixels/kernels/stretch_nearest.h"
#include "palette/palette_search.h"

namespace plat {
namespace {

using i64 = std::int64_t;

bool SameTables(const Bitmap& a, const Bitmap& b) {
  if (a.table.entryCount < b.table.entryCount) return false;
  for (int i = 0; i < b.table.entryCount; ++i)
    if (vexa::RgbOf(a.table.entries[i]) != vexa::RgbOf(b.table.entries[i])) return false;
  return true;
}

// Copies w x h pixels; the bitmaps are distinct. Monochrome sources give 0 bits the
// destination's text colour and 1 bits its background colour; monochrome destinations get 1
// where the source shows the source context's background colour.
void CopyPixels(const DC& to, Bitmap& d, int x, int y, const DC& from, const Bitmap& s, int sx,
                int sy, int w, int h) {
  if (d.depth >= 8 && s.depth >= 8) {
    if (d.depth == 8 && s.depth == 8 && !SameTables(d, s)) {
      std::uint8_t remap[256];
      for (int i = 0; i < 256; ++i)
        remap[i] = static_cast<std::uint8_t>(ValueOfColour(d, vexa::RgbOf(s.table.entries[i])));
      for (int r = 0; r < h; ++r) {
        const std::uint8_t* in = s.Row(sy + r) + sx;
        std::uint8_t* out = d.Row(y + r) + x;
        for (int k = 0; k < w; ++k) out[k] = remap[in[k]];
      }
      return;
    }
    s.view.pixelRoutines->convertRect(&d.view, x, y, 0, &s.view, sx, sy, w, h);
    return;
  }
  if (s.depth == 1 && d.depth == 1) {
    for (int r = 0; r < h; ++r)
      for (int k = 0; k < w; ++k) WriteValue(d, x + k, y + r, ReadValue(s, sx + k, sy + r));
    return;
  }
  if (s.depth == 1) {
    const std::uint32_t zero = ValueOfColour(d, to.state.textColour & 0xFFFFFF);
    const std::uint32_t one = ValueOfColour(d, to.state.bkColour & 0xFFFFFF);
    for (int r = 0; r < h; ++r)
      for (int k = 0; k < w; ++k)
        WriteValue(d, x + k, y + r, ReadValue(s, sx + k, sy + r) ? one : zero);
    return;
  }
  const COLORREF background = ColourOfValue(s, ValueOfColour(s, from.state.bkColour & 0xFFFFFF));
  for (int r = 0; r < h; ++r)
    for (int k = 0; k < w; ++k)
      WriteValue(d, x + k, y + r,
                 ColourOfValue(s, ReadValue(s, sx + k, sy + r)) == background ? 1 : 0);
}

// A private copy of part of a bitmap (for copies within one bitmap).
std::unique_ptr<Bitmap> Snapshot(const Bitmap& s, int sx, int sy, int w, int h) {
  std::unique_ptr<Bitmap> copy(MakeBitmap(w, h, s.depth, true, nullptr, 0));
  if (!copy) return nullptr;
  copy->table = s.table;
  copy->table.inverseTable = nullptr;
  for (int r = 0; r < h; ++r)
    for (int k = 0; k < w; ++k) WriteValue(*copy, k, r, ReadValue(s, sx + k, sy + r));
  return copy;
}

POINT Device(const DC& dc, i64 x, i64 y) {
  return POINT{ClampCoordinate(ClampCoordinate(x) - i64{dc.state.windowOrigin.x}),
               ClampCoordinate(ClampCoordinate(y) - i64{dc.state.windowOrigin.y})};
}

void Mark(DC& dc, int x, int y, int w, int h) { MarkDirty(dc, RECT{x, y, x + w, y + h}); }

}  // namespace

BOOL BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX,
            int sourceY, DWORD rop) {
  if (rop != SRCCOPY) return PatBlt(destination, x, y, width, height, rop);
  DC* to = LookupDC(destination);
  DC* from = LookupDC(source);
  if (!to || !from || !to->state.bitmap || !from->state.bitmap || width < 0 || height < 0)
    return 0;
  Bitmap& d = *to->state.bitmap;
  Bitmap& s = *from->state.bitmap;
  const POINT dp = Device(*to, x, y);
  const POINT sp = Device(*from, sourceX, sourceY);
  // Clip the source rectangle to its bitmap and move the destination with it.
  i64 sx0 = sp.x, sy0 = sp.y, sx1 = i64{sp.x} + width, sy1 = i64{sp.y} + height;
  i64 dx0 = dp.x, dy0 = dp.y;
  if (sx0 < 0) dx0 -= sx0, sx0 = 0;
  if (sy0 < 0) dy0 -= sy0, sy0 = 0;
  sx1 = std::min<i64>(sx1, s.width);
  sy1 = std::min<i64>(sy1, s.height);
  if (sx0 >= sx1 || sy0 >= sy1) return 1;
  const i64 w = sx1 - sx0, h = sy1 - sy0;
  std::unique_ptr<Bitmap> copy;
  const Bitmap* src = &s;
  i64 offX = sx0 - dx0, offY = sy0 - dy0;  // source = destination + offset
  for (const RECT& r : DrawableClip(*to)) {
    const i64 l = std::max<i64>(dx0, r.left), t = std::max<i64>(dy0, r.top);
    const i64 rr = std::min<i64>(dx0 + w, r.right), bb = std::min<i64>(dy0 + h, r.bottom);
    if (l >= rr || t >= bb) continue;
    if (&d == &s && !copy) {
      copy = Snapshot(s, static_cast<int>(sx0), static_cast<int>(sy0), static_cast<int>(w),
                      static_cast<int>(h));
      if (!copy) return 0;
      src = copy.get();
      offX = -dx0;
      offY = -dy0;
    }
    CopyPixels(*to, d, static_cast<int>(l), static_cast<int>(t), *from, *src,
               static_cast<int>(l + offX), static_cast<int>(t + offY), static_cast<int>(rr - l),
               static_cast<int>(bb - t));
    Mark(*to, static_cast<int>(l), static_cast<int>(t), static_cast<int>(rr - l),
         static_cast<int>(bb - t));
  }
  return 1;
}

BOOL StretchBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX,
                int sourceY, int sourceWidth, int sourceHeight, DWORD rop) {
  if (rop != SRCCOPY) return 0;
  DC* to = LookupDC(destination);
  DC* from = LookupDC(source);
  if (!to || !from || !to->state.bitmap || !from->state.bitmap) return 0;
  if (width == 0 || height == 0 || sourceWidth == 0 || sourceHeight == 0) return 1;
  Bitmap& d = *to->state.bitmap;
  Bitmap& s = *from->state.bitmap;
  // Normalise both rectangles to positive sizes and note the mirroring.
  POINT dp = Device(*to, x, y), sp = Device(*from, sourceX, sourceY);
  i64 dx = dp.x, dy = dp.y, dw = width, dh = height;
  i64 sx = sp.x, sy = sp.y, sw = sourceWidth, sh = sourceHeight;
  bool flipX = false, flipY = false;
  if (dw < 0) dx += dw, dw = -dw, flipX = !flipX;
  if (dh < 0) dy += dh, dh = -dh, flipY = !flipY;
  if (sw < 0) sx += sw, sw = -sw, flipX = !flipX;
  if (sh < 0) sy += sh, sh = -sh, flipY = !flipY;
  // A source rectangle reaching out of its bitmap is cut to it, the destination in proportion.
  auto cut = [](i64* s0, i64* sn, i64 limit, i64* d0, i64* dn, bool flip) {
    const i64 a = std::max<i64>(*s0, 0), b = std::min<i64>(*s0 + *sn, limit);
    if (a >= b) return false;
    i64 f = a - *s0, g = b - *s0;  // the kept part, within the source rectangle
    if (flip) {
      const i64 mirrored = *sn - g;
      g = *sn - f;
      f = mirrored;
    }
    const i64 da = *d0 + f * *dn / *sn, db = *d0 + g * *dn / *sn;
    *s0 = a;
    *sn = b - a;
    *d0 = da;
    *dn = db - da;
    return *dn > 0;
  };
  if (!cut(&sx, &sw, s.width, &dx, &dw, flipX) || !cut(&sy, &sh, s.height, &dy, &dh, flipY))
    return 1;
  // Pixels in the destination's format: the source rectangle converted first when formats
  // or colour tables differ (or it is the destination bitmap itself).
  std::unique_ptr<Bitmap> converted;
  const Bitmap* src = &s;
  i64 srcX = sx, srcY = sy;
  const bool sameFormat = s.depth == d.depth && s.depth >= 8 && (s.depth != 8 || SameTables(d, s));
  if (!sameFormat || &s == &d) {
    converted.reset(MakeBitmap(static_cast<int>(sw), static_cast<int>(sh), d.depth, true, nullptr, 0));
    if (!converted) return 0;
    converted->table = d.table;
    converted->table.inverseTable = nullptr;
    BuildView(*converted);
    CopyPixels(*to, *converted, 0, 0, *from, s, static_cast<int>(sx), static_cast<int>(sy),
               static_cast<int>(sw), static_cast<int>(sh));
    src = converted.get();
    srcX = srcY = 0;
  }
  const vexa::NearestAxis columns(dw, sw), rows(dh, sh);
  for (const RECT& r : DrawableClip(*to)) {
    const i64 l = std::max<i64>(dx, r.left), t = std::max<i64>(dy, r.top);
    const i64 rr = std::min<i64>(dx + dw, r.right), bb = std::min<i64>(dy + dh, r.bottom);
    if (l >= rr || t >= bb) continue;
    if (!flipX && !flipY && d.depth >= 8) {
      const vexa::NearestPlane in{src->view.PixelAddress(static_cast<int>(srcX), static_cast<int>(srcY)),
                                  src->view.pitch, src->view.bytesPerPixel};
      const vexa::NearestPlane out{d.view.PixelAddress(static_cast<int>(l), static_cast<int>(t)),
                                   d.view.pitch, d.view.bytesPerPixel};
      vexa::StretchNearest(in, static_cast<int>(sw), static_cast<int>(sh), out, dw, dh,
                           vexa::NearestWindow{l - dx, t - dy, rr - dx, bb - dy});
    } else {
      for (i64 yy = t; yy < bb; ++yy) {
        const i64 ry = flipY ? dh - 1 - (yy - dy) : yy - dy;
        const int row = static_cast<int>(srcY) + rows.Row(ry);
        for (i64 xx = l; xx < rr; ++xx) {
          const i64 rx = flipX ? dw - 1 - (xx - dx) : xx - dx;
          WriteValue(d, static_cast<int>(xx), static_cast<int>(yy),
                     ReadValue(*src, static_cast<int>(srcX) + columns.Column(rx), row));
        }
      }
    }
    Mark(*to, static_cast<int>(l), static_cast<int>(t), static_cast<int>(rr - l),
         static_cast<int>(bb - t));
  }
  return 1;
}

}  // namespace plat
