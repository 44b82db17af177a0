// Text on surfaces: the direct path, the keyed path with ink effects, measuring, narrow and
// wide twins, and the object's origin.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <vexa/blit.h>
#include <vexa/surface_object.h>

#include "platform/gdi/gdi.h"
#include "render/context_buffer.h"
#include "support/surface_factory.h"

namespace {

using testsupport::Read;
using testsupport::Snapshot;

constexpr COLORREF kBackground = 0x000000;

std::unique_ptr<cSurfaceObject> TextSurface(int width = 160, int height = 40, int depth = 32) {
  auto like = testsupport::MakeSurface(depth, 1, 1);
  auto object = std::make_unique<cSurfaceObject>();
  object->SetImplementation(vexa::cContextBufferSurface::Make(like->implementation, width, height));
  object->FillColor(kBackground);
  return object;
}

struct Font {
  HFONT handle;
  explicit Font(LONG height, BYTE quality = 0) {
    LOGFONTW log{};
    log.lfHeight = height;
    log.lfQuality = quality;
    const std::u16string face = u"DejaVu Sans";
    std::copy(face.begin(), face.end(), log.lfFaceName);
    handle = plat::CreateFontIndirectW(&log);
  }
  ~Font() { plat::DeleteObject(handle); }
};

int Changed(cSurfaceObject& s) {
  int n = 0;
  for (COLORREF c : Snapshot(s)) n += c != kBackground;
  return n;
}

TEST(SurfaceText, DirectPathDrawsAndRestoresTheContext) {
  auto s = TextSurface();
  Font font(-16);
  HDC dc = s->GetDC();
  plat::SetTextColor(dc, 0x123456);
  plat::SetBkMode(dc, plat::OPAQUE);
  plat::SetTextAlign(dc, plat::TA_BASELINE);
  HGDIOBJ before = plat::GetCurrentObject(dc, plat::OBJ_FONT);
  const RECT clip{0, 0, 160, 40};
  EXPECT_NE(s->DrawTextW(u"Text", 4, 2, 2, 0, &clip, 0xFFFFFF, font.handle), 0);
  EXPECT_GT(Changed(*s), 0);
  EXPECT_EQ(plat::GetTextColor(dc), 0x123456u);
  EXPECT_EQ(plat::GetBkMode(dc), plat::OPAQUE);
  EXPECT_EQ(plat::GetTextAlign(dc), plat::TA_BASELINE);
  EXPECT_EQ(plat::GetCurrentObject(dc, plat::OBJ_FONT), before);
  s->ReleaseDC(dc);
  // Effect codes above 13 draw nothing and fail.
  EXPECT_EQ(s->DrawTextW(u"Text", 4, 2, 2, 0, &clip, 0xFFFFFF, font.handle, 14), 0);
}

TEST(SurfaceText, NarrowAndWideTwinsDrawTheSamePixels) {
  auto a = TextSurface(), b = TextSurface();
  Font font(-15);
  const RECT clip{0, 0, 160, 40};
  a->DrawTextA("Caf\xC3\xA9 & co", -1, 3, 3, 0, &clip, 0xFFFFFF, font.handle);
  b->DrawTextW(u"Caf\u00E9 & co", -1, 3, 3, 0, &clip, 0xFFFFFF, font.handle);
  EXPECT_EQ(Snapshot(*a), Snapshot(*b));
  RECT ra{0, 0, 160, 40}, rb = ra;
  a->DrawTextExA("x &y\tz", -1, &ra, plat::DT_EXPANDTABS, 0x00FF00, font.handle, 1, 64);
  b->DrawTextExW(u"x &y\tz", -1, &rb, plat::DT_EXPANDTABS, 0x00FF00, font.handle, 1, 64);
  EXPECT_EQ(Snapshot(*a), Snapshot(*b));
}

TEST(SurfaceText, InvisibleEffectsAndMeasuring) {
  auto s = TextSurface();
  Font font(-16);
  const RECT clip{0, 0, 160, 40};
  // Semi-transparency 128 is invisible: 1 at once, nothing drawn.
  EXPECT_EQ(s->DrawTextW(u"Text", 4, 2, 2, 0, &clip, 0xFFFFFF, font.handle, 1, 128), 1);
  RECT r{0, 0, 160, 40};
  EXPECT_EQ(s->DrawTextExW(u"Text", 4, &r, 0, 0xFFFFFF, font.handle, 1, 128), 1);
  EXPECT_EQ(Changed(*s), 0);
  // Measuring with an effect only measures.
  RECT m{10, 10, 10, 10};
  const int height =
      s->DrawTextExW(u"Text", 4, &m, plat::DT_CALCRECT, 0xFFFFFF, font.handle, 1, 64);
  EXPECT_GT(height, 0);
  EXPECT_EQ(m.bottom - m.top, height);
  EXPECT_GT(m.right, 10);
  EXPECT_EQ(Changed(*s), 0);
}

TEST(SurfaceText, EffectPathBlendsWithoutKeyFringe) {
  // Antialiased font, semi-transparency 64 on white: every changed pixel is the one mix of
  // the text colour (never the key's edge mix), whatever the font's quality.
  // Both forms and black text (whose key in the formatted form cannot be black itself).
  for (int run = 0; run < 4; ++run) {
    const int form = run / 2;
    const COLORREF text = (run % 2) ? 0x000000 : 0x0000FF;
    auto s = TextSurface();
    s->FillColor(0xFFFFFF);
    Font font(-18);
    RECT box{0, 0, 160, 40};
    const RECT clip{0, 0, 160, 40};
    if (form == 0)
      EXPECT_NE(s->DrawTextExW(u"Fringe", 6, &box, 0, text, font.handle, 1, 64), 0);
    else
      EXPECT_NE(s->DrawTextW(u"Fringe", 6, 2, 20, 0, &clip, text, font.handle, 1, 64), 0);
    COLORREF mixed = 0xFFFFFFFF;
    int changed = 0;
    for (COLORREF c : Snapshot(*s)) {
      if (c == 0xFFFFFF) continue;
      ++changed;
      if (mixed == 0xFFFFFFFF) mixed = c;
      ASSERT_EQ(c, mixed) << std::hex << text << " form " << form;
    }
    EXPECT_GT(changed, 0);
  }
}

TEST(SurfaceText, EffectPathWithoutClipUsesTheSurfaceClip) {
  auto s = TextSurface();
  Font font(-16);
  s->SetClipRect(20, 0, 40, 40);
  EXPECT_NE(s->DrawTextW(u"MMMMMMMMMM", 10, 0, 5, 0, nullptr, 0xFFFFFF, font.handle, 1, 32), 0);
  s->SetClipRect(0, 0, 160, 40);  // to read every pixel
  int inside = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 160; ++x) {
      const bool lit = Read(*s, x, y) != kBackground;
      if (x < 20 || x >= 60) {
        ASSERT_FALSE(lit) << x << "," << y;
      }
      inside += lit;
    }
  EXPECT_GT(inside, 0);
}

