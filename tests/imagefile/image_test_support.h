// Image file tests: the library's plug-ins, the shared corpora and reference decodings.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <vexa/filter_manager.h>
#include <vexa/image_file.h>
#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "imagefile/filter_test_support.h"

namespace vexa::test {

namespace fs = std::filesystem;

// The image filter manager over the plug-ins beside libvexa.so, loaded once per process.
inline CImageFilterMgr& Plugins() {
  static CImageFilterMgr* const manager = [] {
    auto* m = new CImageFilterMgr;
    m->LoadFiltersW(Utf16(PluginDir()).c_str(), 0);
    return m;
  }();
  return *manager;
}

// The shared corpora folder (VEXA_CORPORA, else ../shared/corpora beside the checkout);
// empty when absent.
inline std::string CorporaDir() {
  const char* env = std::getenv("VEXA_CORPORA");
  const std::string dir = env ? env : std::string(VEXA_SOURCE_DIR) + "/../shared/corpora";
  return fs::is_directory(dir) ? dir : std::string();
}

// A scratch folder under the system's temporary folder, made for one test and removed after.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& tag)
      : path(fs::temp_directory_path() / ("vexa-" + tag + "-" + std::to_string(getpid()))) {
    fs::create_directories(path);
  }
  ~ScratchFolder() { fs::remove_all(path); }
  // Writes a file of these bytes into the folder; its path.
  std::string Write(const std::string& name, const std::vector<unsigned char>& bytes) const {
    const std::string file = (path / name).string();
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return file;
  }

  const fs::path path;
};

inline std::string TestData(const std::string& name) {
  return std::string(VEXA_TEST_DATA_DIR) + "/" + name;
}

// A reference decoding: RGBA frames of one file.
struct Reference {
  int width = 0, height = 0;
  std::vector<std::vector<unsigned char>> frames;
};

// Decodes files with the system's Python imaging library; files it refuses are missing from
// the result. Empty (and *available false) when the library is not installed.
inline std::map<std::string, Reference> DecodeWithPil(const std::vector<std::string>& files,
                                                      bool* available) {
  std::map<std::string, Reference> result;
  *available = std::system("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1") == 0;
  if (!*available || files.empty()) return result;
  const fs::path out = fs::temp_directory_path() / ("vexa-pil-" + std::to_string(getpid()));
  fs::create_directories(out);
  std::string command = "/usr/bin/python3 '" + std::string(VEXA_SOURCE_DIR) +
                        "/tests/imagefile/pil_decode.py' '" + out.string() + "'";
  for (const std::string& f : files) command += " '" + f + "'";
  if (std::system(command.c_str()) != 0) *available = false;
  for (const std::string& f : files) {
    std::ifstream in(out / (fs::path(f).filename().string() + ".rgba"), std::ios::binary);
    if (!in) continue;
    Reference r;
    int frames = 0;
    in >> r.width >> r.height >> frames;
    in.get();
    for (int i = 0; i < frames; ++i) {
      std::vector<unsigned char> pixels(static_cast<std::size_t>(r.width) * r.height * 4);
      in.read(reinterpret_cast<char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
      r.frames.push_back(std::move(pixels));
    }
    result[f] = std::move(r);
  }
  fs::remove_all(out);
  return result;
}

// RGBA of a surface pixel: the colour, and the alpha plane's value (255 without one).
inline void SurfaceRgba(cSurfaceObject& s, int x, int y, unsigned char rgba[4]) {
  COLORREF c = 0;
  s.GetPixelColor(x, y, &c);
  rgba[0] = c & 0xFF;
  rgba[1] = (c >> 8) & 0xFF;
  rgba[2] = (c >> 16) & 0xFF;
  rgba[3] = s.HasAlpha()
                ? s.GetAlphaPointer()[static_cast<std::ptrdiff_t>(y) * s.GetAlphaPitch() + x]
                : 255;
}

// A test with a scratch folder of its own, removed afterwards.
class ScratchDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = fs::temp_directory_path() /
          ("vexa-" + std::string(info->test_suite_name()) + "-" + std::to_string(getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

}  // namespace vexa::test
