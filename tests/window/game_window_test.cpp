// Game windows: creation forms and their failures, adoption, MDI, destruction order, the
// window procedure's sizing and painting, the accessors and options.
#include <string>

#include "platform/gdi/gdi.h"
#include "window/window_test_support.h"

namespace {

using namespace window_test;

GameWindow* const kNoContext = reinterpret_cast<GameWindow*>(kGameWindowNoContext);
GameWindow* const kNotCreated = reinterpret_cast<GameWindow*>(kGameWindowNotCreated);

TEST_F(WindowTest, CreationFailuresLeaveNoTraceAndTheirValuesCountAsNoWindow) {
  GameWindowRecord r = Record(100, 80);
  EXPECT_EQ(CreateGameWindow(nullptr, &r), kNoContext);
  EXPECT_EQ(CreateGameWindow(bank, nullptr), kNotCreated);
  r.size = kGameWindowRecordFixedSize - 1;
  EXPECT_EQ(CreateGameWindow(bank, &r), kNotCreated);
  // An MDI child whose parent has no window object.
  r = Record(100, 80, 0, kGameWindowMdiChild);
  HWND plain = plat::CreateWindow("plain", 0, 0, 0, 50, 50);
  r.parent = plain;
  EXPECT_EQ(CreateGameWindow(bank, &r), kNotCreated);
  // Kind 3 on something that is not a window.
  r = Record(100, 80, 3);
  EXPECT_EQ(CreateGameWindow(bank, &r), kNotCreated);
  EXPECT_EQ(ListLength(), 0);
  EXPECT_EQ(plat::TopLevelWindows().size(), 1u);  // only `plain`
  plat::DestroyWindow(plain);

  // The failure values are refused like null everywhere.
  for (GameWindow* bad : {static_cast<GameWindow*>(nullptr), kNoContext, kNotCreated}) {
    RECT rect{0, 0, 10, 10};
    DestroyGameWindow(bad);
    AddDirtyRect(bad, &rect);
    FillWindowBox(bad, 0, 0, 5, 5, 0);
    EXPECT_EQ(GetWindowHandle(bad), nullptr);
    EXPECT_EQ(PresentWindow(bad), 0);
    EXPECT_EQ(SetWindowOption(bad, 10, 8), 0);
    EXPECT_EQ(EnablePresent(bad, 0), 0);
    EXPECT_EQ(SetBackBuffer(bad, nullptr), 0);
    EXPECT_EQ(GetClientArea(bad, &rect), 0);
  }
}

TEST_F(WindowTest, CreatedWindowKeepsItsContextAndSizesFromClientAndMaximum) {
  GameWindowRecord r = Record(-320, -200);
  r.maxWidth = -400;
  r.maxHeight = -300;
  GameWindow* w = CreateGameWindow(bank, &r);
  ASSERT_TRUE(IsValidWindowObject(w));
  EXPECT_EQ(FindGameWindow(w->window), w);
  EXPECT_EQ(plat::GetWindowWord(w->window, 0), reinterpret_cast<std::intptr_t>(w));
  RECT client{};
  plat::GetClientRect(w->window, &client);
  EXPECT_EQ(client.right, 320);
  EXPECT_EQ(client.bottom, 200);
  RECT area{};
  ASSERT_EQ(GetClientArea(w, &area), 1);
  EXPECT_EQ(area.right, 400);
  EXPECT_EQ(area.bottom, 300);
  EXPECT_NE(w->dirtyRects, nullptr);
  EXPECT_EQ(w->workBlockSize, 76836u);
  EXPECT_TRUE(w->flags & kGameWindowOwnDC);
  EXPECT_EQ(GetGameWindowDC(w), w->dc);
  EXPECT_EQ(w->backColor, 0xFFFFFFu);
  EXPECT_EQ(w->backgroundMode, 2);
  EXPECT_EQ(w->rasterOp, 13);
  EXPECT_EQ(w->cursor, plat::LoadSystemCursor(plat::IDC_ARROW));

  // A positive maximum is a window size: the non-client extra comes off.
  GameWindowRecord r2 = Record(200, 100, 0);
  r2.maxWidth = 500;
  r2.maxHeight = 400;
  r2.title = u"wide \u00e9";  // the wide form reads UTF-16 texts
  r2.className = u"vexa-test-wide";
  GameWindow* w2 = CreateGameWindowW(bank, &r2);
  ASSERT_TRUE(IsValidWindowObject(w2));
  EXPECT_EQ(w2->dirtyRects, nullptr);
  EXPECT_EQ(w2->workBlockSize, 56u);
  EXPECT_TRUE(w2->flags & kGameWindowWide);
  EXPECT_STREQ(plat::GetClassName(w2->window), "vexa-test-wide");
  EXPECT_EQ(plat::GetWindowProc(w2->window), &GameWindowProcW);
  GetClientArea(w2, &area);
  EXPECT_EQ(area.right, 500 - w2->nonClientWidth);
  EXPECT_EQ(area.bottom, 400 - w2->nonClientHeight);
  EXPECT_EQ(ListLength(), 2);
}

TEST_F(WindowTest, SizingByClientSizeAndKeptCoordinates) {
  GameWindowRecord r = Record(300, 200);
  GameWindow* w = CreateGameWindow(bank, &r);
  ASSERT_TRUE(IsValidWindowObject(w));
  ASSERT_EQ(SizeGameWindow(w, -320, -200), 1);
  RECT client{};
  plat::GetClientRect(w->window, &client);
  EXPECT_EQ(client.right, 320);
  EXPECT_EQ(client.bottom, 200);
  ASSERT_EQ(SizeGameWindow(w, 0x8000, -150), 1);
  plat::GetClientRect(w->window, &client);
  EXPECT_EQ(client.right, 320);
  EXPECT_EQ(client.bottom, 150);

  RECT before{}, after{};
  plat::GetWindowRect(w->window, &before);
  ASSERT_EQ(MoveGameWindow(w, 0x8000, before.top + 7), 1);
  plat::GetWindowRect(w->window, &after);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top + 7);

