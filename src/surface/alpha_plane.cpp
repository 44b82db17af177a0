// The alpha plane every surface can carry: a separate 8-bit plane, one byte per pixel
// (0 transparent, 255 opaque). An owned plane (flag 0x100) is a calloc'ed block freed with
// the surface; an attached plane is the caller's memory.
#include <cstdlib>
#include <cstring>

#include <vexa/error_surface.h>
#include <vexa/surface_implementation.h>

#include "pixels/pixel_format.h"
#include "surface/alpha_plane_kernels.h"
#include "surface/buffer_surface_storage.h"

namespace {

// Runs a row kernel over every row of a surface above 8 bits that has an alpha plane.
void ConvertRows(cSurfaceImplementation& surface, const vexa::AlphaRowFn* kernels) {
  if (!surface.alphaFirstRow || surface.depth <= 8) return;
  const vexa::AlphaRowFn convert = kernels[vexa::FormatOfDepth(surface.depth)];
  if (!surface.Lock()) return;
  for (int y = 0; y < surface.height; ++y)
    convert(surface.Row(y), surface.AlphaRow(y), surface.width);
  surface.Unlock();
}

// The error surface stands for every empty surface object at once: a plane given to it would
// appear on all of them (and a caller's buffer would stay reachable after the caller let it
// go). It keeps none.
bool KeepsNoPlane(const cSurfaceImplementation* surface) { return surface == GetErrorSurface(); }

}  // namespace

void cSurfaceImplementation::DeleteAlpha() {
  if ((flags & kSurfaceFlagOwnsAlpha) && alphaStorage) std::free(alphaStorage);
  flags &= ~kSurfaceFlagOwnsAlpha;
  alphaStorage = alphaFirstRow = nullptr;
  alphaStride = alphaPitch = 0;
}

std::uint8_t* cSurfaceImplementation::CreateAlpha() {
  if (KeepsNoPlane(this)) return nullptr;
  DeleteAlpha();
  // The plane's rows follow the 8-bit stride rule: width + 3 with the two low bits cleared.
  vexa::RowLayout layout;
  if (!vexa::ComputeRowLayout(width, height, 8, &layout)) return nullptr;
  auto* plane = static_cast<std::uint8_t*>(std::calloc(layout.bytes ? layout.bytes : 1, 1));
  if (!plane) return nullptr;
  flags |= kSurfaceFlagOwnsAlpha;
  alphaStorage = alphaFirstRow = plane;
  alphaStride = alphaPitch = layout.stride;
  return plane;
}

void cSurfaceImplementation::AttachAlpha(std::uint8_t* planeFirstRow, int planePitch) {
  if (KeepsNoPlane(this)) return;
  DeleteAlpha();
  // abs() in 64 bits: INT_MIN has no positive int.
  const std::int64_t planeStride = planePitch < 0 ? -std::int64_t{planePitch} : planePitch;
  alphaFirstRow = planeFirstRow;
  alphaPitch = planePitch;
  alphaStride = static_cast<std::int32_t>(planeStride > 0x7FFFFFFF ? 0x7FFFFFFF : planeStride);
  alphaStorage = planeFirstRow;
  // A bottom-up plane's lowest address is its last row.
  if (planePitch < 0 && planeFirstRow && height > 1) {
    alphaStorage = planeFirstRow - static_cast<std::ptrdiff_t>(planeStride) * (height - 1);
  }
}

std::uint8_t* cSurfaceImplementation::DetachAlpha(int* planePitch) {
  std::uint8_t* plane = alphaFirstRow;
  if (planePitch) *planePitch = alphaPitch;
  flags &= ~kSurfaceFlagOwnsAlpha;
  alphaStorage = alphaFirstRow = nullptr;
  alphaStride = alphaPitch = 0;
  return plane;
}

int cSurfaceImplementation::SetAlphaFromBuffer(const std::uint8_t* source, int sourcePitch) {
  if (!source || KeepsNoPlane(this)) return 0;
  if (!alphaFirstRow && !CreateAlpha()) return 0;
  if (sourcePitch == 0) sourcePitch = alphaPitch;
  const std::int64_t sourceStride = sourcePitch < 0 ? -std::int64_t{sourcePitch} : sourcePitch;
  const auto bytes =
      static_cast<std::size_t>(sourceStride < alphaStride ? sourceStride : alphaStride);
  for (int y = 0; y < height; ++y) {
    std::memcpy(AlphaRow(y), source + static_cast<std::ptrdiff_t>(y) * sourcePitch, bytes);
  }
  return height;
}

void cSurfaceImplementation::PremultiplyAlpha() {
  ConvertRows(*this, vexa::ActiveAlphaKernels().premultiply);
}

void cSurfaceImplementation::DemultiplyAlpha() {
  ConvertRows(*this, vexa::ActiveAlphaKernels().demultiply);
}
