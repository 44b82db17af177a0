// Sequencer devices: one FluidSynth synthesiser and player per open piece, rendered by the
// audio mixer as a generator.
#include <fluidsynth.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/midi/midi.h"
#include "platform/midi/smf.h"

namespace plat::midi {
namespace {

constexpr const char* kDefaultSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

struct Registry {
  std::mutex mutex;
  std::map<int, std::unique_ptr<class Sequence>> devices;
  int next = 1;
  NotifySink sink = nullptr;
  std::string soundFont;
};

Registry& Devices() {
  static auto* r = new Registry;  // outlives the mixing thread
  return *r;
}

void Quiet() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) {
      fluid_set_log_function(level, nullptr, nullptr);
    }
  });
}

class Sequence final : public audio::Generator {
 public:
  Sequence(int id, std::vector<std::uint8_t> bytes, SmfInfo info)
      : id_(id), bytes_(std::move(bytes)), info_(std::move(info)) {}
  ~Sequence() override {
    audio::RemoveGenerator(this);
    DeletePlayer();
    if (synth_) delete_fluid_synth(synth_);
    if (settings_) delete_fluid_settings(settings_);
  }

  int Start(const std::string& soundFont, DWORD rate) {
    Quiet();
    rate_ = rate;
    settings_ = new_fluid_settings();
    if (!settings_) return kErrorNoSynthesiser;
    fluid_settings_setnum(settings_, "synth.sample-rate", double(rate));
    fluid_settings_setstr(settings_, "player.timing-source", "sample");
    fluid_settings_setint(settings_, "synth.threadsafe-api", 0);
    synth_ = new_fluid_synth(settings_);
    if (!synth_ || fluid_synth_sfload(synth_, soundFont.c_str(), 1) == FLUID_FAILED) {
      return kErrorNoSynthesiser;
    }
    return kOk;
  }

  // With the generator removed (no Render runs).
  int Play(HWND notify, double fromMs) {
    DeletePlayer();
    fluid_synth_all_sounds_off(synth_, -1);
    player_ = new_fluid_player(synth_);
    if (!player_ || fluid_player_add_mem(player_, bytes_.data(), bytes_.size()) != FLUID_OK ||
        fluid_player_play(player_) != FLUID_OK) {
      return kErrorNoSynthesiser;
    }
    if (fromMs > 0) fluid_player_seek(player_, int(info_.MsToTick(fromMs)));
    startMs_ = std::min(fromMs, info_.LengthMs());
    rendered_ = 0;
    notify_ = notify;
    playing_ = true;
    return kOk;
  }
  void Stop() {
    playing_ = false;
    DeletePlayer();
    if (synth_) fluid_synth_all_sounds_off(synth_, -1);
  }

  void Render(std::int16_t* stereo, std::size_t frames, DWORD rate) override {
    if (!playing_) {
      std::fill_n(stereo, 2 * frames, std::int16_t(0));
      return;
    }
    fluid_synth_write_s16(synth_, int(frames), stereo, 0, 2, stereo, 1, 2);
    rendered_ += frames;
    if (rate != rate_) rate_ = rate;
    if (PositionMs() >= info_.LengthMs()) {
      playing_ = false;
      if (notify_ && sink_) sink_(notify_, kNotifyMessage, kNotifySuccessful, id_);
    }
  }

  double PositionMs() const {
    return std::min(info_.LengthMs(), startMs_ + double(rendered_) * 1000.0 / rate_);
  }
  double LengthMs() const { return info_.LengthMs(); }
  bool playing() const { return playing_; }
  void SetSink(NotifySink sink) { sink_ = sink; }

 private:
  void DeletePlayer() {
    if (!player_) return;
    fluid_player_stop(player_);
    delete_fluid_player(player_);
    player_ = nullptr;
  }

  int id_;
  std::vector<std::uint8_t> bytes_;
  SmfInfo info_;
  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  fluid_player_t* player_ = nullptr;
  DWORD rate_ = 22050;
  double startMs_ = 0;
  std::uint64_t rendered_ = 0;
  HWND notify_ = nullptr;
  NotifySink sink_ = nullptr;
  bool playing_ = false;
};

Sequence* Find(int device) {
  auto it = Devices().devices.find(device);
  return it == Devices().devices.end() ? nullptr : it->second.get();
}

std::string SoundFontPath() {
  if (!Devices().soundFont.empty()) return Devices().soundFont;
  const char* env = std::getenv("VEXA_SOUNDFONT");
  return env && *env ? env : kDefaultSoundFont;
}

}  // namespace

void SetNotifySink(NotifySink sink) {
  std::lock_guard lock(Devices().mutex);
  Devices().sink = sink;
}

NotifySink GetNotifySink() {
  std::lock_guard lock(Devices().mutex);
  return Devices().sink;
}

void SetSoundFont(const char* path) {
  std::lock_guard lock(Devices().mutex);
  Devices().soundFont = path ? path : "";
}

int Open(const char* path, int* device) {
  if (!device) return kErrorInvalidDevice;
  *device = 0;
  if (!path) return kErrorFileNotFound;
  std::ifstream in(path, std::ios::binary);
  if (!in) return kErrorFileNotFound;
  std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
  SmfInfo info;
  if (!ReadSmf(bytes.data(), bytes.size(), &info)) return kErrorInvalidFile;
  std::lock_guard lock(Devices().mutex);
  const int id = Devices().next++;
  auto sequence = std::make_unique<Sequence>(id, std::move(bytes), std::move(info));
  if (int error = sequence->Start(SoundFontPath(), audio::OutputFormat().nSamplesPerSec)) {
    return error;
  }
  Devices().devices[id] = std::move(sequence);
  *device = id;
  return kOk;
}

int Play(int device, HWND notify, bool from, DWORD fromMs) {
  std::lock_guard lock(Devices().mutex);
  Sequence* s = Find(device);
  if (!s) return kErrorInvalidDevice;
  audio::RemoveGenerator(s);
  const double start = from ? double(fromMs) : s->PositionMs();
  s->SetSink(Devices().sink);
  const int error = s->Play(notify, start >= s->LengthMs() ? 0.0 : start);
  if (!error) audio::AddGenerator(s);
  return error;
}

int Pause(int device) {
  std::lock_guard lock(Devices().mutex);
  Sequence* s = Find(device);
  if (!s) return kErrorInvalidDevice;
  audio::RemoveGenerator(s);
  s->Stop();
  audio::AddGenerator(s);  // keeps its position; renders silence until played again
  return kOk;
}

int GetPositionMs(int device, DWORD* ms) {
  std::lock_guard lock(Devices().mutex);
  Sequence* s = Find(device);
  if (!s || !ms) return kErrorInvalidDevice;
  audio::RemoveGenerator(s);  // a consistent reading
  *ms = DWORD(s->PositionMs());
  audio::AddGenerator(s);
  return kOk;
}

int GetLengthMs(int device, DWORD* ms) {
  std::lock_guard lock(Devices().mutex);
  Sequence* s = Find(device);
  if (!s || !ms) return kErrorInvalidDevice;
  *ms = DWORD(s->LengthMs());
  return kOk;
}

int Close(int device) {
  std::unique_ptr<Sequence> s;
  {
    std::lock_guard lock(Devices().mutex);
    auto it = Devices().devices.find(device);
    if (it == Devices().devices.end()) return kErrorInvalidDevice;
    s = std::move(it->second);
    Devices().devices.erase(it);
  }
  return kOk;  // the destructor removes the generator before anything goes
}

int OpenDevices() {
  std::lock_guard lock(Devices().mutex);
  return int(Devices().devices.size());
}

}  // namespace plat::midi
