// Loading image files into surfaces: the whole-file import, the frame-by-frame import, and
// the file queries.
#include <algorithm>
#include <cstring>

#include <vexa/filter_impl.h>
#include <vexa/filter_manager.h>
#include <vexa/image_file.h>
#include <vexa/library.h>
#include <vexa/palette.h>
#include <vexa/stream.h>
#include <vexa/surface_object.h>

#include "imagefile/image_file_internal.h"

namespace {

enum class ImportMode { Whole, FirstFrame, NextFrame };

// Driver surfaces of the second to fourth prototype are filled through a memory surface.
bool NeedsTemporary(cSurfaceObject* surface) {
  const int type = surface->GetType();
  return type >= 5 && type <= 7;
}

void SetKey(cSurfaceObject* surface, COLORREF key, bool reset) {
  surface->SetTransparentColor(key);
  if (reset) surface->SetTransparentColor(0xFFFFFFFFu);
}

// Gives the surface the file's size and, unless kept, the file's depth (steps 3 and 4 of an
// import). Sets *target to the palette the rows are to be read into (or null).
bool ShapeSurface(CImageFile& file, cSurfaceObject* surface, int flags, COLORREF key, bool resetKey,
                  const LOGPALETTE** target) {
  const int width = file.GetWidth();
  const int height = file.GetHeight();
  const int fileDepth = file.GetDepth();
  *target = nullptr;
  // An empty surface has no depth to keep: it takes the file's.
  const bool keep =
      surface->IsValid() && (surface->GetDepth() == fileDepth || (flags & kImportKeepDepth));
  if (keep) {
    // Into an 8-bit surface: its own palette when asked, and always for true-colour files,
    // which have no palette of their own to install.
    if (surface->GetDepth() == 8 && ((flags & kImportSurfacePalette) || fileDepth > 8)) {
      *target = reinterpret_cast<const LOGPALETTE*>(surface->GetPalette());
    }
  } else {
    cSurfaceObject* prototype = nullptr;
    const int type = surface->IsValid() ? surface->GetType() : kTypeMemory;
    const int driver = surface->IsValid() ? surface->GetDriver() : kDriverNone;
    GetPrototype(&prototype, std::max(8, fileDepth), type, driver);
    if (!prototype) return false;
    surface->Create(width, height, prototype);
    if (!surface->IsValid()) return false;
    SetKey(surface, key, resetKey);
  }
  if (surface->GetWidth() != width || surface->GetHeight() != height) {
    // Resized keeping its kind: a compatible implementation of the new size. (Cloning a 4 x 4
    // scratch surface first would turn display-driver surfaces into DIB sections, which small
    // driver surfaces become.)
    cSurfaceImplementation* resized = surface->GetImplementation()->CreateCompatible(width, height);
    if (!resized) return false;
    surface->SetImplementation(resized);
    SetKey(surface, key, resetKey);
  }
  return true;
}

// Reads the next frame into the whole surface (step 7); its palette target is given.
bool ReadRows(CImageFile& file, cSurfaceObject* surface, const LOGPALETTE* target) {
  BYTE* alpha = nullptr;
  int alphaPitch = 0;
  if (file.HasAlpha()) {
    alpha = surface->CreateAlpha();
    if (!alpha) return false;
    alpha = surface->GetAlphaPointer();
    alphaPitch = surface->GetAlphaPitch();
  } else if (surface->HasAlpha()) {
    // A plane kept from an earlier image would describe other pixels (and be premultiplied
    // into these): it goes.
    surface->GetImplementation()->DeleteAlpha();
  }
  BYTE* pixels = surface->LockBits();
  if (!pixels) return false;
  const int result = file.Read(pixels, surface->GetWidth(), surface->GetHeight(),
                               surface->GetPitch(), surface->GetDepth(), target, alpha, alphaPitch);
  surface->Unlock();
  return result == kImageOk;
}

bool ReadIntoSurface(CImageFilterMgr* manager, CImageFile& file, cSurfaceObject* surface, int flags,
                     ImportMode mode) {
  const bool whole = mode == ImportMode::Whole;
  const int width = file.GetWidth();
  const int height = file.GetHeight();
  if (width <= 0 || height <= 0) return false;
  const COLORREF remembered = surface->GetTransparentColor();
  const bool resetKey = whole && (flags & kImportResetKey);
  const LOGPALETTE* target = nullptr;
  if (mode != ImportMode::NextFrame &&
      !ShapeSurface(file, surface, flags, remembered, resetKey, &target)) {
    return false;
  }

  cSurfaceObject temporary;
  cSurfaceObject* into = surface;
  if (whole && NeedsTemporary(surface)) {
    cSurfaceObject* prototype = nullptr;
    GetPrototype(&prototype, surface->GetDepth(), kTypeMemory, kDriverNone);
    if (!prototype) return false;
    temporary.Create(width, height, prototype);
    if (!temporary.IsValid()) return false;
    into = &temporary;
  }
  if (mode != ImportMode::NextFrame && into->GetDepth() <= 8 && !target && file.GetPalette()) {
    into->SetPaletteEntries(file.GetPalette(), 0);
    if (into != surface) surface->SetPaletteEntries(file.GetPalette(), 0);
  }
  if (!ReadRows(file, into, target)) return false;

  COLORREF key = remembered;
  COLORREF fileKey = 0;
  const bool fileHasKey = file.GetTransparentColor(&fileKey) != 0;
  if (fileHasKey) {
    key = fileKey;
  } else if (whole && (flags & kImportKeyFromCorner)) {
    COLORREF corner = 0;
    if (into->GetPixelColor(0, 0, &corner)) key = corner;
  }
  if (whole || fileHasKey) SetKey(into, key, resetKey);
  if (whole && !(flags & kImportNoPremultiply) && into->HasAlpha() && manager &&
      manager->GetPremultiplyAlpha()) {
    into->PremultiplyAlpha();
  }
  if (into != surface) {
    SetKey(surface, key, resetKey);
    // Static driver textures (types 6 and 7) take the whole content, alpha included, in one
    // call; a render target, or a driver declining, gets a blit and the alpha plane.
    const int type = surface->GetType();
    const bool copied = (type == 6 || type == 7) && surface->GetImplementation()->CopyContentFrom(
                                                        temporary.GetImplementation());
    if (!copied) {
      if (!temporary.Blit(surface, 0, 0, 0, 0, width, height, 0, 0, 0, 0)) return false;
      if (temporary.HasAlpha() && surface->CreateAlpha()) {
        surface->SetAlphaFromBuffer(temporary.GetAlphaPointer(), temporary.GetAlphaPitch());
      }
    }
  }
  return true;
}

// Opens a name for reading; null when it cannot be opened.
CInputBufFile* OpenInput(const WCHAR* name) {
  if (!name || !*name) return nullptr;
  CInputBufFile* input = NewInputBufFile();
  if (!input) return nullptr;
  if (input->Create(name) != kStreamOk) {
    input->Delete();
    return nullptr;
  }
  return input;
}

// 0 or 12: a filter recognised the file (12 when its depth is below 8 bits).
bool Recognised(int result) { return result == kImageOk || result == kImageDepthBelow8; }

}  // namespace

