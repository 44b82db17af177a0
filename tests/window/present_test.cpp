// Dirty rectangles and presentation: the list's merge and containment modes and its limit,
// what a present copies and pushes, the stretched present, drawing helpers, and the wait for
// the vertical blank on a scripted display.
#include <algorithm>
#include <deque>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/timer/timer.h"
#include "platform/window/vblank.h"
#include "window/window_test_support.h"

namespace {

using namespace window_test;

bool Same(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST_F(WindowTest, DirtyListMergesOverlapsUntilNoneOverlap) {
  GameWindowRecord r = Record(200, 200);
  GameWindow* w = CreateGameWindow(bank, &r);
  ASSERT_TRUE(IsValidWindowObject(w));
  const RECT a{0, 0, 10, 10}, c{20, 0, 30, 10}, touching{10, 0, 20, 10};
  AddDirtyRect(w, &a);
  AddDirtyRect(w, &c);
  AddDirtyRect(w, &touching);  // shares edges only: no overlap
  EXPECT_EQ(w->dirtyRects->count, 3);
  ClearDirtyRects(w);
  AddDirtyRect(w, &a);
  AddDirtyRect(w, &c);
  const RECT bridge{5, 5, 25, 8};  // overlaps both: one rectangle remains
  AddDirtyRect(w, &bridge);
  ASSERT_EQ(w->dirtyRects->count, 1);
  EXPECT_TRUE(Same(w->dirtyRects->rects[0], RECT{0, 0, 30, 10}));
  // Inverted corners are put in order; an empty rectangle adds nothing.
  const RECT inverted{60, 50, 40, 45}, empty{70, 70, 70, 90};
  AddDirtyRect(w, &inverted);
  AddDirtyRect(w, &empty);
  ASSERT_EQ(w->dirtyRects->count, 2);
  EXPECT_TRUE(Same(w->dirtyRects->rects[1], RECT{40, 45, 60, 50}));

  // Windows without a list record nothing.
  GameWindowRecord r0 = Record(50, 50, 0);
  GameWindow* plain = CreateGameWindow(bank, &r0);
  AddDirtyRect(plain, &a);
  EXPECT_EQ(plain->dirtyRects, nullptr);
}

// Appending disjoint rectangles leaves the list exactly as adding them one by one, also where
// the list fills up and its first rectangle starts to grow, and in containment mode.
TEST_F(WindowTest, AppendingDisjointRectanglesMatchesAddingThem) {
  for (const std::uint32_t flags : {0u, 0x10u})
    for (const int before : {0, 3, 500, 513}) {
      GameWindowRecord r = Record(200, 200, 1, flags);
      GameWindow* added = CreateGameWindow(bank, &r);
      GameWindow* appended = CreateGameWindow(bank, &r);
      ASSERT_TRUE(IsValidWindowObject(added) && IsValidWindowObject(appended));
      // One-pixel cells of a 30-wide grid, then a batch further on in the same grid, with an
      // empty rectangle among them.
      auto cell = [](int i) {
        return RECT{(i % 30) * 2, (i / 30) * 2, (i % 30) * 2 + 1, (i / 30) * 2 + 1};
      };
      for (int i = 0; i < before; ++i) {
        const RECT c = cell(i);
        AddDirtyRect(added, &c);
        AddDirtyRect(appended, &c);
      }
      std::vector<RECT> batch;
      for (int i = before; i < before + 20; ++i) batch.push_back(cell(i));
      batch.push_back(RECT{190, 190, 190, 199});
      for (const RECT& c : batch) AddDirtyRect(added, &c);
      AppendDirtyRects(appended, batch.data(), static_cast<int>(batch.size()));
      ASSERT_EQ(appended->dirtyRects->count, added->dirtyRects->count) << before;
      for (int i = 0; i < added->dirtyRects->count; ++i)
        ASSERT_TRUE(Same(appended->dirtyRects->rects[i], added->dirtyRects->rects[i]))
            << "flags " << flags << ", " << before << " listed, rectangle " << i;
      DestroyGameWindow(added);
      DestroyGameWindow(appended);
    }
}

TEST_F(WindowTest, DirtyListReadsOutWithinTheCallersRoom) {
  GameWindowRecord r = Record(200, 200);
  GameWindow* w = CreateGameWindow(bank, &r);
  ASSERT_TRUE(IsValidWindowObject(w));
  const RECT a{0, 0, 10, 10}, b{20, 0, 30, 10}, c{40, 0, 50, 10};
  for (const RECT* x : {&a, &b, &c}) AddDirtyRect(w, x);
  RECT out[3] = {};
  const RECT untouched{-7, -7, -7, -7};
  out[2] = untouched;
  EXPECT_EQ(GetDirtyRects(w, out, 2), 3);  // the count, though only two fit
  EXPECT_TRUE(Same(out[0], a));
  EXPECT_TRUE(Same(out[1], b));
  EXPECT_TRUE(Same(out[2], untouched));
  EXPECT_EQ(GetDirtyRects(w, nullptr, 5), 3);
  EXPECT_EQ(GetDirtyRects(w, out, -1), 3);
  ClearDirtyRects(w);
  EXPECT_EQ(GetDirtyRects(w, out, 3), 0);
  GameWindowRecord r0 = Record(50, 50, 0);
  EXPECT_EQ(GetDirtyRects(CreateGameWindow(bank, &r0), out, 3), 0);  // no list
  EXPECT_EQ(GetDirtyRects(reinterpret_cast<GameWindow*>(kGameWindowNotCreated), out, 3), 0);
}

TEST_F(WindowTest, ContainmentModeKeepsCoveringRectangles) {
  GameWindowRecord r = Record(200, 200, 1, kGameWindowContainDirty);
  GameWindow* w = CreateGameWindow(bank, &r);
  ASSERT_TRUE(IsValidWindowObject(w));
  const RECT big{0, 0, 50, 50}, inside{10, 10, 20, 20}, overlapping{40, 40, 60, 60};
  AddDirtyRect(w, &inside);
  AddDirtyRect(w, &overlapping);  // overlaps but is not contained: appended
  ASSERT_EQ(w->dirtyRects->count, 2);
  AddDirtyRect(w, &big);  // contains the first: replaces it
  ASSERT_EQ(w->dirtyRects->count, 2);
  EXPECT_TRUE(Same(w->dirtyRects->rects[0], big));
  AddDirtyRect(w, &inside);  // now covered: nothing
  EXPECT_EQ(w->dirtyRects->count, 2);
}

TEST_F(WindowTest, FullListGrowsItsFirstRectangle) {
  GameWindowRecord r = Record(200, 200);
  GameWindow* w = CreateGameWindow(bank, &r);
  ASSERT_TRUE(IsValidWindowObject(w));
  for (int i = 0; i < kDirtyRectCapacity; ++i) {
    const RECT cell{(i % 32) * 4, (i / 32) * 4, (i % 32) * 4 + 2, (i / 32) * 4 + 2};
    AddDirtyRect(w, &cell);
  }
  ASSERT_EQ(w->dirtyRects->count, kDirtyRectCapacity);
  const RECT extra{300, 300, 310, 305};
  AddDirtyRect(w, &extra);
  EXPECT_EQ(w->dirtyRects->count, kDirtyRectCapacity);
  EXPECT_TRUE(Same(w->dirtyRects->rects[0], RECT{0, 0, 310, 305}));
}

// A window with a back buffer whose pixels differ from everything on screen.
struct Presented {
  GameWindow* window;
  Surface buffer;
};

Presented MakePresented(ImageBank* bank, int clientW, int clientH, int bufferW, int bufferH,
                        std::uint32_t flags = 0) {
  GameWindowRecord r = Record(-clientW, -clientH, 1, flags);
  Presented p{CreateGameWindow(bank, &r), MakeSurface(bufferW, bufferH)};
  for (int y = 0; y < bufferH; ++y)
    for (int x = 0; x < bufferW; ++x)
      Raw(p.buffer.get(), x, y) = static_cast<std::uint32_t>(x * 256 + y) & 0xFFFFFF;
  SetBackBuffer(p.window, p.buffer.get());
  FillFrame(p.window->window, 0xABCDEF);
  return p;
}

TEST_F(WindowTest, PresentCopiesOnlyDirtyRectanglesClippedToClientAndBuffer) {
  Presented p = MakePresented(bank, 120, 90, 100, 100);
  GameWindow* w = p.window;
  ASSERT_TRUE(IsValidWindowObject(w));
  const RECT a{10, 20, 30, 25}, beyond{90, 80, 200, 200}, outside{130, 0, 150, 10};
  AddDirtyRect(w, &a);
  AddDirtyRect(w, &beyond);
  AddDirtyRect(w, &outside);
  ASSERT_EQ(PresentWindow(w), 1);
  EXPECT_EQ(w->dirtyRects->count, 0);
  const std::vector<RECT> pushed = plat::LastPresentedRects(w->window);
  ASSERT_EQ(pushed.size(), 2u);
  EXPECT_TRUE(Same(pushed[0], a));
  EXPECT_TRUE(Same(pushed[1], RECT{90, 80, 100, 90}));  // client 90 high, buffer 100 wide
  for (int y = 0; y < 90; ++y) {
    for (int x = 0; x < 120; ++x) {
      const bool inA = x >= 10 && x < 30 && y >= 20 && y < 25;
      const bool inB = x >= 90 && x < 100 && y >= 80;
      const std::uint32_t want = inA || inB ? (x * 256 + y) & 0xFFFFFF : 0xABCDEF;
      ASSERT_EQ(FramePixel(w->window, x, y), want) << x << "," << y;
    }
  }
  // Disabled, nothing moves; the list stays for later.
  EnablePresent(w, 0);
  AddDirtyRect(w, &a);
  EXPECT_EQ(PresentWindow(w), 0);
  EXPECT_EQ(w->dirtyRects->count, 1);
}

// Neighbours that share an edge whole are copied as one: tiles listed row by row, a
// rectangle overlapping them, side-by-side rectangles of different heights and tiles cut by
// the buffer's edge. The pixels are those of the rectangles, and the rectangles pushed are
// the ones listed.
TEST_F(WindowTest, PresentCopiesTouchingRectanglesAsTheyAreListed) {
  Presented p = MakePresented(bank, 120, 90, 100, 100);
  GameWindow* w = p.window;
  ASSERT_TRUE(IsValidWindowObject(w));
  std::vector<RECT> listed;
  for (int y = 0; y < 40; y += 20)
    for (int x = 0; x < 60; x += 20) listed.push_back(RECT{x, y, x + 20, y + 20});
  listed.push_back(RECT{50, 30, 70, 50});  // overlaps the tiles
  listed.push_back(RECT{0, 60, 10, 70});   // side by side, not as tall
  listed.push_back(RECT{10, 60, 20, 75});
  listed.push_back(RECT{90, 50, 110, 60});  // cut by the buffer's right edge
  listed.push_back(RECT{90, 60, 110, 70});
  DirtyRectList& list = *w->dirtyRects;
  std::copy(listed.begin(), listed.end(), list.rects);
  list.count = static_cast<int>(listed.size());
  ASSERT_EQ(PresentWindow(w), 1);
  const std::vector<RECT> pushed = plat::LastPresentedRects(w->window);
  ASSERT_EQ(pushed.size(), listed.size());
  for (std::size_t i = 0; i < listed.size(); ++i) {
    RECT want = listed[i];
    want.right = std::min<LONG>(want.right, 100);
    EXPECT_TRUE(Same(pushed[i], want)) << i;
  }
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 120; ++x) {
      bool in = false;
      for (const RECT& r : listed) in |= x >= r.left && x < r.right && y >= r.top && y < r.bottom;
      in &= x < 100;
      ASSERT_EQ(FramePixel(w->window, x, y), in ? (x * 256 + y) & 0xFFFFFF : 0xABCDEFu)
          << x << "," << y;
    }
}

TEST_F(WindowTest, StretchedPresentScalesTheWholeBuffer) {
  Presented p = MakePresented(bank, 640, 480, 320, 240, kGameWindowStretch);
  GameWindow* w = p.window;
  ASSERT_TRUE(IsValidWindowObject(w));
  ASSERT_EQ(PresentWindow(w), 1);
  const std::vector<RECT> pushed = plat::LastPresentedRects(w->window);
  ASSERT_EQ(pushed.size(), 1u);
  EXPECT_TRUE(Same(pushed[0], RECT{0, 0, 640, 480}));
  for (int y = 0; y < 480; y += 7)
    for (int x = 0; x < 640; x += 5)
      ASSERT_EQ(FramePixel(w->window, x, y), ((x / 2) * 256 + y / 2) & 0xFFFFFFu) << x << "," << y;
  // At 1:1 the stretch flag copies dirty rectangles only.
  Presented q = MakePresented(bank, 100, 100, 100, 100, kGameWindowStretch);
  EXPECT_EQ(PresentWindow(q.window), 0);
  EXPECT_EQ(FramePixel(q.window->window, 50, 50), 0xABCDEFu);
}

TEST_F(WindowTest, ChildWindowPresentsIntoItsPartOfTheFrame) {
  GameWindowRecord fr = Record(400, 300, 0, kGameWindowMdiFrame);
  GameWindow* frame = CreateGameWindow(bank, &fr);
  ASSERT_TRUE(IsValidWindowObject(frame));
  GameWindowRecord cr = Record(50, 40, 1, kGameWindowMdiChild);
  cr.parent = frame->window;
  cr.style = 0;
  cr.x = 31;  // odd offsets: the view must not assume aligned rows
  cr.y = 17;
  GameWindow* child = CreateGameWindow(bank, &cr);
  ASSERT_TRUE(IsValidWindowObject(child));
  Surface buffer = MakeSurface(50, 40);
  buffer->FillColor(0x00FF00);
  SetBackBuffer(child, buffer.get());
  FillFrame(frame->window, 0);
  ASSERT_EQ(CopyToScreen(child), 1);
  EXPECT_EQ(FramePixel(frame->window, 31, 17), 0x00FF00u);
  EXPECT_EQ(FramePixel(frame->window, 80, 56), 0x00FF00u);
  EXPECT_EQ(FramePixel(frame->window, 30, 17), 0u);
  EXPECT_EQ(FramePixel(frame->window, 81, 17), 0u);
  EXPECT_EQ(FramePixel(frame->window, 31, 57), 0u);
}

TEST_F(WindowTest, DrawingHelpersMarkWhatTheyDraw) {
  Presented p = MakePresented(bank, 100, 100, 100, 100);
  GameWindow* w = p.window;
  ASSERT_TRUE(IsValidWindowObject(w));
  FillWindowBox(w, 10, 10, 19, 14, 0x0000FF);
  ASSERT_EQ(w->dirtyRects->count, 1);
  EXPECT_TRUE(Same(w->dirtyRects->rects[0], RECT{10, 10, 20, 15}));
  EXPECT_EQ(Raw(p.buffer.get(), 19, 14) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(Raw(p.buffer.get(), 20, 14) & 0xFFFFFF, 14u + 20 * 256);
  ClearDirtyRects(w);
  // Boxes and frames at the ends of the int range stay ordered and clipped.
  FillWindowBox(w, INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN, 0x00FF00);
  ASSERT_EQ(w->dirtyRects->count, 1);
  EXPECT_TRUE(Same(w->dirtyRects->rects[0], RECT{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}));
  EXPECT_EQ(Raw(p.buffer.get(), 99, 99) & 0xFFFFFF, 0x00FF00u);
  const RECT far{INT32_MAX - 1, INT32_MAX - 1, INT32_MAX, INT32_MAX};
  FrameWindowRect(w, &far);
  EXPECT_EQ(PresentWindow(w), 1);
  ClearDirtyRects(w);
  SetPen(w, 0x00FF00, plat::PS_SOLID, 3);
  const RECT frameRect{40, 40, 80, 70};
  FrameWindowRect(w, &frameRect);
  // Four strips, merged where they overlap: together they cover the border.
  ASSERT_GE(w->dirtyRects->count, 1);
  RECT box = w->dirtyRects->rects[0];
  for (int i = 1; i < w->dirtyRects->count; ++i) {
    const RECT& s = w->dirtyRects->rects[i];
    box = RECT{std::min(box.left, s.left), std::min(box.top, s.top), std::max(box.right, s.right),
               std::max(box.bottom, s.bottom)};
  }
  EXPECT_TRUE(Same(box, frameRect));
  ClearDirtyRects(w);
  const POINT line[3] = {{5, 60}, {30, 90}, {20, 95}};
  DrawWindowPolyline(w, line, 3);
  ASSERT_EQ(w->dirtyRects->count, 1);
  const RECT& lineBox = w->dirtyRects->rects[0];
  EXPECT_LE(lineBox.left, 5);
  EXPECT_GE(lineBox.right, 31);
  EXPECT_LE(lineBox.top, 60);
  EXPECT_GE(lineBox.bottom, 96);
}

// ---- the vertical blank ------------------------------------------------------------------

// A display whose scan lines come from a script; each read costs nothing, the sleeps between
// polls move the manual clock.
struct ScriptedDisplay : plat::VBlankSource {
  static inline std::deque<int> lines;  // -1: cannot read; 32000: in the blank
  static inline int reads = 0, blankWaits = 0;
  bool ReadScanLine(int* line, bool* inBlank) override {
    ++reads;
    if (lines.empty() || lines.front() < 0) return false;
    *line = lines.front();
    *inBlank = *line == 32000;
    if (lines.size() > 1) lines.pop_front();
    return true;
  }
  bool WaitForBlankStart() override {
    ++blankWaits;
    return true;
  }
  int ScreenHeight() override { return 600; }
  static plat::VBlankSource* Make() { return new ScriptedDisplay; }
};

class BlankWaitTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    plat::timer::UseManualClock(true);
    plat::SetVBlankSourceFactory(&ScriptedDisplay::Make);
    p = MakePresented(bank, 100, 100, 100, 100);
    ASSERT_TRUE(IsValidWindowObject(p.window));
    ASSERT_EQ(SetWindowOption(p.window, 10, kGameStateWaitBlank), 1);
    ASSERT_EQ(SetWindowOption(p.window, 9, 0), kGameStateWaitBlank);
    // The window's bottom edge on the screen.
    POINT bottom{0, 100};
    plat::ClientToScreen(p.window->window, &bottom);
    bottomLine = std::min<int>(bottom.y, 600);
  }
  void TearDown() override {
    plat::SetVBlankSourceFactory(nullptr);
    plat::timer::UseManualClock(false);
    WindowTest::TearDown();
  }
  // Presents `sinceLast` ms after the previous present; returns the ms the present took.
  std::uint32_t PresentAfter(std::uint32_t sinceLast, std::deque<int> script) {
    p.window->lastPresentTime = plat::timer::TimeGetTime();
    plat::timer::AdvanceManualClock(sinceLast);
    ScriptedDisplay::lines = std::move(script);
    ScriptedDisplay::reads = ScriptedDisplay::blankWaits = 0;
    const std::uint32_t start = plat::timer::TimeGetTime();
    PresentWindow(p.window);
    EXPECT_EQ(p.window->lastPresentTime, plat::timer::TimeGetTime());
    return plat::timer::TimeGetTime() - start;
  }
  Presented p;
  int bottomLine = 0;
};

