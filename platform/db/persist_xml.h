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
};

// Reads a persisted file. Raises 3002 naming the file when it cannot be read
// and -2147467259 naming it when its content is not a persisted recordset.
PersistedTable ReadPersistedFile(const std::string& path);
// The same for text already in memory; `name` appears in error messages.
PersistedTable ParsePersisted(std::string_view xml, const std::string& name);

// The file text for `columns` and `rows` (Null values are absent attributes).
std::string FormatPersisted(const std::vector<ColumnInfo>& columns, const std::vector<const Variant*>& rows,
                            bool updatable);

// Replaces `path` with `content` atomically: a temporary file beside it,
// flushed to disk, then renamed over it. Raises 3002 naming the file.
void ReplaceFileAtomically(const std::string& path, const std::string& content);

}  // namespace veldrane::ado
