// The OpenGL display driver: one OpenGL 3.3 core driver built as vexad3d9.so, vexad3d8.so and
// vexad3d11.so (VEXA_GL_DRIVER_NUMBER 5, 6, 7).
//
// Every surface keeps two copies of its pixels: a texture in the driver's one GL context and a
// 32-bit shadow in memory (the pixel descriptor's storage, plus an alpha plane for the alpha
// types). Whichever side was written last is "newer"; the other side is brought up to date
// only when it is needed (Lock reads the texture back, drawing from or into the surface
// uploads the shadow), so an unchanged texture is never uploaded twice. Drawing between driver
// surfaces stays on the GPU and is batched (gl_batch.h).
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include <vexa/blit.h>
#include <vexa/display_driver.h>
#include <vexa/surface_implementation.h>

#include "gl_api.h"

struct SDL_Window;

namespace vexagl {

// A texture, its size, and where the surface lies in it (an atlas piece lies in its page).
struct TextureView {
  GLuint texture = 0;
  int width = 0, height = 0;
  int x = 0, y = 0;
};

}  // namespace vexagl

class cGLSurface : public cSurfaceImplementation {
 public:
  // A prototype of number 4-8 for the driver whose first kind is `firstKind`.
  cGLSurface(int number, int firstKind);

  cSurfaceImplementation* Destroy(unsigned flags) override;
  cSurfaceImplementation* CreateCompatible(int width, int height) override;
  int GetKind() override;
  int Lock() override;
  void Unlock() override;
  int FillRectValue(int x, int y, int width, int height, std::uint32_t value) override;
  int FillRectColor(int x, int y, int width, int height, COLORREF color) override;
  int SetWindow(HWND window) override;
  int DriverHook79() override;
  // Atlas pieces are drawn into by the software renderer (their pixels are uploaded into the
  // page on use); every other surface draws on the GPU.
  int HandlesBlitFrom() override { return cpuDrawing_ || page_ ? 0 : 1; }
  int BlitFrom(cSurfaceImplementation* source, int x, int y, int sourceX, int sourceY, int width,
               int height, int mode, std::uint32_t effect, EffectParam parameter,
               std::uint32_t flags) override;
  int HandlesStretchFrom() override { return cpuDrawing_ || page_ ? 0 : 1; }
  int StretchBlitFrom(cSurfaceImplementation* source, int x, int y, int width, int height,
                      int sourceX, int sourceY, int sourceWidth, int sourceHeight, int mode,
                      std::uint32_t effect, EffectParam parameter, std::uint32_t flags) override;
  int BlitTransformedFrom(cSurfaceImplementation* source, float x, float y, int a1, int a2, int a3,
                          int a4, int a5, int a6, int a7, int a8, int a9, int a10, int a11,
                          int a12) override;
  // One-pixel lines are drawn on the GPU as the spans of the library's own line (its pixels
  // are found by running the library's line onto this surface in a recording mode); other
  // lines go the library's own way.
  int HasNativeLines() override { return recordingLine_ || cpuDrawing_ ? 0 : 1; }
  int DrawLineNative(int x1, int y1, int x2, int y2, int lineWidth, COLORREF color) override;
  void SetPixelColor(int x, int y, COLORREF color) override;
  int DriverHook94(HookArg callback, HookArg userValue) override;
  int CopyContentFrom(cSurfaceImplementation* source) override;
  void AttachEffect(void* effect) override;
  void DetachEffect(void* effect) override;
  int DriverHook98(void* effect, HookArg a, HookArg b) override;
  void EffectParameterChanged(void* effect, int parameterIndex) override;
  // Room on this surface, used as an atlas page, for a piece of (size & 0xFFFF) x (size >> 16):
  // 1 and a new surface over it in *(cSurfaceImplementation**)out, or 0 when it is full.
  int DriverHook105(HookArg size, HookArg out) override;
  int FillRectEffect(int x, int y, int width, int height, void* pattern, HookArg a, HookArg b,
                     HookArg c) override;

  // ---- driver-internal ----
  int Number() const { return number_; }
  bool HasAlphaType() const {
    return number_ == kPrototypeStaticAlpha || number_ == kPrototypeRenderAlpha;
  }
  // The texture with the shadow's pixels in it (uploaded first when the shadow is newer).
  vexagl::TextureView SourceView();
  // Binds the surface's framebuffer for drawing (made and filled first when needed); the
  // caller then draws and calls MarkDrawn.
  GLuint Framebuffer();
  void MarkDrawn() {
    gpuNewer_ = true;
    TwinStale(0, 0, width, height);
  }
  // The texture view with the ink program's blend terms of the pixels in it (weighted colour,
  // 8-bit weight; see the ink shader), refreshed on the GPU after the pixels changed: plain
  // alpha drawing then samples it and blends it as it is. Surfaces with an alpha plane only.
  vexagl::TextureView PremultipliedView();

 protected:
  ~cGLSurface();

 private:
  bool AllocateShadow(int width, int height);
  bool EnsureTexture();
  void Upload();
  void UploadInto(GLuint texture, int x, int y);
  void ReadBack();
  bool RefreshPremultiplied();
  // The rectangle of the texture whose pixels changed: the twin is redone there.
  void TwinStale(int x, int y, int w, int h);
  int DrawFrom(cSurfaceImplementation* source, const float quad[8], int sourceX, int sourceY,
               int sourceWidth, int sourceHeight, int mode, std::uint32_t effect,
               EffectParam parameter, std::uint32_t flags, bool smooth);

  int number_;
  int firstKind_;
  GLuint texture_ = 0;
  GLuint framebuffer_ = 0;
  bool cpuNewer_ = false;  // the shadow holds pixels the texture lacks
  bool gpuNewer_ = false;  // the texture holds pixels the shadow lacks
  bool cpuDrawing_ = false;
  // While a native line is found: SetPixelColor records the points instead of storing them.
  bool recordingLine_ = false;
  std::vector<std::pair<int, int>> linePoints_;
  SDL_Window* window_ = nullptr;
  // The premultiplied twin, and the part of it behind the texture (left, top, right, bottom;
  // empty when right <= left).
  GLuint twin_ = 0, twinFramebuffer_ = 0;
  int twinStale_[4] = {0, 0, 0, 0};
  // An atlas piece: its pixels live in a rectangle of its page's texture (1 pixel apart).
  cGLSurface* page_ = nullptr;
  int pageX_ = 0, pageY_ = 0;
  // An atlas page: the shelf being filled, and the live pieces.
  int shelfX_ = 0, shelfY_ = 0, shelfHeight_ = 0;
  std::vector<cGLSurface*> pieces_;
};