  // The kept context draws into the resized framebuffer.
  ASSERT_EQ(SizeGameWindow(w, -500, -400), 1);
  HDC dc = GetGameWindowDC(w);
  ASSERT_EQ(dc, w->dc);
  const RECT spot{450, 350, 460, 360};
  plat::FillRect(dc, &spot, static_cast<HBRUSH>(plat::GetStockObject(plat::BLACK_BRUSH)));
  FillFrame(w->window, 0xFFFFFF);
  plat::FillRect(dc, &spot, static_cast<HBRUSH>(plat::GetStockObject(plat::BLACK_BRUSH)));
  EXPECT_EQ(FramePixel(w->window, 455, 355), 0u);
  ReleaseGameWindowDC(w, dc);  // the kept context stays
  EXPECT_EQ(w->dc, dc);

  // A menu adds the menu bar to the non-client height and takes it away again.
  const int height = w->nonClientHeight;
  SetGameMenu(w, reinterpret_cast<HMENU>(std::uintptr_t{77}), 5);
  EXPECT_EQ(w->nonClientHeight, height + plat::kMenuBarHeight);
  ASSERT_EQ(SizeGameWindow(w, -100, -100), 1);
  plat::GetClientRect(w->window, &client);
  EXPECT_EQ(client.bottom, 100);
  SetGameMenu(w, nullptr, 0);
  EXPECT_EQ(w->nonClientHeight, height);
}

TEST_F(WindowTest, AdoptedAndExistingWindowsAreReleasedNotDestroyed) {
  HWND host = plat::CreateWindow("host", 0, 0, 0, 160, 120);
  GameWindowRecord r = Record(10, 10, 0);
  r.size = kGameWindowRecordFullSize;
  r.adoptedWindow = host;
  GameWindow* adopted = CreateGameWindow(bank, &r);
  ASSERT_TRUE(IsValidWindowObject(adopted));
  EXPECT_EQ(adopted->window, host);
  EXPECT_TRUE(adopted->flags & kGameWindowAdopted);
  DestroyGameWindow(adopted);
  EXPECT_TRUE(plat::IsWindow(host));
  EXPECT_EQ(ListLength(), 0);

  // A record too short for the adopted field creates a window of its own.
  r.size = kGameWindowRecordFixedSize;
  GameWindow* own = CreateGameWindow(bank, &r);
  ASSERT_TRUE(IsValidWindowObject(own));
  EXPECT_NE(own->window, host);
  const HWND ownHandle = own->window;
  DestroyGameWindow(own);
  EXPECT_FALSE(plat::IsWindow(ownHandle));

  GameWindow* child = CreateChildDisplay(bank, host);
  ASSERT_TRUE(IsValidWindowObject(child));
  EXPECT_TRUE(child->flags & kGameWindowExisting);
  EXPECT_EQ(child->backgroundBrush, plat::GetStockObject(plat::BLACK_BRUSH));
  EXPECT_EQ(child->cursor, plat::LoadSystemCursor(plat::IDC_ARROW));
  RECT area{};
  GetClientArea(child, &area);
  EXPECT_EQ(area.right, 160);
  EXPECT_EQ(area.bottom, 120);
  DestroyGameWindow(child);
  EXPECT_TRUE(plat::IsWindow(host));
  plat::DestroyWindow(host);
}

