// The body of the run-length copies (run_length_copy.h), written once over an instruction
// policy `Isa`: base/simd_sse2.h or base/simd_avx2.h in the *_sse2.cpp and *_avx2.cpp files, or
// a scalar policy with kBytes 0 (plain byte moves) in run_length_blit.cpp. Each file's policy
// lives in its own anonymous namespace, so no instantiation is shared between files built with
// different instruction flags.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "pixels/kernels/byte_moves.h"
#include "pixels/kernels/run_length_copy.h"
#include "pixels/kernels/run_length_form.h"

namespace vexa {

// The rest of one row read from column 0 and cut at `width`, from column `x` with the pairs at
// `runs` and their pixels at `pixels`: what WalkRunLengthRow hands to a copy, in a loop that
// checks each pair with one rarely taken branch. A pair that would cross the cut or the block's
// end is cut exactly as the walk cuts it and, as there, is the row's last.
//   kRoomy: the pixel bytes have room for `width` pixels before the block's end `end` (copies
//     never add up to more than `width`), so only the cut needs checking.
//   kPairsChecked: each pair is checked to lie inside the block. Without it the caller has
//     found room for `width` pairs; each pair then must move the column on (a pair of two zero
//     counts hands the row over to the checked loop), so no more than `width` are read.
template <class Isa, int bpp, bool kRoomy, bool kPairsChecked>
inline void CopyRunLengthRowFrom(const std::uint8_t* runs, const std::uint8_t* pixels, int x,
                                 const std::uint8_t* end, std::uint8_t* d, int width) {
  const std::uint8_t* const lastPair = end - 1;  // a pair from here on would end past the block
  while (x < width && (!kPairsChecked || runs < lastPair)) {
    const int skip = runs[0];
    int copy = runs[1];
    runs += 2;
    x += skip;
    if (x + copy > width || (!kRoomy && copy * bpp > end - pixels)) [[unlikely]] {
      if (copy > width - x) copy = width > x ? width - x : 0;
      if (copy * bpp > end - pixels) copy = static_cast<int>((end - pixels) / bpp);
      if (copy > 0)
        MoveBytes<Isa>(d + static_cast<std::ptrdiff_t>(x) * bpp, pixels,
                       static_cast<std::size_t>(copy) * bpp);
      return;
    }
    if (copy) {
      MoveBytes<Isa>(d + static_cast<std::ptrdiff_t>(x) * bpp, pixels,
                     static_cast<std::size_t>(copy) * bpp);
    } else if (!kPairsChecked && skip == 0) [[unlikely]] {
      return CopyRunLengthRowFrom<Isa, bpp, kRoomy, true>(runs, pixels, x, end, d, width);
    }
    x += copy;
    pixels += static_cast<std::ptrdiff_t>(copy) * bpp;
  }
}

template <class Isa, int bpp>
void CopyRunLengthRowsWith(const std::uint8_t* block, std::uint32_t size, std::uint8_t* d,
                           int pitch, int sx, int sy, int width, int rows) {
  const std::uint32_t limit = size - static_cast<std::uint32_t>(kRunLengthSizeBytes);
  const std::uint8_t* entry =
      block + kRunLengthSizeBytes + kRunLengthRowEntryBytes * static_cast<std::size_t>(sy);
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width) * bpp;
  const std::ptrdiff_t pairBytes = static_cast<std::ptrdiff_t>(width) * 2;  // `width` pairs
  RunLengthRow r;
  r.end = block + size;
  for (int i = 0; i < rows; ++i, d += pitch, entry += kRunLengthRowEntryBytes) {
    std::uint32_t offsets[2];
    std::memcpy(offsets, entry, 8);
    r.runs = offsets[0] <= limit ? block + kRunLengthSizeBytes + offsets[0] : r.end;
    r.pixels = offsets[1] <= limit ? block + kRunLengthSizeBytes + offsets[1] : r.end;
    if (sx != 0) {  // cut on the left: the general walk
      WalkRunLengthRow(
          r, bpp, sx, sx + width, [](int, int) {},
          [d, sx](int column, const std::uint8_t* p, int n) {
            MoveBytes<Isa>(d + static_cast<std::ptrdiff_t>(column - sx) * bpp, p,
                           static_cast<std::size_t>(n) * bpp);
          });
    } else if (r.end - r.pixels < rowBytes) {
      CopyRunLengthRowFrom<Isa, bpp, false, true>(r.runs, r.pixels, 0, r.end, d, width);
    } else if (r.end - r.runs < pairBytes) {
      CopyRunLengthRowFrom<Isa, bpp, true, true>(r.runs, r.pixels, 0, r.end, d, width);
    } else {
      CopyRunLengthRowFrom<Isa, bpp, true, false>(r.runs, r.pixels, 0, r.end, d, width);
    }
  }
}

template <class Isa>
RunLengthCopyRows RunLengthCopyRowsOf() {
  return {{CopyRunLengthRowsWith<Isa, 1>, CopyRunLengthRowsWith<Isa, 2>,
           CopyRunLengthRowsWith<Isa, 3>, CopyRunLengthRowsWith<Isa, 4>}};
}

}  // namespace vexa
