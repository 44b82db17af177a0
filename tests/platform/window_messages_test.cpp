// Platform window messages: posting from other threads, the pump's translation of SDL events,
// child windows as rectangles of their top-level window, and the message-filter hooks with the
// dialog key hook on top of them.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include <vexa/game_window.h>

#include "platform/audio/audio.h"
#include "platform/window/messages.h"
#include "platform/window/window.h"

namespace {

struct Seen {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Seen> seen;

LRESULT Recorder(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != plat::WM_PAINT && message != plat::WM_ERASEBKGND)
    seen.push_back(Seen{window, message, wParam, lParam});
  return 0;
}

TEST(PlatformMessages, PostedMessagesArriveInOrderFromAnyThread) {
  HWND w = plat::CreateWindowEx(0, "rec", "rec", 0, 0, 0, 40, 40, nullptr, nullptr, nullptr,
                                nullptr, &Recorder);
  ASSERT_NE(w, nullptr);
  seen.clear();
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i) plat::PostMessage(w, plat::WM_APP + 1, i, -i);
  });
  poster.join();
  EXPECT_TRUE(seen.empty());  // nothing is delivered before the pump runs
  plat::PumpMessages();
  ASSERT_EQ(seen.size(), 100u);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(seen[i].wParam, static_cast<WPARAM>(i));
    EXPECT_EQ(seen[i].lParam, -i);
  }
  // A destroyed window's waiting messages are dropped; posting to it fails.
  plat::PostMessage(w, plat::WM_APP, 0, 0);
  plat::DestroyWindow(w);
  EXPECT_FALSE(plat::PostMessage(w, plat::WM_APP, 0, 0));
  seen.clear();
  plat::PumpMessages();
  EXPECT_TRUE(seen.empty());
}

TEST(PlatformMessages, PumpTurnsEventsIntoMessagesForTheRightWindow) {
  HWND top = plat::CreateWindowEx(0, "rec", "top", 0, 0, 0, 200, 150, nullptr, nullptr, nullptr,
                                  nullptr, &Recorder);
  HWND child = plat::CreateWindowEx(0, "rec", "child", plat::WS_CHILD | plat::WS_VISIBLE, 50, 40,
                                    60, 30, top, nullptr, nullptr, nullptr, &Recorder);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(plat::GetParent(child), top);
  EXPECT_EQ(plat::GetTopLevel(child), top);
  RECT r{};
  plat::GetClientRect(child, &r);
  EXPECT_EQ(r.right, 60);
  seen.clear();
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.windowID = SDL_GetWindowID(top->sdl);
  e.motion.x = 55;
  e.motion.y = 45;
  SDL_PushEvent(&e);
  e = SDL_Event{};
  e.type = SDL_KEYDOWN;
  e.key.windowID = SDL_GetWindowID(top->sdl);
  e.key.keysym.sym = SDLK_q;
  SDL_PushEvent(&e);
  e = SDL_Event{};
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = SDL_GetWindowID(top->sdl);
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  SDL_PushEvent(&e);
  plat::PumpMessages();
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[0].window, child);
  EXPECT_EQ(seen[0].message, plat::WM_MOUSEMOVE);
  EXPECT_EQ(plat::LowWord(seen[0].lParam), 5);  // in the child's own coordinates
  EXPECT_EQ(plat::HighWord(seen[0].lParam), 5);
  EXPECT_EQ(seen[1].window, top);
  EXPECT_EQ(seen[1].message, plat::WM_KEYDOWN);
  EXPECT_EQ(seen[1].wParam, static_cast<WPARAM>('Q'));
  EXPECT_EQ(seen[2].message, plat::WM_CLOSE);
  // Destroying the parent tells the parent first, then takes the child along.
  seen.clear();
  plat::DestroyWindow(top);
  EXPECT_FALSE(plat::IsWindow(child));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].window, top);
  EXPECT_EQ(seen[1].window, child);
}

