// The library frame at its numeric edges: bitmap sizes that do not fit an int, origins that
// would wrap coordinates round onto visible pixels, and palettes in a forked child.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <vector>

#include <vexa/blit.h>
#include <vexa/library.h>
#include <vexa/palette.h>
#include <vexa/surface_object.h>

#include "support/surface_factory.h"

namespace {

using testsupport::MakeSurface;
using testsupport::RawPixel;

TEST(FrameRobustness, BitmapSizesThatDoNotFitAreZero) {
  EXPECT_EQ(GetStride(3, 24), 12);
  EXPECT_EQ(GetStride(5, 15), 12);
  EXPECT_EQ(GetDIBSize(3, 2, 24), 40 + 24);
  EXPECT_EQ(GetDIBSize(2, 2, 8), 40 + 1024 + 8);
  EXPECT_EQ(GetDIBSize(40000, 40000, 32), 0) << "6,400,000,040 bytes";
  EXPECT_EQ(GetStride(INT_MAX, 32), 0);
  EXPECT_EQ(GetStride(INT_MAX / 8, 32), INT_MAX / 8 * 4) << "1,073,741,820 bytes still fit";
  EXPECT_EQ(GetStride(INT_MAX / 4, 32), INT_MAX - 3);
  EXPECT_EQ(GetStride(INT_MAX / 4 + 1, 32), 0) << "2^31 bytes";
  EXPECT_EQ(GetStride(-5, 32), 0);
  EXPECT_EQ(GetDIBSize(-5, 2, 32), 0);
  EXPECT_EQ(GetDIBSize(5, -2, 32), 0);
  EXPECT_EQ(GetDIBSize(INT_MAX, 1, 8), 0);
  // The largest sizes that fit are still given.
  EXPECT_EQ(GetStride(INT_MAX / 32 * 4, 8), INT_MAX / 32 * 4);
  EXPECT_EQ(GetDIBSize(16384, 16384, 32), 40 + 1073741824);
}

// Every pixel of a surface, to see that a call changed none.
std::vector<std::uint32_t> Pixels(cSurfaceObject& s) {
  std::vector<std::uint32_t> all;
  for (int y = 0; y < s.GetHeight(); ++y)
    for (int x = 0; x < s.GetWidth(); ++x) all.push_back(RawPixel(*s.implementation, x, y));
  return all;
}

TEST(FrameRobustness, OriginsNeverWrapCoordinatesRound) {
  auto target = MakeSurface(32, 6, 6);
  auto source = MakeSurface(32, 6, 6);
  ASSERT_EQ(target->FillColor(0), 1);
  ASSERT_EQ(source->FillColor(0xFFFFFF), 1);
  // An ordinary origin moves drawing as it should, so the checks below are not vacuous.
  target->SetOrigin(10, 20);
  target->SetPixelColor(11, 21, 0x0000FF);
  EXPECT_EQ(RawPixel(*target->implementation, 1, 1), 0xFF0000u);
  target->SetPixelColor(11, 21, 0);
  const std::vector<std::uint32_t> clear = Pixels(*target);

  // Origin INT_MAX with a coordinate INT_MIN lies 2^32 - 1 pixels to the left: it addresses
  // nothing, however 32-bit arithmetic would wrap it.
  const int edges[][2] = {
      {INT_MAX, INT_MIN}, {INT_MIN, INT_MAX}, {INT_MAX, INT_MIN + 1}, {INT_MIN, INT_MAX - 3}};
  for (const auto& e : edges) {
    const int origin = e[0], at = e[1];
    SCOPED_TRACE(testing::Message() << "origin " << origin << " at " << at);
    target->SetOrigin(origin, origin);
    target->SetPixelColor(at, at, 0xFFFFFF);
    target->SetPixelValue(at, at, 0xFFFFFF);
    COLORREF color = 0;
    EXPECT_EQ(target->GetPixelColor(at, at, &color), 0);
    target->FillRectColor(at, at, 3, 3, 0xFFFFFF);
    target->FillRectValue(at, at, INT_MAX, INT_MAX, 0xFFFFFF);
    source->Blit(target.get(), at, at, 0, 0, 6, 6, kModeOpaque, kEffectNone, {}, 0);
    source->StretchBlit(target.get(), at, at, 6, 6, 0, 0, 6, 6, kModeOpaque, kEffectNone, {}, 0);
    target->MoveRect(at, at, 0, 0, 3, 3);
    target->FlipHorizontal(at, at, 6, 6);
    EXPECT_EQ(Pixels(*target), clear);
    // The source side as well: its origin is applied to the source coordinates.
    source->SetOrigin(origin, origin);
    target->SetOrigin(0, 0);
    source->Blit(target.get(), 0, 0, at, at, 6, 6, kModeOpaque, kEffectNone, {}, 0);
    EXPECT_EQ(Pixels(*target), clear);
    source->SetOrigin(0, 0);
    // Coordinates handed back saturate instead of overflowing.
    target->SetOrigin(origin, origin);
    RECT clip{};
    target->GetClipRect(&clip);
    EXPECT_EQ(clip.left, origin > 0 ? origin : INT_MIN);
    EXPECT_GE(clip.right, clip.left);
  }
}

TEST(FrameRobustness, ClipRectanglesNeverWrapWider) {
  auto target = MakeSurface(16, 6, 9);
  ASSERT_EQ(target->FillColor(0), 1);
  const std::vector<std::uint32_t> clear = Pixels(*target);
  // A start at INT_MIN with a negative size ends below the int range; cut to 32 bits that end
  // became INT_MAX, a clip rectangle far wider than the surface that drawing then trusted.
  for (int size : {-1, -7, INT_MIN}) {
    SCOPED_TRACE(size);
    target->SetClipRect(INT_MIN, INT_MIN, size, size);
    int x = 0, y = 0, w = 0, h = 0;
    target->GetClipRect(&x, &y, &w, &h);
    EXPECT_LE(w, 0);
    EXPECT_LE(h, 0);
    target->FillRectColor(0, 0, 6, 9, 0xFFFFFF);
    target->SetPixelColor(3, 3, 0xFFFFFF);
    EXPECT_EQ(Pixels(*target), clear) << "nothing is inside an empty clip rectangle";
  }
  target->ResetClipRect();
  target->SetClipRect(-5, -5, INT_MAX, INT_MAX);
  RECT clip{};
  target->GetClipRect(&clip);
  EXPECT_EQ(clip.right, 6);
  EXPECT_EQ(clip.bottom, 9);
}

TEST(FrameRobustness, ForkedChildKeepsItsPalettes) {
  RegisterThread();
  PaletteObject* before = GetDefaultPalette();
  ASSERT_NE(before, nullptr);
  ReleasePalette(before);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Only async-signal-safe exits from here: the child reports through its status.
    LOGPALETTE256 record{};
    record.palVersion = 0x300;
    record.palNumEntries = 256;
    for (int i = 0; i < 256; ++i) {
      record.palPalEntry[i] = PALETTEENTRY{static_cast<BYTE>(i), 17, static_cast<BYTE>(255 - i), 0};
    }
    PaletteObject* made = CreatePaletteObject(reinterpret_cast<const LOGPALETTE*>(&record));
    PaletteObject* fallback = GetDefaultPalette();
    _exit(made != nullptr && fallback != nullptr ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the child could not create palettes";
  UnregisterThread();
}

}  // namespace
