// The software mixer: what comes out of the null output and the SDL output, and the vector
// kernels against the scalar ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/audio/mix_kernels.h"
#include "support/simd_levels.h"

namespace {

namespace audio = plat::audio;

WAVEFORMATEX Pcm(DWORD rate, WORD bits, WORD channels) {
  const WORD block = WORD(channels * bits / 8);
  return WAVEFORMATEX{1, channels, rate, rate * block, block, bits, 0};
}

// Stereo 16-bit frames that are never silent and differ from their neighbours.
std::vector<std::int16_t> Frames(std::size_t frames, unsigned seed = 7) {
  std::mt19937 rng(seed);
  std::vector<std::int16_t> v(2 * frames);
  for (auto& s : v) {
    s = std::int16_t(std::uniform_int_distribution<int>(-20000, 20000)(rng));
    if (s == 0) s = 1;
  }
  return v;
}

class Mixer : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(audio::CreateDevice(&device_), audio::kOk); }
  void TearDown() override {
    for (audio::Buffer* b : buffers_) b->Release();
    device_->Release();
  }
  // A buffer of the given format holding `bytes`.
  audio::Buffer* Make(const WAVEFORMATEX& f, const void* bytes, DWORD size) {
    formats_.push_back(f);
    audio::BufferDesc desc;
    desc.flags = audio::kControlVolume | audio::kControlPan | audio::kControlFrequency;
    desc.bufferBytes = size;
    desc.format = &formats_.back();
    audio::Buffer* b = nullptr;
    EXPECT_EQ(device_->CreateSoundBuffer(desc, &b), audio::kOk);
    void *p1, *p2;
    DWORD n1, n2;
    EXPECT_EQ(b->Lock(0, size, &p1, &n1, &p2, &n2), audio::kOk);
    std::memcpy(p1, bytes, n1);
    b->Unlock(p1, n1, p2, n2);
    buffers_.push_back(b);
    return b;
  }
  audio::Buffer* Make16(const std::vector<std::int16_t>& frames, DWORD rate = 22050) {
    return Make(Pcm(rate, 16, 2), frames.data(), DWORD(frames.size() * 2));
  }

  audio::Device* device_ = nullptr;
  std::vector<audio::Buffer*> buffers_;
  std::vector<WAVEFORMATEX> formats_ = std::vector<WAVEFORMATEX>();

 public:
  Mixer() { formats_.reserve(16); }
};

TEST_F(Mixer, ASoundStartedBetweenPumpsComesOutExactlyFromTheNextFrame) {
  ASSERT_EQ(audio::OutputFormat().nSamplesPerSec, 22050u);
  const auto data = Frames(300);
  audio::Buffer* b = Make16(data);
  EXPECT_EQ(audio::Pump(50), std::vector<std::int16_t>(100, 0));  // nothing plays yet
  ASSERT_EQ(b->Play(0), audio::kOk);
  std::vector<std::int16_t> out = audio::Pump(200);
  const auto rest = audio::Pump(150);
  out.insert(out.end(), rest.begin(), rest.end());
  EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
  EXPECT_TRUE(std::all_of(out.begin() + 600, out.end(), [](int s) { return s == 0; }));
  DWORD status = 1, play = 1;
  b->GetStatus(&status);
  b->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(status, 0u);  // stopped at its end, cursor back at the start
  EXPECT_EQ(play, 0u);
}

TEST_F(Mixer, VolumeAndPanScaleEachSide) {
  const auto data = Frames(64);
  audio::Buffer* b = Make16(data);
  b->SetVolume(-602);  // half the amplitude
  b->Play(audio::kPlayLooping);
  auto out = audio::Pump(64);
  for (std::size_t i = 0; i < out.size(); ++i) EXPECT_NEAR(out[i], data[i] / 2.0, 1.0) << i;
  b->SetVolume(0);
  b->SetPan(10000);  // full right: the left is silent
  out = audio::Pump(64);
  for (std::size_t i = 0; i < 64; ++i) {
    EXPECT_EQ(out[2 * i], 0);
    EXPECT_EQ(out[2 * i + 1], data[2 * i + 1]);
  }
  b->SetPan(-602);  // the right at half, the left untouched
  out = audio::Pump(64);
  for (std::size_t i = 0; i < 64; ++i) {
    EXPECT_EQ(out[2 * i], data[2 * i]);
    EXPECT_NEAR(out[2 * i + 1], data[2 * i + 1] / 2.0, 1.0);
  }
  b->SetPan(0);
  b->SetVolume(-10000);
  EXPECT_EQ(audio::Pump(64), std::vector<std::int16_t>(128, 0));
}