int ImportImageFromStream(CImageFilterMgr* manager, CInputFile* input, cSurfaceObject* surface,
                          std::uint32_t* id, int flags) {
  if (!input || !surface) return 0;
  CImageFile file(manager);
  if (file.OpenStream(input) != kImageOk) return 0;
  const bool loaded = ReadIntoSurface(manager, file, surface, flags, ImportMode::Whole);
  if (loaded && id) *id = file.GetFilterID();
  file.Close();
  return loaded ? 1 : 0;
}

int ImportImage(CImageFilterMgr* manager, const WCHAR* name, cSurfaceObject* surface,
                std::uint32_t* id, int flags) {
  CInputBufFile* input = OpenInput(name);
  if (!input) return 0;
  const int result = ImportImageFromStream(manager, input, surface, id, flags);
  input->Delete();
  return result;
}

int ImportImage(CImageFilterMgr* manager, const char* name, cSurfaceObject* surface,
                std::uint32_t* id, int flags) {
  return vexa::WithWideName(
      name, 0, [&](const WCHAR* wide) { return ImportImage(manager, wide, surface, id, flags); });
}

int IsImageFile(CImageFilterMgr* manager, const WCHAR* name) {
  if (!name || !*name) return 0;
  CImageFile file(manager);
  return Recognised(file.Open(name)) ? 1 : 0;
}

int IsImageFile(CImageFilterMgr* manager, const char* name) {
  return vexa::WithWideName(name, 0, [&](const WCHAR* wide) { return IsImageFile(manager, wide); });
}

int GetImageFileInfo(CImageFilterMgr* manager, const WCHAR* name, int* still) {
  if (!name || !*name) return 0;
  CImageFile file(manager);
  const int result = file.Open(name);
  if (result != kImageOk) return 0;
  if (still) *still = file.IsAnimated() ? 0 : 1;
  return 1;
}

int GetImageFileInfo(CImageFilterMgr* manager, const char* name, int* still) {
  return vexa::WithWideName(
      name, 0, [&](const WCHAR* wide) { return GetImageFileInfo(manager, wide, still); });
}

int GetImageFilePalette(CImageFilterMgr* manager, const WCHAR* name, LOGPALETTE* palette) {
  if (!name || !*name || !palette) return 0;
  CImageFile file(manager);
  if (file.Open(name) != kImageOk || file.GetDepth() > 8) return 0;
  const LOGPALETTE* own = file.GetPalette();
  // The caller's record holds 256 entries: a larger count would copy past it.
  if (!own || own->palNumEntries > 256) return 0;
  std::memcpy(palette, own, 4 + 4 * static_cast<std::size_t>(own->palNumEntries));
  return 1;
}

int GetImageFilePalette(CImageFilterMgr* manager, const char* name, LOGPALETTE* palette) {
  return vexa::WithWideName(
      name, 0, [&](const WCHAR* wide) { return GetImageFilePalette(manager, wide, palette); });
}

int BeginImageImport(CImageFilterMgr* manager, const WCHAR* name, cSurfaceObject* surface,
                     CImageFile* file, int flags) {
  if (!file || !surface) return 0;
  if (file->Open(name) != kImageOk) return 0;
  if (!ReadIntoSurface(manager, *file, surface, flags, ImportMode::FirstFrame)) {
    file->Close();
    return 0;
  }
  return 1;
}

int BeginImageImport(CImageFilterMgr* manager, const char* name, cSurfaceObject* surface,
                     CImageFile* file, int flags) {
  return vexa::WithWideName(name, 0, [&](const WCHAR* wide) {
    return BeginImageImport(manager, wide, surface, file, flags);
  });
}

int ImportNextImage(CImageFilterMgr* manager, cSurfaceObject* surface, CImageFile* file) {
  if (!file || !surface || !surface->IsValid()) return 0;
  return ReadIntoSurface(manager, *file, surface, 0, ImportMode::NextFrame) ? 1 : 0;
}

int EndImageImport(CImageFilterMgr*, CImageFile* file) {
  if (!file) return 0;
  return file->Close() == kImageOk ? 1 : 0;
}
