// Waiting for the display's vertical blank before a present.
//
// The context keeps the display's blank source (made when a window first asks for the wait).
// Before a present: a present 4 ms or less after the last one first sleeps to 5 ms; under
// 20 ms since the last present, the scan line is polled (1 ms apart, at most 40 polls) until
// it reaches the window's bottom edge or wraps; a source that cannot read the scan line, or a
// scan line that stands still, is waited on for the next blank instead. Linux sources never
// read scan lines, so there the wait is always the blank itself.
#include <algorithm>

#include <vexa/game_window.h>
#include <vexa/image_bank.h>

#include "platform/timer/timer.h"
#include "platform/window/vblank.h"
#include "platform/window/window.h"
#include "window/game_window.h"
#include "window/window_internal.h"

namespace vexa::window {
namespace {

constexpr int kBlankLine = 32000;
constexpr int kMaxPolls = 40;

plat::VBlankSource* SourceOf(ImageBank* context) {
  return context ? static_cast<plat::VBlankSource*>(context->displayObject) : nullptr;
}

// The window's bottom edge on the screen, limited to the screen's height.
int BottomLine(GameWindow* window, plat::VBlankSource* source) {
  RECT client{};
  plat::GetClientRect(window->window, &client);
  POINT bottom{0, client.bottom};
  plat::ClientToScreen(window->window, &bottom);
  const int screen = source->ScreenHeight();
  return screen > 0 ? std::min(bottom.y, screen) : bottom.y;
}

}  // namespace

std::uint32_t NowMs() { return plat::timer::TimeGetTime(); }
void SleepMs(std::uint32_t ms) { plat::timer::SleepMs(ms); }

void PrepareBlankWait(GameWindow* window) {
  ImageBank* context = window->context;
  if (context && !context->displayObject && !(context->formatWord & kBankDriverBits))
    context->displayObject = plat::OpenVBlankSource();
  if (!SourceOf(context)) window->state &= static_cast<std::uint16_t>(~kGameStateWaitBlank);
}

void WaitBeforePresent(GameWindow* window) {
  plat::VBlankSource* source = SourceOf(window->context);
  if ((window->state & kGameStateWaitBlank) && source) {
    std::uint32_t elapsed = NowMs() - window->lastPresentTime;
    if (elapsed <= 4) {
      SleepMs(5 - elapsed);
      elapsed = NowMs() - window->lastPresentTime;
    }
    if (elapsed < 20) {
      const int bottom = BottomLine(window, source);
      int previous = -1;
      bool waitForBlank = false;
      for (int poll = 0; poll < kMaxPolls; ++poll) {
        int line = 0;
        bool inBlank = false;
        if (!source->ReadScanLine(&line, &inBlank)) {
          waitForBlank = true;
          break;
        }
        if (inBlank) line = kBlankLine;
        if (line >= bottom || (previous >= 0 && line < previous)) break;
        if (line == previous) {
          waitForBlank = true;
          break;
        }
        previous = line;
        SleepMs(1);
      }
      if (waitForBlank) source->WaitForBlankStart();
    }
  }
  window->lastPresentTime = NowMs();
}

void ReleaseDisplayObject(ImageBank* context) {
  if (!context) return;
  delete SourceOf(context);
  context->displayObject = nullptr;
}

}  // namespace vexa::window
