// A run-length image entry built from arbitrary bytes, as a game's bank data could hold it: the
// bank must refuse a block whose offsets or sizes point outside it, and draw (and build masks
// from) any block it accepts without reading outside the entry.
//
// Input: [mode][width-1][height-1][key b][key g][key r] then the run-length block.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <vexa/blit.h>
#include <vexa/collision_mask.h>
#include <vexa/image_bank.h>
#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "bank/bank_list.h"

namespace {

constexpr int kModes[] = {3, 4, 6, 7, 8};
constexpr std::size_t kHeader = 6;

void DrawAndMask(ImageBank* bank, int number, int mode) {
  cSurfaceObject image;
  if (!GetImageSurface(bank, number, &image, mode)) return;
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, image.GetDepth(), kTypeMemory, kDriverNone);
  cSurfaceObject target;
  if (!target.Create(80, 40, prototype)) return;
  image.Blit(&target, 0, 0, kModeTransparent, 0, 0, 0);
  image.Blit(&target, -7, 3, 1, 4, 10, 5, kModeOpaque, 0, 0, 0);
  image.Blit(&target, 5, -1, kModeTransparent, kEffectAdd, 0, 0);
  image.Blit(&target, 2, 2, kModeOpaque, kEffectSemiTransparent, 64, 0);
  const int size = image.implementation->BuildMask(nullptr, 0);
  if (size <= 0) return;
  std::vector<std::uint8_t> mask(static_cast<std::size_t>(size));
  image.implementation->BuildMask(reinterpret_cast<CollisionMask*>(mask.data()), kMaskTopEdge);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeader) return 0;
  ImageBank* bank = CreateImageBank(0, nullptr);
  if (!bank) std::abort();
  const int mode = kModes[data[0] % 5];
  SetImageBankFormat(bank, mode);
  const auto dataSize = static_cast<std::uint32_t>(size - kHeader);
  BankEntryHeader* entry = vexa::AllocateEntry(sizeof(ImageEntryHeader), dataSize, true);
  if (!entry) std::abort();
  auto* image = reinterpret_cast<ImageEntryHeader*>(entry);
  image->width = (data[1] & 63) + 1;
  image->height = (data[2] & 63) + 1;
  image->format = static_cast<std::uint32_t>(mode);
  image->flags = kImageRunLength;
  image->transparentColor = data[3] << 16 | data[4] << 8 | data[5];
  if (dataSize) std::memcpy(image->Data(), data + kHeader, dataSize);
  if (!vexa::SetEntryAt(*bank, kListImages, 1, entry)) std::abort();
  DrawAndMask(bank, 1, kImageSurfaceInPlace);
  DrawAndMask(bank, 1, kImageSurfacePlain);
  DestroyImageBank(bank);
  return 0;
}
