// Mathematical built-ins. Abs and Round keep Null (Null in, Null out)
// and, where it makes sense, the subtype of their argument; the
// trigonometric and exponential functions work in Double.
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "core/oadate.h"
#include "vbscript/builtins_support.h"

namespace veldrane::vbs {
namespace {

using namespace detail;

Variant Value0(Args args) {
  Variant holder;
  return ValueOf(args, 0, holder);
}

// A Double argument; Null raises 94.
double DoubleArg(Args args) { return Value0(args).ToDouble(); }

Variant Abs(BuiltinContext&, Args args) {
  Variant v = Value0(args);
  switch (v.Type()) {
    case VarType::Null: return v;
    case VarType::Empty: return Variant(int16_t{0});
    case VarType::Byte: return v;
    case VarType::Boolean:
    case VarType::Integer: {
      int32_t i = v.ToInteger();
      // -32768 has no positive Integer: it moves up to Long.
      if (i == -32768) return Variant(int32_t{32768});
      return Variant(static_cast<int16_t>(i < 0 ? -i : i));
    }
    case VarType::Long: {
      int64_t l = v.AsLong();
      if (l == INT32_MIN) return Variant(2147483648.0);
      return Variant(static_cast<int32_t>(l < 0 ? -l : l));
    }
    case VarType::Single: return Variant(std::fabs(v.ToSingle()));
    case VarType::Currency: {
      int64_t scaled = std::get<Currency>(v.storage()).scaled;
      return Variant(Currency{scaled < 0 ? -scaled : scaled});
    }
    case VarType::Date: return Variant::Date(std::fabs(v.AsDate()));
    default: return Variant(std::fabs(v.ToDouble()));
  }
}

Variant Sgn(BuiltinContext&, Args args) {
  // Sgn needs a number: Null raises 94.
  double d = StrictNumber(Value0(args));
  return Variant(static_cast<int16_t>(d > 0 ? 1 : (d < 0 ? -1 : 0)));
}

Variant Atn(BuiltinContext&, Args args) { return Variant(std::atan(DoubleArg(args))); }
Variant Cos(BuiltinContext&, Args args) { return Variant(std::cos(DoubleArg(args))); }
Variant Sin(BuiltinContext&, Args args) { return Variant(std::sin(DoubleArg(args))); }
Variant Tan(BuiltinContext&, Args args) { return Variant(std::tan(DoubleArg(args))); }

Variant Exp(BuiltinContext&, Args args) {
  double r = std::exp(DoubleArg(args));
  if (std::isinf(r)) throw VbError::Overflow();
  return Variant(r);
}

Variant Log(BuiltinContext&, Args args) {
  double d = DoubleArg(args);
  if (!(d > 0)) throw VbError::InvalidCall();
  return Variant(std::log(d));
}

Variant Sqr(BuiltinContext&, Args args) {
  double d = DoubleArg(args);
  if (d < 0) throw VbError::InvalidCall();
  return Variant(std::sqrt(d));
}

// Round(expression[, numdecimalplaces]): halves go to the even neighbour.
Variant Round(BuiltinContext&, Args args) {
  Variant v = Value0(args);
  int32_t places = LongArgOr(args, 1, 0);
  if (places < 0) throw VbError::InvalidCall();
  auto round_double = [places](double d) {
    if (places == 0) return std::nearbyint(d);
    if (places > 15 || !std::isfinite(d)) return d;
    DecimalDigits r = RoundDecimal(d, places, true);
    std::string text = (r.negative ? "-" : "") + r.whole + "." + r.fraction;
    return std::strtod(text.c_str(), nullptr);
  };
  switch (v.Type()) {
    case VarType::Null: return v;
    case VarType::Empty: return Variant(int16_t{0});
    case VarType::Boolean:
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long: return v;
    case VarType::Single: return Variant(static_cast<float>(round_double(static_cast<double>(v.ToSingle()))));
    case VarType::Currency: {
      if (places >= 4) return v;
      int64_t scaled = std::get<Currency>(v.storage()).scaled;
      int64_t unit = 1;
      for (int i = places; i < 4; ++i) unit *= 10;
      int64_t q = scaled / unit, rem = scaled % unit;
      int64_t twice = 2 * (rem < 0 ? -rem : rem);
      if (twice > unit || (twice == unit && q % 2 != 0)) q += scaled < 0 ? -1 : 1;
      return Variant(Currency{q * unit});
    }
    default: return Variant(round_double(v.ToDouble()));
  }
}

// The generator: a 24-bit linear congruential sequence, seeded and stepped
// the way the script engine always has, so seeded runs repeat exactly.
thread_local uint32_t rnd_seed = 0x50000;

float RndValue() { return static_cast<float>(rnd_seed / 16777216.0); }
void RndStep() { rnd_seed = (rnd_seed * 0xFD43FDu + 0xC39EC3u) & 0xFFFFFFu; }

Variant Rnd(BuiltinContext&, Args args) {
  if (Given(args, 0)) {
    float x = Value0(args).ToSingle();
    if (x == 0) return Variant(RndValue());
    if (x < 0) {
      // A negative argument reseeds from its bits: the same number always
      // gives the same value.
      uint32_t bits;
      std::memcpy(&bits, &x, sizeof bits);
      rnd_seed = (bits + (bits >> 24)) & 0xFFFFFFu;
    }
  }
  RndStep();
  return Variant(RndValue());
}

double SecondsSinceMidnight() {
  double now = OaNow();
  return std::fabs(now - std::trunc(now)) * 86400.0;
}

Variant Randomize(BuiltinContext&, Args args) {
  double seed = Given(args, 0) ? Value0(args).ToDouble() : static_cast<double>(static_cast<float>(SecondsSinceMidnight()));
  uint64_t bits;
  std::memcpy(&bits, &seed, sizeof bits);
  uint32_t high = static_cast<uint32_t>(bits >> 32);
  uint32_t mixed = ((high & 0xFFFF) ^ (high >> 16)) << 8;
  // Only the middle 16 bits of the seed change, as they always have.
  rnd_seed = (rnd_seed & 0xFF0000FFu) | (mixed & 0xFFFF00u);
  return Variant();
}

const BuiltinSpec kMathBuiltins[] = {
    {"Abs", Abs, 1, 1},
    {"Atn", Atn, 1, 1},
    {"Cos", Cos, 1, 1},
    {"Exp", Exp, 1, 1},
    {"Log", Log, 1, 1},
    {"Randomize", Randomize, 0, 1},
    {"Rnd", Rnd, 0, 1},
    {"Round", Round, 1, 2},
    {"Sgn", Sgn, 1, 1},
    {"Sin", Sin, 1, 1},
    {"Sqr", Sqr, 1, 1},
    {"Tan", Tan, 1, 1},
};

}  // namespace

std::span<const BuiltinSpec> MathBuiltins() { return kMathBuiltins; }

}  // namespace veldrane::vbs
