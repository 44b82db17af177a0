// Image filter row conversion (CFilterImpl::ConvertRow) over a 640 x 480 frame beside SDL's
// pixel conversion of the same layouts; to 8 bits with a warm colour cache beside SDL's
// conversion onto an 8-bit surface with the same palette.
#include <SDL.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include <vexa/filter_impl.h>

#include "bench_pairs.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

class BenchFilter final : public CFilterImpl {
 public:
  void Release() override { delete this; }
  std::uint32_t GetID() override { return 0; }
  int Reserved4() override { return 0; }
  int CanReadFile(CInputFile*) override { return 0; }
  int BeginRead(CInputFile*) override { return 0; }
  int ReadImage(CInputFile*, BYTE*, int, BYTE*, int) override { return 0; }
};

int Pitch(int depth) { return (kWidth * ((depth + 1) / 8) + 3) & ~3; }

// A photo-like frame of the given depth: gradients with noise.
std::vector<BYTE> Frame(int depth) {
  std::mt19937 rng(static_cast<unsigned>(depth));
  std::vector<BYTE> frame(static_cast<std::size_t>(Pitch(depth)) * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    BYTE* row = frame.data() + static_cast<std::size_t>(y) * Pitch(depth);
    for (int x = 0; x < kWidth; ++x) {
      const unsigned r = (x * 255 / kWidth + rng() % 16) & 0xFF;
      const unsigned g = (y * 255 / kHeight + rng() % 16) & 0xFF;
      const unsigned b = ((x + y) * 255 / (kWidth + kHeight) + rng() % 16) & 0xFF;
      switch (depth) {
        case 8:
          row[x] = static_cast<BYTE>(r ^ g);
          break;
        case 15: {
          const unsigned p = (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
          row[2 * x] = BYTE(p), row[2 * x + 1] = BYTE(p >> 8);
          break;
        }
        case 16: {
          const unsigned p = (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
          row[2 * x] = BYTE(p), row[2 * x + 1] = BYTE(p >> 8);
          break;
        }
        default: {
          BYTE* p = row + x * ((depth + 1) / 8);
          p[0] = BYTE(b), p[1] = BYTE(g), p[2] = BYTE(r);
          if (depth == 32) p[3] = 0;
        }
      }
    }
  }
  return frame;
}

// A 256-colour palette: a 6 x 7 x 6 colour cube and greys.
LOGPALETTE256 CubePalette() {
  LOGPALETTE256 p{0x300, 256, {}};
  int i = 0;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 7; ++g)
      for (int b = 0; b < 6; ++b)
        p.palPalEntry[i++] = {BYTE(r * 51), BYTE(g * 42), BYTE(b * 51), 0};
  for (int k = 0; i < 256; ++i, ++k) p.palPalEntry[i] = {BYTE(k * 8), BYTE(k * 8), BYTE(k * 8), 0};
  return p;
}

SDL_Palette* SdlPalette(const LOGPALETTE256& p) {
  SDL_Palette* palette = SDL_AllocPalette(256);
  SDL_Color colors[256];
  for (int i = 0; i < 256; ++i) {
    colors[i] = {p.palPalEntry[i].peRed, p.palPalEntry[i].peGreen, p.palPalEntry[i].peBlue, 255};
  }
  SDL_SetPaletteColors(palette, colors, 0, 256);
  return palette;
}

Uint32 SdlFormat(int depth) {
  switch (depth) {
    case 8:
      return SDL_PIXELFORMAT_INDEX8;
    case 15:
      return SDL_PIXELFORMAT_RGB555;
    case 16:
      return SDL_PIXELFORMAT_RGB565;
    case 24:
      return SDL_PIXELFORMAT_BGR24;  // bytes blue, green, red
    default:
      return SDL_PIXELFORMAT_RGB888;  // bytes blue, green, red, unused
  }
}

struct Pair {
  int from, to;
};

void RegisterPair(Pair pair) {
  auto source = std::make_shared<std::vector<BYTE>>(Frame(pair.from));
  auto target =
      std::make_shared<std::vector<BYTE>>(static_cast<std::size_t>(Pitch(pair.to)) * kHeight);
  auto filter = std::make_shared<BenchFilter>();
  static const LOGPALETTE256 cube = CubePalette();
  filter->depth = pair.from;
  filter->width = kWidth;
  if (pair.from == 8) {
    filter->CreatePalette(256);
    std::memcpy(filter->palette, &cube, sizeof cube);
  }
  filter->SetOutputFormat(pair.to,
                          pair.to == 8 ? reinterpret_cast<const LOGPALETTE*>(&cube) : nullptr);
  auto ours = [=] {
    for (int y = 0; y < kHeight; ++y) {
      filter->ConvertRow(target->data() + static_cast<std::size_t>(y) * Pitch(pair.to),
                         source->data() + static_cast<std::size_t>(y) * Pitch(pair.from), kWidth);
    }
    vexabench::Keep((*target)[0]);
  };
  ours();  // warms the colour cache

  std::function<void()> peer;
  std::string peerName;
  if (pair.from == 8 || pair.to == 8) {
    // SDL converts surfaces with palettes: a whole new surface in the target format.
    SDL_Surface* from = SDL_CreateRGBSurfaceWithFormatFrom(source->data(), kWidth, kHeight,
                                                           pair.from == 15 ? 16 : pair.from,
                                                           Pitch(pair.from), SdlFormat(pair.from));
    SDL_Palette* palette = SdlPalette(cube);
    if (pair.from == 8) SDL_SetSurfacePalette(from, palette);
    SDL_Surface* shape = SDL_CreateRGBSurfaceWithFormat(0, 1, 1, pair.to, SdlFormat(pair.to));
    if (pair.to == 8) SDL_SetSurfacePalette(shape, palette);
    peerName = "SDL_ConvertSurface";
    peer = [from, shape] {
      SDL_Surface* converted = SDL_ConvertSurface(from, shape->format, 0);
      vexabench::Keep(converted);
      SDL_FreeSurface(converted);
    };
  } else {
    peerName = "SDL_ConvertPixels";
    peer = [=] {
      SDL_ConvertPixels(kWidth, kHeight, SdlFormat(pair.from), source->data(), Pitch(pair.from),
                        SdlFormat(pair.to), target->data(), Pitch(pair.to));
      vexabench::Keep((*target)[0]);
    };
  }
  vexabench::RegisterCase(
      "filter_convert_" + std::to_string(pair.from) + "_to_" + std::to_string(pair.to), "Mpix/s",
      double(kWidth) * kHeight, {{"vexa", ours}, {peerName, peer}});
}

const vexabench::Registrar registrar([] {
  for (Pair pair :
       {Pair{8, 32}, Pair{15, 16}, Pair{16, 32}, Pair{24, 32}, Pair{32, 24}, Pair{24, 8}}) {
    RegisterPair(pair);
  }
});

}  // namespace
