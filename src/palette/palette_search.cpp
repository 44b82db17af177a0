#include "palette/palette_search.h"

#include "base/cpu_features.h"

namespace vexa {
namespace {

int Square(int v) { return v * v; }

std::uint32_t PlainDistance(PALETTEENTRY e, COLORREF color) {
  return static_cast<std::uint32_t>(Square(e.peRed - static_cast<int>(color & 0xFF)) +
                                    Square(e.peGreen - static_cast<int>((color >> 8) & 0xFF)) +
                                    Square(e.peBlue - static_cast<int>((color >> 16) & 0xFF)));
}

std::uint32_t SaturatedSum16(std::uint32_t a, std::uint32_t b) {
  const std::uint32_t sum = a + b;
  return sum > 0xFFFF ? 0xFFFF : sum;
}

}  // namespace

std::uint32_t VectorFormDistance(PALETTEENTRY e, COLORREF color) {
  const auto s1 =
      static_cast<std::uint32_t>(Square(e.peRed - static_cast<int>(color & 0xFF)) +
                                 Square(e.peGreen - static_cast<int>((color >> 8) & 0xFF)));
  const auto s2 =
      static_cast<std::uint32_t>(Square(e.peBlue - static_cast<int>((color >> 16) & 0xFF)) +
                                 Square(e.peFlags - static_cast<int>(color >> 24)));
  return SaturatedSum16(s1 >> 16, s2 >> 16) << 16 | SaturatedSum16(s1 & 0xFFFF, s2 & 0xFFFF);
}

int SearchPlain(const PALETTEENTRY* entries, int count, COLORREF color) {
  int result = 0;
  std::uint32_t best = 0xFFFFFFFFu;
  for (int i = 0; i < count; ++i) {
    const std::uint32_t d = PlainDistance(entries[i], color);
    if (d == 0) return i;
    if (d <= best) {  // among equal distances the later entry wins
      best = d;
      result = i;
    }
  }
  return result;
}

// The reference of the vector form, step by step as the form is defined.
int SearchVectorScalar(const PALETTEENTRY* entries, int count, COLORREF color) {
  std::uint32_t best = 0x7FFFFFFF;
  int result = 0;
  int k = 0;
  for (; k + 1 < count; k += 2) {
    const std::uint32_t first = VectorFormDistance(entries[k], color);
    const std::uint32_t second = VectorFormDistance(entries[k + 1], color);
    const int candidate = first <= second ? k : k + 1;
    const std::uint32_t d = first <= second ? first : second;
    if (d <= best) {
      best = d;
      result = candidate;
      if (d == 0) return result;
    }
  }
  if (k < count && VectorFormDistance(entries[k], color) <= best) result = k;
  return result;
}

namespace {

PaletteSearchFn BuildVectorSearch(SimdLevel level) {
  if (level == SimdLevel::Avx2) return SearchVectorAvx2;
  if (level == SimdLevel::Sse2) return SearchVectorSse2;
  return SearchVectorScalar;
}

using VectorSearches = SimdTables<PaletteSearchFn, BuildVectorSearch>;

}  // namespace

PaletteSearchFn VectorSearchAt(SimdLevel level) { return VectorSearches::At(level); }

PaletteSearchFn PaletteSearchFor(std::uint32_t featureWord, SimdLevel level) {
  return (featureWord & kCpuFeatureMmx) != 0 ? VectorSearchAt(level) : SearchPlain;
}

PaletteSearchFn PaletteSearchFor(std::uint32_t featureWord) {
  return (featureWord & kCpuFeatureMmx) != 0 ? VectorSearches::Active() : SearchPlain;
}

PaletteSearchFn LibraryPaletteSearch() { return PaletteSearchFor(LibraryCpuFeatureWord()); }

int NearestColorSearch(PaletteSearchFn search, const PALETTEENTRY* entries, int count,
                       COLORREF color) {
  if (count > 256) count = 256;
  if (count != 256) return search(entries, count < 0 ? 0 : count, color);
  if (RgbOf(color) == 0) return 0;
  return 1 + search(entries + 1, 255, color);
}

}  // namespace vexa
