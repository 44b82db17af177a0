// The reference display driver: memory surfaces that draw with the library's own renderer.
//
// It follows the display-driver contract to the letter, so that every driver path of the
// library can be checked bit for bit against the software path: a blit handed over to a
// reference surface is the same blit the library would have made. It also counts what the
// library asks of it (RefDriverGetCounters) and, when REF_DRIVER_LOG names a file, appends a
// line there for every SEInitialize, SEFree and prototype request (these outlive the module).
//
// The driver number comes from the file name it is loaded under (vexad3d9 -> 5, vexad3d8 -> 6,
// vexad3d11 -> 7). REF_DRIVER_NO_TRANSFORM=1 makes BlitTransformedFrom decline. Variants built
// from this source:
//   REF_DRIVER_REFUSE        SEInitialize answers 0
//   REF_DRIVER_NO_INITIALIZE SEInitialize is missing
//   REF_DRIVER_NO_DISPLAY    prototype 4 is not supplied
#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include <vexa/blit.h>
#include <vexa/buffer_surface.h>
#include <vexa/display_driver.h>
#include <vexa/effect.h>
#include <vexa/error_surface.h>
#include <vexa/fill_style.h>
#include <vexa/surface_object.h>
#include <vexa/transformed_blit.h>

#include "ref_driver.h"

namespace {

RefDriverCounters counters;
int driverNumber = 7;

void Log(const char* format, int value) {
  const char* path = std::getenv("REF_DRIVER_LOG");
  if (!path || !*path) return;
  if (FILE* file = std::fopen(path, "a")) {
    std::fprintf(file, format, value);
    std::fputc('\n', file);
    std::fclose(file);
  }
}

int NumberFromFileName() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&NumberFromFileName), &info) || !info.dli_fname) return 7;
  const char* name = std::strrchr(info.dli_fname, '/');
  name = name ? name + 1 : info.dli_fname;
  if (std::strstr(name, "d3d9")) return 5;
  if (std::strstr(name, "d3d8")) return 6;
  return 7;
}

struct FrameCallback {
  DriverFrameCallback callback;
  void* user;
  int surfaces;  // how many surfaces registered it
};
std::vector<FrameCallback> frameCallbacks;

void AddFrameCallback(DriverFrameCallback callback, void* user) {
  for (FrameCallback& c : frameCallbacks) {
    if (c.callback == callback && c.user == user) {
      ++c.surfaces;
      return;
    }
  }
  frameCallbacks.push_back({callback, user, 1});
}

void DropFrameCallback(DriverFrameCallback callback, void* user) {
  for (auto it = frameCallbacks.begin(); it != frameCallbacks.end(); ++it) {
    if (it->callback == callback && it->user == user) {
      if (--it->surfaces == 0) frameCallbacks.erase(it);
      return;
    }
  }
}

class RefSurface;

// Room handed out on an atlas page: shelves filled left to right, freed rooms reused whole.
struct Room {
  int x, y, width, height;
};

struct AtlasState {
  std::vector<Room> shelves;  // x = fill cursor, y = shelf top, height = shelf height
  std::vector<Room> freed;
  std::vector<RefSurface*> rooms;
  int bottom = 0;

  bool Place(int width, int height, Room* out) {
    for (auto it = freed.begin(); it != freed.end(); ++it) {
      if (it->width >= width && it->height >= height) {
        *out = *it;
        freed.erase(it);
        return true;
      }
    }
    for (Room& shelf : shelves) {
      if (shelf.height >= height && shelf.x + width <= kAtlasPageSize) {
        *out = Room{shelf.x, shelf.y, width, height};
        shelf.x += width;
        return true;
      }
    }
    if (bottom + height > kAtlasPageSize || width > kAtlasPageSize) return false;
    shelves.push_back(Room{width, bottom, 0, height});
    *out = Room{0, bottom, width, height};
    bottom += height;
    return true;
  }
};

class RefSurface final : public cBufferSurface {
 public:
  explicit RefSurface(int number) : number_(number) { ++counters.liveSurfaces; }

  cSurfaceImplementation* Destroy(unsigned flags) override {
    ReleaseDriverState();
    --counters.liveSurfaces;
    this->~RefSurface();
    if (flags & 1) ::operator delete(static_cast<void*>(this));
    return this;
  }

  cSurfaceImplementation* CreateCompatible(int newWidth, int newHeight) override {
    auto* made = new (std::nothrow) RefSurface(number_);
    if (!made) return nullptr;
    if (!made->InitFormat(depth) || !made->Create(newWidth, newHeight)) {
      made->Delete();
      return nullptr;
    }
    std::memset(made->firstRow, 0, static_cast<std::size_t>(made->stride) * made->height);
    made->SetTransparentColor(transparentColor);
    return made;
  }

