// Alpha planes: premultiplying and demultiplying a 640 x 480 32-bit surface by its alpha
// plane. "vexa" is the surface operation at the library's SIMD level; "scalar" runs the
// scalar rows (identical results) over the same surface; "pixman" premultiplies the same
// pixels by the same plane used as an a8 mask (an SRC composite into a premultiplied
// a8r8g8b8 image). pixman has no demultiplication, so that case has the scalar peer only.
#include <pixman.h>

#include <random>
#include <vector>

#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "bench_pairs.h"
#include "surface/alpha_plane_kernels.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr double kPixels = double{kWidth} * kHeight;

// The surface with random pixels and a random plane, made on first use (after the library
// has built its prototypes).
cSurfaceImplementation* Surface() {
  static cSurfaceImplementation* const surface = [] {
    cSurfaceObject* prototype = nullptr;
    GetPrototype(&prototype, 32, kTypeMemory, kDriverNone);
    cSurfaceImplementation* s = prototype->implementation->CreateCompatible(kWidth, kHeight);
    std::mt19937 random(5);
    for (int i = 0; i < s->stride * s->height; ++i)
      s->firstRow[i] = static_cast<std::uint8_t>(random());
    s->CreateAlpha();
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) s->AlphaRow(y)[x] = static_cast<std::uint8_t>(random());
    return s;
  }();
  return surface;
}

void ScalarRows(vexa::AlphaRowFn row) {
  cSurfaceImplementation* s = Surface();
  for (int y = 0; y < s->height; ++y) row(s->Row(y), s->AlphaRow(y), s->width);
  vexabench::Keep(s->firstRow);
}

struct PixmanImages {
  pixman_image_t* source;
  pixman_image_t* mask;
  pixman_image_t* destination;
  std::vector<std::uint32_t> destinationBits;
};

PixmanImages& Pixman() {
  static PixmanImages images = [] {
    cSurfaceImplementation* s = Surface();
    PixmanImages p{};
    p.destinationBits.resize(static_cast<std::size_t>(kWidth) * kHeight);
    p.source = pixman_image_create_bits(PIXMAN_x8r8g8b8, kWidth, kHeight,
                                        reinterpret_cast<std::uint32_t*>(s->firstRow), s->stride);
    p.mask = pixman_image_create_bits(PIXMAN_a8, kWidth, kHeight,
                                      reinterpret_cast<std::uint32_t*>(s->alphaFirstRow),
                                      s->alphaStride);
    p.destination = pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight,
                                             p.destinationBits.data(), kWidth * 4);
    return p;
  }();
  return images;
}

const vexabench::Registrar kRegistrar([] {
  const vexa::AlphaRowKernels scalar = vexa::AlphaKernelsAt(vexa::SimdLevel::Scalar);
  vexabench::RegisterCase("premultiply_alpha_640x480x32", "Mpix/s", kPixels,
                          {{"vexa", [] { Surface()->PremultiplyAlpha(); }},
                           {"scalar", [scalar] { ScalarRows(scalar.premultiply[4]); }},
                           {"pixman", [] {
                              PixmanImages& p = Pixman();
                              pixman_image_composite32(PIXMAN_OP_SRC, p.source, p.mask,
                                                       p.destination, 0, 0, 0, 0, 0, 0, kWidth,
                                                       kHeight);
                              vexabench::Keep(p.destinationBits.data());
                            }}});
  vexabench::RegisterCase("demultiply_alpha_640x480x32", "Mpix/s", kPixels,
                          {{"vexa", [] { Surface()->DemultiplyAlpha(); }},
                           {"scalar", [scalar] { ScalarRows(scalar.demultiply[4]); }}});
});

}  // namespace
