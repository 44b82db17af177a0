// Entries 0 and 1 of every pixel routine table: write and read one pixel, unclipped.
#include <cstring>

#include <vexa/palette.h>

#include "pixels/pixel_format.h"
#include "pixels/pixel_routine_tables.h"

namespace vexa {
namespace {

constexpr std::uint32_t kIndexFlag = 0x01000000;

std::uint16_t Load16(const std::uint8_t* p) {
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
void Store16(std::uint8_t* p, std::uint32_t v) {
  const auto w = static_cast<std::uint16_t>(v);
  std::memcpy(p, &w, 2);
}

void SetPixel8(PixelDescriptor* s, int x, int y, std::uint32_t c) {
  const int index = (c & kIndexFlag) ? static_cast<int>(c & 0xFF) : GetNearestIndex(s->palette, c);
  *s->PixelAddress(x, y) = static_cast<std::uint8_t>(index);
}
std::uint32_t GetPixel8(const PixelDescriptor* s, int x, int y) { return *s->PixelAddress(x, y); }

void SetPixel15(PixelDescriptor* s, int x, int y, std::uint32_t c) {
  Store16(s->PixelAddress(x, y), ColorTo555(c));
}
std::uint32_t GetPixel15(const PixelDescriptor* s, int x, int y) {
  return ColorFrom555(Load16(s->PixelAddress(x, y)));
}

void SetPixel16(PixelDescriptor* s, int x, int y, std::uint32_t c) {
  Store16(s->PixelAddress(x, y), ColorTo565(c));
}
std::uint32_t GetPixel16(const PixelDescriptor* s, int x, int y) {
  return ColorFrom565(Load16(s->PixelAddress(x, y)));
}

// 24 and 32 bits: bytes blue, green, red; a 32-bit pixel's fourth byte is never touched.
void SetPixelBgr(PixelDescriptor* s, int x, int y, std::uint32_t c) {
  std::uint8_t* p = s->PixelAddress(x, y);
  p[0] = static_cast<std::uint8_t>(c >> 16);
  p[1] = static_cast<std::uint8_t>(c >> 8);
  p[2] = static_cast<std::uint8_t>(c);
}
std::uint32_t GetPixelBgr(const PixelDescriptor* s, int x, int y) {
  const std::uint8_t* p = s->PixelAddress(x, y);
  return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
}

}  // namespace

void InstallPixelAccessRoutines(PixelRoutineTableSet& t) {
  t[kFormat8].setPixel = SetPixel8;
  t[kFormat8].getPixel = GetPixel8;
  t[kFormat15].setPixel = SetPixel15;
  t[kFormat15].getPixel = GetPixel15;
  t[kFormat16].setPixel = SetPixel16;
  t[kFormat16].getPixel = GetPixel16;
  for (int f : {kFormat24, kFormat32}) {
    t[f].setPixel = SetPixelBgr;
    t[f].getPixel = GetPixelBgr;
  }
}

}  // namespace vexa
