// Saving the gallery through the library's own image export and its PNG filter plug-in.
#pragma once

#include <string>

#include <vexa/surface_object.h>

namespace demo {

// The folder of the loaded libvexa.so, where its filter plug-ins are built and installed.
std::string LibraryFolder();

// Saves the surface as PNG with ExportImage; the filter plug-ins are loaded from beside
// libvexa.so. False on any failure.
bool SavePng(cSurfaceObject& surface, const std::string& path);

}  // namespace demo
