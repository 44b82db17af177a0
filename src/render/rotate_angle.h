// Angles of the rotation operations.
#pragma once

#include <cmath>

namespace vexa {

// The value of pi the rotation operations turn degrees into radians with.
inline constexpr double kPi = 3.141592653589;

// The angle reduced into [0, 360), so that the right angles are recognised in any turn.
inline float ReduceAngle(float angle) {
  float reduced = std::fmod(angle, 360.0f);
  if (reduced < 0.0f) reduced += 360.0f;
  return reduced >= 360.0f ? 0.0f : reduced;
}

}  // namespace vexa
