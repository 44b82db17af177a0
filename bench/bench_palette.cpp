// Palettes: the nearest-colour search (the inner loop of every conversion to 8 bits), with and
// without the inverse table, building that table, building a remap table and remapping a frame
// of 8-bit pixels. "vexa" runs at the library's SIMD level, "scalar" is the scalar reference of
// the same vector form (identical results); "plain" is the plain form of the search.
#include <random>
#include <vector>

#include <vexa/memory.h>
#include <vexa/palette.h>

#include "bench_pairs.h"
#include "palette/palette_ops.h"
#include "palette/palette_remap_pixels.h"

namespace {

using vexa::PaletteSearchFn;

constexpr int kFrameWidth = 640;
constexpr int kFrameHeight = 480;
constexpr std::size_t kFramePixels = kFrameWidth * kFrameHeight;
constexpr std::size_t kColors = 4096;

// The benchmark thread's default palette (registered once, kept for the whole run).
PaletteObject* DefaultPalette() {
  static PaletteObject* const palette = RegisterPaletteThread();
  return palette;
}

// A second palette: the default one in reverse order, so that remapping has work to do.
PaletteObject* ReversedPalette() {
  static PaletteObject* const palette = [] {
    LOGPALETTE256 record{};
    record.palVersion = 0x300;
    record.palNumEntries = 256;
    for (int i = 0; i < 256; ++i) record.palPalEntry[i] = DefaultPalette()->entries[255 - i];
    return CreatePaletteObject(reinterpret_cast<const LOGPALETTE*>(&record));
  }();
  return palette;
}

const std::vector<COLORREF>& RandomColors() {
  static const std::vector<COLORREF> colors = [] {
    std::mt19937 rng(7);
    std::vector<COLORREF> c(kColors);
    for (COLORREF& v : c) v = rng() & 0xFFFFFF;
    return c;
  }();
  return colors;
}

// A 640 x 480 true-colour frame: smooth gradients with noise, as a game scene converts.
const std::vector<COLORREF>& Frame() {
  static const std::vector<COLORREF> frame = [] {
    std::mt19937 rng(11);
    std::vector<COLORREF> f(kFramePixels);
    for (int y = 0; y < kFrameHeight; ++y)
      for (int x = 0; x < kFrameWidth; ++x) {
        const unsigned r = (x * 255 / kFrameWidth + rng() % 16) & 0xFF;
        const unsigned g = (y * 255 / kFrameHeight + rng() % 16) & 0xFF;
        const unsigned b = ((x + y) * 255 / (kFrameWidth + kFrameHeight) + rng() % 16) & 0xFF;
        f[y * kFrameWidth + x] = r | g << 8 | b << 16;
      }
    return f;
  }();
  return frame;
}

// The search itself over the whole palette: going through the palette's lookup would meet its
// cache, filled by whichever form ran first, and time that instead.
void NearestColors(PaletteSearchFn search) {
  PaletteObject* p = DefaultPalette();
  unsigned sum = 0;
  for (COLORREF c : RandomColors())
    sum += static_cast<unsigned>(vexa::NearestColorSearch(search, p->entries, p->entryCount, c));
  vexabench::Keep(sum);
}

// Converts the frame to indexes through a freshly built inverse table.
void ConvertFrameThroughInverseTable(PaletteSearchFn search) {
  PaletteObject* p = ReversedPalette();
  static std::vector<BYTE> indexes(kFramePixels);
  void* table = p->inverseTable;
  FreeBlockAndClear(&table);
  p->inverseTable = nullptr;
  BuildInverseTable(p);
  const std::vector<COLORREF>& frame = Frame();
  for (std::size_t i = 0; i < kFramePixels; ++i)
    indexes[i] = static_cast<BYTE>(vexa::NearestIndexWith(p, frame[i], search));
  vexabench::Keep(indexes.data());
}

void RebuildInverseTable() {
  PaletteObject* p = DefaultPalette();
  void* table = p->inverseTable;
  FreeBlockAndClear(&table);
  p->inverseTable = nullptr;
  BuildInverseTable(p);
  vexabench::Keep(p->inverseTable);
}

void RemapTable(PaletteSearchFn search) {
  BYTE table[256];
  vexa::BuildRemapTableWith(table, DefaultPalette(), ReversedPalette(), true, search);
  vexabench::Keep(table);
}

std::vector<BYTE>& Pixels() {
  static std::vector<BYTE> pixels = [] {
    std::mt19937 rng(5);
    std::vector<BYTE> p(kFramePixels);
    for (BYTE& v : p) v = static_cast<BYTE>(rng());
    return p;
  }();
  return pixels;
}

const BYTE* ReverseTable() {
  static BYTE table[256];
  for (int i = 0; i < 256; ++i) table[i] = static_cast<BYTE>(255 - i);
  return table;
}

const vexabench::Registrar kRegistrar([] {
  const PaletteSearchFn active = vexa::PaletteSearchFor(1);
  const PaletteSearchFn scalar = vexa::PaletteSearchFor(1, vexa::SimdLevel::Scalar);
  const PaletteSearchFn plain = vexa::PaletteSearchFor(0);
  vexabench::RegisterCase("palette_nearest_4096", "Mcolours/s", kColors,
                          {{"vexa", [=] { NearestColors(active); }},
                           {"scalar", [=] { NearestColors(scalar); }},
                           {"plain", [=] { NearestColors(plain); }}});
  vexabench::RegisterCase("palette_nearest_inverse_640x480", "Mpix/s", kFramePixels,
                          {{"vexa", [=] { ConvertFrameThroughInverseTable(active); }},
                           {"scalar", [=] { ConvertFrameThroughInverseTable(scalar); }}});
  // Building the table is a zero fill and one store per entry: the same code at every level.
  vexabench::RegisterCase(
      "palette_build_inverse", "Mkeys/s", kInverseTableSize,
      {{"vexa", [] { RebuildInverseTable(); }}, {"scalar", [] { RebuildInverseTable(); }}});
  vexabench::RegisterCase(
      "palette_remap_table", "Mentries/s", 256,
      {{"vexa", [=] { RemapTable(active); }}, {"scalar", [=] { RemapTable(scalar); }}});
  const vexa::RemapIndexesFn scalarRemap = vexa::RemapIndexesAt(vexa::SimdLevel::Scalar);
  vexabench::RegisterCase(
      "palette_remap_pixels_640x480", "Mpix/s", kFramePixels,
      {{"vexa", [] { vexa::RemapIndexes(Pixels().data(), kFramePixels, ReverseTable()); }},
       {"scalar", [=] { scalarRemap(Pixels().data(), kFramePixels, ReverseTable()); }}});
});

}  // namespace
