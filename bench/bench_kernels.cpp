// The blit kernels beside their peers: a 256 x 256 source onto a 640 x 480 destination at
// a cycle of positions (odd and even, so every alignment occurs), at 32 and 16 bits. "vexa"
// is the pixel routine table's entry as Blit calls it; the peers do the nearest work they
// offer on the same pixels:
//   opaque copy        memcpy of the same rows, SDL_BlitSurface, pixman SRC
//   colour key         SDL colour-key blit (about 30% key pixels, in runs as sprites have)
//   alpha plane        SDL BLEND of an ARGB surface, pixman OVER (premultiplied copy)
//   semi-transparency  50%: SDL alpha-mod blit, pixman OVER with a solid 50% mask
//   additive           SDL ADD, pixman ADD (saturating); subtractive has the same peers,
//                      neither library having a subtractive blit
//   run-length copy    SDL's run-length colour-key blit, on the sprite and on sources of
//                      alternating runs of exactly 1, 4, 16 and 64 opaque and key pixels
//   8-bit blend        50% through the destination palette and its inverse table; pixman
//                      OVER with a solid mask on indexed 8-bit images
#include <SDL.h>
#include <pixman.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "bench_pairs.h"
#include "palette/palette_ops.h"
#include "pixels/kernels/run_length_form.h"
#include "pixels/pixel_format.h"
#include "pixels/pixel_routine_tables.h"

namespace {

constexpr int kSourceSize = 256;
constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr double kPixels = double{kSourceSize} * kSourceSize;
constexpr int kPositions[][2] = {{0, 0},   {17, 33}, {384, 224}, {129, 101},
                                 {301, 5}, {3, 200}, {250, 151}, {383, 223}};

// The next position of the cycle (one cycle per case implementation).
const int* NextPosition(int& index) {
  index = (index + 1) % 8;
  return kPositions[index];
}

struct Image {
  std::vector<std::uint8_t> pixels;
  std::vector<std::uint8_t> alpha;
  PixelDescriptor d;
  Image(int w, int h, int depth) {
    const int format = vexa::FormatOfDepth(depth);
    d.width = d.clipRight = w;
    d.height = d.clipBottom = h;
    d.depth = vexa::kFormatDepth[format];
    d.formatIndex = format;
    d.bytesPerPixel = vexa::BytesPerPixel(depth);
    d.stride = d.pitch = static_cast<int>(vexa::StrideOf(w, d.depth));
    d.flags = kSurfaceFlagMmx;  // the default on x86-64
    d.pixelRoutines = vexa::StandardPixelRoutines(format);
    pixels.assign(static_cast<std::size_t>(d.stride) * h, 0);
    d.storage = d.firstRow = pixels.data();
  }
  void AddAlpha() {
    d.alphaStride = d.alphaPitch = (d.width + 3) & ~3;
    alpha.assign(static_cast<std::size_t>(d.alphaStride) * d.height, 0);
    d.alphaStorage = d.alphaFirstRow = alpha.data();
  }
  std::uint8_t* At(int x, int y) {
    return pixels.data() + static_cast<std::size_t>(y) * d.stride + x * d.bytesPerPixel;
  }
};

// Sprite-like data: random colours, runs of key pixels covering about 30% of each row, and
// alpha in runs of 0, runs of 255 and runs of partial values.
constexpr std::uint32_t kKey32 = 0x00FF00FF;
constexpr std::uint32_t kKey16 = 0xF81F;

struct Scene {
  int depth;
  Image source{kSourceSize, kSourceSize, 32};
  Image destination{kWidth, kHeight, 32};
  std::vector<std::uint8_t> runLength;
  PixelDescriptor runLengthSource;
  std::vector<std::uint32_t> argb;  // SDL / pixman sources with alpha
  std::vector<std::uint32_t> premultiplied;
  std::vector<std::uint8_t> peerDestination;  // the peers draw here

