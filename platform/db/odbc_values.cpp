#include "platform/db/odbc_values.h"

#include <cstring>

#include "core/oadate.h"
#include "platform/db/field_values.h"
#include "platform/db/odbc_spool.h"

namespace veldrane::ado {

namespace {

constexpr SQLULEN kBlockBytes = 1 << 20;   // buffer budget of one block fetch
constexpr SQLULEN kLongText = 4000;        // characters; longer text is read in pieces

SQLLEN WideWidth(SQLULEN chars) {
  // Two UTF-16 units per character leave room for any character a driver
  // counts as one; plus the terminator.
  return static_cast<SQLLEN>((chars * 2 + 1) * sizeof(SQLWCHAR));
}

void ApplyOdbcType(SQLSMALLINT sql_type, SQLULEN size, SQLSMALLINT digits, bool bind_text, bool wide, OdbcColumn& c) {
  ColumnInfo& i = c.info;
  auto integer = [&](int32_t type, int32_t bytes, int32_t precision) {
    i.type = type;
    i.defined_size = bytes;
    i.precision = precision;
    c.c_type = SQL_C_SBIGINT;
    c.width = sizeof(int64_t);
  };
  auto text = [&](int32_t type, bool fixed, bool is_long) {
    i.type = type;
    i.fixed_length = fixed;
    i.is_long = is_long;
    i.defined_size = is_long ? 0 : static_cast<int32_t>(std::min<SQLULEN>(size, INT32_MAX));
    c.c_type = wide ? SQL_C_WCHAR : SQL_C_CHAR;
    bool bind = !is_long && bind_text && size > 0 && size <= kLongText;
    c.width = !bind ? 0 : wide ? WideWidth(size) : static_cast<SQLLEN>(size * 4 + 1);
  };
  switch (sql_type) {
    case SQL_BIT: integer(adBoolean, 2, 0); break;
    case SQL_TINYINT: integer(adTinyInt, 1, 3); break;
    case SQL_SMALLINT: integer(adSmallInt, 2, 5); break;
    case SQL_INTEGER: integer(adInteger, 4, 10); break;
    case SQL_BIGINT: integer(adBigInt, 8, 19); break;
    case SQL_REAL:
      i.type = adSingle, i.defined_size = 4, i.precision = 7;
      c.c_type = SQL_C_DOUBLE, c.width = sizeof(double);
      break;
    case SQL_FLOAT: case SQL_DOUBLE:
      i.type = adDouble, i.defined_size = 8, i.precision = 15;
      c.c_type = SQL_C_DOUBLE, c.width = sizeof(double);
      break;
    case SQL_DECIMAL: case SQL_NUMERIC:
      // As text, so that every digit arrives: a decimal is exact.
      i.type = adNumeric, i.defined_size = 19;
      i.precision = static_cast<int32_t>(std::min<SQLULEN>(size, 255)), i.scale = digits;
      c.c_type = SQL_C_CHAR, c.width = static_cast<SQLLEN>(std::min<SQLULEN>(size, 1000) + 4);
      break;
    case SQL_CHAR: case SQL_WCHAR: text(adWChar, true, false); break;
    case SQL_VARCHAR: case SQL_WVARCHAR: text(adVarWChar, false, size == 0 || size > kLongText); break;
    case SQL_LONGVARCHAR: case SQL_WLONGVARCHAR: text(adLongVarWChar, false, true); break;
    case SQL_TYPE_DATE: case SQL_DATE:
      i.type = adDBDate, i.defined_size = 6, i.precision = 10;
      c.c_type = SQL_C_TYPE_DATE, c.width = sizeof(SQL_DATE_STRUCT);
      break;
    case SQL_TYPE_TIME: case SQL_TIME:
      i.type = adDBTime, i.defined_size = 6, i.precision = 8;
      c.c_type = SQL_C_TYPE_TIME, c.width = sizeof(SQL_TIME_STRUCT);
      break;
    case SQL_TYPE_TIMESTAMP: case SQL_TIMESTAMP:
      i.type = adDBTimeStamp, i.defined_size = 16, i.precision = 19;
      c.c_type = SQL_C_TYPE_TIMESTAMP, c.width = sizeof(SQL_TIMESTAMP_STRUCT);
      break;
    case SQL_BINARY: case SQL_VARBINARY:
      i.type = sql_type == SQL_BINARY ? adBinary : adVarBinary;
      i.fixed_length = sql_type == SQL_BINARY;
      i.defined_size = static_cast<int32_t>(std::min<SQLULEN>(size, INT32_MAX));
      c.c_type = SQL_C_BINARY;
      c.width = bind_text && size > 0 && size <= 8000 ? static_cast<SQLLEN>(size) : 0;
      if (c.width == 0) i.is_long = size == 0 || size > 8000;
      break;
    case SQL_LONGVARBINARY:
      i.type = adLongVarBinary, i.is_long = true;
      c.c_type = SQL_C_BINARY, c.width = 0;
      break;
    default:
      // GUIDs, intervals and the driver's own types read as text.
      text(adVarWChar, false, size == 0 || size > kLongText);
      break;
  }
}

Variant DateValue(const SQL_DATE_STRUCT& d) {
  DateParts p;
  p.year = d.year, p.month = d.month, p.day = d.day;
  return Variant::Date(OaFromParts(p));
}

Variant TimeValue(const SQL_TIME_STRUCT& t) {
  DateParts p;
  p.hour = t.hour, p.minute = t.minute, p.second = t.second;
  return Variant::Date(OaFromParts(p));
}

Variant TimestampValue(const SQL_TIMESTAMP_STRUCT& t) {
  DateParts p;
  p.year = t.year, p.month = t.month, p.day = t.day;
  p.hour = t.hour, p.minute = t.minute, p.second = t.second;
  p.millisecond = static_cast<int>(t.fraction / 1000000);
  return Variant::Date(OaFromParts(p));
}

}  // namespace

size_t FixedSize(SQLSMALLINT c_type) {
  switch (c_type) {
    case SQL_C_SBIGINT: return sizeof(int64_t);
    case SQL_C_DOUBLE: return sizeof(double);
    case SQL_C_TYPE_DATE: return sizeof(SQL_DATE_STRUCT);
    case SQL_C_TYPE_TIME: return sizeof(SQL_TIME_STRUCT);
    case SQL_C_TYPE_TIMESTAMP: return sizeof(SQL_TIMESTAMP_STRUCT);
    default: return 0;
  }
}

Variant OdbcValue(const OdbcColumn& c, const char* data, SQLLEN length) {
  if (length == SQL_NULL_DATA) return Variant::Null();
  switch (c.c_type) {
    case SQL_C_SBIGINT: {
      int64_t n;
      std::memcpy(&n, data, sizeof n);
      if (c.info.type == adBoolean) return Variant(n != 0);
      if (c.info.type == adInteger && n >= INT32_MIN && n <= INT32_MAX) return Variant(static_cast<int32_t>(n));
      return Variant::FromInt64(n);
    }
    case SQL_C_DOUBLE: {
      double d;
      std::memcpy(&d, data, sizeof d);
      return Variant(d);
    }
    case SQL_C_CHAR:
      if (c.info.type == adNumeric) return DecimalFromText(std::string_view(data, static_cast<size_t>(length)));
      return Variant(std::string_view(data, static_cast<size_t>(length)));
    case SQL_C_TYPE_DATE: {
      SQL_DATE_STRUCT d;
      std::memcpy(&d, data, sizeof d);
      return DateValue(d);
    }
    case SQL_C_TYPE_TIME: {
      SQL_TIME_STRUCT t;
      std::memcpy(&t, data, sizeof t);
      return TimeValue(t);
    }
    case SQL_C_TYPE_TIMESTAMP: {
      SQL_TIMESTAMP_STRUCT t;
      std::memcpy(&t, data, sizeof t);
      return TimestampValue(t);
    }
    case SQL_C_BINARY: return BytesToVariant(data, static_cast<size_t>(length));
    default:
      return Variant(FromWide(reinterpret_cast<const SQLWCHAR*>(data), static_cast<size_t>(length) / sizeof(SQLWCHAR)));
  }
}

std::vector<OdbcColumn> DescribeResult(SQLHSTMT stmt, std::string_view source, bool bind_text, bool wide,
                                       bool wide_text) {
  SQLSMALLINT count = 0;
  if (!Succeeded(SQLNumResultCols(stmt, &count))) throw OdbcFailure(SQL_HANDLE_STMT, stmt, source, {});
  std::vector<OdbcColumn> columns(static_cast<size_t>(std::max<SQLSMALLINT>(count, 0)));
  for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(columns.size()); ++i) {
    SQLWCHAR name[512];
    SQLCHAR narrow[1024];
    SQLSMALLINT name_length = 0, sql_type = 0, digits = 0, nullable = SQL_NULLABLE_UNKNOWN;
    SQLULEN size = 0;
    SQLRETURN rc = wide ? SQLDescribeColW(stmt, i, name, 512, &name_length, &sql_type, &size, &digits, &nullable)
                        : SQLDescribeCol(stmt, i, narrow, 1024, &name_length, &sql_type, &size, &digits, &nullable);
    if (!Succeeded(rc)) throw OdbcFailure(SQL_HANDLE_STMT, stmt, source, {});
    OdbcColumn& c = columns[i - 1];
    c.info.name = wide ? FromWide(name, static_cast<size_t>(std::clamp<SQLSMALLINT>(name_length, 0, 511)))
                       : std::string(reinterpret_cast<char*>(narrow),
                                     static_cast<size_t>(std::clamp<SQLSMALLINT>(name_length, 0, 1023)));
    c.info.nullable = nullable != SQL_NO_NULLS;
    c.sql_type = sql_type;
    ApplyOdbcType(sql_type, size, digits, bind_text, wide_text, c);
  }
  return columns;
}

