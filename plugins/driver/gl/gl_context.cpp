#include "gl_context.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <vexa/effect.h>

namespace vexagl {
namespace {

const char* const kVertexShader = R"(#version 330 core
layout(location = 0) in vec2 position;
layout(location = 1) in vec2 coord;
layout(location = 2) in float shareIn;
uniform vec2 targetSize;
out vec2 texCoord;
out float share;
void main() {
  texCoord = coord;
  share = shareIn;
  gl_Position = vec4(position / targetSize * 2.0 - 1.0, 0.0, 1.0);
}
)";

// Copies, keys, invert and mono are exact here; the blends of the fixed-function stage take the
// share and the source alpha from the output alpha.
// The ink program is compiled once per combination of its switches (colour operation, key,
// alpha plane, alpha copy), each a constant: a fragment then runs only the work it needs.
const char* const kInkShader = R"(
in vec2 texCoord;
in float share;
uniform sampler2D image;
uniform ivec3 key;
out vec4 colour;
void main() {
  vec4 sv = texture(image, texCoord);
#if KEYED || COLOUR_OP != 0
  ivec4 s = ivec4(round(sv * 255.0));
#endif
#if KEYED
  if (s.rgb == key) discard;
#endif
#if COLOUR_OP == 1
  vec3 c = vec3(255 - s.rgb) / 255.0;
#elif COLOUR_OP == 2
  vec3 c = vec3(float((5 * s.r + 9 * s.g + 2 * s.b) >> 4) / 255.0);
#else
  vec3 c = sv.rgb;
#endif
#if COPY_ALPHA
  colour = vec4(c, sv.a);
#else
  // The weight w of the source out of 256: the plane's a (255 copies), times the share of a
  // blend. The software renderer keeps (s w + d (256 - w)) >> 8. The blend stage adds the
  // source term S = (s w) >> 8, computed here exactly, to d (255 - A) / 255 with
  // A = round(w 255 / 256) in 8 bits: the sum is within 1 of the renderer's for every s, d, w,
  // also on 8-bit targets where the blend stage itself rounds at 8 bits.
#if USE_ALPHA
  int alpha = int(round(sv.a * 255.0));
  float weight = float(alpha >= 255 ? 256 : alpha) * share;
#else
  float weight = 256.0 * share;
#endif
  if (weight >= 256.0) {
    colour = vec4(c, 1.0);
  } else {
    int w = int(round(weight));
    ivec3 source = ivec3(round(c * 255.0));
    colour = vec4(vec3((source * w) >> 8) / 255.0, round(float(w) * (255.0 / 256.0)) / 255.0);
  }
#endif
}
)";

// Texels that hold the blend terms already: the blend stage does the rest. A shader this plain
// also lets software rasterisers take their fastest paths.
const char* const kPremultipliedShader = R"(#version 330 core
in vec2 texCoord;
uniform sampler2D image;
out vec4 colour;
void main() { colour = texture(image, texCoord); }
)";

