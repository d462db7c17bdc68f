// The PostgreSQL provider, through libpq (values: pg_values.h).
//
// Inside a transaction every statement runs under a savepoint: a failing
// statement is undone on its own, and the transaction (for example the one
// a step-wise run keeps open) stays usable, as it does on other providers.
//
// A run looks up and writes one row per record, so what counts is round
// trips: commands go out in libpq's pipeline mode (pg_pipeline.h), where a
// statement, its savepoint and the savepoint bookkeeping held back since the
// last one travel together; and a query that differs from an earlier one
// only in its quoted literals runs the prepared statement and the column
// description of the earlier one.
#include <libpq-fe.h>

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>

#include "core/text.h"
#include "platform/db/connection_string.h"
#include "platform/db/field_values.h"
#include "platform/db/pg_pipeline.h"
#include "platform/db/pg_statements.h"
#include "platform/db/pg_values.h"
#include "platform/db/provider.h"
#include "platform/db/sql_text.h"
#include "platform/db/target_locator.h"

namespace veldrane::ado {

namespace {

std::string Placeholder(size_t i) { return "$" + std::to_string(i + 1); }

constexpr size_t kPlanLimit = 1024;      // texts that differ in more than quoted literals each add one
constexpr size_t kPreparedLimit = 1024;  // statements kept on the server
const std::string kGuard = "SAVEPOINT veldrane_statement";
const std::string kGuardRelease = "RELEASE SAVEPOINT veldrane_statement";
const std::string kGuardRollback = "ROLLBACK TO SAVEPOINT veldrane_statement";

std::string SavepointName(int32_t level) { return "veldrane_" + std::to_string(level); }

class PgSession : public ProviderSession, private TableCatalog {
 public:
  explicit PgSession(PGconn* conn) : conn_(conn), pipeline_(conn) {
    PQsetNoticeReceiver(conn_, &PgSession::OnNotice, this);
  }
  ~PgSession() override {
    // Held-back commands are savepoint bookkeeping of the open transaction,
    // which ending the connection rolls back: their outcome can no longer
    // matter to anyone, but they still go out before the connection ends.
    if (!pipeline_.deferred().empty()) pipeline_.Send({});
    PQfinish(conn_);
  }

  std::string Name() const override { return "PostgreSQL"; }

  Rowset Query(std::string_view sql, bool updatable) override {
    return RetryingStale([&] { return QueryOnce(sql, updatable); });
  }

  std::optional<Rowset> Execute(std::string_view sql) override {
    std::string text(sql);
    if (OneRowStatement(text)) {
      // One round trip, under a savepoint of its own inside a transaction,
      // and the caches stay: rows change, tables do not.
      ResultPtr res = Statement(text, nullptr, false, {}, false);
      if (PQresultStatus(res.r) != PGRES_TUPLES_OK) return std::nullopt;
      Rowset rows = Describe(res.r);
      ReadRows(res.r, rows);
      return rows;
    }
    // Several statements in one text need the simple protocol, which a
    // pipeline cannot carry: held-back commands and the savepoint go first.
    bool guard = InTransaction();
    if (guard) {
      Sync({kGuard});
    } else if (!pipeline_.deferred().empty()) {
      Sync({});
    }
    std::optional<Rowset> last;
    try {
      last = RunSimple(text);
      // Released at once rather than held back: the text may have ended the
      // transaction or released savepoints, and the server's refusal belongs
      // to this call.
      if (guard) Sync({kGuardRelease});
    } catch (const VbError&) {
      if (guard) Sync({kGuardRollback, kGuardRelease});
      throw;
    }
    ForgetTables();  // the statements may have changed tables
    if (!OnlyRowStatements(text)) ForgetPrepared();
    return last;
  }

  // Savepoints inside a healthy transaction are held back: the server hears
  // of them with the next statement, and a savepoint nothing ran under is
  // never sent at all. Anything else runs at once, so that the server's
  // refusal surfaces where it did.
  void Begin(int32_t level) override {
    if (level > 1 && InTransaction()) {
      pipeline_.Defer("SAVEPOINT " + SavepointName(level));
      return;
    }
    Sync({level == 1 ? "BEGIN" : "SAVEPOINT " + SavepointName(level)});
  }

