// Real surfaces for tests, made the way callers make them: prototype, then Create.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include <vexa/library.h>
#include <vexa/surface_object.h>

namespace testsupport {

inline std::unique_ptr<cSurfaceObject> MakeSurface(int depth, int width, int height) {
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, depth, kTypeMemory, kDriverNone);
  auto object = std::make_unique<cSurfaceObject>();
  object->Create(width, height, prototype);
  return object;
}

// Raw pixel value at (x, y), little-endian, bytesPerPixel bytes.
inline std::uint32_t RawPixel(const PixelDescriptor& s, int x, int y) {
  std::uint32_t v = 0;
  std::memcpy(&v, s.PixelAddress(x, y), static_cast<size_t>(s.bytesPerPixel));
  return v;
}

inline void SetRawPixel(PixelDescriptor& s, int x, int y, std::uint32_t v) {
  std::memcpy(s.PixelAddress(x, y), &v, static_cast<size_t>(s.bytesPerPixel));
}

// Fills every row byte (padding included) with random bytes.
inline void FillRandom(PixelDescriptor& s, std::mt19937& rng) {
  for (int y = 0; y < s.height; ++y) {
    std::uint8_t* row = s.Row(y);
    for (int i = 0; i < s.stride; ++i) row[i] = static_cast<std::uint8_t>(rng());
  }
}

// The colour at (x, y) in the object's coordinates; 0xDEADBEEF where it cannot be read.
inline COLORREF Read(cSurfaceObject& s, int x, int y) {
  COLORREF c = 0xDEADBEEF;
  s.GetPixelColor(x, y, &c);
  return c;
}

// Every pixel's colour, row by row.
inline std::vector<COLORREF> Snapshot(cSurfaceObject& s) {
  std::vector<COLORREF> out;
  for (int y = 0; y < s.GetHeight(); ++y)
    for (int x = 0; x < s.GetWidth(); ++x) out.push_back(Read(s, x, y));
  return out;
}

}  // namespace testsupport
