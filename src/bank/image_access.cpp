// Images by number: references, deletion, information and surfaces.
#include <cmath>
#include <initializer_list>

#include <vexa/image_bank.h>
#include <vexa/image_surface.h>
#include <vexa/rotation.h>
#include <vexa/surface_object.h>

#include "bank/bank_internal.h"
#include "bank/bank_list.h"
#include "bank/driver_surface_cache.h"
#include "bank/image_surface_factory.h"
#include "render/surface_scope.h"

namespace vexa {
namespace {

void FillInfo(const ImageEntryHeader& image, ImageInfo* info) {
  info->checksum = image.entry.checksum;
  info->refCount = image.entry.refCount;
  info->dataSize = image.entry.dataSize;
  info->width = static_cast<std::uint16_t>(image.width);
  info->height = static_cast<std::uint16_t>(image.height);
  info->format = static_cast<std::uint8_t>(image.format);
  info->flags = static_cast<std::uint8_t>(image.flags);
  info->hotSpotX = static_cast<std::int16_t>(image.hotSpotX);
  info->hotSpotY = static_cast<std::int16_t>(image.hotSpotY);
  info->actionPointX = static_cast<std::int16_t>(image.actionPointX);
  info->actionPointY = static_cast<std::int16_t>(image.actionPointY);
  info->transparentColor = image.transparentColor;
}

int Scaled(int value, float scale) { return static_cast<int>(static_cast<float>(value) * scale); }

// Whether every value scales to an int (NaN and infinite scales never do).
bool ScalesFit(std::initializer_list<int> values, float scale) {
  for (int value : values) {
    const float scaled = static_cast<float>(value) * scale;
    if (!(scaled > -2147483648.0f && scaled < 2147483648.0f)) return false;
  }
  return true;
}

}  // namespace

ImageEntryHeader* FindImage(const ImageBank* bank, int number) {
  BankEntryHeader* entry = FindEntry(bank, kListImages, number);
  if (!entry || entry->headerSize != sizeof(ImageEntryHeader)) return nullptr;
  return reinterpret_cast<ImageEntryHeader*>(entry);
}

void ReleaseImageDerivatives(ImageBank& bank, int number) {
  DestroyDriverSurfaceEntry(bank, number);
  // The masks are caches of this image: whatever their reference counts, they must not
  // survive to be taken for the masks of the next image given this number.
  RemoveEntry(bank, kListTopEdgeMasks, number);
  RemoveEntry(bank, kListMasks, number);
}

}  // namespace vexa

using namespace vexa;

int AddImageRef(ImageBank* bank, int number) {
  ImageEntryHeader* image = FindImage(bank, number);
  if (!image) return 0;
  return static_cast<int>(++image->entry.refCount);
}

int DeleteImage(ImageBank* bank, int number) {
  if (!bank) return 0;
  if (!FindImage(bank, number)) return -1;
  const int remaining = ReleaseEntry(*bank, kListImages, number);
  if (remaining == 0) ReleaseImageDerivatives(*bank, number);
  return remaining;
}

int GetImageInfo(ImageBank* bank, int number, ImageInfo* info) {
  const ImageEntryHeader* image = FindImage(bank, number);
  if (!image || !info) return 0;
  FillInfo(*image, info);
  return 1;
}

int GetImageTransformedInfo(ImageBank* bank, int number, float angle, float scaleX, float scaleY,
                            ImageInfo* info) {
  const ImageEntryHeader* image = FindImage(bank, number);
  if (!image || !info) return 0;
  // A NaN or infinite angle or scale (or one that takes a size out of range) has no box.
  if (!std::isfinite(angle) ||
      !ScalesFit({image->width, image->hotSpotX, image->actionPointX}, scaleX) ||
      !ScalesFit({image->height, image->hotSpotY, image->actionPointY}, scaleY)) {
    return 0;
  }
  FillInfo(*image, info);
  RECT box{0, 0, Scaled(image->width, scaleX), Scaled(image->height, scaleY)};
  POINT hotSpot{Scaled(image->hotSpotX, scaleX), Scaled(image->hotSpotY, scaleY)};
  POINT actionPoint{Scaled(image->actionPointX, scaleX), Scaled(image->actionPointY, scaleY)};
  if (angle != 0.0f) GetRotatedRect(&box, &hotSpot, &actionPoint, angle);
  info->width = static_cast<std::uint16_t>(box.right);
  info->height = static_cast<std::uint16_t>(box.bottom);
  info->hotSpotX = static_cast<std::int16_t>(hotSpot.x);
  info->hotSpotY = static_cast<std::int16_t>(hotSpot.y);
  info->actionPointX = static_cast<std::int16_t>(actionPoint.x);
  info->actionPointY = static_cast<std::int16_t>(actionPoint.y);
  return 1;
}

int GetImageSurface(ImageBank* bank, int number, cSurfaceObject* surface, int mode) {
  const ImageEntryHeader* image = FindImage(bank, number);
  if (!image || !surface) return 0;
  // Mode 2 on a driver-backed bank hands the image's driver surface to the caller's object,
  // which owns it from then on: a cached one leaves the cache (the cache would otherwise free
  // it a second time), else a new one is made. Surfaces on an atlas page stay in the cache;
  // the caller gets its own surface then.
  if (mode == kImageSurfaceDriver && DriverOfBankFormat(bank->formatWord)) {
    cSurfaceImplementation* driverSurface = TakeCachedDriverSurface(*bank, number);
    bool packed = false;
    if (!driverSurface)
      driverSurface = MakeImageDriverSurface(*bank, number, kDriverSurfaceForEffect, &packed);
    if (driverSurface) {
      surface->SetImplementation(driverSurface);
      return 1;
    }
  }
  cImageSurface* made = MakeImageSurface(*bank, *image);
  if (!made) return 0;
  cSurfaceImplementation* result = made;
  if (mode == kImageSurfacePlain && made->HasCustomPixelRoutines()) {
    result = MakePlainCopy(made, 0, 0, made->width, made->height);
    made->Delete();
    if (!result) return 0;
  }
  surface->SetImplementation(result);
  return 1;
}

int DeleteImageMasks(ImageBank* bank, int number) {
  if (!FindImage(bank, number)) return 0;
  ReleaseEntry(*bank, kListTopEdgeMasks, number);
  ReleaseEntry(*bank, kListMasks, number);
  return 1;
}