  explicit Scene(int d)
      : depth(d), source(kSourceSize, kSourceSize, d), destination(kWidth, kHeight, d) {
    std::mt19937 random(static_cast<unsigned>(d));
    const std::uint32_t key = d == 32 ? kKey32 : kKey16;
    source.d.transparentValue = key;
    source.AddAlpha();
    for (int y = 0; y < kSourceSize; ++y) {
      for (int x = 0; x < kSourceSize;) {
        const int run = 1 + static_cast<int>(random() % 16);
        const bool transparent = random() % 10 < 3;
        const int kind = static_cast<int>(random() % 3);  // alpha 0, 255 or partial
        for (int i = 0; i < run && x < kSourceSize; ++i, ++x) {
          std::uint32_t v = random() & (d == 32 ? 0x00FFFFFF : 0xFFFF);
          if (v == key) v ^= 1;
          if (transparent) v = key;
          std::memcpy(source.At(x, y), &v, static_cast<std::size_t>(source.d.bytesPerPixel));
          source.alpha[static_cast<std::size_t>(y) * source.d.alphaStride + x] =
              kind == 0   ? 0
              : kind == 1 ? 255
                          : static_cast<std::uint8_t>(1 + random() % 254);
        }
      }
    }
    for (std::size_t i = 0; i < destination.pixels.size(); ++i)
      destination.pixels[i] = static_cast<std::uint8_t>(random());
    peerDestination = destination.pixels;
    const std::uint32_t size =
        vexa::MeasureRunLengthForm(source.d.bytesPerPixel, nullptr, source.d.firstRow, kSourceSize,
                                   kSourceSize, source.d.pitch, key);
    runLength.resize(size);
    vexa::EncodeRunLengthForm(source.d.bytesPerPixel, runLength.data(), source.d.firstRow,
                              kSourceSize, kSourceSize, source.d.pitch, key);
    runLengthSource = source.d;
    runLengthSource.alphaFirstRow = runLengthSource.alphaStorage = nullptr;
    runLengthSource.storage = runLengthSource.firstRow = runLength.data();
    runLengthSource.pixelRoutines = vexa::RunLengthPixelRoutines(source.d.formatIndex);
    // 32-bit ARGB copies of the source for the alpha peers, plain and premultiplied.
    argb.resize(static_cast<std::size_t>(kSourceSize) * kSourceSize);
    premultiplied.resize(argb.size());
    for (int y = 0; y < kSourceSize; ++y)
      for (int x = 0; x < kSourceSize; ++x) {
        std::uint32_t v = 0;
        std::memcpy(&v, source.At(x, y), static_cast<std::size_t>(source.d.bytesPerPixel));
        const std::uint32_t rgb = d == 32 ? v & 0xFFFFFF : vexa::SwapRedBlue(vexa::ColorFrom565(v));
        const std::uint32_t a =
            source.alpha[static_cast<std::size_t>(y) * source.d.alphaStride + x];
        argb[static_cast<std::size_t>(y) * kSourceSize + x] = a << 24 | rgb;
        std::uint32_t pm = a << 24;
        for (int shift = 0; shift < 24; shift += 8)
          pm |= (((rgb >> shift) & 0xFF) * a / 255) << shift;
        premultiplied[static_cast<std::size_t>(y) * kSourceSize + x] = pm;
      }
  }

