// Short byte moves held in registers, written once over an instruction policy `Isa`:
// base/simd_sse2.h or base/simd_avx2.h in files built with that instruction set, or
// ScalarByteMoves (kBytes 0: fixed-size library moves, which the compiler turns into register
// moves of the widths the build allows). Used where a call to the library move per run or per
// row would cost more than the bytes themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vexa {
namespace {

// The scalar policy. It lives in an anonymous namespace like the vector policies, so no
// instantiation is shared between files built with different instruction flags.
struct ScalarByteMoves {
  static constexpr int kBytes = 0;
};

}  // namespace

// `kBytes` bytes held in registers: loaded whole, then stored whole.
template <class Isa, int kBytes>
struct BytesInRegisters {
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
  BytesInRegisters<Isa, kBytes> head, tail;
  head.Load(s);
  tail.Load(s + n - kBytes);
  head.Store(d);
  tail.Store(d + n - kBytes);
}

// `n` bytes that do not overlap, moved inline: a run-length run (at most 255 pixels, so at most
// 1,020 bytes) or a row of an opaque copy. With vectors every length up to 1,024 bytes is moved
// without a call and with a fixed number of branches per size class. Moves up to 256 bytes take
// two overlapping blocks, every load before the first store (so a run of 64 pixels at 32 bits is
// eight loads and eight stores without a loop); longer ones go in 64-byte blocks (all loads of a
// block before its stores) and one overlapping block at the end. The scalar policy moves long
// runs 32 bytes at a time up to 512 bytes. Anything longer goes to the library move.
template <class Isa>
inline void MoveBytes(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
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
    BytesInRegisters<Isa, 64> tail;
    tail.Load(s + n - 64);
    std::uint8_t* const tailOut = d + n - 64;
    const std::uint8_t* const last = s + n - 64;
    do {
      BytesInRegisters<Isa, 64> block;
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

}  // namespace vexa
