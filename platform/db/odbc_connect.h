// How an OLE DB connection string for the ODBC provider (Provider=MSDASQL,
// or no provider and a DSN=, FILEDSN= or Driver= key) becomes the string the
// ODBC driver manager reads, and what the machine has installed to offer in
// the data-link dialog. This header includes no ODBC header: the dialog and
// the connection code use it without knowing ODBC.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veldrane::ado {

class ConnectionString;

struct OdbcConnectString {
  std::string connect;   // for SQLDriverConnect; holds the password
  std::string shown;     // the same without the password, for identities and messages
  std::string password;  // what to scrub from a driver's messages; empty when none
};

// True when `cs` names no provider but holds DSN=, FILEDSN= or Driver=.
bool IsOdbcWithoutProvider(const ConnectionString& cs);

// The ODBC string for `cs`: the pairs of "Extended Properties" when given,
// else the string's own pairs less the OLE DB ones, with "Data Source" as
// DSN, "User ID" as UID, "Password" as PWD and "Initial Catalog" as
// DATABASE; a non-empty `user` / `password` (Connection.Open's) replaces UID
// / PWD. Raises -2147217805 when neither a DSN, FILEDSN nor Driver is named.
OdbcConnectString BuildOdbcConnectString(const ConnectionString& cs, std::string_view user,
                                         std::string_view password);

// `value` as an ODBC value: in braces when it holds ";" or leading or
// trailing blanks, or starts with "{" ("}" doubled inside).
std::string OdbcValue(std::string_view value);

// `text` with every occurrence of `secret` (3 characters or more) replaced
// by "***".
std::string ScrubSecret(std::string text, std::string_view secret);

struct OdbcDataSource {
  std::string name;    // the DSN
  std::string driver;  // the description the driver manager gives (usually the driver's name)
};

// The drivers and data sources the driver manager knows (user and system);
// empty when none is installed.
std::vector<std::string> InstalledOdbcDrivers();
std::vector<OdbcDataSource> InstalledOdbcDataSources();

}  // namespace veldrane::ado
