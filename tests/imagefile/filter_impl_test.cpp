// The image filter base class: its slot order and defaults, palettes, and row conversion
// against a per-pixel reference written from the conversion rules.
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include <vexa/filter_impl.h>
#include <vexa/stream.h>

#include "imagefile/filter_convert_rows.h"

namespace {

class PlainFilter final : public CFilterImpl {
 public:
  void Release() override { delete this; }
  std::uint32_t GetID() override { return 0x12345678; }
  int Reserved4() override { return 44; }
  int CanReadFile(CInputFile*) override { return 0; }
  int BeginRead(CInputFile*) override { return 0; }
  int ReadImage(CInputFile*, BYTE*, int, BYTE*, int) override { return 0; }
};

template <typename Fn>
Fn Slot(CFilterImpl* object, int slot) {
  void** table = *reinterpret_cast<void***>(object);
  return reinterpret_cast<Fn>(table[slot]);
}

// A palette record with room for 256 entries.
struct Palette {
  LOGPALETTE256 record{0x300, 0, {}};
  LOGPALETTE* get() { return reinterpret_cast<LOGPALETTE*>(&record); }
  void Add(int r, int g, int b) {
    record.palPalEntry[record.palNumEntries++] =
        PALETTEENTRY{static_cast<BYTE>(r), static_cast<BYTE>(g), static_cast<BYTE>(b), 0};
  }
};

Palette RandomPalette(std::mt19937& rng, int count) {
  Palette p;
  for (int i = 0; i < count; ++i) p.Add(rng() & 255, rng() & 255, rng() & 255);
  return p;
}

TEST(FilterImplSlots, DefaultsAnswerFromTheirSlots) {
  auto* f = new PlainFilter;
  f->width = 7;
  f->height = 5;
  f->depth = 24;
  f->fileLineBytes = 24;
  f->hasAlpha = 1;
  f->frameCount = 3;
  f->currentFrame = 2;
  f->extraInfo[0] = 111;
  f->extraInfo[1] = 222;
  using Int0 = int (*)(CFilterImpl*);
  EXPECT_EQ((Slot<std::uint32_t (*)(CFilterImpl*)>(f, 3)(f)), 0x12345678u);
  EXPECT_EQ(Slot<Int0>(f, 4)(f), 44);
  EXPECT_EQ(Slot<Int0>(f, 5)(f), 0x7C);
  EXPECT_EQ(Slot<Int0>(f, 6)(f), 1);
  for (int slot : {9, 10, 11, 12, 27, 31, 32, 36}) EXPECT_EQ(Slot<Int0>(f, slot)(f), 0) << slot;
  EXPECT_EQ(Slot<Int0>(f, 18)(f), 7);
  EXPECT_EQ(Slot<Int0>(f, 19)(f), 5);
  EXPECT_EQ(Slot<Int0>(f, 20)(f), 24);
  EXPECT_EQ(Slot<Int0>(f, 21)(f), 24);
  EXPECT_EQ(Slot<Int0>(f, 22)(f), 120);
  EXPECT_EQ((Slot<LOGPALETTE* (*)(CFilterImpl*)>(f, 23)(f)), nullptr);
  COLORREF key = 0;
  EXPECT_EQ((Slot<int (*)(CFilterImpl*, COLORREF*)>(f, 24)(f, &key)), 0);
  EXPECT_EQ(Slot<Int0>(f, 25)(f), 1);
  EXPECT_EQ((Slot<int (*)(CFilterImpl*, int, const LOGPALETTE*)>(f, 26)(f, 8, nullptr)), 14);
  EXPECT_EQ(Slot<Int0>(f, 28)(f), 3);
  EXPECT_EQ(Slot<Int0>(f, 29)(f), 2);
  RECT r{-1, -1, -1, -1};
  Slot<void (*)(CFilterImpl*, RECT*)>(f, 30)(f, &r);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, 7);
  EXPECT_EQ(r.bottom, 5);
  EXPECT_EQ(Slot<Int0>(f, 33)(f), 222);
  EXPECT_EQ((Slot<int (*)(CFilterImpl*, int)>(f, 34)(f, 0)), 111);
  EXPECT_EQ(Slot<Int0>(f, 35)(f), 1);
  BYTE pixel[4] = {};
  EXPECT_EQ(
      (Slot<int (*)(CFilterImpl*, COutputFile*, const BYTE*, int, int, int, int, const LOGPALETTE*,
                    const void*, int)>(f, 15)(f, nullptr, pixel, 1, 1, 24, 4, nullptr, &key, 0)),
      8);
  EXPECT_EQ((Slot<int (*)(CFilterImpl*, COutputFile*, int, int, int, int, int, int, int, int, int)>(
                f, 38)(f, nullptr, 1, 1, 24, 0, 0, 0, 0, 0, 0)),
            8);
  EXPECT_EQ((Slot<int (*)(CFilterImpl*, COutputFile*, const BYTE*, const BYTE*, int, int, int, int,
                          const LOGPALETTE*, int, int, int, int, int)>(f, 39)(
                f, nullptr, nullptr, pixel, 1, 1, 4, 24, nullptr, 0, 0, 0, 0, 0)),
            8);
  // Slot 1 is the plug-in's Release; slot 0 the destructor with freeing.
  ASSERT_TRUE(f->CreatePalette(16));
  Slot<void (*)(CFilterImpl*, unsigned)>(f, 0)(f, 1);
}

