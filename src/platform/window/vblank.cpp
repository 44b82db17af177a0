#include "platform/window/vblank.h"

#include <fcntl.h>
#include <unistd.h>
#include <xf86drm.h>

#include <atomic>
#include <new>

#include <SDL.h>

namespace plat {
namespace {

class DrmVBlank : public VBlankSource {
 public:
  explicit DrmVBlank(int fd) : fd_(fd) {}
  ~DrmVBlank() override { close(fd_); }
  bool ReadScanLine(int*, bool*) override { return false; }
  bool WaitForBlankStart() override {
    drmVBlank request{};
    request.request.type = DRM_VBLANK_RELATIVE;
    request.request.sequence = 1;
    return drmWaitVBlank(fd_, &request) == 0;
  }
  int ScreenHeight() override {
    SDL_DisplayMode mode{};
    if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetCurrentDisplayMode(0, &mode) == 0) return mode.h;
    return 0;
  }

 private:
  int fd_;
};

std::atomic<VBlankSource* (*)()> factoryOverride{nullptr};

VBlankSource* OpenDrm() {
  for (const char* node : {"/dev/dri/card0", "/dev/dri/card1"}) {
    const int fd = open(node, O_RDWR | O_CLOEXEC);
    if (fd < 0) continue;
    // A node that cannot wait for one blank now will not later.
    drmVBlank probe{};
    probe.request.type = DRM_VBLANK_RELATIVE;
    probe.request.sequence = 0;
    if (drmWaitVBlank(fd, &probe) != 0) {
      close(fd);
      continue;
    }
    auto* source = new (std::nothrow) DrmVBlank(fd);
    if (!source) close(fd);
    return source;
  }
  return nullptr;
}

}  // namespace

VBlankSource* OpenVBlankSource() {
  if (auto* factory = factoryOverride.load()) return factory();
  return OpenDrm();
}

void SetVBlankSourceFactory(VBlankSource* (*factory)()) { factoryOverride.store(factory); }

}  // namespace plat
