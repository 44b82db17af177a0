// Saving surfaces as device-independent bitmaps, round trips through files, and bitmap
// resources beside a loaded module.
#include <gtest/gtest.h>

#include <SDL.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <vexa/library.h>
#include <vexa/stream.h>
#include <vexa/surface_object.h>

#include "platform/module/module.h"
#include "support/surface_factory.h"

namespace {

std::vector<std::uint8_t> ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename T>
T At(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}

std::unique_ptr<cSurfaceObject> Noise(int depth, int width, int height, unsigned seed) {
  auto surface = testsupport::MakeSurface(depth, width, height);
  std::mt19937 rng(seed);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) surface->SetPixelColor(x, y, rng() & 0xFFFFFF);
  }
  return surface;
}

std::string TempPath(const std::string& name) { return testing::TempDir() + "vexa_" + name; }

TEST(BitmapSave, RoundTripsAtEveryDepth) {
  for (int depth : {8, 15, 16, 24, 32}) {
    SCOPED_TRACE(depth);
    auto source = Noise(depth, 13, 7, static_cast<unsigned>(depth));
    const std::string path = TempPath("round_trip.bmp");
    ASSERT_EQ(source->SaveBitmapToFileName(path.c_str(), 0), 1);
    EXPECT_EQ(source->GetLastError(), 0u);
    const auto bytes = ReadWhole(path);
    ASSERT_EQ(bytes.size(), 14 + static_cast<std::size_t>(GetDIBSize(13, 7, depth)));
    EXPECT_EQ(At<std::uint16_t>(bytes, 0), 0x4D42);
    EXPECT_EQ(At<std::uint32_t>(bytes, 2), bytes.size());
    EXPECT_EQ(At<std::uint32_t>(bytes, 10),
              14u + static_cast<std::uint32_t>(GetDIBHeaderSize(depth)));
    auto loaded = testsupport::MakeSurface(depth, 1, 1);
    ASSERT_EQ(loaded->LoadBitmapFromFileName(path.c_str(), depth == 8 ? kLoadExactPalette : 0), 1);
    ASSERT_EQ(loaded->GetWidth(), 13);
    ASSERT_EQ(loaded->GetHeight(), 7);
    for (int y = 0; y < 7; ++y) {
      for (int x = 0; x < 13; ++x) {
        ASSERT_EQ(testsupport::RawPixel(*loaded->implementation, x, y) & 0xFFFFFF,
                  testsupport::RawPixel(*source->implementation, x, y) & 0xFFFFFF)
            << x << "," << y;
      }
    }
    // SDL reads our files the same way.
    SDL_Surface* sdl = SDL_LoadBMP(path.c_str());
    ASSERT_NE(sdl, nullptr) << SDL_GetError();
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(sdl, SDL_PIXELFORMAT_ARGB8888, 0);
    COLORREF color = 0;
    source->GetPixelColor(5, 3, &color);
    const std::uint32_t p =
        static_cast<const std::uint32_t*>(argb->pixels)[3 * argb->pitch / 4 + 5];
    const COLORREF sdlColor = ((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16);
    if (depth == 8 || depth >= 24) {
      EXPECT_EQ(sdlColor, color);
    }
    SDL_FreeSurface(argb);
    SDL_FreeSurface(sdl);
    std::remove(path.c_str());
  }
}

TEST(BitmapSave, SixteenAndFifteenBitHeaders) {
  const std::string path = TempPath("sixteen.bmp");
  auto sixteen = Noise(16, 3, 2, 1);
  ASSERT_EQ(sixteen->SaveBitmapToFileName(path.c_str(), 0), 1);
  auto bytes = ReadWhole(path);
  EXPECT_EQ(At<std::uint32_t>(bytes, 10), 66u);  // bits after the 52-byte header
  EXPECT_EQ(At<std::uint16_t>(bytes, 28), 16u);  // bit count
  EXPECT_EQ(At<std::uint32_t>(bytes, 30), 3u);   // bit fields
  EXPECT_EQ(At<std::uint32_t>(bytes, 54), 0xF800u);
  EXPECT_EQ(At<std::uint32_t>(bytes, 58), 0x7E0u);
  EXPECT_EQ(At<std::uint32_t>(bytes, 62), 0x1Fu);
  auto fifteen = Noise(15, 3, 2, 2);
  ASSERT_EQ(fifteen->SaveBitmapToFileName(path.c_str(), 0), 1);
  bytes = ReadWhole(path);
  EXPECT_EQ(At<std::uint32_t>(bytes, 10), 54u);
  EXPECT_EQ(At<std::uint16_t>(bytes, 28), 16u);
  EXPECT_EQ(At<std::uint32_t>(bytes, 30), 0u);
  EXPECT_EQ(At<std::uint32_t>(bytes, 34), 2u * 8u);  // image size: rows of 8 bytes
  std::remove(path.c_str());
}

TEST(BitmapSave, MakeBitmapWritesNothingPastTheHeader) {
  for (int depth : {15, 24, 32, 16, 8}) {
    SCOPED_TRACE(depth);
    auto surface = Noise(depth, 4, 3, 9);
    const int header = GetDIBHeaderSize(depth);
    std::vector<std::uint8_t> record(static_cast<std::size_t>(header) + 16, 0xAB);
    ASSERT_EQ(
        surface->MakeBitmap(reinterpret_cast<BITMAPINFO*>(record.data()), nullptr, kSaveHeaderOnly),
        1);
    for (std::size_t i = static_cast<std::size_t>(header); i < record.size(); ++i) {
      ASSERT_EQ(record[i], 0xAB) << i;
    }
    EXPECT_EQ(At<std::int32_t>(record, 8), 3);  // positive height: bottom-up rows
  }
  cSurfaceObject empty;
  BITMAPINFOHEADER header{};
  EXPECT_EQ(empty.MakeBitmap(reinterpret_cast<BITMAPINFO*>(&header), nullptr, 0), 0);
  EXPECT_EQ(empty.GetLastError(), kErrorNotSupported);
  auto surface = testsupport::MakeSurface(24, 2, 2);
  EXPECT_EQ(surface->MakeBitmap(nullptr, nullptr, 0), 0);
  EXPECT_EQ(surface->GetLastError(), kErrorNoDeviceContext);
}

TEST(BitmapSave, AlphaGoesIntoTheFourthByteOnRequest) {
  auto surface = Noise(32, 3, 2, 4);
  std::uint8_t* alpha = surface->CreateAlpha();
  ASSERT_NE(alpha, nullptr);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x)
      alpha[y * surface->GetAlphaPitch() + x] = static_cast<std::uint8_t>(40 * x + 100 * y);
  }
  const std::string path = TempPath("alpha.bmp");
  // With the alpha flag the plane survives the round trip.
  ASSERT_EQ(surface->SaveBitmapToFileName(path.c_str(), kSaveAlpha), 1);
  auto bytes = ReadWhole(path);
  const std::size_t bits = At<std::uint32_t>(bytes, 10);
  EXPECT_EQ(bytes[bits + 4 * 2 + 3], 180);  // bottom row first: (2, 1) is at row 0 of the file
  auto loaded = testsupport::MakeSurface(32, 1, 1);
  ASSERT_EQ(loaded->LoadBitmapFromFileName(path.c_str(), 0), 1);
  ASSERT_EQ(loaded->HasAlpha(), 1);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(loaded->GetAlphaPointer()[y * loaded->GetAlphaPitch() + x], 40 * x + 100 * y);
    }
  }
  // Without it the file is opaque and loads without a plane.
  ASSERT_EQ(surface->SaveBitmapToFileName(path.c_str(), 0), 1);
  bytes = ReadWhole(path);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(bytes[bits + 4 * i + 3], 0) << i;
  ASSERT_EQ(loaded->LoadBitmapFromFileName(path.c_str(), 0), 1);
  EXPECT_EQ(loaded->HasAlpha(), 0);
  std::remove(path.c_str());
}