// Every ink against the destination pixel: the software renderer's integer formulas bit for
// bit. Values are whole numbers below 2^17 held in floats (exact there, and floor of a division
// by a power of two is exact too), which software rasterisers run faster than integer vectors;
// the bitwise inks work on integers. With FETCH the pixel is read from the framebuffer itself
// (the output's value on entry; coherent, so quads drawn over each other in one batch see each
// other's results); else from a copy of the area the batch covers.
const char* const kExactShader = R"(
in vec2 texCoord;
in float share;
uniform sampler2D image;
uniform sampler2D destination;
uniform ivec2 destinationOrigin;
uniform int c;
uniform ivec3 substitute;
uniform ivec3 sourceKey;
uniform ivec3 destinationKey;
uniform ivec3 key;
#if FETCH
inout vec4 colour;
#else
out vec4 colour;
#endif
vec3 Blend(vec3 s, vec3 d) {
  return floor((s * float(128 - c) + d * float(c)) * (1.0 / 128.0));
}
void main() {
  vec4 s = round(texture(image, texCoord) * 255.0);
#if KEYED
  if (s.rgb == vec3(key)) discard;
#endif
#if USE_ALPHA
  if (s.a == 0.0) discard;
#endif
#if FETCH
  vec3 d = round(colour.rgb * 255.0);
#else
  vec3 d = round(texelFetch(destination, ivec2(gl_FragCoord.xy) - destinationOrigin, 0).rgb *
                 255.0);
#endif
  vec3 e = s.rgb;
#if CODE == 1
  e = Blend(s.rgb, d);
#elif CODE == 2
  e = 255.0 - s.rgb;
#elif CODE == 3
  e = vec3(ivec3(s.rgb) ^ ivec3(d));
#elif CODE == 4
  e = vec3(ivec3(s.rgb) & ivec3(d));
#elif CODE == 5
  e = vec3(ivec3(s.rgb) | ivec3(d));
#elif CODE == 6
  e = Blend(s.rgb, d == vec3(sourceKey) ? vec3(substitute) : d);
#elif CODE == 8
  e = vec3(ivec3(d) & (255 - ivec3(s.rgb)));
#elif CODE == 9
  e = min(s.rgb + d, 255.0);
#elif CODE == 10
  e = vec3(floor((5.0 * s.r + 9.0 * s.g + 2.0 * s.b) * (1.0 / 16.0)));
#elif CODE == 11
  e = max(d - s.rgb, 0.0);
#elif CODE == 12
  if (d == vec3(destinationKey)) discard;
  e = Blend(s.rgb, d);
#endif
#if USE_ALPHA
  // (e a + d (256 - a)) >> 8, written with one product: d 256 is a multiple of 256.
  if (s.a < 255.0) e = d + floor((e - d) * s.a * (1.0 / 256.0));
#endif
  colour = vec4(e * (1.0 / 255.0), 1.0);
}
)";

struct InkProgram {
  GLuint program = 0;
  GLint targetSize = -1, image = -1, key = -1;
};
// Index of an ink variant: colour operation (0-2), key, alpha plane, alpha copy.
constexpr int kInkVariants = 3 * 2 * 2 * 2;
int InkVariant(const DrawState& s) {
  return ((s.colourOp * 2 + (s.keyed ? 1 : 0)) * 2 + (s.useAlpha ? 1 : 0)) * 2 +
         (s.writeAlpha ? 1 : 0);
}
struct ExactProgram {
  GLuint program = 0;
  GLint targetSize = -1, image = -1, destination = -1, destinationOrigin = -1, c = -1,
        substitute = -1, sourceKey = -1, destinationKey = -1, key = -1;
};
// Index of an exact variant: ink code (0-12), key, alpha plane.
constexpr int kExactVariants = 13 * 2 * 2;
int ExactVariant(const DrawState& s) {
  return ((std::clamp(s.exact.code, 0, 12) * 2 + (s.keyed ? 1 : 0)) * 2) + (s.useAlpha ? 1 : 0);
}

struct Context {
  SDL_Window* window = nullptr;
  SDL_GLContext gl = nullptr;
  bool startedVideo = false;
  std::string device;
  GLuint vertexArray = 0, vertexBuffer = 0, indexBuffer = 0;
  std::size_t indexQuads = 0;  // quads the index buffer has room for
  InkProgram ink[kInkVariants];
  InkProgram premultiplied;
  ExactProgram exact[kExactVariants];
  bool exactFetches = false;  // the exact programs read the framebuffer (no copies)
  GLuint scratch[3] = {0, 0, 0};
  int scratchSize[3][2] = {};
  std::vector<Vertex> vertices;
  DrawState state;
  bool pending = false;
  // Pixel bounds (x0, y0, x1, y1, clipped to the scissor) of the exact quads collected.
  std::vector<std::array<int, 4>> exactBounds;
};

Context* g_context = nullptr;

// True when the shader or program reached `status`; else its log goes to `log` (when given).
template <class GetStatus, class GetLog>
bool Reached(GLuint object, GLenum status, GetStatus getStatus, GetLog getLog, std::string* log) {
  GLint ok = 0;
  getStatus(object, status, &ok);
  if (ok) return true;
  if (log) {
    char text[1024] = {};
    getLog(object, static_cast<GLsizei>(sizeof text), nullptr, text);
    *log = text;
  }
  return false;
}

GLuint Compile(GLenum kind, const char* source, int length, std::string* log) {
  GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 1, &source, length >= 0 ? &length : nullptr);
  glCompileShader(shader);
  if (Reached(shader, GL_COMPILE_STATUS, glGetShaderiv, glGetShaderInfoLog, log)) return shader;
  glDeleteShader(shader);
  return 0;
}

