// The PPM example plug-in, loaded from beside libvexa.so through the image filter manager:
// known pixels at every output depth, refused headers, and saving.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <vexa/filter_impl.h>
#include <vexa/filter_manager.h>
#include <vexa/stream.h>

#include "imagefile/filter_test_support.h"

namespace {

using vexa::test::PluginDir;
using vexa::test::Utf16;

constexpr std::uint32_t kPpm = FilterID("PPM ");

std::vector<BYTE> Bytes(const std::string& header, std::vector<BYTE> samples) {
  std::vector<BYTE> file(header.begin(), header.end());
  file.insert(file.end(), samples.begin(), samples.end());
  return file;
}

class PpmFilter : public ::testing::Test {
 protected:
  void SetUp() override {
    mgr.LoadFiltersW(Utf16(PluginDir()).c_str(), 0);
    ASSERT_GE(mgr.GetFilterIndex(kPpm), 0) << "ppm.ift beside libvexa.so";
  }
  void TearDown() override {
    if (filter) filter->Release();
    mgr.Free();
  }
  // Creates the filter that recognises the file and reads its header; the result of BeginRead.
  int Open(const std::vector<BYTE>& file) {
    if (filter) filter->Release();
    input.Create(file.data(), static_cast<int>(file.size()));
    filter = static_cast<CFilterImpl*>(mgr.CreateFilterFromFile(&input));
    if (!filter) return -1;
    return filter->BeginRead(&input);
  }
  CImageFilterMgr mgr;
  CInputMemFile input;
  CFilterImpl* filter = nullptr;
};

// 3 x 2 colour image: red, green, blue / white, grey, black.
const std::vector<BYTE> kColor =
    Bytes("P6\n# made by hand\n3 2\n255\n", {255, 0, 0, 0, 255, 0, 0, 0, 255,  //
                                             255, 255, 255, 128, 130, 132, 0, 0, 0});

TEST_F(PpmFilter, IsListedWithItsNameAndExtensions) {
  const int index = mgr.GetFilterIndex(kPpm);
  EXPECT_STREQ(mgr.GetFilterName(index), "Netpbm (PPM, PGM)");
  const char* const* exts = mgr.GetFilterExts(index);
  ASSERT_NE(exts[2], nullptr);
  EXPECT_STREQ(exts[0], "ppm");
  EXPECT_STREQ(exts[1], "pgm");
  EXPECT_STREQ(exts[2], "pnm");
  EXPECT_EQ(mgr.FilterSupportsImages(index), 1);
  EXPECT_EQ(mgr.FilterSupportsAnimations(index), 0);
}

TEST_F(PpmFilter, ReadsColorPixelsAtEveryOutputDepth) {
  struct Case {
    int depth;
    std::vector<BYTE> firstRow;   // red, green, blue
    std::vector<BYTE> secondRow;  // white, (128, 130, 132), black
  } cases[] = {
      {24, {0, 0, 255, 0, 255, 0, 255, 0, 0}, {255, 255, 255, 132, 130, 128, 0, 0, 0}},
      {32,
       {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0},
       {255, 255, 255, 0, 132, 130, 128, 0, 0, 0, 0, 0}},
      // 0RRRRRGGGGGBBBBB, little-endian
      {15, {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00}, {0xFF, 0x7F, 0x10, 0x42, 0x00, 0x00}},
      // RRRRRGGGGGGBBBBB
      {16, {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00}, {0xFF, 0xFF, 0x10, 0x84, 0x00, 0x00}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Open(kColor), 0);
    EXPECT_EQ(filter->GetID(), kPpm);
    EXPECT_EQ(filter->GetWidth(), 3);
    EXPECT_EQ(filter->GetHeight(), 2);
    EXPECT_EQ(filter->GetDepth(), 24);
    EXPECT_EQ(filter->GetLineBytes(), 9);
    EXPECT_EQ(filter->GetPalette(), nullptr);
    ASSERT_EQ(filter->SetOutputFormat(c.depth, nullptr), 0);
    const int pitch = 16;
    std::vector<BYTE> pixels(2 * pitch, 0xEE);
    ASSERT_EQ(filter->ReadImage(&input, pixels.data(), pitch, nullptr, 0), 0);
    EXPECT_EQ(std::vector<BYTE>(pixels.begin(), pixels.begin() + c.firstRow.size()), c.firstRow)
        << "depth " << c.depth;
    EXPECT_EQ(
        std::vector<BYTE>(pixels.begin() + pitch, pixels.begin() + pitch + c.secondRow.size()),
        c.secondRow)
        << "depth " << c.depth;
    EXPECT_EQ(pixels[c.firstRow.size()], 0xEE) << "depth " << c.depth;
    EXPECT_EQ(filter->GetCurrentFrame(), 0);
  }
}

TEST_F(PpmFilter, ReadsColorIntoAPalette) {
  ASSERT_EQ(Open(kColor), 0);
  LOGPALETTE256 target{0x300, 4, {}};
  target.palPalEntry[0] = {0, 0, 0, 0};
  target.palPalEntry[1] = {255, 255, 255, 0};
  target.palPalEntry[2] = {250, 0, 0, 0};
  target.palPalEntry[3] = {0, 0, 250, 0};
  ASSERT_EQ(filter->SetOutputFormat(8, reinterpret_cast<LOGPALETTE*>(&target)), 0);
  BYTE pixels[8] = {};
  ASSERT_EQ(filter->ReadImage(&input, pixels, 4, nullptr, 0), 0);
  // Green is as far from black as from red: the lower index wins.
  const BYTE expected[8] = {2, 0, 3, 0, 1, 1, 0, 0};
  for (int i : {0, 1, 2, 4, 5, 6}) EXPECT_EQ(pixels[i], expected[i]) << i;
}

TEST_F(PpmFilter, ReadsGreyAsEightBitsWithAGreyPalette) {
  const auto grey = Bytes("P5 4 1 255\n", {0, 1, 128, 255});
  ASSERT_EQ(Open(grey), 0);
  EXPECT_EQ(filter->GetDepth(), 8);
  LOGPALETTE* palette = filter->GetPalette();
  ASSERT_NE(palette, nullptr);
  ASSERT_EQ(palette->palNumEntries, 256);
  const auto* entries = reinterpret_cast<LOGPALETTE256*>(palette)->palPalEntry;
  EXPECT_EQ(entries[128].peRed, 128);
  EXPECT_EQ(entries[128].peBlue, 128);
  // Its own palette: the indexes as they are.
  ASSERT_EQ(filter->SetOutputFormat(8, palette), 0);
  BYTE indexes[4] = {};
  ASSERT_EQ(filter->ReadImage(&input, indexes, 4, nullptr, 0), 0);
  EXPECT_EQ(std::vector<BYTE>(indexes, indexes + 4), (std::vector<BYTE>{0, 1, 128, 255}));

  ASSERT_EQ(Open(grey), 0);
  ASSERT_EQ(filter->SetOutputFormat(32, nullptr), 0);
  BYTE rgb[16] = {};
  ASSERT_EQ(filter->ReadImage(&input, rgb, 16, nullptr, 0), 0);
  EXPECT_EQ(std::vector<BYTE>(rgb + 8, rgb + 12), (std::vector<BYTE>{128, 128, 128, 0}));
}

TEST_F(PpmFilter, RefusesBadHeadersWithACode) {
  struct Case {
    const char* what;
    std::vector<BYTE> file;
    int code;
  } cases[] = {
      {"16-bit samples", Bytes("P6 1 1 65535\n", {0, 0, 0, 0, 0, 0}), 10},
      {"maxval 15", Bytes("P5 1 1 15\n", {0}), 10},
      {"zero width", Bytes("P6 0 1 255\n", {}), 5},
      {"zero height", Bytes("P5 1 0 255\n", {}), 5},
      {"absurd size", Bytes("P6 100000 100000 255\n", {1, 2, 3}), 1},
      {"size overflow", Bytes("P6 99999999999 1 255\n", {1, 2, 3}), 5},
      {"short data", Bytes("P6 2 2 255\n", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}), 5},
      {"no maxval", Bytes("P6 2 2\n", {}), 5},
      {"letters", Bytes("P6 two 2 255\n", {}), 5},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Open(c.file), c.code) << c.what;
  }
  EXPECT_EQ(Open(Bytes("P3 1 1 255\n1 2 3\n", {})), -1);  // plain text form: not ours
  EXPECT_EQ(Open(Bytes("BM", {})), -1);
}

