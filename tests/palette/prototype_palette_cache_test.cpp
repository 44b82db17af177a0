// The 8-bit prototypes' process-wide palette: its inverse table is a cache that the first
// colour reaching a cell decides, as every palette's is, and starts empty apart from the
// entries' own cells.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include <vexa/surface_object.h>

#include "base/cpu_features.h"
#include "support/inverse_table_model.h"
#include "support/surface_factory.h"

namespace {

using testsupport::ColorInCell;
using testsupport::InverseTableModel;

bool VectorForm() { return (vexa::LibraryCpuFeatureWord() & 1) != 0; }

// Colours for the cache: `cells` empty cells each reached by two colours in turn, with random
// colours anywhere in between.
std::vector<COLORREF> CacheSequence(const std::vector<unsigned>& empty, int cells,
                                    std::mt19937& rng) {
  std::vector<COLORREF> colors;
  for (int i = 0; i < cells; ++i) {
    const unsigned cell = empty[rng() % empty.size()];
    colors.push_back(ColorInCell(cell, rng() & 0x1FF));
    colors.push_back(rng() & 0xFFFFFF);
    colors.push_back(ColorInCell(cell, rng() & 0x1FF));
  }
  return colors;
}

struct Fresh8BitSurface {
  std::unique_ptr<cSurfaceObject> surface = testsupport::MakeSurface(8, 64, 64);
  PaletteObject* palette = nullptr;
  std::vector<unsigned> empty;

  // False (with a test failure) unless the surface shares a palette whose table is still
  // mostly empty: other tests of this process may have filled some cells, but a table filled
  // up front would have none left.
  bool Ready() {
    EXPECT_TRUE(surface->IsValid());
    if (!surface->IsValid()) return false;
    palette = surface->implementation->palette;
    EXPECT_NE(palette, nullptr);
    if (!palette || !palette->inverseTable) return false;
    empty = testsupport::EmptyCells(*palette);
    EXPECT_GT(empty.size(), 1024u) << "the table was filled before colours asked";
    return empty.size() > 1024u;
  }
};

TEST(PrototypePaletteCache, PixelColorsFollowTheFirstColorOfEachCell) {
  Fresh8BitSurface fresh;
  if (!fresh.Ready()) return;
  InverseTableModel model(*fresh.palette, VectorForm());
  // This colour's own search gives entry 203 (0x970000), its cell's centre entry 108.
  const COLORREF probe = 0x00A81B07;
  const bool probeCellEmpty = fresh.palette->inverseTable[testsupport::CellOf(probe)] == 0;
  std::mt19937 rng(16);
  std::vector<COLORREF> colors = {probe};
  for (COLORREF c : CacheSequence(fresh.empty, 1300, rng)) colors.push_back(c);
  ASSERT_LE(colors.size(), 64u * 64u);

  int decidedByEarlierColor = 0;
  for (std::size_t i = 0; i < colors.size(); ++i) {
    const COLORREF c = colors[i];
    const int x = static_cast<int>(i % 64), y = static_cast<int>(i / 64);
    const int expected = model.Index(c);
    decidedByEarlierColor += expected != model.Search(c);
    fresh.surface->SetPixelColor(x, y, c);
    COLORREF got = 0xFFFFFFFF;
    ASSERT_EQ(fresh.surface->GetPixelColor(x, y, &got), 1);
    ASSERT_EQ(got, model.ColorOf(expected))
        << std::hex << "colour " << c << " at " << std::dec << i;
  }
  if (probeCellEmpty) {
    COLORREF got = 0;
    fresh.surface->GetPixelColor(0, 0, &got);
    EXPECT_EQ(got, 0x00970000u);
  }
  // The sequence holds second colours whose own search differs from their cell's answer.
  EXPECT_GT(decidedByEarlierColor, 0);
}

TEST(PrototypePaletteCache, TransparentColorsFollowTheFirstColorOfEachCell) {
  Fresh8BitSurface fresh;
  if (!fresh.Ready()) return;
  InverseTableModel model(*fresh.palette, VectorForm());
  std::mt19937 rng(1234);
  std::vector<COLORREF> colors = {0xDF1934};  // own search 0x70, cell centre 0x71
  for (COLORREF c : CacheSequence(fresh.empty, 300, rng)) colors.push_back(c);
  for (COLORREF c : colors) {
    fresh.surface->SetTransparentColor(c);
    ASSERT_EQ(fresh.surface->GetTransparentValue(), static_cast<std::uint32_t>(model.Index(c)))
        << std::hex << c;
  }
}

}  // namespace
