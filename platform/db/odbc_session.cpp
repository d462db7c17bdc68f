// The ODBC provider (Provider=MSDASQL), through the unixODBC driver manager
// and whatever driver the connection string names (values: odbc_values.h).
//
// Transactions switch autocommit off; levels below the first are
// savepoints, which every database we reach through ODBC here has
// (MariaDB, PostgreSQL, SQLite). As on the other providers, a savepoint
// begun inside a transaction is held back (HeldSavepoints): a record's
// single row write goes without it, and these databases undo a failing
// statement on their own (psqlODBC by its default statement-level
// rollback). A database that refuses SAVEPOINT is found out by the first
// one sent; it can then not undo part of a transaction, and says so.
#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "core/text.h"
#include "platform/db/connection_string.h"
#include "platform/db/held_savepoints.h"
#include "platform/db/odbc_api.h"
#include "platform/db/odbc_connect.h"
#include "platform/db/odbc_session.h"
#include "platform/db/odbc_spool.h"
#include "platform/db/odbc_values.h"
#include "platform/db/provider.h"
#include "platform/db/sql_text.h"

namespace veldrane::ado {

namespace {

const char* const kSource = "ODBC";

std::string Placeholder(size_t) { return "?"; }

// The statements of `sql`, split at top-level semicolons: drivers differ in
// whether one call may carry several.
std::vector<std::string_view> SplitStatements(std::string_view sql) {
  std::vector<std::string_view> out;
  size_t start = 0;
  for (const SqlToken& t : TokenizeSql(sql)) {
    if (t.kind == SqlToken::Punct && t.depth == 0 && sql.substr(t.begin, 1) == ";") {
      std::string_view s = StatementBody(sql.substr(start, t.begin - start));
      if (!TokenizeSql(s).empty()) out.push_back(s);
      start = t.end;
    }
  }
  std::string_view rest = StatementBody(sql.substr(start));
  if (!TokenizeSql(rest).empty()) out.push_back(rest);
  return out;
}

std::string SavepointName(int32_t level) { return "veldrane_" + std::to_string(level); }

}  // namespace

// Rows of a query read as they are fetched, in blocks. The fetched bytes
// of every row given are spooled (OdbcSpool) so that Rewind can give them
// again; a transaction's end (which may close the driver's cursors) first
// spools the rest, and the stream reads on from the spool.
class OdbcStream : public RowStream {
 public:
  OdbcStream(OdbcSession* session, OdbcStatement stmt, std::vector<OdbcColumn> columns)
      : session_(session), stmt_(std::move(stmt)), odbc_columns_(columns),
        fetcher_(std::make_unique<OdbcFetcher>(stmt_.get(), std::move(columns), kSource)) {
    for (const OdbcColumn& c : odbc_columns_) columns_.push_back(c.info);
    session_->streams_.insert(this);
  }
  ~OdbcStream() override {
    if (session_) session_->streams_.erase(this);
  }
  const std::vector<ColumnInfo>& Columns() const override { return columns_; }

  bool Next(Variant* row) override {
    if (given_ < spool_.rows()) {
      if (spool_read_ > given_) {
        spool_.StartReading();
        spool_read_ = 0;
      }
      while (spool_read_ < given_) ReadSpooled(nullptr);
      ReadSpooled(row);
      ++given_;
      return true;
    }
    if (!fetcher_) return false;
    if (!session_) throw VbError(vberr::kProviderCommandError, "the connection was closed while rows were read", kSource);
    if (!fetcher_->Next(row, &spool_)) {
      Finish();
      return false;
    }
    ++given_;
    return true;
  }

  void Rewind() override {
    spool_.StartReading();
    spool_read_ = 0;
    given_ = 0;
  }

  // Spools the remaining rows and lets the statement go.
  void Materialize() {
    if (!fetcher_) return;
    while (fetcher_->Keep(spool_)) {
    }
    Finish();
  }

  void Detach() {
    Materialize();
    session_ = nullptr;
  }

 private:
  void Finish() {
    fetcher_.reset();
    stmt_.Reset();
  }

