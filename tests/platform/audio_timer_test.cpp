// The null audio device and the periodic timer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/audio/audio.h"
#include "platform/timer/timer.h"

namespace {

namespace audio = plat::audio;

struct NullDevice : ::testing::Test {
  void SetUp() override {
    audio::PinOutputRate(1000);  // cursor moves below are counted in frames of 1000 Hz buffers
    ASSERT_EQ(audio::CreateDevice(&device), audio::kOk);
  }
  void TearDown() override {
    device->Release();
    audio::PinOutputRate(0);
  }
  audio::Buffer* MakeBuffer(DWORD bytes, DWORD rate = 1000, WORD block = 2) {
    format = WAVEFORMATEX{1, block, rate, rate * block, block, 8, 0};  // 8-bit samples
    audio::BufferDesc desc;
    desc.bufferBytes = bytes;
    desc.format = &format;
    audio::Buffer* b = nullptr;
    EXPECT_EQ(device->CreateSoundBuffer(desc, &b), audio::kOk);
    return b;
  }
  audio::Device* device = nullptr;
  WAVEFORMATEX format{};
};

TEST_F(NullDevice, CursorsMoveAtTheBufferFrequency) {
  audio::Buffer* b = MakeBuffer(100);
  DWORD play = 0;
  audio::Pump(10);  // not playing: nothing moves
  b->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, 0u);
  b->Play(audio::kPlayLooping);
  audio::Pump(10);
  b->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, 20u);  // 10 frames of 2 bytes
  b->SetFrequency(1500);
  audio::Pump(10);  // 15 frames
  b->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, 50u);
  audio::Pump(30);  // 45 frames: 140 bytes, wraps
  b->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, 40u);
  b->Release();
}

TEST_F(NullDevice, OneShotBuffersStopAtTheirEnd) {
  audio::Buffer* b = MakeBuffer(100);
  b->SetCurrentPosition(60);
  b->Play(0);
  audio::Pump(25);
  DWORD status = 0, play = 1;
  b->GetStatus(&status);
  b->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(status & audio::kStatusPlaying, 0u);
  EXPECT_EQ(play, 0u);
  b->Release();
}

TEST_F(NullDevice, LocksWrapAndKeepBytes) {
  audio::Buffer* b = MakeBuffer(100);
  void *p1, *p2;
  DWORD n1, n2;
  ASSERT_EQ(b->Lock(90, 30, &p1, &n1, &p2, &n2), audio::kOk);
  EXPECT_EQ(n1, 10u);
  EXPECT_EQ(n2, 20u);
  std::memset(p1, 7, n1);
  std::memset(p2, 9, n2);
  b->Unlock(p1, n1, p2, n2);
  const BYTE* data = audio::Inspect(b).data;
  EXPECT_EQ(data[95], 7);
  EXPECT_EQ(data[19], 9);
  EXPECT_EQ(data[20], 0);
  EXPECT_NE(b->Lock(0, 101, &p1, &n1, &p2, &n2), audio::kOk);
  b->Release();
}

TEST_F(NullDevice, LostBuffersRefuseUntilRestored) {
  audio::Buffer* b = MakeBuffer(100);
  b->Play(audio::kPlayLooping);
  audio::MarkLost(b);
  DWORD status = 0;
  b->GetStatus(&status);
  EXPECT_EQ(status, audio::kStatusBufferLost);
  void *p1, *p2;
  DWORD n1, n2;
  EXPECT_EQ(b->Lock(0, 10, &p1, &n1, &p2, &n2), audio::kBufferLost);
  audio::FailRestores(1);
  EXPECT_EQ(b->Restore(), audio::kBufferLost);
  EXPECT_EQ(b->Restore(), audio::kOk);
  EXPECT_EQ(b->Lock(0, 10, &p1, &n1, &p2, &n2), audio::kOk);
  b->Release();
}

TEST_F(NullDevice, CreationFailuresAndBadDescriptions) {
  audio::FailBufferCreations(1);
  audio::BufferDesc desc;
  WAVEFORMATEX f{1, 1, 8000, 8000, 1, 8, 0};
  desc.format = &f;
  desc.bufferBytes = 64;
  audio::Buffer* b = nullptr;
  EXPECT_EQ(device->CreateSoundBuffer(desc, &b), audio::kOutOfMemory);
  EXPECT_EQ(b, nullptr);
  desc.bufferBytes = 0;
  EXPECT_EQ(device->CreateSoundBuffer(desc, &b), audio::kInvalidParameter);
  audio::FailDeviceCreations(1);
  audio::Device* other = nullptr;
  EXPECT_EQ(audio::CreateDevice(&other), audio::kOutOfMemory);
  EXPECT_EQ(other, nullptr);
}

void CountTick(void* user) { ++*static_cast<std::atomic<int>*>(user); }

TEST(Timer, ManualClockFiresDueEvents) {
  plat::timer::UseManualClock(true);
  std::atomic<int> ticks{0};
  const auto start = plat::timer::TimeGetTime();
  const auto id = plat::timer::SetEvent(50, 10, CountTick, &ticks);
  ASSERT_NE(id, 0u);
  plat::timer::AdvanceManualClock(49);
  EXPECT_EQ(ticks, 0);
  plat::timer::AdvanceManualClock(1);
  EXPECT_EQ(ticks, 1);
  plat::timer::AdvanceManualClock(200);
  EXPECT_EQ(ticks, 5);
  EXPECT_EQ(plat::timer::TimeGetTime() - start, 250u);
  plat::timer::KillEvent(id);
  plat::timer::AdvanceManualClock(100);
  EXPECT_EQ(ticks, 5);
  plat::timer::FailEventCreations(1);
  EXPECT_EQ(plat::timer::SetEvent(50, 10, CountTick, &ticks), 0u);
  plat::timer::UseManualClock(false);
}

TEST(Timer, PeriodicEventsRunOnTheirOwnThread) {
  std::atomic<int> ticks{0};
  const auto id = plat::timer::SetEvent(5, 1, CountTick, &ticks);
  ASSERT_NE(id, 0u);
  for (int i = 0; i < 400 && ticks < 3; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  plat::timer::KillEvent(id);
  const int after = ticks;
  EXPECT_GE(after, 3);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(ticks, after);  // killed means no more calls
}

}  // namespace
