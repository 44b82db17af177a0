// Shapes with fuzzed coordinates (anywhere in the 32-bit range), pen styles and widths, fill
// modes and raster operations on a small section: every call must terminate and stay inside
// the section's pixels.
#include <cstddef>
#include <cstdint>

#include "fuzz_reader.h"
#include "platform/gdi/gdi.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  FuzzReader in(data, size);
  const int bpp[] = {1, 8, 16, 24, 32};
  // The record carries a whole colour table (zeroes: black) for the indexed formats.
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD table[256];
  } record{{sizeof(BITMAPINFOHEADER), 13, (in.Byte() & 1) ? -9 : 9, 1,
            static_cast<WORD>(bpp[in.Byte() % 5]), plat::BI_RGB, 0, 0, 0, 0, 0},
           {}};
  auto* info = reinterpret_cast<BITMAPINFO*>(&record);
  HDC dc = plat::CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  HBITMAP section = plat::CreateDIBSection(dc, info, plat::DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = plat::SelectObject(dc, section);
  HBRUSH brush = plat::CreateSolidBrush(0x123456);
  plat::SelectObject(dc, brush);
  int steps = 0;
  while (!in.Done() && steps++ < 64) {
    const std::uint8_t op = in.Byte();
    HPEN pen = plat::CreatePen(op % 7, in.Byte() % 40, 0xABCDEF);
    HGDIOBJ oldPen = plat::SelectObject(dc, pen);
    plat::SetROP2(dc, (op >> 3) % 16 + 1);
    plat::SetPolyFillMode(dc, (op & 0x80) ? plat::WINDING : plat::ALTERNATE);
    POINT points[6];
    for (POINT& p : points) p = POINT{in.MostlySmall(64), in.MostlySmall(64)};
    switch ((op >> 4) % 8) {
      case 0:
        plat::Rectangle(dc, points[0].x, points[0].y, points[1].x, points[1].y);
        break;
      case 1:
        plat::Ellipse(dc, points[0].x, points[0].y, points[1].x, points[1].y);
        break;
      case 2:
        plat::Polygon(dc, points, 2 + op % 5);
        break;
      case 3:
        plat::Polyline(dc, points, 2 + op % 5);
        break;
      case 4:
        plat::MoveToEx(dc, points[0].x, points[0].y, nullptr);
        plat::LineTo(dc, points[1].x, points[1].y);
        break;
      case 5:
        plat::SetWindowOrgEx(dc, points[0].x, points[0].y, nullptr);
        break;
      case 6:
        plat::IntersectClipRect(dc, points[0].x, points[0].y, points[1].x, points[1].y);
        break;
      default:
        plat::StretchBlt(dc, points[0].x, points[0].y, points[1].x, points[1].y, dc, points[2].x,
                         points[2].y, points[3].x, points[3].y, plat::SRCCOPY);
        plat::SelectClipRgn(dc, nullptr);
        break;
    }
    plat::SelectObject(dc, oldPen);
    plat::DeleteObject(pen);
  }
  plat::SelectObject(dc, old);
  plat::DeleteDC(dc);
  plat::DeleteObject(section);
  plat::DeleteObject(brush);
  return 0;
}