  int GetKind() override { return DriverFirstKind(driverNumber) + number_ - kPrototypeFirst; }

  // ---- drawing handed over by the library ----
  int HandlesBlitFrom() override { return drawing_ ? 0 : 1; }
  int BlitFrom(cSurfaceImplementation* source, int x, int y, int sourceX, int sourceY, int w, int h,
               int mode, std::uint32_t effect, EffectParam parameter,
               std::uint32_t flags) override {
    ++counters.blitFrom;
    counters.lastBlitFlags = static_cast<int>(flags);
    Guard guard(this);
    return source->Blit(this, x, y, sourceX, sourceY, w, h, mode, effect, parameter, flags);
  }
  int HandlesStretchFrom() override { return drawing_ ? 0 : 1; }
  int StretchBlitFrom(cSurfaceImplementation* source, int x, int y, int w, int h, int sourceX,
                      int sourceY, int sourceW, int sourceH, int mode, std::uint32_t effect,
                      EffectParam parameter, std::uint32_t flags) override {
    ++counters.stretchFrom;
    Guard guard(this);
    return source->StretchBlit(this, x, y, w, h, sourceX, sourceY, sourceW, sourceH, mode, effect,
                               parameter, flags);
  }
  // The transformed hand-over, drawn as the library draws a transformed sprite in memory.
  int BlitTransformedFrom(cSurfaceImplementation* source, float x, float y, int a1, int a2, int a3,
                          int a4, int a5, int a6, int a7, int a8, int a9, int a10, int a11,
                          int a12) override {
    // REF_DRIVER_NO_TRANSFORM: a driver that does not transform (the library then blits its
    // own transformed copy).
    if (const char* off = std::getenv("REF_DRIVER_NO_TRANSFORM"); off && *off == '1') return 0;
    ++counters.transformedFrom;
    const int args[12] = {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12};
    std::memcpy(counters.lastTransformed, args, sizeof args);
    Guard guard(this);
    return DrawTransformedSoftware(
        source, this,
        UnpackTransformedBlit(x, y, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12));
  }
  // Static textures take a whole surface: pixels, colour key and alpha plane (or none).
  int CopyContentFrom(cSurfaceImplementation* source) override {
    ++counters.copyContent;
    if (!source || source->width != width || source->height != height) return 0;
    Guard guard(this);
    SetTransparentColor(source->transparentColor);
    if (!source->alphaFirstRow)
      DeleteAlpha();
    else if (!alphaFirstRow && !CreateAlpha())
      return 0;
    return source->Blit(this, 0, 0, 0, 0, width, height, kModeOpaque, kEffectNone, 0,
                        kBlitCopyAlpha);
  }
  int HasNativeLines() override { return drawing_ ? 0 : 1; }
  int DrawLineNative(int x1, int y1, int x2, int y2, int lineWidth, COLORREF color) override {
    ++counters.nativeLines;
    Guard guard(this);
    cSurfaceObject view;
    view.implementation = this;
    const int drawn = view.DrawLine(x1, y1, x2, y2, lineWidth, color);
    view.implementation = GetErrorSurface();
    return drawn;
  }
  // A fill of kinds above 20: the reference fills flat with the first corner's colour.
  int FillRectEffect(int x, int y, int w, int h, void* pattern, HookArg, HookArg,
                     HookArg) override {
    ++counters.fillEffect;
    if (!pattern) return 0;
    return FillRectColor(x, y, w, h, static_cast<const FillCornerColours*>(pattern)->corner[0]);
  }

  // ---- notices ----
  void DriverHook73(int value) override {
    ++counters.hook73Calls;
    counters.hook73Last = value;
  }
  void NotifyOwner(int, cSurfaceObject*, HookArg) override { ++counters.notifyOwner; }
  int DriverHook100(int, cSurfaceObject*, cSurfaceObject*) override {
    ++counters.hook100;
    return 1;
  }
  int SetWindow(HWND window) override {
    window_ = window;
    return 1;
  }

  // ---- effects: accepted when they have a source ----
  void AttachEffect(void* effect) override {
    auto* e = static_cast<CEffectEx*>(effect);
    ++counters.attach;
    if (!e || !e->source) return;
    e->attached = 1;
    effects_.push_back(e);
  }
  void DetachEffect(void* effect) override {
    auto* e = static_cast<CEffectEx*>(effect);
    ++counters.detach;
    auto it = std::find(effects_.begin(), effects_.end(), e);
    if (it == effects_.end()) return;
    effects_.erase(it);
    e->attached = 0;
    e->surface = nullptr;
  }
  void EffectParameterChanged(void*, int index) override {
    ++counters.parameterChanged;
    counters.lastChangedIndex = index;
  }
  int DriverHook98(void*, HookArg a, HookArg b) override {
    ++counters.hook98;
    counters.hook98Sum = static_cast<int>(a + b);
    return 1;
  }

