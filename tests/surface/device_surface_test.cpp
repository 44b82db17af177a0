// DIB-section surfaces with their device contexts, and surfaces on window and screen contexts.
#include <gtest/gtest.h>

#include <SDL.h>

#include <vexa/dc_surface.h>
#include <vexa/dib_section_surface.h>
#include <vexa/library.h>
#include <vexa/palette.h>
#include <vexa/surface_object.h>

#include "platform/gdi/gdi.h"
#include "platform/window/window.h"
#include "support/surface_factory.h"

namespace {

std::unique_ptr<cSurfaceObject> MakeSection(int depth, int w, int h, int type = kTypeDIBSection) {
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, depth, type, kDriverNone);
  auto object = std::make_unique<cSurfaceObject>();
  object->Create(w, h, prototype);
  return object;
}

TEST(DIBSectionSurface, NestedGetDCSharesOneContextUntilTheOutermostRelease) {
  auto object = MakeSection(32, 16, 8);
  auto* s = static_cast<cDIBSectionSurface*>(object->implementation);
  ASSERT_EQ(s->GetKind(), kKindDIBSection);
  const int before = plat::LiveObjectCount();
  HDC a = object->GetDC();
  ASSERT_NE(a, nullptr);
  HDC b = object->GetDC();
  EXPECT_EQ(a, b);
  EXPECT_EQ(s->dcUseCount, 2);
  object->ReleaseDC(b);
  EXPECT_EQ(plat::GetObjectType(a), plat::OBJ_MEMDC);
  object->ReleaseDC(a);
  EXPECT_EQ(s->memoryDC, nullptr);
  EXPECT_EQ(plat::GetObjectType(a), 0);
  EXPECT_EQ(plat::LiveObjectCount(), before);
  // An unbalanced release does nothing.
  object->ReleaseDC(a);
  EXPECT_EQ(s->dcUseCount, 0);
  // The section's bitmap is the context's.
  HDC dc = object->GetDC();
  plat::BITMAP bm;
  plat::GetObject(plat::GetCurrentObject(dc, plat::OBJ_BITMAP), sizeof(bm), &bm);
  EXPECT_EQ(bm.bmBits, s->storage);
  object->ReleaseDC(dc);
}

TEST(DIBSectionSurface, ContextDrawingAndTheRendererAgreeAtEveryDepth) {
  for (int depth : {8, 15, 16, 24, 32}) {
    SCOPED_TRACE(depth);
    auto object = MakeSection(depth, 12, 6);
    ASSERT_TRUE(object->IsValid());
    HDC dc = object->GetDC();
    ASSERT_NE(dc, nullptr);
    HBRUSH brush = plat::CreateSolidBrush(0x3080C0);
    const RECT r{1, 1, 5, 4};
    plat::FillRect(dc, &r, brush);
    plat::SetPixelV(dc, 10, 5, 0x00FF00);
    object->ReleaseDC(dc);
    plat::DeleteObject(brush);
    // The same colour through the renderer's fill lands on the same stored value.
    object->FillRectColor(6, 1, 2, 3, 0x3080C0);
    std::uint32_t viaContext = 0, viaRenderer = 0;
    object->GetPixelValue(2, 2, &viaContext);
    object->GetPixelValue(6, 2, &viaRenderer);
    EXPECT_EQ(viaContext, viaRenderer);
    COLORREF c = 0;
    object->GetPixelColor(10, 5, &c);
    EXPECT_EQ(c & 0x00F800, 0x00F800u);
    object->GetPixelColor(0, 0, &c);
    EXPECT_EQ(c, 0u);
  }
}

TEST(DIBSectionSurface, AnObjectOriginMovesContextDrawingLikeTheRenderer) {
  auto object = MakeSection(24, 10, 10);
  object->SetOrigin(-3, 5);
  HDC dc = object->GetDC();
  plat::SetPixelV(dc, 2, 6, 0xFFFFFF);  // object coordinates
  object->ReleaseDC(dc);
  COLORREF c = 0;
  object->GetPixelColor(2, 6, &c);  // the same object coordinates through the renderer
  EXPECT_EQ(c, 0xFFFFFFu);
  object->SetOrigin(0, 0);
  object->GetPixelColor(5, 1, &c);
  EXPECT_EQ(c, 0xFFFFFFu);
  // A negative origin packs as unsigned halves and unpacks with its sign.
  object->SetOrigin(-3, 5);
  const std::uint32_t packed = object->implementation->GetDeviceOrigin();
  EXPECT_EQ(packed, 0x0005FFFDu);
  int x, y;
  UnpackDeviceOrigin(packed, &x, &y);
  EXPECT_EQ(x, -3);
  EXPECT_EQ(y, 5);
}