  void Commit(int32_t level) override {
    if (level > 1 && InTransaction()) {
      if (!pipeline_.Withdraw("SAVEPOINT " + SavepointName(level))) {
        pipeline_.Defer("RELEASE SAVEPOINT " + SavepointName(level));
      }
      return;
    }
    // A held-back failure skips the COMMIT, and the transaction stays open
    // for the caller's rollback.
    Sync({level == 1 ? "COMMIT" : "RELEASE SAVEPOINT " + SavepointName(level)});
  }

  void Rollback(int32_t level) override {
    if (level > 1 && pipeline_.Withdraw("SAVEPOINT " + SavepointName(level))) return;  // nothing ran under it
    std::vector<std::string> undo;
    if (level == 1) {
      undo = {"ROLLBACK"};
    } else {
      undo = {"ROLLBACK TO SAVEPOINT " + SavepointName(level), "RELEASE SAVEPOINT " + SavepointName(level)};
    }
    if (pipeline_.deferred().empty()) {
      Sync(undo);
      return;
    }
    // The rollback runs in a segment of its own, so that it still runs when
    // a held-back command failed; it undoes that command's work too, and
    // the failure is reported as a warning rather than lost.
    std::vector<PgCommand> commands{PgCommand::Sync()};
    for (const std::string& sql : undo) commands.push_back(PgCommand::Text(sql));
    PgPipeline::Answers a = pipeline_.Send(commands);
    std::optional<VbError> held = HeldBackFailure(a);
    for (size_t i = 1; i < a.results.size(); ++i) {
      if (!Succeeded(a.results[i].r)) throw held && !a.results[i].r ? *held : Failure(a.results[i].r, a.lost);
    }
    if (held) warnings_.push_back(*held);
  }

  void Insert(const RowWrite& write, std::vector<Variant>& stored) override {
    ResultPtr res = RunPrepared(BuildInsertSql(write, Placeholder), write.set_values, {});
    Returned(res.r, stored);
  }

  void Update(const RowWrite& write, std::vector<Variant>& stored) override {
    ResultPtr res = RunPrepared(BuildUpdateSql(write, Placeholder), write.set_values, write.key_values);
    if (PQntuples(res.r) == 0) throw RowNotFound(write.target->table, "PostgreSQL");
    Returned(res.r, stored);
  }

  void Delete(const RowWrite& write) override {
    ResultPtr res = RunPrepared(BuildDeleteSql(write, Placeholder), write.key_values, {});
    if (std::string_view(PQcmdTuples(res.r)) == "0") throw RowNotFound(write.target->table, "PostgreSQL");
  }

  std::vector<VbError> TakeWarnings() override { return std::exchange(warnings_, {}); }

  bool TransactionOpen() const override { return PQtransactionStatus(conn_) != PQTRANS_IDLE; }

 private:
  // What a query text needs on its next run: the statement that runs, and
  // the description of its result, valid while the result keeps its shape.
  struct QueryPlan {
    std::string exec_text;              // the parameterized text, locators added
    size_t from_offset = 0;             // where locators go, in this and the written text
    std::vector<std::string> locators;  // hidden key columns added to the select list
    bool literal_only = false;          // the parameterized text does not prepare
    std::vector<ColumnShape> shape;
    std::vector<ColumnInfo> columns;
    WriteTarget target;
  };
  struct TableMeta {
    std::string qualified;             // quoted, schema-qualified as regclass prints it
    char relkind = 'r';
    std::map<int, std::string> names;  // attnum -> column name
    std::vector<int> primary_key;      // attnums
    TableFacts facts;                  // what the target locator needs
  };

  static void OnNotice(void* self, const PGresult* res) {
    const char* severity = PQresultErrorField(res, PG_DIAG_SEVERITY_NONLOCALIZED);
    // Notices below WARNING (NOTICE, INFO) are chatter, not problems: a step
    // treats any entry in Errors as a failure of its query.
    if (severity && std::string_view(severity) == "WARNING") {
      static_cast<PgSession*>(self)->warnings_.emplace_back(
          0, Trimmed(PQresultErrorField(res, PG_DIAG_MESSAGE_PRIMARY)), "PostgreSQL");
    }
  }

