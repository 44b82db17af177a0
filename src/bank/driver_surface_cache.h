// List 4: the display-driver surfaces of images, a cache under the images' numbers.
//
// An entry records the surface, the caller's flags (bit 0: never expire) and the time and
// frame of its last use. Two passes drop surfaces that have not been used for a while; both
// spare entries that never expire. No bank is driver-backed until display drivers exist, so
// nothing creates these entries yet; the passes and the bookkeeping are ready for them.
#pragma once

#include <cstdint>

#include <vexa/image_bank.h>

namespace vexa {

inline constexpr int kExpiryVisitsPerPass = 101;
inline constexpr std::uint32_t kExpiryIdleMs = 10000;
inline constexpr std::uint32_t kExpiryIdleFrames = 4;
inline constexpr int kKindNeverExpires = 26;

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
