// The null audio device: buffers are plain memory, cursors move only when a test pumps them.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <set>
#include <vector>

#include "platform/audio/audio.h"

namespace plat::audio {
namespace {

struct Controls {
  std::mutex mutex;
  int failDevices = 0;
  int failPrimaries = 0;
  int failBuffers = 0;
  int failRestores = 0;
  int liveDevices = 0;
  std::set<class NullBuffer*> buffers;
};

Controls& State() {
  static Controls* controls = new Controls;  // outlives every static destructor
  return *controls;
}

bool TakeFailure(int& counter) {
  if (counter <= 0) return false;
  --counter;
  return true;
}

WAVEFORMATEX DefaultPrimaryFormat() {
  WAVEFORMATEX f{};
  f.wFormatTag = 1;
  f.nChannels = 2;
  f.nSamplesPerSec = 22050;
  f.wBitsPerSample = 8;
  f.nBlockAlign = 2;
  f.nAvgBytesPerSec = 44100;
  return f;
}

class NullBuffer final : public Buffer {
 public:
  NullBuffer(const BufferDesc& desc, bool primary)
      : primary_(primary),
        flags_(desc.flags),
        format_(desc.format ? *desc.format : DefaultPrimaryFormat()),
        bytes_(primary ? 0 : desc.bufferBytes) {
    bytes_store_.assign(bytes_, 0);
  }

  int GetCurrentPosition(DWORD* play, DWORD* write) override {
    std::lock_guard lock(State().mutex);
    if (lost_) return kBufferLost;
    if (play) *play = cursor_;
    if (write) *write = cursor_;
    return kOk;
  }
  int GetFormat(WAVEFORMATEX* format) override {
    if (!format) return kInvalidParameter;
    std::lock_guard lock(State().mutex);
    *format = format_;
    return kOk;
  }
  int SetFormat(const WAVEFORMATEX* format) override {
    if (!format || !primary_) return kInvalidParameter;
    std::lock_guard lock(State().mutex);
    format_ = *format;
    return kOk;
  }
  int GetStatus(DWORD* status) override {
    if (!status) return kInvalidParameter;
    std::lock_guard lock(State().mutex);
    *status = (playing_ ? kStatusPlaying : 0) | (looping_ && playing_ ? kStatusLooping : 0) |
              (lost_ ? kStatusBufferLost : 0);
    return kOk;
  }
  int Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2,
           DWORD* bytes2) override {
    std::lock_guard lock(State().mutex);
    if (lost_) return kBufferLost;
    if (primary_ || !part1 || !bytes1 || offset >= bytes_ || bytes > bytes_) {
      return kInvalidParameter;
    }
    const DWORD first = std::min(bytes, bytes_ - offset);
    *part1 = bytes_store_.data() + offset;
    *bytes1 = first;
    if (part2) *part2 = first < bytes ? bytes_store_.data() : nullptr;
    if (bytes2) *bytes2 = bytes - first;
    if (first < bytes && (!part2 || !bytes2)) return kInvalidParameter;
    return kOk;
  }
  int Unlock(void*, DWORD, void*, DWORD) override { return kOk; }
  int Play(DWORD flags) override {
    std::lock_guard lock(State().mutex);
    if (lost_) return kBufferLost;
    playing_ = true;
    looping_ = (flags & kPlayLooping) != 0;
    return kOk;
  }
  int SetCurrentPosition(DWORD position) override {
    std::lock_guard lock(State().mutex);
    if (lost_) return kBufferLost;
    if (primary_ || position >= std::max<DWORD>(bytes_, 1)) return kInvalidParameter;
    cursor_ = position - position % std::max<WORD>(format_.nBlockAlign, 1);
    fraction_ = 0;
    return kOk;
  }
  int SetVolume(LONG v) override {
    if (v < kVolumeMin || v > kVolumeMax) return kInvalidParameter;
    std::lock_guard lock(State().mutex);
    volume_ = v;
    return kOk;
  }
  int SetPan(LONG p) override {
    if (p < kPanLeft || p > kPanRight) return kInvalidParameter;
    std::lock_guard lock(State().mutex);
    pan_ = p;
    return kOk;
  }
  int SetFrequency(DWORD hz) override {
    if (hz != 0 && (hz < kFrequencyMin || hz > kFrequencyMax)) return kInvalidParameter;
    std::lock_guard lock(State().mutex);
    frequency_ = hz;
    return kOk;
  }
  int Stop() override {
    std::lock_guard lock(State().mutex);
    playing_ = false;
    return kOk;
  }
  int Restore() override {
    std::lock_guard lock(State().mutex);
    if (TakeFailure(State().failRestores)) return kBufferLost;
    lost_ = false;
    return kOk;
  }
  void Release() override {
    {
      std::lock_guard lock(State().mutex);
      State().buffers.erase(this);
    }
    delete this;
  }

