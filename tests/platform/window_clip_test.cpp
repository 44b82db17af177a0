// Child windows share their top-level window's framebuffer: what one draws must stay off the
// siblings stacked above it, off hidden parts of its parents and (with WS_CLIPCHILDREN) off
// its own children. Drawing goes through window contexts; the pixels are read back from the
// top-level framebuffer.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/window/messages.h"
#include "platform/window/window.h"

namespace {

constexpr std::uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;

std::uint32_t Pixel(HWND top, int x, int y) {
  SDL_Surface* s = plat::WindowFramebuffer(top);
  if (!s) return 0xDEADBEEF;
  return *reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(s->pixels) +
                                                 y * s->pitch + x * 4) &
         0xFFFFFF;
}

// Fills the window's whole client area through a window context; COLORREF is blue-green-red,
// the framebuffer holds red-green-blue.
void Fill(HWND window, COLORREF color) {
  HDC dc = plat::GetDC(window);
  ASSERT_NE(dc, nullptr);
  RECT all{0, 0, 4000, 4000};
  HBRUSH brush = plat::CreateSolidBrush(color);
  plat::FillRect(dc, &all, brush);
  plat::DeleteObject(brush);
  plat::ReleaseDC(window, dc);
}

HWND Child(HWND parent, int x, int y, int width, int height, DWORD style = 0) {
  return plat::CreateWindowEx(0, "clip", "", plat::WS_CHILD | plat::WS_VISIBLE | style, x, y, width,
                              height, parent, nullptr, nullptr, nullptr, nullptr);
}

RECT Bounds(const std::vector<RECT>& region) {
  if (region.empty()) return RECT{0, 0, 0, 0};
  RECT b = region[0];
  for (const RECT& r : region) {
    b.left = std::min(b.left, r.left);
    b.top = std::min(b.top, r.top);
    b.right = std::max(b.right, r.right);
    b.bottom = std::max(b.bottom, r.bottom);
  }
  return b;
}

long Area(const std::vector<RECT>& region) {
  long area = 0;
  for (const RECT& r : region) area += long{r.right - r.left} * (r.bottom - r.top);
  return area;
}

class WindowClip : public ::testing::Test {
 protected:
  void SetUp() override {
    top = plat::CreateWindowEx(0, "clip", "top", 0, 0, 0, 200, 150, nullptr, nullptr, nullptr,
                               nullptr, nullptr);
    ASSERT_NE(top, nullptr);
    SDL_FillRect(plat::WindowFramebuffer(top), nullptr, 0);
  }
  void TearDown() override { plat::DestroyWindow(top); }
  HWND top = nullptr;
};