TEST_F(WindowTest, MdiFrameClientAndChildrenGoChildrenFirst) {
  GameWindowRecord fr = Record(640, 480, 0, kGameWindowMdiFrame);
  GameWindow* frame = CreateGameWindow(bank, &fr);
  ASSERT_TRUE(IsValidWindowObject(frame));
  ASSERT_NE(frame->mdiClient, nullptr);
  EXPECT_EQ(GetMdiClient(frame), frame->mdiClient);
  EXPECT_EQ(std::string(plat::GetClassName(frame->mdiClient)), "mdiclient");
  EXPECT_EQ(plat::GetWindowStyle(frame->mdiClient), 0x52300000u);
  RECT client{};
  plat::GetClientRect(frame->mdiClient, &client);
  EXPECT_EQ(client.right, 600);
  EXPECT_EQ(client.bottom, 400);

  GameWindowRecord cr = Record(200, 100, 1, kGameWindowMdiChild);
  cr.parent = frame->window;
  cr.style = 0;
  cr.x = 30;
  cr.y = 20;
  GameWindow* child = CreateGameWindow(bank, &cr);
  ASSERT_TRUE(IsValidWindowObject(child));
  EXPECT_EQ(plat::GetParent(child->window), frame->mdiClient);
  EXPECT_EQ(plat::GetWindowWord(child->window, 0), reinterpret_cast<std::intptr_t>(child));
  const HWND childHandle = child->window;
  const HWND frameHandle = frame->window;
  DestroyGameWindow(frame);
  EXPECT_EQ(ListLength(), 0);
  EXPECT_FALSE(plat::IsWindow(childHandle));
  EXPECT_FALSE(plat::IsWindow(frameHandle));
}

TEST_F(WindowTest, PlatformDestroyAndContextEndTakeTheObjects) {
  GameWindowRecord r = Record(100, 100);
  GameWindow* w = CreateGameWindow(bank, &r);
  ASSERT_TRUE(IsValidWindowObject(w));
  const HWND handle = w->window;
  plat::DestroyWindow(handle);
  EXPECT_EQ(FindGameWindow(handle), nullptr);
  EXPECT_EQ(ListLength(), 0);

  ImageBank* other = CreateImageBank(0, nullptr);
  GameWindow* w2 = CreateGameWindow(other, &r);
  ASSERT_TRUE(IsValidWindowObject(w2));
  const HWND handle2 = w2->window;
  DestroyImageBank(other);
  EXPECT_FALSE(plat::IsWindow(handle2));
}

TEST_F(WindowTest, SizeBeyondTheMaximumSnapsBack) {
  GameWindowRecord r = Record(-200, -150);
  r.maxWidth = -300;
  r.maxHeight = -250;
  GameWindow* w = CreateGameWindow(bank, &r);
  ASSERT_TRUE(IsValidWindowObject(w));
  // As a drag would: the window grows, then its procedure hears of the new size.
  plat::SetWindowPos(w->window, 0, 0, 500 + w->nonClientWidth, 260 + w->nonClientHeight,
                     plat::SWP_NOMOVE);
  EXPECT_EQ(plat::SendMessage(w->window, plat::WM_SIZE, 0, plat::MakeLParam(500, 260)), 0);
  RECT client{};
  plat::GetClientRect(w->window, &client);
  EXPECT_EQ(client.right, 300);
  EXPECT_EQ(client.bottom, 250);
  EXPECT_EQ(w->sizingGuard, 0);
  // The kept context follows the new framebuffer.
  RECT box{};
  plat::GetClipBox(w->dc, &box);
  EXPECT_EQ(box.right, 300);

  struct MinMax {
    POINT reserved, maxSize, maxPosition, minTrackSize, maxTrackSize;
  } info{};
  plat::SendMessage(w->window, plat::WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.maxTrackSize.x, 300 + w->nonClientWidth);
  EXPECT_EQ(info.maxSize.y, 250 + w->nonClientHeight);
}