TEST_F(Mixer, MonoAndEightBitFeedBothSides) {
  const std::vector<BYTE> bytes = {0, 128, 255, 1, 200};
  audio::Buffer* b = Make(Pcm(22050, 8, 1), bytes.data(), 5);
  b->Play(0);
  const auto out = audio::Pump(6);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(out[2 * i], (bytes[i] - 128) * 256);
    EXPECT_EQ(out[2 * i + 1], (bytes[i] - 128) * 256);
  }
  EXPECT_EQ(out[10], 0);
}

TEST_F(Mixer, VoicesSumAndSaturate) {
  std::vector<std::int16_t> loud(64, 30000), quiet(64, -1000);
  Make16(loud)->Play(0);
  Make16(loud)->Play(0);
  Make16(quiet)->Play(0);
  for (std::int16_t s : audio::Pump(32)) EXPECT_EQ(s, 32767);
  std::vector<std::int16_t> low(64, -30000);
  Make16(low)->Play(0);
  Make16(low)->Play(0);
  for (std::int16_t s : audio::Pump(32)) EXPECT_EQ(s, -32768);
}

TEST_F(Mixer, FrequencyScalesTheReadAndInterpolates) {
  const auto data = Frames(100);
  audio::Buffer* b = Make16(data);
  b->SetFrequency(44100);  // twice the output rate: every second frame, in half the time
  b->Play(0);
  auto out = audio::Pump(60);
  for (std::size_t i = 0; i < 50; ++i) {
    EXPECT_EQ(out[2 * i], data[4 * i]);
    EXPECT_EQ(out[2 * i + 1], data[4 * i + 1]);
  }
  EXPECT_TRUE(std::all_of(out.begin() + 100, out.end(), [](int s) { return s == 0; }));

  b->SetFrequency(11025);  // half the rate: every frame twice, the second halfway to the next
  b->SetCurrentPosition(0);
  b->Play(0);
  out = audio::Pump(20);
  for (std::size_t i = 0; i < 10; ++i) {
    for (int c = 0; c < 2; ++c) {
      const int s0 = data[2 * i + c], s1 = data[2 * i + 2 + c];
      EXPECT_EQ(out[4 * i + c], s0);
      EXPECT_NEAR(out[4 * i + 2 + c], (s0 + s1) / 2.0, 1.0);
    }
  }
}

TEST_F(Mixer, LoopingBuffersWrapWithoutAGap) {
  const auto data = Frames(37);
  audio::Buffer* b = Make16(data);
  b->Play(audio::kPlayLooping);
  const auto out = audio::Pump(74);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
  EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin() + 74));
  // Resampled, the wrap interpolates towards the first frame again.
  b->SetFrequency(11025);
  b->SetCurrentPosition(36 * 4);
  const auto wrap = audio::Pump(3);
  EXPECT_EQ(wrap[0], data[72]);
  EXPECT_NEAR(wrap[2], (data[72] + data[0]) / 2.0, 1.0);
  EXPECT_EQ(wrap[4], data[0]);
}

