// The effect routine sets: setup routines, and the tables of every format and effect code at
// each instruction level (the scalar sets, with the vector parts of the level laid over them).
#include <vexa/palette.h>

#include "base/simd_level.h"
#include "pixels/kernels/effect_rows.h"

namespace vexa {
namespace {

// What 8-bit effects read when the destination has no palette: every index is black.
const PALETTEENTRY kNoPalette[256] = {};

// The effect-12 key (a 0x00BBGGRR colour) as a destination pixel.
template <class F>
std::uint32_t KeyAsPixel(const EffectContext& c, std::uint32_t key) {
  if constexpr (F::kIndex == kFormat8) {
    return static_cast<std::uint32_t>(NearestIndexWith(c.palette, key, c.search));
  } else {
    return F::PixelOfColor(key);
  }
}

// The blend share c comes from the whole parameter (effect 1) or its top byte (6 and 12); a
// share above 128 is taken as 128, which keeps the destination.
template <class F, int Code>
void Setup(EffectContext& c, const PixelDescriptor* destination, const PixelDescriptor* source,
           std::uintptr_t parameter) {
  c = EffectContext{};
  c.code = Code;
  c.depth = destination->depth;
  c.sourceKey = source ? source->transparentValue : 0;
  if constexpr (F::kIndex == kFormat8) {
    c.palette = destination->palette;
    c.colors = c.palette ? c.palette->entries : kNoPalette;
    c.inverse = c.palette ? c.palette->inverseTable : nullptr;
    c.search = PaletteSearchFor(destination->flags);
  }
  const auto p = static_cast<std::uint32_t>(parameter);
  std::uint32_t share = 0;
  if (Code == 1) share = p;
  if (Code == 6 || Code == 12) share = p >> 24;
  if (share > 128) share = 128;
  c.destinationShare = share;
  c.sourceShare = 128 - share;
  if (Code == 6) {
    c.substitute = p & 0xFFFFFF;
    c.substituteWhen = F::kIndex == kFormat8 ? 0 : c.sourceKey;
  }
  if (Code == 12) c.destinationKey = KeyAsPixel<F>(c, p & 0xFFFFFF);
}

template <class F, class Ink, int Code>
EffectRoutineSet ScalarSet() {
  EffectRoutineSet set;
  set.setup = Setup<F, Code>;
  set.pixel = PixelOperation<F, Ink>;
  set.opaque = Code == 0 ? CopyRow<F> : OpaqueRow<F, Ink>;
  set.keyed = KeyedRow<F, Ink>;
  set.alpha = AlphaRow<F, Ink>;
  set.constant = ConstantRow<F, Ink>;
  return set;
}

template <class F>
void InstallScalarFormat(KernelSet& k) {
  EffectRoutineSet* plain = k.sets[0][F::kIndex];
  plain[0] = ScalarSet<F, InkCopy, 0>();
  plain[1] = ScalarSet<F, InkSemiTransparent, 1>();
  plain[2] = ScalarSet<F, InkInvert, 2>();
  plain[3] = ScalarSet<F, InkXor, 3>();
  plain[4] = ScalarSet<F, InkAnd, 4>();
  plain[5] = ScalarSet<F, InkOr, 5>();
  plain[6] = ScalarSet<F, InkBlendSubstitute, 6>();
  plain[7] = EffectRoutineSet{};  // effect 7 has no routines
  plain[8] = ScalarSet<F, InkAndNot, 8>();
  plain[9] = ScalarSet<F, InkAdd, 9>();
  plain[10] = ScalarSet<F, InkMono, 10>();
  plain[11] = ScalarSet<F, InkSubtract, 11>();
  plain[12] = ScalarSet<F, InkBlendExceptKey, 12>();
  EffectRoutineSet* mmx = k.sets[1][F::kIndex];
  for (int code = 0; code < kEffectCodeCount; ++code) mmx[code] = plain[code];
  mmx[1] = ScalarSet<F, InkSemiTransparentMmx, 1>();
}

KernelSet BuildKernels(SimdLevel level) {
  KernelSet k;
  k.level = level;
  InstallScalarFormat<Format8>(k);
  InstallScalarFormat<Format555>(k);
  InstallScalarFormat<Format565>(k);
  InstallScalarFormat<Format24>(k);
  InstallScalarFormat<Format32>(k);
  if (level >= SimdLevel::Sse2) InstallVectorRowsSse2(k);
  if (level >= SimdLevel::Avx2) InstallVectorRowsAvx2(k);
  return k;
}

}  // namespace

using KernelTables = SimdTables<KernelSet, BuildKernels>;

const KernelSet& KernelsAt(SimdLevel level) { return KernelTables::At(level); }
const KernelSet& ActiveKernels() { return KernelTables::Active(); }

std::uint32_t InverseIndexOf(const EffectContext& context, std::uint32_t color) {
  return InverseIndex(context, color);
}

const EffectRoutineSet* EffectRoutines(int formatIndex, bool mmx) {
  if (formatIndex < 0 || formatIndex >= kFormatCount) return nullptr;
  return ActiveKernels().sets[mmx ? 1 : 0][formatIndex];
}

}  // namespace vexa
