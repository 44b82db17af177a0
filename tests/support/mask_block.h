// Collision mask blocks for tests: header and rows in one block of the exact size, with
// helpers to set, read and randomise pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include <vexa/collision_mask.h>

namespace testsupport {

// A whole mask block (header and rows), allocated to its exact size.
struct Mask {
  std::vector<std::uint8_t> block;
  Mask(int w, int h, int hotX = 0, int hotY = 0)
      : block(static_cast<std::size_t>(MaskBlockSize(w, h))) {
    CollisionMask* m = Header();
    m->bitsOffset = 44;
    m->width = w;
    m->height = h;
    m->rowBytes = static_cast<int>(MaskRowBytes(w));
    m->hotSpotX = hotX;
    m->hotSpotY = hotY;
  }
  CollisionMask* Header() { return reinterpret_cast<CollisionMask*>(block.data()); }
  const CollisionMask* Header() const {
    return reinterpret_cast<const CollisionMask*>(block.data());
  }
  const std::uint8_t* Bits() const { return MaskBits(Header()); }
  int W() const { return Header()->width; }
  int H() const { return Header()->height; }
  bool Get(int x, int y) const {
    return x >= 0 && y >= 0 && x < W() && y < H() &&
           ((Bits()[y * Header()->rowBytes + (x >> 3)] >> (x & 7)) & 1);
  }
  void Set(int x, int y) {
    MaskBits(Header())[y * Header()->rowBytes + (x >> 3)] |=
        static_cast<std::uint8_t>(1 << (x & 7));
  }
  void Randomise(std::mt19937& rng, double density) {
    std::bernoulli_distribution solid(density);
    for (int y = 0; y < H(); ++y)
      for (int x = 0; x < W(); ++x)
        if (solid(rng)) Set(x, y);
  }
  void Fill() {
    for (int y = 0; y < H(); ++y)
      for (int x = 0; x < W(); ++x) Set(x, y);
  }
};

}  // namespace testsupport
