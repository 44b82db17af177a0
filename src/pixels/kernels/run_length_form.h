// The run-length form of a transparent image.
//
// Image-bank images with many transparent pixels may be kept in this form instead of plain
// rows; surfaces over such an image use the run-length tables (RunLengthPixelRoutines in
// pixels/pixel_routine_tables.h), whose entries 3-6 draw straight from it. The form is a data
// format: its byte layout is fixed and all numbers are 32-bit little-endian.
//
//   offset  size      field
//   0       4         total size of the block in bytes
//   4       8 x rows  row table: per row, the offset of its run bytes and the offset of its
//                     pixel bytes, both counted from offset 4
//   ...               run bytes of all rows, row after row
//   ...               the opaque pixels of all rows, in the image's pixel form, row after row
//                     (no padding: pixel bytes may start at any address)
//
// A row's run bytes come in pairs: a skip count (transparent pixels, not stored) and a copy
// count (opaque pixels taken in order from the row's pixel bytes). The pairs of a row add up
// to its width. A run longer than 255 is split: a long skip run writes 255 with a copy count
// of 0 and continues; a long copy run writes 255, then a skip count of 0, and continues. So
// 300 opaque pixels are the run bytes 0 255 0 45, and 300 transparent ones 255 0 45 0.
//
//   block:  [size][runs0 pix0][runs1 pix1]...[pairs of row 0][pairs of row 1]...[pixels...]
//                  \____________ row table ___/  ^ 4 + runs0          4 + pix0 ^
//
// Transparent pixels are those equal, as stored values, to the key given to the encoder (the
// image's transparent pixel value). A surface over the form points `firstRow` (and `storage`)
// at offset 0 of the block and keeps its width, height, depth and transparent value as for
// plain pixels; an alpha plane, when it has one, stays a plain plane beside the block.
//
// Untrusted blocks. The drawing routines trust only the size field at offset 0, which the
// block's owner must have checked against the memory it holds (RunLengthSizeFits). Every other
// number is bounds-checked as it is read: row-table entries, run bytes and pixel bytes outside
// the block end the row, and runs beyond the row's width are cut at it, so a damaged block
// draws a damaged image and never reads outside itself. RunLengthBlockValid checks a whole
// block strictly, for owners that want to refuse damaged ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include <vexa/pixel_routines.h>

#include "pixels/pixel_routine_tables.h"

