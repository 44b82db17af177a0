// Threads sharing the process-wide palettes of the 8-bit prototypes and the alpha views:
// their inverse tables fill and their reference counts change from several threads at once.
// These tests also run under ThreadSanitizer (make tsan-test), where any unsynchronised
// access to a shared palette is a failure of its own.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include <vexa/blit.h>
#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "base/cpu_features.h"
#include "palette/grey_palette.h"
#include "support/inverse_table_model.h"
#include "support/surface_factory.h"

namespace {

using testsupport::ColorInCell;

// Starts all workers at once so that their work overlaps.
class StartLine {
 public:
  explicit StartLine(int workers) : waiting_(workers) {}
  void Arrive() {
    waiting_.fetch_sub(1);
    while (waiting_.load() > 0) std::this_thread::yield();
  }

 private:
  std::atomic<int> waiting_;
};

// Indices of entries whose blue is at most 64: blends of their colours never reach a cell of
// blue 192 or more.
std::vector<std::uint32_t> DarkBlueEntries(const PaletteObject& palette) {
  std::vector<std::uint32_t> indices;
  for (std::uint32_t i = 1; i < 256; ++i)
    if (palette.entries[i].peBlue <= 64) indices.push_back(i);
  return indices;
}

TEST(PaletteThreads, ConvertingThreadsAgreeOnEveryCell) {
  constexpr int kThreads = 2, kWidth = 256, kBand = 24;
  auto shared = testsupport::MakeSurface(8, kWidth, kThreads * kBand);
  ASSERT_TRUE(shared->IsValid());
  PaletteObject* palette = shared->implementation->palette;
  ASSERT_TRUE(palette && palette->inverseTable);

  // Cells nobody has reached yet, all with blue of 192 or more, which the threads' colours
  // reach together.
  std::vector<unsigned> cells;
  for (unsigned cell : testsupport::EmptyCells(*palette))
    if ((cell & 0x1F) >= 24) cells.push_back(cell);
  ASSERT_GE(cells.size(), 64u);
  std::mt19937 pick(32);
  std::shuffle(cells.begin(), cells.end(), pick);
  cells.resize(48);

  std::vector<std::vector<COLORREF>> colors(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    std::mt19937 rng(100 + t);
    for (int i = 0; i < kWidth * kBand; ++i)
      colors[t].push_back(ColorInCell(cells[rng() % cells.size()], rng() & 0x1FF));
  }
  // Each thread also blends between surfaces of its own that share the palette, so that the
  // renderer's table reads run while cells fill.
  const std::vector<std::uint32_t> dark = DarkBlueEntries(*palette);
  ASSERT_FALSE(dark.empty());
  std::vector<std::unique_ptr<cSurfaceObject>> sources, targets;
  for (int t = 0; t < kThreads; ++t) {
    sources.push_back(testsupport::MakeSurface(8, 48, 48));
    targets.push_back(testsupport::MakeSurface(8, 48, 48));
    std::mt19937 rng(200 + t);
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 48; ++x) {
        sources[t]->SetPixelValue(x, y, dark[rng() % dark.size()]);
        targets[t]->SetPixelValue(x, y, dark[rng() % dark.size()]);
      }
  }

  StartLine start(kThreads);
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      start.Arrive();
      for (int i = 0; i < kWidth * kBand; ++i) {
        shared->SetPixelColor(i % kWidth, t * kBand + i / kWidth, colors[t][i]);
        if (i % 2048 == 0) {
          sources[t]->Blit(targets[t].get(), 0, 0, 0, 0, 48, 48, kModeOpaque,
                           kEffectSemiTransparent, 40 + i / 2048, 0);
        }
      }
    });
  }
  for (std::thread& w : workers) w.join();

  // Every cell holds the search result of one of the colours that reached it, and every pixel
  // the index its cell holds.
  const bool vectorForm = (vexa::LibraryCpuFeatureWord() & 1) != 0;
  std::vector<std::set<int>> answers(kInverseTableSize);
  for (int t = 0; t < kThreads; ++t)
    for (COLORREF c : colors[t])
      answers[testsupport::CellOf(c)].insert(
          testsupport::ModelNearest(palette->entries, c, vectorForm));
  for (unsigned cell : cells) {
    const int stored = palette->inverseTable[cell];
    if (answers[cell].empty()) continue;
    EXPECT_TRUE(answers[cell].count(stored)) << "cell " << cell << " holds " << stored;
  }
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kWidth * kBand; ++i) {
      std::uint32_t index = 0;
      shared->GetPixelValue(i % kWidth, t * kBand + i / kWidth, &index);
      const COLORREF c = colors[t][i];
      const bool exactByRed = testsupport::EntryRgb(palette->entries[c & 0xFF]) == c;
      const std::uint32_t expected =
          exactByRed ? (c & 0xFF) : palette->inverseTable[testsupport::CellOf(c)];
      ASSERT_EQ(index, expected) << "thread " << t << " pixel " << i;
    }
  }
}

TEST(PaletteThreads, ReferenceCountsHoldWhileThreadsMakeAndDropSurfaces) {
  auto first = testsupport::MakeSurface(8, 4, 4);
  ASSERT_TRUE(first->IsValid());
  PaletteObject* prototypePalette = first->implementation->palette;
  PaletteObject* grey = vexa::SharedGreyPalette();
  const std::int32_t prototypeCount = prototypePalette->refCount;
  const std::int32_t greyCount = grey->refCount;

  constexpr int kThreads = 4;
  StartLine start(kThreads);
  std::vector<std::thread> workers;
  std::atomic<int> failures{0};
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&] {
      RegisterThread();
      start.Arrive();
      for (int i = 0; i < 300; ++i) {
        auto surface = testsupport::MakeSurface(8, 4, 4);
        if (!surface->IsValid() || surface->implementation->palette != prototypePalette) ++failures;
        if (!surface->CreateAlpha()) ++failures;
        cSurfaceObject* alpha = surface->GetAlphaSurface();  // a view on the shared grey palette
        if (!alpha) ++failures;
        DeleteSurfaceObject(alpha);
      }
      UnregisterThread();
    });
  }
  for (std::thread& w : workers) w.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(prototypePalette->refCount, prototypeCount);
  EXPECT_EQ(grey->refCount, greyCount);
}

}  // namespace
