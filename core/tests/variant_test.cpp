#include "core/variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "core/checked.h"
#include "core/object.h"

namespace veldrane {
namespace {

// One row per conversion: input, conversion, expected text or error number.
struct ConversionRow {
  const char* label;
  Variant input;
  std::function<Variant(const Variant&)> convert;
  Variant expected;
  int error = 0;
};

Variant Cint(const Variant& v) { return Variant(v.ToInteger()); }
Variant Clng(const Variant& v) { return Variant(v.ToLong()); }
Variant Cdbl(const Variant& v) { return Variant(v.ToDouble()); }
Variant Cstr(const Variant& v) { return Variant(v.ToString()); }
Variant Cbool(const Variant& v) { return Variant(v.ToBool()); }
Variant Cbyte(const Variant& v) { return Variant(v.ToByte()); }

TEST(Variant, ConversionTable) {
  const ConversionRow rows[] = {
      {"CInt rounds half to even (0.5)", Variant(0.5), Cint, Variant(int16_t{0})},
      {"CInt rounds half to even (1.5)", Variant(1.5), Cint, Variant(int16_t{2})},
      {"CInt rounds half to even (-36.5)", Variant(-36.5), Cint, Variant(int16_t{-36})},
      {"CInt overflows past 32767", Variant(32767.5), Cint, Variant(), 6},
      {"CInt of Null", Variant::Null(), Cint, Variant(), 94},
      {"CInt of text number", Variant("  12 "), Cint, Variant(int16_t{12})},
      {"CInt of words", Variant("abc"), Cint, Variant(), 13},
      {"CInt of empty text", Variant(""), Cint, Variant(), 13},
      {"CInt of Empty", Variant(), Cint, Variant(int16_t{0})},
      {"CLng of hex text", Variant("&HFFFF"), Clng, Variant(int32_t{-1})},
      {"CLng of True", Variant(true), Clng, Variant(int32_t{-1})},
      {"CLng overflow", Variant(3e9), Clng, Variant(), 6},
      {"CDbl of exponent", Variant("1.5e3"), Cdbl, Variant(1500.0)},
      {"CDbl of trailing junk", Variant("12abc"), Cdbl, Variant(), 13},
      {"CStr of True", Variant(true), Cstr, Variant("True")},
      {"CStr of a third", Variant(1.0 / 3), Cstr, Variant("0.333333333333333")},
      {"CStr of large double", Variant(1e20), Cstr, Variant("1E+20")},
      {"CStr of small double", Variant(1e-7), Cstr, Variant("1E-07")},
      {"CStr of 0.0001", Variant(0.0001), Cstr, Variant("0.0001")},
      {"CStr of 2.5", Variant(2.5), Cstr, Variant("2.5")},
      {"CStr of negative zero", Variant(-0.0), Cstr, Variant("0")},
      {"CStr of Single", Variant(0.1f), Cstr, Variant("0.1")},
      {"CStr of Currency", Variant(Currency::FromDouble(12.345)), Cstr, Variant("12.345")},
      {"CStr of date", Variant::Date(36526.5), Cstr, Variant("2000-01-01 12:00:00")},
      {"CStr of date only", Variant::Date(36526), Cstr, Variant("2000-01-01")},
      {"CStr of time only", Variant::Date(0.75), Cstr, Variant("18:00:00")},
      {"CStr of Null", Variant::Null(), Cstr, Variant(), 94},
      {"CStr of Empty", Variant(), Cstr, Variant("")},
      {"CBool of text False", Variant("false"), Cbool, Variant(false)},
      {"CBool of text number", Variant("0"), Cbool, Variant(false)},
      {"CBool of words", Variant("yes"), Cbool, Variant(), 13},
      {"CByte overflow", Variant(256), Cbyte, Variant(), 6},
      {"CByte negative", Variant(-1), Cbyte, Variant(), 6},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    if (row.error) {
      try {
        row.convert(row.input);
        ADD_FAILURE() << "expected error " << row.error;
      } catch (const VbError& e) {
        EXPECT_EQ(e.number(), row.error);
      }
    } else {
      Variant got = row.convert(row.input);
      EXPECT_EQ(got.Type(), row.expected.Type());
      EXPECT_EQ(got, row.expected) << "got " << got.ToText();
    }
  }
}

TEST(Variant, DateTextRoundTrips) {
  for (const char* text : {"2026-12-06 09:14:46", "1999-02-28", "1899-12-29 06:00:00"}) {
    Variant d = Variant::Date(Variant(text).ToDate());
    EXPECT_EQ(d.ToString(), text);
  }
  EXPECT_DOUBLE_EQ(Variant("1899-12-29 06:00:00").ToDate(), -1.25);
  EXPECT_THROW(Variant("2001-02-29").ToDate(), VbError);
}

TEST(Variant, CompareFollowsPlatformRules) {
  EXPECT_EQ(CompareVariants(Variant(2), Variant(10)), -1);
  EXPECT_EQ(CompareVariants(Variant("2"), Variant("10")), 1);  // text compares by code
  EXPECT_EQ(CompareVariants(Variant("42"), Variant(42)), 0);
  EXPECT_EQ(CompareVariants(Variant(5), Variant("abc")), -1);  // a number sorts first
  EXPECT_EQ(CompareVariants(Variant(), Variant(0)), 0);
  EXPECT_EQ(CompareVariants(Variant(), Variant("")), 0);
  EXPECT_FALSE(CompareVariants(Variant::Null(), Variant(1)).has_value());
  EXPECT_EQ(CompareVariants(Variant("ABC"), Variant("abc"), true), 0);
  EXPECT_NE(CompareVariants(Variant("ABC"), Variant("abc")), 0);
}

// An object whose default member is a value, as a database field is.
class FieldLike : public Object {
 public:
  explicit FieldLike(Variant v) : value_(std::move(v)) {}
  std::string TypeName() const override { return "Field"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override {
    if (name.empty() || IEquals(name, "Value")) {
      if (kind == InvokeKind::Let) value_ = args[0];
      return value_;
    }
    return Object::Invoke(name, kind, args);
  }

 private:
  Variant value_;
};

TEST(Variant, ObjectsConvertThroughTheirDefaultMember) {
  Variant field(ObjectRef(std::make_shared<FieldLike>(Variant(7))));
  EXPECT_EQ(field.ToLong(), 7);
  EXPECT_EQ(field.ToString(), "7");
  EXPECT_EQ(VarTypeName(field), "Field");
  field.AsObject()->Let("VALUE", Variant("x"));
  EXPECT_EQ(field.ToText(), "x");
  try {
    field.AsObject()->Get("Missing");
    FAIL();
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), 438);
  }
  try {
    Variant::Nothing().ToString();
    FAIL();
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), 91);
  }
  EXPECT_THROW(Variant(5).ToObject(), VbError);
}

