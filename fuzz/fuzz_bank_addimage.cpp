// AddImage over arbitrary bytes with every supplied form: plain, packet-encoded, the compressed
// stored form, 4-bit pixels, alpha planes, RGBA rules, and run-length or LZ4 storage. The data
// is always sized (flag 0x4000), so every read must stay inside it. An image that is accepted
// is then opened (in place and as a plain copy), drawn and released.
//
// Input: [mode][width-1][height-1][flags 0-7][flags 8-15][flags 16][key b][key g][key r] data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <vexa/blit.h>
#include <vexa/image_bank.h>
#include <vexa/library.h>
#include <vexa/surface_object.h>

namespace {

constexpr int kModes[] = {3, 4, 6, 7, 8};
constexpr std::size_t kHeader = 9;

void Draw(ImageBank* bank, int number, int mode) {
  cSurfaceObject image;
  if (!GetImageSurface(bank, number, &image, mode)) return;
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, image.GetDepth(), kTypeMemory, kDriverNone);
  cSurfaceObject target;
  if (!target.Create(70, 70, prototype)) return;
  image.Blit(&target, 3, 3, kModeTransparent, 0, 0, 0);
  image.Blit(&target, -2, 5, kModeOpaque, kEffectSemiTransparent, 40, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeader) return 0;
  ImageBank* bank = CreateImageBank(0, nullptr);
  if (!bank) std::abort();
  SetImageBankFormat(bank, kModes[data[0] % 5]);
  const int width = (data[1] & 63) + 1;
  const int height = (data[2] & 63) + 1;
  const std::uint32_t flags =
      ((data[3] | data[4] << 8 | data[5] << 16) & ~kAddSizedData & 0x1FFFF) | kAddSizedData;
  const COLORREF key = data[6] << 16 | data[7] << 8 | data[8];
  // The supplied block: its byte count, then the rest of the input.
  const auto count = static_cast<std::uint32_t>(size - kHeader);
  std::vector<std::uint8_t> supplied(4 + count);
  std::memcpy(supplied.data(), &count, 4);
  if (count) std::memcpy(supplied.data() + 4, data + kHeader, count);
  const int number =
      AddImage(bank, width, height, 0, 0, 0, 0, key, flags, supplied.data(), nullptr);
  if (number) {
    ImageInfo info{};
    if (!GetImageInfo(bank, number, &info) || info.width != width || info.height != height)
      std::abort();
    Draw(bank, number, kImageSurfaceInPlace);
    Draw(bank, number, kImageSurfacePlain);
    if (DeleteImage(bank, number) < 0) std::abort();
  }
  DestroyImageBank(bank);
  return 0;
}
