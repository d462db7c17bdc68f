// String built-ins called directly, for what a script cannot easily show:
// character counting over multi-byte text, the case tables' length
// invariant, and Null/argument errors in bulk.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/text.h"
#include "vbscript/builtins.h"
#include "vbscript/tests/builtins_test_support.h"
#include "vbscript/builtins_support.h"
#include "vbscript/operators.h"

namespace veldrane::vbs {
namespace {


TEST(StringLimit, GrowthPastTheLimitRaisesOutOfStringSpaceWithoutWrapping) {
  auto number = [](size_t a, size_t b) {
    try {
      ops::CheckStringSize(a, b);
      return 0;
    } catch (const VbError& e) {
      return e.number();
    }
  };
  EXPECT_EQ(number(ops::kMaxStringBytes, 0), 0);
  EXPECT_EQ(number(ops::kMaxStringBytes - 1, 1), 0);
  EXPECT_EQ(number(ops::kMaxStringBytes, 1), 14);
  EXPECT_EQ(number(1, ops::kMaxStringBytes), 14);
  // s = s & s, doubling: the sum of two huge sizes must not wrap round to a small one.
  EXPECT_EQ(number(SIZE_MAX, SIZE_MAX), 14);
  EXPECT_EQ(number(SIZE_MAX / 2 + 1, SIZE_MAX / 2 + 1), 14);
  // The limit keeps every length a Long can count.
  EXPECT_LT(ops::kMaxStringBytes, size_t{INT32_MAX});
}

TEST(BuiltinTables, EveryEntryIsFoundUnderItsOwnName) {
  // A name listed twice would hide one of the two functions.
  for (auto table : {StringBuiltins(), MathBuiltins(), DateBuiltins(), ConversionBuiltins(), FormatBuiltins(),
                     ArrayBuiltins(), InspectionBuiltins()}) {
    for (const BuiltinSpec& spec : table) {
      EXPECT_EQ(FindBuiltin(spec.name), &spec) << spec.name;
      EXPECT_EQ(FindBuiltin(ToUpperAscii(spec.name)), &spec) << spec.name;
      EXPECT_TRUE(spec.max_args == -1 || spec.max_args >= spec.min_args) << spec.name;
    }
  }
  // The language's whole library, as scripts name it.
  for (const char* name :
       {"Asc", "AscB", "AscW", "Chr", "ChrB", "ChrW", "InStr", "InStrB", "InStrRev", "LCase", "Left", "LeftB", "Len",
        "LenB", "LTrim", "Mid", "MidB", "Replace", "Right", "RightB", "RTrim", "Space", "Split", "StrComp", "String",
        "StrReverse", "Trim", "UCase", "Join", "Filter", "Escape", "Unescape", "CBool", "CByte", "CCur", "CDate",
        "CDbl", "CInt", "CLng", "CSng", "CStr", "Hex", "Oct", "Fix", "Int", "DateValue", "TimeValue", "Abs", "Atn",
        "Cos", "Exp", "Log", "Randomize", "Rnd", "Round", "Sgn", "Sin", "Sqr", "Tan", "Date", "DateAdd", "DateDiff",
        "DatePart", "DateSerial", "Day", "Hour", "Minute", "Month", "MonthName", "Now", "Second", "Time", "Timer",
        "TimeSerial", "Weekday", "WeekdayName", "Year", "FormatDateTime", "FormatNumber", "FormatCurrency",
        "FormatPercent", "Array", "IsArray", "LBound", "UBound", "IsDate", "IsEmpty", "IsNull", "IsNumeric", "IsObject",
        "TypeName", "VarType", "RGB", "ScriptEngine", "ScriptEngineMajorVersion", "ScriptEngineMinorVersion",
        "ScriptEngineBuildVersion"}) {
    EXPECT_NE(FindBuiltin(name), nullptr) << name;
  }
  EXPECT_STREQ(FindBuiltin("instrrev")->name, "InStrRev");
  EXPECT_EQ(FindBuiltin("NoSuchFunction"), nullptr);
  EXPECT_EQ(FindBuiltin("Eval"), nullptr);  // the interpreter's own
}

TEST(StringBuiltins, CountAndSliceCharactersNotBytes) {
  const std::string s = "h\xC3\xA9llo w\xC3\xB6rld \xE2\x82\xAC";  // "héllo wörld €"
  EXPECT_EQ(Call("Len", {s}).AsLong(), 13);
  EXPECT_EQ(Text(Call("Left", {s, int16_t{2}})), "h\xC3\xA9");
  EXPECT_EQ(Text(Call("Right", {s, int16_t{3}})), "d \xE2\x82\xAC");
  EXPECT_EQ(Text(Call("Mid", {s, int16_t{2}, int16_t{4}})), "\xC3\xA9llo");
  EXPECT_EQ(Text(Call("Mid", {s, int16_t{8}})), "\xC3\xB6rld \xE2\x82\xAC");
  EXPECT_EQ(Call("InStr", {s, "r"}).AsLong(), 9);
  EXPECT_EQ(Call("InStrRev", {s, "l"}).AsLong(), 10);
  EXPECT_EQ(Text(Call("StrReverse", {s})), "\xE2\x82\xAC dlr\xC3\xB6w oll\xC3\xA9h");
  EXPECT_EQ(Text(Call("UCase", {s})), "H\xC3\x89LLO W\xC3\x96RLD \xE2\x82\xAC");
  EXPECT_EQ(Call("InStr", {int16_t{1}, s, "W\xC3\x96R", int16_t{1}}).AsLong(), 7);
  EXPECT_EQ(Call("LenB", {s}).AsLong(), 26);
}

TEST(StringBuiltins, LengthOfLongMixedTextMatchesADecodeCount) {
  // Lengths are counted eight bytes at a time; check every alignment of
  // one- to four-byte characters against decoding one by one (a character
  // past the Basic Multilingual Plane is two UTF-16 units).
  const char* pieces[] = {"a", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "bc"};
  std::string s;
  for (int i = 0; i < 200; ++i) {
    s += pieces[(i * 7 + i / 3) % 5];
    size_t units = 0;
    for (size_t at = 0; at < s.size();) units += detail::DecodeAt(s, at) >= 0x10000 ? 2 : 1;
    ASSERT_EQ(static_cast<size_t>(Call("Len", {s}).AsLong()), units) << i;
    ASSERT_EQ(Text(Call("Left", {s, static_cast<int32_t>(units)})), s);
  }
}

TEST(StringBuiltins, CharactersPastThePlaneCountAsTwoUnits) {
  const std::string face = "\xF0\x9F\x98\x80";  // U+1F600
  const std::string s = "a" + face + "b";
  EXPECT_EQ(Call("Len", {s}).AsLong(), 4);
  EXPECT_EQ(Call("LenB", {s}).AsLong(), 8);
  EXPECT_EQ(Text(Call("Left", {s, int16_t{3}})), "a" + face);
  EXPECT_EQ(Text(Call("Right", {s, int16_t{1}})), "b");
  EXPECT_EQ(Text(Call("Mid", {s, int16_t{2}, int16_t{2}})), face);
  EXPECT_EQ(Call("InStr", {s, "b"}).AsLong(), 4);
  EXPECT_EQ(Call("InStrRev", {s, "b"}).AsLong(), 4);
  EXPECT_EQ(Call("AscW", {face}).AsInteger(), static_cast<int16_t>(0xD83D));
  // A cut through the pair keeps each half as a lone surrogate.
  EXPECT_EQ(Text(Call("Left", {s, int16_t{2}})), "a\xED\xA0\xBD");
  EXPECT_EQ(Text(Call("Mid", {s, int16_t{3}})), "\xED\xB8\x80" "b");
  EXPECT_EQ(Text(Call("ChrW", {int32_t{0xD83D}})), "\xED\xA0\xBD");
}

TEST(StringBuiltins, CaseMappingKeepsEveryCharactersLength) {
  // Text-mode searches rely on folded text having the original's offsets.
  for (char32_t cp = 0; cp < 0x800; ++cp) {
    std::string one, upper, lower;
    detail::AppendUtf8(one, cp);
    detail::AppendUtf8(upper, detail::ToUpperChar(cp));
    detail::AppendUtf8(lower, detail::ToLowerChar(cp));
    EXPECT_EQ(one.size(), upper.size()) << std::hex << static_cast<uint32_t>(cp);
    EXPECT_EQ(one.size(), lower.size()) << std::hex << static_cast<uint32_t>(cp);
  }
  EXPECT_EQ(detail::ToUpperChar(0x3C2), 0x3A3u);  // final sigma
  EXPECT_EQ(detail::ToLowerChar(0x178), 0xFFu);   // Y with diaeresis
  EXPECT_EQ(detail::ToUpperChar(0x17E), 0x17Du);  // z with caron
}

TEST(StringBuiltins, CharacterCodesFollowTheWesternCodePage) {
  EXPECT_EQ(Text(Call("Chr", {int16_t{128}})), "\xE2\x82\xAC");
  EXPECT_EQ(Call("Asc", {"\xE2\x82\xAC"}).AsInteger(), 128);
  EXPECT_EQ(Call("Asc", {"\xC3\xA9"}).AsInteger(), 233);
  EXPECT_EQ(Call("AscW", {"\xE2\x82\xAC"}).AsInteger(), 0x20AC);
  EXPECT_EQ(Call("AscW", {Call("ChrW", {int32_t{65535}})}).AsInteger(), -1);
  EXPECT_EQ(Text(Call("ChrW", {int16_t{-1}})), "\xEF\xBF\xBF");
  EXPECT_EQ(Call("Asc", {"\xE4\xB8\xAD"}).AsInteger(), '?');  // not in the code page
  EXPECT_EQ(ErrorOf("Chr", {int16_t{256}}), 5);
  EXPECT_EQ(ErrorOf("ChrW", {int32_t{65536}}), 5);
  EXPECT_EQ(ErrorOf("Asc", {""}), 5);
  EXPECT_EQ(ErrorOf("Asc", {Variant::Null()}), 94);
}

TEST(StringBuiltins, EscapeRoundTripsAnyText) {
  const std::string s = "a b&c/\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
  Variant escaped = Call("Escape", {s});
  EXPECT_EQ(Text(escaped), "a%20b%26c/%E9%u20AC%uD83D%uDE00");
  EXPECT_EQ(Text(Call("Unescape", {escaped})), s);
  EXPECT_EQ(Text(Call("Unescape", {"100% %zz %u12"})), "100% %zz %u12");
}

TEST(StringBuiltins, NullAndBadArguments) {
  const Variant null = Variant::Null();
  for (const char* name : {"Len", "LCase", "UCase", "Trim", "LTrim", "RTrim", "Escape"}) {
    EXPECT_TRUE(Call(name, {null}).IsNull()) << name;
  }
  EXPECT_TRUE(Call("Left", {null, int16_t{1}}).IsNull());
  EXPECT_TRUE(Call("Mid", {null, int16_t{1}}).IsNull());
  EXPECT_TRUE(Call("InStr", {"abc", null}).IsNull());
  EXPECT_TRUE(Call("StrComp", {null, "a"}).IsNull());
  EXPECT_EQ(ErrorOf("Left", {"abc", null}), 94);
  EXPECT_EQ(ErrorOf("Left", {"abc", int16_t{-1}}), 5);
  EXPECT_EQ(ErrorOf("Mid", {"abc", int16_t{0}}), 5);
  EXPECT_EQ(ErrorOf("InStr", {int16_t{0}, "abc", "b"}), 5);
  EXPECT_EQ(ErrorOf("InStr", {"abc", "b", "c"}), 13);  // three arguments: the first is the start
  EXPECT_EQ(ErrorOf("InStrRev", {"abc", "b", int16_t{0}}), 5);
  EXPECT_EQ(ErrorOf("StrComp", {"a", "b", int16_t{2}}), 5);
  EXPECT_EQ(ErrorOf("Replace", {null, "a", "b"}), 94);
  EXPECT_EQ(ErrorOf("Replace", {"abc", "a", "b", int16_t{0}}), 5);
  EXPECT_EQ(ErrorOf("StrReverse", {null}), 94);
  EXPECT_EQ(ErrorOf("Space", {int16_t{-1}}), 5);
  EXPECT_EQ(ErrorOf("String", {int16_t{2}, ""}), 5);
  // Strings past 1 GiB fail cleanly instead of exhausting memory.
  EXPECT_EQ(ErrorOf("Space", {int32_t{2147483647}}), 14);
  EXPECT_EQ(ErrorOf("String", {int32_t{600000000}, "\xC3\xA9"}), 14);
}

TEST(StringBuiltins, TextCompareFoldsBeyondAscii) {
  EXPECT_EQ(Call("StrComp", {"\xC3\x89t\xC3\xA9", "\xC3\xA9T\xC3\x89", int16_t{1}}).AsInteger(), 0);
  EXPECT_EQ(Call("StrComp", {"\xC3\x89t\xC3\xA9", "\xC3\xA9T\xC3\x89", int16_t{0}}).AsInteger(), -1);
  EXPECT_EQ(Text(Call("Replace", {"\xD0\x9C\xD0\xB8\xD1\x80 \xD0\xBC\xD0\xB8\xD1\x80", "\xD0\xBC\xD0\xB8\xD1\x80",
                                   "x", int16_t{1}, int16_t{-1}, int16_t{1}})),
            "x x");
}

}  // namespace
}  // namespace veldrane::vbs
