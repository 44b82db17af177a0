// The exported open/save calls over the dialog service: the record read into a request, the
// thread and availability checks, and the results written back only when they all fit.
#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "platform/dialog/dialog.h"

namespace plat {
namespace {

std::atomic<int> gLastError{kDialogCancelled};
DialogBackend* gTestBackend = nullptr;
std::mutex gThreadMutex;
bool gHasThread = false;
std::thread::id gDialogThread;

std::u16string Text(const WCHAR* text) { return text ? std::u16string(text) : std::u16string(); }

DialogRequest RequestOf(const OPENFILENAMEW& record, bool save) {
  DialogRequest request;
  request.save = save;
  request.owner = record.hwndOwner;
  request.title = Text(record.lpstrTitle);
  request.folder = Text(record.lpstrInitialDir);
  if (record.lpstrFile && record.nMaxFile > 0) {
    const WCHAR* begin = record.lpstrFile;
    const WCHAR* end = std::find(begin, begin + record.nMaxFile, u'\0');
    request.fileName.assign(begin, end);
  }
  request.filters = ParseFilterList(record.lpstrFilter);
  // nFilterIndex counts from 1; 0 (the custom filter, which we do not show) means the first.
  const int count = static_cast<int>(request.filters.size());
  request.filterIndex = record.nFilterIndex > 0 && static_cast<int>(record.nFilterIndex) <= count
                            ? static_cast<int>(record.nFilterIndex) - 1
                            : 0;
  request.flags = record.Flags;
  if (record.Flags & OFN_ENABLETEMPLATEHANDLE) request.panel = FindDialogPanel(record.hInstance);
  return request;
}

// Folder of the first path and the names of all: the multi-selection result.
std::u16string ResultText(const std::vector<std::u16string>& paths, bool multi) {
  if (!multi || paths.size() == 1) return paths.front();
  const std::u16string& first = paths.front();
  const std::size_t slash = first.find_last_of(u'/');
  std::u16string folder = slash == 0 ? u"/" : first.substr(0, slash);
  std::u16string text = folder;
  text += u'\0';
  for (const std::u16string& path : paths) {
    text += path.substr(path.find_last_of(u'/') + 1);
    text += u'\0';
  }
  return text;  // the final null goes in as the terminator
}

bool WriteResults(OPENFILENAMEW* record, const DialogSession& session) {
  const std::vector<std::u16string>& paths = session.AcceptedPaths();
  const bool multi = (record->Flags & OFN_ALLOWMULTISELECT) != 0;
  const std::u16string file = ResultText(paths, multi);
  const std::u16string& path = paths.front();
  const std::size_t slash = path.find_last_of(u'/');
  const std::size_t nameStart = slash == std::u16string::npos ? 0 : slash + 1;
  const std::u16string title = path.substr(nameStart);
  // Check every buffer before writing any.
  if (!record->lpstrFile || file.size() + 1 > record->nMaxFile) return false;
  if (record->lpstrFileTitle && title.size() + 1 > record->nMaxFileTitle) return false;
  std::copy(file.begin(), file.end(), record->lpstrFile);
  record->lpstrFile[file.size()] = 0;
  if (record->lpstrFileTitle) {
    std::copy(title.begin(), title.end(), record->lpstrFileTitle);
    record->lpstrFileTitle[title.size()] = 0;
  }
  // Offsets are 16-bit: a path longer than that keeps them at 0xFFFF.
  const std::size_t dot = path.find_last_of(u'.');
  const bool multiResult = multi && paths.size() > 1;
  const std::size_t offset = multiResult ? file.find(u'\0') + 1 : nameStart;
  const std::size_t extension =
      multiResult || dot == std::u16string::npos || dot < nameStart ? 0 : dot + 1;
  record->nFileOffset = static_cast<WORD>(std::min<std::size_t>(offset, 0xFFFF));
  record->nFileExtension = static_cast<WORD>(std::min<std::size_t>(extension, 0xFFFF));
  record->nFilterIndex = static_cast<DWORD>(session.FilterIndex() + 1);
  return true;
}

BOOL ShowFileDialog(OPENFILENAMEW* record, bool save) {
  if (!record) return 0;
  {
    std::lock_guard<std::mutex> lock(gThreadMutex);
    if (gHasThread && gDialogThread != std::this_thread::get_id()) {
      SetDialogError(kDialogWrongThread);
      return 0;
    }
  }
  DialogBackend& backend = gTestBackend ? *gTestBackend : GtkDialogBackend();
  const int availability = backend.Availability();
  if (availability != kDialogCancelled) {
    SetDialogError(availability);
    return 0;
  }
  {
    std::lock_guard<std::mutex> lock(gThreadMutex);
    gHasThread = true;
    gDialogThread = std::this_thread::get_id();
  }
  DialogSession session(record, RequestOf(*record, save));
  if (!backend.Run(session)) {
    SetDialogError(kDialogCancelled);
    return 0;
  }
  if (!WriteResults(record, session)) {
    SetDialogError(kDialogBufferTooSmall);
    return 0;
  }
  SetDialogError(kDialogCancelled);
  return 1;
}

}  // namespace

void SetDialogError(int error) { gLastError = error; }

void SetDialogBackend(DialogBackend* backend) {
  gTestBackend = backend;
  std::lock_guard<std::mutex> lock(gThreadMutex);
  gHasThread = false;
}

}  // namespace plat

