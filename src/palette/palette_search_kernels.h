// Versions of the vector-form nearest-colour search per instruction level (see
// palette_search.h for the form). Declarations only: the SIMD files include this header and
// nothing that defines inline code, so none of their code can be shared with other files.
#pragma once

#include <vexa/wintypes.h>

namespace vexa {

int SearchVectorScalar(const PALETTEENTRY* entries, int count, COLORREF color);
int SearchVectorSse2(const PALETTEENTRY* entries, int count, COLORREF color);
int SearchVectorAvx2(const PALETTEENTRY* entries, int count, COLORREF color);

}  // namespace vexa
