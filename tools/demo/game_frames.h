// Frames of the demo game read back from its back buffer, stored as binary PPM files, and
// compared between two runs of the same seed (the software renderer and a display driver).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <vexa/surface_object.h>

namespace demo {

// A frame as colour values (0x00BBGGRR), rows top down.
struct FramePixels {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
};

// Reads the whole surface with one lock (a display-driver surface is read back once).
FramePixels ReadFrame(cSurfaceObject& surface);
// The CRC-32 of the frame's pixels as red, green, blue bytes, row by row.
unsigned FrameCrc(const FramePixels& frame);
bool WritePpm(const FramePixels& frame, const std::string& path);
bool ReadPpm(const std::string& path, FramePixels* frame);

// How closely a pixel of a driver frame must match the software frame, by what drew it:
// copies and colour keys exactly, blends (alpha planes, semi-transparency, RGBA inks) within 1
// per channel. Turned and scaled sprites are resampled by each renderer in its own way (the
// software path scales and turns in two nearest-pixel passes and keys the result; a driver
// samples once and keeps the alpha plane), so their edges differ by up to a whole colour: their
// area must agree on average. In the game's scenes a mean of 6-8 is usual, and turned sprites
// left out altogether give about 17.
enum PixelClass : std::uint8_t { kPixelExact = 0, kPixelBlend = 1, kPixelTurned = 2 };
inline constexpr int kPixelClasses = 3;
inline constexpr int kBlendTolerance = 1;
inline constexpr double kTurnedMeanTolerance = 10.0;

struct PixelDifference {
  int x = 0, y = 0;
  PixelClass kind = kPixelExact;
  std::uint32_t expected = 0, actual = 0;
};

struct FrameComparison {
  bool sizesMatch = true;
  long long pixels[kPixelClasses] = {};
  long long beyond[kPixelClasses] = {};  // pixels beyond the class's per-pixel tolerance
  int largest[kPixelClasses] = {};       // the largest channel difference seen
  double mean[kPixelClasses] = {};       // mean channel difference
  std::vector<PixelDifference> first;    // the first pixels beyond tolerance (at most 12)
  bool Passed() const;
};

// Compares `actual` with `expected`; `classes` holds one PixelClass per pixel (missing
// entries count as exact).
FrameComparison CompareFrames(const FramePixels& expected, const FramePixels& actual,
                              const std::vector<std::uint8_t>& classes);
// One line per class and one per listed pixel.
std::string DescribeComparison(const FrameComparison& comparison);

}  // namespace demo
