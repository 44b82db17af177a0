#include "bank/image_storage.h"

#include <cstring>

#include <vexa/compression.h>
#include <vexa/stream.h>

#include "bank/bank_list.h"
#include "bank/image_surface_factory.h"
#include "pixels/kernels/run_length_form.h"
#include "pixels/pixel_format.h"
#include "pixels/pixel_routine_tables.h"

namespace vexa {
namespace {

constexpr int kCompressionLevel = 1;  // the fast compressor
constexpr int kStreamStep = 512;

// A new image block of `dataSize` bytes carrying the headers of `header`.
ImageEntryHeader* CloneHeaders(const ImageEntryHeader& header, std::uint32_t dataSize,
                               bool zeroFill) {
  BankEntryHeader* block = AllocateEntry(sizeof(ImageEntryHeader), dataSize, zeroFill);
  if (!block) return nullptr;
  auto* copy = reinterpret_cast<ImageEntryHeader*>(block);
  std::memcpy(copy, &header, sizeof(ImageEntryHeader));
  copy->entry.headerSize = sizeof(ImageEntryHeader);
  copy->entry.dataSize = dataSize;
  copy->entry.refCount = 1;
  copy->entry.checksum = 0;
  return copy;
}

}  // namespace

ImageEntryHeader* MakePlainEntry(const ImageEntryHeader& header, const ImageLayout& layout,
                                 const std::uint8_t* plain) {
  const auto bytes = static_cast<std::uint32_t>(layout.Total());
  ImageEntryHeader* block = CloneHeaders(header, bytes, plain == nullptr);
  if (block && plain) std::memcpy(block->Data(), plain, bytes);
  return block;
}

ImageEntryHeader* MakeRunLengthEntry(const ImageEntryHeader& header, const ImageLayout& layout,
                                     const std::uint8_t* plain, PaletteObject* palette) {
  if (layout.alphaBytes) return nullptr;
  cImageSurface* surface = MakeEntryPixelSurface(layout, const_cast<std::uint8_t*>(plain), palette,
                                                 header.transparentColor);
  if (!surface) return nullptr;
  const PixelRoutineTable* routines = StandardPixelRoutines(surface->formatIndex);
  const std::uint32_t key = surface->transparentValue;
  std::uint8_t offsets[kRunLengthSizeBytes + kRunLengthRowEntryBytes] = {};
  const std::uint32_t size = routines && routines->measureRunLength && routines->encodeRunLength
                                 ? routines->measureRunLength(surface, offsets, plain, layout.width,
                                                              layout.height, surface->pitch, key)
                                 : 0;
  ImageEntryHeader* block = size ? CloneHeaders(header, size, false) : nullptr;
  const bool written =
      block && routines->encodeRunLength(surface, block->Data(), plain, layout.width, layout.height,
                                         surface->pitch, key) == size;
  surface->Delete();
  if (!written) {
    if (block) FreeEntry(&block->entry);
    return nullptr;
  }
  block->flags |= kImageRunLength;
  return block;
}

ImageEntryHeader* MakeCompressedEntry(const ImageEntryHeader& header, const ImageLayout& layout,
                                      const std::uint8_t* plain) {
  const auto plainBytes = static_cast<std::uint32_t>(layout.Total());
  const std::uint8_t sizeField[4] = {
      static_cast<std::uint8_t>(plainBytes), static_cast<std::uint8_t>(plainBytes >> 8),
      static_cast<std::uint8_t>(plainBytes >> 16), static_cast<std::uint8_t>(plainBytes >> 24)};
  COutputMemFile stream;
  if (stream.Create(kStreamStep) != kStreamOk) return nullptr;
  if (stream.Write(&header, sizeof(ImageEntryHeader)) != kStreamOk ||
      stream.Write(sizeField, sizeof(sizeField)) != kStreamOk ||
      CompressBlock(&stream, plain, static_cast<int>(plainBytes), kCompressionLevel) != kStreamOk) {
    return nullptr;
  }
  const int written = stream.GetSize();
  if (written < static_cast<int>(sizeof(ImageEntryHeader) + sizeof(sizeField))) return nullptr;
  const auto dataSize =
      static_cast<std::uint32_t>(written) - static_cast<std::uint32_t>(sizeof(ImageEntryHeader));
  ImageEntryHeader* block = CloneHeaders(header, dataSize, false);
  if (!block) return nullptr;
  std::memcpy(block->Data(), stream.GetBuffer() + sizeof(ImageEntryHeader), dataSize);
  block->flags |= kImageCompressed;
  return block;
}

}  // namespace vexa
