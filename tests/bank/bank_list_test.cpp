// The bank's list mechanics, checksum and de-duplication, and the bank as the thread's
// application context.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include <vexa/image_bank.h>
#include <vexa/library.h>
#include <vexa/palette.h>
#include <vexa/surface_object.h>

#include "bank/bank_checksum.h"
#include "bank/bank_internal.h"
#include "bank/bank_list.h"
#include "bank/driver_surface_cache.h"
#include "base/application_contexts.h"
#include "support/bank_fixture.h"
#include "support/recording_surface.h"

namespace {

using testsupport::BankPtr;
using testsupport::NewBank;

// A 2 x 2 32-bit image whose pixels depend on `seed`.
int AddSeeded(ImageBank* bank, std::uint32_t seed, std::uint32_t flags = 0) {
  const std::uint32_t pixels[4] = {seed, seed + 1, seed + 2, seed + 3};
  return AddImage(bank, 2, 2, 0, 0, 0, 0, 0, flags | 8, pixels, nullptr);
}

BankEntryHeader* FakeMask(ImageBank& bank, int list, int number) {
  BankEntryHeader* block = vexa::AllocateEntry(60, 8, true);
  EXPECT_TRUE(vexa::SetEntryAt(bank, list, number, block));
  return block;
}

TEST(BankChecksum, KnownValuesOfShortInputs) {
  const std::uint8_t pair[] = {0x01, 0x02};
  EXPECT_EQ(vexa::BankChecksum(pair, 2), 0x0008);
  EXPECT_EQ(vexa::BankChecksum(reinterpret_cast<const std::uint8_t*>("abc"), 3), 0x0556);
}

TEST(BankList, ReleasedNumberIsReusedUnlessAppending) {
  BankPtr bank = NewBank();
  ASSERT_TRUE(bank);
  EXPECT_EQ(AddSeeded(bank.get(), 10), 1);
  EXPECT_EQ(AddSeeded(bank.get(), 20), 2);
  EXPECT_EQ(AddSeeded(bank.get(), 30), 3);
  EXPECT_EQ(DeleteImage(bank.get(), 2), 0);
  EXPECT_EQ(GetEntry(bank.get(), kListImages, 2), nullptr);
  EXPECT_EQ(GetEntryCount(bank.get(), kListImages), 3) << "count keeps the highest number";
  EXPECT_EQ(AddSeeded(bank.get(), 40, kAddAppend), 4);
  EXPECT_EQ(AddSeeded(bank.get(), 50), 2);
  EXPECT_EQ(AddSeeded(bank.get(), 60), 5);
  // Append mode reuses trailing empty slots.
  EXPECT_EQ(DeleteImage(bank.get(), 5), 0);
  EXPECT_EQ(DeleteImage(bank.get(), 4), 0);
  EXPECT_EQ(AddSeeded(bank.get(), 70, kAddAppend), 4);
}

TEST(BankList, GrowsInSteps) {
  BankPtr bank = NewBank();
  for (int i = 1; i <= 256; ++i)
    ASSERT_EQ(AddSeeded(bank.get(), static_cast<std::uint32_t>(i) * 8), i);
  EXPECT_EQ(bank->lists[kListImages]->capacity, 256u);
  EXPECT_EQ(AddSeeded(bank.get(), 99999), 257);
  EXPECT_EQ(bank->lists[kListImages]->capacity, 512u);
  EXPECT_EQ(GetEntryCount(bank.get(), kListImages), 257);
  // Every earlier entry survived the move of the slot array.
  for (int i = 1; i <= 256; ++i) {
    const auto* image = reinterpret_cast<const ImageEntryHeader*>(GetEntry(bank.get(), 0, i));
    ASSERT_NE(image, nullptr);
    std::uint32_t first = 0;
    std::memcpy(&first, image->Data(), 4);
    EXPECT_EQ(first, static_cast<std::uint32_t>(i) * 8);
  }
  // Setting an entry far out grows to the next multiple of 256.
  ASSERT_TRUE(vexa::SetEntryAt(*bank, kListMasks, 1000, vexa::AllocateEntry(60, 0, true)));
  EXPECT_EQ(bank->lists[kListMasks]->capacity, 1024u);
  EXPECT_EQ(GetEntryCount(bank.get(), kListMasks), 1000);
}

TEST(BankList, LookupsRefuseBadArguments) {
  BankPtr bank = NewBank();
  ASSERT_EQ(AddSeeded(bank.get(), 1), 1);
  EXPECT_NE(GetEntry(bank.get(), 0, 1), nullptr);
  EXPECT_EQ(GetEntry(bank.get(), 0, 0), nullptr);
  EXPECT_EQ(GetEntry(bank.get(), 0, 2), nullptr);
  EXPECT_EQ(GetEntry(bank.get(), 6, 1), nullptr);
  EXPECT_EQ(GetEntry(bank.get(), -1, 1), nullptr);
  EXPECT_EQ(GetEntry(nullptr, 0, 1), nullptr);
  EXPECT_EQ(GetEntryCount(bank.get(), kListFonts), 0);
  EXPECT_EQ(AddImageRef(bank.get(), 2), 0);
  EXPECT_EQ(DeleteImage(bank.get(), 0), -1);
  EXPECT_EQ(DeleteImage(bank.get(), 7), -1);
  EXPECT_EQ(FreeList(bank.get(), 6), 0);
}

TEST(BankList, SetAtNumberKeepsTheReferenceCount) {
  BankPtr bank = NewBank();
  BankEntryHeader* first = FakeMask(*bank, kListMasks, 3);
  first->refCount = 5;
  BankEntryHeader* second = FakeMask(*bank, kListMasks, 3);
  EXPECT_EQ(second->refCount, 5u);
  EXPECT_EQ(GetEntry(bank.get(), kListMasks, 3), second);
  EXPECT_EQ(vexa::ReleaseEntry(*bank, kListMasks, 3), 4);
}

TEST(BankDeduplication, IdenticalImagesShareANumber) {
  BankPtr bank = NewBank();
  const int a = AddSeeded(bank.get(), 7, kAddDeduplicate);
  const int b = AddSeeded(bank.get(), 7, kAddDeduplicate);
  EXPECT_EQ(a, b);
  ImageInfo info{};
  ASSERT_EQ(GetImageInfo(bank.get(), a, &info), 1);
  EXPECT_EQ(info.refCount, 2u);
  EXPECT_NE(info.checksum, 0u);
  EXPECT_EQ(DeleteImage(bank.get(), a), 1);
  EXPECT_NE(GetEntry(bank.get(), 0, a), nullptr) << "one delete leaves the shared image";
  EXPECT_EQ(DeleteImage(bank.get(), a), 0);
  EXPECT_EQ(GetEntry(bank.get(), 0, a), nullptr);

  // Without the flag, or with anything in the headers different, the images stay apart.
  const int c = AddSeeded(bank.get(), 7);
  EXPECT_NE(AddSeeded(bank.get(), 7), c);
  const std::uint32_t pixels[4] = {7, 8, 9, 10};
  EXPECT_NE(AddImage(bank.get(), 2, 2, 1, 0, 0, 0, 0, kAddDeduplicate | 8, pixels, nullptr), c);
}

TEST(BankImages, DeleteFreesMasksAndDriverSurface) {
  BankPtr bank = NewBank();
  const int n = AddSeeded(bank.get(), 3);
  ASSERT_EQ(AddImageRef(bank.get(), n), 2);
  FakeMask(*bank, kListMasks, n)->refCount = 2;  // a cache dies with its image all the same
  FakeMask(*bank, kListTopEdgeMasks, n);
  auto* surface = new RecordingSurface(2, 2, 32);
  ASSERT_TRUE(vexa::RecordDriverSurface(*bank, n, surface, 0));
  EXPECT_EQ(DeleteImage(bank.get(), n), 1);
  EXPECT_NE(GetEntry(bank.get(), kListMasks, n), nullptr) << "masks stay while the image does";
  EXPECT_EQ(DeleteImage(bank.get(), n), 0);
  EXPECT_EQ(GetEntry(bank.get(), kListMasks, n), nullptr);
  EXPECT_EQ(GetEntry(bank.get(), kListTopEdgeMasks, n), nullptr);
  EXPECT_EQ(GetEntry(bank.get(), kListDriverSurfaces, n), nullptr);

  // DeleteImageMasks drops just the masks; FreeList(0) takes lists 2, 3 and 4 with it.
  const int m = AddSeeded(bank.get(), 4);
  FakeMask(*bank, kListMasks, m);
  FakeMask(*bank, kListTopEdgeMasks, m);
  EXPECT_EQ(DeleteImageMasks(bank.get(), m), 1);
  EXPECT_EQ(GetEntry(bank.get(), kListMasks, m), nullptr);
  EXPECT_NE(GetEntry(bank.get(), kListImages, m), nullptr);
  FakeMask(*bank, kListMasks, m);
  ASSERT_TRUE(vexa::RecordDriverSurface(*bank, m, new RecordingSurface(2, 2, 32), 0));
  EXPECT_EQ(FreeList(bank.get(), kListImages), 1);
  for (int list : {0, 2, 3, 4}) EXPECT_EQ(bank->lists[list], nullptr) << "list " << list;
}

TEST(BankList, BusyMarksHoldTheLockCount) {
  BankPtr bank = NewBank();
  const int before = vexa::LibraryLockCount();
  EXPECT_EQ(MarkListBusy(bank.get(), kListSounds), 1);
  EXPECT_EQ(MarkListBusy(bank.get(), kListSounds), 0) << "a second mark takes nothing";
  EXPECT_EQ(bank->lists[kListSounds]->flags & kListBusy, kListBusy);
  EXPECT_EQ(vexa::LibraryLockCount(), before + 1);
  EXPECT_EQ(UnmarkListBusy(bank.get(), kListSounds), 1);
  EXPECT_EQ(UnmarkListBusy(bank.get(), kListSounds), 0);
  EXPECT_EQ(vexa::LibraryLockCount(), before);
  // A list freed (or a bank destroyed) while busy gives its count back.
  EXPECT_EQ(MarkListBusy(bank.get(), kListImages), 1);
  EXPECT_EQ(MarkListBusy(bank.get(), kListFonts), 1);
  EXPECT_EQ(FreeList(bank.get(), kListImages), 1);
  EXPECT_EQ(vexa::LibraryLockCount(), before + 1);
  bank.reset();
  EXPECT_EQ(vexa::LibraryLockCount(), before);
}

// A bank destroyed as its thread ends, by a thread_local object made before the bank (so
// destroyed after the thread's other thread_local objects, as static destructors run at exit
// after the main thread's), still leaves the thread's list safely.
TEST(ImageBankContext, ABankMayLeaveItsListAsItsThreadEnds) {
  std::thread([] {
    struct DestroyAtThreadEnd {
      ImageBank* bank = nullptr;
      ~DestroyAtThreadEnd() { DestroyImageBank(bank); }
    };
    thread_local DestroyAtThreadEnd later;
    ImageBank* first = CreateImageBank(2, nullptr);
    ImageBank* second = CreateImageBank(3, nullptr);
    ASSERT_TRUE(first && second);
    DestroyImageBank(first);
    EXPECT_EQ(vexa::ThreadApplicationContexts(), std::vector<ImageBank*>{second});
    later.bank = second;
  }).join();
}

TEST(ImageBankContext, ThreadListAndFormat) {
  const size_t before = vexa::ThreadApplicationContexts().size();
  ImageBank* a = CreateImageBank(11, nullptr);
  ImageBank* b = CreateImageBank(22, nullptr);
  ASSERT_TRUE(a && b);
  const std::vector<ImageBank*>& contexts = vexa::ThreadApplicationContexts();
  ASSERT_EQ(contexts.size(), before + 2);
  EXPECT_EQ(contexts[before], a);
  EXPECT_EQ(contexts[before + 1], b);
  EXPECT_EQ(a->ownerValue, 11u);
  EXPECT_EQ(GetPaletteMode(a), 3) << "a bank with a palette";
  EXPECT_EQ(GetPaletteMode(nullptr), 4);
  ASSERT_NE(a->workSurface, nullptr);

  EXPECT_EQ(SetImageBankFormat(a, 0) & 0xF, GetScreenModeCode() & 0xF);
  EXPECT_EQ(SetImageBankFormat(a, 4), 4);
  EXPECT_EQ(a->workSurface->GetDepth(), 24) << "the work surface follows the format";
  EXPECT_EQ(SetImageBankFormat(a, 5), 3);
  EXPECT_EQ(a->workSurface->GetDepth(), 8);
  EXPECT_EQ(a->workSurface->GetPalette(), a->palette);
  EXPECT_EQ(SetImageBankFormat(a, 0x1D7), 0x107) << "no driver: the driver bits are dropped";

  // The host's setting word does not block destruction.
  a->settingWord = 0xFFFF;
  DestroyImageBank(a);
  EXPECT_EQ(vexa::ThreadApplicationContexts().size(), before + 1);
  EXPECT_EQ(vexa::ThreadApplicationContexts()[before], b);
  DestroyImageBank(b);
  EXPECT_EQ(vexa::ThreadApplicationContexts().size(), before);
  DestroyImageBank(nullptr);
}

TEST(ImageBankContext, EachThreadListsItsOwnBanks) {
  const size_t mainBefore = vexa::ThreadApplicationContexts().size();
  size_t inThread = 0;
  int paletteMode = 0;
  std::thread worker([&] {
    // A thread that never registered for palettes: the bank has no palette.
    ImageBank* bank = CreateImageBank(0, nullptr);
    inThread = vexa::ThreadApplicationContexts().size();
    paletteMode = GetPaletteMode(bank);
    DestroyImageBank(bank);
  });
  worker.join();
  EXPECT_EQ(inThread, 1u);
  EXPECT_EQ(paletteMode, 4);
  EXPECT_EQ(vexa::ThreadApplicationContexts().size(), mainBefore);
}

TEST(ImageBankContext, PaletteFromSource) {
  LOGPALETTE256 record{0x300, 256, {}};
  for (int i = 0; i < 256; ++i) {
    record.palPalEntry[i] = PALETTEENTRY{static_cast<BYTE>(i), 0, static_cast<BYTE>(255 - i), 0};
  }
  BankPtr bank(CreateImageBank(0, reinterpret_cast<const LOGPALETTE*>(&record)));
  ASSERT_TRUE(bank && bank->palette);
  EXPECT_EQ(bank->palette->entries[200].peRed, 200);
  EXPECT_EQ(bank->palette->entries[200].peBlue, 55);
}

// Driver surfaces of kind 26 are kept by the periodic pass.
class KindSurface : public RecordingSurface {
 public:
  KindSurface(int kind) : RecordingSurface(1, 1, 32), kind_(kind) {}
  int GetKind() override { return kind_; }

