// Entries 3-6 of the run-length tables: the four blits with the source read from the
// run-length form (run_length_form.h). Each draws exactly what the standard routine draws
// from the decoded image: transparent spans are pixels whose value is the source's
// transparent value, so the opaque copies fill them with it, the opaque effect runs its
// constant-colour row over them, and the alpha path (which ignores the colour key) weighs
// them like any other pixel. Without an alpha plane the transparent copies skip them.
#include <cstring>

#include "render/kernels/effect_rows.h"
#include "render/kernels/kernel_routines.h"
#include "render/kernels/run_length_form.h"

namespace vexa {
namespace {

enum class Pass { Opaque, Transparent };

// Short runs are the common case; the fixed-size moves stay inline.
inline void CopyBytes(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  if (n <= 16) {
    if (n >= 8) {
      std::memcpy(d, s, 8);
      std::memcpy(d + n - 8, s + n - 8, 8);
    } else if (n >= 4) {
      std::memcpy(d, s, 4);
      std::memcpy(d + n - 4, s + n - 4, 4);
    } else {
      for (std::size_t i = 0; i < n; ++i) d[i] = s[i];
    }
    return;
  }
  if (n <= 32) {
    std::memcpy(d, s, 16);
    std::memcpy(d + n - 16, s + n - 16, 16);
    return;
  }
  std::memcpy(d, s, n);
}

// The transparent value in `count` (at most kKeyChunk) consecutive pixels, for the alpha path.
constexpr int kKeyChunk = 64;
void FillKeyPixels(std::uint8_t* out, int bytesPerPixel, std::uint32_t key) {
  for (int i = 0; i < kKeyChunk; ++i) std::memcpy(out + i * bytesPerPixel, &key, static_cast<std::size_t>(bytesPerPixel));
}

struct RunBlit {
  const EffectRoutineSet* set;
  EffectContext context;
  int bytesPerPixel;
  Pass pass;
  std::uint32_t effect;
  std::uint32_t key;
};

void DrawRow(const RunBlit& b, const PixelDescriptor* s, std::uint8_t* d, const std::uint8_t* alpha,
             int row, int sx, int width, const std::uint8_t* keyPixels) {
  const int bpp = b.bytesPerPixel;
  RunLengthRowReader reader(s->firstRow, row, bpp, sx, sx + width);
  RunLengthRowReader::Span span;
  const bool copy = (b.effect & 0xFFF) == 0;
  while (reader.Next(span)) {
    std::uint8_t* out = d + static_cast<std::ptrdiff_t>(span.x - sx) * bpp;
    if (alpha && b.pass == Pass::Transparent) {
      const std::uint8_t* a = alpha + (span.x - sx);
      if (span.pixels) {
        RunAlphaRow(*b.set, b.context, out, span.pixels, a, span.count, bpp);
        continue;
      }
      for (int done = 0; done < span.count; done += kKeyChunk) {
        const int n = span.count - done < kKeyChunk ? span.count - done : kKeyChunk;
        RunAlphaRow(*b.set, b.context, out + done * bpp, keyPixels, a + done, n, bpp);
      }
      continue;
    }
    if (span.pixels) {
      if (copy)
        CopyBytes(out, span.pixels, static_cast<std::size_t>(span.count) * static_cast<std::size_t>(bpp));
      else
        RunOpaqueRow(*b.set, b.context, out, span.pixels, span.count, bpp);
    } else if (b.pass == Pass::Opaque) {
      if (copy)
        FillPixelRows(out, 0, span.count, 1, bpp, b.key);
      else
        RunConstantRow(*b.set, b.context, out, b.key, span.count, bpp);
    }
  }
}

void RunLengthBlit(const KernelSet& k, Pass pass, PixelDescriptor* t, int x, int y,
                   const PixelDescriptor* s, int sx, int sy, int width, int height,
                   std::uint32_t effect, std::uintptr_t parameter) {
  if (width <= 0 || height <= 0 || !s->firstRow) return;
  const int format = FormatOfDepth(s->depth);
  RunBlit b;
  b.set = BlitEffectSet(k, t, format, effect);
  if (!b.set) return;
  b.set->setup(b.context, t, s, parameter);
  b.bytesPerPixel = BytesPerPixel(s->depth);
  b.pass = pass;
  b.effect = effect;
  b.key = s->transparentValue;
  const bool withAlpha = pass == Pass::Transparent && s->alphaFirstRow;
  std::uint8_t keyPixels[kKeyChunk * 4];
  if (withAlpha) FillKeyPixels(keyPixels, b.bytesPerPixel, b.key);
  std::uint8_t* d = t->PixelAddress(x, y);
  for (int row = 0; row < height; ++row, d += t->pitch) {
    const std::uint8_t* alpha = withAlpha ? s->AlphaRow(sy + row) + sx : nullptr;
    DrawRow(b, s, d, alpha, sy + row, sx, width, keyPixels);
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
