// CSoundFilter: output format and conversion state, the converters, the converted read.
#include <random>
#include <set>

#include "sound/sound_test_support.h"

namespace {

using namespace soundtest;

MemoryFilter* NewFilter(const WAVEFORMATEX& native, std::vector<BYTE> data) {
  return new MemoryFilter(native, std::move(data));
}

TEST(SoundFilter, SameFormatNeedsNoConversion) {
  const WAVEFORMATEX f = Pcm(22050, 16, 2);
  MemoryFilter* filter = NewFilter(f, PatternData(100));
  EXPECT_EQ(filter->SetOutputFormat(&f), nullptr);
  EXPECT_EQ(filter->m_convert, 0u);
  EXPECT_EQ(filter->m_ratio, 1.0f);
  EXPECT_EQ(filter->GetOutputFormat()->nSamplesPerSec, 22050u);
  EXPECT_EQ(filter->GetNativeFormat(), &filter->m_nativeFormat);
  filter->Release();
}

TEST(SoundFilter, StepRepeatAndRatioFollowTheRates) {
  struct Case {
    DWORD nativeRate, outputRate, step, repeat;
  };
  for (const Case& c : {Case{11025, 22050, 1, 2}, Case{44100, 22050, 2, 1},
                        Case{48000, 22050, 2, 1}, Case{8000, 44100, 1, 5}}) {
    MemoryFilter* filter = NewFilter(Pcm(c.nativeRate, 16, 2), {});
    const WAVEFORMATEX out = Pcm(c.outputRate, 8, 1);
    void* buffer = filter->SetOutputFormat(&out);
    EXPECT_NE(buffer, nullptr);
    EXPECT_EQ(buffer, filter->m_convertBuffer);
    EXPECT_EQ(filter->m_convert, 1u);
    EXPECT_EQ(filter->m_step, c.step) << c.nativeRate << " -> " << c.outputRate;
    EXPECT_EQ(filter->m_repeat, c.repeat) << c.nativeRate << " -> " << c.outputRate;
    const float nativeBlock = float(4 * c.nativeRate * 80 / 100);
    EXPECT_FLOAT_EQ(filter->m_ratio, float(c.outputRate * 80 / 100) / nativeBlock);
    filter->Release();
  }
}

// The reference conversion of one native frame, written sample by sample.
std::vector<int> ReferenceFrame(const BYTE* s, const WAVEFORMATEX& in, const WAVEFORMATEX& out) {
  auto load = [&](int channel) {
    return in.wBitsPerSample == 8 ? int(s[channel])
                                  : int(std::int16_t(s[2 * channel] | s[2 * channel + 1] << 8));
  };
  std::vector<int> v = {load(0), in.nChannels == 2 ? load(1) : load(0)};
  if (in.nChannels == 2 && out.nChannels == 1) v = {(v[0] + v[1]) >> 1};
  if (in.nChannels == 1 && out.nChannels == 1) v = {v[0]};
  for (int& x : v) {
    if (in.wBitsPerSample == 8 && out.wBitsPerSample == 16) x = (x - 128) * 256;
    if (in.wBitsPerSample == 16 && out.wBitsPerSample == 8) x = ((x >> 8) + 128) & 0xFF;
  }
  return v;
}

TEST(SoundFilter, EveryConverterMatchesTheReference) {
  std::mt19937 random(27);
  std::vector<BYTE> data(4 * 600);
  for (BYTE& b : data) b = BYTE(random());
  std::set<SoundConverter> converters;
  for (WORD ic : {1, 2})
    for (WORD ib : {8, 16})
      for (WORD oc : {1, 2})
        for (WORD ob : {8, 16}) {
          for (DWORD outRate : {22050u, 44100u, 11025u}) {
            const WAVEFORMATEX in = Pcm(22050, ib, ic), out = Pcm(outRate, ob, oc);
            if (auto c = GetSoundConverter(&in, &out)) converters.insert(c);
            if (outRate == 11025) continue;  // counted only: the same converters as 44100
            MemoryFilter* filter = NewFilter(in, data);
            filter->SetOutputFormat(&out);
            const DWORD repeat = outRate / 22050;
            const DWORD frames = 501;  // not a multiple of anything
            std::vector<BYTE> got(frames * repeat * out.nBlockAlign + 7, 0xA5);
            DWORD read = 0;
            const bool same = ic == oc && ib == ob && repeat == 1;
            ASSERT_EQ(filter->ReadConverted(got.data(), frames * repeat * out.nBlockAlign, &read),
                      0);
            ASSERT_EQ(read, frames * repeat * out.nBlockAlign);
            for (DWORD i = 0; i < 7; ++i)
              ASSERT_EQ(got[read + i], 0xA5);  // nothing past the request
            for (DWORD f = 0; f < frames * repeat; ++f) {
              const auto expect = ReferenceFrame(&data[(f / repeat) * in.nBlockAlign], in, out);
              for (WORD c = 0; c < oc; ++c) {
                const BYTE* p = &got[f * out.nBlockAlign + c * ob / 8];
                const int value = ob == 8 ? p[0] : std::int16_t(p[0] | p[1] << 8);
                ASSERT_EQ(value, expect[c]) << ic << "ch " << ib << "bit -> " << oc << "ch " << ob
                                            << "bit x" << repeat << " frame " << f;
              }
            }
            EXPECT_EQ(filter->m_convert, same ? 0u : 1u);
            filter->Release();
          }
        }
  EXPECT_EQ(converters.size(), 28u);  // one per layout pair and rate case
}

TEST(SoundFilter, ConvertedReadStaysInsideRequestAndBuffer) {
  // 48000 Hz 16-bit stereo to 22050 Hz: step 2. A big request is converted in chunks of the
  // 0.8 s convert buffer, and exactly the requested bytes arrive.
  const WAVEFORMATEX in = Pcm(48000, 16, 2), out = Pcm(22050, 16, 2);
  std::vector<BYTE> data = PatternData(4 * 48000 * 3);
  MemoryFilter* filter = NewFilter(in, data);
  filter->SetOutputFormat(&out);
  const DWORD nativeBlock = 4 * 48000 * 80 / 100;
  std::vector<BYTE> got(2205 * 4 + 64, 0x5A);
  DWORD read = 0;
  ASSERT_EQ(filter->ReadConverted(got.data(), 2205 * 4, &read), 0);
  EXPECT_EQ(read, 2205u * 4);
  EXPECT_EQ(got[2205 * 4], 0x5A);
  for (DWORD f = 0; f < 2205; ++f) {
    ASSERT_EQ(std::memcmp(&got[f * 4], &data[f * 2 * 4], 4), 0) << f;
  }
  std::vector<BYTE> big(4 * 22050 * 2, 0);
  ASSERT_EQ(filter->ReadConverted(big.data(), DWORD(big.size()), &read), 0);
  EXPECT_EQ(read, big.size());
  EXPECT_LE(filter->largestRead, nativeBlock);
  // Continues where the first read stopped: native frame 4410.
  EXPECT_EQ(std::memcmp(&big[0], &data[4410 * 4], 4), 0);
  // The data runs out: what is left arrives, then nothing.
  ASSERT_EQ(filter->ReadConverted(big.data(), DWORD(big.size()), &read), 0);
  EXPECT_LT(read, big.size());
  EXPECT_EQ(read % 4, 0u);
  filter->Release();
}

TEST(SoundFilter, ReadsFailWithoutAConverterOrBuffer) {
  WAVEFORMATEX in = Pcm(22050, 16, 2);
  in.nChannels = 3;
  in.nBlockAlign = 6;
  MemoryFilter* filter = NewFilter(in, PatternData(600));
  const WAVEFORMATEX out = Pcm(22050, 16, 2);
  filter->SetOutputFormat(&out);
  EXPECT_EQ(filter->m_converter, nullptr);
  BYTE buffer[64];
  DWORD read = 99;
  EXPECT_NE(filter->ReadConverted(buffer, sizeof buffer, &read), 0);
  EXPECT_EQ(read, 0u);
  filter->Release();

  MemoryFilter* zeroRate = NewFilter(Pcm(0, 16, 2), PatternData(600));
  zeroRate->SetOutputFormat(&out);
  EXPECT_NE(zeroRate->ReadConverted(buffer, sizeof buffer, &read), 0);
  zeroRate->Release();
}

TEST(SoundFilter, CopiesOwnTheirConvertBuffers) {
  MemoryFilter* a = NewFilter(Pcm(11025, 8, 1), PatternData(100));
  const WAVEFORMATEX out = Pcm(22050, 16, 2);
  a->SetOutputFormat(&out);
  MemoryFilter copy(*a);
  EXPECT_NE(copy.m_convertBuffer, nullptr);
  EXPECT_NE(copy.m_convertBuffer, a->m_convertBuffer);
  EXPECT_EQ(copy.m_repeat, 2u);
  EXPECT_EQ(copy.m_outputFormat.nSamplesPerSec, 22050u);
  MemoryFilter assigned(Pcm(8000, 8, 1), {});
  assigned = copy;
  EXPECT_NE(assigned.m_convertBuffer, copy.m_convertBuffer);
  EXPECT_EQ(assigned.m_converter, a->m_converter);
  a->Release();  // each frees only its own buffer (the sanitizer build checks)
}

TEST(SoundFilter, LengthsAndOffsetsFollowTheConversion) {
  MemoryFilter* filter = NewFilter(Pcm(44100, 16, 2), PatternData(4 * 1001));
  EXPECT_EQ(filter->GetLength(0), 4004u);
  const WAVEFORMATEX out = Pcm(22050, 8, 1);
  filter->SetOutputFormat(&out);
  EXPECT_EQ(filter->GetLength(0), 501u);  // every second of 1001 frames, one byte each
  EXPECT_EQ(filter->NativeFrameOfOutputByte(100), 200u);
  filter->Release();
}

TEST(SoundFilter, SlotsKeepTheirOrder) {
  MemoryFilter* filter = NewFilter(Pcm(8000, 8, 1), PatternData(10));
  auto** vtable = *reinterpret_cast<void***>(filter);
  using GetLengthSlot = DWORD (*)(CSoundFilter*, int);
  using SetOutputSlot = void* (*)(CSoundFilter*, const WAVEFORMATEX*);
  EXPECT_EQ(reinterpret_cast<GetLengthSlot>(vtable[4])(filter, 0), 10u);
  const WAVEFORMATEX out = Pcm(16000, 8, 1);
  EXPECT_NE(reinterpret_cast<SetOutputSlot>(vtable[8])(filter, &out), nullptr);
  EXPECT_EQ(filter->m_repeat, 2u);
  using ReleaseSlot = void (*)(CSoundFilter*);
  reinterpret_cast<ReleaseSlot>(vtable[1])(filter);
}

}  // namespace
