// Bitmap resources from untrusted bytes: the input becomes resource 1 of the main program
// (the file <program>.res/bitmap/1.bmp beside this executable) and is loaded from there.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "platform/module/module.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  static const std::string path = [] {
    const std::string file = plat::ResourceFilePath(nullptr, "bitmap", 1, ".bmp");
    const std::string folder = file.substr(0, file.rfind('/'));
    mkdir(folder.substr(0, folder.rfind('/')).c_str(), 0755);
    mkdir(folder.c_str(), 0755);
    return file;
  }();
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) std::abort();
  if (size) std::fwrite(data, 1, size, out);
  std::fclose(out);
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, 24, kTypeMemory, kDriverNone);
  cSurfaceObject surface;
  if (!surface.Create(2, 2, prototype)) return 0;
  if (!surface.LoadBitmapFromResource(nullptr, 1, 0) && surface.GetWidth() != 2) std::abort();
  return 0;
}
