// Entry points of the OpenGL driver. The same source is built once per driver number
// (VEXA_GL_DRIVER_NUMBER 5, 6 or 7): its first kind, its prototype count and SEFunction differ.
#include <cstdint>
#include <cstring>

#include <vexa/display_driver.h>

#include "gl_context.h"
#include "gl_driver.h"
#include "gl_surface.h"

#ifndef VEXA_GL_DRIVER_NUMBER
#error "VEXA_GL_DRIVER_NUMBER names the driver (5, 6 or 7)"
#endif

namespace {

constexpr int kDriver = VEXA_GL_DRIVER_NUMBER;
constexpr int kPrototypes = DriverPrototypeCount(kDriver);
static_assert(kPrototypes > 0, "driver number 5, 6 or 7");

cGLSurface* g_prototypes[5] = {};

}  // namespace

// 1 when an OpenGL 3.3 core context could be made; 0 (nothing kept) otherwise.
VEXA_DRIVER_ENTRY int SEInitialize() {
  if (!vexagl::StartContext()) return 0;
  for (int i = 0; i < kPrototypes; ++i) {
    if (!g_prototypes[i])
      g_prototypes[i] = new cGLSurface(kPrototypeFirst + i, DriverFirstKind(kDriver));
  }
  return 1;
}

VEXA_DRIVER_ENTRY void SEFree() {
  vexagl::Flush();
  vexagl::DestroyAllSurfaces();
  for (cGLSurface*& prototype : g_prototypes) {
    if (prototype) prototype->Delete();
    prototype = nullptr;
  }
  vexagl::StopContext();
}

VEXA_DRIVER_ENTRY cSurfaceImplementation* SEGetSIPrototype(int number) {
  const int index = number - kPrototypeFirst;
  if (index < 0 || index >= kPrototypes) return nullptr;
  return g_prototypes[index];
}

// The GL renderer and version ("llvmpipe (LLVM ...) | 4.5 (Core Profile) Mesa ..."); empty
// before SEInitialize. Not part of the library's contract: tools and benchmarks print it.
VEXA_DRIVER_ENTRY const char* SEGetDeviceName() { return vexagl::DeviceName().c_str(); }

#if VEXA_GL_DRIVER_NUMBER == 7
// Code 0: four 32-bit values x, y, width, height: the rectangle of the window (pixels, origin
// at the top left) that display surfaces are shown in; a width or height of 0 shows them over
// the whole window. Code 1 (no data): the calling thread lets go of the driver's context, so
// that another thread may draw next. Other codes are ignored.
VEXA_DRIVER_ENTRY void SEFunction(int code, void* data) {
  if (code == 1) {
    vexagl::ReleaseFromThread();
    return;
  }
  if (code != 0 || !data) return;
  std::int32_t values[4];
  std::memcpy(values, data, sizeof values);
  for (int i = 0; i < 4; ++i) vexagl::g_presentViewport[i] = values[i];
}
#endif