  bool InTransaction() const { return PQtransactionStatus(conn_) == PQTRANS_INTRANS; }

  // The first query of a text runs as written; later ones with other
  // literals run the prepared parameterized text. The first run also finds
  // out whether locator columns must be added for write-back.
  Rowset QueryOnce(std::string_view sql, bool updatable) {
    std::string text(sql);
    const char* scs = PQparameterStatus(conn_, "standard_conforming_strings");
    std::optional<ParameterizedSql> p = ParameterizeForServer(sql, scs && std::string_view(scs) == "on");
    return QueryPlanned(p ? &*p : nullptr, [&]() -> const std::string& { return text; }, updatable);
  }

  // A TARGET step's select: its prepared form with its values, and its text
  // only when the plan must be made or the prepared statement declines.
  Rowset QueryTarget(const TargetSelect& select) override {
    return RetryingStale([&] {
      auto marked = numbered_.find(select.Marked());
      if (marked == numbered_.end()) {
        if (numbered_.size() >= kPlanLimit) numbered_.clear();
        marked = numbered_.emplace(select.Marked(), Numbered(select.Marked())).first;
      }
      target_params_.text = marked->second;
      select.TextValues(target_params_.values);
      std::string text;
      return QueryPlanned(&target_params_, [&]() -> const std::string& {
        if (text.empty()) text = select.Text();
        return text;
      }, /*updatable=*/true);
    });
  }

  // "?" markers as $1, $2, ...: a TargetSelect's only markers are its own,
  // never inside a quoted name.
  static std::string Numbered(const std::string& marked) {
    std::string out;
    size_t n = 0;
    bool quoted = false;
    for (char c : marked) {
      if (c == '"') quoted = !quoted;
      if (c == '?' && !quoted) {
        out += Placeholder(n++);
      } else {
        out += c;
      }
    }
    return out;
  }

  // The first run of a text runs it as written; later ones with other
  // values run the prepared parameterized text `p` (null: there is none).
  // `written()` gives the text as written.
  template <class Written>
  Rowset QueryPlanned(const ParameterizedSql* p, Written&& written, bool updatable) {
    // Marked apart: a text as written may look like another's parameterized form.
    std::string key = (p ? "P" + p->text : "T" + written()) + (updatable ? "\x01U" : "\x01R");
    auto it = plans_.find(key);
    if (it == plans_.end()) {
      if (plans_.size() >= kPlanLimit) plans_.clear();
      QueryPlan plan;
      Rowset rows = FirstRun(written(), updatable, plan);
      plan.exec_text = WithLocators(p ? p->text : written(), plan);
      plans_.emplace(std::move(key), std::move(plan));
      return rows;
    }
    QueryPlan& plan = it->second;
    ResultPtr res;
    if (!plan.literal_only) {
      std::vector<const char*> values;
      if (p) {
        for (const std::string& v : p->values) values.push_back(v.c_str());
      }
      res = RunNamed(plan.exec_text, values, /*may_decline=*/p != nullptr);
      if (!res.r) plan.literal_only = true;
    }
    if (!res.r) res = RunText(WithLocators(written(), plan));
    Rowset rows;
    if (HasShape(res.r, plan.shape)) {
      rows.columns = plan.columns;
      rows.target = plan.target;
    } else {
      // The table changed under the plan: describe what came.
      rows = Describe(res.r);
      if (updatable) {
        MarkLocators(rows.columns, plan.locators);
        FindTarget(written(), rows, nullptr);
      }
      Remember(plan, res.r, rows);
    }
    ReadRows(res.r, rows);
    return rows;
  }

  Rowset FirstRun(const std::string& text, bool updatable, QueryPlan& plan) {
    ResultPtr res = RunText(text);
    Rowset rows = Describe(res.r);
    if (updatable && !FindTarget(text, rows, &plan.locators, &plan.from_offset)) {
      // The key was not among the selected columns: read again with the locator added.
      res = RunText(WithLocators(text, plan));
      rows = Describe(res.r);
      MarkLocators(rows.columns, plan.locators);
      FindTarget(text, rows, nullptr);
    }
    Remember(plan, res.r, rows);
    ReadRows(res.r, rows);
    return rows;
  }

