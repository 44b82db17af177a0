// Sounds kept in an image bank (list 1), and the bank's sample channels and music slot.
//
// A list-1 entry is the entry header, a flags word, the sound's name (UTF-16, terminated) and
// the data: wave file bytes, the element name of a MIDI piece, or for an external-file entry a
// window (handle or path, offset, size) into another file. Sounds are passed to the channel
// functions as numbers of list 1 or as name pointers (values above 0xFFFF); both are
// pointer-sized.
#pragma once

#include <cstdint>

#include <vexa/export.h>
#include <vexa/image_bank.h>
#include <vexa/wintypes.h>

class CSoundManager;

// Entry flags (the flags word of a list-1 entry).
inline constexpr std::uint32_t kSoundEntryTypeMask = 0xF;
inline constexpr std::uint32_t kSoundTypeWave = 1;
inline constexpr std::uint32_t kSoundTypeMidi = 2;
inline constexpr std::uint32_t kSoundEntryCompressed = 0x10;  // 32-bit size, then a zlib stream
inline constexpr std::uint32_t kSoundEntryExternal = 0x20;    // data is an ExternalSoundData

// AddSound flags beyond the entry's flags word (bits 0-15).
inline constexpr std::uint32_t kAddSoundReuse = 0x10000;  // an identical entry is reused
inline constexpr std::uint32_t kAddSoundNoChecksum = 0x20000;

struct SoundEntryHeader {
  BankEntryHeader entry;  // headerSize: 20 + the name's bytes, rounded up to 4
  std::uint32_t flags;
  WCHAR* Name() { return reinterpret_cast<WCHAR*>(this + 1); }
  std::uint8_t* Data() { return reinterpret_cast<std::uint8_t*>(this) + entry.headerSize; }
};
static_assert(sizeof(SoundEntryHeader) == 20);

// The data of an external-file entry: an open file (or -1 and a path), and the window of it
// that holds the sound.
struct ExternalSoundData {
  std::intptr_t file;  // an HFILE, or -1: open `path`
  std::uint32_t offset;
  std::uint32_t size;
  char path[1];  // UTF-8, terminated, when file is -1
};

// What GetSoundWaveInfo reports of a wave entry.
struct SoundWaveInfo {
  WORD formatTag;
  WORD channels;
  DWORD samplesPerSec;
  DWORD avgBytesPerSec;
  WORD blockAlign;
  WORD bitsPerSample;
  DWORD dataOffset;  // of the sample bytes within the entry's data
  DWORD dataSize;
};

// ---- list 1 ------------------------------------------------------------------------------

// Adds a sound; returns its number, 0 on failure.
VEXA_API int AddSound(ImageBank* bank, std::uint32_t flags, const char* name, const void* data,
                      int size);
VEXA_API int AddSoundW(ImageBank* bank, std::uint32_t flags, const WCHAR* name, const void* data,
                       int size);
// The number of the sound of that name (case ignored) and type (0: any), or 0.
VEXA_API int FindSound(ImageBank* bank, const char* name, int type);
VEXA_API int FindSoundW(ImageBank* bank, const WCHAR* name, int type);
// Copies at most `size` bytes of the data out; returns the data's size (0: no such sound).
VEXA_API int GetSoundData(ImageBank* bank, int number, void* destination, int size);
VEXA_API void* GetSoundDataAddress(ImageBank* bank, int number);
// 1 with the format and data chunk of a wave entry; 0 for anything else.
VEXA_API int GetSoundWaveInfo(ImageBank* bank, int number, SoundWaveInfo* info);
// Copies the name (terminated, cut to `size`); returns its length in characters.
VEXA_API int GetSoundName(ImageBank* bank, int number, char* buffer, int size);
VEXA_API int GetSoundNameW(ImageBank* bank, int number, WCHAR* buffer, int size);
// Replaces the flags word except the type bits; returns the new word (0: no such sound).
VEXA_API int SetSoundFlags(ImageBank* bank, int number, std::uint32_t flags);
// Stops the channels that play the sound, then drops one reference; 1 when it existed.
VEXA_API int DeleteSound(ImageBank* bank, int number);