// Resampled 16-bit stereo voices at uneven rates against the interpolation rule, over
// pumps of several sizes: position in 32.32 fixed point stepping by (rate << 32) / 22050,
// each frame s0 + (((s1 - s0) * t) >> 15) with t the fraction's top 15 bits, the frame after
// the last being the first again (looping) or the last itself (a voice that then stops).
TEST_F(Mixer, ResampledVoicesFollowTheInterpolationRule) {
  std::mt19937 rng(41);
  for (int round = 0; round < 24; ++round) {
    const std::size_t length = 1 + rng() % 300;
    const auto data = Frames(length, 100 + round);
    audio::Buffer* b = Make16(data);
    const DWORD hz = 100 + DWORD(rng() % 90000);
    const bool looping = round % 2 == 0;
    b->SetFrequency(hz);
    b->Play(looping ? audio::kPlayLooping : 0);
    const std::uint64_t step = (std::uint64_t(hz) << 32) / 22050;
    std::uint64_t cursor = 0;
    std::uint32_t fraction = 0;
    bool playing = true;
    for (DWORD pump : {1u, 7u, 333u, 64u, 1000u}) {
      const auto out = audio::Pump(pump);
      for (DWORD i = 0; i < pump; ++i) {
        std::int32_t expected[2] = {0, 0};
        if (playing) {
          const std::uint64_t next = cursor + 1 < length ? cursor + 1 : (looping ? 0 : cursor);
          const std::int32_t t = std::int32_t(fraction >> 17);
          for (int c = 0; c < 2; ++c) {
            const std::int32_t s0 = data[2 * cursor + c], s1 = data[2 * next + c];
            expected[c] = s0 + (((s1 - s0) * t) >> 15);
          }
          const std::uint64_t position = std::uint64_t(fraction) + step;
          cursor += position >> 32;
          fraction = std::uint32_t(position);
          if (cursor >= length) {
            if (looping) {
              cursor %= length;
            } else {
              playing = false;
            }
          }
        }
        ASSERT_EQ(out[2 * i], expected[0]) << "round " << round << " pump " << pump << " i " << i;
        ASSERT_EQ(out[2 * i + 1], expected[1]) << "round " << round;
      }
    }
    b->Stop();
  }
}

TEST_F(Mixer, LostBuffersAreSilentUntilRestored) {
  const auto data = Frames(32);
  audio::Buffer* b = Make16(data);
  b->Play(audio::kPlayLooping);
  audio::SimulateDeviceLoss();
  DWORD status = 0;
  b->GetStatus(&status);
  EXPECT_NE(status & audio::kStatusBufferLost, 0u);
  EXPECT_EQ(audio::Pump(8), std::vector<std::int16_t>(16, 0));
  EXPECT_EQ(b->Play(audio::kPlayLooping), audio::kBufferLost);
  ASSERT_EQ(b->Restore(), audio::kOk);
  ASSERT_EQ(b->Play(audio::kPlayLooping), audio::kOk);
  EXPECT_EQ(audio::Pump(1)[0], data[0]);
}

TEST_F(Mixer, ThePrimaryFormatSetsTheOutput) {
  audio::BufferDesc desc;
  desc.flags = audio::kPrimaryBuffer;
  audio::Buffer* primary = nullptr;
  ASSERT_EQ(device_->CreateSoundBuffer(desc, &primary), audio::kOk);
  buffers_.push_back(primary);
  WAVEFORMATEX f{};
  primary->GetFormat(&f);
  EXPECT_EQ(f.nSamplesPerSec, 22050u);
  EXPECT_EQ(f.wBitsPerSample, 8);
  EXPECT_EQ(f.nChannels, 2);
  const WAVEFORMATEX mono = Pcm(44100, 16, 1);
  ASSERT_EQ(primary->SetFormat(&mono), audio::kOk);
  const auto data = Frames(8);
  Make16(data, 44100)->Play(0);
  const auto out = audio::Pump(8);  // one channel: the mean of both sides
  ASSERT_EQ(out.size(), 8u);
  for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(out[i], (data[2 * i] + data[2 * i + 1]) >> 1);
}

