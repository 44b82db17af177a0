#include "gl_surface.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include <vexa/buffer_surface.h>
#include <vexa/effect.h>
#include <vexa/error_surface.h>
#include <vexa/surface_object.h>

#include "gl_context.h"
#include "gl_driver.h"

// Given by the library that loads the driver; weak so that the driver also loads beside an
// older library (a display surface then never learns its window).
SDL_Window* GetDriverSDLWindow(HWND window) __attribute__((weak));

namespace vexagl {
namespace {

// The driver's live surfaces: only these are drawn from on the GPU.
std::unordered_set<const cSurfaceImplementation*>& LiveSurfaces() {
  static std::unordered_set<const cSurfaceImplementation*> surfaces;
  return surfaces;
}

// Compiled programs of the effects surfaces accepted, and the surface each was attached to.
struct AttachedEffect {
  GLuint program = 0;
  cGLSurface* surface = nullptr;
};
std::unordered_map<const CEffectEx*, AttachedEffect>& Effects() {
  static std::unordered_map<const CEffectEx*, AttachedEffect> effects;
  return effects;
}

// Frame callbacks of the image banks (called once per presented frame).
std::vector<std::pair<DriverFrameCallback, void*>>& FrameCallbacks() {
  static std::vector<std::pair<DriverFrameCallback, void*>> callbacks;
  return callbacks;
}

// The surface as one of this driver's, or null (looked up before any cast).
cGLSurface* AsGL(cSurfaceImplementation* surface) {
  return surface && LiveSurfaces().count(surface) ? static_cast<cGLSurface*>(surface) : nullptr;
}

constexpr int kMaxSide = 16384;

// A colour value (0x00BBGGRR) as red, green, blue.
void SplitColour(std::uint32_t colour, int out[3]) {
  out[0] = static_cast<int>(colour & 0xFF);
  out[1] = static_cast<int>((colour >> 8) & 0xFF);
  out[2] = static_cast<int>((colour >> 16) & 0xFF);
}

// The source's colour key as the 32-bit texture holds it (fields widened as the format
// conversion widens them).
void SourceKey(cSurfaceImplementation* source, int out[3]) {
  const std::uint32_t v = source->transparentValue;
  switch (source->depth) {
    case 8:
      SplitColour(source->GetPaletteColor(static_cast<int>(v & 0xFF)), out);
      return;
    case 15:
      out[0] = static_cast<int>((v >> 10) & 31) << 3;
      out[1] = static_cast<int>((v >> 5) & 31) << 3;
      out[2] = static_cast<int>(v & 31) << 3;
      return;
    case 16:
      out[0] = static_cast<int>((v >> 11) & 31) << 3;
      out[1] = static_cast<int>((v >> 5) & 63) << 2;
      out[2] = static_cast<int>(v & 31) << 3;
      return;
    default:
      out[0] = static_cast<int>((v >> 16) & 0xFF);
      out[1] = static_cast<int>((v >> 8) & 0xFF);
      out[2] = static_cast<int>(v & 0xFF);
  }
}

// Rows of width 32-bit pixels with their alpha from a plane (or 255), for an upload.
std::vector<std::uint8_t> WithAlpha(const std::uint8_t* pixels, std::ptrdiff_t pitch,
                                    const std::uint8_t* alpha, std::ptrdiff_t alphaPitch, int width,
                                    int height) {
  std::vector<std::uint8_t> rows(static_cast<std::size_t>(width) * height * 4);
  std::uint8_t* out = rows.data();
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = pixels + y * pitch;
    const std::uint8_t* a = alpha ? alpha + y * alphaPitch : nullptr;
    for (int x = 0; x < width; ++x, out += 4) {
      std::memcpy(out, in + x * 4, 3);
      out[3] = a ? a[x] : 255;
    }
  }
  return rows;
}

// An ink effect after the software renderer's normalisation.
struct Ink {
  int code = 0;
  int share = 0;  // c, 0..128
  const CEffectEx* effect = nullptr;
  GLuint program = 0;
  bool invisible = false;
  bool refused = false;
};

Ink NormaliseInk(int mode, std::uint32_t effect, EffectParam parameter) {
  Ink ink;
  ink.code = static_cast<int>(effect & kEffectCodeMask);
  if (mode < 0 || mode > 1 || ink.code >= static_cast<int>(kEffectCodeCount) ||
      ink.code == kEffectUnassigned) {
    ink.refused = true;
    return ink;
  }
  const auto low = static_cast<std::uint32_t>(parameter);
  auto fromRGBA = [&ink](std::uint32_t rgba) {
    if ((rgba >> 24) == 0) {
      ink.invisible = true;
    } else if ((rgba >> 24) == 255) {
      ink.code = kEffectNone;
    } else {
      ink.code = kEffectSemiTransparent;
      ink.share = static_cast<int>((rgba >> 25) ^ 0x7F);
    }
  };
  switch (ink.code) {
    case kEffectSemiTransparent:
      if (low == 0) ink.code = kEffectNone;
      if (low >= 128) ink.invisible = true;
      ink.share = static_cast<int>(low);
      break;
    case kEffectBlendSubstitute:
    case kEffectBlendExceptKey:
      ink.share = static_cast<int>(std::min(low >> 24, 128u));
      break;
    case kEffectObject: {
      auto* object = reinterpret_cast<IEffectObject*>(parameter);
      if (!object) {
        ink.code = kEffectNone;
        break;
      }
      const auto found = Effects().find(static_cast<const CEffectEx*>(object));
      if (found != Effects().end()) {
        ink.effect = found->first;
        ink.program = found->second.program;
        break;
      }
      fromRGBA(object->GetRGBACoefficient());
      break;
    }
    case kEffectNone:
      if (effect & kEffectParamIsRGBA) fromRGBA(low);
      break;
    default:
      break;
  }
  return ink;
}

GLenum LogicOpOf(int code) {
  switch (code) {
    case kEffectXor:
      return GL_XOR;
    case kEffectAnd:
      return GL_AND;
    case kEffectOr:
      return GL_OR;
    case kEffectAndNot:
      return GL_AND_INVERTED;
    default:
      return 0;
  }
}

}  // namespace