TEST(FilterImpl, ConstructionValues) {
  PlainFilter f;
  EXPECT_EQ(f.width, 0);
  EXPECT_EQ(f.depth, 0);
  EXPECT_EQ(f.frameCount, 1);
  EXPECT_EQ(f.palette, nullptr);
  EXPECT_EQ(f.convert, 0);
  EXPECT_EQ(f.outputDepth, 0);
  EXPECT_EQ(f.colorCache, nullptr);
}

TEST(FilterImpl, LineBytesFollowTheDepth) {
  struct Case {
    int depth, width, lineBytes, pixelBytes;
  } cases[] = {{1, 1, 2, 0},   {1, 16, 2, 0},  {1, 17, 4, 0},  {4, 3, 2, 0},
               {4, 4, 2, 0},   {8, 5, 5, 1},   {15, 5, 10, 2}, {16, 5, 10, 2},
               {24, 5, 15, 3}, {32, 5, 20, 4}, {12, 5, 5, 1}};
  for (const Case& c : cases) {
    PlainFilter f;
    f.depth = c.depth;
    f.width = c.width;
    f.ComputeLineBytes();
    EXPECT_EQ(f.lineBytes, c.lineBytes) << "depth " << c.depth << " width " << c.width;
    EXPECT_EQ(f.pixelBytes, c.pixelBytes) << "depth " << c.depth;
  }
}

TEST(FilterImpl, CreatePaletteRefusesCountsTheBlockCannotHold) {
  PlainFilter f;
  EXPECT_EQ(f.CreatePalette(257), 0);
  EXPECT_EQ(f.CreatePalette(-1), 0);
  EXPECT_EQ(f.palette, nullptr);
  ASSERT_EQ(f.CreatePalette(256), 1);
  EXPECT_EQ(f.palette->palVersion, 0x300);
  EXPECT_EQ(f.palette->palNumEntries, 256);
  reinterpret_cast<LOGPALETTE256*>(f.palette)->palPalEntry[255] = {1, 2, 3, 4};
  LOGPALETTE* same = f.palette;
  ASSERT_EQ(f.CreatePalette(2), 1);
  EXPECT_EQ(f.palette, same);
  EXPECT_EQ(f.palette->palNumEntries, 2);
  EXPECT_EQ(reinterpret_cast<LOGPALETTE256*>(f.palette)->palPalEntry[255].peRed, 0);
}

