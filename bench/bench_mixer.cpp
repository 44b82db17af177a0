// The software mixer beside SDL2_mixer. Both sides play N looping 16-bit stereo 44.1 kHz voices
// with varied volume and pan through SDL's "disk" driver writing to /dev/null with no delay,
// so each mixes periods as fast as it can; an iteration waits for a fixed number of output
// frames and the rate is voice-samples (voices x frames) per second.
#include <SDL.h>
#include <SDL_mixer.h>

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "bench_pairs.h"
#include "platform/audio/audio.h"

namespace {

namespace audio = plat::audio;

constexpr int kRate = 44100;
constexpr std::size_t kFramesPerIteration = 1 << 16;
constexpr std::size_t kVoiceFrames = kRate / 2;

std::vector<std::int16_t>& VoiceData() {
  static std::vector<std::int16_t> data = [] {
    std::vector<std::int16_t> v(2 * kVoiceFrames);
    std::mt19937 rng(5);
    for (auto& s : v) s = std::int16_t(std::uniform_int_distribution<int>(-12000, 12000)(rng));
    return v;
  }();
  return data;
}

// Frames mixed so far by whichever side is open, and a wait for a target.
struct Progress {
  std::mutex mutex;
  std::condition_variable done;
  std::size_t frames = 0;
  void Add(std::size_t n) {
    std::lock_guard lock(mutex);
    frames += n;
    done.notify_all();
  }
  void WaitFor(std::size_t more) {
    std::unique_lock lock(mutex);
    const std::size_t target = frames + more;
    done.wait(lock, [&] { return frames >= target; });
  }
};
Progress gProgress;

void UseDiskDriver() {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILEOUT", "/dev/null", 1);  // the name SDL 2.0.x reads is below
  setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
  setenv("SDL_DISKAUDIODELAY", "0", 1);
}

// The open side: at most one at a time.
struct Side {
  virtual ~Side() = default;
};

struct VexaSide final : Side {
  explicit VexaSide(int voices) {
    audio::SelectOutput(audio::Output::kSdl);
    if (audio::CreateDevice(&device) != audio::kOk) std::abort();
    audio::BufferDesc primaryDesc;
    primaryDesc.flags = audio::kPrimaryBuffer;
    device->CreateSoundBuffer(primaryDesc, &primary);
    const WAVEFORMATEX f{1, 2, kRate, kRate * 4, 4, 16, 0};
    primary->SetFormat(&f);
    audio::SetOutputTap([](const std::int16_t*, std::size_t n, void*) { gProgress.Add(n / 2); },
                        nullptr);
    for (int i = 0; i < voices; ++i) {
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
      b->Play(audio::kPlayLooping);
      buffers.push_back(b);
    }
  }
  ~VexaSide() override {
    for (audio::Buffer* b : buffers) b->Release();
    primary->Release();
    device->Release();
    audio::SetOutputTap(nullptr, nullptr);
  }
  audio::Device* device = nullptr;
  audio::Buffer* primary = nullptr;
  std::vector<audio::Buffer*> buffers;
};

struct PeerSide final : Side {
  explicit PeerSide(int voices) {
    if (Mix_OpenAudio(kRate, AUDIO_S16SYS, 2, 512) != 0) std::abort();
    Mix_AllocateChannels(voices);
    chunk = Mix_QuickLoad_RAW(reinterpret_cast<Uint8*>(VoiceData().data()),
                              Uint32(VoiceData().size() * 2));
    Mix_SetPostMix([](void*, Uint8*, int len) { gProgress.Add(std::size_t(len) / 4); }, nullptr);
    for (int i = 0; i < voices; ++i) {
      Mix_Volume(i, MIX_MAX_VOLUME - (i * 5 % 64));
      const int pan = i * 37 % 255;
      Mix_SetPanning(i, Uint8(255 - pan / 2), Uint8(128 + pan / 2));
      Mix_PlayChannel(i, chunk, -1);
    }
  }
  ~PeerSide() override {
    Mix_HaltChannel(-1);
    Mix_SetPostMix(nullptr, nullptr);
    Mix_FreeChunk(chunk);
    Mix_CloseAudio();
  }
  Mix_Chunk* chunk = nullptr;
};

std::unique_ptr<Side> gOpen;
std::string gOpenKey;

void Run(const std::string& key, int voices, bool vexa) {
  if (gOpenKey != key) {
    gOpen.reset();
    gOpenKey = key;
    if (vexa) {
      gOpen = std::make_unique<VexaSide>(voices);
    } else {
      gOpen = std::make_unique<PeerSide>(voices);
    }
  }
  gProgress.WaitFor(kFramesPerIteration);
}

const vexabench::Registrar kRegistrar([] {
  UseDiskDriver();
  for (int voices : {8, 48, 256}) {
    const std::string name = "mix-" + std::to_string(voices);
    vexabench::RegisterCase(name, "Mvoice-samples/s", double(voices) * kFramesPerIteration,
                            {{"vexa", [=] { Run(name + "/vexa", voices, true); }},
                             {"SDL2_mixer", [=] { Run(name + "/peer", voices, false); }}},
                            true);
  }
});

}  // namespace
