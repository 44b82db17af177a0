// The software mixer beside SDL2_mixer. Both sides play N looping 16-bit stereo 44.1 kHz voices
// with varied volume and pan through SDL's "disk" driver writing to /dev/null with no delay,
// so each mixes periods as fast as it can; an iteration waits for a fixed number of output
// frames and the rate is voice-samples (voices x frames) per second.
//
//   mix-N     every voice at the output rate
//   sweep-N   voices at 0.5x to 2x of the output rate. Ours resamples while mixing; SDL2_mixer
//             has no playback-rate control, so its chunks are converted to those rates when
//             they are loaded and it only mixes
//   cpu-48    48 voices at real time on the "dummy" driver: CPU time of the callback thread per
//             second of sound (ms; the ratio is peer / ours, above 1 ahead)
//   latency   from the play call to the callback that carries the sound's first sample, the
//             median of many starts on an idle output (µs; peer / ours, above 1 ahead)
#include <SDL.h>
#include <SDL_mixer.h>

#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench_pairs.h"
#include "platform/audio/audio.h"

namespace {

namespace audio = plat::audio;

constexpr int kRate = 44100;
constexpr std::size_t kFramesPerIteration = 1 << 16;
constexpr std::size_t kVoiceFrames = kRate / 2;

// Never destroyed: the side the last case left open plays these samples until it is closed
// at exit, after the destructors of statics made later than it (this one) have run.
std::vector<std::int16_t>& VoiceData() {
  static auto* const data = [] {
    auto* v = new std::vector<std::int16_t>(2 * kVoiceFrames);
    std::mt19937 rng(5);
    for (auto& s : *v) s = std::int16_t(std::uniform_int_distribution<int>(-12000, 12000)(rng));
    return v;
  }();
  return *data;
}

// The playback rate of voice i of a sweep: eight steps from 0.5x to 2x of the output rate.
double SweepFactor(int i) { return 0.5 * std::pow(4.0, (i % 8) / 7.0); }

std::int64_t Nanoseconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Frames mixed so far by whichever side is open, and a wait for a target. Each block also
// records the callback thread's CPU time and, while a start is watched for, the moment the
// first non-silent block came.
struct Progress {
  std::mutex mutex;
  std::condition_variable done;
  std::size_t frames = 0;
  std::int64_t callbackCpu = 0;
  std::atomic<bool> watching{false};
  std::int64_t heardAt = 0;
  void Block(const std::int16_t* samples, std::size_t count) {
    const std::int64_t cpu = Nanoseconds(CLOCK_THREAD_CPUTIME_ID);
    const bool heard =
        watching && std::any_of(samples, samples + count, [](std::int16_t s) { return s != 0; });
    std::lock_guard lock(mutex);
    frames += count / 2;
    callbackCpu = cpu;
    if (heard) {
      heardAt = Nanoseconds(CLOCK_MONOTONIC);
      watching = false;
    }
    done.notify_all();
  }
  void WaitHeard() {
    std::unique_lock lock(mutex);
    done.wait(lock, [&] { return !watching; });
  }
  std::pair<std::size_t, std::int64_t> Snapshot() {
    std::lock_guard lock(mutex);
    return {frames, callbackCpu};
  }
  void WaitFor(std::size_t more) {
    std::unique_lock lock(mutex);
    const std::size_t target = frames + more;
    done.wait(lock, [&] { return frames >= target; });
  }
};
Progress gProgress;

// The driver is read when SDL's audio starts, which each side does on opening: the previous
// side is closed (and SDL's audio with it) before this is called.
void UseDummyDriver() { setenv("SDL_AUDIODRIVER", "dummy", 1); }

void UseDiskDriver() {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILEOUT", "/dev/null", 1);  // the name SDL 2.0.x reads is below
  setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
  setenv("SDL_DISKAUDIODELAY", "0", 1);
}

// The open side: at most one at a time. Start restarts the first voice from its beginning,
// Halt stops it.
struct Side {
  virtual ~Side() = default;
  virtual void Start() = 0;
  virtual void Halt() = 0;
};

// What a side plays: `voices` looping voices, at spread rates with `sweep`; with `idle` none
// starts until Start.
struct Setup {
  int voices = 1;
  bool sweep = false;
  bool idle = false;
};

struct VexaSide final : Side {
  explicit VexaSide(const Setup& setup) {
    audio::SelectOutput(audio::Output::kSdl);
    if (audio::CreateDevice(&device) != audio::kOk) std::abort();
    audio::BufferDesc primaryDesc;
    primaryDesc.flags = audio::kPrimaryBuffer;
    device->CreateSoundBuffer(primaryDesc, &primary);
    const WAVEFORMATEX f{1, 2, kRate, kRate * 4, 4, 16, 0};
    primary->SetFormat(&f);
    audio::SetOutputTap(
        [](const std::int16_t* samples, std::size_t n, void*) { gProgress.Block(samples, n); },
        nullptr);
    for (int i = 0; i < setup.voices; ++i) {
      audio::BufferDesc desc;
      desc.flags = audio::kControlVolume | audio::kControlPan | audio::kControlFrequency;
      desc.bufferBytes = DWORD(VoiceData().size() * 2);
      desc.format = &f;
      audio::Buffer* b = nullptr;
      if (device->CreateSoundBuffer(desc, &b) != audio::kOk) std::abort();
      void *p1, *p2;
      DWORD n1, n2;
      b->Lock(0, desc.bufferBytes, &p1, &n1, &p2, &n2);
      std::memcpy(p1, VoiceData().data(), n1);
      b->Unlock(p1, n1, p2, n2);
      b->SetVolume(-(i * 37 % 1200));
      b->SetPan((i * 611 % 4000) - 2000);
      if (setup.sweep) b->SetFrequency(DWORD(std::lround(kRate * SweepFactor(i))));
      if (!setup.idle) b->Play(audio::kPlayLooping);
      buffers.push_back(b);
    }
  }
  ~VexaSide() override {
    for (audio::Buffer* b : buffers) b->Release();
    primary->Release();
    device->Release();
    audio::SetOutputTap(nullptr, nullptr);
  }
  void Start() override {
    buffers[0]->SetCurrentPosition(0);
    buffers[0]->Play(audio::kPlayLooping);
  }
  void Halt() override { buffers[0]->Stop(); }

