// Run-length blocks from untrusted bytes, as the image bank receives them: the checks, then
// the run-length tables' four blits over the block, whole and clipped. Bytes 0-3 choose the
// image (width, height, format) and the blit (alpha plane, effect); the rest is the block.
// Blocks whose size field claims more than the bytes given are refused, as the bank must;
// every other block, valid or not, is drawn, and nothing may be read outside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <vexa/palette.h>

#include "pixels/kernels/run_length_form.h"
#include "pixels/pixel_format.h"

namespace {

struct Image {
  std::vector<std::uint8_t> pixels;
  std::vector<std::uint8_t> alpha;
  PixelDescriptor d;
  Image(int width, int height, int format) {
    d.width = d.clipRight = width;
    d.height = d.clipBottom = height;
    d.depth = vexa::kFormatDepth[format];
    d.formatIndex = format;
    d.bytesPerPixel = vexa::BytesPerPixel(d.depth);
    d.stride = d.pitch = static_cast<int>(vexa::StrideOf(width, d.depth));
    pixels.assign(static_cast<std::size_t>(d.stride) * height, 0x5A);
    d.storage = d.firstRow = pixels.data();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const int width = 1 + data[0] % 64;
  const int height = 1 + data[1] % 16;
  const int format = data[2] % vexa::kFormatCount;
  const bool withAlpha = data[3] & 1;
  const std::uint32_t effect = (data[3] >> 1) % 13;
  // The block in a buffer of exactly its size, so that any read past it is caught.
  std::vector<std::uint8_t> block(data + 4, data + size);
  const bool fits = vexa::RunLengthSizeFits(block.data(), block.size());
  const bool valid = vexa::RunLengthBlockValid(block.data(), block.size(), width, height,
                                               vexa::BytesPerPixel(vexa::kFormatDepth[format]));
  if (valid && !fits) std::abort();
  if (!fits) return 0;

  Image source(width, height, format);
  source.d.storage = source.d.firstRow = block.data();
  source.d.transparentValue = 0;
  if (withAlpha) {
    source.alpha.assign(static_cast<std::size_t>((width + 3) & ~3) * height, 0x80);
    source.d.alphaFirstRow = source.d.alphaStorage = source.alpha.data();
    source.d.alphaStride = source.d.alphaPitch = (width + 3) & ~3;
  }
  const PixelRoutineTable* table = vexa::RunLengthPixelRoutines(format);
  Image target(width + 8, height + 8, format);
  static PaletteObject palette{};
  palette.entryCount = 256;
  target.d.palette = source.d.palette = &palette;
  const std::uintptr_t parameter = 0x40102030;
  table->copyTransparent(&target.d, 4, 4, &source.d, 0, 0, width, height);
  table->copyTransparentEffect(&target.d, 4, 4, &source.d, 0, 0, width, height, effect, parameter);
  table->copyOpaque(&target.d, 4, 4, &source.d, 0, 0, width, height);
  table->copyOpaqueEffect(&target.d, 4, 4, &source.d, 0, 0, width, height, effect, parameter);
  // A clipped rectangle: columns and rows from the middle.
  const int sx = width / 3, sy = height / 3;
  table->copyTransparent(&target.d, 0, 0, &source.d, sx, sy, width - sx, height - sy);
  table->copyOpaqueEffect(&target.d, 0, 0, &source.d, sx, sy, width - sx, height - sy, effect,
                          parameter);
  return 0;
}
