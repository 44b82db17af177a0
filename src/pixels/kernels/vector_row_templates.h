// The vector parts of the row operations, written once over an instruction-set policy `Ops`
// (base/simd_sse2.h or base/simd_avx2.h) and included only by effect_rows_sse2.cpp and
// effect_rows_avx2.cpp.
//
// Everything here sits in an unnamed namespace, so each of the two files gets its own copy
// compiled with its own instruction-set flags; nothing with external linkage may be defined
// here (the linker could otherwise pick the AVX2 copy for a caller on an older processor).
//
// The vector forms follow inks.h exactly. Colour inks work on 32-bit lanes holding working
// colours: at 32 bits the pixels themselves, at 15 and 16 bits the pixels unpacked into
// 0x00BBGGRR with their fields shifted to the top of each byte. Per-channel products are
// taken in 16-bit lanes, where every intermediate of the scalar formulas fits:
//   blend      s x (128 - c) + d x c          <= 255 x 128
//   MMX blend  (d - s) x c                    within +-255 x 128, arithmetic shift = floor
//   alpha      e x a + d x (256 - a), 0<a<255 <= 255 x 256
// Each row part processes whole vectors only and answers how many pixels it did; the scalar
// reference finishes the row.

#include <cstdint>
#include <cstring>

#include "pixels/kernels/effect_context.h"