GLuint TextureOfSurface(cSurfaceImplementation* surface) {
  cGLSurface* gl = AsGL(surface);
  return gl ? gl->SourceView().texture : 0;
}

void RunFrameCallbacks() {
  // A callback may unregister itself: walk a copy.
  const auto callbacks = FrameCallbacks();
  for (const auto& [callback, user] : callbacks) callback(user);
}

void ForgetEffectsOf(cGLSurface* surface) {
  auto& effects = Effects();
  for (auto it = effects.begin(); it != effects.end();) {
    if (it->second.surface != surface) {
      ++it;
      continue;
    }
    auto* effect = const_cast<CEffectEx*>(it->first);
    DeleteProgram(it->second.program);
    effect->attached = 0;
    if (effect->surface == surface) effect->surface = nullptr;
    it = effects.erase(it);
  }
}

void DestroyAllSurfaces() {
  // Copies: Delete removes each from the set.
  const std::vector<const cSurfaceImplementation*> all(LiveSurfaces().begin(),
                                                       LiveSurfaces().end());
  for (const cSurfaceImplementation* s : all)
    ForgetEffectsOf(static_cast<cGLSurface*>(const_cast<cSurfaceImplementation*>(s)));
  FrameCallbacks().clear();
}

int g_presentViewport[4] = {0, 0, 0, 0};

}  // namespace vexagl

using namespace vexagl;

cGLSurface::cGLSurface(int number, int firstKind) : number_(number), firstKind_(firstKind) {
  SetPixelFormat(32);
  LiveSurfaces().insert(this);
}

cGLSurface::~cGLSurface() { LiveSurfaces().erase(this); }

cSurfaceImplementation* cGLSurface::Destroy(unsigned destroyFlags) {
  ForgetEffectsOf(this);
  // Pieces outliving their page take textures of their own (their shadows hold the pixels).
  for (cGLSurface* piece : pieces_) {
    piece->page_ = nullptr;
    piece->cpuNewer_ = true;
  }
  pieces_.clear();
  if (page_) {
    std::erase(page_->pieces_, this);
    // An empty page is packed again from its first shelf.
    if (page_->pieces_.empty()) page_->shelfX_ = page_->shelfY_ = page_->shelfHeight_ = 0;
    page_ = nullptr;
  }
  if ((texture_ || framebuffer_ || twin_) && MakeCurrent()) {
    FlushIfUses(texture_, framebuffer_);
    FlushIfUses(twin_, twinFramebuffer_);
    if (twinFramebuffer_) glDeleteFramebuffers(1, &twinFramebuffer_);
    if (twin_) glDeleteTextures(1, &twin_);
    if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
    if (texture_) glDeleteTextures(1, &texture_);
  }
  std::free(storage);
  storage = firstRow = nullptr;
  ReleaseBaseResources();
  this->~cGLSurface();
  if (destroyFlags & 1) ::operator delete(this);
  return this;
}

bool cGLSurface::AllocateShadow(int newWidth, int newHeight) {
  const std::size_t bytes = static_cast<std::size_t>(newWidth) * newHeight * 4;
  storage = static_cast<std::uint8_t*>(std::calloc(bytes + 8, 1));
  if (!storage) return false;
  firstRow = storage;
  if (HasAlphaType() && !CreateAlpha()) return false;
  return true;
}

