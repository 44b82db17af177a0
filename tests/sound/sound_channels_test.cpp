// Sounds kept in a bank (list 1) and the bank's sample channels.
#include <gtest/gtest.h>
#include <zlib.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <vexa/sound_bank.h>

#include "base/context_teardown.h"
#include "platform/midi/midi.h"
#include "platform/window/messages.h"
#include "platform/window/window.h"
#include "sound/sound_test_support.h"

namespace {

using namespace soundtest;
namespace audio = plat::audio;

const WAVEFORMATEX kWave = Pcm(1000, 8, 1);

std::intptr_t Name(const char* s) { return reinterpret_cast<std::intptr_t>(s); }
std::intptr_t Name(const char16_t* s) { return reinterpret_cast<std::intptr_t>(s); }

// zlib stream of `bytes` behind their 32-bit size: the compressed form of an entry.
std::vector<BYTE> Compressed(const std::vector<BYTE>& bytes) {
  uLongf packed = compressBound(uLong(bytes.size()));
  std::vector<BYTE> out(4 + packed);
  const auto n = std::uint32_t(bytes.size());
  std::memcpy(out.data(), &n, 4);
  EXPECT_EQ(compress(out.data() + 4, &packed, bytes.data(), uLong(bytes.size())), Z_OK);
  out.resize(4 + packed);
  return out;
}

class BankSounds : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::timer::UseManualClock(true);
    audio::PinOutputRate(1000);
    filters_ = NewSoundFilterMgr();
    filters_->LoadFilters(VEXA_PLUGIN_DIR, 0);
    manager_ = CreateSoundManager(nullptr);
    ASSERT_NE(manager_, nullptr);
    ASSERT_EQ(manager_->Activate(nullptr), 1);
    bank_ = CreateImageBank(0, nullptr);
    ASSERT_NE(bank_, nullptr);
    wav_ = MakeWav(kWave, PatternData(1000));
  }
  void TearDown() override {
    DestroyImageBank(bank_);
    if (manager_) manager_->Delete();
    filters_->Free();
    filters_->Delete();
    EXPECT_EQ(audio::LiveBuffers(), 0);
    audio::PinOutputRate(0);
    plat::timer::UseManualClock(false);
  }
  int AddWave(const char* name, std::uint32_t flags = kSoundTypeWave) {
    return AddSound(bank_, flags, name, wav_.data(), int(wav_.size()));
  }
  CSound* In(int channel) { return static_cast<CSound*>(bank_->channels[channel - 1].object); }

  CSoundFilterMgr* filters_ = nullptr;
  CSoundManager* manager_ = nullptr;
  ImageBank* bank_ = nullptr;
  std::vector<BYTE> wav_;
};

TEST_F(BankSounds, ANewBankHasItsChannelDefaults) {
  EXPECT_EQ(bank_->masterVolume, 100);
  EXPECT_EQ(bank_->masterPan, 0);
  EXPECT_EQ(bank_->channelCount, 48);
  EXPECT_EQ(bank_->music.device, -1);
  EXPECT_EQ(bank_->channels[47].volume, 100);
  EXPECT_EQ(GetMasterVolume(bank_, kSoundSample), 100);
}

