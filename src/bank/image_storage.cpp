#include "bank/image_storage.h"

#include <cstring>

#include <vexa/compression.h>
#include <vexa/stream.h>

#include "bank/bank_internal.h"
#include "bank/bank_list.h"
#include "bank/image_surface_factory.h"
#include "render/kernels/run_length_form.h"
#include "surface/pixel_routine_tables.h"
#include "surface/pixel_format.h"

namespace vexa {
namespace {

constexpr int kCompressionLevel = 1;  // the fast compressor
constexpr int kStreamStep = 512;

// A new image block of `dataSize` bytes carrying the headers of `image`.
ImageEntryHeader* CloneHeaders(const ImageEntryHeader& image, std::uint32_t dataSize) {
  BankEntryHeader* block = AllocateEntry(sizeof(ImageEntryHeader), dataSize, false);
  if (!block) return nullptr;
  auto* copy = reinterpret_cast<ImageEntryHeader*>(block);
  std::memcpy(copy, &image, sizeof(ImageEntryHeader));
  copy->entry.dataSize = dataSize;
  copy->entry.refCount = 1;
  return copy;
}

bool Replace(ImageBank& bank, int number, ImageEntryHeader* block) {
  if (SetEntryAt(bank, kListImages, number, &block->entry)) return true;
  FreeEntry(&block->entry);
  return false;
}

bool IsPlain(const ImageEntryHeader& image) {
  return !(image.flags & (kImageCompressed | kImageRunLength));
}

}  // namespace

bool StoreRunLength(ImageBank& bank, int number) {
  const ImageEntryHeader* image = FindImage(&bank, number);
  ImageLayout layout;
  if (!image || !IsPlain(*image) || !EntryLayout(*image, &layout) || layout.alphaBytes) {
    return false;
  }
  cImageSurface* surface = MakeEntryPixelSurface(
      layout, const_cast<std::uint8_t*>(image->Data()), bank.palette, image->transparentColor);
  if (!surface) return false;
  const PixelRoutineTable* routines = StandardPixelRoutines(surface->formatIndex);
  std::uint8_t offsets[kRunLengthSizeBytes + kRunLengthRowEntryBytes] = {};
  const std::uint32_t size =
      routines && routines->measureRunLength
          ? routines->measureRunLength(surface, offsets, surface->firstRow, surface->width,
                                       surface->height, surface->pitch, surface->transparentValue)
          : 0;
  ImageEntryHeader* encoded = size ? CloneHeaders(*image, size) : nullptr;
  bool written = false;
  if (encoded) {
    written = routines->encodeRunLength(surface, encoded->Data(), surface->firstRow,
                                        surface->width, surface->height, surface->pitch,
                                        surface->transparentValue) == size;
  }
  surface->Delete();
  if (!written) {
    if (encoded) FreeEntry(&encoded->entry);
    return false;
  }
  encoded->flags |= kImageRunLength;
  return Replace(bank, number, encoded);
}

bool StoreCompressed(ImageBank& bank, int number) {
  const ImageEntryHeader* image = FindImage(&bank, number);
  ImageLayout layout;
  if (!image || !IsPlain(*image) || !EntryLayout(*image, &layout)) return false;
  const auto plainBytes = static_cast<std::uint32_t>(layout.Total());
  const std::uint8_t sizeField[4] = {
      static_cast<std::uint8_t>(plainBytes), static_cast<std::uint8_t>(plainBytes >> 8),
      static_cast<std::uint8_t>(plainBytes >> 16), static_cast<std::uint8_t>(plainBytes >> 24)};
  COutputMemFile stream;
  if (stream.Create(kStreamStep) != kStreamOk) return false;
  if (stream.Write(image, sizeof(ImageEntryHeader)) != kStreamOk ||
      stream.Write(sizeField, sizeof(sizeField)) != kStreamOk ||
      CompressBlock(&stream, image->Data(), static_cast<int>(plainBytes), kCompressionLevel) !=
          kStreamOk) {
    return false;
  }
  const int written = stream.GetSize();
  if (written < static_cast<int>(sizeof(ImageEntryHeader) + sizeof(sizeField))) return false;
  const auto dataSize = static_cast<std::uint32_t>(written - static_cast<int>(sizeof(ImageEntryHeader)));
  ImageEntryHeader* compressed = CloneHeaders(*image, dataSize);
  if (!compressed) return false;
  std::memcpy(compressed->Data(), stream.GetBuffer() + sizeof(ImageEntryHeader), dataSize);
  compressed->flags |= kImageCompressed;
  return Replace(bank, number, compressed);
}

}  // namespace vexa
