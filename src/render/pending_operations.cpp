// Rendering operations of cSurfaceImplementation whose software paths are not built yet.
//
// FIXME: each of these answers the failure result (0, or nothing done) until its renderer
// component lands: blits and ink effects, the kernels' surface queries and fills, stretching,
// rotation, text, and collision masks. Callers see an honest failure, never a half result.
#include <vexa/surface_implementation.h>

int cSurfaceImplementation::DrawTextW(const WCHAR*, int, int, int, std::uint32_t, const RECT*,
                                      COLORREF, HFONT, HookArg, std::uint32_t, EffectParam,
                                      std::uint32_t) {
  return 0;
}
int cSurfaceImplementation::DrawTextA(const char*, int, int, int, std::uint32_t, const RECT*,
                                      COLORREF, HFONT, HookArg, std::uint32_t, EffectParam,
                                      std::uint32_t) {
  return 0;
}
int cSurfaceImplementation::DrawTextExW(const WCHAR*, int, RECT*, std::uint32_t, COLORREF, HFONT,
                                        HookArg, std::uint32_t, EffectParam, std::uint32_t, int,
                                        int, int) {
  return 0;
}
int cSurfaceImplementation::DrawTextExA(const char*, int, RECT*, std::uint32_t, COLORREF, HFONT,
                                        HookArg, std::uint32_t, EffectParam, std::uint32_t, int,
                                        int, int) {
  return 0;
}
