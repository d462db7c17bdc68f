// DateAdd, DateDiff and DatePart: the interval-driven date functions.
// Interval codes: yyyy year, q quarter, m month, y day of year, d day,
// w weekday, ww week, h hour, n minute, s second.
#include <cmath>
#include <optional>
#include <string>

#include "core/text.h"
#include "vbscript/builtins_dates.h"
#include "vbscript/builtins_support.h"

namespace veldrane::vbs::detail {

namespace {

enum class Interval { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };

Interval IntervalArg(Args args) {
  Variant holder;
  const Variant& v = ValueOf(args, 0, holder);
  if (v.IsNull()) throw VbError::InvalidUseOfNull();
  std::string code = ToLowerAscii(TextArg(v).view());
  if (code == "yyyy") return Interval::Year;
  if (code == "q") return Interval::Quarter;
  if (code == "m") return Interval::Month;
  if (code == "y") return Interval::DayOfYear;
  if (code == "d") return Interval::Day;
  if (code == "w") return Interval::Weekday;
  if (code == "ww") return Interval::Week;
  if (code == "h") return Interval::Hour;
  if (code == "n") return Interval::Minute;
  if (code == "s") return Interval::Second;
  throw VbError::InvalidCall();
}

// A date argument, or nullopt for Null (the interval functions give Null).
std::optional<double> OptionalDate(Args args, size_t i) {
  Variant holder;
  const Variant& v = ValueOf(args, i, holder);
  if (v.IsNull()) return std::nullopt;
  return CheckedDateRange(v.ToDate());
}

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// Adds months; a day past the end of the new month becomes its last day.
double AddMonths(double date, int64_t months) {
  DateParts p = SplitDate(date);
  int64_t total = int64_t{p.year} * 12 + (p.month - 1) + months;
  if (total < 100 * 12 || total > 9999 * 12 + 11) throw VbError::InvalidCall();
  p.year = static_cast<int>(total / 12);
  p.month = static_cast<int>(total % 12) + 1;
  int last = DaysInMonth(p.year, p.month);
  if (p.day > last) p.day = last;
  return OaFromParts(p);
}

// The day number of a date (days since day 0, time dropped).
int64_t DayNumber(double date) {
  int64_t s = LinearSeconds(date);
  return s / 86400 - ((s % 86400 != 0) && s < 0);
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// The day number on which the week holding `day` starts.
int64_t WeekStart(int64_t day, int first_day) {
  int weekday = RelativeWeekday(static_cast<double>(day), first_day);
  return day - (weekday - 1);
}

// The day number on which week 1 of `year` starts.
int64_t FirstWeekStart(int year, int first_day, int first_week) {
  int64_t jan1 = static_cast<int64_t>(OaFromParts(DateParts{year, 1, 1}));
  int weekday = RelativeWeekday(static_cast<double>(jan1), first_day);
  int64_t start = jan1 - (weekday - 1);
  if (first_week == 2 && 8 - weekday < 4) start += 7;  // needs four days in the year
  if (first_week == 3 && weekday != 1) start += 7;     // needs a full week
  return start;
}

int WeekOfYear(double date, int first_day, int first_week) {
  int64_t day = DayNumber(date);
  int year = SplitDate(date).year;
  int64_t start = FirstWeekStart(year, first_day, first_week);
  // Days before week 1 belong to the last week of the year before.
  if (day < start) start = FirstWeekStart(year - 1, first_day, first_week);
  return static_cast<int>((day - start) / 7 + 1);
}

Variant CheckedLong(int64_t v) {
  if (v < INT32_MIN || v > INT32_MAX) throw VbError::Overflow();
  return Variant(static_cast<int32_t>(v));
}

}  // namespace

// DateAdd(interval, number, date)
Variant DateAdd(BuiltinContext&, Args args) {
  Interval interval = IntervalArg(args);
  int64_t n = LongArg(args, 1);
  std::optional<double> date = OptionalDate(args, 2);
  if (!date) return Variant::Null();
  double result = 0;
  switch (interval) {
    case Interval::Year: result = AddMonths(*date, n * 12); break;
    case Interval::Quarter: result = AddMonths(*date, n * 3); break;
    case Interval::Month: result = AddMonths(*date, n); break;
    case Interval::DayOfYear:
    case Interval::Day:
    case Interval::Weekday: result = FromLinearSeconds(LinearSeconds(*date) + n * 86400); break;
    case Interval::Week: result = FromLinearSeconds(LinearSeconds(*date) + n * 7 * 86400); break;
    case Interval::Hour: result = FromLinearSeconds(LinearSeconds(*date) + n * 3600); break;
    case Interval::Minute: result = FromLinearSeconds(LinearSeconds(*date) + n * 60); break;
    case Interval::Second: result = FromLinearSeconds(LinearSeconds(*date) + n); break;
  }
  return Variant::Date(CheckedDateRange(result));
}

// DateDiff(interval, date1, date2[, firstdayofweek[, firstweekofyear]]):
// the number of interval boundaries crossed going from date1 to date2.
Variant DateDiff(BuiltinContext&, Args args) {
  Interval interval = IntervalArg(args);
  int first_day = FirstDayOfWeekArg(args, 3);
  FirstWeekOfYearArg(args, 4);  // validated; week counting does not depend on it
  std::optional<double> d1 = OptionalDate(args, 1), d2 = OptionalDate(args, 2);
  if (!d1 || !d2) return Variant::Null();
  DateParts p1 = SplitDate(*d1), p2 = SplitDate(*d2);
  int64_t s1 = LinearSeconds(*d1), s2 = LinearSeconds(*d2);
  switch (interval) {
    case Interval::Year: return CheckedLong(p2.year - p1.year);
    case Interval::Quarter:
      return CheckedLong((int64_t{p2.year} * 4 + (p2.month - 1) / 3) - (int64_t{p1.year} * 4 + (p1.month - 1) / 3));
    case Interval::Month: return CheckedLong((int64_t{p2.year} * 12 + p2.month) - (int64_t{p1.year} * 12 + p1.month));
    case Interval::DayOfYear:
    case Interval::Day: return CheckedLong(DayNumber(*d2) - DayNumber(*d1));
    case Interval::Weekday: return CheckedLong((DayNumber(*d2) - DayNumber(*d1)) / 7);
    case Interval::Week:
      return CheckedLong((WeekStart(DayNumber(*d2), first_day) - WeekStart(DayNumber(*d1), first_day)) / 7);
    case Interval::Hour: return CheckedLong(FloorDiv(s2, 3600) - FloorDiv(s1, 3600));
    case Interval::Minute: return CheckedLong(FloorDiv(s2, 60) - FloorDiv(s1, 60));
    case Interval::Second: return CheckedLong(s2 - s1);
  }
  return Variant();
}

// DatePart(interval, date[, firstdayofweek[, firstweekofyear]])
Variant DatePart(BuiltinContext&, Args args) {
  Interval interval = IntervalArg(args);
  int first_day = FirstDayOfWeekArg(args, 2);
  int first_week = FirstWeekOfYearArg(args, 3);
  std::optional<double> date = OptionalDate(args, 1);
  if (!date) return Variant::Null();
  DateParts p = SplitDate(*date);
  int part = 0;
  switch (interval) {
    case Interval::Year: part = p.year; break;
    case Interval::Quarter: part = (p.month - 1) / 3 + 1; break;
    case Interval::Month: part = p.month; break;
    case Interval::DayOfYear:
      part = static_cast<int>(DayNumber(*date) - static_cast<int64_t>(OaFromParts(DateParts{p.year, 1, 1}))) + 1;
      break;
    case Interval::Day: part = p.day; break;
    case Interval::Weekday: part = RelativeWeekday(*date, first_day); break;
    case Interval::Week: part = WeekOfYear(*date, first_day, first_week); break;
    case Interval::Hour: part = p.hour; break;
    case Interval::Minute: part = p.minute; break;
    case Interval::Second: part = p.second; break;
  }
  return Variant(static_cast<int16_t>(part));
}

}  // namespace veldrane::vbs::detail
