// Date arithmetic shared by the date built-ins (builtins_dates.cpp,
// builtins_date_math.cpp) and FormatDateTime.
//
// An OLE date before day 0 counts its time forward from the start of its
// day (-1.25 is 1899-12-29 06:00), so it cannot be shifted by plain
// addition. These helpers move through a linear count of seconds instead.
#pragma once

#include <cstdint>

#include "core/oadate.h"
#include "vbscript/builtins.h"

namespace veldrane::vbs::detail {

// Seconds since 1899-12-30 00:00, rounded to the second, on a line without
// the negative-date fold.
int64_t LinearSeconds(double oadate);
// The OLE date of a linear second count.
double FromLinearSeconds(int64_t seconds);
// Calendar parts of a date, rounded to the second.
DateParts SplitDate(double oadate);
// 1 (Sunday) .. 7 (Saturday).
int WeekdayOf(double oadate);
// The weekday counted from `first_day` (1 Sunday .. 7 Saturday): 1 .. 7.
int RelativeWeekday(double oadate, int first_day);

// The English names used by MonthName, WeekdayName and FormatDateTime.
const char* MonthNameOf(int month, bool abbreviate);  // month 1..12
const char* DayNameOf(int weekday, bool abbreviate);  // 1 Sunday .. 7 Saturday

Variant DateAdd(BuiltinContext& ctx, Args args);
Variant DateDiff(BuiltinContext& ctx, Args args);
Variant DatePart(BuiltinContext& ctx, Args args);

}  // namespace veldrane::vbs::detail
