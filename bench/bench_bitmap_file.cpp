// Bitmap files beside SDL's reader and writer, 640 x 480, files in the page cache, each side
// allocating the surface it fills:
//  - a 24-bit file into a 24-bit surface (SDL_LoadBMP);
//  - an 8-bit file into a 32-bit surface (SDL_LoadBMP + SDL_ConvertSurfaceFormat);
//  - a 24-bit bitmap already in memory (SDL_LoadBMP_RW over SDL_RWFromConstMem);
//  - saving a 32-bit surface (SDL_SaveBMP).
#include <SDL.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "bench_pairs.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr double kPixels = double(kWidth) * kHeight;  // the rate divides by a million

// The folder's name is never destroyed: the exit handler that removes the folder was
// registered first, so it runs after the destructors of statics made later, and a static
// string here would already be gone when it reads the name.
const std::string& Folder() {
  static const std::string* const folder = [] {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vexa-bench-bmp-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    std::atexit([] { std::filesystem::remove_all(Folder()); });
    return new std::string(pattern);
  }();
  return *folder;
}

// A picture with gradients and noise, as an SDL surface of the given format.
SDL_Surface* Picture(Uint32 format) {
  SDL_Surface* argb =
      SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_ARGB8888);
  std::uint32_t state = 7;
  for (int y = 0; y < kHeight; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(argb->pixels) +
                                                 y * argb->pitch);
    for (int x = 0; x < kWidth; ++x) {
      state = state * 1103515245u + 12345u;
      row[x] = 0xFF000000u | (x * 255 / kWidth) << 16 | (y * 255 / kHeight) << 8 | (state >> 24);
    }
  }
  if (format == SDL_PIXELFORMAT_INDEX8) {
    SDL_Surface* indexed =
        SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 8, SDL_PIXELFORMAT_INDEX8);
    SDL_Color colors[256];
    for (int i = 0; i < 256; ++i) {
      colors[i] = SDL_Color{static_cast<Uint8>(i), static_cast<Uint8>(255 - i),
                            static_cast<Uint8>(i * 7), 255};
    }
    SDL_SetPaletteColors(indexed->format->palette, colors, 0, 256);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        static_cast<std::uint8_t*>(indexed->pixels)[y * indexed->pitch + x] =
            static_cast<std::uint8_t>(x ^ y);
      }
    }
    SDL_FreeSurface(argb);
    return indexed;
  }
  SDL_Surface* converted = SDL_ConvertSurfaceFormat(argb, format, 0);
  SDL_FreeSurface(argb);
  return converted;
}

std::string WriteFile(const char* name, Uint32 format) {
  const std::string path = Folder() + "/" + name;
  SDL_Surface* picture = Picture(format);
  if (!picture || SDL_SaveBMP(picture, path.c_str()) != 0) std::abort();
  SDL_FreeSurface(picture);
  return path;
}

std::unique_ptr<cSurfaceObject> Fresh(int depth, int width = 1, int height = 1) {
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, depth, kTypeMemory, kDriverNone);
  auto surface = std::make_unique<cSurfaceObject>();
  surface->Create(width, height, prototype);
  return surface;
}

const vexabench::Registrar kRegistrar([] {
  if (!vexabench::KernelsAvailable()) return;
  const std::string file24 = WriteFile("rgb24.bmp", SDL_PIXELFORMAT_BGR24);
  const std::string file8 = WriteFile("pal8.bmp", SDL_PIXELFORMAT_INDEX8);
  vexabench::RegisterCase("bitmap_load_24bit_640x480", "Mpix/s", kPixels,
                          {{"vexa",
                            [=] {
                              auto surface = Fresh(24);
                              if (!surface->LoadBitmapFromFileName(file24.c_str(), 0)) std::abort();
                              vexabench::Keep(surface->GetPixelFast(1, 1));
                            }},
                           {"SDL", [=] {
                              SDL_Surface* s = SDL_LoadBMP(file24.c_str());
                              if (!s) std::abort();
                              vexabench::Keep(s->pixels);
                              SDL_FreeSurface(s);
                            }}});
  vexabench::RegisterCase("bitmap_load_8bit_to_32bit_640x480", "Mpix/s", kPixels,
                          {{"vexa",
                            [=] {
                              auto surface = Fresh(32);
                              if (!surface->LoadBitmapFromFileName(file8.c_str(), 0)) std::abort();
                              vexabench::Keep(surface->GetPixelFast(1, 1));
                            }},
                           {"SDL", [=] {
                              SDL_Surface* s = SDL_LoadBMP(file8.c_str());
                              SDL_Surface* argb =
                                  SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_ARGB8888, 0);
                              if (!argb) std::abort();
                              vexabench::Keep(argb->pixels);
                              SDL_FreeSurface(argb);
                              SDL_FreeSurface(s);
                            }}});
  // The packed record without the file header, and the whole file for SDL.
  std::ifstream in(file24, std::ios::binary);
  const auto bytes = std::make_shared<std::vector<std::uint8_t>>(std::istreambuf_iterator<char>(in),
                                                                 std::istreambuf_iterator<char>());
  vexabench::RegisterCase(
      "bitmap_load_record_24bit_640x480", "Mpix/s", kPixels,
      {{"vexa",
        [=] {
          auto surface = Fresh(24);
          const auto* record = reinterpret_cast<const BITMAPINFO*>(bytes->data() + 14);
          if (!surface->LoadBitmap(record, nullptr, 0)) std::abort();
          vexabench::Keep(surface->GetPixelFast(1, 1));
        }},
       {"SDL", [=] {
          SDL_Surface* s =
              SDL_LoadBMP_RW(SDL_RWFromConstMem(bytes->data(), static_cast<int>(bytes->size())), 1);
          if (!s) std::abort();
          vexabench::Keep(s->pixels);
          SDL_FreeSurface(s);
        }}});
  auto source = std::shared_ptr<cSurfaceObject>(Fresh(32, kWidth, kHeight));
  SDL_Surface* picture = Picture(SDL_PIXELFORMAT_ARGB8888);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      source->SetPixelFast(
          x, y, static_cast<const std::uint32_t*>(picture->pixels)[y * kWidth + x] & 0xFFFFFF);
    }
  }
  const std::string ours = Folder() + "/save_vexa.bmp";
  const std::string theirs = Folder() + "/save_sdl.bmp";
  vexabench::RegisterCase("bitmap_save_32bit_640x480", "Mpix/s", kPixels,
                          {{"vexa",
                            [=] {
                              if (!source->SaveBitmapToFileName(ours.c_str(), 0)) std::abort();
                            }},
                           {"SDL", [=] {
                              if (SDL_SaveBMP(picture, theirs.c_str()) != 0) std::abort();
                            }}});
});

}  // namespace
