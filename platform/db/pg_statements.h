// What the PostgreSQL provider reads off statement texts and results: which
// literals can become parameters of a prepared statement, which texts the
// pipeline may carry, which failures a change of a table by another
// connection explains, and whether a result has the shape of an earlier one.
#pragma once

#include <libpq-fe.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/sql_text.h"

namespace veldrane::ado {

// The quoted literals of a query's WHERE clause as parameters ($1, $2, ...),
// so that the per-record lookups of a run share one prepared statement;
// none when the text cannot be read that way.
std::optional<ParameterizedSql> ParameterizeForServer(std::string_view sql, bool standard_strings);

// True when every statement of `sql` reads or writes rows, and so cannot
// change a table's columns (short of a function that does).
bool OnlyRowStatements(std::string_view sql);

// True when `sql` is one statement that reads or writes rows, which the
// extended protocol can carry in a pipeline.
bool OneRowStatement(std::string_view sql);

// True for the SQLSTATEs of a prepared statement's run that a change of its
// table by another connection can cause.
bool MayBeStale(std::string_view state);

// A result column as far as its description depends on the server.
struct ColumnShape {
  std::string name;
  Oid type, table;
  int typmod, column;
  bool operator==(const ColumnShape&) const = default;
};

std::vector<ColumnShape> ShapeOf(const PGresult* res);
bool HasShape(const PGresult* res, const std::vector<ColumnShape>& shape);

}  // namespace veldrane::ado