TEST_F(BankSounds, EntriesKeepNameTypeFlagsAndData) {
  const int a = AddWave("Boom");
  const int b = AddSound(bank_, kSoundTypeMidi, "boom", "tune.mid", 9);
  ASSERT_GT(a, 0);
  ASSERT_GT(b, a);
  EXPECT_EQ(FindSound(bank_, "BOOM", kSoundTypeWave), a);
  EXPECT_EQ(FindSound(bank_, "boom", kSoundTypeMidi), b);
  EXPECT_EQ(FindSound(bank_, "boom", 0), a);
  EXPECT_EQ(FindSoundW(bank_, u"bOoM", kSoundTypeMidi), b);
  EXPECT_EQ(FindSound(bank_, "boo", 0), 0);

  char narrow[3];
  EXPECT_EQ(GetSoundName(bank_, a, narrow, sizeof narrow), 4);
  EXPECT_STREQ(narrow, "Bo");  // cut to the buffer, terminated
  char16_t wide[8];
  EXPECT_EQ(GetSoundNameW(bank_, b, wide, 8), 4);
  EXPECT_EQ(std::u16string(wide), u"boom");

  std::vector<BYTE> copy(wav_.size() + 5, 0xEE);
  EXPECT_EQ(GetSoundData(bank_, a, copy.data(), int(wav_.size())), int(wav_.size()));
  EXPECT_EQ(std::memcmp(copy.data(), wav_.data(), wav_.size()), 0);
  EXPECT_EQ(copy[wav_.size()], 0xEE);
  EXPECT_EQ(std::memcmp(GetSoundDataAddress(bank_, a), wav_.data(), wav_.size()), 0);

  EXPECT_EQ(SetSoundFlags(bank_, a, 0x40 | kSoundTypeMidi), int(0x40 | kSoundTypeWave));

  // Reuse finds the identical entry and counts a reference; without it a new entry is made.
  EXPECT_EQ(AddWave("Boom", kSoundTypeWave | 0x40 | kAddSoundReuse), a);
  EXPECT_EQ(GetEntry(bank_, kListSounds, a)->refCount, 2u);
  EXPECT_EQ(AddSound(bank_, kSoundTypeWave | kAddSoundNoChecksum, "x", "ab", 2), b + 1);
  EXPECT_EQ(GetEntry(bank_, kListSounds, b + 1)->checksum, 0u);
  EXPECT_EQ(DeleteSound(bank_, a), 1);
  EXPECT_EQ(FindSound(bank_, "boom", kSoundTypeWave), a);  // one reference left
  EXPECT_EQ(DeleteSound(bank_, a), 1);
  EXPECT_EQ(FindSound(bank_, "boom", kSoundTypeWave), 0);
}

TEST_F(BankSounds, WaveInformationStaysWithinTheEntry) {
  const int a = AddWave("a");
  SoundWaveInfo info{};
  ASSERT_EQ(GetSoundWaveInfo(bank_, a, &info), 1);
  EXPECT_EQ(info.samplesPerSec, 1000u);
  EXPECT_EQ(info.bitsPerSample, 8);
  EXPECT_EQ(info.dataOffset, 44u);
  EXPECT_EQ(info.dataSize, 1000u);

  // A data chunk that claims more than is there is cut to what is there.
  std::vector<BYTE> cut(wav_.begin(), wav_.begin() + 144);
  const int c = AddSound(bank_, kSoundTypeWave, "cut", cut.data(), int(cut.size()));
  ASSERT_EQ(GetSoundWaveInfo(bank_, c, &info), 1);
  EXPECT_EQ(info.dataSize, 100u);

  // An odd-sized chunk before the format is skipped with its pad byte.
  std::vector<BYTE> odd(wav_.begin(), wav_.begin() + 12);
  const BYTE junk[] = {'J', 'U', 'N', 'K', 3, 0, 0, 0, 1, 2, 3, 0};
  odd.insert(odd.end(), junk, junk + sizeof junk);
  odd.insert(odd.end(), wav_.begin() + 12, wav_.end());
  const int o = AddSound(bank_, kSoundTypeWave, "odd", odd.data(), int(odd.size()));
  ASSERT_EQ(GetSoundWaveInfo(bank_, o, &info), 1);
  EXPECT_EQ(info.dataOffset, 56u);

  // Refused: no format before the data, a chunk size running past the end, not RIFF at all,
  // and entries that are not plain wave data.
  std::vector<BYTE> noFormat(wav_.begin(), wav_.begin() + 12);
  noFormat.insert(noFormat.end(), wav_.begin() + 36, wav_.end());
  std::vector<BYTE> huge(wav_.begin(), wav_.begin() + 20);
  huge[16] = 0xF0, huge[17] = 0xFF, huge[18] = 0xFF, huge[19] = 0xFF;
  for (const auto& bad : {noFormat, huge, std::vector<BYTE>{'R', 'I', 'F', 'F'}}) {
    const int n = AddSound(bank_, kSoundTypeWave, "bad", bad.data(), int(bad.size()));
    SoundWaveInfo untouched{};
    EXPECT_EQ(GetSoundWaveInfo(bank_, n, &untouched), 0);
  }
  EXPECT_EQ(GetSoundWaveInfo(
                bank_, AddSound(bank_, kSoundTypeMidi, "m", wav_.data(), int(wav_.size())), &info),
            0);
}