  // The spool's next row, into `row` (or skipped when null).
  void ReadSpooled(Variant* row) {
    for (size_t i = 0; i < odbc_columns_.size(); ++i) {
      const char* data = nullptr;
      SQLLEN length = spool_.ReadValue(&data);
      if (row) row[i] = OdbcValue(odbc_columns_[i], data, length);
    }
    ++spool_read_;
  }

  OdbcSession* session_;
  OdbcStatement stmt_;
  std::vector<OdbcColumn> odbc_columns_;
  std::unique_ptr<OdbcFetcher> fetcher_;  // null once every row was read
  std::vector<ColumnInfo> columns_;
  OdbcSpool spool_;                        // every row fetched, as fetched
  size_t given_ = 0;                       // rows given since the start or the last Rewind
  size_t spool_read_ = 0;                  // rows the spool's reading has passed
};

OdbcSession::OdbcSession(SQLHENV env, SQLHDBC dbc, OdbcConnectString cs, std::string dbms)
    : env_(env), dbc_(dbc), cs_(std::move(cs)), dbms_(std::move(dbms)) {
  // SQLite's declared sizes do not bound its values: its text is read in pieces.
  bind_text_ = !IEquals(dbms_, "SQLite");
  wide_ = DriverHasWideCalls(dbc_);
  // MariaDB's driver gives and takes UTF-8 for SQL_C_CHAR on the utf8mb4
  // connection the W connect makes, and converts to UTF-16 at great cost.
  wide_text_ = wide_ && !IEquals(dbms_, "MariaDB") && !IEquals(dbms_, "MySQL");
  // INSERT ... RETURNING: MariaDB since 10.5, PostgreSQL. SQLite has it
  // too, but its ODBC driver fails such a statement: the new row is read
  // back by its rowid there.
  insert_returning_ = IEquals(dbms_, "MariaDB") || IEquals(dbms_, "PostgreSQL");
}

OdbcSession::~OdbcSession() {
  for (OdbcStream* s : std::vector<OdbcStream*>(streams_.begin(), streams_.end())) s->Detach();
  prepared_.clear();
  if (transaction_) SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
  SQLDisconnect(dbc_);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
  SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

std::string OdbcSession::Name() const { return kSource; }

std::string OdbcSession::Identity() const { return "ODBC:" + cs_.shown; }

VbError OdbcSession::Failure(SQLSMALLINT type, SQLHANDLE handle, std::string_view what) {
  OdbcDiagnostics d = ReadDiagnostics(type, handle);
  // SQLite's driver reports a constraint as HY000 with SQLite's own code.
  if (IEquals(dbms_, "SQLite") && d.native == 19) d.state = "23000";
  SQLUINTEGER dead = SQL_CD_FALSE;
  if (ConnectionLost(d.state) ||
      (Succeeded(SQLGetConnectAttr(dbc_, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) && dead == SQL_CD_TRUE)) {
    // The server is gone, and with it any transaction it held.
    if (!dead_) lost_ = ScrubSecret(d.message, cs_.password);
    dead_ = true;
    transaction_ = false;
    held_.Clear();
  } else if (transaction_ && d.state == "40001" && (IEquals(dbms_, "MariaDB") || IEquals(dbms_, "MySQL"))) {
    // A deadlock's victim: InnoDB rolled the whole transaction back, and
    // with autocommit off the next statement would open another that
    // nobody commits.
    transaction_ = false;
    held_.Clear();
    SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER);
  }
  return OdbcFailure(d, kSource, cs_.password, what);
}

void OdbcSession::RequireAlive() {
  if (dead_) {
    throw VbError(adoerr::kProviderFailure,
                  "The connection to the database was lost (" + (lost_.empty() ? std::string("no reason given") : lost_) +
                      "); open it again",
                  kSource);
  }
}

OdbcStatement OdbcSession::Run(std::string_view sql) {
  RequireAlive();
  OdbcStatement stmt(dbc_, kSource);
  SQLRETURN rc;
  if (wide_) {
    WideString text = ToWide(sql);
    rc = SQLExecDirectW(stmt.get(), text.data(), static_cast<SQLINTEGER>(text.size()));
  } else {
    std::string text(sql);
    rc = SQLExecDirect(stmt.get(), reinterpret_cast<SQLCHAR*>(text.data()), static_cast<SQLINTEGER>(text.size()));
  }
  if (!Succeeded(rc) && rc != SQL_NO_DATA) throw Failure(SQL_HANDLE_STMT, stmt.get());
  return stmt;
}

std::unique_ptr<RowStream> OdbcSession::OpenStream(std::string_view sql) {
  if (SplitStatements(sql).size() != 1 || !IsRowQuery(sql)) return nullptr;
  OdbcStatement stmt = Run(sql);
  std::vector<OdbcColumn> columns = DescribeResult(stmt.get(), kSource, bind_text_, wide_, wide_text_);
  return std::make_unique<OdbcStream>(this, std::move(stmt), std::move(columns));
}

Rowset OdbcSession::ReadResult(SQLHSTMT stmt, SQLULEN block_rows) {
  return ReadResult(stmt, DescribeResult(stmt, kSource, bind_text_, wide_, wide_text_), block_rows);
}

Rowset OdbcSession::ReadResult(SQLHSTMT stmt, std::vector<OdbcColumn> columns, SQLULEN block_rows) {
  Rowset rows;
  OdbcFetcher fetcher(stmt, std::move(columns), kSource, block_rows);
  for (const OdbcColumn& c : fetcher.columns()) rows.columns.push_back(c.info);
  fetcher.ReadAll(rows.rows);
  return rows;
}

Rowset OdbcSession::Query(std::string_view sql, bool updatable) {
  OdbcStatement stmt = Run(sql);
  SQLSMALLINT count = 0;
  SQLNumResultCols(stmt.get(), &count);
  if (count == 0) {
    throw VbError(vberr::kProviderCommandError, "The command returns no rows: " + std::string(StatementBody(sql)),
                  kSource);
  }
  Rowset rows = ReadResult(stmt.get());
  if (!updatable) return rows;
  TargetLocation where = Locate(sql, stmt.get(), rows, /*may_add_locators=*/true);
  if (!where.locators.empty()) {
    // The key is not among the selected columns: read again with it.
    stmt = Run(WithLocators(sql, where.from_offset, where.locators));
    rows = ReadResult(stmt.get());
    MarkLocators(rows.columns, where.locators);
    Locate(sql, stmt.get(), rows, /*may_add_locators=*/false);
  }
  return rows;
}

Rowset OdbcSession::QueryTarget(const TargetSelect& select) {
  const std::string& marked = select.Marked();
  select.TextValues(key_text_);
  std::vector<Variant> values(key_text_.begin(), key_text_.end());
  // A select by key finds a row or two: small blocks, and the description
  // of its first run while the statement keeps its shape.
  constexpr SQLULEN kLookupRows = 8;
  auto run = [&](const std::string& text) {
    SQLHSTMT stmt = Prepared(text);
    OdbcParameters params;
    params.Bind(stmt, values, {}, kSource, wide_text_);
    SQLRETURN rc = SQLExecute(stmt);
    if (!Succeeded(rc) && rc != SQL_NO_DATA) {
      VbError error = Failure(SQL_HANDLE_STMT, stmt);
      prepared_.erase(text);
      throw error;
    }
    return stmt;
  };
  auto plan = target_plans_.find(marked);
  if (plan != target_plans_.end()) {
    SQLHSTMT stmt = run(plan->second.exec_text);
    SQLSMALLINT count = 0;
    SQLNumResultCols(stmt, &count);
    if (plan->second.odbc_columns.size() == static_cast<size_t>(count)) {
      Rowset rows = ReadResult(stmt, plan->second.odbc_columns, kLookupRows);
      rows.columns = plan->second.columns;
      rows.target = plan->second.target;
      SQLFreeStmt(stmt, SQL_CLOSE);
      return rows;
    }
    SQLFreeStmt(stmt, SQL_CLOSE);
    target_plans_.erase(plan);  // the table changed under it: describe afresh
  }
  TargetPlan fresh;
  fresh.exec_text = marked;
  SQLHSTMT stmt = run(marked);
  fresh.odbc_columns = DescribeResult(stmt, kSource, bind_text_, wide_, wide_text_);
  Rowset rows = ReadResult(stmt, fresh.odbc_columns, kLookupRows);
  TargetLocation where = Locate(marked, stmt, rows, /*may_add_locators=*/true);
  SQLFreeStmt(stmt, SQL_CLOSE);
  if (!where.locators.empty()) {
    fresh.exec_text = WithLocators(marked, where.from_offset, where.locators);
    fresh.locators = where.locators;
    stmt = run(fresh.exec_text);
    fresh.odbc_columns = DescribeResult(stmt, kSource, bind_text_, wide_, wide_text_);
    rows = ReadResult(stmt, fresh.odbc_columns, kLookupRows);
    MarkLocators(rows.columns, where.locators);
    Locate(marked, stmt, rows, /*may_add_locators=*/false);
    SQLFreeStmt(stmt, SQL_CLOSE);
  }
  fresh.columns = rows.columns;
  fresh.target = rows.target;
  if (target_plans_.size() >= 256) target_plans_.clear();
  target_plans_[marked] = std::move(fresh);
  return rows;
}

std::optional<Rowset> OdbcSession::Execute(std::string_view sql) {
  std::vector<std::string_view> statements = SplitStatements(sql);
  bool reads_only = statements.size() == 1 && IsRowQuery(statements[0]);
  if (!reads_only) SendSavepoints();  // the text may write anything
  std::optional<Rowset> last;
  for (std::string_view text : statements) {
    OdbcStatement stmt = Run(text);
    SQLSMALLINT count = 0;
    if (Succeeded(SQLNumResultCols(stmt.get(), &count)) && count > 0) last = ReadResult(stmt.get());
  }
  if (!reads_only) {
    // The statements may have changed tables: what is known of them, and
    // statements prepared on their old columns, go.
    ForgetTables();
    prepared_.clear();
  }
  return last;
}

void OdbcSession::EndTransaction(SQLSMALLINT completion) {
  for (OdbcStream* s : streams_) s->Materialize();
  held_.Clear();
  prepared_.clear();  // some drivers close or drop prepared statements with the transaction
  SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc_, completion);
  if (!Succeeded(rc)) {
    VbError error = Failure(SQL_HANDLE_DBC, dbc_);
    // A refused commit leaves nothing open: what the database kept of it
    // is rolled back, and the caller learns why.
    if (!dead_) SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
    transaction_ = false;
    SetAutocommit(true);
    throw error;
  }
  transaction_ = false;
  SetAutocommit(true);
}

void OdbcSession::SetAutocommit(bool on) {
  if (dead_) return;
  SQLRETURN rc = SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT,
                                   reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF),
                                   SQL_IS_UINTEGER);
  if (!Succeeded(rc)) throw Failure(SQL_HANDLE_DBC, dbc_);
}

