// Rows of a SQLite query read one at a time (forward-only, read-only
// recordsets on a server cursor), and the rule that keeps such a stream
// from ever seeing, or blocking, a write made while it is open.
//
// An open statement holds the database's read lock, and a write through the
// same handle could show up in rows the statement has yet to give. So
// before this thread writes to a database file (through any connection),
// every stream this thread has open on that file reads its remaining rows
// into memory and lets its statement go. Rows given are the same either way.
#pragma once

#include <sqlite3.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/db/provider.h"
#include "platform/db/row_spool.h"

namespace veldrane::ado {

class SqliteStream : public RowStream {
 public:
  // Takes over `stmt` (prepared, not yet stepped) of handle `db`. `file`
  // is the database file's canonical path; empty for a private database.
  SqliteStream(sqlite3* db, sqlite3_stmt* stmt, std::vector<ColumnInfo> columns, std::string file);
  ~SqliteStream() override;
  SqliteStream(const SqliteStream&) = delete;
  SqliteStream& operator=(const SqliteStream&) = delete;

  const std::vector<ColumnInfo>& Columns() const override { return columns_; }
  bool Next(Variant* row) override;
  void Rewind() override;

  // Reads the remaining rows into memory and finalizes the statement.
  void Materialize();

 private:
  friend void MaterializeStreams(sqlite3* db, const std::string& file);
  bool Step(Variant* row);  // from the statement; finalizes it at the end
  void Finish();

  sqlite3* db_;
  sqlite3_stmt* stmt_;                // null once finished or materialized
  std::vector<ColumnInfo> columns_;
  std::string file_;
  std::thread::id thread_;
  RowTable buffered_;                 // rows read by Materialize, not yet given
  size_t next_buffered_ = 0;
  bool materialized_ = false;
  std::optional<VbError> failure_;    // raised, after the rows before it, at every end
  RowSpool spool_;                    // every row read from the statement, for Rewind
  std::vector<SqliteCell> cells_;     // the row being read
  bool replaying_ = false;            // giving the spooled rows again
};

// Before a write through `db` (on `file`; empty: that handle only): the
// streams this thread has open through `db` or on `file` read their
// remaining rows into memory.
void MaterializeStreams(sqlite3* db, const std::string& file);

}  // namespace veldrane::ado
