// The bank keeps the data of its sound channels and music slot; the sound layer above it owns
// the sounds playing in them. This hook lets the bank tell that layer when a list-1 entry goes
// away, so that no channel keeps a sound reading freed memory. (A whole bank going away reaches
// the sound layer through the context teardown steps, which stop the channels first.)
#pragma once

#include <cstddef>
#include <cstdint>

#include <vexa/image_bank.h>
#include <vexa/sound_bank.h>

namespace vexa {

struct BankSoundHooks {
  void (*entryGoing)(ImageBank& bank, int number) = nullptr;  // stop channels playing the entry
};

void SetBankSoundHooks(const BankSoundHooks& hooks);
const BankSoundHooks& GetBankSoundHooks();

// The channel and music defaults of a new bank.
void InitBankSoundState(ImageBank& bank);

// Replaces a compressed list-1 entry by its expanded form under the same number and name.
// False (entry unchanged) when the declared size is implausible or the stream is bad.
bool ExpandSoundEntry(ImageBank& bank, int number);

// The format and data chunk of wave bytes, found by walking the RIFF chunks within `size`.
bool ReadWaveInfo(const std::uint8_t* bytes, std::size_t size, SoundWaveInfo* info);

}  // namespace vexa
