#include "platform/db/sqlite_values.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

#include "core/oadate.h"
#include "core/text.h"
#include "platform/db/field_values.h"

namespace veldrane::ado {

namespace {

// The n or (p,s) of "VARCHAR(40)" / "DECIMAL(10,2)".
void SizeArguments(const std::string& upper, int32_t& first, int32_t& second) {
  size_t open = upper.find('(');
  if (open == std::string::npos) return;
  first = std::atoi(upper.c_str() + open + 1);
  size_t comma = upper.find(',', open);
  if (comma != std::string::npos) second = std::atoi(upper.c_str() + comma + 1);
}

bool StartsWith(const std::string& s, std::string_view prefix) { return s.rfind(prefix, 0) == 0; }

void PutDigits(char* out, int value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
}

// FormatOaDate without printf: dates are bound once per written row. Writes
// into `buf` (at least 20 bytes) and returns the length.
size_t FormatDate(double oadate, char* buf) {
  DateParts p = OaToParts(oadate);
  if (p.year < 0 || p.year > 9999) {
    std::string text = FormatOaDate(oadate);
    text.copy(buf, 19);
    return std::min<size_t>(text.size(), 19);
  }
  bool has_time = (p.hour | p.minute | p.second) != 0;
  char* t = buf;
  if (!(std::trunc(oadate) == 0 && has_time)) {
    PutDigits(buf, p.year, 4);
    buf[4] = '-';
    PutDigits(buf + 5, p.month, 2);
    buf[7] = '-';
    PutDigits(buf + 8, p.day, 2);
    if (!has_time) return 10;
    buf[10] = ' ';
    t = buf + 11;
  }
  PutDigits(t, p.hour, 2);
  t[2] = ':';
  PutDigits(t + 3, p.minute, 2);
  t[5] = ':';
  PutDigits(t + 6, p.second, 2);
  return static_cast<size_t>(t + 8 - buf);
}

// The stored forms "yyyy-mm-dd" and "yyyy-mm-dd hh:nn:ss" read directly;
// anything else goes through the general date parser.
int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

std::optional<double> ParseStoredDate(std::string_view v) {
  auto digits = [&](size_t at, size_t n, int& out) {
    out = 0;
    for (size_t i = at; i < at + n; ++i) {
      if (v[i] < '0' || v[i] > '9') return false;
      out = out * 10 + (v[i] - '0');
    }
    return true;
  };
  DateParts p;
  if ((v.size() == 10 || (v.size() == 19 && v[10] == ' ' && v[13] == ':' && v[16] == ':')) && v[4] == '-' &&
      v[7] == '-' && digits(0, 4, p.year) && digits(5, 2, p.month) && digits(8, 2, p.day) && p.month >= 1 &&
      p.month <= 12 && p.day >= 1 && p.day <= DaysInMonth(p.year, p.month)) {
    if (v.size() == 10) return OaFromParts(p);
    if (digits(11, 2, p.hour) && digits(14, 2, p.minute) && digits(17, 2, p.second) && p.hour < 24 &&
        p.minute < 60 && p.second < 60) {
      return OaFromParts(p);
    }
  }
  return ParseOaDate(v);
}

}  // namespace

void ApplyDeclaredType(const char* decltype_text, ColumnInfo& column) {
  std::string upper = decltype_text ? ToUpperAscii(decltype_text) : std::string();
  int32_t first = 0, second = 0;
  SizeArguments(upper, first, second);
  auto has = [&](std::string_view part) { return upper.find(part) != std::string::npos; };
  if (upper.empty()) {
    column.type = adVariant;
  } else if (has("DATETIME") || has("TIMESTAMP")) {
    column.type = adDBTimeStamp;
    column.defined_size = 16;
    column.precision = 19;
  } else if (has("DATE")) {
    column.type = adDBDate;
    column.defined_size = 6;
    column.precision = 10;
  } else if (StartsWith(upper, "TIME")) {
    column.type = adDBTime;
    column.defined_size = 6;
    column.precision = 8;
  } else if (has("BOOL") || upper == "BIT" || upper == "YESNO") {
    column.type = adBoolean;
    column.defined_size = 2;
  } else if (has("BIGINT") || has("INT8")) {
    column.type = adBigInt;
    column.defined_size = 8;
    column.precision = 19;
  } else if (has("SMALLINT") || has("INT2")) {
    column.type = adSmallInt;
    column.defined_size = 2;
    column.precision = 5;
  } else if (has("TINYINT")) {
    column.type = adTinyInt;
    column.defined_size = 1;
    column.precision = 3;
  } else if (has("INT")) {
    column.type = adInteger;
    column.defined_size = 4;
    column.precision = 10;
  } else if (has("VARCHAR") || has("VARYING")) {
    column.type = adVarWChar;
    column.defined_size = first;
  } else if (has("CHAR")) {
    column.type = first > 0 ? adWChar : adLongVarWChar;
    column.defined_size = first;
    column.fixed_length = first > 0;
    column.is_long = first == 0;
  } else if (has("CLOB") || has("TEXT") || has("MEMO")) {
    column.type = adLongVarWChar;
    column.is_long = true;
  } else if (has("VARBINARY")) {
    column.type = adVarBinary;
    column.defined_size = first;
  } else if (has("BLOB") || has("BINARY")) {
    column.type = adLongVarBinary;
    column.is_long = true;
  } else if (has("REAL") || has("FLOA") || has("DOUB")) {
    column.type = adDouble;
    column.defined_size = 8;
    column.precision = 15;
  } else if (has("MONEY") || has("CURRENCY")) {
    column.type = adCurrency;
    column.defined_size = 8;
    column.precision = 19;
    column.scale = 4;
  } else if (has("DEC") || has("NUMERIC") || has("NUMBER")) {
    column.type = adNumeric;
    column.defined_size = 19;
    column.precision = first;
    column.scale = second;
  } else {
    column.type = adVariant;
  }
}

int32_t TypeOfStorage(int storage_class) {
  switch (storage_class) {
    case SQLITE_INTEGER: return adBigInt;
    case SQLITE_FLOAT: return adDouble;
    case SQLITE_BLOB: return adLongVarBinary;
    default: return adVarWChar;
  }
}

void SqliteValueAsVariant(int storage_class, sqlite3_int64 integer, double real, std::string_view bytes,
                          const ColumnInfo& column, Variant& out) {
  switch (storage_class) {
    case SQLITE_NULL: out = Variant::Null(); return;
    case SQLITE_INTEGER: {
      switch (column.type) {
        case adBoolean: out = Variant(integer != 0); return;
        case adInteger:
          out = integer >= INT32_MIN && integer <= INT32_MAX ? Variant(static_cast<int32_t>(integer))
                                                            : Variant::FromInt64(integer);
          return;
        case adDouble:
        case adSingle:
        case adNumeric:
        case adDecimal: out = Variant(static_cast<double>(integer)); return;
        case adCurrency: out = Variant(Currency{static_cast<int64_t>(integer) * 10000}); return;
        default: out = Variant::FromInt64(integer); return;
      }
    }
    case SQLITE_FLOAT:
      out = column.type == adCurrency ? Variant(Currency::FromDouble(real)) : Variant(real);
      return;
    case SQLITE_BLOB: out = BytesToVariant(bytes.data(), bytes.size()); return;
    default: {
      if (column.type == adDBTimeStamp || column.type == adDBDate || column.type == adDBTime ||
          column.type == adDate) {
        if (auto d = ParseStoredDate(bytes)) {
          out = Variant::Date(*d);
          return;
        }
      }
      if (out.IsString()) {
        out.AsString().assign(bytes);
      } else {
        out = Variant(bytes);
      }
      return;
    }
  }
}

void ReadSqliteCell(sqlite3_stmt* stmt, int i, const ColumnInfo& column, Variant& out) {
  // One value object per cell rather than a column call per property.
  sqlite3_value* value = sqlite3_column_value(stmt, i);
  switch (int storage_class = sqlite3_value_type(value)) {
    case SQLITE_NULL: out = Variant::Null(); return;
    case SQLITE_INTEGER: SqliteValueAsVariant(storage_class, sqlite3_value_int64(value), 0, {}, column, out); return;
    case SQLITE_FLOAT: SqliteValueAsVariant(storage_class, 0, sqlite3_value_double(value), {}, column, out); return;
    case SQLITE_BLOB: {
      const char* data = static_cast<const char*>(sqlite3_value_blob(value));
      size_t size = static_cast<size_t>(sqlite3_value_bytes(value));
      SqliteValueAsVariant(storage_class, 0, 0, std::string_view(data ? data : "", size), column, out);
      return;
    }
    default: {
      const char* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
      size_t size = static_cast<size_t>(sqlite3_value_bytes(value));
      SqliteValueAsVariant(SQLITE_TEXT, 0, 0, std::string_view(text ? text : "", size), column, out);
      return;
    }
  }
}

int BindVariant(sqlite3_stmt* stmt, int index, const Variant& value) {
  // Text of the caller's own Variant is bound without a copy: the caller
  // keeps `value` alive until the statement has run.
  Variant resolved;
  if (value.IsObject()) resolved = value.Resolved();
  const Variant& v = value.IsObject() ? resolved : value;
  const Variant::Storage& s = v.storage();
  if (const auto* text = std::get_if<std::string>(&s)) {
    return sqlite3_bind_text(stmt, index, text->data(), static_cast<int>(text->size()),
                             &v == &value ? SQLITE_STATIC : SQLITE_TRANSIENT);
  }
  if (const auto* n = std::get_if<int32_t>(&s)) return sqlite3_bind_int64(stmt, index, *n);
  if (const auto* d = std::get_if<double>(&s)) return sqlite3_bind_double(stmt, index, *d);
  switch (v.Type()) {
    case VarType::Empty:
    case VarType::Null: return sqlite3_bind_null(stmt, index);
    case VarType::Boolean: return sqlite3_bind_int(stmt, index, v.AsBool() ? 1 : 0);
    case VarType::Byte:
    case VarType::Integer: return sqlite3_bind_int64(stmt, index, v.ToLong());
    case VarType::Single: return sqlite3_bind_double(stmt, index, v.ToDouble());
    case VarType::Currency: {
      int64_t scaled = std::get<Currency>(s).scaled;
      if (scaled % 10000 == 0) return sqlite3_bind_int64(stmt, index, scaled / 10000);
      return sqlite3_bind_double(stmt, index, static_cast<double>(scaled) / 10000.0);
    }
    case VarType::Date: {
      char text[24];
      size_t n = FormatDate(v.AsDate(), text);
      return sqlite3_bind_text(stmt, index, text, static_cast<int>(n), SQLITE_TRANSIENT);
    }
    case VarType::Array: {
      std::string bytes = VariantToBytes(v);
      return sqlite3_bind_blob(stmt, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    }
    default: {
      std::string text = v.ToString();
      return sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
  }
}

}  // namespace veldrane::ado