namespace vexa {

inline constexpr std::size_t kRunLengthSizeBytes = 4;
inline constexpr std::size_t kRunLengthRowEntryBytes = 8;

// Size of the form of `rows` rows of `width` pixels of `bytesPerPixel` bytes, rows `pitch`
// apart from `firstRow`, pixels equal to `key` transparent. With a `header` (at least 12
// bytes, the start of the block), fills the first row-table entry: the row table's size and
// the offset of the pixel bytes. Returns 0 when the form would not fit the 32-bit offsets.
std::uint32_t MeasureRunLengthForm(int bytesPerPixel, std::uint8_t* header,
                                   const std::uint8_t* firstRow, int width, int rows, int pitch,
                                   std::uint32_t key);

// Writes the whole form into `block`, which must hold the measured size, including the size
// field. Returns the size (0, writing nothing, when it would not fit the 32-bit offsets).
std::uint32_t EncodeRunLengthForm(int bytesPerPixel, std::uint8_t* block,
                                  const std::uint8_t* firstRow, int width, int rows, int pitch,
                                  std::uint32_t key);

// True when the block's size field is at least the field itself and at most `available`.
bool RunLengthSizeFits(const std::uint8_t* block, std::size_t available);

// True when the size field fits `available` and the row table holds `height` rows whose run
// and pixel offsets all lie inside the block: a check of the block's frame only, a few
// operations per row.
bool RunLengthRowTableFits(const std::uint8_t* block, std::size_t available, int height);

// True when the block is a complete form of a width x height image: the size field fits
// `available`, every row-table entry, run pair and pixel lies inside the block, and every
// row's pairs add up to exactly `width`.
bool RunLengthBlockValid(const std::uint8_t* block, std::size_t available, int width, int height,
                         int bytesPerPixel);

// ---- reading ----------------------------------------------------------------------------

// Where one row's run bytes and pixel bytes start, checked against the block's size field;
// `end` is the block's end. A row outside the row table has no runs.
struct RunLengthRow {
  const std::uint8_t* runs = nullptr;
  const std::uint8_t* pixels = nullptr;
  const std::uint8_t* end = nullptr;
};

inline RunLengthRow FindRunLengthRow(const std::uint8_t* block, int row) {
  std::uint32_t size;
  std::memcpy(&size, block, 4);
  const std::uint64_t entry =
      kRunLengthSizeBytes + kRunLengthRowEntryBytes * static_cast<std::uint64_t>(row);
  if (row < 0 || size < kRunLengthSizeBytes || entry + kRunLengthRowEntryBytes > size) return {};
  std::uint32_t offsets[2];
  std::memcpy(offsets, block + entry, 8);
  const std::uint64_t runs = kRunLengthSizeBytes + std::uint64_t{offsets[0]};
  const std::uint64_t pixels = kRunLengthSizeBytes + std::uint64_t{offsets[1]};
  RunLengthRow r;
  r.end = block + size;
  r.runs = runs <= size ? block + runs : r.end;
  r.pixels = pixels <= size ? block + pixels : r.end;
  return r;
}

template <bool kClipLeft, class OnSkip, class OnCopy>
inline void WalkRunLengthRowPart(const RunLengthRow& r, int bytesPerPixel, int begin, int end,
                                 OnSkip&& onSkip, OnCopy&& onCopy) {
  const std::uint8_t* runs = r.runs;
  const std::uint8_t* lastPair = r.end - 1;  // a pair from here on would end past the block
  const std::uint8_t* pixels = r.pixels;
  int x = 0;
  while (x < end && runs < lastPair) {
    const int skip = runs[0];
    int copy = runs[1];
    runs += 2;
    if constexpr (kClipLeft) {
      const int low = x > begin ? x : begin;
      const int high = x + skip < end ? x + skip : end;
      if (high > low) onSkip(low, high - low);
    } else if (skip) {
      onSkip(x, x + skip < end ? skip : end - x);
    }
    x += skip;
    if (copy > end - x) copy = end > x ? end - x : 0;
    if (static_cast<std::ptrdiff_t>(copy) * bytesPerPixel > r.end - pixels) {
      copy = static_cast<int>((r.end - pixels) / bytesPerPixel);  // the pixel bytes end here
      runs = lastPair;
    }
    if constexpr (kClipLeft) {
      const int low = x > begin ? x : begin;
      if (x + copy > low)
        onCopy(low, pixels + static_cast<std::ptrdiff_t>(low - x) * bytesPerPixel, x + copy - low);
    } else if (copy > 0) {
      onCopy(x, pixels, copy);
    }
    x += copy;
    pixels += static_cast<std::ptrdiff_t>(copy) * bytesPerPixel;
  }
}

// Hands the spans of one row inside columns [begin, end) to onSkip(column, count) for
// transparent pixels and onCopy(column, pixels, count) for opaque ones, in order. Pairs and
// pixels outside the block end the row; runs past `end` are cut there. Written for inlining:
// with a constant `bytesPerPixel` every product is a shift, and rows read from column 0 (the
// common case) take a loop without the left clip.
template <class OnSkip, class OnCopy>
inline void WalkRunLengthRow(const RunLengthRow& r, int bytesPerPixel, int begin, int end,
                             OnSkip&& onSkip, OnCopy&& onCopy) {
  if (!r.runs) return;  // a row outside the block
  if (begin <= 0)
    WalkRunLengthRowPart<false>(r, bytesPerPixel, 0, end, onSkip, onCopy);
  else
    WalkRunLengthRowPart<true>(r, bytesPerPixel, begin, end, onSkip, onCopy);
}

}  // namespace vexa
