// Open and save file dialogs: the open-file record, the hook messages and the dialog service
// calls a hook makes.
//
// The record keeps the platform's field order with native pointers. Dialogs run on GTK 3
// (loaded when first needed) or, in tests, on a scripted backend; both deliver their events to
// the record's hook as WM_INITDIALOG, WM_NOTIFY (CDN_* codes) and WM_PAINT. A hook acts on the
// dialog through the calls below, given the dialog handle it received.
//
// Caller-given dialog templates (OFN_ENABLETEMPLATE with a module and name) cannot exist here
// and are ignored; OFN_ENABLETEMPLATEHANDLE accepts only the library's own panels.
#pragma once

#include <cstdint>

#include <vexa/export.h>
#include <vexa/wintypes.h>

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using UINT_PTR = std::uintptr_t;

// A dialog hook: answers non-zero when it handled the message.
using LPOFNHOOKPROC = UINT_PTR (*)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

struct OPENFILENAMEW {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;  // with OFN_ENABLETEMPLATEHANDLE: a panel of the library
  const WCHAR* lpstrFilter;
  WCHAR* lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;
  WCHAR* lpstrFile;
  DWORD nMaxFile;
  WCHAR* lpstrFileTitle;
  DWORD nMaxFileTitle;
  const WCHAR* lpstrInitialDir;
  const WCHAR* lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  const WCHAR* lpstrDefExt;
  LPARAM lCustData;
  LPOFNHOOKPROC lpfnHook;
  const WCHAR* lpTemplateName;
};

// The same record with narrow strings.
struct OPENFILENAMEA {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;
  const char* lpstrFilter;
  char* lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;
  char* lpstrFile;
  DWORD nMaxFile;
  char* lpstrFileTitle;
  DWORD nMaxFileTitle;
  const char* lpstrInitialDir;
  const char* lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  const char* lpstrDefExt;
  LPARAM lCustData;
  LPOFNHOOKPROC lpfnHook;
  const char* lpTemplateName;
};

// Record flags the dialogs honour.
inline constexpr DWORD OFN_OVERWRITEPROMPT = 0x2;
inline constexpr DWORD OFN_ENABLEHOOK = 0x20;
inline constexpr DWORD OFN_ENABLETEMPLATE = 0x40;
inline constexpr DWORD OFN_ENABLETEMPLATEHANDLE = 0x80;
inline constexpr DWORD OFN_ALLOWMULTISELECT = 0x200;
inline constexpr DWORD OFN_PATHMUSTEXIST = 0x800;
inline constexpr DWORD OFN_FILEMUSTEXIST = 0x1000;
inline constexpr DWORD OFN_ENABLESIZING = 0x800000;

// Hook messages and notification codes.
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_NOTIFY = 0x004E;
inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT CDN_SELCHANGE = static_cast<UINT>(-602);
inline constexpr UINT CDN_FILEOK = static_cast<UINT>(-606);
inline constexpr UINT CDN_TYPECHANGE = static_cast<UINT>(-607);

struct NMHDR {
  HWND hwndFrom;
  UINT_PTR idFrom;
  UINT code;
};
// WM_NOTIFY's lParam: the notice and the record the dialog was shown with (nFilterIndex is
// already the new entry at CDN_TYPECHANGE).
struct OFNOTIFYW {
  NMHDR hdr;
  OPENFILENAMEW* lpOFN;
  WCHAR* pszFile;
};

// Why the last dialog call of this process returned 0.
inline constexpr int kDialogCancelled = 0;       // the user cancelled (or nothing went wrong)
inline constexpr int kDialogNoGtk = 1;           // libgtk-3.so.0 could not be loaded
inline constexpr int kDialogNoDisplay = 2;       // GTK found no display to open
inline constexpr int kDialogBufferTooSmall = 3;  // a result did not fit the caller's buffer
inline constexpr int kDialogWrongThread = 4;     // dialogs belong to the thread that showed one
VEXA_API int GetFileDialogError();

// The wide open and save dialogs. Non-zero when the user confirmed; the record's file,
// file title, offsets and filter index then hold the choice. Multi-selection returns the folder
// and the names, each ended by a null, the list by a second one (one file: its whole path).
// 0 leaves the result fields untouched.
VEXA_API BOOL GetOpenFileNameWide(OPENFILENAMEW* record);
VEXA_API BOOL GetSaveFileNameWide(OPENFILENAMEW* record);

// Dialog service calls for hooks; dialog is the handle the hook received.
// Text and visibility of a panel control.
VEXA_API BOOL SetDialogItemTextWide(HWND dialog, int item, const WCHAR* text);
VEXA_API UINT GetDialogItemTextWide(HWND dialog, int item, WCHAR* buffer, int size);
VEXA_API BOOL ShowDialogItem(HWND dialog, int item, BOOL show);
// The file selected in the dialog (any length): the number of characters copied, or when
// size is too small the size needed (with the null); 0 when nothing is selected.
VEXA_API int GetDialogFilePath(HWND dialog, WCHAR* buffer, int size);
// The extension a typed name without one receives.
VEXA_API BOOL SetDialogDefaultExtension(HWND dialog, const WCHAR* extension);
// A message box in front of the dialog.
VEXA_API BOOL ShowDialogMessage(HWND dialog, const WCHAR* text, const WCHAR* caption);
// At CDN_FILEOK: refuse the file; the dialog stays open.
VEXA_API BOOL RefuseDialogFile(HWND dialog);
// Asks for a WM_PAINT of the panel.
VEXA_API BOOL InvalidateDialogItem(HWND dialog, int item);

// During WM_PAINT: the pixels of a panel control (rows of 0x00RRGGBB words, pitch in words);
// null when the item cannot be painted.
struct DialogCanvas {
  std::uint32_t* pixels;
  int width, height, pitch;
};
VEXA_API BOOL GetDialogItemCanvas(HWND dialog, int item, DialogCanvas* canvas);