cSurfaceImplementation* cGLSurface::CreateCompatible(int newWidth, int newHeight) {
  if (newWidth <= 0 || newHeight <= 0 || newWidth > kMaxSide || newHeight > kMaxSide ||
      !ContextAlive())
    return nullptr;
  auto* created = new (std::nothrow) cGLSurface(number_, firstKind_);
  if (!created) return nullptr;
  InitCompatible(created, this, newWidth, newHeight, newWidth * 4);
  created->SetTransparentColor(transparentColor);
  if (!created->AllocateShadow(newWidth, newHeight)) {
    created->Delete();
    return nullptr;
  }
  // A new surface is black (and fully transparent): the shadow is, the texture follows.
  created->cpuNewer_ = true;
  return created;
}

int cGLSurface::GetKind() { return firstKind_ + number_ - kPrototypeFirst; }

bool cGLSurface::EnsureTexture() {
  if (!storage || !MakeCurrent()) return false;
  if (page_) {
    if (!page_->EnsureTexture()) return false;
    if (cpuNewer_) {
      FlushIfUses(page_->texture_, 0);
      UploadInto(page_->texture_, pageX_, pageY_);
      // The page's shadow no longer shows what its texture holds.
      page_->gpuNewer_ = true;
      page_->TwinStale(pageX_, pageY_, width, height);
      cpuNewer_ = false;
    }
    return true;
  }
  if (!texture_) {
    // 8 bits a channel, as the shadow: the ink program's blends stay within 1 of the software
    // renderer's at 8 bits (see the ink shader), and bitwise operations and saturating sums
    // act on the bytes themselves.
    texture_ = NewTexture(width, height);
    cpuNewer_ = true;
  }
  if (cpuNewer_) {
    FlushIfUses(texture_, framebuffer_);
    Upload();
    TwinStale(0, 0, width, height);
    cpuNewer_ = false;
  }
  return true;
}

void cGLSurface::Upload() { UploadInto(texture_, 0, 0); }

void cGLSurface::UploadInto(GLuint texture, int x, int y) {
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  if (alphaFirstRow) {
    const auto rows = WithAlpha(firstRow, pitch, alphaFirstRow, alphaPitch, width, height);
    glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, width, height, GL_BGRA, GL_UNSIGNED_BYTE, rows.data());
  } else {
    glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, width, height, GL_BGRA, GL_UNSIGNED_BYTE, firstRow);
  }
}

void cGLSurface::ReadBack() {
  FlushIfUses(0, framebuffer_);
  // Waits for every draw: llvmpipe's read of a framebuffer that shaders also read (framebuffer
  // fetch) was seen to return an earlier frame after a present, depending on timing.
  glFinish();
  glBindFramebuffer(GL_READ_FRAMEBUFFER, Framebuffer());
  glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, firstRow);
  // The fourth byte of a pixel is the alpha plane's (alpha types) and 0 in the pixels, as
  // the software renderer writes it.
  auto* pixels = static_cast<std::uint8_t*>(firstRow);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = pixels + static_cast<std::ptrdiff_t>(y) * pitch;
    std::uint8_t* alpha =
        alphaFirstRow ? alphaFirstRow + static_cast<std::ptrdiff_t>(y) * alphaPitch : nullptr;
    for (int x = 0; x < width; ++x) {
      if (alpha) alpha[x] = row[x * 4 + 3];
      row[x * 4 + 3] = 0;
    }
  }
}

TextureView cGLSurface::SourceView() {
  if (!EnsureTexture()) return {};
  if (page_) return {page_->texture_, page_->width, page_->height, pageX_, pageY_};
  return {texture_, width, height, 0, 0};
}

TextureView cGLSurface::PremultipliedView() {
  TextureView view = SourceView();
  cGLSurface* owner = page_ ? page_ : this;
  if (!view.texture || !owner->RefreshPremultiplied()) return {};
  view.texture = owner->twin_;
  return view;
}

void cGLSurface::TwinStale(int x, int y, int w, int h) {
  int* r = twinStale_;
  if (r[2] <= r[0]) {
    r[0] = x, r[1] = y, r[2] = x + w, r[3] = y + h;
    return;
  }
  r[0] = std::min(r[0], x), r[1] = std::min(r[1], y);
  r[2] = std::max(r[2], x + w), r[3] = std::max(r[3], y + h);
}

bool cGLSurface::RefreshPremultiplied() {
  if (!twin_) {
    twin_ = NewTexture(width, height);
    twinFramebuffer_ = NewFramebuffer(twin_);
    TwinStale(0, 0, width, height);
  }
  int* r = twinStale_;
  if (r[2] <= r[0]) return true;
  // Draws collected from the twin's old pixels go first.
  FlushIfUses(twin_, twinFramebuffer_);
  DrawState state;
  state.framebuffer = twinFramebuffer_;
  state.targetWidth = width;
  state.targetHeight = height;
  state.texture = texture_;
  state.useAlpha = 1;
  state.premultiplied = kIntoPremultiplied;
  state.scissor[2] = width;
  state.scissor[3] = height;
  const float l = static_cast<float>(r[0]), t = static_cast<float>(r[1]);
  const float rr = static_cast<float>(r[2]), b = static_cast<float>(r[3]);
  const float w = static_cast<float>(width), h = static_cast<float>(height);
  const Vertex corners[4] = {{l, t, l / w, t / h, 1},
                             {rr, t, rr / w, t / h, 1},
                             {rr, b, rr / w, b / h, 1},
                             {l, b, l / w, b / h, 1}};
  AddQuad(state, corners);
  r[2] = r[0];  // up to date
  return true;
}