GLuint Link(const char* fragment, int length, std::string* log) {
  GLuint vertex = Compile(GL_VERTEX_SHADER, kVertexShader, -1, log);
  GLuint pixel = vertex ? Compile(GL_FRAGMENT_SHADER, fragment, length, log) : 0;
  if (!pixel) {
    if (vertex) glDeleteShader(vertex);
    return 0;
  }
  GLuint program = glCreateProgram();
  glAttachShader(program, vertex);
  glAttachShader(program, pixel);
  glLinkProgram(program);
  glDeleteShader(vertex);
  glDeleteShader(pixel);
  if (Reached(program, GL_LINK_STATUS, glGetProgramiv, glGetProgramInfoLog, log)) return program;
  glDeleteProgram(program);
  return 0;
}

// The ink variant of an index, compiled on first use.
const InkProgram& InkProgramOf(Context& c, int variant) {
  InkProgram& p = c.ink[variant];
  if (p.program) return p;
  const int copyAlpha = variant & 1, useAlpha = (variant >> 1) & 1, keyed = (variant >> 2) & 1;
  const int colourOp = variant >> 3;
  const std::string source = "#version 330 core\n#define COLOUR_OP " + std::to_string(colourOp) +
                             "\n#define KEYED " + std::to_string(keyed) + "\n#define USE_ALPHA " +
                             std::to_string(useAlpha) + "\n#define COPY_ALPHA " +
                             std::to_string(copyAlpha) + "\n" + kInkShader;
  p.program = Link(source.c_str(), -1, nullptr);
  if (p.program) {
    p.targetSize = glGetUniformLocation(p.program, "targetSize");
    p.image = glGetUniformLocation(p.program, "image");
    p.key = glGetUniformLocation(p.program, "key");
  }
  return p;
}

// The exact variant of an index, compiled on first use (reading the framebuffer when the
// context does).
const ExactProgram& ExactProgramOf(Context& c, int variant) {
  ExactProgram& p = c.exact[variant];
  if (p.program) return p;
  const std::string source =
      std::string("#version 330 core\n") +
      (c.exactFetches ? "#extension GL_EXT_shader_framebuffer_fetch : require\n" : "") +
      "#define FETCH " + (c.exactFetches ? "1" : "0") + "\n#define CODE " +
      std::to_string(variant / 4) + "\n#define KEYED " + std::to_string((variant >> 1) & 1) +
      "\n#define USE_ALPHA " + std::to_string(variant & 1) + "\n" + kExactShader;
  p.program = Link(source.c_str(), -1, nullptr);
  if (p.program) {
    auto at = [&p](const char* name) { return glGetUniformLocation(p.program, name); };
    p.targetSize = at("targetSize");
    p.image = at("image");
    p.destination = at("destination");
    p.destinationOrigin = at("destinationOrigin");
    p.c = at("c");
    p.substitute = at("substitute");
    p.sourceKey = at("sourceKey");
    p.destinationKey = at("destinationKey");
    p.key = at("key");
  }
  return p;
}

bool BuildPrograms(Context& c) {
  // Reading the framebuffer in the shader needs an extension; without it the destination
  // comes from copies.
  c.exactFetches = !std::getenv("VEXA_GL_NO_FETCH");
  if (c.exactFetches && !ExactProgramOf(c, kEffectAdd * 4 + 1).program) c.exactFetches = false;
  c.premultiplied.program = Link(kPremultipliedShader, -1, nullptr);
  if (!ExactProgramOf(c, kEffectAdd * 4 + 1).program || !c.premultiplied.program ||
      !InkProgramOf(c, 0).program)
    return false;
  c.premultiplied.targetSize = glGetUniformLocation(c.premultiplied.program, "targetSize");
  c.premultiplied.image = glGetUniformLocation(c.premultiplied.program, "image");
  glGenVertexArrays(1, &c.vertexArray);
  glBindVertexArray(c.vertexArray);
  glGenBuffers(1, &c.vertexBuffer);
  // Part of the vertex array's state: bound once.
  glGenBuffers(1, &c.indexBuffer);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, c.indexBuffer);
  glBindBuffer(GL_ARRAY_BUFFER, c.vertexBuffer);
  const auto stride = static_cast<GLsizei>(sizeof(Vertex));
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, stride, nullptr);
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, stride,
                        reinterpret_cast<void*>(offsetof(Vertex, u)));
  glEnableVertexAttribArray(2);
  glVertexAttribPointer(2, 1, GL_FLOAT, GL_FALSE, stride,
                        reinterpret_cast<void*>(offsetof(Vertex, share)));
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  return glGetError() == GL_NO_ERROR;
}

