// Sound entries of a bank over arbitrary bytes: wave information walks the RIFF chunks of a
// wave entry, and a compressed entry (a 32-bit size, then a zlib stream) is expanded. Every
// read must stay inside the entry; a refused expansion leaves the entry as it was, an accepted
// one holds exactly the declared number of bytes.
//
// Input: [selector] data. Selector bit 0: the data is a compressed entry.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <vexa/image_bank.h>
#include <vexa/sound_bank.h>

#include "bank/bank_sound_hooks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  ImageBank* bank = CreateImageBank(0, nullptr);
  if (!bank) std::abort();
  const bool compressed = data[0] & 1;
  const std::uint8_t* bytes = data + 1;
  const int n = static_cast<int>(size - 1);
  // An exact-size copy so that the sanitizer sees any read past the entry's data.
  const int number =
      AddSound(bank, kSoundTypeWave | (compressed ? kSoundEntryCompressed : 0), "fuzz", bytes, n);
  if (!number) std::abort();
  if (compressed) {
    const bool expanded = vexa::ExpandSoundEntry(*bank, number);
    const BankEntryHeader* e = GetEntry(bank, kListSounds, number);
    if (!expanded && (e->dataSize != std::uint32_t(n) ||
                      std::memcmp(GetSoundDataAddress(bank, number), bytes, n) != 0)) {
      std::abort();
    }
    if (expanded) {
      std::uint32_t declared;
      std::memcpy(&declared, bytes, 4);
      if (e->dataSize != declared) std::abort();
    }
  }
  SoundWaveInfo info{};
  if (GetSoundWaveInfo(bank, number, &info)) {
    const std::uint32_t dataSize = GetEntry(bank, kListSounds, number)->dataSize;
    if (info.dataOffset > dataSize || info.dataSize > dataSize - info.dataOffset) std::abort();
  }
  // The raw walker over the exact bytes too, with no entry around them.
  std::vector<std::uint8_t> exact(bytes, bytes + n);
  vexa::ReadWaveInfo(exact.data(), exact.size(), &info);
  DestroyImageBank(bank);
  return 0;
}
