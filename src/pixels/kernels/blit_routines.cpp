// Entries 2-6 of the standard tables: the fill, the transparent copy with its colour-key and
// alpha-plane paths, the effect copies, and the opaque copy shared by every format.
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "pixels/kernels/byte_moves.h"
#include "pixels/kernels/effect_rows.h"
#include "pixels/kernels/kernel_routines.h"

namespace vexa {
namespace {

enum class Pass { Opaque, Transparent };

// One blit through the routine set of `code`: every row through the opaque, keyed or alpha
// row operation. The transparent pass weighs by the source's alpha plane when it has one and
// skips pixels equal to the source's transparent value otherwise.
void BlitRows(const EffectRoutineSet& set, int bytesPerPixel, Pass pass, PixelDescriptor* t, int x,
              int y, const PixelDescriptor* s, int sx, int sy, int width, int height,
              std::uintptr_t parameter) {
  EffectContext c;
  set.setup(c, t, s, parameter);
  std::uint8_t* d = t->PixelAddress(x, y);
  const std::uint8_t* src = s->PixelAddress(sx, sy);
  if (pass == Pass::Transparent && s->alphaFirstRow) {
    const std::uint8_t* alpha = s->AlphaRow(sy) + sx;
    for (int row = 0; row < height; ++row, d += t->pitch, src += s->pitch, alpha += s->alphaPitch)
      RunAlphaRow(set, c, d, src, alpha, width, bytesPerPixel);
  } else if (pass == Pass::Transparent && set.keyedRows) {
    set.keyedRows(c, d, t->pitch, src, s->pitch, width, height, set.keyed);
  } else if (pass == Pass::Transparent) {
    for (int row = 0; row < height; ++row, d += t->pitch, src += s->pitch)
      set.keyed(c, d, src, width);
  } else {
    for (int row = 0; row < height; ++row, d += t->pitch, src += s->pitch)
      RunOpaqueRow(set, c, d, src, width, bytesPerPixel);
  }
}

void EffectBlit(const KernelSet& k, int format, Pass pass, PixelDescriptor* t, int x, int y,
                const PixelDescriptor* s, int sx, int sy, int width, int height,
                std::uint32_t effect, std::uintptr_t parameter) {
  if (width <= 0 || height <= 0) return;
  const EffectRoutineSet* set = BlitEffectSet(k, t, format, effect);
  if (!set) return;
  BlitRows(*set, BytesPerPixel(kFormatDepth[format]), pass, t, x, y, s, sx, sy, width, height,
           parameter);
}

// The table entries at the active level, one per format; the 15- and 16-bit tables share
// theirs, in which the source's depth picks the form.
template <int Format>
void CopyTransparent(PixelDescriptor* t, int x, int y, const PixelDescriptor* s, int sx, int sy,
                     int w, int h) {
  const int format = Format < 0 ? FormatOfDepth(s->depth) : Format;
  EffectBlit(ActiveKernels(), format, Pass::Transparent, t, x, y, s, sx, sy, w, h, 0, 0);
}
template <int Format>
void CopyTransparentEffect(PixelDescriptor* t, int x, int y, const PixelDescriptor* s, int sx,
                           int sy, int w, int h, std::uint32_t effect, std::uintptr_t parameter) {
  const int format = Format < 0 ? FormatOfDepth(s->depth) : Format;
  EffectBlit(ActiveKernels(), format, Pass::Transparent, t, x, y, s, sx, sy, w, h, effect,
             parameter);
}
template <int Format>
void CopyOpaqueEffect(PixelDescriptor* t, int x, int y, const PixelDescriptor* s, int sx, int sy,
                      int w, int h, std::uint32_t effect, std::uintptr_t parameter) {
  const int format = Format < 0 ? FormatOfDepth(s->depth) : Format;
  EffectBlit(ActiveKernels(), format, Pass::Opaque, t, x, y, s, sx, sy, w, h, effect, parameter);
}
constexpr int kShared16 = -1;  // the 15- and 16-bit entries

// Entry 2, one per format: the colour in the format's pixel form.
template <class F>
void FillRect(PixelDescriptor* t, int x, int y, int pitch, int width, int height,
              std::uint32_t color) {
  std::uint32_t value;
  if constexpr (F::kIndex == kFormat8) {
    value = color & 0xFF;
  } else {
    value = F::PixelOfColor(color);
  }
  FillPixelRows(t->PixelAddress(x, y), pitch, width, height, F::kBytes, value);
}

void FillRow8(std::uint8_t* row, int width, std::uint32_t value) {
  std::memset(row, static_cast<int>(value & 0xFF), static_cast<std::size_t>(width));
}
#if defined(__SSE2__)
// Fills `bytes` bytes (whole pixels of 2 or 4 bytes, at least 16) with `pattern`, those pixels
// repeated: four 16-byte stores a step, then single ones, then one store ending at the last
// byte, which rewrites what it overlaps with the same pixels (the pixel size divides 16).
void FillPattern(std::uint8_t* row, std::size_t bytes, __m128i pattern) {
  std::size_t i = 0;
  for (; i + 64 <= bytes; i += 64) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), pattern);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i + 16), pattern);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i + 32), pattern);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i + 48), pattern);
  }
  for (; i + 16 <= bytes; i += 16) _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), pattern);
  if (i < bytes) _mm_storeu_si128(reinterpret_cast<__m128i*>(row + bytes - 16), pattern);
}
#endif

