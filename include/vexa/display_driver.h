// The display-driver plug-in contract.
//
// A display driver is a shared object beside libvexa.so: vexad3d9.so (driver 5), vexad3d8.so
// (driver 6) and vexad3d11.so (driver 7). It derives its surfaces from cSurfaceImplementation
// and exports the four entry points below with C linkage. The library loads it on the first
// request for one of its surface types (GetPrototype with type 4-8 and its driver number),
// calls SEInitialize once, then asks SEGetSIPrototype for each prototype number and clones the
// answers with CreateCompatible. Prototypes stay the driver's: the library never deletes them.
// SEFree is called once before the module is unloaded (UnloadDrivers, or right after a refused
// SEInitialize). The arguments of BlitTransformedFrom are laid out in <vexa/transformed_blit.h>.
// See docs/drivers.md for the whole contract.
#pragma once

#include <cstdint>

#include <vexa/export.h>
#include <vexa/surface_implementation.h>
#include <vexa/wintypes.h>

struct SDL_Window;

// ---- entry points ------------------------------------------------------------------------
// Nonzero when the driver is usable; called once right after loading.
using SEInitializeFn = int (*)();
// Called once before the module is unloaded.
using SEFreeFn = void (*)();
// The driver's prototype for a number (4-7, and 8 for driver 7), or null. Owned by the driver.
using SEGetSIPrototypeFn = cSurfaceImplementation* (*)(int number);
// Optional; driver 7 only. Code 0 (kDriverFunctionDisplayArea) carries four 32-bit values:
// x, y, width and height of the rectangle of its top-level SDL window (pixels, origin top
// left) in which a window shows its display surface. The library sends it when a driver-7
// surface becomes a window's back buffer and before each present of such a window whose
// rectangle changed since the driver was last told.
using SEFunctionFn = void (*)(int code, void* data);
inline constexpr int kDriverFunctionDisplayArea = 0;

inline constexpr const char* kSEInitializeName = "SEInitialize";
inline constexpr const char* kSEFreeName = "SEFree";
inline constexpr const char* kSEGetSIPrototypeName = "SEGetSIPrototype";
inline constexpr const char* kSEFunctionName = "SEFunction";

// Marks a driver's entry point: C linkage, visible.
#define VEXA_DRIVER_ENTRY extern "C" __attribute__((visibility("default")))

// ---- driver numbers, files, prototype numbers and kinds ------------------------------------
inline constexpr const char* kDriverFileD3D9 = "vexad3d9.so";    // driver 5
inline constexpr const char* kDriverFileD3D8 = "vexad3d8.so";    // driver 6
inline constexpr const char* kDriverFileD3D11 = "vexad3d11.so";  // driver 7

// Prototype numbers (= the public surface types that select them).
inline constexpr int kPrototypeDisplay = 4;       // a window's display surface (back buffer)
inline constexpr int kPrototypeRenderTarget = 5;  // a surface that receives drawing
inline constexpr int kPrototypeStatic = 6;        // a texture filled by CopyContentFrom/Unlock
inline constexpr int kPrototypeStaticAlpha = 7;   // the same with an alpha plane
inline constexpr int kPrototypeRenderAlpha = 8;   // driver 7 only: render target with alpha
inline constexpr int kPrototypeFirst = 4;

// First kind of each driver: a surface made from prototype number n reports first + n - 4.
inline constexpr int kKindD3D9First = 9;    // 9-12
inline constexpr int kKindD3D8First = 13;   // 13-16
inline constexpr int kKindD3D11First = 21;  // 21-25
// Kinds a driver reports for surfaces it makes on its own (no prototype gives them); the
// public type and driver queries answer 0 for them. Surfaces of kind 26 never expire from an
// image bank's driver-surface cache.
inline constexpr int kKindDriverOwn = 26;
inline constexpr int kKindDriverOwn2 = 27;
inline constexpr int kKindDriverFirst = 9;
inline constexpr int kKindDriverLast = 27;

// The first kind and prototype count of a driver number (0 for others).
inline constexpr int DriverFirstKind(int driver) {
  return driver == 5   ? kKindD3D9First
         : driver == 6 ? kKindD3D8First
         : driver == 7 ? kKindD3D11First
                       : 0;
}
inline constexpr int DriverPrototypeCount(int driver) {
  return driver == 5 || driver == 6 ? 4 : driver == 7 ? 5 : 0;
}
// The driver number of a kind: 5 for 9-12, 6 for 13-16, 7 for 21-25, 0 otherwise (the drivers'
// own kinds 26 and 27 included).
inline constexpr int DriverOfKind(int kind) {
  if (kind >= kKindD3D9First && kind < kKindD3D9First + 4) return 5;
  if (kind >= kKindD3D8First && kind < kKindD3D8First + 4) return 6;
  if (kind >= kKindD3D11First && kind < kKindD3D11First + 5) return 7;
  return 0;
}
inline constexpr bool IsDriverKind(int kind) {
  return kind >= kKindDriverFirst && kind <= kKindDriverLast;
}

// ---- hooks the library gives a meaning on this platform ------------------------------------
// Besides the calls every surface gets, the library calls these driver hooks:
//
//  DriverHook79()           on a window's back buffer when PresentWindow runs on a window made
//                           with kGameWindowDriverDisplay (0x20): the driver shows (flips) its
//                           display surface. 1 when shown.
//  DriverHook94(cb, user)   on every driver surface an image bank makes: registers a frame
//                           callback, DriverFrameCallback(user), that the driver calls once per
//                           presented frame; the bank then drops surfaces unused for 4 frames.
//                           A null callback unregisters. Answer 1 when registered.
//  DriverHook105(size, out) on an atlas page (a type-7 surface of 2048 x 2048): asks for room for
//                           an image of width (low 16 bits of size) x height (high 16 bits);
//                           answers 1 and stores into *(cSurfaceImplementation**)out a new
//                           surface over that room (owned by the caller; deleting it frees the
//                           room), or 0 when the page is full.
using DriverFrameCallback = void (*)(void* userValue);

// Blit flag the redraw cycle adds to every sprite it blits onto a driver display (BlitFrom), so
// that a driver can tell the frame's sprites from other drawing; the library's renderer ignores
// it.
inline constexpr std::uint32_t kBlitDriverSprite = 0x10;

inline constexpr int kAtlasPageSize = 2048;

// ---- services for drivers ------------------------------------------------------------------
// The SDL window of a window handle (the top-level window of a child); null for an unknown
// handle. A display surface given SetWindow presents into it. Windows made for a display
// driver (game windows with flag 0x20) carry SDL_WINDOW_OPENGL.
VEXA_API SDL_Window* GetDriverSDLWindow(HWND window);

// ---- the library's driver state ------------------------------------------------------------
// Loads driver 5, 6 or 7 if needed; 1 when its first prototype is filled.
VEXA_API int LoadDriver(int driver);
// 1 when the driver's module is loaded; 2 when its last load failed; 0 otherwise.
VEXA_API int GetDriverState(int driver);
// Sends SEFunction(code, data) to a loaded driver that has it; 1 when sent.
VEXA_API int CallDriverFunction(int driver, int code, void* data);