void OdbcSession::Begin(int32_t level) {
  RequireAlive();
  if (level == 1) {
    held_.Clear();
    SetAutocommit(false);
    transaction_ = true;
    return;
  }
  if (transaction_) {
    held_.Hold(level);
    return;
  }
  throw VbError(vberr::kProviderCommandError, "A savepoint needs an open transaction", kSource);
}

void OdbcSession::Commit(int32_t level) {
  if (level == 1) {
    RequireAlive();
    EndTransaction(SQL_COMMIT);
    return;
  }
  if (held_.Drop(level)) return;
  if (savepoints_ == Support::No) return;  // nothing was set: the work stays in the transaction
  Run("RELEASE SAVEPOINT " + SavepointName(level));
}

void OdbcSession::Rollback(int32_t level) {
  if (level == 1) {
    if (dead_) {
      transaction_ = false;
      return;  // the server took the transaction with it
    }
    EndTransaction(SQL_ROLLBACK);
    return;
  }
  if (held_.Drop(level)) return;
  if (savepoints_ == Support::No) {
    throw VbError(vberr::kProviderCommandError,
                  "The database refuses savepoints, so part of a transaction cannot be undone (" + dbms_ + ")",
                  kSource);
  }
  Run("ROLLBACK TO SAVEPOINT " + SavepointName(level));
  Run("RELEASE SAVEPOINT " + SavepointName(level));
}

