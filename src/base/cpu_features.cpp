#include "base/cpu_features.h"

#include <atomic>

#include <cpuid.h>

namespace vexa {
namespace {
std::atomic<std::uint32_t> gCpuFeatureWord{0};
}

std::uint32_t ProbeCpuFeatureWord() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return 0;
  std::uint32_t word = 0;
  if (edx & (1u << 23)) word |= kCpuFeatureMmx;
  if (edx & (1u << 25)) word |= kCpuFeatureSse;
  if (edx & (1u << 26)) word |= kCpuFeatureSse2;
  if (edx & (1u << 31)) word += 8;   // feature bit 31
  if (edx & (1u << 30)) word += 16;  // feature bit 30
  return word;
}

std::uint32_t LibraryCpuFeatureWord() { return gCpuFeatureWord.load(std::memory_order_relaxed); }

void SetLibraryCpuFeatureWord(std::uint32_t word) {
  gCpuFeatureWord.store(word, std::memory_order_relaxed);
}

}  // namespace vexa