TEST_F(BankSounds, CompressedEntriesExpandOnceAndBadOnesFailThePlay) {
  const std::vector<BYTE> packed = Compressed(wav_);
  const int a = AddSound(bank_, kSoundTypeWave | kSoundEntryCompressed, "packed", packed.data(),
                         int(packed.size()));
  ASSERT_EQ(Play(manager_, bank_, a, nullptr, 0, 1, 0), 0);
  const BankEntryHeader* e = GetEntry(bank_, kListSounds, a);
  EXPECT_EQ(e->dataSize, wav_.size());
  EXPECT_EQ(std::memcmp(GetSoundDataAddress(bank_, a), wav_.data(), wav_.size()), 0);
  EXPECT_EQ(FindSound(bank_, "PACKED", kSoundTypeWave), a);

  std::vector<BYTE> liar = packed;  // declares far more than zlib can produce from it
  liar[3] = 0x7F;
  std::vector<BYTE> broken = packed;
  broken[broken.size() / 2] ^= 0x55;
  for (const auto& bad : {liar, broken, std::vector<BYTE>{1, 0}}) {
    const int n =
        AddSound(bank_, kSoundTypeWave | kSoundEntryCompressed, "bad", bad.data(), int(bad.size()));
    EXPECT_EQ(Play(manager_, bank_, n, nullptr, 0, 1, 0), -1);
    EXPECT_EQ(GetEntry(bank_, kListSounds, n)->dataSize, bad.size());  // unchanged
  }
}

TEST_F(BankSounds, ChannelsAreChosenInOrder) {
  const int a = AddWave("a");
  bank_->channelCount = 4;
  ReserveChannel(bank_, 1, 1);
  ASSERT_EQ(Play(manager_, bank_, a, nullptr, kPlayKeep, 1, 0), 0);
  EXPECT_EQ(FindSoundChannel(bank_, a), 2);  // the reserved channel is skipped
  ASSERT_EQ(Play(manager_, bank_, a, nullptr, 0, 1, 0), 0);
  ASSERT_EQ(Play(manager_, bank_, a, nullptr, kPlayKeep, 1, 0), 0);
  EXPECT_NE(In(3), nullptr);
  EXPECT_NE(In(4), nullptr);
  // Full: the first channel without kept sounds is taken over.
  EXPECT_EQ(bank_->channels[2].flags & kPlayKeep, 0u);
  ASSERT_EQ(Play(manager_, bank_, a, nullptr, kPlayKeep, 1, 0), 0);
  EXPECT_EQ(bank_->channels[2].flags & kPlayKeep, kPlayKeep);
  // Every channel kept: no channel, unless forced.
  EXPECT_EQ(Play(manager_, bank_, a, nullptr, kPlayKeep, 1, 0), 1);
  EXPECT_EQ(Play(manager_, bank_, a, nullptr, 0, 1, 3), -1);  // a kept channel asked for
  ASSERT_EQ(Play(manager_, bank_, a, nullptr, kPlayForce, 1, 0), 0);
  // A finished sound frees its channel for the next play.
  audio::Pump(2000);
  EXPECT_EQ(IsChannelPlaying(bank_, 2), 0);
  EXPECT_EQ(In(2), nullptr);
  EXPECT_EQ(Play(manager_, bank_, a, nullptr, kPlayKeep, 1, 0), 0);
  EXPECT_NE(In(2), nullptr);
  EXPECT_EQ(In(1), nullptr);
}

TEST_F(BankSounds, NamesPlayEntriesBeforeFiles) {
  const int a = AddWave("Door");
  ASSERT_EQ(Play(manager_, bank_, Name("door"), nullptr, kPlayByName | 1 << 16, 1, 5), 0);
  EXPECT_EQ(FindSoundChannel(bank_, a), 5);  // the entry, not a file called "door"
  EXPECT_EQ(Play(manager_, bank_, Name("no-such-file.wav"), nullptr, kPlayByName, 1, 0), -1);

  // A file played by name keeps a copy of the name; both widths find it again.
  const std::string path = testing::TempDir() + "vexa_channel_sound.wav";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(wav_.data(), 1, wav_.size(), f);
  std::fclose(f);
  std::string upper = path;
  ASSERT_EQ(Play(manager_, bank_, Name(path.c_str()), nullptr, kPlayByName, 1, 0), 0);
  const int ch = FindSoundChannel(bank_, Name(path.c_str()));
  EXPECT_GT(ch, 0);
  EXPECT_NE(bank_->channels[ch - 1].name, path.c_str());
  EXPECT_EQ(IsSoundPlaying(bank_, Name(path.c_str())), 1);
  EXPECT_EQ(StopSound(bank_, kSoundSample, Name(path.c_str())), 1);
  EXPECT_EQ(FindSoundChannel(bank_, Name(path.c_str())), 0);
  std::remove(path.c_str());

  // -1 is the music end, never a name; a name that is not in the bank plays nothing.
  EXPECT_EQ(StopSound(bank_, kSoundSample, -1), 0);
  EXPECT_EQ(Play(manager_, bank_, -1, nullptr, 0, 1, 0), -1);
  EXPECT_EQ(Play(manager_, bank_, Name(u"nothing"), nullptr, 0, 1, 0), -1);
}

