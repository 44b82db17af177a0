// The OpenGL driver against the library's software renderer.
//
// Every case draws the same source onto the same destination twice: once into a memory
// surface by the software renderer (the reference), once into a driver surface on the GPU,
// which is then locked and read back. Copies, colour keys and bitwise effects must agree
// exactly, blends within 1 per channel. The driver is loaded from the build folder; this
// program runs on SDL's offscreen video driver (OpenGL through EGL, Mesa's llvmpipe without a
// GPU) and fails, never skips, when no OpenGL 3.3 context can be made.
#include <dlfcn.h>

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <vexa/blit.h>
#include <vexa/buffer_surface.h>
#include <vexa/display_driver.h>
#include <vexa/error_surface.h>
#include <vexa/surface_implementation.h>
#include <vexa/surface_object.h>

namespace {

using DeviceNameFn = const char* (*)();

// A loaded driver variant with its entry points.
struct Driver {
  void* module = nullptr;
  SEInitializeFn initialize = nullptr;
  SEFreeFn free = nullptr;
  SEGetSIPrototypeFn prototype = nullptr;
  SEFunctionFn function = nullptr;
  DeviceNameFn deviceName = nullptr;

  explicit Driver(const char* file) {
    const std::string path = std::string(VEXA_PLUGIN_DIR) + "/" + file;
    module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) return;
    initialize = reinterpret_cast<SEInitializeFn>(dlsym(module, kSEInitializeName));
    free = reinterpret_cast<SEFreeFn>(dlsym(module, kSEFreeName));
    prototype = reinterpret_cast<SEGetSIPrototypeFn>(dlsym(module, kSEGetSIPrototypeName));
    function = reinterpret_cast<SEFunctionFn>(dlsym(module, kSEFunctionName));
    deviceName = reinterpret_cast<DeviceNameFn>(dlsym(module, "SEGetDeviceName"));
  }
  ~Driver() {
    if (module) dlclose(module);
  }
};

struct ImplDeleter {
  void operator()(cSurfaceImplementation* s) const { DeleteImplementation(s); }
};
using Surface = std::unique_ptr<cSurfaceImplementation, ImplDeleter>;

Surface Memory(int width, int height, int depth = 32) {
  auto* s = new cBufferSurface;
  if (!s->InitFormat(depth) || !s->Create(width, height)) {
    s->Delete();
    return nullptr;
  }
  return Surface(s);
}

// Random colours from a small set (so that keys and equal pixels occur), an optional alpha
// plane of 0, 255 and values between.
void Scribble(cSurfaceImplementation* s, std::mt19937& random, bool alpha) {
  static const COLORREF kColours[] = {0x000000, 0xFFFFFF, 0xFF00FF, 0x0000FF, 0x00FF00,
                                      0x808080, 0x123456, 0xFEDCBA, 0x7F7F01};
  std::uniform_int_distribution<int> pick(0, 12);
  std::uniform_int_distribution<int> any(0, 0xFFFFFF);
  // Whole words first: the spare byte of a 32-bit pixel is 0, as the driver keeps it.
  s->FillRectColor(0, 0, s->width, s->height, 0);
  for (int y = 0; y < s->height; ++y)
    for (int x = 0; x < s->width; ++x) {
      const int k = pick(random);
      s->SetPixelColor(x, y, k < 9 ? kColours[k] : static_cast<COLORREF>(any(random)));
    }
  if (!alpha) return;
  std::uint8_t* plane = s->CreateAlpha();
  std::uniform_int_distribution<int> level(0, 4);
  for (int y = 0; y < s->height; ++y)
    for (int x = 0; x < s->width; ++x) {
      const int l = level(random);
      plane[y * s->alphaPitch + x] = static_cast<std::uint8_t>(l == 0   ? 0
                                                               : l == 1 ? 255
                                                                        : (x * 37 + y * 11) & 0xFF);
    }
}

// Largest per-channel difference of the colours (fourth bytes ignored); -1 on a size or
// lock failure.
int MaxDifference(cSurfaceImplementation* a, cSurfaceImplementation* b, std::string* where) {
  if (a->width != b->width || a->height != b->height || !a->Lock() || !b->Lock()) return -1;
  int worst = 0;
  for (int y = 0; y < a->height; ++y)
    for (int x = 0; x < a->width; ++x)
      for (int c = 0; c < 3; ++c) {
        const int d = std::abs(a->Row(y)[x * 4 + c] - b->Row(y)[x * 4 + c]);
        if (d > worst) {
          worst = d;
          if (where)
            *where = "at " + std::to_string(x) + "," + std::to_string(y) + " channel " +
                     std::to_string(c) + ": " + std::to_string(a->Row(y)[x * 4 + c]) + " vs " +
                     std::to_string(b->Row(y)[x * 4 + c]);
        }
      }
  a->Unlock();
  b->Unlock();
  return worst;
}

// The colour at (x, y), or 0xDEADBEEF when it cannot be read.
COLORREF PixelAt(cSurfaceImplementation* s, int x, int y) {
  COLORREF colour = 0xDEADBEEF;
  return s->GetPixelColor(x, y, &colour) ? colour : 0xDEADBEEF;
}

using Spots = std::vector<std::array<int, 2>>;

// Draws `memory` at each spot, in order, onto a copy of `background` with the software
// renderer, and `texture` onto `target` (a driver copy of the background); answers the largest
// difference.
int SpritesDifference(cSurfaceImplementation* memory, cSurfaceImplementation* texture,
                      cSurfaceImplementation* background, cSurfaceImplementation* target,
                      const Spots& spots, std::uint32_t effect, EffectParam parameter,
                      std::string* where) {
  Surface reference = Memory(background->width, background->height);
  if (!background->Blit(reference.get(), 0, 0, 0, 0, background->width, background->height,
                        kModeOpaque, kEffectNone, 0, 0))
    return -1;
  for (const auto& at : spots) {
    memory->Blit(reference.get(), at[0], at[1], 0, 0, memory->width, memory->height,
                 kModeTransparent, effect, parameter, 0);
    texture->Blit(target, at[0], at[1], 0, 0, memory->width, memory->height, kModeTransparent,
                  effect, parameter, 0);
  }
  return MaxDifference(reference.get(), target, where);
}

