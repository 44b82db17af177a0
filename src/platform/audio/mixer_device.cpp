// The device and buffer objects over the mixer, and the controls of the null output.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "platform/audio/mixer.h"

namespace plat::audio {
namespace detail {

MixerState& State() {
  static MixerState* state = [] {
    auto* s = new MixerState;  // outlives every static destructor and the SDL thread
    s->format = DefaultOutputFormat();
    return s;
  }();
  return *state;
}

WAVEFORMATEX DefaultOutputFormat() {
  WAVEFORMATEX f{};
  f.wFormatTag = 1;
  f.nChannels = 2;
  f.nSamplesPerSec = 22050;
  f.wBitsPerSample = 8;
  f.nBlockAlign = 2;
  f.nAvgBytesPerSec = 44100;
  return f;
}

void MarkAllLostLocked();

namespace {

bool TakeFailure(int& counter) {
  if (counter <= 0) return false;
  --counter;
  return true;
}

// The SDL output went away by itself: close it and lose every buffer until Restore reopens.
void CheckOutput() {
  {
    std::lock_guard lock(State().mutex);
    if (State().output != Output::kSdl || State().sdlDevice == 0) return;
  }
  if (SdlOutputAlive()) return;
  CloseSdlOutput();
  std::lock_guard lock(State().mutex);
  MarkAllLostLocked();
}

bool SdlOutputNeeded() {
  std::lock_guard lock(State().mutex);
  return State().output == Output::kSdl && State().liveDevices > 0;
}

}  // namespace

class MixBuffer final : public Buffer {
 public:
  MixBuffer(const BufferDesc& desc, bool primary) : primary_(primary), flags_(desc.flags) {
    if (primary) return;
    const WAVEFORMATEX& f = *desc.format;
    store_.assign((std::size_t(desc.bufferBytes) + 1) / 2, 0);
    voice_.data = reinterpret_cast<const BYTE*>(store_.data());
    voice_.block = f.nBlockAlign;
    voice_.bits = f.wBitsPerSample;
    voice_.channels = f.nChannels;
    voice_.rate = f.nSamplesPerSec;
    voice_.frames = desc.bufferBytes / f.nBlockAlign;
    voice_.globalFocus = (desc.flags & kGlobalFocus) != 0;
    bytes_ = desc.bufferBytes;
    format_ = f;
  }

