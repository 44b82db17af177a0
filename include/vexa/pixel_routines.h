// The pixel descriptor and the per-format table of pixel routines.
//
// Every surface implementation starts (after its virtual-table pointer) with a pixel
// descriptor: a plain record of its geometry, format, storage and alpha plane that the
// software renderer reads directly. Each pixel format has one table of fourteen routines,
// in a fixed order, that do all per-pixel work; routines take pre-clipped rectangles and
// never clip, validate or allocate.
#pragma once

#include <cstddef>
#include <cstdint>

#include <vexa/wintypes.h>

struct PaletteObject;
struct PixelRoutineTable;

// Flags of the descriptor.
inline constexpr std::uint32_t kSurfaceFlagCpuMask = 0x1F;     // copy of the CPU feature word
inline constexpr std::uint32_t kSurfaceFlagMmx = 0x01;         // vector forms of the routines
inline constexpr std::uint32_t kSurfaceFlagOwnsAlpha = 0x100;  // alpha plane freed with the surface

struct PixelDescriptor {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t clipLeft = 0;    // inclusive
  std::int32_t clipTop = 0;     // inclusive
  std::int32_t clipRight = 0;   // exclusive
  std::int32_t clipBottom = 0;  // exclusive
  std::int32_t depth = 0;       // 8, 15, 16, 24, 32; 0 while unformatted
  std::int32_t formatIndex = 0;
  std::uint32_t transparentColor = 0;  // the colour key, 0x00BBGGRR
  std::uint32_t transparentValue = 0;  // the colour key as a stored pixel
  std::uint32_t flags = 0;
  PaletteObject* palette = nullptr;  // counted reference
  std::uint8_t* storage = nullptr;   // the pixel block as allocated
  std::uint8_t* firstRow = nullptr;  // address of row 0
  std::int32_t stride = 0;           // bytes per row, positive
  std::int32_t pitch = 0;            // signed distance from row y to row y + 1
  std::int32_t bytesPerPixel = 0;
  std::int32_t bottomUp = 0;
  std::uint8_t* alphaStorage = nullptr;   // lowest address of the alpha plane
  std::uint8_t* alphaFirstRow = nullptr;  // row 0 of the alpha plane; null: no alpha plane
  std::int32_t alphaStride = 0;
  std::int32_t alphaPitch = 0;
  const PixelRoutineTable* pixelRoutines = nullptr;

  std::uint8_t* Row(int y) const { return firstRow + static_cast<std::ptrdiff_t>(y) * pitch; }
  std::uint8_t* PixelAddress(int x, int y) const { return Row(y) + x * bytesPerPixel; }
  std::uint8_t* AlphaRow(int y) const {
    return alphaFirstRow + static_cast<std::ptrdiff_t>(y) * alphaPitch;
  }
  bool InClip(int x, int y) const {
    return x >= clipLeft && x < clipRight && y >= clipTop && y < clipBottom;
  }
};

// (destination colour, source colour, user value) -> colour, all 0x00BBGGRR.
using BlitCallbackFn = COLORREF (*)(COLORREF destination, COLORREF source, void* userValue);

// The part of an ink effect word that holds the effect code (see blit.h for the codes).
inline constexpr std::uint32_t kEffectCodeMask = 0xFFF;

// The fourteen routines of one pixel format, in table order.
struct PixelRoutineTable {
  // 0: write one pixel (colour value; at 8 bits 0x01000000 | index writes the index).
  void (*setPixel)(PixelDescriptor* target, int x, int y, std::uint32_t color);
  // 1: read one pixel: the colour value, or the raw index at 8 bits.
  std::uint32_t (*getPixel)(const PixelDescriptor* target, int x, int y);
  // 2: fill a rectangle with a colour value (at 8 bits: an index).
  void (*fillRect)(PixelDescriptor* target, int x, int y, int pitch, int width, int height,
                   std::uint32_t color);
  // 3: transparent copy from `source` (this table's format) onto `target`.
  void (*copyTransparent)(PixelDescriptor* target, int x, int y, const PixelDescriptor* source,
                          int sourceX, int sourceY, int width, int height);
  // 4: transparent copy with an ink effect.
  void (*copyTransparentEffect)(PixelDescriptor* target, int x, int y,
                                const PixelDescriptor* source, int sourceX, int sourceY, int width,
                                int height, std::uint32_t effect, std::uintptr_t parameter);
  // 5: opaque copy.
  void (*copyOpaque)(PixelDescriptor* target, int x, int y, const PixelDescriptor* source,
                     int sourceX, int sourceY, int width, int height);
  // 6: opaque copy with an ink effect.
  void (*copyOpaqueEffect)(PixelDescriptor* target, int x, int y, const PixelDescriptor* source,
                           int sourceX, int sourceY, int width, int height, std::uint32_t effect,
                           std::uintptr_t parameter);
  // 7: transparent copy through a per-pixel callback.
  void (*copyTransparentCallback)(PixelDescriptor* target, int x, int y,
                                  const PixelDescriptor* source, int sourceX, int sourceY,
                                  int width, int height, BlitCallbackFn callback, void* userValue);
  // 8: opaque copy through a per-pixel callback.
  void (*copyOpaqueCallback)(PixelDescriptor* target, int x, int y, const PixelDescriptor* source,
                             int sourceX, int sourceY, int width, int height,
                             BlitCallbackFn callback, void* userValue);
  // 9: mirror the rows of a rectangle in place.
  void (*mirrorRows)(PixelDescriptor* target, int x, int y, int pitch, int width, int height);
  // 10: replace one colour by another over a rectangle.
  void (*replaceColor)(PixelDescriptor* target, int x, int y, int width, int height,
                       std::uint32_t oldColor, std::uint32_t newColor);
  // 11: convert a rectangle of `source` (this table's format) into `destination`'s format.
  void (*convertRect)(PixelDescriptor* destination, int x, int y, int rowBytes,
                      const PixelDescriptor* source, int sourceX, int sourceY, int width,
                      int height);
  // 12: measure the run-length form of a transparent image; fills the header's offsets.
  std::uint32_t (*measureRunLength)(const PixelDescriptor* image, std::uint8_t* header,
                                    const std::uint8_t* firstRow, int width, int rows, int pitch,
                                    std::uint32_t key);
  // 13: write the run-length form.
  std::uint32_t (*encodeRunLength)(const PixelDescriptor* image, std::uint8_t* block,
                                   const std::uint8_t* firstRow, int width, int rows, int pitch,
                                   std::uint32_t key);
};

static_assert(sizeof(PixelRoutineTable) == 14 * sizeof(void*));
