// The body of the run-length copies (run_length_copy.h), written once over an instruction
// policy `Isa`: base/simd_sse2.h or base/simd_avx2.h in the *_sse2.cpp and *_avx2.cpp files, or
// a scalar policy with kBytes 0 (plain byte moves) in run_length_blit.cpp. Each file's policy
// lives in its own anonymous namespace, so no instantiation is shared between files built with
// different instruction flags.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "pixels/kernels/run_length_copy.h"
#include "pixels/kernels/run_length_form.h"

namespace vexa {

// `kBytes` bytes held in registers: loaded whole, then stored whole.
template <class Isa, int kBytes>
struct RunLengthBytes {
  static constexpr int kCount = kBytes / Isa::kBytes;
  typename Isa::V v[kCount];
  void Load(const std::uint8_t* p) {
    for (int i = 0; i < kCount; ++i) v[i] = Isa::Load(p + i * Isa::kBytes);
  }
  void Store(std::uint8_t* p) const {
    for (int i = 0; i < kCount; ++i) Isa::Store(p + i * Isa::kBytes, v[i]);
  }
};

// `n` bytes, kBytes <= n <= 2 * kBytes, as two overlapping blocks: both loaded before either is
// stored, so the overlap never reads what the first store wrote.
template <class Isa, int kBytes>
inline void MoveOverlappingPair(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  RunLengthBytes<Isa, kBytes> head, tail;
  head.Load(s);
  tail.Load(s + n - kBytes);
  head.Store(d);
  tail.Store(d + n - kBytes);
}

// One run of `n` bytes. A run holds at most 255 pixels, so at most 1,020 bytes: with vectors
// every length is moved inline, without a call and with a fixed number of branches per size
// class. Runs up to 256 bytes take two overlapping moves, every load before the first store (so
// a run of 64 pixels at 32 bits is eight loads and eight stores without a loop); longer ones go
// in 64-byte blocks (all loads of a block before its stores) and one overlapping block at the
// end. The scalar policy
// moves long runs 32 bytes at a time up to 512 bytes and leaves longer ones to the library move.
template <class Isa>
inline void MoveRunBytes(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  if (n <= 16) {
    if (n >= 8) {
      std::memcpy(d, s, 8);
      std::memcpy(d + n - 8, s + n - 8, 8);
    } else if (n >= 4) {
      std::memcpy(d, s, 4);
      std::memcpy(d + n - 4, s + n - 4, 4);
    } else {
      for (std::size_t i = 0; i < n; ++i) d[i] = s[i];
    }
  } else if (n <= 32) {
    std::memcpy(d, s, 16);
    std::memcpy(d + n - 16, s + n - 16, 16);
  } else if constexpr (Isa::kBytes == 0) {
    if (n <= 64) {
      std::memcpy(d, s, 32);
      std::memcpy(d + n - 32, s + n - 32, 32);
    } else if (n <= 512) {
      const std::uint8_t* const last = s + n - 32;
      std::uint8_t* const lastOut = d + n - 32;
      do {
        std::memcpy(d, s, 32);
        d += 32;
        s += 32;
      } while (s < last);
      std::memcpy(lastOut, last, 32);
    } else {
      std::memcpy(d, s, n);
    }
  } else if (n <= 64) {
    MoveOverlappingPair<Isa, 32>(d, s, n);
  } else if (n <= 128) {
    MoveOverlappingPair<Isa, 64>(d, s, n);
  } else if (n <= 256) {
    MoveOverlappingPair<Isa, 128>(d, s, n);
  } else if (n <= 1024) {
    RunLengthBytes<Isa, 64> tail;
    tail.Load(s + n - 64);
    std::uint8_t* const tailOut = d + n - 64;
    const std::uint8_t* const last = s + n - 64;
    do {
      RunLengthBytes<Isa, 64> block;
      block.Load(s);
      block.Store(d);
      d += 64;
      s += 64;
    } while (s < last);
    tail.Store(tailOut);
  } else {
    std::memcpy(d, s, n);
  }
}

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
        MoveRunBytes<Isa>(d + static_cast<std::ptrdiff_t>(x) * bpp, pixels,
                          static_cast<std::size_t>(copy) * bpp);
      return;
    }
    if (copy) {
      MoveRunBytes<Isa>(d + static_cast<std::ptrdiff_t>(x) * bpp, pixels,
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
            MoveRunBytes<Isa>(d + static_cast<std::ptrdiff_t>(column - sx) * bpp, p,
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
