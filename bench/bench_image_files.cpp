// Image file load and save of a photo-like 1024 x 768 picture into and out of a 32-bit
// surface, through the filter plug-ins beside libvexa.so, beside the bare libraries at equal
// work (same bytes, blue-green-red-alpha output, same DCT, upsampling, zlib level or quality)
// and beside SDL2_image (load and conversion to the same layout, or save); bitmaps beside
// SDL's own bitmap reader and writer.
#include <SDL.h>
#include <SDL_image.h>
#include <png.h>

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>

#include <vexa/filter_impl.h>
#include <vexa/filter_manager.h>
#include <vexa/image_file.h>
#include <vexa/library.h>
#include <vexa/stream.h>
#include <vexa/surface_object.h>

#include "bench_pairs.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kQuality = 90;

CImageFilterMgr& Filters() {
  static CImageFilterMgr* const manager = [] {
    auto* m = new CImageFilterMgr;
    m->LoadFilters(VEXA_PLUGIN_DIR, 0);
    return m;
  }();
  return *manager;
}

// Gradients with noise and a few hard edges, as photographs and game art mix them.
std::unique_ptr<cSurfaceObject> Photo() {
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, 32, kTypeMemory, kDriverNone);
  auto s = std::make_unique<cSurfaceObject>();
  s->Create(kWidth, kHeight, prototype);
  std::mt19937 rng(18);
  BYTE* rows = s->LockBits();
  for (int y = 0; y < kHeight; ++y) {
    BYTE* row = rows + static_cast<std::ptrdiff_t>(y) * s->GetPitch();
    for (int x = 0; x < kWidth; ++x) {
      const bool edge = ((x / 128) + (y / 96)) % 5 == 0;
      row[4 * x] = BYTE((x + y) / 7 + rng() % 12 + (edge ? 60 : 0));
      row[4 * x + 1] = BYTE(y / 3 + rng() % 12);
      row[4 * x + 2] = BYTE(x / 4 + rng() % 12);
      row[4 * x + 3] = 0;
    }
  }
  s->Unlock();
  return s;
}

// The file bytes one of our filters writes for the picture (8-bit for GIF).
std::vector<BYTE> Encode(std::uint32_t id, cSurfaceObject& picture, int depth) {
  auto* filter = static_cast<CFilterImpl*>(Filters().CreateFilterFromID(id));
  if (!filter) return {};
  COutputMemFile out;
  out.Create(1 << 20);
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, depth, kTypeMemory, kDriverNone);
  cSurfaceObject converted;
  converted.Create(kWidth, kHeight, prototype);
  picture.Blit(&converted, 0, 0, 0, 0, kWidth, kHeight, 0, 0, 0, 0);
  COLORREF key = 0;
  const BYTE* rows = converted.LockBits();
  filter->SaveImage(&out, rows, kWidth, kHeight, depth, converted.GetPitch(),
                    reinterpret_cast<const LOGPALETTE*>(converted.GetPalette()), &key, 0);
  converted.Unlock();
  filter->Release();
  return std::vector<BYTE>(out.GetBuffer(), out.GetBuffer() + out.GetSize());
}

// ---- our side ---------------------------------------------------------------------------

void LoadWithVexa(const std::vector<BYTE>& file, cSurfaceObject* surface) {
  CInputMemFile input;
  input.Create(file.data(), static_cast<int>(file.size()));
  vexabench::Keep(ImportImageFromStream(&Filters(), &input, surface, nullptr, kImportKeepDepth));
}

// `block`: the output block's first size (an uncompressed bitmap needs one as large as the
// peer's buffer, or the memory stream grows while it is written).
void SaveWithVexa(CFilterImpl* filter, cSurfaceObject& picture, int depth, int block = 1 << 20) {
  COutputMemFile out;
  out.Create(block);
  COLORREF key = 0;
  const BYTE* rows = picture.LockBits();
  filter->SaveImage(&out, rows, kWidth, kHeight, depth, picture.GetPitch(), nullptr, &key, 0);
  picture.Unlock();
  vexabench::Keep(out.GetSize());
}

// ---- bare libpng ------------------------------------------------------------------------

struct MemoryReader {
  const BYTE* data;
  std::size_t size, at;
};

void ReadMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (r->at + length > r->size) png_error(png, "short");
  std::memcpy(out, r->data + r->at, length);
  r->at += length;
}