  PixelDescriptor PlainSource() const {
    PixelDescriptor s = source.d;
    s.alphaFirstRow = s.alphaStorage = nullptr;
    return s;
  }
};

Scene& SceneOf(int depth) {
  static Scene scene32(32);
  static Scene scene16(16);
  return depth == 32 ? scene32 : scene16;
}

// ---- peers --------------------------------------------------------------------------------

struct SdlPeer {
  SDL_Surface* source = nullptr;
  SDL_Surface* destination = nullptr;
  int position = 0;
  void Blit() {
    const int* p = NextPosition(position);
    SDL_Rect from{0, 0, kSourceSize, kSourceSize};
    SDL_Rect to{p[0], p[1], kSourceSize, kSourceSize};
    SDL_BlitSurface(source, &from, destination, &to);
  }
};

enum class SdlKind { Copy, Key, KeyRunLength, AlphaBlend, AlphaMod, Add };

SdlPeer MakeSdl(Scene& s, SdlKind kind) {
  SdlPeer peer;
  const Uint32 format = s.depth == 32 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565;
  peer.destination = SDL_CreateRGBSurfaceWithFormatFrom(s.peerDestination.data(), kWidth, kHeight,
                                                        s.depth, s.destination.d.stride, format);
  if (kind == SdlKind::AlphaBlend) {
    peer.source = SDL_CreateRGBSurfaceWithFormatFrom(s.argb.data(), kSourceSize, kSourceSize, 32,
                                                     kSourceSize * 4, SDL_PIXELFORMAT_ARGB8888);
    SDL_SetSurfaceBlendMode(peer.source, SDL_BLENDMODE_BLEND);
    return peer;
  }
  peer.source = SDL_CreateRGBSurfaceWithFormatFrom(s.source.pixels.data(), kSourceSize, kSourceSize,
                                                   s.depth, s.source.d.stride, format);
  SDL_SetSurfaceBlendMode(peer.source, SDL_BLENDMODE_NONE);
  if (kind == SdlKind::Key || kind == SdlKind::KeyRunLength) {
    SDL_SetColorKey(peer.source, SDL_TRUE, s.source.d.transparentValue);
    SDL_SetSurfaceRLE(peer.source, kind == SdlKind::KeyRunLength);
  }
  if (kind == SdlKind::AlphaMod) {
    SDL_SetSurfaceBlendMode(peer.source, SDL_BLENDMODE_BLEND);
    SDL_SetSurfaceAlphaMod(peer.source, 128);
  }
  if (kind == SdlKind::Add) SDL_SetSurfaceBlendMode(peer.source, SDL_BLENDMODE_ADD);
  return peer;
}

struct PixmanPeer {
  pixman_image_t* source = nullptr;
  pixman_image_t* mask = nullptr;
  pixman_image_t* destination = nullptr;
  pixman_op_t op = PIXMAN_OP_SRC;
  int position = 0;
  void Blit() {
    const int* p = NextPosition(position);
    pixman_image_composite32(op, source, mask, destination, 0, 0, 0, 0, p[0], p[1], kSourceSize,
                             kSourceSize);
  }
};

enum class PixmanKind { Source, Over, OverHalf, Add };

PixmanPeer MakePixman(Scene& s, PixmanKind kind) {
  PixmanPeer peer;
  const pixman_format_code_t plain = s.depth == 32 ? PIXMAN_x8r8g8b8 : PIXMAN_r5g6b5;
  const pixman_format_code_t withAlpha = s.depth == 32 ? PIXMAN_a8r8g8b8 : PIXMAN_r5g6b5;
  peer.destination = pixman_image_create_bits(
      kind == PixmanKind::Add ? withAlpha : plain, kWidth, kHeight,
      reinterpret_cast<std::uint32_t*>(s.peerDestination.data()), s.destination.d.stride);
  if (kind == PixmanKind::Over) {
    peer.source = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSourceSize, kSourceSize,
                                           s.premultiplied.data(), kSourceSize * 4);
    peer.op = PIXMAN_OP_OVER;
    return peer;
  }
  peer.source = pixman_image_create_bits(
      kind == PixmanKind::Add ? withAlpha : plain, kSourceSize, kSourceSize,
      reinterpret_cast<std::uint32_t*>(s.source.pixels.data()), s.source.d.stride);
  if (kind == PixmanKind::OverHalf) {
    const pixman_color_t half{0, 0, 0, 0x8000};
    peer.mask = pixman_image_create_solid_fill(&half);
    peer.op = PIXMAN_OP_OVER;
  }
  if (kind == PixmanKind::Add) peer.op = PIXMAN_OP_ADD;
  return peer;
}

// ---- our side -----------------------------------------------------------------------------

enum class Ours { Opaque, Transparent, TransparentAlpha, Effect, RunLength };

