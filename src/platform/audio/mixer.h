// The mixer's shared state: the buffer list, the output format, the chosen output and the
// test controls, all under one short lock that neither the mixing thread nor a caller holds
// for longer than a mixing period or a parameter change.
#pragma once

#include <cstdint>
#include <mutex>
#include <set>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/audio/mix_kernels.h"

namespace plat::audio::detail {

// The mixing view of one secondary buffer. The bytes are written by their owner through
// Lock without the mixer's lock; every other field is read and written under it.
struct Voice {
  const BYTE* data = nullptr;
  DWORD frames = 0;
  WORD block = 1;
  WORD bits = 8;
  WORD channels = 1;
  DWORD rate = 22050;
  DWORD cursor = 0;            // frame of the next sample
  std::uint32_t fraction = 0;  // position between `cursor` and the next frame, 0.32
  DWORD frequency = 0;         // 0: the format's own rate
  std::int32_t gainLeft = kUnityGain;
  std::int32_t gainRight = kUnityGain;
  bool playing = false;
  bool looping = false;
  bool lost = false;
  bool globalFocus = false;  // heard while no window of the process has the focus
};

// Q15 gain of a level in hundredths of a decibel: 10^(level / 2000), 0 at -10000 and below.
std::int32_t GainOfLevel(LONG hundredthsOfDb);
// Left and right gains of a volume and a pan: a positive pan lowers the left by pan units, a
// negative one the right.
void GainsOf(LONG volume, LONG pan, std::int32_t* left, std::int32_t* right);

// Adds `frames` output frames of a voice to a stereo accumulator and moves its cursor; a
// voice that is not looping stops at its end (cursor back at 0). `scratch` holds 2 x frames.
// A muted voice moves its cursor the same way and adds nothing.
void MixVoice(Voice& voice, std::int32_t* acc, std::size_t frames, DWORD outputRate,
              std::int16_t* scratch, const MixKernels& kernels, bool muted = false);

// The mixer works in blocks of this many output frames (the SDL output's period too): a
// playing buffer's next block is read at once, so the write cursor stands that far ahead.
inline constexpr std::size_t kMixBlockFrames = 512;

// The output rate the mixer runs at now (the SDL device's, the pinned or the primary's rate).
// Called with the state lock held.
DWORD MixRateLocked();

// Bytes of a voice's own data one output block reads from its cursor: the block's frames at
// frequency / output rate (rounded up, plus the next frame interpolation looks at), at most
// the whole buffer. Lock held.
DWORD AheadBytesLocked(const Voice& voice);

class MixBuffer;

struct MixerState {
  std::mutex mutex;
  int failDevices = 0;
  int failPrimaries = 0;
  int failBuffers = 0;
  int failRestores = 0;
  int liveDevices = 0;
  std::set<MixBuffer*> buffers;
  std::vector<Voice*> voices;  // the secondary buffers' voices, in creation order
  std::vector<Generator*> generators;
  WAVEFORMATEX format{};  // the output format (the primary buffers' format)
  DWORD pinnedRate = 0;
  bool processFocus = true;
  Output output = Output::kSdl;
  OutputTap tap = nullptr;
  void* tapContext = nullptr;
  std::vector<std::int32_t> accumulator;
  std::vector<std::int16_t> scratch;
  std::vector<std::int16_t> stereo;
  // The SDL output while open.
  std::uint32_t sdlDevice = 0;
  DWORD sdlRate = 0;
  int sdlChannels = 0;
};

MixerState& State();
WAVEFORMATEX DefaultOutputFormat();

// Mixes `frames` frames of every playing voice into `out` (interleaved, 1 or 2 channels).
// Called with the state lock held.
void MixLocked(std::int16_t* out, std::size_t frames, int channels, DWORD rate);

// Marks every buffer lost (device gone). Called with the state lock held.
void MarkAllLostLocked();

// The SDL output. Open and Close are called without the state lock (closing waits for the
// callback, which takes it). Open reads the output format; false when no device opens.
bool OpenSdlOutput();
void CloseSdlOutput();
// False when the SDL device stopped by itself (removed); the caller then closes it and marks
// the buffers lost.
bool SdlOutputAlive();

}  // namespace plat::audio::detail