bool SameExact(const ExactInk& a, const ExactInk& b) {
  return a.code == b.code && a.share == b.share &&
         std::memcmp(a.substitute, b.substitute, sizeof a.substitute) == 0 &&
         std::memcmp(a.sourceKey, b.sourceKey, sizeof a.sourceKey) == 0 &&
         std::memcmp(a.destinationKey, b.destinationKey, sizeof a.destinationKey) == 0;
}

bool SameState(const DrawState& a, const DrawState& b) {
  return a.framebuffer == b.framebuffer && a.targetWidth == b.targetWidth &&
         a.targetHeight == b.targetHeight && a.texture == b.texture && a.linear == b.linear &&
         a.program == b.program && a.effectProgram == b.effectProgram && a.effect == b.effect &&
         a.colourOp == b.colourOp && a.keyed == b.keyed &&
         std::memcmp(a.key, b.key, sizeof a.key) == 0 && a.useAlpha == b.useAlpha &&
         a.blend == b.blend && a.logicOp == b.logicOp && a.writeAlpha == b.writeAlpha &&
         a.premultiplied == b.premultiplied &&
         std::memcmp(a.scissor, b.scissor, sizeof a.scissor) == 0 &&
         (a.program != Program::kExact || SameExact(a.exact, b.exact));
}

void ApplyFixedState(const DrawState& s) {
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, s.framebuffer);
  glViewport(0, 0, s.targetWidth, s.targetHeight);
  glEnable(GL_SCISSOR_TEST);
  glScissor(s.scissor[0], s.scissor[1], s.scissor[2], s.scissor[3]);
  const bool alpha = s.writeAlpha || s.premultiplied == kIntoPremultiplied;
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, alpha ? GL_TRUE : GL_FALSE);
  if (s.blend == Blend::kNone) {
    glDisable(GL_BLEND);
  } else {
    glEnable(GL_BLEND);
    glBlendEquation(s.blend == Blend::kSubtract ? GL_FUNC_REVERSE_SUBTRACT : GL_FUNC_ADD);
    if (s.blend == Blend::kCover)
      glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    else
      glBlendFunc(GL_SRC_ALPHA, s.blend == Blend::kAlpha ? GL_ONE_MINUS_SRC_ALPHA : GL_ONE);
  }
  if (s.logicOp) {
    glEnable(GL_COLOR_LOGIC_OP);
    glLogicOp(s.logicOp);
  } else {
    glDisable(GL_COLOR_LOGIC_OP);
  }
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, s.texture);
  const GLint filter = s.linear ? GL_LINEAR : GL_NEAREST;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
}

// The textures of an effect's texture parameters (each a surface of this driver), in order.
std::vector<GLuint> EffectTextures(const CEffectEx* effect) {
  std::vector<GLuint> textures;
  if (!effect || !effect->parameters) return textures;
  for (int i = 0; i < effect->parameterCount; ++i) {
    const EffectParameter& p = effect->parameters[i];
    if (p.type != kEffectParamTexture) continue;
    auto* surface = reinterpret_cast<cSurfaceImplementation*>(p.value.texture);
    textures.push_back(surface ? TextureOfSurface(surface) : 0);
  }
  return textures;
}

