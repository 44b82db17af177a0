// The image file dialogs: the record set up for the filters of a manager, shown through the
// dialog service, the caller's fields restored and the chosen filter's identifier returned.
#include <vexa/image_file_dialog.h>
#include <vexa/surface_object.h>

#include "imagefile/image_dialog_hook.h"
#include "imagefile/image_dialog_list.h"
#include "imagefile/image_dialog_narrow.h"
#include "platform/dialog/dialog.h"

namespace {

// The record fields the dialog function sets for the dialog; the caller gets its own back.
struct CallerFields {
  explicit CallerFields(const OPENFILENAMEW& record)
      : filter(record.lpstrFilter),
        flags(record.Flags),
        instance(record.hInstance),
        templateName(record.lpTemplateName),
        hook(record.lpfnHook),
        data(record.lCustData),
        defaultExtension(record.lpstrDefExt),
        filterIndex(record.nFilterIndex) {}
  void Restore(OPENFILENAMEW* record, bool keepResults) const {
    record->lpstrFilter = filter;
    record->Flags = flags;
    record->hInstance = instance;
    record->lpTemplateName = templateName;
    record->lpfnHook = hook;
    record->lCustData = data;
    record->lpstrDefExt = defaultExtension;
    if (!keepResults) record->nFilterIndex = filterIndex;
  }
  const WCHAR* filter;
  DWORD flags;
  HINSTANCE instance;
  const WCHAR* templateName;
  LPOFNHOOKPROC hook;
  LPARAM data;
  const WCHAR* defaultExtension;
  DWORD filterIndex;
};

}  // namespace

int ImageFileDialogW(OPENFILENAMEW* record, int open, CImageFilterMgr* manager, std::uint32_t* id,
                     int kinds) {
  using namespace vexa;
  if (!record || !manager) return 0;
  const ImageFilterList list = BuildImageFilterList(manager, open != 0, kinds, id ? *id : 0);
  ImageDialogContext context{manager,
                             nullptr,
                             kinds,
                             id ? *id : 0,
                             list.defaultExtensions.c_str(),
                             static_cast<std::int32_t>(list.firstExtensions.size()),
                             open != 0};
  const CallerFields caller(*record);
  record->lpstrFilter = list.filter.c_str();
  record->nFilterIndex = static_cast<DWORD>(list.initialIndex);
  // Hook and panel; our dialogs can always be resized. Caller templates cannot exist here, so
  // the built-in panel always takes the template's place.
  record->Flags = (record->Flags | OFN_ENABLEHOOK | OFN_ENABLESIZING | OFN_ENABLETEMPLATEHANDLE) &
                  ~OFN_ENABLETEMPLATE;
  record->hInstance = ImageDialogPanel();
  record->lpTemplateName = nullptr;
  record->lpfnHook = &ImageFileDialogHook;
  record->lCustData = reinterpret_cast<LPARAM>(&context);
  if (!open) {
    record->lpstrDefExt = list.firstExtensions.empty() ? nullptr : list.firstExtensions[0].c_str();
  }
  const BOOL confirmed = open ? GetOpenFileNameWide(record) : GetSaveFileNameWide(record);
  ForgetDialogContext(&context);
  delete context.preview;
  std::uint32_t chosen = context.id;
  if (confirmed && !open) {
    const int listed = ListedFilterOfEntry(list, false, static_cast<int>(record->nFilterIndex));
    if (listed >= 0) chosen = list.ids[static_cast<std::size_t>(listed)];
  }
  caller.Restore(record, confirmed != 0);
  if (!confirmed) return 0;
  if (id) *id = chosen;
  return 1;
}

int ImageFileDialog(OPENFILENAMEA* record, int open, CImageFilterMgr* manager, std::uint32_t* id,
                    int kinds) {
  using namespace vexa;
  if (!record || !manager) return 0;
  WideFileRecord wide;
  WidenFileRecord(*record, &wide);
  std::uint32_t chosen = id ? *id : 0;
  if (!ImageFileDialogW(&wide.record, open, manager, &chosen, kinds)) return 0;
  if (!NarrowFileResults(wide, record)) {
    plat::SetDialogError(kDialogBufferTooSmall);
    return 0;
  }
  if (id) *id = chosen;
  return 1;
}
