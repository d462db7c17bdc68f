#include "vbscript/builtins_support.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/oadate.h"
#include "vbscript/operators.h"

namespace veldrane::vbs::detail {

// ---------------------------------------------------------------------------
// Arguments

double StrictNumber(const Variant& v) { return v.IsString() ? ops::TextNumber(v.AsString()) : v.ToDouble(); }

const Variant& ValueOf(Args args, size_t i, Variant& holder) {
  static const Variant kEmpty;
  if (i >= args.size()) return kEmpty;
  if (!args[i].IsObject()) return args[i];
  holder = args[i].Resolved();
  return holder;
}

int32_t LongArg(Args args, size_t i) {
  Variant holder;
  return ValueOf(args, i, holder).ToLong();
}

int32_t LongArgOr(Args args, size_t i, int32_t fallback) { return Given(args, i) ? LongArg(args, i) : fallback; }

bool BoolArgOr(Args args, size_t i, bool fallback) {
  if (!Given(args, i)) return fallback;
  Variant holder;
  return ValueOf(args, i, holder).ToBool();
}

bool TextCompareArg(Args args, size_t i) {
  if (!Given(args, i)) return false;
  int32_t mode = LongArg(args, i);
  if (mode != 0 && mode != 1) throw VbError::InvalidCall();
  return mode == 1;
}

TextArg::TextArg(const Variant& value) {
  if (value.IsString()) {
    ref_ = &value.AsString();
  } else {
    owned_ = value.ToString();
  }
}


// ---------------------------------------------------------------------------
// UTF-8

bool IsAscii(std::string_view s) {
  const char* p = s.data();
  size_t n = s.size(), i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, p + i, 8);
    if (word & 0x8080808080808080ull) return false;
  }
  for (; i < n; ++i) {
    if (static_cast<unsigned char>(p[i]) & 0x80) return false;
  }
  return true;
}

size_t CharCount(std::string_view s) {
  // Every byte starts a unit except continuation bytes (10xxxxxx), and a
  // four-byte lead (11110xxx) starts two; both are counted eight bytes at
  // a time with bit tricks.
  const char* p = s.data();
  size_t n = s.size(), i = 0, continuation = 0, pairs = 0;
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, p + i, 8);
    if (word & kHigh) {
      // One bit per matching byte, moved to bit 0 and summed by a multiply.
      uint64_t ones = (word & ~(word << 1) & kHigh) >> 7;
      continuation += static_cast<size_t>((ones * 0x0101010101010101ull) >> 56);
      uint64_t leads = (word & (word << 1) & (word << 2) & (word << 3) & ~(word << 4) & kHigh) >> 7;
      pairs += static_cast<size_t>((leads * 0x0101010101010101ull) >> 56);
    }
  }
  for (; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(p[i]);
    continuation += (c & 0xC0) == 0x80;
    pairs += (c & 0xF8) == 0xF0;
  }
  return n - continuation + pairs;
}

namespace {

// UTF-16 units of the character whose lead byte is `c`.
size_t UnitsOf(unsigned char c) { return (c & 0xF8) == 0xF0 ? 2 : 1; }

}  // namespace

size_t ByteOffset(std::string_view s, size_t index) {
  size_t limit = index < s.size() ? index : s.size();
  if (IsAscii(s.substr(0, limit))) return limit;
  size_t pos = 0;
  for (size_t seen = 0; pos < s.size() && seen < index;) {
    seen += UnitsOf(static_cast<unsigned char>(s[pos]));
    ++pos;
    while (pos < s.size() && (static_cast<unsigned char>(s[pos]) & 0xC0) == 0x80) ++pos;
  }
  return pos;
}

std::string SliceUnits(std::string_view s, size_t from, size_t count) {
  size_t end = count > SIZE_MAX - from ? SIZE_MAX : from + count;
  if (IsAscii(s.substr(0, end < s.size() ? end : s.size()))) {
    if (from >= s.size()) return std::string();
    return std::string(s.substr(from, count));
  }
  std::u16string units = ToUtf16(s);
  if (from >= units.size()) return std::string();
  return FromUtf16(std::u16string_view(units).substr(from, count));
}