  int GetCurrentPosition(DWORD* play, DWORD* write) override {
    std::lock_guard lock(State().mutex);
    if (voice_.lost) return kBufferLost;
    const DWORD cursor = voice_.cursor * voice_.block;
    if (play) *play = cursor;
    // Bytes up to the write cursor may already sit in the block being mixed: a stopped buffer
    // has none, a playing one the block the mixer takes next. The buffer is circular.
    if (write) {
      *write = cursor;
      if (voice_.playing && bytes_ > 0) *write = (cursor + AheadBytesLocked(voice_)) % bytes_;
    }
    return kOk;
  }
  int GetFormat(WAVEFORMATEX* format) override {
    if (!format) return kInvalidParameter;
    std::lock_guard lock(State().mutex);
    *format = primary_ ? State().format : format_;
    return kOk;
  }
  int SetFormat(const WAVEFORMATEX* format) override {
    if (!format || !primary_) return kInvalidParameter;
    if (format->nChannels < 1 || format->nChannels > 2 || format->nSamplesPerSec < kFrequencyMin ||
        format->nSamplesPerSec > kFrequencyMax) {
      return kInvalidParameter;
    }
    bool reopen = false;
    {
      std::lock_guard lock(State().mutex);
      MixerState& st = State();
      reopen = st.output == Output::kSdl && st.sdlDevice != 0 &&
               (format->nSamplesPerSec != st.format.nSamplesPerSec ||
                format->nChannels != st.format.nChannels);
      st.format = *format;
    }
    if (reopen) {
      CloseSdlOutput();
      if (!OpenSdlOutput()) {
        std::lock_guard lock(State().mutex);
        MarkAllLostLocked();
      }
    }
    return kOk;
  }
  int GetStatus(DWORD* status) override {
    if (!status) return kInvalidParameter;
    CheckOutput();
    std::lock_guard lock(State().mutex);
    *status = (voice_.playing ? kStatusPlaying : 0) |
              (voice_.looping && voice_.playing ? kStatusLooping : 0) |
              (voice_.lost ? kStatusBufferLost : 0);
    return kOk;
  }
  int Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2,
           DWORD* bytes2) override {
    std::lock_guard lock(State().mutex);
    if (voice_.lost) return kBufferLost;
    if (primary_ || !part1 || !bytes1 || offset >= bytes_ || bytes > bytes_) {
      return kInvalidParameter;
    }
    BYTE* base = reinterpret_cast<BYTE*>(store_.data());
    const DWORD first = std::min(bytes, bytes_ - offset);
    *part1 = base + offset;
    *bytes1 = first;
    if (part2) *part2 = first < bytes ? base : nullptr;
    if (bytes2) *bytes2 = bytes - first;
    if (first < bytes && (!part2 || !bytes2)) return kInvalidParameter;
    return kOk;
  }
  int Unlock(void*, DWORD, void*, DWORD) override { return kOk; }
  int Play(DWORD flags) override {
    std::lock_guard lock(State().mutex);
    if (voice_.lost) return kBufferLost;
    if (primary_) return kOk;
    voice_.playing = true;
    voice_.looping = (flags & kPlayLooping) != 0;
    return kOk;
  }
  int SetCurrentPosition(DWORD position) override {
    std::lock_guard lock(State().mutex);
    if (voice_.lost) return kBufferLost;
    if (primary_ || position >= std::max<DWORD>(bytes_, 1)) return kInvalidParameter;
    voice_.cursor = position / voice_.block;
    voice_.fraction = 0;
    return kOk;
  }
  int SetVolume(LONG v) override {
    if (v < kVolumeMin || v > kVolumeMax) return kInvalidParameter;
    std::lock_guard lock(State().mutex);
    volume_ = v;
    GainsOf(volume_, pan_, &voice_.gainLeft, &voice_.gainRight);
    return kOk;
  }
  int SetPan(LONG p) override {
    if (p < kPanLeft || p > kPanRight) return kInvalidParameter;
    std::lock_guard lock(State().mutex);
    pan_ = p;
    GainsOf(volume_, pan_, &voice_.gainLeft, &voice_.gainRight);
    return kOk;
  }
  int SetFrequency(DWORD hz) override {
    if (hz != 0 && (hz < kFrequencyMin || hz > kFrequencyMax)) return kInvalidParameter;
    std::lock_guard lock(State().mutex);
    voice_.frequency = hz;
    return kOk;
  }
  int Stop() override {
    std::lock_guard lock(State().mutex);
    voice_.playing = false;
    return kOk;
  }
  int Restore() override {
    {
      std::lock_guard lock(State().mutex);
      if (TakeFailure(State().failRestores)) return kBufferLost;
    }
    bool open = true;
    if (SdlOutputNeeded()) {
      bool closed;
      {
        std::lock_guard lock(State().mutex);
        closed = State().sdlDevice == 0;
      }
      if (closed) open = OpenSdlOutput();
    }
    if (!open) return kBufferLost;
    std::lock_guard lock(State().mutex);
    voice_.lost = false;
    return kOk;
  }
  void Release() override {
    {
      std::lock_guard lock(State().mutex);
      State().buffers.erase(this);
      auto& voices = State().voices;
      voices.erase(std::remove(voices.begin(), voices.end(), &voice_), voices.end());
    }
    delete this;
  }

  void MarkLost() { voice_.lost = true, voice_.playing = false; }
  BufferInfo Info() const {
    return {flags_,           bytes_,
            volume_,          pan_,
            voice_.frequency, voice_.playing,
            voice_.looping,   reinterpret_cast<const BYTE*>(store_.data())};
  }
  Voice* voice() { return primary_ ? nullptr : &voice_; }

 private:
  bool primary_;
  DWORD flags_;
  WAVEFORMATEX format_{};
  DWORD bytes_ = 0;
  std::vector<std::int16_t> store_;  // 16-bit cells so that 16-bit samples are read in place
  Voice voice_;
  LONG volume_ = 0;
  LONG pan_ = 0;
};

void MarkAllLostLocked() {
  for (MixBuffer* b : State().buffers) b->MarkLost();
}

namespace {

class MixerDevice final : public Device {
 public:
  int SetCooperativeLevel(HWND window, DWORD) override {
    window_ = window;  // recorded only: output is shared with every other program
    return kOk;
  }
  int CreateSoundBuffer(const BufferDesc& desc, Buffer** buffer) override {
    if (!buffer) return kInvalidParameter;
    *buffer = nullptr;
    const bool primary = (desc.flags & kPrimaryBuffer) != 0;
    if (desc.size != sizeof(BufferDesc)) return kInvalidParameter;
    if (!primary) {
      const WAVEFORMATEX* f = desc.format;
      if (!f || f->wFormatTag != 1 || (f->nChannels != 1 && f->nChannels != 2) ||
          (f->wBitsPerSample != 8 && f->wBitsPerSample != 16) ||
          f->nBlockAlign != f->nChannels * f->wBitsPerSample / 8 ||
          f->nSamplesPerSec < kFrequencyMin || f->nSamplesPerSec > kFrequencyMax ||
          desc.bufferBytes == 0 || desc.bufferBytes % f->nBlockAlign != 0) {
        return kInvalidParameter;
      }
    }
    std::lock_guard lock(State().mutex);
    if (TakeFailure(primary ? State().failPrimaries : State().failBuffers)) {
      return kOutOfMemory;
    }
    auto* b = new (std::nothrow) MixBuffer(desc, primary);
    if (!b) return kOutOfMemory;
    State().buffers.insert(b);
    if (Voice* v = b->voice()) State().voices.push_back(v);
    *buffer = b;
    return kOk;
  }
  void Release() override {
    bool last;
    {
      std::lock_guard lock(State().mutex);
      last = --State().liveDevices == 0;
    }
    if (last) {
      CloseSdlOutput();
      std::lock_guard lock(State().mutex);
      if (State().liveDevices == 0) State().format = DefaultOutputFormat();
    }
    delete this;
  }
  HWND window_ = nullptr;
};

}  // namespace
}  // namespace detail

