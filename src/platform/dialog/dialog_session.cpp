#include <algorithm>
#include <mutex>
#include <set>

#include <sys/stat.h>

#include "platform/dialog/dialog.h"
#include "platform/file/file.h"

namespace plat {
namespace {

std::mutex gLiveMutex;
std::set<const DialogSession*> gLive;
std::mutex gPanelMutex;
std::set<const DialogPanel*> gPanels;

// 'a'..'z' folded to upper case; other units unchanged.
char16_t FoldCase(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

bool WildcardNoCase(std::u16string_view pattern, std::u16string_view name) {
  std::u16string p(pattern), n(name);
  std::transform(p.begin(), p.end(), p.begin(), FoldCase);
  std::transform(n.begin(), n.end(), n.begin(), FoldCase);
  return WildcardMatch(p, n);
}

bool FileExists(const std::u16string& path) {
  struct stat info {};
  return stat(NativePath(path.c_str()).c_str(), &info) == 0;
}

std::size_t NameStart(const std::u16string& path) {
  const std::size_t slash = path.find_last_of(u'/');
  return slash == std::u16string::npos ? 0 : slash + 1;
}

}  // namespace

HINSTANCE RegisterDialogPanel(const DialogPanel* panel) {
  std::lock_guard<std::mutex> lock(gPanelMutex);
  gPanels.insert(panel);
  return reinterpret_cast<HINSTANCE>(const_cast<DialogPanel*>(panel));
}

const DialogPanel* FindDialogPanel(HINSTANCE handle) {
  std::lock_guard<std::mutex> lock(gPanelMutex);
  const auto* panel = reinterpret_cast<const DialogPanel*>(handle);
  return gPanels.count(panel) ? panel : nullptr;
}

std::vector<DialogFilter> ParseFilterList(const WCHAR* list) {
  std::vector<DialogFilter> filters;
  if (!list) return filters;
  while (*list) {
    DialogFilter filter;
    filter.name = list;
    list += filter.name.size() + 1;
    // Entries are read in pairs: an empty pattern list is an entry without patterns, and only
    // an empty name ends the list.
    const std::u16string patterns = list;
    list += patterns.size() + 1;
    std::size_t begin = 0;
    while (begin <= patterns.size()) {
      std::size_t end = patterns.find(u';', begin);
      if (end == std::u16string::npos) end = patterns.size();
      std::u16string one = patterns.substr(begin, end - begin);
      one.erase(0, one.find_first_not_of(u' '));
      if (!one.empty()) filter.patterns.push_back(std::move(one));
      begin = end + 1;
    }
    filters.push_back(std::move(filter));
  }
  return filters;
}

bool MatchesFilter(const DialogFilter& filter, std::u16string_view name) {
  for (const std::u16string& pattern : filter.patterns) {
    // "*.*" means every file, with or without a full stop.
    if (pattern == u"*.*" || pattern == u"*" || WildcardNoCase(pattern, name)) return true;
  }
  return false;
}

DialogSession::DialogSession(OPENFILENAMEW* record, DialogRequest request)
    : record_(record), request_(std::move(request)), filterIndex_(request_.filterIndex) {
  if (record_->lpstrDefExt) defaultExtension_ = record_->lpstrDefExt;
  if (request_.panel) {
    for (int i = 0; i < request_.panel->count; ++i) {
      const PanelControl& control = request_.panel->controls[i];
      items_.push_back({control.id, {control.text ? control.text : u"", !control.hidden}});
    }
  }
  std::lock_guard<std::mutex> lock(gLiveMutex);
  gLive.insert(this);
}

DialogSession::~DialogSession() {
  std::lock_guard<std::mutex> lock(gLiveMutex);
  gLive.erase(this);
}

DialogSession* DialogSession::FromHandle(HWND handle) {
  auto* session = reinterpret_cast<DialogSession*>(handle);
  std::lock_guard<std::mutex> lock(gLiveMutex);
  return gLive.count(session) ? session : nullptr;
}

UINT_PTR DialogSession::CallHook(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!(record_->Flags & OFN_ENABLEHOOK) || !record_->lpfnHook) return 0;
  return record_->lpfnHook(Handle(), message, wParam, lParam);
}

UINT_PTR DialogSession::Notify(UINT code, const std::u16string& file) {
  notifyFile_ = file;
  OFNOTIFYW notice{{Handle(), 0, code}, record_, notifyFile_.data()};
  return CallHook(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notice));
}

