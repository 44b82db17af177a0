// The image bank's cost beside the bare work it wraps, on a 256 x 256 32-bit sprite (a disc on
// a transparent background):
//   - AddImage with LZ4 storage against LZ4_compress_default of the same pixels;
//   - AddImage with run-length storage against the bare run-length encoder;
//   - GetImageSurface + Blit of a compressed image against LZ4_decompress_safe of the same
//     data into a kept surface and the bare transparent copy of it: both sides decompress and
//     draw, so the ratio is the bank's overhead per draw (entry checks, the surface record,
//     the block it decompresses into, the Blit call);
//   - GetImageSurface + Blit of a run-length image against the Blit of a surface made once:
//     the surface record, the size and row-table check of every draw, and the look-up of the
//     remembered whole-block check.
#include <lz4.h>

#include <memory>
#include <vector>

#include <vexa/blit.h>
#include <vexa/image_bank.h>
#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "bench_pairs.h"
#include "pixels/kernels/run_length_form.h"

namespace {

constexpr int kSize = 256;
constexpr double kPixels = static_cast<double>(kSize) * kSize;

struct BankScene {
  ImageBank* bank = nullptr;
  std::vector<std::uint32_t> pixels;
  std::vector<char> packed;
  std::vector<char> unpacked;
  std::vector<std::uint8_t> runLength;
  int compressed = 0;
  int runLengthImage = 0;
  cSurfaceObject screen;
  cSurfaceObject keptRunLength;
  cSurfaceObject decompressed;  // plain rows the bare draw decompresses into
};

BankScene& Scene() {
  static BankScene* scene = [] {
    auto* s = new BankScene();
    s->bank = CreateImageBank(0, nullptr);
    SetImageBankFormat(s->bank, 8);
    s->pixels.assign(kSize * kSize, 0);
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) {
        const int dx = x - kSize / 2, dy = y - kSize / 2;
        if (dx * dx + dy * dy < 120 * 120)
          s->pixels[static_cast<size_t>(y * kSize + x)] =
              0x00402000u | static_cast<std::uint32_t>(x ^ y);
      }
    s->compressed =
        AddImage(s->bank, kSize, kSize, 0, 0, 0, 0, 0, kAddCompress, s->pixels.data(), nullptr);
    s->runLengthImage =
        AddImage(s->bank, kSize, kSize, 0, 0, 0, 0, 0, kAddRunLength, s->pixels.data(), nullptr);
    const auto* entry =
        reinterpret_cast<const ImageEntryHeader*>(GetEntry(s->bank, kListImages, s->compressed));
    s->packed.assign(reinterpret_cast<const char*>(entry->Data()) + 4,
                     reinterpret_cast<const char*>(entry->Data()) + entry->entry.dataSize);
    s->unpacked.resize(kSize * kSize * 4);
    s->runLength.resize(kSize * kSize * 8);
    cSurfaceObject* prototype = nullptr;
    GetPrototype(&prototype, 32, kTypeMemory, kDriverNone);
    s->screen.Create(640, 480, prototype);
    GetImageSurface(s->bank, s->runLengthImage, &s->keptRunLength, kImageSurfaceInPlace);
    s->decompressed.Create(kSize, kSize, prototype);
    return s;
  }();
  return *scene;
}

void AddAndRelease(std::uint32_t flags) {
  BankScene& s = Scene();
  const int n = AddImage(s.bank, kSize, kSize, 0, 0, 0, 0, 0, flags, s.pixels.data(), nullptr);
  DeleteImage(s.bank, n);
}

void DrawImage(int number) {
  BankScene& s = Scene();
  cSurfaceObject image;
  GetImageSurface(s.bank, number, &image, kImageSurfaceInPlace);
  image.Blit(&s.screen, 100, 100, kModeTransparent, 0, 0, 0);
}

const vexabench::Registrar kRegistrar([] {
  if (!vexabench::KernelsAvailable()) return;
  vexabench::RegisterOverhead("bank_add_lz4_256x256", "Mpix/s", kPixels,
                              {"vexa", [] { AddAndRelease(kAddCompress); }},
                              {"LZ4_compress_default", [] {
                                 BankScene& s = Scene();
                                 std::vector<char>& out = s.unpacked;
                                 vexabench::Keep(LZ4_compress_default(
                                     reinterpret_cast<const char*>(s.pixels.data()), out.data(),
                                     kSize * kSize * 4, static_cast<int>(out.size())));
                               }});
  vexabench::RegisterOverhead(
      "bank_add_runlength_256x256", "Mpix/s", kPixels,
      {"vexa", [] { AddAndRelease(kAddRunLength); }},
      {"encoder", [] {
         BankScene& s = Scene();
         const auto* rows = reinterpret_cast<const std::uint8_t*>(s.pixels.data());
         const std::uint32_t size =
             vexa::MeasureRunLengthForm(4, nullptr, rows, kSize, kSize, kSize * 4, 0);
         if (size <= s.runLength.size())
           vexa::EncodeRunLengthForm(4, s.runLength.data(), rows, kSize, kSize, kSize * 4, 0);
         vexabench::Keep(s.runLength.data());
       }});
  vexabench::RegisterOverhead(
      "bank_draw_lz4_256x256", "Mpix/s", kPixels, {"vexa", [] { DrawImage(Scene().compressed); }},
      {"LZ4_decompress_safe", [] {
         BankScene& s = Scene();
         cSurfaceImplementation* image = s.decompressed.implementation;
         cSurfaceImplementation* screen = s.screen.implementation;
         // Rows of a 256-pixel 32-bit memory surface follow each other without padding.
         vexabench::Keep(LZ4_decompress_safe(s.packed.data(),
                                             reinterpret_cast<char*>(image->firstRow),
                                             static_cast<int>(s.packed.size()), kSize * kSize * 4));
         image->pixelRoutines->copyTransparent(screen, 100, 100, image, 0, 0, kSize, kSize);
       }});
  vexabench::RegisterOverhead("bank_draw_runlength_256x256", "Mpix/s", kPixels,
                              {"vexa", [] { DrawImage(Scene().runLengthImage); }},
                              {"kept_surface", [] {
                                 BankScene& s = Scene();
                                 s.keptRunLength.Blit(&s.screen, 100, 100, kModeTransparent, 0, 0,
                                                      0);
                               }});
});

}  // namespace
