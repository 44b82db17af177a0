// Loading the game's files: images through the image filter plug-ins into the bank, sounds
// checked through the sound filter plug-ins. A file that is missing or damaged is reported on
// stderr and replaced (a placeholder image) or left out (a silent sound); the game goes on.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <vexa/image_file.h>
#include <vexa/sound_bank.h>
#include <vexa/sound_filter.h>
#include <vexa/stream.h>
#include <vexa/surface_object.h>

#include "game.h"

namespace demo {
namespace {

constexpr int kBankFormat32 = 8;  // AddImage: the supplied pixels are 32-bit

// The pixels (0x00RRGGBB, top-down) of a surface area, followed by its alpha plane when asked.
std::vector<std::uint8_t> PixelData(cSurfaceObject& s, int left, int top, int w, int h,
                                    bool alpha) {
  const int alphaRow = (w + 3) & ~3;
  std::vector<std::uint8_t> data(size_t(w) * h * 4 + (alpha ? size_t(alphaRow) * h : 0));
  const std::uint8_t* plane = alpha && s.HasAlpha() ? s.GetAlphaPointer() : nullptr;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const COLORREF c = s.GetPixelFast(left + x, top + y);
      std::uint8_t* p = &data[(size_t(y) * w + x) * 4];
      p[0] = std::uint8_t(c >> 16), p[1] = std::uint8_t(c >> 8), p[2] = std::uint8_t(c), p[3] = 0;
      if (alpha) {
        data[size_t(w) * h * 4 + size_t(y) * alphaRow + x] =
            plane ? plane[(top + y) * s.GetAlphaPitch() + left + x] : 255;
      }
    }
  }
  return data;
}

int AddArea(ImageBank* bank, cSurfaceObject& s, int left, int top, int w, int h,
            std::uint32_t storage, bool alpha, int hotX, int hotY) {
  const std::vector<std::uint8_t> data = PixelData(s, left, top, w, h, alpha);
  return AddImage(bank, w, h, hotX, hotY, hotX, hotY, 0,
                  kBankFormat32 | storage | (alpha ? kAddAlphaPlane : 0), data.data(), nullptr);
}