void DialogSession::Start() { CallHook(WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(record_)); }

void DialogSession::SelectionChanged(std::u16string path) {
  selected_ = std::move(path);
  Notify(CDN_SELCHANGE, selected_);
}

void DialogSession::TypeChanged(int index) {
  if (index < 0 || index >= static_cast<int>(request_.filters.size())) return;
  filterIndex_ = index;
  // The hook sees the record's 1-based index of the new entry.
  const DWORD saved = record_->nFilterIndex;
  record_->nFilterIndex = static_cast<DWORD>(index + 1);
  Notify(CDN_TYPECHANGE, selected_);
  record_->nFilterIndex = saved;
}

bool DialogSession::Accept(std::vector<std::u16string> paths) {
  if (paths.empty()) return false;
  const DWORD flags = record_->Flags;
  for (std::u16string& path : paths) {
    // A name typed without an extension takes the default one.
    const std::size_t nameStart = NameStart(path);
    if (!defaultExtension_.empty() && nameStart < path.size() &&
        path.find(u'.', nameStart) == std::u16string::npos && !FileExists(path)) {
      path += u'.' + defaultExtension_;
    }
    const bool exists = FileExists(path);
    if ((flags & OFN_PATHMUSTEXIST) && nameStart > 0 &&
        !FileExists(path.substr(0, std::max<std::size_t>(nameStart - 1, 1)))) {
      ShowMessage(path.substr(0, nameStart) + u"\nThe folder does not exist.", u"");
      return false;
    }
    if ((flags & OFN_FILEMUSTEXIST) && !request_.save && !exists) {
      ShowMessage(path + u"\nThe file does not exist.", u"");
      return false;
    }
    if ((flags & OFN_OVERWRITEPROMPT) && request_.save && exists && view_ &&
        !view_->Confirm(path + u" already exists.\nDo you want to replace it?")) {
      return false;
    }
  }
  selected_ = paths.front();
  refused_ = false;
  Notify(CDN_FILEOK, selected_);
  if (refused_) return false;
  accepted_ = std::move(paths);
  return true;
}

const std::vector<std::uint32_t>& DialogSession::Paint(int item, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  paintPixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
  canvas_ = {paintPixels_.data(), width, height, width};
  paintItem_ = item;
  CallHook(WM_PAINT, 0, 0);
  paintItem_ = -1;
  return paintPixels_;
}

DialogCanvas* DialogSession::Canvas(int item) {
  return item == paintItem_ && !paintPixels_.empty() ? &canvas_ : nullptr;
}

std::u16string DialogSession::RenameForType(const std::u16string& typed) const {
  if (!request_.save || defaultExtension_.empty() || typed.empty()) return typed;
  const std::size_t nameStart = NameStart(typed);
  std::size_t dot = typed.find_last_of(u'.');
  if (dot == std::u16string::npos || dot < nameStart) dot = typed.size();
  return typed.substr(0, dot) + u'.' + defaultExtension_;
}

const PanelItemState* DialogSession::Item(int item) const {
  for (const auto& [id, state] : items_) {
    if (id == item) return &state;
  }
  return nullptr;
}

PanelItemState* DialogSession::MutableItem(int item) {
  return const_cast<PanelItemState*>(Item(item));
}

void DialogSession::ShowMessage(const std::u16string& text, const std::u16string& caption) {
  if (view_) view_->Message(text, caption);
}

void DialogSession::InvalidateItem(int item) {
  if (view_) view_->Invalidate(item);
}

}  // namespace plat
