// The per-thread palette registry: separate threads, registration counts, the end of a thread
// that never unregistered, the library's unload, and the capture of a palette display's colours.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include <vexa/palette.h>

#include "palette/palette_default.h"
#include "palette/palette_object.h"
#include "palette/palette_registry.h"
#include "palette/palette_search.h"
#include "support/palette_records.h"

namespace vexa {
namespace {

using testsupport::AsRecord;
using testsupport::GreyRecord;

TEST(PaletteRegistry, ThreadsKeepSeparatePalettes) {
  const LOGPALETTE256 record = GreyRecord();
  PaletteObject* fromA = nullptr;
  PaletteObject* defaultA = nullptr;
  bool aStillHolds = false;
  std::thread a([&] {
    defaultA = RegisterPaletteThread();
    fromA = CreatePaletteObject(AsRecord(record));
    std::thread b([&] {
      PaletteObject* defaultB = RegisterPaletteThread();
      PaletteObject* fromB = CreatePaletteObject(AsRecord(record));
      // Equal palettes are shared within a thread only.
      EXPECT_NE(fromB, fromA);
      EXPECT_NE(defaultB, defaultA);
      EXPECT_EQ(GetDefaultPalette(), defaultB);
      UnregisterPaletteThread();  // frees B's palettes, A's stay
      EXPECT_EQ(GetDefaultPalette(), nullptr);
    });
    b.join();
    aStillHolds = GetDefaultPalette() == defaultA && fromA->refCount == 1 &&
                  RgbOf(fromA->entries[7]) == 0x070707u;
    UnregisterPaletteThread();
  });
  a.join();
  EXPECT_TRUE(aStillHolds);
}

TEST(PaletteRegistry, LastUnregistrationFreesEveryPaletteWhateverItsCount) {
  std::thread([] {
    const int live = LivePaletteObjectCount();
    const int records = PaletteThreadRecordCount();
    PaletteObject* first = RegisterPaletteThread();
    PaletteObject* second = RegisterPaletteThread();
    EXPECT_EQ(first, second);  // one default palette, two references
    EXPECT_EQ(PaletteThreadRecordCount(), records + 1);
    const LOGPALETTE256 record = GreyRecord();
    PaletteObject* grey = CreatePaletteObject(AsRecord(record));
    AddPaletteRef(grey);
    EXPECT_EQ(LivePaletteObjectCount(), live + 2);
    UnregisterPaletteThread();
    EXPECT_EQ(GetDefaultPalette(), first);  // still registered once
    ReleasePalette(first);
    EXPECT_EQ(LivePaletteObjectCount(), live + 2);
    UnregisterPaletteThread();
    EXPECT_EQ(LivePaletteObjectCount(), live);
    EXPECT_EQ(PaletteThreadRecordCount(), records);
    UnregisterPaletteThread();  // not registered: nothing happens
  }).join();
}

TEST(PaletteRegistry, ThreadEndingWithoutUnregisteringLeavesNoPalette) {
  const int live = LivePaletteObjectCount();
  const int records = PaletteThreadRecordCount();
  const int registered = RegisteredPaletteCount();
  std::thread([] {
    RegisterPaletteThread();
    RegisterPaletteThread();
    const LOGPALETTE256 record = GreyRecord();
    CreatePaletteObject(AsRecord(record));
    EXPECT_EQ(RegisteredPaletteCount() > 0, true);
  }).join();
  EXPECT_EQ(LivePaletteObjectCount(), live);
  EXPECT_EQ(PaletteThreadRecordCount(), records);
  EXPECT_EQ(RegisteredPaletteCount(), registered);
  // A thread that unregistered and ended is not freed twice.
  std::thread([] {
    RegisterPaletteThread();
    UnregisterPaletteThread();
  }).join();
  EXPECT_EQ(LivePaletteObjectCount(), live);
}

TEST(PaletteRegistry, ListsGrowPastTheirFirstCapacity) {
  std::thread([] {
    PaletteObject* defaultPalette = RegisterPaletteThread();
    const int live = LivePaletteObjectCount();
    LOGPALETTE256 record = GreyRecord();
    PaletteObject* made[20];
    for (int i = 0; i < 20; ++i) {
      record.palPalEntry[1] = PALETTEENTRY{BYTE(i + 1), 0, 0, 0};
      made[i] = CreatePaletteObject(AsRecord(record));
      ASSERT_NE(made[i], nullptr);
    }
    EXPECT_EQ(LivePaletteObjectCount(), live + 20);
    for (int i = 0; i < 20; ++i) {
      record.palPalEntry[1] = PALETTEENTRY{BYTE(i + 1), 0, 0, 0};
      EXPECT_EQ(CreatePaletteObject(AsRecord(record)), made[i]) << i;
    }
    EXPECT_EQ(GetDefaultPalette(), defaultPalette);
    UnregisterPaletteThread();
    EXPECT_EQ(LivePaletteObjectCount(), live - 1);
  }).join();
}

// Registers this thread and a second one, unloads, and exits with 0 when everything was freed.
[[noreturn]] void UnloadWithTwoThreadsRegistered() {
  std::mutex m;
  std::condition_variable cv;
  bool registered = false;
  bool freed = false;
  std::thread holder([&] {
    RegisterPaletteThread();
    std::unique_lock<std::mutex> lock(m);
    registered = true;
    cv.notify_all();
    cv.wait(lock, [&] { return freed; });
  });
  {
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return registered; });
  }
  RegisterPaletteThread();
  const bool before = PaletteThreadRecordCount() >= 2 && LivePaletteObjectCount() >= 2;
  FreeAllPaletteThreads();
  const bool after = PaletteThreadRecordCount() == 0 && LivePaletteObjectCount() == 0 &&
                     GetDefaultPalette() == nullptr;
  {
    std::lock_guard<std::mutex> lock(m);
    freed = true;
  }
  cv.notify_all();
  holder.join();  // its end finds no record left to free
  std::exit(before && after && LivePaletteObjectCount() == 0 ? 0 : 1);
}