void BarePngLoad(const std::vector<BYTE>& file, std::vector<BYTE>* pixels) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  MemoryReader reader{file.data(), file.size(), 0};
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return;
  }
  png_set_read_fn(png, &reader, ReadMemory);
  png_read_info(png, info);
  png_set_bgr(png);
  png_set_filler(png, 0, PNG_FILLER_AFTER);
  png_read_update_info(png, info);
  for (int y = 0; y < kHeight; ++y) png_read_row(png, pixels->data() + y * kWidth * 4, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
}

void WriteMemory(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<BYTE>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
void FlushNothing(png_structp) {}

void BarePngSave(const std::vector<BYTE>& pixels) {
  std::vector<BYTE> out;
  out.reserve(1 << 20);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return;
  }
  png_set_write_fn(png, &out, WriteMemory, FlushNothing);
  png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  png_set_filler(png, 0, PNG_FILLER_AFTER);
  for (int y = 0; y < kHeight; ++y) png_write_row(png, pixels.data() + y * kWidth * 4);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  vexabench::Keep(out.size());
}

// ---- bare libjpeg-turbo -----------------------------------------------------------------

void BareJpegLoad(const std::vector<BYTE>& file, std::vector<BYTE>* pixels) {
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, file.data(), file.size());
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_EXT_BGRX;
  jpeg_start_decompress(&info);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = pixels->data() + static_cast<std::size_t>(info.output_scanline) * kWidth * 4;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
}

void BareJpegSave(const std::vector<BYTE>& pixels) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = kWidth;
  info.image_height = kHeight;
  info.input_components = 3;
  info.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, kQuality, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<BYTE> row(kWidth * 3);
  while (info.next_scanline < info.image_height) {
    // The same 24-bit rows our filter is given.
    const BYTE* source = pixels.data() + static_cast<std::size_t>(info.next_scanline) * kWidth * 3;
    JSAMPROW r = const_cast<BYTE*>(source);
    jpeg_write_scanlines(&info, &r, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  vexabench::Keep(size);
}

// ---- SDL2_image -------------------------------------------------------------------------

// Converts a loaded surface to the layout ours load into, and frees both.
void SdlConvert(SDL_Surface* loaded) {
  SDL_Surface* converted =
      loaded ? SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0) : nullptr;
  vexabench::Keep(converted);
  SDL_FreeSurface(converted);
  SDL_FreeSurface(loaded);
}

SDL_Surface* SdlSurfaceOf(cSurfaceObject& picture, int depth) {
  BYTE* rows = picture.LockBits();
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(
      rows, kWidth, kHeight, depth, picture.GetPitch(),
      depth == 32 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_BGR24);
  picture.Unlock();
  return s;
}

void SdlLoad(const std::vector<BYTE>& file) {
  SdlConvert(IMG_Load_RW(SDL_RWFromConstMem(file.data(), static_cast<int>(file.size())), 1));
}

// SDL's own bitmap reader.
void SdlLoadBmp(const std::vector<BYTE>& file) {
  SdlConvert(SDL_LoadBMP_RW(SDL_RWFromConstMem(file.data(), static_cast<int>(file.size())), 1));
}

enum class SdlFormat { kPng, kJpeg, kBmp };

void SdlSave(SDL_Surface* surface, SdlFormat format) {
  std::vector<BYTE> buffer(8 << 20);
  SDL_RWops* out = SDL_RWFromMem(buffer.data(), static_cast<int>(buffer.size()));
  if (format == SdlFormat::kPng) {
    IMG_SavePNG_RW(surface, out, 0);
  } else if (format == SdlFormat::kJpeg) {
    IMG_SaveJPG_RW(surface, out, 0, kQuality);
  } else {
    SDL_SaveBMP_RW(surface, out, 0);
  }
  vexabench::Keep(SDL_RWtell(out));
  SDL_RWclose(out);
}