OdbcFetcher::OdbcFetcher(SQLHSTMT stmt, std::vector<OdbcColumn> columns, std::string source, SQLULEN max_rows)
    : stmt_(stmt), columns_(std::move(columns)), source_(std::move(source)) {
  SQLULEN row_bytes = 0;
  bool all_bound = !columns_.empty();
  for (const OdbcColumn& c : columns_) {
    all_bound = all_bound && c.width > 0;
    row_bytes += static_cast<SQLULEN>(c.width) + sizeof(SQLLEN);
  }
  if (!all_bound) return;  // read a row at a time with SQLGetData
  SQLULEN rows = std::clamp<SQLULEN>(kBlockBytes / std::max<SQLULEN>(row_bytes, 1), 1, std::max<SQLULEN>(max_rows, 1));
  if (rows > 1 &&
      (!Succeeded(SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0)) ||
       !Succeeded(SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rows), 0)) ||
       !Succeeded(SQLSetStmtAttr(stmt_, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0)))) {
    rows = 1;  // the driver has no row arrays: one row per fetch, still bound
    SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
    SQLSetStmtAttr(stmt_, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
  }
  rows_per_fetch_ = rows;
  for (size_t i = 0; i < columns_.size(); ++i) {
    const OdbcColumn& c = columns_[i];
    buffers_.push_back(std::make_unique_for_overwrite<char[]>(static_cast<size_t>(c.width) * rows));
    lengths_.push_back(std::make_unique_for_overwrite<SQLLEN[]>(rows));
    if (!Succeeded(SQLBindCol(stmt_, static_cast<SQLUSMALLINT>(i + 1), c.c_type, buffers_.back().get(), c.width,
                              lengths_.back().get()))) {
      throw OdbcFailure(SQL_HANDLE_STMT, stmt_, source_, {});
    }
  }
  bound_ = true;
}

