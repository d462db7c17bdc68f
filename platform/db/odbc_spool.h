// The fetched bytes of the rows an ODBC stream has given, kept in an
// anonymous temporary file: a stream that must give its rows again
// (MoveFirst, a group written again record by record) gives the very rows
// it gave before without holding them in memory, and keeping a row costs a
// copy of its bytes, not the making of its values.
#pragma once

#include <sql.h>

#include <cstdint>
#include <string>

#include "platform/db/spool_file.h"

namespace veldrane::ado {

class OdbcSpool {
 public:
  OdbcSpool() = default;
  OdbcSpool(const OdbcSpool&) = delete;
  OdbcSpool& operator=(const OdbcSpool&) = delete;

  // Appends one value (SQL_NULL_DATA, or `length` bytes at `data`); EndRow
  // closes the row. Raises 57 ("Device I/O error") when the file cannot be written.
  void Append(const char* data, SQLLEN length);
  void EndRow() { ++rows_; }
  size_t rows() const { return rows_; }

  // Reading starts again at the first row.
  void StartReading();
  // The next value: its length, and its bytes at `*data` until the next read.
  SQLLEN ReadValue(const char** data);

 private:
  SpoolFile file_{"ODBC"};
  size_t rows_ = 0;
};

}  // namespace veldrane::ado