const vexabench::Registrar registrar([] {
  if (Filters().GetFilterIndex(FilterID("PNG ")) < 0) return;  // plug-ins not built
  IMG_Init(IMG_INIT_PNG | IMG_INIT_JPG);
  static std::unique_ptr<cSurfaceObject> photo = Photo();
  static std::unique_ptr<cSurfaceObject> photo24 = [] {
    cSurfaceObject* prototype = nullptr;
    GetPrototype(&prototype, 24, kTypeMemory, kDriverNone);
    auto s = std::make_unique<cSurfaceObject>();
    s->Create(kWidth, kHeight, prototype);
    photo->Blit(s.get(), 0, 0, 0, 0, kWidth, kHeight, 0, 0, 0, 0);
    return s;
  }();
  static const std::vector<BYTE> png = Encode(FilterID("PNG "), *photo, 24);
  static const std::vector<BYTE> jpeg = Encode(FilterID("JPEG"), *photo, 24);
  static const std::vector<BYTE> gif = Encode(FilterID("GIF "), *photo, 8);
  static const std::vector<BYTE> bmp = Encode(FilterID("BMP "), *photo, 24);
  static std::vector<BYTE> pixels(kWidth * kHeight * 4);
  static std::vector<BYTE> pixels24(kWidth * kHeight * 3);
  {
    const BYTE* rows = photo->LockBits();
    for (int y = 0; y < kHeight; ++y)
      std::memcpy(pixels.data() + y * kWidth * 4, rows + y * photo->GetPitch(), kWidth * 4);
    photo->Unlock();
    rows = photo24->LockBits();
    for (int y = 0; y < kHeight; ++y)
      std::memcpy(pixels24.data() + y * kWidth * 3, rows + y * photo24->GetPitch(), kWidth * 3);
    photo24->Unlock();
  }
  static std::unique_ptr<cSurfaceObject> target = [] {
    cSurfaceObject* prototype = nullptr;
    GetPrototype(&prototype, 32, kTypeMemory, kDriverNone);
    auto s = std::make_unique<cSurfaceObject>();
    s->Create(kWidth, kHeight, prototype);
    return s;
  }();
  static std::vector<BYTE> decoded(kWidth * kHeight * 4);
  const double count = double(kWidth) * kHeight;  // pixels: the rate divides by a million

  vexabench::RegisterCase("image_png_load", "Mpix/s", count,
                          {{"vexa", [] { LoadWithVexa(png, target.get()); }},
                           vexabench::Bare("libpng", [] { BarePngLoad(png, &decoded); }),
                           {"SDL2_image", [] { SdlLoad(png); }}});
  vexabench::RegisterCase("image_jpeg_load", "Mpix/s", count,
                          {{"vexa", [] { LoadWithVexa(jpeg, target.get()); }},
                           vexabench::Bare("libjpeg-turbo", [] { BareJpegLoad(jpeg, &decoded); }),
                           {"SDL2_image", [] { SdlLoad(jpeg); }}});
  vexabench::RegisterCase(
      "image_gif_load", "Mpix/s", count,
      {{"vexa", [] { LoadWithVexa(gif, target.get()); }}, {"SDL2_image", [] { SdlLoad(gif); }}});
  vexabench::RegisterCase("image_bmp_load", "Mpix/s", count,
                          {{"vexa", [] { LoadWithVexa(bmp, target.get()); }},
                           {"SDL_LoadBMP_RW", [] { SdlLoadBmp(bmp); }}});

  static CFilterImpl* const pngSaver =
      static_cast<CFilterImpl*>(Filters().CreateFilterFromID(FilterID("PNG ")));
  static CFilterImpl* const jpegSaver =
      static_cast<CFilterImpl*>(Filters().CreateFilterFromID(FilterID("JPEG")));
  static CFilterImpl* const bmpSaver =
      static_cast<CFilterImpl*>(Filters().CreateFilterFromID(FilterID("BMP ")));
  static SDL_Surface* const sdl32 = SdlSurfaceOf(*photo, 32);
  static SDL_Surface* const sdl24 = SdlSurfaceOf(*photo24, 24);
  vexabench::RegisterCase("image_png_save", "Mpix/s", count,
                          {{"vexa", [] { SaveWithVexa(pngSaver, *photo, 32); }},
                           vexabench::Bare("libpng", [] { BarePngSave(pixels); }),
                           {"SDL2_image", [] { SdlSave(sdl32, SdlFormat::kPng); }}});
  vexabench::RegisterCase("image_jpeg_save", "Mpix/s", count,
                          {{"vexa", [] { SaveWithVexa(jpegSaver, *photo24, 24); }},
                           vexabench::Bare("libjpeg-turbo", [] { BareJpegSave(pixels24); }),
                           {"SDL2_image", [] { SdlSave(sdl24, SdlFormat::kJpeg); }}});
  vexabench::RegisterCase("image_bmp_save", "Mpix/s", count,
                          {{"vexa", [] { SaveWithVexa(bmpSaver, *photo24, 24, 8 << 20); }},
                           {"SDL_SaveBMP_RW", [] { SdlSave(sdl24, SdlFormat::kBmp); }}});
});

}  // namespace
