#include "core/oadate.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace veldrane {

namespace {

// Days from 1970-01-01 for a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = yoe + era * 400;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

const int64_t kEpochOffset = DaysFromCivil(1899, 12, 30);  // days from 1970 to day 0

}  // namespace

double OaFromParts(const DateParts& p) {
  // The common case, a date on or after day 0 with its month in range and
  // whole seconds (every date read from a database's text), without the
  // rolling below; the sum is the same, being exact in whole numbers.
  if (p.month >= 1 && p.month <= 12 && p.millisecond == 0 && p.year >= 1900) {
    int64_t days = DaysFromCivil(p.year, p.month, 1) + (p.day - 1) - kEpochOffset;
    if (days >= 0) return static_cast<double>(days) + (p.hour * 3600 + p.minute * 60 + p.second) / 86400.0;
  }
  // Roll months over first, as DateSerial does, then let days roll freely.
  int64_t month0 = static_cast<int64_t>(p.month) - 1;
  int64_t year = p.year + (month0 >= 0 ? month0 / 12 : -((11 - month0) / 12));
  int64_t month = ((month0 % 12) + 12) % 12 + 1;
  int64_t days = DaysFromCivil(year, month, 1) + (p.day - 1) - kEpochOffset;
  double time = (p.hour * 3600.0 + p.minute * 60.0 + p.second + p.millisecond / 1000.0) / 86400.0;
  // Negative dates carry the time forward from the day's start.
  if (days < 0 && time != 0) {
    double whole = static_cast<double>(days) + std::floor(time);
    double frac = time - std::floor(time);
    return whole - frac;
  }
  return static_cast<double>(days) + time;
}

DateParts OaToParts(double oadate) {
  double whole = std::trunc(oadate);
  double frac = std::fabs(oadate - whole);
  int64_t ms = static_cast<int64_t>(std::llround(frac * 86400000.0));
  int64_t day = static_cast<int64_t>(whole);
  if (ms >= 86400000) {
    ms -= 86400000;
    day += oadate < 0 ? -1 : 1;
  }
  DateParts p;
  CivilFromDays(day + kEpochOffset, p.year, p.month, p.day);
  p.hour = static_cast<int>(ms / 3600000);
  p.minute = static_cast<int>((ms / 60000) % 60);
  p.second = static_cast<int>((ms / 1000) % 60);
  p.millisecond = static_cast<int>(ms % 1000);
  return p;
}

int OaDayOfWeek(double oadate) {
  int64_t day = static_cast<int64_t>(std::trunc(oadate));
  // Day 0 (1899-12-30) was a Saturday.
  return static_cast<int>(((day + 6) % 7 + 7) % 7);
}

double OaNow() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t t = system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  DateParts p{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, ms};
  return OaFromParts(p);
}

std::string FormatOaDate(double oadate) {
  DateParts p = OaToParts(oadate);
  char buf[40];
  bool has_time = (p.hour | p.minute | p.second) != 0;
  bool day_zero = std::trunc(oadate) == 0;
  if (day_zero && has_time) {
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", p.hour, p.minute, p.second);
  } else if (!has_time) {
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.year, p.month, p.day);
  } else {
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                  p.second);
  }
  return buf;
}

std::string FormatOaDateIso(double oadate) {
  DateParts p = OaToParts(oadate);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute, p.second);
  return buf;
}

namespace {

struct Cursor {
  std::string_view s;
  size_t i = 0;
  void SkipBlanks() {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  }
  bool Number(int& out, int max_digits = 4) {
    size_t start = i;
    int v = 0;
    while (i < s.size() && i - start < static_cast<size_t>(max_digits) && s[i] >= '0' && s[i] <= '9') {
      v = v * 10 + (s[i] - '0');
      ++i;
    }
    if (i == start) return false;
    out = v;
    return true;
  }
  bool Eat(char c) {
    if (i < s.size() && s[i] == c) {
      ++i;
      return true;
    }
    return false;
  }
  bool AtEnd() const { return i >= s.size(); }
};

bool ParseTime(Cursor& c, DateParts& p) {
  int h = 0, n = 0, sec = 0;
  if (!c.Number(h, 2) || !c.Eat(':') || !c.Number(n, 2)) return false;
  if (c.Eat(':')) {
    if (!c.Number(sec, 2)) return false;
    if (c.Eat('.')) {
      int frac = 0;
      size_t start = c.i;
      c.Number(frac, 3);
      size_t digits = c.i - start;
      while (digits < 3) {
        frac *= 10;
        ++digits;
      }
      while (c.i < c.s.size() && c.s[c.i] >= '0' && c.s[c.i] <= '9') ++c.i;
      p.millisecond = frac;
    }
  }
  c.SkipBlanks();
  if (c.i + 1 < c.s.size() + 1 && c.i < c.s.size()) {
    char a = static_cast<char>(c.s[c.i] | 0x20);
    if ((a == 'a' || a == 'p') && c.i + 1 < c.s.size() && (c.s[c.i + 1] | 0x20) == 'm') {
      if (h < 1 || h > 12) return false;
      if (a == 'p' && h != 12) h += 12;
      if (a == 'a' && h == 12) h = 0;
      c.i += 2;
    }
  }
  if (h > 23 || n > 59 || sec > 59) return false;
  p.hour = h;
  p.minute = n;
  p.second = sec;
  return true;
}

bool ValidDay(int y, int m, int d) {
  static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m < 1 || m > 12 || d < 1 || d > days[m - 1]) return false;
  if (m == 2 && d == 29) return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return true;
}