using plat::DialogSession;

int GetFileDialogError() { return plat::gLastError; }

BOOL GetOpenFileNameWide(OPENFILENAMEW* record) { return plat::ShowFileDialog(record, false); }
BOOL GetSaveFileNameWide(OPENFILENAMEW* record) { return plat::ShowFileDialog(record, true); }

BOOL SetDialogItemTextWide(HWND dialog, int item, const WCHAR* text) {
  DialogSession* session = DialogSession::FromHandle(dialog);
  plat::PanelItemState* state = session ? session->MutableItem(item) : nullptr;
  if (!state) return 0;
  state->text = text ? text : u"";
  session->ItemChanged(item);
  return 1;
}

UINT GetDialogItemTextWide(HWND dialog, int item, WCHAR* buffer, int size) {
  DialogSession* session = DialogSession::FromHandle(dialog);
  const plat::PanelItemState* state = session ? session->Item(item) : nullptr;
  if (!buffer || size <= 0) return 0;
  buffer[0] = 0;
  if (!state) return 0;
  const std::size_t n =
      std::min<std::size_t>(state->text.size(), static_cast<std::size_t>(size) - 1);
  std::copy_n(state->text.begin(), n, buffer);
  buffer[n] = 0;
  return static_cast<UINT>(n);
}

BOOL ShowDialogItem(HWND dialog, int item, BOOL show) {
  DialogSession* session = DialogSession::FromHandle(dialog);
  plat::PanelItemState* state = session ? session->MutableItem(item) : nullptr;
  if (!state) return 0;
  state->visible = show != 0;
  session->ItemChanged(item);
  return 1;
}

int GetDialogFilePath(HWND dialog, WCHAR* buffer, int size) {
  DialogSession* session = DialogSession::FromHandle(dialog);
  if (!session || session->SelectedPath().empty()) return 0;
  const std::u16string& path = session->SelectedPath();
  const int needed = static_cast<int>(path.size()) + 1;
  if (!buffer || size < needed) return needed;
  std::copy(path.begin(), path.end(), buffer);
  buffer[path.size()] = 0;
  return needed - 1;
}

BOOL SetDialogDefaultExtension(HWND dialog, const WCHAR* extension) {
  DialogSession* session = DialogSession::FromHandle(dialog);
  if (!session) return 0;
  session->SetDefaultExtension(extension ? extension : u"");
  return 1;
}

BOOL ShowDialogMessage(HWND dialog, const WCHAR* text, const WCHAR* caption) {
  DialogSession* session = DialogSession::FromHandle(dialog);
  if (!session) return 0;
  session->ShowMessage(text ? text : u"", caption ? caption : u"");
  return 1;
}

BOOL RefuseDialogFile(HWND dialog) {
  DialogSession* session = DialogSession::FromHandle(dialog);
  if (!session) return 0;
  session->Refuse();
  return 1;
}

BOOL InvalidateDialogItem(HWND dialog, int item) {
  DialogSession* session = DialogSession::FromHandle(dialog);
  if (!session) return 0;
  session->InvalidateItem(item);
  return 1;
}

BOOL GetDialogItemCanvas(HWND dialog, int item, DialogCanvas* canvas) {
  DialogSession* session = DialogSession::FromHandle(dialog);
  DialogCanvas* found = session && canvas ? session->Canvas(item) : nullptr;
  if (!found) return 0;
  *canvas = *found;
  return 1;
}
