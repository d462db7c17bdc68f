// ADO's persisted XML recordset format (Save with adPersistXML, Open with
// "Provider=MSPersist"): reading both the current and the older schema
// layout, aliased column names (rs:name) and pending-change sections, and
// writing the exact layout ADO writes (single-quoted attributes, tab
// indentation, Null as an absent attribute, fixed-length strings padded).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/variant.h"
#include "platform/db/provider.h"

namespace veldrane::ado {

struct PersistedTable {
  std::vector<ColumnInfo> columns;
  std::vector<std::vector<Variant>> rows;  // in file order; pending inserts and updates applied
  bool updatable = true;                   // rs:updatable on the row schema
  // Rows left out because a value could not be read as its column's type,
  // one description each ("row 3, field 'ID' (adDecimal) holds 'abc'").
  std::vector<std::string> unreadable_rows;
};

// Reads a persisted file. Raises 3002 naming the file when it cannot be read
// and -2147467259 naming it when its content is not a persisted recordset.
// A row holding a value its column cannot take (a date that is no date)
// costs that row only: it is left out and described in unreadable_rows.
PersistedTable ReadPersistedFile(const std::string& path);
// The same for text already in memory; `name` appears in error messages.
PersistedTable ParsePersisted(std::string_view xml, const std::string& name);

// The file text for `columns` and `rows` (Null values are absent attributes).
std::string FormatPersisted(const std::vector<ColumnInfo>& columns, const std::vector<const Variant*>& rows,
                            bool updatable);

// How a file that Save wrote ends, with rows and without.
inline constexpr std::string_view kDataEnd = "</rs:data>\n</xml>\n";
inline constexpr std::string_view kEmptyDataEnd = "<rs:data/>\n</xml>\n";

// The "\t<z:row .../>\n" lines of `rows`, as FormatPersisted writes them.
std::string FormatPersistedRows(const std::vector<ColumnInfo>& columns, const std::vector<const Variant*>& rows);

// Adds `rows` at the end of the persisted file `path` in place, without
// reading or rewriting what it holds: the file must end as FormatPersisted
// ends it and its schema must give `columns` (names, types, sizes) in order.
// False, with nothing written, when it does not. The append is journaled
// ("<path>.append" holds the old ending while the rows are written), so a
// crash never leaves a broken table: RecoverPersistedAppend undoes an append
// that did not finish. The caller serialises appends (the table's lock).
// Raises 3002 naming the file when it cannot be written.
bool AppendPersistedRows(const std::string& path, const std::vector<ColumnInfo>& columns,
                         const std::vector<const Variant*>& rows);
// Restores the ending of `path` that an interrupted append replaced, from its
// journal, and removes the journal; nothing when there is no journal.
void RecoverPersistedAppend(const std::string& path);

// Replaces `path` with `content` atomically: a temporary file beside it,
// flushed to disk, then renamed over it. Raises 3002 naming the file.
void ReplaceFileAtomically(const std::string& path, const std::string& content);

}  // namespace veldrane::ado
