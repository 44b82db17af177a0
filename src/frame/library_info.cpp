#include <vexa/library.h>

#include "base/cpu_features.h"
#include "base/simd_level.h"

namespace {
constexpr int kLibraryVersion = 196900;
}

int GetLibraryVersion() { return kLibraryVersion; }

DWORD GetCpuFeatureWord() { return vexa::LibraryCpuFeatureWord(); }

const char* GetDispatchLevelName() { return vexa::SimdLevelName(vexa::ActiveSimdLevel()); }
