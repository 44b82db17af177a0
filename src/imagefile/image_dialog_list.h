// The file-type list of the image file dialogs, built from a filter manager's table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <vexa/wintypes.h>

class CImageFilterMgr;

namespace vexa {

struct ImageFilterList {
  std::u16string filter;             // the record's filter string, entries separated by nulls
  int initialIndex = 1;              // the record's 1-based entry shown first
  std::vector<std::uint32_t> ids;    // identifier of each listed filter, in list order
  std::u16string defaultExtensions;  // first extension of each, each ended by a null
  std::vector<std::u16string> firstExtensions;
};

// Lists the filters the kinds flag selects (saving: only those that can write that kind) that
// have extensions. Open dialogs put the all-formats entry first and "All files" last.
ImageFilterList BuildImageFilterList(CImageFilterMgr* manager, bool open, int kinds,
                                     std::uint32_t callerId);

// The listed filter an entry of the record stands for (index counts from 1); -1 for the
// all-formats and "All files" entries of the open dialog or an index out of range.
int ListedFilterOfEntry(const ImageFilterList& list, bool open, int index);

// A string of the library's string table (up to 255 characters), empty when there is none.
std::u16string LibraryText(UINT id);

// The built-in panel of the image dialogs, as a template handle.
HINSTANCE ImageDialogPanel();

// Panel controls.
inline constexpr int kFieldType = 100, kFieldWidth = 101, kFieldHeight = 102, kFieldDepth = 103,
                     kPreviewArea = 104, kFramesLabel = 105, kFramesValue = 106;
inline constexpr int kStringImages = 100, kStringAnimations = 101, kStringGraphics = 102,
                     kStringAllFiles = 103, kStringEntryFormat = 104, kStringUnknownFormat = 105;

}  // namespace vexa
