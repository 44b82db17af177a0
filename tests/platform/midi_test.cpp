// The MIDI file reader and the sequencer device on the null audio output.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/midi/midi.h"
#include "platform/midi/smf.h"

namespace {

namespace midi = plat::midi;
namespace audio = plat::audio;

std::string MidiCorpus(const std::string& name) {
  return std::string(VEXA_CORPORA_DIR) + "/audio/midi/" + name;
}

std::vector<std::uint8_t> Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  for (int s = 24; s >= 0; s -= 8) v.push_back(std::uint8_t(x >> s));
}

// A format-0 file at 96 ticks a quarter: a note over two quarters at 120 a minute, a tempo
// change to 240 a minute, then a quarter more (1000 ms + 250 ms); running status throughout.
std::vector<std::uint8_t> TwoTempos() {
  const std::vector<std::uint8_t> track = {
      0x00, 0x90, 60,   100,                    // note on
      0x81, 0x40, 60,   0,                      // 192 ticks later, running status note off
      0x00, 0xFF, 0x51, 3,   0x03, 0xD0, 0x90,  // tempo 250000
      0x60, 0xC0, 5,                            // 96 ticks later, program change
      0x00, 0xFF, 0x2F, 0};
  std::vector<std::uint8_t> f = {'M', 'T', 'h', 'd', 0,  0,   0,   6,   0,
                                 0,   0,   1,   0,   96, 'M', 'T', 'r', 'k'};
  Put32(f, std::uint32_t(track.size()));
  f.insert(f.end(), track.begin(), track.end());
  return f;
}

TEST(SmfReader, BuildsTheTempoMap) {
  const auto f = TwoTempos();
  midi::SmfInfo info;
  ASSERT_TRUE(midi::ReadSmf(f.data(), f.size(), &info));
  EXPECT_EQ(info.tracks, 1);
  EXPECT_EQ(info.lastTick, 288u);
  EXPECT_DOUBLE_EQ(info.LengthMs(), 1250.0);
  EXPECT_DOUBLE_EQ(info.TickToMs(192), 1000.0);
  EXPECT_EQ(info.MsToTick(1000.0), 192u);
  EXPECT_EQ(info.MsToTick(1125.0), 240u);
  EXPECT_EQ(info.MsToTick(500.0), 96u);
}

TEST(SmfReader, RefusesDamagedFilesAtEveryCut) {
  const auto f = TwoTempos();
  midi::SmfInfo info;
  // Cutting the file anywhere in the header or inside an event leaves it invalid.
  for (std::size_t n = 0; n < f.size(); ++n) {
    std::vector<std::uint8_t> cut(f.begin(), f.begin() + std::ptrdiff_t(n));
    EXPECT_FALSE(midi::ReadSmf(cut.data(), cut.size(), &info)) << n;
  }
  auto noStatus = f;
  noStatus[23] = 60;  // data byte where the first status belongs
  EXPECT_FALSE(midi::ReadSmf(noStatus.data(), noStatus.size(), &info));
  auto longNumber = f;
  longNumber[26] = 0xFF, longNumber[27] = 0xFF, longNumber[28] = 0xFF, longNumber[29] = 0xFF;
  EXPECT_FALSE(midi::ReadSmf(longNumber.data(), longNumber.size(), &info));
  for (const char* name : {"test-corrupt-file-extra-byte.mid", "test-corrupt-file-missing-byte.mid",
                           "test-empty-file.mid"}) {
    const auto bytes = Bytes(MidiCorpus(name));
    midi::ReadSmf(bytes.data(), bytes.size(), &info);  // either answer, never a bad read
  }
}

// ---- the sequencer ----------------------------------------------------------------------

struct Notice {
  HWND window;
  UINT message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
};
std::vector<Notice> gNotices;

class Sequencer : public ::testing::Test {
 protected:
  void SetUp() override {
    gNotices.clear();
    previousSink_ = midi::GetNotifySink();
    midi::SetNotifySink([](HWND w, UINT m, std::uintptr_t wp, std::intptr_t lp) {
      gNotices.push_back({w, m, wp, lp});
    });
    ASSERT_EQ(audio::CreateDevice(&device_), audio::kOk);
  }
  void TearDown() override {
    device_->Release();
    midi::SetNotifySink(previousSink_);
    EXPECT_EQ(midi::OpenDevices(), 0);
  }
  // Pumps periods until a notice arrives or `limitMs` passed; returns the frames pumped.
  std::size_t PumpUntilNotice(double limitMs, std::vector<std::int16_t>* out = nullptr) {
    const DWORD rate = audio::OutputFormat().nSamplesPerSec;
    std::size_t frames = 0;
    while (gNotices.empty() && frames < limitMs * rate / 1000) {
      const auto block = audio::Pump(kPeriod);
      if (out) out->insert(out->end(), block.begin(), block.end());
      frames += kPeriod;
    }
    return frames;
  }
  static constexpr DWORD kPeriod = 512;
  audio::Device* device_ = nullptr;
  midi::NotifySink previousSink_ = nullptr;
  HWND window_ = reinterpret_cast<HWND>(0x1234);
};