TEST_F(BankSounds, MasterAndChannelValuesCombine) {
  const int a = AddWave("a");
  ASSERT_EQ(Play(manager_, bank_, a, nullptr, 0, 1, 2), 0);
  SetMasterPan(bank_, kSoundSample, 100);
  SetChannelPan(bank_, 2, 50);
  EXPECT_EQ(In(2)->m_pan, 1000);
  SetMasterPan(bank_, kSoundSample, -100);
  SetChannelPan(bank_, 2, -100);
  EXPECT_EQ(In(2)->m_pan, -1000);
  SetMasterVolume(bank_, kSoundSample, 50);
  SetSoundVolume(bank_, kSoundSample, a, 60);
  EXPECT_EQ(In(2)->m_volume, 300);
  EXPECT_EQ(GetSoundVolume(bank_, kSoundSample, a), 60);
  SetChannelVolume(bank_, 2, 500);
  EXPECT_EQ(GetChannelVolume(bank_, 2), 100);      // clamped
  EXPECT_EQ(GetChannelFrequency(bank_, 2), 1000);  // the sound's own rate
  SetChannelFrequency(bank_, 2, 2000);
  EXPECT_EQ(GetSoundFrequency(bank_, kSoundSample, a), 2000);
  EXPECT_EQ(GetChannelDurationMs(bank_, 2), 1000);
  EXPECT_EQ(SetChannelVolume(bank_, 49, 10), 0);  // out of range
}

TEST_F(BankSounds, PauseResumeAndPositions) {
  const int a = AddWave("a");
  ASSERT_EQ(Play(manager_, bank_, a, nullptr, 0, 1, 1), 0);
  audio::Pump(250);
  EXPECT_EQ(GetSoundPositionMs(bank_, kSoundSample, a), 250);
  EXPECT_EQ(PauseSound(bank_, kSoundSample, 0), 1);
  EXPECT_EQ(GetSoundPositionMs(bank_, kSoundSample, a), 250);  // held while paused
  EXPECT_EQ(IsSoundPaused(bank_, a), 1);
  EXPECT_EQ(IsChannelPaused(bank_, 1), 1);
  EXPECT_EQ(IsSoundPlaying(bank_, a), 1);  // paused counts as playing
  audio::Pump(250);                        // nothing moves while paused
  EXPECT_EQ(ResumeChannel(bank_, 1), 1);
  EXPECT_EQ(GetChannelPositionMs(bank_, 1), 250);
  EXPECT_EQ(IsSoundPaused(bank_, a), 0);
  SetSoundPositionMs(bank_, kSoundSample, a, 900);
  audio::Pump(150);
  EXPECT_EQ(IsSoundPlaying(bank_, a), 0);
  EXPECT_EQ(In(1), nullptr);  // the finished sound was destroyed on the way
}

