// Direct pixel access for the library's own memory surfaces: the hot loops of flood fill and
// one-pixel lines write the storage themselves instead of calling the virtual pixel
// operations per pixel, with the same results.
#pragma once

#include <cstdint>

#include <vexa/surface_implementation.h>

namespace vexa {

// True when the surface is one of the library's storage-backed memory classes with the
// standard pixel routines, whose pixel operations no class overrides.
bool HasDirectPixels(cSurfaceImplementation* surface);

// Stores one value as SetPixelValue (8 bits: the index) or SetPixelColor (other depths: the
// colour) would. Only for surfaces with HasDirectPixels.
class DirectPixelWriter {
 public:
  DirectPixelWriter(cSurfaceImplementation* surface, COLORREF colour, std::uint32_t index);
  void PutUnclipped(int x, int y) const {
    std::uint8_t* p = surface_->PixelAddress(x, y);
    switch (bytes_) {
      case 1:
        *p = static_cast<std::uint8_t>(raw_);
        break;
      case 2:
        p[0] = static_cast<std::uint8_t>(raw_);
        p[1] = static_cast<std::uint8_t>(raw_ >> 8);
        break;
      default:  // blue, green, red; a 32-bit pixel's fourth byte is left as it is
        p[0] = static_cast<std::uint8_t>(raw_);
        p[1] = static_cast<std::uint8_t>(raw_ >> 8);
        p[2] = static_cast<std::uint8_t>(raw_ >> 16);
        break;
    }
  }
  // The stored value: an index, a 5-5-5 or 5-6-5 value, or blue, green, red from the low byte.
  std::uint32_t raw() const { return raw_; }
  void Put(int x, int y) const {
    if (surface_->InClip(x, y)) PutUnclipped(x, y);
  }

 private:
  cSurfaceImplementation* surface_;
  int bytes_;
  std::uint32_t raw_;
};

}  // namespace vexa
