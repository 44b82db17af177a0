// Sound managers and sounds on the null audio device, ticked by the manual clock.
#include <atomic>
#include <chrono>
#include <functional>
#include <list>
#include <thread>

#include "sound/ds_sound.h"
#include "sound/sound_source.h"
#include "sound/sound_test_support.h"

namespace {

using namespace soundtest;
namespace audio = plat::audio;

class SoundSystem : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::timer::UseManualClock(true);
    audio::PinOutputRate(1000);  // the cursor counts below are in frames of 1000 Hz sounds
    filters_ = NewSoundFilterMgr();
    filters_->LoadFilters(VEXA_PLUGIN_DIR, 0);
    ASSERT_GE(filters_->GetFilterCount(), 4);
    manager_ = CreateSoundManager(nullptr);
    ASSERT_NE(manager_, nullptr);
    ASSERT_EQ(manager_->Activate(nullptr), 1);
  }
  void TearDown() override {
    audio::PinOutputRate(0);
    audio::FailDeviceCreations(0);
    audio::FailPrimaryBufferCreations(0);
    audio::FailBufferCreations(0);
    audio::FailRestores(0);
    if (manager_) manager_->Delete();
    filters_->Free();
    filters_->Delete();
    EXPECT_EQ(audio::LiveBuffers(), 0);
    EXPECT_EQ(audio::LiveDevices(), 0);
    EXPECT_EQ(plat::timer::LiveEvents(), 0);
    plat::timer::UseManualClock(false);
  }

  // A sound over a wave file of `bytes` bytes of pattern data (kept in data_).
  CSound* Load(const WAVEFORMATEX& f, std::size_t bytes, int flags = 0,
               CSoundManager* manager = nullptr) {
    data_ = PatternData(bytes);
    files_.push_back(MakeWav(f, data_));
    return (manager ? manager : manager_)
        ->CreateSoundFromStream(MemoryStream(files_.back()), 1, flags);
  }
  static void Tick(DWORD frames) {
    audio::Pump(frames);
    plat::timer::AdvanceManualClock(50);
  }
  static CDSSound* Ds(CSound* s) { return static_cast<CDSSound*>(s); }
  static audio::BufferInfo Info(CSound* s) { return audio::Inspect(Ds(s)->OutputBuffer()); }

  // Checks that the circular buffer holds, at every offset, the byte of the played stream
  // that belongs there: positions from `consumed` on, the pass's data or silence after `end`.
  void ExpectBufferHolds(CSound* s, std::size_t consumed, std::size_t end) {
    const audio::BufferInfo info = Info(s);
    ASSERT_NE(info.data, nullptr);
    for (std::size_t o = 0; o < info.bytes; ++o) {
      const std::size_t p = consumed + (o + info.bytes - consumed % info.bytes) % info.bytes;
      const BYTE expected = p < end ? data_[p % data_.size()] : 128;
      ASSERT_EQ(info.data[o], expected) << "offset " << o << " position " << p;
    }
  }

  // Ticks `step` frames at a time until `end` bytes were played, checking the buffer after each
  // tick and that the sound does not finish early; two more ticks play the tail out.
  void PlayToTheEnd(CSound* s, std::size_t step, std::size_t end,
                    const std::function<void(std::size_t consumed)>& eachTick = {}) {
    std::size_t consumed = 0;
    while (consumed < end) {
      EXPECT_EQ(s->IsFinished(), 0) << consumed;
      if (eachTick) eachTick(consumed);
      Tick(DWORD(step));
      consumed += step;
      if (consumed < end) ExpectBufferHolds(s, consumed, end);
    }
    Tick(DWORD(step));
    Tick(DWORD(step));
    EXPECT_EQ(s->IsFinished(), 1);
  }

  CSoundFilterMgr* filters_ = nullptr;
  CSoundManager* manager_ = nullptr;
  std::vector<BYTE> data_;
  std::list<std::vector<BYTE>> files_;
};

// 1000 Hz, 8-bit mono: one byte per frame, a 0.8 s streaming buffer of 800 bytes.
const WAVEFORMATEX kSlow = Pcm(1000, 8, 1);

