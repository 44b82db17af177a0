// The bytes a caller hands to AddImage, read through a cursor. With the sized-data flag the
// caller states how many bytes there are and every read is checked against that count;
// without it the caller vouches for the data being as long as its flags say.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include <vexa/memory.h>

namespace vexa {

class SuppliedBytes {
 public:
  static constexpr std::size_t kUnbounded = ~std::size_t{0};

  SuppliedBytes(const std::uint8_t* data, std::size_t size) : cursor_(data), left_(size) {}

  // The next `count` bytes; false (nothing consumed) when fewer are left.
  bool Take(std::size_t count, const std::uint8_t** bytes) {
    if (!cursor_ || count > left_) return false;
    *bytes = cursor_;
    cursor_ += count;
    if (left_ != kUnbounded) left_ -= count;
    return true;
  }
  bool ReadByte(std::uint8_t* value) {
    const std::uint8_t* p = nullptr;
    if (!Take(1, &p)) return false;
    *value = *p;
    return true;
  }
  bool ReadU32(std::uint32_t* value) {
    const std::uint8_t* p = nullptr;
    if (!Take(4, &p)) return false;
    *value = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
             static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    return true;
  }

 private:
  const std::uint8_t* cursor_;
  std::size_t left_;
};

// A block from the library's allocator, freed when the owner goes.
class OwnedBlock {
 public:
  OwnedBlock() = default;
  ~OwnedBlock() { FreeBlockAndClear(&block_); }
  OwnedBlock(const OwnedBlock&) = delete;
  OwnedBlock& operator=(const OwnedBlock&) = delete;

  bool Allocate(std::size_t bytes, bool zeroed) {
    FreeBlockAndClear(&block_);
    const std::size_t size = bytes ? bytes : 1;
    return zeroed ? AllocBlockZero(&block_, size) : AllocBlock(&block_, size);
  }
  // Takes `other`'s block, freeing this one's.
  void Adopt(OwnedBlock& other) {
    FreeBlockAndClear(&block_);
    block_ = other.block_;
    other.block_ = nullptr;
  }
  std::uint8_t* get() const { return static_cast<std::uint8_t*>(block_); }
  // Hands the block over; the caller frees it with FreeBlockAndClear.
  std::uint8_t* release() {
    auto* b = get();
    block_ = nullptr;
    return b;
  }

 private:
  void* block_ = nullptr;
};

}  // namespace vexa