OdbcFetcher::~OdbcFetcher() {
  if (bound_) {
    SQLFreeStmt(stmt_, SQL_UNBIND);
    SQLSetStmtAttr(stmt_, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
    SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
  }
}

bool OdbcFetcher::FetchBlock() {
  if (done_) return false;
  fetched_ = 0;
  next_ = 0;
  SQLRETURN rc = SQLFetch(stmt_);
  if (rc == SQL_NO_DATA) {
    done_ = true;
    return false;
  }
  if (!Succeeded(rc)) throw OdbcFailure(SQL_HANDLE_STMT, stmt_, source_, {});
  if (rows_per_fetch_ == 1) fetched_ = 1;
  if (rc == SQL_SUCCESS_WITH_INFO && bound_) {
    // A bound value longer than its column's size was cut short: never
    // give a truncated value as if it were whole.
    for (size_t i = 0; i < columns_.size(); ++i) {
      for (SQLULEN r = 0; r < fetched_; ++r) {
        SQLLEN n = lengths_[i][r];
        if (n == SQL_NO_TOTAL || (n != SQL_NULL_DATA && n >= columns_[i].width)) {
          throw VbError(vberr::kProviderCommandError,
                        "A value of column " + columns_[i].info.name + " is longer than the column's declared size",
                        source_);
        }
      }
    }
  }
  return fetched_ > 0;
}

void OdbcFetcher::ReadLong(size_t column) {
  const OdbcColumn& c = columns_[column];
  auto number = static_cast<SQLUSMALLINT>(column + 1);
  std::string& data = long_data_[column];
  SQLLEN& length = long_lengths_[column];
  data.clear();
  if (c.c_type != SQL_C_WCHAR && c.c_type != SQL_C_BINARY && c.c_type != SQL_C_CHAR) {
    data.resize(64);
    if (!Succeeded(SQLGetData(stmt_, number, c.c_type, data.data(), 64, &length))) {
      throw OdbcFailure(SQL_HANDLE_STMT, stmt_, source_, {});
    }
    if (length != SQL_NULL_DATA) length = static_cast<SQLLEN>(FixedSize(c.c_type));
    return;
  }
  // In pieces: each call gives the next part (text parts end in a terminator).
  size_t terminator = c.c_type == SQL_C_WCHAR ? sizeof(SQLWCHAR) : c.c_type == SQL_C_CHAR ? 1 : 0;
  char buffer[16384];
  length = 0;
  for (;;) {
    SQLLEN piece_length = 0;
    SQLRETURN rc = SQLGetData(stmt_, number, c.c_type, buffer, sizeof buffer, &piece_length);
    if (rc == SQL_NO_DATA) break;
    if (!Succeeded(rc)) throw OdbcFailure(SQL_HANDLE_STMT, stmt_, source_, {});
    if (piece_length == SQL_NULL_DATA) {
      length = SQL_NULL_DATA;
      return;
    }
    size_t piece = piece_length == SQL_NO_TOTAL || static_cast<size_t>(piece_length) > sizeof buffer - terminator
                       ? sizeof buffer - terminator
                       : static_cast<size_t>(piece_length);
    data.append(buffer, piece);
    if (rc == SQL_SUCCESS) break;
  }
  length = static_cast<SQLLEN>(data.size());
}

bool OdbcFetcher::Advance() {
  if (bound_) {
    if (next_ >= fetched_ && !FetchBlock()) return false;
    current_ = next_++;
    return true;
  }
  if (done_) return false;
  SQLRETURN rc = SQLFetch(stmt_);
  if (rc == SQL_NO_DATA) {
    done_ = true;
    return false;
  }
  if (!Succeeded(rc)) throw OdbcFailure(SQL_HANDLE_STMT, stmt_, source_, {});
  long_data_.resize(columns_.size());
  long_lengths_.resize(columns_.size());
  for (size_t i = 0; i < columns_.size(); ++i) ReadLong(i);
  return true;
}

SQLLEN OdbcFetcher::Raw(size_t column, const char** data) const {
  if (!bound_) {
    *data = long_data_[column].data();
    return long_lengths_[column];
  }
  const OdbcColumn& c = columns_[column];
  *data = buffers_[column].get() + static_cast<size_t>(c.width) * current_;
  SQLLEN length = lengths_[column][current_];
  if (length != SQL_NULL_DATA && FixedSize(c.c_type) > 0) length = static_cast<SQLLEN>(FixedSize(c.c_type));
  return length;
}

bool OdbcFetcher::Next(Variant* row, OdbcSpool* spool) {
  if (!Advance()) return false;
  for (size_t i = 0; i < columns_.size(); ++i) {
    const char* data = nullptr;
    SQLLEN length = Raw(i, &data);
    if (spool) spool->Append(data, length);
    row[i] = OdbcValue(columns_[i], data, length);
  }
  if (spool) spool->EndRow();
  return true;
}

bool OdbcFetcher::Keep(OdbcSpool& spool) {
  if (!Advance()) return false;
  for (size_t i = 0; i < columns_.size(); ++i) {
    const char* data = nullptr;
    SQLLEN length = Raw(i, &data);
    spool.Append(data, length);
  }
  spool.EndRow();
  return true;
}

void OdbcFetcher::ReadAll(RowTable& rows) {
  rows.Reset(columns_.size());
  while (Advance()) {
    Variant* row = rows.Append();
    for (size_t i = 0; i < columns_.size(); ++i) {
      const char* data = nullptr;
      SQLLEN length = Raw(i, &data);
      row[i] = OdbcValue(columns_[i], data, length);
    }
  }
}

void OdbcParameters::Bind(SQLHSTMT stmt, const std::vector<Variant>& first, const std::vector<Variant>& second,
                          std::string_view source, bool wide) {
  slots_.clear();
  slots_.resize(first.size() + second.size());  // no reallocation after this: drivers keep the addresses
  SQLUSMALLINT n = 0;
  for (const Variant& v : first) BindOne(stmt, static_cast<SQLUSMALLINT>(n + 1), v, slots_[n], source, wide), ++n;
  for (const Variant& v : second) BindOne(stmt, static_cast<SQLUSMALLINT>(n + 1), v, slots_[n], source, wide), ++n;
}

void OdbcParameters::BindOne(SQLHSTMT stmt, SQLUSMALLINT number, const Variant& raw, Slot& s, std::string_view source,
                             bool wide) {
  Variant v = raw.IsObject() ? raw.Resolved() : raw;
  SQLSMALLINT c_type = SQL_C_WCHAR, sql_type = SQL_WVARCHAR, digits = 0;
  SQLULEN size = 1;
  SQLPOINTER data = nullptr;
  SQLLEN buffer_length = 0;
  switch (v.Type()) {
    case VarType::Empty: case VarType::Null:
      s.indicator = SQL_NULL_DATA;
      c_type = SQL_C_CHAR, sql_type = SQL_VARCHAR;
      data = &s.bit;
      break;
    case VarType::Boolean:
      s.bit = v.AsBool() ? 1 : 0;
      c_type = SQL_C_BIT, sql_type = SQL_BIT, data = &s.bit;
      break;
    case VarType::Byte: case VarType::Integer: case VarType::Long:
      s.integer = v.ToLong();
      c_type = SQL_C_SBIGINT, sql_type = SQL_BIGINT, size = 19, data = &s.integer;
      break;
    case VarType::Single: case VarType::Double:
      s.real = v.ToDouble();
      c_type = SQL_C_DOUBLE, sql_type = SQL_DOUBLE, size = 15, data = &s.real;
      break;
    case VarType::Currency: case VarType::Decimal: {
      // Exact: the digits travel as text and the database reads them as a decimal.
      s.bytes = NumberText(v);
      size_t dot = s.bytes.find('.');
      digits = static_cast<SQLSMALLINT>(dot == std::string::npos ? 0 : s.bytes.size() - dot - 1);
      size = std::max<SQLULEN>(s.bytes.size(), 1);
      c_type = SQL_C_CHAR, sql_type = SQL_DECIMAL;
      data = s.bytes.data(), buffer_length = static_cast<SQLLEN>(s.bytes.size());
      s.indicator = buffer_length;
      break;
    }
    case VarType::Date: {
      DateParts p = OaToParts(v.AsDate());
      s.timestamp = {static_cast<SQLSMALLINT>(p.year), static_cast<SQLUSMALLINT>(p.month),
                     static_cast<SQLUSMALLINT>(p.day), static_cast<SQLUSMALLINT>(p.hour),
                     static_cast<SQLUSMALLINT>(p.minute), static_cast<SQLUSMALLINT>(p.second),
                     static_cast<SQLUINTEGER>(p.millisecond) * 1000000u};
      c_type = SQL_C_TYPE_TIMESTAMP, sql_type = SQL_TYPE_TIMESTAMP;
      size = p.millisecond ? 23 : 19, digits = p.millisecond ? 3 : 0;
      data = &s.timestamp;
      break;
    }
    case VarType::Array:
      s.bytes = VariantToBytes(v);
      c_type = SQL_C_BINARY;
      sql_type = s.bytes.size() > 8000 ? SQL_LONGVARBINARY : SQL_VARBINARY;
      size = std::max<SQLULEN>(s.bytes.size(), 1);
      data = s.bytes.data(), buffer_length = static_cast<SQLLEN>(s.bytes.size());
      s.indicator = buffer_length;
      break;
    default: {
      if (!wide) {
        s.bytes = v.IsString() ? v.AsString() : v.ToText();
        size = std::max<SQLULEN>(s.bytes.size(), 1);
        c_type = SQL_C_CHAR;
        sql_type = s.bytes.size() > kLongText ? SQL_LONGVARCHAR : SQL_VARCHAR;
        data = s.bytes.data(), buffer_length = static_cast<SQLLEN>(s.bytes.size());
        s.indicator = buffer_length;
        break;
      }
      s.text = v.IsString() ? ToWide(v.AsString()) : ToWide(v.ToText());
      size = std::max<SQLULEN>(s.text.size(), 1);
      sql_type = s.text.size() > kLongText ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
      data = s.text.data();
      buffer_length = static_cast<SQLLEN>(s.text.size() * sizeof(SQLWCHAR));
      s.indicator = buffer_length;
      break;
    }
  }
  SQLRETURN rc = SQLBindParameter(stmt, number, SQL_PARAM_INPUT, c_type, sql_type, size, digits, data, buffer_length,
                                  &s.indicator);
  if (!Succeeded(rc)) throw OdbcFailure(SQL_HANDLE_STMT, stmt, source, {});
}

}  // namespace veldrane::ado