TEST_F(SoundSystem, StaticOrStreamingByLength) {
  const WAVEFORMATEX f = Pcm(11025, 16, 2);
  CSound* shortSound = Load(f, 16537 * 4);  // 1.5 s, whole frames
  CSound* longSound = Load(f, 44100 * 2);
  ASSERT_TRUE(shortSound && longSound);
  EXPECT_EQ(shortSound->m_staticBuffer, 1);
  EXPECT_EQ(shortSound->m_bufferBytes, 66148u);
  EXPECT_EQ(longSound->m_staticBuffer, 0);
  EXPECT_EQ(longSound->m_bufferBytes, 35280u);
  EXPECT_EQ(longSound->GetDuration(), 2000u);
  // Streaming sizes are whole blocks: 11127 Hz 16-bit stereo gives 35604, not 35606.
  EXPECT_EQ(CSound::StreamingBufferBytes(Pcm(11127, 16, 2)), 35604u);
  EXPECT_EQ(manager_->GetSoundCount(), 2);
}

TEST_F(SoundSystem, UnreadableStreamsMakeNoSound) {
  std::vector<BYTE> junk(1000, 0x42);
  CInputMemFile* stream = MemoryStream(junk);
  EXPECT_EQ(manager_->CreateSoundFromStream(stream, 1, 0), nullptr);
  EXPECT_EQ(stream->Tell(), 0);
  stream->Delete();  // not taken over
  EXPECT_FALSE(manager_->HasSounds());
}

TEST_F(SoundSystem, BufferFlagsFollowTheLoadFlags) {
  struct Case {
    std::size_t bytes;
    int flags;
    DWORD expected;
  };
  for (const Case& c : {Case{3000, 0, 65760}, Case{3000, kSoundGlobalFocus, 98528},
                        Case{1000, 0, 65762}, Case{1000, kSoundGlobalFocus, 98530}}) {
    CSound* s = Load(kSlow, c.bytes, c.flags);
    ASSERT_EQ(s->Play(), 1);
    EXPECT_EQ(Info(s).flags, c.expected);
    s->Destroy();
  }
}

TEST_F(SoundSystem, VolumePanAndFrequencyControls) {
  EXPECT_EQ(CDSSound::VolumeToDevice(500), -602);
  EXPECT_EQ(CDSSound::VolumeToDevice(1), -6000);
  EXPECT_EQ(CDSSound::VolumeToDevice(999), 0);
  EXPECT_EQ(CDSSound::VolumeToDevice(0), -10000);
  CSound* s = Load(kSlow, 1000);
  EXPECT_EQ(s->SetVolume(1500), 1);
  EXPECT_EQ(s->m_volume, 1000);
  s->SetVolume(500);
  s->SetPan(-2000);
  EXPECT_EQ(s->m_pan, -1000);
  s->SetFrequency(50);
  EXPECT_EQ(s->GetFrequency(), 100u);
  s->SetFrequency(0);
  EXPECT_EQ(s->GetFrequency(), 1000u);
  s->SetFrequency(2000);
  ASSERT_EQ(s->Play(), 1);
  EXPECT_EQ(Info(s).volume, -602);
  EXPECT_EQ(Info(s).pan, -10000);
  EXPECT_EQ(Info(s).frequency, 2000u);
  s->SetVolume(1);
  EXPECT_EQ(Info(s).volume, -6000);
}

TEST_F(SoundSystem, StreamingBufferHoldsTheDataAfterEveryTick) {
  CSound* s = Load(kSlow, 3000);
  ASSERT_EQ(s->Play(), 1);
  EXPECT_TRUE(manager_->m_api->IsTimerRunning());
  std::size_t consumed = 0;
  ExpectBufferHolds(s, consumed, 3000);
  while (consumed < 3000) {
    EXPECT_EQ(s->IsFinished(), 0) << consumed;  // the end waits for the tail
    Tick(37);
    consumed += 37;
    if (consumed < 3000) ExpectBufferHolds(s, consumed, 3000);
    EXPECT_EQ(s->GetPosition(), std::min<std::size_t>(consumed, 3000));
  }
  Tick(37);
  Tick(37);
  EXPECT_EQ(s->IsFinished(), 1);
  EXPECT_EQ(s->IsPlaying(), 0);
  EXPECT_FALSE(Info(s).playing);
  EXPECT_EQ(s->GetPosition(), 3000u);
  manager_->StopTimerIfIdle();
  EXPECT_FALSE(manager_->m_api->IsTimerRunning());
}

