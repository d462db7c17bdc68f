// The SQLite provider. One sqlite3 handle per Connection, a cache of
// prepared statements keyed by SQL text, and a cache of query plans (the
// column descriptions and write-back target of a query text) so that the
// engine's per-record "SELECT * FROM T WHERE K = '42'" costs one bind and
// one step rather than a parse and a catalogue lookup.
#include <algorithm>
#include <unordered_map>

#include "core/text.h"
#include "platform/db/connection_string.h"
#include "platform/db/field_values.h"
#include "platform/db/held_savepoints.h"
#include "platform/db/provider.h"
#include "platform/db/sql_text.h"
#include "platform/db/sqlite_catalog.h"
#include "platform/db/sqlite_open.h"
#include "platform/db/sqlite_stream.h"
#include "platform/db/sqlite_values.h"
#include "platform/db/target_locator.h"

namespace veldrane::ado {

namespace {

constexpr size_t kStatementCacheLimit = 256;
constexpr size_t kPlanCacheLimit = 1024;  // texts that differ in more than quoted literals each add one

std::string Placeholder(size_t) { return "?"; }

bool IsSingleRowQuery(std::string_view sql) {
  if (!IsRowQuery(sql)) return false;
  auto tokens = TokenizeSql(sql);
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i].kind == SqlToken::Punct && sql[tokens[i].begin] == ';' && i + 1 < tokens.size()) return false;
  }
  return true;
}

bool IsSchemaChange(std::string_view sql) {
  auto tokens = TokenizeSql(sql);
  if (tokens.empty()) return false;
  std::string_view first = sql.substr(tokens[0].begin, tokens[0].end - tokens[0].begin);
  return IEquals(first, "CREATE") || IEquals(first, "ALTER") || IEquals(first, "DROP") || IEquals(first, "ATTACH") ||
         IEquals(first, "DETACH");
}

class SqliteSession : public ProviderSession {
 public:
  SqliteSession(sqlite3* db, std::string path, bool read_only)
      : db_(db), path_(std::move(path)), file_(CanonicalFile(path_)), identity_(FileIdentity(path_, read_only)) {}
  ~SqliteSession() override {
    MaterializeStreams(db_, std::string());  // they keep their rows; the handle goes
    for (auto& [sql, stmt] : statements_) sqlite3_finalize(stmt);
    for (auto& [sql, stmt] : control_) sqlite3_finalize(stmt);
    sqlite3_close_v2(db_);
  }

  std::string Name() const override { return "SQLite"; }

