#include "core/variant.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/checked.h"
#include "core/object.h"
#include "core/oadate.h"
#include "core/text.h"
#include "core/vb_error.h"

namespace veldrane {

Currency Currency::FromDouble(double v) {
  double scaled = RoundHalfEven(v * 10000.0);
  if (!(scaled >= -9.223372036854775e18 && scaled <= 9.223372036854775e18)) throw VbError::Overflow();
  return Currency{static_cast<int64_t>(scaled)};
}

Variant Variant::FromInt64(int64_t v) {
  if (v >= -32768 && v <= 32767) return Variant(static_cast<int16_t>(v));
  if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<int32_t>(v));
  return Variant(static_cast<double>(v));
}

VarType Variant::Type() const {
  switch (v_.index()) {
    case 0: return VarType::Empty;
    case 1: return VarType::Null;
    case 2: return VarType::Boolean;
    case 3: return VarType::Byte;
    case 4: return VarType::Integer;
    case 5: return VarType::Long;
    case 6: return VarType::Single;
    case 7: return VarType::Double;
    case 8: return VarType::Currency;
    case 9: return VarType::Date;
    case 10: return VarType::String;
    case 11: return VarType::Object;
    default: return VarType::Array;
  }
}

bool Variant::IsNumber() const {
  size_t i = v_.index();
  return i >= 3 && i <= 8;
}

Variant Variant::Resolved() const {
  if (!IsObject()) return *this;
  Variant current = *this;
  // Bounded: a default member that returns its own object would loop forever.
  for (int depth = 0; depth < 16 && current.IsObject(); ++depth) {
    const ObjectRef& obj = current.AsObject();
    if (!obj) throw VbError::ObjectNotSet();
    current = obj->DefaultValue();
  }
  if (current.IsObject()) throw VbError::NotSupported();
  return current;
}

namespace {

[[noreturn]] void Mismatch() { throw VbError::TypeMismatch(); }

double NumberFromString(const std::string& s) {
  auto n = ParseNumber(s);
  if (!n) {
    if (IEquals(s, "true")) return -1;
    if (IEquals(s, "false")) return 0;
    // A date written as text converts to its serial number.
    if (auto d = ParseOaDate(s)) return *d;
    Mismatch();
  }
  return *n;
}

}  // namespace

double Variant::ToDouble() const {
  switch (v_.index()) {
    case 0: return 0;
    case 1: throw VbError::InvalidUseOfNull();
    case 2: return AsBool() ? -1.0 : 0.0;
    case 3: return std::get<uint8_t>(v_);
    case 4: return AsInteger();
    case 5: return AsLong();
    case 6: return std::get<float>(v_);
    case 7: return AsDouble();
    case 8: return std::get<Currency>(v_).ToDouble();
    case 9: return AsDate();
    case 10: return NumberFromString(AsString());
    case 11: return Resolved().ToDouble();
    default: Mismatch();
  }
}

bool Variant::ToBool() const {
  switch (v_.index()) {
    case 0: return false;
    case 1: throw VbError::InvalidUseOfNull();
    case 2: return AsBool();
    case 10: {
      const std::string& s = AsString();
      if (IEquals(s, "true")) return true;
      if (IEquals(s, "false")) return false;
      auto n = ParseNumber(s);
      if (!n) Mismatch();
      return *n != 0;
    }
    case 11: return Resolved().ToBool();
    case 12: Mismatch();
    default: return ToDouble() != 0;
  }
}

uint8_t Variant::ToByte() const {
  double r = RoundHalfEven(ToDouble());
  if (!(r >= 0 && r <= 255)) throw VbError::Overflow();
  return static_cast<uint8_t>(r);
}

int16_t Variant::ToInteger() const {
  if (v_.index() == 4) return AsInteger();
  return RoundToInt16(ToDouble());
}

int32_t Variant::ToLong() const {
  if (v_.index() == 5) return AsLong();
  if (v_.index() == 4) return AsInteger();
  return RoundToInt32(ToDouble());
}

float Variant::ToSingle() const {
  double d = ToDouble();
  if (std::isfinite(d) && std::fabs(d) > 3.402823466e38) throw VbError::Overflow();
  return static_cast<float>(d);
}

Currency Variant::ToCurrency() const {
  if (v_.index() == 8) return std::get<Currency>(v_);
  return Currency::FromDouble(ToDouble());
}

double Variant::ToDate() const {
  switch (v_.index()) {
    case 1: throw VbError::InvalidUseOfNull();
    case 9: return AsDate();
    case 10: {
      if (auto d = ParseOaDate(AsString())) return *d;
      if (auto n = ParseNumber(AsString())) return *n;
      Mismatch();
    }
    case 11: return Resolved().ToDate();
    case 12: Mismatch();
    default: return ToDouble();
  }
}

