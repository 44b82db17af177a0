// Helpers for the sound tests: wave files built in memory, plug-ins loaded from the build
// tree, a synthetic sound filter, and the sound system on the null device with a manual clock.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <vexa/filter_manager.h>
#include <vexa/sound.h>
#include <vexa/sound_filter.h>
#include <vexa/stream.h>

#include "platform/audio/audio.h"
#include "platform/module/module.h"
#include "platform/timer/timer.h"

namespace soundtest {

inline WAVEFORMATEX Pcm(DWORD rate, WORD bits, WORD channels) {
  WAVEFORMATEX f{};
  f.wFormatTag = 1;
  f.nChannels = channels;
  f.nSamplesPerSec = rate;
  f.wBitsPerSample = bits;
  f.nBlockAlign = WORD(channels * bits / 8);
  f.nAvgBytesPerSec = rate * f.nBlockAlign;
  return f;
}

inline void Put16(std::vector<BYTE>& v, unsigned x) {
  v.push_back(BYTE(x)), v.push_back(BYTE(x >> 8));
}
inline void Put32(std::vector<BYTE>& v, unsigned x) { Put16(v, x & 0xFFFF), Put16(v, x >> 16); }
inline void PutTag(std::vector<BYTE>& v, const char* tag) {
  for (int i = 0; i < 4; ++i) v.push_back(BYTE(tag[i]));
}

// A RIFF wave file holding `data` as PCM of the given layout.
inline std::vector<BYTE> MakeWav(const WAVEFORMATEX& f, const std::vector<BYTE>& data) {
  std::vector<BYTE> v;
  PutTag(v, "RIFF");
  Put32(v, unsigned(36 + data.size()));
  PutTag(v, "WAVE");
  PutTag(v, "fmt ");
  Put32(v, 16);
  Put16(v, 1), Put16(v, f.nChannels), Put32(v, f.nSamplesPerSec), Put32(v, f.nAvgBytesPerSec);
  Put16(v, f.nBlockAlign), Put16(v, f.wBitsPerSample);
  PutTag(v, "data");
  Put32(v, unsigned(data.size()));
  v.insert(v.end(), data.begin(), data.end());
  return v;
}

// Data whose every byte position is recognisable; 8-bit data avoids the silence value 128.
inline std::vector<BYTE> PatternData(std::size_t size) {
  std::vector<BYTE> v(size);
  for (std::size_t i = 0; i < size; ++i) {
    v[i] = BYTE((i * 131u) ^ (i >> 8) ^ (i >> 16));
    if (v[i] == 128 || v[i] == 0) v[i] = 1;
  }
  return v;
}

inline std::vector<BYTE> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string Corpus(const std::string& relative) {
  return std::string(VEXA_CORPORA_DIR) + "/audio/" + relative;
}

// A memory stream over bytes the caller keeps alive; released with Delete.
inline CInputMemFile* MemoryStream(const std::vector<BYTE>& bytes) {
  auto* stream = new CInputMemFile;
  stream->Create(bytes.data(), int(bytes.size()));
  return stream;
}

// One plug-in loaded straight from the build tree.
class Plugin {
 public:
  explicit Plugin(const char* name)
      : module_(plat::LoadModule(std::string(VEXA_PLUGIN_DIR) + "/" + name + ".sft")) {}
  ~Plugin() { plat::FreeModule(module_); }
  bool Loaded() const { return module_ != nullptr; }
  CSoundFilter* Create() const {
    auto create = reinterpret_cast<CreateFilterProc>(plat::FindEntryPoint(module_, "CreateFilter"));
    return create ? static_cast<CSoundFilter*>(create(0)) : nullptr;
  }
  int CanRead(CInputFile* stream) const {
    auto can = reinterpret_cast<CanReadFileProc>(plat::FindEntryPoint(module_, "CanReadFile"));
    return can ? can(stream) : -1;
  }
  std::uint32_t Id() const {
    auto id = reinterpret_cast<GetFilterIDProc>(plat::FindEntryPoint(module_, "GetFilterID"));
    return id ? id() : 0;
  }

 private:
  void* module_;
};

// Decodes a whole stream through a plug-in's filter; false when Open refuses it.
inline bool DecodeAll(const Plugin& plugin, const std::vector<BYTE>& file, std::vector<BYTE>* out,
                      WAVEFORMATEX* format = nullptr, DWORD* length = nullptr) {
  CInputMemFile* stream = MemoryStream(file);
  CSoundFilter* filter = plugin.Create();
  bool ok = filter && filter->Open(stream) == 0;
  if (ok) {
    filter->SetOutputFormat(filter->GetNativeFormat());
    if (format) *format = *filter->GetNativeFormat();
    if (length) *length = filter->GetLength(0);
    out->clear();
    std::vector<BYTE> chunk(4096);
    for (;;) {
      DWORD got = 0;
      if (filter->ReadConverted(chunk.data(), DWORD(chunk.size()), &got) != 0 || got == 0) break;
      out->insert(out->end(), chunk.begin(), chunk.begin() + got);
    }
    filter->Close();
  }
  if (filter) filter->Release();
  stream->Delete();
  return ok;
}

// A filter over bytes in memory, with a native format of the test's choosing. Its Open reads
// nothing; Read hands out the bytes in order.
class MemoryFilter : public CSoundFilter {
 public:
  MemoryFilter(const WAVEFORMATEX& format, std::vector<BYTE> data) : data_(std::move(data)) {
    m_nativeFormat = format;
    m_outputFormat = format;
  }
  MemoryFilter(const MemoryFilter&) = default;
  MemoryFilter& operator=(const MemoryFilter&) = default;
  ~MemoryFilter() = default;
  void Destroy(unsigned flags) override {
    this->MemoryFilter::~MemoryFilter();
    if (flags & 1) ::operator delete(static_cast<void*>(this));
  }
  void Release() override { Destroy(1); }
  int Open(CInputFile*) override { return 0; }
  void Close() override { ++closes; }
  DWORD GetLength(int) override {
    return OutputBytesOfNativeFrames(DWORD(data_.size() / m_nativeFormat.nBlockAlign));
  }
  int Reserved() override { return 0; }
  int Seek(DWORD offset) override {
    position_ = std::min<std::size_t>(
        std::size_t(NativeFrameOfOutputByte(offset)) * m_nativeFormat.nBlockAlign, data_.size());
    return 0;
  }
  int Read(void* buffer, DWORD bytes, DWORD* read) override {
    ++reads;
    largestRead = std::max(largestRead, bytes);
    const std::size_t n = std::min<std::size_t>(bytes, data_.size() - position_);
    std::memcpy(buffer, data_.data() + position_, n);
    position_ += n;
    *read = DWORD(n);
    return 0;
  }

  int closes = 0;
  int reads = 0;
  DWORD largestRead = 0;

 private:
  std::vector<BYTE> data_;
  std::size_t position_ = 0;
};

}  // namespace soundtest
