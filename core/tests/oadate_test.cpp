#include "core/oadate.h"

#include <gtest/gtest.h>

namespace veldrane {
namespace {

TEST(OaDate, DayZeroAndKnownDates) {
  EXPECT_DOUBLE_EQ(OaFromParts({1899, 12, 30}), 0.0);
  EXPECT_DOUBLE_EQ(OaFromParts({2000, 1, 1}), 36526.0);
  EXPECT_DOUBLE_EQ(OaFromParts({1900, 3, 1}), 61.0);
  EXPECT_EQ(OaDayOfWeek(0), 6);      // Saturday
  EXPECT_EQ(OaDayOfWeek(36526), 6);  // 2000-01-01 was a Saturday
}

TEST(OaDate, PartsRollOverAsDateSerialDoes) {
  EXPECT_EQ(FormatOaDate(OaFromParts({2026, 13, 1})), "2027-01-01");
  EXPECT_EQ(FormatOaDate(OaFromParts({2026, 3, 0})), "2026-02-28");
  EXPECT_EQ(FormatOaDate(OaFromParts({2026, 0, 15})), "2025-12-15");
}

// A month given in range and the same month rolled over from the year
// before name the very same date value, to the last bit.
TEST(OaDate, RolledAndPlainPartsGiveTheSameValue) {
  for (int year : {1900, 1970, 2000, 2024, 2100}) {
    for (int month = 1; month <= 12; ++month) {
      for (int day : {0, 1, 15, 28, 29, 31, 40}) {
        DateParts plain{year, month, day, 13, 45, 7};
        DateParts rolled{year - 1, month + 12, day, 13, 45, 7};
        EXPECT_EQ(OaFromParts(plain), OaFromParts(rolled)) << year << "-" << month << "-" << day;
        plain.hour = plain.minute = plain.second = rolled.hour = rolled.minute = rolled.second = 0;
        EXPECT_EQ(OaFromParts(plain), OaFromParts(rolled)) << year << "-" << month << "-" << day;
      }
    }
  }
  EXPECT_EQ(FormatOaDate(OaFromParts({1899, 12, 29, 6})), "1899-12-29 06:00:00");  // before day 0
}

TEST(OaDate, ParsesTheFormsWeWriteAndCommonOnes) {
  EXPECT_EQ(FormatOaDate(*ParseOaDate("2026-12-06T09:14:46")), "2026-12-06 09:14:46");
  EXPECT_EQ(FormatOaDate(*ParseOaDate("12/6/2026 2:05 PM")), "2026-12-06 14:05:00");
  EXPECT_EQ(FormatOaDate(*ParseOaDate("23:59:59")), "23:59:59");
  EXPECT_EQ(FormatOaDateIso(*ParseOaDate("2026-12-06")), "2026-12-06T00:00:00");
  EXPECT_FALSE(ParseOaDate("").has_value());
  EXPECT_FALSE(ParseOaDate("hello").has_value());
  EXPECT_FALSE(ParseOaDate("2026-13-01").has_value());
  EXPECT_FALSE(ParseOaDate("25:00").has_value());
}

}  // namespace
}  // namespace veldrane
