#include "platform/db/pg_values.h"

#include <charconv>

#include "core/oadate.h"
#include "platform/db/field_values.h"

namespace veldrane::ado {

namespace {

enum : Oid {
  kBool = 16, kBytea = 17, kChar = 18, kName = 19, kInt8 = 20, kInt2 = 21, kInt4 = 23, kText = 25, kOid = 26,
  kFloat4 = 700, kFloat8 = 701, kBpchar = 1042, kVarchar = 1043, kDate = 1082, kTime = 1083, kTimestamp = 1114,
  kTimestampTz = 1184, kNumeric = 1700,
};

// A timestamp as the server writes it (ISO): drop the zone and keep milliseconds.
std::optional<double> ParseServerDate(std::string_view text) {
  std::string t(text);
  if (t.size() > 10) {
    size_t zone = t.find_first_of("+-", 10);
    if (zone != std::string::npos && t.find(':', 0) != std::string::npos && zone > t.find(':')) t.erase(zone);
  }
  size_t dot = t.find('.');
  if (dot != std::string::npos && t.size() > dot + 4) t.erase(dot + 4);
  return ParseOaDate(t);
}

}  // namespace

void ApplyType(Oid oid, int typmod, ColumnInfo& c) {
  switch (oid) {
    case kBool: c.type = adBoolean; c.defined_size = 2; break;
    case kInt2: c.type = adSmallInt; c.defined_size = 2; c.precision = 5; break;
    case kInt4: c.type = adInteger; c.defined_size = 4; c.precision = 10; break;
    case kInt8: case kOid: c.type = adBigInt; c.defined_size = 8; c.precision = 19; break;
    case kFloat4: c.type = adSingle; c.defined_size = 4; c.precision = 7; break;
    case kFloat8: c.type = adDouble; c.defined_size = 8; c.precision = 15; break;
    case kNumeric:
      c.type = adNumeric;
      c.defined_size = 19;
      if (typmod >= 4) {
        c.precision = ((typmod - 4) >> 16) & 0xFFFF;
        c.scale = (typmod - 4) & 0xFFFF;
      }
      break;
    case kBpchar: case kChar:
      c.type = adWChar;
      c.fixed_length = true;
      c.defined_size = typmod >= 4 ? typmod - 4 : 1;
      break;
    case kVarchar:
      c.type = adVarWChar;
      c.defined_size = typmod >= 4 ? typmod - 4 : 0;
      break;
    case kText: c.type = adLongVarWChar; c.is_long = true; break;
    case kDate: c.type = adDBDate; c.defined_size = 6; c.precision = 10; break;
    case kTime: c.type = adDBTime; c.defined_size = 6; c.precision = 8; break;
    case kTimestamp: case kTimestampTz: c.type = adDBTimeStamp; c.defined_size = 16; c.precision = 19; break;
    case kBytea: c.type = adLongVarBinary; c.is_long = true; break;
    default: c.type = adVarWChar; break;  // names, uuids, json and the rest read as text
  }
}

Variant ReadPgValue(const PGresult* res, int row, int col) {
  if (PQgetisnull(res, row, col)) return Variant::Null();
  const char* text = PQgetvalue(res, row, col);
  std::string_view v(text, static_cast<size_t>(PQgetlength(res, row, col)));
  switch (PQftype(res, col)) {
    case kBool: return Variant(v == "t");
    case kInt2: case kInt4: case kInt8: case kOid: {
      int64_t n = 0;
      std::from_chars(v.data(), v.data() + v.size(), n);
      if (PQftype(res, col) == kInt4) return Variant(static_cast<int32_t>(n));
      return Variant::FromInt64(n);
    }
    case kFloat4: case kFloat8: {
      double d = 0;
      auto r = std::from_chars(v.data(), v.data() + v.size(), d);
      if (r.ec != std::errc()) return Variant(v);
      return Variant(d);
    }
    case kNumeric: return DecimalFromText(v);
    case kDate: case kTime: case kTimestamp: case kTimestampTz: {
      if (auto d = ParseServerDate(v)) return Variant::Date(*d);
      return Variant(v);  // infinity and other values a Date cannot hold
    }
    case kBytea: {
      if (v.size() >= 2 && v[0] == '\\' && v[1] == 'x') {
        std::string bytes;
        for (size_t i = 2; i + 1 < v.size(); i += 2) {
          int b = 0;
          std::from_chars(v.data() + i, v.data() + i + 2, b, 16);
          bytes.push_back(static_cast<char>(b));
        }
        return BytesToVariant(bytes.data(), bytes.size());
      }
      return BytesToVariant(v.data(), v.size());
    }
    default: return Variant(v);
  }
}

std::optional<std::string> ParamText(const Variant& raw) {
  Variant v = raw.IsObject() ? raw.Resolved() : raw;
  switch (v.Type()) {
    case VarType::Empty: case VarType::Null: return std::nullopt;
    case VarType::Boolean: return std::string(v.AsBool() ? "true" : "false");
    case VarType::Date: {
      std::string iso = FormatOaDateIso(v.AsDate());
      iso[10] = ' ';
      return iso;
    }
    case VarType::Array: {
      static const char* hex = "0123456789abcdef";
      std::string out = "\\x";
      for (unsigned char b : VariantToBytes(v)) {
        out += hex[b >> 4];
        out += hex[b & 0xF];
      }
      return out;
    }
    case VarType::String: return v.AsString();
    default: return v.IsNumber() ? NumberText(v) : v.ToString();
  }
}

}  // namespace veldrane::ado