TEST_F(SoundSystem, CountedLoopsPlayBackToBackThenStop) {
  CSound* s = Load(kSlow, 3000);
  s->SetLoop(1, 2);
  ASSERT_EQ(s->Play(), 1);
  PlayToTheEnd(s, 53, 6000, [s](std::size_t consumed) {
    EXPECT_EQ(s->IsLooping(), consumed + 800 < 3000 ? 1 : 0) << consumed;
  });
}

TEST_F(SoundSystem, EndlessLoopsNeverRunOut) {
  CSound* s = Load(kSlow, 3000);
  s->SetLoop(1, 0);
  ASSERT_EQ(s->Play(), 1);
  for (std::size_t consumed = 61; consumed < 20000; consumed += 61) {
    Tick(61);
    ASSERT_EQ(s->IsFinished(), 0);
  }
  ExpectBufferHolds(s, 61 * (20000 / 61), SIZE_MAX);
  EXPECT_EQ(s->GetLoopsLeft(), 0);
}

TEST_F(SoundSystem, LoopCountOnAStaticSoundStreamsItThatOften) {
  CSound* s = Load(kSlow, 1000);
  ASSERT_EQ(s->m_staticBuffer, 1);
  s->SetLoop(1, 3);
  ASSERT_EQ(s->Play(), 1);
  EXPECT_EQ(s->m_staticBuffer, 0);
  EXPECT_EQ(s->m_bufferBytes, 800u);
  EXPECT_EQ(s->GetLoopsLeft(), 2);
  PlayToTheEnd(s, 40, 3000);
}

TEST_F(SoundSystem, EndlessLoopOnAStaticSoundGetsTheStreamingBuffer) {
  CSound* s = Load(kSlow, 1000);
  s->SetLoop(1, 0);
  EXPECT_EQ(s->m_staticBuffer, 0);
  EXPECT_EQ(s->m_bufferBytes, 800u);
  ASSERT_EQ(s->Play(), 1);
  for (int i = 0; i < 4; ++i) Tick(300);
  ExpectBufferHolds(s, 1200, SIZE_MAX);
}

TEST_F(SoundSystem, TicksAreSkippedWhileTheTimerLockIsHeld) {
  CSound* s = Load(kSlow, 3000);
  ASSERT_EQ(s->Play(), 1);
  Tick(37);
  ExpectBufferHolds(s, 37, 3000);
  const bool held = manager_->m_api->LockTimer();
  ASSERT_TRUE(held);
  Tick(37);
  // Not refilled: offsets 37..73 still hold the first pass.
  EXPECT_EQ(Info(s).data[40], data_[40]);
  manager_->m_api->UnlockTimer(held);
  plat::timer::AdvanceManualClock(50);
  ExpectBufferHolds(s, 74, 3000);
}

TEST_F(SoundSystem, StaticSoundsFinishButPausedOnesDoNot) {
  CSound* s = Load(kSlow, 1000);
  ASSERT_EQ(s->Play(), 1);
  EXPECT_EQ(std::memcmp(Info(s).data, data_.data(), 1000), 0);
  audio::Pump(300);
  EXPECT_EQ(s->GetPosition(), 300u);
  EXPECT_EQ(s->Pause(), 1);
  EXPECT_EQ(s->IsPlaying(), 0);
  EXPECT_EQ(s->IsFinished(), 0);
  EXPECT_EQ(s->IsPaused(), 1);
  EXPECT_EQ(manager_->IsAnyPlaying(), 1);
  EXPECT_EQ(s->Resume(), 1);
  EXPECT_EQ(s->IsPlaying(), 1);
  audio::Pump(800);
  EXPECT_EQ(s->IsPlaying(), 0);
  EXPECT_EQ(s->IsFinished(), 1);
  EXPECT_EQ(manager_->IsAnyPlaying(), 0);
}