TEST(FilterImpl, NearestColorTiesGiveTheLowerIndex) {
  Palette p;
  p.Add(10, 0, 0);
  p.Add(0, 10, 0);  // same distance from (5, 5, 0) as entry 0
  p.Add(5, 5, 1);   // distance 1
  EXPECT_EQ(CFilterImpl::FindNearestColor(p.get(), 5, 5, 0), 2);
  EXPECT_EQ(CFilterImpl::FindNearestColor(p.get(), 5, 5, 20), 2);
  p.record.palNumEntries = 2;
  EXPECT_EQ(CFilterImpl::FindNearestColor(p.get(), 5, 5, 0), 0);
  EXPECT_EQ(CFilterImpl::FindNearestColor(p.get(), 0, 10, 0), 1);
  p.record.palNumEntries = 0;
  EXPECT_EQ(CFilterImpl::FindNearestColor(p.get(), 9, 9, 9), 0);
}

// ---- the reference ----------------------------------------------------------------------

struct Rgb {
  int r, g, b;
};

int Bytes(int depth) { return (depth + 1) / 8; }

// A source pixel's colour, components exactly as the source holds them (5/6 bits stay small).
Rgb Components(int depth, const BYTE* p, const PALETTEENTRY* palette) {
  const int v = p[0] | (depth == 15 || depth == 16 ? p[1] << 8 : 0);
  switch (depth) {
    case 8:
      return {palette[p[0]].peRed, palette[p[0]].peGreen, palette[p[0]].peBlue};
    case 15:
      return {(v >> 10) & 31, (v >> 5) & 31, v & 31};
    case 16:
      return {(v >> 11) & 31, (v >> 5) & 63, v & 31};
    default:
      return {p[2], p[1], p[0]};
  }
}