TEST_F(WindowTest, EraseAndPaintDrawFromTheBackBufferOrTheBrush) {
  GameWindowRecord r = Record(-64, -48, 0);
  r.background = static_cast<HBRUSH>(plat::GetStockObject(plat::BLACK_BRUSH));
  GameWindow* w = CreateGameWindow(bank, &r);
  ASSERT_TRUE(IsValidWindowObject(w));
  FillFrame(w->window, 0x123456);
  HDC dc = plat::GetDC(w->window);
  EXPECT_EQ(plat::SendMessage(w->window, plat::WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
  plat::ReleaseDC(w->window, dc);
  EXPECT_EQ(FramePixel(w->window, 10, 10), 0u);

  Surface buffer = MakeSurface(64, 48);
  buffer->FillColor(0x0000FF);  // red
  ASSERT_EQ(SetBackBuffer(w, buffer.get()), 1);
  plat::InvalidateRect(w->window, nullptr, 0);
  RECT part{5, 5, 20, 10};
  FillFrame(w->window, 0x123456);
  plat::SendMessage(w->window, plat::WM_PAINT, 0, 0);
  EXPECT_EQ(FramePixel(w->window, 30, 30), 0xFF0000u);
  // A pump paints only the update area.
  FillFrame(w->window, 0x123456);
  plat::InvalidateRect(w->window, &part, 0);
  plat::PumpMessages();
  EXPECT_EQ(FramePixel(w->window, 5, 5), 0xFF0000u);
  EXPECT_EQ(FramePixel(w->window, 19, 9), 0xFF0000u);
  EXPECT_EQ(FramePixel(w->window, 20, 9), 0x123456u);
  ReleaseBackBuffer(w);
}

TEST_F(WindowTest, CursorsWaitNestingAndMouseMove) {
  GameWindowRecord r = Record(100, 100);
  GameWindow* w = CreateGameWindow(bank, &r);
  ASSERT_TRUE(IsValidWindowObject(w));
  const HCURSOR arrow = plat::LoadSystemCursor(plat::IDC_ARROW);
  const HCURSOR cross = plat::LoadSystemCursor(plat::IDC_CROSS);
  EXPECT_EQ(SetGameCursor(w, cross), arrow);
  BeginWaitCursor(w);
  BeginWaitCursor(w);
  EXPECT_EQ(w->cursor, plat::LoadSystemCursor(plat::IDC_WAIT));
  EndWaitCursor(w);
  EXPECT_EQ(w->cursor, plat::LoadSystemCursor(plat::IDC_WAIT));
  EndWaitCursor(w);
  EXPECT_EQ(w->cursor, cross);
  EndWaitCursor(w);  // unbalanced: nothing
  EXPECT_EQ(w->cursor, cross);
  BeginWaitCursor(w);
  EXPECT_EQ(SetGameCursor(w, reinterpret_cast<HCURSOR>(std::uintptr_t{1})),
            plat::LoadSystemCursor(plat::IDC_WAIT));
  EXPECT_EQ(w->waitCount, 0);
  plat::SetCursor(cross);
  EXPECT_EQ(plat::SendMessage(w->window, plat::WM_MOUSEMOVE, 0, 0), 0);
  EXPECT_EQ(plat::GetCursor(), arrow);
}

TEST_F(WindowTest, PresentSwitchAndOptions) {
  GameWindowRecord r = Record(100, 100);
  GameWindow* w = CreateGameWindow(bank, &r);
  ASSERT_TRUE(IsValidWindowObject(w));
  EXPECT_EQ(EnablePresent(w, 0), 0);
  EXPECT_EQ(EnablePresent(w, 1), kGameStatePresentOff);
  EXPECT_EQ(SetWindowOption(w, 9, 0), 0);
  EXPECT_EQ(SetWindowOption(w, 10, 0x12), 1);
  EXPECT_EQ(SetWindowOption(w, 9, 0), 0x12);
  EXPECT_EQ(SetWindowOption(w, 2, 0x1234), 1);
  EXPECT_EQ(SetWindowOption(w, 4, 0), 0x1234);
  EXPECT_EQ(bank->settingWord, 0x1234);
  // Without a blank source (headless) the wait bit does not stay.
  EXPECT_EQ(SetWindowOption(w, 10, kGameStateWaitBlank), 1);
  EXPECT_EQ(SetWindowOption(w, 9, 0), 0);
  EXPECT_EQ(SetWindowOption(w, 77, 0), 0);
  EXPECT_EQ(SetWindowFlags(w, 0x1234) & kGameWindowOwnDC, kGameWindowOwnDC);
  EXPECT_EQ(GetWindowFlags(w), 0x1234);
}

// Sprite storage through the sprite layer's hooks: a failed build keeps the old storage.
struct FakeHeaps {
  static inline int built = 0, released = 0;
  static SpriteHeap* Build(std::uint32_t count) {
    if (count > 1000) return nullptr;
    ++built;
    return reinterpret_cast<SpriteHeap*>(new char[16]);
  }
  static void Release(GameWindow* w) {
    ++released;
    delete[] reinterpret_cast<char*>(w->spriteHeap);
    w->spriteHeap = nullptr;
  }
};

TEST_F(WindowTest, SpriteStorageOptionReplacesAndKeepsOnFailure) {
  GameWindowRecord r = Record(100, 100);
  GameWindow* w = CreateGameWindow(bank, &r);
  ASSERT_TRUE(IsValidWindowObject(w));
  const SpriteStorageHooks* saved = GetSpriteStorageHooks();
  SetSpriteStorageHooks(nullptr);
  EXPECT_EQ(SetWindowOption(w, 1, 10), 0);
  static const SpriteStorageHooks hooks{&FakeHeaps::Build, &FakeHeaps::Release};
  SetSpriteStorageHooks(&hooks);
  FakeHeaps::built = FakeHeaps::released = 0;
  ASSERT_EQ(SetWindowOption(w, 1, 10), 1);
  SpriteHeap* first = w->spriteHeap;
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(SetWindowOption(w, 1, 5000), 0);
  EXPECT_EQ(w->spriteHeap, first);
  EXPECT_EQ(SetWindowOption(w, 1, -1), 0);
  ASSERT_EQ(SetWindowOption(w, 1, 20), 1);
  EXPECT_EQ(FakeHeaps::released, 1);
  DestroyGameWindow(w);
  EXPECT_EQ(FakeHeaps::built, 2);
  EXPECT_EQ(FakeHeaps::released, 2);
  SetSpriteStorageHooks(saved);
}

TEST_F(WindowTest, BackBufferAttachAndRelease) {
  GameWindowRecord r = Record(100, 100);
  GameWindow* w = CreateGameWindow(bank, &r);
  ASSERT_TRUE(IsValidWindowObject(w));
  Surface empty(NewSurfaceObject());
  EXPECT_EQ(SetBackBuffer(w, empty.get()), 0);
  EXPECT_EQ(SetBackBuffer(w, nullptr), 0);
  Surface a = MakeSurface(40, 30), b = MakeSurface(50, 30);
  ASSERT_EQ(SetBackBuffer(w, a.get()), 1);
  EXPECT_EQ(w->backBufferWidth, 40);
  EXPECT_EQ(w->backBufferBound, -1);
  EXPECT_TRUE(w->flags & kGameWindowBackBuffer);
  // A background of the old size goes when the new buffer differs.
  w->background = MakeSurface(40, 30).release();
  ASSERT_EQ(SetBackBuffer(w, b.get()), 1);
  EXPECT_EQ(w->background, nullptr);
  EXPECT_EQ(w->backBufferImpl, b->GetImplementation());
  ReleaseBackBuffer(w);
  EXPECT_EQ(w->backBuffer, nullptr);
  EXPECT_EQ(w->backBufferBound, 0);
  EXPECT_FALSE(w->flags & kGameWindowBackBuffer);
}

}  // namespace
