// The scalar reference of every row operation, over <Format, Ink>, and the joins of a row's
// vector and scalar parts.
#pragma once

#include <cstdint>
#include <cstring>

#include "pixels/kernels/inks.h"

namespace vexa {

template <class F, class Ink>
std::uint32_t PixelOperation(const EffectContext& c, std::uint32_t s, std::uint32_t d) {
  return Ink::template Apply<F>(c, s, d);
}

// Every pixel: d = ink(s, d).
template <class F, class Ink>
int OpaqueRow(const EffectContext& c, std::uint8_t* d, const std::uint8_t* s, int width) {
  for (int i = 0; i < width; ++i, d += F::kBytes, s += F::kBytes)
    F::Store(d, Ink::template Apply<F>(c, F::Load(s), F::Load(d)));
  return width;
}

// Source pixels equal to the source's transparent value leave the destination alone.
template <class F, class Ink>
int KeyedRow(const EffectContext& c, std::uint8_t* d, const std::uint8_t* s, int width) {
  for (int i = 0; i < width; ++i, d += F::kBytes, s += F::kBytes) {
    const std::uint32_t sp = F::Load(s);
    if (sp != c.sourceKey) F::Store(d, Ink::template Apply<F>(c, sp, F::Load(d)));
  }
  return width;
}

// Per pixel a = alpha: 0 skips; 255 stores E = ink(s, d); otherwise the working forms of E
// and d are weighed: (E x a + d x (256 - a)) >> 8.
template <class F, class Ink>
int AlphaRow(const EffectContext& c, std::uint8_t* d, const std::uint8_t* s,
             const std::uint8_t* alpha, int width) {
  for (int i = 0; i < width; ++i, d += F::kBytes, s += F::kBytes) {
    const std::uint32_t a = alpha[i];
    if (a == 0) continue;
    const std::uint32_t dp = F::Load(d);
    const std::uint32_t e = Ink::template Apply<F>(c, F::Load(s), dp);
    F::Store(d, a == 255
                    ? e
                    : F::FromWorking(c, BlendAlpha(F::ToWorking(c, e), F::ToWorking(c, dp), a)));
  }
  return width;
}

// One source pixel against every pixel of the row.
template <class F, class Ink>
int ConstantRow(const EffectContext& c, std::uint8_t* d, std::uint32_t s, int width) {
  for (int i = 0; i < width; ++i, d += F::kBytes)
    F::Store(d, Ink::template Apply<F>(c, s, F::Load(d)));
  return width;
}

// The opaque copy is a move of the row's bytes.
template <class F>
int CopyRow(const EffectContext&, std::uint8_t* d, const std::uint8_t* s, int width) {
  std::memcpy(d, s, static_cast<std::size_t>(width) * F::kBytes);
  return width;
}

// ---- joining a row's vector part and its scalar finish ------------------------------------

inline void RunOpaqueRow(const EffectRoutineSet& set, const EffectContext& c, std::uint8_t* d,
                         const std::uint8_t* s, int width, int bytesPerPixel) {
  const int done = set.opaqueVector ? set.opaqueVector(c, d, s, width) : 0;
  if (done < width) set.opaque(c, d + done * bytesPerPixel, s + done * bytesPerPixel, width - done);
}

inline void RunAlphaRow(const EffectRoutineSet& set, const EffectContext& c, std::uint8_t* d,
                        const std::uint8_t* s, const std::uint8_t* alpha, int width,
                        int bytesPerPixel) {
  const int done = set.alphaVector ? set.alphaVector(c, d, s, alpha, width) : 0;
  if (done < width)
    set.alpha(c, d + done * bytesPerPixel, s + done * bytesPerPixel, alpha + done, width - done);
}

inline void RunConstantRow(const EffectRoutineSet& set, const EffectContext& c, std::uint8_t* d,
                           std::uint32_t s, int width, int bytesPerPixel) {
  const int done = set.constantVector ? set.constantVector(c, d, s, width) : 0;
  if (done < width) set.constant(c, d + done * bytesPerPixel, s, width - done);
}

}  // namespace vexa
