// Small images, palettes and a memory surface for the kernel and surface-operation tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include <vexa/palette.h>
#include <vexa/surface_implementation.h>

#include "pixels/pixel_format.h"

namespace vexa::test {

// A palette object outside any thread's registry, with its own inverse table. Its reference
// count never reaches 0, so surfaces may take and drop references freely.
struct TestPalette {
  PaletteObject object{};
  std::vector<std::uint8_t> inverse = std::vector<std::uint8_t>(kInverseTableSize);

  explicit TestPalette(std::uint32_t seed = 7) {
    object.version = 0x300;
    object.entryCount = 256;
    object.refCount = 1 << 20;
    std::mt19937 random(seed);
    for (int i = 0; i < 256; ++i) {
      object.entries[i] = PALETTEENTRY{static_cast<BYTE>(random()), static_cast<BYTE>(random()),
                                       static_cast<BYTE>(random()), 0};
    }
    object.entries[0] = PALETTEENTRY{0, 0, 0, 0};
    object.inverseTable = inverse.data();
  }
  PaletteObject* get() { return &object; }
};

// A pixel descriptor over owned memory: rows padded to 4 bytes, optional alpha plane, top-down
// unless `bottomUp`.
class TestImage {
 public:
  TestImage(int width, int height, int depth, bool withAlpha = false, bool bottomUp = false) {
    const int format = FormatOfDepth(depth);
    d_.width = width;
    d_.height = height;
    d_.clipRight = width;
    d_.clipBottom = height;
    d_.depth = kFormatDepth[format];
    d_.formatIndex = format;
    d_.bytesPerPixel = BytesPerPixel(depth);
    d_.stride = static_cast<int>(StrideOf(width, d_.depth));
    d_.flags = kSurfaceFlagMmx;
    pixels_.assign(static_cast<std::size_t>(d_.stride) * height + 64, 0);
    d_.storage = pixels_.data();
    d_.pitch = bottomUp ? -d_.stride : d_.stride;
    d_.firstRow = bottomUp ? pixels_.data() + static_cast<std::size_t>(d_.stride) * (height - 1)
                           : pixels_.data();
    if (withAlpha) {
      d_.alphaStride = (width + 3) & ~3;
      alpha_.assign(static_cast<std::size_t>(d_.alphaStride) * height + 64, 0);
      d_.alphaStorage = d_.alphaFirstRow = alpha_.data();
      d_.alphaPitch = d_.alphaStride;
    }
  }

  // A copy owns copies of the pixels and the alpha plane, with the descriptor pointing at them.
  TestImage(const TestImage& other) : d_(other.d_), pixels_(other.pixels_), alpha_(other.alpha_) {
    d_.storage = pixels_.data();
    d_.firstRow = pixels_.data() + (other.d_.firstRow - other.pixels_.data());
    if (other.d_.alphaFirstRow) d_.alphaStorage = d_.alphaFirstRow = alpha_.data();
  }
  TestImage& operator=(const TestImage&) = delete;

  PixelDescriptor* operator->() { return &d_; }
  PixelDescriptor* get() { return &d_; }
  const PixelDescriptor* get() const { return &d_; }
  std::vector<std::uint8_t>& bytes() { return pixels_; }
  std::vector<std::uint8_t>& alphaBytes() { return alpha_; }

  std::uint32_t Pixel(int x, int y) const {
    std::uint32_t v = 0;
    std::memcpy(&v, d_.PixelAddress(x, y), static_cast<std::size_t>(d_.bytesPerPixel));
    return v;
  }
  void SetPixel(int x, int y, std::uint32_t v) {
    std::memcpy(d_.PixelAddress(x, y), &v, static_cast<std::size_t>(d_.bytesPerPixel));
  }
  void Randomise(std::mt19937& random) {
    for (auto& b : pixels_) b = static_cast<std::uint8_t>(random());
  }
  void RandomiseAlpha(std::mt19937& random, const std::vector<std::uint8_t>& choices) {
    for (auto& a : alpha_) a = choices[random() % choices.size()];
  }
  // Replaces about `percent` % of the pixels by `value`, in runs of 1 to 12 pixels.
  void Sprinkle(std::mt19937& random, std::uint32_t value, int percent) {
    for (int y = 0; y < d_.height; ++y) {
      for (int x = 0; x < d_.width;) {
        const int run = 1 + static_cast<int>(random() % 12);
        const bool hit = static_cast<int>(random() % 100) < percent;
        for (int i = 0; i < run && x < d_.width; ++i, ++x)
          if (hit) SetPixel(x, y, value);
      }
    }
  }

 private:
  PixelDescriptor d_;
  std::vector<std::uint8_t> pixels_;
  std::vector<std::uint8_t> alpha_;
};

// A memory surface for the surface operations: storage in a vector, locks counted, Lock's
// answer adjustable.
class TestSurface : public cSurfaceImplementation {
 public:
  TestSurface(int w, int h, int d, PaletteObject* palettePointer = nullptr) {
    SetPixelFormat(d);
    width = w;
    height = h;
    stride = static_cast<int>(StrideOf(w, depth));
    pitch = stride;
    ResetClipRect();
    pixels.assign(static_cast<std::size_t>(stride) * (h > 0 ? h : 0) + 8, 0);
    storage = firstRow = pixels.data();
    palette = AddPaletteRef(palettePointer);
  }
  ~TestSurface() { ReleaseBaseResources(); }

  cSurfaceImplementation* Destroy(unsigned flags) override {
    this->~TestSurface();
    if (flags & 1) ::operator delete(this);
    return this;
  }
  cSurfaceImplementation* CreateCompatible(int w, int h) override {
    ++created;
    auto* copy = new TestSurface(w, h, depth, palette);
    copy->transparentColor = transparentColor;
    copy->transparentValue = transparentValue;
    return copy;
  }
  int Lock() override {
    ++locks;
    return lockResult;
  }
  void Unlock() override { ++unlocks; }

  std::uint32_t Pixel(int x, int y) const {
    std::uint32_t v = 0;
    std::memcpy(&v, PixelAddress(x, y), static_cast<std::size_t>(bytesPerPixel));
    return v;
  }
  void Put(int x, int y, std::uint32_t v) {
    std::memcpy(PixelAddress(x, y), &v, static_cast<std::size_t>(bytesPerPixel));
  }

  std::vector<std::uint8_t> pixels;
  int lockResult = 1;
  int locks = 0;
  int unlocks = 0;
  int created = 0;
};

}  // namespace vexa::test
