// Palette objects on a registered thread: the default palette, normalisation and sharing,
// release, colour lookup with and without the inverse table, handles and entry copies.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include <vexa/palette.h>

#include "base/cpu_features.h"
#include "palette/palette_default.h"
#include "palette/palette_object.h"
#include "palette/palette_ops.h"
#include "platform/palette/palette_handle.h"
#include "support/palette_records.h"

namespace vexa {
namespace {

// Runs a test body on a new thread, which starts with an empty palette registry record.
template <typename Body>
void OnFreshThread(Body body) {
  std::thread thread(body);
  thread.join();
}

// Registers the thread for its lifetime; holds the default palette reference.
struct RegisteredThread {
  PaletteObject* defaultPalette = RegisterPaletteThread();
  ~RegisteredThread() {
    ReleasePalette(defaultPalette);
    UnregisterPaletteThread();
  }
};

using testsupport::AsRecord;
using testsupport::GreyRecord;

TEST(PaletteObject, DefaultPaletteHoldsTheBuiltInColors) {
  OnFreshThread([] {
    RegisteredThread thread;
    PaletteObject* p = thread.defaultPalette;
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->version, 0x300);
    EXPECT_EQ(p->entryCount, 256);
    EXPECT_EQ(RgbOf(p->entries[9]), 0xF0CAA6u);    // A6CAF0 as 0x00BBGGRR
    EXPECT_EQ(RgbOf(p->entries[48]), 0x01FFFFu);   // FFFF01
    EXPECT_EQ(RgbOf(p->entries[168]), 0x000008u);  // 080000
    EXPECT_EQ(RgbOf(p->entries[255]), 0xFFFFFFu);
    EXPECT_EQ(p->entries[100].peFlags, 0);  // objects keep no flags; the record has 4 there
    EXPECT_EQ(DefaultLogPalette().palPalEntry[100].peFlags, kNoCollapseFlag);
    EXPECT_EQ(DefaultLogPalette().palPalEntry[5].peFlags, 0);
    EXPECT_EQ(p->darkestIndex, 245);  // the last (8, 0, 0) among entries 1-255
    PaletteObject* again = GetDefaultPalette();
    EXPECT_EQ(again, p);
    ReleasePalette(again);
  });
}

TEST(PaletteObject, NearestIndexOnTheDefaultPaletteInBothForms) {
  OnFreshThread([] {
    RegisteredThread thread;
    PaletteObject* p = thread.defaultPalette;
    for (std::uint32_t word : {0u, 1u}) {
      const PaletteSearchFn search = PaletteSearchFor(word);
      EXPECT_EQ(NearestIndexWith(p, 0x000000, search), 0) << word;
      EXPECT_EQ(NearestIndexWith(p, 0x01000000, search), 0) << word;  // only RGB decides black
      // A very dark red lands on the last of the (8, 0, 0) entries in both forms.
      EXPECT_EQ(NearestIndexWith(p, 0x000005, search), 245) << word;
      EXPECT_EQ(NearestIndexWith(p, 0x000001, search), p->darkestIndex) << word;
      EXPECT_EQ(NearestIndexWith(p, 0xFFFFFF, search), 255) << word;
    }
    EXPECT_EQ(GetNearestIndex(nullptr, 0x123456), 0);
  });
}

TEST(PaletteObject, ColorWhoseRedNamesAnEqualEntryNeedsNoSearch) {
  OnFreshThread([] {
    RegisteredThread thread;
    LOGPALETTE256 record = GreyRecord();
    record.palPalEntry[40] = PALETTEENTRY{60, 60, 60, 0};
    PaletteObject* p = CreatePaletteObject(AsRecord(record));
    ASSERT_NE(p, nullptr);
    // Entry 60 is (60, 60, 60), named by the red byte; the search would find entry 40 first.
    EXPECT_EQ(NearestIndexWith(p, 0x3C3C3C, SearchPlain), 60);
    EXPECT_EQ(NearestIndexWith(p, 0x013C3C3C, SearchPlain), 40);  // top bits set: no shortcut
    ReleasePalette(p);
  });
}

TEST(PaletteObject, BlackEntriesBecomeNearBlackAndEqualPalettesAreShared) {
  OnFreshThread([] {
    RegisteredThread thread;
    LOGPALETTE256 record = GreyRecord();
    record.palPalEntry[8] = PALETTEENTRY{0, 0, 0, 0};
    record.palPalEntry[200] = PALETTEENTRY{0, 0, 0, 5};
    record.palPalEntry[30].peFlags = 7;
    PaletteObject* p = CreatePaletteObject(AsRecord(record));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(RgbOf(p->entries[0]), 0u);
    EXPECT_EQ(RgbOf(p->entries[8]), 8u);
    EXPECT_EQ(RgbOf(p->entries[200]), 8u);
    EXPECT_EQ(p->entries[200].peFlags, 0);
    EXPECT_EQ(p->entries[30].peFlags, 0);
    EXPECT_EQ(p->refCount, 1);
    // The same record, or one with (8, 0, 0) where it had black, gives the same object.
    EXPECT_EQ(CreatePaletteObject(AsRecord(record)), p);
    record.palPalEntry[8] = PALETTEENTRY{8, 0, 0, 0};
    EXPECT_EQ(CreatePaletteObject(AsRecord(record)), p);
    EXPECT_EQ(p->refCount, 3);
    // Entry 0 must match exactly.
    record.palPalEntry[0] = PALETTEENTRY{8, 0, 0, 0};
    PaletteObject* other = CreatePaletteObject(AsRecord(record));
    EXPECT_NE(other, p);
    for (PaletteObject* q : {p, p, p, other}) ReleasePalette(q);
  });
}

TEST(PaletteObject, RecordsOfOtherSizesAreReadSafely) {
  OnFreshThread([] {
    RegisteredThread thread;
    EXPECT_EQ(CreatePaletteObject(nullptr), nullptr);
    // A record that claims more than 256 entries: only the 256 the object can hold are read.
    LOGPALETTE256 big = GreyRecord();
    big.palNumEntries = 1000;
    PaletteObject* p = CreatePaletteObject(AsRecord(big));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->entryCount, 256);
    EXPECT_EQ(RgbOf(p->entries[255]), 0xFFFFFFu);
    // A 4-entry record: nothing past its entries is read, and no lookup answers beyond them.
    struct {
      WORD version = 0x300, count = 4;
      PALETTEENTRY entries[4] = {{0, 0, 0, 0}, {200, 0, 0, 0}, {0, 200, 0, 0}, {0, 0, 200, 0}};
    } small;
    PaletteObject* q = CreatePaletteObject(reinterpret_cast<const LOGPALETTE*>(&small));
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->entryCount, 4);
    EXPECT_EQ(RgbOf(q->entries[4]), 8u);
    EXPECT_NE(q, p);
    // Entry 8 holds (8, 0, 0) but lies past the entry count.
    EXPECT_LT(GetNearestIndex(q, 0x000008), 4);
    ASSERT_TRUE(BuildInverseTable(q));
    EXPECT_LT(LookupInverse(q, 0x000008), 4);
    PALETTEENTRY out[8] = {};
    EXPECT_EQ(CopyPaletteEntries(q, out, 2, 8), 2);
    EXPECT_EQ(out[1].peBlue, 200);
    EXPECT_EQ(CopyPaletteEntries(q, out, 4, 1), 0);
    EXPECT_EQ(CopyPaletteEntries(nullptr, out, 0, 1), 0);
    ReleasePalette(p);
    ReleasePalette(q);
  });
}

