#include "platform/db/field_values.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "core/oadate.h"
#include "core/vb_error.h"

namespace veldrane::ado {

namespace {

bool IsTextType(int32_t type) {
  switch (type) {
    case adBSTR: case adChar: case adWChar: case adVarChar: case adLongVarChar: case adVarWChar:
    case adLongVarWChar:
      return true;
    default:
      return false;
  }
}

size_t Utf8Length(std::string_view s) {
  size_t n = 0;
  for (unsigned char c : s) {
    if ((c & 0xC0) != 0x80) ++n;
  }
  return n;
}

[[noreturn]] void Refuse(const ColumnInfo& column, const Variant& value, std::string_view why) {
  std::string shown;
  try {
    shown = value.Resolved().ToText();
  } catch (const VbError&) {
    shown = "?";  // an object without a value: the message still names the field
  }
  throw VbError(adoerr::kTypeMismatch,
                "Field '" + column.name + "' (" + DataTypeName(column.type) + ") cannot take the value '" + shown +
                    "': " + std::string(why),
                "ADODB");
}

}  // namespace

Variant CoerceToField(const ColumnInfo& column, const Variant& raw, bool pad_fixed) {
  // Only an object is resolved to its value; anything else is used as it is.
  Variant resolved;
  if (raw.IsObject()) {
    try {
      resolved = raw.Resolved();
    } catch (const VbError& e) {
      Refuse(column, raw, e.description());
    }
  }
  const Variant& value = raw.IsObject() ? resolved : raw;
  if (value.IsEmpty() || value.IsNull()) return Variant::Null();
  try {
    switch (column.type) {
      case adSmallInt: return Variant(value.ToInteger());
      case adTinyInt: return Variant(value.ToInteger());
      case adInteger: return Variant(value.ToLong());
      case adBigInt: {
        double d = std::nearbyint(value.ToDouble());
        if (!(std::fabs(d) < 9.2233720368547758e18)) throw VbError::Overflow();
        return Variant::FromInt64(static_cast<int64_t>(d));
      }
      case adSingle: return Variant(value.ToSingle());
      case adDouble: return Variant(value.ToDouble());
      case adCurrency: return Variant(value.ToCurrency());
      case adDecimal:
      case adNumeric:
        if (value.Type() == VarType::Currency) return value;
        if (value.IsString()) {
          Variant d = DecimalFromText(value.AsString());
          if (d.IsString()) throw VbError::TypeMismatch();
          return d;
        }
        return Variant(value.ToDouble());
      case adBoolean: return Variant(value.ToBool());
      case adDate:
      case adDBDate:
      case adDBTime:
      case adDBTimeStamp: return Variant::Date(value.ToDate());
      case adBinary:
      case adVarBinary:
      case adLongVarBinary:
        if (value.IsArray()) {
          std::string bytes = VariantToBytes(value);
          return BytesToVariant(bytes.data(), bytes.size());
        }
        return Variant(value.ToString());
      default:
        break;
    }
    if (IsTextType(column.type)) {
      if (value.IsString() && !(pad_fixed && column.defined_size > 0)) return value;
      std::string text = value.ToString();
      if (pad_fixed && column.defined_size > 0) {
        size_t length = Utf8Length(text);
        if (length > static_cast<size_t>(column.defined_size)) {
          Refuse(column, raw, "longer than its " + std::to_string(column.defined_size) + " characters");
        }
        if (column.fixed_length) text.append(column.defined_size - length, ' ');
      }
      return Variant(std::move(text));
    }
  } catch (const VbError& e) {
    if (e.number() == adoerr::kTypeMismatch) throw;
    Refuse(column, raw, e.description());
  }
  return value;  // adVariant and types without a conversion keep the value
}

std::string DataTypeName(int32_t type) {
  switch (type) {
    case adEmpty: return "adEmpty";
    case adSmallInt: return "adSmallInt";
    case adInteger: return "adInteger";
    case adSingle: return "adSingle";
    case adDouble: return "adDouble";
    case adCurrency: return "adCurrency";
    case adDate: return "adDate";
    case adBSTR: return "adBSTR";
    case adBoolean: return "adBoolean";
    case adVariant: return "adVariant";
    case adDecimal: return "adDecimal";
    case adTinyInt: return "adTinyInt";
    case adBigInt: return "adBigInt";
    case adBinary: return "adBinary";
    case adChar: return "adChar";
    case adWChar: return "adWChar";
    case adNumeric: return "adNumeric";
    case adDBDate: return "adDBDate";
    case adDBTime: return "adDBTime";
    case adDBTimeStamp: return "adDBTimeStamp";
    case adVarChar: return "adVarChar";
    case adLongVarChar: return "adLongVarChar";
    case adVarWChar: return "adVarWChar";
    case adLongVarWChar: return "adLongVarWChar";
    case adVarBinary: return "adVarBinary";
    case adLongVarBinary: return "adLongVarBinary";
    default: return "type " + std::to_string(type);
  }
}

bool IsKnownDataType(int32_t type) { return DataTypeName(type).rfind("ad", 0) == 0; }

Variant BytesToVariant(const void* data, size_t size) {
  std::vector<Variant> items;
  items.reserve(size);
  const auto* bytes = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) items.emplace_back(bytes[i]);
  return Variant(std::make_shared<VbArray>(std::move(items)));
}

