// PCM layout converters: one template over source and target channels and bits and whether
// the rates differ, instantiated into a table indexed by the four layouts.
#include <array>
#include <cstdint>
#include <utility>

#include <vexa/sound_filter.h>

namespace {

// A frame read as 16-bit signed values; 8-bit samples are unsigned around 128.
template <int Bits>
int LoadSample(const BYTE* p) {
  if constexpr (Bits == 8) {
    return p[0];
  } else {
    return static_cast<std::int16_t>(p[0] | (p[1] << 8));
  }
}

// 8 -> 16: (s - 128) * 256;  16 -> 8: high byte of the signed sample + 128 (modulo 256).
template <int From, int To>
int ConvertBits(int s) {
  if constexpr (From == To) {
    return s;
  } else if constexpr (From == 8) {
    return (s - 128) * 256;
  } else {
    return ((s >> 8) + 128) & 0xFF;
  }
}

template <int Bits>
void StoreSample(BYTE* p, int s) {
  if constexpr (Bits == 8) {
    p[0] = static_cast<BYTE>(s);
  } else {
    p[0] = static_cast<BYTE>(s & 0xFF);
    p[1] = static_cast<BYTE>((s >> 8) & 0xFF);
  }
}

// Mono is duplicated into both channels; stereo to mono averages: (left + right) >> 1,
// before the bit conversion.
template <int SrcChannels, int SrcBits, int DstChannels, int DstBits, bool Resample>
void Convert(const BYTE* src, BYTE* dst, DWORD frames, DWORD step, DWORD repeat) {
  constexpr int srcFrame = SrcChannels * SrcBits / 8;
  constexpr int dstFrame = DstChannels * DstBits / 8;
  constexpr int dstSample = DstBits / 8;
  if constexpr (!Resample) step = 1, repeat = 1;
  for (DWORD i = 0; i < frames; i += step) {
    const BYTE* s = src + std::size_t(i) * srcFrame;
    int left = LoadSample<SrcBits>(s);
    int right = SrcChannels == 2 ? LoadSample<SrcBits>(s + SrcBits / 8) : left;
    if constexpr (SrcChannels == 2 && DstChannels == 1) left = (left + right) >> 1;
    left = ConvertBits<SrcBits, DstBits>(left);
    right = ConvertBits<SrcBits, DstBits>(right);
    for (DWORD r = 0; r < repeat; ++r, dst += dstFrame) {
      StoreSample<DstBits>(dst, left);
      if constexpr (DstChannels == 2) StoreSample<DstBits>(dst + dstSample, right);
    }
  }
}

constexpr int Index(int srcChannels, int srcBits, int dstChannels, int dstBits, bool resample) {
  return (srcChannels - 1) << 4 | (srcBits / 16) << 3 | (dstChannels - 1) << 2 |
         (dstBits / 16) << 1 | int(resample);
}

template <int I>
constexpr SoundConverter Entry() {
  constexpr int sc = (I >> 4 & 1) + 1, sb = (I >> 3 & 1) ? 16 : 8;
  constexpr int dc = (I >> 2 & 1) + 1, db = (I >> 1 & 1) ? 16 : 8;
  constexpr bool resample = I & 1;
  // Equal layouts at equal rates need no converter: 32 combinations less these 4 give 28.
  if constexpr (sc == dc && sb == db && !resample) {
    return nullptr;
  } else {
    return &Convert<sc, sb, dc, db, resample>;
  }
}

template <std::size_t... I>
constexpr std::array<SoundConverter, sizeof...(I)> BuildTable(std::index_sequence<I...>) {
  return {Entry<int(I)>()...};
}

constexpr auto kConverters = BuildTable(std::make_index_sequence<32>());

bool Convertible(const WAVEFORMATEX& f) {
  return (f.nChannels == 1 || f.nChannels == 2) &&
         (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && f.nSamplesPerSec != 0;
}

}  // namespace

SoundConverter GetSoundConverter(const WAVEFORMATEX* from, const WAVEFORMATEX* to) {
  if (!from || !to || !Convertible(*from) || !Convertible(*to)) return nullptr;
  return kConverters[Index(from->nChannels, from->wBitsPerSample, to->nChannels, to->wBitsPerSample,
                           from->nSamplesPerSec != to->nSamplesPerSec)];
}
