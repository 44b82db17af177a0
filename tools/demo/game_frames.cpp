#include "game_frames.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace demo {

FramePixels ReadFrame(cSurfaceObject& surface) {
  FramePixels frame;
  frame.width = surface.GetWidth();
  frame.height = surface.GetHeight();
  frame.pixels.resize(size_t(frame.width) * size_t(frame.height));
  // GetPixelFast reads the storage in place while the surface is locked; a driver surface
  // brings its storage up to date at the lock.
  const bool locked = surface.Lock() != 0;
  for (int y = 0; y < frame.height; ++y)
    for (int x = 0; x < frame.width; ++x)
      frame.pixels[size_t(y) * size_t(frame.width) + size_t(x)] =
          surface.GetPixelFast(x, y) & 0xFFFFFF;
  if (locked) surface.Unlock();
  return frame;
}

namespace {

std::vector<unsigned char> RgbRow(const FramePixels& frame, int y) {
  std::vector<unsigned char> row(size_t(frame.width) * 3);
  for (int x = 0; x < frame.width; ++x) {
    const std::uint32_t c = frame.pixels[size_t(y) * size_t(frame.width) + size_t(x)];
    row[size_t(x) * 3] = static_cast<unsigned char>(c);
    row[size_t(x) * 3 + 1] = static_cast<unsigned char>(c >> 8);
    row[size_t(x) * 3 + 2] = static_cast<unsigned char>(c >> 16);
  }
  return row;
}

int ChannelDifference(std::uint32_t a, std::uint32_t b) {
  int largest = 0;
  for (int shift : {0, 8, 16})
    largest = std::max(largest, std::abs(int((a >> shift) & 255) - int((b >> shift) & 255)));
  return largest;
}

}  // namespace

unsigned FrameCrc(const FramePixels& frame) {
  uLong crc = crc32(0, Z_NULL, 0);
  for (int y = 0; y < frame.height; ++y) {
    const std::vector<unsigned char> row = RgbRow(frame, y);
    crc = crc32(crc, row.data(), uInt(row.size()));
  }
  return unsigned(crc);
}

bool WritePpm(const FramePixels& frame, const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << frame.width << ' ' << frame.height << "\n255\n";
  for (int y = 0; y < frame.height; ++y) {
    const std::vector<unsigned char> row = RgbRow(frame, y);
    out.write(reinterpret_cast<const char*>(row.data()), std::streamsize(row.size()));
  }
  return bool(out.flush());
}

bool ReadPpm(const std::string& path, FramePixels* frame) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int width = 0, height = 0, maximum = 0;
  if (!(in >> magic >> width >> height >> maximum) || magic != "P6" || maximum != 255 ||
      width <= 0 || height <= 0 || width > 16384 || height > 16384)
    return false;
  in.get();  // the single white-space character before the samples
  std::vector<unsigned char> row(size_t(width) * 3);
  frame->width = width;
  frame->height = height;
  frame->pixels.assign(size_t(width) * size_t(height), 0);
  for (int y = 0; y < height; ++y) {
    if (!in.read(reinterpret_cast<char*>(row.data()), std::streamsize(row.size()))) return false;
    for (int x = 0; x < width; ++x)
      frame->pixels[size_t(y) * size_t(width) + size_t(x)] =
          std::uint32_t(row[size_t(x) * 3]) | std::uint32_t(row[size_t(x) * 3 + 1]) << 8 |
          std::uint32_t(row[size_t(x) * 3 + 2]) << 16;
  }
  return true;
}

bool FrameComparison::Passed() const {
  return sizesMatch && beyond[kPixelExact] == 0 && beyond[kPixelBlend] == 0 &&
         mean[kPixelTurned] <= kTurnedMeanTolerance;
}

FrameComparison CompareFrames(const FramePixels& expected, const FramePixels& actual,
                              const std::vector<std::uint8_t>& classes) {
  FrameComparison result;
  if (expected.width != actual.width || expected.height != actual.height ||
      expected.pixels.size() != actual.pixels.size()) {
    result.sizesMatch = false;
    return result;
  }
  const int tolerance[kPixelClasses] = {0, kBlendTolerance, 255};
  long long sum[kPixelClasses] = {};
  for (size_t i = 0; i < actual.pixels.size(); ++i) {
    const int kind = i < classes.size() ? std::min<int>(classes[i], kPixelTurned) : kPixelExact;
    const int difference = ChannelDifference(expected.pixels[i], actual.pixels[i]);
    ++result.pixels[kind];
    sum[kind] += difference;
    result.largest[kind] = std::max(result.largest[kind], difference);
    if (difference <= tolerance[kind]) continue;
    ++result.beyond[kind];
    if (result.first.size() < 12)
      result.first.push_back({int(i % size_t(actual.width)), int(i / size_t(actual.width)),
                              PixelClass(kind), expected.pixels[i], actual.pixels[i]});
  }
  for (int k = 0; k < kPixelClasses; ++k)
    result.mean[k] = result.pixels[k] ? double(sum[k]) / double(result.pixels[k]) : 0.0;
  return result;
}

std::string DescribeComparison(const FrameComparison& c) {
  if (!c.sizesMatch) return "  the frames differ in size\n";
  static const char* kNames[kPixelClasses] = {"copied/keyed", "blended", "turned/scaled"};
  std::string text;
  char line[200];
  for (int k = 0; k < kPixelTurned; ++k) {
    std::snprintf(line, sizeof line,
                  "  %-13s %7lld px: largest difference %3d, mean %.3f, %lld beyond tolerance\n",
                  kNames[k], c.pixels[k], c.largest[k], c.mean[k], c.beyond[k]);
    text += line;
  }
  std::snprintf(
      line, sizeof line, "  %-13s %7lld px: largest difference %3d, mean %.3f (at most %.0f)%s\n",
      kNames[kPixelTurned], c.pixels[kPixelTurned], c.largest[kPixelTurned], c.mean[kPixelTurned],
      kTurnedMeanTolerance, c.mean[kPixelTurned] > kTurnedMeanTolerance ? ": too far apart" : "");
  text += line;
  for (const PixelDifference& d : c.first) {
    std::snprintf(line, sizeof line, "    (%d, %d) %s: software %06x, driver %06x\n", d.x, d.y,
                  kNames[d.kind], d.expected, d.actual);
    text += line;
  }
  return text;
}

}  // namespace demo
