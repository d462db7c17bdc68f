// Date built-ins: the clock (Date, Time, Now, Timer), parts of a date (Day,
// Month, Year, Hour, Minute, Second, Weekday), names, and building dates
// from parts (DateSerial, TimeSerial). DateAdd, DateDiff and DatePart are in
// builtins_date_math.cpp.
#include <cmath>

#include "vbscript/builtins_dates.h"
#include "vbscript/builtins_support.h"

namespace veldrane::vbs {

namespace detail {

namespace {
int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
}  // namespace

int64_t LinearSeconds(double oadate) {
  double day = std::trunc(oadate);
  double frac = std::fabs(oadate - day);
  return static_cast<int64_t>(day) * 86400 + static_cast<int64_t>(std::llround(frac * 86400.0));
}

double FromLinearSeconds(int64_t seconds) {
  int64_t day = FloorDiv(seconds, 86400);
  double time = static_cast<double>(seconds - day * 86400) / 86400.0;
  return day >= 0 ? static_cast<double>(day) + time : static_cast<double>(day) - time;
}

DateParts SplitDate(double oadate) { return OaToParts(FromLinearSeconds(LinearSeconds(oadate))); }

int WeekdayOf(double oadate) { return OaDayOfWeek(FromLinearSeconds(LinearSeconds(oadate))) + 1; }

int RelativeWeekday(double oadate, int first_day) { return (WeekdayOf(oadate) - first_day + 7) % 7 + 1; }

const char* MonthNameOf(int month, bool abbreviate) {
  static const char* const kFull[] = {"January", "February", "March",     "April",   "May",      "June",
                                      "July",    "August",   "September", "October", "November", "December"};
  static const char* const kShort[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  return abbreviate ? kShort[month - 1] : kFull[month - 1];
}

const char* DayNameOf(int weekday, bool abbreviate) {
  static const char* const kFull[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  static const char* const kShort[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  return abbreviate ? kShort[weekday - 1] : kFull[weekday - 1];
}

}  // namespace detail

namespace {

using namespace detail;

// The current moment, to the whole second (the clock functions' resolution).
double NowSeconds() { return FromLinearSeconds(LinearSeconds(OaNow())); }

Variant Now(BuiltinContext&, Args) { return Variant::Date(NowSeconds()); }
Variant Date(BuiltinContext&, Args) { return Variant::Date(std::trunc(OaNow())); }
Variant Time(BuiltinContext&, Args) {
  double now = NowSeconds();
  return Variant::Date(now - std::trunc(now));
}

Variant Timer(BuiltinContext&, Args) {
  double now = OaNow();
  double seconds = (now - std::trunc(now)) * 86400.0;
  // Hundredths of a second, as the clock reports them.
  return Variant(static_cast<float>(std::floor(seconds * 100.0 + 0.5) / 100.0));
}

// Runs `part` on the date of argument 0; Null gives Null.
template <class F>
Variant OnDate(Args args, F part) {
  Variant holder;
  const Variant& v = ValueOf(args, 0, holder);
  if (v.IsNull()) return Variant::Null();
  return Variant(static_cast<int16_t>(part(CheckedDateRange(v.ToDate()))));
}

Variant Year(BuiltinContext&, Args args) {
  return OnDate(args, [](double d) { return SplitDate(d).year; });
}
Variant Month(BuiltinContext&, Args args) {
  return OnDate(args, [](double d) { return SplitDate(d).month; });
}
Variant Day(BuiltinContext&, Args args) {
  return OnDate(args, [](double d) { return SplitDate(d).day; });
}
Variant Hour(BuiltinContext&, Args args) {
  return OnDate(args, [](double d) { return SplitDate(d).hour; });
}
Variant Minute(BuiltinContext&, Args args) {
  return OnDate(args, [](double d) { return SplitDate(d).minute; });
}
Variant Second(BuiltinContext&, Args args) {
  return OnDate(args, [](double d) { return SplitDate(d).second; });
}

Variant Weekday(BuiltinContext&, Args args) {
  int first = FirstDayOfWeekArg(args, 1);
  return OnDate(args, [first](double d) { return RelativeWeekday(d, first); });
}

Variant MonthName(BuiltinContext&, Args args) {
  int32_t month = LongArg(args, 0);
  if (month < 1 || month > 12) throw VbError::InvalidCall();
  return Variant(MonthNameOf(month, BoolArgOr(args, 1, false)));
}

Variant WeekdayName(BuiltinContext&, Args args) {
  int32_t weekday = LongArg(args, 0);
  bool abbreviate = BoolArgOr(args, 1, false);
  int first = FirstDayOfWeekArg(args, 2);
  if (weekday < 1 || weekday > 7) throw VbError::InvalidCall();
  return Variant(DayNameOf((weekday - 1 + first - 1) % 7 + 1, abbreviate));
}

// An Integer argument (DateSerial and TimeSerial take Integers); Null raises 94.
int32_t IntegerArg(Args args, size_t i) {
  Variant holder;
  return ValueOf(args, i, holder).ToInteger();
}

Variant DateSerial(BuiltinContext&, Args args) {
  int32_t year = IntegerArg(args, 0);
  // Two-digit years: 0-29 are this century's, 30-99 the last one's.
  if (year >= 0 && year <= 29) year += 2000;
  else if (year >= 30 && year <= 99) year += 1900;
  DateParts parts;
  parts.year = year;
  parts.month = IntegerArg(args, 1);
  parts.day = IntegerArg(args, 2);
  return Variant::Date(CheckedDateRange(OaFromParts(parts)));
}

Variant TimeSerial(BuiltinContext&, Args args) {
  int64_t seconds = int64_t{IntegerArg(args, 0)} * 3600 + int64_t{IntegerArg(args, 1)} * 60 + IntegerArg(args, 2);
  return Variant::Date(CheckedDateRange(FromLinearSeconds(seconds)));
}

const BuiltinSpec kDateBuiltins[] = {
    {"Date", Date, 0, 0},
    {"DateAdd", DateAdd, 3, 3},
    {"DateDiff", DateDiff, 3, 5},
    {"DatePart", DatePart, 2, 4},
    {"DateSerial", DateSerial, 3, 3},
    {"Day", Day, 1, 1},
    {"Hour", Hour, 1, 1},
    {"Minute", Minute, 1, 1},
    {"Month", Month, 1, 1},
    {"MonthName", MonthName, 1, 2},
    {"Now", Now, 0, 0},
    {"Second", Second, 1, 1},
    {"Time", Time, 0, 0},
    {"Timer", Timer, 0, 0},
    {"TimeSerial", TimeSerial, 3, 3},
    {"Weekday", Weekday, 1, 2},
    {"WeekdayName", WeekdayName, 1, 3},
    {"Year", Year, 1, 1},
};

}  // namespace

std::span<const BuiltinSpec> DateBuiltins() { return kDateBuiltins; }

}  // namespace veldrane::vbs