TEST_F(WindowClip, OverlappingSiblingsFollowZOrderAndVisibility) {
  // a at (10, 10)-(110, 90); b, made later, above it at (60, 50)-(160, 130).
  HWND a = Child(top, 10, 10, 100, 80);
  HWND b = Child(top, 60, 50, 100, 80);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(plat::WindowAbove(a), b);
  EXPECT_EQ(plat::TopChild(top), b);
  Fill(b, kGreen);
  Fill(a, kRed);
  EXPECT_EQ(Pixel(top, 20, 20), 0xFF0000u);  // a alone
  EXPECT_EQ(Pixel(top, 70, 60), 0x00FF00u);  // the overlap stays b's
  EXPECT_EQ(Pixel(top, 109, 49), 0xFF0000u);
  EXPECT_EQ(Pixel(top, 150, 120), 0x00FF00u);
  // a's region: its client less b's corner (50, 40)-(100, 80) in a's coordinates.
  std::vector<RECT> region = plat::VisibleRegion(a);
  EXPECT_EQ(Area(region), 100L * 80 - 50L * 40);
  RECT box = Bounds(region);
  EXPECT_EQ(box.right, 100);
  EXPECT_EQ(box.bottom, 80);
  // The clip box of a's context says the same.
  HDC dc = plat::GetDC(a);
  RECT clip{};
  EXPECT_EQ(plat::GetClipBox(dc, &clip), plat::COMPLEXREGION);
  plat::ReleaseDC(a, dc);

  // Raised, a covers b: its drawing reaches the overlap, b's no longer does.
  ASSERT_TRUE(plat::SetWindowZOrder(a, plat::HWND_TOP));
  EXPECT_EQ(plat::WindowAbove(b), a);
  EXPECT_EQ(plat::WindowAbove(a), nullptr);
  // Both repaint the overlap (the raised window now shows it), nothing more.
  RECT update{};
  ASSERT_TRUE(plat::GetUpdateRect(a, &update));
  EXPECT_EQ(update.left, 50);
  EXPECT_EQ(update.top, 40);
  EXPECT_EQ(update.right, 100);
  EXPECT_EQ(update.bottom, 80);
  ASSERT_TRUE(plat::GetUpdateRect(b, &update));
  EXPECT_EQ(update.right, 50);
  EXPECT_EQ(update.bottom, 40);
  EXPECT_FALSE(plat::GetUpdateRect(top, &update));
  Fill(a, kBlue);
  Fill(b, kGreen);
  EXPECT_EQ(Pixel(top, 70, 60), 0x0000FFu);
  EXPECT_EQ(Pixel(top, 150, 120), 0x00FF00u);
  EXPECT_EQ(Area(plat::VisibleRegion(a)), 100L * 80);

  // Below a named sibling: back under b.
  ASSERT_TRUE(plat::SetWindowZOrder(a, b));
  EXPECT_EQ(plat::WindowAbove(a), b);
  EXPECT_FALSE(plat::SetWindowZOrder(a, top));        // not a sibling
  EXPECT_FALSE(plat::SetWindowZOrder(top, nullptr));  // top-level windows are SDL's

  // A hidden window neither draws nor clips; hiding b has a and the parent repaint below it.
  plat::ShowWindow(b, plat::SW_HIDE);
  EXPECT_TRUE(plat::VisibleRegion(b).empty());
  EXPECT_EQ(Area(plat::VisibleRegion(a)), 100L * 80);
  ASSERT_TRUE(plat::GetUpdateRect(top, &update));
  EXPECT_EQ(update.left, 60);
  EXPECT_EQ(update.top, 50);
  EXPECT_EQ(update.right, 160);
  EXPECT_EQ(update.bottom, 130);
  Fill(b, kRed);
  EXPECT_EQ(Pixel(top, 150, 120), 0x00FF00u);
  Fill(a, kGreen);
  EXPECT_EQ(Pixel(top, 70, 60), 0x00FF00u);
  // Shown again, it clips a once more.
  plat::ShowWindow(b, plat::SW_SHOW);
  Fill(b, kBlue);
  Fill(a, kRed);
  EXPECT_EQ(Pixel(top, 70, 60), 0x0000FFu);

  // Moved away, b no longer overlaps a.
  ASSERT_TRUE(plat::SetWindowPos(b, 150, 100, 40, 40, plat::SWP_NOZORDER));
  Fill(a, kGreen);
  EXPECT_EQ(Pixel(top, 70, 60), 0x00FF00u);
  // Far-out places and sizes neither overflow nor clip anything on screen.
  ASSERT_TRUE(plat::SetWindowPos(b, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MAX, 0));
  EXPECT_TRUE(plat::VisibleRegion(b).empty());
  EXPECT_EQ(Area(plat::VisibleRegion(a)), 100L * 80);
  ASSERT_TRUE(plat::SetWindowPos(b, -1000, -1000, INT32_MAX, INT32_MAX, 0));
  EXPECT_EQ(Area(plat::VisibleRegion(a)), 0L);  // b now covers all of a
}

TEST_F(WindowClip, ParentsClipTheirChildrenOnlyWithClipChildren) {
  HWND child = Child(top, 20, 20, 40, 30);
  ASSERT_NE(child, nullptr);
  Fill(child, kGreen);
  // Without WS_CLIPCHILDREN the parent paints over its child.
  Fill(top, kRed);
  EXPECT_EQ(Pixel(top, 30, 30), 0xFF0000u);
  Fill(child, kGreen);
  plat::SetWindowStyle(top, plat::GetWindowStyle(top) | plat::WS_CLIPCHILDREN);
  Fill(top, kBlue);
  EXPECT_EQ(Pixel(top, 30, 30), 0x00FF00u);
  EXPECT_EQ(Pixel(top, 19, 30), 0x0000FFu);
  EXPECT_EQ(Pixel(top, 60, 30), 0x0000FFu);
  // A hidden child is drawn over.
  plat::ShowWindow(child, plat::SW_HIDE);
  Fill(top, kRed);
  EXPECT_EQ(Pixel(top, 30, 30), 0xFF0000u);
}