TEST_F(Mixer, TheWriteCursorStandsOneMixedBlockAheadOfThePlayCursor) {
  const auto data = Frames(2000);
  audio::Buffer* b = Make16(data);  // at the output rate, 22050 Hz
  DWORD play = 1, write = 1;
  ASSERT_EQ(b->GetCurrentPosition(&play, &write), audio::kOk);
  EXPECT_EQ(play, 0u);
  EXPECT_EQ(write, 0u);  // stopped: nothing is committed
  b->Play(audio::kPlayLooping);
  audio::Pump(100);
  b->GetCurrentPosition(&play, &write);
  EXPECT_EQ(play, 400u);
  EXPECT_EQ(write, 400u + 512 * 4);  // equal rates: the block's own frames
  audio::Pump(1800);  // the cursor is at frame 1900: the block wraps around the buffer
  b->GetCurrentPosition(&play, &write);
  EXPECT_EQ(play, 1900u * 4);
  EXPECT_EQ(write, (1900u + 512 - 2000) * 4);
  b->SetFrequency(44100);  // twice as fast: 1024 frames a block, and the one after
  b->GetCurrentPosition(&play, &write);
  EXPECT_EQ(write, (1900u + 1025 - 2000) * 4);
  b->SetFrequency(100000);  // more than the whole buffer a block: it is all committed
  b->GetCurrentPosition(&play, &write);
  EXPECT_EQ(write, play);
  b->Stop();
  b->GetCurrentPosition(&play, &write);
  EXPECT_EQ(write, play);
}

TEST_F(Mixer, OnlyGlobalFocusBuffersAreHeardWhileTheProcessHasNoFocus) {
  ASSERT_TRUE(audio::ProcessFocused());  // nothing has reported a focus change
  const auto a = Frames(64, 1), g = Frames(64, 2);
  audio::Buffer* local = Make16(a);
  formats_.push_back(Pcm(22050, 16, 2));
  audio::BufferDesc desc;
  desc.flags = audio::kGlobalFocus;
  desc.bufferBytes = DWORD(g.size() * 2);
  desc.format = &formats_.back();
  audio::Buffer* global = nullptr;
  ASSERT_EQ(device_->CreateSoundBuffer(desc, &global), audio::kOk);
  buffers_.push_back(global);
  void *p1, *p2;
  DWORD n1, n2;
  global->Lock(0, desc.bufferBytes, &p1, &n1, &p2, &n2);
  std::memcpy(p1, g.data(), n1);
  local->Play(0);
  global->Play(0);

  audio::SetProcessFocus(false);
  auto out = audio::Pump(16);
  audio::SetProcessFocus(true);
  for (std::size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], g[i]) << i;
  out = audio::Pump(16);  // the muted buffer went on playing meanwhile
  for (std::size_t i = 0; i < out.size(); ++i) {
    ASSERT_EQ(out[i], std::clamp(a[32 + i] + g[32 + i], -32768, 32767)) << i;
  }
}

// ---- the SDL output on the dummy driver -----------------------------------------------------

struct Capture {
  std::mutex mutex;
  std::vector<std::int16_t> samples;
  static void Tap(const std::int16_t* s, std::size_t n, void* self) {
    auto* c = static_cast<Capture*>(self);
    std::lock_guard lock(c->mutex);
    c->samples.insert(c->samples.end(), s, s + n);
  }
  std::size_t Size() {
    std::lock_guard lock(mutex);
    return samples.size();
  }
};