  std::unique_ptr<RowStream> OpenStream(std::string_view sql) override {
    if (!IsSingleRowQuery(sql)) return nullptr;
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(stmt);
      throw Failure(rc);
    }
    if (!stmt) throw VbError(vberr::kProviderCommandError, "the command text is empty", "SQLite");
    std::vector<ColumnInfo> columns = Describe(stmt, nullptr);
    // An expression column takes the type its values show, which only the
    // whole result can tell: such a query is read whole.
    if (std::any_of(columns.begin(), columns.end(), [](const ColumnInfo& c) { return c.type == adVariant; })) {
      sqlite3_finalize(stmt);
      return nullptr;
    }
    return std::make_unique<SqliteStream>(db_, stmt, std::move(columns), file_);
  }

  Rowset Query(std::string_view sql, bool updatable) override {
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (auto rows = QueryOnce(sql, updatable)) return std::move(*rows);
    }
    throw VbError(vberr::kProviderCommandError, "the table's columns keep changing while it is read", "SQLite");
  }

  std::optional<Rowset> QueryOnce(std::string_view sql, bool updatable) {
    std::optional<ParameterizedSql> parameterized = ParameterizeLiterals(sql);
    PlanMap& plans = plans_[updatable ? 1 : 0];
    std::string_view key = parameterized ? std::string_view(parameterized->text) : sql;
    auto it = plans.find(key);
    if (it == plans.end() || it->second.columns.empty()) {
      if (plans.size() >= kPlanCacheLimit) plans.clear();
      Plan plan = MakePlan(sql, parameterized ? &parameterized->text : nullptr, updatable);
      it = plans.insert_or_assign(std::string(key), std::move(plan)).first;
    }
    Plan& plan = it->second;
    if (plan.literal_only && parameterized) {
      // The parameterized text did not prepare: run the text as written.
      return QueryLiteral(sql, updatable);
    }
    sqlite3_stmt* stmt = PlanStatement(plan);
    int p = 1;
    if (parameterized) {
      for (const std::string& value : parameterized->values) {
        sqlite3_bind_text(stmt, p++, value.data(), static_cast<int>(value.size()), SQLITE_STATIC);
      }
    }
    Rowset rows;
    DescribeFromPlan(plan, rows);
    if (!ReadRows(stmt, rows)) return std::nullopt;
    return rows;
  }

  Rowset QueryTarget(const TargetSelect& select) override {
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (auto rows = QueryTargetOnce(select)) return std::move(*rows);
    }
    throw VbError(vberr::kProviderCommandError, "the table's columns keep changing while it is read", "SQLite");
  }

  // The plan of select.Marked() is the one a query text with the same
  // literals would use: both run "... WHERE K = ?".
  std::optional<Rowset> QueryTargetOnce(const TargetSelect& select) {
    const std::string& text = select.Marked();
    PlanMap& plans = plans_[1];
    auto it = plans.find(text);
    if (it == plans.end() || it->second.columns.empty()) {
      if (plans.size() >= kPlanCacheLimit) plans.clear();
      it = plans.insert_or_assign(text, MakePlan(text, nullptr, /*updatable=*/true)).first;
    }
    Plan& plan = it->second;
    if (plan.literal_only) return QueryOnce(select.Text(), /*updatable=*/true);
    sqlite3_stmt* stmt = PlanStatement(plan);
    select.TextValues(key_text_);
    int p = 1;
    for (const std::string& value : key_text_) {
      sqlite3_bind_text(stmt, p++, value.data(), static_cast<int>(value.size()), SQLITE_STATIC);
    }
    Rowset rows;
    DescribeFromPlan(plan, rows);
    if (!ReadRows(stmt, rows)) return std::nullopt;
    return rows;
  }

  std::optional<Rowset> Execute(std::string_view sql) override {
    // A single query (a formula's SQLExecute, once per record) shares the
    // prepared statements and plans of recordset queries; it writes nothing.
    if (IsSingleRowQuery(sql)) return Query(sql, /*updatable=*/false);
    MaterializeStreams(db_, file_);
    SendSavepoints();  // the text may write anything
    std::optional<Rowset> last;
    const char* tail = sql.data();
    const char* end = sql.data() + sql.size();
    while (tail < end) {
      sqlite3_stmt* stmt = nullptr;
      const char* next = nullptr;
      int rc = sqlite3_prepare_v2(db_, tail, static_cast<int>(end - tail), &stmt, &next);
      if (rc != SQLITE_OK) throw Failure(rc);
      std::string_view text(tail, static_cast<size_t>(next - tail));
      tail = next;
      if (!stmt) continue;  // blanks or a comment
      struct Finalizer {
        sqlite3_stmt* s;
        ~Finalizer() { sqlite3_finalize(s); }
      } finalize{stmt};
      if (sqlite3_column_count(stmt) > 0) {
        Rowset rows;
        rows.columns = Describe(stmt, nullptr);
        if (!ReadRows(stmt, rows)) {
          throw VbError(vberr::kProviderCommandError, "the table's columns changed while it was read", "SQLite");
        }
        last = std::move(rows);
      } else {
        int step;
        while ((step = sqlite3_step(stmt)) == SQLITE_ROW) {
        }
        if (step != SQLITE_DONE) throw Failure(step);
      }
      if (IsSchemaChange(text)) ForgetSchema();
    }
    return last;
  }

  // Savepoints inside a transaction are held back (see HeldSavepoints).
  void Begin(int32_t level) override {
    if (level > 1 && TransactionOpen()) {
      held_.Hold(level);
      return;
    }
    held_.Clear();
    Control(level == 1 ? "BEGIN" : "SAVEPOINT veldrane_" + std::to_string(level));
  }
  void Commit(int32_t level) override {
    if (level > 1 && held_.Drop(level)) return;
    if (level == 1) held_.Clear();
    MaterializeStreams(db_, file_);
    Control(level == 1 ? "COMMIT" : "RELEASE veldrane_" + std::to_string(level));
  }
  void Rollback(int32_t level) override {
    if (level > 1 && held_.Drop(level)) return;
    MaterializeStreams(db_, file_);
    if (level == 1) {
      held_.Clear();
      Control("ROLLBACK");
    } else {
      Control("ROLLBACK TO veldrane_" + std::to_string(level));
      Control("RELEASE veldrane_" + std::to_string(level));
    }
  }
  bool TransactionOpen() const override { return sqlite3_get_autocommit(db_) == 0; }
  std::string Identity() const override { return identity_; }

  // Without RETURNING: SQLite runs a RETURNING statement through a temporary
  // table, which costs more than the insert itself. The stored row is known
  // from the values written and the new rowid; only columns the insert left
  // to their defaults are read back, by rowid.
  void Insert(const RowWrite& write, std::vector<Variant>& stored) override {
    MaterializeStreams(db_, file_);
    GuardRowWrite();
    LastWrite& last = last_insert_;
    if (!Current(last, write)) {
      last.shape = 0;
      WriteStatement(last, write, /*insert=*/true);
      if (last.info->rowid_name.empty()) {  // WITHOUT ROWID: the key is known only to the statement
        sqlite3_stmt* stmt = Statement(BuildInsertSql(write, Placeholder));
        BindAll(stmt, write.set_values, 1);
        stored = RunWrite(stmt, write, /*must_match=*/false);
        return;
      }
      DescribeReturned(last, write);
      last.shape = write.shape;
    }
    sqlite3_stmt* stmt = last.stmt;
    BindAll(stmt, write.set_values, 1);
    RunWrite(stmt, write, /*must_match=*/false);
    sqlite3_int64 rowid = sqlite3_last_insert_rowid(db_);
    stored.resize(write.returning.size());
    for (size_t i = 0; i < stored.size(); ++i) {
      switch (last.returned[i]) {
        case Returned::AsWritten: stored[i] = Variant(); break;  // Empty: the value written
        case Returned::Rowid: stored[i] = Variant::FromInt64(rowid); break;
        case Returned::RowidAlias:
          stored[i] = write.returning[i]->type == adInteger && rowid >= INT32_MIN && rowid <= INT32_MAX
                          ? Variant(static_cast<int32_t>(rowid))
                          : Variant::FromInt64(rowid);
          break;
        case Returned::Nothing: stored[i] = Variant::Null(); break;
        case Returned::ReadBack: stored[i] = Variant(); break;  // read below
      }
    }
    if (!last.read_back.empty()) {
      sqlite3_stmt* read = Statement(last.read_back);
      sqlite3_bind_int64(read, 1, rowid);
      int rc = sqlite3_step(read);
      if (rc == SQLITE_ROW) {
        int k = 0;
        for (size_t i = 0; i < stored.size(); ++i) {
          if (last.returned[i] == Returned::ReadBack) stored[i] = ReadSqliteCell(read, k++, *write.returning[i]);
        }
      }
      sqlite3_reset(read);
      if (rc != SQLITE_ROW && rc != SQLITE_DONE) throw Failure(rc);
    }
  }

  // The row keeps its rowid, and the values written are the values held: nothing to read back.
  void Update(const RowWrite& write, std::vector<Variant>& stored) override {
    MaterializeStreams(db_, file_);
    GuardRowWrite();
    LastWrite& last = last_update_;
    if (!Current(last, write)) {
      last.shape = 0;
      WriteStatement(last, write, /*insert=*/false);
      last.shape = write.shape;
    }
    sqlite3_stmt* stmt = last.stmt;
    BindAll(stmt, write.set_values, 1);
    BindAll(stmt, write.key_values, static_cast<int>(write.set_values.size()) + 1);
    RowWrite counted = RowWrite{write.target, {}, {}, {}, {}, {}};
    RunWrite(stmt, counted, /*must_match=*/true);
    stored.clear();
  }

  void Delete(const RowWrite& write) override {
    MaterializeStreams(db_, file_);
    GuardRowWrite();
    sqlite3_stmt* stmt = Statement(BuildDeleteSql(write, Placeholder));
    BindAll(stmt, write.key_values, 1);
    RunWrite(stmt, write, /*must_match=*/true);
  }

 private:
  // What a query text returns and where its rows are written back.
  struct Plan {
    std::string exec_text;             // the text run (with locator columns added)
    std::vector<ColumnInfo> columns;
    WriteTarget target;
    bool literal_only = false;         // the parameterized form failed to prepare
    std::shared_ptr<const std::vector<ColumnInfo>> shared;  // `columns`, made on first use
    sqlite3_stmt* stmt = nullptr;      // exec_text prepared, while stmt_generation is current
    uint64_t stmt_generation = 0;
  };
  // Plans by query text (heterogeneous lookup: a text is not copied to be found).
  using PlanMap = std::unordered_map<std::string, Plan, TextHash, std::equal_to<>>;

  // The plan's columns and target for `rows`. Columns whose types the values
  // will not change are shared rather than copied.
  void DescribeFromPlan(Plan& plan, Rowset& rows) {
    rows.target = plan.target;
    bool fixed = std::none_of(plan.columns.begin(), plan.columns.end(),
                              [](const ColumnInfo& c) { return c.type == adVariant; });
    if (!fixed) {
      rows.columns = plan.columns;
      return;
    }
    if (!plan.shared) plan.shared = std::make_shared<const std::vector<ColumnInfo>>(plan.columns);
    rows.shared_columns = plan.shared;
  }

  // The plan's prepared statement, ready to bind.
  sqlite3_stmt* PlanStatement(Plan& plan) {
    if (plan.stmt && plan.stmt_generation == generation_) {
      sqlite3_clear_bindings(plan.stmt);
      return plan.stmt;
    }
    plan.stmt = Statement(plan.exec_text);
    plan.stmt_generation = generation_;
    return plan.stmt;
  }

  // The text of the last INSERT or UPDATE and what it was built for: a run
  // of AddNew/Update writes the same columns over and over.
  // Where an inserted row's value of a returning column comes from.
  enum class Returned : uint8_t { AsWritten, Rowid, RowidAlias, Nothing, ReadBack };

  struct LastWrite {
    std::string table;
    std::vector<std::string> columns;  // set columns, then key columns
    sqlite3_stmt* stmt = nullptr;      // valid while generation_ is unchanged
    const SqliteTableInfo* info = nullptr;
    uint64_t generation = 0;
    // Inserts: the shape of write `returned` and `read_back` were worked out for.
    uint64_t shape = 0;
    std::vector<Returned> returned;    // per returning column
    std::string read_back;             // SELECT of the ReadBack columns by rowid; empty: none
  };

  // True when `last` was made for a write of `write`'s shape and still holds.
  bool Current(const LastWrite& last, const RowWrite& write) const {
    return write.shape != 0 && write.shape == last.shape && last.generation == generation_;
  }

  // How an insert of `write` learns each returning column's stored value.
  void DescribeReturned(LastWrite& last, const RowWrite& write) {
    const SqliteTableInfo& info = *last.info;
    last.returned.assign(write.returning.size(), Returned::AsWritten);
    std::string unknown;
    for (size_t i = 0; i < write.returning.size(); ++i) {
      const ColumnInfo& c = *write.returning[i];
      int32_t set = -1;
      if (i < write.returning_set.size()) {
        set = write.returning_set[i];
      } else {
        auto found = std::find_if(write.set_columns.begin(), write.set_columns.end(),
                                  [&](const std::string& name) { return IEquals(name, c.base_column); });
        if (found != write.set_columns.end()) set = static_cast<int32_t>(found - write.set_columns.begin());
      }
      Returned& r = last.returned[i];
      if (c.hidden && IEquals(c.base_column, info.rowid_name)) {
        r = Returned::Rowid;
      } else if (set >= 0) {
        r = Returned::AsWritten;
      } else if (!info.rowid_alias.empty() && IEquals(c.base_column, info.rowid_alias)) {
        r = Returned::RowidAlias;
      } else if (!info.triggers && std::none_of(info.filled_by_database.begin(), info.filled_by_database.end(),
                                                 [&](const std::string& name) { return IEquals(name, c.base_column); })) {
        r = Returned::Nothing;  // nothing put a value there
      } else {
        r = Returned::ReadBack;
        unknown += (unknown.empty() ? "" : ", ") + QuoteIdentifier(c.base_column);
      }
    }
    last.read_back.clear();
    if (!unknown.empty()) {
      last.read_back = "SELECT " + unknown + " FROM " + write.target->table + " WHERE " + info.rowid_name + " = ?";
    }
  }

  // The prepared INSERT or UPDATE (without RETURNING) for `write`, and its table.
  const LastWrite& WriteStatement(LastWrite& last, const RowWrite& write, bool insert) {
    size_t n = write.set_columns.size() + write.key_columns.size();
    bool same = last.generation == generation_ && last.table == write.target->table && last.columns.size() == n;
    for (size_t i = 0; same && i < n; ++i) {
      const std::string& c = i < write.set_columns.size() ? write.set_columns[i]
                                                          : write.key_columns[i - write.set_columns.size()];
      same = last.columns[i] == c;
    }
    if (same) return last;  // every parameter is bound again by the caller
    last.generation = 0;  // until the statement below is ready
    last.info = &catalog_.Table(write.target->table);
    last.stmt = Statement(insert ? BuildInsertSql(write, Placeholder, false) : BuildUpdateSql(write, Placeholder, false));
    last.table = write.target->table;
    last.columns = write.set_columns;
    last.columns.insert(last.columns.end(), write.key_columns.begin(), write.key_columns.end());
    last.generation = generation_;
    return last;
  }

  std::optional<Rowset> QueryLiteral(std::string_view sql, bool updatable) {
    PlanMap& plans = plans_[updatable ? 1 : 0];
    auto it = plans.find(sql);
    if (it == plans.end()) {
      if (plans.size() >= kPlanCacheLimit) plans.clear();
      it = plans.emplace(std::string(sql), MakePlan(sql, nullptr, updatable)).first;
    }
    sqlite3_stmt* stmt = PlanStatement(it->second);
    Rowset rows;
    DescribeFromPlan(it->second, rows);
    if (!ReadRows(stmt, rows)) return std::nullopt;
    return rows;
  }

  Plan MakePlan(std::string_view sql, const std::string* parameterized, bool updatable) {
    Plan plan;
    plan.exec_text = parameterized ? *parameterized : std::string(sql);
    sqlite3_stmt* stmt = nullptr;
    try {
      stmt = Statement(plan.exec_text);
    } catch (const VbError&) {
      if (!parameterized) throw;
      // Not every literal may become a parameter; the statement as written decides.
      Statement(std::string(sql));
      plan.literal_only = true;
      plan.columns.push_back(ColumnInfo{});  // marks the plan as made
      return plan;
    }
    std::vector<std::string> tables;
    plan.columns = Describe(stmt, &tables);
    if (updatable) FindTarget(sql, plan, tables);
    return plan;
  }

  // Column descriptions; `tables` receives each column's "db"."table" (empty for expressions).
  std::vector<ColumnInfo> Describe(sqlite3_stmt* stmt, std::vector<std::string>* tables) {
    int n = sqlite3_column_count(stmt);
    std::vector<ColumnInfo> columns(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
      ColumnInfo& c = columns[static_cast<size_t>(i)];
      const char* name = sqlite3_column_name(stmt, i);
      c.name = name ? name : "";
      ApplyDeclaredType(sqlite3_column_decltype(stmt, i), c);
      const char* origin = sqlite3_column_origin_name(stmt, i);
      const char* table = sqlite3_column_table_name(stmt, i);
      const char* database = sqlite3_column_database_name(stmt, i);
      if (origin) c.base_column = origin;
      if (tables) {
        tables->push_back(table ? QuoteIdentifier(database ? database : "main") + "." + QuoteIdentifier(table)
                                : std::string());
      }
    }
    return columns;
  }

  // `tables`: each column's table, as Describe gives them.
  void FindTarget(std::string_view sql, Plan& plan, const std::vector<std::string>& tables) {
    std::vector<ColumnOrigin> origins(plan.columns.size());
    for (size_t i = 0; i < origins.size(); ++i) origins[i] = {tables[i], plan.columns[i].base_column};
    TargetLocation where = LocateTarget(sql, plan.columns, origins, catalog_);
    if (where.locators.empty()) {
      plan.target = std::move(where.target);
      return;
    }
    std::string rewritten = WithLocators(plan.exec_text, where.from_offset, where.locators);
    sqlite3_stmt* stmt = nullptr;
    try {
      stmt = Statement(rewritten);
    } catch (const VbError& e) {
      plan.target.refusal = "the row locator cannot be read: " + e.description();
      return;
    }
    plan.exec_text = rewritten;
    size_t visible = plan.columns.size();
    std::vector<ColumnInfo> all = Describe(stmt, nullptr);
    for (size_t i = visible; i < all.size(); ++i) plan.columns.push_back(all[i]);
    MarkLocators(plan.columns, where.locators);
    origins.resize(plan.columns.size());
    plan.target = LocateTarget(sql, plan.columns, origins, catalog_).target;
  }

  // Reads all rows. Returns false, with the cached plans dropped, when the
  // statement's columns are no longer those described (another connection
  // changed the table; SQLite re-prepares the statement at its first step).
  bool ReadRows(sqlite3_stmt* stmt, Rowset& rows) {
    const std::vector<ColumnInfo>& columns = rows.Columns();
    const size_t n = columns.size();
    auto changed = [&] {
      sqlite3_reset(stmt);
      ForgetSchema();
      return false;
    };
    if (static_cast<size_t>(sqlite3_column_count(stmt)) != n) return changed();
    rows.rows.Reset(n);
    int rc;
    bool first = true;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      if (first && static_cast<size_t>(sqlite3_column_count(stmt)) != n) return changed();
      first = false;
      Variant* row = rows.rows.Append();
      for (size_t i = 0; i < n; ++i) ReadSqliteCell(stmt, static_cast<int>(i), columns[i], row[i]);
    }
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE) throw Failure(rc);
    // Expression columns take the type their values show (shared columns have none).
    for (size_t i = 0; i < rows.columns.size(); ++i) {
      ColumnInfo& c = rows.columns[i];
      if (c.type != adVariant) continue;
      for (size_t r = 0; r < rows.rows.size(); ++r) {
        const Variant& v = rows.rows.Row(r)[i];
        if (v.IsNull()) continue;
        c.type = v.IsString() ? adVarWChar : v.IsArray() ? adLongVarBinary
                 : (v.Type() == VarType::Double) ? adDouble : adBigInt;
        break;
      }
    }
    return true;
  }

  void BindAll(sqlite3_stmt* stmt, const std::vector<Variant>& values, int first) {
    for (size_t i = 0; i < values.size(); ++i) {
      int rc = BindVariant(stmt, first + static_cast<int>(i), values[i]);
      if (rc != SQLITE_OK) throw Failure(rc);
    }
  }

  std::vector<Variant> RunWrite(sqlite3_stmt* stmt, const RowWrite& write, bool must_match) {
    std::vector<Variant> returned;
    bool matched = false;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      matched = true;
      if (returned.empty()) {
        for (size_t i = 0; i < write.returning.size(); ++i) {
          returned.push_back(ReadSqliteCell(stmt, static_cast<int>(i), *write.returning[i]));
        }
      }
    }
    if (rc != SQLITE_DONE) {
      VbError error = Failure(rc);
      sqlite3_reset(stmt);
      throw error;
    }
    sqlite3_reset(stmt);
    if (write.returning.empty()) matched = sqlite3_changes(db_) > 0;
    if (must_match && !matched) throw RowNotFound(write.target->table, "SQLite");
    return returned;
  }

  // A cached prepared statement for `sql`, reset and ready to bind.
  sqlite3_stmt* Statement(const std::string& sql) {
    auto it = statements_.find(sql);
    if (it != statements_.end()) {
      sqlite3_clear_bindings(it->second);
      return it->second;
    }
    if (statements_.size() >= kStatementCacheLimit) {
      for (auto& [text, stmt] : statements_) sqlite3_finalize(stmt);
      statements_.clear();
      ++generation_;
    }
    sqlite3_stmt* stmt = Prepare(sql);
    statements_.emplace(sql, stmt);
    return stmt;
  }

  // `sql` prepared to be kept; raises the database's failure, or the
  // provider's for a text that holds no statement.
  sqlite3_stmt* Prepare(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt,
                                nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(stmt);
      throw Failure(rc);
    }
    if (!stmt) throw VbError(vberr::kProviderCommandError, "the command text is empty", "SQLite");
    return stmt;
  }

  // Sends the held-back savepoints, in order. When the database has ended
  // the transaction meanwhile they are dropped: sent now, they would begin
  // a new transaction nobody asked for.
  void SendSavepoints() {
    if (held_.empty()) return;
    std::vector<int32_t> levels = held_.Take();
    if (!TransactionOpen()) return;
    for (int32_t level : levels) Control("SAVEPOINT veldrane_" + std::to_string(level));
  }
  void GuardRowWrite() {
    if (held_.RowWriteNeedsThem()) SendSavepoints();
  }

  // Transaction control runs once or twice per record (a savepoint around
  // every TARGET step): prepared once and kept apart from the statement
  // cache, whose clearing would only prepare them again.
  void Control(const std::string& sql) {
    auto it = control_.find(sql);
    if (it == control_.end()) it = control_.emplace(sql, Prepare(sql)).first;
    int rc = sqlite3_step(it->second);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
      VbError error = Failure(rc);
      sqlite3_reset(it->second);
      throw error;
    }
    sqlite3_reset(it->second);
  }

  void ForgetSchema() {
    plans_[0].clear();
    plans_[1].clear();
    catalog_.Forget();
    ++generation_;
  }

  VbError Failure(int rc) const {
    int primary = rc & 0xFF;
    int32_t number = primary == SQLITE_CONSTRAINT ? vberr::kProviderIntegrityViolation : vberr::kProviderCommandError;
    return VbError(number, sqlite3_errmsg(db_), "SQLite");
  }

  sqlite3* db_;
  std::string path_;
  std::string file_;
  std::string identity_;
  std::unordered_map<std::string, sqlite3_stmt*> statements_;
  std::unordered_map<std::string, sqlite3_stmt*> control_;  // BEGIN, COMMIT, savepoints
  HeldSavepoints held_;  // savepoints begun but not yet sent
  PlanMap plans_[2];  // read-only, updatable
  std::vector<std::string> key_text_;  // the bound key values of the last QueryTarget
  SqliteCatalog catalog_{db_};
  LastWrite last_insert_;
  LastWrite last_update_;
  uint64_t generation_ = 1;  // changes when cached statements or table facts are dropped
};

}  // namespace

std::unique_ptr<ProviderSession> MakeSqliteSession(sqlite3* db, std::string path, bool read_only) {
  return std::make_unique<SqliteSession>(db, std::move(path), read_only);
}

}  // namespace veldrane::ado
