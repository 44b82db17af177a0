// List mechanics shared by every kind of bank entry (images, sounds, masks, driver surfaces,
// fonts): numbered slots, the free hint, append mode, growth in steps of 256, set-at-number
// and reference-counted release.
#pragma once

#include <cstddef>
#include <cstdint>

#include <vexa/image_bank.h>

namespace vexa {

// AddEntry flags.
inline constexpr std::uint32_t kAddEntryAppend = 0x1;
inline constexpr std::uint32_t kAddEntryZeroFill = 0x40;

// Largest header + data an entry may have: its block size and every offset into it fit in 31
// bits.
inline constexpr std::uint64_t kMaxEntryBytes = 0x7FFF0000;

// Bytes of the heap block of an entry: (header + data + 15) rounded down to a multiple of 8;
// 0 when it exceeds kMaxEntryBytes.
std::size_t EntryBlockSize(std::uint64_t headerSize, std::uint64_t dataSize);

// A new entry block with its header sizes written and reference count 1, outside any list;
// null when memory runs out or the size is too large.
BankEntryHeader* AllocateEntry(std::uint32_t headerSize, std::uint32_t dataSize, bool zeroFill);
void FreeEntry(BankEntryHeader* entry);

// The list `index` of the bank, created with 256 slots when absent (null when memory runs
// out). Index must be 0-5.
BankList* EnsureList(ImageBank& bank, int index);

// The slot of `number` when it holds an entry, else null (bad list, number 0, beyond count).
BankEntryHeader* FindEntry(const ImageBank* bank, int list, int number);

// Puts `block` (an AllocateEntry block) into a new slot of the list and returns its number;
// 0 (the block not taken) when the list cannot be made or grown.
int InsertEntry(ImageBank& bank, int list, BankEntryHeader* block, std::uint32_t flags);

// Adds a new entry of the given sizes and returns its number (0 when memory runs out); the
// block comes back through `entry`.
int AddEntry(ImageBank& bank, int list, std::uint32_t headerSize, std::uint32_t dataSize,
             std::uint32_t flags, BankEntryHeader** entry);

// Puts `block` (an AllocateEntry block) at `number`, growing the list as needed. A block
// already there is freed and its reference count carried over. False (the block not taken)
// when the list cannot grow or the number is 0 or too large.
bool SetEntryAt(ImageBank& bank, int list, int number, BankEntryHeader* block);

// Drops one reference: the new count when above 0; otherwise the block is freed, the slot
// cleared, the free hint lowered, and 0 returned. -1 when there is no such entry.
int ReleaseEntry(ImageBank& bank, int list, int number);

// Frees the slot's block whatever its reference count; the slot becomes free.
void RemoveEntry(ImageBank& bank, int list, int number);

// Frees every entry of the list and the list itself (no cascades, no surfaces).
void FreeListBlocks(ImageBank& bank, int list);

// Calls fn(number, entry) for every entry of the list.
template <class Fn>
void ForEachEntry(const ImageBank& bank, int list, Fn&& fn) {
  const BankList* l = bank.lists[list];
  if (!l) return;
  for (std::uint32_t i = 0; i < l->count && i < l->capacity; ++i) {
    if (BankEntryHeader* e = l->Slots()[i]) fn(static_cast<int>(i + 1), e);
  }
}

}  // namespace vexa