TEST(BitmapSave, SaveBitmapWritesTheRecordWithoutAFileHeader) {
  auto surface = Noise(24, 5, 3, 5);
  const std::string path = TempPath("bare.bmp");
  HFILE file = CreateNewFile(path.c_str());
  ASSERT_NE(file, kInvalidFile);
  ASSERT_EQ(surface->SaveBitmap(file, 0), 1);
  EXPECT_EQ(surface->GetLastError(), 0u);
  CloseFile(file);
  auto bytes = ReadWhole(path);
  ASSERT_EQ(bytes.size(), static_cast<std::size_t>(GetDIBSize(5, 3, 24)));
  EXPECT_EQ(At<std::uint32_t>(bytes, 0), 40u);
  auto loaded = testsupport::MakeSurface(24, 1, 1);
  ASSERT_EQ(loaded->LoadBitmapFromFileName(path.c_str(), 0), 1);
  EXPECT_EQ(loaded->GetPixelFast(4, 2), surface->GetPixelFast(4, 2));
  // Header only: the rows are zeros.
  file = CreateNewFile(path.c_str());
  ASSERT_EQ(surface->SaveBitmap(file, kSaveHeaderOnly), 1);
  CloseFile(file);
  bytes = ReadWhole(path);
  for (std::size_t i = 40; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0) << i;
  // A handle that cannot be written reports the write code.
  file = OpenExistingFile(path.c_str(), 0);
  EXPECT_EQ(surface->SaveBitmap(file, 0), 0);
  EXPECT_NE(surface->GetLastError(), 0u);
  CloseFile(file);
  std::remove(path.c_str());
  EXPECT_EQ(surface->SaveBitmapToFileName("/nonexistent/dir/x.bmp", 0), 0);
  EXPECT_EQ(surface->GetLastError(), kErrorCannotCreate);
  const std::u16string wide = u"/nonexistent/dir/x.bmp";
  EXPECT_EQ(surface->SaveBitmapToFileName(wide.c_str(), 0), 0);
  EXPECT_EQ(surface->GetLastError(), kErrorCannotCreate);
}