// Parameters of an attached effect become uniforms of the same name; texture parameters go to
// units 1, 2, ... in order.
void SetEffectUniforms(GLuint program, const CEffectEx* effect,
                       const std::vector<GLuint>& textures) {
  if (!effect || !effect->parameters) return;
  const char* name = effect->parameterNames;
  int unit = 1;
  for (int i = 0; i < effect->parameterCount && name; ++i, name += std::strlen(name) + 1) {
    const GLint at = glGetUniformLocation(program, name);
    const EffectParameter& p = effect->parameters[i];
    if (p.type == kEffectParamTexture) {
      glActiveTexture(GL_TEXTURE0 + unit);
      glBindTexture(GL_TEXTURE_2D, textures[unit - 1]);
      if (at >= 0) glUniform1i(at, unit);
      ++unit;
    } else if (at < 0) {
      continue;
    } else if (p.type == kEffectParamFloat) {
      glUniform1f(at, p.value.real);
    } else {
      glUniform1i(at, p.value.integer);
    }
  }
  glActiveTexture(GL_TEXTURE0);
}

void UseInk(Context& c, const DrawState& s) {
  const InkProgram& p =
      s.premultiplied == kFromPremultiplied ? c.premultiplied : InkProgramOf(c, InkVariant(s));
  glUseProgram(p.program);
  glUniform2f(p.targetSize, static_cast<float>(s.targetWidth), static_cast<float>(s.targetHeight));
  glUniform1i(p.image, 0);
  if (p.key >= 0) glUniform3i(p.key, s.key[0], s.key[1], s.key[2]);
}

void UseEffect(const DrawState& s, const std::vector<GLuint>& textures) {
  glUseProgram(s.effectProgram);
  glUniform2f(glGetUniformLocation(s.effectProgram, "targetSize"),
              static_cast<float>(s.targetWidth), static_cast<float>(s.targetHeight));
  glUniform1i(glGetUniformLocation(s.effectProgram, "image"), 0);
  SetEffectUniforms(s.effectProgram, static_cast<const CEffectEx*>(s.effect), textures);
}

// The pixels an exact quad can touch: its bounding box, clipped to the scissor.
std::array<int, 4> ExactBounds(const DrawState& s, const Vertex corners[4]) {
  float left = corners[0].x, right = left, top = corners[0].y, bottom = top;
  for (int i = 1; i < 4; ++i) {
    left = std::min(left, corners[i].x);
    right = std::max(right, corners[i].x);
    top = std::min(top, corners[i].y);
    bottom = std::max(bottom, corners[i].y);
  }
  return {std::max(static_cast<int>(std::floor(left)), s.scissor[0]),
          std::max(static_cast<int>(std::floor(top)), s.scissor[1]),
          std::min(static_cast<int>(std::floor(right)) + 1, s.scissor[0] + s.scissor[2]),
          std::min(static_cast<int>(std::floor(bottom)) + 1, s.scissor[1] + s.scissor[3])};
}

bool Overlap(const std::array<int, 4>& a, const std::array<int, 4>& b) {
  return a[0] < b[2] && b[0] < a[2] && a[1] < b[3] && b[1] < a[3];
}

// Copies the area the collected exact quads cover to texture unit 1; answers its bounds.
std::array<int, 4> CopyUnder(Context& c, const DrawState& s) {
  std::array<int, 4> all = c.exactBounds.front();
  for (const auto& b : c.exactBounds) {
    all[0] = std::min(all[0], b[0]);
    all[1] = std::min(all[1], b[1]);
    all[2] = std::max(all[2], b[2]);
    all[3] = std::max(all[3], b[3]);
  }
  c.exactBounds.clear();
  const GLuint copy = ScratchTexture(2, all[2] - all[0], all[3] - all[1]);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, s.framebuffer);
  glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, all[0], all[1], all[2] - all[0], all[3] - all[1]);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, copy);
  glActiveTexture(GL_TEXTURE0);
  return all;
}

// Sets the exact program up; without framebuffer reads it reads the destination from a copy,
// never from the framebuffer it writes.
void UseExact(Context& c, const DrawState& s) {
  std::array<int, 4> all = {0, 0, 0, 0};
  if (!c.exactFetches) all = CopyUnder(c, s);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, s.texture);
  const ExactProgram& p = ExactProgramOf(c, ExactVariant(s));
  glUseProgram(p.program);
  const ExactInk& ink = s.exact;
  glUniform2f(p.targetSize, static_cast<float>(s.targetWidth), static_cast<float>(s.targetHeight));
  glUniform1i(p.image, 0);
  if (p.destination >= 0) glUniform1i(p.destination, 1);
  if (p.destinationOrigin >= 0) glUniform2i(p.destinationOrigin, all[0], all[1]);
  if (p.c >= 0) glUniform1i(p.c, ink.share);
  if (p.substitute >= 0)
    glUniform3i(p.substitute, ink.substitute[0], ink.substitute[1], ink.substitute[2]);
  if (p.sourceKey >= 0)
    glUniform3i(p.sourceKey, ink.sourceKey[0], ink.sourceKey[1], ink.sourceKey[2]);
  if (p.destinationKey >= 0)
    glUniform3i(p.destinationKey, ink.destinationKey[0], ink.destinationKey[1],
                ink.destinationKey[2]);
  if (p.key >= 0) glUniform3i(p.key, s.key[0], s.key[1], s.key[2]);
}

