#include "base/simd_level.h"

#include <cctype>
#include <cstdlib>
#include <string_view>

namespace vexa {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

std::string_view TrimBlanks(std::string_view word) {
  while (!word.empty() && std::isspace(static_cast<unsigned char>(word.front())))
    word.remove_prefix(1);
  while (!word.empty() && std::isspace(static_cast<unsigned char>(word.back())))
    word.remove_suffix(1);
  return word;
}

// The level a disabled word leaves at most: disabling a level keeps only the ones below it.
SimdLevel CapForWord(std::string_view word, SimdLevel current) {
  if (EqualsIgnoringCase(word, "avx2") && current > SimdLevel::Sse2) return SimdLevel::Sse2;
  if (EqualsIgnoringCase(word, "sse2")) return SimdLevel::Scalar;
  return current;
}

}  // namespace

SimdLevel DetectedSimdLevel() {
  // The run-time check also confirms that the operating system saves the wide registers.
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return SimdLevel::Avx2;
  if (__builtin_cpu_supports("sse2")) return SimdLevel::Sse2;
  return SimdLevel::Scalar;
}

SimdLevel CapSimdLevel(SimdLevel detected, const char* disableList) {
  if (disableList == nullptr) return detected;
  SimdLevel level = detected;
  std::string_view rest(disableList);
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    level = CapForWord(TrimBlanks(rest.substr(0, comma)), level);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return level;
}

SimdLevel ActiveSimdLevel() {
  static const SimdLevel level =
      CapSimdLevel(DetectedSimdLevel(), std::getenv("VEXA_DISABLE_SIMD"));
  return level;
}

bool SimdLevelSupported(SimdLevel level) { return level <= DetectedSimdLevel(); }

SimdLevel SupportedSimdLevel(SimdLevel level) {
  const SimdLevel detected = DetectedSimdLevel();
  return level <= detected ? level : detected;
}

const char* SimdLevelName(SimdLevel level) {
  switch (level) {
    case SimdLevel::Avx2:
      return "avx2";
    case SimdLevel::Sse2:
      return "sse2";
    case SimdLevel::Scalar:
      break;
  }
  return "scalar";
}

}  // namespace vexa