struct VexaCase {
  int depth;
  Ours kind;
  std::uint32_t effect = 0;
  std::uintptr_t parameter = 0;
  int position = 0;
  void Blit() {
    Scene& s = SceneOf(depth);
    const int* p = NextPosition(position);
    PixelDescriptor* t = &s.destination.d;
    const PixelDescriptor plain = s.PlainSource();
    switch (kind) {
      case Ours::Opaque:
        plain.pixelRoutines->copyOpaque(t, p[0], p[1], &plain, 0, 0, kSourceSize, kSourceSize);
        break;
      case Ours::Transparent:
        plain.pixelRoutines->copyTransparent(t, p[0], p[1], &plain, 0, 0, kSourceSize, kSourceSize);
        break;
      case Ours::TransparentAlpha:
        s.source.d.pixelRoutines->copyTransparent(t, p[0], p[1], &s.source.d, 0, 0, kSourceSize,
                                                  kSourceSize);
        break;
      case Ours::Effect:
        plain.pixelRoutines->copyOpaqueEffect(t, p[0], p[1], &plain, 0, 0, kSourceSize, kSourceSize,
                                              effect, parameter);
        break;
      case Ours::RunLength:
        s.runLengthSource.pixelRoutines->copyTransparent(t, p[0], p[1], &s.runLengthSource, 0, 0,
                                                         kSourceSize, kSourceSize);
        break;
    }
    vexabench::Keep(t->firstRow);
  }
};

template <class Peer>
vexabench::Impl PeerImpl(const std::string& name, Peer peer) {
  return {name, [peer]() mutable { peer.Blit(); }};
}
vexabench::Impl OursImpl(int depth, Ours kind, std::uint32_t effect = 0,
                         std::uintptr_t parameter = 0) {
  return {"vexa", [c = VexaCase{depth, kind, effect, parameter}]() mutable { c.Blit(); }};
}

// "<base>_<depth>", built without string concatenation (which trips a false warning of gcc 12).
std::string CaseName(const char* base, int depth) {
  char name[64];
  std::snprintf(name, sizeof name, "%s_%d", base, depth);
  return name;
}

void RegisterDepth(int depth) {
  Scene& s = SceneOf(depth);
  int memcpyPosition = 0;
  vexabench::RegisterCase(
      CaseName("kernels_opaque_copy", depth), "Mpix/s", kPixels,
      {OursImpl(depth, Ours::Opaque),
       vexabench::Bare(
           "memcpy",
           [&s, memcpyPosition]() mutable {
             const int* p = NextPosition(memcpyPosition);
             const std::size_t bytes =
                 static_cast<std::size_t>(kSourceSize) * s.source.d.bytesPerPixel;
             for (int y = 0; y < kSourceSize; ++y)
               std::memcpy(s.peerDestination.data() +
                               static_cast<std::size_t>(p[1] + y) * s.destination.d.stride +
                               p[0] * s.destination.d.bytesPerPixel,
                           s.source.pixels.data() + static_cast<std::size_t>(y) * s.source.d.stride,
                           bytes);
             vexabench::Keep(s.peerDestination.data());
           }),
       PeerImpl("SDL", MakeSdl(s, SdlKind::Copy)),
       PeerImpl("pixman", MakePixman(s, PixmanKind::Source))});
  vexabench::RegisterCase(
      CaseName("kernels_colour_key", depth), "Mpix/s", kPixels,
      {OursImpl(depth, Ours::Transparent), PeerImpl("SDL", MakeSdl(s, SdlKind::Key))});
  vexabench::RegisterCase(
      CaseName("kernels_alpha_plane", depth), "Mpix/s", kPixels,
      {OursImpl(depth, Ours::TransparentAlpha), PeerImpl("SDL", MakeSdl(s, SdlKind::AlphaBlend)),
       PeerImpl("pixman", MakePixman(s, PixmanKind::Over))});
  vexabench::RegisterCase(
      CaseName("kernels_semi_transparent", depth), "Mpix/s", kPixels,
      {OursImpl(depth, Ours::Effect, 1, 64), PeerImpl("SDL", MakeSdl(s, SdlKind::AlphaMod)),
       PeerImpl("pixman", MakePixman(s, PixmanKind::OverHalf))});
  vexabench::RegisterCase(
      CaseName("kernels_additive", depth), "Mpix/s", kPixels,
      {OursImpl(depth, Ours::Effect, 9), PeerImpl("SDL", MakeSdl(s, SdlKind::Add)),
       PeerImpl("pixman", MakePixman(s, PixmanKind::Add))});
  vexabench::RegisterCase(
      CaseName("kernels_subtractive", depth), "Mpix/s", kPixels,
      {OursImpl(depth, Ours::Effect, 11), PeerImpl("SDL_add", MakeSdl(s, SdlKind::Add)),
       PeerImpl("pixman_add", MakePixman(s, PixmanKind::Add))});
  vexabench::RegisterCase(
      CaseName("kernels_run_length", depth), "Mpix/s", kPixels,
      {OursImpl(depth, Ours::RunLength), PeerImpl("SDL_rle", MakeSdl(s, SdlKind::KeyRunLength))});
}

