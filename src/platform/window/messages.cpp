#include "platform/window/messages.h"

#include <deque>
#include <mutex>

#include "platform/window/window.h"

namespace plat {
namespace {

std::mutex& QueueLock() {
  static std::mutex lock;
  return lock;
}
std::deque<MSG>& Queue() {
  static std::deque<MSG> queue;
  return queue;
}

}  // namespace

BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window && !IsWindow(window)) return 0;
  std::lock_guard<std::mutex> guard(QueueLock());
  Queue().push_back(MSG{window, message, wParam, lParam, 0, POINT{0, 0}});
  return 1;
}

BOOL PeekMessage(MSG* out, HWND window, BOOL remove) {
  if (!out) return 0;
  std::lock_guard<std::mutex> guard(QueueLock());
  auto& queue = Queue();
  for (auto it = queue.begin(); it != queue.end(); ++it) {
    if (window && it->hwnd != window) continue;
    *out = *it;
    if (remove) queue.erase(it);
    return 1;
  }
  return 0;
}

void DiscardMessages(HWND window) {
  std::lock_guard<std::mutex> guard(QueueLock());
  auto& queue = Queue();
  for (auto it = queue.begin(); it != queue.end();)
    it = it->hwnd == window ? queue.erase(it) : it + 1;
}

LRESULT DispatchMessage(const MSG* message) {
  if (!message || !message->hwnd) return 0;
  return SendMessage(message->hwnd, message->message, message->wParam, message->lParam);
}

}  // namespace plat

namespace plat {

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsWindow(window) || !window->procedure) return 0;
  return window->procedure(window, message, wParam, lParam);
}

WNDPROC GetWindowProc(HWND window) { return IsWindow(window) ? window->procedure : nullptr; }

WNDPROC SetWindowProc(HWND window, WNDPROC procedure) {
  if (!IsWindow(window)) return nullptr;
  const WNDPROC previous = window->procedure;
  window->procedure = procedure;
  return previous;
}

std::intptr_t GetWindowWord(HWND window, int index) {
  if (!IsWindow(window) || index < 0 || index >= kWindowWords) return 0;
  return window->words[index];
}

std::intptr_t SetWindowWord(HWND window, int index, std::intptr_t value) {
  if (!IsWindow(window) || index < 0 || index >= kWindowWords) return 0;
  const std::intptr_t previous = window->words[index];
  window->words[index] = value;
  return previous;
}

}  // namespace plat