std::u16string ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    char32_t c = DecodeAt(s, i);
    if (c >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

std::string FromUtf16(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    AppendUtf8(out, c);
  }
  return out;
}

char32_t DecodeAt(std::string_view s, size_t& i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
  if (len == 1 || len == 0 || i + len > s.size()) {
    ++i;
    return c;
  }
  char32_t cp = c & (0x7F >> len);
  for (size_t k = 1; k < len; ++k) {
    unsigned char cc = static_cast<unsigned char>(s[i + k]);
    if ((cc & 0xC0) != 0x80) {
      ++i;
      return c;
    }
    cp = (cp << 6) | (cc & 0x3F);
  }
  i += len;
  return cp;
}

// ---------------------------------------------------------------------------
// Case
//
// Only pairs whose two forms are both two-byte UTF-8 characters (or both
// ASCII) are mapped; the dotted and dotless i (U+0130, U+0131) and the long s
// are left alone because their partners have a different length.

char32_t ToLowerChar(char32_t cp) {
  if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
  if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 32;
  if (cp >= 0x100 && cp <= 0x17E) {
    if (cp == 0x130 || cp == 0x131 || cp == 0x138 || cp == 0x149) return cp;
    if (cp == 0x178) return 0xFF;
    bool even_upper = (cp < 0x138) || (cp >= 0x14A && cp < 0x178);
    bool is_upper = even_upper ? (cp % 2 == 0) : (cp % 2 == 1);
    return is_upper ? cp + 1 : cp;
  }
  if (cp >= 0x391 && cp <= 0x3A9 && cp != 0x3A2) return cp + 32;
  if (cp >= 0x410 && cp <= 0x42F) return cp + 32;
  if (cp >= 0x400 && cp <= 0x40F) return cp + 80;
  return cp;
}

char32_t ToUpperChar(char32_t cp) {
  if (cp < 0x80) return (cp >= 'a' && cp <= 'z') ? cp - 32 : cp;
  if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 32;
  if (cp == 0xFF) return 0x178;
  if (cp >= 0x100 && cp <= 0x17E) {
    if (cp == 0x130 || cp == 0x131 || cp == 0x138 || cp == 0x149) return cp;
    bool even_upper = (cp < 0x138) || (cp >= 0x14A && cp < 0x178);
    bool is_lower = even_upper ? (cp % 2 == 1) : (cp % 2 == 0);
    if (cp == 0x178) return cp;
    return is_lower ? cp - 1 : cp;
  }
  if (cp == 0x3C2) return 0x3A3;  // final sigma
  if (cp >= 0x3B1 && cp <= 0x3C9) return cp - 32;
  if (cp >= 0x430 && cp <= 0x44F) return cp - 32;
  if (cp >= 0x450 && cp <= 0x45F) return cp - 80;
  return cp;
}

namespace {

template <class Map>
std::string MapCase(std::string_view s, Map map) {
  std::string out(s);
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (c < 0x80) {
      out[i] = static_cast<char>(map(c));
    } else if ((c >> 5) == 0x6 && i + 1 < out.size() && (static_cast<unsigned char>(out[i + 1]) & 0xC0) == 0x80) {
      char32_t cp = ((c & 0x1F) << 6) | (static_cast<unsigned char>(out[i + 1]) & 0x3F);
      char32_t mapped = map(cp);
      // Every mapping stays within two-byte characters, so it is rewritten in place.
      out[i] = static_cast<char>(0xC0 | (mapped >> 6));
      out[i + 1] = static_cast<char>(0x80 | (mapped & 0x3F));
      ++i;
    }
  }
  return out;
}

}  // namespace

std::string UpperText(std::string_view s) { return MapCase(s, ToUpperChar); }
std::string LowerText(std::string_view s) { return MapCase(s, ToLowerChar); }

