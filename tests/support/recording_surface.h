// A test implementation over plain memory that records how it is called.
#pragma once

#include <cstdlib>
#include <vector>

#include <vexa/surface_implementation.h>

#include "pixels/pixel_format.h"

class RecordingSurface : public cSurfaceImplementation {
 public:
  // A top-down surface of the depth; with `withStorage` false it has no pixel memory and its
  // Lock answers `lockResult`.
  RecordingSurface(int w, int h, int d, bool withStorage = true) {
    SetPixelFormat(d);
    width = w;
    height = h;
    stride = static_cast<int>(vexa::StrideOf(w, depth));
    pitch = stride;
    ResetClipRect();
    pixels.resize(static_cast<size_t>(stride) * (h > 0 ? h : 0) + 8);
    if (withStorage) storage = firstRow = pixels.data();
  }
  ~RecordingSurface() { ReleaseBaseResources(); }

  cSurfaceImplementation* Destroy(unsigned flags) override {
    ++destroyed;
    this->RecordingSurface::~RecordingSurface();
    if (flags & 1) ::operator delete(this);
    return this;
  }
  cSurfaceImplementation* CreateCompatible(int w, int h) override {
    return new RecordingSurface(w, h, depth);
  }
  int Lock() override {
    ++locks;
    if (!storage && lockResult) firstRow = pixels.data();
    return storage ? 1 : lockResult;
  }
  void Unlock() override {
    ++unlocks;
    if (!storage) firstRow = nullptr;
  }
  int Blit(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY, int w,
           int h, int mode, std::uint32_t effect, EffectParam parameter,
           std::uint32_t flags) override {
    lastBlit = {destination,
                x,
                y,
                sourceX,
                sourceY,
                w,
                h,
                mode,
                static_cast<int>(effect),
                static_cast<int>(parameter),
                static_cast<int>(flags)};
    return 1;
  }
  int GetOpaqueBounds(RECT* bounds) override {
    *bounds = RECT{1, 2, 3, 4};
    return 1;
  }
  void NotifyOwner(int code, cSurfaceObject* owner, HookArg value) override {
    notifications.push_back({code, owner, value});
  }

  struct BlitCall {
    cSurfaceImplementation* destination;
    int x, y, sourceX, sourceY, width, height, mode, effect, parameter, flags;
  };
  struct Notification {
    int code;
    cSurfaceObject* owner;
    HookArg value;
  };

  std::vector<std::uint8_t> pixels;
  int lockResult = 1;
  int locks = 0;
  int unlocks = 0;
  static inline int destroyed = 0;
  BlitCall lastBlit{};
  static inline std::vector<Notification> notifications;
};
