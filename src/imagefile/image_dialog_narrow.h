// The narrow open-file record carried over to the wide one and the results carried back.
#pragma once

#include <string>
#include <vector>

#include <vexa/file_dialog.h>

namespace vexa {

// A wide record over storage of its own, made from a narrow one. The buffers the dialog writes
// (file, file title, custom filter) have the caller's sizes in characters: UTF-8 never takes
// fewer bytes than UTF-16 takes units, so the caller's text always fits.
struct WideFileRecord {
  OPENFILENAMEW record{};
  std::u16string filter, initialDir, title, defaultExtension;
  std::vector<WCHAR> file, fileTitle, customFilter;
};

// The narrow strings are read up to their terminators and the buffers never past their sizes
// (a buffer without a null is taken whole).
void WidenFileRecord(const OPENFILENAMEA& narrow, WideFileRecord* wide);
// Writes the wide results into the narrow record: file, file title, custom filter, offsets
// (in bytes) and filter index. False, with nothing written, when one does not fit.
bool NarrowFileResults(const WideFileRecord& wide, OPENFILENAMEA* narrow);

}  // namespace vexa
