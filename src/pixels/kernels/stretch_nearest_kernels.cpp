// The scalar row kernels of the nearest-pixel scaler and the choice of kernels per level.
#include "pixels/kernels/stretch_nearest_kernels.h"

#include <cstring>

namespace vexa {
namespace {

template <int Bytes>
void NearestRow(const std::uint8_t* source, const std::int32_t* columns, std::uint8_t* out,
                int count) {
  for (int i = 0; i < count; ++i) {
    std::memcpy(out + i * Bytes, source + static_cast<std::ptrdiff_t>(columns[i]) * Bytes, Bytes);
  }
}

}  // namespace

void NearestRow1(const std::uint8_t* s, int, const std::int32_t* c, std::uint8_t* o, int n) {
  NearestRow<1>(s, c, o, n);
}
void NearestRow2(const std::uint8_t* s, int, const std::int32_t* c, std::uint8_t* o, int n) {
  NearestRow<2>(s, c, o, n);
}
void NearestRow3(const std::uint8_t* s, int, const std::int32_t* c, std::uint8_t* o, int n) {
  NearestRow<3>(s, c, o, n);
}
void NearestRow4(const std::uint8_t* s, int, const std::int32_t* c, std::uint8_t* o, int n) {
  NearestRow<4>(s, c, o, n);
}

namespace {

NearestRowKernels BuildNearestRowKernels(SimdLevel level) {
  NearestRowKernels kernels{{NearestRow1, NearestRow2, NearestRow3, NearestRow4}};
  // Only 4-byte pixels have a vector form (AVX2 permutes and gathers); SSE2 has neither.
  if (level == SimdLevel::Avx2) kernels.rows[3] = NearestRow4Avx2;
  return kernels;
}

}  // namespace

using NearestRowTables = SimdTables<NearestRowKernels, BuildNearestRowKernels>;

const NearestRowKernels& NearestRowKernelsAt(SimdLevel level) {
  return NearestRowTables::At(level);
}
const NearestRowKernels& ActiveNearestRowKernels() { return NearestRowTables::Active(); }

}  // namespace vexa
