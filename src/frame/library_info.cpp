#include <vexa/library.h>

#include "frame/cpu_features.h"
#include "frame/simd_level.h"

namespace {
constexpr int kLibraryVersion = 196900;
}

int GetLibraryVersion() { return kLibraryVersion; }

DWORD GetCpuFeatureWord() { return vexa::LibraryCpuFeatureWord(); }

const char* GetDispatchLevelName() { return vexa::SimdLevelName(vexa::ActiveSimdLevel()); }
