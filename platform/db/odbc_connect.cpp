#include "platform/db/odbc_connect.h"

#include "core/text.h"
#include "core/vb_error.h"
#include "platform/db/ado.h"
#include "platform/db/connection_string.h"
#include "platform/db/odbc_api.h"

namespace veldrane::ado {

namespace {

// Keys that belong to OLE DB and the provider, never to the ODBC driver.
bool OleDbOnly(std::string_view key) {
  for (const char* k : {"Provider", "Extended Properties", "Persist Security Info", "Mode", "Prompt",
                        "Locale Identifier", "OLE DB Services"}) {
    if (IEquals(key, k)) return true;
  }
  return false;
}

// The ODBC key for an OLE DB one; the key itself otherwise.
std::string OdbcKey(std::string_view key) {
  if (IEquals(key, "Data Source")) return "DSN";
  if (IEquals(key, "User ID")) return "UID";
  if (IEquals(key, "Password")) return "PWD";
  if (IEquals(key, "Initial Catalog")) return "DATABASE";
  return std::string(key);
}

bool IsPasswordKey(std::string_view key) { return IEquals(key, "PWD") || IEquals(key, "Password"); }

// A value as the OLE DB parser left it: braces kept, so unwrapped here for
// ScrubSecret, which must find the password as the driver may repeat it.
std::string Unbraced(const std::string& value) {
  if (value.size() < 2 || value.front() != '{' || value.back() != '}') return value;
  return ReplaceAll(std::string_view(value).substr(1, value.size() - 2), "}}", "}");
}

void Put(std::vector<std::pair<std::string, std::string>>& pairs, const std::string& key, const std::string& value) {
  for (auto& [k, v] : pairs) {
    if (IEquals(k, key)) {
      v = value;
      return;
    }
  }
  pairs.emplace_back(key, value);
}

}  // namespace

bool IsOdbcWithoutProvider(const ConnectionString& cs) {
  return cs.Provider().empty() && cs.Get({"DSN", "FILEDSN", "Driver"}).has_value();
}

std::string OdbcValue(std::string_view value) {
  bool braced = value.size() >= 2 && value.front() == '{' && value.back() == '}';
  if (braced) return std::string(value);  // already written as ODBC writes it
  bool wrap = value.find(';') != std::string_view::npos || (!value.empty() && value.front() == '{') ||
              (!value.empty() && (value.front() == ' ' || value.back() == ' '));
  if (!wrap) return std::string(value);
  return "{" + ReplaceAll(value, "}", "}}") + "}";
}

std::string ScrubSecret(std::string text, std::string_view secret) {
  if (secret.size() < 3) return text;
  return ReplaceAll(text, secret, "***");
}

OdbcConnectString BuildOdbcConnectString(const ConnectionString& cs, std::string_view user,
                                         std::string_view password) {
  std::vector<std::pair<std::string, std::string>> pairs;
  if (auto extended = cs.Get({"Extended Properties"})) {
    ConnectionString odbc = ConnectionString::Parse(*extended);
    for (const auto& [k, v] : odbc.pairs()) Put(pairs, OdbcKey(k), v);
  }
  for (const auto& [k, v] : cs.pairs()) {
    if (!OleDbOnly(k)) Put(pairs, OdbcKey(k), v);
  }
  if (!user.empty()) Put(pairs, "UID", std::string(user));
  if (!password.empty()) Put(pairs, "PWD", OdbcValue(password));
  bool named = false;
  for (const auto& [k, v] : pairs) named = named || IEquals(k, "DSN") || IEquals(k, "FILEDSN") || IEquals(k, "Driver");
  if (!named) {
    throw VbError(adoerr::kBadConnectionString,
                  "The ODBC connection string names no data source: give DSN=, FILEDSN= or Driver=", "ODBC");
  }
  OdbcConnectString out;
  for (const auto& [k, v] : pairs) {
    std::string item = k + "=" + OdbcValue(v) + ";";
    out.connect += item;
    if (IsPasswordKey(k)) {
      out.password = Unbraced(v);
    } else {
      out.shown += item;
    }
  }
  return out;
}

std::vector<std::string> InstalledOdbcDrivers() {
  std::vector<std::string> out;
  SQLHENV env = SQL_NULL_HENV;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return out;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLWCHAR name[512], attributes[2048];
  SQLSMALLINT name_length = 0, attributes_length = 0;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  while (Succeeded(SQLDriversW(env, direction, name, 512, &name_length, attributes, 2048, &attributes_length))) {
    out.push_back(FromWide(name, static_cast<size_t>(std::min<SQLSMALLINT>(name_length, 511))));
    direction = SQL_FETCH_NEXT;
  }
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return out;
}

std::vector<OdbcDataSource> InstalledOdbcDataSources() {
  std::vector<OdbcDataSource> out;
  SQLHENV env = SQL_NULL_HENV;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return out;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLWCHAR name[512], description[1024];
  SQLSMALLINT name_length = 0, description_length = 0;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  while (Succeeded(SQLDataSourcesW(env, direction, name, 512, &name_length, description, 1024, &description_length))) {
    out.push_back({FromWide(name, static_cast<size_t>(std::min<SQLSMALLINT>(name_length, 511))),
                   FromWide(description, static_cast<size_t>(std::min<SQLSMALLINT>(description_length, 1023)))});
    direction = SQL_FETCH_NEXT;
  }
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return out;
}

}  // namespace veldrane::ado