  // The description a query's later runs are checked against and take.
  static void Remember(QueryPlan& plan, const PGresult* res, const Rowset& rows) {
    plan.shape = ShapeOf(res);
    plan.columns = rows.columns;
    plan.target = rows.target;
  }

  static std::string WithLocators(const std::string& text, const QueryPlan& plan) {
    return ado::WithLocators(text, plan.from_offset, plan.locators);
  }

  // Runs `f` again, preparing afresh, when it failed on a statement
  // prepared earlier in a way a change of the table since (by another
  // connection) can explain: the server keeps the parameter types it
  // inferred then, and refuses a result whose shape changed. The text as
  // written would be judged by the table as it is now, and so is the retry;
  // when the failure is real, the retry reports it.
  template <class F>
  auto RetryingStale(F&& f) -> decltype(f()) {
    stale_ = false;
    try {
      return f();
    } catch (const VbError&) {
      if (!std::exchange(stale_, false)) throw;
    }
    return f();
  }

  ResultPtr RunText(const std::string& sql) { return Statement(sql, nullptr, false, {}, false); }

  // Runs `sql` as a named prepared statement, prepared in the same round trip
  // the first time. With `may_decline`, a text that does not prepare gives a
  // null result (the transaction restored) instead of the server's error.
  ResultPtr RunNamed(const std::string& sql, const std::vector<const char*>& values, bool may_decline) {
    auto it = prepared_.find(sql);
    if (it != prepared_.end()) return Statement(sql, &it->second, false, values, may_decline);
    if (prepared_.size() >= kPreparedLimit) ForgetPrepared();
    std::string name = "veldrane_" + std::to_string(++statements_);
    return Statement(sql, &name, true, values, may_decline);
  }

  ResultPtr RunPrepared(const std::string& sql, const std::vector<Variant>& first, const std::vector<Variant>& second) {
    std::vector<std::optional<std::string>> texts;
    texts.reserve(first.size() + second.size());
    for (const Variant& v : first) texts.push_back(ParamText(v));
    for (const Variant& v : second) texts.push_back(ParamText(v));
    std::vector<const char*> values;
    for (const auto& t : texts) values.push_back(t ? t->c_str() : nullptr);
    return RetryingStale([&] { return RunNamed(sql, values, false); });
  }

  // One statement that needs an answer, in one round trip with the
  // held-back commands in front of it. Inside a transaction it runs under a
  // savepoint, so that its failure undoes it alone and the transaction stays
  // usable: its own (set and released in the same pipeline), or the
  // savepoint that was set just before it with nothing run since, which
  // rolling back to leaves exactly as it was. Only a failure costs another
  // round trip.
  ResultPtr Statement(const std::string& sql, const std::string* name, bool prepare,
                      const std::vector<const char*>& values, bool may_decline) {
    bool in_transaction = InTransaction();
    std::string fresh;
    if (in_transaction && !pipeline_.deferred().empty() && pipeline_.deferred().back().starts_with("SAVEPOINT ")) {
      fresh = pipeline_.deferred().back().substr(10);
    }
    bool guard = in_transaction && fresh.empty();
    int count = static_cast<int>(values.size());
    std::vector<PgCommand> commands;
    if (guard) commands.push_back(PgCommand::Text(kGuard));
    size_t prepare_at = commands.size();
    if (prepare) commands.push_back({PgCommand::kPrepare, sql.c_str(), name->c_str(), count});
    size_t run_at = commands.size();
    if (name) {
      commands.push_back({PgCommand::kPrepared, nullptr, name->c_str(), count, values.data()});
    } else {
      commands.push_back({PgCommand::kText, sql.c_str(), nullptr, count, values.data()});
    }
    if (guard) commands.push_back(PgCommand::Text(kGuardRelease));
    PgPipeline::Answers a = pipeline_.Send(commands);
    if (auto held = HeldBackFailure(a)) throw *held;  // the statement did not run
    bool prepared = prepare && Succeeded(a.results[prepare_at].r);
    if (prepared) prepared_.emplace(sql, *name);
    size_t failed = 0;
    while (failed < a.results.size() && Succeeded(a.results[failed].r)) ++failed;
    if (failed == a.results.size()) return std::move(a.results[run_at]);
    VbError error = Failure(a.results[failed].r, a.lost);
    const char* state = a.results[failed].r ? PQresultErrorField(a.results[failed].r, PG_DIAG_SQLSTATE) : nullptr;
    bool stale = name && !prepare && failed == run_at && state && MayBeStale(state);
    std::string stale_name;
    if (stale) {
      stale_name = *name;  // `name` may be the map's own copy
      prepared_.erase(sql);
    }
    if (in_transaction && (!guard || failed > 0)) {
      if (guard) {
        Sync({kGuardRollback, kGuardRelease});
      } else {
        Sync({"ROLLBACK TO SAVEPOINT " + fresh});
      }
    }
    if (stale) {
      stale_ = true;
      // Dropped with the retry's round trip (whatever fails, the statement
      // goes: DEALLOCATE is not undone by a rollback).
      PGTransactionStatusType status = PQtransactionStatus(conn_);
      if (status == PQTRANS_INTRANS || status == PQTRANS_IDLE) pipeline_.Defer("DEALLOCATE " + stale_name);
    }
    if (may_decline && prepare && !prepared) return ResultPtr();
    throw error;
  }