using detail::State;

int CreateDevice(Device** device) {
  if (!device) return kInvalidParameter;
  *device = nullptr;
  bool first;
  {
    std::lock_guard lock(State().mutex);
    if (detail::TakeFailure(State().failDevices)) return kOutOfMemory;
    first = ++State().liveDevices == 1 && State().output == Output::kSdl;
  }
  if (first && !detail::OpenSdlOutput()) {
    std::lock_guard lock(State().mutex);
    --State().liveDevices;
    return kOutOfMemory;
  }
  *device = new (std::nothrow) detail::MixerDevice;
  if (!*device) {
    std::lock_guard lock(State().mutex);
    --State().liveDevices;
    return kOutOfMemory;
  }
  return kOk;
}

void SelectOutput(Output output) {
  std::lock_guard lock(State().mutex);
  State().output = output;
}

Output SelectedOutput() {
  std::lock_guard lock(State().mutex);
  return State().output;
}

void SetProcessFocus(bool focused) {
  std::lock_guard lock(State().mutex);
  State().processFocus = focused;
}

bool ProcessFocused() {
  std::lock_guard lock(State().mutex);
  return State().processFocus;
}

WAVEFORMATEX OutputFormat() {
  std::lock_guard lock(State().mutex);
  return State().format;
}

void SetOutputTap(OutputTap tap, void* context) {
  std::lock_guard lock(State().mutex);
  State().tap = tap;
  State().tapContext = context;
}

std::vector<std::int16_t> Pump(DWORD frames) {
  std::lock_guard lock(State().mutex);
  const detail::MixerState& st = State();
  const DWORD rate = st.pinnedRate ? st.pinnedRate : st.format.nSamplesPerSec;
  const int channels = st.format.nChannels == 1 ? 1 : 2;
  std::vector<std::int16_t> out(std::size_t(frames) * channels);
  detail::MixLocked(out.data(), frames, channels, rate);
  return out;
}

void AddGenerator(Generator* generator) {
  std::lock_guard lock(State().mutex);
  if (generator) State().generators.push_back(generator);
}

void RemoveGenerator(Generator* generator) {
  std::lock_guard lock(State().mutex);
  auto& g = State().generators;
  g.erase(std::remove(g.begin(), g.end(), generator), g.end());
}

void PinOutputRate(DWORD hz) {
  std::lock_guard lock(State().mutex);
  State().pinnedRate = hz;
}

void SimulateDeviceLoss() {
  std::lock_guard lock(State().mutex);
  detail::MarkAllLostLocked();
}

void FailDeviceCreations(int count) {
  std::lock_guard lock(State().mutex);
  State().failDevices = count;
}
void FailPrimaryBufferCreations(int count) {
  std::lock_guard lock(State().mutex);
  State().failPrimaries = count;
}
void FailBufferCreations(int count) {
  std::lock_guard lock(State().mutex);
  State().failBuffers = count;
}
void FailRestores(int count) {
  std::lock_guard lock(State().mutex);
  State().failRestores = count;
}

void MarkLost(Buffer* buffer) {
  std::lock_guard lock(State().mutex);
  auto* b = static_cast<detail::MixBuffer*>(buffer);
  if (State().buffers.count(b)) b->MarkLost();
}

BufferInfo Inspect(Buffer* buffer) {
  std::lock_guard lock(State().mutex);
  auto* b = static_cast<detail::MixBuffer*>(buffer);
  return State().buffers.count(b) ? b->Info() : BufferInfo{};
}

int LiveDevices() {
  std::lock_guard lock(State().mutex);
  return State().liveDevices;
}

int LiveBuffers() {
  std::lock_guard lock(State().mutex);
  return int(State().buffers.size());
}

HWND CooperativeWindow(Device* device) {
  return device ? static_cast<detail::MixerDevice*>(device)->window_ : nullptr;
}

}  // namespace plat::audio
