// The mask of an image held in run-length form (the image bank's transparent images).
//
// The block, as the run-length encoder writes it:
//   offset 0   4 bytes      total size of the block
//   offset 4   8 x rows     per row: offset of its run bytes, offset of its pixel bytes (both
//                           32-bit, counted from offset 4)
//   then                    run bytes of all rows, then the opaque pixels of all rows
// A row's run bytes are pairs (transparent count, opaque count) whose sum is the row's width;
// longer runs are split into 255-pixel pieces joined by a pair member of 0. Pixels in opaque
// runs are solid; the pixel bytes are not needed for a mask.
#pragma once

#include <cstddef>
#include <cstdint>

#include <vexa/collision_mask.h>

namespace vexa {

// Builds the mask (bit 0 of `flags`: the top-edge kind) of a width x height image from its
// run-length block of `blockSize` readable bytes. With a null mask returns only the size. The
// block is untrusted: every read stays inside min(blockSize, the block's own size field), and
// a block that is too short, whose row table or runs point outside it, or whose runs do not
// add up to the width gives 0 with the whole mask block (header included) zeroed, so that a
// half-built mask is never taken for a good one. Otherwise returns 44 + height x rowBytes.
int BuildMaskFromRunLength(const std::uint8_t* block, std::size_t blockSize, int width, int height,
                           CollisionMask* mask, std::uint32_t flags);

}  // namespace vexa
