// The SIMD levels a test can run on this processor.
#pragma once

#include <vector>

#include "base/simd_level.h"

namespace testsupport {

// Every level the processor runs, scalar first: for tests that check a rule at each level.
inline std::vector<vexa::SimdLevel> SupportedLevels() {
  std::vector<vexa::SimdLevel> levels;
  for (vexa::SimdLevel level :
       {vexa::SimdLevel::Scalar, vexa::SimdLevel::Sse2, vexa::SimdLevel::Avx2}) {
    if (vexa::SimdLevelSupported(level)) levels.push_back(level);
  }
  return levels;
}

// The vector levels the processor runs: for tests that compare each with the scalar one.
inline std::vector<vexa::SimdLevel> SupportedVectorLevels() {
  std::vector<vexa::SimdLevel> levels = SupportedLevels();
  levels.erase(levels.begin());
  return levels;
}

}  // namespace testsupport
