// Bitmap files from untrusted bytes: the input is the file (an in-memory file, read through
// the ordinary file handle), loaded into an 8-bit and a 32-bit surface. Whatever the header
// claims, the loader must size everything from the file and stay inside what it read.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <vexa/library.h>
#include <vexa/surface_object.h>

namespace {

void LoadInto(int depth, int fd, int flags) {
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, depth, kTypeMemory, kDriverNone);
  cSurfaceObject surface;
  if (!surface.Create(3, 3, prototype)) return;
  lseek(fd, 0, SEEK_SET);
  if (surface.LoadBitmapFromFile(static_cast<HFILE>(fd), flags)) {
    // Touch the corners of what was loaded.
    COLORREF sum = surface.GetPixelFast(0, 0) +
                   surface.GetPixelFast(surface.GetWidth() - 1, surface.GetHeight() - 1);
    if (sum == 0xFFFFFFFFu && surface.GetWidth() == 0) std::abort();
  } else if (surface.GetWidth() != 3 || surface.GetLastError() == 0) {
    std::abort();  // a refused load leaves the surface as it was and says why
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  static const int fd = memfd_create("vexa_fuzz_bitmap", 0);
  if (fd < 0) return 0;
  if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;
  const int flags = size ? data[size - 1] & 5 : 0;
  LoadInto(8, fd, flags);
  LoadInto(32, fd, flags);
  return 0;
}
