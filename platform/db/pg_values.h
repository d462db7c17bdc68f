// PostgreSQL <-> Variant. Values travel as text in both directions: a
// result cell is read as the Variant its column's type calls for, and a
// parameter is sent as text, untyped, so that the server converts it to the
// column's type exactly as it would convert a quoted literal.
#pragma once

#include <libpq-fe.h>

#include <optional>
#include <string>

#include "core/variant.h"
#include "platform/db/provider.h"

namespace veldrane::ado {

// Fills type, defined_size, precision, scale, fixed_length and is_long of
// `column` from a result column's type and type modifier.
void ApplyType(Oid oid, int typmod, ColumnInfo& column);

// The value of a result cell.
Variant ReadPgValue(const PGresult* res, int row, int col);

// A parameter's text; nullopt for Null.
std::optional<std::string> ParamText(const Variant& raw);

}  // namespace veldrane::ado
