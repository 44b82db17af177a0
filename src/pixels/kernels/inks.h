// The ink effects as scalar formulas: the reference every vector form must match bit for bit.
//
// Each ink turns a source pixel s and a destination pixel d (stored values) into the
// destination's new pixel. Bitwise inks act on the stored values themselves (palette indices
// at 8 bits); colour inks act on the working forms of kernel_formats.h, per channel, and
// write the fourth byte of a 32-bit pixel as 0 unless said otherwise. All arithmetic is
// integer and truncating; c is the destination's share (0..128) from the effect's setup.
#pragma once

#include <cstdint>

#include "pixels/kernels/kernel_formats.h"

namespace vexa {

// ---- channel arithmetic on working colours ---------------------------------------------

// (s x (128 - c) + d x c) >> 7 on the red-blue pair and on green; fourth byte 0.
inline std::uint32_t BlendPlain(const EffectContext& c, std::uint32_t s, std::uint32_t d) {
  const std::uint32_t rb =
      ((s & 0xFF00FF) * c.sourceShare + (d & 0xFF00FF) * c.destinationShare) >> 7 & 0xFF00FF;
  const std::uint32_t g =
      ((s & 0xFF00) * c.sourceShare + (d & 0xFF00) * c.destinationShare) >> 7 & 0xFF00;
  return rb | g;
}

// s + ((d - s) x c >> 7) on each of the four bytes, with an arithmetic shift and saturation.
// Per byte s + floor((d - s) x c / 128) = floor((s x (128 - c) + d x c) / 128), which lies
// between s and d and so never saturates: the form is the plain blend applied to the pairs
// of bytes 0, 2 and 1, 3 alike.
inline std::uint32_t BlendAllBytes(const EffectContext& c, std::uint32_t s, std::uint32_t d) {
  const std::uint32_t low =
      ((s & 0xFF00FF) * c.sourceShare + (d & 0xFF00FF) * c.destinationShare) >> 7 & 0xFF00FF;
  const std::uint32_t high =
      (((s >> 8) & 0xFF00FF) * c.sourceShare + ((d >> 8) & 0xFF00FF) * c.destinationShare) >> 7 &
      0xFF00FF;
  return low | high << 8;
}

// (s x a + d x (256 - a)) >> 8 on the red-blue pair and on green; fourth byte 0.
inline std::uint32_t BlendAlpha(std::uint32_t s, std::uint32_t d, std::uint32_t a) {
  const std::uint32_t rb = ((s & 0xFF00FF) * a + (d & 0xFF00FF) * (256 - a)) >> 8 & 0xFF00FF;
  const std::uint32_t g = ((s & 0xFF00) * a + (d & 0xFF00) * (256 - a)) >> 8 & 0xFF00;
  return rb | g;
}

// ---- the inks ----------------------------------------------------------------------------

// d = s
struct InkCopy {
  template <class F>
  static std::uint32_t Apply(const EffectContext&, std::uint32_t s, std::uint32_t) {
    return s;
  }
};

// d = (s x (128 - c) + d x c) >> 7 per channel (effect 1, plain form)
struct InkSemiTransparent {
  template <class F>
  static std::uint32_t Apply(const EffectContext& c, std::uint32_t s, std::uint32_t d) {
    return F::FromWorking(c, BlendPlain(c, F::ToWorking(c, s), F::ToWorking(c, d)));
  }
};

// d = s + ((d - s) x c >> 7) on all four bytes (effect 1, MMX form)
struct InkSemiTransparentMmx {
  template <class F>
  static std::uint32_t Apply(const EffectContext& c, std::uint32_t s, std::uint32_t d) {
    return F::FromWorking(c, BlendAllBytes(c, F::ToWorking(c, s), F::ToWorking(c, d)));
  }
};

// d = NOT s (effect 2)
struct InkInvert {
  template <class F>
  static std::uint32_t Apply(const EffectContext&, std::uint32_t s, std::uint32_t) {
    return ~s & F::kBitwiseMask;
  }
};

// d = d XOR s (effect 3)
struct InkXor {
  template <class F>
  static std::uint32_t Apply(const EffectContext&, std::uint32_t s, std::uint32_t d) {
    return (d ^ s) & F::kBitwiseMask;
  }
};

// d = d AND s (effect 4)
struct InkAnd {
  template <class F>
  static std::uint32_t Apply(const EffectContext&, std::uint32_t s, std::uint32_t d) {
    return d & s & F::kBitwiseMask;
  }
};

// d = d OR s (effect 5)
struct InkOr {
  template <class F>
  static std::uint32_t Apply(const EffectContext&, std::uint32_t s, std::uint32_t d) {
    return (d | s) & F::kBitwiseMask;
  }
};

// d = blend(s, d == substituteWhen ? K : d) (effect 6; at 8 bits substituteWhen is index 0,
// elsewhere the source's transparent value; K is taken as a working colour as it is)
struct InkBlendSubstitute {
  template <class F>
  static std::uint32_t Apply(const EffectContext& c, std::uint32_t s, std::uint32_t d) {
    const std::uint32_t dw = d == c.substituteWhen ? c.substitute : F::ToWorking(c, d);
    return F::FromWorking(c, BlendPlain(c, F::ToWorking(c, s), dw));
  }
};

// d = d AND (NOT s) (effect 8)
struct InkAndNot {
  template <class F>
  static std::uint32_t Apply(const EffectContext&, std::uint32_t s, std::uint32_t d) {
    return d & ~s & F::kBitwiseMask;
  }
};

// d = min(s + d, 255) per channel (effect 9): the red-blue pair and green are added apart,
// and a channel that carried out of its byte becomes 255.
struct InkAdd {
  static std::uint32_t Channels(std::uint32_t s, std::uint32_t d) {
    std::uint32_t rb = (s & 0xFF00FF) + (d & 0xFF00FF);
    std::uint32_t g = (s & 0xFF00) + (d & 0xFF00);
    const std::uint32_t rbCarry = rb & 0x1000100;
    const std::uint32_t gCarry = g & 0x10000;
    rb = (rb | (rbCarry - (rbCarry >> 8))) & 0xFF00FF;
    g = (g | (gCarry - (gCarry >> 8))) & 0xFF00;
    return rb | g;
  }
  template <class F>
  static std::uint32_t Apply(const EffectContext& c, std::uint32_t s, std::uint32_t d) {
    return F::FromWorking(c, Channels(F::ToWorking(c, s), F::ToWorking(c, d)));
  }
};

// d = grey of s in all three channels, grey = (5 x R + 9 x G + 2 x B) >> 4 (effect 10)
struct InkMono {
  template <class F>
  static std::uint32_t Apply(const EffectContext& c, std::uint32_t s, std::uint32_t) {
    const std::uint32_t w = F::ToWorking(c, s);
    const std::uint32_t low = w & 0xFF, green = (w >> 8) & 0xFF, high = (w >> 16) & 0xFF;
    const std::uint32_t red = F::kRedLow ? low : high;
    const std::uint32_t blue = F::kRedLow ? high : low;
    const std::uint32_t grey = (5 * red + 9 * green + 2 * blue) >> 4;
    return F::FromWorking(c, grey | grey << 8 | grey << 16);
  }
};

// d = max(d - s, 0) per channel (effect 11)
struct InkSubtract {
  static std::uint32_t Channels(std::uint32_t s, std::uint32_t d) {
    std::uint32_t result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
      const std::uint32_t sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
      result |= (dc > sc ? dc - sc : 0) << shift;
    }
    return result;
  }
  template <class F>
  static std::uint32_t Apply(const EffectContext& c, std::uint32_t s, std::uint32_t d) {
    return F::FromWorking(c, Channels(F::ToWorking(c, s), F::ToWorking(c, d)));
  }
};

// d = d == key ? d : (s x (128 - c) + d x c) >> 7 (effect 12; the key as a destination pixel)
struct InkBlendExceptKey {
  template <class F>
  static std::uint32_t Apply(const EffectContext& c, std::uint32_t s, std::uint32_t d) {
    if (d == c.destinationKey) return d;
    return F::FromWorking(c, BlendPlain(c, F::ToWorking(c, s), F::ToWorking(c, d)));
  }
};

}  // namespace vexa
