// Library-wide functions: version, thread registration, CPU features.
#pragma once

#include <cstdint>

#include <vexa/export.h>
#include <vexa/wintypes.h>

// The library's version number (196900).
VEXA_API int GetLibraryVersion();

// The CPU feature word: bit 0 MMX, bit 1 SSE, bit 2 SSE2, +8 and +16 for processor feature
// bits 31 and 30. Surfaces copy its low five bits at construction.
VEXA_API DWORD GetCpuFeatureWord();

// The vector instruction set the renderer's kernels were bound to at load: "avx2", "sse2"
// or "scalar" (VEXA_DISABLE_SIMD=avx2,sse2 forces lower levels).
VEXA_API const char* GetDispatchLevelName();
