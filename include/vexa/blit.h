// Drawing modes, ink effects and blit flags of Blit, StretchBlit and the text operations.
//
// The ink effect word holds the effect code in its low 12 bits; bit 12 marks a parameter
// given as 0xAARRGGBB. S is the source pixel, D the destination pixel, per channel:
//   0 None            S
//   1 SemiTransparent (S x (128 - c) + D x c) >> 7, c = parameter 0 (opaque)..128 (invisible)
//   2 Invert          NOT S            3 Xor  D XOR S      4 And  D AND S      5 Or  D OR S
//   6 BlendSubstitute as 1, a destination pixel equal to the source's key first becomes K
//                     (parameter bits 24-31: c, bits 0-23: K)
//   8 AndNot          D AND NOT S      9 Add  min(S + D, 255)
//  10 Mono            grey (5 R + 9 G + 2 B) >> 4 of S      11 Subtract  max(D - S, 0)
//  12 BlendExceptKey  destination pixels equal to the key are kept; others as 1
//                     (parameter bits 24-31: c, bits 0-23: the key colour)
//  13 EffectObject    the parameter points to an IEffectObject; its RGBA coefficient decides
// Code 7 has no routine: a blit with it is refused.
#pragma once

#include <cstdint>

#include <vexa/export.h>
#include <vexa/pixel_routines.h>  // kEffectCodeMask
#include <vexa/wintypes.h>

inline constexpr int kModeOpaque = 0;
inline constexpr int kModeTransparent = 1;

inline constexpr std::uint32_t kBlitAntialias = 1;
inline constexpr std::uint32_t kBlitCopyAlpha = 2;

inline constexpr std::uint32_t kEffectParamIsRGBA = 0x1000;

enum InkEffect : std::uint32_t {
  kEffectNone = 0,
  kEffectSemiTransparent = 1,
  kEffectInvert = 2,
  kEffectXor = 3,
  kEffectAnd = 4,
  kEffectOr = 5,
  kEffectBlendSubstitute = 6,
  kEffectUnassigned = 7,
  kEffectAndNot = 8,
  kEffectAdd = 9,
  kEffectMono = 10,
  kEffectSubtract = 11,
  kEffectBlendExceptKey = 12,
  kEffectObject = 13,
};
inline constexpr std::uint32_t kEffectCodeCount = 14;

// The object an effect of code 13 names. Shader-effect components implement it; the
// software renderer asks only for its RGBA coefficient (0xAARRGGBB).
class VEXA_API IEffectObject {
 public:
  // The object belongs to the component that made it: the base Destroy does nothing.
  /* 0 */ virtual IEffectObject* Destroy(unsigned flags);
  /* 1 */ virtual DWORD GetRGBACoefficient() = 0;

 protected:
  ~IEffectObject() = default;
};
