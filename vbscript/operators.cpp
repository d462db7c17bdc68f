#include "vbscript/operators.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "core/checked.h"
#include "core/object.h"
#include "core/text.h"
#include "core/vb_error.h"

namespace veldrane::vbs::ops {

namespace {

// Storage indexes of Variant (see Variant::Storage).
enum Idx : size_t { kEmpty, kNull, kBool, kByte, kInt, kLong, kSingle, kDouble, kCurrency, kDate, kString, kObject, kArray };

inline size_t IndexOf(const Variant& v) { return v.storage().index(); }

// Arithmetic ranks: the result of an operation takes the higher one.
enum Rank : int { rByte = 1, rInt = 2, rLong = 3, rSingle = 4, rDouble = 5, rCurrency = 6, rDate = 7 };

// A resolved numeric operand.
struct Num {
  Rank rank;
  double d;       // value (all ranks)
  int64_t i;      // value for Byte/Integer/Long
  int64_t cy;     // scaled value for Currency
};

// Reads an operand of + - * as a number. Strings become Doubles (13 when
// not numeric); Empty counts as the lowest rank with value 0.
Num ToNum(const Variant& v, bool& was_empty) {
  was_empty = false;
  switch (IndexOf(v)) {
    case kEmpty: was_empty = true; return {rInt, 0, 0, 0};
    case kBool: return {rInt, v.AsBool() ? -1.0 : 0.0, v.AsBool() ? -1 : 0, 0};
    case kByte: { int64_t b = std::get<uint8_t>(v.storage()); return {rByte, double(b), b, 0}; }
    case kInt: return {rInt, double(v.AsInteger()), v.AsInteger(), 0};
    case kLong: return {rLong, double(v.AsLong()), v.AsLong(), 0};
    case kSingle: return {rSingle, double(std::get<float>(v.storage())), 0, 0};
    case kDouble: return {rDouble, v.AsDouble(), 0, 0};
    case kCurrency: { Currency c = std::get<Currency>(v.storage()); return {rCurrency, c.ToDouble(), 0, c.scaled}; }
    case kDate: return {rDate, v.AsDate(), 0, 0};
    case kString: return {rDouble, TextNumber(v.AsString()), 0, 0};
    default: throw VbError::TypeMismatch();
  }
}

Variant FromWhole(int64_t r, Rank rank) {
  if (rank == rByte && r >= 0 && r <= 255) return Variant(static_cast<uint8_t>(r));
  if (rank <= rInt && r >= INT16_MIN && r <= INT16_MAX) return Variant(static_cast<int16_t>(r));
  if (r >= INT32_MIN && r <= INT32_MAX) return Variant(static_cast<int32_t>(r));
  return Variant(static_cast<double>(r));
}

Variant CheckedDouble(double d) {
  if (std::isinf(d)) throw VbError::Overflow();
  if (std::isnan(d)) throw VbError::InvalidCall();
  return Variant(d);
}

Variant FromSingle(double d) {
  if (std::fabs(d) > FLT_MAX) return CheckedDouble(d);
  return Variant(static_cast<float>(d));
}

// "a" + "b": kept out of line, away from the numeric paths of Arith.
[[gnu::noinline]] Variant JoinStrings(const Variant& a, const Variant& b) {
  CheckStringSize(a.AsString().size(), b.AsString().size());
  return Variant(a.AsString() + b.AsString());
}

enum class ArOp { Add, Sub, Mul };

Variant Arith(ArOp op, const Variant& a_in, const Variant& b_in) {
  const Variant& a0 = a_in;
  const Variant& b0 = b_in;
  // Fast path: the common Integer/Long cases.
  size_t ia = IndexOf(a0), ib = IndexOf(b0);
  if ((ia == kInt || ia == kLong) && (ib == kInt || ib == kLong)) {
    int64_t x = ia == kInt ? a0.AsInteger() : a0.AsLong();
    int64_t y = ib == kInt ? b0.AsInteger() : b0.AsLong();
    int64_t r = op == ArOp::Add ? x + y : op == ArOp::Sub ? x - y : x * y;
    return FromWhole(r, (ia == kLong || ib == kLong) ? rLong : rInt);
  }
  Variant ra, rb;
  const Variant& a = a0.IsObject() ? (ra = a0.Resolved()) : a0;
  const Variant& b = b0.IsObject() ? (rb = b0.Resolved()) : b0;
  ia = IndexOf(a);
  ib = IndexOf(b);
  if (ia == kNull || ib == kNull) return Variant::Null();
  if (op == ArOp::Add) {
    if (ia == kString && (ib == kString || ib == kEmpty)) return ib == kEmpty ? a : JoinStrings(a, b);
    if (ib == kString && ia == kEmpty) return b;
  }
  bool ea, eb;
  Num x = ToNum(a, ea), y = ToNum(b, eb);
  if (ea && eb) return Variant(static_cast<int16_t>(0));
  // Empty takes the other operand's rank (Empty + Byte is a Byte).
  if (ea) x.rank = y.rank == rByte ? rByte : std::min(x.rank, y.rank);
  if (eb) y.rank = x.rank == rByte ? rByte : std::min(y.rank, x.rank);
  Rank hi = std::max(x.rank, y.rank);
  Rank lo = std::min(x.rank, y.rank);
  if (hi == rDate) {
    if (op == ArOp::Mul || lo == rDate) {
      double r = op == ArOp::Add ? x.d + y.d : op == ArOp::Sub ? x.d - y.d : x.d * y.d;
      if (op == ArOp::Add && lo == rDate) return Variant::Date(r);
      return CheckedDouble(r);
    }
    return Variant::Date(op == ArOp::Add ? x.d + y.d : x.d - y.d);
  }
  if (hi == rCurrency) {
    if (lo == rSingle || lo == rDouble) {
      double r = op == ArOp::Add ? x.d + y.d : op == ArOp::Sub ? x.d - y.d : x.d * y.d;
      return CheckedDouble(r);
    }
    int64_t cx = x.rank == rCurrency ? x.cy : x.i * 10000;
    int64_t cyv = y.rank == rCurrency ? y.cy : y.i * 10000;
    if (op == ArOp::Mul) return Variant(Currency::FromDouble(static_cast<double>(cx) / 10000.0 * (static_cast<double>(cyv) / 10000.0)));
    int64_t r;
    bool overflow = op == ArOp::Add ? __builtin_add_overflow(cx, cyv, &r) : __builtin_sub_overflow(cx, cyv, &r);
    if (overflow) throw VbError::Overflow();
    return Variant(Currency{r});
  }
  if (hi <= rLong) {
    int64_t r = op == ArOp::Add ? x.i + y.i : op == ArOp::Sub ? x.i - y.i : x.i * y.i;
    return FromWhole(r, hi);
  }
  double r = op == ArOp::Add ? x.d + y.d : op == ArOp::Sub ? x.d - y.d : x.d * y.d;
  if (hi == rSingle && lo != rLong) return FromSingle(r);
  return CheckedDouble(r);
}

// Integer operands of \, Mod and the logical operators: Byte, Integer or
// Long after rounding half-to-even.
struct Whole {
  Rank rank;
  int64_t v;
};

Whole ToWhole(const Variant& v) {
  switch (IndexOf(v)) {
    case kEmpty: return {rInt, 0};
    case kBool: return {rInt, v.AsBool() ? -1 : 0};
    case kByte: return {rByte, std::get<uint8_t>(v.storage())};
    case kInt: return {rInt, v.AsInteger()};
    case kLong: return {rLong, v.AsLong()};
    case kObject: return ToWhole(v.Resolved());
    case kArray: throw VbError::TypeMismatch();
    default: return {rLong, RoundToInt32(v.ToDouble())};
  }
}

Variant WholeResult(int64_t r, Rank a, Rank b) {
  Rank hi = std::max(a, b);
  if (hi == rByte) return Variant(static_cast<uint8_t>(r & 0xFF));
  return FromWhole(r, hi);
}

// Logical operators on Booleans give Booleans; on numbers they are bitwise.
template <class F>
Variant Logical(const Variant& a0, const Variant& b0, F f) {
  Variant ra, rb;
  const Variant& a = a0.IsObject() ? (ra = a0.Resolved()) : a0;
  const Variant& b = b0.IsObject() ? (rb = b0.Resolved()) : b0;
  if (a.IsBoolean() && b.IsBoolean()) return Variant(static_cast<bool>(f(a.AsBool() ? -1 : 0, b.AsBool() ? -1 : 0) & 1));
  Whole x = ToWhole(a), y = ToWhole(b);
  int64_t r = f(x.v, y.v);
  Rank hi = std::max(x.rank, y.rank);
  if (hi == rByte) return Variant(static_cast<uint8_t>(r & 0xFF));
  if (hi == rInt) return Variant(static_cast<int16_t>(r));
  return Variant(static_cast<int32_t>(r));
}

// The value of a non-Null logical operand as all-ones / zero tests need it.
int64_t LogicalBits(const Variant& v) {
  if (v.IsBoolean()) return v.AsBool() ? -1 : 0;
  return ToWhole(v).v;
}

Variant ResolvedOrSelf(const Variant& v) { return v.IsObject() ? v.Resolved() : v; }

bool IsNumeric(size_t idx) { return idx == kBool || (idx >= kByte && idx <= kDate); }

// Integer/Long operands of \ and Mod: the common case, without copies.
inline bool BothWhole(const Variant& a, const Variant& b, int64_t& x, int64_t& y, Rank& rank) {
  size_t ia = IndexOf(a), ib = IndexOf(b);
  if ((ia != kInt && ia != kLong) || (ib != kInt && ib != kLong)) return false;
  x = ia == kInt ? a.AsInteger() : a.AsLong();
  y = ib == kInt ? b.AsInteger() : b.AsLong();
  rank = (ia == kLong || ib == kLong) ? rLong : rInt;
  return true;
}

}  // namespace

Variant Add(const Variant& a, const Variant& b) { return Arith(ArOp::Add, a, b); }
Variant Sub(const Variant& a, const Variant& b) { return Arith(ArOp::Sub, a, b); }
Variant Mul(const Variant& a, const Variant& b) { return Arith(ArOp::Mul, a, b); }

Variant Div(const Variant& a0, const Variant& b0) {
  Variant a = ResolvedOrSelf(a0), b = ResolvedOrSelf(b0);
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  double y = b.ToDouble(), x = a.ToDouble();
  if (y == 0) {
    if (x == 0) throw VbError::Overflow();
    throw VbError::DivisionByZero();
  }
  return CheckedDouble(x / y);
}

Variant IntDiv(const Variant& a0, const Variant& b0) {
  int64_t fx, fy;
  Rank rank;
  if (BothWhole(a0, b0, fx, fy, rank) && fy != 0) return FromWhole(fx / fy, rank);
  Variant a = ResolvedOrSelf(a0), b = ResolvedOrSelf(b0);
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  Whole x = ToWhole(a), y = ToWhole(b);
  if (y.v == 0) throw VbError::DivisionByZero();
  return WholeResult(x.v / y.v, x.rank, y.rank);
}

Variant Mod(const Variant& a0, const Variant& b0) {
  int64_t fx, fy;
  Rank rank;
  if (BothWhole(a0, b0, fx, fy, rank) && fy != 0) return FromWhole(fx % fy, rank);
  Variant a = ResolvedOrSelf(a0), b = ResolvedOrSelf(b0);
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  Whole x = ToWhole(a), y = ToWhole(b);
  if (y.v == 0) throw VbError::DivisionByZero();
  return WholeResult(x.v % y.v, x.rank, y.rank);
}

Variant Pow(const Variant& a0, const Variant& b0) {
  Variant a = ResolvedOrSelf(a0), b = ResolvedOrSelf(b0);
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  double x = a.ToDouble(), y = b.ToDouble();
  if (x == 0 && y < 0) throw VbError::InvalidCall();
  double r = std::pow(x, y);
  if (std::isnan(r)) throw VbError::InvalidCall();
  return CheckedDouble(r);
}

Variant Neg(const Variant& a0) {
  Variant a = ResolvedOrSelf(a0);
  switch (IndexOf(a)) {
    case kNull: return a;
    case kEmpty: return Variant(static_cast<int16_t>(0));
    case kBool: return Variant(static_cast<int16_t>(a.AsBool() ? 1 : 0));
    case kByte: return Variant(static_cast<int16_t>(-static_cast<int>(std::get<uint8_t>(a.storage()))));
    case kInt: return FromWhole(-static_cast<int64_t>(a.AsInteger()), rInt);
    case kLong: return FromWhole(-static_cast<int64_t>(a.AsLong()), rLong);
    case kSingle: return Variant(-std::get<float>(a.storage()));
    case kDouble: return Variant(-a.AsDouble());
    case kCurrency: return Variant(Currency{-std::get<Currency>(a.storage()).scaled});
    case kDate: return Variant::Date(-a.AsDate());
    case kString: return Variant(-a.ToDouble());
    default: throw VbError::TypeMismatch();
  }
}

Variant Plus(const Variant& a) {
  Variant v = ResolvedOrSelf(a);
  if (v.IsArray()) throw VbError::TypeMismatch();
  return v;
}

namespace {

// Appends `b` to `out`. Halves of a surrogate pair cut apart (by Left, Mid
// or ChrW) are kept as lone three-byte surrogates; when a high half ends
// `out` and a low half starts `b` they join back into their character.
void AppendText(std::string& out, std::string_view b) {
  auto byte = [](std::string_view s, size_t i) { return static_cast<unsigned char>(s[i]); };
  size_t n = out.size();
  if (b.size() >= 3 && byte(b, 0) == 0xED && (byte(b, 1) & 0xF0) == 0xB0 && n >= 3 && byte(out, n - 3) == 0xED &&
      (byte(out, n - 2) & 0xF0) == 0xA0) {
    char32_t high = 0xD000 | ((byte(out, n - 2) & 0x3F) << 6) | (byte(out, n - 1) & 0x3F);
    char32_t low = 0xD000 | ((byte(b, 1) & 0x3F) << 6) | (byte(b, 2) & 0x3F);
    char32_t cp = 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
    out.resize(n - 3);
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    b.remove_prefix(3);
  }
  out += b;
}

}  // namespace

Variant Concat(const Variant& a0, const Variant& b0) {
  Variant ra, rb;
  const Variant& a = a0.IsObject() ? (ra = a0.Resolved()) : a0;
  const Variant& b = b0.IsObject() ? (rb = b0.Resolved()) : b0;
  if (a.IsNull() && b.IsNull()) return Variant::Null();
  if (a.IsArray() || b.IsArray()) throw VbError::TypeMismatch();
  std::string out;
  if (a.IsString()) out = a.AsString();
  else if (!a.IsNull()) out = a.ToString();
  if (b.IsString()) {
    CheckStringSize(out.size(), b.AsString().size());
    AppendText(out, b.AsString());
  } else if (!b.IsNull()) {
    std::string text = b.ToString();
    CheckStringSize(out.size(), text.size());
    out += text;
  }
  return Variant(std::move(out));
}

bool AppendInPlace(Variant& target, const Variant& b) {
  if (!target.IsString()) return false;
  if (b.IsString()) {
    CheckStringSize(target.AsString().size(), b.AsString().size());
    AppendText(target.AsString(), b.AsString());
    return true;
  }
  if (b.IsObject() || b.IsArray()) return false;
  if (!b.IsNull()) {
    std::string text = b.ToString();
    CheckStringSize(target.AsString().size(), text.size());
    target.AsString() += text;
  }
  return true;
}

Variant Not(const Variant& a0) {
  Variant a = ResolvedOrSelf(a0);
  switch (IndexOf(a)) {
    case kNull: return a;
    case kBool: return Variant(!a.AsBool());
    case kEmpty: return Variant(static_cast<int16_t>(-1));
    case kByte: return Variant(static_cast<uint8_t>(~std::get<uint8_t>(a.storage())));
    case kInt: return Variant(static_cast<int16_t>(~a.AsInteger()));
    case kLong: return Variant(~a.AsLong());
    case kArray: throw VbError::TypeMismatch();
    default: return Variant(~RoundToInt32(a.ToDouble()));
  }
}

Variant And(const Variant& a0, const Variant& b0) {
  Variant a = ResolvedOrSelf(a0), b = ResolvedOrSelf(b0);
  if (a.IsNull() || b.IsNull()) {
    if (a.IsNull() && b.IsNull()) return Variant::Null();
    const Variant& other = a.IsNull() ? b : a;
    // False And Null is False: a zero operand decides alone.
    if (LogicalBits(other) == 0) return other.IsBoolean() ? Variant(false) : Logical(other, other, [](int64_t, int64_t) { return int64_t{0}; });
    return Variant::Null();
  }
  return Logical(a, b, [](int64_t x, int64_t y) { return x & y; });
}

Variant Or(const Variant& a0, const Variant& b0) {
  Variant a = ResolvedOrSelf(a0), b = ResolvedOrSelf(b0);
  if (a.IsNull() || b.IsNull()) {
    if (a.IsNull() && b.IsNull()) return Variant::Null();
    const Variant& other = a.IsNull() ? b : a;
    // True Or Null is True: an all-ones operand decides alone.
    if (LogicalBits(other) == -1) return other.IsBoolean() ? Variant(true) : Logical(other, other, [](int64_t, int64_t) { return int64_t{-1}; });
    return Variant::Null();
  }
  return Logical(a, b, [](int64_t x, int64_t y) { return x | y; });
}

Variant Xor(const Variant& a0, const Variant& b0) {
  Variant a = ResolvedOrSelf(a0), b = ResolvedOrSelf(b0);
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  return Logical(a, b, [](int64_t x, int64_t y) { return x ^ y; });
}

Variant Eqv(const Variant& a0, const Variant& b0) {
  Variant a = ResolvedOrSelf(a0), b = ResolvedOrSelf(b0);
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  return Logical(a, b, [](int64_t x, int64_t y) { return ~(x ^ y); });
}

Variant Imp(const Variant& a0, const Variant& b0) {
  Variant a = ResolvedOrSelf(a0), b = ResolvedOrSelf(b0);
  if (a.IsNull() && b.IsNull()) return Variant::Null();
  if (a.IsNull()) {
    // Null Imp True is True.
    if (LogicalBits(b) == -1) return b.IsBoolean() ? Variant(true) : Logical(b, b, [](int64_t, int64_t) { return int64_t{-1}; });
    return Variant::Null();
  }
  if (b.IsNull()) {
    // False Imp Null is True.
    if (LogicalBits(a) == 0) return a.IsBoolean() ? Variant(true) : Logical(a, a, [](int64_t, int64_t) { return int64_t{-1}; });
    return Variant::Null();
  }
  return Logical(a, b, [](int64_t x, int64_t y) { return ~x | y; });
}

std::optional<int> CompareValues(const Variant& a0, const Variant& b0, bool a_const, bool b_const) {
  size_t ia = IndexOf(a0), ib = IndexOf(b0);
  // Fast path: Integer/Long against Integer/Long.
  if ((ia == kInt || ia == kLong) && (ib == kInt || ib == kLong)) {
    int32_t x = ia == kInt ? a0.AsInteger() : a0.AsLong();
    int32_t y = ib == kInt ? b0.AsInteger() : b0.AsLong();
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  Variant ra, rb;
  const Variant& a = a0.IsObject() ? (ra = a0.Resolved()) : a0;
  const Variant& b = b0.IsObject() ? (rb = b0.Resolved()) : b0;
  ia = IndexOf(a);
  ib = IndexOf(b);
  if (ia == kNull || ib == kNull) return std::nullopt;
  if (ia == kArray || ib == kArray || ia == kObject || ib == kObject) throw VbError::TypeMismatch();
  auto sign = [](double d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); };
  if (ia == kString || ib == kString) {
    if (ia == kString && ib == kString) {
      int c = a.AsString().compare(b.AsString());
      return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (ia == kEmpty || ib == kEmpty) {
      const std::string& s = ia == kString ? a.AsString() : b.AsString();
      int c = s.empty() ? 0 : 1;
      return ia == kString ? c : -c;
    }
    // A number against a string: a constant number converts the string. A
    // Boolean constant does not ("true" <> True): it stays the lesser.
    bool num_const = ia == kString ? b_const && ib != kBool : a_const && ia != kBool;
    if (num_const) {
      double x = ia == kString ? TextNumber(a.AsString()) : a.ToDouble();
      double y = ib == kString ? TextNumber(b.AsString()) : b.ToDouble();
      return sign(x - y) == 0 ? 0 : (x < y ? -1 : 1);
    }
    return ia == kString ? 1 : -1;
  }
  if (ia == kEmpty && ib == kEmpty) return 0;
  if (ia == kCurrency && ib == kCurrency) {
    int64_t x = std::get<Currency>(a.storage()).scaled, y = std::get<Currency>(b.storage()).scaled;
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  if (!IsNumeric(ia) && ia != kEmpty) throw VbError::TypeMismatch();
  if (!IsNumeric(ib) && ib != kEmpty) throw VbError::TypeMismatch();
  double x = a.ToDouble(), y = b.ToDouble();
  if ((ia == kSingle && ib == kDouble) || (ia == kDouble && ib == kSingle)) {
    // A Single equals the Double it was made from (CSng(0.1) = 0.1): the
    // Double is compared at the Single's precision.
    if (std::fabs(x) <= FLT_MAX && std::fabs(y) <= FLT_MAX) {
      float fx = static_cast<float>(x), fy = static_cast<float>(y);
      return fx < fy ? -1 : (fx > fy ? 1 : 0);
    }
  }
  return x < y ? -1 : (x > y ? 1 : 0);
}

Variant Compare(Cmp op, const Variant& a, const Variant& b, bool a_const, bool b_const) {
  std::optional<int> c = CompareValues(a, b, a_const, b_const);
  if (!c) return Variant::Null();
  switch (op) {
    case Cmp::Eq: return Variant(*c == 0);
    case Cmp::Ne: return Variant(*c != 0);
    case Cmp::Lt: return Variant(*c < 0);
    case Cmp::Gt: return Variant(*c > 0);
    case Cmp::Le: return Variant(*c <= 0);
    case Cmp::Ge: return Variant(*c >= 0);
  }
  return Variant::Null();
}

bool Is(const Variant& a, const Variant& b) {
  if (!a.IsObject() || !b.IsObject()) throw VbError::ObjectRequired();
  return a.AsObject().get() == b.AsObject().get();
}

double TextNumber(const std::string& text) {
  if (auto n = ParseNumber(text)) return *n;
  if (IEquals(text, "true") || IEquals(text, "false")) throw VbError::TypeMismatch();
  return Variant(text).ToDouble();
}

bool ToBoolean(const Variant& v0) {
  Variant v = ResolvedOrSelf(v0);
  if (v.IsString()) {
    // The Boolean literals as text: "#TRUE#" and "#FALSE#".
    const std::string& s = v.AsString();
    if (IEquals(s, "#true#")) return true;
    if (IEquals(s, "#false#")) return false;
  }
  return v.ToBool();
}

bool Truth(const Variant& v0) {
  switch (IndexOf(v0)) {
    case kBool: return v0.AsBool();
    case kInt: return v0.AsInteger() != 0;
    case kLong: return v0.AsLong() != 0;
    case kNull:
    case kEmpty: return false;
    default: break;
  }
  Variant v = ResolvedOrSelf(v0);
  if (v.IsNull()) return false;
  return ToBoolean(v);
}

}  // namespace veldrane::vbs::ops
