// cDIBSurface: a device-independent bitmap already in memory, shown as a surface.
//
// The surface wraps the caller's bitmap-information record and bits without copying them;
// it never frees them and must not outlive them. Accepted are uncompressed bitmaps of 8, 16
// (taken as 15-bit 5-5-5), 24 and 32 bits, and bit-field bitmaps of 16 bits with 5-5-5 or
// 5-6-5 masks and of 32 bits with the standard 8-8-8 masks. Anything else, and any header
// whose sizes are negative, zero or too large to address, leaves the surface unformatted
// (depth 0), which callers check. Rows are bottom-up for a positive header height and
// top-down for a negative one.
//
// A 32-bit bitmap whose fourth bytes are not all 255 gets an alpha plane holding them.
#pragma once

#include <vexa/export.h>
#include <vexa/surface_implementation.h>
#include <vexa/wintypes.h>

class VEXA_API cDIBSurface : public cSurfaceImplementation {
 public:
  // `info`: the 40-byte header followed by three colour masks (bit fields) or the colour
  // table. `bits`: the pixels, or null for the block right after the record. With
  // `createPalette`, an 8-bit bitmap gets a palette object built from its colour table.
  cDIBSurface(const BITMAPINFO* info, const void* bits, int createPalette);

  cSurfaceImplementation* Destroy(unsigned flags) override;
  // A bitmap view cannot be cloned or reformatted: null and 0.
  cSurfaceImplementation* CreateCompatible(int width, int height) override;
  int InitFormat(int depth) override;

 protected:
  ~cDIBSurface();

 private:
  [[gnu::visibility("hidden")]] void KeepAlphaIfTranslucent();
};
