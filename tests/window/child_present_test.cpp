// Child game windows presenting into one top-level framebuffer: a present (copied or
// stretched) reaches only the parts of a child that no sibling above it covers, and pushes
// only those. Windows a display driver presents report where they may show their pixels.
#include <vector>

#include "window/window_test_support.h"

namespace {

using namespace window_test;

// Buffer colours (framebuffer order 0xRRGGBB); the low six bits hold the buffer's x.
constexpr std::uint32_t kLow = 0xC00000, kHigh = 0x00C000;

// A top-level game window (no buffer of its own) and two kind-1 children of it, each with a
// back buffer of one colour: `low` at (10, 10) 100 x 80, `high` (made later, so above it) at
// (60, 50) 100 x 80.
class SiblingPresentTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    GameWindowRecord pr = Record(-200, -150, 0);
    parent = CreateGameWindow(bank, &pr);
    ASSERT_TRUE(IsValidWindowObject(parent));
    low = MakeChild(10, 10, 100, 80, kLow, &lowBuffer);
    high = MakeChild(60, 50, 100, 80, kHigh, &highBuffer);
    FillFrame(parent->window, 0);
  }

  GameWindow* MakeChild(int x, int y, int width, int height, std::uint32_t colour, Surface* buffer,
                        std::uint32_t flags = 0) {
    GameWindowRecord r = Record(width, height, 1, flags);
    r.style = plat::WS_CHILD | plat::WS_VISIBLE;
    r.parent = parent->window;
    r.x = x;
    r.y = y;
    GameWindow* w = CreateGameWindow(bank, &r);
    EXPECT_TRUE(IsValidWindowObject(w));
    *buffer = MakeSurface(width, height);
    for (int j = 0; j < height; ++j)
      for (int i = 0; i < width; ++i) Raw(buffer->get(), i, j) = colour | (i & 0x3F);
    SetBackBuffer(w, buffer->get());
    return w;
  }

  // Marks the whole client dirty and presents.
  int PresentAll(GameWindow* w) {
    const RECT all{0, 0, 1000, 1000};
    AddDirtyRect(w, &all);
    return PresentWindow(w);
  }

  std::uint32_t At(int x, int y) { return FramePixel(parent->window, x, y) & 0xFFFFC0; }

  GameWindow* parent = nullptr;
  GameWindow* low = nullptr;
  GameWindow* high = nullptr;
  Surface lowBuffer, highBuffer;
};

bool Overlap(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

TEST_F(SiblingPresentTest, PresentsStayOffSiblingsAboveInZOrder) {
  ASSERT_EQ(PresentAll(high), 1);
  ASSERT_EQ(PresentAll(low), 1);
  EXPECT_EQ(At(20, 20), kLow);
  EXPECT_EQ(At(109, 49), kLow);
  EXPECT_EQ(At(70, 60), kHigh);  // the overlap stays high's
  EXPECT_EQ(At(109, 89), kHigh);
  // The pushed rectangles (top-level coordinates) miss high's rectangle and cover the rest.
  const RECT highRect{60, 50, 160, 130};
  long area = 0;
  for (const RECT& r : plat::LastPresentedRects(low->window)) {
    EXPECT_FALSE(Overlap(r, highRect));
    area += long{r.right - r.left} * (r.bottom - r.top);
  }
  EXPECT_EQ(area, 100L * 80 - 50L * 40);
  // Pixels come from the matching place of the buffer, piece by piece.
  EXPECT_EQ(FramePixel(parent->window, 10 + 37, 10 + 45) & 0x3F, 37u);

  // Raised, low wins the overlap.
  ASSERT_TRUE(plat::SetWindowZOrder(low->window, plat::HWND_TOP));
  ASSERT_EQ(PresentAll(low), 1);
  ASSERT_EQ(PresentAll(high), 1);
  EXPECT_EQ(At(70, 60), kLow);
  EXPECT_EQ(At(150, 120), kHigh);

  // A hidden sibling does not clip; the hidden window itself presents nothing.
  plat::ShowWindow(low->window, plat::SW_HIDE);
  ASSERT_EQ(PresentAll(high), 1);
  EXPECT_EQ(At(70, 60), kHigh);
  FillFrame(parent->window, 0);
  EXPECT_EQ(PresentAll(low), 0);
  EXPECT_EQ(At(20, 20), 0u);
}

TEST_F(SiblingPresentTest, DrawingHelpersAndCopyToScreenAreClippedToo) {
  ASSERT_EQ(CopyToScreen(high), 1);
  FillWindowBox(low, 0, 0, 99, 79, 0x0000FF);  // red
  ASSERT_EQ(PresentWindow(low), 1);
  EXPECT_EQ(FramePixel(parent->window, 20, 20), 0xFF0000u);
  EXPECT_EQ(At(70, 60), kHigh);
  ASSERT_EQ(CopyToScreen(low), 1);
  EXPECT_EQ(At(70, 60), kHigh);
}

TEST_F(SiblingPresentTest, StretchedPresentOfACoveredChildMatchesTheUncoveredOne) {
  Surface small;
  GameWindow* s = MakeChild(0, 0, 120, 100, kLow, &small, kGameWindowStretch);
  // The buffer is half the client size: a stretched present.
  Surface half = MakeSurface(60, 50);
  for (int j = 0; j < 50; ++j)
    for (int i = 0; i < 60; ++i) Raw(half.get(), i, j) = static_cast<std::uint32_t>(i * 256 + j);
  SetBackBuffer(s, half.get());
  ASSERT_TRUE(plat::SetWindowZOrder(s->window, plat::HWND_BOTTOM));
  // Uncovered (the others hidden): the reference picture.
  plat::ShowWindow(low->window, plat::SW_HIDE);
  plat::ShowWindow(high->window, plat::SW_HIDE);
  ASSERT_EQ(PresentWindow(s), 1);
  std::vector<std::uint32_t> reference;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 120; ++x) reference.push_back(FramePixel(parent->window, x, y));
  // Covered by high: the same pixels outside high, high's inside it.
  plat::ShowWindow(high->window, plat::SW_SHOW);
  FillFrame(parent->window, 0);
  ASSERT_EQ(PresentAll(high), 1);
  ASSERT_EQ(PresentWindow(s), 1);
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 120; ++x) {
      const bool underHigh = x >= 60 && y >= 50;
      if (underHigh)
        ASSERT_EQ(At(x, y), kHigh) << x << "," << y;
      else
        ASSERT_EQ(FramePixel(parent->window, x, y), reference[y * 120 + x]) << x << "," << y;
    }
  }
  for (const RECT& r : plat::LastPresentedRects(s->window))
    EXPECT_FALSE(Overlap(r, RECT{60, 50, 160, 130}));
}