TEST(DIBSectionSurface, EightBitSectionsFollowTheirPalette) {
  auto object = MakeSection(8, 4, 4);
  auto* s = object->implementation;
  HDC dc = object->GetDC();
  RGBQUAD entry;
  ASSERT_EQ(plat::GetDIBColorTable(dc, 200, 1, &entry), 1u);
  EXPECT_EQ(entry.rgbRed, s->palette->entries[200].peRed);
  // A new palette reaches the live context's table.
  LOGPALETTE256 record{0x300, 256, {}};
  for (int i = 0; i < 256; ++i) record.palPalEntry[i] = PALETTEENTRY{BYTE(255 - i), 0, BYTE(i), 0};
  PaletteObject* palette = CreatePaletteObject(reinterpret_cast<LOGPALETTE*>(&record));
  ASSERT_NE(palette, nullptr);
  s->SetPalette(palette, 0);
  ReleasePalette(palette);
  plat::GetDIBColorTable(dc, 200, 1, &entry);
  EXPECT_EQ(entry.rgbRed, 55);
  EXPECT_EQ(entry.rgbBlue, 200);
  object->ReleaseDC(dc);
}

TEST(DIBSectionSurface, DIBDCSurfacesKeepOneContextForLife) {
  auto object = MakeSection(16, 8, 8, kTypeDIBSectionDC);
  auto* s = static_cast<cDIBDCSurface*>(object->implementation);
  ASSERT_EQ(s->GetKind(), kKindDIBSectionDC);
  HDC dc = s->memoryDC;
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(object->GetDC(), dc);
  object->ReleaseDC(dc);
  object->ReleaseDC(dc);
  EXPECT_EQ(object->GetDC(), dc);
  EXPECT_EQ(s->dcUseCount, 0);
  EXPECT_EQ(plat::GetObjectType(dc), plat::OBJ_MEMDC);
  object->SetOrigin(2, 1);
  POINT o;
  plat::GetWindowOrgEx(dc, &o);
  EXPECT_EQ(o.x, 2);
  EXPECT_EQ(o.y, 1);
  // Destruction takes the context and the section with it.
  const int live = plat::LiveObjectCount();
  object.reset();
  EXPECT_EQ(plat::GetObjectType(dc), 0);
  EXPECT_EQ(plat::LiveObjectCount(), live - 2);
}

TEST(DCSurface, ScreenSurfaceAnswersAsADeviceSurface) {
  cSurfaceObject object;
  cSurfaceImplementation* s = object.CreateForDC(nullptr);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(object.GetLastError(), 0u);
  EXPECT_EQ(s->GetKind(), kKindDeviceContext);
  EXPECT_EQ(s->IsDeviceSurface(), 1);
  EXPECT_EQ(s->HandlesOrigin(), 1);
  EXPECT_GT(s->width, 0);
  EXPECT_EQ(s->CreateCompatible(4, 4), nullptr);
  EXPECT_EQ(s->FillRectColor(0, 0, 4, 4, 0xFF), 0);
  COLORREF c;
  EXPECT_EQ(s->GetPixelColor(0, 0, &c), 0);
  EXPECT_EQ(static_cast<cDCSurface*>(s)->DriverHook112(0, 0, 0, 0), 0);
  // No clip region: the open box; a clip rectangle only shrinks it.
  int x, y, w, h;
  s->GetClipRect(&x, &y, &w, &h);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(w, 0x7FFF);
  EXPECT_EQ(h, 0x7FFF);
  s->SetClipRect(2, 3, 10, 10);
  s->SetClipRect(0, 0, 5, 100);
  s->GetClipRect(&x, &y, &w, &h);
  EXPECT_EQ(x, 2);
  EXPECT_EQ(y, 3);
  EXPECT_EQ(w, 3);
  EXPECT_EQ(h, 10);
  s->ResetClipRect();
  s->GetClipRect(&x, &y, &w, &h);
  EXPECT_EQ(w, 3);
  // A context that is not one fails like an allocation.
  int bogus = 0;
  cSurfaceObject broken;
  EXPECT_EQ(broken.CreateForDC(reinterpret_cast<HDC>(&bogus)), nullptr);
  EXPECT_EQ(broken.GetLastError(), kErrorNoMemory);
  EXPECT_FALSE(broken.IsValid());
  EXPECT_EQ(broken.GetDC(), nullptr);
  EXPECT_EQ(broken.GetLastError(), kErrorNoDeviceContext);
  EXPECT_NE(GetScreenDCSurface(), nullptr);
}

