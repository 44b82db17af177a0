// List 1: sounds kept in the bank, their names, flags, wave information and expansion.
#include <vexa/compression.h>
#include <vexa/sound_bank.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "bank/bank_checksum.h"
#include "bank/bank_list.h"
#include "bank/bank_sound_hooks.h"
#include "platform/text/codepage.h"

namespace vexa {
namespace {

BankSoundHooks gHooks;

// zlib cannot expand data by more than about 1032 to 1.
constexpr std::uint64_t kMaxInflateRatio = 1032;

std::uint32_t Read32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}
std::uint16_t Read16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }

SoundEntryHeader* SoundEntry(ImageBank* bank, int number) {
  return reinterpret_cast<SoundEntryHeader*>(FindEntry(bank, kListSounds, number));
}

std::size_t NameLength(const SoundEntryHeader* e) {
  const std::size_t room = (e->entry.headerSize - sizeof(SoundEntryHeader)) / 2;
  const WCHAR* name = const_cast<SoundEntryHeader*>(e)->Name();
  std::size_t n = 0;
  while (n < room && name[n]) ++n;
  return n;
}

char16_t Fold(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

bool SameName(const WCHAR* a, std::size_t length, std::u16string_view b) {
  if (length != b.size()) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

std::u16string Widen(const char* name) {
  return name ? plat::DecodeNarrow(name, plat::kCodePageUtf8) : std::u16string();
}

std::uint32_t HeaderSizeFor(std::size_t nameLength) {
  return std::uint32_t((sizeof(SoundEntryHeader) + (nameLength + 1) * 2 + 3) & ~std::size_t(3));
}

// A new entry block with the header, flags and name written; the data left zero.
SoundEntryHeader* NewSoundEntry(std::u16string_view name, std::uint32_t flags,
                                std::uint64_t dataSize) {
  if (dataSize > kMaxEntryBytes) return nullptr;
  auto* e = reinterpret_cast<SoundEntryHeader*>(
      AllocateEntry(HeaderSizeFor(name.size()), std::uint32_t(dataSize), true));
  if (!e) return nullptr;
  e->flags = flags;
  std::memcpy(e->Name(), name.data(), name.size() * 2);
  e->Name()[name.size()] = 0;
  return e;
}

int AddSoundEntry(ImageBank* bank, std::uint32_t flags, std::u16string_view name, const void* data,
                  int size) {
  if (!bank || size < 0 || (size > 0 && !data)) return 0;
  SoundEntryHeader* e = NewSoundEntry(name, flags & 0xFFFF, std::uint64_t(size));
  if (!e) return 0;
  if (size > 0) std::memcpy(e->Data(), data, std::size_t(size));
  if (!(flags & kAddSoundNoChecksum)) e->entry.checksum = EntryChecksum(e->entry);
  const int number = InsertEntry(*bank, kListSounds, &e->entry, 0);
  if (!number) {
    FreeEntry(&e->entry);
    return 0;
  }
  return (flags & kAddSoundReuse) ? MergeDuplicate(*bank, kListSounds, number) : number;
}

int FindSoundEntry(ImageBank* bank, std::u16string_view name, int type) {
  if (!bank) return 0;
  int found = 0;
  ForEachEntry(*bank, kListSounds, [&](int number, BankEntryHeader* entry) {
    auto* e = reinterpret_cast<SoundEntryHeader*>(entry);
    if (found || (type && int(e->flags & kSoundEntryTypeMask) != type)) return;
    if (SameName(e->Name(), NameLength(e), name)) found = number;
  });
  return found;
}

}  // namespace

void SetBankSoundHooks(const BankSoundHooks& hooks) { gHooks = hooks; }
const BankSoundHooks& GetBankSoundHooks() { return gHooks; }

void InitBankSoundState(ImageBank& bank) {
  bank.masterVolume = 100;
  bank.masterPan = 0;
  bank.channelCount = kSoundChannelCount;
  for (SoundChannel& c : bank.channels) c = SoundChannel{0, nullptr, 0, nullptr, 100, 0, 0};
  bank.music = MusicRecord{};
  bank.music.device = -1;
  bank.music.position = -1;
}

bool ReadWaveInfo(const std::uint8_t* bytes, std::size_t size, SoundWaveInfo* info) {
  if (!bytes || size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 ||
      std::memcmp(bytes + 8, "WAVE", 4) != 0) {
    return false;
  }
  // The RIFF size may overstate the bytes present; only what is there is walked.
  const std::size_t end = std::min<std::size_t>(size, std::size_t(Read32(bytes + 4)) + 8);
  bool haveFormat = false;
  std::size_t at = 12;
  while (at + 8 <= end) {
    const std::uint8_t* chunk = bytes + at;
    const std::size_t body = at + 8;
    const std::size_t length = Read32(chunk + 4);
    const std::size_t present = std::min(length, end - body);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (present < 16) return false;
      const std::uint8_t* f = bytes + body;
      info->formatTag = Read16(f);
      info->channels = Read16(f + 2);
      info->samplesPerSec = Read32(f + 4);
      info->avgBytesPerSec = Read32(f + 8);
      info->blockAlign = Read16(f + 12);
      info->bitsPerSample = Read16(f + 14);
      haveFormat = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!haveFormat) return false;
      info->dataOffset = DWORD(body);
      info->dataSize = DWORD(present);
      return true;
    }
    if (length > end - body) break;  // a chunk running past the end: nothing follows it
    at = body + length + (length & 1);
  }
  return false;
}

