// The demo's one face for labels, score and frame rate.
#pragma once

#include <vexa/vexa.h>

namespace demo {

// DejaVu Sans is installed with the build dependencies: the same glyphs on every machine, so the
// checked-in frame checksums hold everywhere.
inline HFONT DejaVuSansFont(LONG height, LONG weight) {
  LOGFONTW log{};
  log.lfHeight = height;
  log.lfWeight = weight;
  const char16_t face[] = u"DejaVu Sans";
  for (int i = 0; face[i]; ++i) log.lfFaceName[i] = face[i];
  return CreateFontSubstitutedW(nullptr, &log);
}

}  // namespace demo
