// The vector instruction level that the library's kernels run at.
//
// Kernels with vector variants pick one implementation per level once, when the library is
// loaded. The level is the highest one the processor (and the operating system's register
// saving) supports, lowered by the environment variable VEXA_DISABLE_SIMD: a comma-separated
// list of levels to switch off ("avx2", "sse2"). Switching off a level also switches off the
// levels above it, so "sse2" alone forces the scalar kernels. Tests and benchmarks use this to
// compare every level with the scalar reference.
#pragma once

namespace vexa {

enum class SimdLevel { Scalar, Sse2, Avx2 };

// The level the kernels were bound to (detected once, then capped by VEXA_DISABLE_SIMD).
SimdLevel ActiveSimdLevel();

// The highest level the processor supports, ignoring the environment.
SimdLevel DetectedSimdLevel();

// `detected` lowered by a VEXA_DISABLE_SIMD value (null or empty: unchanged). Unknown words in
// the list are ignored; matching ignores case and surrounding blanks.
SimdLevel CapSimdLevel(SimdLevel detected, const char* disableList);

// True when kernels of `level` can run on this processor (so tests may call them directly).
bool SimdLevelSupported(SimdLevel level);

// "scalar", "sse2" or "avx2".
const char* SimdLevelName(SimdLevel level);

}  // namespace vexa