// A magenta and black checker of the size the missing picture would have had.
int Placeholder(ImageBank* bank, int w, int h) {
  std::vector<std::uint32_t> px(size_t(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      px[size_t(y) * w + x] = ((x / 4 + y / 4) % 2) ? 0xFF00FFu : 0x200020u;
  return AddImage(bank, w, h, w / 2, h / 2, w / 2, h / 2, 0, kBankFormat32, px.data(), nullptr);
}

bool Import(CImageFilterMgr& filters, const std::string& path, cSurfaceObject& surface) {
  std::uint32_t id = 0;
  if (ImportImage(&filters, path.c_str(), &surface, &id, kImportNoPremultiply) == 1) return true;
  std::fprintf(stderr,
               "vexa-demo: cannot load the image %s (missing, damaged or no filter "
               "reads it): a placeholder is shown\n",
               path.c_str());
  return false;
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Whether some sound filter decodes the bytes: as a sound does when it loads, every filter
// that recognises them is tried in table order until one opens them; here it must also read.
bool Decodes(CSoundFilterMgr& filters, std::vector<std::uint8_t>& bytes) {
  CInputMemFile stream;
  if (bytes.empty() || stream.Create(bytes.data(), int(bytes.size())) != 0) return false;
  for (int i = 0; i < filters.GetFilterCount(); ++i) {
    if (!filters.CanReadFile(i, &stream)) continue;
    auto* filter = static_cast<CSoundFilter*>(filters.CreateFilter(i));
    if (!filter) continue;
    bool ok = filter->Open(&stream) == 0;
    if (ok) {
      std::uint8_t block[512];
      DWORD read = 0;
      ok = filter->Read(block, sizeof block, &read) == 0 && read > 0;
      filter->Close();
    }
    filter->Release();
    stream.Seek(0, kStreamSeekStart);
    if (ok) return true;
  }
  return false;
}

int AddEffect(ImageBank* bank, CSoundFilterMgr& filters, const std::string& path,
              const char* name) {
  std::vector<std::uint8_t> bytes = ReadBytes(path);
  if (!Decodes(filters, bytes)) {
    std::fprintf(stderr,
                 "vexa-demo: cannot decode the sound %s (missing, damaged or no filter "
                 "reads it): it stays silent\n",
                 path.c_str());
    return 0;
  }
  return AddSound(bank, kSoundTypeWave, name, bytes.data(), int(bytes.size()));
}

}  // namespace

GameImages LoadGameImages(ImageBank* bank, CImageFilterMgr& filters, const std::string& folder) {
  GameImages images;
  cSurfaceObject surface;
  // Sprite sheet: four 32 x 32 frames in the RGBA form (an alpha plane), LZ4-compressed.
  if (Import(filters, folder + "/sprites.png", surface) && surface.GetWidth() >= 128 &&
      surface.GetHeight() >= 32) {
    int* frames[4] = {&images.ship, &images.orb, &images.star, &images.ring};
    // The ship is drawn once a frame and stays compressed; the frames that hundreds of
    // sprites show every frame are kept plain, since a compressed image is expanded at each
    // draw.
    for (int i = 0; i < 4; ++i)
      *frames[i] =
          AddArea(bank, surface, i * 32, 0, 32, 32, i == 0 ? kAddCompress : 0, true, 16, 16);
  }
  for (int* n : {&images.ship, &images.orb, &images.star, &images.ring})
    if (!*n) *n = Placeholder(bank, 32, 32);

  // Coin animation: every frame of the GIF, run-length encoded (mostly key colour).
  {
    CImageFile file(&filters);
    cSurfaceObject frame;
    const std::string path = folder + "/coins.gif";
    if (BeginImageImport(&filters, path.c_str(), &frame, &file, kImportNoPremultiply) == 1) {
      do {
        const int w = frame.GetWidth(), h = frame.GetHeight();
        images.coin.push_back(AddArea(bank, frame, 0, 0, w, h, kAddRunLength, false, w / 2, h / 2));
      } while (images.coin.size() < 64 && ImportNextImage(&filters, &frame, &file) == 1);
    } else {
      std::fprintf(stderr, "vexa-demo: cannot load the animation %s: a placeholder is shown\n",
                   path.c_str());
    }
    EndImageImport(&filters, &file);
    if (images.coin.empty()) images.coin.push_back(Placeholder(bank, 24, 24));
  }

  // Tiles: a 24-bit bitmap of four 32 x 32 tiles on a black key, run-length encoded.
  if (Import(filters, folder + "/tiles.bmp", surface) && surface.GetWidth() >= 128) {
    for (int i = 0; i < 4; ++i)
      images.tiles[i] = AddArea(bank, surface, i * 32, 0, 32, 32, kAddRunLength, false, 0, 0);
  }
  for (int& t : images.tiles)
    if (!t) t = Placeholder(bank, 32, 32);

  // Background: a JPEG the size of the screen, LZ4-compressed.
  if (Import(filters, folder + "/background.jpg", surface)) {
    images.background = AddArea(bank, surface, 0, 0, surface.GetWidth(), surface.GetHeight(),
                                kAddCompress, false, 0, 0);
  }
  if (!images.background) images.background = Placeholder(bank, 640, 480);
  return images;
}

GameSounds LoadGameSounds(ImageBank* bank, CSoundFilterMgr& filters, const std::string& folder) {
  GameSounds sounds;
  sounds.hit = AddEffect(bank, filters, folder + "/hit.wav", "hit");
  sounds.bounce = AddEffect(bank, filters, folder + "/bounce.ogg", "bounce");
  // A MIDI entry names its file; the synthesiser reads it when the music starts.
  const std::string tune = folder + "/tune.mid";
  if (std::filesystem::exists(tune)) {
    sounds.tune = AddSound(bank, kSoundTypeMidi, "tune", tune.c_str(), int(tune.size() + 1));
  } else {
    std::fprintf(stderr, "vexa-demo: no music file %s: the game plays without music\n",
                 tune.c_str());
  }
  return sounds;
}

void ReportUnloadedPlugins(CFilterMgr& filters, const std::string& folder, const char* extension) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() != extension) continue;
    bool loaded = false;
    for (int i = 0; i < filters.GetFilterCount() && !loaded; ++i) {
      const char* file = filters.GetFilterFileName(i);
      loaded = file && std::filesystem::path(file).filename() == entry.path().filename();
    }
    if (!loaded) {
      std::fprintf(stderr,
                   "vexa-demo: the plug-in %s did not load; the files it reads fall "
                   "back to placeholders or silence\n",
                   entry.path().c_str());
    }
  }
}

bool WaveWriter::Open(const std::string& path, int channels, int rate) {
  out_.open(path, std::ios::binary | std::ios::trunc);
  channels_ = channels, rate_ = rate, samples_ = 0;
  WriteHeader();
  return bool(out_);
}

void WaveWriter::Append(const std::int16_t* samples, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const auto v = std::uint16_t(samples[i]);
    out_.put(char(v)), out_.put(char(v >> 8));
  }
  samples_ += count;
}

bool WaveWriter::Close() {
  if (!out_.is_open()) return false;
  out_.seekp(0);
  WriteHeader();
  out_.close();
  return !out_.fail();
}

void WaveWriter::WriteHeader() {
  auto put = [&](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out_.put(char(v >> (8 * i)));
  };
  const auto data = std::uint32_t(samples_ * 2), ch = std::uint32_t(channels_);
  out_.write("RIFF", 4), put(36 + data, 4), out_.write("WAVEfmt ", 8), put(16, 4), put(1, 2);
  put(ch, 2), put(std::uint32_t(rate_), 4), put(std::uint32_t(rate_) * ch * 2, 4), put(ch * 2, 2);
  put(16, 2), out_.write("data", 4), put(data, 4);
}

}  // namespace demo
