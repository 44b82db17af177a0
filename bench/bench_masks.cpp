// Collision masks: overlap of two 256 x 256 masks at 1000 offsets (a case that finds nothing
// and scans every shared row, and a case that hits at once), the rectangle test of a 64 x 64
// rectangle inside a 256 x 256 mask at 1000 places, and building the mask of a 256 x 256
// 32-bit surface from its colour key and from its alpha plane.
//
// "vexa" runs the exported functions at the library's SIMD level, "scalar" the same work with
// the 64-bit word kernels. The pygame peer runs in its own process: bench/pygame_masks.py
// builds the same masks, offsets and pixels and prints its ratio lines after this program.
#include <cstdint>
#include <random>
#include <vector>

#include <vexa/collision_mask.h>
#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "bank/mask/collision_mask_build.h"
#include "bank/mask/mask_kernels.h"
#include "bank/mask/mask_tests.h"
#include "bench_pairs.h"

namespace {

constexpr int kSize = 256;
constexpr int kRowBytes = static_cast<int>(MaskRowBytes(kSize));
constexpr int kTests = 1000;
constexpr int kRect = 64;

struct Offset {
  int x, y;
};

// The offsets B takes relative to A; dy is even, so that the row-parity masks never meet.
// (bench/pygame_masks.py uses the same formulas.)
const std::vector<Offset>& Offsets() {
  static const std::vector<Offset> offsets = [] {
    std::vector<Offset> o;
    for (int i = 0; i < kTests; ++i) o.push_back({(i * 37) % 65 - 32, ((i * 11) % 33 - 16) * 2});
    return o;
  }();
  return offsets;
}

const std::vector<Offset>& RectPlaces() {
  static const std::vector<Offset> places = [] {
    std::vector<Offset> o;
    for (int i = 0; i < kTests; ++i) o.push_back({16 + (i * 53) % 161, 16 + (i * 29) % 161});
    return o;
  }();
  return places;
}

// Rows y with (y % 2 == parity) fully set.
std::vector<std::uint8_t> RowParityMask(int parity) {
  std::vector<std::uint8_t> bits(static_cast<size_t>(kRowBytes) * kSize, 0);
  for (int y = parity; y < kSize; y += 2)
    std::fill_n(bits.begin() + y * kRowBytes, kRowBytes, 0xFF);
  return bits;
}

// Only the outermost rows and columns set: a 64 x 64 rectangle inside finds nothing.
std::vector<std::uint8_t> RingMask() {
  std::vector<std::uint8_t> bits(static_cast<size_t>(kRowBytes) * kSize, 0);
  std::fill_n(bits.begin(), kRowBytes, 0xFF);
  std::fill_n(bits.begin() + (kSize - 1) * kRowBytes, kRowBytes, 0xFF);
  for (int y = 0; y < kSize; ++y) {
    bits[y * kRowBytes] |= 0x01;
    bits[y * kRowBytes + kRowBytes - 1] |= 0x80;
  }
  return bits;
}

struct MaskPair {
  std::vector<std::uint8_t> a, b;
};
const MaskPair& NoHitPair() {
  static const MaskPair pair{RowParityMask(0), RowParityMask(1)};
  return pair;
}
const MaskPair& HitPair() {
  static const MaskPair pair{std::vector<std::uint8_t>(kRowBytes * kSize, 0xFF),
                             std::vector<std::uint8_t>(kRowBytes * kSize, 0xFF)};
  return pair;
}
const std::vector<std::uint8_t>& Ring() {
  static const std::vector<std::uint8_t> ring = RingMask();
  return ring;
}

int OverlapAll(const vexa::MaskKernels& kernels, const MaskPair& pair) {
  int hits = 0;
  for (const Offset& o : Offsets()) {
    hits += vexa::OverlapMasks(kernels, pair.a.data(), pair.b.data(), 0, 0, kSize, kSize, o.x, o.y,
                               kSize, kSize);
  }
  return hits;
}

int RectAll(const vexa::MaskKernels& kernels) {
  int hits = 0;
  for (const Offset& o : RectPlaces()) {
    hits += vexa::MaskRectHasSetBit(kernels, Ring().data(), kSize, kSize, o.x, o.y, kRect, kRect);
  }
  return hits;
}

// A 256 x 256 32-bit surface: random pixels, half of them the colour key (magenta); with
// `alpha`, a random alpha plane with half of its bytes 0.
cSurfaceImplementation* MakeSurface(bool alpha) {
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, 32, kTypeMemory, kDriverNone);
  cSurfaceImplementation* s = prototype->implementation->CreateCompatible(kSize, kSize);
  s->SetTransparentColor(0x00FF00FF);
  std::mt19937 random(9);
  for (int y = 0; y < kSize; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(s->Row(y));
    for (int x = 0; x < kSize; ++x) row[x] = random() % 2 ? s->transparentValue : random();
  }
  if (alpha) {
    s->CreateAlpha();
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x)
        s->AlphaRow(y)[x] = random() % 2 ? 0 : static_cast<std::uint8_t>(random());
  }
  return s;
}

cSurfaceImplementation* KeyedSurface() {
  static cSurfaceImplementation* const s = MakeSurface(false);
  return s;
}
cSurfaceImplementation* AlphaSurface() {
  static cSurfaceImplementation* const s = MakeSurface(true);
  return s;
}

std::vector<std::uint8_t>& MaskBlock() {
  static std::vector<std::uint8_t> block(static_cast<size_t>(MaskBlockSize(kSize, kSize)));
  return block;
}

void Build(cSurfaceImplementation* s, const vexa::MaskKernels& kernels) {
  auto* mask = reinterpret_cast<CollisionMask*>(MaskBlock().data());
  vexabench::Keep(vexa::BuildSurfaceMask(*s, mask, 0, kernels));
}

const vexa::MaskKernels& Scalar() { return vexa::MaskKernelsAt(vexa::SimdLevel::Scalar); }

const vexabench::Registrar kRegistrar([] {
  vexabench::RegisterCase(
      "mask_overlap_nohit_256", "M tests/s", kTests,
      {{"vexa", [] { vexabench::Keep(OverlapAll(vexa::ActiveMaskKernels(), NoHitPair())); }},
       {"scalar", [] { vexabench::Keep(OverlapAll(Scalar(), NoHitPair())); }}});
  vexabench::RegisterCase(
      "mask_overlap_earlyhit_256", "M tests/s", kTests,
      {{"vexa", [] { vexabench::Keep(OverlapAll(vexa::ActiveMaskKernels(), HitPair())); }},
       {"scalar", [] { vexabench::Keep(OverlapAll(Scalar(), HitPair())); }}});
  vexabench::RegisterCase("mask_rect_64_in_256", "M tests/s", kTests,
                          {{"vexa", [] { vexabench::Keep(RectAll(vexa::ActiveMaskKernels())); }},
                           {"scalar", [] { vexabench::Keep(RectAll(Scalar())); }}});
  vexabench::RegisterCase("mask_build_256_colourkey", "Mpix/s", double{kSize} * kSize,
                          {{"vexa", [] { Build(KeyedSurface(), vexa::ActiveMaskKernels()); }},
                           {"scalar", [] { Build(KeyedSurface(), Scalar()); }}});
  vexabench::RegisterCase("mask_build_256_alpha", "Mpix/s", double{kSize} * kSize,
                          {{"vexa", [] { Build(AlphaSurface(), vexa::ActiveMaskKernels()); }},
                           {"scalar", [] { Build(AlphaSurface(), Scalar()); }}});
});

}  // namespace