class GLDriver : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    driver_ = new Driver("vexad3d11.so");
    ASSERT_NE(driver_->module, nullptr) << dlerror();
    ASSERT_NE(driver_->initialize, nullptr);
    ASSERT_EQ(driver_->initialize(), 1) << "no OpenGL 3.3 core context";
  }
  static void TearDownTestSuite() {
    if (driver_ && driver_->free) driver_->free();
    delete driver_;
    driver_ = nullptr;
  }
  Surface Make(int number, int width, int height) {
    cSurfaceImplementation* prototype = driver_->prototype(number);
    return Surface(prototype ? prototype->CreateCompatible(width, height) : nullptr);
  }
  // A driver surface of `number` holding the pixels (and alpha) of a memory surface.
  Surface Import(int number, cSurfaceImplementation* from) {
    Surface s = Make(number, from->width, from->height);
    if (s && !s->CopyContentFrom(from)) s.reset();
    if (s) s->SetTransparentColor(from->transparentColor);
    return s;
  }

  struct Case {
    int mode;
    std::uint32_t effect;
    EffectParam parameter;
    int tolerance;
  };
  // Draws `source` on a copy of `destination` by the software renderer and by the driver (from
  // the memory source and from a driver texture of it) and compares.
  void Compare(cSurfaceImplementation* source, cSurfaceImplementation* destination, const Case& c,
               int x, int y, int textureNumber) {
    Surface reference = Memory(destination->width, destination->height);
    ASSERT_TRUE(destination->Blit(reference.get(), 0, 0, 0, 0, destination->width,
                                  destination->height, kModeOpaque, kEffectNone, 0, 0));
    const int expected = source->Blit(reference.get(), x, y, 0, 0, source->width, source->height,
                                      c.mode, c.effect, c.parameter, 0);
    Surface texture = Import(textureNumber, source);
    ASSERT_TRUE(texture);
    for (cSurfaceImplementation* from : {source, texture.get()}) {
      Surface target = Import(kPrototypeRenderTarget, destination);
      ASSERT_TRUE(target);
      EXPECT_EQ(from->Blit(target.get(), x, y, 0, 0, source->width, source->height, c.mode,
                           c.effect, c.parameter, 0),
                expected);
      std::string where;
      const int difference = MaxDifference(reference.get(), target.get(), &where);
      if (difference > c.tolerance) {  // the first worst pixel, to read the failure by
        int px = 0, py = 0;
        std::sscanf(where.c_str(), "at %d,%d", &px, &py);
        COLORREF sv = 0, dv = 0;
        source->GetPixelColor(px - x, py - y, &sv);
        destination->GetPixelColor(px, py, &dv);
        COLORREF rv = 0, gv = 0;
        reference->GetPixelColor(px, py, &rv);
        target->GetPixelColor(px, py, &gv);
        std::printf("S %06x D %06x key %06x ref %06x gl %06x (%d,%d)\n", sv, dv,
                    source->transparentColor, rv, gv, px, py);
      }
      EXPECT_GE(difference, 0);
      EXPECT_LE(difference, c.tolerance)
          << "mode " << c.mode << " effect " << c.effect << " parameter " << c.parameter
          << (from == source ? " from memory " : " from a texture ") << where;
    }
  }

  static Driver* driver_;
  std::mt19937 random_{29};
};
Driver* GLDriver::driver_ = nullptr;

TEST_F(GLDriver, PrototypesReportTheirKindsAndNameTheDevice) {
  for (int number = 4; number <= 8; ++number) {
    cSurfaceImplementation* prototype = driver_->prototype(number);
    ASSERT_NE(prototype, nullptr) << number;
    EXPECT_EQ(prototype->GetKind(), 21 + number - 4);
    EXPECT_EQ(prototype->depth, 32);
    Surface made(prototype->CreateCompatible(8, 4));
    ASSERT_TRUE(made);
    EXPECT_EQ(made->GetKind(), prototype->GetKind());
    EXPECT_EQ(made->alphaFirstRow != nullptr, number == 7 || number == 8) << number;
  }
  EXPECT_EQ(driver_->prototype(3), nullptr);
  EXPECT_EQ(driver_->prototype(9), nullptr);
  EXPECT_EQ(Surface(driver_->prototype(5)->CreateCompatible(0, 4)), nullptr);
  ASSERT_NE(driver_->deviceName, nullptr);
  EXPECT_NE(std::string(driver_->deviceName()), "");
  std::printf("GL device: %s\n", driver_->deviceName());
}

TEST_F(GLDriver, CopiesKeysAndBitwiseEffectsAreExact) {
  Surface source = Memory(23, 17);
  Surface destination = Memory(40, 30);
  Scribble(source.get(), random_, false);
  Scribble(destination.get(), random_, false);
  source->SetTransparentColor(0xFF00FF);
  for (int mode : {kModeOpaque, kModeTransparent})
    for (std::uint32_t effect : {kEffectNone, kEffectInvert, kEffectXor, kEffectAnd, kEffectOr,
                                 kEffectAndNot, kEffectMono}) {
      Compare(source.get(), destination.get(), {mode, effect, 0, 0}, 5, 3, kPrototypeStatic);
      // Clipped at the top-left and at the bottom-right corner.
      Compare(source.get(), destination.get(), {mode, effect, 0, 0}, -7, -4, kPrototypeStatic);
      Compare(source.get(), destination.get(), {mode, effect, 0, 0}, 30, 20, kPrototypeStatic);
    }
}

