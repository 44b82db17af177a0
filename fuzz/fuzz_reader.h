// Reading a fuzz input as a stream of bytes and little-endian ints; past the end every read
// gives 0. `Coordinate` gives mostly small values around a drawing area (the byte, scaled and
// offset) and, when the selector byte is below `anyBelow`, any int at all.
#pragma once

#include <cstddef>
#include <cstdint>

class FuzzReader {
 public:
  FuzzReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::int32_t Int() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(Byte()) << (8 * i);
    return static_cast<std::int32_t>(v);
  }
  int Coordinate(int anyBelow, int scale, int offset) {
    const std::uint8_t kind = Byte();
    if (kind < anyBelow) return Int();
    return static_cast<int>(Byte()) * scale + offset;
  }
  // Mostly small values (the int modulo `modulus`), any int at all when its bit 30 is set.
  std::int32_t MostlySmall(std::int32_t modulus) {
    const std::int32_t v = Int();
    return (v & 0x40000000) ? v : v % modulus;
  }
  bool Done() const { return at_ >= size_; }
  std::size_t Remaining() const { return size_ - at_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};