// ---- run-length copies per run length ------------------------------------------------------

// A source of alternating runs of `run` opaque and `run` key pixels (shifted by one run on odd
// rows), in the run-length form for ours and as plain pixels with a colour key for SDL.
struct RunScene {
  int depth;
  Image source;
  std::vector<std::uint8_t> block;
  PixelDescriptor form;
  RunScene(int d, int run) : depth(d), source(kSourceSize, kSourceSize, d) {
    std::mt19937 random(static_cast<unsigned>(run));
    const std::uint32_t key = d == 32 ? kKey32 : kKey16;
    for (int y = 0; y < kSourceSize; ++y)
      for (int x = 0; x < kSourceSize; ++x) {
        std::uint32_t v = random() & (d == 32 ? 0x00FFFFFF : 0xFFFF);
        if (v == key) v ^= 1;
        if ((x / run + y) % 2) v = key;
        std::memcpy(source.At(x, y), &v, static_cast<std::size_t>(source.d.bytesPerPixel));
      }
    source.d.transparentValue = key;
    block.resize(vexa::MeasureRunLengthForm(source.d.bytesPerPixel, nullptr, source.d.firstRow,
                                            kSourceSize, kSourceSize, source.d.pitch, key));
    vexa::EncodeRunLengthForm(source.d.bytesPerPixel, block.data(), source.d.firstRow, kSourceSize,
                              kSourceSize, source.d.pitch, key);
    form = source.d;
    form.storage = form.firstRow = block.data();
    form.pixelRoutines = vexa::RunLengthPixelRoutines(source.d.formatIndex);
  }
};

void RegisterRunLengths(int depth) {
  for (int run : {1, 4, 16, 64}) {
    auto* scene = new RunScene(depth, run);  // lives as long as the benchmarks
    Scene& s = SceneOf(depth);
    SdlPeer sdl;
    const Uint32 format = depth == 32 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565;
    sdl.destination = SDL_CreateRGBSurfaceWithFormatFrom(s.peerDestination.data(), kWidth, kHeight,
                                                         depth, s.destination.d.stride, format);
    sdl.source =
        SDL_CreateRGBSurfaceWithFormatFrom(scene->source.pixels.data(), kSourceSize, kSourceSize,
                                           depth, scene->source.d.stride, format);
    SDL_SetSurfaceBlendMode(sdl.source, SDL_BLENDMODE_NONE);
    SDL_SetColorKey(sdl.source, SDL_TRUE, scene->source.d.transparentValue);
    SDL_SetSurfaceRLE(sdl.source, SDL_TRUE);
    char name[64];
    std::snprintf(name, sizeof name, "kernels_run_length_runs%d_%d", run, depth);
    int position = 0;
    vexabench::RegisterCase(name, "Mpix/s", kPixels,
                            {{"vexa",
                              [scene, &s, position]() mutable {
                                const int* p = NextPosition(position);
                                PixelDescriptor* t = &s.destination.d;
                                scene->form.pixelRoutines->copyTransparent(
                                    t, p[0], p[1], &scene->form, 0, 0, kSourceSize, kSourceSize);
                                vexabench::Keep(t->firstRow);
                              }},
                             PeerImpl("SDL_rle", sdl)});
  }
}