// An English month or weekday name (full or three letters, any case) at the
// cursor: its 1-based position in `names`, or 0.
int NameAt(Cursor& c, const char* const* names, int count) {
  size_t start = c.i;
  while (c.i < c.s.size() && ((c.s[c.i] | 0x20) >= 'a' && (c.s[c.i] | 0x20) <= 'z')) ++c.i;
  std::string_view word = c.s.substr(start, c.i - start);
  for (int k = 0; word.size() >= 3 && k < count; ++k) {
    std::string_view name = names[k];
    if (word.size() != 3 && word.size() != name.size()) continue;
    bool same = true;
    for (size_t j = 0; j < word.size() && same; ++j) same = (word[j] | 0x20) == (name[j] | 0x20);
    if (same) return k + 1;
  }
  c.i = start;
  return 0;
}

// Dates written with a month name, as long dates are: "December 6, 2026",
// "Sunday, December 06, 2026", "6 Dec 2026", "6-Dec-2026".
bool ParseNamedDate(Cursor& c, DateParts& p) {
  static const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                        "July",    "August",   "September", "October", "November", "December"};
  static const char* const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  auto separators = [&c] {
    while (c.i < c.s.size() && (c.s[c.i] == ' ' || c.s[c.i] == ',' || c.s[c.i] == '-' || c.s[c.i] == '\t')) ++c.i;
  };
  if (NameAt(c, kDays, 7)) separators();
  int month = 0, day = 0, year = 0;
  if ((month = NameAt(c, kMonths, 12)) != 0) {
    separators();
    if (!c.Number(day, 2)) return false;
  } else {
    if (!c.Number(day, 2)) return false;
    separators();
    if ((month = NameAt(c, kMonths, 12)) == 0) return false;
  }
  separators();
  size_t year_start = c.i;
  if (!c.Number(year, 4)) return false;
  if (c.i - year_start <= 2) year = year < 30 ? 2000 + year : 1900 + year;
  if (!ValidDay(year, month, day)) return false;
  p.year = year, p.month = month, p.day = day;
  return true;
}

}  // namespace

std::optional<double> ParseOaDate(std::string_view text) {
  Cursor c{text};
  c.SkipBlanks();
  DateParts p;
  size_t save = c.i;
  int a = 0, b = 0, d = 0;
  bool have_date = false;
  if (c.Number(a, 4)) {
    char sep = c.i < text.size() ? text[c.i] : '\0';
    if ((sep == '-' || sep == '/') && c.Eat(sep) && c.Number(b, 2) && c.Eat(sep) && c.Number(d, 4)) {
      if (a >= 100 || (c.i - save) > 0) {
        if (a > 31) {  // year first
          p.year = a, p.month = b, p.day = d;
        } else {  // month/day/year
          p.month = a, p.day = b, p.year = d < 30 ? 2000 + d : (d < 100 ? 1900 + d : d);
        }
        if (!ValidDay(p.year, p.month, p.day)) return std::nullopt;
        have_date = true;
      }
    }
  }
  if (!have_date) {
    c.i = save;
    have_date = ParseNamedDate(c, p);
    if (!have_date) c.i = save;
  }
  if (have_date) {
    if (!c.Eat('T')) c.SkipBlanks();
  }
  bool have_time = false;
  if (!c.AtEnd()) {
    DateParts t = p;
    if (!ParseTime(c, t)) return std::nullopt;
    p.hour = t.hour, p.minute = t.minute, p.second = t.second, p.millisecond = t.millisecond;
    have_time = true;
  }
  c.SkipBlanks();
  if (!c.AtEnd() || (!have_date && !have_time)) return std::nullopt;
  return OaFromParts(p);
}

}  // namespace veldrane
