#include "bank/bank_checksum.h"

#include <bit>
#include <cstring>

#include "bank/bank_list.h"

namespace vexa {
namespace {

std::size_t ComparedBytes(const BankEntryHeader& entry) {
  return entry.headerSize - sizeof(BankEntryHeader) + static_cast<std::size_t>(entry.dataSize);
}

const std::uint8_t* AfterEntryHeader(const BankEntryHeader& entry) {
  return reinterpret_cast<const std::uint8_t*>(&entry) + sizeof(BankEntryHeader);
}

bool SameContent(const BankEntryHeader& a, const BankEntryHeader& b) {
  return a.checksum == b.checksum && a.headerSize == b.headerSize && a.dataSize == b.dataSize &&
         std::memcmp(AfterEntryHeader(a), AfterEntryHeader(b), ComparedBytes(a)) == 0;
}

}  // namespace

std::uint16_t BankChecksum(const std::uint8_t* bytes, std::size_t count) {
  // Each step depends on the carry of the one before: a 16-bit add and rotate per byte is the
  // whole chain, kept in one register.
  std::uint16_t sum = 0;
  for (std::size_t i = 0; i < count; ++i) {
    sum = std::rotl(static_cast<std::uint16_t>(sum + bytes[i]), 1);
  }
  return sum;
}

std::uint16_t EntryChecksum(const BankEntryHeader& entry) {
  return BankChecksum(AfterEntryHeader(entry), ComparedBytes(entry));
}

int FindDuplicate(const ImageBank& bank, int list, int number) {
  const BankEntryHeader* self = FindEntry(&bank, list, number);
  if (!self) return 0;
  int found = 0;
  ForEachEntry(bank, list, [&](int other, const BankEntryHeader* entry) {
    if (!found && other != number && SameContent(*self, *entry)) found = other;
  });
  return found;
}

int MergeDuplicate(ImageBank& bank, int list, int number) {
  const int duplicate = FindDuplicate(bank, list, number);
  if (!duplicate) return number;
  RemoveEntry(bank, list, number);
  ++FindEntry(&bank, list, duplicate)->refCount;
  return duplicate;
}

}  // namespace vexa