TEST(PlatformMessages, DialogKeyHookForwardsKeysToTheParentWhileCounted) {
  HWND dialog = plat::CreateWindowEx(0, "rec", "dialog", 0, 0, 0, 100, 100, nullptr, nullptr,
                                     nullptr, nullptr, &Recorder);
  HWND control = plat::CreateWindowEx(0, "rec", "control", plat::WS_CHILD | plat::WS_VISIBLE, 0, 0,
                                      20, 20, dialog, nullptr, nullptr, nullptr, &Recorder);
  const std::uintptr_t hook = InstallDialogKeyHook();
  ASSERT_NE(hook, 0u);
  EXPECT_EQ(InstallDialogKeyHook(), hook);
  seen.clear();
  plat::PostMessage(control, plat::WM_KEYDOWN, 'A', 0x1E0001);
  plat::PostMessage(control, plat::WM_CHAR, 'a', 0);
  plat::PumpMessages(plat::MSGF_DIALOGBOX);  // the dialog's modal loop
  plat::PumpMessages();                      // delivers what the hook posted
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].window, control);
  EXPECT_EQ(seen[0].message, plat::WM_CHAR);
  EXPECT_EQ(seen[1].window, dialog);
  EXPECT_EQ(seen[1].message, kDialogKeyMessage);
  EXPECT_EQ(seen[1].wParam, static_cast<WPARAM>('A'));
  EXPECT_EQ(seen[1].lParam, 0x1E0001);
  // Outside a modal loop the key goes to the control.
  seen.clear();
  plat::PostMessage(control, plat::WM_KEYDOWN, 'B', 0);
  plat::PumpMessages();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].window, control);
  // Two installs need two removes.
  EXPECT_EQ(RemoveDialogKeyHook(), 1);
  seen.clear();
  plat::PostMessage(control, plat::WM_KEYDOWN, 'C', 0);
  plat::PumpMessages(plat::MSGF_DIALOGBOX);
  plat::PumpMessages();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].window, dialog);
  EXPECT_EQ(RemoveDialogKeyHook(), 1);
  EXPECT_EQ(RemoveDialogKeyHook(), 0);
  seen.clear();
  plat::PostMessage(control, plat::WM_KEYDOWN, 'D', 0);
  plat::PumpMessages(plat::MSGF_DIALOGBOX);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].window, control);
  plat::DestroyWindow(dialog);
}

TEST(PlatformMessages, HostWindowsAreWrappedOnceAndNeverDestroyed) {
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
  SDL_Window* sdl = SDL_CreateWindow("host", 0, 0, 80, 60, SDL_WINDOW_HIDDEN);
  ASSERT_NE(sdl, nullptr);
  HWND wrapped = WrapHostWindow(sdl);
  ASSERT_NE(wrapped, nullptr);
  EXPECT_EQ(WrapHostWindow(sdl), wrapped);
  RECT r{};
  plat::GetClientRect(wrapped, &r);
  EXPECT_EQ(r.right, 80);
  ReleaseHostWindow(wrapped);
  EXPECT_FALSE(plat::IsWindow(wrapped));
  EXPECT_EQ(SDL_GetWindowID(sdl) != 0, true);  // still the host's
  SDL_DestroyWindow(sdl);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace

namespace {

void PushFocus(Uint32 sdlId, bool gained) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = sdlId;
  e.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
  SDL_PushEvent(&e);
}

// The sound mixer mutes the sounds that need the focus while no window of the process has it.
TEST(PlatformMessages, FocusChangesReachTheSoundMixer) {
  ASSERT_TRUE(plat::audio::ProcessFocused());  // no window reported a change yet
  HWND a = plat::CreateWindowEx(0, "rec", "a", 0, 0, 0, 40, 40, nullptr, nullptr, nullptr, nullptr,
                                &Recorder);
  HWND b = plat::CreateWindowEx(0, "rec", "b", 0, 0, 0, 40, 40, nullptr, nullptr, nullptr, nullptr,
                                &Recorder);
  ASSERT_TRUE(a && b);
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || std::string(driver) != "dummy") {
    plat::DestroyWindow(a);
    plat::DestroyWindow(b);
    GTEST_SKIP() << "a real display sends focus events of its own";
  }
  const Uint32 idA = SDL_GetWindowID(a->sdl), idB = SDL_GetWindowID(b->sdl);
  PushFocus(idA, true);
  plat::PumpMessages();
  EXPECT_TRUE(plat::audio::ProcessFocused());
  PushFocus(idA, false);  // the focus moves from one of our windows to the other
  PushFocus(idB, true);
  plat::PumpMessages();
  EXPECT_TRUE(plat::audio::ProcessFocused());
  PushFocus(idB, false);  // and then to another program
  plat::PumpMessages();
  EXPECT_FALSE(plat::audio::ProcessFocused());
  PushFocus(idA, true);
  plat::PumpMessages();
  EXPECT_TRUE(plat::audio::ProcessFocused());
  // A window destroyed with the focus reports the loss after it is gone.
  plat::DestroyWindow(a);
  PushFocus(idA, false);
  plat::PumpMessages();
  EXPECT_FALSE(plat::audio::ProcessFocused());
  plat::DestroyWindow(b);
  plat::audio::SetProcessFocus(true);
}

}  // namespace