// A copy of a small shared object in a temporary folder, loaded as a module, with a
// resource folder beside it.
class ModuleResources : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vexa_module_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    module_path_ = folder_ + "/plugin.so";
    // zlib, which the library links, is a small shared object to copy.
    Dl_info zlib{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&zlibVersion), &zlib), 0);
    std::filesystem::copy_file(zlib.dli_fname, module_path_);
    module_ = dlopen(module_path_.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module_, nullptr) << dlerror();
    std::filesystem::create_directories(module_path_ + ".res/bitmap");
  }
  void TearDown() override {
    if (module_) dlclose(module_);
    std::filesystem::remove_all(folder_);
  }
  void PutResource(int id, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(module_path_ + ".res/bitmap/" + std::to_string(id) + ".bmp",
                      std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  HMODULE Module() const { return static_cast<HMODULE>(module_); }

  std::string folder_, module_path_;
  void* module_ = nullptr;
};

TEST_F(ModuleResources, ResourcePathsFollowTheModuleFile) {
  EXPECT_EQ(plat::ModuleFileNameOf(module_), module_path_);
  EXPECT_EQ(plat::ResourceFilePath(module_, "bitmap", 7, ".bmp"),
            module_path_ + ".res/bitmap/7.bmp");
  EXPECT_EQ(plat::ResourceFilePath(module_, "bitmap", 0, ".bmp"), "");
  EXPECT_EQ(plat::ResourceFilePath(module_, "bitmap", 0x10000, ".bmp"), "");
  // Null is the main program (this test executable).
  const std::string main = plat::ResourceFilePath(nullptr, "bitmap", 1, ".bmp");
  EXPECT_NE(main.find("vexa_tests.res/bitmap/1.bmp"), std::string::npos) << main;
}

TEST_F(ModuleResources, BitmapsLoadFromFilesBesideTheModule) {
  const auto file = ReadWhole(std::string(VEXA_TEST_DATA_DIR) + "/bmp/g/rgb24.bmp");
  PutResource(3, file);
  // A packed bitmap (no file header) is a resource too.
  PutResource(4, std::vector<std::uint8_t>(file.begin() + 14, file.end()));
  // A resource shorter than its header claims.
  PutResource(5, std::vector<std::uint8_t>(file.begin(), file.begin() + 200));
  auto reference = testsupport::MakeSurface(24, 1, 1);
  ASSERT_EQ(reference->LoadBitmapFromFileName(
                (std::string(VEXA_TEST_DATA_DIR) + "/bmp/g/rgb24.bmp").c_str(), 0),
            1);
  for (int id : {3, 4}) {
    auto surface = testsupport::MakeSurface(24, 1, 1);
    ASSERT_EQ(surface->LoadBitmapFromResource(Module(), id, 0), 1) << id;
    EXPECT_EQ(surface->GetWidth(), reference->GetWidth());
    EXPECT_EQ(surface->GetPixelFast(20, 30), reference->GetPixelFast(20, 30));
  }
  auto surface = testsupport::MakeSurface(24, 2, 2);
  EXPECT_EQ(surface->LoadBitmapFromResource(Module(),
                                            reinterpret_cast<const char*>(std::uintptr_t{4}), 0),
            1);
  EXPECT_EQ(surface->LoadBitmapFromResource(Module(), 5, 0), 0);
  EXPECT_EQ(surface->GetLastError(), kErrorNoDeviceContext);
  EXPECT_EQ(surface->LoadBitmapFromResource(Module(), 6, 0), 0);
  EXPECT_EQ(surface->GetLastError(), kErrorCannotOpen);
  EXPECT_EQ(surface->LoadBitmapFromResource(Module(), "name", 0), 0);
  EXPECT_EQ(surface->GetLastError(), kErrorCannotOpen);
}

}  // namespace
