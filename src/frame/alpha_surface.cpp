// cSurfaceImplementation::GetAlphaSurface: a new surface object whose implementation is an 8-bit
// view of the surface's alpha plane. It makes a public surface object, so it lives with the
// object rather than beside the plane it views.
#include <new>

#include <vexa/alpha_buffer_surface.h>
#include <vexa/surface_implementation.h>
#include <vexa/surface_object.h>

cSurfaceObject* cSurfaceImplementation::GetAlphaSurface() {
  if (!alphaFirstRow) return nullptr;
  cSurfaceObject* object = NewSurfaceObject();
  if (!object) return nullptr;
  auto* view = new (std::nothrow) cAlphaBufferSurface(alphaFirstRow, width, height, alphaPitch);
  if (!view) {
    DeleteSurfaceObject(object);
    return nullptr;
  }
  object->SetImplementation(view);
  return object;
}
