// One image stored in the image bank three ways — plain, LZ4-compressed and run-length
// encoded — drawn side by side through image surfaces. The three must be identical.
#include <cstring>
#include <string>
#include <vector>

#include <vexa/blit.h>
#include <vexa/image_bank.h>

#include "gallery.h"

namespace demo {
namespace {

constexpr int kBankFormat32 = 8;  // mode code of 32-bit pixels

// The sprite as a packed 32-bit bottom-up bitmap: header, then rows.
std::vector<std::uint8_t> PackedBitmap(cSurfaceObject& sprite) {
  const int w = sprite.GetWidth(), h = sprite.GetHeight();
  std::vector<std::uint8_t> block(sizeof(BITMAPINFOHEADER) + static_cast<size_t>(w) * h * 4);
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = w;
  header.biHeight = h;
  header.biPlanes = 1;
  header.biBitCount = 32;
  std::memcpy(block.data(), &header, sizeof header);
  std::uint8_t* bits = block.data() + sizeof header;
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = bits + static_cast<size_t>(h - 1 - y) * w * 4;
    for (int x = 0; x < w; ++x) {
      const COLORREF c = sprite.GetPixelFast(x, y);
      row[4 * x] = static_cast<std::uint8_t>(c >> 16);
      row[4 * x + 1] = static_cast<std::uint8_t>(c >> 8);
      row[4 * x + 2] = static_cast<std::uint8_t>(c);
      row[4 * x + 3] = 0;  // the colour key compares whole pixels, fourth byte included
    }
  }
  return block;
}

}  // namespace

void DrawBankSection(Gallery& gallery) {
  int y = gallery.NextRow();
  gallery.Label(8, y, "IMAGE BANK: ONE IMAGE STORED PLAIN, LZ4 AND RUN-LENGTH (MUST BE IDENTICAL)");
  y += 14;
  ImageBank* bank = CreateImageBank(0, nullptr);
  if (!bank) return;
  SetImageBankFormat(bank, kBankFormat32);
  auto sprite = MakeSprite(false);
  const std::vector<std::uint8_t> bitmap = PackedBitmap(*sprite);
  const ImagePlacement placement{16, 16, 16, 16};
  struct Form {
    const char* label;
    std::uint32_t flags;
  } forms[] = {{"PLAIN", 0}, {"LZ4", kAddCompress}, {"RUN-LENGTH", kAddRunLength}};
  cSurfaceObject& canvas = gallery.Canvas();
  std::vector<unsigned> sums;
  int x = 8;
  for (const Form& form : forms) {
    const int number = AddImageFromDIB(
        bank, &placement, reinterpret_cast<const BITMAPINFO*>(bitmap.data()), 0, form.flags);
    cSurfaceObject image;
    gallery.Label(x, y, form.label);
    auto background = MakeBackground(32, 64, 64);
    background->Blit(&canvas, x, y + 12, 0, 0, 64, 64, kModeOpaque, 0, 0, 0);
    if (number && GetImageSurface(bank, number, &image, kImageSurfaceInPlace)) {
      image.StretchBlit(&canvas, x, y + 12, 64, 64, kModeTransparent, 0, 0, 0);
    }
    const std::string name = std::string("bank-") + form.label;
    gallery.AddTile(name, x, y + 12, 64, 64);
    sums.push_back(gallery.TileChecksum(gallery.Tiles().back()));
    x += 100;
  }
  const bool identical = sums[0] == sums[1] && sums[1] == sums[2];
  gallery.Label(x, y + 40, identical ? "IDENTICAL" : "DIFFERENT",
                identical ? 0x0060FF60 : 0x006060FF);
  DestroyImageBank(bank);
  gallery.Advance(y + 12 + 64 + 16 - gallery.NextRow());
}

}  // namespace demo