bool OdbcSession::TransactionOpen() const { return transaction_ && !dead_; }

void OdbcSession::SendSavepoints() {
  if (held_.empty()) return;
  for (int32_t level : held_.Take()) {
    if (savepoints_ == Support::No) return;
    try {
      Run("SAVEPOINT " + SavepointName(level));
      savepoints_ = Support::Yes;
    } catch (const VbError&) {
      if (savepoints_ == Support::Yes || dead_) throw;
      // The first one refused: this database has none (Rollback says so
      // when a part must be undone).
      savepoints_ = Support::No;
    }
  }
}

// Write-back: one prepared statement per text, typed parameters.
SQLHSTMT OdbcSession::Prepared(const std::string& sql) {
  RequireAlive();
  auto it = prepared_.find(sql);
  if (it != prepared_.end()) {
    SQLFreeStmt(it->second.get(), SQL_CLOSE);
    SQLFreeStmt(it->second.get(), SQL_RESET_PARAMS);
    return it->second.get();
  }
  if (prepared_.size() >= 64) prepared_.clear();
  OdbcStatement stmt(dbc_, kSource);
  SQLRETURN rc;
  if (wide_) {
    WideString text = ToWide(sql);
    rc = SQLPrepareW(stmt.get(), text.data(), static_cast<SQLINTEGER>(text.size()));
  } else {
    std::string text(sql);
    rc = SQLPrepare(stmt.get(), reinterpret_cast<SQLCHAR*>(text.data()), static_cast<SQLINTEGER>(text.size()));
  }
  if (!Succeeded(rc)) throw Failure(SQL_HANDLE_STMT, stmt.get());
  return prepared_.emplace(sql, std::move(stmt)).first->second.get();
}

