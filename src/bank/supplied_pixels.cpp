#include "bank/supplied_pixels.h"

#include <cstring>

#include <vexa/image_bank.h>

#include "bank/image_decompress.h"
#include "bank/packet_decode.h"

namespace vexa {
namespace {

// The image flags that the compressed-data flags of AddImage stand for.
std::uint32_t RuleFlags(std::uint32_t addFlags) {
  return ((addFlags & kAddSwapRedBlue) ? kImageSwapRedBlue : 0) |
         ((addFlags & kAddAlphaInPixels) ? kImageAlphaInPixels : 0);
}

bool FromCompressedForm(SuppliedBytes& input, std::uint32_t flags, const ImageLayout& layout,
                        COLORREF transparentColor, OwnedBlock& scratch, SuppliedPixels* out) {
  const std::uint8_t* bytes = nullptr;
  std::uint32_t count = 0;
  if (!ReadCompressedForm(input, &bytes, &count)) return false;
  if (!CompressedSizePlausible(count, layout)) return false;
  if (!scratch.Allocate(static_cast<std::size_t>(layout.Total()), false)) return false;
  if (!DecompressImageData(bytes, count, layout, RuleFlags(flags), transparentColor,
                           scratch.get())) {
    return false;
  }
  out->pixels = scratch.get();
  out->alpha = layout.alphaBytes ? scratch.get() + layout.pixelBytes : nullptr;
  return true;
}

bool FromPackets(SuppliedBytes& input, int pixelBytes, const ImageLayout& layout,
                 OwnedBlock& scratch, SuppliedPixels* out) {
  if (!scratch.Allocate(static_cast<std::size_t>(layout.Total()), true)) return false;
  if (!DecodePackets(input, pixelBytes, layout, scratch.get())) return false;
  out->pixels = scratch.get();
  if (!layout.alphaBytes) return true;
  const std::uint8_t* alpha = nullptr;
  if (!input.Take(static_cast<std::size_t>(layout.alphaBytes), &alpha)) return false;
  std::memcpy(scratch.get() + layout.pixelBytes, alpha,
              static_cast<std::size_t>(layout.alphaBytes));
  out->alpha = scratch.get() + layout.pixelBytes;
  return true;
}

bool FromPlainData(SuppliedBytes& input, const ImageLayout& layout, SuppliedPixels* out) {
  if (!input.Take(static_cast<std::size_t>(layout.pixelBytes), &out->pixels)) return false;
  return !layout.alphaBytes || input.Take(static_cast<std::size_t>(layout.alphaBytes), &out->alpha);
}

// Widens 4-bit pixels (high nibble first) to 8-bit indexes in rows of the 8-bit layout.
bool WidenFourBit(const SuppliedPixels& narrow, OwnedBlock& scratch, SuppliedPixels* out) {
  ImageLayout wide;
  if (!ComputeImageLayout(kMode8, narrow.layout.width, narrow.layout.height,
                          narrow.layout.alphaBytes > 0, &wide)) {
    return false;
  }
  OwnedBlock block;
  if (!block.Allocate(static_cast<std::size_t>(wide.Total()), true)) return false;
  for (int y = 0; y < wide.height; ++y) {
    const std::uint8_t* in = narrow.pixels + narrow.layout.rowBytes * y;
    std::uint8_t* row = block.get() + wide.rowBytes * y;
    for (int x = 0; x < wide.width; ++x) {
      const std::uint8_t pair = in[x >> 1];
      row[x] = (x & 1) ? (pair & 0x0F) : (pair >> 4);
    }
  }
  if (narrow.alpha) {
    std::memcpy(block.get() + wide.pixelBytes, narrow.alpha,
                static_cast<std::size_t>(wide.alphaBytes));
  }
  out->layout = wide;
  out->pixels = block.get();
  out->alpha = narrow.alpha ? block.get() + wide.pixelBytes : nullptr;
  // The narrow pixels may live in `scratch`: replace it only now.
  scratch.Adopt(block);
  return true;
}

}  // namespace

int PacketPixelBytes(std::uint32_t flags) {
  const std::uint32_t forms = flags & (kAddPackets8 | kAddPackets16 | kAddPackets24);
  switch (forms) {
    case 0:
      return 0;
    case kAddPackets8:
      return 1;
    case kAddPackets16:
      return 2;
    case kAddPackets24:
      return 3;
    default:
      return -1;
  }
}

bool ReadCompressedForm(SuppliedBytes& input, const std::uint8_t** bytes, std::uint32_t* count) {
  return input.ReadU32(count) && input.Take(*count, bytes);
}

bool ReadSuppliedPixels(SuppliedBytes& input, std::uint32_t flags, int mode, int width, int height,
                        COLORREF transparentColor, OwnedBlock& scratch, SuppliedPixels* out) {
  const int packetBytes = PacketPixelBytes(flags);
  if (packetBytes < 0) return false;
  if (packetBytes && (flags & kAddCompressedForm)) return false;
  SuppliedPixels read;
  if (!ComputeImageLayout(mode, width, height, flags & kAddAlphaPlane, &read.layout)) return false;
  bool ok = false;
  if (flags & kAddCompressedForm) {
    ok = FromCompressedForm(input, flags, read.layout, transparentColor, scratch, &read);
  } else if (packetBytes) {
    ok = FromPackets(input, packetBytes, read.layout, scratch, &read);
  } else {
    ok = FromPlainData(input, read.layout, &read);
  }
  if (!ok) return false;
  if (IsFourBitMode(mode)) return WidenFourBit(read, scratch, out);
  *out = read;
  return true;
}

}  // namespace vexa
