// ODBC <-> Variant for the ODBC provider: result columns described as ADO
// fields, rows read in blocks (a row array bound column by column, so that
// one SQLFetch brings many rows), and values bound as typed parameters.
//
// A result with a long column (text or binary without a small bound) cannot
// be bound in blocks of fixed-size buffers: it is read a row at a time,
// each value with SQLGetData in pieces.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/db/odbc_api.h"
#include "platform/db/provider.h"

namespace veldrane::ado {

// A result column: its ADO description and how its values are fetched.
struct OdbcColumn {
  ColumnInfo info;
  SQLSMALLINT sql_type = SQL_UNKNOWN_TYPE;  // as SQLDescribeCol reports it
  SQLSMALLINT c_type = SQL_C_WCHAR;         // the C type it is fetched as
  SQLLEN width = 0;                         // bytes of one bound value; 0: too long to bind
};

// Describes the result columns of an executed statement. `source` names
// the provider in errors. Without `bind_text`, text and binary columns are
// read in pieces whatever size they declare (for drivers whose declared
// sizes do not bound the values, as SQLite's do not).
// With `wide_calls`, names are read through the W function. With
// `wide_text`, text values are read as UTF-16; else as the driver's own
// bytes, UTF-8 for the drivers without W functions and for MariaDB's (whose
// UTF-16 conversion costs more than the rest of the fetch).
std::vector<OdbcColumn> DescribeResult(SQLHSTMT stmt, std::string_view source, bool bind_text, bool wide_calls,
                                       bool wide_text);

class OdbcSpool;

// The bytes a fixed-size C type takes (integers, doubles, date structs); 0
// for text and binary.
size_t FixedSize(SQLSMALLINT c_type);
// The value of `column` from its fetched bytes (`length`: SQL_NULL_DATA, or
// the bytes at `data`).
Variant OdbcValue(const OdbcColumn& column, const char* data, SQLLEN length);

// Reads the rows of an executed statement, in blocks where it can.
class OdbcFetcher {
 public:
  // Takes over nothing: `stmt` stays the caller's and must outlive this.
  // A block holds at most `max_rows` rows (and about a megabyte): a lookup
  // of one row should not pay for the buffers of a long read.
  OdbcFetcher(SQLHSTMT stmt, std::vector<OdbcColumn> columns, std::string source, SQLULEN max_rows = kMaxBlockRows);
  static constexpr SQLULEN kMaxBlockRows = 512;
  ~OdbcFetcher();
  OdbcFetcher(const OdbcFetcher&) = delete;
  OdbcFetcher& operator=(const OdbcFetcher&) = delete;

  const std::vector<OdbcColumn>& columns() const { return columns_; }
  // Fills `row` with the next row, and appends its fetched bytes to
  // `spool` when given; false at the end. Raises the driver's error.
  bool Next(Variant* row, OdbcSpool* spool = nullptr);
  // Appends the next row's fetched bytes to `spool` without converting them.
  bool Keep(OdbcSpool& spool);
  // Reads every remaining row into `rows` (width set to the columns').
  void ReadAll(RowTable& rows);
  bool block() const { return rows_per_fetch_ > 1; }

 private:
  bool FetchBlock();
  // Moves to the next row (fetching a block, or reading a long row's values).
  bool Advance();
  // The current row's fetched bytes of `column`; returns the length.
  SQLLEN Raw(size_t column, const char** data) const;
  void ReadLong(size_t column);

  SQLHSTMT stmt_;
  std::vector<OdbcColumn> columns_;
  std::string source_;
  SQLULEN rows_per_fetch_ = 1;
  std::vector<std::unique_ptr<char[]>> buffers_;  // per column: rows_per_fetch_ values
  std::vector<std::unique_ptr<SQLLEN[]>> lengths_;  // per column: length or SQL_NULL_DATA per row
  SQLULEN fetched_ = 0;                           // rows of the current block
  SQLULEN next_ = 0;                              // the next row of the block to give
  SQLULEN current_ = 0;                           // the row of the block last given
  std::vector<std::string> long_data_;            // row by row: each column's bytes
  std::vector<SQLLEN> long_lengths_;
  bool bound_ = false;                            // columns bound to buffers (else SQLGetData)
  bool done_ = false;
};

// Typed parameters for one execution; keeps the values alive until the
// statement has run.
class OdbcParameters {
 public:
  // Binds `first` then `second` as parameters 1..n of `stmt`.
  // Text goes as UTF-16 with `wide`, else as UTF-8 bytes.
  void Bind(SQLHSTMT stmt, const std::vector<Variant>& first, const std::vector<Variant>& second,
            std::string_view source, bool wide);

 private:
  struct Slot {
    WideString text;
    std::string bytes;
    int64_t integer = 0;
    double real = 0;
    SQL_TIMESTAMP_STRUCT timestamp{};
    unsigned char bit = 0;
    SQLLEN indicator = 0;
  };
  void BindOne(SQLHSTMT stmt, SQLUSMALLINT number, const Variant& value, Slot& slot, std::string_view source,
               bool wide);
  std::vector<Slot> slots_;
};

}  // namespace veldrane::ado
