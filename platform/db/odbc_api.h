// The thin layer over the ODBC C interface that the ODBC provider's files
// share: UTF-8 <-> UTF-16 (every call goes through the W functions, so
// that text reaches Unicode drivers unconverted), statement handles freed
// on every path, and a failed call turned into a VbError carrying the
// driver's diagnostics (message, SQLSTATE, native code).
//
// Only the odbc_*.cpp files include this header: nothing else sees sql.h.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <string_view>

#include "core/vb_error.h"

namespace veldrane::ado {

using WideString = std::basic_string<SQLWCHAR>;

// UTF-8 to UTF-16 and back; bytes that are not UTF-8 become U+FFFD.
WideString ToWide(std::string_view utf8);
std::string FromWide(const SQLWCHAR* text, size_t units);
inline std::string FromWide(const WideString& text) { return FromWide(text.data(), text.size()); }

inline bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// The diagnostics of the last call on a handle.
struct OdbcDiagnostics {
  std::string state;    // SQLSTATE of the first record, "" when there is none
  int32_t native = 0;   // the database's own error number of the first record
  std::string message;  // every record's message, joined with "; "
};
OdbcDiagnostics ReadDiagnostics(SQLSMALLINT handle_type, SQLHANDLE handle);

// The error for a failed call: class 23 is an integrity violation, any
// other a command error; `secret` never appears in the text.
VbError OdbcFailure(SQLSMALLINT handle_type, SQLHANDLE handle, std::string_view source, std::string_view secret,
                    std::string_view what = {});
// The same from diagnostics already read.
VbError OdbcFailure(const OdbcDiagnostics& d, std::string_view source, std::string_view secret, std::string_view what);

// True for SQLSTATEs that mean the connection is gone (class 08, and the
// "communication link failure" a driver may report as HY000 does not count).
inline bool ConnectionLost(std::string_view state) { return state.starts_with("08"); }

// True when the driver behind `dbc` has the Unicode (W) functions. The
// driver manager would turn W calls to a driver without them into
// single-byte text in the C locale, losing everything past ASCII: such a
// driver gets the ANSI calls, with UTF-8 text, instead.
bool DriverHasWideCalls(SQLHDBC dbc);

// A statement handle, freed with its results when it goes.
class OdbcStatement {
 public:
  OdbcStatement() = default;
  // Allocates on `dbc`; raises the driver's error when it cannot.
  OdbcStatement(SQLHDBC dbc, std::string_view source);
  ~OdbcStatement() { Reset(); }
  OdbcStatement(OdbcStatement&& o) noexcept : h_(o.h_) { o.h_ = SQL_NULL_HSTMT; }
  OdbcStatement& operator=(OdbcStatement&& o) noexcept {
    if (this != &o) {
      Reset();
      h_ = o.h_;
      o.h_ = SQL_NULL_HSTMT;
    }
    return *this;
  }
  OdbcStatement(const OdbcStatement&) = delete;
  OdbcStatement& operator=(const OdbcStatement&) = delete;

  SQLHSTMT get() const { return h_; }
  explicit operator bool() const { return h_ != SQL_NULL_HSTMT; }
  void Reset();

 private:
  SQLHSTMT h_ = SQL_NULL_HSTMT;
};

}  // namespace veldrane::ado
