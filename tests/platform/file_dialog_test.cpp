// The dialog service under the scripted backend: what the record asks for, what comes back in
// it, the flags a user notices, and the cases where no dialog can be shown.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <vexa/file_dialog.h>

#include "platform/dialog/scripted_backend.h"
#include "platform/text/codepage.h"

namespace {

using plat::ScriptStep;
namespace fs = std::filesystem;

std::u16string U16(const std::string& text) { return plat::DecodeNarrow(text, 0); }

class FileDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("vexa-filedialog-" + std::to_string(getpid()));
    fs::create_directories(dir);
    record.lStructSize = sizeof record;
    record.lpstrFile = file.data();
    record.nMaxFile = static_cast<DWORD>(file.size());
    record.lpstrFilter = u"Pictures\0*.png;*.gif\0Text\0*.txt\0\0";
  }
  void TearDown() override {
    plat::SetDialogBackend(nullptr);
    fs::remove_all(dir);
  }
  std::string Touch(const std::string& name) {
    const std::string path = (dir / name).string();
    std::ofstream(path) << "x";
    return path;
  }
  BOOL Run(plat::ScriptedDialogBackend& backend, bool save) {
    plat::SetDialogBackend(&backend);
    return save ? GetSaveFileNameWide(&record) : GetOpenFileNameWide(&record);
  }

  fs::path dir;
  std::vector<WCHAR> file = std::vector<WCHAR>(512, 0);
  OPENFILENAMEW record{};
};

TEST_F(FileDialog, FiltersMatchWithoutRegardToCase) {
  const std::vector<plat::DialogFilter> filters = plat::ParseFilterList(record.lpstrFilter);
  ASSERT_EQ(filters.size(), 2u);
  EXPECT_EQ(filters[0].patterns, (std::vector<std::u16string>{u"*.png", u"*.gif"}));
  EXPECT_TRUE(plat::MatchesFilter(filters[0], u"SHOT.PNG"));
  EXPECT_TRUE(plat::MatchesFilter(filters[0], u"a.Gif"));
  EXPECT_FALSE(plat::MatchesFilter(filters[0], u"shot.png.txt"));
  EXPECT_TRUE(plat::MatchesFilter({u"All", {u"*.*"}}, u"README"));
}

TEST_F(FileDialog, ResultFieldsOfAnOpenedFile) {
  const std::string path = Touch("Shot.Final.PNG");
  std::vector<WCHAR> title(64, 0);
  record.lpstrFileTitle = title.data();
  record.nMaxFileTitle = 64;
  record.nFilterIndex = 2;
  record.lpstrInitialDir = u"/somewhere";
  plat::ScriptedDialogBackend backend({ScriptStep::ChangeType(0), ScriptStep::Accept(U16(path))});
  ASSERT_EQ(Run(backend, false), 1);
  EXPECT_EQ(backend.request.filterIndex, 1);
  EXPECT_EQ(backend.request.folder, u"/somewhere");
  EXPECT_EQ(std::u16string(file.data()), U16(path));
  EXPECT_EQ(std::u16string(title.data()), u"Shot.Final.PNG");
  EXPECT_EQ(record.nFileOffset, dir.string().size() + 1);
  EXPECT_EQ(record.nFileExtension, path.size() - 3);
  EXPECT_EQ(record.nFilterIndex, 1u) << "the entry in force when accepted";
  EXPECT_EQ(GetFileDialogError(), kDialogCancelled);
}

TEST_F(FileDialog, MultiSelectionReturnsTheFolderAndTheNames) {
  record.Flags = OFN_ALLOWMULTISELECT;
  const std::string a = Touch("a.png"), b = Touch("b.png");
  plat::ScriptedDialogBackend backend({ScriptStep::AcceptMany({U16(a), U16(b)})});
  ASSERT_EQ(Run(backend, false), 1);
  const std::u16string expected = U16(dir.string()) + u'\0' + u"a.png" + u'\0' + u"b.png" + u'\0';
  EXPECT_EQ(std::u16string(file.data(), expected.size() + 1), expected + u'\0');
  EXPECT_EQ(record.nFileOffset, dir.string().size() + 1);
}

TEST_F(FileDialog, MustExistFlagsAndTheOverwritePromptKeepTheDialogOpen) {
  const std::string exists = Touch("here.png");
  const std::string missing = (dir / "gone.png").string();
  record.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
  plat::ScriptedDialogBackend open({ScriptStep::Accept(U16(missing)),
                                    ScriptStep::Accept(U16((dir / "no/such.png").string())),
                                    ScriptStep::Accept(U16(exists))});
  ASSERT_EQ(Run(open, false), 1);
  EXPECT_EQ(open.messages.size(), 2u);
  EXPECT_EQ(std::u16string(file.data()), U16(exists));

  record.Flags = OFN_OVERWRITEPROMPT;
  plat::ScriptedDialogBackend save({ScriptStep::Accept(U16(exists)), ScriptStep::Cancel()});
  save.confirmAnswer = false;
  EXPECT_EQ(Run(save, true), 0);
  EXPECT_EQ(save.questions.size(), 1u);
  plat::ScriptedDialogBackend yes({ScriptStep::Accept(U16(exists))});
  EXPECT_EQ(Run(yes, true), 1);
}