TEST_F(SiblingPresentTest, DriverWindowsReportWhereTheyShow) {
  // A window for a display driver is made even where the video driver has no OpenGL (the
  // dummy one in headless runs).
  GameWindowRecord tr = Record(-64, -48, 1, kGameWindowDriverDisplay);
  GameWindow* driven = CreateGameWindow(bank, &tr);
  ASSERT_TRUE(IsValidWindowObject(driven));
  RECT client{};
  RECT visible[8];
  ASSERT_EQ(GetWindowPresentArea(driven->window, &client, visible, 8), 1);
  EXPECT_EQ(client.right, 64);
  EXPECT_EQ(client.bottom, 48);
  Surface unused;
  GameWindow* d = MakeChild(40, 30, 60, 40, 0, &unused, kGameWindowDriverDisplay);
  ASSERT_TRUE(IsValidWindowObject(d));
  // Above low, below nothing: its whole client, in top-level coordinates.
  ASSERT_EQ(GetWindowPresentArea(d->window, &client, visible, 8), 1);
  EXPECT_EQ(client.left, 40);
  EXPECT_EQ(client.top, 30);
  EXPECT_EQ(client.right, 100);
  EXPECT_EQ(client.bottom, 70);
  EXPECT_EQ(visible[0].left, 40);
  EXPECT_EQ(visible[0].bottom, 70);
  // Lowered below high, it loses high's corner (60, 50)-(100, 70).
  ASSERT_TRUE(plat::SetWindowZOrder(d->window, high->window));
  const int n = GetWindowPresentArea(d->window, nullptr, visible, 8);
  ASSERT_GE(n, 2);
  ASSERT_LE(n, 8);
  long area = 0;
  for (int i = 0; i < n; ++i) {
    EXPECT_FALSE(Overlap(visible[i], RECT{60, 50, 160, 130}));
    area += long{visible[i].right - visible[i].left} * (visible[i].bottom - visible[i].top);
  }
  EXPECT_EQ(area, 60L * 40 - 40L * 20);
  // The count comes back even without room; unknown handles answer -1.
  EXPECT_EQ(GetWindowPresentArea(d->window, nullptr, nullptr, 0), n);
  plat::ShowWindow(d->window, plat::SW_HIDE);
  EXPECT_EQ(GetWindowPresentArea(d->window, &client, visible, 8), 0);
  EXPECT_EQ(GetWindowPresentArea(nullptr, &client, visible, 8), -1);
  // Nothing is recorded for it: its driver shows the whole buffer.
  const RECT r{0, 0, 10, 10};
  AddDirtyRect(d, &r);
  EXPECT_EQ(d->dirtyRects->count, 0);
}

}  // namespace
