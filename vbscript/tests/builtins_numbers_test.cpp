// Maths, conversion and number formatting built-ins: the rounding rules
// (banker's for Round, half away from zero for the Format functions), the
// random sequence scripts replay, and subtype preservation.
#include <gtest/gtest.h>

#include <vector>

#include "vbscript/builtins.h"
#include "vbscript/tests/builtins_test_support.h"
#include "vbscript/builtins_support.h"

namespace veldrane::vbs {
namespace {


TEST(MathBuiltins, RoundGoesToEvenOnTheWrittenDigits) {
  struct Row {
    double value;
    int places;
    const char* expected;
  } rows[] = {
      {2.5, 0, "2"},     {3.5, 0, "4"},       {-3.5, 0, "-4"},     {-2.5, 0, "-2"},     {2.675, 2, "2.68"},
      {0.125, 2, "0.12"}, {0.135, 2, "0.14"}, {1.005, 2, "1"},     {-0.005, 2, "0"},    {123.456, 1, "123.5"},
      {9.995, 2, "10"},  {1e20, 2, "1E+20"},  {0.0001234, 6, "0.000123"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Text(Call("Round", {r.value, int16_t(r.places)})), r.expected) << r.value << " " << r.places;
  }
  EXPECT_EQ(Call("Round", {int16_t{7}, int16_t{2}}).Type(), VarType::Integer);
  EXPECT_EQ(Call("Round", {"2.5"}).Type(), VarType::Double);
  EXPECT_EQ(Text(Call("Round", {Currency::FromDouble(2.345), int16_t{2}})), "2.34");
  EXPECT_EQ(Text(Call("Round", {Currency::FromDouble(-2.355), int16_t{2}})), "-2.36");
  EXPECT_TRUE(Call("Round", {Variant::Null()}).IsNull());
  EXPECT_EQ(ErrorOf("Round", {1.5, int16_t{-1}}), 5);
}

TEST(MathBuiltins, RndReplaysTheClassicSequence) {
  // A negative argument reseeds; the sequence after it is fixed.
  EXPECT_FLOAT_EQ(Call("Rnd", {int16_t{-1}}).ToSingle(), 0.224007f);
  float next = Call("Rnd", {}).ToSingle();
  EXPECT_FLOAT_EQ(Call("Rnd", {int16_t{0}}).ToSingle(), next);  // 0 repeats the last
  EXPECT_FLOAT_EQ(Call("Rnd", {int16_t{-1}}).ToSingle(), 0.224007f);
  EXPECT_FLOAT_EQ(Call("Rnd", {}).ToSingle(), next);
  // Randomize with a number changes only part of the seed, so replaying a
  // sequence takes Rnd(-1) first, as scripts do.
  Call("Rnd", {int16_t{-1}});
  Call("Randomize", {int16_t{10}});
  float a = Call("Rnd", {}).ToSingle();
  Call("Rnd", {});
  Call("Rnd", {int16_t{-1}});
  Call("Randomize", {int16_t{10}});
  EXPECT_FLOAT_EQ(Call("Rnd", {}).ToSingle(), a);
  for (int i = 0; i < 1000; ++i) {
    float r = Call("Rnd", {}).ToSingle();
    ASSERT_GE(r, 0.0f);
    ASSERT_LT(r, 1.0f);
  }
}

TEST(MathBuiltins, DomainAndOverflowErrors) {
  EXPECT_EQ(ErrorOf("Log", {int16_t{0}}), 5);
  EXPECT_EQ(ErrorOf("Log", {-1.0}), 5);
  EXPECT_EQ(ErrorOf("Sqr", {int16_t{-4}}), 5);
  EXPECT_EQ(ErrorOf("Exp", {int16_t{1000}}), 6);
  EXPECT_EQ(ErrorOf("Sin", {Variant::Null()}), 94);
  EXPECT_EQ(ErrorOf("Sqr", {"abc"}), 13);
  EXPECT_EQ(Call("Abs", {int16_t{-32768}}).Type(), VarType::Long);
  EXPECT_EQ(Call("Sgn", {-0.5}).AsInteger(), -1);
}

TEST(ConversionBuiltins, HexAndOctUseTheSubtypesWidth) {
  EXPECT_EQ(Text(Call("Hex", {int16_t{-1}})), "FFFF");
  EXPECT_EQ(Text(Call("Hex", {int32_t{-1}})), "FFFFFFFF");
  EXPECT_EQ(Text(Call("Hex", {-1.0})), "FFFFFFFF");
  EXPECT_EQ(Text(Call("Hex", {uint8_t{255}})), "FF");
  EXPECT_EQ(Text(Call("Hex", {Variant()})), "0");
  EXPECT_EQ(Text(Call("Hex", {2.5})), "2");  // rounded to even first
  EXPECT_EQ(Text(Call("Oct", {int16_t{-1}})), "177777");
  EXPECT_EQ(Text(Call("Oct", {int32_t{8}})), "10");
  EXPECT_TRUE(Call("Hex", {Variant::Null()}).IsNull());
  EXPECT_EQ(ErrorOf("Hex", {3e10}), 6);
}

TEST(ConversionBuiltins, FixAndIntKeepTheSubtype) {
  EXPECT_EQ(Text(Call("Int", {-2.5})), "-3");
  EXPECT_EQ(Text(Call("Fix", {-2.5})), "-2");
  EXPECT_EQ(Call("Int", {-2.5}).Type(), VarType::Double);
  EXPECT_EQ(Call("Int", {"7.9"}).Type(), VarType::Double);
  EXPECT_EQ(Call("Fix", {true}).Type(), VarType::Integer);
  EXPECT_EQ(Text(Call("Int", {Currency::FromDouble(-1.25)})), "-2");
  EXPECT_EQ(Text(Call("Fix", {Currency::FromDouble(-1.25)})), "-1");
  EXPECT_EQ(Call("Int", {Variant::Date(36526.75)}).Type(), VarType::Date);
  EXPECT_TRUE(Call("Fix", {Variant::Null()}).IsNull());
}

TEST(ConversionBuiltins, ConvertOrRaiseThePlatformsNumber) {
  EXPECT_EQ(Call("CInt", {2.5}).AsInteger(), 2);
  EXPECT_EQ(Call("CLng", {"  -7 "}).AsLong(), -7);
  EXPECT_EQ(Text(Call("CDate", {"2026-12-06 14:05"})), "2026-12-06 14:05:00");
  EXPECT_EQ(Text(Call("DateValue", {"2026-12-06 14:05"})), "2026-12-06");
  EXPECT_EQ(Text(Call("TimeValue", {"2026-12-06 14:05"})), "14:05:00");
  EXPECT_EQ(ErrorOf("CInt", {int32_t{32768}}), 6);
  EXPECT_EQ(ErrorOf("CByte", {int16_t{-1}}), 6);
  EXPECT_EQ(ErrorOf("CDbl", {"12x"}), 13);
  EXPECT_EQ(ErrorOf("CDate", {"not a date"}), 13);
  EXPECT_EQ(ErrorOf("CDate", {1e10}), 6);
  for (const char* name : {"CStr", "CInt", "CLng", "CDate", "CDbl", "CBool"}) {
    EXPECT_EQ(ErrorOf(name, {Variant::Null()}), 94) << name;
  }
}

TEST(FormatBuiltins, NumbersAsEnUsWritesThem) {
  struct Row {
    const char* name;
    std::vector<Variant> args;
    const char* expected;
  } rows[] = {
      {"FormatNumber", {1234567.891}, "1,234,567.89"},
      {"FormatNumber", {-1234.5, int16_t{0}}, "-1,235"},
      {"FormatNumber", {0.5, int16_t{0}}, "1"},
      {"FormatNumber", {2.5, int16_t{0}}, "3"},
      {"FormatNumber", {1.005, int16_t{2}}, "1.01"},
      {"FormatNumber", {0.25, int16_t{1}, int16_t{0}}, ".3"},
      {"FormatNumber", {-0.25, int16_t{1}, int16_t{0}, int16_t{-1}}, "(.3)"},
      {"FormatNumber", {1234.5, int16_t{2}, int16_t{-2}, int16_t{-2}, int16_t{0}}, "1234.50"},
      {"FormatNumber", {-0.001, int16_t{2}}, "0.00"},
      {"FormatNumber", {"12.5", int16_t{3}}, "12.500"},
      {"FormatNumber", {999.999, int16_t{2}}, "1,000.00"},
      {"FormatCurrency", {1234.5}, "$1,234.50"},
      {"FormatCurrency", {-1234.5, int16_t{-1}, int16_t{-2}, int16_t{0}}, "-$1,234.50"},
      {"FormatCurrency", {-5, int16_t{0}, int16_t{-2}, int16_t{-1}}, "($5)"},
      {"FormatPercent", {0.1234}, "12.34%"},
      {"FormatPercent", {-0.5, int16_t{0}}, "-50%"},
      {"FormatPercent", {12.5, int16_t{1}}, "1,250.0%"},
  };
  for (Row& r : rows) EXPECT_EQ(Text(Call(r.name, r.args)), r.expected) << r.name << " " << r.expected;
  EXPECT_EQ(ErrorOf("FormatNumber", {"abc"}), 13);
  EXPECT_EQ(ErrorOf("FormatNumber", {1.0, int16_t{-3}}), 5);
}

TEST(FormatBuiltins, RoundDecimalCarriesAndPads) {
  auto text = [](double v, int places, bool even) {
    detail::DecimalDigits d = detail::RoundDecimal(v, places, even);
    return (d.negative ? "-" : "") + d.whole + (places ? "." + d.fraction : "");
  };
  EXPECT_EQ(text(99.995, 2, false), "100.00");
  EXPECT_EQ(text(0.005, 2, false), "0.01");
  EXPECT_EQ(text(0.005, 2, true), "0.00");
  EXPECT_EQ(text(0.015, 2, true), "0.02");
  EXPECT_EQ(text(0.0004, 2, false), "0.00");
  EXPECT_EQ(text(-0.5, 0, false), "-1");
  EXPECT_EQ(text(-0.5, 0, true), "0");
  EXPECT_EQ(text(123456789012345678.0, 1, false), "123456789012346000.0");
  EXPECT_EQ(text(0, 3, false), "0.000");
}

}  // namespace
}  // namespace veldrane::vbs
