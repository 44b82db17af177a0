// What the sound system's sounds sound like: the samples the mixer puts out through the null
// output while a test pumps it and ticks the streaming timer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "sound/ds_sound.h"
#include "sound/sound_test_support.h"

namespace {

using namespace soundtest;
namespace audio = plat::audio;

constexpr DWORD kRate = 32000;
constexpr DWORD kTickFrames = kRate / 20;  // 50 ms of output
const WAVEFORMATEX kStereo16 = Pcm(kRate, 16, 2);

class SoundHeard : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::timer::UseManualClock(true);
    filters_ = NewSoundFilterMgr();
    filters_->LoadFilters(VEXA_PLUGIN_DIR, 0);
    manager_ = CreateSoundManager(nullptr);
    ASSERT_NE(manager_, nullptr);
    ASSERT_EQ(manager_->Activate(nullptr), 1);
  }
  void TearDown() override {
    manager_->Delete();
    filters_->Free();
    filters_->Delete();
    EXPECT_EQ(audio::LiveBuffers(), 0);
    plat::timer::UseManualClock(false);
  }
  // A sound of `frames` stereo 16-bit frames of pattern data at kRate.
  CSound* Load(std::size_t frames) {
    const std::vector<BYTE> bytes = PatternData(frames * 4);
    data_.resize(frames * 2);
    std::memcpy(data_.data(), bytes.data(), bytes.size());
    files_.push_back(MakeWav(kStereo16, bytes));
    return manager_->CreateSoundFromStream(MemoryStream(files_.back()), 1, 0);
  }
  // Pumps and ticks in 50 ms steps until `frames` frames came out.
  std::vector<std::int16_t> Listen(std::size_t frames) {
    std::vector<std::int16_t> out;
    while (out.size() < 2 * frames) {
      const auto block = audio::Pump(kTickFrames);
      out.insert(out.end(), block.begin(), block.end());
      plat::timer::AdvanceManualClock(50);
    }
    out.resize(2 * frames);
    return out;
  }
  static bool Silent(std::vector<std::int16_t>::const_iterator from,
                     std::vector<std::int16_t>::const_iterator to) {
    return std::all_of(from, to, [](int s) { return s == 0; });
  }

  CSoundFilterMgr* filters_ = nullptr;
  CSoundManager* manager_ = nullptr;
  std::vector<std::vector<BYTE>> files_;
  std::vector<std::int16_t> data_;
};

TEST_F(SoundHeard, AStaticSoundComesOutWithItsVolumePanAndFrequency) {
  CSound* s = Load(4000);
  ASSERT_EQ(s->Play(), 1);
  ASSERT_EQ(audio::OutputFormat().nSamplesPerSec, kRate);  // the primary took the sound's rate
  auto out = Listen(4100);
  EXPECT_TRUE(std::equal(data_.begin(), data_.end(), out.begin()));
  EXPECT_TRUE(Silent(out.begin() + 8000, out.end()));
  EXPECT_EQ(s->IsFinished(), 1);

  s->SetVolume(500);
  ASSERT_EQ(s->Play(), 1);
  out = Listen(4000);
  for (std::size_t i = 0; i < data_.size(); ++i) {
    ASSERT_NEAR(out[i], data_[i] / 2.0, 1.0) << i;
  }

  s->SetVolume(1000);
  s->SetPan(1000);
  ASSERT_EQ(s->Play(), 1);
  out = Listen(4000);
  for (std::size_t i = 0; i < 4000; ++i) {
    ASSERT_EQ(out[2 * i], 0);
    ASSERT_EQ(out[2 * i + 1], data_[2 * i + 1]);
  }

  s->SetPan(0);
  s->SetFrequency(2 * kRate);
  ASSERT_EQ(s->Play(), 1);
  out = Listen(2100);
  for (std::size_t i = 0; i < 2000; ++i) ASSERT_EQ(out[2 * i], data_[4 * i]);
  EXPECT_TRUE(Silent(out.begin() + 4000, out.end()));
}

TEST_F(SoundHeard, AStreamingSoundArrivesWholeThenSilence) {
  CSound* s = Load(2 * kRate);  // two seconds: streamed through 0.8 s of buffer
  ASSERT_EQ(s->Play(), 1);
  ASSERT_EQ(s->m_staticBuffer, 0);
  const auto out = Listen(2 * kRate + 6 * kTickFrames);
  for (std::size_t i = 0; i < data_.size(); ++i) ASSERT_EQ(out[i], data_[i]) << "sample " << i;
  EXPECT_TRUE(Silent(out.begin() + std::ptrdiff_t(data_.size()), out.end()));
  EXPECT_EQ(s->IsFinished(), 1);
}

TEST_F(SoundHeard, TwoLoopsPlayBackToBack) {
  CSound* s = Load(kRate / 2);
  s->SetLoop(1, 2);
  ASSERT_EQ(s->Play(), 1);
  const auto out = Listen(kRate + 6 * kTickFrames);
  const auto pass = std::ptrdiff_t(data_.size());
  EXPECT_TRUE(std::equal(data_.begin(), data_.end(), out.begin()));
  EXPECT_TRUE(std::equal(data_.begin(), data_.end(), out.begin() + pass));
  EXPECT_TRUE(Silent(out.begin() + 2 * pass, out.end()));
}

}  // namespace
