// The operators with VBScript's semantics: arithmetic with overflow
// promotion (Byte -> Integer -> Long -> Double, never wrapping), Null
// propagation, Empty as 0 or "", string comparison by binary code, the
// number-versus-string comparison rule, logical operators that are bitwise
// on numbers, and the truth of a condition.
//
// Operands that are objects are read through their default member first.
#pragma once

#include <cstddef>

#include "core/variant.h"
#include "core/vb_error.h"

namespace veldrane::vbs::ops {

// The longest string scripts may build, in bytes. Native strings end near
// 2^31 characters; ours are UTF-8, and joining two texts needs room for
// both and the result at once, so the limit is 2^30 bytes: a size the
// machine can still give, and one whose length Len (a Long) never wraps.
inline constexpr size_t kMaxStringBytes = size_t{1} << 30;
// Raises 14, "Out of string space", when a string of `a` + `b` bytes would
// pass kMaxStringBytes (the sum itself cannot wrap).
inline void CheckStringSize(size_t a, size_t b = 0) {
  if (a > kMaxStringBytes || b > kMaxStringBytes - a) throw VbError(14);
}

Variant Add(const Variant& a, const Variant& b);
Variant Sub(const Variant& a, const Variant& b);
Variant Mul(const Variant& a, const Variant& b);
Variant Div(const Variant& a, const Variant& b);     // always Double
Variant IntDiv(const Variant& a, const Variant& b);  // operands rounded half-to-even first
Variant Mod(const Variant& a, const Variant& b);
Variant Pow(const Variant& a, const Variant& b);     // always Double
Variant Neg(const Variant& a);
Variant Plus(const Variant& a);                      // unary +: the value itself (Empty stays Empty)
Variant Concat(const Variant& a, const Variant& b);  // Null & Null is Null; Null and Empty are "" otherwise
// Appends b's text to `target` as Concat would, when `target` holds a String.
// Returns false (and changes nothing) when the general rule must apply.
bool AppendInPlace(Variant& target, const Variant& b);

Variant Not(const Variant& a);
Variant And(const Variant& a, const Variant& b);
Variant Or(const Variant& a, const Variant& b);
Variant Xor(const Variant& a, const Variant& b);
Variant Eqv(const Variant& a, const Variant& b);
Variant Imp(const Variant& a, const Variant& b);

enum class Cmp : uint8_t { Eq, Ne, Lt, Gt, Le, Ge };
// A comparison: Boolean, or Null when either side is Null. `a_const` /
// `b_const` say that the operand is a literal or named constant: a constant
// number converts the string it is compared with (raising 13 when the text
// is not a number); otherwise a number is less than any string.
Variant Compare(Cmp op, const Variant& a, const Variant& b, bool a_const = false, bool b_const = false);
// The three-way comparison behind Compare; nullopt when Null is involved.
std::optional<int> CompareValues(const Variant& a, const Variant& b, bool a_const, bool b_const);

// a Is b: both must be objects (424 otherwise); true for the same instance.
bool Is(const Variant& a, const Variant& b);

// The truth of a condition: Null and Empty are False; strings convert
// ("True", "False", "#TRUE#", "#FALSE#" or a number), anything else that
// cannot raises 13.
bool Truth(const Variant& v);
// CBool: as Truth, but Null raises 94.
bool ToBoolean(const Variant& v);
// The number a text stands for in arithmetic and the numeric conversions:
// a number or a date; the words True and False are not numbers (13).
double TextNumber(const std::string& text);

}  // namespace veldrane::vbs::ops