  // Sends `sqls` (with the held-back commands before them) and throws the
  // first failure.
  void Sync(const std::vector<std::string>& sqls) {
    std::vector<PgCommand> commands;
    for (const std::string& sql : sqls) commands.push_back(PgCommand::Text(sql));
    PgPipeline::Answers a = pipeline_.Send(commands);
    if (auto held = HeldBackFailure(a)) throw *held;
    for (const ResultPtr& r : a.results) {
      if (!Succeeded(r.r)) throw Failure(r.r, a.lost);
    }
  }

  std::optional<VbError> HeldBackFailure(const PgPipeline::Answers& a) const {
    for (const ResultPtr& r : a.deferred) {
      if (!Succeeded(r.r)) return Failure(r.r, a.lost);
    }
    return std::nullopt;
  }

  // A text of any number of statements; the rows of the last that returns rows.
  std::optional<Rowset> RunSimple(const std::string& text) {
    if (!PQsendQuery(conn_, text.c_str())) throw Failure(nullptr);
    std::optional<Rowset> last;
    std::optional<VbError> error;
    while (PGresult* raw = PQgetResult(conn_)) {
      ResultPtr res(raw);
      ExecStatusType status = PQresultStatus(raw);
      if (status == PGRES_TUPLES_OK) {
        Rowset rows = Describe(raw);
        ReadRows(raw, rows);
        last = std::move(rows);
      } else if (status != PGRES_COMMAND_OK && status != PGRES_EMPTY_QUERY && !error) {
        error = Failure(raw);
      }
    }
    if (error) throw *error;
    return last;
  }

  static void Returned(const PGresult* res, std::vector<Variant>& out) {
    out.clear();
    if (PQntuples(res) == 0) return;
    for (int i = 0; i < PQnfields(res); ++i) out.push_back(ReadPgValue(res, 0, i));
  }

  Rowset Describe(const PGresult* res) {
    Rowset rows;
    int n = PQnfields(res);
    for (int i = 0; i < n; ++i) {
      ColumnInfo c;
      c.name = PQfname(res, i);
      ApplyType(PQftype(res, i), PQfmod(res, i), c);
      rows.columns.push_back(std::move(c));
    }
    table_of_.assign(static_cast<size_t>(n), 0);
    column_of_.assign(static_cast<size_t>(n), 0);
    for (int i = 0; i < n; ++i) {
      table_of_[static_cast<size_t>(i)] = PQftable(res, i);
      column_of_[static_cast<size_t>(i)] = PQftablecol(res, i);
    }
    return rows;
  }

  void ReadRows(const PGresult* res, Rowset& rows) {
    int n = PQntuples(res), m = PQnfields(res);
    rows.rows.Reset(static_cast<size_t>(m));
    for (int r = 0; r < n; ++r) {
      Variant* row = rows.rows.Append();
      for (int c = 0; c < m; ++c) row[c] = ReadPgValue(res, r, c);
    }
  }

