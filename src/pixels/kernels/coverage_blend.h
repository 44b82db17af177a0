// Mixing a solid colour into 32-bit pixels by 8-bit coverage (glyph edges): per channel
// c = (d * (255 - a) + t * a + 127) / 255, which is d + (t - d) * a / 255 rounded to nearest.
// Coverage 0 leaves a pixel alone, 255 stores the colour's whole stored value; in between the
// three colour bytes mix and the fourth byte keeps what it was.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vexa {

struct CoverageColor {
  std::uint32_t value;   // the stored value written at full coverage
  std::uint8_t b, g, r;  // the colour's bytes in storage order (blue first)
};

inline std::uint8_t MixCoverage(unsigned d, unsigned t, unsigned a) {
  return static_cast<std::uint8_t>((d * (255u - a) + t * a + 127u) / 255u);
}

// The pixel-by-pixel form; `count` pixels of `row` under `coverage`.
inline void BlendCoverageRow32Scalar(std::uint8_t* row, int count, const std::uint8_t* coverage,
                                     const CoverageColor& color) {
  for (int x = 0; x < count; ++x, row += 4) {
    const unsigned a = coverage[x];
    if (!a) continue;
    if (a == 255) {
      row[0] = static_cast<std::uint8_t>(color.value);
      row[1] = static_cast<std::uint8_t>(color.value >> 8);
      row[2] = static_cast<std::uint8_t>(color.value >> 16);
      row[3] = static_cast<std::uint8_t>(color.value >> 24);
      continue;
    }
    row[0] = MixCoverage(row[0], color.b, a);
    row[1] = MixCoverage(row[1], color.g, a);
    row[2] = MixCoverage(row[2], color.r, a);
  }
}

// The same result, several pixels at a time, over `rows` rows: `count` pixels from `row`
// (rows `pitch` bytes apart) under coverage rows `coverageStride` bytes apart.
void BlendCoverageRows32(std::uint8_t* row, std::ptrdiff_t pitch, int rows, int count,
                         const std::uint8_t* coverage, std::ptrdiff_t coverageStride,
                         const CoverageColor& color);

inline void BlendCoverageRow32(std::uint8_t* row, int count, const std::uint8_t* coverage,
                               const CoverageColor& color) {
  BlendCoverageRows32(row, 0, 1, count, coverage, 0, color);
}

}  // namespace vexa