TEST(Variant, FromInt64PicksTheSmallestSubtype) {
  EXPECT_EQ(Variant::FromInt64(32767).Type(), VarType::Integer);
  EXPECT_EQ(Variant::FromInt64(32768).Type(), VarType::Long);
  EXPECT_EQ(Variant::FromInt64(int64_t{1} << 40).Type(), VarType::Double);
}

TEST(CheckedArithmetic, SixteenBitCountersOverflowInsteadOfWrapping) {
  EXPECT_EQ(AddChecked16(32766, 1), 32767);
  try {
    AddChecked16(32767, 1);
    FAIL();
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), 6);
    EXPECT_EQ(e.description(), "Overflow");
  }
  EXPECT_EQ(RoundToInt16(2.5), 2);
  EXPECT_EQ(RoundToInt16(3.5), 4);
  EXPECT_THROW(AddChecked32(2147483647, 1), VbError);
}

TEST(VbArray, RedimPreserveKeepsElementsOfTheLastDimension) {
  VbArray a(std::vector<VbArray::Dim>{{0, 2}, {0, 2}});
  a.At({0, 1}) = Variant(1);
  a.At({1, 1}) = Variant(2);
  a.Redim({{0, 2}, {0, 3}}, true);
  EXPECT_EQ(a.At({0, 1}), Variant(1));
  EXPECT_EQ(a.At({1, 1}), Variant(2));
  EXPECT_TRUE(a.At({1, 2}).IsEmpty());
  EXPECT_THROW(a.At({2, 0}), VbError);
  EXPECT_THROW(a.Redim({{0, 3}, {0, 3}}, true), VbError);
}

}  // namespace
}  // namespace veldrane