TEST(PaletteObject, CreationNeedsARegisteredThread) {
  OnFreshThread([] {
    const LOGPALETTE256 record = GreyRecord();
    EXPECT_EQ(CreatePaletteObject(AsRecord(record)), nullptr);
    EXPECT_EQ(GetDefaultPalette(), nullptr);
  });
}

TEST(PaletteObject, LastReleaseFreesOnlyOnTheOwningThread) {
  OnFreshThread([] {
    RegisteredThread thread;
    const int live = LivePaletteObjectCount();
    const LOGPALETTE256 record = GreyRecord();
    PaletteObject* p = CreatePaletteObject(AsRecord(record));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(AddPaletteRef(p), p);
    EXPECT_EQ(AddPaletteRef(nullptr), nullptr);
    ReleasePalette(reinterpret_cast<LOGPALETTE*>(p));  // the record view of the second entry point
    EXPECT_EQ(LivePaletteObjectCount(), live + 1);
    // Released to 0 by another thread: it stays with its owner instead of being freed under it.
    std::thread([p] { ReleasePalette(p); }).join();
    EXPECT_EQ(LivePaletteObjectCount(), live + 1);
    p->refCount = 1;
    ReleasePalette(p);
    EXPECT_EQ(LivePaletteObjectCount(), live);
    ReleasePalette(static_cast<PaletteObject*>(nullptr));
  });
}

TEST(PaletteObject, InverseTableCachesTheFirstAnswerPerKey) {
  OnFreshThread([] {
    RegisteredThread thread;
    PaletteObject* p = thread.defaultPalette;
    // Without a table the lookup searches (and stores nothing).
    EXPECT_EQ(LookupInverse(p, 0x0000FE), GetNearestIndex(p, 0x0000FE));
    ASSERT_TRUE(BuildInverseTable(p));
    std::uint8_t* table = p->inverseTable;
    EXPECT_TRUE(BuildInverseTable(p));
    EXPECT_EQ(p->inverseTable, table);  // built once
    EXPECT_EQ(table[ColorKey(0xFFFFFF)], 255);
    EXPECT_EQ(table[ColorKey(0x0000FF)], 249);
    // Unknown keys are searched once and remembered for every colour with that key.
    const COLORREF first = 0x203040, sameKey = 0x273747;
    ASSERT_EQ(ColorKey(first), ColorKey(sameKey));
    ASSERT_EQ(table[ColorKey(first)], 0);
    const int answer = GetNearestIndex(p, first);
    EXPECT_EQ(table[ColorKey(first)], answer);
    table[ColorKey(first)] = 77;  // prove the next answers come from the table
    EXPECT_EQ(GetNearestIndex(p, sameKey), 77);
    EXPECT_EQ(LookupInverse(p, sameKey), 77);
    EXPECT_EQ(BuildInverseTable(nullptr), 0);
    EXPECT_EQ(LookupInverse(nullptr, 0x123456), 0);
  });
}

TEST(PaletteObject, HandleCopiesEntriesWithNoCollapseFlags) {
  OnFreshThread([] {
    RegisteredThread thread;
    PaletteObject* p = thread.defaultPalette;
    HPALETTE handle = GetPaletteHandle(p);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(GetPaletteHandle(p), handle);
    PALETTEENTRY entries[256];
    ASSERT_EQ(plat::GetPaletteHandleEntries(handle, 0, 256, entries), 256);
    for (int i = 0; i < 256; ++i) {
      EXPECT_EQ(RgbOf(entries[i]), RgbOf(p->entries[i])) << i;
      EXPECT_EQ(entries[i].peFlags, (i >= 10 && i < 246) ? 4 : 0) << i;
    }
    EXPECT_EQ(plat::GetPaletteHandleEntries(handle, 250, 10, entries), 6);
    EXPECT_EQ(GetPaletteHandle(nullptr), nullptr);
  });
}

}  // namespace
}  // namespace vexa