namespace vexa {
namespace {

using V = Ops::V;

enum class Match { None, Substitute, DestinationKey };

// ---- channel arithmetic on working colours ---------------------------------------------

// (s x (128 - c) + d x c) >> 7 per channel; fourth byte 0.
template <class K>
V BlendPlainV(const K& k, V s, V d) {
  const V z = Ops::Zero();
  const V low =
      Ops::template Srli16<7>(Ops::Add16(Ops::Mullo16(Ops::UnpackLo8(s, z), k.sourceShare),
                                         Ops::Mullo16(Ops::UnpackLo8(d, z), k.destinationShare)));
  const V high =
      Ops::template Srli16<7>(Ops::Add16(Ops::Mullo16(Ops::UnpackHi8(s, z), k.sourceShare),
                                         Ops::Mullo16(Ops::UnpackHi8(d, z), k.destinationShare)));
  return Ops::And(Ops::PackUS16(low, high), k.low24);
}

// s + ((d - s) x c >> 7) on all four bytes.
template <class K>
V BlendAllBytesV(const K& k, V s, V d) {
  const V z = Ops::Zero();
  const V sl = Ops::UnpackLo8(s, z), sh = Ops::UnpackHi8(s, z);
  const V dl = Ops::UnpackLo8(d, z), dh = Ops::UnpackHi8(d, z);
  const V low =
      Ops::Add16(sl, Ops::template Srai16<7>(Ops::Mullo16(Ops::Sub16(dl, sl), k.destinationShare)));
  const V high =
      Ops::Add16(sh, Ops::template Srai16<7>(Ops::Mullo16(Ops::Sub16(dh, sh), k.destinationShare)));
  return Ops::PackUS16(low, high);
}

// (e x a + d x (256 - a)) >> 8 per channel, a in the low byte of each 32-bit lane; fourth
// byte 0. Lanes with a = 0 come out wrong and must be replaced by the caller.
inline V BlendAlphaV(V e, V d, V a32) {
  const V z = Ops::Zero();
  const V pairs = Ops::Or(a32, Ops::template Slli32<16>(a32));
  const V al = Ops::UnpackLo32(pairs, pairs), ah = Ops::UnpackHi32(pairs, pairs);
  const V full = Ops::Set16(256);
  const V low =
      Ops::template Srli16<8>(Ops::Add16(Ops::Mullo16(Ops::UnpackLo8(e, z), al),
                                         Ops::Mullo16(Ops::UnpackLo8(d, z), Ops::Sub16(full, al))));
  const V high =
      Ops::template Srli16<8>(Ops::Add16(Ops::Mullo16(Ops::UnpackHi8(e, z), ah),
                                         Ops::Mullo16(Ops::UnpackHi8(d, z), Ops::Sub16(full, ah))));
  return Ops::And(Ops::PackUS16(low, high), Ops::Set32(0x00FFFFFF));
}

// ---- the inks (see inks.h for each formula) ----------------------------------------------
// Colour inks work on working colours and get, in `match`, the lanes whose destination pixel
// equals the value their kMatch names.

struct VInkCopy {
  static constexpr bool kCopy = true, kBitwise = false;
  static constexpr Match kMatch = Match::None;
};
struct VBitwise {
  static constexpr bool kCopy = false, kBitwise = true;
  static constexpr Match kMatch = Match::None;
};
// kFieldBlend: the ink's colour is the plain blend of s and d, which 16-bit pixels can take
// field by field without the working form (see V16::BlendFields).
template <Match M = Match::None, bool FieldBlend = false>
struct VColor {
  static constexpr bool kCopy = false, kBitwise = false, kFieldBlend = FieldBlend;
  static constexpr Match kMatch = M;
};

struct VInkInvert : VBitwise {
  template <class K>
  static V Bitwise(const K& k, V s, V) {
    return Ops::AndNot(s, k.bitwiseMask);
  }
};
struct VInkXor : VBitwise {
  template <class K>
  static V Bitwise(const K& k, V s, V d) {
    return Ops::And(Ops::Xor(d, s), k.bitwiseMask);
  }
};
struct VInkAnd : VBitwise {
  template <class K>
  static V Bitwise(const K& k, V s, V d) {
    return Ops::And(Ops::And(d, s), k.bitwiseMask);
  }
};
struct VInkOr : VBitwise {
  template <class K>
  static V Bitwise(const K& k, V s, V d) {
    return Ops::And(Ops::Or(d, s), k.bitwiseMask);
  }
};
struct VInkAndNot : VBitwise {
  template <class K>
  static V Bitwise(const K& k, V s, V d) {
    return Ops::And(Ops::AndNot(s, d), k.bitwiseMask);
  }
};

struct VInkSemiTransparent : VColor<Match::None, true> {
  template <bool kRedLow, class K>
  static V Color(const K& k, V s, V d, V) {
    return BlendPlainV(k, s, d);
  }
};
struct VInkSemiTransparentMmx : VColor<Match::None, true> {
  template <bool kRedLow, class K>
  static V Color(const K& k, V s, V d, V) {
    return BlendAllBytesV(k, s, d);
  }
};
struct VInkBlendSubstitute : VColor<Match::Substitute> {
  template <bool kRedLow, class K>
  static V Color(const K& k, V s, V d, V match) {
    return BlendPlainV(k, s, Ops::Select(match, k.substitute, d));
  }
};
struct VInkBlendExceptKey : VColor<Match::DestinationKey, true> {
  template <bool kRedLow, class K>
  static V Color(const K& k, V s, V d, V) {
    return BlendPlainV(k, s, d);
  }
};
struct VInkAdd : VColor<> {
  template <bool kRedLow, class K>
  static V Color(const K& k, V s, V d, V) {
    return Ops::And(Ops::AddSatU8(s, d), k.low24);
  }
};
struct VInkSubtract : VColor<> {
  template <bool kRedLow, class K>
  static V Color(const K& k, V s, V d, V) {
    return Ops::And(Ops::SubSatU8(d, s), k.low24);
  }
};
struct VInkMono : VColor<> {
  template <bool kRedLow, class K>
  static V Color(const K&, V s, V, V) {
    const V byte = Ops::Set32(0xFF);
    const V low = Ops::And(s, byte);
    const V green = Ops::And(Ops::template Srli32<8>(s), byte);
    const V high = Ops::And(Ops::template Srli32<16>(s), byte);
    const V red = kRedLow ? low : high;
    const V blue = kRedLow ? high : low;
    // 16-bit products in lanes whose upper halves are 0.
    const V sum =
        Ops::Add32(Ops::Add32(Ops::Mullo16(red, Ops::Set32(5)), Ops::Mullo16(green, Ops::Set32(9))),
                   Ops::Mullo16(blue, Ops::Set32(2)));
    const V grey = Ops::template Srli32<4>(sum);
    return Ops::Or(grey, Ops::Or(Ops::template Slli32<8>(grey), Ops::template Slli32<16>(grey)));
  }
};

// ---- vector formats ------------------------------------------------------------------------
// Each format loads and compares raw pixels and gives, for one vector of raw pixels, an
// ink's colour result (Colour) and the alpha weighing of two raw vectors (BlendAlpha), both
// back in raw form.

// 32-bit pixels: one working colour per 32-bit lane, the pixel as it is.
struct V32 {
  static constexpr bool kAlphaRows = true;
  static constexpr int kPixelBytes = 4;
  static constexpr int kPixels = Ops::kBytes / 4;
  static V Broadcast(std::uint32_t v) { return Ops::Set32(v); }
  static V Equal(V a, V b) { return Ops::CmpEq32(a, b); }
  static V BitwiseMask() { return Ops::Set32(0xFFFFFFFF); }
  static V LoadAlpha(const std::uint8_t* alpha) { return Ops::Widen8To32(alpha); }

