// The raw SQLite values of the rows a stream has read, kept in an anonymous
// temporary file: a stream that must give its rows again (MoveFirst, a
// second run over the same source) gives the very rows it gave before,
// without holding them in memory.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/variant.h"
#include "platform/db/provider.h"
#include "platform/db/spool_file.h"

namespace veldrane::ado {

// One value as SQLite stored it.
struct SqliteCell {
  int storage_class = SQLITE_NULL;
  sqlite3_int64 integer = 0;
  double real = 0;
  std::string_view bytes;  // text or blob; valid until the next step or read
};

class RowSpool {
 public:
  RowSpool() = default;
  RowSpool(const RowSpool&) = delete;
  RowSpool& operator=(const RowSpool&) = delete;

  // Appends a row. Raises 57 ("Device I/O error") when the file cannot be written.
  void Append(const std::vector<SqliteCell>& row);
  size_t rows() const { return rows_; }

  // Reading starts again at the first row.
  void StartReading();
  // The next row, `width` values as `columns` read them; false after the
  // last row appended so far.
  bool ReadRow(Variant* row, const std::vector<ColumnInfo>& columns);

 private:
  SpoolFile file_{"SQLite"};
  size_t rows_ = 0;
  size_t rows_read_ = 0;
};

}  // namespace veldrane::ado
