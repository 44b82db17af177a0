// A device-independent bitmap from untrusted bytes: the header, colour table and bits all come
// from the input. Whenever the block holds what the header describes, wrapping it as a surface
// and reading and drawing every pixel must stay inside the block.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include <vexa/dib_surface.h>
#include <vexa/library.h>
#include <vexa/surface_object.h>

namespace {

// The most a well-formed bitmap of this header can span: header (as long as it says it is, the
// colour table and bits follow it), masks or the largest colour table, and its rows.
std::uint64_t Extent(const BITMAPINFOHEADER& h) {
  const std::int64_t height = h.biHeight < 0 ? -static_cast<std::int64_t>(h.biHeight) : h.biHeight;
  const std::int64_t stride =
      ((static_cast<std::int64_t>(h.biWidth) * h.biBitCount + 31) & ~31) / 8;
  if (h.biWidth < 0 || stride < 0) return UINT64_MAX;
  const std::uint64_t headerBytes = h.biSize > 40 ? h.biSize : 40;
  return headerBytes + 12 + 4 * 256 +
         static_cast<std::uint64_t>(stride) * static_cast<std::uint64_t>(height);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < sizeof(BITMAPINFOHEADER) || size > (1u << 20)) return 0;
  BITMAPINFOHEADER header;
  std::memcpy(&header, data, sizeof header);
  if (Extent(header) > size) return 0;
  // An exact-size heap copy, so that any read past the block is caught.
  std::vector<std::uint8_t> block(data, data + size);
  auto* surface = new (std::nothrow)
      cDIBSurface(reinterpret_cast<const BITMAPINFO*>(block.data()), nullptr, data[size - 1] & 1);
  if (!surface) return 0;
  if (surface->depth != 0) {
    COLORREF sum = 0;
    for (int y = 0; y < surface->height; ++y) {
      for (int x = 0; x < surface->width; ++x) {
        COLORREF c = 0;
        surface->GetPixelColor(x, y, &c);
        sum += c;
      }
    }
    cSurfaceObject* prototype = nullptr;
    GetPrototype(&prototype, 32, kTypeMemory, kDriverNone);
    cSurfaceObject target;
    if (target.Create(16, 16, prototype)) {
      surface->Blit(target.implementation, 0, 0, 0, 0, 16, 16, 1, 0, 0, 0);
    }
    if (sum == 0xFFFFFFFFu) std::abort();  // keeps the reads alive
  }
  surface->Delete();
  return 0;
}