  // Fills rows.target. Returns false when the key is not among the columns
  // and `locators` (when given) received the columns to add for it, and
  // `from_offset` where they go; the query must then be read again with them.
  bool FindTarget(const std::string& sql, Rowset& rows, std::vector<std::string>* locators,
                  size_t* from_offset = nullptr) {
    std::vector<ColumnOrigin> origins(rows.columns.size());
    for (size_t i = 0; i < origins.size(); ++i) {
      if (table_of_[i] == InvalidOid) continue;
      const TableMeta& meta = Table(table_of_[i]);
      auto name = meta.names.find(column_of_[i]);
      if (name != meta.names.end()) origins[i] = {std::to_string(table_of_[i]), name->second};
    }
    TargetLocation where = LocateTarget(sql, rows.columns, origins, *this, locators != nullptr);
    if (!where.locators.empty()) {
      *locators = std::move(where.locators);
      if (from_offset) *from_offset = where.from_offset;
      return false;
    }
    rows.target = std::move(where.target);
    return true;
  }

  const TableFacts& Facts(const std::string& table) override {
    return Table(static_cast<Oid>(std::stoul(table))).facts;
  }

  const TableMeta& Table(Oid oid) {
    auto it = tables_.find(oid);
    if (it != tables_.end()) return it->second;
    TableMeta meta;
    std::string id = std::to_string(oid);
    ResultPtr cls = Catalog("SELECT c.oid::regclass::text, c.relkind FROM pg_class c WHERE c.oid = " + id);
    if (PQntuples(cls.r) == 1) {
      meta.qualified = PQgetvalue(cls.r, 0, 0);
      meta.relkind = PQgetvalue(cls.r, 0, 1)[0];
    }
    ResultPtr cols = Catalog("SELECT attnum, attname FROM pg_attribute WHERE attrelid = " + id +
                             " AND attnum > 0 AND NOT attisdropped");
    for (int r = 0; r < PQntuples(cols.r); ++r) meta.names[std::atoi(PQgetvalue(cols.r, r, 0))] = PQgetvalue(cols.r, r, 1);
    ResultPtr pk = Catalog("SELECT unnest(indkey::int2[]) FROM pg_index WHERE indrelid = " + id + " AND indisprimary");
    for (int r = 0; r < PQntuples(pk.r); ++r) meta.primary_key.push_back(std::atoi(PQgetvalue(pk.r, r, 0)));
    TableFacts& facts = meta.facts;
    facts.qualified = meta.qualified;
    facts.case_sensitive_names = true;
    for (int attnum : meta.primary_key) facts.key.push_back(meta.names[attnum]);
    if (meta.relkind != 'r' && meta.relkind != 'p') {
      facts.refusal = meta.qualified + " is not a table";
    } else if (facts.key.empty() && meta.relkind == 'p') {
      facts.refusal = meta.qualified + " is partitioned and has no primary key";
    }
    // Without a key a row is found by where it is stored.
    facts.locators = facts.key.empty() ? std::vector<std::string>{"ctid"} : facts.key;
    return tables_.emplace(oid, std::move(meta)).first->second;
  }

  ResultPtr Catalog(const std::string& sql) { return RunText(sql); }

  // Prepared statements stay: the server plans them anew after a change,
  // and one whose result changed shape is retried (RetryingStale).
  void ForgetTables() {
    tables_.clear();
    plans_.clear();
  }

  // After a statement that may have changed a table's columns: parameter
  // types inferred before would convert values for the old columns (an
  // integer parameter would turn '007' into 7 for what is now a text).
  void ForgetPrepared() {
    if (prepared_.empty()) return;
    prepared_.clear();
    if (InTransaction()) {
      pipeline_.Defer("DEALLOCATE ALL");
    } else {
      Sync({"DEALLOCATE ALL"});
    }
  }

