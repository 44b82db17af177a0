// Logical palette records for tests.
#pragma once

#include <vexa/palette.h>

namespace testsupport {

// 256 grey entries: entry i is (i, i, i).
inline LOGPALETTE256 GreyRecord() {
  LOGPALETTE256 record{};
  record.palVersion = 0x300;
  record.palNumEntries = 256;
  for (int i = 0; i < 256; ++i) record.palPalEntry[i] = PALETTEENTRY{BYTE(i), BYTE(i), BYTE(i), 0};
  return record;
}

inline const LOGPALETTE* AsRecord(const LOGPALETTE256& record) {
  return reinterpret_cast<const LOGPALETTE*>(&record);
}

}  // namespace testsupport
