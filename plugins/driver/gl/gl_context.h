// The driver's one GL context, its shader programs and the quad batch.
//
// The context is made on a hidden 1 x 1 SDL window with SDL_WINDOW_OPENGL (any SDL video
// driver that offers OpenGL: x11, wayland, or offscreen through EGL when there is no display).
// It is made current on the calling thread whenever that thread does not have it current.
//
// Quads are collected while their draw state (target, texture, program, blending, key,
// scissor, filter) stays the same and drawn with one call when it changes or when pixels are
// needed (a read-back, a present, an upload into a texture in use).
#pragma once

#include <cstdint>
#include <string>

#include "gl_api.h"

struct SDL_Window;
class cSurfaceImplementation;

namespace vexagl {

// Programs.
// kExact computes the software renderer's integer formula from a copy of the destination.
enum class Program : int { kInk = 0, kEffect = 1, kExact = 2 };

// An ink that reads the destination pixel (the exact program's parameters).
struct ExactInk {
  int code = 0;                       // 1-12
  int share = 0;                      // c of the blends, 0..128
  int substitute[3] = {0, 0, 0};      // effect 6: K as red, green, blue
  int sourceKey[3] = {0, 0, 0};       // effect 6: the source's transparent colour
  int destinationKey[3] = {0, 0, 0};  // effect 12: the key
};

// Fixed-function blending of a quad. kCover is the ink program's weighted blend (the source term
// comes premultiplied from the shader); kAlpha is plain source-alpha blending (effect programs).
enum class Blend : int { kNone = 0, kAlpha = 1, kAdd = 2, kSubtract = 3, kCover = 4 };

// Colour operations of the ink program.
inline constexpr int kColourCopy = 0, kColourInvert = 1, kColourMono = 2;

// How a draw treats premultiplied texels: none; kFromPremultiplied samples a texture already
// holding the ink program's blend terms (weighted colour, 8-bit weight) and blends it as it is;
// kIntoPremultiplied writes those terms, alpha included, into a texture.
inline constexpr int kFromPremultiplied = 1, kIntoPremultiplied = 2;

struct DrawState {
  GLuint framebuffer = 0;
  int targetWidth = 0, targetHeight = 0;
  GLuint texture = 0;
  int linear = 0;
  Program program = Program::kInk;
  GLuint effectProgram = 0;
  const void* effect = nullptr;  // the CEffectEx whose parameters become uniforms
  int colourOp = kColourCopy;
  int keyed = 0;
  int key[3] = {0, 0, 0};
  int useAlpha = 0;
  Blend blend = Blend::kNone;
  GLenum logicOp = 0;
  int writeAlpha = 0;
  int premultiplied = 0;
  int scissor[4] = {0, 0, 0, 0};
  ExactInk exact;  // Program::kExact only
};

// One corner of a quad: destination position in pixels, texture coordinate, and the share of
// the source colour the blend keeps (1 for an opaque draw).
struct Vertex {
  float x, y, u, v, share;
};

// Starts the context; false (nothing left behind) without OpenGL 3.3 core.
bool StartContext();
void StopContext();
bool ContextAlive();
// Makes the context current on this thread (and on the hidden window) when it is not.
bool MakeCurrent();
// Draws what is pending, waits for it and lets go of the context on this thread, so that
// another thread can make it current.
void ReleaseFromThread();
// "renderer | version" of the context.
const std::string& DeviceName();

// Adds one quad (four corners in order: top-left, top-right, bottom-right, bottom-left).
// Quads of the exact program read the destination from one copy of the area their batch
// covers, taken when the batch is drawn; a quad whose pixels may overlap an earlier quad of
// its batch starts a new batch, so that it reads what that quad wrote.
void AddQuad(const DrawState& state, const Vertex corners[4]);
// Draws what is collected.
void Flush();
// Draws what is collected if it reads or writes the texture or framebuffer.
void FlushIfUses(GLuint texture, GLuint framebuffer);

// Compiles a fragment shader written against the effect interface (see docs/gl-driver.md);
// 0 when it does not compile or link. The log goes to `log` when given.
GLuint CompileEffectProgram(const char* source, int length, std::string* log);
void DeleteProgram(GLuint program);

// The texture of a surface of this driver (uploaded first when needed); 0 for other surfaces.
GLuint TextureOfSurface(cSurfaceImplementation* surface);

// Shows a framebuffer of width x height in a window: flipped so that row 0 is at the top,
// scaled into the viewport (x, y, width, height in window pixels; a width of 0 means the
// whole window), then the window's buffers are swapped. 1 when shown.
int PresentToWindow(SDL_Window* window, GLuint framebuffer, int width, int height,
                    const int viewport[4]);

// A new RGBA8 texture of width x height (contents undefined), clamped at its edges and sampled
// nearest, left bound to unit 0; and a framebuffer drawing into a texture.
GLuint NewTexture(int width, int height);
GLuint NewFramebuffer(GLuint texture);

// A scratch texture with room for width x height (reused; grown when needed).
GLuint ScratchTexture(int slot, int width, int height);

}  // namespace vexagl