// Draws quads of four corners each: an index buffer shared by every draw makes the two
// triangles of a quad, so each corner is sent and shaded once.
void Draw(const Vertex* corners, std::size_t count) {
  Context* c = g_context;
  const std::size_t quads = count / 4;
  if (quads > c->indexQuads) {
    c->indexQuads = std::max<std::size_t>({quads, c->indexQuads * 2, 1024});
    std::vector<GLuint> indices(c->indexQuads * 6);
    for (std::size_t q = 0; q < c->indexQuads; ++q) {
      const auto first = static_cast<GLuint>(q * 4);
      const GLuint quad[6] = {first, first + 1, first + 2, first, first + 2, first + 3};
      std::copy(quad, quad + 6, indices.begin() + static_cast<std::ptrdiff_t>(q * 6));
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, c->indexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(GLuint)),
                 indices.data(), GL_STATIC_DRAW);
  }
  glBindBuffer(GL_ARRAY_BUFFER, c->vertexBuffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(count * sizeof(Vertex)), corners,
               GL_STREAM_DRAW);
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(quads * 6), GL_UNSIGNED_INT, nullptr);
}

}  // namespace

bool StartContext() {
  if (g_context) return true;
  auto* c = new Context;
  const bool videoWasUp = SDL_WasInit(SDL_INIT_VIDEO) != 0;
  if (!videoWasUp && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    delete c;
    return false;
  }
  c->startedVideo = !videoWasUp;
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  c->window = SDL_CreateWindow("vexa-gl", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  c->gl = c->window ? SDL_GL_CreateContext(c->window) : nullptr;
  g_context = c;
  bool ok = c->gl != nullptr;
  if (ok) {
    GLint major = 0, minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    ok = major * 10 + minor >= 33 && BuildPrograms(*c);
  }
  if (!ok) {
    StopContext();
    return false;
  }
  c->device = std::string(reinterpret_cast<const char*>(glGetString(GL_RENDERER))) + " | " +
              reinterpret_cast<const char*>(glGetString(GL_VERSION));
  return true;
}

void StopContext() {
  Context* c = g_context;
  if (!c) return;
  if (c->gl && MakeCurrent()) {
    for (const InkProgram& p : c->ink)
      if (p.program) glDeleteProgram(p.program);
    for (const ExactProgram& p : c->exact)
      if (p.program) glDeleteProgram(p.program);
    if (c->premultiplied.program) glDeleteProgram(c->premultiplied.program);
    glDeleteTextures(3, c->scratch);
    if (c->vertexBuffer) glDeleteBuffers(1, &c->vertexBuffer);
    if (c->indexBuffer) glDeleteBuffers(1, &c->indexBuffer);
    if (c->vertexArray) glDeleteVertexArrays(1, &c->vertexArray);
  }
  if (c->gl) SDL_GL_DeleteContext(c->gl);
  if (c->window) SDL_DestroyWindow(c->window);
  if (c->startedVideo) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  g_context = nullptr;
  delete c;
}

bool ContextAlive() { return g_context && g_context->gl; }

bool MakeCurrent() {
  if (!ContextAlive()) return false;
  if (SDL_GL_GetCurrentContext() == g_context->gl) return true;
  return SDL_GL_MakeCurrent(g_context->window, g_context->gl) == 0;
}

void ReleaseFromThread() {
  if (!ContextAlive() || SDL_GL_GetCurrentContext() != g_context->gl) return;
  Flush();
  glFinish();
  SDL_GL_MakeCurrent(g_context->window, nullptr);
}

const std::string& DeviceName() {
  static const std::string none;
  return g_context ? g_context->device : none;
}

void Flush() {
  Context* c = g_context;
  if (!c || !c->pending) return;
  // Taken out first: preparing an effect's textures may upload, which flushes again.
  c->pending = false;
  std::vector<Vertex> vertices;
  vertices.swap(c->vertices);
  const DrawState s = c->state;
  if (vertices.empty()) return;
  std::vector<GLuint> textures;
  if (s.program == Program::kEffect)
    textures = EffectTextures(static_cast<const CEffectEx*>(s.effect));
  ApplyFixedState(s);
  if (s.program == Program::kEffect) {
    UseEffect(s, textures);
  } else if (s.program == Program::kExact) {
    UseExact(*c, s);
  } else {
    UseInk(*c, s);
  }
  Draw(vertices.data(), vertices.size());
  vertices.clear();
  if (c->vertices.empty()) c->vertices.swap(vertices);  // keeps the allocation
}

void FlushIfUses(GLuint texture, GLuint framebuffer) {
  Context* c = g_context;
  if (!c || !c->pending) return;
  if ((texture && c->state.texture == texture) ||
      (framebuffer && c->state.framebuffer == framebuffer) || c->state.effect)
    Flush();
}

void AddQuad(const DrawState& state, const Vertex corners[4]) {
  Context* c = g_context;
  if (!c) return;
  if (c->pending && !SameState(c->state, state)) Flush();
  if (state.program == Program::kExact && !c->exactFetches) {
    const std::array<int, 4> bounds = ExactBounds(state, corners);
    if (bounds[2] <= bounds[0] || bounds[3] <= bounds[1]) return;
    if (c->pending) {
      for (const auto& b : c->exactBounds) {
        if (Overlap(b, bounds)) {
          Flush();
          break;
        }
      }
    }
    c->exactBounds.push_back(bounds);
  }
  if (!c->pending) {
    c->state = state;
    c->pending = true;
  }
  c->vertices.insert(c->vertices.end(), corners, corners + 4);
}

GLuint ScratchTexture(int slot, int width, int height) {
  Context* c = g_context;
  GLuint& texture = c->scratch[slot];
  int* size = c->scratchSize[slot];
  if (size[0] < width || size[1] < height) {
    size[0] = std::max(size[0], width);
    size[1] = std::max(size[1], height);
    if (texture) glDeleteTextures(1, &texture);
    texture = NewTexture(size[0], size[1]);
  }
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture);
  return texture;
}

