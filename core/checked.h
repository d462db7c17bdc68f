// Checked arithmetic for the model's 16-bit counters and indexes, and the
// platform's rounding. A counter that would pass its limit raises Overflow (6):
// step and link numbers must never wrap into numbers already given out.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "core/vb_error.h"

namespace veldrane {

// a + b as a 16-bit signed value; raises Overflow (6) outside -32768..32767.
inline int16_t AddChecked16(int16_t a, int32_t b) {
  int32_t r = static_cast<int32_t>(a) + b;
  if (r > std::numeric_limits<int16_t>::max() || r < std::numeric_limits<int16_t>::min()) throw VbError::Overflow();
  return static_cast<int16_t>(r);
}

// a + b as a 32-bit signed value; raises Overflow (6) when it would not fit.
inline int32_t AddChecked32(int32_t a, int32_t b) {
  int64_t r = static_cast<int64_t>(a) + b;
  if (r > std::numeric_limits<int32_t>::max() || r < std::numeric_limits<int32_t>::min()) throw VbError::Overflow();
  return static_cast<int32_t>(r);
}

// Rounds to the nearest whole number, halves to the even neighbour
// (the platform's rounding for CInt, CLng and implicit conversions).
inline double RoundHalfEven(double v) { return std::nearbyint(v); }

// Whole-number rounding into 16 bits; raises Overflow (6) when out of range.
inline int16_t RoundToInt16(double v) {
  double r = RoundHalfEven(v);
  if (!(r >= -32768.0 && r <= 32767.0)) throw VbError::Overflow();
  return static_cast<int16_t>(r);
}

// Whole-number rounding into 32 bits; raises Overflow (6) when out of range.
inline int32_t RoundToInt32(double v) {
  double r = RoundHalfEven(v);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) throw VbError::Overflow();
  return static_cast<int32_t>(r);
}

}  // namespace veldrane
