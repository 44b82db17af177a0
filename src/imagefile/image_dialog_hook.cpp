// The image dialogs' hook: fills the panel when the selection changes, refuses files no filter
// recognises, follows the file type with the default extension and paints the preview.
#include <sys/stat.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <vexa/filter_manager.h>
#include <vexa/image_file.h>
#include <vexa/image_file_dialog.h>
#include <vexa/library.h>
#include <vexa/surface_object.h>
#include <vexa/text.h>

#include "imagefile/image_dialog_hook.h"
#include "imagefile/image_dialog_list.h"
#include "platform/file/file.h"
#include "platform/gdi/screen.h"

namespace vexa {
namespace {

constexpr int kColorButtonFace = 15, kColorShadow = 16, kColorHighlight = 20, kColorDarkShadow = 21,
              kColorLight = 22;

std::mutex gContextMutex;
std::vector<std::pair<HWND, ImageDialogContext*>> gContexts;

ImageDialogContext* ContextOf(HWND dialog) {
  std::lock_guard<std::mutex> lock(gContextMutex);
  for (const auto& [handle, context] : gContexts) {
    if (handle == dialog) return context;
  }
  return nullptr;
}

std::u16string Number(int value) {
  const std::string text = std::to_string(value);
  return std::u16string(text.begin(), text.end());
}

std::u16string SelectedPath(HWND dialog) {
  const int needed = GetDialogFilePath(dialog, nullptr, 0);
  if (needed <= 0) return {};
  std::u16string path(static_cast<std::size_t>(needed), u'\0');
  GetDialogFilePath(dialog, path.data(), needed);
  path.resize(static_cast<std::size_t>(needed) - 1);
  return path;
}

bool IsRegularFile(const std::u16string& path) {
  struct stat info {};
  return !path.empty() && stat(plat::NativePath(path.c_str()).c_str(), &info) == 0 &&
         S_ISREG(info.st_mode);
}

void DeletePreview(ImageDialogContext* context) {
  delete context->preview;
  context->preview = nullptr;
}

void OnSelectionChange(HWND dialog, ImageDialogContext* context) {
  const std::u16string path = SelectedPath(dialog);
  for (int field = kFieldType; field <= kFieldDepth; ++field)
    SetDialogItemTextWide(dialog, field, u"");
  const bool animations = (context->kinds & kDialogListAnimations) != 0;
  if (animations) {
    ShowDialogItem(dialog, kFramesLabel, 1);
    ShowDialogItem(dialog, kFramesValue, 1);
    SetDialogItemTextWide(dialog, kFramesValue, u"");
  }
  DeletePreview(context);
  if (IsRegularFile(path)) {
    CImageFile file(context->manager);
    if (file.Open(path.c_str()) != kImageOk) {
      SetDialogItemTextWide(dialog, kFieldType, LibraryText(kStringUnknownFormat).c_str());
    } else {
      SetDialogItemTextWide(dialog, kFieldWidth, Number(file.GetWidth()).c_str());
      SetDialogItemTextWide(dialog, kFieldHeight, Number(file.GetHeight()).c_str());
      SetDialogItemTextWide(dialog, kFieldDepth, Number(file.GetDepth()).c_str());
      if (animations) {
        const int frames = file.IsAnimated() ? file.GetFrameCount() : 1;
        SetDialogItemTextWide(dialog, kFramesValue, Number(frames).c_str());
      }
      SetDialogItemTextWide(dialog, kFieldType, file.GetFilterNameW());
      file.Close();
      // An empty surface takes the file's size, depth max(8, depth) and palette; the import's
      // pixel cap keeps huge files from being decoded at all.
      auto* preview = new cSurfaceObject;
      if (ImportImage(context->manager, path.c_str(), preview, nullptr, 0) && preview->IsValid()) {
        context->preview = preview;
      } else {
        delete preview;
      }
    }
  }
  InvalidateDialogItem(dialog, kPreviewArea);
}

void OnFileOk(HWND dialog, const OFNOTIFYW* notice, ImageDialogContext* context) {
  const std::u16string path =
      notice->pszFile ? std::u16string(notice->pszFile) : SelectedPath(dialog);
  if (!IsRegularFile(path)) return;
  CImageFile file(context->manager);
  if (file.Open(path.c_str()) != kImageOk) {
    ShowDialogMessage(dialog, LibraryText(kStringUnknownFormat).c_str(), u"");
    RefuseDialogFile(dialog);
    return;
  }
  context->id = file.GetFilterID();
}

void OnTypeChange(HWND dialog, const OFNOTIFYW* notice, ImageDialogContext* context) {
  // Open dialogs start with the all-formats entry and end with "All files": neither has an
  // extension of its own, and the default extension stays.
  const int index = static_cast<int>(notice->lpOFN->nFilterIndex);
  const int listed = context->open ? index - 2 : index - 1;
  if (listed < 0 || listed >= context->defaultExtensionCount) return;
  const WCHAR* extension = context->defaultExtensions;
  for (int i = 0; i < listed; ++i) extension += WideLength(extension) + 1;
  SetDialogDefaultExtension(dialog, extension);
}

void OnPaint(HWND dialog, ImageDialogContext* context) {
  DialogCanvas canvas{};
  if (!GetDialogItemCanvas(dialog, kPreviewArea, &canvas)) return;
  PaintPreview(context ? context->preview : nullptr, canvas);
}

}  // namespace

void PaintPreview(cSurfaceObject* preview, const DialogCanvas& canvas) {
  const int width = canvas.width, height = canvas.height;
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, 32, kTypeMemory, kDriverNone);
  cSurfaceObject area;
  if (prototype) area.Create(width, height, prototype);
  if (!area.IsValid()) return;
  area.FillColor(plat::SystemColor(kColorButtonFace));
  auto edge = [&](int inset, COLORREF topLeft, COLORREF bottomRight) {
    const int w = width - 2 * inset, h = height - 2 * inset;
    if (w <= 0 || h <= 0) return;
    area.FillRectColor(inset, inset, w, 1, topLeft);
    area.FillRectColor(inset, inset, 1, h, topLeft);
    area.FillRectColor(inset, inset + h - 1, w, 1, bottomRight);
    area.FillRectColor(inset + w - 1, inset, 1, h, bottomRight);
  };
  if (preview && preview->IsValid()) {
    // Inside a one-pixel frame: shrink only, keeping the aspect, centred.
    const int roomW = std::max(width - 2, 0), roomH = std::max(height - 2, 0);
    const std::int64_t pw = preview->GetWidth(), ph = preview->GetHeight();
    std::int64_t w = pw, h = ph;
    if (pw > roomW || ph > roomH) {
      if (pw * roomH >= ph * roomW) {  // the width limits
        w = roomW;
        h = std::max<std::int64_t>(1, ph * roomW / pw);
      } else {
        h = roomH;
        w = std::max<std::int64_t>(1, pw * roomH / ph);
      }
    }
    const int x = 1 + static_cast<int>((roomW - w) / 2), y = 1 + static_cast<int>((roomH - h) / 2);
    if (w > 0 && h > 0) {
      if (w == pw && h == ph) {
        preview->Blit(&area, x, y, 0, 0, 0, 0);
      } else {
        preview->StretchBlit(&area, x, y, static_cast<int>(w), static_cast<int>(h), 0, 0, 0, 0);
      }
    }
    edge(0, plat::SystemColor(kColorHighlight), plat::SystemColor(kColorShadow));
  } else {
    // A sunken edge: dark above and left, light below and right, two pixels deep.
    edge(0, plat::SystemColor(kColorShadow), plat::SystemColor(kColorHighlight));
    edge(1, plat::SystemColor(kColorDarkShadow), plat::SystemColor(kColorLight));
  }
  const std::uint8_t* bits = area.LockBits();
  if (!bits) return;
  const int pitch = area.GetPitch();
  for (int row = 0; row < height; ++row) {
    const auto* source = bits + static_cast<std::ptrdiff_t>(row) * pitch;
    std::uint32_t* target = canvas.pixels + static_cast<std::ptrdiff_t>(row) * canvas.pitch;
    for (int column = 0; column < width; ++column) {
      const std::uint8_t* pixel = source + column * 4;  // blue, green, red, spare
      target[column] = static_cast<std::uint32_t>(pixel[2]) << 16 |
                       static_cast<std::uint32_t>(pixel[1]) << 8 | pixel[0];
    }
  }
  area.Unlock();
}

