// The audio device the sound system plays through: a device object that makes secondary
// buffers (circular byte buffers with a play cursor, looping, volume, pan and frequency) and a
// primary buffer that carries the output format.
//
// Only the null device exists so far: its buffers keep their bytes and nothing is heard. A
// test moves the play cursors of every playing buffer with Pump(frames), marks buffers lost
// and makes device or buffer creation fail. The software mixer that feeds a real output will
// sit behind the same interface.
#pragma once

#include <cstdint>

#include <vexa/wintypes.h>

namespace plat::audio {

// Results of the buffer and device operations.
inline constexpr int kOk = 0;
inline constexpr int kGenericError = 1;
inline constexpr int kBufferLost = 2;
inline constexpr int kInvalidParameter = 3;
inline constexpr int kOutOfMemory = 4;

// Buffer description flags.
inline constexpr DWORD kPrimaryBuffer = 0x1;
inline constexpr DWORD kStaticBuffer = 0x2;
inline constexpr DWORD kControl3D = 0x10;
inline constexpr DWORD kControlFrequency = 0x20;
inline constexpr DWORD kControlPan = 0x40;
inline constexpr DWORD kControlVolume = 0x80;
inline constexpr DWORD kStickyFocus = 0x4000;
inline constexpr DWORD kGlobalFocus = 0x8000;
inline constexpr DWORD kPositionNotify2 = 0x10000;

// Status bits and play flags.
inline constexpr DWORD kStatusPlaying = 0x1;
inline constexpr DWORD kStatusBufferLost = 0x2;
inline constexpr DWORD kStatusLooping = 0x4;
inline constexpr DWORD kPlayLooping = 0x1;

// Volume range in hundredths of a decibel, pan range, frequency range.
inline constexpr LONG kVolumeMin = -10000;
inline constexpr LONG kVolumeMax = 0;
inline constexpr LONG kPanLeft = -10000;
inline constexpr LONG kPanRight = 10000;
inline constexpr DWORD kFrequencyMin = 100;
inline constexpr DWORD kFrequencyMax = 100000;

struct BufferDesc {
  DWORD size = sizeof(BufferDesc);
  DWORD flags = 0;
  DWORD bufferBytes = 0;  // 0 for a primary buffer
  DWORD reserved = 0;
  const WAVEFORMATEX* format = nullptr;  // null for a primary buffer
};

class Buffer {
 public:
  virtual ~Buffer() = default;
  virtual int GetCurrentPosition(DWORD* play, DWORD* write) = 0;
  virtual int GetFormat(WAVEFORMATEX* format) = 0;        // 18 bytes
  virtual int SetFormat(const WAVEFORMATEX* format) = 0;  // primary buffers only
  virtual int GetStatus(DWORD* status) = 0;
  // Locks bytes from offset; a range that passes the end wraps into the second part.
  virtual int Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2,
                   DWORD* bytes2) = 0;
  virtual int Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) = 0;
  virtual int Play(DWORD flags) = 0;
  virtual int SetCurrentPosition(DWORD position) = 0;
  virtual int SetVolume(LONG hundredthsOfDb) = 0;
  virtual int SetPan(LONG pan) = 0;
  virtual int SetFrequency(DWORD hz) = 0;  // 0: the format's own rate
  virtual int Stop() = 0;
  virtual int Restore() = 0;
  virtual void Release() = 0;
};

class Device {
 public:
  virtual ~Device() = default;
  virtual int SetCooperativeLevel(HWND window, DWORD level) = 0;
  virtual int CreateSoundBuffer(const BufferDesc& desc, Buffer** buffer) = 0;
  virtual void Release() = 0;
};

// Opens the first device; kOutOfMemory (device null) when none can be opened.
int CreateDevice(Device** device);

// ---- null device controls, for tests -------------------------------------------------------

// Moves every playing buffer's play cursor by `frames` output frames at the buffer's
// frequency: a buffer whose frequency equals its format's rate moves exactly `frames` frames.
// Looping buffers wrap; others stop at their end with the cursor back at 0.
void Pump(DWORD frames);

// The next `count` device creations (or primary / secondary buffer creations) fail.
void FailDeviceCreations(int count);
void FailPrimaryBufferCreations(int count);
void FailBufferCreations(int count);

// Marks a buffer lost: Lock, Play and the cursors fail until Restore; Restore fails `count`
// times first when FailRestores(count) was set.
void MarkLost(Buffer* buffer);
void FailRestores(int count);

// What the null device recorded, for tests.
struct BufferInfo {
  DWORD flags = 0;
  DWORD bytes = 0;
  LONG volume = 0;
  LONG pan = 0;
  DWORD frequency = 0;
  bool playing = false;
  bool looping = false;
  const BYTE* data = nullptr;
};
BufferInfo Inspect(Buffer* buffer);
int LiveDevices();
int LiveBuffers();
HWND CooperativeWindow(Device* device);

}  // namespace plat::audio