TEST_F(SoundSystem, PositionSetWhileStoppedIsWhereNextPlayStarts) {
  CSound* staticSound = Load(kSlow, 1000);
  staticSound->SetPosition(400, 1);
  ASSERT_EQ(staticSound->Play(), 1);
  EXPECT_EQ(staticSound->GetPosition(), 400u);
  CSound* streaming = Load(kSlow, 3000);
  EXPECT_EQ(streaming->SetPositionMs(1000), 1);
  EXPECT_EQ(streaming->GetPositionMs(), 1000u);
  ASSERT_EQ(streaming->Play(), 1);
  EXPECT_EQ(std::memcmp(Info(streaming).data, data_.data() + 1000, 800), 0);
  EXPECT_EQ(streaming->GetPosition(), 1000u);
  // Moving a playing stream refills from the new place.
  streaming->SetPosition(2500, 1);
  EXPECT_EQ(std::memcmp(Info(streaming).data, data_.data() + 2500, 500), 0);
  EXPECT_EQ(Info(streaming).data[500], 128);
}

TEST_F(SoundSystem, MillisecondsUse64BitsAndRound) {
  // 31 s of CD audio: 176400 bytes per second times 30000 ms passes 32 bits.
  CSound* cd = Load(Pcm(44100, 16, 2), 176400u * 31);
  ASSERT_NE(cd, nullptr);
  EXPECT_EQ(cd->SetPositionMs(30000), 1);
  EXPECT_EQ(cd->m_startPosition, 176400u * 30);
  EXPECT_EQ(cd->GetPositionMs(), 30000u);
  EXPECT_EQ(cd->GetDuration(), 31000u);
  cd->Destroy();
  CSound* odd = Load(Pcm(11025, 8, 1), 1000);
  EXPECT_EQ(odd->GetDuration(), 91u);  // 90.7 ms
}

TEST_F(SoundSystem, DeferredStartHappensAtTheNextTick) {
  CSound* s = Load(kSlow, 1000, kSoundDeferredStart);
  ASSERT_EQ(s->Play(), 1);
  EXPECT_FALSE(Info(s).playing);
  EXPECT_EQ(s->IsPlaying(), 1);
  Tick(0);
  EXPECT_TRUE(Info(s).playing);
  EXPECT_EQ(std::memcmp(Info(s).data, data_.data(), 1000), 0);
  CSound* stream = Load(kSlow, 3000, kSoundDeferredStart);
  ASSERT_EQ(stream->Play(), 1);
  Tick(0);
  EXPECT_TRUE(Info(stream).playing);
  EXPECT_TRUE(Info(stream).looping);
  Tick(100);
  ExpectBufferHolds(stream, 100, 3000);
}

TEST_F(SoundSystem, LostStreamingBuffersAreRestoredAndRefilled) {
  CSound* s = Load(kSlow, 3000);
  ASSERT_EQ(s->Play(), 1);
  Tick(100);
  audio::MarkLost(Ds(s)->OutputBuffer());
  audio::FailRestores(1);
  Tick(0);  // restoring fails: nothing more this tick
  EXPECT_FALSE(Info(s).playing);
  Tick(0);
  EXPECT_TRUE(Info(s).playing);
  EXPECT_EQ(s->IsFinished(), 0);
}

TEST_F(SoundSystem, FailedFillOrBufferMakesPlayFail) {
  audio::FailBufferCreations(1);
  CSound* s = Load(kSlow, 1000);
  EXPECT_EQ(s->Play(), 0);
  EXPECT_EQ(s->Play(), 1);
  // A filter that delivers less than its length cannot fill a static buffer.
  CSound* shortData = manager_->CreateSound();
  shortData->m_filter = new MemoryFilter(kSlow, PatternData(500));
  ASSERT_EQ(shortData->SetFormat(&kSlow, 1000), 0);
  EXPECT_EQ(shortData->Play(), 0);
  EXPECT_EQ(Ds(shortData)->OutputBuffer(), nullptr);
  EXPECT_EQ(shortData->m_playing, 0);
  shortData->Destroy();
  // Formats other than PCM are refused.
  WAVEFORMATEX adpcm = kSlow;
  adpcm.wFormatTag = 2;
  EXPECT_EQ(s->SetFormat(&adpcm, 100), kSoundNoFilter);
}

