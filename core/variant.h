// Variant: the one value type of Veldrane, with the platform's subtypes and
// conversion rules. Field values, script values, formula results and
// statistics all travel as Variants.
//
// A Variant is a small tagged value: Empty, Null, Boolean, Byte, Integer
// (16-bit), Long (32-bit), Single, Double, Currency (fixed point, 4 decimals),
// Date (OLE date), String (UTF-8), Object (a dispatchable host or script
// object) and Array (a shared, possibly multi-dimensional array).
//
// Conversions follow VBScript (CStr, CDbl, CLng, CInt, CBool, CDate):
// numbers and dates are formatted in one fixed, locale-independent way (see
// core/oadate.h), an Object converts through its default member, Nothing
// raises 91, Null raises 94 where the platform does, an impossible conversion
// raises 13 and an out-of-range one raises 6. Arithmetic belongs to the
// script engine (vbscript/); comparison rules shared by every layer are here.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace veldrane {

class Object;
class VbArray;
using ObjectRef = std::shared_ptr<Object>;
using ArrayRef = std::shared_ptr<VbArray>;

// VarType numbers as the platform reports them.
enum class VarType : uint16_t {
  Empty = 0,
  Null = 1,
  Integer = 2,
  Long = 3,
  Single = 4,
  Double = 5,
  Currency = 6,
  Date = 7,
  String = 8,
  Object = 9,
  Error = 10,
  Boolean = 11,
  Variant = 12,
  Decimal = 14,
  Byte = 17,
  Array = 0x2000,
};

// Fixed-point money value: the amount times 10,000.
struct Currency {
  int64_t scaled = 0;
  static Currency FromDouble(double v);  // raises 6 when out of range
  double ToDouble() const { return static_cast<double>(scaled) / 10000.0; }
  bool operator==(const Currency&) const = default;
};

struct NullValue {
  bool operator==(const NullValue&) const = default;
};
struct EmptyValue {
  bool operator==(const EmptyValue&) const = default;
};
struct DateValue {
  double oadate = 0;
  bool operator==(const DateValue&) const = default;
};

class Variant {
 public:
  Variant() = default;  // Empty
  Variant(NullValue) : v_(NullValue{}) {}
  Variant(bool b) : v_(b) {}
  Variant(uint8_t b) : v_(b) {}
  Variant(int16_t i) : v_(i) {}
  Variant(int32_t l) : v_(l) {}
  Variant(float f) : v_(f) {}
  Variant(double d) : v_(d) {}
  Variant(Currency c) : v_(c) {}
  Variant(DateValue d) : v_(d) {}
  Variant(std::string s) : v_(std::move(s)) {}
  Variant(std::string_view s) : v_(std::string(s)) {}
  Variant(const char* s) : v_(std::string(s)) {}
  Variant(ObjectRef o) : v_(std::move(o)) {}  // a null ObjectRef is Nothing
  Variant(ArrayRef a) : v_(std::move(a)) {}

  static Variant Null() { return Variant(NullValue{}); }
  static Variant Date(double oadate) { return Variant(DateValue{oadate}); }
  static Variant Nothing() { return Variant(ObjectRef()); }
  // A 64-bit whole number as the smallest subtype that holds it (Integer,
  // Long, else Double), as database integers arrive.
  static Variant FromInt64(int64_t v);

  VarType Type() const;

  bool IsEmpty() const { return v_.index() == 0; }
  bool IsNull() const { return v_.index() == 1; }
  bool IsString() const { return std::holds_alternative<std::string>(v_); }
  bool IsObject() const { return std::holds_alternative<ObjectRef>(v_); }  // Nothing included
  bool IsNothing() const { return IsObject() && !std::get<ObjectRef>(v_); }
  bool IsArray() const { return std::holds_alternative<ArrayRef>(v_); }
  bool IsBoolean() const { return std::holds_alternative<bool>(v_); }
  bool IsDate() const { return std::holds_alternative<DateValue>(v_); }
  // Byte, Integer, Long, Single, Double, Currency.
  bool IsNumber() const;

