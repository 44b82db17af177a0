// Driver scenarios, one per process: `driver_scenarios <name>` runs one and exits 0 when every
// check held, 1 otherwise (each failed check is printed). The driver test copies this program,
// libvexa.so and driver variants into a folder of their own first; the library looks for
// drivers beside its file, so the folder decides which drivers exist.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <vexa/blit.h>
#include <vexa/display_driver.h>
#include <vexa/effect.h>
#include <vexa/error_surface.h>
#include <vexa/fill_style.h>
#include <vexa/filter_manager.h>
#include <vexa/game_window.h>
#include <vexa/image_bank.h>
#include <vexa/image_file.h>
#include <vexa/library.h>
#include <vexa/sprite.h>
#include <vexa/surface_object.h>
#include <vexa/transformed_blit.h>

#include "ref_driver.h"

namespace {

int failures = 0;

constexpr COLORREF Rgb(int r, int g, int b) {
  return static_cast<COLORREF>(r | (g << 8) | (b << 16));
}

// CreateGameWindow answers null or a small failure value when it cannot make the window.
bool Usable(GameWindow* window) { return reinterpret_cast<std::uintptr_t>(window) > 2; }

#define CHECK(condition)                                                        \
  do {                                                                          \
    if (!(condition)) {                                                         \
      std::printf("%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      ++failures;                                                               \
    }                                                                           \
  } while (0)

#define CHECK_EQ(a, b)                                                                    \
  do {                                                                                    \
    const long long va = static_cast<long long>(a), vb = static_cast<long long>(b);       \
    if (va != vb) {                                                                       \
      std::printf("%s:%d: %s == %s: %lld != %lld\n", __FILE__, __LINE__, #a, #b, va, vb); \
      ++failures;                                                                         \
    }                                                                                     \
  } while (0)

std::string Folder() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
  std::string self(path, n > 0 ? static_cast<std::size_t>(n) : 0);
  return self.substr(0, self.rfind('/') + 1);
}

// The reference driver loaded under this file name, or null (no load is caused).
void* Loaded(const char* file) { return dlopen((Folder() + file).c_str(), RTLD_NOW | RTLD_NOLOAD); }

const RefDriverCounters* Counters(const char* file = kDriverFileD3D11) {
  void* module = Loaded(file);
  if (!module) return nullptr;
  auto get = reinterpret_cast<RefDriverGetCountersFn>(dlsym(module, "RefDriverGetCounters"));
  dlclose(module);  // the library keeps its own reference
  return get ? get() : nullptr;
}

// The lines the driver appended to its log.
std::vector<std::string> LogLines() {
  std::vector<std::string> lines;
  std::ifstream in(std::getenv("REF_DRIVER_LOG") ? std::getenv("REF_DRIVER_LOG") : "");
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

int CountLines(const char* prefix) {
  int n = 0;
  for (const std::string& line : LogLines()) n += line.rfind(prefix, 0) == 0 ? 1 : 0;
  return n;
}

int KindOf(cSurfaceObject* object) { return object->GetImplementation()->GetKind(); }

cSurfaceObject* Prototype(int depth, int type, int driver, int* result = nullptr) {
  cSurfaceObject* prototype = nullptr;
  const int r = GetPrototype(&prototype, depth, type, driver);
  if (result) *result = r;
  return prototype;
}

// ---- loading -----------------------------------------------------------------------------

// No driver file: the fallback prototypes, the failure remembered, no second attempt even once
// a file appears.
void MissingDriver() {
  int result = -1;
  CHECK_EQ(KindOf(Prototype(32, 4, 7, &result)), kKindDIBSectionDC);
  CHECK_EQ(result, 1);
  CHECK_EQ(KindOf(Prototype(32, 6, 7)), kKindDIBSection);
  CHECK_EQ(KindOf(Prototype(32, 8, 7, &result)), kKindDIBSection);
  CHECK_EQ(result, 1);
  CHECK_EQ(GetDriverState(7), 2);
  std::system(("cp " + Folder() + "ref_driver.so " + Folder() + kDriverFileD3D11).c_str());
  CHECK_EQ(KindOf(Prototype(32, 4, 7)), kKindDIBSectionDC);
  CHECK_EQ(CountLines("init"), 0);
  CHECK(!Loaded(kDriverFileD3D11));
  // UnloadDrivers clears the failure: the next request loads the file now present.
  UnloadDrivers();
  CHECK_EQ(GetDriverState(7), 0);
  CHECK_EQ(KindOf(Prototype(32, 4, 7)), kKindD3D11First);
}

// A driver that refuses, or lacks an entry point, is freed and unloaded at once and never
// asked again; a driver without a display prototype likewise (after SEFree).
void RefusingDriver() {
  CHECK_EQ(KindOf(Prototype(32, 4, 7)), kKindDIBSectionDC);
  CHECK_EQ(KindOf(Prototype(32, 5, 7)), kKindDIBSection);
  CHECK_EQ(CountLines("init"), 1);
  CHECK_EQ(CountLines("free"), 1);
  CHECK_EQ(CountLines("prototype"), 0);
  CHECK(!Loaded(kDriverFileD3D11));
  CHECK_EQ(GetDriverState(7), 2);
}

void DriverWithoutInitialize() {
  CHECK_EQ(KindOf(Prototype(32, 4, 7)), kKindDIBSectionDC);
  CHECK_EQ(KindOf(Prototype(32, 4, 7)), kKindDIBSectionDC);
  CHECK_EQ(CountLines("free"), 1);
  CHECK(!Loaded(kDriverFileD3D11));
}

void DriverWithoutDisplay() {
  CHECK_EQ(KindOf(Prototype(32, 4, 7)), kKindDIBSectionDC);
  CHECK_EQ(KindOf(Prototype(32, 5, 7)), kKindDIBSection);
  CHECK_EQ(CountLines("init"), 1);
  CHECK_EQ(CountLines("free"), 1);
  CHECK(!Loaded(kDriverFileD3D11));
  CHECK_EQ(GetDriverState(7), 2);
}

// Kinds, types and drivers of surfaces from every prototype of two drivers loaded at once, and
// the small-surface rule.
void PrototypesAndKinds() {
  for (int driver : {5, 7}) {
    for (int type = 4; type <= 3 + DriverPrototypeCount(driver) && type <= 7; ++type) {
      int result = 0;
      cSurfaceObject* prototype = Prototype(32, type, driver, &result);
      CHECK_EQ(result, 1);
      CHECK_EQ(KindOf(prototype), DriverFirstKind(driver) + type - 4);
      cSurfaceObject made;
      CHECK(made.Create(40, 30, prototype) != nullptr);
      CHECK_EQ(made.GetType(), type);
      CHECK_EQ(made.GetDriver(), driver);
    }
    // A 16-bit request from a 32-bit driver: the prototype is given, the depth does not match.
    int result = 1;
    Prototype(16, 4, driver, &result);
    CHECK_EQ(result, 0);
  }
  // Type 8 is driver 7's fifth prototype (a render target with alpha); other drivers have
  // none and give a DIB section without being asked; types above 8 are DIB sections.
  {
    int result = 0;
    cSurfaceObject* fifth = Prototype(32, 8, 7, &result);
    CHECK_EQ(result, 1);
    CHECK_EQ(KindOf(fifth), kKindD3D11First + 4);
    cSurfaceObject made, tiny;
    CHECK(made.Create(40, 30, fifth) != nullptr);
    CHECK_EQ(made.GetType(), 8);
    CHECK_EQ(made.GetDriver(), 7);
    CHECK(tiny.Create(4, 4, fifth) != nullptr);  // the small-surface rule leaves kind 25 alone
    CHECK_EQ(KindOf(&tiny), kKindD3D11First + 4);
    const int requests = CountLines("prototype");
    CHECK_EQ(KindOf(Prototype(32, 8, 5)), kKindDIBSection);
    CHECK_EQ(KindOf(Prototype(32, 8, 0)), kKindDIBSection);
    CHECK_EQ(KindOf(Prototype(32, 9, 7)), kKindDIBSection);
    CHECK_EQ(CountLines("prototype"), requests);
    Prototype(16, 8, 7, &result);  // the driver's prototypes are 32-bit
    CHECK_EQ(result, 0);
  }
  CHECK_EQ(KindOf(Prototype(32, 4, 6)), kKindDIBSectionDC);  // no file for driver 6
  CHECK_EQ(GetDriverState(6), 2);
  // Type 2 with a driver: the DIB-section prototype.
  CHECK_EQ(KindOf(Prototype(32, 2, 7)), kKindDIBSection);
  // Small surfaces: a display surface of 8 x 8 or less is a DIB section; a render target too,
  // unless it is made from the driver's own second prototype object.
  cSurfaceObject small, wider, target, copy;
  small.Create(8, 8, Prototype(32, 4, 7));
  CHECK_EQ(KindOf(&small), kKindDIBSection);
  wider.Create(9, 8, Prototype(32, 4, 7));
  CHECK_EQ(KindOf(&wider), kKindD3D11First);
  target.Create(4, 4, Prototype(32, 5, 7));
  CHECK_EQ(KindOf(&target), kKindD3D11First + 1);
  cSurfaceObject bigTarget;
  bigTarget.Create(20, 20, Prototype(32, 5, 7));
  copy.Create(4, 4, &bigTarget);  // same kind, but not the prototype object itself
  CHECK_EQ(KindOf(&copy), kKindDIBSection);
  cSurfaceObject texture;
  texture.Create(2, 2, Prototype(32, 6, 7));
  CHECK_EQ(KindOf(&texture), kKindD3D11First + 2);
}

// The last UnregisterThread empties the prototypes but keeps the module: the next request
// refills them without loading or initialising again. UnloadDrivers then frees it.
void ReloadAfterLastThread() {
  CHECK_EQ(KindOf(Prototype(32, 4, 7)), kKindD3D11First);
  void* module = Loaded(kDriverFileD3D11);
  CHECK(module != nullptr);
  if (module) dlclose(module);
  UnregisterThread();  // the registration made when the library was loaded
  RegisterThread();
  CHECK_EQ(GetDriverState(7), 1);
  CHECK_EQ(KindOf(Prototype(32, 4, 7)), kKindD3D11First);
  CHECK_EQ(CountLines("init"), 1);
  CHECK_EQ(CountLines("prototype 4"), 2);
  const RefDriverCounters* counters = Counters();
  CHECK(counters && counters->initializations == 1);
  UnloadDrivers();
  CHECK_EQ(CountLines("free"), 1);
  CHECK(!Loaded(kDriverFileD3D11));
  CHECK_EQ(GetDriverState(7), 0);
  CHECK_EQ(KindOf(Prototype(32, 4, 7)), kKindD3D11First);
  CHECK_EQ(CountLines("init"), 2);
  UnloadDrivers();
}

// ---- what the library calls on driver surfaces ------------------------------------------

std::vector<std::uint32_t> Pixels(cSurfaceObject& s) {
  std::vector<std::uint32_t> out;
  for (int y = 0; y < s.GetHeight(); ++y)
    for (int x = 0; x < s.GetWidth(); ++x) {
      COLORREF c = 0;
      s.GetPixelColor(x, y, &c);
      out.push_back(c);
    }
  return out;
}

void Pattern(cSurfaceObject& s) {
  for (int y = 0; y < s.GetHeight(); ++y)
    for (int x = 0; x < s.GetWidth(); ++x)
      s.SetPixelColor(x, y, Rgb((x * 37) & 255, (y * 53) & 255, ((x ^ y) * 11) & 255));
}

void SurfaceCalls() {
  const RefDriverCounters* c = (Prototype(32, 4, 7), Counters());
  CHECK(c != nullptr);
  if (!c) return;
  cSurfaceObject source, driver, memory;
  source.Create(32, 24, Prototype(32, 0, 0));
  Pattern(source);
  driver.Create(64, 48, Prototype(32, 5, 7));
  memory.Create(64, 48, Prototype(32, 0, 0));
  // Blits and stretches into a driver surface are handed over, with the same result.
  const int blits = c->blitFrom, stretches = c->stretchFrom;
  for (cSurfaceObject* target : {&driver, &memory}) {
    target->FillRectColor(0, 0, 64, 48, Rgb(1, 2, 3));
    source.Blit(target, 5, 7, 0, 0, 32, 24, kModeOpaque, kEffectSemiTransparent, 40, 0);
    source.StretchBlit(target, 30, 10, 30, 30, 0, 0, 32, 24, kModeOpaque, kEffectNone, 0, 0);
  }
  CHECK_EQ(c->blitFrom, blits + 1);
  CHECK_EQ(c->stretchFrom, stretches + 1);
  CHECK(Pixels(driver) == Pixels(memory));
  // Native lines.
  const int lines = c->nativeLines;
  CHECK_EQ(driver.DrawLine(0, 0, 63, 47, 1, Rgb(255, 0, 0)), 1);
  CHECK_EQ(c->nativeLines, lines + 1);
  memory.DrawLine(0, 0, 63, 47, 1, Rgb(255, 0, 0));
  CHECK(Pixels(driver) == Pixels(memory));
  // Colour keys: -1 only tells the driver; others tell it, then store the key.
  driver.SetTransparentColor(Rgb(9, 9, 9));
  CHECK_EQ(c->hook73Last, 0);
  CHECK_EQ(driver.GetTransparentColor(), Rgb(9, 9, 9));
  const int hooks = c->hook73Calls;
  driver.SetTransparentColor(0xFFFFFFFFu);
  CHECK_EQ(c->hook73Calls, hooks + 1);
  CHECK_EQ(c->hook73Last, 1);
  CHECK_EQ(driver.GetTransparentColor(), Rgb(9, 9, 9));
  // Fills of kinds above 20 reach FillRectEffect; driver 5's kinds (9-12) do not.
  const int fills = c->fillEffect;
  FillCornerColours corners{{Rgb(10, 20, 30), Rgb(10, 20, 30), Rgb(10, 20, 30), Rgb(10, 20, 30)}};
  CHECK_EQ(driver.GetImplementation()->FillRectDriver(0, 0, 4, 4, 0, 0) +
               driver.GetImplementation()->FillRectEffect(0, 0, 4, 4, &corners, 0, 0, 0),
           1);
  CHECK_EQ(c->fillEffect, fills + 2);  // both reach the driver, which refuses a null record
  COLORREF filled = 0;
  driver.GetPixelColor(2, 2, &filled);
  CHECK_EQ(filled, Rgb(10, 20, 30));
  cSurfaceObject old;
  old.Create(16, 16, Prototype(32, 5, 5));
  CHECK_EQ(old.GetImplementation()->FillRectDriver(0, 0, 4, 4, 0x123456, 0), 0);
  // Notices and the render target.
  const int owner = c->notifyOwner, pair = c->hook100;
  driver.NotifyImplementation(3, 0);
  driver.NotifyPair(1, &memory);
  CHECK_EQ(c->notifyOwner, owner + 1);
  CHECK_EQ(c->hook100, pair + 1);
  CHECK(driver.GetRenderTarget() == &driver);
  // SEFunction reaches driver 7.
  std::int32_t viewport[4] = {1, 2, 3, 4};
  CHECK_EQ(CallDriverFunction(7, 0, viewport), 1);
  CHECK_EQ(c->lastFunctionData[3], 4);
  CHECK_EQ(CallDriverFunction(6, 0, viewport), 0);
}

// Effects on a driver surface: acceptance, notices, withdrawal when the surface goes.
void Effects() {
  const RefDriverCounters* c = (Prototype(32, 4, 7), Counters());
  if (!c) {
    CHECK(c != nullptr);
    return;
  }
  static const char names[] = "Tint\0Amount\0";
  static const std::uint8_t types[] = {0, 1};
  CEffectEx* effect = NewEffect();
  effect->InitEffectText("void main() {}", 0, 5, 2, names, types);
  auto* surface = new cSurfaceObject();
  surface->Create(16, 16, Prototype(32, 5, 7));
  CHECK_EQ(effect->AttachToSurface(surface), 1);
  CHECK(effect->surface == surface->GetImplementation());
  const int changes = c->parameterChanged;
  effect->SetParameterFloat(1, 0.5f);
  effect->SetParameterFloat(1, 0.5f);
  CHECK_EQ(c->parameterChanged, changes + 1);
  CHECK_EQ(c->lastChangedIndex, 1);
  CHECK_EQ(effect->ApplyToSurface(surface, 2, 3), 1);
  CHECK_EQ(c->hook98Sum, 5);
  CHECK_EQ(effect->ApplyToSurface(nullptr, 2, 3), 0);
  // The surface goes first: the driver withdraws the effect, whose destructor then has nothing
  // to detach from.
  delete surface;
  CHECK_EQ(effect->GetAttached(), 0);
  CHECK(effect->surface == nullptr);
  // A surface that refuses (the reference refuses effects without a source) is not kept.
  CEffectEx* empty = NewEffect();
  cSurfaceObject other;
  other.Create(16, 16, Prototype(32, 5, 7));
  CHECK_EQ(empty->AttachToSurface(&other), 0);
  CHECK(empty->surface == nullptr);
  DeleteEffect(empty);
  DeleteEffect(effect);
}

// ---- images, the bank, sprites ---------------------------------------------------------------

std::vector<std::uint32_t> Box(int w, int h, std::uint32_t seed) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      pixels[static_cast<std::size_t>(y) * w + x] =
          (x + y) % 5 == 0 ? 0x00FF00u : (seed * 2654435761u + x * 97 + y * 31) & 0xFFFFFFu;
  return pixels;
}

int AddBox(ImageBank* bank, int w, int h, std::uint32_t seed) {
  const std::vector<std::uint32_t> pixels = Box(w, h, seed);
  return AddImage(bank, w, h, w / 2, h / 2, 0, 0, 0x00FF00, 8, pixels.data(), nullptr);
}

GameWindowRecord WindowRecord(int width, int height, std::uint32_t flags) {
  GameWindowRecord r{};
  r.size = kGameWindowRecordFixedSize;
  r.width = -width;
  r.height = -height;
  r.style = 0x00CF0000;
  r.title = "driver";
  r.className = "vexa-driver-scenario";
  r.maxWidth = -4000;
  r.maxHeight = -4000;
  r.kind = 1;
  r.flags = flags;
  return r;
}

struct SceneResult {
  std::vector<std::uint32_t> pixels;
  bool ok = false;
};

// A game window with sprite storage over a back buffer from `prototype` (filled with the
// background colour), and a bank of `format`.
struct Scene {
  ImageBank* bank = nullptr;
  GameWindow* window = nullptr;
  cSurfaceObject buffer;

  Scene(cSurfaceObject* prototype, int format, int width, int height) {
    bank = CreateImageBank(0, nullptr);
    SetImageBankFormat(bank, format);
    buffer.Create(width, height, prototype);
    buffer.FillRectColor(0, 0, width, height, Rgb(20, 40, 60));
    GameWindowRecord record = WindowRecord(width, height, 0);
    window = CreateGameWindow(bank, &record);
    if (!Usable(window)) return;
    SetBackBuffer(window, &buffer);
    SetWindowOption(window, 1, 64);
  }
  ~Scene() {
    if (Usable(window)) DestroyGameWindow(window);
    DestroyImageBank(bank);
  }
  bool Ready() const { return Usable(window); }
  // One redraw cycle, and the frame it drew.
  SceneResult Frame() {
    EraseSprites(window);
    CommitSprites(window);
    DrawSprites(window);
    SceneResult out;
    out.pixels = Pixels(buffer);
    out.ok = true;
    return out;
  }
};

// One frame of a scene of plain, keyed, semi-transparent and layered sprites, drawn on a
// back buffer from `prototype` with images of a bank of `format`.
SceneResult DrawScene(cSurfaceObject* prototype, int format, std::uint32_t layerEffect = 0,
                      std::uint32_t layerParameter = 0) {
  Scene scene(prototype, format, 160, 120);
  if (!scene.Ready()) return SceneResult{};
  ImageBank* bank = scene.bank;
  GameWindow* window = scene.window;
  SetLayerCount(window, 3);
  if (layerEffect) SetLayerEffect(window, 2, layerEffect, layerParameter, 0);
  const int a = AddBox(bank, 20, 16, 1), b = AddBox(bank, 33, 9, 2), c = AddBox(bank, 7, 40, 3);
  CreateSprite(window, 30, 30, a, 0, 0, 0, 0, 1);
  Sprite* semi = CreateSprite(window, 40, 36, b, 1, 0, 0, 0, 2);
  SetSpriteInk(window, semi, kInkTransparent | kEffectSemiTransparent, 50);
  CreateSprite(window, 100, 60, c, 2, 0, 0, 0, 3);
  CreateSprite(window, 110, 64, a, 4, 0, 0, 0, 4);   // beyond the layer table
  CreateSprite(window, 150, 110, b, 0, 0, 0, 0, 5);  // clipped
  const SceneResult out = scene.Frame();
  SetLayerCount(window, 0);
  return out;
}

// A sprite scene drawn in driver mode on the reference driver equals the software drawing.
void SpriteScene() {
  const SceneResult software = DrawScene(Prototype(32, 0, 0), 8);
  const RefDriverCounters* c = (Prototype(32, 4, 7), Counters());
  if (!c) {
    CHECK(c != nullptr);
    return;
  }
  const int blits = c->blitFrom;
  const SceneResult driver = DrawScene(Prototype(32, 4, 7), 8 | 0x40 | 0x10);
  CHECK(software.ok && driver.ok);
  CHECK(c->blitFrom > blits);
  CHECK_EQ(c->lastBlitFlags, kBlitDriverSprite);  // a sprite of the frame, drawn plainly
  CHECK(c->copyContent > 0);                      // the images' driver surfaces
  CHECK_EQ(software.pixels.size(), driver.pixels.size());
  std::size_t differing = 0;
  for (std::size_t i = 0; i < software.pixels.size() && i < driver.pixels.size(); ++i)
    differing += software.pixels[i] != driver.pixels[i];
  CHECK_EQ(differing, 0);
  // Layer effects (driver mode only): layer 2 holds one sprite covering x 97-103, y 40-79.
  // Effect 1 at 128 hides the layer; at 64 the layer is composited and blended as a whole.
  const SceneResult hidden = DrawScene(Prototype(32, 4, 7), 8 | 0x40 | 0x10, 1, 128);
  const SceneResult blended = DrawScene(Prototype(32, 4, 7), 8 | 0x40 | 0x10, 1, 64);
  const std::size_t at = 41 * 160 + 98;
  const COLORREF background = Rgb(20, 40, 60);
  if (hidden.pixels.size() <= at || blended.pixels.size() <= at) {
    CHECK(!"the layered scenes were not drawn");
    return;
  }
  CHECK_EQ(hidden.pixels[at], background);
  COLORREF expected = 0;
  for (int shift : {0, 8, 16}) {
    const std::uint32_t sprite = (software.pixels[at] >> shift) & 255;
    const std::uint32_t under = (background >> shift) & 255;
    expected |= ((sprite * 64 + under * 64) >> 7) << shift;
  }
  CHECK_EQ(blended.pixels[at], expected);
  CHECK_EQ(blended.pixels[10 * 160 + 10], background);
}

// One frame of scaled and turned sprites (quarter and half turns, other angles, smoothing,
// resampling, inks, an effect object, the edge ring), as in DrawScene.
SceneResult DrawTransformedScene(cSurfaceObject* prototype, int format, CEffectEx* effect) {
  Scene scene(prototype, format, 200, 160);
  if (!scene.Ready()) return SceneResult{};
  ImageBank* bank = scene.bank;
  GameWindow* window = scene.window;
  const int a = AddBox(bank, 21, 13, 1), b = AddBox(bank, 16, 16, 2), c = AddBox(bank, 9, 30, 3);
  struct Placed {
    int x, y, image;
    float scaleX, scaleY, angle;
    int resample, smooth;
    std::uint32_t ink;
    std::uint32_t parameter;
  };
  const Placed placed[] = {
      {20, 20, a, 1.5f, 0.5f, 0.0f, 1, 0, kInkTransparent, 0},  // scaled, resampled
      {60, 20, a, 2.0f, 2.0f, 0.0f, 0, 0, 0, 0},                // scaled, opaque
      {100, 25, a, 1.0f, 1.0f, 90.0f, 0, 0, kInkTransparent, 0},
      {140, 25, c, 1.0f, 1.0f, 270.0f, 0, 0, kInkTransparent, 0},
      {180, 30, b, 1.25f, 0.75f, 90.0f, 1, 0, kInkTransparent, 0},  // scaled quarter turn
      {30, 80, a, 1.0f, 1.0f, 180.0f, 0, 0, kInkTransparent, 0},
      {70, 80, c, 1.0f, 1.0f, 30.0f, 0, 1, kInkTransparent, 0},  // smooth turn
      {110, 80, b, 0.75f, 1.5f, 12.5f, 1, 1, kInkTransparent | kEffectSemiTransparent, 50},
      {150, 80, a, 2.0f, 1.0f, 333.25f, 0, 0, kInkTransparent | kInkSmoothing, 0},
      {40, 130, b, 1.0f, 1.0f, 45.0f, 0, 0, kInkTransparent | kEffectAdd, 0},
      {195, 150, c, 3.0f, 3.0f, 60.0f, 0, 0, kInkTransparent, 0},  // clipped by the edge
  };
  for (const Placed& p : placed) {
    Sprite* s = CreateSprite(window, p.x, p.y, p.image, 0, 0, 0, 0, 0);
    ModifySpriteEx(window, s, p.x, p.y, p.image, p.scaleX, p.scaleY, p.resample, p.angle, p.smooth);
    SetSpriteInk(window, s, p.ink, p.parameter);
  }
  if (effect) {  // effect 13 takes a pointer: drawn from the library's copy on a driver too
    Sprite* s = CreateSprite(window, 120, 130, b, 0, 0, 0, 0, 0);
    ModifySpriteEx(window, s, 120, 130, b, 1.5f, 1.5f, 0, 20.0f, 0);
    SetSpriteInk(window, s, kInkTransparent | kEffectObject, reinterpret_cast<EffectParam>(effect));
  }
  return scene.Frame();
}

std::size_t Differing(const SceneResult& a, const SceneResult& b) {
  if (a.pixels.size() != b.pixels.size()) return a.pixels.size() + b.pixels.size();
  std::size_t n = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i) n += a.pixels[i] != b.pixels[i];
  return n;
}

// Scaled and turned sprites on a driver display are handed over (BlitTransformedFrom); the
// reference transforms them with the library's renderer, so the frame equals the software one.
// A driver that does not transform gets the library's copies, with the same result.
void TransformedScene() {
  CEffectEx* effect = NewEffect();
  effect->SetParameterInt(kEffectExtraValueIndex, static_cast<int>(0x80FF8040u));
  const SceneResult software = DrawTransformedScene(Prototype(32, 0, 0), 8, effect);
  const RefDriverCounters* c = (Prototype(32, 4, 7), Counters());
  if (!c) {
    CHECK(c != nullptr);
    DeleteEffect(effect);
    return;
  }
  const int handed = c->transformedFrom;
  const SceneResult driver = DrawTransformedScene(Prototype(32, 4, 7), 8 | 0x40 | 0x10, effect);
  CHECK(software.ok && driver.ok);
  CHECK_EQ(c->transformedFrom - handed, 11);  // every sprite but the effect object
  CHECK_EQ(Differing(software, driver), 0);
  // The last one handed over: the clipped sprite, 9 x 30 by its hot spot (4, 15), scale 3.
  CHECK_EQ(c->lastTransformed[2], 9);
  CHECK_EQ(c->lastTransformed[3], 30);
  CHECK_EQ(c->lastTransformed[4], 4);
  CHECK_EQ(c->lastTransformed[5], 15);
  CHECK_EQ(c->lastTransformed[6], 3 * 65536);
  CHECK_EQ(c->lastTransformed[8], 60000);
  CHECK_EQ(c->lastTransformed[9], kModeTransparent);
  // The software drawing is not a blank frame: the sprites show.
  std::size_t shown = 0;
  for (std::uint32_t p : software.pixels) shown += p != Rgb(20, 40, 60);
  CHECK(shown > 3000);
  // Images kept in memory (a bank without driver bits) are handed over from there.
  const int fromMemory = c->transformedFrom;
  const SceneResult memoryImages = DrawTransformedScene(Prototype(32, 4, 7), 8, effect);
  CHECK_EQ(c->transformedFrom - fromMemory, 11);
  CHECK_EQ(Differing(software, memoryImages), 0);
  // Without the driver's transform the library's copies are blitted plainly.
  setenv("REF_DRIVER_NO_TRANSFORM", "1", 1);
  const int plain = c->blitFrom;
  const SceneResult copied = DrawTransformedScene(Prototype(32, 4, 7), 8 | 0x40 | 0x10, effect);
  unsetenv("REF_DRIVER_NO_TRANSFORM");
  CHECK(c->blitFrom - plain >= 12);
  CHECK_EQ(Differing(software, copied), 0);
  DeleteEffect(effect);
}

// The options of a resampling, smoothly turned sprite with the edge ring, as handed over.
void TransformedOptions() {
  const RefDriverCounters* c = (Prototype(32, 4, 7), Counters());
  if (!c) {
    CHECK(c != nullptr);
    return;
  }
  Scene scene(Prototype(32, 4, 7), 8 | 0x40 | 0x10, 64, 64);
  if (!scene.Ready()) {
    CHECK(scene.Ready());
    return;
  }
  GameWindow* window = scene.window;
  ImageBank* bank = scene.bank;
  const int image = AddBox(bank, 10, 10, 7);
  Sprite* s = CreateSprite(window, 30, 31, image, 0, 0, 0, 0, 0);
  ModifySpriteEx(window, s, 30, 31, image, 0.5f, 2.0f, 1, -45.5f, 1);
  SetSpriteInk(window, s, kInkSmoothing | kEffectSemiTransparent, 77);
  EraseSprites(window);
  CommitSprites(window);
  const int handed = c->transformedFrom;
  DrawSprites(window);
  CHECK_EQ(c->transformedFrom, handed + 1);
  CHECK_EQ(c->lastTransformed[6], 32768);
  CHECK_EQ(c->lastTransformed[7], 131072);
  CHECK_EQ(c->lastTransformed[8], 314500);  // -45.5 is kept as 314.5
  CHECK_EQ(c->lastTransformed[9], kModeOpaque | kTransformSmooth | kTransformResample |
                                      kTransformSmoothTurn | kTransformEdgeRing);
  CHECK_EQ(c->lastTransformed[10], kEffectSemiTransparent);
  CHECK_EQ(c->lastTransformed[11], 77);
  // Scale 0 shows nothing and is not handed over.
  SetSpriteScale(window, s, 0.0f, 1.0f, 0);
  EraseSprites(window);
  CommitSprites(window);
  DrawSprites(window);
  CHECK_EQ(c->transformedFrom, handed + 1);
}

// A window whose back buffer is a driver-7 surface tells the driver where it shows it
// (SEFunction code 0: x, y, width, height in the top-level window), when the buffer is set and
// before a present whenever that changed; drivers 5 and 6 are never told.
void DisplayArea() {
  const RefDriverCounters* c = (Prototype(32, 4, 7), Counters());
  const RefDriverCounters* old = (Prototype(32, 4, 5), Counters(kDriverFileD3D9));
  const RefDriverCounters* older = (Prototype(32, 4, 6), Counters(kDriverFileD3D8));
  if (!c || !old || !older) {
    CHECK(c && old && older);
    return;
  }
  ImageBank* bank = CreateImageBank(0, nullptr);
  GameWindowRecord record = WindowRecord(64, 48, kGameWindowDriverDisplay);
  GameWindow* window = CreateGameWindow(bank, &record);
  if (!Usable(window)) {
    CHECK(Usable(window));
    DestroyImageBank(bank);
    return;
  }
  auto told = [&](int x, int y, int w, int h) {
    return c->lastFunctionCode == kDriverFunctionDisplayArea && c->lastFunctionData[0] == x &&
           c->lastFunctionData[1] == y && c->lastFunctionData[2] == w &&
           c->lastFunctionData[3] == h;
  };
  cSurfaceObject display, small;
  display.Create(64, 48, Prototype(32, 4, 7));
  small.Create(32, 24, Prototype(32, 4, 7));
  int sent = c->functions;
  SetBackBuffer(window, &display);
  CHECK_EQ(c->functions, sent + 1);
  CHECK(told(0, 0, 64, 48));
  PresentWindow(window);  // nothing changed: nothing sent
  PresentWindow(window);
  CHECK_EQ(c->functions, sent + 1);
  // A smaller buffer is shown at its own size, or over the client area when stretched.
  SetBackBuffer(window, &small);
  CHECK_EQ(c->functions, sent + 2);
  CHECK(told(0, 0, 32, 24));
  SetWindowFlags(window, GetWindowFlags(window) | kGameWindowStretch);
  PresentWindow(window);
  CHECK_EQ(c->functions, sent + 3);
  CHECK(told(0, 0, 64, 48));
  // The caller told the driver something else: the next present puts it right.
  std::int32_t elsewhere[4] = {5, 6, 7, 8};
  CallDriverFunction(7, kDriverFunctionDisplayArea, elsewhere);
  sent = c->functions;
  PresentWindow(window);
  CHECK_EQ(c->functions, sent + 1);
  CHECK(told(0, 0, 64, 48));
  // A resized client area follows.
  SizeGameWindow(window, -80, -60);
  PresentWindow(window);
  CHECK(told(0, 0, 80, 60));
  // A child window shows its buffer where its client area lies in the top-level window.
  {
    GameWindowRecord childRecord = WindowRecord(40, 30, kGameWindowDriverDisplay);
    childRecord.style = 0x40000000 | 0x10000000;  // child, visible
    childRecord.parent = GetWindowHandle(window);
    childRecord.x = 11;
    childRecord.y = 7;
    GameWindow* child = CreateGameWindow(bank, &childRecord);
    CHECK(Usable(child));
    if (Usable(child)) {
      cSurfaceObject childDisplay;
      childDisplay.Create(40, 30, Prototype(32, 4, 7));
      SetBackBuffer(child, &childDisplay);
      CHECK(told(11, 7, 40, 30));
      PresentWindow(window);  // the parent's own rectangle again
      CHECK(told(0, 0, 80, 60));
      PresentWindow(child);
      CHECK(told(11, 7, 40, 30));
      ReleaseBackBuffer(child);
      DestroyGameWindow(child);
    }
  }
  // Display surfaces of drivers 5 and 6: their drivers hear nothing, driver 7 neither.
  for (int driver : {5, 6}) {
    const int before5 = old->functions, before6 = older->functions, before7 = c->functions;
    cSurfaceObject display56;
    display56.Create(64, 48, Prototype(32, 4, driver));
    CHECK_EQ(display56.GetDriver(), driver);
    SetBackBuffer(window, &display56);
    PresentWindow(window);
    SizeGameWindow(window, -90, -70);
    PresentWindow(window);
    CHECK_EQ(old->functions, before5);
    CHECK_EQ(older->functions, before6);
    CHECK_EQ(c->functions, before7);
    ReleaseBackBuffer(window);
  }
  DestroyGameWindow(window);
  DestroyImageBank(bank);
}

// Driver bits of a bank format, atlas packing, expiry by frames, refills.
void BankSurfaces() {
  ImageBank* bank = CreateImageBank(0, nullptr);
  CHECK_EQ(SetImageBankFormat(bank, 8 | 0x80 | 0x10), 8);  // driver 6 is missing: bits dropped
  CHECK_EQ(SetImageBankFormat(bank, 8 | 0x40), 8);         // no driver mode (bit 4)
  CHECK_EQ(SetImageBankFormat(bank, 8 | 0x40 | 0x10), 8 | 0x40 | 0x10);
  const RefDriverCounters* c = Counters();
  if (!c) {
    CHECK(c != nullptr);
    return;
  }
  const int big = AddBox(bank, 1000, 1000, 1);
  const int tiny = AddBox(bank, 2, 2, 2);
  const int wide = AddBox(bank, 1534, 4, 3);
  const int small = AddBox(bank, 3, 1535, 4);
  // 1000 x 1000: four to a page; the fifth goes to a second page.
  std::vector<int> bigs{big};
  for (int i = 0; i < 4; ++i) bigs.push_back(AddBox(bank, 1000, 1000, 10 + i));
  for (int n : bigs) CHECK(GetImageDriverSurface(bank, n, 0) != nullptr);
  CHECK_EQ(c->atlasRooms, 5);
  CHECK(bank->atlasPages[0] != nullptr && bank->atlasPages[1] != nullptr);
  CHECK(bank->atlasPages[2] == nullptr);
  // Too small, too wide, and surfaces asked for an effect: their own size, not on a page.
  cSurfaceImplementation* own = GetImageDriverSurface(bank, tiny, 0);
  CHECK(own && own->width == 2 && own->GetKind() == kKindD3D11First + 2);
  CHECK(GetImageDriverSurface(bank, wide, 0) != nullptr);
  CHECK(GetImageDriverSurface(bank, small, 0) != nullptr);  // fits: on a page
  CHECK_EQ(c->atlasRooms, 6);
  ReleaseImageDriverSurface(bank, small);
  CHECK_EQ(c->atlasRooms, 5);
  CHECK(GetImageDriverSurface(bank, small, 2) != nullptr);
  CHECK_EQ(c->atlasRooms, 5);
  // The content is the image's.
  cSurfaceObject image, view;
  GetImageSurface(bank, tiny, &image, 0);
  view.implementation = own;
  CHECK(Pixels(view) == Pixels(image));
  // A refill restores content the driver lost.
  view.FillRectColor(0, 0, 2, 2, Rgb(1, 1, 1));
  CHECK(Pixels(view) != Pixels(image));
  CHECK(RefillImageDriverSurfaces(bank) >= 1);
  CHECK(Pixels(view) == Pixels(image));
  view.implementation = GetErrorSurface();  // the cache's: forget it before the view goes
  // Mode 2 hands the driver surface to the caller (it leaves the cache).
  cSurfaceObject handed;
  CHECK_EQ(GetImageSurface(bank, tiny, &handed, 2), 1);
  CHECK_EQ(handed.GetDriver(), 7);
  CHECK(GetEntry(bank, 4, tiny) == nullptr);
  // The driver's frame callback drops surfaces unused for more than four frames.
  cSurfaceObject display;
  display.Create(64, 64, Prototype(32, 4, 7));
  GetImageDriverSurface(bank, bigs[0], 0);  // stamped with frame 0
  bank->frameCounter = 3;
  GetImageDriverSurface(bank, bigs[1], 0);  // stamped with frame 3
  bank->frameCounter = 5;
  CHECK_EQ(display.GetImplementation()->DriverHook79(), 1);
  CHECK(GetEntry(bank, 4, bigs[0]) == nullptr);
  CHECK(GetEntry(bank, 4, bigs[1]) != nullptr);
  CHECK(c->frameCallbacks > 0);
  DestroyImageBank(bank);
  CHECK_EQ(c->atlasRooms, 0);
}

// Images imported into driver surfaces of types 5-8 equal those imported into memory.
void ImportIntoDriverSurfaces() {
  CImageFilterMgr manager;
  const char* plugins = std::getenv("VEXA_PLUGIN_DIR");
  const char* data = std::getenv("VEXA_TEST_DATA_DIR");
  if (!plugins || !data) {
    CHECK(plugins && data);
    return;
  }
  manager.LoadFilters(plugins, 0);
  const RefDriverCounters* c = (Prototype(32, 4, 7), Counters());
  if (!c) {
    CHECK(c != nullptr);
    return;
  }
  for (const char* file : {"png/basn6a16.png", "png/basn2c08.png"}) {
    const std::string path = std::string(data) + "/" + file;
    cSurfaceObject memory;
    memory.Create(1, 1, Prototype(32, 0, 0));
    CHECK_EQ(ImportImage(&manager, path.c_str(), &memory, nullptr, 0), 1);
    for (int type = 5; type <= 8; ++type) {
      const int copies = c->copyContent;
      cSurfaceObject target;
      target.Create(5, 5, Prototype(32, type, 7));
      CHECK_EQ(ImportImage(&manager, path.c_str(), &target, nullptr, 0), 1);
      CHECK_EQ(target.GetType(), type);
      CHECK_EQ(c->copyContent, copies + (type == 6 || type == 7 ? 1 : 0));
      CHECK(Pixels(target) == Pixels(memory));
      CHECK_EQ(target.HasAlpha(), memory.HasAlpha());
    }
  }
  manager.Free();
}

// A window made for a driver is shown by its display surface: PresentWindow flips it.
void DriverWindowPresents() {
  ImageBank* bank = CreateImageBank(0, nullptr);
  GameWindowRecord record = WindowRecord(64, 48, kGameWindowDriverDisplay);
  GameWindow* window = CreateGameWindow(bank, &record);
  if (!Usable(window)) {
    DestroyImageBank(bank);
    {
      CHECK(Usable(window));
      return;
    }
  }
  cSurfaceObject display;
  display.Create(64, 48, Prototype(32, 4, 7));
  const RefDriverCounters* c = Counters();
  if (!c) {
    CHECK(c != nullptr);
    return;
  }
  SetBackBuffer(window, &display);
  CHECK(GetDriverSDLWindow(GetWindowHandle(window)) != nullptr);
  const int presents = c->presents;
  CHECK_EQ(PresentWindow(window), 1);
  CHECK_EQ(c->presents, presents + 1);
  DestroyGameWindow(window);
  DestroyImageBank(bank);
}

}  // namespace

int main(int argc, char** argv) {
  const std::map<std::string, std::function<void()>> scenarios = {
      {"missing", MissingDriver},
      {"refuse", RefusingDriver},
      {"no-initialize", DriverWithoutInitialize},
      {"no-display", DriverWithoutDisplay},
      {"prototypes", PrototypesAndKinds},
      {"reload", ReloadAfterLastThread},
      {"calls", SurfaceCalls},
      {"effects", Effects},
      {"scene", SpriteScene},
      {"transformed", TransformedScene},
      {"transformed-options", TransformedOptions},
      {"display-area", DisplayArea},
      {"bank", BankSurfaces},
      {"import", ImportIntoDriverSurfaces},
      {"present", DriverWindowPresents},
  };
  if (argc != 2 || !scenarios.count(argv[1])) {
    std::printf("usage: driver_scenarios <scenario>\n");
    return 2;
  }
  scenarios.at(argv[1])();
  std::printf("%s: %d failed check(s)\n", argv[1], failures);
  return failures ? 1 : 0;
}
