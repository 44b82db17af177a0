// Bitmap-information records from untrusted bytes given to CreateDIBSection, SetDIBits and
// GetDIBits. The record is a full-size block (the longest header and the largest colour table), so
// whatever the header claims the calls may read all of it; the scan-line buffers are exactly
// what the record describes when that fits the input, else the calls must refuse.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/gdi/gdi.h"

namespace {

// The longest header version and the largest colour table.
constexpr std::size_t kRecord = 124 + 4 * 256;

std::uint64_t LinesBytes(const BITMAPINFOHEADER& h) {
  const std::int64_t height = h.biHeight < 0 ? -static_cast<std::int64_t>(h.biHeight) : h.biHeight;
  const std::int64_t stride = ((static_cast<std::int64_t>(h.biWidth) * h.biBitCount + 31) / 32) * 4;
  if (h.biWidth <= 0 || stride <= 0) return UINT64_MAX;
  return static_cast<std::uint64_t>(stride) * static_cast<std::uint64_t>(height);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kRecord + 4) return 0;
  std::vector<std::uint8_t> record(data, data + kRecord);
  auto* info = reinterpret_cast<BITMAPINFO*>(record.data());
  const std::uint8_t options = data[kRecord];
  const UINT usage = options & 1;
  const UINT start = data[kRecord + 1];
  const UINT lines = data[kRecord + 2];
  const std::uint8_t* pixels = data + kRecord + 4;
  const std::size_t pixelBytes = size - kRecord - 4;

  HDC dc = plat::CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  // Sections only for sizes that stay small.
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (LinesBytes(h) <= (1u << 20)) {
    HBITMAP section = plat::CreateDIBSection(dc, info, usage, &bits, nullptr, 0);
    if (section) {
      HGDIOBJ old = plat::SelectObject(dc, section);
      plat::Rectangle(dc, -2, -2, 5, 7);
      plat::SelectObject(dc, old);
      plat::DeleteObject(section);
    }
  }
  // Transfers between the record's rows and a small bitmap of the record's width.
  const int width = h.biWidth > 0 && h.biWidth <= 512 ? h.biWidth : 1;
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD table[256];
  } own{{sizeof(BITMAPINFOHEADER), width, 4, 1, static_cast<WORD>((options & 2) ? 8 : 32),
         plat::BI_RGB, 0, 0, 0, 0, 0},
        {}};
  HBITMAP target = plat::CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&own),
                                          plat::DIB_RGB_COLORS, &bits, nullptr, 0);
  if (LinesBytes(h) <= pixelBytes) {
    std::vector<std::uint8_t> rows(pixels, pixels + LinesBytes(h));
    plat::SetDIBits(dc, target, start, lines, rows.data(), info, usage);
    plat::GetDIBits(dc, target, start, lines, rows.data(), info, usage);
  }
  plat::GetDIBits(dc, target, 0, 0, nullptr, info, usage);
  plat::DeleteObject(target);
  plat::DeleteDC(dc);
  return 0;
}