SQLLEN OdbcSession::RunWrite(const std::string& sql, const std::vector<Variant>& first,
                             const std::vector<Variant>& second, Rowset* returned) {
  if (held_.RowWriteNeedsThem()) SendSavepoints();
  SQLHSTMT stmt = Prepared(sql);
  OdbcParameters params;
  params.Bind(stmt, first, second, kSource, wide_text_);
  SQLRETURN rc = SQLExecute(stmt);
  if (!Succeeded(rc) && rc != SQL_NO_DATA) {
    VbError error = Failure(SQL_HANDLE_STMT, stmt);
    prepared_.erase(sql);
    throw error;
  }
  SQLLEN count = 0;
  SQLRowCount(stmt, &count);
  if (returned) *returned = ReadResult(stmt, 8);
  SQLFreeStmt(stmt, SQL_CLOSE);
  return count;
}

void OdbcSession::Insert(const RowWrite& write, std::vector<Variant>& stored) {
  stored.clear();
  // Columns the insert leaves to the database (an identity, a default)
  // are read back with RETURNING where the database has it; the others
  // are stored as written.
  bool unset = std::any_of(write.returning_set.begin(), write.returning_set.end(), [](int32_t set) { return set < 0; });
  if (!unset || (!insert_returning_ && !IEquals(dbms_, "SQLite"))) {
    RunWrite(BuildInsertSql(write, Placeholder, /*returning=*/false), write.set_values, {});
    return;
  }
  Rowset returned;
  if (insert_returning_) {
    RunWrite(BuildInsertSql(write, Placeholder, /*returning=*/true), write.set_values, {}, &returned);
  } else {
    RunWrite(BuildInsertSql(write, Placeholder, /*returning=*/false), write.set_values, {});
    std::string select = "SELECT ";
    for (size_t i = 0; i < write.returning.size(); ++i) {
      select += (i ? ", " : "") + QuoteIdentifier(write.returning[i]->base_column);
    }
    OdbcStatement stmt = Run(select + " FROM " + write.target->table + " WHERE rowid = last_insert_rowid()");
    returned = ReadResult(stmt.get(), 8);
  }
  if (returned.rows.size() != 1 || returned.rows.width() != write.returning.size()) return;
  const Variant* row = returned.rows.Row(0);
  for (size_t i = 0; i < write.returning.size(); ++i) stored.push_back(write.returning_set[i] >= 0 ? Variant() : row[i]);
}

void OdbcSession::Update(const RowWrite& write, std::vector<Variant>& stored) {
  SQLLEN n = RunWrite(BuildUpdateSql(write, Placeholder, /*returning=*/false), write.set_values, write.key_values);
  if (n == 0) throw RowNotFound(write.target->table, kSource);
  stored.clear();
}

