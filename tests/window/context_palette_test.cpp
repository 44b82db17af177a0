// The context palette: reading and searching, replacing (with its own palette too), pushing
// it into windows (Set only where the old handle was, Select everywhere) and system palettes.
#include <vexa/palette.h>

#include "platform/gdi/gdi.h"
#include "platform/palette/palette_handle.h"
#include "window/window_test_support.h"

namespace {

using namespace window_test;

LOGPALETTE256 Ramp(int shift) {
  LOGPALETTE256 p{};
  p.palVersion = 0x300;
  p.palNumEntries = 256;
  for (int i = 0; i < 256; ++i)
    p.palPalEntry[i] = PALETTEENTRY{static_cast<BYTE>((i + shift) & 0xFF), static_cast<BYTE>(i),
                                    static_cast<BYTE>(255 - i), 0};
  return p;
}

const LOGPALETTE* AsRecord(const LOGPALETTE256& p) {
  return reinterpret_cast<const LOGPALETTE*>(&p);
}

TEST_F(WindowTest, ContextPaletteReadsAndSearches) {
  SetImageBankFormat(bank, 3);
  EXPECT_EQ(GetContextNearestIndex(bank, 3, 0x01000005), 5);
  EXPECT_EQ(GetContextNearestIndex(nullptr, 3, 0x0100ABCD), 0xABCD);
  for (int format : {4, 6, 7, 8}) EXPECT_EQ(GetContextNearestIndex(bank, format, 0x123456), -1);

  // A palette with entry 250's colour also at entry 100: the static range keeps 250.
  LOGPALETTE256 ramp = Ramp(0);
  ramp.palPalEntry[100] = ramp.palPalEntry[250];
  ramp.palPalEntry[3] = PALETTEENTRY{1, 2, 3, 0};
  PaletteObject* palette = CreateContextPaletteObject(AsRecord(ramp));
  ASSERT_NE(palette, nullptr);
  ASSERT_EQ(SetContextPalette(bank, nullptr, palette), 1);
  const COLORREF c250 = GetContextPaletteColor(bank, 3, 250);
  EXPECT_EQ(c250, static_cast<COLORREF>(250 | (250 << 8) | (5 << 16)));
  EXPECT_EQ(GetContextNearestIndex(bank, 3, c250), 250);
  EXPECT_EQ(GetContextNearestIndex(bank, 3, 0x030201), 3);
  EXPECT_EQ(GetContextPaletteColor(bank, 3, 256), 0u);
  EXPECT_EQ(GetContextPaletteColor(bank, 3, -1), 0u);
  EXPECT_EQ(GetContextPaletteMode(bank), 3);
  EXPECT_EQ(GetContextPaletteMode(nullptr), 4);

  EXPECT_EQ(GetContextPaletteEntries(nullptr, 3, bank), 256);
  LOGPALETTE256 out{};
  out.palPalEntry[7].peFlags = 9;
  ASSERT_EQ(GetContextPaletteEntries(reinterpret_cast<LOGPALETTE*>(&out), 3, bank), 256);
  EXPECT_EQ(out.palNumEntries, 256);
  EXPECT_EQ(out.palPalEntry[7].peRed, 7);
  EXPECT_EQ(out.palPalEntry[7].peFlags, 0);
  ReleaseContextPaletteObject(palette);
}

TEST_F(WindowTest, SettingTheContextsOwnPaletteAgainKeepsIt) {
  PaletteObject* palette = CreateContextPaletteObject(AsRecord(Ramp(1)));
  ASSERT_NE(palette, nullptr);
  ASSERT_EQ(SetContextPalette(bank, nullptr, palette), 1);
  ReleaseContextPaletteObject(palette);  // the context holds the only reference now
  const int refs = bank->palette->refCount;
  ASSERT_EQ(SetContextPalette(bank, nullptr, bank->palette), 1);
  EXPECT_EQ(bank->palette, palette);
  EXPECT_EQ(bank->palette->refCount, refs);
  EXPECT_EQ(GetContextPaletteColor(bank, 3, 10),
            static_cast<COLORREF>(11 | (10 << 8) | (245 << 16)));
}

TEST_F(WindowTest, SetUpdatesWindowsOfTheOldHandleSelectUpdatesAll) {
  SetImageBankFormat(bank, 3);
  GameWindowRecord r = Record(50, 50);
  GameWindow* a = CreateGameWindow(bank, &r);
  GameWindow* b = CreateGameWindow(bank, &r);
  ASSERT_TRUE(IsValidWindowObject(a) && IsValidWindowObject(b));
  Surface buffer = MakeSurface(50, 50, 8);
  SetBackBuffer(a, buffer.get());

  HPALETTE first = plat::CreatePalette(AsRecord(Ramp(2)));
  ASSERT_EQ(SelectContextPalette(bank, first), 1);
  EXPECT_EQ(a->selectedPalette, first);
  EXPECT_EQ(b->selectedPalette, first);
  EXPECT_NE(a->previousPalette, nullptr);
  EXPECT_EQ(buffer->GetPaletteColor(20), static_cast<COLORREF>(22 | (20 << 8) | (235 << 16)));
  // Selecting the same handle again keeps the palette and reaches windows made since.
  PaletteObject* kept = bank->palette;
  GameWindow* late = CreateGameWindow(bank, &r);
  ASSERT_EQ(SelectContextPalette(bank, first), 1);
  EXPECT_EQ(bank->palette, kept);
  EXPECT_EQ(late->selectedPalette, first);
  DestroyGameWindow(late);

  // b holds another handle: a Set only reaches a.
  HPALETTE other = plat::CreatePalette(AsRecord(Ramp(3)));
  b->selectedPalette = other;
  HPALETTE second = plat::CreatePalette(AsRecord(Ramp(4)));
  ASSERT_EQ(SetContextPalette(bank, second, nullptr), 1);
  EXPECT_EQ(a->selectedPalette, second);
  EXPECT_EQ(b->selectedPalette, other);
  EXPECT_EQ(GetContextPaletteColor(bank, 3, 20),
            static_cast<COLORREF>(24 | (20 << 8) | (235 << 16)));
  HPALETTE third = plat::CreatePalette(AsRecord(Ramp(5)));
  ASSERT_EQ(SelectContextPalette(bank, third), 1);
  EXPECT_EQ(a->selectedPalette, third);
  EXPECT_EQ(b->selectedPalette, third);

  // A true-colour context leaves its windows alone.
  SetImageBankFormat(bank, 8);
  HPALETTE fourth = plat::CreatePalette(AsRecord(Ramp(6)));
  ASSERT_EQ(SelectContextPalette(bank, fourth), 1);
  EXPECT_EQ(a->selectedPalette, third);
  ReleaseBackBuffer(a);
  DestroyGameWindow(a);
  DestroyGameWindow(b);
  for (HPALETTE h : {first, other, second, third, fourth}) plat::DeleteObject(h);
}

TEST_F(WindowTest, FullScreenWindowHoldsSelectionBackUnlessItAllowsIt) {
  SetImageBankFormat(bank, 3);
  GameWindowRecord r = Record(64, 48);
  GameWindow* w = CreateGameWindow(bank, &r);
  ASSERT_TRUE(IsValidWindowObject(w));
  if (SDL_SetWindowFullscreen(w->window->sdl, SDL_WINDOW_FULLSCREEN) != 0 ||
      !plat::IsFullScreen(w->window))
    GTEST_SKIP() << "no full-screen mode here";
  HPALETTE first = plat::CreatePalette(AsRecord(Ramp(7)));
  ASSERT_EQ(SelectContextPalette(bank, first), 1);
  EXPECT_EQ(w->selectedPalette, first);  // recorded, but not selected into the context
  EXPECT_EQ(w->previousPalette, nullptr);
  SetWindowOption(w, 10, kGameStateFullScreenPalette);
  HPALETTE second = plat::CreatePalette(AsRecord(Ramp(8)));
  ASSERT_EQ(SelectContextPalette(bank, second), 1);
  EXPECT_NE(w->previousPalette, nullptr);
  SDL_SetWindowFullscreen(w->window->sdl, 0);
  DestroyGameWindow(w);
  plat::DeleteObject(first);
  plat::DeleteObject(second);
}

TEST(ContextPalette, SystemPaletteTakesWhatAShortRecordHas) {
  HPALETTE base = CreateSystemPalette(nullptr);
  ASSERT_NE(base, nullptr);
  PALETTEENTRY before[256];
  ASSERT_EQ(plat::GetPaletteHandleEntries(base, 0, 256, before), 256);
  // A record of 20 entries replaces entries 10-19 only.
  struct {
    WORD version, count;
    PALETTEENTRY entries[20];
  } shortRecord{0x300, 20, {}};
  for (auto& e : shortRecord.entries) e = PALETTEENTRY{1, 2, 3, 0};
  HPALETTE made = CreateSystemPalette(reinterpret_cast<const LOGPALETTE*>(&shortRecord));
  PALETTEENTRY after[256];
  ASSERT_EQ(plat::GetPaletteHandleEntries(made, 0, 256, after), 256);
  for (int i = 0; i < 256; ++i) {
    if (i >= 10 && i < 20) {
      EXPECT_EQ(after[i].peRed, 1);
      EXPECT_EQ(after[i].peFlags, 4);
    } else if (i < 10 || i >= 246) {
      EXPECT_EQ(after[i].peRed, before[i].peRed) << i;
    }
  }
  plat::DeleteObject(base);
  plat::DeleteObject(made);
}

}  // namespace