TEST_F(GLDriver, BlendsAgreeWithinOnePerChannel) {
  Surface source = Memory(31, 9);
  Surface destination = Memory(33, 11);
  Scribble(source.get(), random_, false);
  Scribble(destination.get(), random_, false);
  source->SetTransparentColor(0x0000FF);
  const Case cases[] = {
      {kModeOpaque, kEffectSemiTransparent, 1, 1},
      {kModeOpaque, kEffectSemiTransparent, 64, 1},
      {kModeTransparent, kEffectSemiTransparent, 100, 1},
      {kModeOpaque, kEffectSemiTransparent, 127, 1},
      {kModeTransparent, kEffectAdd, 0, 0},
      {kModeOpaque, kEffectSubtract, 0, 0},
      {kModeTransparent, kEffectBlendSubstitute, (40u << 24) | 0x00FF8040u, 0},
      {kModeOpaque, kEffectBlendExceptKey, (90u << 24) | 0x00FFFFFFu, 0},
      {kModeOpaque, kEffectNone | kEffectParamIsRGBA, 0x80102030u, 1},
      {kModeTransparent, kEffectNone | kEffectParamIsRGBA, 0xFF000000u, 0},
  };
  for (const Case& c : cases) Compare(source.get(), destination.get(), c, 1, 1, kPrototypeStatic);
}

TEST_F(GLDriver, InvisibleAndRefusedInksMatchTheSoftwareRenderer) {
  Surface source = Memory(8, 8);
  Surface destination = Memory(8, 8);
  Scribble(source.get(), random_, false);
  Scribble(destination.get(), random_, false);
  // 128 and a zero RGBA alpha draw nothing (1); code 7 and mode 2 are refused (0).
  for (const Case& c : {Case{kModeOpaque, kEffectSemiTransparent, 128, 0},
                        Case{kModeOpaque, kEffectNone | kEffectParamIsRGBA, 0x00FFFFFFu, 0},
                        Case{kModeOpaque, kEffectUnassigned, 0, 0}, Case{2, kEffectNone, 0, 0}})
    Compare(source.get(), destination.get(), c, 0, 0, kPrototypeStatic);
}

TEST_F(GLDriver, AlphaSourcesBlendByTheirPlane) {
  Surface source = Memory(19, 13);
  Surface destination = Memory(24, 16);
  Scribble(source.get(), random_, true);
  Scribble(destination.get(), random_, false);
  // The plane decides in transparent mode (exact shader paths for bitwise and saturating
  // inks, fixed-function blending otherwise); opaque mode ignores it.
  const Case cases[] = {
      {kModeTransparent, kEffectNone, 0, 1},     {kModeTransparent, kEffectSemiTransparent, 50, 1},
      {kModeTransparent, kEffectXor, 0, 0},      {kModeTransparent, kEffectAdd, 0, 0},
      {kModeTransparent, kEffectSubtract, 0, 0}, {kModeTransparent, kEffectMono, 0, 1},
      {kModeOpaque, kEffectNone, 0, 0},          {kModeOpaque, kEffectOr, 0, 0},
  };
  for (const Case& c : cases)
    Compare(source.get(), destination.get(), c, 2, 1, kPrototypeStaticAlpha);
}

// Every alpha level and every share of a semi-transparent blend, over many source and
// destination colour pairs, into each kind of target the driver draws into on the GPU: the
// 8-bit targets must stay within 1 of the software renderer's integer blends too.
TEST_F(GLDriver, BlendsStayWithinOneForEveryWeightOnEveryTarget) {
  // Row y of the source has alpha y; its colours run through the whole range along the row.
  Surface source = Memory(256, 256);
  std::uint8_t* plane = source->CreateAlpha();
  Surface destination = Memory(256, 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      source->SetPixelColor(
          x, y, static_cast<COLORREF>(x | ((x * 97 + y * 31) & 0xFF) << 8 | (255 - x) << 16));
      plane[y * source->alphaPitch + x] = static_cast<std::uint8_t>(y);
      destination->SetPixelColor(x, y,
                                 static_cast<COLORREF>(((x * 13 + y * 7) & 0xFF) | (255 - y) << 8 |
                                                       ((x * 5 + y * 3) & 0xFF) << 16));
    }
  Surface solid = Memory(256, 256);  // the same colours without a plane
  ASSERT_TRUE(source->Blit(solid.get(), 0, 0, 0, 0, 256, 256, kModeOpaque, kEffectNone, 0, 0));
  Surface texture = Import(kPrototypeStaticAlpha, source.get());
  Surface solidTexture = Import(kPrototypeStatic, solid.get());
  ASSERT_TRUE(texture && solidTexture);
  for (int number : {kPrototypeRenderTarget, kPrototypeStatic, kPrototypeRenderAlpha}) {
    auto check = [&](cSurfaceImplementation* from, cSurfaceImplementation* memoryFrom,
                     std::uint32_t effect, EffectParam parameter, const char* what) {
      Surface reference = Memory(256, 256);
      destination->Blit(reference.get(), 0, 0, 0, 0, 256, 256, kModeOpaque, kEffectNone, 0, 0);
      memoryFrom->Blit(reference.get(), 0, 0, 0, 0, 256, 256, kModeTransparent, effect, parameter,
                       0);
      Surface target = Import(number, destination.get());
      ASSERT_TRUE(target);
      ASSERT_TRUE(
          from->Blit(target.get(), 0, 0, 0, 0, 256, 256, kModeTransparent, effect, parameter, 0));
      std::string where;
      EXPECT_EQ(MaxDifference(reference.get(), target.get(), &where) <= 1, true)
          << what << " " << parameter << " into type " << number << " " << where;
    };
    check(texture.get(), source.get(), kEffectNone, 0, "alpha plane");
    for (int share = 1; share < 128; share += 9)
      check(solidTexture.get(), solid.get(), kEffectSemiTransparent, share, "semi-transparent");
  }
}

// A surface object over a surface it does not own.
struct ObjectOver {
  cSurfaceObject object;
  explicit ObjectOver(cSurfaceImplementation* s) { object.implementation = s; }
  ~ObjectOver() { object.implementation = GetErrorSurface(); }
};

