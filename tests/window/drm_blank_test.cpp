// The card source of the vertical blank on a fake card: the card calls answer libdrm's
// blank wait from a clock of their own (a 60 Hz refresh counted in microseconds), so the test
// sees how long, in the card's time, each wait lasted and which blank it ended on.
#include <xf86drm.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/timer/timer.h"
#include "platform/window/vblank.h"
#include "window/window_test_support.h"

namespace {

using namespace window_test;

struct FakeCard {
  static constexpr long kRefreshUs = 16667;
  static inline long nowUs = 0;
  static inline bool hasDisplay = true;  // false: every blank request fails
  static inline bool present = true;     // false: no card node opens
  static inline std::vector<std::string> opened;
  static inline int closes = 0, waits = 0;

  static unsigned Counter() { return static_cast<unsigned>(nowUs / kRefreshUs); }

  static int Open(const char* path) {
    opened.push_back(path);
    return present && std::strcmp(path, "/dev/dri/card0") == 0 ? 7 : -1;
  }
  // Relative requests count from the blank in progress; the reply names the blank reached and
  // its start time, as the kernel's does.
  static int Wait(int fd, drmVBlank* v) {
    if (fd != 7 || !hasDisplay) return -1;
    ++waits;
    if ((v->request.type & (DRM_VBLANK_ABSOLUTE | DRM_VBLANK_RELATIVE)) != DRM_VBLANK_RELATIVE)
      return -1;
    const unsigned target = Counter() + v->request.sequence;
    if (v->request.sequence > 0) nowUs = static_cast<long>(target) * kRefreshUs;
    v->reply.sequence = target;
    v->reply.tval_sec = nowUs / 1000000;
    v->reply.tval_usec = nowUs % 1000000;
    return 0;
  }
  static void Close(int fd) {
    if (fd == 7) ++closes;
  }
  static void Reset() {
    nowUs = 5 * kRefreshUs + 1234;  // inside the sixth refresh
    hasDisplay = present = true;
    opened.clear();
    closes = waits = 0;
  }
};

constexpr plat::DrmCardCalls kFakeCalls{&FakeCard::Open, &FakeCard::Wait, &FakeCard::Close};

class DrmBlankTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    FakeCard::Reset();
    plat::SetVBlankSourceFactory(nullptr);
    plat::SetDrmCardCalls(&kFakeCalls);
  }
  void TearDown() override {
    WindowTest::TearDown();  // the context closes its source through the fake
    plat::SetDrmCardCalls(nullptr);
  }
};

TEST_F(DrmBlankTest, EachWaitEndsAtTheStartOfTheNextRefresh) {
  plat::VBlankSource* source = plat::OpenVBlankSource();
  ASSERT_NE(source, nullptr);
  ASSERT_FALSE(FakeCard::opened.empty());
  EXPECT_EQ(FakeCard::opened[0], "/dev/dri/card0");
  // Opening asks the card once whether it answers, without waiting.
  EXPECT_EQ(FakeCard::nowUs, 5 * FakeCard::kRefreshUs + 1234);
  // No scan line on this platform: the present falls back to the blank wait.
  int line = 0;
  bool inBlank = false;
  EXPECT_FALSE(source->ReadScanLine(&line, &inBlank));
  // From inside a refresh: to the start of the next one.
  ASSERT_TRUE(source->WaitForBlankStart());
  EXPECT_EQ(FakeCard::nowUs, 6 * FakeCard::kRefreshUs);
  // From the start of a refresh: exactly one refresh later, one blank further.
  for (unsigned blank = 7; blank <= 9; ++blank) {
    const long before = FakeCard::nowUs;
    ASSERT_TRUE(source->WaitForBlankStart());
    EXPECT_EQ(FakeCard::nowUs - before, FakeCard::kRefreshUs);
    EXPECT_EQ(FakeCard::Counter(), blank);
  }
  // A card that stops answering reports the failed wait.
  FakeCard::hasDisplay = false;
  EXPECT_FALSE(source->WaitForBlankStart());
  delete source;
  EXPECT_EQ(FakeCard::closes, 1);
}

TEST_F(DrmBlankTest, CardsWithoutADisplayOrNoCardGiveNoSource) {
  FakeCard::hasDisplay = false;
  EXPECT_EQ(plat::OpenVBlankSource(), nullptr);
  EXPECT_EQ(FakeCard::closes, 1);  // the node that did not answer is closed again
  EXPECT_EQ(FakeCard::opened.size(), 2u);
  FakeCard::present = false;
  EXPECT_EQ(plat::OpenVBlankSource(), nullptr);
  // A window asking for the wait then has its bit cleared again.
  GameWindowRecord r = Record(-64, -48);
  GameWindow* w = CreateGameWindow(bank, &r);
  ASSERT_TRUE(IsValidWindowObject(w));
  EXPECT_EQ(SetWindowOption(w, 10, kGameStateWaitBlank), 1);
  EXPECT_EQ(SetWindowOption(w, 9, 0) & kGameStateWaitBlank, 0);
}

TEST_F(DrmBlankTest, APresentWaitsOneRefreshOnTheCard) {
  plat::timer::UseManualClock(true);
  GameWindowRecord r = Record(-64, -48);
  GameWindow* w = CreateGameWindow(bank, &r);
  ASSERT_TRUE(IsValidWindowObject(w));
  Surface buffer = MakeSurface(64, 48);
  SetBackBuffer(w, buffer.get());
  ASSERT_EQ(SetWindowOption(w, 10, kGameStateWaitBlank), 1);
  ASSERT_EQ(SetWindowOption(w, 9, 0) & kGameStateWaitBlank, kGameStateWaitBlank);
  // 10 ms after the last present the scan line is wanted, cannot be read, and the present
  // waits for the card's next blank.
  w->lastPresentTime = plat::timer::TimeGetTime();
  plat::timer::AdvanceManualClock(10);
  const int waitsBefore = FakeCard::waits;
  FakeCard::nowUs = 11 * FakeCard::kRefreshUs;
  PresentWindow(w);
  EXPECT_EQ(FakeCard::waits - waitsBefore, 1);
  EXPECT_EQ(FakeCard::nowUs, 12 * FakeCard::kRefreshUs);
  // 20 ms or more after the last present: no wait at all.
  w->lastPresentTime = plat::timer::TimeGetTime();
  plat::timer::AdvanceManualClock(25);
  PresentWindow(w);
  EXPECT_EQ(FakeCard::nowUs, 12 * FakeCard::kRefreshUs);
  plat::timer::UseManualClock(false);
}

}  // namespace
