#include "imagefile/image_dialog_narrow.h"

#include <algorithm>
#include <cstring>

#include "platform/text/codepage.h"

namespace vexa {
namespace {

std::u16string Widen(std::string_view text) {
  return plat::DecodeNarrow(text, plat::kCodePageSystem);
}
std::string Narrow(std::u16string_view text) {
  return plat::EncodeNarrow(text, plat::kCodePageSystem);
}

std::u16string WidenString(const char* text) { return text ? Widen(text) : std::u16string(); }

// A list of null-ended strings ended by an empty one ("a\0b\0\0"), read from a buffer of size
// characters: every string up to the empty one or the end of the buffer.
std::vector<std::string_view> SplitList(const char* buffer, std::size_t size) {
  std::vector<std::string_view> parts;
  std::size_t at = 0;
  while (at < size && buffer[at]) {
    const char* end = std::find(buffer + at, buffer + size, '\0');
    parts.emplace_back(buffer + at, static_cast<std::size_t>(end - (buffer + at)));
    at = static_cast<std::size_t>(end - buffer) + 1;
  }
  return parts;
}

std::vector<std::u16string_view> SplitList(const WCHAR* buffer, std::size_t size) {
  std::vector<std::u16string_view> parts;
  std::size_t at = 0;
  while (at < size && buffer[at]) {
    const WCHAR* end = std::find(buffer + at, buffer + size, u'\0');
    parts.emplace_back(buffer + at, static_cast<std::size_t>(end - (buffer + at)));
    at = static_cast<std::size_t>(end - buffer) + 1;
  }
  return parts;
}

// A narrow buffer widened into a wide one of the same number of characters, as a list when
// asked (a buffer of several strings), else its first string.
std::vector<WCHAR> WidenBuffer(const char* buffer, DWORD size, bool list) {
  std::vector<WCHAR> wide(size, u'\0');
  if (!buffer || size == 0) return wide;
  std::vector<std::string_view> parts = SplitList(buffer, size);
  if (!list && parts.size() > 1) parts.resize(1);
  std::size_t at = 0;
  for (std::string_view part : parts) {
    const std::u16string text = Widen(part);
    // Each string and its null fit: UTF-16 takes at most as many units as UTF-8 takes bytes.
    const std::size_t n = std::min(text.size(), wide.size() - std::min(at, wide.size()));
    std::copy_n(text.begin(), n, wide.begin() + static_cast<std::ptrdiff_t>(at));
    at += n + 1;
    if (at >= wide.size()) break;
  }
  if (!wide.empty()) wide.back() = u'\0';
  return wide;
}

// The narrow text of a wide result list: each string and its null, the list ended by the
// terminator that the single-string case also needs.
std::string NarrowList(const std::vector<WCHAR>& wide, bool list) {
  std::vector<std::u16string_view> parts = SplitList(wide.data(), wide.size());
  if (!list && parts.size() > 1) parts.resize(1);
  std::string text;
  for (std::u16string_view part : parts) {
    text += Narrow(part);
    text += '\0';
  }
  if (parts.size() != 1) text += '\0';
  return text;
}

}  // namespace

void WidenFileRecord(const OPENFILENAMEA& narrow, WideFileRecord* wide) {
  // The filter list ends with an empty string: walk it pair by pair.
  wide->filter.clear();
  if (const char* at = narrow.lpstrFilter) {
    while (*at) {
      const std::size_t length = std::strlen(at);
      wide->filter += Widen(std::string_view(at, length));
      wide->filter += u'\0';
      at += length + 1;
    }
  }
  wide->filter += u'\0';
  wide->initialDir = WidenString(narrow.lpstrInitialDir);
  wide->title = WidenString(narrow.lpstrTitle);
  wide->defaultExtension = WidenString(narrow.lpstrDefExt);
  const bool multi = (narrow.Flags & OFN_ALLOWMULTISELECT) != 0;
  wide->file = WidenBuffer(narrow.lpstrFile, narrow.nMaxFile, multi);
  wide->fileTitle = WidenBuffer(narrow.lpstrFileTitle, narrow.nMaxFileTitle, false);
  wide->customFilter = WidenBuffer(narrow.lpstrCustomFilter, narrow.nMaxCustFilter, true);

  OPENFILENAMEW& record = wide->record;
  record = {};
  record.lStructSize = sizeof(OPENFILENAMEW);
  record.hwndOwner = narrow.hwndOwner;
  record.hInstance = narrow.hInstance;
  record.lpstrFilter = narrow.lpstrFilter ? wide->filter.c_str() : nullptr;
  record.lpstrCustomFilter = narrow.lpstrCustomFilter ? wide->customFilter.data() : nullptr;
  record.nMaxCustFilter = narrow.lpstrCustomFilter ? narrow.nMaxCustFilter : 0;
  record.nFilterIndex = narrow.nFilterIndex;
  record.lpstrFile = narrow.lpstrFile ? wide->file.data() : nullptr;
  record.nMaxFile = narrow.lpstrFile ? narrow.nMaxFile : 0;
  record.lpstrFileTitle = narrow.lpstrFileTitle ? wide->fileTitle.data() : nullptr;
  record.nMaxFileTitle = narrow.lpstrFileTitle ? narrow.nMaxFileTitle : 0;
  record.lpstrInitialDir = narrow.lpstrInitialDir ? wide->initialDir.c_str() : nullptr;
  record.lpstrTitle = narrow.lpstrTitle ? wide->title.c_str() : nullptr;
  record.Flags = narrow.Flags;
  record.lpstrDefExt = narrow.lpstrDefExt ? wide->defaultExtension.c_str() : nullptr;
  record.lCustData = narrow.lCustData;
  record.lpfnHook = narrow.lpfnHook;
  record.lpTemplateName = nullptr;  // templates are resources, which this platform has none of
}

bool NarrowFileResults(const WideFileRecord& wide, OPENFILENAMEA* narrow) {
  const bool multi = (narrow->Flags & OFN_ALLOWMULTISELECT) != 0;
  const std::string file = NarrowList(wide.file, multi);
  const std::string title = NarrowList(wide.fileTitle, false);
  const std::string custom = NarrowList(wide.customFilter, true);
  // file and title hold their null; a one-string custom filter needs its second one.
  if (!narrow->lpstrFile || file.size() > narrow->nMaxFile) return false;
  if (narrow->lpstrFileTitle && title.size() > narrow->nMaxFileTitle) return false;
  if (narrow->lpstrCustomFilter && custom.size() > narrow->nMaxCustFilter) return false;
  std::memcpy(narrow->lpstrFile, file.data(), file.size());
  if (narrow->lpstrFileTitle) std::memcpy(narrow->lpstrFileTitle, title.data(), title.size());
  if (narrow->lpstrCustomFilter && custom.size() > 1) {
    std::memcpy(narrow->lpstrCustomFilter, custom.data(), custom.size());
  }
  // Offsets in bytes of the narrow text.
  const std::string first(file.c_str());
  const bool several = multi && file.size() > first.size() + 2;
  const std::size_t slash = first.find_last_of('/');
  const std::size_t nameStart = several                      ? first.size() + 1
                                : slash == std::string::npos ? 0
                                                             : slash + 1;
  const std::size_t dot = first.find_last_of('.');
  const std::size_t extension =
      several || dot == std::string::npos || dot < nameStart ? 0 : dot + 1;
  narrow->nFileOffset = static_cast<WORD>(std::min<std::size_t>(nameStart, 0xFFFF));
  narrow->nFileExtension = static_cast<WORD>(std::min<std::size_t>(extension, 0xFFFF));
  narrow->nFilterIndex = wide.record.nFilterIndex;
  return true;
}

}  // namespace vexa