  audio::Device* device = nullptr;
  audio::Buffer* primary = nullptr;
  std::vector<audio::Buffer*> buffers;
};

struct PeerSide final : Side {
  explicit PeerSide(const Setup& setup) {
    // SDL_mixer starts SDL's audio when nobody has; it is stopped again on closing, so that
    // the next side reads the driver afresh.
    startedAudio = !SDL_WasInit(SDL_INIT_AUDIO);
    if (Mix_OpenAudio(kRate, AUDIO_S16SYS, 2, 512) != 0) std::abort();
    Mix_AllocateChannels(setup.voices);
    const int rates = setup.sweep ? 8 : 1;
    for (int r = 0; r < rates; ++r) {
      converted.push_back(setup.sweep ? Converted(SweepFactor(r)) : std::vector<Uint8>());
      std::vector<Uint8>& bytes = converted.back();
      chunks.push_back(bytes.empty()
                           ? Mix_QuickLoad_RAW(reinterpret_cast<Uint8*>(VoiceData().data()),
                                               Uint32(VoiceData().size() * 2))
                           : Mix_QuickLoad_RAW(bytes.data(), Uint32(bytes.size())));
    }
    Mix_SetPostMix(
        [](void*, Uint8* stream, int len) {
          gProgress.Block(reinterpret_cast<const std::int16_t*>(stream), std::size_t(len) / 2);
        },
        nullptr);
    for (int i = 0; i < setup.voices; ++i) {
      Mix_Volume(i, MIX_MAX_VOLUME - (i * 5 % 64));
      const int pan = i * 37 % 255;
      Mix_SetPanning(i, Uint8(255 - pan / 2), Uint8(128 + pan / 2));
      if (!setup.idle) Mix_PlayChannel(i, chunks[std::size_t(i % rates)], -1);
    }
  }
  ~PeerSide() override {
    Mix_HaltChannel(-1);
    Mix_SetPostMix(nullptr, nullptr);
    for (Mix_Chunk* c : chunks) Mix_FreeChunk(c);
    Mix_CloseAudio();
    if (startedAudio) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  void Start() override { Mix_PlayChannel(0, chunks[0], -1); }
  void Halt() override { Mix_HaltChannel(0); }

  // The voice data as if recorded at `factor` x the output rate: played at the output rate,
  // it sounds as our voice does at that playback rate.
  static std::vector<Uint8> Converted(double factor) {
    SDL_AudioCVT cvt;
    if (SDL_BuildAudioCVT(&cvt, AUDIO_S16SYS, 2, int(std::lround(kRate * factor)), AUDIO_S16SYS, 2,
                          kRate) < 0) {
      std::abort();
    }
    const std::size_t bytes = VoiceData().size() * 2;
    std::vector<Uint8> buffer(bytes * std::size_t(std::max(cvt.len_mult, 1)) + 64);
    std::memcpy(buffer.data(), VoiceData().data(), bytes);
    cvt.buf = buffer.data();
    cvt.len = int(bytes);
    if (cvt.needed && SDL_ConvertAudio(&cvt) != 0) std::abort();
    buffer.resize(std::size_t(cvt.needed ? cvt.len_cvt : cvt.len) & ~std::size_t(3));
    return buffer;
  }

  bool startedAudio = false;
  std::vector<std::vector<Uint8>> converted;
  std::vector<Mix_Chunk*> chunks;
};

std::unique_ptr<Side> gOpen;
std::string gOpenKey;

// Opens the side a case needs (closing the previous one) unless it is open already.
Side& Open(const std::string& key, const Setup& setup, bool vexa, bool dummyDriver) {
  if (gOpenKey != key) {
    gOpen.reset();
    gOpenKey = key;
    if (dummyDriver) {
      UseDummyDriver();
    } else {
      UseDiskDriver();
    }
    if (vexa) {
      gOpen = std::make_unique<VexaSide>(setup);
    } else {
      gOpen = std::make_unique<PeerSide>(setup);
    }
  }
  return *gOpen;
}

// Opens the side before timing starts and lets its first periods pass: creating hundreds of
// voices and the first touch of their samples are set-up, not mixing.
void Prepare(const std::string& key, const Setup& setup, bool vexa) {
  Open(key, setup, vexa, false);
  gProgress.WaitFor(4 * 512);
}

void Run(const std::string& key, const Setup& setup, bool vexa) {
  Open(key, setup, vexa, false);
  gProgress.WaitFor(kFramesPerIteration);
}

// Milliseconds of callback-thread CPU per second of sound, over about a second of real time.
double CallbackCpu(const std::string& key, bool vexa) {
  Open(key, Setup{48, false, false}, vexa, true);
  gProgress.WaitFor(4 * 512);  // past the start
  const auto [frames0, cpu0] = gProgress.Snapshot();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const auto [frames1, cpu1] = gProgress.Snapshot();
  gOpen.reset();
  gOpenKey.clear();
  const double seconds = double(frames1 - frames0) / kRate;
  return seconds > 0 ? double(cpu1 - cpu0) / 1e6 / seconds : 0;
}

// Median microseconds from a start to the first block that carries it.
double StartLatency(const std::string& key, bool vexa) {
  Side& side = Open(key, Setup{1, false, true}, vexa, false);
  std::vector<double> delays;
  for (int i = 0; i < 41; ++i) {
    side.Halt();
    gProgress.WaitFor(3 * 512);  // silent blocks flow again
    gProgress.watching = true;
    const std::int64_t start = Nanoseconds(CLOCK_MONOTONIC);
    side.Start();
    gProgress.WaitHeard();
    std::lock_guard lock(gProgress.mutex);
    delays.push_back(double(gProgress.heardAt - start) / 1e3);
  }
  gOpen.reset();
  gOpenKey.clear();
  std::nth_element(delays.begin(), delays.begin() + 20, delays.end());
  return delays[20];
}

const vexabench::Registrar kRegistrar([] {
  for (bool sweep : {false, true}) {
    for (int voices : {8, 48, 256}) {
      const std::string name = (sweep ? "sweep-" : "mix-") + std::to_string(voices);
      const Setup setup{voices, sweep, false};
      vexabench::RegisterCase(name, "Mvoice-samples/s", double(voices) * kFramesPerIteration,
                              {{"vexa", [=] { Run(name + "/vexa", setup, true); },
                                [=] { Prepare(name + "/vexa", setup, true); }},
                               {"SDL2_mixer", [=] { Run(name + "/peer", setup, false); },
                                [=] { Prepare(name + "/peer", setup, false); }}},
                              true);
    }
  }
  vexabench::RegisterMeasure("cpu-48", "CPU-ms/s",
                             {{"vexa", [] { return CallbackCpu("cpu-48/vexa", true); }},
                              {"SDL2_mixer", [] { return CallbackCpu("cpu-48/peer", false); }}});
  vexabench::RegisterMeasure("latency", "us",
                             {{"vexa", [] { return StartLatency("latency/vexa", true); }},
                              {"SDL2_mixer", [] { return StartLatency("latency/peer", false); }}});
});

}  // namespace