std::string VariantToBytes(const Variant& value) {
  if (value.IsArray()) {
    std::string out;
    const auto& items = value.AsArray()->items();
    out.reserve(items.size());
    for (const Variant& item : items) out.push_back(static_cast<char>(item.ToByte()));
    return out;
  }
  return value.ToString();
}

std::string ExactNumberText(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
  if (v == std::nearbyint(v) && std::fabs(v) < 1e15) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, static_cast<int64_t>(v));
    return std::string(buf, r.ptr);
  }
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  std::string text(buf, r.ptr);
  // Exponents as the platform writes them: 1E+20, 1E-07.
  size_t e = text.find('e');
  if (e != std::string::npos) {
    std::string mantissa = text.substr(0, e);
    std::string exponent = text.substr(e + 1);
    char sign = '+';
    if (!exponent.empty() && (exponent[0] == '-' || exponent[0] == '+')) {
      sign = exponent[0];
      exponent.erase(0, 1);
    }
    if (exponent.size() < 2) exponent.insert(0, "0");
    text = mantissa + "E" + sign + exponent;
  }
  return text;
}

std::string NumberText(const Variant& value) {
  switch (value.Type()) {
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long: return std::to_string(value.ToLong());
    case VarType::Single: return ExactNumberText(static_cast<double>(value.ToSingle()));
    case VarType::Currency: {
      auto scaled = std::get<Currency>(value.storage()).scaled;
      std::string sign = scaled < 0 ? "-" : "";
      uint64_t mag = scaled < 0 ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
      std::string text = sign + std::to_string(mag / 10000);
      std::string frac = std::to_string(mag % 10000);
      frac.insert(0, 4 - frac.size(), '0');
      while (!frac.empty() && frac.back() == '0') frac.pop_back();
      if (!frac.empty()) text += "." + frac;
      return text;
    }
    default: return ExactNumberText(value.ToDouble());
  }
}

Variant DecimalFromText(std::string_view text) {
  std::string_view t = text;
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  double d = 0;
  auto r = std::from_chars(t.data(), t.data() + t.size(), d);
  if (t.empty() || r.ec != std::errc() || r.ptr != t.data() + t.size()) return Variant(std::string(text));
  // Count significant digits and decimals as written.
  size_t digits = 0, decimals = 0;
  bool after_point = false, leading = true, exponent = false;
  for (char c : t) {
    if (c == 'e' || c == 'E') {
      exponent = true;
      break;
    }
    if (c == '.') {
      after_point = true;
      continue;
    }
    if (c < '0' || c > '9') continue;
    if (after_point) ++decimals;
    if (leading && c == '0') continue;
    leading = false;
    ++digits;
  }
  if (exponent || digits <= 15) return Variant(d);
  // More digits than a Double holds: Currency keeps them exactly when the
  // decimals fit its four places (trailing zeros do not count).
  size_t needed = decimals;
  for (size_t k = t.size(); k > 0 && needed > 0 && t[k - 1] == '0'; --k) --needed;
  if (needed <= 4 && std::fabs(d) < 9.2e14) {
    // Built from the digits, not from `d`, which has already lost some.
    bool negative = t.front() == '-';
    int64_t scaled = 0;
    size_t decimals_taken = 0;
    bool point = false;
    for (char c : t) {
      if (c == '.') {
        point = true;
        continue;
      }
      if (c < '0' || c > '9') continue;
      if (point && decimals_taken == 4) break;
      scaled = scaled * 10 + (c - '0');
      if (point) ++decimals_taken;
    }
    for (; decimals_taken < 4; ++decimals_taken) scaled *= 10;
    return Variant(Currency{negative ? -scaled : scaled});
  }
  return Variant(d);
}

}  // namespace veldrane::ado
