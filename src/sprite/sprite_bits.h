// A set of sprites as bits over the heap's blocks. Testing a sprite reads no record of it:
// passes over long overlap lists (the queued sprites a settle drops, the retained sprites a
// marking spreads to) then read the list and a few cache lines of bits instead of a record
// per entry.
#pragma once

#include <cstdint>
#include <vector>

#include <vexa/sprite.h>

namespace sprite {

class SpriteBits {
 public:
  // Blocks lie at least a sprite apart, so each sprite has a bit of its own.
  static constexpr int kShift = 8;
  static_assert(sizeof(Sprite) >= (1u << kShift));

  // An empty set over the heap's blocks, kept in `bits` (reused from call to call).
  SpriteBits(const SpriteHeap* heap, std::vector<std::uint64_t>& bits)
      : base_(reinterpret_cast<std::uintptr_t>(heap)), bits_(bits) {
    bits_.assign(((heap->blockBytes + sizeof(SpriteHeap)) >> kShift) / 64 + 1, 0);
  }

  void Add(const Sprite* s) {
    const std::size_t bit = Bit(s);
    bits_[bit / 64] |= std::uint64_t{1} << (bit % 64);
  }
  void Remove(const Sprite* s) {
    const std::size_t bit = Bit(s);
    bits_[bit / 64] &= ~(std::uint64_t{1} << (bit % 64));
  }
  bool Has(const Sprite* s) const {
    const std::size_t bit = Bit(s);
    return (bits_[bit / 64] >> (bit % 64)) & 1;
  }
  const std::vector<std::uint64_t>& Words() const { return bits_; }

 private:
  std::size_t Bit(const Sprite* s) const {
    return (reinterpret_cast<std::uintptr_t>(s) - base_) >> kShift;
  }

  std::uintptr_t base_;
  std::vector<std::uint64_t>& bits_;
};

}  // namespace sprite
