// SQLite <-> Variant: ADO column types from declared types, reading a
// result cell as the Variant its column's type calls for, and binding a
// Variant as a statement parameter.
//
// SQLite has no date type: dates are stored as text in the fixed format
// ("yyyy-mm-dd hh:nn:ss", a midnight as "yyyy-mm-dd", the same text the
// platform's conversion gives, so a key built from a date finds its row),
// and columns declared DATE, DATETIME, TIMESTAMP or TIME read back as Dates.
#pragma once

#define SQLITE_ENABLE_COLUMN_METADATA 1
#include <sqlite3.h>

#include "core/variant.h"
#include "platform/db/provider.h"

namespace veldrane::ado {

// Fills type, defined_size, precision, scale, fixed_length and is_long of
// `column` from a declared type (nullptr or "" for expressions: adVariant).
void ApplyDeclaredType(const char* decltype_text, ColumnInfo& column);

// The value of result column `i` as `column` reads it, into `out` (text
// reuses the string `out` may already hold: rows are read into one slot).
void ReadSqliteCell(sqlite3_stmt* stmt, int i, const ColumnInfo& column, Variant& out);
inline Variant ReadSqliteCell(sqlite3_stmt* stmt, int i, const ColumnInfo& column) {
  Variant v;
  ReadSqliteCell(stmt, i, column, v);
  return v;
}
// The same for a value kept apart from its statement: its storage class and
// the integer, real, or text/blob bytes that class uses.
void SqliteValueAsVariant(int storage_class, sqlite3_int64 integer, double real, std::string_view bytes,
                          const ColumnInfo& column, Variant& out);

// For a column without a declared type: the type its first non-Null value shows.
int32_t TypeOfStorage(int storage_class);

// Binds `value` (1-based `index`); returns the SQLite result code.
int BindVariant(sqlite3_stmt* stmt, int index, const Variant& value);

}  // namespace veldrane::ado