bool ExpandSoundEntry(ImageBank& bank, int number) {
  SoundEntryHeader* e = SoundEntry(&bank, number);
  if (!e || !(e->flags & kSoundEntryCompressed)) return e != nullptr;
  if (e->entry.dataSize < 4) return false;
  const std::uint8_t* source = e->Data();
  const std::uint64_t declared = Read32(source);
  const std::uint64_t packed = e->entry.dataSize - 4;
  if (declared == 0 || declared > kMaxEntryBytes - e->entry.headerSize ||
      declared > packed * kMaxInflateRatio + 64) {
    return false;
  }
  const std::u16string name(e->Name(), NameLength(e));
  SoundEntryHeader* expanded = NewSoundEntry(name, e->flags & ~kSoundEntryCompressed, declared);
  if (!expanded) return false;
  if (InflateMemory(expanded->Data(), source + 4, int(declared), int(packed)) != 0) {
    FreeEntry(&expanded->entry);
    return false;
  }
  if (e->entry.checksum) expanded->entry.checksum = EntryChecksum(expanded->entry);
  if (!SetEntryAt(bank, kListSounds, number, &expanded->entry)) {
    FreeEntry(&expanded->entry);
    return false;
  }
  return true;
}

}  // namespace vexa

using namespace vexa;

int AddSound(ImageBank* bank, std::uint32_t flags, const char* name, const void* data, int size) {
  return AddSoundEntry(bank, flags, Widen(name), data, size);
}

int AddSoundW(ImageBank* bank, std::uint32_t flags, const WCHAR* name, const void* data, int size) {
  return AddSoundEntry(bank, flags, name ? std::u16string_view(name) : std::u16string_view(), data,
                       size);
}

int FindSound(ImageBank* bank, const char* name, int type) {
  return name ? FindSoundEntry(bank, Widen(name), type) : 0;
}

int FindSoundW(ImageBank* bank, const WCHAR* name, int type) {
  return name ? FindSoundEntry(bank, name, type) : 0;
}

int GetSoundData(ImageBank* bank, int number, void* destination, int size) {
  SoundEntryHeader* e = SoundEntry(bank, number);
  if (!e) return 0;
  if (destination && size > 0) {
    const std::size_t n = std::min<std::size_t>(std::size_t(size), e->entry.dataSize);
    std::memcpy(destination, e->Data(), n);
  }
  return int(e->entry.dataSize);
}

void* GetSoundDataAddress(ImageBank* bank, int number) {
  SoundEntryHeader* e = SoundEntry(bank, number);
  return e ? e->Data() : nullptr;
}

int GetSoundWaveInfo(ImageBank* bank, int number, SoundWaveInfo* info) {
  SoundEntryHeader* e = SoundEntry(bank, number);
  if (!e || !info || (e->flags & kSoundEntryTypeMask) != kSoundTypeWave ||
      (e->flags & (kSoundEntryCompressed | kSoundEntryExternal))) {
    return 0;
  }
  SoundWaveInfo found{};
  if (!ReadWaveInfo(e->Data(), e->entry.dataSize, &found)) return 0;
  *info = found;
  return 1;
}

int GetSoundName(ImageBank* bank, int number, char* buffer, int size) {
  SoundEntryHeader* e = SoundEntry(bank, number);
  if (!e) return 0;
  const std::string name =
      plat::EncodeNarrow(std::u16string_view(e->Name(), NameLength(e)), plat::kCodePageUtf8);
  if (buffer && size > 0) {
    const std::size_t n = std::min(name.size(), std::size_t(size - 1));
    std::memcpy(buffer, name.data(), n);
    buffer[n] = 0;
  }
  return int(name.size());
}

int GetSoundNameW(ImageBank* bank, int number, WCHAR* buffer, int size) {
  SoundEntryHeader* e = SoundEntry(bank, number);
  if (!e) return 0;
  const std::size_t length = NameLength(e);
  if (buffer && size > 0) {
    const std::size_t n = std::min(length, std::size_t(size - 1));
    std::memcpy(buffer, e->Name(), n * 2);
    buffer[n] = 0;
  }
  return int(length);
}

int SetSoundFlags(ImageBank* bank, int number, std::uint32_t flags) {
  SoundEntryHeader* e = SoundEntry(bank, number);
  if (!e) return 0;
  e->flags = (e->flags & kSoundEntryTypeMask) | (flags & 0xFFFF & ~kSoundEntryTypeMask);
  if (e->entry.checksum) e->entry.checksum = EntryChecksum(e->entry);  // it covers the flags
  return int(e->flags);
}

int DeleteSound(ImageBank* bank, int number) {
  SoundEntryHeader* e = SoundEntry(bank, number);
  if (!e) return 0;
  // Channels stream from the entry's bytes: they stop before the bytes go.
  if (e->entry.refCount <= 1 && GetBankSoundHooks().entryGoing) {
    GetBankSoundHooks().entryGoing(*bank, number);
  }
  ReleaseEntry(*bank, kListSounds, number);
  return 1;
}
