// The ODBC provider's session: one driver-manager connection, the
// transaction and savepoint state, the prepared write statements, and the
// streams reading through it. Only odbc_*.cpp include this header.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "platform/db/held_savepoints.h"
#include "platform/db/odbc_api.h"
#include "platform/db/odbc_connect.h"
#include "platform/db/odbc_values.h"
#include "platform/db/provider.h"
#include "platform/db/target_locator.h"

namespace veldrane::ado {

class OdbcStream;

class OdbcSession : public ProviderSession, private TableCatalog {
 public:
  // Takes over `env` and the connected `dbc`.
  OdbcSession(SQLHENV env, SQLHDBC dbc, OdbcConnectString cs, std::string dbms);
  ~OdbcSession() override;

  std::unique_ptr<RowStream> OpenStream(std::string_view sql) override;
  std::string Name() const override;
  Rowset Query(std::string_view sql, bool updatable) override;
  // The select prepared once per text, its key values bound as text.
  Rowset QueryTarget(const TargetSelect& select) override;
  std::optional<Rowset> Execute(std::string_view sql) override;
  void Begin(int32_t level) override;
  void Commit(int32_t level) override;
  void Rollback(int32_t level) override;
  bool TransactionOpen() const override;
  // "ODBC:" and the connection string without its password.
  std::string Identity() const override;
  void Insert(const RowWrite& write, std::vector<Variant>& stored) override;
  void Update(const RowWrite& write, std::vector<Variant>& stored) override;
  void Delete(const RowWrite& write) override;

 private:
  friend class OdbcStream;
  enum class Support { Unknown, Yes, No };

  // The error of a failed call on `handle`; notes a connection that is gone.
  VbError Failure(SQLSMALLINT type, SQLHANDLE handle, std::string_view what = {});
  void RequireAlive();
  // Runs one statement as written; its results stay on the returned handle.
  OdbcStatement Run(std::string_view sql);
  // Every row of the result on `stmt`, fetched in blocks of at most
  // `block_rows`: a query run once per record mostly finds a few rows, and
  // its buffers are made anew each time.
  Rowset ReadResult(SQLHSTMT stmt, SQLULEN block_rows = 64);
  Rowset ReadResult(SQLHSTMT stmt, std::vector<OdbcColumn> columns, SQLULEN block_rows);
  void SetAutocommit(bool on);
  void EndTransaction(SQLSMALLINT completion);
  // Sends the held-back savepoints before a write that needs them.
  void SendSavepoints();
  SQLHSTMT Prepared(const std::string& sql);
  // Runs a write statement with `first` then `second` as parameters; the
  // rows it touched. With `returned`, also the rows it returns.
  SQLLEN RunWrite(const std::string& sql, const std::vector<Variant>& first, const std::vector<Variant>& second,
                  Rowset* returned = nullptr);
  // Where the rows of the result on `stmt` (the text `sql`) are written
  // back: fills rows.target, or returns the locators to read the query
  // again with (target_locator.h; odbc_catalog.cpp).
  TargetLocation Locate(std::string_view sql, SQLHSTMT stmt, Rowset& rows, bool may_add_locators);
  struct TableInfo {
    std::string name;                  // as the catalogue stores it
    std::vector<std::string> columns;  // every column, in order
    std::vector<std::string> key;      // primary key, else a unique index; empty: none
    TableFacts facts;                  // what the target locator needs
  };
  // The id of a table (loaded into tables_ on first use).
  std::string TableId(const std::string& schema, const std::string& name);
  TableInfo LoadTable(const std::string& schema, const std::string& name);
  const TableFacts& Facts(const std::string& table) override;
  // A catalogue function's rows (its arguments: statement, schema, table).
  using CatalogCall = std::function<SQLRETURN(SQLHSTMT, SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT)>;
  std::vector<std::vector<Variant>> CatalogRows(const CatalogCall& call, const std::string& schema,
                                                const std::string& table);
  std::vector<std::string> CatalogColumn(const CatalogCall& call, const std::string& schema, const std::string& table,
                                         size_t column);
  // Drops what is known about tables, after statements that may change them.
  void ForgetTables();

  SQLHENV env_;
  SQLHDBC dbc_;
  OdbcConnectString cs_;
  std::string dbms_;                 // SQL_DBMS_NAME: "MariaDB", "PostgreSQL", "SQLite"
  bool bind_text_ = true;            // text may be bound in blocks (declared sizes hold)
  bool wide_ = true;                 // the driver has W functions: statements go as UTF-16
  bool wide_text_ = true;            // values too (else as UTF-8 bytes)
  bool insert_returning_ = false;    // the database has INSERT ... RETURNING
  bool transaction_ = false;         // autocommit is off and a transaction may hold work
  bool dead_ = false;                // the server went away
  std::string lost_;                 // the driver's word when it did
  HeldSavepoints held_;
  Support savepoints_ = Support::Unknown;
  std::unordered_map<std::string, OdbcStatement> prepared_;  // write text -> prepared statement
  std::unordered_set<OdbcStream*> streams_;                   // open on this connection
  std::unordered_map<std::string, TableInfo> tables_;         // table id (schema, name) -> what the catalogue said
  struct TargetPlan {
    std::string exec_text;                 // the marked select, locators added when needed
    std::vector<std::string> locators;
    std::vector<OdbcColumn> odbc_columns;  // as the first run described them
    std::vector<ColumnInfo> columns;   // as FindTarget marked them
    WriteTarget target;
  };
  std::unordered_map<std::string, TargetPlan> target_plans_;  // marked select text -> its write target
  std::vector<std::string> key_text_;                          // the bound key values of the last QueryTarget
};

}  // namespace veldrane::ado