// Two channels stream one stored window of a file through the same open handle; each must
// hear the whole sound, whatever the other one's reads did to the handle's offset.
TEST_F(BankSounds, ChannelsSharingAnExternalHandleEachHearTheWholeSound) {
  const std::vector<BYTE> data = PatternData(40000);  // 40 s at 1000 Hz: streamed, many reads
  const std::vector<BYTE> wav = MakeWav(kWave, data);
  const std::string path = testing::TempDir() + "vexa_shared_handle.bin";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  const std::vector<BYTE> before(300, 7);
  std::fwrite(before.data(), 1, before.size(), f);
  std::fwrite(wav.data(), 1, wav.size(), f);
  std::fwrite(before.data(), 1, before.size(), f);
  std::fclose(f);
  const int fd = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  const ExternalSoundData window{fd, 300, std::uint32_t(wav.size()), {0}};
  const int n =
      AddSound(bank_, kSoundTypeWave | kSoundEntryExternal, "ext", &window, int(sizeof(window)));
  ASSERT_GT(n, 0);

  // Channel 1 is heard on the left only, channel 2 (started 5 s later) on the right only.
  std::vector<std::int16_t> out;
  auto listen = [&out](std::size_t frames) {
    for (std::size_t i = 0; i < frames; i += 50) {
      const auto block = audio::Pump(50);
      out.insert(out.end(), block.begin(), block.end());
      plat::timer::AdvanceManualClock(50);
    }
  };
  ASSERT_EQ(Play(manager_, bank_, n, nullptr, 0, 1, 1), 0);
  ASSERT_EQ(In(1)->m_staticBuffer, 0);
  SetChannelPan(bank_, 1, -100);
  listen(5000);
  ASSERT_EQ(Play(manager_, bank_, n, nullptr, 0, 1, 2), 0);
  SetChannelPan(bank_, 2, 100);
  listen(5000);
  PauseChannel(bank_, 2);  // a paused sound keeps its position
  EXPECT_EQ(GetChannelPositionMs(bank_, 2), 5000);
  listen(1000);
  ResumeChannel(bank_, 2);
  listen(37000);
  ::close(fd);
  std::remove(path.c_str());

  auto heard = [](BYTE s) { return std::int16_t((s - 128) * 256); };
  for (std::size_t i = 0; i < data.size(); ++i) {
    ASSERT_EQ(out[2 * i], heard(data[i])) << "channel 1, frame " << i;
  }
  for (std::size_t i = 0; i < 5000; ++i) ASSERT_EQ(out[2 * (5000 + i) + 1], heard(data[i])) << i;
  for (std::size_t i = 5000; i < data.size(); ++i) {
    ASSERT_EQ(out[2 * (6000 + i) + 1], heard(data[i])) << "channel 2, frame " << i;
  }
}

TEST_F(BankSounds, LoopCountsPlayTheSoundThatOften) {
  const int a = AddWave("a");
  ASSERT_EQ(Play(manager_, bank_, a, nullptr, kPlayLoopCount, 3, 1), 0);
  EXPECT_EQ(In(1)->GetLoopsLeft(), 2);                       // two more after the one under way
  ASSERT_EQ(Play(manager_, bank_, a, nullptr, 0, 3, 2), 0);  // count ignored without 0x10
  EXPECT_EQ(In(2)->IsLooping(), 0);
}

TEST_F(BankSounds, SoundsGoneWithTheirManagerLeaveEmptyChannels) {
  const int a = AddWave("a");
  ASSERT_EQ(Play(manager_, bank_, a, nullptr, 0, 1, 1), 0);
  ASSERT_EQ(Play(manager_, bank_, a, nullptr, 0, 1, 2), 0);
  manager_->Deactivate();  // destroys its sounds
  EXPECT_EQ(In(1), nullptr);
  EXPECT_EQ(bank_->channels[0].sound, 0);
  EXPECT_EQ(IsChannelPlaying(bank_, 2), 0);
  manager_->Delete();
  manager_ = nullptr;
  EXPECT_EQ(StopSound(bank_, kSoundSample, 0), 0);
  EXPECT_EQ(Play(nullptr, bank_, a, nullptr, 0, 1, 0), 0);  // no manager: nothing starts
}

TEST_F(BankSounds, DeletingAnEntryStopsTheChannelsReadingIt) {
  const int a = AddWave("a");
  const int b = AddSound(bank_, kSoundTypeWave, "b", wav_.data(), int(wav_.size()));
  ASSERT_EQ(Play(manager_, bank_, a, nullptr, 0, 1, 1), 0);
  ASSERT_EQ(Play(manager_, bank_, b, nullptr, 0, 1, 2), 0);
  EXPECT_EQ(DeleteSound(bank_, a), 1);
  EXPECT_EQ(In(1), nullptr);
  EXPECT_NE(In(2), nullptr);
  audio::Pump(100);
  plat::timer::AdvanceManualClock(50);
}

TEST_F(BankSounds, DestroyingTheBankStopsEveryChannel) {
  const int a = AddWave("a");
  for (int c = 1; c <= 3; ++c) ASSERT_EQ(Play(manager_, bank_, a, nullptr, 0, 1, c), 0);
  EXPECT_EQ(manager_->GetSoundCount(), 3);
  DestroyImageBank(bank_);
  bank_ = nullptr;
  EXPECT_EQ(manager_->GetSoundCount(), 0);
}

// Teardown steps of a context run stage by stage: the steps that stop readers of the bank's
// data (the channels) before those that destroy things, whatever order they were added in.
ImageBank* gWatched = nullptr;
std::vector<std::string> gSteps;