TEST(MixerSdlOutput, TheCallbackCarriesTheSoundFromItsFirstFrame) {
  audio::SelectOutput(audio::Output::kSdl);
  audio::Device* device = nullptr;
  const int created = audio::CreateDevice(&device);
  if (created != audio::kOk) {
    audio::SelectOutput(audio::Output::kNull);
    GTEST_SKIP() << "no SDL audio driver";
  }
  Capture capture;
  audio::SetOutputTap(&Capture::Tap, &capture);
  const auto wait = [&](std::size_t samples) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (capture.Size() < samples && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  };
  wait(2048);  // the callback runs
  const WAVEFORMATEX f = Pcm(22050, 16, 2);
  const auto data = Frames(4000);
  audio::BufferDesc desc;
  desc.bufferBytes = DWORD(data.size() * 2);
  desc.format = &f;
  audio::Buffer* b = nullptr;
  ASSERT_EQ(device->CreateSoundBuffer(desc, &b), audio::kOk);
  void *p1, *p2;
  DWORD n1, n2;
  ASSERT_EQ(b->Lock(0, desc.bufferBytes, &p1, &n1, &p2, &n2), audio::kOk);
  std::memcpy(p1, data.data(), n1);
  b->Unlock(p1, n1, p2, n2);
  const std::size_t before = capture.Size();
  b->Play(0);
  wait(before + data.size() + 4096);
  audio::SetOutputTap(nullptr, nullptr);
  b->Release();
  device->Release();
  audio::SelectOutput(audio::Output::kNull);

  std::lock_guard lock(capture.mutex);
  const auto& s = capture.samples;
  ASSERT_GE(s.size(), before + data.size() + 1024);
  // Silence up to a period boundary, then the whole sound, then silence again.
  auto first = std::find_if(s.begin(), s.end(), [](int v) { return v != 0; });
  ASSERT_NE(first, s.end());
  EXPECT_EQ((first - s.begin()) % 1024, 0) << "the sound starts at the start of a period";
  ASSERT_GE(s.end() - first, std::ptrdiff_t(data.size()));
  EXPECT_TRUE(std::equal(data.begin(), data.end(), first));
  EXPECT_TRUE(
      std::all_of(first + std::ptrdiff_t(data.size()), s.end(), [](int v) { return v == 0; }));
}

// ---- kernels --------------------------------------------------------------------------------

TEST(MixKernels, VectorFormsMatchTheScalarOneAtEveryLengthAndGain) {
  std::mt19937 rng(1234);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  std::uniform_int_distribution<std::int32_t> sum(-3000000, 3000000);
  const std::int32_t gains[][2] = {{0, 0},      {32768, 32768}, {1, 32767},
                                   {16385, 20}, {32768, 0},     {12345, 30001}};
  for (vexa::SimdLevel level : testsupport::SupportedVectorLevels()) {
    const audio::MixKernels& k = audio::MixKernelsAt(level);
    const audio::MixKernels& scalar = audio::MixKernelsAt(vexa::SimdLevel::Scalar);
    for (std::size_t frames = 0; frames <= 70; ++frames) {
      std::vector<std::int16_t> src(2 * frames + 2);
      for (auto& s : src) s = std::int16_t(sample(rng));
      src[0] = -32768;
      std::vector<std::int32_t> acc(2 * frames + 2);
      for (auto& a : acc) a = sum(rng);
      for (const auto& g : gains) {
        auto want = acc, got = acc;
        scalar.accumulate(want.data(), src.data() + 1, frames, g[0], g[1]);
        k.accumulate(got.data(), src.data() + 1, frames, g[0], g[1]);
        ASSERT_EQ(got, want) << vexa::SimdLevelName(level) << " frames " << frames;
      }
      // Voice counts: 1..9 voices summed onto each other, then saturated.
      for (int voices = 1; voices <= 9; voices += 4) {
        std::vector<std::int32_t> want(2 * frames + 1, 0), got = want;
        for (int v = 0; v < voices; ++v) {
          scalar.accumulate(want.data() + 1, src.data() + (v & 1), frames, 32768, 9000);
          k.accumulate(got.data() + 1, src.data() + (v & 1), frames, 32768, 9000);
        }
        ASSERT_EQ(got, want);
        std::vector<std::int16_t> outWant(want.size()), outGot(want.size());
        scalar.saturate(outWant.data(), want.data(), want.size());
        k.saturate(outGot.data(), got.data(), got.size());
        ASSERT_EQ(outGot, outWant) << vexa::SimdLevelName(level) << " voices " << voices;
      }
      std::vector<std::int16_t> w(acc.size()), g(acc.size());
      scalar.saturate(w.data(), acc.data(), acc.size());
      k.saturate(g.data(), acc.data(), acc.size());
      ASSERT_EQ(g, w) << vexa::SimdLevelName(level) << " samples " << acc.size();
    }
  }
}

}  // namespace