int CompareText(std::string_view a, std::string_view b, bool text_mode) {
  int c = text_mode ? std::string_view(FoldText(a)).compare(FoldText(b)) : a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// ---------------------------------------------------------------------------
// Dates

int FirstDayOfWeekArg(Args args, size_t i) {
  int32_t day = LongArgOr(args, i, 1);
  if (day < 0 || day > 7) throw VbError::InvalidCall();
  return day == 0 ? 1 : day;
}

int FirstWeekOfYearArg(Args args, size_t i) {
  int32_t week = LongArgOr(args, i, 1);
  if (week < 0 || week > 3) throw VbError::InvalidCall();
  return week == 0 ? 1 : week;
}

double DateArg(Args args, size_t i) {
  Variant holder;
  const Variant& v = ValueOf(args, i, holder);
  if (v.IsNull()) throw VbError::InvalidUseOfNull();
  return v.ToDate();
}

double CheckedDateRange(double oadate) {
  // 100-01-01 .. 9999-12-31 23:59:59, the range a date value can hold.
  if (!(oadate >= -657434.0 && oadate < 2958466.0)) throw VbError::InvalidCall();
  return oadate;
}

}  // namespace veldrane::vbs::detail

namespace veldrane::vbs::detail {

DecimalDigits RoundDecimal(double value, int places, bool half_even) {
  DecimalDigits out;
  out.fraction.assign(static_cast<size_t>(places), '0');
  if (value == 0 || !std::isfinite(value)) return out;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
  // buf is d.dddddddddddddde[+-]XX: 15 digits, the first before the point.
  std::string digits;
  for (const char* p = buf; *p && *p != 'e'; ++p) {
    if (*p != '.') digits += *p;
  }
  int exponent = std::atoi(std::strchr(buf, 'e') + 1);
  int point = exponent + 1;  // digits before the decimal point (may be <= 0)
  // Place the digits on a grid: `point` whole digits, `places` fraction digits.
  int keep = point + places;  // digits of `digits` that survive
  std::string grid;           // whole + fraction digits, before rounding carry
  bool round_up = false;
  if (keep < 0) {
    grid.assign(static_cast<size_t>(places), '0');
  } else {
    grid = digits.substr(0, static_cast<size_t>(keep < 15 ? keep : 15));
    if (keep < 15) {
      char next = digits[static_cast<size_t>(keep)];
      bool rest_nonzero = digits.find_first_not_of('0', static_cast<size_t>(keep) + 1) != std::string::npos;
      if (next > '5' || (next == '5' && rest_nonzero)) {
        round_up = true;
      } else if (next == '5') {
        int last = grid.empty() ? 0 : grid.back() - '0';
        round_up = !half_even || (last % 2 == 1);
      }
    } else {
      grid.append(static_cast<size_t>(keep - 15), '0');
    }
    if (point < 0) grid.insert(0, static_cast<size_t>(-point), '0');
  }
  if (round_up) {
    int i = static_cast<int>(grid.size()) - 1;
    while (i >= 0 && grid[static_cast<size_t>(i)] == '9') grid[static_cast<size_t>(i--)] = '0';
    if (i >= 0) {
      ++grid[static_cast<size_t>(i)];
    } else {
      grid.insert(grid.begin(), '1');
    }
  }
  // grid holds whole digits then exactly `places` fraction digits.
  size_t whole_len = grid.size() > static_cast<size_t>(places) ? grid.size() - static_cast<size_t>(places) : 0;
  if (grid.size() < static_cast<size_t>(places)) grid.insert(0, static_cast<size_t>(places) - grid.size(), '0');
  std::string whole = grid.substr(0, whole_len);
  size_t nz = whole.find_first_not_of('0');
  out.whole = nz == std::string::npos ? "0" : whole.substr(nz);
  out.fraction = grid.substr(whole_len);
  out.negative = value < 0 && (out.whole != "0" || out.fraction.find_first_not_of('0') != std::string::npos);
  return out;
}

}  // namespace veldrane::vbs::detail