// Lines drawn by the driver itself hit the same pixels as the library's software line: every
// direction and slope, single points, lines leaving the clip rectangle (the cut changes where
// the stepping starts) and lines entirely outside it, with an origin on the object.
TEST_F(GLDriver, NativeLinesHitTheSoftwareLinesPixels) {
  Surface background = Memory(97, 61);
  Scribble(background.get(), random_, false);
  Surface reference = Memory(97, 61);
  ASSERT_TRUE(
      background->Blit(reference.get(), 0, 0, 0, 0, 97, 61, kModeOpaque, kEffectNone, 0, 0));
  Surface target = Import(kPrototypeRenderTarget, background.get());
  ASSERT_TRUE(target);
  EXPECT_EQ(target->HasNativeLines(), 1);
  EXPECT_EQ(reference->HasNativeLines(), 0);
  for (cSurfaceImplementation* s : {reference.get(), target.get()}) s->SetClipRect(3, 2, 88, 55);
  ObjectOver software(reference.get()), native(target.get());
  for (cSurfaceObject* o : {&software.object, &native.object}) o->originX = 5, o->originY = -4;
  std::uniform_int_distribution<int> x(-40, 140), y(-40, 100), colour(0, 0xFFFFFF);
  std::vector<std::array<int, 4>> lines = {
      {10, 10, 10, 10}, {0, 20, 120, 20}, {30, -30, 30, 90},      {90, 50, 12, 7},
      {5, 5, 80, 6},    {5, 5, 6, 50},    {-200, -100, 300, 150}, {95, 0, 0, 59}};
  for (int i = 0; i < 300; ++i) lines.push_back({x(random_), y(random_), x(random_), y(random_)});
  for (const auto& l : lines) {
    const auto c = static_cast<COLORREF>(colour(random_));
    EXPECT_EQ(software.object.DrawLine(l[0], l[1], l[2], l[3], 1, c), 1);
    EXPECT_EQ(native.object.DrawLine(l[0], l[1], l[2], l[3], 1, c), 1);
  }
  std::string where;
  EXPECT_EQ(MaxDifference(reference.get(), target.get(), &where), 0) << where;
  // Wider lines take the library's own way and answer as it does on a surface without a
  // device context.
  EXPECT_EQ(native.object.DrawLine(4, 50, 70, 9, 3, 0x3366CC),
            software.object.DrawLine(4, 50, 70, 9, 3, 0x3366CC));
  // An atlas piece (drawn by the software renderer) keeps its line once the page is drawn.
  Surface page = Make(kPrototypeStaticAlpha, 64, 64);
  cSurfaceImplementation* piece = nullptr;
  ASSERT_TRUE(page->DriverHook105(20 | 12 << 16, reinterpret_cast<HookArg>(&piece)));
  Surface owned(piece);
  Surface small = Memory(20, 12);
  small->FillRectColor(0, 0, 20, 12, 0x000080);
  ASSERT_TRUE(owned->CopyContentFrom(small.get()));
  ObjectOver onPiece(owned.get()), onSmall(small.get());
  EXPECT_EQ(onPiece.object.DrawLine(1, 1, 18, 10, 1, 0x00FF00), 1);
  EXPECT_EQ(onSmall.object.DrawLine(1, 1, 18, 10, 1, 0x00FF00), 1);
  Surface shown = Make(kPrototypeRenderTarget, 20, 12);
  ASSERT_TRUE(owned->Blit(shown.get(), 0, 0, 0, 0, 20, 12, kModeOpaque, kEffectNone, 0, 0));
  EXPECT_EQ(MaxDifference(small.get(), shown.get(), &where), 0) << where;
}

TEST_F(GLDriver, ImportsOtherFormatsIntoEveryTextureType) {
  for (int depth : {8, 16, 24}) {
    Surface source = Memory(21, 7, depth);
    Scribble(source.get(), random_, depth != 8);
    // The software conversion to 32 bits is the reference.
    Surface reference = Memory(21, 7);
    ASSERT_TRUE(source->Blit(reference.get(), 0, 0, 0, 0, 21, 7, kModeOpaque, kEffectNone, 0,
                             kBlitCopyAlpha));
    for (int number : {kPrototypeRenderTarget, kPrototypeStatic, kPrototypeStaticAlpha}) {
      Surface imported = Import(number, source.get());
      ASSERT_TRUE(imported) << number;
      EXPECT_EQ(MaxDifference(reference.get(), imported.get(), nullptr), 0)
          << "depth " << depth << " type " << number;
      if (number == kPrototypeStaticAlpha && reference->alphaFirstRow) {
        ASSERT_TRUE(imported->Lock());
        for (int y = 0; y < 7; ++y)
          for (int x = 0; x < 21; ++x)
            ASSERT_EQ(imported->alphaFirstRow[y * imported->alphaPitch + x],
                      reference->alphaFirstRow[y * reference->alphaPitch + x]);
      }
    }
  }
}

TEST_F(GLDriver, LockReadsBackAndWritesReachTheTexture) {
  Surface target = Make(kPrototypeRenderAlpha, 16, 16);
  ASSERT_TRUE(target);
  ASSERT_TRUE(target->FillRectColor(2, 3, 5, 4, 0x336699));
  EXPECT_EQ(PixelAt(target.get(), 2, 3), 0x336699u);
  EXPECT_EQ(PixelAt(target.get(), 7, 3), 0u);
  // A pixel written through Lock is what the next GPU draw from the surface sees.
  target->SetPixelColor(0, 0, 0x0000FF);
  Surface copy = Make(kPrototypeRenderTarget, 16, 16);
  ASSERT_TRUE(target->Blit(copy.get(), 0, 0, 0, 0, 16, 16, kModeOpaque, kEffectNone, 0, 0));
  EXPECT_EQ(PixelAt(copy.get(), 0, 0), 0x0000FFu);
  EXPECT_EQ(PixelAt(copy.get(), 3, 4), 0x336699u);
  // A pixel set after a GPU draw, without a lock of the caller's, is kept beside the drawing.
  copy->FillRectColor(8, 8, 8, 8, 0x102030);
  copy->SetPixelColor(9, 9, 0xABCDEF);
  EXPECT_EQ(PixelAt(copy.get(), 8, 8), 0x102030u);
  EXPECT_EQ(PixelAt(copy.get(), 9, 9), 0xABCDEFu);
  // A clip rectangle bounds the fill.
  copy->SetClipRect(0, 0, 4, 4);
  copy->FillRectColor(0, 0, 16, 16, 0xFFFFFF);
  copy->ResetClipRect();
  EXPECT_EQ(PixelAt(copy.get(), 3, 3), 0xFFFFFFu);
  EXPECT_EQ(PixelAt(copy.get(), 4, 4), 0x336699u);
}

