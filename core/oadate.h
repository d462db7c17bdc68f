// Date-time values as the platform holds them: a double counting days since
// 1899-12-30 (day 0), the fraction being the time of day. Negative values keep
// the platform's convention: the whole part is the day, the fraction is the
// time of that day measured forward (-1.25 is 1899-12-29 06:00).
//
// Formatting is fixed and locale-independent ("yyyy-mm-dd hh:nn:ss"), so SQL
// text and logs built from dates read the same on every machine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace veldrane {

struct DateParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
  int millisecond = 0;
};

// Days since 1899-12-30 for a proleptic Gregorian date (month and day may be
// out of range; they roll over as DateSerial does).
double OaFromParts(const DateParts& parts);
// Splits an OLE date into its calendar parts (rounded to the millisecond).
DateParts OaToParts(double oadate);

// 0 = Sunday ... 6 = Saturday.
int OaDayOfWeek(double oadate);

// The current local date and time.
double OaNow();

// Fixed formats: "yyyy-mm-dd hh:nn:ss"; a date without time gives
// "yyyy-mm-dd"; a time on day 0 gives "hh:nn:ss".
std::string FormatOaDate(double oadate);
// Always "yyyy-mm-ddThh:nn:ss" (the persisted-recordset form).
std::string FormatOaDateIso(double oadate);

// Parses the forms we write and the common unambiguous ones:
// "yyyy-mm-dd", "yyyy/mm/dd", "yyyy-mm-ddThh:nn:ss", "m/d/yyyy", either
// followed by a time "hh:nn[:ss][.fff]" with optional AM/PM, or a time alone.
std::optional<double> ParseOaDate(std::string_view text);

}  // namespace veldrane
