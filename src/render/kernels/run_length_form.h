// The run-length form of a transparent image.
//
// Image-bank images with many transparent pixels may be kept in this form instead of plain
// rows; surfaces over such an image use the run-length tables (RunLengthPixelRoutines), whose
// entries 3-6 draw straight from it. The form is a data format: its byte layout is fixed and
// all numbers are 32-bit little-endian.
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

#include <vexa/pixel_routines.h>

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

// True when the block is a complete form of a width x height image: the size field fits
// `available`, every row-table entry, run pair and pixel lies inside the block, and every
// row's pairs add up to exactly `width`.
bool RunLengthBlockValid(const std::uint8_t* block, std::size_t available, int width, int height,
                         int bytesPerPixel);

// The run-length tables (only entries 3-6), and whether a table is one of them.
const PixelRoutineTable* RunLengthPixelRoutines(int formatIndex);
bool IsRunLengthTable(const PixelRoutineTable* table);

// ---- reading ----------------------------------------------------------------------------

// The spans of one row between two columns, in order, bounds-checked against the block.
class RunLengthRowReader {
 public:
  // Row `row` of the block at `block` (the size field read from it), pixels of
  // `bytesPerPixel` bytes, spans clipped to columns [begin, end).
  RunLengthRowReader(const std::uint8_t* block, int row, int bytesPerPixel, int begin, int end);

  struct Span {
    int x;                        // first column of the span
    int count;                    // pixels, at least 1
    const std::uint8_t* pixels;   // opaque spans: their pixels; null for transparent spans
  };
  // The next span, false once the row (or the readable part of it) is done.
  bool Next(Span& span);

 private:
  const std::uint8_t* runs_ = nullptr;
  const std::uint8_t* runsEnd_ = nullptr;
  const std::uint8_t* pixels_ = nullptr;
  const std::uint8_t* pixelsEnd_ = nullptr;
  int bytesPerPixel_ = 1;
  int x_ = 0;
  int begin_ = 0;
  int end_ = 0;
  int pendingCopy_ = 0;  // copy count of the current pair, still to hand out
};

}  // namespace vexa
