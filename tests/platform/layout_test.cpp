// Byte layouts of the records that cross the exported interface or live in files.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <vexa/wintypes.h>

namespace {

TEST(RecordLayout, BitmapFileHeaderIsPackedLikeTheFile) {
  const unsigned char file[14] = {'B', 'M', 0x36, 0x10, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0};
  BITMAPFILEHEADER h;
  std::memcpy(&h, file, sizeof h);
  // Copies: the packed fields themselves are not aligned for reference binding.
  const WORD type = h.bfType;
  const DWORD size = h.bfSize, offset = h.bfOffBits;
  EXPECT_EQ(type, 0x4D42);
  EXPECT_EQ(size, 0x1036u);
  EXPECT_EQ(offset, 54u);
}

TEST(RecordLayout, FieldOffsetsMatchTheWireFormat) {
  EXPECT_EQ(offsetof(BITMAPINFOHEADER, biBitCount), 14u);
  EXPECT_EQ(offsetof(BITMAPINFOHEADER, biClrUsed), 32u);
  EXPECT_EQ(offsetof(LOGFONTA, lfFaceName), 28u);
  EXPECT_EQ(offsetof(LOGFONTW, lfFaceName), 28u);
  EXPECT_EQ(offsetof(WAVEFORMATEX, nSamplesPerSec), 4u);
  EXPECT_EQ(offsetof(WAVEFORMATEX, wBitsPerSample), 14u);
  EXPECT_EQ(sizeof(WCHAR), 2u);
}

TEST(PublicHeaders, UmbrellaIncludesEveryHeader) {
  const std::filesystem::path dir = VEXA_SOURCE_DIR "/include/vexa";
  std::ifstream in(dir / "vexa.h");
  std::stringstream umbrella;
  umbrella << in.rdbuf();
  for (const auto& file : std::filesystem::directory_iterator(dir)) {
    const std::string name = file.path().filename().string();
    if (name == "vexa.h") continue;
    EXPECT_NE(umbrella.str().find("<vexa/" + name + ">"), std::string::npos)
        << name << " is missing from vexa.h";
  }
}

}  // namespace
