// Entries 3-6 of the run-length tables: the four blits with the source read from the
// run-length form (run_length_form.h). Each draws exactly what the standard routine draws
// from the decoded image: transparent spans are pixels whose value is the source's
// transparent value, so the opaque copies fill them with it, the opaque effect runs its
// constant-colour row over them, and the alpha path (which ignores the colour key) weighs
// them like any other pixel. Without an alpha plane the transparent copies skip them.
#include <algorithm>
#include <cstring>

#include "pixels/kernels/byte_moves.h"
#include "pixels/kernels/effect_rows.h"
#include "pixels/kernels/kernel_routines.h"
#include "pixels/kernels/run_length_copy.h"
#include "pixels/kernels/run_length_copy_rows.h"
#include "pixels/kernels/run_length_form.h"

namespace vexa {
namespace {

enum class Pass { Opaque, Transparent };

// The scalar moves are the reference of the vector levels and the copies of the other blits of
// this file.
inline void CopyBytes(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  MoveBytes<ScalarByteMoves>(d, s, n);
}

// The transparent value in kKeyChunk consecutive pixels, for the alpha path.
constexpr int kKeyChunk = 64;
void FillKeyPixels(std::uint8_t* out, int bytesPerPixel, std::uint32_t key) {
  for (int i = 0; i < kKeyChunk; ++i)
    std::memcpy(out + i * bytesPerPixel, &key, static_cast<std::size_t>(bytesPerPixel));
}

struct RunBlit {
  const EffectRoutineSet* set;
  EffectContext context;
  Pass pass;
  bool copy;       // effect code 0
  bool withAlpha;  // the transparent pass over a source with an alpha plane
  std::uint32_t key;
  SimdLevel level;
};

RunLengthCopyRows BuildCopyRows(SimdLevel level) {
  switch (level) {
    case SimdLevel::Avx2:
      return RunLengthCopyRowsAvx2();
    case SimdLevel::Sse2:
      return RunLengthCopyRowsSse2();
    case SimdLevel::Scalar:
      break;
  }
  return RunLengthCopyRowsOf<ScalarByteMoves>();
}
using CopyRowTables = SimdTables<RunLengthCopyRows, BuildCopyRows>;

// The plain transparent copy, the commonest blit of a run-length sprite. The block's size is
// read once and rows inside the row table go to the walk of the kernels' level; rows past the
// table have no runs.
template <int bpp>
void CopyRows(SimdLevel level, const PixelDescriptor* s, std::uint8_t* d, int pitch, int sx, int sy,
              int width, int height) {
  const std::uint8_t* const block = s->firstRow;
  std::uint32_t size;
  std::memcpy(&size, block, 4);
  if (size < kRunLengthSizeBytes || sy < 0) {  // row by row, as the other blits
    for (int i = 0; i < height; ++i, d += pitch)
      WalkRunLengthRow(
          FindRunLengthRow(block, sy + i), bpp, sx, sx + width, [](int, int) {},
          [d, sx](int column, const std::uint8_t* p, int n) {
            CopyBytes(d + static_cast<std::ptrdiff_t>(column - sx) * bpp, p,
                      static_cast<std::size_t>(n) * bpp);
          });
    return;
  }
  const std::uint64_t tableRows = (size - kRunLengthSizeBytes) / kRunLengthRowEntryBytes;
  const auto first = static_cast<std::uint64_t>(sy);
  const int rows = static_cast<int>(std::min<std::uint64_t>(
      static_cast<std::uint64_t>(height), tableRows > first ? tableRows - first : 0));
  if (rows > 0) CopyRowTables::At(level).rows[bpp - 1](block, size, d, pitch, sx, sy, width, rows);
}

// Every row of the rectangle; the pixel size is a constant so that run lengths scale without
// multiplications, and the kind of blit is settled once, outside the row loop.
template <int bpp>
void DrawRows(const RunBlit& b, const PixelDescriptor* s, std::uint8_t* d, int pitch, int sx,
              int sy, int width, int height) {
  std::uint8_t* row = d;
  const std::uint8_t* alpha = nullptr;
  std::uint8_t keyPixels[kKeyChunk * bpp];
  if (b.withAlpha) FillKeyPixels(keyPixels, bpp, b.key);
  const auto out = [&](int column) { return row + static_cast<std::ptrdiff_t>(column - sx) * bpp; };
  const auto eachRow = [&](auto&& onSkip, auto&& onCopy) {
    for (int i = 0; i < height; ++i, row += pitch) {
      if (b.withAlpha) alpha = s->AlphaRow(sy + i) + sx;
      WalkRunLengthRow(FindRunLengthRow(s->firstRow, sy + i), bpp, sx, sx + width, onSkip, onCopy);
    }
  };
  const auto nothing = [](int, int) {};
  const auto copyRun = [&](int column, const std::uint8_t* p, int n) {
    CopyBytes(out(column), p, static_cast<std::size_t>(n) * bpp);
  };
  const auto effectRun = [&](int column, const std::uint8_t* p, int n) {
    RunOpaqueRow(*b.set, b.context, out(column), p, n, bpp);
  };
  if (b.withAlpha) {
    eachRow(
        [&](int column, int n) {
          for (int done = 0; done < n; done += kKeyChunk) {
            const int part = n - done < kKeyChunk ? n - done : kKeyChunk;
            RunAlphaRow(*b.set, b.context, out(column + done), keyPixels,
                        alpha + (column + done - sx), part, bpp);
          }
        },
        [&](int column, const std::uint8_t* p, int n) {
          RunAlphaRow(*b.set, b.context, out(column), p, alpha + (column - sx), n, bpp);
        });
  } else if (b.pass == Pass::Transparent) {
    if (b.copy)
      CopyRows<bpp>(b.level, s, d, pitch, sx, sy, width, height);
    else
      eachRow(nothing, effectRun);
  } else if (b.copy) {
    eachRow([&](int column, int n) { FillPixelRows(out(column), 0, n, 1, bpp, b.key); }, copyRun);
  } else {
    eachRow(
        [&](int column, int n) { RunConstantRow(*b.set, b.context, out(column), b.key, n, bpp); },
        effectRun);
  }
}

void RunLengthBlit(const KernelSet& k, Pass pass, PixelDescriptor* t, int x, int y,
                   const PixelDescriptor* s, int sx, int sy, int width, int height,
                   std::uint32_t effect, std::uintptr_t parameter) {
  if (width <= 0 || height <= 0 || !s->firstRow) return;
  RunBlit b;
  b.set = BlitEffectSet(k, t, FormatOfDepth(s->depth), effect);
  if (!b.set) return;
  b.set->setup(b.context, t, s, parameter);
  b.pass = pass;
  b.copy = (effect & kEffectCodeMask) == 0;
  b.withAlpha = pass == Pass::Transparent && s->alphaFirstRow;
  b.key = s->transparentValue;
  b.level = k.level;
  std::uint8_t* d = t->PixelAddress(x, y);
  switch (BytesPerPixel(s->depth)) {
    case 1:
      return DrawRows<1>(b, s, d, t->pitch, sx, sy, width, height);
    case 2:
      return DrawRows<2>(b, s, d, t->pitch, sx, sy, width, height);
    case 3:
      return DrawRows<3>(b, s, d, t->pitch, sx, sy, width, height);
    default:
      return DrawRows<4>(b, s, d, t->pitch, sx, sy, width, height);
  }
}

void CopyTransparent(PixelDescriptor* t, int x, int y, const PixelDescriptor* s, int sx, int sy,
                     int w, int h) {
  RunLengthBlit(ActiveKernels(), Pass::Transparent, t, x, y, s, sx, sy, w, h, 0, 0);
}
void CopyTransparentEffect(PixelDescriptor* t, int x, int y, const PixelDescriptor* s, int sx,
                           int sy, int w, int h, std::uint32_t effect, std::uintptr_t parameter) {
  RunLengthBlit(ActiveKernels(), Pass::Transparent, t, x, y, s, sx, sy, w, h, effect, parameter);
}
void CopyOpaque(PixelDescriptor* t, int x, int y, const PixelDescriptor* s, int sx, int sy, int w,
                int h) {
  RunLengthBlit(ActiveKernels(), Pass::Opaque, t, x, y, s, sx, sy, w, h, 0, 0);
}
void CopyOpaqueEffect(PixelDescriptor* t, int x, int y, const PixelDescriptor* s, int sx, int sy,
                      int w, int h, std::uint32_t effect, std::uintptr_t parameter) {
  RunLengthBlit(ActiveKernels(), Pass::Opaque, t, x, y, s, sx, sy, w, h, effect, parameter);
}

}  // namespace

void InstallRunLengthBlitRoutines(PixelRoutineTableSet& tables) {
  for (PixelRoutineTable& t : tables) {
    t = PixelRoutineTable{};
    t.copyTransparent = CopyTransparent;
    t.copyTransparentEffect = CopyTransparentEffect;
    t.copyOpaque = CopyOpaque;
    t.copyOpaqueEffect = CopyOpaqueEffect;
  }
}

void RunLengthCopyTransparentWith(const KernelSet& k, PixelDescriptor* t, int x, int y,
                                  const PixelDescriptor* s, int sx, int sy, int w, int h,
                                  std::uint32_t effect, std::uintptr_t parameter) {
  RunLengthBlit(k, Pass::Transparent, t, x, y, s, sx, sy, w, h, effect, parameter);
}
void RunLengthCopyOpaqueWith(const KernelSet& k, PixelDescriptor* t, int x, int y,
                             const PixelDescriptor* s, int sx, int sy, int w, int h,
                             std::uint32_t effect, std::uintptr_t parameter) {
  RunLengthBlit(k, Pass::Opaque, t, x, y, s, sx, sy, w, h, effect, parameter);
}

}  // namespace vexa