TEST_F(SoundSystem, ListWalkAndBulkOperations) {
  CSound* a = Load(kSlow, 1000);
  CSound* b = Load(kSlow, 3000);
  CSound* c = Load(kSlow, 500);
  int position = 1;
  EXPECT_EQ(manager_->GetNextSound(&position), a);
  EXPECT_EQ(position, 2);
  EXPECT_EQ(manager_->GetNextSound(&position), b);
  EXPECT_EQ(manager_->GetNextSound(&position), c);
  EXPECT_EQ(position, 0);
  EXPECT_EQ(manager_->GetNextSound(&position), nullptr);
  manager_->PlayAll();
  EXPECT_EQ(a->m_playing + b->m_playing + c->m_playing, 3);
  manager_->PauseAll();
  EXPECT_EQ(a->m_paused + b->m_paused + c->m_paused, 3);
  manager_->ResumeAll();
  EXPECT_EQ(a->m_playing + b->m_playing + c->m_playing, 3);
  manager_->StopAll(0);
  EXPECT_EQ(manager_->IsAnyPlaying(), 0);
  EXPECT_NE(Ds(b)->OutputBuffer(), nullptr);  // kept without release
  manager_->StopAll(1);
  EXPECT_EQ(Ds(b)->OutputBuffer(), nullptr);
  EXPECT_FALSE(manager_->m_api->IsTimerRunning());
  b->Destroy();
  EXPECT_EQ(manager_->GetSoundCount(), 2);
}

TEST_F(SoundSystem, PrimaryBufferTakesTheLargestFormat) {
  auto* ds = static_cast<CDSSoundManager*>(manager_);
  ASSERT_NE(ds->m_primary, nullptr);
  EXPECT_EQ(audio::Inspect(ds->m_primary).flags, 0x4011u);
  CSound* s = Load(Pcm(44100, 16, 1), 1000);
  ASSERT_EQ(s->Play(), 1);
  WAVEFORMATEX f{};
  ds->m_primary->GetFormat(&f);
  EXPECT_EQ(f.nSamplesPerSec, 44100u);
  EXPECT_EQ(f.wBitsPerSample, 16);
  EXPECT_EQ(f.nChannels, 2);  // never lowered
  EXPECT_EQ(f.nAvgBytesPerSec, 44100u * 4);

  audio::FailPrimaryBufferCreations(2);
  CSoundManager* second = CreateSoundManager(nullptr);
  ASSERT_EQ(second->Activate(nullptr), 1);
  EXPECT_EQ(audio::Inspect(static_cast<CDSSoundManager*>(second)->m_primary).flags, 0x01u);
  second->Delete();
  audio::FailPrimaryBufferCreations(3);
  CSoundManager* third = CreateSoundManager(nullptr);
  EXPECT_EQ(third->Activate(nullptr), 1);
  EXPECT_EQ(static_cast<CDSSoundManager*>(third)->m_primary, nullptr);
  third->Delete();
}

TEST_F(SoundSystem, DeviceComesBackOnDemand) {
  CSound* s = Load(kSlow, 1000);
  ASSERT_EQ(s->Play(), 1);
  manager_->m_api->StopAll();
  EXPECT_EQ(audio::LiveDevices(), 0);
  audio::FailDeviceCreations(1);
  EXPECT_EQ(s->SetVolume(500), 0);
  EXPECT_EQ(s->m_volume, 500);
  audio::FailDeviceCreations(1);
  CSoundManager* other = CreateSoundManager(nullptr);
  EXPECT_EQ(other->Activate(nullptr), 0);
  other->Delete();
  ASSERT_EQ(s->Play(), 1);
  EXPECT_EQ(Info(s).volume, -602);
}

