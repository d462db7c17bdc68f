// Opening a SQLite database for a connection: the connection string's file
// and mode, the checks that the file is a database, and the names by which
// two connections are known to reach one file.
#include "platform/db/sqlite_open.h"

#include <sys/stat.h>

#include <filesystem>
#include <optional>

#include "core/text.h"
#include "platform/db/connection_string.h"

namespace veldrane::ado {

namespace {

// SQLite counts every allocation it makes under a global mutex unless told
// otherwise before its first use; nothing here reads those counts, and a
// run allocates a few dozen times per record. Set when the library loads,
// before any connection is made. (A host that initialised SQLite already
// keeps its own setting: the call then changes nothing.)
[[maybe_unused]] const int kAllocationCountsOff = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);

}  // namespace

std::string CanonicalFile(const std::string& path) {
  if (path.empty() || path == ":memory:" || path.rfind("file:", 0) == 0) return std::string();
  std::error_code ec;
  std::filesystem::path canonical = std::filesystem::weakly_canonical(path, ec);
  return ec ? path : canonical.string();
}

std::string FileIdentity(const std::string& path, bool read_only) {
  if (path.empty() || path == ":memory:" || path.rfind("file:", 0) == 0) return std::string();
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return std::string();
  return "SQLite:" + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + (read_only ? ":ro" : "");
}

std::unique_ptr<ProviderSession> OpenSqliteSession(const ConnectionString& cs, std::string_view, std::string_view) {
  std::optional<std::string> path = cs.Get({"Data Source", "DataSource", "Database", "Filename"});
  if (!path || path->empty()) {
    throw VbError(adoerr::kProviderFailure, "No Data Source given: the connection string names no database file",
                  "SQLite");
  }
  std::string mode = ToLowerAscii(cs.Get({"Mode"}).value_or(""));
  bool create = Contains(mode, "create");
  bool read_only = mode == "read";
  int flags = read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
  if (create) flags |= SQLITE_OPEN_CREATE;
  bool memory = *path == ":memory:";
  struct stat st{};
  if (!memory && !create && ::stat(path->c_str(), &st) != 0) {
    throw VbError(adoerr::kProviderFailure, "Could not find file '" + *path + "'.", "SQLite");
  }
  sqlite3* db = nullptr;
  // One connection is used by one thread at a time: SQLite's own locking
  // around every call would only cost time.
  flags |= SQLITE_OPEN_NOMUTEX;
  int rc = sqlite3_open_v2(path->c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close_v2(db);
    throw VbError(adoerr::kProviderFailure, message + ": '" + *path + "'", "SQLite");
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, 5000);
  // A file that is not a database opens without complaint; reading the
  // catalogue finds out now rather than at the first query.
  char* message = nullptr;
  rc = sqlite3_exec(db, "PRAGMA foreign_keys = ON; SELECT count(*) FROM sqlite_master", nullptr, nullptr, &message);
  if (rc != SQLITE_OK) {
    std::string text = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    sqlite3_close_v2(db);
    throw VbError(adoerr::kProviderFailure, text + ": '" + *path + "'", "SQLite");
  }
  return MakeSqliteSession(db, *path, read_only);
}

}  // namespace veldrane::ado
