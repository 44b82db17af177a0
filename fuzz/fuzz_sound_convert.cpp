// Sound format conversion on fuzzed format pairs: SetOutputFormat, then converted reads of
// fuzzed sizes. Reads never write past the request and never read past the data.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include <vexa/sound_filter.h>

namespace {

class BytesFilter : public CSoundFilter {
 public:
  BytesFilter(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  void Destroy(unsigned flags) override {
    this->BytesFilter::~BytesFilter();
    if (flags & 1) ::operator delete(static_cast<void*>(this));
  }
  void Release() override { Destroy(1); }
  int Open(CInputFile*) override { return 0; }
  void Close() override {}
  DWORD GetLength(int) override { return DWORD(size_); }
  int Reserved() override { return 0; }
  int Seek(DWORD offset) override {
    position_ = std::min<std::size_t>(offset, size_);
    return 0;
  }
  int Read(void* buffer, DWORD bytes, DWORD* read) override {
    const std::size_t n = std::min<std::size_t>(bytes, size_ - position_);
    std::memcpy(buffer, data_ + position_, n);
    position_ += n;
    *read = DWORD(n);
    return 0;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

WAVEFORMATEX FormatFrom(const std::uint8_t* p) {
  WAVEFORMATEX f{};
  f.wFormatTag = 1;
  f.nChannels = WORD(p[0] % 4);
  f.wBitsPerSample = WORD((p[1] % 4) * 8);
  f.nSamplesPerSec = DWORD(p[2] | p[3] << 8) * (p[1] & 0x80 ? 4 : 1);
  f.nBlockAlign = WORD(f.nChannels * f.wBitsPerSample / 8);
  f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
  return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 10) return 0;
  const WAVEFORMATEX in = FormatFrom(data), out = FormatFrom(data + 4);
  const std::uint8_t sizes[2] = {data[8], data[9]};
  std::vector<std::uint8_t> payload(data + 10, data + size);  // exact size: overreads show
  BytesFilter filter(payload.data(), payload.size());
  filter.m_nativeFormat = in;
  filter.SetOutputFormat(&out);
  BytesFilter copy(filter);  // a copy with its own buffer
  for (int round = 0; round < 8; ++round) {
    const DWORD want = DWORD(sizes[round & 1]) * (round + 1) * 13 + DWORD(round);
    std::vector<BYTE> buffer(want);
    DWORD got = 0;
    filter.ReadConverted(buffer.data(), want, &got);
    if (got > want) __builtin_trap();
    copy.ReadConverted(buffer.data(), want, &got);
  }
  return 0;
}
