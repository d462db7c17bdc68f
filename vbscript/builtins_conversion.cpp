// Conversion built-ins: the C* functions (thin over Variant's conversions,
// which hold the rules), Hex and Oct, Fix and Int, DateValue and TimeValue.
#include <cmath>

#include "core/checked.h"
#include "vbscript/builtins_support.h"
#include "vbscript/operators.h"

namespace veldrane::vbs {
namespace {

using namespace detail;

// The resolved argument 0, by copy (the conversions below are cheap next to
// the call itself).
Variant Value0(Args args) {
  Variant holder;
  return ValueOf(args, 0, holder);
}

// The argument of a numeric conversion: the words True and False are text,
// not numbers, there (13).
Variant Numeric0(Args args) {
  Variant v = Value0(args);
  if (v.IsString()) ops::TextNumber(v.AsString());
  return v;
}

Variant CBool(BuiltinContext&, Args args) { return Variant(ops::ToBoolean(Value0(args))); }
Variant CByte(BuiltinContext&, Args args) {
  Variant v = Numeric0(args);
  // True is all bits set: 255 in a Byte.
  if (v.IsBoolean()) return Variant(static_cast<uint8_t>(v.AsBool() ? 255 : 0));
  return Variant(v.ToByte());
}
Variant CCur(BuiltinContext&, Args args) { return Variant(Numeric0(args).ToCurrency()); }
Variant CDbl(BuiltinContext&, Args args) { return Variant(Numeric0(args).ToDouble()); }
Variant CInt(BuiltinContext&, Args args) { return Variant(Numeric0(args).ToInteger()); }
Variant CLng(BuiltinContext&, Args args) { return Variant(Numeric0(args).ToLong()); }
Variant CSng(BuiltinContext&, Args args) { return Variant(Numeric0(args).ToSingle()); }

Variant CStr(BuiltinContext&, Args args) {
  if (args[0].IsString()) return args[0];
  return Variant(Value0(args).ToString());
}

Variant CDate(BuiltinContext&, Args args) {
  double d = Value0(args).ToDate();
  // Outside the years 100..9999 a number has no date.
  if (!(d >= -657434.0 && d < 2958466.0)) throw VbError::Overflow();
  return Variant::Date(d);
}

// Hex and Oct: negative values print as two's complement in the width of
// their subtype (Byte 8 bits, Integer and Boolean 16, everything else is
// rounded to a Long: 32).
Variant InBase(Args args, int bits_per_digit) {
  Variant v = Value0(args);
  if (v.IsNull()) return Variant::Null();
  uint32_t bits;
  switch (v.Type()) {
    case VarType::Empty: bits = 0; break;
    case VarType::Byte: bits = std::get<uint8_t>(v.storage()); break;
    case VarType::Integer:
    case VarType::Boolean: bits = static_cast<uint16_t>(v.ToInteger()); break;
    default: bits = static_cast<uint32_t>(v.ToLong()); break;
  }
  const char* digits = "0123456789ABCDEF";
  uint32_t mask = (1u << bits_per_digit) - 1;
  std::string out;
  do {
    out.insert(out.begin(), digits[bits & mask]);
    bits >>= bits_per_digit;
  } while (bits != 0);
  return Variant(std::move(out));
}

Variant Hex(BuiltinContext&, Args args) { return InBase(args, 4); }
Variant Oct(BuiltinContext&, Args args) { return InBase(args, 3); }

// Fix and Int keep the subtype of their argument (text becomes Double,
// Empty and Boolean become Integer); Null gives Null. Fix drops the fraction,
// Int rounds down.
Variant WholePart(Args args, bool floor) {
  auto round = [floor](double d) { return floor ? std::floor(d) : std::trunc(d); };
  Variant v = Value0(args);
  switch (v.Type()) {
    case VarType::Null: return v;
    case VarType::Empty: return Variant(int16_t{0});
    case VarType::Boolean: return Variant(v.ToInteger());
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long: return v;
    case VarType::Single: return Variant(static_cast<float>(round(static_cast<double>(v.ToSingle()))));
    case VarType::Currency: {
      int64_t scaled = std::get<Currency>(v.storage()).scaled;
      int64_t whole = scaled / 10000;
      if (floor && scaled < 0 && scaled % 10000 != 0) --whole;
      return Variant(Currency{whole * 10000});
    }
    case VarType::Date: return Variant::Date(round(v.AsDate()));
    default: return Variant(round(v.ToDouble()));
  }
}

Variant Fix(BuiltinContext&, Args args) { return WholePart(args, false); }
Variant Int(BuiltinContext&, Args args) { return WholePart(args, true); }

Variant DateValue(BuiltinContext&, Args args) {
  double d = CheckedDateRange(DateArg(args, 0));
  return Variant::Date(std::trunc(d));
}

Variant TimeValue(BuiltinContext&, Args args) {
  Variant v = Value0(args);
  if (v.IsNull()) return v;
  double d = CheckedDateRange(v.ToDate());
  // The time of a date before day 0 is still measured forward from midnight.
  return Variant::Date(std::fabs(d - std::trunc(d)));
}

const BuiltinSpec kConversionBuiltins[] = {
    {"CBool", CBool, 1, 1},
    {"CByte", CByte, 1, 1},
    {"CCur", CCur, 1, 1},
    {"CDate", CDate, 1, 1},
    {"CDbl", CDbl, 1, 1},
    {"CInt", CInt, 1, 1},
    {"CLng", CLng, 1, 1},
    {"CSng", CSng, 1, 1},
    {"CStr", CStr, 1, 1},
    {"DateValue", DateValue, 1, 1},
    {"Fix", Fix, 1, 1},
    {"Hex", Hex, 1, 1},
    {"Int", Int, 1, 1},
    {"Oct", Oct, 1, 1},
    {"TimeValue", TimeValue, 1, 1},
};

}  // namespace

std::span<const BuiltinSpec> ConversionBuiltins() { return kConversionBuiltins; }

}  // namespace veldrane::vbs
