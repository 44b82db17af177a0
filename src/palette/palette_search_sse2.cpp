// The vector form of the nearest-colour search with SSE2, four entries at a time.
#include "base/simd_sse2.h"
#include "palette/palette_search_kernels.h"
#include "palette/palette_search_vector.h"

namespace vexa {

int SearchVectorSse2(const PALETTEENTRY* entries, int count, COLORREF color) {
  return SearchVectorWith<Sse2>(entries, count, color);
}

}  // namespace vexa