std::string Variant::ToString() const {
  switch (v_.index()) {
    case 0: return std::string();
    case 1: throw VbError::InvalidUseOfNull();
    case 2: return AsBool() ? "True" : "False";
    case 3: return std::to_string(std::get<uint8_t>(v_));
    case 4: return std::to_string(AsInteger());
    case 5: return std::to_string(AsLong());
    case 6: return FormatSingle(std::get<float>(v_));
    case 7: return FormatDouble(AsDouble());
    case 8: return FormatCurrency(std::get<Currency>(v_));
    case 9: return FormatOaDate(AsDate());
    case 10: return AsString();
    case 11: return Resolved().ToString();
    default: Mismatch();
  }
}

std::string Variant::ToText() const {
  if (IsNull() || IsEmpty()) return std::string();
  if (IsObject()) return Resolved().ToText();
  return ToString();
}

ObjectRef Variant::ToObject() const {
  if (!IsObject()) throw VbError::ObjectRequired();
  if (!AsObject()) throw VbError::ObjectNotSet();
  return AsObject();
}

// ---------------------------------------------------------------------------
// VbArray

VbArray::VbArray(std::vector<Variant> items) : dims_{{0, static_cast<int32_t>(items.size())}}, items_(std::move(items)) {}

VbArray::VbArray(std::vector<Dim> dims) : dims_(std::move(dims)) {
  size_t total = 1;
  for (const Dim& d : dims_) total *= static_cast<size_t>(d.count < 0 ? 0 : d.count);
  if (dims_.empty()) total = 0;
  items_.resize(total);
}

Variant& VbArray::At(const std::vector<int32_t>& subscripts) {
  if (subscripts.size() != dims_.size()) throw VbError::SubscriptOutOfRange();
  size_t offset = 0;
  for (size_t i = 0; i < dims_.size(); ++i) {
    int32_t rel = subscripts[i] - dims_[i].lbound;
    if (rel < 0 || rel >= dims_[i].count) throw VbError::SubscriptOutOfRange();
    offset = offset * static_cast<size_t>(dims_[i].count) + static_cast<size_t>(rel);
  }
  return items_[offset];
}

void VbArray::Redim(std::vector<Dim> dims, bool preserve) {
  if (!preserve) {
    *this = VbArray(std::move(dims));
    return;
  }
  if (dims.size() != dims_.size()) throw VbError::SubscriptOutOfRange();
  for (size_t i = 0; i + 1 < dims.size(); ++i) {
    if (dims[i].count != dims_[i].count || dims[i].lbound != dims_[i].lbound) throw VbError::SubscriptOutOfRange();
  }
  VbArray resized(dims);
  if (!dims.empty()) {
    // Row-major: only the last dimension changes, so copy row by row.
    size_t rows = 1;
    for (size_t i = 0; i + 1 < dims.size(); ++i) rows *= static_cast<size_t>(dims[i].count);
    size_t old_last = static_cast<size_t>(dims_.back().count);
    size_t new_last = static_cast<size_t>(dims.back().count < 0 ? 0 : dims.back().count);
    size_t keep = old_last < new_last ? old_last : new_last;
    for (size_t r = 0; r < rows; ++r) {
      for (size_t c = 0; c < keep; ++c) resized.items_[r * new_last + c] = std::move(items_[r * old_last + c]);
    }
  }
  *this = std::move(resized);
}

// ---------------------------------------------------------------------------
// Number parsing and formatting

std::optional<double> ParseNumber(std::string_view text) {
  size_t i = 0, n = text.size();
  while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
  while (n > i && (text[n - 1] == ' ' || text[n - 1] == '\t')) --n;
  if (i == n) return std::nullopt;
  std::string_view t = text.substr(i, n - i);
  if (t.size() > 2 && t[0] == '&' && (t[1] == 'h' || t[1] == 'H' || t[1] == 'o' || t[1] == 'O')) {
    int base = (t[1] == 'h' || t[1] == 'H') ? 16 : 8;
    uint64_t v = 0;
    for (size_t k = 2; k < t.size(); ++k) {
      int d;
      char c = t[k];
      if (c >= '0' && c <= '9') d = c - '0';
      else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
      else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
      else return std::nullopt;
      if (d >= base) return std::nullopt;
      v = v * base + d;
      if (v > 0xFFFFFFFFull) return std::nullopt;
    }
    // Hex text is a 16- or 32-bit two's complement value, as the platform reads it.
    if (v <= 0xFFFF) return static_cast<double>(static_cast<int16_t>(v));
    return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(v)));
  }
  // Validate the shape strictly: sign, digits, optional point and digits, optional exponent.
  size_t k = 0;
  if (k < t.size() && (t[k] == '+' || t[k] == '-')) ++k;
  size_t digits = 0;
  while (k < t.size() && t[k] >= '0' && t[k] <= '9') ++k, ++digits;
  if (k < t.size() && t[k] == '.') {
    ++k;
    while (k < t.size() && t[k] >= '0' && t[k] <= '9') ++k, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (k < t.size() && (t[k] == 'e' || t[k] == 'E')) {
    size_t e = k + 1;
    if (e < t.size() && (t[e] == '+' || t[e] == '-')) ++e;
    size_t exp_digits = 0;
    while (e < t.size() && t[e] >= '0' && t[e] <= '9') ++e, ++exp_digits;
    if (exp_digits == 0) return std::nullopt;
    k = e;
  }
  if (k != t.size()) return std::nullopt;
  std::string copy(t);
  return std::strtod(copy.c_str(), nullptr);
}

