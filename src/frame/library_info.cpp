#include <vexa/library.h>

#include "frame/cpu_features.h"

namespace {
constexpr int kLibraryVersion = 196900;
}

int GetLibraryVersion() { return kLibraryVersion; }

DWORD GetCpuFeatureWord() { return vexa::LibraryCpuFeatureWord(); }

const char* GetDispatchLevelName() {
  // FIXME: reads the processor directly until the kernel dispatch level exists.
  if (__builtin_cpu_supports("avx2")) return "avx2";
  if (__builtin_cpu_supports("sse2")) return "sse2";
  return "scalar";
}
