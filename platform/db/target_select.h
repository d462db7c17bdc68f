// The query a TARGET step opens its rows with, kept in parts: the table, and
// the key columns with the values that select the target row. A provider
// runs it with the values bound as parameters, so nothing a record holds is
// turned into SQL text on the way and no text is taken apart again to find
// the values. The text form exists for readers (Recordset.Source, a
// formula, a host) and is built only when one asks.
//
// A select without key columns selects no row: the rows open empty, ready
// for a new one.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/variant.h"

namespace veldrane::ado {

struct TargetSelect {
  std::string table;                     // as SQL names it (quoted when it needs to be)
  std::vector<std::string> key_columns;  // as SQL names them
  std::vector<Variant> key_values;       // one per key column

  bool Keyed() const { return !key_columns.empty(); }

  // "SELECT * FROM T WHERE K1 = ? AND K2 = ?" (or "... WHERE 1 = 2"): the
  // statement a provider prepares once and runs with other values. Built on
  // first use and shared with selects made by Next.
  const std::string& Marked() const;

  // The statement with the values written in as quoted text literals:
  // "SELECT * FROM T WHERE K = '42'". What a reader is shown; never run.
  std::string Text() const;

  // The values as the parameters carry them: as text, compared by the
  // database as it would compare the quoted literal of Text.
  void TextValues(std::vector<std::string>& out) const;

  // True when both select the same rows by construction: the same table
  // and key columns, and the same values (compared as text).
  bool Same(const TargetSelect& other) const;

  // A select on the same table and columns for other values, sharing the
  // prepared text of this one when it has been built.
  std::shared_ptr<TargetSelect> Next(std::vector<Variant> values) const;

 private:
  mutable std::shared_ptr<const std::string> marked_;
};

// The select on `table` that selects no row.
std::shared_ptr<TargetSelect> SelectNoRow(std::string table);

}  // namespace veldrane::ado