TEST_F(PpmFilter, SavesColorAsP6AndReadsItBack) {
  CFilterImpl* saver = static_cast<CFilterImpl*>(mgr.CreateFilterFromID(kPpm));
  ASSERT_NE(saver, nullptr);
  EXPECT_EQ(saver->CanSaveImage(), 1);
  EXPECT_EQ(saver->GetSupportedDepths(), 0x20);
  // Two rows of two 24-bit pixels (blue, green, red), stored bottom-up: negative pitch.
  const BYTE rows[2][8] = {{1, 2, 3, 4, 5, 6, 0, 0}, {7, 8, 9, 10, 11, 12, 0, 0}};
  COutputMemFile output;
  ASSERT_EQ(output.Create(0), 0);
  COLORREF key = 0;
  EXPECT_EQ(saver->SaveImage(&output, rows[1], 2, 2, 24, -8, nullptr, &key, 0), 0);
  EXPECT_EQ(saver->SaveImage(&output, rows[1], 2, 2, 32, -8, nullptr, &key, 0), 10);
  saver->Release();
  const std::vector<BYTE> written(output.GetBuffer(), output.GetBuffer() + output.GetSize());
  EXPECT_EQ(written, Bytes("P6\n2 2\n255\n", {9, 8, 7, 12, 11, 10, 3, 2, 1, 6, 5, 4}));

  ASSERT_EQ(Open(written), 0);
  ASSERT_EQ(filter->SetOutputFormat(24, nullptr), 0);
  BYTE back[16] = {};
  ASSERT_EQ(filter->ReadImage(&input, back, 8, nullptr, 0), 0);
  EXPECT_EQ(std::memcmp(back, rows[1], 6), 0);
  EXPECT_EQ(std::memcmp(back + 8, rows[0], 6), 0);
}

}  // namespace
