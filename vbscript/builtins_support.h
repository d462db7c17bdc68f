// Shared plumbing of the built-in functions: reading arguments the way
// VBScript coerces them, UTF-8 character arithmetic, case mapping for text
// comparison, and the week settings of the date functions.
//
// Strings are UTF-8 and counted, as scripts count them, in UTF-16 code
// units: a character outside the Basic Multilingual Plane is two. Every helper
// keeps a fast path for pure ASCII, which is what almost every script
// handles; the slow path only runs when a byte above 0x7F is seen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/object.h"
#include "core/text.h"
#include "core/variant.h"
#include "core/vb_error.h"
#include "vbscript/builtins.h"
#include "vbscript/operators.h"

namespace veldrane::vbs::detail {

// ---------------------------------------------------------------------------
// Arguments

// True when argument `i` was given and is not Empty (an omitted optional).
inline bool Given(Args args, size_t i) { return i < args.size() && !args[i].IsEmpty(); }

// The value of argument `i` (an object is read through its default member).
// Non-objects are returned by reference, so strings are not copied; `holder`
// keeps the resolved value alive otherwise.
const Variant& ValueOf(Args args, size_t i, Variant& holder);

// A Long argument, rounded as CLng rounds; Null raises 94.
int32_t LongArg(Args args, size_t i);
// An optional Long argument; `fallback` when omitted.
int32_t LongArgOr(Args args, size_t i, int32_t fallback);
// An optional Boolean argument; `fallback` when omitted.
bool BoolArgOr(Args args, size_t i, bool fallback);
// The compare argument (0 binary, 1 text); raises 5 for any other value.
bool TextCompareArg(Args args, size_t i);

// The number a value stands for (CDbl rules: the words True and False are
// not numbers); Null raises 94.
double StrictNumber(const Variant& v);

// The text of a value that is not Null: strings by reference, everything else
// through CStr.
class TextArg {
 public:
  explicit TextArg(const Variant& value);
  std::string_view view() const { return ref_ ? std::string_view(*ref_) : std::string_view(owned_); }

 private:
  std::string owned_;
  const std::string* ref_ = nullptr;  // the caller's string, when it was one
};

// The string size limit is the operators' (see ops::kMaxStringBytes).
using ops::CheckStringSize;
using ops::kMaxStringBytes;

// ---------------------------------------------------------------------------
// UTF-8

// True when every byte is below 0x80.
bool IsAscii(std::string_view s);
// Number of UTF-16 code units.
size_t CharCount(std::string_view s);
// Byte offset of the first character that starts at or after UTF-16 unit
// `index` (0-based); s.size() when past the end.
size_t ByteOffset(std::string_view s, size_t index);
// `count` UTF-16 units from unit `from` (0-based), clipped to the text. A
// cut through a surrogate pair keeps its half as a lone surrogate.
std::string SliceUnits(std::string_view s, size_t from, size_t count);
// The UTF-16 form of a text, and back (a lone surrogate becomes three bytes;
// a high and low surrogate side by side join into their character).
std::u16string ToUtf16(std::string_view s);
std::string FromUtf16(std::u16string_view s);
// Decodes the character at byte `i` and advances `i`; a malformed byte is
// taken as the code point of that byte, so no input is ever lost.
char32_t DecodeAt(std::string_view s, size_t& i);
// Appends `cp` encoded in UTF-8 (core/text.h).
using veldrane::AppendUtf8;

// ---------------------------------------------------------------------------
// Case

// Upper- and lower-case mapping for ASCII, Latin-1, Latin Extended-A, Greek
// and Cyrillic. Every mapping keeps the UTF-8 length of the character, so a
// folded text has its matches at the same byte offsets as the original.
char32_t ToUpperChar(char32_t cp);
char32_t ToLowerChar(char32_t cp);
std::string UpperText(std::string_view s);
std::string LowerText(std::string_view s);
// The text compare key: lower case.
inline std::string FoldText(std::string_view s) { return LowerText(s); }

// Compares as StrComp does: -1, 0 or 1; text mode ignores case.
int CompareText(std::string_view a, std::string_view b, bool text_mode);

// ---------------------------------------------------------------------------
// Decimal rounding

// A number written in decimal and rounded to a number of places after the
// point. Rounding works on the value's 15 significant digits (what CStr
// shows), so 2.675 rounds as the 2.675 the script wrote, not as the binary
// 2.67499999... it is stored as.
struct DecimalDigits {
  bool negative = false;    // the rounded value is below zero
  std::string whole = "0";  // digits before the point, no leading zeros
  std::string fraction;     // exactly `places` digits
};
// half_even: banker's rounding (Round); otherwise halves go away from zero
// (the Format functions).
DecimalDigits RoundDecimal(double value, int places, bool half_even);

// ---------------------------------------------------------------------------
// Dates

// The firstdayofweek argument: 1 (Sunday) .. 7 (Saturday); 0 (the system's
// setting) is Sunday; omitted is Sunday; anything else raises 5.
int FirstDayOfWeekArg(Args args, size_t i);
// The firstweekofyear argument: 1 (week of 1 January), 2 (first week with
// four days), 3 (first full week); 0 and omitted are 1; else raises 5.
int FirstWeekOfYearArg(Args args, size_t i);
// A date argument (CDate rules); Null raises 94.
double DateArg(Args args, size_t i);
// Raises 5 unless `oadate` lies within the years 100 to 9999.
double CheckedDateRange(double oadate);

}  // namespace veldrane::vbs::detail
