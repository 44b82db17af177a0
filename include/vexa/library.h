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

class cSurfaceObject;

// ---- threads -----------------------------------------------------------------------------
// A thread registers before it uses surfaces; the first registration in the process builds
// the surface prototypes, the last unregistration releases them. Calls nest per thread.
VEXA_API void RegisterThread();
VEXA_API void UnregisterThread();

// ---- prototypes --------------------------------------------------------------------------
// Surface types for GetPrototype / cSurfaceObject::GetType.
inline constexpr int kTypeMemory = 0;
inline constexpr int kTypeDIBSection = 1;
inline constexpr int kTypeDIBSectionDC = 2;
inline constexpr int kTypeDIBSectionAlt = 3;
inline constexpr int kTypeDriverFirst = 4;  // 4-8: driver prototypes one to five

// Driver identifiers.
inline constexpr int kDriverNone = 0;
inline constexpr int kDriverD3D9 = 5;
inline constexpr int kDriverD3D8 = 6;
inline constexpr int kDriverD3D11 = 7;

// Sets *prototype to the prototype for the depth, type and driver; 1 when a prototype of
// exactly that depth exists (without a driver: depths 8, 15, 16, 24, 32), else 0. Types 4-7
// with driver 5, 6 or 7 load that driver and take its prototypes one to four; type 8 with
// driver 7 takes its fifth (a render target with alpha). Type 8 with any other driver, and
// types above 8, give the DIB-section prototype.
VEXA_API int GetPrototype(cSurfaceObject** prototype, int depth, int type, int driver);
// Empties the 13 driver prototypes and unloads the display-driver plug-ins.
VEXA_API void UnloadDrivers();

// The screen's mode code (1 = 1 bit ... 6 = 15, 7 = 16, 8 = 32 bits), found at load.
VEXA_API int GetScreenModeCode();
// 1: the platform counts as the NT family (always so here).
VEXA_API int IsNTPlatform();

// ---- system colours ----------------------------------------------------------------------
VEXA_API void RefreshSystemColors();
VEXA_API void RefreshSystemColorsIfCaptured();
// The cached colour (0x00BBGGRR) for indices 0-28; others are asked of the platform.
VEXA_API COLORREF GetSystemColor(int index);

// ---- bitmap sizes ------------------------------------------------------------------------
VEXA_API int GetDIBHeaderSize(int depth);
// Stride and whole size are 0 for a negative dimension or a size that does not fit an int.
VEXA_API int GetDIBSize(int width, int height, int depth);
VEXA_API int GetStride(int width, int depth);
VEXA_API std::uint8_t* GetDIBBits(BITMAPINFO* info);