// One pixel converted by the rules, per output depth and source depth.
std::vector<BYTE> ReferencePixel(int from, int to, const BYTE* p, const PALETTEENTRY* palette) {
  const Rgb c = Components(from, p, palette);
  auto word = [](int v) { return std::vector<BYTE>{BYTE(v), BYTE(v >> 8)}; };
  switch (to) {
    case 15:
      if (from == 15) return {p[0], p[1]};
      if (from == 16) return word((c.r << 10) | ((c.g >> 1) << 5) | c.b);
      return word(((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3));
    case 16:
      if (from == 15) return word((c.r << 11) | ((c.g << 1) << 5) | c.b);
      if (from == 16) return {p[0], p[1]};
      return word(((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3));
    default: {
      std::vector<BYTE> out;
      if (from == 15) {
        out = {BYTE(c.b << 3), BYTE(c.g << 3), BYTE(c.r << 3)};
      } else if (from == 16) {
        out = {BYTE(c.b << 3), BYTE(c.g << 2), BYTE(c.r << 3)};
      } else {
        out = {BYTE(c.b), BYTE(c.g), BYTE(c.r)};
      }
      if (to == 32) out.push_back(from == 32 ? p[3] : 0);
      return out;
    }
  }
}

// Conversion to 8 bits with the reference's own cache, filled the way the rules describe.
class ReferenceIndexer {
 public:
  explicit ReferenceIndexer(const LOGPALETTE* target) : target_(target), cache_(65536, 253) {
    const auto* e = reinterpret_cast<const LOGPALETTE256*>(target)->palPalEntry;
    for (int i = 0; i < target->palNumEntries; ++i) {
      cache_[(e[i].peRed / 8) * 2048 + (e[i].peGreen / 4) * 32 + e[i].peBlue / 8] = BYTE(i);
    }
  }
  BYTE Index(int from, const BYTE* p) {
    const Rgb c = Components(from, p, nullptr);
    int key, r, g, b;
    if (from == 15) {
      key = c.r * 2048 + (c.g << 1) * 32 + c.b;
      r = c.r * 8, g = (c.g << 1) * 4, b = c.b * 8;
    } else if (from == 16) {
      key = c.r * 2048 + c.g * 32 + c.b;
      r = c.r * 8, g = c.g * 4, b = c.b * 8;
    } else {
      key = (c.r / 8) * 2048 + (c.g / 4) * 32 + c.b / 8;
      r = c.r, g = c.g, b = c.b;
    }
    if (cache_[key] == 253) cache_[key] = BYTE(CFilterImpl::FindNearestColor(target_, r, g, b));
    return cache_[key];
  }

 private:
  const LOGPALETTE* target_;
  std::vector<BYTE> cache_;
};

TEST(FilterConvertRow, EveryPairMatchesTheReference) {
  std::mt19937 rng(25);
  const int depths[] = {8, 15, 16, 24, 32};
  for (int from : depths) {
    for (int to : depths) {
      for (int width : {0, 1, 3, 7, 16, 33, 70}) {
        PlainFilter f;
        f.depth = from;
        f.width = width;
        ASSERT_TRUE(f.CreatePalette(200));
        Palette source = RandomPalette(rng, 200);
        std::memcpy(f.palette, source.get(), 4 + 4 * 200);
        Palette target = RandomPalette(rng, 1 + rng() % 256);
        ASSERT_EQ(f.SetOutputFormat(to, to == 8 ? target.get() : nullptr), 0);

        std::vector<BYTE> row(static_cast<std::size_t>(width) * Bytes(from) + 1);
        for (BYTE& b : row) b = BYTE(rng());
        std::vector<BYTE> out(static_cast<std::size_t>(width) * Bytes(to) + 8, 0xEE);
        f.ConvertRow(out.data(), row.data(), width);

        const auto* palette = reinterpret_cast<LOGPALETTE256*>(f.palette)->palPalEntry;
        ReferenceIndexer indexer(target.get());
        // Remap of indexes past the source palette: 0; the rest: nearest in the target.
        for (int x = 0; x < width; ++x) {
          const BYTE* p = row.data() + x * Bytes(from);
          std::vector<BYTE> want;
          if (to == 8 && from == 8) {
            const PALETTEENTRY e = palette[p[0]];
            want = {BYTE(p[0] < 200 ? CFilterImpl::FindNearestColor(target.get(), e.peRed,
                                                                    e.peGreen, e.peBlue)
                                    : 0)};
          } else if (to == 8) {
            want = {indexer.Index(from, p)};
          } else {
            want = ReferencePixel(from, to, p, palette);
          }
          const std::vector<BYTE> got(out.begin() + x * Bytes(to),
                                      out.begin() + (x + 1) * Bytes(to));
          ASSERT_EQ(got, want) << from << " -> " << to << " width " << width << " x " << x;
        }
        EXPECT_EQ(out[static_cast<std::size_t>(width) * Bytes(to)], 0xEE) << "wrote past the row";
      }
    }
  }
}

TEST(FilterConvertRow, RefusedConversionsWriteNothing) {
  PlainFilter f;
  f.depth = 8;  // no source palette
  ASSERT_EQ(f.SetOutputFormat(24, nullptr), 0);
  const BYTE row[4] = {1, 2, 3, 4};
  BYTE out[12];
  std::memset(out, 0xEE, sizeof out);
  f.ConvertRow(out, row, 4);
  for (BYTE b : out) EXPECT_EQ(b, 0xEE);

  f.depth = 4;  // sub-byte depths are not converted
  ASSERT_EQ(f.SetOutputFormat(24, nullptr), 0);
  f.ConvertRow(out, row, 4);
  for (BYTE b : out) EXPECT_EQ(b, 0xEE);
}

TEST(FilterOutputFormat, BadArgumentsAnswer14) {
  PlainFilter f;
  f.depth = 24;
  EXPECT_EQ(f.SetOutputFormat(8, nullptr), 14);
  Palette big;
  big.record.palNumEntries = 257;
  EXPECT_EQ(f.SetOutputFormat(8, big.get()), 14);
  for (int depth : {0, 1, 4, 12, 33}) EXPECT_EQ(f.SetOutputFormat(depth, nullptr), 14) << depth;
  EXPECT_EQ(f.SetOutputFormat(16, nullptr), 0);
  EXPECT_EQ(f.outputPixelBytes, 2);
  EXPECT_EQ(f.convert, 1);
  EXPECT_EQ(f.SetOutputFormat(24, nullptr), 0);
  EXPECT_EQ(f.convert, 0);
}

TEST(FilterOutputFormat, TheFilesOwnPaletteNeedsNoTables) {
  std::mt19937 rng(7);
  PlainFilter f;
  f.depth = 8;
  ASSERT_TRUE(f.CreatePalette(16));
  Palette other = RandomPalette(rng, 16);
  ASSERT_EQ(f.SetOutputFormat(8, other.get()), 0);
  EXPECT_NE(f.remap, nullptr);
  EXPECT_EQ(f.convert, 1);
  ASSERT_EQ(f.SetOutputFormat(8, f.palette), 0);
  EXPECT_EQ(f.remap, nullptr);
  EXPECT_EQ(f.targetPalette, nullptr);
  EXPECT_EQ(f.convert, 0);
}

TEST(FilterOutputFormat, AnEqualPaletteCopiesPixelsUnchanged) {
  std::mt19937 rng(8);
  PlainFilter f;
  f.depth = 8;
  ASSERT_TRUE(f.CreatePalette(64));
  Palette same = RandomPalette(rng, 64);
  // Duplicate colours: a nearest-colour remap would send index 40 to 3.
  same.record.palPalEntry[40] = same.record.palPalEntry[3];
  same.record.palPalEntry[40].peFlags = 9;  // flags take no part in comparisons
  std::memcpy(f.palette, same.get(), 4 + 4 * 64);
  f.palette->palPalEntry[0].peFlags = 0;
  ASSERT_EQ(f.SetOutputFormat(8, same.get()), 0);
  EXPECT_EQ(f.remap, nullptr);
  EXPECT_EQ(f.convert, 0);
  BYTE row[64], out[64];
  for (int i = 0; i < 64; ++i) row[i] = BYTE(i);
  f.ConvertRow(out, row, 64);
  EXPECT_EQ(std::memcmp(out, row, 64), 0);
}

TEST(FilterOutputFormat, TheRemapIsKeptForTheSamePaletteAndRebuiltForAnother) {
  PlainFilter f;
  f.depth = 8;
  ASSERT_TRUE(f.CreatePalette(2));
  f.palette->palPalEntry[0] = {0, 0, 0, 0};
  auto* source = reinterpret_cast<LOGPALETTE256*>(f.palette);
  source->palPalEntry[1] = {200, 200, 200, 0};
  Palette target;
  target.Add(255, 255, 255);
  target.Add(0, 0, 0);
  ASSERT_EQ(f.SetOutputFormat(8, target.get()), 0);
  ASSERT_NE(f.remap, nullptr);
  EXPECT_EQ(f.remap[0], 1);
  EXPECT_EQ(f.remap[1], 0);
  EXPECT_EQ(f.remap[2], 0);  // past the source palette
  BYTE* kept = f.remap;
  ASSERT_EQ(f.SetOutputFormat(8, target.get()), 0);
  EXPECT_EQ(f.remap, kept);
  EXPECT_EQ(f.convert, 1);
  // The file's palette changes (a new frame): the remap follows it.
  source->palPalEntry[1] = {10, 10, 10, 0};
  ASSERT_EQ(f.SetOutputFormat(8, target.get()), 0);
  EXPECT_EQ(f.remap[1], 1);
}

TEST(FilterOutputFormat, AReplacedTargetPaletteRebuildsTheCache) {
  PlainFilter f;
  f.depth = 24;
  Palette first;
  first.Add(0, 0, 0);
  first.Add(255, 0, 0);
  ASSERT_EQ(f.SetOutputFormat(8, first.get()), 0);
  const BYTE red[3] = {0, 0, 250};  // blue, green, red
  BYTE out = 0xEE;
  f.ConvertRow(&out, red, 1);
  EXPECT_EQ(out, 1);
  Palette second;
  second.Add(255, 0, 0);
  second.Add(0, 0, 0);
  ASSERT_EQ(f.SetOutputFormat(8, second.get()), 0);
  f.ConvertRow(&out, red, 1);
  EXPECT_EQ(out, 0);
  // The same palette again keeps the cache: a slot filled before stays.
  const int key = (250 / 8) * 2048;
  EXPECT_EQ(f.colorCache[key], 0);
  ASSERT_EQ(f.SetOutputFormat(8, second.get()), 0);
  EXPECT_EQ(f.colorCache[key], 0);
}

TEST(FilterOutputFormat, ANearestIndexOf253IsSearchedEveryTime) {
  Palette target;
  for (int i = 0; i < 256; ++i) target.Add(0, 0, 0);
  target.record.palPalEntry[253] = {100, 100, 100, 0};
  target.record.palPalEntry[10] = {10, 10, 10, 0};
  PlainFilter f;
  f.depth = 32;
  ASSERT_EQ(f.SetOutputFormat(8, target.get()), 0);
  const BYTE grey[4] = {98, 98, 98, 0};  // nearest: entry 253
  const int key = (98 / 8) * 2048 + (98 / 4) * 32 + 98 / 8;
  BYTE out = 0;
  f.ConvertRow(&out, grey, 1);
  EXPECT_EQ(out, 253);
  EXPECT_EQ(f.colorCache[key], 253);  // indistinguishable from "not computed"
  // The slot is searched again: a changed copy of the palette gives the new answer at once.
  reinterpret_cast<LOGPALETTE256*>(f.targetPalette)->palPalEntry[10] = {98, 98, 98, 0};
  f.ConvertRow(&out, grey, 1);
  EXPECT_EQ(out, 10);
  // Other slots keep what they found first.
  const BYTE dark[4] = {12, 12, 12, 0};
  f.ConvertRow(&out, dark, 1);
  const BYTE found = out;
  reinterpret_cast<LOGPALETTE256*>(f.targetPalette)->palPalEntry[11] = {12, 12, 12, 0};
  f.ConvertRow(&out, dark, 1);
  EXPECT_EQ(out, found);
}

TEST(FilterConvertRow, VectorRowsMatchTheScalarOnesAtEveryWidth) {
  if (!vexa::SimdLevelSupported(vexa::SimdLevel::Avx2)) GTEST_SKIP() << "no AVX2";
  std::mt19937 rng(26);
  struct Kind {
    vexa::FilterRowKind kind;
    int from, to;
  } kinds[] = {{vexa::FilterRowKind::Palette8To32, 8, 32},
               {vexa::FilterRowKind::Bgr24To32, 24, 32},
               {vexa::FilterRowKind::Bgrx32To24, 32, 24}};
  Palette palette = RandomPalette(rng, 256);
  for (const Kind& k : kinds) {
    const auto scalar = vexa::FilterRowAt(k.kind, vexa::SimdLevel::Scalar);
    const auto vector = vexa::FilterRowAt(k.kind, vexa::SimdLevel::Avx2);
    ASSERT_NE(scalar, vector);
    for (int width = 0; width <= 70; ++width) {
      // Rows end exactly at their buffers' ends: a vector form must not read or write past.
      std::vector<BYTE> source(static_cast<std::size_t>(width) * Bytes(k.from));
      for (BYTE& b : source) b = BYTE(rng());
      std::vector<BYTE> want(static_cast<std::size_t>(width) * Bytes(k.to), 0xEE);
      std::vector<BYTE> got(want.size(), 0x11);
      scalar(want.data(), source.data(), width, palette.record.palPalEntry);
      vector(got.data(), source.data(), width, palette.record.palPalEntry);
      ASSERT_EQ(got, want) << k.from << " -> " << k.to << " width " << width;
    }
  }
}

}  // namespace
