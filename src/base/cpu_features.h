// The library's CPU feature word.
//
// Bit 0 MMX, bit 1 SSE, bit 2 SSE2; 8 is added when the processor reports feature bit 31
// and 16 when it reports bit 30 of its feature flags. On x86-64 bit 0 is always set, so the
// vector paths that the word selects are the defaults.
#pragma once

#include <cstdint>

namespace vexa {

inline constexpr std::uint32_t kCpuFeatureMmx = 1;
inline constexpr std::uint32_t kCpuFeatureSse = 2;
inline constexpr std::uint32_t kCpuFeatureSse2 = 4;

// Probes the processor (cpuid).
std::uint32_t ProbeCpuFeatureWord();

// The library-wide word, refreshed at every thread registration; surfaces copy its low
// five bits into their flags when they are constructed.
std::uint32_t LibraryCpuFeatureWord();
void SetLibraryCpuFeatureWord(std::uint32_t word);

}  // namespace vexa