namespace {

// Formats with `precision` significant digits, trims trailing zeros, and
// writes exponents the platform's way (E+20, E-07).
std::string FormatSignificant(double v, int precision) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
  if (v == 0) return "0";
  char buf[64];
  int exponent = static_cast<int>(std::floor(std::log10(std::fabs(v))));
  // Rounding may carry into the next power of ten (9.999...e14).
  std::snprintf(buf, sizeof buf, "%.*e", precision - 1, v);
  exponent = std::atoi(std::strchr(buf, 'e') + 1);
  if (exponent >= precision || exponent < -6) {
    std::string mantissa(buf, std::strchr(buf, 'e'));
    if (mantissa.find('.') != std::string::npos) {
      while (mantissa.back() == '0') mantissa.pop_back();
      if (mantissa.back() == '.') mantissa.pop_back();
    }
    char exp[16];
    std::snprintf(exp, sizeof exp, "E%c%02d", exponent < 0 ? '-' : '+', exponent < 0 ? -exponent : exponent);
    return mantissa + exp;
  }
  int decimals = precision - 1 - exponent;
  if (decimals < 0) decimals = 0;
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  std::string out(buf);
  if (out.find('.') != std::string::npos) {
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
  }
  if (out == "-0") out = "0";
  return out;
}

}  // namespace

std::string FormatDouble(double v) { return FormatSignificant(v, 15); }
std::string FormatSingle(float v) { return FormatSignificant(static_cast<double>(v), 7); }

std::string FormatCurrency(Currency c) {
  int64_t whole = c.scaled / 10000;
  int64_t frac = c.scaled % 10000;
  if (frac < 0) frac = -frac;
  std::string out = (c.scaled < 0 && whole == 0) ? "-0" : std::to_string(whole);
  if (frac != 0) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04lld", static_cast<long long>(frac));
    std::string f(buf);
    while (f.back() == '0') f.pop_back();
    out += "." + f;
  }
  return out;
}

std::string VarTypeName(const Variant& v) {
  switch (v.Type()) {
    case VarType::Empty: return "Empty";
    case VarType::Null: return "Null";
    case VarType::Boolean: return "Boolean";
    case VarType::Byte: return "Byte";
    case VarType::Integer: return "Integer";
    case VarType::Long: return "Long";
    case VarType::Single: return "Single";
    case VarType::Double: return "Double";
    case VarType::Currency: return "Currency";
    case VarType::Date: return "Date";
    case VarType::String: return "String";
    case VarType::Object: return v.IsNothing() ? "Nothing" : v.AsObject()->TypeName();
    case VarType::Array: return "Variant()";
    default: return "Unknown";
  }
}

std::optional<int> CompareVariants(const Variant& a_in, const Variant& b_in, bool ignore_case) {
  Variant a = a_in.Resolved(), b = b_in.Resolved();
  if (a.IsNull() || b.IsNull()) return std::nullopt;
  auto sign = [](double x) { return x < 0 ? -1 : (x > 0 ? 1 : 0); };
  bool a_str = a.IsString(), b_str = b.IsString();
  if (a.IsEmpty() && b_str) a = Variant(std::string());
  if (b.IsEmpty() && a_str) b = Variant(std::string());
  a_str = a.IsString();
  b_str = b.IsString();
  if (a_str && b_str) {
    int c = ignore_case ? (ILess{}(a.AsString(), b.AsString()) ? -1 : (ILess{}(b.AsString(), a.AsString()) ? 1 : 0))
                        : a.AsString().compare(b.AsString());
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  if (a_str != b_str) {
    const Variant& s = a_str ? a : b;
    auto n = ParseNumber(s.AsString());
    if (!n) return a_str ? 1 : -1;  // a number sorts before a text
    double x = a_str ? *n : a.ToDouble();
    double y = a_str ? b.ToDouble() : *n;
    return sign(x - y);
  }
  if (a.IsArray() || b.IsArray()) throw VbError::TypeMismatch();
  double x = a.ToDouble(), y = b.ToDouble();
  return x < y ? -1 : (x > y ? 1 : 0);
}

}  // namespace veldrane