TEST(SurfaceText, FailuresKeepTheirReasonInTheObject) {
  Font font(-16);
  const RECT clip{0, 0, 160, 40};
  // A plain memory surface has no device context: every form fails with that reason, on the
  // direct path and through the temporary of the keyed path.
  auto memory = testsupport::MakeSurface(32, 160, 40);
  EXPECT_EQ(memory->DrawTextW(u"Text", 4, 2, 2, 0, &clip, 0xFFFFFF, font.handle), 0);
  EXPECT_EQ(memory->GetLastError(), kErrorNoDeviceContext);
  memory->lastError = 0;
  EXPECT_EQ(memory->DrawTextA("Text", 4, 2, 2, 0, &clip, 0xFFFFFF, font.handle, 1, 64), 0);
  EXPECT_EQ(memory->GetLastError(), kErrorNoDeviceContext);
  memory->lastError = 0;
  RECT box = clip;
  EXPECT_EQ(memory->DrawTextExW(u"Text", 4, &box, 0, 0xFFFFFF, font.handle), 0);
  EXPECT_EQ(memory->GetLastError(), kErrorNoDeviceContext);
  memory->lastError = 0;
  EXPECT_EQ(memory->DrawTextExA("Text", 4, &box, 0, 0xFFFFFF, font.handle, 1, 64), 0);
  EXPECT_EQ(memory->GetLastError(), kErrorNoDeviceContext);

  // A keyed box too large for any surface: no temporary, a lack of memory.
  auto s = TextSurface();
  const RECT huge{0, 0, 60000, 60000};
  EXPECT_EQ(s->DrawTextW(u"Text", 4, 2, 2, 0, &huge, 0xFFFFFF, font.handle, 1, 64), 0);
  EXPECT_EQ(s->GetLastError(), kErrorNoMemory);
  EXPECT_EQ(Changed(*s), 0);
  // Success does not clear it; an unknown effect fails without a reason.
  EXPECT_NE(s->DrawTextW(u"Text", 4, 2, 2, 0, &clip, 0xFFFFFF, font.handle), 0);
  EXPECT_EQ(s->GetLastError(), kErrorNoMemory);
  s->lastError = 0;
  EXPECT_EQ(s->DrawTextW(u"Text", 4, 2, 2, 0, &clip, 0xFFFFFF, font.handle, 14), 0);
  RECT inside = clip;
  EXPECT_EQ(s->DrawTextExW(u"Text", 4, &inside, 0, 0xFFFFFF, font.handle, 14), 0);
  EXPECT_EQ(s->GetLastError(), 0u);
}

TEST(SurfaceText, ObjectOriginMovesTextOnBothPaths) {
  Font font(-16, plat::NONANTIALIASED_QUALITY);
  auto plain = TextSurface(), moved = TextSurface();
  const RECT clip{0, 0, 160, 40};
  plain->DrawTextW(u"Origin", 6, 10, 5, 0, &clip, 0xFFFFFF, font.handle);
  moved->SetOrigin(-7, -3);
  const RECT shifted{-7, -3, 153, 37};
  moved->DrawTextW(u"Origin", 6, 3, 2, 0, &shifted, 0xFFFFFF, font.handle);
  moved->SetOrigin(0, 0);  // snapshots in the surface's own coordinates
  EXPECT_EQ(Snapshot(*plain), Snapshot(*moved));

  plain->FillColor(kBackground);
  moved->FillColor(kBackground);
  RECT a{10, 5, 150, 35}, b{3, 2, 143, 32};
  plain->DrawTextExW(u"Origin", 6, &a, 0, 0xFFFFFF, font.handle, 1, 32);
  moved->SetOrigin(-7, -3);
  moved->DrawTextExW(u"Origin", 6, &b, 0, 0xFFFFFF, font.handle, 1, 32);
  moved->SetOrigin(0, 0);
  EXPECT_EQ(Snapshot(*plain), Snapshot(*moved));
  EXPECT_GT(Changed(*plain), 0);
}

}  // namespace
