#include "platform/window/vblank.h"

#include <fcntl.h>
#include <unistd.h>
#include <xf86drm.h>

#include <atomic>
#include <new>

#include <SDL.h>

namespace plat {
namespace {

int OpenNode(const char* path) { return open(path, O_RDWR | O_CLOEXEC); }
int WaitOnCard(int fd, drmVBlank* request) { return drmWaitVBlank(fd, request); }
void CloseNode(int fd) { close(fd); }

constexpr DrmCardCalls kRealCalls{&OpenNode, &WaitOnCard, &CloseNode};
std::atomic<const DrmCardCalls*> cardCalls{&kRealCalls};

class DrmVBlank : public VBlankSource {
 public:
  DrmVBlank(int fd, const DrmCardCalls* calls) : fd_(fd), calls_(calls) {}
  ~DrmVBlank() override { calls_->close(fd_); }
  bool ReadScanLine(int*, bool*) override { return false; }
  // One blank past the card's counter: the wait ends when the next refresh starts.
  bool WaitForBlankStart() override {
    drmVBlank next{};
    next.request.type = DRM_VBLANK_RELATIVE;
    next.request.sequence = 1;
    return calls_->waitVBlank(fd_, &next) == 0;
  }
  int ScreenHeight() override {
    SDL_DisplayMode mode{};
    if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetCurrentDisplayMode(0, &mode) == 0) return mode.h;
    return 0;
  }

 private:
  int fd_;
  const DrmCardCalls* calls_;
};

std::atomic<VBlankSource* (*)()> factoryOverride{nullptr};

VBlankSource* OpenDrm() {
  const DrmCardCalls* calls = cardCalls.load();
  for (const char* node : {"/dev/dri/card0", "/dev/dri/card1"}) {
    const int fd = calls->open(node);
    if (fd < 0) continue;
    // A node that cannot answer a blank query now (no display on it) will not later.
    drmVBlank probe{};
    probe.request.type = DRM_VBLANK_RELATIVE;
    probe.request.sequence = 0;
    if (calls->waitVBlank(fd, &probe) != 0) {
      calls->close(fd);
      continue;
    }
    auto* source = new (std::nothrow) DrmVBlank(fd, calls);
    if (!source) calls->close(fd);
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

void SetDrmCardCalls(const DrmCardCalls* calls) { cardCalls.store(calls ? calls : &kRealCalls); }

}  // namespace plat