void ForgetDialogContext(ImageDialogContext* context) {
  std::lock_guard<std::mutex> lock(gContextMutex);
  std::erase_if(gContexts, [context](const auto& entry) { return entry.second == context; });
}

}  // namespace vexa

UINT_PTR ImageFileDialogHook(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  using namespace vexa;
  if (message == WM_INITDIALOG) {
    const auto* record = reinterpret_cast<const OPENFILENAMEW*>(lParam);
    auto* context = record ? reinterpret_cast<ImageDialogContext*>(record->lCustData) : nullptr;
    if (!context) return 0;
    // A handle can come again for a later dialog: the newest context is the one that counts.
    std::lock_guard<std::mutex> lock(gContextMutex);
    std::erase_if(gContexts, [dialog](const auto& entry) { return entry.first == dialog; });
    gContexts.emplace_back(dialog, context);
    return 1;
  }
  ImageDialogContext* context = ContextOf(dialog);
  if (message == WM_PAINT) {
    OnPaint(dialog, context);
    return 1;
  }
  if (message != WM_NOTIFY || !context || !lParam) return 0;
  const auto* notice = reinterpret_cast<const OFNOTIFYW*>(lParam);
  switch (notice->hdr.code) {
    case CDN_SELCHANGE:
      OnSelectionChange(dialog, context);
      return 1;
    case CDN_FILEOK:
      OnFileOk(dialog, notice, context);
      return 1;
    case CDN_TYPECHANGE:
      if (notice->lpOFN) OnTypeChange(dialog, notice, context);
      return 1;
    default:
      return 0;
  }
}
