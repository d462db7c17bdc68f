#include "platform/db/sqlite_catalog.h"

#include <algorithm>

#include "core/text.h"

namespace veldrane::ado {

namespace {

VbError Failure(sqlite3* db, int rc) {
  int32_t number = (rc & 0xFF) == SQLITE_CONSTRAINT ? vberr::kProviderIntegrityViolation : vberr::kProviderCommandError;
  return VbError(number, sqlite3_errmsg(db), "SQLite");
}

// A statement of the catalogue's own, finalized when done: a table is read
// once, so nothing is kept prepared for it.
class Prepared {
 public:
  Prepared(sqlite3* db, const std::string& sql) {
    int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(stmt_);
      throw Failure(db, rc);
    }
  }
  ~Prepared() { sqlite3_finalize(stmt_); }
  Prepared(const Prepared&) = delete;
  Prepared& operator=(const Prepared&) = delete;
  operator sqlite3_stmt*() const { return stmt_; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace

const SqliteTableInfo& SqliteCatalog::Table(const std::string& qualified) {
  auto it = tables_.find(qualified);
  if (it != tables_.end()) return it->second;
  SqliteTableInfo info;
  size_t dot = qualified.find("\".\"");
  std::string schema = qualified.substr(0, dot + 1);
  std::string table = qualified.substr(dot + 2);
  Prepared stmt(db_, "PRAGMA " + schema + ".table_xinfo(" + table + ")");
  std::vector<std::pair<int, std::string>> pk;
  std::string pk_type;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    std::string name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1));
    int order = sqlite3_column_int(stmt, 5);
    // A default or a generated value is known only to the database.
    if (sqlite3_column_type(stmt, 4) != SQLITE_NULL || sqlite3_column_int(stmt, 6) != 0) {
      info.filled_by_database.push_back(name);
    }
    info.columns.push_back(name);
    if (order > 0) {
      pk.emplace_back(order, name);
      const unsigned char* type = sqlite3_column_text(stmt, 2);
      pk_type = type ? reinterpret_cast<const char*>(type) : "";
    }
  }
  if (rc != SQLITE_DONE) throw Failure(db_, rc);
  std::sort(pk.begin(), pk.end());
  for (auto& [order, name] : pk) info.primary_key.push_back(name);
  // A trigger may change the row just written: then it is always read back.
  std::string bare = ReplaceAll(table.substr(1, table.size() - 2), "\"\"", "\"");
  Prepared triggers(db_, "SELECT 1 FROM sqlite_temp_master WHERE type = 'trigger' AND tbl_name = ?1 "
                         "UNION ALL SELECT 1 FROM " + schema + ".sqlite_master "
                         "WHERE type = 'trigger' AND tbl_name = ?1");
  sqlite3_bind_text(triggers, 1, bare.data(), static_cast<int>(bare.size()), SQLITE_TRANSIENT);
  rc = sqlite3_step(triggers);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) throw Failure(db_, rc);
  info.triggers = rc == SQLITE_ROW;
  for (std::string_view candidate : {"rowid", "_rowid_", "oid"}) {
    bool taken = false;
    for (const std::string& c : info.columns) taken = taken || IEquals(c, candidate);
    if (taken) continue;
    sqlite3_stmt* probe = nullptr;
    std::string sql = "SELECT " + std::string(candidate) + " FROM " + qualified + " LIMIT 0";
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &probe, nullptr) == SQLITE_OK) info.rowid_name = candidate;
    sqlite3_finalize(probe);
    break;
  }
  // Only a single column declared exactly INTEGER is the rowid itself.
  if (pk.size() == 1 && IEquals(pk_type, "INTEGER") && !info.rowid_name.empty()) info.rowid_alias = pk[0].second;
  info.facts.qualified = qualified;
  info.facts.key = info.primary_key;
  // WITHOUT ROWID tables are found by their key, which they always have.
  info.facts.locators = info.rowid_name.empty() ? info.primary_key : std::vector<std::string>{info.rowid_name};
  return tables_.emplace(qualified, std::move(info)).first->second;
}

}  // namespace veldrane::ado
