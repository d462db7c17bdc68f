// What the SQLite provider knows of a table, read once from the schema and
// kept until the schema changes: its columns and key, its rowid, the columns
// the database fills in, whether triggers may change a row written, and the
// facts the target locator decides on.
#pragma once

#include <sqlite3.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "platform/db/target_locator.h"

namespace veldrane::ado {

struct SqliteTableInfo {
  std::vector<std::string> columns;             // in table order
  std::vector<std::string> primary_key;         // in key order
  std::string rowid_name;                       // "rowid", "_rowid_" or "oid"; empty: WITHOUT ROWID
  std::string rowid_alias;                      // the INTEGER PRIMARY KEY column, which is the rowid
  std::vector<std::string> filled_by_database;  // columns with a default or a generated value
  bool triggers = false;                        // the table has triggers
  TableFacts facts;                             // what the target locator needs
};

class SqliteCatalog final : public TableCatalog {
 public:
  explicit SqliteCatalog(sqlite3* db) : db_(db) {}

  // The table `qualified` ("schema"."table", as a statement's column origin
  // names it). Raises the database's error when its schema cannot be read.
  const SqliteTableInfo& Table(const std::string& qualified);
  const TableFacts& Facts(const std::string& table) override { return Table(table).facts; }
  // After a schema change: every table is read again when next asked for.
  void Forget() { tables_.clear(); }

 private:
  sqlite3* db_;
  std::unordered_map<std::string, SqliteTableInfo> tables_;
};

}  // namespace veldrane::ado
