// The sample channels of an image bank: choosing a channel, starting a sound from list 1 or a
// file in it, and the per-sound, per-channel and master controls.
//
// The channel records live in the bank (the data), but the bank sits below the sound layer and
// cannot touch a CSound: this file owns the sounds, registers a context teardown step that
// empties the channels of a bank being destroyed, and a hook through which the bank reports
// the deletion of list-1 entries.
#include "sound/sound_channels.h"

#include <vexa/sound.h>
#include <vexa/sound_bank.h>
#include <vexa/stream.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

#include "bank/bank_list.h"
#include "bank/bank_sound_hooks.h"
#include "base/context_teardown.h"
#include "platform/midi/midi.h"
#include "platform/text/codepage.h"
#include "platform/window/messages.h"

namespace vexa {
namespace {

std::mutex gBanksMutex;
std::set<ImageBank*>& Banks() {
  static auto* banks = new std::set<ImageBank*>;  // outlives static destruction
  return *banks;
}

// -1 is the music-end value and small values are numbers of list 1; only the rest is a name.
bool IsName(std::intptr_t sound) { return sound != -1 && std::uintptr_t(sound) > 0xFFFF; }

CSound* Object(const SoundChannel& c) { return static_cast<CSound*>(c.object); }

char16_t Fold(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

template <class Char>
bool SameText(const Char* a, const Char* b) {
  for (;; ++a, ++b) {
    if (Fold(char16_t(std::make_unsigned_t<Char>(*a))) !=
        Fold(char16_t(std::make_unsigned_t<Char>(*b)))) {
      return false;
    }
    if (!*a) return true;
  }
}

// Whether the channel holds `sound` (a number, or a name compared in the channel's width).
bool Holds(const SoundChannel& c, std::intptr_t sound) {
  if (!c.sound) return false;
  if (!IsName(sound)) return !c.name && c.sound == sound;
  if (!c.name) return false;
  if (c.flags & kChannelWideName) {
    return SameText(static_cast<const char16_t*>(c.name), reinterpret_cast<const char16_t*>(sound));
  }
  return SameText(static_cast<const char*>(c.name), reinterpret_cast<const char*>(sound));
}

void FreeName(SoundChannel& c) {
  if (c.flags & kChannelWideName) {
    delete[] static_cast<char16_t*>(c.name);
  } else {
    delete[] static_cast<char*>(c.name);
  }
  c.name = nullptr;
}

// Stops and destroys the channel's sound and clears it; the reserved bit and the channel's
// volume, pan and frequency stay.
void Empty(SoundChannel& c) {
  CSound* s = Object(c);
  c.object = nullptr;
  if (s) s->Destroy();
  FreeName(c);
  c.sound = 0;
  c.flags &= kChannelReserved;
}

bool Playing(SoundChannel& c) {
  CSound* s = Object(c);
  return s && (s->IsPlaying() || s->IsPaused());
}

// A channel whose sound stopped: the sound is destroyed now.
void DropIfStopped(SoundChannel& c) {
  if (c.object && !Playing(c)) Empty(c);
}

void Apply(const ImageBank& bank, SoundChannel& c) {
  CSound* s = Object(c);
  if (!s) return;
  s->SetVolume(int(bank.masterVolume * c.volume / 10));
  const std::intptr_t pan = std::clamp<std::intptr_t>(bank.masterPan + c.pan, -100, 100);
  s->SetPan(int(pan * 10));
}

SoundChannel* ChannelAt(ImageBank* bank, int channel) {
  if (!bank || channel < 1 || channel > bank->channelCount) return nullptr;
  return &bank->channels[channel - 1];
}

template <class Fn>
int ForMatching(ImageBank* bank, std::intptr_t sound, Fn&& fn) {
  if (!bank) return 0;
  int n = 0;
  for (int i = 0; i < kSoundChannelCount; ++i) {
    SoundChannel& c = bank->channels[i];
    if (sound ? Holds(c, sound) : c.sound != 0) fn(c), ++n;
  }
  return n;
}

SoundChannel* FirstMatching(ImageBank* bank, std::intptr_t sound) {
  if (!bank || !sound) return nullptr;
  for (SoundChannel& c : bank->channels) {
    if (Holds(c, sound)) return &c;
  }
  return nullptr;
}

// The channel for a play; null with *status set when there is none.
SoundChannel* ChooseChannel(ImageBank& bank, unsigned flags, int channel, int* status) {
  const bool force = (flags & kPlayForce) != 0;
  const auto kept = [](const SoundChannel& c) {
    return c.object && (c.flags & (kPlayKeep | kPlayForce));
  };
  if (SoundChannel* c = ChannelAt(&bank, channel)) {
    DropIfStopped(*c);
    if (kept(*c) && !force) {
      *status = -1;
      return nullptr;
    }
    return c;
  }
  SoundChannel* chosen = nullptr;
  for (int i = 0; i < bank.channelCount && !chosen; ++i) {
    SoundChannel& c = bank.channels[i];
    if (c.flags & kChannelReserved) continue;
    DropIfStopped(c);
    if (!c.object) chosen = &c;
  }
  for (int i = 0; i < bank.channelCount && !chosen; ++i) {
    SoundChannel& c = bank.channels[i];
    if (!(c.flags & kChannelReserved) && !kept(c)) chosen = &c;
  }
  if (!chosen && force) {
    for (int i = 0; i < bank.channelCount && !chosen; ++i) {
      if (!(bank.channels[i].flags & kChannelReserved)) chosen = &bank.channels[i];
    }
    if (!chosen && bank.channelCount > 0) chosen = &bank.channels[bank.channelCount - 1];
  }
  if (!chosen) {
    *status = 1;
    return nullptr;
  }
  chosen->volume = 100, chosen->pan = 0, chosen->frequency = 0;
  return chosen;
}

void* CopyName(std::intptr_t sound, bool wide) {
  if (wide) {
    const std::u16string_view name(reinterpret_cast<const char16_t*>(sound));
    auto* copy = new char16_t[name.size() + 1];
    std::memcpy(copy, name.data(), name.size() * 2);
    copy[name.size()] = 0;
    return copy;
  }
  const std::string_view name(reinterpret_cast<const char*>(sound));
  auto* copy = new char[name.size() + 1];
  std::memcpy(copy, name.data(), name.size());
  copy[name.size()] = 0;
  return copy;
}

// The stream a play reads: the entry's data, its external window, or the named file.
CInputFile* OpenSource(ImageBank& bank, int number, std::intptr_t sound, bool wide) {
  if (!number) {
    auto* file = new CInputBufFile;
    const int r = wide ? file->Create(reinterpret_cast<const WCHAR*>(sound))
                       : file->Create(reinterpret_cast<const char*>(sound));
    if (r != 0) file->Delete(), file = nullptr;
    return file;
  }
  auto* e = reinterpret_cast<SoundEntryHeader*>(FindEntry(&bank, kListSounds, number));
  if (!e) return nullptr;
  if (e->flags & kSoundEntryExternal) {
    if (e->entry.dataSize < offsetof(ExternalSoundData, path)) return nullptr;
    // Entry data is only 4-byte aligned (it follows a UTF-16 name), so the record's fixed
    // fields are copied out rather than read in place.
    const auto* data = reinterpret_cast<const char*>(e->Data());
    ExternalSoundData x;
    std::memcpy(&x, data, offsetof(ExternalSoundData, path));
    if (x.offset > 0x7FFFFFFF || x.size > 0x7FFFFFFF) return nullptr;
    auto* file = new CInputBufFile;
    int r;
    if (x.file == -1) {
      const char* stored = data + offsetof(ExternalSoundData, path);
      const std::size_t room = e->entry.dataSize - offsetof(ExternalSoundData, path);
      const std::string path(stored, strnlen(stored, room));
      r = file->Create(path.c_str(), int(x.offset), int(x.size));
    } else {
      r = file->Create(HFILE(x.file), int(x.offset), int(x.size));
    }
    if (r != 0) file->Delete(), file = nullptr;
    return file;
  }
  if (e->entry.dataSize > 0x7FFFFFFF) return nullptr;
  auto* memory = new CInputMemFile;
  if (memory->Create(e->Data(), int(e->entry.dataSize)) != 0) memory->Delete(), memory = nullptr;
  return memory;
}

int PlaySample(CSoundManager* manager, ImageBank& bank, std::intptr_t sound, unsigned flags,
               int loops, int channel, bool wide) {
  int number = 0;
  if (flags & kPlayByName) {
    if (!IsName(sound)) return -1;
    const int type = int((flags >> 16) & 0xF);
    number = wide ? FindSoundW(&bank, reinterpret_cast<const WCHAR*>(sound), type)
                  : FindSound(&bank, reinterpret_cast<const char*>(sound), type);
  } else {
    if (IsName(sound)) {
      number = wide ? FindSoundW(&bank, reinterpret_cast<const WCHAR*>(sound), 0)
                    : FindSound(&bank, reinterpret_cast<const char*>(sound), 0);
    } else if (sound > 0 && FindEntry(&bank, kListSounds, int(sound))) {
      number = int(sound);
    }
    if (!number) return -1;
  }
  if (number && !ExpandSoundEntry(bank, number)) return -1;
  if (!manager) return 0;
  int status = 0;
  SoundChannel* c = ChooseChannel(bank, flags, channel, &status);
  if (!c) return status;
  Empty(*c);
  CInputFile* stream = OpenSource(bank, number, sound, wide);
  if (!stream) return -1;
  int loadFlags = (flags & kPlayGlobalFocus) ? 0x03 : 0x01;
  if (flags & kPlayDeferred) loadFlags |= kSoundDeferredStart;
  CSound* s = manager->CreateSoundFromStream(stream, 1, loadFlags);
  if (!s) return -1;  // the stream went with the failed sound
  {
    std::lock_guard lock(gBanksMutex);
    Banks().insert(&bank);
  }
  if (number) {
    c->sound = number;
  } else {
    c->name = CopyName(sound, wide);
    c->sound = reinterpret_cast<std::intptr_t>(c->name);
  }
  c->flags =
      (c->flags & kChannelReserved) | (flags & 0xFFFF & ~(kChannelNarrowName | kChannelWideName));
  if (!number) c->flags |= wide ? kChannelWideName : kChannelNarrowName;
  c->object = s;
  const int count = (flags & kPlayLoopCount) ? loops : 1;
  if (count != 1) s->SetLoop(1, count);
  Apply(bank, *c);
  if (c->frequency) s->SetFrequency(int(c->frequency));
  s->Play();
  return 0;
}

// ---- music ----------------------------------------------------------------------------------

constexpr std::intptr_t kNoPosition = -1;

void CloseMusic(ImageBank& bank) {
  MusicRecord& m = bank.music;
  if (m.device != -1) plat::midi::Close(int(m.device));
  delete[] static_cast<char*>(m.name);
  m = MusicRecord{};
  m.device = -1;
  m.position = kNoPosition;
}

bool HoldsMusic(const ImageBank& bank, std::intptr_t sound) {
  const MusicRecord& m = bank.music;
  if (m.device == -1 || !sound || sound == -1) return false;
  if (!IsName(sound)) return m.sound == sound;
  // Music names are kept as UTF-8; a name argument is compared in the width it was played in.
  if (!m.name) return false;
  if (m.flags & kChannelWideName) {
    const std::string narrow = plat::EncodeNarrow(
        std::u16string_view(reinterpret_cast<const char16_t*>(sound)), plat::kCodePageUtf8);
    return SameText(static_cast<const char*>(m.name), narrow.c_str());
  }
  return SameText(static_cast<const char*>(m.name), reinterpret_cast<const char*>(sound));
}

char* CopyUtf8(const std::string& text) {
  auto* copy = new char[text.size() + 1];
  std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

int PlayMusic(ImageBank& bank, std::intptr_t sound, HWND notify, unsigned flags, int loops,
              bool wide) {
  int number = 0;
  std::string name;  // the argument's name, UTF-8
  if (IsName(sound)) {
    name = wide ? plat::EncodeNarrow(std::u16string_view(reinterpret_cast<const char16_t*>(sound)),
                                     plat::kCodePageUtf8)
                : std::string(reinterpret_cast<const char*>(sound));
    const int type = (flags & kPlayByName) ? int((flags >> 16) & 0xF) : 0;
    number = FindSound(&bank, name.c_str(), type);
    if (!number && !(flags & kPlayByName)) return -1;
  } else if (sound > 0 && FindEntry(&bank, kListSounds, int(sound))) {
    number = int(sound);
  } else {
    return -1;
  }
  std::string element = name;
  if (number) {
    if (!ExpandSoundEntry(bank, number)) return -1;
    auto* e = reinterpret_cast<SoundEntryHeader*>(FindEntry(&bank, kListSounds, number));
    const auto* text = reinterpret_cast<const char*>(e->Data());
    element.assign(text, strnlen(text, e->entry.dataSize));
  }
  const MusicRecord& open = bank.music;
  if (open.device != -1 && (open.flags & (kPlayKeep | kPlayForce)) && !(flags & kPlayForce)) {
    return -1;
  }
  CloseMusic(bank);
  int device = 0;
  if (int error = plat::midi::Open(element.c_str(), &device)) return error;
  if (int error = plat::midi::Play(device, notify, true, 0)) {
    plat::midi::Close(device);
    return error;
  }
  MusicRecord& m = bank.music;
  m.device = device;
  m.loopsLeft = (flags & kPlayLoopCount) ? loops : 1;
  m.notifyWindow = notify;
  m.flags =
      (flags & 0xFFFF & ~(kChannelNarrowName | kChannelWideName)) | (number ? 0
                                                                     : wide ? kChannelWideName
                                                                            : kChannelNarrowName);
  m.name = CopyUtf8(number ? element : name);
  m.sound = number ? number : reinterpret_cast<std::intptr_t>(m.name);
  return 0;
}

// The notice of the music's end: another pass while loops are left, else the music closes.
int MusicEnded(ImageBank& bank) {
  MusicRecord& m = bank.music;
  if (m.device == -1) return 0;
  bool again = false;
  if (m.flags & kPlayLoopCount) {
    if (m.loopsLeft != 0) {
      again = --m.loopsLeft != 0;
    } else {
      again = true;  // endless
    }
  }
  if (again && plat::midi::Play(int(m.device), m.notifyWindow, true, 0) == 0) return 1;
  CloseMusic(bank);
  return 1;
}

int PauseMusic(ImageBank& bank) {
  MusicRecord& m = bank.music;
  if (m.device == -1 || m.paused) return 0;
  DWORD ms = 0;
  m.position = plat::midi::GetPositionMs(int(m.device), &ms) == 0 ? std::intptr_t(ms) : kNoPosition;
  plat::midi::Pause(int(m.device));
  m.paused = 1;
  return 1;
}

int ResumeMusic(ImageBank& bank) {
  MusicRecord& m = bank.music;
  if (m.device == -1 || !m.paused) return 0;
  const int device = int(m.device);
  int error = 1;
  if (m.position != kNoPosition) {
    error = plat::midi::Play(device, m.notifyWindow, true, DWORD(m.position));
  }
  if (error) error = plat::midi::Play(device, m.notifyWindow, false, 0);
  if (error) return 0;
  m.paused = 0;
  m.position = kNoPosition;
  return 1;
}

int PlayAny(CSoundManager* manager, ImageBank* bank, std::intptr_t sound, HWND notify,
            unsigned flags, int loops, int channel, bool wide) {
  if (!bank || !sound) return -1;
  // Bits 16-19 give a looked-up name's type; without a name the sound's entry tells it.
  int type = kSoundSample;
  if (flags & kPlayByName) {
    if ((flags >> 16 & 0xF) == kSoundMusic) type = kSoundMusic;
  } else if (!IsName(sound) && sound > 0) {
    auto* e = reinterpret_cast<SoundEntryHeader*>(FindEntry(bank, kListSounds, int(sound)));
    if (e && (e->flags & kSoundEntryTypeMask) == kSoundTypeMidi) type = kSoundMusic;
  }
  if (type == kSoundMusic) return PlayMusic(*bank, sound, notify, flags, loops, wide);
  return PlaySample(manager, *bank, sound, flags, loops, channel, wide);
}

void BankGoing(ImageBank* bank) {
  for (SoundChannel& c : bank->channels) Empty(c);
  CloseMusic(*bank);
  std::lock_guard lock(gBanksMutex);
  Banks().erase(bank);
}

void EntryGoing(ImageBank& bank, int number) {
  for (SoundChannel& c : bank.channels) {
    if (!c.name && c.sound == number) Empty(c);
  }
}

// A bank that goes stops its channels and closes its music before anything of it is destroyed.
[[maybe_unused]] const bool kHooks =
    (SetBankSoundHooks(BankSoundHooks{EntryGoing}),
     AddContextTeardown(&BankGoing, TeardownStage::kStopReaders), true);

// The end of a piece reaches the notify window as a queued message: the sequencer calls this on
// the mixing thread, where nothing may wait on a window procedure.
void PostMusicNotice(HWND window, UINT message, std::uintptr_t wParam, std::intptr_t lParam) {
  plat::PostMessage(window, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}
[[maybe_unused]] const bool kNoticePoster = (plat::midi::SetNotifySink(PostMusicNotice), true);

int ClampVolume(int v) { return std::clamp(v, 0, 100); }
int ClampPan(int p) { return std::clamp(p, -100, 100); }

}  // namespace

void ForgetSoundInChannels(CSound* sound) {
  std::lock_guard lock(gBanksMutex);
  for (ImageBank* bank : Banks()) {
    for (SoundChannel& c : bank->channels) {
      if (c.object != sound) continue;
      c.object = nullptr;
      FreeName(c);
      c.sound = 0;
      c.flags &= kChannelReserved;
    }
  }
}

}  // namespace vexa

using namespace vexa;

int Play(CSoundManager* manager, ImageBank* bank, std::intptr_t sound, HWND notify, unsigned flags,
         int loops, int channel) {
  return PlayAny(manager, bank, sound, notify, flags, loops, channel, false);
}

int PlayW(CSoundManager* manager, ImageBank* bank, std::intptr_t sound, HWND notify, unsigned flags,
          int loops, int channel) {
  return PlayAny(manager, bank, sound, notify, flags, loops, channel, true);
}

int StopSound(ImageBank* bank, int type, std::intptr_t sound) {
  if (bank && type == kSoundMusic) {
    if (sound == -1) return MusicEnded(*bank);
    if (bank->music.device == -1) return 0;
    CloseMusic(*bank);
    return 1;
  }
  if (type != kSoundSample) return 0;
  return ForMatching(bank, sound, [](SoundChannel& c) { Empty(c); }) ? 1 : 0;
}

int PauseSound(ImageBank* bank, int type, std::intptr_t sound) {
  if (bank && type == kSoundMusic) return PauseMusic(*bank);
  if (type != kSoundSample) return 0;
  return ForMatching(bank, sound,
                     [](SoundChannel& c) {
                       CSound* s = Object(c);
                       if (s && s->IsPlaying() && !s->IsPaused()) s->Pause();
                     })
             ? 1
             : 0;
}

int ResumeSound(ImageBank* bank, int type, std::intptr_t sound) {
  if (bank && type == kSoundMusic) return ResumeMusic(*bank);
  if (type != kSoundSample) return 0;
  return ForMatching(bank, sound,
                     [](SoundChannel& c) {
                       CSound* s = Object(c);
                       if (s && s->IsPaused()) s->Resume();
                     })
             ? 1
             : 0;
}

int IsSoundPlaying(ImageBank* bank, std::intptr_t sound) {
  bool playing = false;
  ForMatching(bank, sound, [&](SoundChannel& c) {
    DropIfStopped(c);
    playing = playing || c.object;
  });
  if (!bank) return 0;
  if (!sound) return (playing ? 1 : 0) + (bank->music.device != -1 ? 2 : 0);
  return playing || HoldsMusic(*bank, sound) ? 1 : 0;
}

int IsSoundPaused(ImageBank* bank, std::intptr_t sound) {
  bool paused = false;
  ForMatching(bank, sound,
              [&](SoundChannel& c) { paused = paused || (Object(c) && Object(c)->IsPaused()); });
  if (!bank) return 0;
  const bool musicPaused = bank->music.device != -1 && bank->music.paused;
  if (!sound) return (paused ? 1 : 0) + (musicPaused ? 2 : 0);
  if (paused) return 1;
  return musicPaused && HoldsMusic(*bank, sound) ? 2 : 0;
}

int SetSoundVolume(ImageBank* bank, int type, std::intptr_t sound, int volume) {
  if (type != kSoundSample) return 0;
  return ForMatching(bank, sound,
                     [&](SoundChannel& c) {
                       c.volume = ClampVolume(volume);
                       Apply(*bank, c);
                     })
             ? 1
             : 0;
}

int SetSoundPan(ImageBank* bank, int type, std::intptr_t sound, int pan) {
  if (type != kSoundSample) return 0;
  return ForMatching(bank, sound,
                     [&](SoundChannel& c) {
                       c.pan = ClampPan(pan);
                       Apply(*bank, c);
                     })
             ? 1
             : 0;
}

int SetSoundFrequency(ImageBank* bank, int type, std::intptr_t sound, int hz) {
  if (type != kSoundSample) return 0;
  return ForMatching(bank, sound,
                     [&](SoundChannel& c) {
                       c.frequency = std::max(hz, 0);
                       if (CSound* s = Object(c)) s->SetFrequency(int(c.frequency));
                     })
             ? 1
             : 0;
}

int SetSoundPositionMs(ImageBank* bank, int type, std::intptr_t sound, int ms) {
  if (type != kSoundSample) return 0;
  return ForMatching(bank, sound,
                     [&](SoundChannel& c) {
                       if (CSound* s = Object(c)) s->SetPositionMs(DWORD(std::max(ms, 0)));
                     })
             ? 1
             : 0;
}

namespace {

int ChannelFrequency(SoundChannel& c) {
  CSound* s = Object(c);
  return s ? int(s->GetFrequency()) : int(c.frequency);
}

int ChannelPositionMs(SoundChannel& c) {
  CSound* s = Object(c);
  return s ? int(s->GetPositionMs()) : 0;
}

int ChannelDurationMs(SoundChannel& c) {
  CSound* s = Object(c);
  return s ? int(s->GetDuration()) : 0;
}

}  // namespace

int GetSoundVolume(ImageBank* bank, int type, std::intptr_t sound) {
  SoundChannel* c = type == kSoundSample ? FirstMatching(bank, sound) : nullptr;
  return c ? int(c->volume) : 0;
}

int GetSoundPan(ImageBank* bank, int type, std::intptr_t sound) {
  SoundChannel* c = type == kSoundSample ? FirstMatching(bank, sound) : nullptr;
  return c ? int(c->pan) : 0;
}

int GetSoundFrequency(ImageBank* bank, int type, std::intptr_t sound) {
  SoundChannel* c = type == kSoundSample ? FirstMatching(bank, sound) : nullptr;
  return c ? ChannelFrequency(*c) : 0;
}

int GetSoundPositionMs(ImageBank* bank, int type, std::intptr_t sound) {
  SoundChannel* c = type == kSoundSample ? FirstMatching(bank, sound) : nullptr;
  return c ? ChannelPositionMs(*c) : 0;
}

int GetSoundDurationMs(ImageBank* bank, int type, std::intptr_t sound) {
  SoundChannel* c = type == kSoundSample ? FirstMatching(bank, sound) : nullptr;
  return c ? ChannelDurationMs(*c) : 0;
}

int SetMasterVolume(ImageBank* bank, int type, int volume) {
  if (!bank || type != kSoundSample) return 0;
  bank->masterVolume = ClampVolume(volume);
  for (SoundChannel& c : bank->channels) Apply(*bank, c);
  return 1;
}

int SetMasterPan(ImageBank* bank, int type, int pan) {
  if (!bank || type != kSoundSample) return 0;
  bank->masterPan = ClampPan(pan);
  for (SoundChannel& c : bank->channels) Apply(*bank, c);
  return 1;
}

int GetMasterVolume(ImageBank* bank, int type) {
  return bank && type == kSoundSample ? bank->masterVolume : 0;
}

int GetMasterPan(ImageBank* bank, int type) {
  return bank && type == kSoundSample ? bank->masterPan : 0;
}

int FindSoundChannel(ImageBank* bank, std::intptr_t sound) {
  if (!bank || !sound) return 0;
  for (int i = 0; i < bank->channelCount; ++i) {
    if (Holds(bank->channels[i], sound)) return i + 1;
  }
  return 0;
}

int ReserveChannel(ImageBank* bank, int channel, int on) {
  SoundChannel* c = ChannelAt(bank, channel);
  if (!c) return 0;
  c->flags = on ? (c->flags | kChannelReserved) : (c->flags & ~kChannelReserved);
  return 1;
}

int PauseChannel(ImageBank* bank, int channel) {
  SoundChannel* c = ChannelAt(bank, channel);
  CSound* s = c ? Object(*c) : nullptr;
  if (!s || !s->IsPlaying() || s->IsPaused()) return 0;
  return s->Pause();
}

int ResumeChannel(ImageBank* bank, int channel) {
  SoundChannel* c = ChannelAt(bank, channel);
  CSound* s = c ? Object(*c) : nullptr;
  if (!s || !s->IsPaused()) return 0;
  return s->Resume();
}

int IsChannelPaused(ImageBank* bank, int channel) {
  SoundChannel* c = ChannelAt(bank, channel);
  return c && Object(*c) && Object(*c)->IsPaused() ? 1 : 0;
}

int IsChannelPlaying(ImageBank* bank, int channel) {
  SoundChannel* c = ChannelAt(bank, channel);
  if (!c) return 0;
  DropIfStopped(*c);
  return c->object ? 1 : 0;
}

int SetChannelVolume(ImageBank* bank, int channel, int volume) {
  SoundChannel* c = ChannelAt(bank, channel);
  if (!c) return 0;
  c->volume = ClampVolume(volume);
  Apply(*bank, *c);
  return 1;
}

int SetChannelPan(ImageBank* bank, int channel, int pan) {
  SoundChannel* c = ChannelAt(bank, channel);
  if (!c) return 0;
  c->pan = ClampPan(pan);
  Apply(*bank, *c);
  return 1;
}

int SetChannelFrequency(ImageBank* bank, int channel, int hz) {
  SoundChannel* c = ChannelAt(bank, channel);
  if (!c) return 0;
  c->frequency = std::max(hz, 0);
  if (CSound* s = Object(*c)) s->SetFrequency(int(c->frequency));
  return 1;
}

int SetChannelPositionMs(ImageBank* bank, int channel, int ms) {
  SoundChannel* c = ChannelAt(bank, channel);
  CSound* s = c ? Object(*c) : nullptr;
  return s ? s->SetPositionMs(DWORD(std::max(ms, 0))) : 0;
}

int GetChannelVolume(ImageBank* bank, int channel) {
  SoundChannel* c = ChannelAt(bank, channel);
  return c ? int(c->volume) : 0;
}

int GetChannelPan(ImageBank* bank, int channel) {
  SoundChannel* c = ChannelAt(bank, channel);
  return c ? int(c->pan) : 0;
}

int GetChannelFrequency(ImageBank* bank, int channel) {
  SoundChannel* c = ChannelAt(bank, channel);
  return c ? ChannelFrequency(*c) : 0;
}

int GetChannelPositionMs(ImageBank* bank, int channel) {
  SoundChannel* c = ChannelAt(bank, channel);
  return c ? ChannelPositionMs(*c) : 0;
}

int GetChannelDurationMs(ImageBank* bank, int channel) {
  SoundChannel* c = ChannelAt(bank, channel);
  return c ? ChannelDurationMs(*c) : 0;
}
