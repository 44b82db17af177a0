#include "bank/image_surface_factory.h"

#include <new>

#include <vexa/blit.h>
#include <vexa/memory.h>
#include <vexa/palette.h>

#include "bank/checked_run_length.h"
#include "bank/image_decompress.h"
#include "bank/supplied_bytes.h"
#include "pixels/kernels/run_length_form.h"
#include "pixels/pixel_format.h"
#include "pixels/pixel_routine_tables.h"

namespace vexa {
namespace {

constexpr std::uint32_t kKnownFlags =
    kImageCompressed | kImageAlphaPlane | kImageSwapRedBlue | kImageRunLength | kImageAlphaInPixels;

// Formats the surface for the layout's mode and points it at plain rows (or a run-length
// block); the palette comes first so that the colour key can be looked up in it.
void Describe(cImageSurface& surface, const ImageLayout& layout, std::uint8_t* pixels,
              PaletteObject* palette, COLORREF transparentColor) {
  surface.SetPixelFormat(DepthOfMode(layout.mode));
  if (surface.depth == 8) surface.palette = AddPaletteRef(palette);
  surface.width = layout.width;
  surface.height = layout.height;
  surface.clipRight = layout.width;
  surface.clipBottom = layout.height;
  surface.stride = surface.pitch = static_cast<std::int32_t>(layout.rowBytes);
  surface.storage = surface.firstRow = pixels;
  surface.SetTransparentColor(transparentColor);
  if (layout.alphaBytes) {
    surface.AttachAlpha(pixels + layout.pixelBytes, static_cast<int>(layout.alphaRowBytes));
  }
}

bool HeaderFits(const ImageEntryHeader& image) {
  if (image.entry.headerSize != sizeof(ImageEntryHeader)) return false;
  if (image.flags & ~kKnownFlags) return false;
  const std::uint32_t form = image.flags & (kImageCompressed | kImageRunLength);
  if (form == (kImageCompressed | kImageRunLength)) return false;
  // Run-length images have no alpha plane, and the RGBA rules belong to compressed data.
  if ((image.flags & kImageRunLength) && (image.flags & kImageAlphaPlane)) return false;
  if (!(image.flags & kImageCompressed) &&
      (image.flags & (kImageSwapRedBlue | kImageAlphaInPixels))) {
    return false;
  }
  return true;
}

cImageSurface* NewSurface() { return new (std::nothrow) cImageSurface(); }

}  // namespace

bool EntryLayout(const ImageEntryHeader& image, ImageLayout* layout) {
  if (!HeaderFits(image)) return false;
  return ComputeImageLayout(static_cast<int>(image.format), image.width, image.height,
                            image.flags & kImageAlphaPlane, layout) &&
         PixelRulesFit(layout->mode, image.flags);
}

cImageSurface* MakeEntryPixelSurface(const ImageLayout& layout, std::uint8_t* pixels,
                                     PaletteObject* palette, COLORREF transparentColor) {
  cImageSurface* surface = NewSurface();
  if (surface) Describe(*surface, layout, pixels, palette, transparentColor);
  return surface;
}

cImageSurface* MakeImageSurface(const ImageBank& bank, const ImageEntryHeader& image) {
  ImageLayout layout;
  if (!EntryLayout(image, &layout)) return nullptr;
  const std::uint8_t* data = image.Data();
  const std::size_t dataSize = image.entry.dataSize;
  if (image.flags & kImageRunLength) {
    // The drawing routines need only the size field to fit. The row table is checked on every
    // draw and the whole block once (checked_run_length.h), so that damaged entries are refused.
    if (!RunLengthRowTableFits(data, dataSize, layout.height)) return nullptr;
    if (!RunLengthEntryChecked(image)) {
      if (!RunLengthBlockValid(data, dataSize, layout.width, layout.height,
                               ModeBytesPerPixel(layout.mode))) {
        return nullptr;
      }
      RememberRunLengthEntry(image);
    }
    cImageSurface* surface = MakeEntryPixelSurface(layout, const_cast<std::uint8_t*>(data),
                                                   bank.palette, image.transparentColor);
    if (surface) surface->pixelRoutines = RunLengthPixelRoutines(surface->formatIndex);
    return surface;
  }
  if (image.flags & kImageCompressed) {
    if (!CompressedSizePlausible(dataSize, layout)) return nullptr;
    OwnedBlock block;
    if (!block.Allocate(static_cast<std::size_t>(layout.Total()), false)) return nullptr;
    if (!DecompressImageData(data, dataSize, layout, image.flags, image.transparentColor,
                             block.get())) {
      return nullptr;
    }
    cImageSurface* surface =
        MakeEntryPixelSurface(layout, block.get(), bank.palette, image.transparentColor);
    if (!surface) return nullptr;
    surface->ownsBlock = 1;
    block.release();
    return surface;
  }
  if (dataSize < static_cast<std::uint64_t>(layout.Total())) return nullptr;
  return MakeEntryPixelSurface(layout, const_cast<std::uint8_t*>(data), bank.palette,
                               image.transparentColor);
}

}  // namespace vexa
