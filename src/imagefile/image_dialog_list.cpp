#include "imagefile/image_dialog_list.h"

#include <vexa/filter_manager.h>
#include <vexa/image_file.h>
#include <vexa/image_file_dialog.h>
#include <vexa/wide_calls.h>

#include "platform/dialog/dialog.h"

namespace vexa {
namespace {

// Replaces each "%s" of format by the next argument.
std::u16string Format(const std::u16string& format, const std::u16string& first,
                      const std::u16string& second) {
  std::u16string out;
  int used = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == u'%' && i + 1 < format.size() && format[i + 1] == u's' && used < 2) {
      out += used++ == 0 ? first : second;
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

bool Selected(CImageFilterMgr* manager, int index, int kinds) {
  return ((kinds & kDialogListImages) && manager->FilterSupportsImages(index)) ||
         ((kinds & kDialogListAnimations) && manager->FilterSupportsAnimations(index));
}

bool CanSave(CImageFilterMgr* manager, int index, int kinds) {
  CImageFile file(manager);
  if (!file.SelectFilter(index)) return false;
  if ((kinds & kDialogListImages) && file.CanSaveImage()) return true;
  return (kinds & kDialogListAnimations) && file.CanSaveAnimation();
}

constexpr plat::PanelControl kPanelControls[] = {
    {1000, plat::PanelControlKind::kLabel, u"Information", 0, 0, 200, 20, false},
    {1001, plat::PanelControlKind::kLabel, u"Type :", 0, 24, 70, 20, false},
    {kFieldType, plat::PanelControlKind::kField, u"", 72, 24, 128, 20, false},
    {1002, plat::PanelControlKind::kLabel, u"Width :", 0, 46, 70, 20, false},
    {kFieldWidth, plat::PanelControlKind::kField, u"", 72, 46, 128, 20, false},
    {1003, plat::PanelControlKind::kLabel, u"Height :", 0, 68, 70, 20, false},
    {kFieldHeight, plat::PanelControlKind::kField, u"", 72, 68, 128, 20, false},
    {1004, plat::PanelControlKind::kLabel, u"Depth :", 0, 90, 70, 20, false},
    {kFieldDepth, plat::PanelControlKind::kField, u"", 72, 90, 128, 20, false},
    {kFramesLabel, plat::PanelControlKind::kLabel, u"# frames :", 0, 112, 70, 20, true},
    {kFramesValue, plat::PanelControlKind::kField, u"", 72, 112, 128, 20, true},
    {kPreviewArea, plat::PanelControlKind::kPreview, nullptr, 0, 140, 200, 150, false},
};
constexpr plat::DialogPanel kPanel = {kPanelControls, static_cast<int>(std::size(kPanelControls)),
                                      200, 290};

}  // namespace

std::u16string LibraryText(UINT id) {
  WCHAR text[256];
  const int length = LoadLibraryStringW(id, text, 256);
  return std::u16string(text, static_cast<std::size_t>(length));
}

HINSTANCE ImageDialogPanel() {
  static const HINSTANCE handle = plat::RegisterDialogPanel(&kPanel);
  return handle;
}

ImageFilterList BuildImageFilterList(CImageFilterMgr* manager, bool open, int kinds,
                                     std::uint32_t callerId) {
  ImageFilterList list;
  const UINT titleId = kinds == kDialogListImages       ? kStringImages
                       : kinds == kDialogListAnimations ? kStringAnimations
                                                        : kStringGraphics;
  const std::u16string entryFormat = LibraryText(kStringEntryFormat);
  std::u16string allPatterns, entries;
  int initialPosition = 0;  // 1-based position of the caller's filter among the listed ones
  const int count = manager ? manager->GetFilterCount() : 0;
  for (int index = 0; index < count; ++index) {
    if (!Selected(manager, index, kinds)) continue;
    if (!open && !CanSave(manager, index, kinds)) continue;
    const WCHAR* const* extensions = manager->GetFilterExtsW(index);
    if (!extensions || !extensions[0]) continue;
    const std::uint32_t id = manager->GetFilterID(index);
    list.ids.push_back(id);
    if (id == callerId && initialPosition == 0) initialPosition = static_cast<int>(list.ids.size());
    list.firstExtensions.emplace_back(extensions[0]);
    list.defaultExtensions += extensions[0];
    list.defaultExtensions += u'\0';
    std::u16string display, patterns;
    for (const WCHAR* const* extension = extensions; *extension; ++extension) {
      const std::u16string pattern = u"*." + std::u16string(*extension);
      display += (display.empty() ? u"" : u", ") + pattern;
      patterns += (patterns.empty() ? u"" : u";") + pattern;
    }
    allPatterns += (allPatterns.empty() ? u"" : u";") + patterns;
    entries +=
        Format(entryFormat, manager->GetFilterNameW(index), display) + u'|' + patterns + u'|';
  }
  if (open) {
    list.filter =
        LibraryText(titleId) + u'|' + allPatterns + u'|' + entries + LibraryText(kStringAllFiles);
    list.initialIndex = initialPosition + 1;  // entry 1 is the all-formats entry
  } else {
    list.filter = entries + u"||";
    list.initialIndex = initialPosition > 0 ? initialPosition : 1;
  }
  for (char16_t& c : list.filter) {
    if (c == u'|') c = 0;
  }
  return list;
}

int ListedFilterOfEntry(const ImageFilterList& list, bool open, int index) {
  const int listed = open ? index - 2 : index - 1;
  return listed >= 0 && listed < static_cast<int>(list.ids.size()) ? listed : -1;
}

}  // namespace vexa