// ---- 8 bits -------------------------------------------------------------------------------

struct EightBit {
  PaletteObject palette{};
  std::vector<std::uint8_t> inverse = std::vector<std::uint8_t>(kInverseTableSize);
  Image source{kSourceSize, kSourceSize, 8};
  Image destination{kWidth, kHeight, 8};
  std::vector<std::uint8_t> peerDestination;
  pixman_indexed_t indexed{};
  EightBit() {
    std::mt19937 random(8);
    palette.entryCount = 256;
    palette.refCount = 1 << 20;
    for (int i = 1; i < 256; ++i)
      palette.entries[i] = PALETTEENTRY{static_cast<BYTE>(random()), static_cast<BYTE>(random()),
                                        static_cast<BYTE>(random()), 0};
    palette.inverseTable = inverse.data();
    source.d.palette = destination.d.palette = &palette;
    for (auto& b : source.pixels) b = static_cast<std::uint8_t>(random());
    for (auto& b : destination.pixels) b = static_cast<std::uint8_t>(random());
    peerDestination = destination.pixels;
    // pixman's indexed form: the same colours, and an inverse table filled the same way.
    for (int i = 0; i < 256; ++i) {
      const PALETTEENTRY& e = palette.entries[i];
      indexed.rgba[i] =
          0xFF000000u | std::uint32_t{e.peRed} << 16 | std::uint32_t{e.peGreen} << 8 | e.peBlue;
    }
    for (std::uint32_t key = 0; key < kInverseTableSize; ++key) {
      const COLORREF color =
          ((key >> 10) & 0x1F) << 3 | ((key >> 5) & 0x1F) << 11 | (key & 0x1F) << 19;
      indexed.ent[key] = static_cast<pixman_index_type>(
          vexa::NearestIndexWith(&palette, color, vexa::PaletteSearchFor(kSurfaceFlagMmx)));
    }
  }
};

EightBit& EightBitScene() {
  static EightBit scene;
  return scene;
}

void RegisterEightBit() {
  EightBit& e = EightBitScene();
  PixmanPeer pixman;
  pixman.source = pixman_image_create_bits(PIXMAN_c8, kSourceSize, kSourceSize,
                                           reinterpret_cast<std::uint32_t*>(e.source.pixels.data()),
                                           e.source.d.stride);
  pixman.destination = pixman_image_create_bits(
      PIXMAN_c8, kWidth, kHeight, reinterpret_cast<std::uint32_t*>(e.peerDestination.data()),
      e.destination.d.stride);
  pixman_image_set_indexed(pixman.source, &e.indexed);
  pixman_image_set_indexed(pixman.destination, &e.indexed);
  const pixman_color_t half{0, 0, 0, 0x8000};
  pixman.mask = pixman_image_create_solid_fill(&half);
  pixman.op = PIXMAN_OP_OVER;
  int position = 0;
  vexabench::RegisterCase("kernels_blend_8", "Mpix/s", kPixels,
                          {{"vexa",
                            [&e, position]() mutable {
                              const int* p = NextPosition(position);
                              e.source.d.pixelRoutines->copyOpaqueEffect(
                                  &e.destination.d, p[0], p[1], &e.source.d, 0, 0, kSourceSize,
                                  kSourceSize, 1, 64);
                              vexabench::Keep(e.destination.d.firstRow);
                            }},
                           PeerImpl("pixman", pixman)});
}

const vexabench::Registrar kRegistrar([] {
  RegisterDepth(32);
  RegisterDepth(16);
  RegisterRunLengths(32);
  RegisterRunLengths(16);
  RegisterEightBit();
});

}  // namespace