TEST_F(GLDriver, ManyQuadsOfOneTextureAreDrawnInOrder) {
  // Batched quads keep their order: later sprites cover earlier ones, and a texture changed
  // between two draws is drawn with its old pixels first and its new ones after.
  Surface sprite = Memory(4, 4);
  sprite->FillRectColor(0, 0, 4, 4, 0x0000FF);
  Surface texture = Import(kPrototypeStatic, sprite.get());
  Surface target = Make(kPrototypeRenderTarget, 64, 8);
  for (int i = 0; i < 15; ++i)
    texture->Blit(target.get(), i * 2, 2, 0, 0, 4, 4, kModeOpaque, kEffectNone, 0, 0);
  sprite->FillRectColor(0, 0, 4, 4, 0x00FF00);
  ASSERT_TRUE(texture->CopyContentFrom(sprite.get()));
  texture->Blit(target.get(), 30, 2, 0, 0, 4, 4, kModeOpaque, kEffectNone, 0, 0);
  EXPECT_EQ(PixelAt(target.get(), 29, 3), 0x0000FFu);
  EXPECT_EQ(PixelAt(target.get(), 30, 3), 0x00FF00u);
}

// Alpha sprites drawn transparent, changed between draws (by an import and by drawing into
// them), and atlas pieces of one page: each draw shows the pixels the sprite had at that time.
TEST_F(GLDriver, AlphaSpritesShowTheirPixelsAsOfEachDraw) {
  Surface first = Memory(8, 8), second = Memory(8, 8), background = Memory(48, 12);
  Scribble(first.get(), random_, true);
  Scribble(second.get(), random_, true);
  Scribble(background.get(), random_, false);
  Surface reference = Memory(48, 12);
  ASSERT_TRUE(
      background->Blit(reference.get(), 0, 0, 0, 0, 48, 12, kModeOpaque, kEffectNone, 0, 0));
  Surface target = Import(kPrototypeRenderTarget, background.get());
  Surface sprite = Import(kPrototypeStaticAlpha, first.get());
  Surface other = Make(kPrototypeRenderAlpha, 8, 8);
  ASSERT_TRUE(target && sprite && other);
  auto both = [&](cSurfaceImplementation* gpu, cSurfaceImplementation* memory, int x) {
    EXPECT_TRUE(
        memory->Blit(reference.get(), x, 2, 0, 0, 8, 8, kModeTransparent, kEffectNone, 0, 0));
    EXPECT_TRUE(gpu->Blit(target.get(), x, 2, 0, 0, 8, 8, kModeTransparent, kEffectNone, 0, 0));
  };
  both(sprite.get(), first.get(), 0);
  ASSERT_TRUE(sprite->CopyContentFrom(second.get()));
  both(sprite.get(), second.get(), 9);
  // Drawn into on the GPU (the colours and the plane copied), then drawn from.
  ASSERT_TRUE(
      sprite->Blit(other.get(), 0, 0, 0, 0, 8, 8, kModeOpaque, kEffectNone, 0, kBlitCopyAlpha));
  both(other.get(), second.get(), 18);
  // Two pieces of one page, the second imported after the first was drawn.
  Surface page = Make(kPrototypeStaticAlpha, 32, 32);
  cSurfaceImplementation *a = nullptr, *b = nullptr;
  ASSERT_TRUE(page->DriverHook105(8 | 8 << 16, reinterpret_cast<HookArg>(&a)));
  Surface pieceA(a);
  ASSERT_TRUE(pieceA->CopyContentFrom(first.get()));
  both(pieceA.get(), first.get(), 27);
  ASSERT_TRUE(page->DriverHook105(8 | 8 << 16, reinterpret_cast<HookArg>(&b)));
  Surface pieceB(b);
  ASSERT_TRUE(pieceB->CopyContentFrom(second.get()));
  both(pieceB.get(), second.get(), 36);
  std::string where;
  EXPECT_LE(MaxDifference(reference.get(), target.get(), &where), 1) << where;
}

TEST_F(GLDriver, TransformedBlitsScaleAndTurnAboutTheHotSpot) {
  Surface source = Memory(6, 4);
  Scribble(source.get(), random_, false);
  Surface texture = Import(kPrototypeStatic, source.get());
  // Twice the size, no turn: every source pixel becomes a 2 x 2 block at (10, 10) - hot spot.
  Surface target = Make(kPrototypeRenderTarget, 32, 32);
  ASSERT_TRUE(texture->BlitTransformed(target.get(), 10.0f, 10.0f, 0, 0, 6, 4, 1, 1, 2 << 16,
                                       2 << 16, 0, kModeOpaque, kEffectNone, 0));
  ASSERT_TRUE(target->Lock() && source->Lock());
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 12; ++x) {
      COLORREF got = 0, want = 0;
      target->GetPixelColor(8 + x, 8 + y, &got);
      source->GetPixelColor(x / 2, y / 2, &want);
      ASSERT_EQ(got, want) << x << "," << y;
    }
  // A quarter turn counter-clockwise about the top-left corner equals the software renderer's
  // quarter turn placed above the hot spot.
  Surface turned = Memory(4, 6);
  ASSERT_TRUE(source->RotateQuarter(turned.get(), 0));
  Surface target2 = Make(kPrototypeRenderTarget, 32, 32);
  ASSERT_TRUE(texture->BlitTransformed(target2.get(), 10.0f, 10.0f, 0, 0, 6, 4, 0, 0, 0, 0, 90000,
                                       kModeOpaque, kEffectNone, 0));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 4; ++x) {
      COLORREF got = 0, want = 0;
      target2->GetPixelColor(10 + x, 4 + y, &got);
      turned->GetPixelColor(x, y, &want);
      ASSERT_EQ(got, want) << x << "," << y;
    }
}