TEST(DCSurface, CopiesGoThroughTheContexts) {
  // A borrowed memory context: the surface never releases it.
  HDC dc = plat::CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  BITMAPINFO info{{sizeof(BITMAPINFOHEADER), 8, 8, 1, 32, 0, 0, 0, 0, 0, 0}, {}};
  HBITMAP bitmap = plat::CreateDIBSection(dc, &info, plat::DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = plat::SelectObject(dc, bitmap);
  {
    cSurfaceObject device;
    ASSERT_NE(device.CreateForDC(dc), nullptr);
    auto section = MakeSection(32, 8, 8);
    section->FillRectColor(0, 0, 8, 8, 0x0000FF);
    // Section onto the device surface: a device copy; the destination's origin is added to
    // the position and taken off again by its context, so device pixels line up.
    device.implementation->SetDeviceOrigin(-2, 0);
    EXPECT_EQ(section->implementation->Blit(device.implementation, 1, 1, 0, 0, 2, 2, 0, 0, 0, 0),
              1);
    device.implementation->SetDeviceOrigin(0, 0);
    EXPECT_EQ(plat::GetPixel(dc, 1, 1), 0x0000FFu);
    EXPECT_EQ(plat::GetPixel(dc, 2, 2), 0x0000FFu);
    EXPECT_EQ(plat::GetPixel(dc, 3, 3), 0u);
    // The source's own origin is added to the source position likewise.
    section->SetOrigin(0, 1);
    EXPECT_EQ(section->implementation->Blit(device.implementation, 4, 4, 0, 0, 2, 2, 0, 0, 0, 0),
              1);
    EXPECT_EQ(plat::GetPixel(dc, 5, 5), 0x0000FFu);
    EXPECT_EQ(plat::GetPixel(dc, 6, 6), 0u);
    // Device surface into a section: the section's BlitFromDC.
    auto target = MakeSection(16, 8, 8);
    EXPECT_EQ(device.implementation->Blit(target->implementation, 0, 0, 4, 4, 2, 2, 0, 0, 0, 0), 1);
    COLORREF c = 0;
    target->GetPixelColor(1, 1, &c);
    EXPECT_EQ(c, 0x0000F8u);
    EXPECT_EQ(device.implementation->StretchBlit(target->implementation, 0, 0, 8, 8, 4, 4, 2, 2, 0,
                                                 0, 0, 0),
              1);
    target->GetPixelColor(7, 7, &c);
    EXPECT_EQ(c, 0x0000F8u);
    // Into a memory surface: refused.
    auto memory = testsupport::MakeSurface(32, 8, 8);
    EXPECT_EQ(device.implementation->Blit(memory->implementation, 0, 0, 0, 0, 2, 2, 0, 0, 0, 0), 0);
  }
  EXPECT_EQ(plat::GetObjectType(dc), plat::OBJ_MEMDC);
  plat::SelectObject(dc, old);
  plat::DeleteObject(bitmap);
  plat::DeleteDC(dc);
}

TEST(DCSurface, WindowContextsDrawIntoTheFramebuffer) {
  HWND window = plat::CreateWindow("vexa test", plat::WS_OVERLAPPEDWINDOW, 10, 10, 64, 48);
  ASSERT_NE(window, nullptr) << SDL_GetError();
  {
    cSurfaceObject device;
    ASSERT_NE(device.CreateForWindow(window, 1), nullptr);
    EXPECT_EQ(device.GetWidth(), 64);
    EXPECT_EQ(device.GetHeight(), 48);
    auto section = MakeSection(8, 16, 16);
    section->FillRectColor(0, 0, 16, 16, 0xFFFFFF);
    EXPECT_EQ(section->implementation->Blit(device.implementation, 10, 20, 0, 0, 4, 3, 0, 0, 0, 0),
              1);
    device.implementation->SetPixelColor(0, 0, 0x0000FF);
    plat::GdiFlush();
    SDL_Surface* framebuffer = plat::WindowFramebuffer(window);
    ASSERT_NE(framebuffer, nullptr);
    auto at = [&](int x, int y) {
      Uint32 v;
      std::memcpy(&v, static_cast<Uint8*>(framebuffer->pixels) + y * framebuffer->pitch + x * 4, 4);
      Uint8 r, g, b;
      SDL_GetRGB(v, framebuffer->format, &r, &g, &b);
      return static_cast<COLORREF>(r | g << 8 | b << 16);
    };
    EXPECT_EQ(at(10, 20), 0xFFFFFFu);
    EXPECT_EQ(at(13, 22), 0xFFFFFFu);
    EXPECT_EQ(at(14, 20), 0u);
    EXPECT_EQ(at(0, 0), 0x0000FFu);
  }
  // Without a window no context, and no surface.
  cSurfaceObject none;
  EXPECT_EQ(none.CreateForWindow(nullptr, 0), nullptr);
  plat::DestroyWindow(window);
  EXPECT_EQ(plat::GetDC(window), nullptr);
}

int CountModes(const DisplayModeRecord* mode, void* user) {
  EXPECT_GT(mode->width, 0);
  ++*static_cast<int*>(user);
  return 1;
}
int FirstMode(const DisplayModeRecord* mode, void* user) {
  *static_cast<DisplayModeRecord*>(user) = *mode;
  return 0;
}

TEST(DIBSectionSurface, DisplayModesTakeListedModesOnly) {
  auto object = MakeSection(32, 4, 4);
  auto* s = static_cast<cDIBSectionSurface*>(object->implementation);
  int count = 0;
  s->EnumDisplayModes(CountModes, &count);
  ASSERT_GT(count, 0);
  s->EnumDisplayModes(nullptr, nullptr);  // nothing happens
  DisplayModeRecord first{};
  s->EnumDisplayModes(FirstMode, &first);
  EXPECT_EQ(s->SetDisplayMode(nullptr, 0, first.height, first.bitsPerPixel), 0);
  EXPECT_EQ(s->SetDisplayMode(nullptr, first.width + 1, first.height, first.bitsPerPixel), 0);
  EXPECT_EQ(s->fullScreen, 0);
  plat::DisplaySettings desktop{};
  ASSERT_TRUE(plat::EnumDisplaySettings(plat::ENUM_CURRENT_SETTINGS, &desktop));
  // Without a window the settings are recorded; a second switch keeps the first saved state.
  ASSERT_EQ(s->SetDisplayMode(nullptr, first.width, first.height, first.bitsPerPixel), 1);
  EXPECT_EQ(s->fullScreen, 1);
  ASSERT_EQ(s->SetDisplayMode(nullptr, first.width, first.height, first.bitsPerPixel), 1);
  plat::DisplaySettings saved;
  std::memcpy(&saved, s->savedDisplayMode, sizeof(saved));
  EXPECT_EQ(saved.width, desktop.width);
  EXPECT_EQ(saved.bitsPerPixel, desktop.bitsPerPixel);
  auto other = MakeSection(32, 4, 4);
  other->CopyDisplayModeState(object.get());
  EXPECT_EQ(static_cast<cDIBSectionSurface*>(other->implementation)->fullScreen, 1);
  s->RestoreDisplayMode(nullptr);
  EXPECT_EQ(s->fullScreen, 0);
  // With a window: a borderless pop-up at (0, 0), and back.
  HWND window =
      plat::CreateWindow("modes", plat::WS_OVERLAPPEDWINDOW | plat::WS_VISIBLE, 30, 40, 50, 60);
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(s->SetDisplayMode(window, first.width, first.height, first.bitsPerPixel), 1);
  EXPECT_EQ(plat::GetWindowStyle(window) & ~plat::WS_VISIBLE, plat::kFullScreenStyle);
  s->RestoreDisplayMode(window);
  EXPECT_EQ(plat::GetWindowStyle(window) & plat::WS_CAPTION, plat::WS_CAPTION);
  RECT r;
  plat::GetClientRect(window, &r);
  EXPECT_EQ(r.right, 50);
  EXPECT_EQ(r.bottom, 60);
  plat::DestroyWindow(window);
}

}  // namespace
