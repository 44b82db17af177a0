// Run-length image entries whose block passed the strict check (RunLengthBlockValid).
//
// Drawing a run-length image would otherwise walk its whole block on every draw. The block is
// walked once instead, and the entry remembered, together with the header fields the check
// depended on, until its bytes may have changed: a writable hand-out of the entry (GetEntry)
// and every allocation, placement or freeing of an entry block (which covers replacement,
// deletion and a new entry at a freed address) forget it.
//
// What is remembered is only a refusal decision. The drawing routines stay inside any block
// whose size field fits the entry (run_length_form.h), and the size field and row table are
// checked on every draw, so bytes written later through a pointer kept from GetEntry draw as a
// damaged image, never outside the entry. The table is fixed-size and shared by all threads;
// an entry that shares a slot with another is simply walked again.
#pragma once

#include <vexa/image_bank.h>

namespace vexa {

// True when the image's block passed the strict check with its present header fields and has
// not been forgotten since.
bool RunLengthEntryChecked(const ImageEntryHeader& image);
void RememberRunLengthEntry(const ImageEntryHeader& image);
void ForgetRunLengthEntry(const BankEntryHeader* entry);

}  // namespace vexa
