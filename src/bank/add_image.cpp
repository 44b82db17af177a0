// AddImage: reads the supplied pixels in whatever form the flags give, makes the image entry
// in the bank's format (converting when the supplied format or palette differs), stores it
// plain, run-length encoded or compressed, and de-duplicates it.
#include <vexa/image_bank.h>

#include <cstring>
#include <new>

#include <vexa/blit.h>
#include <vexa/image_surface.h>
#include <vexa/palette.h>

#include "bank/bank_checksum.h"
#include "bank/bank_internal.h"
#include "bank/bank_list.h"
#include "bank/image_decompress.h"
#include "bank/image_storage.h"
#include "bank/image_surface_factory.h"
#include "bank/supplied_pixels.h"
#include "pixels/pixel_format.h"

namespace vexa {
namespace {

struct AddRequest {
  int width;
  int height;
  int hotSpotX, hotSpotY, actionPointX, actionPointY;
  COLORREF transparentColor;
  std::uint32_t flags;
  const std::uint8_t* data;
  PaletteObject* palette;  // of the supplied pixels; null: the bank's
};

// A palette object for the caller's record, released at the end of the add.
class SuppliedPalette {
 public:
  explicit SuppliedPalette(const LOGPALETTE* record)
      : palette_(record ? CreatePaletteObject(record) : nullptr), failed_(record && !palette_) {}
  ~SuppliedPalette() {
    if (palette_) ReleasePalette(palette_);
  }
  SuppliedPalette(const SuppliedPalette&) = delete;
  SuppliedPalette& operator=(const SuppliedPalette&) = delete;
  PaletteObject* get() const { return palette_; }
  bool failed() const { return failed_; }

 private:
  PaletteObject* palette_;
  bool failed_;
};

// An image block not yet in a list, freed unless handed over.
class ImageBlock {
 public:
  ImageBlock() = default;
  explicit ImageBlock(ImageEntryHeader* block) : block_(block) {}
  ~ImageBlock() { Reset(nullptr); }
  ImageBlock(const ImageBlock&) = delete;
  ImageBlock& operator=(const ImageBlock&) = delete;
  void Reset(ImageEntryHeader* block) {
    if (block_) FreeEntry(&block_->entry);
    block_ = block;
  }
  ImageEntryHeader* get() const { return block_; }
  ImageEntryHeader* release() {
    ImageEntryHeader* b = block_;
    block_ = nullptr;
    return b;
  }

