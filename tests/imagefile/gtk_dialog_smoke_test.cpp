// The real GTK dialog on an X server: it opens, a timer selects a PNG of the test data and
// accepts it, and the path and filter identifier come back. Runs where the "gtk_dialog_smoke"
// test starts it under xvfb-run (VEXA_GTK_SMOKE set); skipped everywhere else.
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include <vexa/image_file_dialog.h>

#include "imagefile/image_test_support.h"
#include "platform/dialog/dialog.h"
#include "platform/window/window.h"

namespace {

using vexa::test::Utf16;

TEST(GtkDialogSmoke, TimerSelectsAndAcceptsAFile) {
  if (!std::getenv("VEXA_GTK_SMOKE") || !std::getenv("DISPLAY")) {
    GTEST_SKIP() << "needs an X server (make test runs it under xvfb-run)";
  }
  const std::u16string png = Utf16(vexa::test::TestData("png/basn2c08.png"));
  plat::SetDialogBackend(nullptr);
  plat::SetGtkAutomation({{plat::GtkAutomationStep::kSelect, 800, png},
                          {plat::GtkAutomationStep::kAccept, 1500, u""},
                          // Should the accept not end the dialog, the test ends, failed.
                          {plat::GtkAutomationStep::kCancel, 20000, u""}});
  // An SDL window on the same X server owns the dialog.
  HWND owner = plat::CreateWindow("owner", plat::WS_VISIBLE, 0, 0, 320, 200);
  ASSERT_NE(owner, nullptr);
  EXPECT_NE(plat::OwnerX11Window(owner), 0u);
  std::vector<WCHAR> file(1024, 0);
  OPENFILENAMEW record{};
  record.lStructSize = sizeof record;
  record.hwndOwner = owner;
  record.lpstrFile = file.data();
  record.nMaxFile = static_cast<DWORD>(file.size());
  std::uint32_t id = 0;
  ASSERT_EQ(ImageFileDialogW(&record, 1, &vexa::test::Plugins(), &id, kDialogListImages), 1)
      << "dialog error " << GetFileDialogError();
  EXPECT_EQ(std::u16string(file.data()), png);
  EXPECT_EQ(id, FilterID("PNG "));
  EXPECT_EQ(record.nFilterIndex, 1u) << "the all-formats entry, shown first";
  plat::DestroyWindow(owner);
}

}  // namespace
