#include "bank/bank_list.h"

#include <cstring>

#include <vexa/memory.h>

#include "bank/checked_run_length.h"

namespace vexa {
namespace {

constexpr std::uint32_t kMaxSlots = 0x01000000;  // 16 M numbers per list

std::size_t ListBytes(std::uint32_t capacity) {
  return sizeof(BankList) + sizeof(BankEntryHeader*) * static_cast<std::size_t>(capacity);
}

std::uint32_t RoundUpToStep(std::uint64_t slots) {
  return static_cast<std::uint32_t>((slots + kListSlotStep - 1) / kListSlotStep * kListSlotStep);
}

// Grows the list so that slot index `slot` exists; the new slots are null.
BankList* GrowList(ImageBank& bank, int index, std::uint32_t slot) {
  BankList* list = bank.lists[index];
  if (slot < list->capacity) return list;
  if (slot >= kMaxSlots) return nullptr;
  const std::uint32_t capacity = RoundUpToStep(std::uint64_t{slot} + 1);
  void* block = list;
  if (!ReallocBlock(&block, ListBytes(capacity))) return nullptr;
  list = static_cast<BankList*>(block);
  std::memset(list->Slots() + list->capacity, 0,
              sizeof(BankEntryHeader*) * (capacity - list->capacity));
  list->capacity = capacity;
  bank.lists[index] = list;
  return list;
}

// Slot after the last non-empty one: trailing empty slots are reused.
std::uint32_t AppendSlot(const BankList& list) {
  std::uint32_t end = list.count < list.capacity ? list.count : list.capacity;
  while (end > 0 && !list.Slots()[end - 1]) --end;
  return end;
}

std::uint32_t FirstFreeSlot(const BankList& list) {
  for (std::uint32_t i = list.freeHint; i < list.capacity; ++i) {
    if (!list.Slots()[i]) return i;
  }
  return list.capacity;
}

bool ValidList(int list) { return list >= 0 && list < kBankListCount; }

}  // namespace

std::size_t EntryBlockSize(std::uint64_t headerSize, std::uint64_t dataSize) {
  const std::uint64_t bytes = (headerSize + dataSize + 15) & ~std::uint64_t{7};
  return bytes <= kMaxEntryBytes ? static_cast<std::size_t>(bytes) : 0;
}

BankEntryHeader* AllocateEntry(std::uint32_t headerSize, std::uint32_t dataSize, bool zeroFill) {
  if (headerSize < sizeof(BankEntryHeader)) return nullptr;
  const std::size_t bytes = EntryBlockSize(headerSize, dataSize);
  if (bytes == 0) return nullptr;
  void* block = nullptr;
  if (!(zeroFill ? AllocBlockZero(&block, bytes) : AllocBlock(&block, bytes))) return nullptr;
  auto* entry = static_cast<BankEntryHeader*>(block);
  if (!zeroFill) std::memset(entry, 0, headerSize);
  entry->headerSize = headerSize;
  entry->dataSize = dataSize;
  entry->refCount = 1;
  entry->checksum = 0;
  ForgetRunLengthEntry(entry);  // a block at a freed entry's address is not that entry
  return entry;
}

void FreeEntry(BankEntryHeader* entry) {
  ForgetRunLengthEntry(entry);
  void* block = entry;
  FreeBlockAndClear(&block);
}

BankList* EnsureList(ImageBank& bank, int index) {
  if (bank.lists[index]) return bank.lists[index];
  void* block = nullptr;
  if (!AllocBlockZero(&block, ListBytes(kListSlotStep))) return nullptr;
  auto* list = static_cast<BankList*>(block);
  list->capacity = kListSlotStep;
  bank.lists[index] = list;
  return list;
}

BankEntryHeader* FindEntry(const ImageBank* bank, int list, int number) {
  if (!bank || !ValidList(list) || number <= 0) return nullptr;
  const BankList* l = bank->lists[list];
  if (!l || static_cast<std::uint32_t>(number) > l->count ||
      static_cast<std::uint32_t>(number) > l->capacity) {
    return nullptr;
  }
  return l->Slots()[number - 1];
}

int InsertEntry(ImageBank& bank, int list, BankEntryHeader* block, std::uint32_t flags) {
  if (!ValidList(list) || !block) return 0;
  BankList* l = EnsureList(bank, list);
  if (!l) return 0;
  const std::uint32_t slot = (flags & kAddEntryAppend) ? AppendSlot(*l) : FirstFreeSlot(*l);
  l = GrowList(bank, list, slot);
  if (!l) return 0;
  ForgetRunLengthEntry(block);
  l->Slots()[slot] = block;
  if (slot == l->freeHint) ++l->freeHint;
  if (slot + 1 > l->count) l->count = slot + 1;
  return static_cast<int>(slot + 1);
}

int AddEntry(ImageBank& bank, int list, std::uint32_t headerSize, std::uint32_t dataSize,
             std::uint32_t flags, BankEntryHeader** entry) {
  *entry = nullptr;
  if (!ValidList(list)) return 0;
  BankEntryHeader* block = AllocateEntry(headerSize, dataSize, flags & kAddEntryZeroFill);
  if (!block) return 0;
  const int number = InsertEntry(bank, list, block, flags);
  if (!number) {
    FreeEntry(block);
    return 0;
  }
  *entry = block;
  return number;
}

bool SetEntryAt(ImageBank& bank, int list, int number, BankEntryHeader* block) {
  if (!ValidList(list) || number <= 0 || !block) return false;
  const auto slot = static_cast<std::uint32_t>(number - 1);
  if (!EnsureList(bank, list)) return false;
  BankList* l = GrowList(bank, list, slot);
  if (!l) return false;
  if (BankEntryHeader* old = l->Slots()[slot]) {
    block->refCount = old->refCount;
    FreeEntry(old);
  }
  ForgetRunLengthEntry(block);
  l->Slots()[slot] = block;
  if (slot + 1 > l->count) l->count = slot + 1;
  return true;
}

int ReleaseEntry(ImageBank& bank, int list, int number) {
  BankEntryHeader* entry = FindEntry(&bank, list, number);
  if (!entry) return -1;
  if (entry->refCount > 1) return static_cast<int>(--entry->refCount);
  RemoveEntry(bank, list, number);
  return 0;
}

void RemoveEntry(ImageBank& bank, int list, int number) {
  BankEntryHeader* entry = FindEntry(&bank, list, number);
  if (!entry) return;
  BankList* l = bank.lists[list];
  const auto slot = static_cast<std::uint32_t>(number - 1);
  FreeEntry(entry);
  l->Slots()[slot] = nullptr;
  if (slot < l->freeHint) l->freeHint = slot;
}

void FreeListBlocks(ImageBank& bank, int list) {
  BankList* l = bank.lists[list];
  if (!l) return;
  for (std::uint32_t i = 0; i < l->capacity; ++i) {
    if (l->Slots()[i]) FreeEntry(l->Slots()[i]);
  }
  void* block = l;
  FreeBlockAndClear(&block);
  bank.lists[list] = nullptr;
}

}  // namespace vexa