int cGLSurface::DriverHook105(HookArg size, HookArg out) {
  const int w = static_cast<int>(size & 0xFFFF), h = static_cast<int>((size >> 16) & 0xFFFF);
  if (page_ || !out || w <= 0 || h <= 0 || !storage) return 0;
  // Shelves left to right, top to bottom, pieces 1 pixel apart so that smoothing does not
  // reach into a neighbour.
  if (shelfX_ + w > width) {
    shelfY_ += shelfHeight_ + 1;
    shelfX_ = 0;
    shelfHeight_ = 0;
  }
  if (shelfX_ + w > width || shelfY_ + h > height) return 0;
  auto* piece = static_cast<cGLSurface*>(CreateCompatible(w, h));
  if (!piece) return 0;
  piece->page_ = this;
  piece->pageX_ = shelfX_;
  piece->pageY_ = shelfY_;
  pieces_.push_back(piece);
  shelfX_ += w + 1;
  shelfHeight_ = std::max(shelfHeight_, h);
  *reinterpret_cast<cSurfaceImplementation**>(out) = piece;
  return 1;
}

GLuint cGLSurface::Framebuffer() {
  if (!EnsureTexture()) return 0;
  if (!framebuffer_) framebuffer_ = NewFramebuffer(texture_);
  return framebuffer_;
}

int cGLSurface::Lock() {
  if (!storage) return 0;
  if (gpuNewer_ && MakeCurrent()) {
    ReadBack();
    gpuNewer_ = false;
  }
  // The caller may write: the texture is refreshed before its next use.
  cpuNewer_ = true;
  return 1;
}

void cGLSurface::Unlock() {}

int cGLSurface::FillRectColor(int x, int y, int w, int h, COLORREF color) {
  if (page_) return cSurfaceImplementation::FillRectColor(x, y, w, h, color);
  const int left = std::max(x, clipLeft), top = std::max(y, clipTop);
  const int right = static_cast<int>(std::min<std::int64_t>(std::int64_t{x} + w, clipRight));
  const int bottom = static_cast<int>(std::min<std::int64_t>(std::int64_t{y} + h, clipBottom));
  if (right <= left || bottom <= top) return 0;
  const GLuint target = Framebuffer();
  if (!target) return 0;
  FlushIfUses(texture_, target);
  Flush();
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target);
  glEnable(GL_SCISSOR_TEST);
  glScissor(left, top, right - left, bottom - top);
  // The fourth channel of a surface without an alpha plane stays 0 (as uploaded): cleared
  // with the colour, a whole clear needs no masking.
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, HasAlphaType() ? GL_FALSE : GL_TRUE);
  int rgb[3];
  SplitColour(color, rgb);
  glClearColor(rgb[0] / 255.0f, rgb[1] / 255.0f, rgb[2] / 255.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  MarkDrawn();
  return 1;
}

int cGLSurface::FillRectValue(int x, int y, int w, int h, std::uint32_t value) {
  // A 32-bit pixel value is 0x00RRGGBB.
  const COLORREF color = ((value >> 16) & 0xFF) | (value & 0xFF00) | ((value & 0xFF) << 16);
  return FillRectColor(x, y, w, h, color);
}

int cGLSurface::SetWindow(HWND window) {
  window_ = (window && GetDriverSDLWindow) ? GetDriverSDLWindow(window) : nullptr;
  return 1;
}

int cGLSurface::DriverHook79() {
  if (!MakeCurrent()) return 0;
  Flush();
  int shown = 0;
  if (window_) {
    const GLuint framebuffer = Framebuffer();
    shown =
        framebuffer ? PresentToWindow(window_, framebuffer, width, height, g_presentViewport) : 0;
  } else {
    // Without a window the frame still ends here: the GPU finishes it.
    glFinish();
  }
  RunFrameCallbacks();
  return shown;
}

int cGLSurface::DriverHook94(HookArg callback, HookArg userValue) {
  auto& callbacks = FrameCallbacks();
  auto* user = reinterpret_cast<void*>(userValue);
  std::erase_if(callbacks, [user](const auto& entry) { return entry.second == user; });
  if (callback) callbacks.emplace_back(reinterpret_cast<DriverFrameCallback>(callback), user);
  return 1;
}

// ---- drawing ----------------------------------------------------------------------------