GLuint NewTexture(int width, int height) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  // Complete without mipmaps, also where an effect samples it as a texture parameter.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  return texture;
}

GLuint NewFramebuffer(GLuint texture) {
  GLuint framebuffer = 0;
  glGenFramebuffers(1, &framebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
  return framebuffer;
}

int PresentToWindow(SDL_Window* window, GLuint framebuffer, int width, int height,
                    const int viewport[4]) {
  Context* c = g_context;
  if (!window || !c || SDL_GL_MakeCurrent(window, c->gl) != 0) return 0;
  int windowWidth = 0, windowHeight = 0;
  SDL_GL_GetDrawableSize(window, &windowWidth, &windowHeight);
  int x = 0, y = 0, w = windowWidth, h = windowHeight;
  if (viewport[2] > 0 && viewport[3] > 0) {
    x = viewport[0];
    y = viewport[1];
    w = viewport[2];
    h = viewport[3];
  }
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glViewport(0, 0, windowWidth, windowHeight);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
  // Row 0 of a surface is row 0 of its framebuffer; the window's row 0 is at its bottom.
  const GLenum filter = (w == width && h == height) ? GL_NEAREST : GL_LINEAR;
  glBlitFramebuffer(0, 0, width, height, x, windowHeight - y, x + w, windowHeight - y - h,
                    GL_COLOR_BUFFER_BIT, filter);
  SDL_GL_SwapWindow(window);
  SDL_GL_MakeCurrent(c->window, c->gl);
  return 1;
}

GLuint CompileEffectProgram(const char* source, int length, std::string* log) {
  if (!source || !MakeCurrent()) return 0;
  return Link(source, length, log);
}

void DeleteProgram(GLuint program) {
  if (program && MakeCurrent()) glDeleteProgram(program);
}

}  // namespace vexagl
