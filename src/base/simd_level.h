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

// The highest level at or below `level` that this processor runs.
SimdLevel SupportedSimdLevel(SimdLevel level);

// One table of kernels per SIMD level, each built once on first use: the dispatch of a kernel
// family. `Build(level)` fills the family's table for a level the processor runs (it picks
// the forms of that level and falls back below it where a level has none). A family exposes
// `XxxAt(level)` (for tests and benchmarks: every level against the scalar one) and
// `ActiveXxx()` (what the library runs) as one-line forwards to At and Active.
template <class Table, Table (*Build)(SimdLevel)>
struct SimdTables {
  // The table of `level`, or of the best level below it that the processor runs.
  static const Table& At(SimdLevel level) {
    switch (SupportedSimdLevel(level)) {
      case SimdLevel::Avx2: {
        static const Table avx2 = Build(SimdLevel::Avx2);
        return avx2;
      }
      case SimdLevel::Sse2: {
        static const Table sse2 = Build(SimdLevel::Sse2);
        return sse2;
      }
      case SimdLevel::Scalar:
        break;
    }
    static const Table scalar = Build(SimdLevel::Scalar);
    return scalar;
  }
  // The table of the library's active level, chosen once.
  static const Table& Active() {
    static const Table& active = At(ActiveSimdLevel());
    return active;
  }
};

}  // namespace vexa