TEST_F(BlankWaitTest, PollsUntilTheWindowsBottomOrAWrap) {
  // Lines climb past the window's bottom: one poll per line below it.
  EXPECT_EQ(PresentAfter(10, {bottomLine - 30, bottomLine - 20, bottomLine - 10, bottomLine}), 3u);
  EXPECT_EQ(ScriptedDisplay::reads, 4);
  EXPECT_EQ(ScriptedDisplay::blankWaits, 0);
  // A wrap to a smaller line ends the wait.
  EXPECT_EQ(PresentAfter(10, {bottomLine - 30, bottomLine - 20, 3}), 2u);
  // The blank counts as line 32000: past any bottom.
  EXPECT_EQ(PresentAfter(10, {32000}), 0u);
  EXPECT_EQ(ScriptedDisplay::reads, 1);
}

TEST_F(BlankWaitTest, ShortIntervalsSleepFirstAndLongOnesDoNotWait) {
  // 2 ms after the last present: sleep to 5 ms, then poll.
  EXPECT_EQ(PresentAfter(2, {bottomLine}), 3u);
  EXPECT_EQ(ScriptedDisplay::reads, 1);
  // 20 ms or more: no polling at all.
  EXPECT_EQ(PresentAfter(20, {0}), 0u);
  EXPECT_EQ(ScriptedDisplay::reads, 0);
  EXPECT_EQ(ScriptedDisplay::blankWaits, 0);
}

TEST_F(BlankWaitTest, UnreadableOrStillScanLinesWaitForTheBlank) {
  PresentAfter(10, {-1});
  EXPECT_EQ(ScriptedDisplay::blankWaits, 1);
  PresentAfter(10, {5, 5});
  EXPECT_EQ(ScriptedDisplay::blankWaits, 1);
  EXPECT_EQ(ScriptedDisplay::reads, 2);
  // Forty polls at most, then the present goes ahead without a blank wait.
  ASSERT_GT(bottomLine, 41);
  std::deque<int> slow;
  for (int i = 1; i <= 41; ++i) slow.push_back(i);
  const std::uint32_t took = PresentAfter(10, slow);
  EXPECT_EQ(ScriptedDisplay::reads, 40);
  EXPECT_EQ(took, 40u);
  EXPECT_EQ(ScriptedDisplay::blankWaits, 0);
}

}  // namespace
