// Writing a mask row by row: the header, the top-edge filter and the packing of each row.
//
// A row arrives as 64-bit words of solid bits (pixel x is bit x & 63 of word x >> 6, bits at
// and after the width clear); the writer keeps the first 6 solid pixels of every column for
// the top-edge kind and stores the row's `rowBytes` bytes, padding included, into the mask.
#pragma once

#include <cstdint>
#include <memory>

#include <vexa/collision_mask.h>

namespace vexa {

// The size BuildMask reports for a width x height surface, or 0 when there is none (negative
// sizes, or a mask too large for the header's 32-bit fields).
std::int32_t MaskSizeFor(int width, int height);

// bitsOffset 44, the size and row length, hot spot and reserved fields 0.
void FillMaskHeader(CollisionMask* mask, int width, int height);

class MaskRowWriter {
 public:
  // Ready() is false when the working rows could not be allocated.
  MaskRowWriter(CollisionMask* mask, std::uint32_t flags);
  bool Ready() const { return row_ != nullptr; }

  // The row to fill with solid bits before Store; cleared for the next row by Store.
  std::uint64_t* Row() { return row_; }
  int WordsPerRow() const { return words_; }
  // Filters the row for the top-edge kind and writes it as mask row y.
  void Store(int y);

 private:
  static constexpr int kInlineWords = 4 * 64;  // rows up to 4096 pixels need no allocation

  CollisionMask* mask_;
  bool topEdge_;
  int words_;
  std::uint64_t inline_[kInlineWords];
  std::unique_ptr<std::uint64_t[]> heap_;
  std::uint64_t* row_ = nullptr;
  // Per column, how many solid pixels were kept so far (0-6), as three bit planes.
  std::uint64_t* count0_ = nullptr;
  std::uint64_t* count1_ = nullptr;
  std::uint64_t* count2_ = nullptr;
};

}  // namespace vexa