 private:
  ImageEntryHeader* block_ = nullptr;
};

COLORREF BankTransparentColor(const ImageBank& bank, COLORREF color) {
  switch (BankMode(bank)) {
    case kMode8: {
      if (!bank.palette || color == 0) return color;
      const PALETTEENTRY& e = bank.palette->entries[GetNearestIndex(bank.palette, color) & 0xFF];
      return e.peRed | (e.peGreen << 8) | (e.peBlue << 16);
    }
    case kMode15:
      return color & 0xF8F8F8;
    case kMode16:
      return color & 0xF8FCF8;
    default:
      return color;
  }
}

void FillHeader(ImageEntryHeader& image, const AddRequest& r, int mode, std::uint32_t flags) {
  image.entry = BankEntryHeader{sizeof(ImageEntryHeader), 0, 1, 0};
  image.width = r.width;
  image.height = r.height;
  image.format = static_cast<std::uint32_t>(mode);
  image.flags = flags;
  image.hotSpotX = static_cast<std::int16_t>(r.hotSpotX);
  image.hotSpotY = static_cast<std::int16_t>(r.hotSpotY);
  image.actionPointX = static_cast<std::int16_t>(r.actionPointX);
  image.actionPointY = static_cast<std::int16_t>(r.actionPointY);
  image.transparentColor = r.transparentColor;
  image.reserved = 0;
}

// Bytes whose first 32-bit field is the size that leads sized data.
SuppliedBytes OpenData(const std::uint8_t* data, std::uint32_t flags, bool* ok) {
  *ok = true;
  if (!(flags & kAddSizedData)) return SuppliedBytes(data, SuppliedBytes::kUnbounded);
  SuppliedBytes sizeField(data, 4);
  std::uint32_t size = 0;
  *ok = sizeField.ReadU32(&size);
  return SuppliedBytes(data + 4, size);
}

// A surface over the supplied rows, in their format; at 8 bits its palette is the supplied one
// or the bank's.
cSaveBufferSurface* SourceSurface(const SuppliedPixels& in, PaletteObject* palette) {
  auto* source = new (std::nothrow) cSaveBufferSurface();
  if (!source) return nullptr;
  const int depth = DepthOfMode(in.layout.mode);
  source->SetPixelFormat(depth);
  if (depth == 8) source->palette = AddPaletteRef(palette);
  source->AttachStorage(const_cast<std::uint8_t*>(in.pixels), in.layout.width, in.layout.height,
                        static_cast<int>(in.layout.rowBytes));
  return source;
}

// 8-bit pixels of another palette: copied with each index moved to the bank palette's
// nearest, index 0 (transparent) kept.
void RemapIndexes(std::uint8_t* pixels, std::int64_t bytes, const PaletteObject* bankPalette,
                  const PaletteObject* supplied) {
  std::uint8_t table[256];
  if (!BuildRemapTable(table, bankPalette, supplied, 1)) return;
  for (std::int64_t i = 0; i < bytes; ++i) pixels[i] = table[pixels[i]];
}

bool WritePixels(const ImageBank& bank, const SuppliedPixels& in, PaletteObject* palette,
                 const ImageLayout& layout, COLORREF transparentColor, std::uint8_t* data) {
  const bool sameMode = in.layout.mode == layout.mode;
  if (sameMode) {
    std::memcpy(data, in.pixels, static_cast<std::size_t>(layout.pixelBytes));
    if (layout.mode == kMode8 && palette && bank.palette) {
      RemapIndexes(data, layout.pixelBytes, bank.palette, palette);
    }
  } else {
    cSaveBufferSurface* source = SourceSurface(in, palette ? palette : bank.palette);
    cImageSurface* target = MakeEntryPixelSurface(layout, data, bank.palette, transparentColor);
    const int drawn = source && target ? source->Blit(target, 0, 0, 0, 0, layout.width,
                                                      layout.height, kModeOpaque, 0, 0, 0)
                                       : 0;
    DeleteImplementation(source);
    DeleteImplementation(target);
    if (!drawn) return false;
  }
  if (layout.alphaBytes) {
    std::memcpy(data + layout.pixelBytes, in.alpha, static_cast<std::size_t>(layout.alphaBytes));
  }
  return true;
}

// Puts a finished image block into the list: checksum (when pixels were supplied), number,
// de-duplication.
int Commit(ImageBank& bank, const AddRequest& r, ImageBlock& block, bool supplied) {
  ImageEntryHeader* image = block.get();
  if (supplied) image->entry.checksum = EntryChecksum(image->entry);
  const int number =
      InsertEntry(bank, kListImages, &image->entry, (r.flags & kAddAppend) ? kAddEntryAppend : 0);
  if (!number) return 0;
  block.release();
  return (r.flags & kAddDeduplicate) ? MergeDuplicate(bank, kListImages, number) : number;
}

// The compressed stored form kept as it is: the entry's data is its bytes.
int AddStoredCompressed(ImageBank& bank, const AddRequest& r, SuppliedBytes& input) {
  const int mode = BankMode(bank);
  const std::uint32_t imageFlags = kImageCompressed |
                                   ((r.flags & kAddAlphaPlane) ? kImageAlphaPlane : 0) |
                                   ((r.flags & kAddSwapRedBlue) ? kImageSwapRedBlue : 0) |
                                   ((r.flags & kAddAlphaInPixels) ? kImageAlphaInPixels : 0);
  const std::uint8_t* bytes = nullptr;
  std::uint32_t count = 0;
  ImageLayout layout;
  if (!ReadCompressedForm(input, &bytes, &count) || count < 4 ||
      !ComputeImageLayout(mode, r.width, r.height, imageFlags & kImageAlphaPlane, &layout) ||
      !PixelRulesFit(mode, imageFlags)) {
    return 0;
  }
  // The stated size must be one the image allows; the LZ4 block itself is checked when the
  // image is decompressed.
  const std::int64_t stated = static_cast<std::int64_t>(bytes[0]) | bytes[1] << 8 | bytes[2] << 16 |
                              static_cast<std::int64_t>(bytes[3]) << 24;
  const bool pixelsOnly =
      layout.alphaBytes && (imageFlags & (kImageSwapRedBlue | kImageAlphaInPixels));
  if (stated != layout.Total() && !(pixelsOnly && stated == layout.pixelBytes)) return 0;
  ImageBlock block(
      reinterpret_cast<ImageEntryHeader*>(AllocateEntry(sizeof(ImageEntryHeader), count, false)));
  if (!block.get()) return 0;
  FillHeader(*block.get(), r, mode, imageFlags);
  block.get()->entry.dataSize = count;
  std::memcpy(block.get()->Data(), bytes, count);
  return Commit(bank, r, block, true);
}

// The supplied pixels can be stored without conversion: same format, and at 8 bits no palette
// of their own. Their alpha plane (when there is one) follows them directly.
bool UsableAsIs(const ImageBank& bank, const SuppliedPixels& in, const AddRequest& r,
                const ImageLayout& layout) {
  if (in.layout.mode != layout.mode || in.layout.rowBytes != layout.rowBytes) return false;
  if (layout.mode == kMode8 && r.palette && bank.palette) return false;
  return !layout.alphaBytes || in.alpha == in.pixels + layout.pixelBytes;
}

int AddPixels(ImageBank& bank, const AddRequest& r, SuppliedBytes* input) {
  const int bankMode = BankMode(bank);
  const int suppliedMode =
      (r.flags & kAddFormatMask) ? static_cast<int>(r.flags & kAddFormatMask) : bankMode;
  if (!IsStoredMode(suppliedMode) && !IsFourBitMode(suppliedMode)) return 0;
  SuppliedPixels in;
  OwnedBlock scratch;
  if (input && !ReadSuppliedPixels(*input, r.flags, suppliedMode, r.width, r.height,
                                   r.transparentColor, scratch, &in)) {
    return 0;
  }
  const bool alpha = r.flags & kAddAlphaPlane;
  ImageLayout layout;
  if (!ComputeImageLayout(bankMode, r.width, r.height, alpha, &layout)) return 0;
  ImageEntryHeader header{};
  FillHeader(header, r, bankMode, alpha ? kImageAlphaPlane : 0);
  // No pixels: a blank image, stored plain.
  if (!input) {
    ImageBlock blank(MakePlainEntry(header, layout, nullptr));
    return blank.get() ? Commit(bank, r, blank, false) : 0;
  }
  // The plain pixels in the bank's format: the supplied ones, or converted into a plain block.
  ImageBlock plainBlock;
  const std::uint8_t* plain = in.pixels;
  if (!UsableAsIs(bank, in, r, layout)) {
    plainBlock.Reset(MakePlainEntry(header, layout, nullptr));
    if (!plainBlock.get() ||
        !WritePixels(bank, in, r.palette, layout, r.transparentColor, plainBlock.get()->Data())) {
      return 0;
    }
    plain = plainBlock.get()->Data();
  }
  ImageBlock stored;
  if ((r.flags & kAddRunLength) && !alpha && !(r.flags & kAddCompress)) {
    stored.Reset(MakeRunLengthEntry(header, layout, plain, bank.palette));
  } else if (r.flags & kAddCompress) {
    stored.Reset(MakeCompressedEntry(header, layout, plain));
  }
  // A form that cannot be made leaves the image plain rather than losing it.
  if (!stored.get())
    stored.Reset(plainBlock.get() ? plainBlock.release() : MakePlainEntry(header, layout, plain));
  if (!stored.get()) return 0;
  return Commit(bank, r, stored, true);
}

int AddImageEntry(ImageBank& bank, AddRequest r) {
  r.transparentColor = BankTransparentColor(bank, r.transparentColor);
  if (!r.data) return AddPixels(bank, r, nullptr);
  bool sized = false;
  SuppliedBytes input = OpenData(r.data, r.flags, &sized);
  if (!sized) return 0;
  const int suppliedMode = static_cast<int>(r.flags & kAddFormatMask);
  const bool keepCompressed = (r.flags & kAddCompressedForm) && (r.flags & kAddCompress) &&
                              (suppliedMode == 0 || suppliedMode == BankMode(bank)) && !r.palette;
  if (keepCompressed) return AddStoredCompressed(bank, r, input);
  return AddPixels(bank, r, &input);
}

}  // namespace
}  // namespace vexa

int AddImage(ImageBank* bank, int width, int height, int hotSpotX, int hotSpotY, int actionPointX,
             int actionPointY, COLORREF transparentColor, std::uint32_t flags, const void* data,
             const LOGPALETTE* palette) {
  using namespace vexa;
  // Sizes are 16-bit quantities of the image header's users: anything outside 1..65535 is
  // refused rather than cut to its low 16 bits, which would store a different image.
  if (!bank || width < 1 || width > 0xFFFF || height < 1 || height > 0xFFFF) return 0;
  const SuppliedPalette supplied(palette);
  if (supplied.failed()) return 0;
  return AddImageEntry(*bank, AddRequest{width, height, hotSpotX, hotSpotY, actionPointX,
                                         actionPointY, transparentColor, flags,
                                         static_cast<const std::uint8_t*>(data), supplied.get()});
}
