// Attaching and releasing a window's back buffer, the surface the sprites are drawn on and
// the window is painted from.
#include <vexa/display_driver.h>
#include <vexa/game_window.h>
#include <vexa/library.h>
#include <vexa/surface_implementation.h>
#include <vexa/surface_object.h>

#include "frame/driver_loader.h"
#include "platform/gdi/gdi.h"
#include "platform/window/window.h"
#include "window/game_window.h"
#include "window/window_internal.h"

namespace {

void DropSurface(cSurfaceObject** surface, cSurfaceImplementation** implementation) {
  if (*surface) DeleteSurfaceObject(*surface);
  *surface = nullptr;
  if (implementation) *implementation = nullptr;
}

}  // namespace

namespace vexa::window {

void ShowDisplayArea(GameWindow* window) {
  if (!window->backBufferImpl || DriverOfKind(window->backBufferImpl->GetKind()) != kDriverD3D11)
    return;
  RECT client{};
  if (!plat::ClientRectInTopLevel(window->window, &client)) return;
  const int clientWidth = client.right - client.left, clientHeight = client.bottom - client.top;
  const int bufferWidth = window->backBufferImpl->width;
  const int bufferHeight = window->backBufferImpl->height;
  const bool stretched = (window->flags & kGameWindowStretch) &&
                         (clientWidth != bufferWidth || clientHeight != bufferHeight);
  const int area[4] = {client.left, client.top, stretched ? clientWidth : bufferWidth,
                       stretched ? clientHeight : bufferHeight};
  SendDisplayArea(kDriverD3D11, area);
}

}  // namespace vexa::window

int SetBackBuffer(GameWindow* window, cSurfaceObject* surface) {
  if (!IsValidWindowObject(window) || !surface || !surface->IsValid()) return 0;
  cSurfaceImplementation* implementation = surface->GetImplementation();
  cSurfaceObject* previous = window->backBuffer;
  window->backBufferWidth = surface->GetWidth();
  window->backBufferHeight = surface->GetHeight();
  window->flags |= kGameWindowBackBuffer;
  window->backBufferDC = nullptr;
  window->backBufferBound = -1;
  // The sprites' background copy must match the buffer; the layer surface is remade.
  if (window->background && (window->background->GetWidth() != surface->GetWidth() ||
                             window->background->GetHeight() != surface->GetHeight() ||
                             window->background->GetDepth() != surface->GetDepth()))
    DropSurface(&window->background, &window->backgroundImpl);
  DropSurface(&window->layerSurface, nullptr);
  window->backBuffer = surface;
  window->backBufferImpl = implementation;
  implementation->SetWindow(window->window);
  implementation->DriverHook75();
  if (previous && previous != surface) implementation->DriverHook100(0, surface, previous);
  vexa::window::ShowDisplayArea(window);
  return 1;
}

void ReleaseBackBuffer(GameWindow* window) {
  if (!IsValidWindowObject(window)) return;
  if (const SpriteStorageHooks* hooks = GetSpriteStorageHooks(); hooks && window->spriteHeap)
    hooks->release(window);
  DropSurface(&window->background, &window->backgroundImpl);
  DropSurface(&window->layerSurface, nullptr);
  if (window->backBufferDC && window->backBufferPrevPalette)
    plat::SelectPalette(window->backBufferDC, window->backBufferPrevPalette, 0);
  window->backBufferPrevPalette = nullptr;
  window->backBuffer = nullptr;
  window->backBufferImpl = nullptr;
  window->backBufferDC = nullptr;
  window->backBufferBound = 0;
  window->flags &= static_cast<std::uint16_t>(~kGameWindowBackBuffer);
}