TEST_F(GLDriver, StretchesWithNearestAndSmoothSampling) {
  Surface source = Memory(2, 1);
  source->SetPixelColor(0, 0, 0x000000);
  source->SetPixelColor(1, 0, 0xFFFFFF);
  Surface target = Make(kPrototypeRenderTarget, 8, 2);
  ASSERT_TRUE(
      source->StretchBlit(target.get(), 0, 0, 8, 1, 0, 0, 2, 1, kModeOpaque, kEffectNone, 0, 0));
  EXPECT_EQ(PixelAt(target.get(), 3, 0), 0u);
  EXPECT_EQ(PixelAt(target.get(), 4, 0), 0xFFFFFFu);
  // Smoothing gives the grey ramp between the two pixels.
  ASSERT_TRUE(
      source->StretchBlit(target.get(), 0, 1, 8, 1, 0, 0, 2, 1, kModeOpaque, kEffectNone, 0, 1));
  const COLORREF left = PixelAt(target.get(), 3, 1), right = PixelAt(target.get(), 4, 1);
  EXPECT_GT(left & 0xFF, 0u);
  EXPECT_LT(left & 0xFF, right & 0xFF);
  EXPECT_LT(right & 0xFF, 255u);
}

TEST_F(GLDriver, ViewportOfSEFunctionIsKeptWithoutAWindow) {
  // Driver 7 answers code 0; a display surface without a window presents nothing (0) but
  // still counts the frame for the image banks.
  ASSERT_NE(driver_->function, nullptr);
  std::int32_t viewport[4] = {0, 0, 320, 240};
  driver_->function(0, viewport);
  Surface display = Make(kPrototypeDisplay, 32, 32);
  int frames = 0;
  auto count = [](void* user) { ++*static_cast<int*>(user); };
  DriverFrameCallback callback = count;
  ASSERT_EQ(display->DriverHook94(reinterpret_cast<HookArg>(callback),
                                  reinterpret_cast<HookArg>(&frames)),
            1);
  EXPECT_EQ(display->DriverHook79(), 0);
  EXPECT_EQ(frames, 1);
  display->DriverHook94(0, reinterpret_cast<HookArg>(&frames));
  display->DriverHook79();
  EXPECT_EQ(frames, 1);
}

TEST_F(GLDriver, TheContextFollowsTheThreadThatDraws) {
  Surface target = Make(kPrototypeRenderTarget, 8, 8);
  ASSERT_TRUE(target->FillRectColor(0, 0, 8, 8, 0x0000FF));
  // This thread lets go (code 1); another draws and reads, lets go in turn; this one reads.
  driver_->function(1, nullptr);
  COLORREF seen = 0;
  std::thread other([&] {
    seen = PixelAt(target.get(), 1, 1);
    target->FillRectColor(4, 4, 4, 4, 0x00FF00);
    driver_->function(1, nullptr);
  });
  other.join();
  EXPECT_EQ(seen, 0x0000FFu);
  EXPECT_EQ(PixelAt(target.get(), 5, 5), 0x00FF00u);
  EXPECT_EQ(PixelAt(target.get(), 1, 1), 0x0000FFu);
}

TEST_F(GLDriver, AtlasPiecesShareTheirPageAndOutliveIt) {
  Surface page = Make(kPrototypeStaticAlpha, 64, 40);
  ASSERT_TRUE(page);
  auto room = [&page](int w, int h) {
    cSurfaceImplementation* piece = nullptr;
    const int answer =
        page->DriverHook105(static_cast<HookArg>(w | h << 16), reinterpret_cast<HookArg>(&piece));
    EXPECT_EQ(answer != 0, piece != nullptr);
    return Surface(piece);
  };
  // Two shelves: 30 + 1 + 30 fit one 64-pixel row, the third piece opens the next shelf.
  Surface a = room(30, 20), b = room(30, 10), c = room(40, 19);
  ASSERT_TRUE(a && b && c);
  EXPECT_TRUE(room(10, 10)) << "beside the third piece";
  EXPECT_FALSE(room(20, 10)) << "full: no room beside it nor below";
  std::vector<Surface> sprites;
  for (cSurfaceImplementation* piece : {a.get(), b.get(), c.get()}) {
    EXPECT_EQ(piece->GetKind(), page->GetKind());
    sprites.push_back(Memory(piece->width, piece->height));
    Scribble(sprites.back().get(), random_, true);
    ASSERT_TRUE(piece->CopyContentFrom(sprites.back().get()));
  }
  auto drawnEqual = [&](cSurfaceImplementation* piece, cSurfaceImplementation* sprite) {
    Surface target = Make(kPrototypeRenderTarget, piece->width, piece->height);
    EXPECT_TRUE(piece->Blit(target.get(), 0, 0, 0, 0, piece->width, piece->height, kModeOpaque,
                            kEffectNone, 0, 0));
    return MaxDifference(target.get(), sprite, nullptr) == 0;
  };
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(drawnEqual(std::vector{a.get(), b.get(), c.get()}[i], sprites[i].get())) << i;
  // A piece that goes frees nothing else; once all go the page packs from the top again.
  b.reset();
  EXPECT_TRUE(drawnEqual(c.get(), sprites[2].get()));
  // The page goes first: its pieces keep their pixels.
  page.reset();
  EXPECT_TRUE(drawnEqual(a.get(), sprites[0].get()));
  EXPECT_TRUE(drawnEqual(c.get(), sprites[2].get()));
}

