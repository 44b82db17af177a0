// The alpha plane every surface can carry: a separate 8-bit plane, one byte per pixel
// (0 transparent, 255 opaque). An owned plane (flag 0x100) is a calloc'ed block freed with
// the surface; an attached plane is the caller's memory.
#include <cstdlib>
#include <cstring>

#include <vexa/surface_implementation.h>

namespace {

int AlphaStrideOf(int width) { return (width + 3) & ~3; }

}  // namespace

void cSurfaceImplementation::DeleteAlpha() {
  if ((flags & kSurfaceFlagOwnsAlpha) && alphaStorage) std::free(alphaStorage);
  flags &= ~kSurfaceFlagOwnsAlpha;
  alphaStorage = alphaFirstRow = nullptr;
}

std::uint8_t* cSurfaceImplementation::CreateAlpha() {
  DeleteAlpha();
  const int planeStride = AlphaStrideOf(width > 0 ? width : 0);
  const size_t bytes = static_cast<size_t>(planeStride) * static_cast<size_t>(height > 0 ? height : 0);
  auto* plane = static_cast<std::uint8_t*>(std::calloc(bytes ? bytes : 1, 1));
  if (!plane) {
    alphaStride = alphaPitch = 0;
    return nullptr;
  }
  flags |= kSurfaceFlagOwnsAlpha;
  alphaStorage = alphaFirstRow = plane;
  alphaStride = alphaPitch = planeStride;
  return plane;
}

void cSurfaceImplementation::AttachAlpha(std::uint8_t* planeFirstRow, int planePitch) {
  DeleteAlpha();
  const int planeStride = planePitch < 0 ? -planePitch : planePitch;
  alphaFirstRow = planeFirstRow;
  alphaPitch = planePitch;
  alphaStride = planeStride;
  alphaStorage = planeFirstRow;
  if (planePitch < 0 && planeFirstRow && height > 0) {
    alphaStorage = planeFirstRow - static_cast<std::ptrdiff_t>(planeStride) * (height - 1);
  }
}

std::uint8_t* cSurfaceImplementation::DetachAlpha(int* planePitch) {
  std::uint8_t* plane = alphaFirstRow;
  if (planePitch) *planePitch = alphaPitch;
  flags &= ~kSurfaceFlagOwnsAlpha;
  alphaStorage = alphaFirstRow = nullptr;
  return plane;
}

int cSurfaceImplementation::SetAlphaFromBuffer(const std::uint8_t* source, int sourcePitch) {
  if (!source) return 0;
  if (!alphaFirstRow && !CreateAlpha()) return 0;
  if (sourcePitch == 0) sourcePitch = alphaPitch;
  const int sourceStride = sourcePitch < 0 ? -sourcePitch : sourcePitch;
  const int bytes = sourceStride < alphaStride ? sourceStride : alphaStride;
  for (int y = 0; y < height; ++y) {
    std::memcpy(AlphaRow(y), source + static_cast<std::ptrdiff_t>(y) * sourcePitch,
                static_cast<size_t>(bytes));
  }
  return height;
}

// FIXME: the alpha view object and the premultiplication rules land with the memory
// surfaces; until then there is no view and nothing is converted.
cSurfaceObject* cSurfaceImplementation::GetAlphaSurface() { return nullptr; }
void cSurfaceImplementation::PremultiplyAlpha() {}
void cSurfaceImplementation::DemultiplyAlpha() {}