  template <class Ink, class K>
  static V Color(const K& k, V s, V d, V match, V) {
    return Ink::template Color<false>(k, s, d, match);
  }
  template <class K>
  static V BlendAlpha(const K&, V e, V d, V alpha) {
    return BlendAlphaV(e, d, alpha);
  }
};

// 16-bit pixels (5-5-5 or 5-6-5): unpacked into two vectors of working colours.
template <bool k555>
struct V16 {
  static constexpr bool kAlphaRows = true;
  static constexpr int kPixelBytes = 2;
  static constexpr int kPixels = Ops::kBytes / 2;
  static V Broadcast(std::uint32_t v) { return Ops::Set16(v); }
  static V Equal(V a, V b) { return Ops::CmpEq16(a, b); }
  static V BitwiseMask() { return Ops::Set16(k555 ? 0x7FFF : 0xFFFF); }
  static V LoadAlpha(const std::uint8_t* alpha) { return Ops::Widen8To16(alpha); }

  // 32-bit lanes holding pixel values -> working colours.
  static V Widen(V p) {
    const V red = k555 ? Ops::And(Ops::template Srli32<7>(p), Ops::Set32(0xF8))
                       : Ops::And(Ops::template Srli32<8>(p), Ops::Set32(0xF8));
    const V green = k555 ? Ops::And(Ops::template Slli32<6>(p), Ops::Set32(0xF800))
                         : Ops::And(Ops::template Slli32<5>(p), Ops::Set32(0xFC00));
    const V blue = Ops::And(Ops::template Slli32<19>(p), Ops::Set32(0xF80000));
    return Ops::Or(red, Ops::Or(green, blue));
  }
  // Working colours -> 32-bit lanes holding pixel values (top bits of each byte kept).
  static V Narrow(V w) {
    const V blue = Ops::template Srli32<19>(Ops::And(w, Ops::Set32(0xF80000)));
    const V green = k555 ? Ops::template Srli32<6>(Ops::And(w, Ops::Set32(0xF800)))
                         : Ops::template Srli32<5>(Ops::And(w, Ops::Set32(0xFC00)));
    const V red = k555 ? Ops::template Slli32<7>(Ops::And(w, Ops::Set32(0xF8)))
                       : Ops::template Slli32<8>(Ops::And(w, Ops::Set32(0xF8)));
    return Ops::Or(red, Ops::Or(green, blue));
  }
  static V Low(V raw) { return Ops::UnpackLo16(raw, Ops::Zero()); }
  static V High(V raw) { return Ops::UnpackHi16(raw, Ops::Zero()); }
  // Two vectors of 32-bit lanes (values below 0x10000) back to one of 16-bit lanes.
  static V Pack(V low, V high) {
    return Ops::PackS32(Ops::template Srai32<16>(Ops::template Slli32<16>(low)),
                        Ops::template Srai32<16>(Ops::template Slli32<16>(high)));
  }

  // One field, `Bits` wide from bit `Shift`, of sixteen-bit lanes of raw pixels:
  // s + ((d - s) x c >> 7), which is (s x (128 - c) + d x c) >> 7 and stays within the field.
  // A channel of the working form is its field shifted to the top of a byte, and the blend
  // of two such channels, narrowed back, is the blend of the fields themselves: the low bits
  // of the working form are 0, so floor(floor(2^n X / 128) / 2^n) = floor(X / 128).
  template <int Shift, int Bits, class K>
  static V BlendField(const K& k, V s, V d) {
    const V mask = Ops::Set16((1u << Bits) - 1);
    V sf = Ops::template Srli16<Shift>(s), df = Ops::template Srli16<Shift>(d);
    if constexpr (Shift + Bits < 16) {
      sf = Ops::And(sf, mask);
      df = Ops::And(df, mask);
    }
    const V step = Ops::template Srai16<7>(Ops::Mullo16(Ops::Sub16(df, sf), k.destinationShare));
    return Ops::template Slli16<Shift>(Ops::Add16(sf, step));
  }
  // The plain blend of raw pixels; the unused top bit of 5-5-5 comes out 0, as from the
  // working form.
  template <class K>
  static V BlendFields(const K& k, V s, V d) {
    constexpr int kGreenBits = k555 ? 5 : 6;
    constexpr int kRedShift = k555 ? 10 : 11;
    return Ops::Or(Ops::Or(BlendField<0, 5>(k, s, d), BlendField<5, kGreenBits>(k, s, d)),
                   BlendField<kRedShift, 5>(k, s, d));
  }

