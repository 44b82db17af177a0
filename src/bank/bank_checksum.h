// The entry checksum and the search for duplicate entries.
#pragma once

#include <cstddef>
#include <cstdint>

#include <vexa/image_bank.h>

namespace vexa {

// For each byte: add it to the 16-bit sum, then rotate the sum left by one bit. The bytes
// 01 02 give 0x0008, "abc" gives 0x0556.
std::uint16_t BankChecksum(const std::uint8_t* bytes, std::size_t count);

// The checksum of an entry's bytes from offset 16 (the headers after the entry header, then
// the data).
std::uint16_t EntryChecksum(const BankEntryHeader& entry);

// The number of another entry of the list with the same checksum, header size and data size
// whose bytes from offset 16 on are identical; 0 when there is none.
int FindDuplicate(const ImageBank& bank, int list, int number);

// With a duplicate of `number` in the list, releases `number` and adds a reference to the
// duplicate, returning its number; otherwise returns `number`.
int MergeDuplicate(ImageBank& bank, int list, int number);

}  // namespace vexa
