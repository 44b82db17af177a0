// The dialog service: one open or save dialog at a time, run by a backend (GTK 3, or the
// scripted backend of the tests) that reports what the user does to a DialogSession. The
// session turns those events into the hook messages of the caller's record and keeps what the
// hook sets (panel texts, visibility, default extension, refusals), so every backend runs the
// same hook code.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <vexa/file_dialog.h>

namespace plat {

// ---- panels ----------------------------------------------------------------------------------

// A control of an extra panel: labels and value fields carry text; the preview is painted by
// the hook at WM_PAINT. Positions are in panel pixels.
enum class PanelControlKind { kLabel, kField, kPreview };
struct PanelControl {
  int id;
  PanelControlKind kind;
  const char16_t* text;
  int x, y, width, height;
  bool hidden;
};
struct DialogPanel {
  const PanelControl* controls;
  int count;
  int width, height;
};
// The template handle (OFN_ENABLETEMPLATEHANDLE) of a panel of the library. Only handles made
// here are accepted by the dialogs; any other handle is ignored like a caller's template.
HINSTANCE RegisterDialogPanel(const DialogPanel* panel);
const DialogPanel* FindDialogPanel(HINSTANCE handle);

// ---- requests ----------------------------------------------------------------------------------

struct DialogFilter {
  std::u16string name;
  std::vector<std::u16string> patterns;  // "*.png"; matched without regard to case
};

struct DialogRequest {
  bool save = false;
  HWND owner = nullptr;
  std::u16string title;
  std::u16string folder;    // empty: the current folder
  std::u16string fileName;  // initial name (a whole path sets the folder too)
  std::vector<DialogFilter> filters;
  int filterIndex = 0;  // 0-based entry shown first
  DWORD flags = 0;
  const DialogPanel* panel = nullptr;
};

// Splits a record's filter string ("name\0patterns\0...\0\0") into entries; patterns are
// separated by semicolons.
std::vector<DialogFilter> ParseFilterList(const WCHAR* list);
// True when name matches one of the patterns ('*' and '?', case ignored for ASCII letters).
bool MatchesFilter(const DialogFilter& filter, std::u16string_view name);

// ---- sessions ----------------------------------------------------------------------------------

// What the backend shows of the panel and asks the user; the backends implement it.
class DialogView {
 public:
  virtual ~DialogView() = default;
  virtual void ItemChanged(int item) = 0;  // text or visibility
  virtual void Invalidate(int item) = 0;
  virtual void Message(const std::u16string& text, const std::u16string& caption) = 0;
  // Yes/no question (overwrite prompt); true for yes.
  virtual bool Confirm(const std::u16string& text) = 0;
};

struct PanelItemState {
  std::u16string text;
  bool visible = true;
};

class DialogSession {
 public:
  DialogSession(OPENFILENAMEW* record, DialogRequest request);
  DialogSession(const DialogSession&) = delete;
  DialogSession& operator=(const DialogSession&) = delete;
  ~DialogSession();

  HWND Handle() { return reinterpret_cast<HWND>(this); }
  static DialogSession* FromHandle(HWND handle);  // null unless a live session's

  const DialogRequest& Request() const { return request_; }
  void SetView(DialogView* view) { view_ = view; }

  // Events from the backend, in the order the user causes them.
  void Start();                                // WM_INITDIALOG
  void SelectionChanged(std::u16string path);  // CDN_SELCHANGE
  void TypeChanged(int index);                 // CDN_TYPECHANGE; 0-based entry
  // The user accepts paths (one unless multi-selecting): checks the flags, adds the default
  // extension, asks the hook (CDN_FILEOK). True when the choice stands.
  bool Accept(std::vector<std::u16string> paths);
  // Paints panel item (the preview) at width x height through the hook: 0x00RRGGBB rows.
  const std::vector<std::uint32_t>& Paint(int item, int width, int height);

  // Save dialogs: the typed name with its extension replaced by the default extension.
  std::u16string RenameForType(const std::u16string& typed) const;

  // What the hook set.
  const PanelItemState* Item(int item) const;
  PanelItemState* MutableItem(int item);
  const std::u16string& SelectedPath() const { return selected_; }
  const std::u16string& DefaultExtension() const { return defaultExtension_; }
  void SetDefaultExtension(std::u16string extension) { defaultExtension_ = std::move(extension); }
  void Refuse() { refused_ = true; }
  void ShowMessage(const std::u16string& text, const std::u16string& caption);
  void InvalidateItem(int item);
  void ItemChanged(int item) {
    if (view_) view_->ItemChanged(item);
  }
  DialogCanvas* Canvas(int item);

  const std::vector<std::u16string>& AcceptedPaths() const { return accepted_; }
  int FilterIndex() const { return filterIndex_; }

 private:
  UINT_PTR CallHook(UINT message, WPARAM wParam, LPARAM lParam);
  UINT_PTR Notify(UINT code, const std::u16string& file);

  OPENFILENAMEW* record_;
  DialogRequest request_;
  DialogView* view_ = nullptr;
  std::vector<std::pair<int, PanelItemState>> items_;
  std::u16string selected_;
  std::u16string defaultExtension_;
  std::u16string notifyFile_;
  std::vector<std::u16string> accepted_;
  int filterIndex_ = 0;
  bool refused_ = false;
  int paintItem_ = -1;
  std::vector<std::uint32_t> paintPixels_;
  DialogCanvas canvas_{};
};

// ---- backends ----------------------------------------------------------------------------------

class DialogBackend {
 public:
  virtual ~DialogBackend() = default;
  // kDialogCancelled when dialogs can be shown, else why not (no GTK, no display).
  virtual int Availability() = 0;
  // Shows the dialog until the user accepts (true, session.AcceptedPaths() filled) or cancels.
  virtual bool Run(DialogSession& session) = 0;
};

// The GTK 3 backend, loaded on first use.
DialogBackend& GtkDialogBackend();

// Replaces the backend for the tests (null: GTK again) and forgets the dialog thread.
void SetDialogBackend(DialogBackend* backend);

// The GTK backend's automation for its smoke test: steps run from GTK timers once the dialog
// shows, each delayMs after the previous one.
struct GtkAutomationStep {
  enum Kind { kSelect, kAccept, kCancel } kind;
  int delayMs;
  std::u16string path;  // kSelect
};
void SetGtkAutomation(std::vector<GtkAutomationStep> steps);

// The X11 window id of an owner window, 0 when it has none (another video driver).
unsigned long OwnerX11Window(HWND owner);

// Records why the last call failed (the exported query answers it).
void SetDialogError(int error);

}  // namespace plat