int cGLSurface::DrawFrom(cSurfaceImplementation* source, const float quad[8], int sourceX,
                         int sourceY, int sourceWidth, int sourceHeight, int mode,
                         std::uint32_t effect, EffectParam parameter, std::uint32_t flags,
                         bool smooth) {
  if (!source || sourceWidth <= 0 || sourceHeight <= 0 || page_) return 0;
  const Ink ink = NormaliseInk(mode, effect, parameter);
  if (ink.refused) return 0;
  if (ink.invisible) return 1;
  const GLuint target = Framebuffer();
  if (!target) return 0;

  // The source's pixels as a texture: a driver surface's own, else an upload of the rectangle
  // into a scratch texture (from a 32-bit copy when the source has another format).
  TextureView view;
  float u0 = 0, v0 = 0;
  cGLSurface* gl = AsGL(source);
  cSurfaceImplementation* converted = nullptr;
  // Plain alpha drawing samples the source's premultiplied twin.
  const bool premultiplied = gl && gl != this && mode == kModeTransparent &&
                             ink.code == kEffectNone && gl->alphaFirstRow &&
                             !(flags & kBlitCopyAlpha);
  if (premultiplied) {
    view = gl->PremultipliedView();
    u0 = static_cast<float>(view.x + sourceX);
    v0 = static_cast<float>(view.y + sourceY);
  } else if (gl && gl != this) {
    view = gl->SourceView();
    u0 = static_cast<float>(view.x + sourceX);
    v0 = static_cast<float>(view.y + sourceY);
  } else {
    cSurfaceImplementation* pixels = source;
    int px = sourceX, py = sourceY;
    const bool direct = source->depth == 32 && !source->HasCustomPixelRoutines() && source->Lock();
    if (!direct) {
      auto* copy = new (std::nothrow) cBufferSurface;
      if (!copy) return 0;
      converted = copy;
      if (!copy->InitFormat(32) || !copy->Create(sourceWidth, sourceHeight) ||
          !source->Blit(copy, 0, 0, sourceX, sourceY, sourceWidth, sourceHeight, kModeOpaque,
                        kEffectNone, 0, kBlitCopyAlpha)) {
        copy->Delete();
        return 0;
      }
      pixels = copy;
      px = py = 0;
    }
    const GLuint scratch0 = ScratchTexture(0, 1, 1);
    FlushIfUses(scratch0, 0);
    view.texture = ScratchTexture(0, sourceWidth, sourceHeight);
    const auto* first = static_cast<const std::uint8_t*>(pixels->firstRow) +
                        static_cast<std::ptrdiff_t>(py) * pixels->pitch + px * 4;
    const std::uint8_t* alpha =
        pixels->alphaFirstRow
            ? pixels->alphaFirstRow + static_cast<std::ptrdiff_t>(py) * pixels->alphaPitch + px
            : nullptr;
    const auto rows =
        WithAlpha(first, pixels->pitch, alpha, pixels->alphaPitch, sourceWidth, sourceHeight);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, sourceWidth, sourceHeight, GL_BGRA, GL_UNSIGNED_BYTE,
                    rows.data());
    if (direct) source->Unlock();
    // Drawing from itself read the texture back and wrote nothing: both sides agree.
    if (gl == this) cpuNewer_ = false;
    GLint size[2] = {};
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &size[0]);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &size[1]);
    view.width = size[0];
    view.height = size[1];
  }
  const bool sourceAlpha = (converted ? converted : source)->alphaFirstRow != nullptr;
  if (converted) converted->Delete();
  if (!view.texture) return 0;

  DrawState state;
  state.framebuffer = target;
  state.targetWidth = width;
  state.targetHeight = height;
  state.texture = view.texture;
  state.linear = smooth ? 1 : 0;
  state.scissor[0] = clipLeft;
  state.scissor[1] = clipTop;
  state.scissor[2] = std::max(clipRight - clipLeft, 0);
  state.scissor[3] = std::max(clipBottom - clipTop, 0);
  state.useAlpha = (mode == kModeTransparent && sourceAlpha) ? 1 : 0;
  state.keyed = (mode == kModeTransparent && !sourceAlpha) ? 1 : 0;
  if (state.keyed) SourceKey(source, state.key);
  state.writeAlpha =
      (mode == kModeOpaque && (flags & kBlitCopyAlpha) && sourceAlpha && HasAlphaType()) ? 1 : 0;

  float share = 1.0f;
  bool exact = false;
  switch (ink.code) {
    case kEffectNone:
      state.blend = state.useAlpha ? Blend::kCover : Blend::kNone;
      break;
    case kEffectSemiTransparent:
      // Over an alpha plane the software renderer rounds twice (the blend, then the plane's
      // weighing); one fixed-function blend cannot follow both within 1.
      exact = state.useAlpha;
      state.blend = Blend::kCover;
      share = static_cast<float>(128 - ink.share) / 128.0f;
      break;
    case kEffectInvert:
    case kEffectMono:
      state.colourOp = ink.code == kEffectInvert ? kColourInvert : kColourMono;
      state.blend = state.useAlpha ? Blend::kCover : Blend::kNone;
      break;
    case kEffectAdd:
    case kEffectSubtract:
      exact = state.useAlpha;
      state.blend = ink.code == kEffectAdd ? Blend::kAdd : Blend::kSubtract;
      break;
    case kEffectXor:
    case kEffectAnd:
    case kEffectOr:
    case kEffectAndNot:
      exact = state.useAlpha;
      state.logicOp = LogicOpOf(ink.code);
      break;
    case kEffectObject:
      state.program = Program::kEffect;
      state.effectProgram = ink.program;
      state.effect = ink.effect;
      state.blend = Blend::kAlpha;
      break;
    default:  // 6 and 12 read the destination pixel
      exact = true;
      break;
  }
  if (state.writeAlpha) state.blend = Blend::kNone;
  if (premultiplied) state.premultiplied = kFromPremultiplied;

  const float w = static_cast<float>(view.width), h = static_cast<float>(view.height);
  const float sw = static_cast<float>(sourceWidth), sh = static_cast<float>(sourceHeight);
  const float corners[4][2] = {{u0, v0}, {u0 + sw, v0}, {u0 + sw, v0 + sh}, {u0, v0 + sh}};
  Vertex vertices[4];
  for (int i = 0; i < 4; ++i)
    vertices[i] = {quad[i * 2], quad[i * 2 + 1], corners[i][0] / w, corners[i][1] / h, share};

  if (exact) {
    state.program = Program::kExact;
    state.blend = Blend::kNone;
    state.logicOp = 0;
    ExactInk& e = state.exact;
    e.code = ink.code;
    e.share = ink.share;
    const auto low = static_cast<std::uint32_t>(parameter);
    // Effect 6: K is a working-form colour (0x00RRGGBB at 32 bits).
    e.substitute[0] = static_cast<int>((low >> 16) & 0xFF);
    e.substitute[1] = static_cast<int>((low >> 8) & 0xFF);
    e.substitute[2] = static_cast<int>(low & 0xFF);
    SourceKey(source, e.sourceKey);
    SplitColour(low & 0xFFFFFF, e.destinationKey);
  }
  AddQuad(state, vertices);
  MarkDrawn();
  return 1;
}

