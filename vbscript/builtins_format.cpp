// Formatting built-ins: FormatNumber, FormatCurrency, FormatPercent and
// FormatDateTime. The output is the same on every machine: numbers as the
// en-US locale writes them ("." decimal point, "," between groups of three,
// "$" before amounts, two decimals by default), dates in the fixed forms.
#include <cstdio>

#include "vbscript/builtins_dates.h"
#include "vbscript/builtins_support.h"

namespace veldrane::vbs {
namespace {

using namespace detail;

constexpr int32_t kTristateTrue = -1;
constexpr int32_t kTristateFalse = 0;
constexpr int32_t kTristateDefault = -2;

// A Tristate argument (vbTrue, vbFalse, vbUseDefault) as a bool.
bool TristateArg(Args args, size_t i, bool fallback) {
  int32_t v = LongArgOr(args, i, kTristateDefault);
  if (v == kTristateDefault) return fallback;
  if (v != kTristateTrue && v != kTristateFalse && v != 1) throw VbError::InvalidCall();
  return v != kTristateFalse;
}

struct NumberStyle {
  int places = 2;
  bool leading_digit = true;
  bool parens = false;
  bool group = true;
  const char* prefix = "";  // "$" for currency
  const char* suffix = "";  // "%" for percent
};

// Reads the four optional style arguments that follow the value.
NumberStyle StyleArgs(Args args, bool default_parens) {
  NumberStyle style;
  int32_t places = LongArgOr(args, 1, -1);
  if (places < -1 || places > 99) throw VbError::InvalidCall();
  style.places = places == -1 ? 2 : places;
  style.leading_digit = TristateArg(args, 2, true);
  style.parens = TristateArg(args, 3, default_parens);
  style.group = TristateArg(args, 4, true);
  return style;
}

// The value to format: numbers and numeric text. Null is not a number to
// format: 13, as for any other value that is not one.
double NumberArg(Args args) {
  Variant holder;
  const Variant& v = ValueOf(args, 0, holder);
  if (v.IsNull()) throw VbError::TypeMismatch();
  return v.ToDouble();
}

std::string FormatWithStyle(double value, const NumberStyle& style) {
  DecimalDigits d = RoundDecimal(value, style.places, false);
  std::string whole;
  for (size_t i = 0; i < d.whole.size(); ++i) {
    if (style.group && i > 0 && (d.whole.size() - i) % 3 == 0) whole += ',';
    whole += d.whole[i];
  }
  if (!style.leading_digit && whole == "0" && style.places > 0) whole.clear();
  std::string body = std::string(style.prefix) + whole;
  if (style.places > 0) body += "." + d.fraction;
  body += style.suffix;
  if (!d.negative) return body;
  return style.parens ? "(" + body + ")" : "-" + body;
}

Variant FormatNumber(BuiltinContext&, Args args) {
  double value = NumberArg(args);
  return Variant(FormatWithStyle(value, StyleArgs(args, false)));
}

Variant FormatCurrency(BuiltinContext&, Args args) {
  double value = NumberArg(args);
  NumberStyle style = StyleArgs(args, true);
  style.prefix = "$";
  return Variant(FormatWithStyle(value, style));
}

Variant FormatPercent(BuiltinContext&, Args args) {
  double value = NumberArg(args);
  NumberStyle style = StyleArgs(args, false);
  style.suffix = "%";
  return Variant(FormatWithStyle(value * 100.0, style));
}

constexpr int32_t kGeneralDate = 0;
constexpr int32_t kLongDate = 1;
constexpr int32_t kShortDate = 2;
constexpr int32_t kLongTime = 3;
constexpr int32_t kShortTime = 4;

Variant FormatDateTime(BuiltinContext&, Args args) {
  if (args[0].IsNull()) throw VbError::TypeMismatch();
  double date = CheckedDateRange(DateArg(args, 0));
  int32_t format = LongArgOr(args, 1, kGeneralDate);
  DateParts p = SplitDate(date);
  char buf[80];
  switch (format) {
    case kGeneralDate: return Variant(Variant::Date(date).ToString());
    case kLongDate:
      std::snprintf(buf, sizeof buf, "%s, %s %02d, %04d", DayNameOf(WeekdayOf(date), false),
                    MonthNameOf(p.month, false), p.day, p.year);
      break;
    case kShortDate: std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.year, p.month, p.day); break;
    case kLongTime: std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", p.hour, p.minute, p.second); break;
    case kShortTime: std::snprintf(buf, sizeof buf, "%02d:%02d", p.hour, p.minute); break;
    default: throw VbError::InvalidCall();
  }
  return Variant(std::string(buf));
}

const BuiltinSpec kFormatBuiltins[] = {
    {"FormatCurrency", FormatCurrency, 1, 5},
    {"FormatDateTime", FormatDateTime, 1, 2},
    {"FormatNumber", FormatNumber, 1, 5},
    {"FormatPercent", FormatPercent, 1, 5},
};

}  // namespace

std::span<const BuiltinSpec> FormatBuiltins() { return kFormatBuiltins; }

}  // namespace veldrane::vbs