TEST_F(FileDialog, TypedNameWithoutExtensionTakesTheDefaultOne) {
  record.lpstrDefExt = u"png";
  plat::ScriptedDialogBackend backend({ScriptStep::Accept(U16((dir / "new").string()))});
  ASSERT_EQ(Run(backend, true), 1);
  EXPECT_EQ(std::u16string(file.data()), U16((dir / "new.png").string()));
}

TEST_F(FileDialog, PathsLongerThanTheOldLimitComeBackWhole) {
  std::string deep = dir.string();
  for (int i = 0; i < 12; ++i) deep += "/" + std::string(40, char('a' + i));
  fs::create_directories(deep);
  const std::string path = deep + "/picture.png";
  std::ofstream(path) << "x";
  ASSERT_GT(path.size(), 300u);
  file.assign(2048, 0);
  record.lpstrFile = file.data();
  record.nMaxFile = static_cast<DWORD>(file.size());
  plat::ScriptedDialogBackend backend(
      {ScriptStep::Select(U16(path)), ScriptStep::Accept(U16(path))});
  ASSERT_EQ(Run(backend, false), 1);
  EXPECT_EQ(std::u16string(file.data()), U16(path));
}

TEST_F(FileDialog, ResultLongerThanTheBufferWritesNothing) {
  const std::string path = Touch("long-enough-name.png");
  record.nMaxFile = static_cast<DWORD>(path.size());  // one short: no room for the null
  file[0] = u'k';
  plat::ScriptedDialogBackend backend({ScriptStep::Accept(U16(path))});
  EXPECT_EQ(Run(backend, false), 0);
  EXPECT_EQ(GetFileDialogError(), kDialogBufferTooSmall);
  EXPECT_EQ(file[0], u'k');
  EXPECT_EQ(file[1], 0);
}

TEST_F(FileDialog, ForeignTemplateHandlesAreIgnored) {
  int notAPanel = 0;
  record.Flags = OFN_ENABLETEMPLATEHANDLE | OFN_ENABLETEMPLATE;
  record.hInstance = reinterpret_cast<HINSTANCE>(&notAPanel);
  record.lpTemplateName = u"DIALOG_100";
  plat::ScriptedDialogBackend backend({ScriptStep::Cancel()});
  EXPECT_EQ(Run(backend, false), 0);
  EXPECT_EQ(backend.request.panel, nullptr);
  EXPECT_EQ(backend.runs, 1);
}

TEST_F(FileDialog, DialogsBelongToTheThreadThatShowedOne) {
  plat::ScriptedDialogBackend first({ScriptStep::Cancel()});
  EXPECT_EQ(Run(first, false), 0);
  EXPECT_EQ(first.runs, 1);
  BOOL result = -1;
  int error = -1;
  std::thread other([&] {
    result = GetOpenFileNameWide(&record);
    error = GetFileDialogError();
  });
  other.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(error, kDialogWrongThread);
  EXPECT_EQ(first.runs, 1) << "no dialog shown for the other thread";
}

TEST_F(FileDialog, HookCallsOutsideADialogFail) {
  WCHAR buffer[8] = {u'z'};
  HWND bogus = reinterpret_cast<HWND>(&buffer);
  EXPECT_EQ(SetDialogItemTextWide(bogus, 100, u"x"), 0);
  EXPECT_EQ(GetDialogItemTextWide(bogus, 100, buffer, 8), 0u);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(GetDialogFilePath(bogus, buffer, 8), 0);
  EXPECT_EQ(RefuseDialogFile(nullptr), 0);
  DialogCanvas canvas{};
  EXPECT_EQ(GetDialogItemCanvas(bogus, 104, &canvas), 0);
}

// GTK without a display: 0 and the reason, in a child so that this process never starts GTK.
TEST(FileDialogDeathTest, GtkWithoutADisplayAnswersNoDisplay) {
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        std::vector<WCHAR> name(64, 0);
        OPENFILENAMEW record{};
        record.lpstrFile = name.data();
        record.nMaxFile = 64;
        const BOOL shown = GetOpenFileNameWide(&record);
        std::_Exit(shown ? 9 : GetFileDialogError());
      },
      ::testing::ExitedWithCode(dlopen("libgtk-3.so.0", RTLD_LAZY | RTLD_NOLOAD) ||
                                        fs::exists("/usr/lib/x86_64-linux-gnu/libgtk-3.so.0")
                                    ? kDialogNoDisplay
                                    : kDialogNoGtk),
      "");
}

}  // namespace