// An image without an alpha plane copied into a texture type with one (an atlas page's piece,
// most often) keeps drawing by its colour key; an image with a plane brings it back.
TEST_F(GLDriver, KeyedImagesInAlphaTexturesDrawByTheirKey) {
  Surface keyed = Memory(21, 15);
  Surface destination = Memory(30, 20);
  Scribble(keyed.get(), random_, false);
  Scribble(destination.get(), random_, false);
  keyed->SetTransparentColor(0x000000);
  for (std::uint32_t effect : {kEffectNone, kEffectAdd, kEffectXor})
    Compare(keyed.get(), destination.get(), {kModeTransparent, effect, 0, 0}, 4, 2,
            kPrototypeStaticAlpha);

  Surface page = Make(kPrototypeStaticAlpha, 64, 64);
  ASSERT_TRUE(page);
  cSurfaceImplementation* made = nullptr;
  ASSERT_TRUE(
      page->DriverHook105(static_cast<HookArg>(21 | 15 << 16), reinterpret_cast<HookArg>(&made)));
  Surface piece(made);
  auto drawsLikeSoftware = [&](cSurfaceImplementation* image, int tolerance) {
    piece->SetTransparentColor(image->transparentColor);
    Surface reference = Memory(30, 20);
    destination->Blit(reference.get(), 0, 0, 0, 0, 30, 20, kModeOpaque, kEffectNone, 0, 0);
    image->Blit(reference.get(), 3, 2, 0, 0, 21, 15, kModeTransparent, kEffectNone, 0, 0);
    Surface target = Import(kPrototypeRenderTarget, destination.get());
    piece->Blit(target.get(), 3, 2, 0, 0, 21, 15, kModeTransparent, kEffectNone, 0, 0);
    const int difference = MaxDifference(reference.get(), target.get(), nullptr);
    return difference >= 0 && difference <= tolerance;
  };
  ASSERT_TRUE(piece->CopyContentFrom(keyed.get()));
  EXPECT_EQ(piece->alphaFirstRow, nullptr);
  EXPECT_TRUE(drawsLikeSoftware(keyed.get(), 0));
  Surface translucent = Memory(21, 15);
  Scribble(translucent.get(), random_, true);
  ASSERT_TRUE(piece->CopyContentFrom(translucent.get()));
  EXPECT_NE(piece->alphaFirstRow, nullptr);
  EXPECT_TRUE(drawsLikeSoftware(translucent.get(), 1));
}

// Every ink over every alpha level, from sources with and without a plane, several shares:
// row y of the plane holds alpha y, the colours are random. Bitwise, saturating and
// destination-reading inks must agree exactly; blends within 1.
TEST_F(GLDriver, EveryInkOverEveryAlphaLevelMatchesTheSoftwareRenderer) {
  Surface source = Memory(61, 256);
  Surface destination = Memory(64, 258);
  std::uniform_int_distribution<int> any(0, 0xFFFFFF);
  for (cSurfaceImplementation* s : {source.get(), destination.get()}) {
    s->FillRectColor(0, 0, s->width, s->height, 0);  // the spare bytes 0, as the driver keeps them
    for (int y = 0; y < s->height; ++y)
      for (int x = 0; x < s->width; ++x)
        s->SetPixelColor(x, y, static_cast<COLORREF>(any(random_)));
  }
  // Some source pixels on the destination's colour key (effect 12) and on white (effect 6).
  for (int y = 0; y < 256; y += 3) destination->SetPixelColor(y % 64, y + 1, 0xFFFFFF);
  Surface plain = Memory(61, 256);
  ASSERT_TRUE(source->Blit(plain.get(), 0, 0, 0, 0, 61, 256, kModeOpaque, kEffectNone, 0, 0));
  std::uint8_t* plane = source->CreateAlpha();
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 61; ++x) plane[y * source->alphaPitch + x] = static_cast<std::uint8_t>(y);
  struct Ink {
    std::uint32_t effect;
    EffectParam parameter;
    int plainTolerance, alphaTolerance;
  };
  const Ink inks[] = {
      {kEffectSemiTransparent, 1, 1, 1},
      {kEffectSemiTransparent, 40, 1, 1},
      {kEffectSemiTransparent, 64, 1, 1},
      {kEffectSemiTransparent, 127, 1, 1},
      {kEffectNone | kEffectParamIsRGBA, 0xC0FFC080u, 1, 1},
      {kEffectInvert, 0, 0, 1},
      {kEffectXor, 0, 0, 0},
      {kEffectAnd, 0, 0, 0},
      {kEffectOr, 0, 0, 0},
      {kEffectBlendSubstitute, (40u << 24) | 0xFFFFFFu, 0, 0},
      {kEffectAndNot, 0, 0, 0},
      {kEffectAdd, 0, 0, 0},
      {kEffectMono, 0, 0, 1},
      {kEffectSubtract, 0, 0, 0},
      {kEffectBlendExceptKey, (90u << 24) | 0xFFFFFFu, 0, 0},
  };
  for (const Ink& ink : inks) {
    Compare(source.get(), destination.get(),
            {kModeTransparent, ink.effect, ink.parameter, ink.alphaTolerance}, 2, 1,
            kPrototypeStaticAlpha);
    Compare(plain.get(), destination.get(),
            {kModeTransparent, ink.effect, ink.parameter, ink.plainTolerance}, 2, 1,
            kPrototypeStatic);
  }
}

