// Writing a 32-bit surface to a PNG file (libpng), for the gallery.
#pragma once

#include <string>

#include <vexa/surface_object.h>

namespace demo {

// Writes the surface's pixels as an RGB PNG; false on any failure.
bool WritePng(cSurfaceObject& surface, const std::string& path);

}  // namespace demo
