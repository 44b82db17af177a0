// Open and save dialogs for image files: the file-type list comes from the filters of a
// CImageFilterMgr, and a panel beside the file list shows the selected file's format, size,
// depth, frame count and a preview. On return the caller learns the filter identifier that
// goes with the chosen file.
#pragma once

#include <cstdint>

#include <vexa/export.h>
#include <vexa/file_dialog.h>

class CImageFilterMgr;
class cSurfaceObject;

// Kinds flag: which filters are listed.
inline constexpr int kDialogListImages = 1;      // filters whose SupportsImages answers non-zero
inline constexpr int kDialogListAnimations = 2;  // filters whose SupportsAnimations does

// The hook's context (the record's lCustData while the dialog shows).
struct ImageDialogContext {
  CImageFilterMgr* manager;
  cSurfaceObject* preview;  // the selected file's image, owned; null when none
  std::int32_t kinds;
  std::uint32_t id;                // in: the caller's identifier; out: the chosen one
  const WCHAR* defaultExtensions;  // first extension of each listed filter, each null-ended
  std::int32_t defaultExtensionCount;
  std::int32_t open;
};

// Shows the open (open non-zero) or save dialog. The caller fills at least the owner, the file
// buffer and its size; the function sets the filter list, initial entry, flags, hook, panel and
// (saving) the default extension, and puts the caller's values of those fields back before
// returning. Non-zero when the user confirmed; *id (may be null) then holds the identifier of
// the chosen file's filter: when opening the one that recognised the file, when saving the one
// of the chosen entry.
VEXA_API int ImageFileDialogW(OPENFILENAMEW* record, int open, CImageFilterMgr* manager,
                              std::uint32_t* id, int kinds);
// The narrow form: the record's strings are UTF-8 (code page 0). A result that does not fit
// the caller's buffer as UTF-8 returns 0 (GetFileDialogError answers 3) and writes nothing.
VEXA_API int ImageFileDialog(OPENFILENAMEA* record, int open, CImageFilterMgr* manager,
                             std::uint32_t* id, int kinds);
// The dialogs' hook procedure.
VEXA_API UINT_PTR ImageFileDialogHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
