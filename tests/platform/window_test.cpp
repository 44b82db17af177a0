// Platform windows on SDL (the dummy driver in headless runs): rectangles, style, visibility,
// and display settings.
#include <gtest/gtest.h>

#include "platform/gdi/gdi.h"
#include "platform/window/window.h"

namespace {

TEST(PlatformWindow, RectanglesStyleAndVisibility) {
  HWND w = plat::CreateWindow("t", plat::WS_OVERLAPPEDWINDOW, 20, 30, 120, 80);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(plat::IsWindow(w));
  RECT r;
  ASSERT_TRUE(plat::GetClientRect(w, &r));
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.right, 120);
  EXPECT_EQ(r.bottom, 80);
  EXPECT_FALSE(plat::IsWindowVisible(w));
  EXPECT_FALSE(plat::ShowWindow(w, plat::SW_SHOW));
  EXPECT_TRUE(plat::IsWindowVisible(w));
  EXPECT_EQ(plat::GetWindowStyle(w) & plat::WS_VISIBLE, plat::WS_VISIBLE);
  EXPECT_EQ(plat::SetWindowStyle(w, plat::kFullScreenStyle) & plat::WS_CAPTION, plat::WS_CAPTION);
  EXPECT_EQ(plat::GetWindowStyle(w) & ~plat::WS_VISIBLE, plat::kFullScreenStyle);
  // Without a frame the window rectangle is the client area on the screen.
  ASSERT_TRUE(plat::SetWindowPos(w, 5, 6, 70, 40, plat::SWP_NOZORDER));
  ASSERT_TRUE(plat::GetWindowRect(w, &r));
  EXPECT_EQ(r.right - r.left, 70);
  EXPECT_EQ(r.bottom - r.top, 40);
  plat::GetClientRect(w, &r);
  EXPECT_EQ(r.right, 70);
  // The window context follows the framebuffer's size.
  HDC dc = plat::GetDC(w);
  ASSERT_NE(dc, nullptr);
  RECT box;
  EXPECT_EQ(plat::GetClipBox(dc, &box), plat::SIMPLEREGION);
  EXPECT_EQ(box.right, 70);
  EXPECT_EQ(plat::ReleaseDC(nullptr, dc), 0);  // another window's release is refused
  EXPECT_EQ(plat::ReleaseDC(w, dc), 1);
  EXPECT_TRUE(plat::DestroyWindow(w));
  EXPECT_FALSE(plat::IsWindow(w));
  EXPECT_FALSE(plat::DestroyWindow(w));
  EXPECT_FALSE(plat::GetClientRect(w, &r));
  EXPECT_EQ(plat::CreateWindow("t", 0, 0, 0, 0, 10), nullptr);
}

TEST(PlatformWindow, DisplaySettingsListAndRecord) {
  plat::DisplaySettings first{}, current{};
  ASSERT_TRUE(plat::EnumDisplaySettings(0, &first));
  EXPECT_GT(first.width, 0u);
  EXPECT_GE(first.bitsPerPixel, 15u);
  ASSERT_TRUE(plat::EnumDisplaySettings(plat::ENUM_CURRENT_SETTINGS, &current));
  EXPECT_FALSE(plat::EnumDisplaySettings(100000, &first) && first.width == 0);
  plat::DisplaySettings odd = first;
  odd.width += 3;
  EXPECT_EQ(plat::ChangeDisplaySettings(&odd, nullptr), plat::DISP_CHANGE_FAILED);
  ASSERT_EQ(plat::ChangeDisplaySettings(&first, nullptr), plat::DISP_CHANGE_SUCCESSFUL);
  plat::DisplaySettings now{};
  plat::EnumDisplaySettings(plat::ENUM_CURRENT_SETTINGS, &now);
  EXPECT_EQ(now.width, first.width);
  EXPECT_EQ(plat::ChangeDisplaySettings(nullptr, nullptr), plat::DISP_CHANGE_SUCCESSFUL);
  plat::EnumDisplaySettings(plat::ENUM_CURRENT_SETTINGS, &now);
  EXPECT_EQ(now.width, current.width);
}

}  // namespace