  // The server's error in `res`; without a result, libpq's (or `lost`, the
  // message of a pipeline that went unanswered).
  VbError Failure(const PGresult* res, const std::string& lost = {}) const {
    if (!res || PQstatus(conn_) != CONNECTION_OK) {
      std::string message = Trimmed(PQerrorMessage(conn_));
      if (!res && !lost.empty()) message = lost;
      return VbError(adoerr::kProviderFailure, message, "PostgreSQL");
    }
    const char* state = PQresultErrorField(res, PG_DIAG_SQLSTATE);
    std::string message = Trimmed(PQresultErrorField(res, PG_DIAG_MESSAGE_PRIMARY));
    if (message.empty()) message = Trimmed(PQresultErrorMessage(res));
    std::string detail = Trimmed(PQresultErrorField(res, PG_DIAG_MESSAGE_DETAIL));
    if (!detail.empty()) message += " (" + detail + ")";
    std::string_view cls = state ? std::string_view(state).substr(0, 2) : std::string_view();
    int32_t number = cls == "23" ? vberr::kProviderIntegrityViolation : vberr::kProviderCommandError;
    return VbError(number, message, "PostgreSQL");
  }

  PGconn* conn_;
  PgPipeline pipeline_;
  std::vector<VbError> warnings_;
  std::unordered_map<std::string, std::string> prepared_;  // SQL text -> prepared statement name
  size_t statements_ = 0;                                  // names given so far
  std::unordered_map<std::string, QueryPlan> plans_;       // parameterized text and updatable -> plan
  std::unordered_map<std::string, std::string> numbered_;  // TargetSelect::Marked -> with $n markers
  ParameterizedSql target_params_;                         // the last QueryTarget's
  bool stale_ = false;                                     // the last failure was a prepared statement's stale result
  std::unordered_map<Oid, TableMeta> tables_;
  std::vector<Oid> table_of_;  // of the last described result
  std::vector<int> column_of_;
};

}  // namespace

std::unique_ptr<ProviderSession> OpenPostgresSession(const ConnectionString& cs, std::string_view user,
                                                     std::string_view password) {
  std::vector<std::pair<std::string, std::string>> params;
  if (auto ds = cs.Get({"Data Source"})) {
    bool conninfo = ds->find('=') != std::string::npos || ds->rfind("postgres://", 0) == 0 ||
                    ds->rfind("postgresql://", 0) == 0;
    params.emplace_back(conninfo ? "dbname" : "host", *ds);
  }
  auto add = [&](std::initializer_list<std::string_view> keys, const char* keyword) {
    if (auto v = cs.Get(keys)) params.emplace_back(keyword, *v);
  };
  add({"Host", "Server", "Address"}, "host");
  add({"Port"}, "port");
  add({"Database", "Initial Catalog"}, "dbname");
  add({"User ID", "UID", "User", "User Name"}, "user");
  add({"Password", "PWD"}, "password");
  add({"Connect Timeout", "Timeout"}, "connect_timeout");
  add({"SSL Mode", "SSLMode"}, "sslmode");
  add({"Application Name"}, "application_name");
  if (!user.empty()) params.emplace_back("user", std::string(user));
  if (!password.empty()) params.emplace_back("password", std::string(password));
  if (!cs.Get({"Connect Timeout", "Timeout"})) params.emplace_back("connect_timeout", "10");
  params.emplace_back("client_encoding", "UTF8");
  std::vector<const char*> keys, values;
  for (auto& [k, v] : params) {
    keys.push_back(k.c_str());
    values.push_back(v.c_str());
  }
  keys.push_back(nullptr);
  values.push_back(nullptr);
  PGconn* conn = PQconnectdbParams(keys.data(), values.data(), /*expand_dbname=*/1);
  if (!conn || PQstatus(conn) != CONNECTION_OK) {
    std::string message = conn ? Trimmed(PQerrorMessage(conn)) : "out of memory";
    PQfinish(conn);
    throw VbError(adoerr::kProviderFailure, message, "PostgreSQL");
  }
  PGresult* res = PQexec(conn, "SET DateStyle = 'ISO, YMD'; SET extra_float_digits = 3");
  bool ok = PQresultStatus(res) == PGRES_COMMAND_OK;
  PQclear(res);
  if (!ok) {
    std::string message = Trimmed(PQerrorMessage(conn));
    PQfinish(conn);
    throw VbError(adoerr::kProviderFailure, message, "PostgreSQL");
  }
  return std::make_unique<PgSession>(conn);
}

}  // namespace veldrane::ado