// Sprites with inks that read the destination, drawn one after another into one target: apart,
// touching and overlapping (a later sprite must see what an earlier one wrote), some clipped.
TEST_F(GLDriver, DestinationReadingSpritesSeeEachOthersPixels) {
  Surface sprite = Memory(13, 11), keyed = Memory(13, 11), background = Memory(96, 64);
  Scribble(sprite.get(), random_, true);
  Scribble(keyed.get(), random_, false);
  Scribble(background.get(), random_, false);
  keyed->SetTransparentColor(0xFF00FF);
  Surface alphaTexture = Import(kPrototypeStaticAlpha, sprite.get());
  Surface keyedTexture = Import(kPrototypeStatic, keyed.get());
  ASSERT_TRUE(alphaTexture && keyedTexture);
  std::uniform_int_distribution<int> place(-8, 90);
  Spots spots;
  for (int i = 0; i < 40; ++i) spots.push_back({place(random_), place(random_) * 2 / 3});
  for (int i = 0; i < 6; ++i) spots.push_back({i * 13, 30});  // a row of touching sprites
  for (std::uint32_t effect : {kEffectAdd, kEffectSubtract, kEffectXor, kEffectBlendSubstitute}) {
    for (bool alpha : {true, false}) {
      const EffectParam parameter = effect == kEffectBlendSubstitute ? 0x00FF00FF : 0;
      Surface target = Import(kPrototypeRenderTarget, background.get());
      ASSERT_TRUE(target);
      std::string where;
      EXPECT_EQ(SpritesDifference(alpha ? sprite.get() : keyed.get(),
                                  alpha ? alphaTexture.get() : keyedTexture.get(), background.get(),
                                  target.get(), spots, effect, parameter, &where),
                0)
          << "effect " << effect << (alpha ? " alpha " : " keyed ") << where;
    }
  }
}

TEST(GLDriverVariants, EveryDriverNumberHasItsKindsAndPrototypes) {
  struct Variant {
    const char* file;
    int firstKind;
    int prototypes;
    bool function;
  };
  for (const Variant& v :
       {Variant{"vexad3d9.so", 9, 4, false}, Variant{"vexad3d8.so", 13, 4, false}}) {
    Driver driver(v.file);
    ASSERT_NE(driver.module, nullptr) << v.file;
    EXPECT_EQ(driver.function != nullptr, v.function);
    ASSERT_EQ(driver.initialize(), 1) << v.file;
    for (int number = 4; number <= 8; ++number) {
      cSurfaceImplementation* prototype = driver.prototype(number);
      if (number - 4 >= v.prototypes) {
        EXPECT_EQ(prototype, nullptr);
        continue;
      }
      ASSERT_NE(prototype, nullptr);
      EXPECT_EQ(prototype->GetKind(), v.firstKind + number - 4);
    }
    driver.free();
    EXPECT_EQ(driver.prototype(4), nullptr);
  }
}

// Without framebuffer reads in the shader (forced by the environment), destination-reading
// sprites read copies of the area under their batch: overlapping ones must still see what the
// earlier ones wrote, and clipped ones must read the right pixels.
TEST(GLDriverVariants, DestinationCopiesFollowOverlappingSprites) {
  setenv("VEXA_GL_NO_FETCH", "1", 1);
  Driver driver("vexad3d8.so");
  ASSERT_NE(driver.module, nullptr);
  ASSERT_EQ(driver.initialize(), 1);
  unsetenv("VEXA_GL_NO_FETCH");
  std::mt19937 random(31);
  {
    Surface sprite = Memory(9, 7), background = Memory(80, 48);
    Scribble(sprite.get(), random, true);
    Scribble(background.get(), random, false);
    auto imported = [&](int number, cSurfaceImplementation* from) {
      Surface s(driver.prototype(number)->CreateCompatible(from->width, from->height));
      if (s && !s->CopyContentFrom(from)) s.reset();
      return s;
    };
    Surface texture = imported(kPrototypeStaticAlpha, sprite.get());
    ASSERT_TRUE(texture);
    std::uniform_int_distribution<int> place(-6, 76);
    Spots spots;
    for (int i = 0; i < 60; ++i) {
      // Runs of sprites a few pixels apart overlap; the rest fall anywhere.
      const int x = i % 10 < 5 ? 20 + (i % 10) * 4 : place(random);
      spots.push_back({x, i % 10 < 5 ? 20 + (i % 10) : place(random) / 2});
    }
    for (std::uint32_t effect : {kEffectAdd, kEffectSemiTransparent, kEffectXor}) {
      Surface target = imported(kPrototypeRenderTarget, background.get());
      ASSERT_TRUE(target);
      std::string where;
      EXPECT_EQ(SpritesDifference(sprite.get(), texture.get(), background.get(), target.get(),
                                  spots, effect, effect == kEffectSemiTransparent ? 40 : 0, &where),
                0)
          << "effect " << effect << " " << where;
    }
  }
  driver.free();
}

}  // namespace

// The leak checker's suppressions for this program (it reads them at start-up):
// - fontconfig's process-long caches, as in every sanitizer run;
// - SDL keeps a per-thread block (104 bytes) of a thread that made a GL context current;
// - Mesa (llvmpipe and its LLVM) keeps option strings and screens for the life of the process.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libSDL2-2.0.so\nleak:swrast_dri.so\nleak:libLLVM\n";
}

int main(int argc, char** argv) {
  // The dummy video driver has no OpenGL: take the offscreen one (EGL) unless a display
  // driver was named.
  const char* video = std::getenv("SDL_VIDEODRIVER");
  if (!video || std::string(video) == "dummy") setenv("SDL_VIDEODRIVER", "offscreen", 1);
  // One OpenGL window for the whole run keeps SDL's GL library, and with it Mesa, loaded while
  // drivers come and go: the leak checker then sees Mesa's process-long allocations where they
  // were made (and its suppressions apply) instead of in unloaded code.
  SDL_InitSubSystem(SDL_INIT_VIDEO);
  SDL_Window* keep =
      SDL_CreateWindow("gl-tests", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  ::testing::InitGoogleTest(&argc, argv);
  // Left open: the process ends with Mesa still loaded.
  (void)keep;
  return RUN_ALL_TESTS();
}