TEST_F(BankSounds, ChannelsAreEmptyBeforeOtherTeardownStepsRun) {
  vexa::AddContextTeardown([](ImageBank* bank) {
    if (bank != gWatched) return;
    gSteps.push_back(bank->channels[0].object ? "destroy, channel busy" : "destroy");
  });
  vexa::AddContextTeardown(
      [](ImageBank* bank) {
        if (bank == gWatched) gSteps.push_back("stop");
      },
      vexa::TeardownStage::kStopReaders);
  const int a = AddWave("a");
  ASSERT_EQ(Play(manager_, bank_, a, nullptr, 0, 1, 1), 0);
  gWatched = bank_;
  DestroyImageBank(bank_);
  bank_ = nullptr;
  gWatched = nullptr;
  EXPECT_EQ(gSteps, (std::vector<std::string>{"stop", "destroy"}));
}

// ---- music ------------------------------------------------------------------------------

int gMusicNotices = 0;

TEST_F(BankSounds, MusicWithACountPlaysThatOftenThenCloses) {
  // The notices arrive as queued messages of a real window, through the library's own poster.
  gMusicNotices = 0;
  HWND window = plat::CreateWindow("music", 0, 0, 0, 16, 16);
  ASSERT_NE(window, nullptr);
  plat::SetWindowProc(window, [](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
    if (message == plat::midi::kNotifyMessage) ++gMusicNotices;
    return 0;
  });
  const std::string path = std::string(VEXA_CORPORA_DIR) + "/audio/midi/test-c-major-scale.mid";
  const int tune = AddSound(bank_, kSoundTypeMidi, "tune", path.c_str(), int(path.size() + 1));
  ASSERT_EQ(Play(manager_, bank_, tune, window, kPlayLoopCount, 2, 0), 0);
  EXPECT_EQ(IsSoundPlaying(bank_, tune), 1);
  EXPECT_EQ(IsSoundPlaying(bank_, 0), 2);
  // The host answers each notice with the music-end call.
  int ends = 0;
  for (int periods = 0; periods < 2000 && bank_->music.device != -1; ++periods) {
    audio::Pump(512);
    MSG message;
    while (plat::PeekMessage(&message, window, 1)) plat::DispatchMessage(&message);
    if (gMusicNotices > ends) {
      ++ends;
      StopSound(bank_, kSoundMusic, -1);
    }
  }
  EXPECT_EQ(ends, 2);
  EXPECT_EQ(bank_->music.device, -1);
  EXPECT_EQ(plat::midi::OpenDevices(), 0);
  plat::DestroyWindow(window);
}

TEST_F(BankSounds, MusicPausesAndResumesWhereItWas) {
  const std::string path = std::string(VEXA_CORPORA_DIR) + "/audio/midi/test-c-major-scale.mid";
  ASSERT_EQ(Play(manager_, bank_, Name(path.c_str()), nullptr, kPlayByName | 2 << 16, 1, 0), 0);
  audio::Pump(300);  // 300 ms at the pinned 1000 Hz output
  EXPECT_EQ(PauseSound(bank_, kSoundMusic, 0), 1);
  EXPECT_EQ(bank_->music.position, 300);
  EXPECT_EQ(IsSoundPaused(bank_, 0), 2);
  EXPECT_EQ(IsSoundPaused(bank_, Name(path.c_str())), 2);
  audio::Pump(300);
  EXPECT_EQ(ResumeSound(bank_, kSoundMusic, 0), 1);
  audio::Pump(100);
  DWORD at = 0;
  plat::midi::GetPositionMs(int(bank_->music.device), &at);
  EXPECT_EQ(at, 400u);
  // Kept music is not replaced without force; a missing file answers its error.
  ASSERT_EQ(
      Play(manager_, bank_, Name(path.c_str()), nullptr, kPlayByName | kPlayKeep | 2 << 16, 1, 0),
      0);
  EXPECT_EQ(Play(manager_, bank_, Name(path.c_str()), nullptr, kPlayByName | 2 << 16, 1, 0), -1);
  EXPECT_EQ(
      Play(manager_, bank_, Name("/none.mid"), nullptr, kPlayByName | kPlayForce | 2 << 16, 1, 0),
      plat::midi::kErrorFileNotFound);
  EXPECT_EQ(bank_->music.device, -1);
}

}  // namespace
