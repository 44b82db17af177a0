// The vector form of the nearest-colour search with AVX2, eight entries at a time.
#include "base/simd_avx2.h"
#include "palette/palette_search_kernels.h"
#include "palette/palette_search_vector.h"

namespace vexa {

int SearchVectorAvx2(const PALETTEENTRY* entries, int count, COLORREF color) {
  return SearchVectorWith<Avx2>(entries, count, color);
}

}  // namespace vexa