void FillRow16(std::uint8_t* row, int width, std::uint32_t value) {
  const auto v = static_cast<std::uint16_t>(value);
#if defined(__SSE2__)
  if (width >= 8) {
    FillPattern(row, static_cast<std::size_t>(width) * 2, _mm_set1_epi16(static_cast<short>(v)));
    return;
  }
#endif
  for (int i = 0; i < width; ++i) std::memcpy(row + 2 * i, &v, 2);
}
void FillRow24(std::uint8_t* row, int width, std::uint32_t value) {
  for (int i = 0; i < width; ++i) StoreU24(row + 3 * i, value);
}
void FillRow32(std::uint8_t* row, int width, std::uint32_t value) {
#if defined(__SSE2__)
  if (width >= 4) {
    FillPattern(row, static_cast<std::size_t>(width) * 4, _mm_set1_epi32(static_cast<int>(value)));
    return;
  }
#endif
  for (int i = 0; i < width; ++i) std::memcpy(row + 4 * i, &value, 4);
}

}  // namespace

const EffectRoutineSet* BlitEffectSet(const KernelSet& k, const PixelDescriptor* t, int formatIndex,
                                      std::uint32_t effect) {
  const std::uint32_t code = effect & kEffectCodeMask;
  if (code >= kEffectCodeCount || formatIndex < 0 || formatIndex >= kFormatCount) return nullptr;
  const EffectRoutineSet& set = k.sets[(t->flags & kSurfaceFlagMmx) ? 1 : 0][formatIndex][code];
  return set.setup ? &set : nullptr;
}

void CopyTransparentWith(const KernelSet& k, PixelDescriptor* t, int x, int y,
                         const PixelDescriptor* s, int sx, int sy, int w, int h) {
  EffectBlit(k, FormatOfDepth(s->depth), Pass::Transparent, t, x, y, s, sx, sy, w, h, 0, 0);
}
void CopyTransparentEffectWith(const KernelSet& k, PixelDescriptor* t, int x, int y,
                               const PixelDescriptor* s, int sx, int sy, int w, int h,
                               std::uint32_t effect, std::uintptr_t parameter) {
  EffectBlit(k, FormatOfDepth(s->depth), Pass::Transparent, t, x, y, s, sx, sy, w, h, effect,
             parameter);
}
void CopyOpaqueEffectWith(const KernelSet& k, PixelDescriptor* t, int x, int y,
                          const PixelDescriptor* s, int sx, int sy, int w, int h,
                          std::uint32_t effect, std::uintptr_t parameter) {
  EffectBlit(k, FormatOfDepth(s->depth), Pass::Opaque, t, x, y, s, sx, sy, w, h, effect, parameter);
}

void CopyOpaqueRoutine(PixelDescriptor* t, int x, int y, const PixelDescriptor* s, int sx, int sy,
                       int width, int height) {
  if (width <= 0 || height <= 0) return;
  const auto bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(s->bytesPerPixel);
  std::uint8_t* d = t->PixelAddress(x, y);
  const std::uint8_t* src = s->PixelAddress(sx, sy);
  // Rows of sprites and tiles are short: a call to the library move per row costs more than the
  // moves themselves, so short rows are moved inline and only long ones go to the call.
  for (int row = 0; row < height; ++row, d += t->pitch, src += s->pitch)
    MoveBytes<ScalarByteMoves>(d, src, bytes);
}

PixelRowFill PixelRowFiller(int bytesPerPixel) {
  switch (bytesPerPixel) {
    case 1:
      return FillRow8;
    case 2:
      return FillRow16;
    case 3:
      return FillRow24;
    default:
      return FillRow32;
  }
}

void FillPixelRows(std::uint8_t* row, int pitch, int width, int height, int bytesPerPixel,
                   std::uint32_t value) {
  if (width <= 0 || height <= 0) return;
  const PixelRowFill fill = PixelRowFiller(bytesPerPixel);
  for (int i = 0; i < height; ++i, row += pitch) fill(row, width, value);
}

template <class F, int Entry>
void InstallFormat(PixelRoutineTable& t) {
  t.fillRect = FillRect<F>;
  t.copyTransparent = CopyTransparent<Entry>;
  t.copyTransparentEffect = CopyTransparentEffect<Entry>;
  t.copyOpaque = CopyOpaqueRoutine;
  t.copyOpaqueEffect = CopyOpaqueEffect<Entry>;
}

void InstallBlitRoutines(PixelRoutineTableSet& tables) {
  InstallFormat<Format8, kFormat8>(tables[kFormat8]);
  InstallFormat<Format555, kShared16>(tables[kFormat15]);
  InstallFormat<Format565, kShared16>(tables[kFormat16]);
  InstallFormat<Format24, kFormat24>(tables[kFormat24]);
  InstallFormat<Format32, kFormat32>(tables[kFormat32]);
}

}  // namespace vexa