// ---- channels and music --------------------------------------------------------------------

inline constexpr int kSoundSample = 1;
inline constexpr int kSoundMusic = 2;

// Play flags.
inline constexpr unsigned kPlayKeep = 0x0001;
inline constexpr unsigned kPlayForce = 0x0002;
inline constexpr unsigned kPlayLoopCount = 0x0010;
inline constexpr unsigned kPlayGlobalFocus = 0x0020;
inline constexpr unsigned kPlayByName = 0x0040;
inline constexpr unsigned kPlayDeferred = 0x0200;

// Plays a sample (0 started, 1 no free channel, -1 failure) or music (0 or an error number).
// `channel` is 1-based; 0 or out of range chooses one.
VEXA_API int Play(CSoundManager* manager, ImageBank* bank, std::intptr_t sound, HWND notify,
                  unsigned flags, int loops, int channel);
VEXA_API int PlayW(CSoundManager* manager, ImageBank* bank, std::intptr_t sound, HWND notify,
                   unsigned flags, int loops, int channel);

VEXA_API int StopSound(ImageBank* bank, int type, std::intptr_t sound);
VEXA_API int PauseSound(ImageBank* bank, int type, std::intptr_t sound);
VEXA_API int ResumeSound(ImageBank* bank, int type, std::intptr_t sound);
VEXA_API int IsSoundPlaying(ImageBank* bank, std::intptr_t sound);
VEXA_API int IsSoundPaused(ImageBank* bank, std::intptr_t sound);
VEXA_API int SetSoundVolume(ImageBank* bank, int type, std::intptr_t sound, int volume);
VEXA_API int SetSoundPan(ImageBank* bank, int type, std::intptr_t sound, int pan);
VEXA_API int SetSoundFrequency(ImageBank* bank, int type, std::intptr_t sound, int hz);
VEXA_API int SetSoundPositionMs(ImageBank* bank, int type, std::intptr_t sound, int ms);
VEXA_API int GetSoundVolume(ImageBank* bank, int type, std::intptr_t sound);
VEXA_API int GetSoundPan(ImageBank* bank, int type, std::intptr_t sound);
VEXA_API int GetSoundFrequency(ImageBank* bank, int type, std::intptr_t sound);
VEXA_API int GetSoundPositionMs(ImageBank* bank, int type, std::intptr_t sound);
VEXA_API int GetSoundDurationMs(ImageBank* bank, int type, std::intptr_t sound);
VEXA_API int SetMasterVolume(ImageBank* bank, int type, int volume);
VEXA_API int SetMasterPan(ImageBank* bank, int type, int pan);
VEXA_API int GetMasterVolume(ImageBank* bank, int type);
VEXA_API int GetMasterPan(ImageBank* bank, int type);
VEXA_API int FindSoundChannel(ImageBank* bank, std::intptr_t sound);
VEXA_API int ReserveChannel(ImageBank* bank, int channel, int on);
VEXA_API int PauseChannel(ImageBank* bank, int channel);
VEXA_API int ResumeChannel(ImageBank* bank, int channel);
VEXA_API int IsChannelPaused(ImageBank* bank, int channel);
VEXA_API int IsChannelPlaying(ImageBank* bank, int channel);
VEXA_API int SetChannelVolume(ImageBank* bank, int channel, int volume);
VEXA_API int SetChannelPan(ImageBank* bank, int channel, int pan);
VEXA_API int SetChannelFrequency(ImageBank* bank, int channel, int hz);
VEXA_API int SetChannelPositionMs(ImageBank* bank, int channel, int ms);
VEXA_API int GetChannelVolume(ImageBank* bank, int channel);
VEXA_API int GetChannelPan(ImageBank* bank, int channel);
VEXA_API int GetChannelFrequency(ImageBank* bank, int channel);
VEXA_API int GetChannelPositionMs(ImageBank* bank, int channel);
VEXA_API int GetChannelDurationMs(ImageBank* bank, int channel);
