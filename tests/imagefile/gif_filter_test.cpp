// The GIF filter plug-in: the pygif suite's frames, peterdn's frames, crash and stall files,
// loop counts and delays, and saved stills and animations read back.
#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <vexa/filter_impl.h>
#include <vexa/image_file.h>
#include <vexa/palette.h>

#include "imagefile/image_test_support.h"
#include "support/surface_factory.h"

namespace {

using vexa::test::CorporaDir;
using vexa::test::Plugins;
using vexa::test::SurfaceRgba;
namespace fs = std::filesystem;

constexpr std::uint32_t kGif = FilterID("GIF ");

std::string GifCorpus() {
  const std::string dir = CorporaDir();
  return dir.empty() ? dir : dir + "/gif";
}

// "key = value" lines of one section of a pygif .conf file.
std::map<std::string, std::string> Section(const std::string& path, const std::string& name) {
  std::map<std::string, std::string> values;
  std::ifstream in(path);
  std::string line, current;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      current = line.substr(1, line.find(']') - 1);
      continue;
    }
    const auto eq = line.find('=');
    if (current != name || eq == std::string::npos) continue;
    auto trim = [](std::string s) {
      s.erase(0, s.find_first_not_of(' '));
      s.erase(s.find_last_not_of(' ') + 1);
      return s;
    };
    values[trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
  }
  return values;
}

// Expected RGBA of a frame: a .rgba file, or a PNG read with our PNG filter.
bool ExpectedFrame(const std::string& path, int width, int height,
                   std::vector<unsigned char>* rgba) {
  rgba->assign(static_cast<std::size_t>(width) * height * 4, 0);
  if (path.size() > 5 && path.substr(path.size() - 5) == ".rgba") {
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(rgba->data()), static_cast<std::streamsize>(rgba->size()));
    return static_cast<bool>(in);
  }
  cSurfaceObject png;
  if (!ImportImage(&Plugins(), path.c_str(), &png, nullptr, kImportNoPremultiply)) return false;
  if (png.GetWidth() != width || png.GetHeight() != height) return false;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      SurfaceRgba(png, x, y, &(*rgba)[(static_cast<std::size_t>(y) * width + x) * 4]);
  }
  return true;
}

// The first pixel where a frame differs (colours of transparent pixels do not count); "".
std::string FrameDifference(cSurfaceObject& s, const std::vector<unsigned char>& want) {
  for (int y = 0; y < s.GetHeight(); ++y) {
    for (int x = 0; x < s.GetWidth(); ++x) {
      unsigned char got[4];
      SurfaceRgba(s, x, y, got);
      const unsigned char* w = &want[(static_cast<std::size_t>(y) * s.GetWidth() + x) * 4];
      const bool same = w[3] == 0 ? got[3] == 0 : std::memcmp(got, w, 4) == 0;
      if (!same) return "pixel " + std::to_string(x) + "," + std::to_string(y);
    }
  }
  return "";
}

