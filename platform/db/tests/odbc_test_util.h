// Connection strings for the ODBC tests' three drivers, from the
// environment the test command sets (see CMakeLists.txt: the private
// odbcinst.ini / odbc.ini and the MariaDB server's socket).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

#include "platform/db/ado.h"
#include "platform/db/tests/db_test_util.h"

namespace veldrane::ado {

enum class OdbcBackend { MariaDb, Postgres, Sqlite };

inline const char* BackendName(OdbcBackend b) {
  return b == OdbcBackend::MariaDb ? "MariaDB" : b == OdbcBackend::Postgres ? "PostgreSQL" : "SQLite";
}

inline std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

inline void RequireOdbcEnvironment() {
  ASSERT_FALSE(Env("ODBCSYSINI").empty()) << "ODBCSYSINI is not set: run the ODBC tests through ctest";
  ASSERT_FALSE(Env("VELDRANE_MARIADB_SOCKET").empty()) << "VELDRANE_MARIADB_SOCKET is not set";
  ASSERT_FALSE(Env("VELDRANE_PG").empty()) << "VELDRANE_PG is not set";
}

// "host=.. port=.." of VELDRANE_PG as a map.
inline std::map<std::string, std::string> PgParts() {
  std::map<std::string, std::string> parts;
  std::istringstream in(Env("VELDRANE_PG"));
  std::string item;
  while (in >> item) {
    size_t eq = item.find('=');
    if (eq != std::string::npos) parts[item.substr(0, eq)] = item.substr(eq + 1);
  }
  return parts;
}

// A working connection string of each kind the provider accepts: MariaDB
// through its DSN with UID/PWD, PostgreSQL through the DSN (a trusted user),
// SQLite through the driver and a file in `dir`.
inline std::string ConnectionStringFor(OdbcBackend b, const testing::TempDir& dir) {
  switch (b) {
    case OdbcBackend::MariaDb: return "Provider=MSDASQL;DSN=veldrane_maria;UID=veldrane;PWD=veldrane-secret";
    case OdbcBackend::Postgres: return "Provider=MSDASQL.1;DSN=veldrane_pg";
    case OdbcBackend::Sqlite: return "Driver={SQLite3};Database=" + dir.File("odbc.db");
  }
  return {};
}

// A string for the user who must give a password (empty: none in the string).
inline std::string PasswordConnectionString(OdbcBackend b, const std::string& password) {
  std::string pwd = password.empty() ? "" : ";PWD=" + password;
  if (b == OdbcBackend::MariaDb) {
    return "Provider=MSDASQL;Driver={MariaDB Unicode};Server=localhost;Socket=" + Env("VELDRANE_MARIADB_SOCKET") +
           ";Database=veldrane_test;UID=veldrane" + pwd;
  }
  auto pg = PgParts();
  return "Provider=MSDASQL;Extended Properties=\"Driver={PostgreSQL Unicode};Servername=" + pg["host"] +
         ";Port=" + pg["port"] + ";Database=" + pg["dbname"] + "\";User ID=veldrane_password" +
         (password.empty() ? "" : ";Password=" + password);
}

inline void Drop(const ConnectionRef& cn, const std::string& table) {
  cn->Execute("DROP TABLE IF EXISTS " + table);
}

}  // namespace veldrane::ado
