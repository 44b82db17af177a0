// The dialog key hook: while a dialog runs its modal loop, its key presses are forwarded to
// the dialog's parent as message 0x8005 instead of reaching the dialog's controls.
#include <cstdint>

#include <vexa/game_window.h>

#include "platform/window/messages.h"
#include "platform/window/window.h"

namespace {

thread_local plat::HHOOK hook = nullptr;
thread_local int installs = 0;

LRESULT DialogKeyFilter(int code, WPARAM wParam, LPARAM lParam) {
  if (code < 0) return plat::CallNextHook(hook, code, wParam, lParam);
  auto* message = reinterpret_cast<MSG*>(lParam);
  if (code == plat::MSGF_DIALOGBOX && message && message->message == plat::WM_KEYDOWN) {
    if (HWND parent = plat::GetParent(message->hwnd))
      plat::PostMessage(parent, kDialogKeyMessage, message->wParam, message->lParam);
    return 1;
  }
  return 0;
}

}  // namespace

std::uintptr_t InstallDialogKeyHook() {
  if (!hook) {
    hook = plat::SetMessageFilterHook(&DialogKeyFilter);
    if (!hook) return 0;
  }
  ++installs;
  return reinterpret_cast<std::uintptr_t>(hook);
}

int RemoveDialogKeyHook() {
  if (installs <= 0) return 0;
  if (--installs == 0) {
    plat::UnhookMessageFilter(hook);
    hook = nullptr;
  }
  return 1;
}
