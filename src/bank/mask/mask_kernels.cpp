// The portable mask kernels (64-bit words) and the per-level tables.
#include "bank/mask/mask_kernels.h"

#include <bit>
#include <cstring>

#include "bank/mask/mask_classify.h"
#include "bank/mask/mask_overlap_kernel.h"

namespace vexa {
namespace {

static_assert(std::endian::native == std::endian::little,
              "mask rows are read as little-endian words");

struct Word64 {
  using V = std::uint64_t;
  using Count = int;
  static constexpr int kBytes = 8;
  static V Load(const std::uint8_t* p) {
    V value;
    std::memcpy(&value, p, sizeof value);
    return value;
  }
  static V FromWords(const std::uint64_t* words) { return words[0]; }
  static V And(V a, V b) { return a & b; }
  static V Or(V a, V b) { return a | b; }
  static bool Disjoint(V a, V b) { return (a & b) == 0; }
  static Count Counts(int shift) { return shift; }
  static V ShiftPair(V current, V earlier, Count shift) {
    return (current << shift) | (earlier >> (8 - shift));
  }
};

template <typename P>
P LoadPixel(const std::uint8_t* p) {
  P value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

void ClassifyRow8Scalar(const std::uint8_t* row, int width, std::uint32_t key,
                        std::uint64_t* words) {
  const auto k = static_cast<std::uint8_t>(key);
  auto pixel = [k](const std::uint8_t* p) { return *p != k; };
  ClassifyRowWith<1, 1>(row, width, words, pixel, pixel);
}

void ClassifyRow16Scalar(const std::uint8_t* row, int width, std::uint32_t key,
                         std::uint64_t* words) {
  const auto k = static_cast<std::uint16_t>(key);
  auto pixel = [k](const std::uint8_t* p) { return LoadPixel<std::uint16_t>(p) != k; };
  ClassifyRowWith<1, 2>(row, width, words, pixel, pixel);
}

// The spare fourth byte counts: pixels that differ from the key only there are solid.
void ClassifyRow32Scalar(const std::uint8_t* row, int width, std::uint32_t key,
                         std::uint64_t* words) {
  auto pixel = [key](const std::uint8_t* p) { return LoadPixel<std::uint32_t>(p) != key; };
  ClassifyRowWith<1, 4>(row, width, words, pixel, pixel);
}

// The scalar table; 3-byte pixels have no vector form at any level.
constexpr MaskKernels kScalarKernels{
    AnyOverlapScalar,    AnySetScalar,        ClassifyRow8Scalar,
    ClassifyRow16Scalar, ClassifyRow24Scalar, ClassifyRow32Scalar,
};

}  // namespace

// Pixels are stored blue, green, red: a pixel is solid when any of its three bytes differs.
void ClassifyRow24Scalar(const std::uint8_t* row, int width, std::uint32_t key,
                         std::uint64_t* words) {
  const std::uint32_t k = key & 0xFFFFFF;
  auto pixel = [k](const std::uint8_t* p) {
    return (p[0] | (p[1] << 8) | (static_cast<std::uint32_t>(p[2]) << 16)) != k;
  };
  ClassifyRowWith<1, 3>(row, width, words, pixel, pixel);
}

bool AnyOverlapScalar(const MaskRowSpan& span) { return AnyOverlapRows<Word64>(span); }
bool AnySetScalar(const MaskRowSpan& span) { return AnyOverlapRows<Word64, true>(span); }

MaskKernels BuildMaskKernels(SimdLevel level) {
  switch (level) {
    case SimdLevel::Avx2:
      return MaskKernelsAvx2();
    case SimdLevel::Sse2:
      return MaskKernelsSse2();
    case SimdLevel::Scalar:
      break;
  }
  return kScalarKernels;
}

using MaskTables = SimdTables<MaskKernels, BuildMaskKernels>;

const MaskKernels& MaskKernelsAt(SimdLevel level) { return MaskTables::At(level); }
const MaskKernels& ActiveMaskKernels() { return MaskTables::Active(); }

}  // namespace vexa
