// Date built-ins: calendar arithmetic across month ends, leap years and the
// negative dates before day 0, week numbering, and the fixed formats.
#include <gtest/gtest.h>

#include <vector>

#include "core/oadate.h"
#include "vbscript/builtins.h"
#include "vbscript/tests/builtins_test_support.h"

namespace veldrane::vbs {
namespace {

Variant D(const char* text) { return Variant::Date(*ParseOaDate(text)); }

TEST(DateBuiltins, DateAddClampsToTheMonthsEnd) {
  struct Row {
    const char* interval;
    int32_t n;
    const char* date;
    const char* expected;
  } rows[] = {
      {"m", 1, "2026-01-31", "2026-02-28"},
      {"m", 1, "2024-01-31", "2024-02-29"},
      {"yyyy", 1, "2024-02-29", "2025-02-28"},
      {"q", -1, "2026-05-31", "2026-02-28"},
      {"M", 13, "2026-01-15 10:30:00", "2027-02-15 10:30:00"},
      {"d", -1, "2026-03-01", "2026-02-28"},
      {"ww", 2, "2026-12-25", "2027-01-08"},
      {"h", 25, "2026-12-31 23:00:00", "2027-01-02"},
      {"n", -90, "2026-01-01 00:30:00", "2025-12-31 23:00:00"},
      {"s", 86400, "2026-01-01", "2026-01-02"},
      // Before day 0 the time runs forward from the day's start.
      {"h", 6, "1899-12-29", "1899-12-29 06:00:00"},
      {"h", -54, "1899-12-31 06:00:00", "1899-12-29"},
      {"n", -1, "1899-12-30", "1899-12-29 23:59:00"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Text(Call("DateAdd", {r.interval, r.n, D(r.date)})), r.expected) << r.interval << r.n << r.date;
  }
  EXPECT_EQ(ErrorOf("DateAdd", {"x", int16_t{1}, D("2026-01-01")}), 5);
  EXPECT_EQ(ErrorOf("DateAdd", {"yyyy", int16_t{8000}, D("2026-01-01")}), 5);
  EXPECT_TRUE(Call("DateAdd", {"d", int16_t{1}, Variant::Null()}).IsNull());
}

TEST(DateBuiltins, DateDiffCountsBoundariesCrossed) {
  struct Row {
    const char* interval;
    const char* d1;
    const char* d2;
    int32_t expected;
  } rows[] = {
      {"yyyy", "2026-12-31", "2027-01-01", 1},
      {"q", "2026-03-31", "2026-04-01", 1},
      {"m", "2026-01-31", "2026-02-01", 1},
      {"m", "2026-03-15", "2026-01-20", -2},
      {"d", "2026-01-01 23:59:00", "2026-01-02 00:01:00", 1},
      {"y", "2026-01-01", "2027-01-01", 365},
      {"w", "2026-01-01", "2026-01-14", 1},
      {"ww", "2026-12-05", "2026-12-06", 1},  // Saturday to Sunday
      {"ww", "2026-12-06", "2026-12-12", 0},
      {"h", "2026-01-01 10:59:00", "2026-01-01 11:00:00", 1},
      {"n", "2026-01-01 10:00:59", "2026-01-01 10:01:00", 1},
      {"s", "2026-01-01", "2025-12-31 23:59:00", -60},
      {"d", "1899-12-29 18:00:00", "1899-12-30 06:00:00", 1},
      {"h", "1899-12-29 18:00:00", "1899-12-30 06:00:00", 12},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Call("DateDiff", {r.interval, D(r.d1), D(r.d2)}).AsLong(), r.expected) << r.interval << r.d1 << r.d2;
  }
  // Weeks starting on Monday: Sunday to Monday crosses one.
  EXPECT_EQ(Call("DateDiff", {"ww", D("2026-12-06"), D("2026-12-07"), int16_t{2}}).AsLong(), 1);
  EXPECT_EQ(ErrorOf("DateDiff", {"s", D("0100-01-01"), D("9999-01-01")}), 6);
  EXPECT_EQ(ErrorOf("DateDiff", {"d", D("2026-01-01"), D("2026-01-02"), int16_t{8}}), 5);
}

TEST(DateBuiltins, DatePartAndWeekNumbering) {
  EXPECT_EQ(Call("DatePart", {"y", D("2024-12-31")}).AsInteger(), 366);
  EXPECT_EQ(Call("DatePart", {"q", D("2026-08-01")}).AsInteger(), 3);
  EXPECT_EQ(Call("DatePart", {"w", D("2026-12-06")}).AsInteger(), 1);  // a Sunday
  EXPECT_EQ(Call("DatePart", {"w", D("2026-12-06"), int16_t{2}}).AsInteger(), 7);
  // 2027-01-01 is a Friday.
  EXPECT_EQ(Call("DatePart", {"ww", D("2027-01-01")}).AsInteger(), 1);
  EXPECT_EQ(Call("DatePart", {"ww", D("2027-01-03")}).AsInteger(), 2);
  EXPECT_EQ(Call("DatePart", {"ww", D("2027-01-04"), int16_t{2}, int16_t{2}}).AsInteger(), 1);
  EXPECT_EQ(Call("DatePart", {"ww", D("2027-01-01"), int16_t{2}, int16_t{2}}).AsInteger(), 53);
  EXPECT_EQ(Call("DatePart", {"ww", D("2027-01-03"), int16_t{1}, int16_t{3}}).AsInteger(), 1);
  EXPECT_EQ(Call("DatePart", {"ww", D("2026-12-31")}).AsInteger(), 53);
  EXPECT_EQ(Call("DatePart", {"h", D("2026-12-06 14:05:09")}).AsInteger(), 14);
}

TEST(DateBuiltins, SerialsRollOverAndReadTwoDigitYears) {
  EXPECT_EQ(Text(Call("DateSerial", {int16_t{26}, int16_t{12}, int16_t{6}})), "2026-12-06");
  EXPECT_EQ(Text(Call("DateSerial", {int16_t{29}, int16_t{1}, int16_t{1}})), "2029-01-01");
  EXPECT_EQ(Text(Call("DateSerial", {int16_t{30}, int16_t{1}, int16_t{1}})), "1930-01-01");
  EXPECT_EQ(Text(Call("DateSerial", {int16_t{2026}, int16_t{14}, int16_t{0}})), "2027-01-31");
  EXPECT_EQ(Text(Call("DateSerial", {int16_t{2026}, int16_t{3}, int16_t{-1}})), "2026-02-27");
  EXPECT_EQ(Text(Call("DateSerial", {int16_t{2026}, int16_t{-1}, int16_t{1}})), "2025-11-01");
  EXPECT_EQ(Text(Call("TimeSerial", {int16_t{12}, int16_t{-30}, int16_t{90}})), "11:31:30");
  EXPECT_EQ(Text(Call("TimeSerial", {int16_t{25}, int16_t{0}, int16_t{0}})), "1899-12-31 01:00:00");
  EXPECT_EQ(Text(Call("TimeSerial", {int16_t{-1}, int16_t{0}, int16_t{0}})), "1899-12-29 23:00:00");
  EXPECT_EQ(ErrorOf("DateSerial", {int16_t{10000}, int16_t{1}, int16_t{1}}), 5);
  EXPECT_EQ(ErrorOf("DateSerial", {Variant::Null(), int16_t{1}, int16_t{1}}), 94);
}

TEST(DateBuiltins, PartsNamesAndFormats) {
  Variant d = D("2026-12-06 09:04:59");
  EXPECT_EQ(Call("Year", {d}).AsInteger(), 2026);
  EXPECT_EQ(Call("Second", {D("2026-12-06 09:04:59.600")}).AsInteger(), 0);  // rounds to the second
  EXPECT_EQ(Call("Minute", {D("2026-12-06 09:04:59.600")}).AsInteger(), 5);
  EXPECT_EQ(Call("Weekday", {d}).AsInteger(), 1);
  EXPECT_EQ(Call("Weekday", {d, int16_t{7}}).AsInteger(), 2);
  EXPECT_EQ(Call("Day", {"2026-02-03"}).AsInteger(), 3);
  EXPECT_TRUE(Call("Month", {Variant::Null()}).IsNull());
  EXPECT_EQ(ErrorOf("Month", {"soon"}), 13);
  EXPECT_EQ(Text(Call("MonthName", {int16_t{9}, true})), "Sep");
  EXPECT_EQ(Text(Call("WeekdayName", {int16_t{1}, false, int16_t{2}})), "Monday");
  EXPECT_EQ(ErrorOf("MonthName", {int16_t{13}}), 5);
  EXPECT_EQ(Text(Call("FormatDateTime", {d, int16_t{1}})), "Sunday, December 06, 2026");
  EXPECT_EQ(Text(Call("FormatDateTime", {d, int16_t{2}})), "2026-12-06");
  EXPECT_EQ(Text(Call("FormatDateTime", {d, int16_t{3}})), "09:04:59");
  EXPECT_EQ(Text(Call("FormatDateTime", {d, int16_t{4}})), "09:04");
  EXPECT_EQ(Text(Call("FormatDateTime", {d})), "2026-12-06 09:04:59");
  EXPECT_EQ(ErrorOf("FormatDateTime", {d, int16_t{5}}), 5);
}

TEST(DateBuiltins, DatesWithMonthNamesReadBack) {
  // What FormatDateTime writes as a long date converts back.
  Variant d = D("2026-12-06");
  EXPECT_EQ(Text(Call("CDate", {Call("FormatDateTime", {d, int16_t{1}})})), "2026-12-06");
  EXPECT_EQ(Text(Call("CDate", {"Dec 6, 2026 2:05 PM"})), "2026-12-06 14:05:00");
  EXPECT_EQ(Text(Call("DateValue", {"6-dec-26"})), "2026-12-06");
  EXPECT_EQ(Text(Call("CDate", {"1 MAY 1999"})), "1999-05-01");
  EXPECT_TRUE(Call("IsDate", {"6 December 2026"}).AsBool());
  EXPECT_FALSE(Call("IsDate", {"February 30, 2026"}).AsBool());
  EXPECT_FALSE(Call("IsDate", {"Smarch 6, 2026"}).AsBool());
  EXPECT_FALSE(Call("IsDate", {"Decem 6, 2026"}).AsBool());
  EXPECT_FALSE(Call("IsDate", {"Sunday"}).AsBool());
  EXPECT_FALSE(Call("IsDate", {int16_t{12}}).AsBool());
}

TEST(DateBuiltins, ClockAgreesWithItself) {
  double now = Call("Now", {}).AsDate();
  double date = Call("Date", {}).AsDate();
  double timer = Call("Timer", {}).ToDouble();
  EXPECT_LE(date, now);
  EXPECT_LT(now - date, 1.0 + 1e-6);
  EXPECT_GE(timer, 0.0);
  EXPECT_LE(timer, 86400.0);
  EXPECT_EQ(Call("Time", {}).Type(), VarType::Date);
}

}  // namespace
}  // namespace veldrane::vbs
