// List 4: the display-driver surfaces of images, a cache under the images' numbers.
//
// An entry records the surface, the caller's flags (bit 0: never expire) and the time and
// frame of its last use. Two passes drop surfaces that have not been used for a while; both
// spare entries that never expire. A bank is driver-backed when its format word keeps driver
// bits (SetImageBankFormat keeps them only when the driver loads): bit 4 is driver mode, and
// with it bit 6 asks for driver 7 with atlas packing, else bit 7 for driver 6, else driver 5.
// Surfaces are static textures of the image's size (type 7 when the image has an alpha plane,
// else 6) or, with atlas packing, room on one of eight 2048 x 2048 pages for images of 3-1533
// x 3-1535 pixels. Every surface registers the bank's frame callback with the driver.
#pragma once

#include <cstdint>

#include <vexa/image_bank.h>

namespace vexa {

inline constexpr int kExpiryVisitsPerPass = 101;
inline constexpr std::uint32_t kExpiryIdleMs = 10000;
inline constexpr std::uint32_t kExpiryIdleFrames = 4;
inline constexpr int kKindNeverExpires = 26;
inline constexpr std::uint16_t kBankDriverModeBit = 0x0010;
inline constexpr std::uint16_t kBankDriverD3D8Bit = 0x0080;
inline constexpr std::uint32_t kDriverSurfaceForEffect = 0x2;
// Entry flag of the library's own: the surface is room on an atlas page.
inline constexpr std::uint32_t kDriverSurfacePacked = 0x80000000u;
inline constexpr int kAtlasMinSide = 3;
inline constexpr int kAtlasMaxWidth = 1533;
inline constexpr int kAtlasMaxHeight = 1535;

// The driver a format word's driver bits ask for (0 for none).
int DriverOfBankFormat(std::uint16_t formatWord);

// Removes an image's cached driver surface of its own (not on an atlas page) from the cache
// and returns it, now the caller's; null when there is none.
cSurfaceImplementation* TakeCachedDriverSurface(ImageBank& bank, int number);
// Makes and fills the driver surface of an image (not recorded); *packed tells whether it lies
// on an atlas page. Null when the bank is not driver-backed or the driver makes nothing.
cSurfaceImplementation* MakeImageDriverSurface(ImageBank& bank, int number, std::uint32_t flags,
                                               bool* packed);

// Records `surface` (owned by the entry from now on) as image `number`'s driver surface,
// stamped with the bank's current time and frame; an entry already there is destroyed first.
// False (the surface not taken) when memory runs out.
bool RecordDriverSurface(ImageBank& bank, int number, cSurfaceImplementation* surface,
                         std::uint32_t flags);

// The periodic pass: visits up to 101 slots of list 4 from the cleanup cursor (wrapping to the
// start at the end of the list) and destroys the surfaces that may expire, are not of kind 26
// and were last used more than 10000 ms before `now`. Returns how many it destroyed.
int ExpireIdleDriverSurfaces(ImageBank& bank, std::uint32_t now);

// The pass a display driver triggers: destroys the surfaces that may expire and were last used
// more than 4 frames ago. Returns how many it destroyed.
int ExpireStaleFrameDriverSurfaces(ImageBank& bank);

// Copies every cached driver surface's content again from its image and stamps it with the
// current time and frame unless it never expires. Returns how many were refilled.
int RefillDriverSurfaces(ImageBank& bank);

}  // namespace vexa
