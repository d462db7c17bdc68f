// Which table the rows of an updatable query are written back to, and by
// which columns a row is found again: the decisions every provider makes
// alike, made here once. A provider supplies what its catalogue knows of a
// table (TableFacts) and where each result column comes from; it runs the
// statements itself.
//
// A query is written back when it reads one table (no join, no grouping,
// no set operation) and returns at least one of its columns. A row is found
// again by the table's key when every key column is selected; otherwise the
// provider's row locator (a row id, or the key columns) is selected after
// the visible columns, hidden, and the query read again with it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/db/provider.h"

namespace veldrane::ado {

// What a provider's catalogue says of one table.
struct TableFacts {
  std::string qualified;                // its name as SQL writes it: WriteTarget::table
  std::vector<std::string> key;         // the primary key, else a unique index's columns, in order
  std::vector<std::string> locators;    // selected hidden when the key is not: a row id, or the key; empty: none
  std::string refusal;                  // non-empty: the table's rows are never written back, and why
  bool case_sensitive_names = false;    // column names compare exactly (else ignoring case)
};

// The catalogue of one provider session.
class TableCatalog {
 public:
  virtual ~TableCatalog() = default;
  // The facts of `table`, an id the provider gave in a ColumnOrigin.
  virtual const TableFacts& Facts(const std::string& table) = 0;
};

// Where one result column comes from.
struct ColumnOrigin {
  std::string table;   // the provider's id of its table; empty: an expression
  std::string column;  // the table's own name for it
};

struct TargetLocation {
  WriteTarget target;                  // table and key, or refusal; empty while locators are to be added
  std::vector<std::string> locators;   // non-empty: read the query again with these added (WithLocators)
  size_t from_offset = 0;              // where they go: the offset of the query's FROM
};

// Decides the write target of `sql`, whose result has `columns` (hidden
// locator columns last, when the query was read with them) from `origins`
// (one per column). Marks the columns written back (writable, base_column)
// and the key. Without `may_add_locators`, a key that is not selected
// refuses the target instead of asking for locators.
TargetLocation LocateTarget(std::string_view sql, std::vector<ColumnInfo>& columns,
                            const std::vector<ColumnOrigin>& origins, TableCatalog& catalog,
                            bool may_add_locators = true);

// `sql` with `locators` selected after its own columns, before its FROM.
std::string WithLocators(std::string_view sql, size_t from_offset, const std::vector<std::string>& locators);

// Marks the last locators.size() columns of a result read WithLocators as
// the hidden locators they are; LocateTarget then takes them as the key.
void MarkLocators(std::vector<ColumnInfo>& columns, const std::vector<std::string>& locators);

}  // namespace veldrane::ado