TEST_F(WindowClip, NestedChildrenAreClippedByTheirParentsAndTheParentsSiblings) {
  // p at (10, 10)-(90, 70) holds g at (50, 30), which sticks out of p; u, above p, covers
  // (70, 20)-(120, 60).
  HWND p = Child(top, 10, 10, 80, 60);
  HWND g = Child(p, 50, 30, 60, 60);
  HWND u = Child(top, 70, 20, 50, 40);
  ASSERT_TRUE(p && g && u);
  Fill(u, kGreen);
  Fill(g, kRed);
  EXPECT_EQ(Pixel(top, 65, 45), 0xFF0000u);  // g inside p, clear of u
  EXPECT_EQ(Pixel(top, 75, 50), 0x00FF00u);  // under u
  EXPECT_EQ(Pixel(top, 95, 45), 0x00FF00u);  // beyond p's right edge: u's
  EXPECT_EQ(Pixel(top, 65, 75), 0u);         // beyond p's bottom edge: nothing drawn
  // g's region in its own coordinates: (0, 0)-(30, 30) less u's part (10, 0)-(30, 20).
  EXPECT_EQ(Area(plat::VisibleRegion(g)), 30L * 30 - 20L * 20);
  RECT inTop{};
  ASSERT_TRUE(plat::ClientRectInTopLevel(g, &inTop));
  EXPECT_EQ(inTop.left, 60);
  EXPECT_EQ(inTop.top, 40);
  EXPECT_EQ(inTop.right, 120);
  // Hiding the parent hides the child's region too.
  plat::ShowWindow(p, plat::SW_HIDE);
  EXPECT_TRUE(plat::VisibleRegion(g).empty());
}

TEST_F(WindowClip, CopiesAndShapesStayInsideTheVisibleRegion) {
  HWND a = Child(top, 0, 0, 100, 100);
  HWND b = Child(top, 50, 0, 50, 100);
  ASSERT_TRUE(a && b);
  Fill(b, kGreen);
  // A block transfer from a memory context.
  HDC memory = plat::CreateCompatibleDC(nullptr);
  HDC screen = plat::GetDC(a);
  HBITMAP bitmap = plat::CreateCompatibleBitmap(screen, 100, 100);
  HGDIOBJ old = plat::SelectObject(memory, bitmap);
  RECT all{0, 0, 100, 100};
  HBRUSH red = plat::CreateSolidBrush(kRed);
  plat::FillRect(memory, &all, red);
  EXPECT_TRUE(plat::BitBlt(screen, 0, 0, 100, 100, memory, 0, 0, plat::SRCCOPY));
  EXPECT_EQ(Pixel(top, 49, 10), 0xFF0000u);
  EXPECT_EQ(Pixel(top, 50, 10), 0x00FF00u);
  // Lines and outlines.
  HPEN pen = plat::CreatePen(plat::PS_SOLID, 5, kBlue);
  HGDIOBJ oldPen = plat::SelectObject(screen, pen);
  const POINT line[2] = {{0, 50}, {99, 50}};
  plat::Rectangle(screen, 10, 10, 90, 90);  // outlined, filled with the stock white brush
  plat::Polyline(screen, line, 2);
  EXPECT_EQ(Pixel(top, 30, 50), 0x0000FFu);
  EXPECT_EQ(Pixel(top, 30, 30), 0xFFFFFFu);
  EXPECT_EQ(Pixel(top, 70, 50), 0x00FF00u);
  EXPECT_EQ(Pixel(top, 70, 10), 0x00FF00u);
  EXPECT_EQ(Pixel(top, 70, 30), 0x00FF00u);
  plat::SelectObject(screen, oldPen);
  plat::DeleteObject(pen);
  plat::SelectObject(memory, old);
  plat::DeleteObject(bitmap);
  plat::DeleteObject(red);
  plat::DeleteDC(memory);
  plat::ReleaseDC(a, screen);
  // A context kept past its window's end draws nothing.
  HWND gone = Child(top, 0, 0, 100, 100);
  HDC kept = plat::GetDC(gone);
  plat::DestroyWindow(gone);
  RECT box{};
  EXPECT_EQ(plat::GetClipBox(kept, &box), plat::NULLREGION);
  plat::ReleaseDC(gone, kept);
}

}  // namespace
