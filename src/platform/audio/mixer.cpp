// The mixing loop: every playing voice is resampled to the output rate, scaled by its gains
// and summed; the sum is saturated to 16 bits.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/audio/mixer.h"

namespace plat::audio::detail {
namespace {

constexpr std::uint64_t kUnitStep = std::uint64_t(1) << 32;

// Sample `channel` of a frame as signed 16 bits; a mono voice gives its one sample to both.
std::int32_t SampleAt(const Voice& v, DWORD frame, int channel) {
  const BYTE* p = v.data + std::size_t(frame) * v.block;
  if (v.bits == 8) return (std::int32_t(p[v.channels == 2 ? channel : 0]) - 128) * 256;
  std::int16_t s;
  std::memcpy(&s, p + (v.channels == 2 ? 2 * channel : 0), 2);
  return s;
}

// The interpolating read of a 16-bit stereo voice (the common case) with its state held in
// locals: the same steps as the general loop in MixVoice, at most `most` frames into `out`.
std::size_t InterpolateStereo16(Voice& v, std::uint64_t step, std::int16_t* out, std::size_t most) {
  const auto* data = reinterpret_cast<const std::int16_t*>(v.data);
  const std::uint64_t frames = v.frames;
  const bool looping = v.looping;
  std::uint64_t cursor = v.cursor;
  std::uint32_t fraction = v.fraction;
  std::size_t n = 0;
  while (n < most && cursor < frames) {
    if (cursor + 1 < frames && step > 0) {
      // The frames whose position lies before the voice's last frame read it and the one
      // after without an end test: the position runs in one 32.32 fixed-point number.
      std::uint64_t position = (cursor << 32) | fraction;
      const std::uint64_t limit = (frames - 1) << 32;
      const std::uint64_t stretch =
          std::min<std::uint64_t>((limit - position + step - 1) / step, most - n);
      for (std::uint64_t k = 0; k < stretch; ++k, ++n, position += step) {
        const std::uint64_t at = 2 * (position >> 32);
        const std::int32_t t = std::int32_t(std::uint32_t(position) >> 17);
        for (int c = 0; c < 2; ++c) {
          const std::int32_t s0 = data[at + c], s1 = data[at + 2 + c];
          out[2 * n + c] = std::int16_t(s0 + (((s1 - s0) * t) >> 15));
        }
      }
      cursor = position >> 32;
      fraction = std::uint32_t(position);
      if (cursor >= frames && looping) cursor %= frames;
      cursor = std::min(cursor, frames);
      continue;
    }
    std::uint64_t next = cursor + 1;
    if (next >= frames) next = looping ? 0 : cursor;
    const std::int32_t t = std::int32_t(fraction >> 17);
    for (int c = 0; c < 2; ++c) {
      const std::int32_t s0 = data[2 * cursor + c];
      const std::int32_t s1 = data[2 * next + c];
      out[2 * n + c] = std::int16_t(s0 + (((s1 - s0) * t) >> 15));
    }
    ++n;
    const std::uint64_t position = std::uint64_t(fraction) + step;
    cursor += position >> 32;
    fraction = std::uint32_t(position);
    if (cursor >= frames && looping) cursor %= frames;
    cursor = std::min(cursor, frames);
  }
  v.cursor = DWORD(cursor);
  v.fraction = fraction;
  return n;
}

}  // namespace

std::int32_t GainOfLevel(LONG hundredthsOfDb) {
  if (hundredthsOfDb <= kVolumeMin) return 0;
  if (hundredthsOfDb >= 0) return kUnityGain;
  return std::int32_t(std::lround(kUnityGain * std::pow(10.0, hundredthsOfDb / 2000.0)));
}

void GainsOf(LONG volume, LONG pan, std::int32_t* left, std::int32_t* right) {
  *left = GainOfLevel(volume - std::max<LONG>(pan, 0));
  *right = GainOfLevel(volume + std::min<LONG>(pan, 0));
}

DWORD MixRateLocked() {
  const MixerState& st = State();
  if (st.output == Output::kSdl && st.sdlDevice != 0) return st.sdlRate;
  return st.pinnedRate ? st.pinnedRate : st.format.nSamplesPerSec;
}

DWORD AheadBytesLocked(const Voice& v) {
  const DWORD rate = MixRateLocked();
  if (rate == 0) return 0;
  const DWORD hz = v.frequency ? v.frequency : v.rate;
  // Equal rates copy the block's frames; other rates also read the frame after the last.
  std::uint64_t frames = kMixBlockFrames;
  if (hz != rate) frames = (std::uint64_t(kMixBlockFrames) * hz + rate - 1) / rate + 1;
  return DWORD(std::min<std::uint64_t>(frames, v.frames) * v.block);
}

void MixVoice(Voice& v, std::int32_t* acc, std::size_t frames, DWORD outputRate,
              std::int16_t* scratch, const MixKernels& kernels, bool muted) {
  if (!v.playing || v.lost || v.frames == 0 || outputRate == 0) return;
  const DWORD hz = v.frequency ? v.frequency : v.rate;
  const std::uint64_t step = (std::uint64_t(hz) << 32) / outputRate;
  const bool audible = !muted && (v.gainLeft != 0 || v.gainRight != 0);
  std::size_t done = 0;
  while (done < frames && v.playing) {
    std::size_t produced = 0;
    if (step == kUnitStep && v.fraction == 0) {
      // Equal rates: the frames are taken as they stand.
      produced = std::min<std::size_t>(frames - done, v.frames - v.cursor);
      if (audible) {
        const std::int16_t* src;
        if (v.bits == 16 && v.channels == 2) {
          src = reinterpret_cast<const std::int16_t*>(v.data) + 2 * std::size_t(v.cursor);
        } else {
          for (std::size_t i = 0; i < produced; ++i) {
            scratch[2 * i] = std::int16_t(SampleAt(v, v.cursor + DWORD(i), 0));
            scratch[2 * i + 1] = std::int16_t(SampleAt(v, v.cursor + DWORD(i), 1));
          }
          src = scratch;
        }
        kernels.accumulate(acc + 2 * done, src, produced, v.gainLeft, v.gainRight);
      }
      v.cursor += DWORD(produced);
    } else {
      // Linear interpolation between the cursor's frame and the next (the first again for a
      // looping voice, the same one at the end of a voice that stops).
      if (audible && v.bits == 16 && v.channels == 2) {
        produced = InterpolateStereo16(v, step, scratch, frames - done);
      }
      while (done + produced < frames && v.cursor < v.frames) {
        if (audible) {
          DWORD next = v.cursor + 1;
          if (next >= v.frames) next = v.looping ? 0 : v.cursor;
          const std::int32_t t = std::int32_t(v.fraction >> 17);
          for (int c = 0; c < 2; ++c) {
            const std::int32_t s0 = SampleAt(v, v.cursor, c);
            const std::int32_t s1 = SampleAt(v, next, c);
            scratch[2 * produced + c] = std::int16_t(s0 + (((s1 - s0) * t) >> 15));
          }
        }
        ++produced;
        const std::uint64_t position = std::uint64_t(v.fraction) + step;
        std::uint64_t cursor = std::uint64_t(v.cursor) + (position >> 32);
        v.fraction = std::uint32_t(position);
        if (cursor >= v.frames && v.looping) cursor %= v.frames;
        v.cursor = DWORD(std::min<std::uint64_t>(cursor, v.frames));
      }
      if (audible) {
        kernels.accumulate(acc + 2 * done, scratch, produced, v.gainLeft, v.gainRight);
      }
    }
    done += produced;
    if (v.cursor >= v.frames) {
      if (v.looping) {
        v.cursor = 0;
      } else {
        v.cursor = 0;
        v.fraction = 0;
        v.playing = false;
      }
    }
  }
}

void MixLocked(std::int16_t* out, std::size_t frames, int channels, DWORD rate) {
  MixerState& st = State();
  const MixKernels& kernels = ActiveMixKernels();
  st.accumulator.resize(2 * kMixBlockFrames);
  st.scratch.resize(2 * kMixBlockFrames);
  st.stereo.resize(2 * kMixBlockFrames);
  for (std::size_t start = 0; start < frames; start += kMixBlockFrames) {
    const std::size_t n = std::min(kMixBlockFrames, frames - start);
    std::fill_n(st.accumulator.begin(), 2 * n, 0);
    for (Voice* v : st.voices) {
      const bool muted = !st.processFocus && !v->globalFocus;
      MixVoice(*v, st.accumulator.data(), n, rate, st.scratch.data(), kernels, muted);
    }
    for (Generator* g : st.generators) {
      g->Render(st.scratch.data(), n, rate);
      kernels.accumulate(st.accumulator.data(), st.scratch.data(), n, kUnityGain, kUnityGain);
    }
    if (channels == 2) {
      kernels.saturate(out + 2 * start, st.accumulator.data(), 2 * n);
    } else {
      kernels.saturate(st.stereo.data(), st.accumulator.data(), 2 * n);
      for (std::size_t i = 0; i < n; ++i) {
        out[start + i] = std::int16_t((st.stereo[2 * i] + st.stereo[2 * i + 1]) >> 1);
      }
    }
  }
}

}  // namespace plat::audio::detail
