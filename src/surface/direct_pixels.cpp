// Direct pixel access for the library's own memory surfaces.
#include "surface/direct_pixels.h"

#include <typeinfo>

#include <vexa/alpha_buffer_surface.h>
#include <vexa/buffer_surface.h>
#include <vexa/dib_section_surface.h>

#include "pixels/pixel_format.h"

namespace vexa {

bool HasDirectPixels(cSurfaceImplementation* s) {
  if (!s || !s->storage || s->HasCustomPixelRoutines()) return false;
  if (s->depth != 8 && s->depth != 15 && s->depth != 16 && s->depth != 24 && s->depth != 32)
    return false;
  const std::type_info& type = typeid(*s);
  return type == typeid(cBufferSurface) || type == typeid(cAlphaBufferSurface) ||
         type == typeid(cDIBSectionSurface) || type == typeid(cDIBDCSurface);
}

DirectPixelWriter::DirectPixelWriter(cSurfaceImplementation* surface, COLORREF colour,
                                     std::uint32_t index)
    : surface_(surface),
      bytes_(surface->depth == 8    ? 1
             : surface->depth <= 16 ? 2
                                    : 3) {
  switch (surface->depth) {
    case 8:
      raw_ = index & 0xFF;
      break;
    case 15:
      raw_ = ColorTo555(colour);
      break;
    case 16:
      raw_ = ColorTo565(colour);
      break;
    default:
      raw_ = SwapRedBlue(colour & 0xFFFFFF);
      break;
  }
}

}  // namespace vexa
