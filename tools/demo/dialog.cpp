#include "dialog.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <vexa/filter_manager.h>
#include <vexa/image_file_dialog.h>

#include "image_export.h"

namespace demo {
namespace {

const char* Reason(int error) {
  switch (error) {
    case kDialogCancelled:
      return "cancelled";
    case kDialogNoGtk:
      return "unavailable: GTK 3 (libgtk-3.so.0) is not installed";
    case kDialogNoDisplay:
      return "unavailable: no display";
    case kDialogBufferTooSmall:
      return "the chosen name does not fit the buffer";
    case kDialogWrongThread:
      return "unavailable: another thread shows the dialogs";
    default:
      return "failed";
  }
}

std::string FourCharacters(std::uint32_t id) {
  std::string text(4, ' ');
  for (int i = 0; i < 4; ++i) text[static_cast<std::size_t>(i)] = static_cast<char>(id >> (8 * i));
  return text;
}

}  // namespace

int RunDialog(int argc, char** argv) {
  bool save = false;
  int kinds = kDialogListImages | kDialogListAnimations;
  std::string start;
  for (int i = 2; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--save")) {
      save = true;
    } else if (!std::strcmp(argv[i], "--kinds") && i + 1 < argc) {
      kinds = std::atoi(argv[++i]);
    } else {
      start = argv[i];
    }
  }
  CImageFilterMgr filters;
  filters.LoadFilters(LibraryFolder().c_str(), 0);
  std::vector<char> file(4096, 0);
  start.copy(file.data(), file.size() - 1);
  OPENFILENAMEA record{};
  record.lStructSize = sizeof record;
  record.lpstrFile = file.data();
  record.nMaxFile = static_cast<DWORD>(file.size());
  record.lpstrTitle = save ? "vexa: save an image" : "vexa: open an image";
  record.Flags = save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST;
  std::uint32_t id = FilterID("PNG ");
  const int chosen = ImageFileDialog(&record, save ? 0 : 1, &filters, &id, kinds);
  filters.Free();
  if (chosen) {
    std::printf("chosen: %s (filter '%s')\n", file.data(), FourCharacters(id).c_str());
    return 0;
  }
  const int error = GetFileDialogError();
  std::printf("%s (dialog error %d)\n", Reason(error), error);
  return error == kDialogCancelled ? 0 : 1;
}

}  // namespace demo