  template <class Ink, class K>
  static V Color(const K& k, V s, V d, V match, V) {
    if constexpr (Ink::kFieldBlend) return BlendFields(k, s, d);
    const V low =
        Ink::template Color<true>(k, Widen(Low(s)), Widen(Low(d)), Ops::UnpackLo16(match, match));
    const V high =
        Ink::template Color<true>(k, Widen(High(s)), Widen(High(d)), Ops::UnpackHi16(match, match));
    return Pack(Narrow(low), Narrow(high));
  }
  template <class K>
  static V BlendAlpha(const K&, V e, V d, V alpha) {
    const V z = Ops::Zero();
    const V low = BlendAlphaV(Widen(Low(e)), Widen(Low(d)), Ops::UnpackLo16(alpha, z));
    const V high = BlendAlphaV(Widen(High(e)), Widen(High(d)), Ops::UnpackHi16(alpha, z));
    return Pack(Narrow(low), Narrow(high));
  }
};

// ---- constants of one call -----------------------------------------------------------------

template <class VF>
struct Consts {
  V sourceShare, destinationShare;              // 16-bit lanes
  V substitute;                                 // 32-bit lanes, working form
  V substituteWhen, destinationKey, sourceKey;  // raw pixel lanes
  V low24, bitwiseMask;
  const EffectContext* context;  // palette, inverse table and search at 8 bits
  explicit Consts(const EffectContext& c)
      : sourceShare(Ops::Set16(c.sourceShare)),
        destinationShare(Ops::Set16(c.destinationShare)),
        substitute(Ops::Set32(c.substitute)),
        substituteWhen(VF::Broadcast(c.substituteWhen)),
        destinationKey(VF::Broadcast(c.destinationKey)),
        sourceKey(VF::Broadcast(c.sourceKey)),
        low24(Ops::Set32(0x00FFFFFF)),
        bitwiseMask(VF::BitwiseMask()),
        context(&c) {}
};

// ---- one vector of pixels through an ink ---------------------------------------------------

template <class VF, class Ink>
V MatchOf(const Consts<VF>& k, V d) {
  if constexpr (Ink::kMatch == Match::Substitute) return VF::Equal(d, k.substituteWhen);
  if constexpr (Ink::kMatch == Match::DestinationKey) return VF::Equal(d, k.destinationKey);
  return Ops::Zero();
}

// Raw pixels in, raw pixels out. `live` marks the lanes whose result will be stored (the
// 8-bit format fills its inverse table only for those, as the scalar rows do).
template <class VF, class Ink>
V Apply(const Consts<VF>& k, V s, V d, V live = Ops::Set32(0xFFFFFFFF)) {
  if constexpr (Ink::kCopy) {
    return s;
  } else if constexpr (Ink::kBitwise) {
    return Ink::Bitwise(k, s, d);
  } else {
    const V match = MatchOf<VF, Ink>(k, d);
    if constexpr (Ink::kMatch == Match::DestinationKey) live = Ops::AndNot(match, live);
    const V r = VF::template Color<Ink>(k, s, d, match, live);
    if constexpr (Ink::kMatch == Match::DestinationKey) return Ops::Select(match, d, r);
    return r;
  }
}

// E = ink(s, d) weighed by the alpha bytes of the vector's pixels.
template <class VF, class Ink>
V ApplyAlpha(const Consts<VF>& k, V s, V d, V alpha) {
  const V e = Apply<VF, Ink>(k, s, d);
  const V blended = VF::BlendAlpha(k, e, d, alpha);
  const V none = VF::Equal(alpha, Ops::Zero());
  const V full = VF::Equal(alpha, VF::Broadcast(255));
  return Ops::Select(full, e, Ops::Select(none, d, blended));
}

// ---- rows --------------------------------------------------------------------------------

template <class VF, class Ink>
int OpaqueRowV(const EffectContext& c, std::uint8_t* d, const std::uint8_t* s, int width) {
  const Consts<VF> k(c);
  int i = 0;
  for (; i + VF::kPixels <= width; i += VF::kPixels) {
    const int at = i * VF::kPixelBytes;
    Ops::Store(d + at, Apply<VF, Ink>(k, Ops::Load(s + at), Ops::Load(d + at)));
  }
  return i;
}

template <class VF, class Ink>
int KeyedVectors(const Consts<VF>& k, std::uint8_t* d, const std::uint8_t* s, int width) {
  int i = 0;
  for (; i + VF::kPixels <= width; i += VF::kPixels) {
    const int at = i * VF::kPixelBytes;
    const V sv = Ops::Load(s + at);
    const V transparent = VF::Equal(sv, k.sourceKey);
    if (Ops::AllSet(transparent)) continue;
    const V dv = Ops::Load(d + at);
    Ops::Store(
        d + at,
        Ops::Select(transparent, dv,
                    Apply<VF, Ink>(k, sv, dv, Ops::AndNot(transparent, Ops::Set32(0xFFFFFFFF)))));
  }
  return i;
}

// Sprites are drawn keyed, 32 pixels or so a row: one call for all rows, rather than one per
// row, with the constants made once, saves a good part of each row's cost.
template <class VF, class Ink>
void KeyedRowsV(const EffectContext& c, std::uint8_t* d, std::ptrdiff_t dPitch,
                const std::uint8_t* s, std::ptrdiff_t sPitch, int width, int height,
                OpaqueRowFn rest) {
  const Consts<VF> k(c);
  for (int row = 0; row < height; ++row, d += dPitch, s += sPitch) {
    const int done = KeyedVectors<VF, Ink>(k, d, s, width);
    if (done < width) {
      const int at = done * VF::kPixelBytes;
      rest(c, d + at, s + at, width - done);
    }
  }
}

template <class VF, class Ink>
int AlphaRowV(const EffectContext& c, std::uint8_t* d, const std::uint8_t* s,
              const std::uint8_t* alpha, int width) {
  const Consts<VF> k(c);
  int i = 0;
  for (; i + VF::kPixels <= width; i += VF::kPixels) {
    const V a = VF::LoadAlpha(alpha + i);
    if (Ops::AllSet(VF::Equal(a, Ops::Zero()))) continue;
    const int at = i * VF::kPixelBytes;
    Ops::Store(d + at, ApplyAlpha<VF, Ink>(k, Ops::Load(s + at), Ops::Load(d + at), a));
  }
  return i;
}

template <class VF, class Ink>
int ConstantRowV(const EffectContext& c, std::uint8_t* d, std::uint32_t s, int width) {
  const Consts<VF> k(c);
  const V sv = VF::Broadcast(s);
  int i = 0;
  for (; i + VF::kPixels <= width; i += VF::kPixels) {
    const int at = i * VF::kPixelBytes;
    Ops::Store(d + at, Apply<VF, Ink>(k, sv, Ops::Load(d + at)));
  }
  return i;
}

// ---- installing the vector parts ---------------------------------------------------------

template <class VF, class Ink>
void PutRows(EffectRoutineSet& set) {
  if constexpr (!Ink::kCopy) set.opaqueVector = OpaqueRowV<VF, Ink>;  // copies are moves
  set.keyedRows = KeyedRowsV<VF, Ink>;
  if constexpr (VF::kAlphaRows) set.alphaVector = AlphaRowV<VF, Ink>;
  set.constantVector = ConstantRowV<VF, Ink>;
}

template <class VF>
void InstallVectorFormat(KernelSet& kernels, int formatIndex) {
  for (int mmx = 0; mmx < 2; ++mmx) {
    EffectRoutineSet* sets = kernels.sets[mmx][formatIndex];
    PutRows<VF, VInkCopy>(sets[0]);
    if (mmx)
      PutRows<VF, VInkSemiTransparentMmx>(sets[1]);
    else
      PutRows<VF, VInkSemiTransparent>(sets[1]);
    PutRows<VF, VInkInvert>(sets[2]);
    PutRows<VF, VInkXor>(sets[3]);
    PutRows<VF, VInkAnd>(sets[4]);
    PutRows<VF, VInkOr>(sets[5]);
    PutRows<VF, VInkBlendSubstitute>(sets[6]);
    PutRows<VF, VInkAndNot>(sets[8]);
    PutRows<VF, VInkAdd>(sets[9]);
    PutRows<VF, VInkMono>(sets[10]);
    PutRows<VF, VInkSubtract>(sets[11]);
    PutRows<VF, VInkBlendExceptKey>(sets[12]);
  }
}

// Format indexes 1 (5-5-5), 2 (5-6-5) and 4 (32 bits); 8- and 24-bit rows stay scalar.
void InstallVectorFormats(KernelSet& kernels) {
  InstallVectorFormat<V16<true>>(kernels, 1);
  InstallVectorFormat<V16<false>>(kernels, 2);
  InstallVectorFormat<V32>(kernels, 4);
}

}  // namespace
}  // namespace vexa