TEST_F(SoundSystem, ManagersShareOneDevice) {
  CSoundManager* second = CreateSoundManager(nullptr);
  ASSERT_EQ(second->Activate(nullptr), 1);
  EXPECT_EQ(second->m_api, manager_->m_api);
  EXPECT_EQ(audio::LiveDevices(), 1);
  Load(kSlow, 1000, 0, second);
  manager_->Delete();
  manager_ = nullptr;
  EXPECT_EQ(audio::LiveDevices(), 1);
  EXPECT_EQ(second->GetSoundCount(), 1);
  second->Delete();
  EXPECT_EQ(audio::LiveDevices(), 0);
  manager_ = CreateSoundManager(nullptr);
}

TEST_F(SoundSystem, ManagersDestroyTheirSoundsEvenWhenNeverActivated) {
  CSoundManager* idle = CreateSoundManager(nullptr);
  CSound* s = Load(kSlow, 1000, 0, idle);
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->Play(), 1);
  // Both managers' primary buffers (Play opened one for the idle manager) and the sound's.
  EXPECT_EQ(audio::LiveBuffers(), 3);
  idle->Delete();
  EXPECT_EQ(audio::LiveBuffers(), 1);
}

TEST_F(SoundSystem, OneBackEndForSeveralFilterManagers) {
  CSoundAPI* backEnd = vexa::SoundBackEnd();
  ASSERT_NE(backEnd, nullptr);
  EXPECT_EQ(backEnd->GetSoundFilterMgr(), filters_);
  CSoundFilterMgr* second = NewSoundFilterMgr();
  second->LoadFilters(VEXA_PLUGIN_DIR, 0);
  EXPECT_EQ(vexa::SoundBackEnd(), backEnd);
  filters_->LoadFilters(VEXA_PLUGIN_DIR, 0);  // a reload keeps the back-end
  EXPECT_EQ(vexa::SoundBackEnd(), backEnd);
  CSound* playing = Load(kSlow, 3000);
  ASSERT_EQ(playing->Play(), 1);
  filters_->Free();  // the first of two: the back-end moves on to the second
  EXPECT_EQ(vexa::SoundBackEnd(), backEnd);
  EXPECT_EQ(manager_->GetSoundFilterMgr(), second);
  Tick(100);  // the sound's filter still runs: it holds its own plug-in
  ExpectBufferHolds(playing, 100, 3000);
  EXPECT_NE(Load(kSlow, 1000), nullptr);
  second->Free();  // the last: managers are deactivated, the back-end goes
  EXPECT_EQ(vexa::SoundBackEnd(), nullptr);
  EXPECT_EQ(manager_->m_active, 0);
  EXPECT_EQ(manager_->m_api, nullptr);
  EXPECT_EQ(CreateSoundManager(nullptr), nullptr);
  second->Delete();
}

// A plug-in entry whose filters read ahead and then fail to open.
class ReadAheadFilter : public MemoryFilter {
 public:
  ReadAheadFilter() : MemoryFilter(kSlow, {}) {}
  int Open(CInputFile* stream) override {
    BYTE scratch[10];
    int n = 0;
    stream->Read(scratch, 10, &n);
    return 1;
  }
};
void* CreateReadAhead(std::uint32_t) { return static_cast<CSoundFilter*>(new ReadAheadFilter); }
int AlwaysYes(CInputFile*) { return 1; }

TEST_F(SoundSystem, FailedOpenLeavesTheStreamForTheNextPlugin) {
  FilterEntry entry{};
  entry.createFilter = CreateReadAhead;
  entry.canReadFile = AlwaysYes;
  entry.priority = 0;
  ASSERT_TRUE(filters_->AddEntry(entry));
  ASSERT_EQ(filters_->GetEntry(0)->createFilter, &CreateReadAhead);
  CSound* s = Load(kSlow, 1000);
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->Play(), 1);
  EXPECT_EQ(std::memcmp(Info(s).data, data_.data(), 1000), 0);
}

