// The exported list operations, the library lock count that busy marks take, and the bank's
// clock.
#include <vexa/image_bank.h>

#include <atomic>
#include <chrono>

#include "bank/bank_internal.h"
#include "bank/bank_list.h"
#include "bank/checked_run_length.h"

namespace vexa {
namespace {

std::atomic<int> gLibraryLockCount{0};

bool ValidList(int list) { return list >= 0 && list < kBankListCount; }

}  // namespace

std::uint32_t BankClockMs() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void TakeLibraryLock() { gLibraryLockCount.fetch_add(1, std::memory_order_acq_rel); }
void DropLibraryLock() { gLibraryLockCount.fetch_sub(1, std::memory_order_acq_rel); }
int LibraryLockCount() { return gLibraryLockCount.load(std::memory_order_acquire); }

}  // namespace vexa

using namespace vexa;

BankEntryHeader* GetEntry(ImageBank* bank, int list, int number) {
  BankEntryHeader* entry = FindEntry(bank, list, number);
  // The caller may write the entry's bytes: its block is checked again before the next draw.
  if (list == kListImages) ForgetRunLengthEntry(entry);
  return entry;
}

int GetEntryCount(ImageBank* bank, int list) {
  if (!bank || !ValidList(list) || !bank->lists[list]) return 0;
  return static_cast<int>(bank->lists[list]->count);
}

int FreeList(ImageBank* bank, int list) {
  if (!bank || !ValidList(list) || !bank->lists[list]) return 0;
  if (list == kListImages) {
    FreeList(bank, kListMasks);
    FreeList(bank, kListTopEdgeMasks);
    FreeList(bank, kListDriverSurfaces);
  }
  // A busy mark goes with its list, and so does the lock count it holds.
  if (bank->lists[list]->flags & kListBusy) DropLibraryLock();
  if (list == kListDriverSurfaces) {
    FreeDriverSurfaceList(*bank);
  } else {
    FreeListBlocks(*bank, list);
  }
  return 1;
}

int MarkListBusy(ImageBank* bank, int list) {
  if (!bank || !ValidList(list)) return 0;
  BankList* l = EnsureList(*bank, list);
  if (!l || (l->flags & kListBusy)) return 0;
  l->flags |= kListBusy;
  TakeLibraryLock();
  return 1;
}

int UnmarkListBusy(ImageBank* bank, int list) {
  if (!bank || !ValidList(list) || !bank->lists[list]) return 0;
  BankList* l = bank->lists[list];
  if (!(l->flags & kListBusy)) return 0;
  l->flags &= ~kListBusy;
  DropLibraryLock();
  return 1;
}