  // Called with the state lock held.
  void Advance(DWORD frames) {
    if (!playing_ || lost_ || bytes_ == 0) return;
    const DWORD rate = std::max<DWORD>(format_.nSamplesPerSec, 1);
    const DWORD hz = frequency_ ? frequency_ : rate;
    const DWORD block = std::max<WORD>(format_.nBlockAlign, 1);
    // Frames of this buffer that pass while `frames` frames pass at its own rate.
    const std::uint64_t scaled = std::uint64_t(frames) * hz + fraction_;
    fraction_ = scaled % rate;
    const std::uint64_t moved = scaled / rate * block;
    const std::uint64_t next = cursor_ + moved;
    if (next < bytes_) {
      cursor_ = DWORD(next);
    } else if (looping_) {
      cursor_ = DWORD(next % bytes_);
    } else {
      cursor_ = 0;
      fraction_ = 0;
      playing_ = false;
    }
  }
  void MarkLost() { lost_ = true, playing_ = false; }
  BufferInfo Info() const {
    return {flags_, bytes_, volume_, pan_, frequency_, playing_, looping_, bytes_store_.data()};
  }

 private:
  bool primary_;
  DWORD flags_;
  WAVEFORMATEX format_;
  DWORD bytes_;
  std::vector<BYTE> bytes_store_;
  DWORD cursor_ = 0;
  DWORD fraction_ = 0;
  bool playing_ = false;
  bool looping_ = false;
  bool lost_ = false;
  LONG volume_ = 0;
  LONG pan_ = 0;
  DWORD frequency_ = 0;
};

class NullDevice final : public Device {
 public:
  int SetCooperativeLevel(HWND window, DWORD) override {
    window_ = window;
    return kOk;
  }
  int CreateSoundBuffer(const BufferDesc& desc, Buffer** buffer) override {
    if (!buffer) return kInvalidParameter;
    *buffer = nullptr;
    const bool primary = (desc.flags & kPrimaryBuffer) != 0;
    if (desc.size != sizeof(BufferDesc)) return kInvalidParameter;
    if (!primary) {
      const WAVEFORMATEX* f = desc.format;
      if (!f || f->wFormatTag != 1 || f->nBlockAlign == 0 || desc.bufferBytes == 0 ||
          desc.bufferBytes % f->nBlockAlign != 0) {
        return kInvalidParameter;
      }
    }
    std::lock_guard lock(State().mutex);
    if (TakeFailure(primary ? State().failPrimaries : State().failBuffers)) {
      return kOutOfMemory;
    }
    auto* b = new (std::nothrow) NullBuffer(desc, primary);
    if (!b) return kOutOfMemory;
    State().buffers.insert(b);
    *buffer = b;
    return kOk;
  }
  void Release() override {
    {
      std::lock_guard lock(State().mutex);
      --State().liveDevices;
    }
    delete this;
  }
  HWND window_ = nullptr;
};

}  // namespace

int CreateDevice(Device** device) {
  if (!device) return kInvalidParameter;
  *device = nullptr;
  std::lock_guard lock(State().mutex);
  if (TakeFailure(State().failDevices)) return kOutOfMemory;
  *device = new (std::nothrow) NullDevice;
  if (!*device) return kOutOfMemory;
  ++State().liveDevices;
  return kOk;
}

void Pump(DWORD frames) {
  std::lock_guard lock(State().mutex);
  for (NullBuffer* b : State().buffers) b->Advance(frames);
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
  auto* b = static_cast<NullBuffer*>(buffer);
  if (State().buffers.count(b)) b->MarkLost();
}

BufferInfo Inspect(Buffer* buffer) {
  std::lock_guard lock(State().mutex);
  auto* b = static_cast<NullBuffer*>(buffer);
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
  return device ? static_cast<NullDevice*>(device)->window_ : nullptr;
}

}  // namespace plat::audio