int cGLSurface::BlitFrom(cSurfaceImplementation* source, int x, int y, int sourceX, int sourceY,
                         int w, int h, int mode, std::uint32_t effect, EffectParam parameter,
                         std::uint32_t flags) {
  const float fx = static_cast<float>(x), fy = static_cast<float>(y);
  const float fw = static_cast<float>(w), fh = static_cast<float>(h);
  const float quad[8] = {fx, fy, fx + fw, fy, fx + fw, fy + fh, fx, fy + fh};
  return DrawFrom(source, quad, sourceX, sourceY, w, h, mode, effect, parameter, flags, false);
}

int cGLSurface::StretchBlitFrom(cSurfaceImplementation* source, int x, int y, int w, int h,
                                int sourceX, int sourceY, int sourceWidth, int sourceHeight,
                                int mode, std::uint32_t effect, EffectParam parameter,
                                std::uint32_t flags) {
  if (!source || w <= 0 || h <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return 0;
  // The source rectangle is cut to the source; the destination shrinks in proportion.
  double left = x, top = y, right = static_cast<double>(x) + w, bottom = static_cast<double>(y) + h;
  const double scaleX = static_cast<double>(w) / sourceWidth,
               scaleY = static_cast<double>(h) / sourceHeight;
  int sx0 = sourceX, sy0 = sourceY;
  int sx1 =
      static_cast<int>(std::min<std::int64_t>(std::int64_t{sourceX} + sourceWidth, source->width));
  int sy1 = static_cast<int>(
      std::min<std::int64_t>(std::int64_t{sourceY} + sourceHeight, source->height));
  if (sx0 < 0) {
    left -= sx0 * scaleX;
    sx0 = 0;
  }
  if (sy0 < 0) {
    top -= sy0 * scaleY;
    sy0 = 0;
  }
  right -= (static_cast<double>(sourceX) + sourceWidth - sx1) * scaleX;
  bottom -= (static_cast<double>(sourceY) + sourceHeight - sy1) * scaleY;
  if (sx1 <= sx0 || sy1 <= sy0) return 0;
  const auto l = static_cast<float>(left), t = static_cast<float>(top);
  const auto r = static_cast<float>(right), b = static_cast<float>(bottom);
  const float quad[8] = {l, t, r, t, r, b, l, b};
  const bool smooth = (flags & 3) != 0;  // either resampling flag
  const std::uint32_t blitFlags = (flags & 4) ? kBlitCopyAlpha : 0;
  return DrawFrom(source, quad, sx0, sy0, sx1 - sx0, sy1 - sy0, mode, effect, parameter, blitFlags,
                  smooth);
}

int cGLSurface::BlitTransformedFrom(cSurfaceImplementation* source, float x, float y, int a1,
                                    int a2, int a3, int a4, int a5, int a6, int a7, int a8, int a9,
                                    int a10, int a11, int a12) {
  if (!source) return 0;
  const TransformedBlit t =
      ReadTransformedBlit(x, y, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12);
  if (t.sourceWidth <= 0 || t.sourceHeight <= 0 || t.sourceX < 0 || t.sourceY < 0 ||
      std::int64_t{t.sourceX} + t.sourceWidth > source->width ||
      std::int64_t{t.sourceY} + t.sourceHeight > source->height)
    return 0;
  float quad[8];
  TransformedCorners(t, quad);
  return DrawFrom(source, quad, t.sourceX, t.sourceY, t.sourceWidth, t.sourceHeight, t.mode,
                  t.effect, t.parameter, 0, t.smooth);
}

int cGLSurface::CopyContentFrom(cSurfaceImplementation* source) {
  if (!source || source == this) return 0;
  if (AsGL(source) && !page_) {
    const float fw = static_cast<float>(std::min(width, source->width));
    const float fh = static_cast<float>(std::min(height, source->height));
    const float quad[8] = {0, 0, fw, 0, fw, fh, 0, fh};
    const int w = static_cast<int>(fw), h = static_cast<int>(fh);
    // The whole clip: a copy ignores the destination's clip rectangle.
    const int saved[4] = {clipLeft, clipTop, clipRight, clipBottom};
    clipLeft = clipTop = 0;
    clipRight = width;
    clipBottom = height;
    const int result =
        DrawFrom(source, quad, 0, 0, w, h, kModeOpaque, kEffectNone, 0, kBlitCopyAlpha, false);
    clipLeft = saved[0];
    clipTop = saved[1];
    clipRight = saved[2];
    clipBottom = saved[3];
    return result;
  }
  // A memory surface: converted into the shadow by the software renderer, uploaded on use.
  // The copy takes the source's alpha plane or its absence: an image without one (a piece of
  // an atlas page with alpha, say) goes on drawing by its colour key.
  if (!source->alphaFirstRow)
    DeleteAlpha();
  else if (!alphaFirstRow && HasAlphaType() && !CreateAlpha())
    return 0;
  cpuDrawing_ = true;
  const int saved[4] = {clipLeft, clipTop, clipRight, clipBottom};
  clipLeft = clipTop = 0;
  clipRight = width;
  clipBottom = height;
  const int result = source->Blit(this, 0, 0, 0, 0, source->width, source->height, kModeOpaque,
                                  kEffectNone, 0, kBlitCopyAlpha);
  clipLeft = saved[0];
  clipTop = saved[1];
  clipRight = saved[2];
  clipBottom = saved[3];
  cpuDrawing_ = false;
  return result;
}

int cGLSurface::FillRectEffect(int x, int y, int w, int h, void* pattern, HookArg a, HookArg b,
                               HookArg c) {
  if (pattern) return 0;
  // A 1 x 1 surface of the colour, stretched over the rectangle with the ink effect.
  auto* dot = new (std::nothrow) cBufferSurface;
  if (!dot) return 0;
  int result = 0;
  if (dot->InitFormat(32) && dot->Create(1, 1)) {
    dot->SetPixelColor(0, 0, static_cast<COLORREF>(a));
    result = StretchBlitFrom(dot, x, y, w, h, 0, 0, 1, 1, kModeOpaque,
                             static_cast<std::uint32_t>(b), static_cast<EffectParam>(c), 0);
  }
  dot->Delete();
  return result;
}

// ---- lines ------------------------------------------------------------------------------

void cGLSurface::SetPixelColor(int x, int y, COLORREF color) {
  if (recordingLine_) {
    if (InClip(x, y)) linePoints_.emplace_back(x, y);
    return;
  }
  // Through Lock: the shadow is read back first when the GPU drew since, and the texture takes
  // the pixel before its next use.
  if (!InClip(x, y) || !Lock()) return;
  cSurfaceImplementation::SetPixelColor(x, y, color);
  Unlock();
}

namespace {
// Texels of the line colour row, and the next one to fill (from the start after a flush).
constexpr int kLineColours = 256;
int g_nextLineColour = kLineColours;

// A surface object over a driver surface for the library's drawing calls; it gives the surface
// back without releasing it.
struct View {
  cSurfaceObject object;
  explicit View(cSurfaceImplementation* surface) { object.implementation = surface; }
  ~View() { object.implementation = GetErrorSurface(); }
};
}  // namespace

int cGLSurface::DrawLineNative(int x1, int y1, int x2, int y2, int lineWidth, COLORREF color) {
  View view(this);
  if (lineWidth != 1 || page_) {
    // The library's own drawing: wide lines need a device context, which these surfaces do
    // not offer (0, as on memory surfaces); an atlas piece's line is stored pixel by pixel
    // through SetPixelColor, which reads back and marks the shadow.
    cpuDrawing_ = true;
    const int drawn = view.object.DrawLine(x1, y1, x2, y2, lineWidth, color);
    cpuDrawing_ = false;
    return drawn;
  }
  linePoints_.clear();
  recordingLine_ = true;
  const int drawn = view.object.DrawLine(x1, y1, x2, y2, 1, color);
  recordingLine_ = false;
  if (!drawn || linePoints_.empty()) return drawn;
  const GLuint target = Framebuffer();
  if (!target) return 0;

  // The colour goes into the next texel of a row of line colours, drawn as a copy over each
  // run of the line's pixels: lines of any colours batch together until the row is used up.
  const GLuint colours = ScratchTexture(1, kLineColours, 1);
  if (g_nextLineColour >= kLineColours) {
    FlushIfUses(colours, 0);
    g_nextLineColour = 0;
  }
  const int texel = g_nextLineColour++;
  const std::uint8_t bgra[4] = {static_cast<std::uint8_t>(color >> 16),
                                static_cast<std::uint8_t>(color >> 8),
                                static_cast<std::uint8_t>(color), 255};
  glBindTexture(GL_TEXTURE_2D, colours);
  glTexSubImage2D(GL_TEXTURE_2D, 0, texel, 0, 1, 1, GL_BGRA, GL_UNSIGNED_BYTE, bgra);
  const float u = (static_cast<float>(texel) + 0.5f) / kLineColours;
  DrawState state;
  state.framebuffer = target;
  state.targetWidth = width;
  state.targetHeight = height;
  state.texture = colours;
  state.scissor[0] = clipLeft;
  state.scissor[1] = clipTop;
  state.scissor[2] = std::max(clipRight - clipLeft, 0);
  state.scissor[3] = std::max(clipBottom - clipTop, 0);
  auto span = [&state, u](int left, int top, int right, int bottom) {  // inclusive bounds
    const float l = static_cast<float>(left), t = static_cast<float>(top);
    const float r = static_cast<float>(right + 1), b = static_cast<float>(bottom + 1);
    const Vertex corners[4] = {
        {l, t, u, 0.5f, 1}, {r, t, u, 0.5f, 1}, {r, b, u, 0.5f, 1}, {l, b, u, 0.5f, 1}};
    AddQuad(state, corners);
  };
  // Runs of neighbours in one row or one column become one quad each.
  auto [left, top] = linePoints_.front();
  int right = left, bottom = top;
  for (std::size_t i = 1; i < linePoints_.size(); ++i) {
    const auto [x, y] = linePoints_[i];
    const bool row = y == top && bottom == top && (x == left - 1 || x == right + 1);
    const bool column = x == left && right == left && (y == top - 1 || y == bottom + 1);
    if (row && (right == left || bottom == top)) {
      left = std::min(left, x);
      right = std::max(right, x);
    } else if (column) {
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    } else {
      span(left, top, right, bottom);
      left = right = x;
      top = bottom = y;
    }
  }
  span(left, top, right, bottom);
  MarkDrawn();
  return drawn;
}

// ---- effects ----------------------------------------------------------------------------

void cGLSurface::AttachEffect(void* effect) {
  auto* e = static_cast<CEffectEx*>(effect);
  if (!e || e->attached || !e->source) return;
  std::string log;
  const GLuint program =
      CompileEffectProgram(static_cast<const char*>(e->source), e->sourceSize, &log);
  if (!program) return;  // not attached: the caller sees `attached` stay 0
  auto& entry = Effects()[e];
  if (entry.program) DeleteProgram(entry.program);
  entry = {program, this};
  e->attached = 1;
}

void cGLSurface::DetachEffect(void* effect) {
  auto* e = static_cast<CEffectEx*>(effect);
  auto& effects = Effects();
  const auto found = effects.find(e);
  if (found == effects.end()) return;
  Flush();
  DeleteProgram(found->second.program);
  effects.erase(found);
  e->attached = 0;
}

void cGLSurface::EffectParameterChanged(void* effect, int) {
  // Quads already collected keep the values they were drawn with.
  if (Effects().count(static_cast<CEffectEx*>(effect))) Flush();
}

int cGLSurface::DriverHook98(void* effect, HookArg, HookArg) {
  // Runs the effect over the whole surface in place.
  auto* e = static_cast<CEffectEx*>(effect);
  if (!e || !Effects().count(e)) return 0;
  auto* copy = CreateCompatible(width, height);
  if (!copy) return 0;
  int result = copy->CopyContentFrom(this);
  if (result) {
    const float fw = static_cast<float>(width), fh = static_cast<float>(height);
    const float quad[8] = {0, 0, fw, 0, fw, fh, 0, fh};
    result = DrawFrom(copy, quad, 0, 0, width, height, kModeOpaque, kEffectObject,
                      reinterpret_cast<EffectParam>(static_cast<IEffectObject*>(e)), 0, false);
    Flush();
  }
  copy->Delete();
  return result;
}
