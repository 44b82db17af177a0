// Saving surfaces to image files, whole or frame by frame. The surface is locked only around
// the filter's write and unlocked on every path.
#include <vexa/filter_impl.h>
#include <vexa/filter_manager.h>
#include <vexa/image_file.h>
#include <vexa/library.h>
#include <vexa/palette.h>
#include <vexa/surface_object.h>

#include "imagefile/image_file_internal.h"

namespace {

// The depth to save: 32 with alpha, 8 for 8-bit surfaces, else 24; then the fallbacks when
// the filter cannot save that depth. 0 when neither works.
int ExportDepth(cSurfaceObject* surface, int supported) {
  const int wanted = surface->HasAlpha() ? 32 : surface->GetDepth() == 8 ? 8 : 24;
  auto can = [supported](int depth) {
    return (supported & (depth == 8    ? kFilterDepth8
                         : depth == 24 ? kFilterDepth24
                                       : kFilterDepth32)) != 0;
  };
  if (can(wanted)) return wanted;
  const int fallbacks[3][2] = {{24, 32}, {32, 8}, {24, 8}};  // from 8, 24, 32
  const int* order = fallbacks[wanted == 8 ? 0 : wanted == 24 ? 1 : 2];
  for (int i = 0; i < 2; ++i) {
    if (can(order[i])) return order[i];
  }
  return 0;
}

// A locked surface for the length of one write.
class LockedRows {
 public:
  explicit LockedRows(cSurfaceObject* surface) : surface_(surface), rows_(surface->LockBits()) {}
  ~LockedRows() {
    if (rows_) surface_->Unlock();
  }
  LockedRows(const LockedRows&) = delete;
  LockedRows& operator=(const LockedRows&) = delete;
  const BYTE* rows() const { return rows_; }

 private:
  cSurfaceObject* surface_;
  BYTE* rows_;
};

const LOGPALETTE* PaletteOf(cSurfaceObject* surface) {
  return surface->GetDepth() == 8 ? reinterpret_cast<const LOGPALETTE*>(surface->GetPalette())
                                  : nullptr;
}

}  // namespace

int ExportImage(CImageFilterMgr* manager, const WCHAR* name, cSurfaceObject* surface,
                std::uint32_t id) {
  if (!surface || !surface->IsValid() || !name || !*name) return 0;
  CImageFile file(manager);
  if (!file.SelectFilterByID(id ? id : FilterID("BMP ")) || !file.CanSaveImage()) return 0;
  const int depth = ExportDepth(surface, file.GetSupportedDepths());
  if (!depth) return 0;
  const int width = surface->GetWidth();
  const int height = surface->GetHeight();

  cSurfaceObject converted;
  cSurfaceObject* source = surface;
  if (depth != surface->GetDepth()) {
    cSurfaceObject* prototype = nullptr;
    GetPrototype(&prototype, depth, kTypeMemory, kDriverNone);
    if (!prototype) return 0;
    converted.Create(width, height, prototype);
    if (!converted.IsValid()) return 0;
    converted.SetTransparentColor(surface->GetTransparentColor());
    if (!surface->Blit(&converted, 0, 0, 0, 0, width, height, 0, 0, 0, 0)) return 0;
    if (depth == 32 && surface->HasAlpha() && converted.CreateAlpha()) {
      converted.SetAlphaFromBuffer(surface->GetAlphaPointer(), surface->GetAlphaPitch());
    }
    source = &converted;
  }
  COLORREF key = source->GetTransparentColor();
  const bool withAlpha = depth == 32 && source->HasAlpha();
  const BYTE* alpha = withAlpha ? source->GetAlphaPointer() : nullptr;
  LockedRows locked(source);
  if (!locked.rows()) return 0;
  const int result = file.SaveImage(
      name, locked.rows(), width, height, depth, source->GetPitch(), PaletteOf(source),
      withAlpha ? static_cast<const void*>(alpha) : &key, withAlpha ? source->GetAlphaPitch() : 0);
  return result == kImageOk ? 1 : 0;
}

int ExportImage(CImageFilterMgr* manager, const char* name, cSurfaceObject* surface,
                std::uint32_t id) {
  return vexa::WithWideName(
      name, 0, [&](const WCHAR* wide) { return ExportImage(manager, wide, surface, id); });
}

int BeginImageExport(CImageFilterMgr*, const WCHAR* name, cSurfaceObject* surface, CImageFile* file,
                     int v1, int v2, int v3, int v4) {
  if (!file || !surface || !surface->IsValid() || !name || !*name) return 0;
  const int width = surface->GetWidth();
  const int height = surface->GetHeight();
  const int depth = surface->GetDepth();
  if (file->BeginWrite(name, width, height, depth, v1, v2, v3, v4, 0, 0) != kImageOk) return 0;
  int result;
  {
    LockedRows locked(surface);
    if (!locked.rows()) return 0;
    result = file->WriteRows(locked.rows(), width, height, surface->GetPitch(), depth,
                             PaletteOf(surface), 0, 0, v2, 1);
  }
  if (result != kImageOk) {
    file->Close();
    return 0;
  }
  return 1;
}

int BeginImageExport(CImageFilterMgr* manager, const char* name, cSurfaceObject* surface,
                     CImageFile* file, int v1, int v2, int v3, int v4) {
  return vexa::WithWideName(name, 0, [&](const WCHAR* wide) {
    return BeginImageExport(manager, wide, surface, file, v1, v2, v3, v4);
  });
}

int ExportNextImage(CImageFilterMgr*, cSurfaceObject* surface, CImageFile* file, int value) {
  if (!file || !surface || !surface->IsValid()) return 0;
  LockedRows locked(surface);
  if (!locked.rows()) return 0;
  return file->WriteRows(locked.rows(), surface->GetWidth(), surface->GetHeight(),
                         surface->GetPitch(), surface->GetDepth(), nullptr, 0, 0, value,
                         1) == kImageOk
             ? 1
             : 0;
}

int EndImageExport(CImageFilterMgr*, CImageFile* file) {
  if (!file) return 0;
  return file->Close() == kImageOk ? 1 : 0;
}
