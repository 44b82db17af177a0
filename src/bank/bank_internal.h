// Pieces of the bank shared by its operations: the clock, the lock count and the release of
// an image's derived entries.
#pragma once

#include <cstdint>

#include <vexa/image_bank.h>

namespace vexa {

// Milliseconds of a steady clock, wrapping like the system's multimedia timer.
std::uint32_t BankClockMs();

// The library lock count that busy list marks take (one per busy list of every bank).
void TakeLibraryLock();
void DropLibraryLock();
int LibraryLockCount();

// The mode code of the bank's pixels (the format word's low four bits).
inline int BankMode(const ImageBank& bank) { return bank.formatWord & kBankFormatMask; }

// The image entry of `number`, or null.
ImageEntryHeader* FindImage(const ImageBank* bank, int number);

// Destroys the surface of a list-4 entry and frees the entry.
void DestroyDriverSurfaceEntry(ImageBank& bank, int number);
// Destroys every driver surface and frees list 4.
void FreeDriverSurfaceList(ImageBank& bank);

// Frees a freed image's derived entries: its driver surface and both masks.
void ReleaseImageDerivatives(ImageBank& bank, int number);

// A 1 x 1 memory surface in the bank's depth (the bank palette at 8 bits) replaces the work
// surface; false (the old one kept) when it cannot be made.
bool RebuildWorkSurface(ImageBank& bank);

// Frees the bank's face-name substitution table.
void FreeFontSubstitutes(ImageBank& bank);

}  // namespace vexa
