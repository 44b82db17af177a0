// The scalar map-stamp kernels, the per-level tables, and how a stamp is cut into rows.
#include "sprite/map_stamp_kernels.h"

#include <bit>

#include "sprite/map_stamp_rows.h"

namespace vexa {
namespace {

static_assert(std::endian::native == std::endian::little,
              "mask rows and plane rows are read as little-endian words");

// Bits first..last (inclusive, 0-63) of a 64-bit word.
std::uint64_t Span64(std::int64_t first, std::int64_t last) {
  return (~std::uint64_t{0} << first) & (~std::uint64_t{0} >> (63 - last));
}

MapStampKernels BuildMapStampKernels(SimdLevel level) {
  switch (level) {
    case SimdLevel::Avx2:
      return MapStampKernelsAvx2();
    case SimdLevel::Sse2:
      return MapStampKernelsSse2();
    case SimdLevel::Scalar:
      break;
  }
  return MapStampKernelsWith<StampWord64>();
}

using MapStampTables = SimdTables<MapStampKernels, BuildMapStampKernels>;

}  // namespace

void StampMaskRows(const MapStampKernels& kernels, std::uint8_t* plane, int rowBytes,
                   const MapBox& box, std::int64_t px, std::int64_t py, const CollisionMask* mask,
                   bool set) {
  RowStamp r;
  r.firstByte = box.left >> 3;
  r.words = ((box.right >> 3) - r.firstByte) / 8 + 1;
  r.firstSpan = Span64(box.left - r.firstByte * 8, 63);
  r.lastSpan = Span64(0, box.right - r.firstByte * 8 - 64 * (r.words - 1));
  // The mask bit under the plane's column firstByte * 8; box.left >= px, so it is at most 7
  // bits before the mask row.
  const std::int64_t sourceBit = r.firstByte * 8 - px;
  r.sourceByte = sourceBit >> 3;  // rounds towards minus infinity
  r.shift = static_cast<int>(sourceBit & 7);
  r.partialLast = r.firstByte + 8 * r.words > rowBytes;
  for (int k = 0; k < 6; ++k)
    r.spans[k] = (k == 0 ? r.firstSpan : ~std::uint64_t{0}) &
                 (k == r.words - 1 ? r.lastSpan : ~std::uint64_t{0});
  r.lastBytes = rowBytes - (r.firstByte + 8 * (r.words - 1));
  (set ? kernels.set : kernels.clear)(plane, rowBytes, box.top, box.bottom, py, mask, r);
}

const MapStampKernels& MapStampKernelsAt(SimdLevel level) { return MapStampTables::At(level); }
const MapStampKernels& ActiveMapStampKernels() { return MapStampTables::Active(); }

}  // namespace vexa