  // Raw access; the caller has checked the subtype.
  const std::string& AsString() const { return std::get<std::string>(v_); }
  std::string& AsString() { return std::get<std::string>(v_); }
  const ObjectRef& AsObject() const { return std::get<ObjectRef>(v_); }
  const ArrayRef& AsArray() const { return std::get<ArrayRef>(v_); }
  bool AsBool() const { return std::get<bool>(v_); }
  int16_t AsInteger() const { return std::get<int16_t>(v_); }
  int32_t AsLong() const { return std::get<int32_t>(v_); }
  double AsDouble() const { return std::get<double>(v_); }
  double AsDate() const { return std::get<DateValue>(v_).oadate; }

  // The value behind an object: its default member, repeatedly, until the
  // result is not an object. Nothing raises 91; an object without a default
  // member raises 438. Non-objects return themselves.
  Variant Resolved() const;

  // VBScript conversions (CBool, CByte, CInt, CLng, CSng, CDbl, CCur, CDate, CStr).
  bool ToBool() const;
  uint8_t ToByte() const;
  int16_t ToInteger() const;
  int32_t ToLong() const;
  float ToSingle() const;
  double ToDouble() const;
  Currency ToCurrency() const;
  double ToDate() const;  // OLE date
  std::string ToString() const;

  // The object held, for reference contexts (Set, method calls); raises 424
  // when the value is not an object and 91 when it is Nothing.
  ObjectRef ToObject() const;

  // Text for display and SQL: like ToString, but Null and Empty give "".
  std::string ToText() const;

  // Same subtype and same value (Objects: same instance). Not VBScript's "=".
  bool operator==(const Variant& other) const { return v_ == other.v_; }

  using Storage = std::variant<EmptyValue, NullValue, bool, uint8_t, int16_t, int32_t, float, double, Currency,
                               DateValue, std::string, ObjectRef, ArrayRef>;
  const Storage& storage() const { return v_; }

 private:
  Storage v_;
};

// A VBScript array: one or more dimensions, each with a lower bound (0 in
// VBScript) and a count, elements in row-major order.
class VbArray {
 public:
  struct Dim {
    int32_t lbound = 0;
    int32_t count = 0;
  };
  VbArray() = default;
  explicit VbArray(std::vector<Variant> items);  // one dimension, lbound 0
  VbArray(std::vector<Dim> dims);

  const std::vector<Dim>& dims() const { return dims_; }
  std::vector<Variant>& items() { return items_; }
  const std::vector<Variant>& items() const { return items_; }
  // The element at the given subscripts; raises 9 when out of range.
  Variant& At(const std::vector<int32_t>& subscripts);
  // Changes the bounds; with preserve, keeps the elements that still fit
  // (only the last dimension may change, as ReDim Preserve allows).
  void Redim(std::vector<Dim> dims, bool preserve);
  bool fixed = false;  // Dim a(3): ReDim raises 10

 private:
  std::vector<Dim> dims_;
  std::vector<Variant> items_;
};

// Parses a number the way the platform converts text: blanks around it,
// optional sign, digits with "." as decimal point, exponent, or &H / &O
// prefixes. Returns nullopt when the text is not a number.
std::optional<double> ParseNumber(std::string_view text);

// Formats a double as CStr does: up to 15 significant digits, exponent form
// ("1E+20", "1E-07") for very large or small magnitudes.
std::string FormatDouble(double v);
// Single-precision: 7 significant digits.
std::string FormatSingle(float v);
std::string FormatCurrency(Currency c);

// The subtype's name as TypeName reports it ("Empty", "Null", "Integer", ...).
std::string VarTypeName(const Variant& v);

// Compares two values the way a database-neutral caller needs them ordered:
// Null against anything gives nullopt; Empty counts as 0 or ""; numbers and
// dates numerically; strings by binary code (or ignoring ASCII case); a
// number against a string that is numeric compares numerically, otherwise
// the number is less. Returns -1, 0 or 1.
std::optional<int> CompareVariants(const Variant& a, const Variant& b, bool ignore_case = false);

}  // namespace veldrane