TEST(GifFilter, PygifFramesMatch) {
  const std::string corpus = GifCorpus();
  if (corpus.empty()) GTEST_SKIP() << "no corpora";
  const std::string dir = corpus + "/pygif/";
  // Where this filter and the suite's reference decoder part ways, each for a reason:
  const std::map<std::string, std::string> known = {
      // The suite refuses a file with a plain-text block; this filter shows its image.
      {"plain-text", "loads"},
      // giflib refuses a code stream that fills the code table and goes on without a clear.
      {"max-codes", "refused"},
      // giflib refuses image descriptors of zero width or height.
      {"image-zero-width", "refused"},
      {"image-zero-height", "refused"},
      {"image-zero-size", "refused"},
  };
  std::ifstream tests(dir + "TESTS");
  std::string name;
  int loaded = 0, refused = 0, mismatched = 0;
  while (tests >> name) {
    const std::string conf = dir + name + ".conf";
    auto config = Section(conf, "config");
    std::vector<std::string> frames;
    std::stringstream list(config["frames"]);
    for (std::string f; std::getline(list, f, ',');) {
      if (!f.empty()) frames.push_back(f);
    }
    const std::string input = dir + config["input"];
    CImageFile file(&Plugins());
    cSurfaceObject surface;
    const int begun = BeginImageImport(&Plugins(), input.c_str(), &surface, &file, 0);
    if (known.count(name)) {
      EXPECT_EQ(begun, known.at(name) == "loads" ? 1 : 0) << name;
      EndImageImport(&Plugins(), &file);
      continue;
    }
    // Files the suite marks as wrongly encoded but shown as animations by most readers
    // (images without delays or loop extension): they load; frames are not compared.
    if (config["force-animation"] == "yes" && !frames.empty()) {
      EXPECT_EQ(begun, 1) << name;
      EndImageImport(&Plugins(), &file);
      continue;
    }
    if (frames.empty()) {
      EXPECT_EQ(begun, 0) << name << " has no frames and must be refused";
      refused += begun == 0;
      EndImageImport(&Plugins(), &file);
      continue;
    }
    EXPECT_EQ(begun, 1) << name;
    if (!begun) {
      ++mismatched;
      continue;
    }
    ++loaded;
    EXPECT_EQ(surface.GetWidth(), std::stoi(config["width"])) << name;
    // The suite counts repeats (0 without a loop extension); slot 33 answers the extension's
    // value (0 forever) or -1 without one.
    const std::string loops = config["loop-count"];
    if (!loops.empty()) {
      const int want = loops == "infinite" ? 0 : loops == "0" ? -1 : std::stoi(loops);
      EXPECT_EQ(file.GetExtraInfo(), want) << name;
    }
    bool same = true;
    for (std::size_t i = 0; i < frames.size(); ++i) {
      if (i > 0 && !ImportNextImage(&Plugins(), &surface, &file)) {
        ADD_FAILURE() << name << " frame " << i << " did not load";
        same = false;
        break;
      }
      auto frame = Section(conf, frames[i]);
      const std::string expected = dir + (frame.count("pixels") ? frame["pixels"] : frame["image"]);
      std::vector<unsigned char> want;
      ASSERT_TRUE(ExpectedFrame(expected, surface.GetWidth(), surface.GetHeight(), &want))
          << expected;
      const std::string difference = FrameDifference(surface, want);
      EXPECT_EQ(difference, "") << name << " frame " << i;
      same = same && difference.empty();
      if (frame.count("delay")) {
        EXPECT_EQ(file.GetFrameExtraInfo(static_cast<int>(i)), std::stoi(frame["delay"])) << name;
      }
    }
    mismatched += !same;
    EndImageImport(&Plugins(), &file);
  }
  std::printf("GIF pygif: %d loaded, %d refused, %d mismatched, %zu known differences\n", loaded,
              refused, mismatched, known.size());
}

TEST(GifFilter, PeterdnFramesMatch) {
  const std::string corpus = GifCorpus();
  if (corpus.empty()) GTEST_SKIP() << "no corpora";
  const fs::path dir = corpus + "/peterdn/gifs";
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".gif") continue;
    ++files;
    CImageFile file(&Plugins());
    cSurfaceObject surface;
    ASSERT_EQ(BeginImageImport(&Plugins(), entry.path().c_str(), &surface, &file, 0), 1)
        << entry.path();
    const std::string stem = entry.path().stem().string();
    for (int i = 0;; ++i) {
      const fs::path png = dir / "frames" / (stem + "-" + std::to_string(i) + ".png");
      if (!fs::exists(png)) break;
      if (i > 0) {
        ASSERT_EQ(ImportNextImage(&Plugins(), &surface, &file), 1) << png;
      }
      std::vector<unsigned char> want;
      ASSERT_TRUE(ExpectedFrame(png.string(), surface.GetWidth(), surface.GetHeight(), &want))
          << png;
      EXPECT_EQ(FrameDifference(surface, want), "") << png;
    }
    EndImageImport(&Plugins(), &file);
  }
  EXPECT_GT(files, 0);
}