// A stream that records its destruction, and a filter that reads it while closing.
std::atomic<bool> gStreamGone{false};
class WatchedStream : public CInputMemFile {
 public:
  void Destroy(unsigned flags) override {
    gStreamGone = true;
    CInputMemFile::Destroy(flags);
  }
};
class ClosingFilter : public MemoryFilter {
 public:
  ClosingFilter() : MemoryFilter(kSlow, PatternData(100)) {}
  int Open(CInputFile* stream) override {
    stream_ = stream;
    return 0;
  }
  void Close() override {
    closedWithStream = !gStreamGone;
    if (stream_ && !gStreamGone) stream_->Tell();
  }
  static inline bool closedWithStream = false;
  CInputFile* stream_ = nullptr;
};

TEST_F(SoundSystem, DestroyClosesTheFilterBeforeTheStream) {
  CSound* s = manager_->CreateSound();
  auto* stream = new WatchedStream;
  const std::vector<BYTE> bytes(16, 1);
  stream->Create(bytes.data(), int(bytes.size()));
  auto* filter = new ClosingFilter;
  filter->Open(stream);
  s->m_filter = filter;
  s->m_stream = stream;
  s->m_ownsStream = 1;
  gStreamGone = false;
  s->Destroy();
  EXPECT_TRUE(ClosingFilter::closedWithStream);
  EXPECT_TRUE(gStreamGone);
}

TEST_F(SoundSystem, SecondLoadReplacesTheOwnedStream) {
  CSound* s = Load(kSlow, 1000);
  gStreamGone = false;
  auto* watched = new WatchedStream;
  files_.push_back(MakeWav(kSlow, PatternData(2000)));
  watched->Create(files_.back().data(), int(files_.back().size()));
  CInputFile* first = s->m_stream;
  ASSERT_EQ(s->Load(watched, 1, 0), 0);
  EXPECT_NE(s->m_stream, first);
  EXPECT_EQ(s->m_length, 2000u);
  s->Destroy();
  EXPECT_TRUE(gStreamGone);
}

TEST_F(SoundSystem, SlotsKeepTheirOrder) {
  CSound* s = Load(kSlow, 1000);
  auto** soundSlots = *reinterpret_cast<void***>(s);
  using GetPositionSlot = DWORD (*)(CSound*);
  s->SetPosition(250, 1);
  EXPECT_EQ(reinterpret_cast<GetPositionSlot>(soundSlots[14])(s), 250u);
  using PlaySlot = int (*)(CSound*);
  EXPECT_EQ(reinterpret_cast<PlaySlot>(soundSlots[0])(s), 1);
  auto** managerSlots = *reinterpret_cast<void***>(manager_);
  using CreateSoundSlot = CSound* (*)(CSoundManager*);
  CSound* empty = reinterpret_cast<CreateSoundSlot>(managerSlots[4])(manager_);
  ASSERT_NE(empty, nullptr);
  using DestroySlot = void (*)(CSound*, unsigned);
  reinterpret_cast<DestroySlot>((*reinterpret_cast<void***>(empty))[9])(empty, 1);
  CSoundAPI* api = manager_->m_api;
  auto** apiSlots = *reinterpret_cast<void***>(api);
  using ChooseSlot = int (*)(CSoundAPI*, const WAVEFORMATEX*, WAVEFORMATEX*);
  WAVEFORMATEX out{};
  EXPECT_EQ(reinterpret_cast<ChooseSlot>(apiSlots[3])(api, &kSlow, &out), 1);
  EXPECT_EQ(std::memcmp(&out, &kSlow, sizeof out), 0);
}

TEST_F(SoundSystem, StopAllWhileTheTimerTicksDoesNotDeadlock) {
  plat::timer::UseManualClock(false);  // real ticks on the timer's thread
  CSound* a = Load(kSlow, 3000);
  CSound* b = Load(kSlow, 3000);
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
  int rounds = 0;
  while (std::chrono::steady_clock::now() < until) {
    ASSERT_EQ(a->Play(), 1);
    ASSERT_EQ(b->Play(), 1);
    audio::Pump(20);
    std::this_thread::sleep_for(std::chrono::milliseconds(rounds % 3 == 0 ? 60 : 1));
    manager_->StopAll(rounds % 2);
    manager_->IsAnyPlaying();
    ++rounds;
  }
  manager_->StopAll(1);
  EXPECT_FALSE(manager_->m_api->IsTimerRunning());
  EXPECT_GT(rounds, 3);
}

}  // namespace
