// The audio device the sound system plays through: a device object that makes secondary
// buffers (circular byte buffers with a play cursor, looping, volume, pan and frequency) and a
// primary buffer that carries the output format.
//
// Behind it sits one software mixer for the process. Every playing buffer is read from its
// play cursor at (its frequency / the output rate) frames per output frame, with linear
// interpolation between frames (a plain copy when the rates are equal), scaled by its volume
// and pan and summed into signed 16-bit output at the primary format's rate and channels.
// The mixer never waits on the sound system: buffer bytes are read without a lock (a caller
// writes ahead of the play cursor, as on any such device), while the buffer list and each
// buffer's parameters sit under the mixer's own short lock.
//
// Two outputs drive the mixer. The SDL output opens the default SDL audio device (a 512-frame
// callback, signed 16-bit) while a device object lives; SDL_AUDIODRIVER=dummy runs it headless.
// The null output mixes only when a test calls Pump(frames), which returns the samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

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

// Which output drives the mixer; chosen before the first device is made (SDL by default).
enum class Output { kSdl, kNull };
void SelectOutput(Output output);
Output SelectedOutput();

// Whether a window of the process has the input focus, as the window service reports it.
// Until it reports a change, and always without a window system, the process counts as
// focused. While it is not, buffers created without kGlobalFocus play muted: their cursors
// move on as usual, but they add nothing to the output.
void SetProcessFocus(bool focused);
bool ProcessFocused();

// The output format the mixer produces (the primary buffers' format): rate, channels; the
// samples are always signed 16-bit.
WAVEFORMATEX OutputFormat();

// A source of samples that is not a buffer (the MIDI synthesiser). Each period the mixer asks
// every generator for `frames` interleaved stereo 16-bit frames at the output rate and adds
// them at unity gain. Render runs on the mixing thread with the mixer's lock held: it must not
// call back into plat::audio.
class Generator {
 public:
  virtual ~Generator() = default;
  virtual void Render(std::int16_t* stereo, std::size_t frames, DWORD rate) = 0;
};
// Once RemoveGenerator returns, Render of that generator is not running and will not run.
void AddGenerator(Generator* generator);
void RemoveGenerator(Generator* generator);

// Called on the mixing thread with every block of output the SDL output hands to the device
// (interleaved signed 16-bit samples); null to stop. For tests and diagnostics.
using OutputTap = void (*)(const std::int16_t* samples, std::size_t count, void* context);
void SetOutputTap(OutputTap tap, void* context);

// ---- null output controls, for tests -------------------------------------------------------

// Mixes `frames` output frames and returns them (interleaved, OutputFormat().nChannels per
// frame). Every playing buffer's cursor moves by frames x frequency / output rate. Looping
// buffers wrap; others stop at their end with the cursor back at 0.
std::vector<std::int16_t> Pump(DWORD frames);

// Fixes the null output's rate (0: follow the primary format). Tests that count cursor moves
// in a buffer's own frames pin the output to that buffer's rate.
void PinOutputRate(DWORD hz);

// Marks every buffer lost as when the output device goes away; Restore brings each back.
void SimulateDeviceLoss();

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