TEST(PaletteRegistryDeathTest, UnloadFreesEveryThreadsPalettes) {
  // In a child process: the unload frees the palettes of every thread of the process.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(UnloadWithTwoThreadsRegistered(), testing::ExitedWithCode(0), "");
}

// A pretend palette display whose system palette is entry i = (i, 255 - i, 7, 9).
struct FakeDisplay {
  int colors;
  static int Count(void* self) { return static_cast<FakeDisplay*>(self)->colors; }
  static void Read(void*, int first, int count, PALETTEENTRY* out) {
    for (int i = 0; i < count; ++i)
      out[i] = PALETTEENTRY{BYTE(first + i), BYTE(255 - first - i), 7, 9};
  }
};

class PaletteCapture : public testing::Test {
 protected:
  void TearDown() override {
    SetSystemPaletteSource(nullptr);
    ResetDefaultLogPalettes();
  }
  static void Install(FakeDisplay* display) {
    const SystemPaletteSource source{FakeDisplay::Count, FakeDisplay::Read, display};
    SetSystemPaletteSource(&source);
  }
};

TEST_F(PaletteCapture, PaletteDisplayReplacesTheStaticColors) {
  FakeDisplay display{256};
  Install(&display);
  std::thread([] {
    PaletteObject* p = RegisterPaletteThread();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(RgbOf(p->entries[3]), 0x07FC03u);
    EXPECT_EQ(RgbOf(p->entries[250]), 0x0705FAu);
    EXPECT_EQ(RgbOf(p->entries[100]), 0xEFA700u);  // 00A7EF: entries 10-245 keep the built-ins
    UnregisterPaletteThread();
  }).join();
  const LOGPALETTE256 captured = DefaultLogPalette();
  EXPECT_EQ(captured.palPalEntry[3].peFlags, 0);  // the flag bytes of captured entries are cleared
  EXPECT_EQ(captured.palPalEntry[100].peFlags, kNoCollapseFlag);
  EXPECT_EQ(DefaultLogPalette16().palPalEntry[3].peRed, 0x80);  // 16-colour record untouched
}

TEST_F(PaletteCapture, SixteenColorDisplayReplacesTheSixteenColorRecord) {
  FakeDisplay display{16};
  Install(&display);
  std::thread([] {
    PaletteObject* p = RegisterPaletteThread();
    EXPECT_EQ(RgbOf(p->entries[3]), 0x008080u);  // the default record keeps its colours
    UnregisterPaletteThread();
  }).join();
  const LogPalette16 record = DefaultLogPalette16();
  EXPECT_EQ(record.palNumEntries, 16);
  EXPECT_EQ(record.palPalEntry[3].peRed, 3);
  EXPECT_EQ(record.palPalEntry[3].peFlags, 0);
}

}  // namespace
}  // namespace vexa