  // ---- presenting and the bank's hooks ----
  int DriverHook79() override {
    ++counters.presents;
    const std::vector<FrameCallback> calls = frameCallbacks;  // callbacks may drop surfaces
    for (const FrameCallback& c : calls) {
      ++counters.frameCallbacks;
      c.callback(c.user);
    }
    return 1;
  }
  int DriverHook94(HookArg callback, HookArg user) override {
    if (frame_.callback) DropFrameCallback(frame_.callback, frame_.user);
    frame_ = FrameCallback{reinterpret_cast<DriverFrameCallback>(callback),
                           reinterpret_cast<void*>(user), 0};
    if (frame_.callback) AddFrameCallback(frame_.callback, frame_.user);
    return 1;
  }
  int DriverHook105(HookArg size, HookArg out) override {
    if (width != kAtlasPageSize || height != kAtlasPageSize || !out) return 0;
    const int w = static_cast<int>(size & 0xFFFF), h = static_cast<int>((size >> 16) & 0xFFFF);
    if (!atlas_) atlas_ = new (std::nothrow) AtlasState();
    Room room{};
    if (!atlas_ || !atlas_->Place(w, h, &room)) return 0;
    auto* made = static_cast<RefSurface*>(CreateCompatible(w, h));
    if (!made) {
      atlas_->freed.push_back(room);
      return 0;
    }
    made->page_ = this;
    made->room_ = room;
    atlas_->rooms.push_back(made);
    ++counters.atlasRooms;
    *reinterpret_cast<cSurfaceImplementation**>(out) = made;
    return 1;
  }

 private:
  struct Guard {
    explicit Guard(RefSurface* s) : surface(s) { surface->drawing_ = true; }
    ~Guard() { surface->drawing_ = false; }
    RefSurface* surface;
  };

  void ReleaseDriverState() {
    // The effects of a surface that goes are withdrawn: they must not name it afterwards.
    for (CEffectEx* e : effects_) {
      e->attached = 0;
      e->surface = nullptr;
    }
    effects_.clear();
    if (frame_.callback) DropFrameCallback(frame_.callback, frame_.user);
    frame_ = FrameCallback{};
    if (page_ && page_->atlas_) {
      auto& rooms = page_->atlas_->rooms;
      rooms.erase(std::remove(rooms.begin(), rooms.end(), this), rooms.end());
      page_->atlas_->freed.push_back(room_);
      --counters.atlasRooms;
    }
    if (atlas_) {
      for (RefSurface* room : atlas_->rooms) room->page_ = nullptr;
      delete atlas_;
      atlas_ = nullptr;
    }
  }

  int number_;
  bool drawing_ = false;
  HWND window_ = nullptr;
  std::vector<CEffectEx*> effects_;
  FrameCallback frame_{};
  AtlasState* atlas_ = nullptr;  // when this surface is an atlas page
  RefSurface* page_ = nullptr;   // when this surface is room on a page
  Room room_{};
};

RefSurface* prototypes[5] = {};

}  // namespace

#ifndef REF_DRIVER_NO_INITIALIZE
VEXA_DRIVER_ENTRY int SEInitialize() {
  ++counters.initializations;
  Log("init %d", counters.initializations);
  driverNumber = NumberFromFileName();
#ifdef REF_DRIVER_REFUSE
  return 0;
#else
  for (int i = 0; i < DriverPrototypeCount(driverNumber); ++i) {
    prototypes[i] = new (std::nothrow) RefSurface(kPrototypeFirst + i);
    if (prototypes[i] && !prototypes[i]->InitFormat(32)) {
      prototypes[i]->Delete();
      prototypes[i] = nullptr;
    }
  }
  return 1;
#endif
}
#endif

VEXA_DRIVER_ENTRY void SEFree() {
  ++counters.frees;
  Log("free %d", counters.frees);
  for (RefSurface*& prototype : prototypes) {
    if (prototype) prototype->Delete();
    prototype = nullptr;
  }
}

VEXA_DRIVER_ENTRY cSurfaceImplementation* SEGetSIPrototype(int number) {
  ++counters.prototypeRequests;
  Log("prototype %d", number);
#ifdef REF_DRIVER_NO_DISPLAY
  if (number == kPrototypeDisplay) return nullptr;
#endif
  const int index = number - kPrototypeFirst;
  if (index < 0 || index >= DriverPrototypeCount(driverNumber)) return nullptr;
  return prototypes[index];
}

VEXA_DRIVER_ENTRY void SEFunction(int code, void* data) {
  ++counters.functions;
  counters.lastFunctionCode = code;
  if (data) std::memcpy(counters.lastFunctionData, data, sizeof counters.lastFunctionData);
}

VEXA_DRIVER_ENTRY const RefDriverCounters* RefDriverGetCounters() { return &counters; }