void OdbcSession::Delete(const RowWrite& write) {
  SQLLEN n = RunWrite(BuildDeleteSql(write, Placeholder), write.key_values, {});
  if (n == 0) throw RowNotFound(write.target->table, kSource);
}

std::unique_ptr<ProviderSession> OpenOdbcSession(const ConnectionString& cs, std::string_view user,
                                                 std::string_view password) {
  OdbcConnectString target = BuildOdbcConnectString(cs, user, password);
  SQLHENV env = SQL_NULL_HENV;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
    throw VbError(adoerr::kProviderFailure, "The ODBC driver manager could not be started", kSource);
  }
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  auto connect = [&](const std::string& text) {
    SQLHDBC dbc = SQL_NULL_HDBC;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
      SQLFreeHandle(SQL_HANDLE_ENV, env);
      throw VbError(adoerr::kProviderFailure, "The ODBC driver manager could not make a connection", kSource);
    }
    SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(15), 0);
    WideString wide = ToWide(text);
    SQLWCHAR out[1024];
    SQLSMALLINT out_length = 0;
    SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, wide.data(), static_cast<SQLSMALLINT>(wide.size()), out, 1024,
                                     &out_length, SQL_DRIVER_NOPROMPT);
    if (!Succeeded(rc)) {
      OdbcDiagnostics d = ReadDiagnostics(SQL_HANDLE_DBC, dbc);
      SQLFreeHandle(SQL_HANDLE_DBC, dbc);
      SQLFreeHandle(SQL_HANDLE_ENV, env);
      VbError e = OdbcFailure(d, kSource, target.password, "the connection failed");
      throw VbError(adoerr::kProviderFailure, e.description(), kSource);
    }
    return dbc;
  };
  SQLHDBC dbc = connect(target.connect);
  SQLWCHAR name[256];
  SQLSMALLINT length = 0;
  std::string dbms;
  if (Succeeded(SQLGetInfoW(dbc, SQL_DBMS_NAME, name, sizeof name, &length))) {
    dbms = FromWide(name, static_cast<size_t>(std::clamp<SQLSMALLINT>(length, 0, 510)) / sizeof(SQLWCHAR));
  }
  // MariaDB counts an UPDATE that sets the values a row already has as no
  // row changed; with FOUND_ROWS (OPTION bit 2) it counts the rows matched,
  // which is what tells a missing row from an unchanged one.
  if (IEquals(dbms, "MariaDB") || IEquals(dbms, "MySQL")) {
    auto parsed = ConnectionString::Parse(target.connect);
    int64_t option = 0;
    if (auto o = parsed.Get({"OPTION"})) option = std::atoll(o->c_str());
    if ((option & 2) == 0) {
      SQLDisconnect(dbc);
      SQLFreeHandle(SQL_HANDLE_DBC, dbc);
      std::string with;
      for (const auto& [k, v] : parsed.pairs()) {
        if (!IEquals(k, "OPTION")) with += k + "=" + OdbcValue(v) + ";";
      }
      with += "OPTION=" + std::to_string(option | 2) + ";";
      dbc = connect(with);
    }
  }
  if (IEquals(dbms, "MariaDB") || IEquals(dbms, "MySQL")) {
    // Identifiers in double quotes, as the SQL standard and the other
    // databases read them: the statements this layer builds quote names
    // that way.
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
    SQLCHAR sql[] = "SET SESSION sql_mode = CONCAT(@@sql_mode, ',ANSI_QUOTES')";
    SQLRETURN rc = SQLExecDirect(stmt, sql, SQL_NTS);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    if (!Succeeded(rc)) {
      SQLDisconnect(dbc);
      SQLFreeHandle(SQL_HANDLE_DBC, dbc);
      SQLFreeHandle(SQL_HANDLE_ENV, env);
      throw VbError(adoerr::kProviderFailure, "The MariaDB session refused ANSI_QUOTES", kSource);
    }
  }
  return std::make_unique<OdbcSession>(env, dbc, std::move(target), dbms);
}

}  // namespace veldrane::ado