TEST_F(Sequencer, OpenAnswersTheErrorNumbers) {
  int device = 7;
  EXPECT_EQ(midi::Open("/nonexistent/piece.mid", &device), midi::kErrorFileNotFound);
  EXPECT_EQ(device, 0);
  const std::string notMidi = std::string(VEXA_TEST_DATA_DIR) + "/../CMakeLists.txt";
  EXPECT_EQ(midi::Open(notMidi.c_str(), &device), midi::kErrorInvalidFile);
  midi::SetSoundFont("/nonexistent/font.sf2");
  EXPECT_EQ(midi::Open(MidiCorpus("test-c-major-scale.mid").c_str(), &device),
            midi::kErrorNoSynthesiser);
  midi::SetSoundFont(nullptr);
  for (const char* name : {"test-corrupt-file-extra-byte.mid", "test-corrupt-file-missing-byte.mid",
                           "test-empty-file.mid", "test-empty.mid"}) {
    const int error = midi::Open(MidiCorpus(name).c_str(), &device);
    EXPECT_TRUE(error == midi::kOk || error == midi::kErrorInvalidFile) << name << " " << error;
    if (error == midi::kOk) {
      midi::Play(device, window_, true, 0);
      PumpUntilNotice(200);
      midi::Close(device);
    }
  }
  EXPECT_EQ(midi::Play(999, window_, true, 0), midi::kErrorInvalidDevice);
}

TEST_F(Sequencer, APieceSoundsAndItsNoticeComesAtItsLength) {
  int device = 0;
  ASSERT_EQ(midi::Open(MidiCorpus("test-c-major-scale.mid").c_str(), &device), midi::kOk);
  DWORD length = 0;
  midi::GetLengthMs(device, &length);
  ASSERT_GT(length, 1000u);
  ASSERT_EQ(midi::Play(device, window_, true, 0), midi::kOk);
  std::vector<std::int16_t> out;
  const std::size_t frames = PumpUntilNotice(length + 2000.0, &out);
  ASSERT_EQ(gNotices.size(), 1u);
  EXPECT_EQ(gNotices[0].window, window_);
  EXPECT_EQ(gNotices[0].message, midi::kNotifyMessage);
  EXPECT_EQ(gNotices[0].wParam, midi::kNotifySuccessful);
  EXPECT_EQ(gNotices[0].lParam, device);
  const double rate = audio::OutputFormat().nSamplesPerSec;
  EXPECT_NEAR(frames * 1000.0 / rate, length, kPeriod * 1000.0 / rate);
  EXPECT_GT(std::count_if(out.begin(), out.end(), [](int s) { return std::abs(s) > 64; }),
            std::ptrdiff_t(out.size() / 10));
  // Nothing more plays after the end, and no second notice comes.
  const auto after = audio::Pump(kPeriod * 4);
  EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](int s) { return s == 0; }));
  EXPECT_EQ(gNotices.size(), 1u);
  midi::Close(device);
}

TEST_F(Sequencer, PauseKeepsThePositionAndPlaysOnFromIt) {
  int device = 0;
  ASSERT_EQ(midi::Open(MidiCorpus("test-c-major-scale.mid").c_str(), &device), midi::kOk);
  ASSERT_EQ(midi::Play(device, window_, true, 0), midi::kOk);
  const DWORD rate = audio::OutputFormat().nSamplesPerSec;
  audio::Pump(rate / 2);
  ASSERT_EQ(midi::Pause(device), midi::kOk);
  DWORD at = 0;
  midi::GetPositionMs(device, &at);
  EXPECT_NEAR(at, 500, 1);
  const auto paused = audio::Pump(rate / 4);
  EXPECT_TRUE(std::all_of(paused.begin(), paused.end(), [](int s) { return s == 0; }));
  DWORD still = 0;
  midi::GetPositionMs(device, &still);
  EXPECT_EQ(still, at);
  ASSERT_EQ(midi::Play(device, window_, false, 0), midi::kOk);  // on from the pause
  audio::Pump(rate / 4);
  midi::GetPositionMs(device, &at);
  EXPECT_NEAR(at, 750, 1);
  ASSERT_EQ(midi::Play(device, window_, true, 2000), midi::kOk);
  midi::GetPositionMs(device, &at);
  EXPECT_EQ(at, 2000u);
  // Closed before the end: no notice.
  midi::Close(device);
  audio::Pump(rate);
  EXPECT_TRUE(gNotices.empty());
}

TEST_F(Sequencer, NoNoticeWithoutAWindow) {
  int device = 0;
  ASSERT_EQ(midi::Open(MidiCorpus("test-c-major-scale.mid").c_str(), &device), midi::kOk);
  DWORD length = 0;
  midi::GetLengthMs(device, &length);
  ASSERT_EQ(midi::Play(device, nullptr, true, length - 100), midi::kOk);
  PumpUntilNotice(1000);
  EXPECT_TRUE(gNotices.empty());
  midi::Close(device);
}

}  // namespace