 private:
  int kind_;
};

TEST(BankDriverSurfaces, ExpiryPasses) {
  BankPtr bank = NewBank();
  for (int i = 0; i < 4; ++i) AddSeeded(bank.get(), static_cast<std::uint32_t>(i) * 4);
  ASSERT_TRUE(vexa::RecordDriverSurface(*bank, 1, new KindSurface(9), 0));
  ASSERT_TRUE(vexa::RecordDriverSurface(*bank, 2, new KindSurface(9), kDriverSurfaceNeverExpires));
  ASSERT_TRUE(vexa::RecordDriverSurface(*bank, 3, new KindSurface(26), 0));
  ASSERT_TRUE(vexa::RecordDriverSurface(*bank, 4, new KindSurface(9), 0));
  auto entry = [&](int n) {
    return reinterpret_cast<DriverSurfaceEntry*>(GetEntry(bank.get(), kListDriverSurfaces, n));
  };
  const std::uint32_t t0 = entry(1)->lastUseTime;
  EXPECT_EQ(vexa::ExpireIdleDriverSurfaces(*bank, t0 + 10000), 0) << "10000 ms is not more";
  entry(4)->lastUseTime = t0 + 5000;
  EXPECT_EQ(vexa::ExpireIdleDriverSurfaces(*bank, t0 + 10001), 1);
  EXPECT_EQ(entry(1), nullptr);
  EXPECT_NE(entry(2), nullptr) << "never expires";
  EXPECT_NE(entry(3), nullptr) << "kind 26";
  EXPECT_NE(entry(4), nullptr);
  // The clock wraps like the multimedia timer's.
  entry(4)->lastUseTime = 0xFFFFF000u;
  EXPECT_EQ(vexa::ExpireIdleDriverSurfaces(*bank, 0x1000), 0);

  // The frame pass drops what was last used more than 4 frames ago, kind 26 included.
  bank->frameCounter = entry(3)->lastUseFrame + 5;
  entry(4)->lastUseFrame = bank->frameCounter - 4;
  EXPECT_EQ(vexa::ExpireStaleFrameDriverSurfaces(*bank), 1);
  EXPECT_EQ(entry(3), nullptr);
  EXPECT_NE(entry(2), nullptr);
  EXPECT_NE(entry(4), nullptr);

  // GetImageDriverSurface stamps a cached surface; without one there is none to make.
  bank->frameCounter += 10;
  EXPECT_NE(GetImageDriverSurface(bank.get(), 4, 0), nullptr);
  EXPECT_EQ(entry(4)->lastUseFrame, bank->frameCounter);
  EXPECT_EQ(GetImageDriverSurface(bank.get(), 1, 0), nullptr);
  EXPECT_EQ(ReleaseImageDriverSurface(bank.get(), 4), 1);
  EXPECT_EQ(ReleaseImageDriverSurface(bank.get(), 4), 0);
}

TEST(BankDriverSurfaces, PeriodicPassVisitsAtMost101Slots) {
  BankPtr bank = NewBank();
  for (int n = 1; n <= 150; ++n) {
    ASSERT_TRUE(vexa::RecordDriverSurface(*bank, n, new KindSurface(9), 0));
    reinterpret_cast<DriverSurfaceEntry*>(GetEntry(bank.get(), 4, n))->lastUseTime = 0;
  }
  EXPECT_EQ(vexa::ExpireIdleDriverSurfaces(*bank, 20000), 101);
  EXPECT_EQ(bank->cleanupCursor, 101);
  EXPECT_EQ(vexa::ExpireIdleDriverSurfaces(*bank, 20000), 49) << "wraps to the start";
  EXPECT_EQ(bank->cleanupCursor, 52);
}

}  // namespace