TEST(GifFilter, CrashAndStallFilesEndQuickly) {
  const std::string corpus = GifCorpus();
  if (corpus.empty()) GTEST_SKIP() << "no corpora";
  for (const char* folder : {"/image-gif/crashtest", "/image-gif/stall", "/image-gif/regression"}) {
    if (!fs::is_directory(corpus + folder)) continue;
    for (const auto& entry : fs::directory_iterator(corpus + folder)) {
      const auto start = std::chrono::steady_clock::now();
      cSurfaceObject surface;
      ImportImage(&Plugins(), entry.path().c_str(), &surface, nullptr, 0);
      const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
      EXPECT_LT(seconds.count(), 5.0) << entry.path();
    }
  }
}

using GifSave = vexa::test::ScratchDirTest;

TEST_F(GifSave, StillsAndAnimationsReadBack) {
  auto frame = testsupport::MakeSurface(8, 9, 5);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 9; ++x) frame->SetPixelColor(x, y, 0x01000000u | BYTE(x * 20 + y));
  }
  const std::string still = (dir / "still.gif").string();
  ASSERT_EQ(ExportImage(&Plugins(), still.c_str(), frame.get(), kGif), 1);
  cSurfaceObject back;
  ASSERT_EQ(ImportImage(&Plugins(), still.c_str(), &back, nullptr, 0), 1);
  EXPECT_EQ(back.GetDepth(), 8);
  int isStill = -1;
  EXPECT_EQ(GetImageFileInfo(&Plugins(), still.c_str(), &isStill), 1);
  EXPECT_EQ(isStill, 1);
  for (int x = 0; x < 9; ++x) {
    unsigned char a[4], b[4];
    SurfaceRgba(*frame, x, 3, a);
    SurfaceRgba(back, x, 3, b);
    EXPECT_EQ(std::memcmp(a, b, 4), 0) << x;
  }

  // Three frames, 0 = loop forever, delays 7 and 9.
  const std::string animation = (dir / "anim.gif").string();
  CImageFile writer(&Plugins());
  ASSERT_TRUE(writer.SelectFilterByID(kGif));
  ASSERT_EQ(BeginImageExport(&Plugins(), animation.c_str(), frame.get(), &writer, 0, 7, -1, 0), 1);
  frame->SetPixelColor(4, 2, 0x01000001);
  ASSERT_EQ(ExportNextImage(&Plugins(), frame.get(), &writer, 9), 1);
  frame->SetPixelColor(5, 2, 0x01000002);
  ASSERT_EQ(ExportNextImage(&Plugins(), frame.get(), &writer, 9), 1);
  ASSERT_EQ(EndImageExport(&Plugins(), &writer), 1);

  CImageFile reader(&Plugins());
  ASSERT_EQ(reader.Open(animation.c_str()), 0);
  EXPECT_EQ(reader.IsAnimated(), 1);
  EXPECT_EQ(reader.GetFrameCount(), 3);
  EXPECT_EQ(reader.GetExtraInfo(), 0);
  EXPECT_EQ(reader.GetFrameExtraInfo(0), 7);
  EXPECT_EQ(reader.GetFrameExtraInfo(2), 9);
  EXPECT_EQ(GetImageFileInfo(&Plugins(), animation.c_str(), &isStill), 1);
  EXPECT_EQ(isStill, 0);
  // Seeking backwards rewinds and reads from frame 0.
  std::vector<BYTE> pixels(12 * 5);
  ASSERT_EQ(reader.SetReadFormat(9, 5, 8, nullptr), 0);
  ASSERT_EQ(reader.SeekFrame(pixels.data(), 12, 2), 0);
  EXPECT_EQ(pixels[2 * 12 + 5], 2);
  ASSERT_EQ(reader.SeekFrame(pixels.data(), 12, 0), 0);
  EXPECT_EQ(reader.GetCurrentFrame(), 0);
  EXPECT_EQ(pixels[2 * 12 + 4], 4 * 20 + 2);
  ASSERT_EQ(reader.SeekFrame(pixels.data(), 12, 99), 0);  // clamped to the last frame
  EXPECT_EQ(reader.GetCurrentFrame(), 2);
}

}  // namespace
