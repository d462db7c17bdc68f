// The PostgreSQL provider, through libpq. Values travel as text in both
// directions; parameters are sent untyped so that the server converts them
// to the column's type exactly as it would convert a quoted literal.
//
// Inside a transaction every statement runs under a savepoint: a failing
// statement is undone on its own, and the transaction (for example the one
// a step-wise run keeps open) stays usable, as it does on other providers.
#include <libpq-fe.h>

#include <algorithm>
#include <charconv>
#include <map>
#include <set>
#include <unordered_map>

#include "core/oadate.h"
#include "core/text.h"
#include "platform/db/connection_string.h"
#include "platform/db/field_values.h"
#include "platform/db/provider.h"
#include "platform/db/sql_text.h"

namespace veldrane::ado {

namespace {

enum : Oid {
  kBool = 16, kBytea = 17, kChar = 18, kName = 19, kInt8 = 20, kInt2 = 21, kInt4 = 23, kText = 25, kOid = 26,
  kFloat4 = 700, kFloat8 = 701, kBpchar = 1042, kVarchar = 1043, kDate = 1082, kTime = 1083, kTimestamp = 1114,
  kTimestampTz = 1184, kNumeric = 1700,
};

std::string Placeholder(size_t i) { return "$" + std::to_string(i + 1); }

struct ResultPtr {
  PGresult* r = nullptr;
  ResultPtr() = default;
  explicit ResultPtr(PGresult* p) : r(p) {}
  ResultPtr(ResultPtr&& o) noexcept : r(o.r) { o.r = nullptr; }
  ResultPtr& operator=(ResultPtr&& o) noexcept {
    std::swap(r, o.r);
    return *this;
  }
  ~ResultPtr() { PQclear(r); }
};

std::string Trimmed(const char* text) {
  std::string s = text ? text : "";
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

void ApplyType(Oid oid, int typmod, ColumnInfo& c) {
  switch (oid) {
    case kBool: c.type = adBoolean; c.defined_size = 2; break;
    case kInt2: c.type = adSmallInt; c.defined_size = 2; c.precision = 5; break;
    case kInt4: c.type = adInteger; c.defined_size = 4; c.precision = 10; break;
    case kInt8: case kOid: c.type = adBigInt; c.defined_size = 8; c.precision = 19; break;
    case kFloat4: c.type = adSingle; c.defined_size = 4; c.precision = 7; break;
    case kFloat8: c.type = adDouble; c.defined_size = 8; c.precision = 15; break;
    case kNumeric:
      c.type = adNumeric;
      c.defined_size = 19;
      if (typmod >= 4) {
        c.precision = ((typmod - 4) >> 16) & 0xFFFF;
        c.scale = (typmod - 4) & 0xFFFF;
      }
      break;
    case kBpchar: case kChar:
      c.type = adWChar;
      c.fixed_length = true;
      c.defined_size = typmod >= 4 ? typmod - 4 : 1;
      break;
    case kVarchar:
      c.type = adVarWChar;
      c.defined_size = typmod >= 4 ? typmod - 4 : 0;
      break;
    case kText: c.type = adLongVarWChar; c.is_long = true; break;
    case kDate: c.type = adDBDate; c.defined_size = 6; c.precision = 10; break;
    case kTime: c.type = adDBTime; c.defined_size = 6; c.precision = 8; break;
    case kTimestamp: case kTimestampTz: c.type = adDBTimeStamp; c.defined_size = 16; c.precision = 19; break;
    case kBytea: c.type = adLongVarBinary; c.is_long = true; break;
    default: c.type = adVarWChar; break;  // names, uuids, json and the rest read as text
  }
}

// A timestamp as the server writes it (ISO): drop the zone and keep milliseconds.
std::optional<double> ParseServerDate(std::string_view text) {
  std::string t(text);
  if (t.size() > 10) {
    size_t zone = t.find_first_of("+-", 10);
    if (zone != std::string::npos && t.find(':', 0) != std::string::npos && zone > t.find(':')) t.erase(zone);
  }
  size_t dot = t.find('.');
  if (dot != std::string::npos && t.size() > dot + 4) t.erase(dot + 4);
  return ParseOaDate(t);
}

Variant ReadPgValue(const PGresult* res, int row, int col) {
  if (PQgetisnull(res, row, col)) return Variant::Null();
  const char* text = PQgetvalue(res, row, col);
  std::string_view v(text, static_cast<size_t>(PQgetlength(res, row, col)));
  switch (PQftype(res, col)) {
    case kBool: return Variant(v == "t");
    case kInt2: case kInt4: case kInt8: case kOid: {
      int64_t n = 0;
      std::from_chars(v.data(), v.data() + v.size(), n);
      if (PQftype(res, col) == kInt4) return Variant(static_cast<int32_t>(n));
      return Variant::FromInt64(n);
    }
    case kFloat4: case kFloat8: {
      double d = 0;
      auto r = std::from_chars(v.data(), v.data() + v.size(), d);
      if (r.ec != std::errc()) return Variant(v);
      return Variant(d);
    }
    case kNumeric: return DecimalFromText(v);
    case kDate: case kTime: case kTimestamp: case kTimestampTz: {
      if (auto d = ParseServerDate(v)) return Variant::Date(*d);
      return Variant(v);  // infinity and other values a Date cannot hold
    }
    case kBytea: {
      if (v.size() >= 2 && v[0] == '\\' && v[1] == 'x') {
        std::string bytes;
        for (size_t i = 2; i + 1 < v.size(); i += 2) {
          int b = 0;
          std::from_chars(v.data() + i, v.data() + i + 2, b, 16);
          bytes.push_back(static_cast<char>(b));
        }
        return BytesToVariant(bytes.data(), bytes.size());
      }
      return BytesToVariant(v.data(), v.size());
    }
    default: return Variant(v);
  }
}

// A parameter's text; nullopt for Null.
std::optional<std::string> ParamText(const Variant& raw) {
  Variant v = raw.IsObject() ? raw.Resolved() : raw;
  switch (v.Type()) {
    case VarType::Empty: case VarType::Null: return std::nullopt;
    case VarType::Boolean: return std::string(v.AsBool() ? "true" : "false");
    case VarType::Date: {
      std::string iso = FormatOaDateIso(v.AsDate());
      iso[10] = ' ';
      return iso;
    }
    case VarType::Array: {
      static const char* hex = "0123456789abcdef";
      std::string out = "\\x";
      for (unsigned char b : VariantToBytes(v)) {
        out += hex[b >> 4];
        out += hex[b & 0xF];
      }
      return out;
    }
    case VarType::String: return v.AsString();
    default: return v.IsNumber() ? NumberText(v) : v.ToString();
  }
}

class PgSession : public ProviderSession {
 public:
  explicit PgSession(PGconn* conn) : conn_(conn) { PQsetNoticeReceiver(conn_, &PgSession::OnNotice, this); }
  ~PgSession() override { PQfinish(conn_); }

  std::string Name() const override { return "PostgreSQL"; }

  Rowset Query(std::string_view sql, bool updatable) override {
    std::string text(sql);
    auto rewritten = rewrites_.find(text);
    bool known_rewrite = updatable && rewritten != rewrites_.end();
    ResultPtr res = Guarded([&] { return Run(known_rewrite ? rewritten->second.exec_text : text); });
    Rowset rows = Describe(res.r);
    if (updatable) {
      if (known_rewrite) {
        MarkHidden(rows, rewritten->second.locators);
        FindTarget(text, rows, /*rewrite=*/false);
      } else if (!FindTarget(text, rows, /*rewrite=*/true)) {
        // The key was not among the selected columns: read again with the locator added.
        const Rewrite& r = rewrites_.at(text);
        res = Guarded([&] { return Run(r.exec_text); });
        rows = Describe(res.r);
        MarkHidden(rows, r.locators);
        FindTarget(text, rows, /*rewrite=*/false);
      }
    }
    ReadRows(res.r, rows);
    return rows;
  }

  std::optional<Rowset> Execute(std::string_view sql) override {
    std::string text(sql);
    return Guarded([&]() -> std::optional<Rowset> {
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
      ForgetTables();  // the statements may have changed tables
      return last;
    });
  }

  void Begin(int32_t level) override { Simple(level == 1 ? "BEGIN" : "SAVEPOINT veldrane_" + std::to_string(level)); }
  void Commit(int32_t level) override {
    Simple(level == 1 ? "COMMIT" : "RELEASE SAVEPOINT veldrane_" + std::to_string(level));
  }
  void Rollback(int32_t level) override {
    if (level == 1) {
      Simple("ROLLBACK");
    } else {
      Simple("ROLLBACK TO SAVEPOINT veldrane_" + std::to_string(level));
      Simple("RELEASE SAVEPOINT veldrane_" + std::to_string(level));
    }
  }

  std::vector<Variant> Insert(const RowWrite& write) override {
    ResultPtr res = Guarded([&] { return RunPrepared(BuildInsertSql(write, Placeholder), write.set_values, {}); });
    return Returned(res.r);
  }

  std::vector<Variant> Update(const RowWrite& write) override {
    ResultPtr res = Guarded([&] {
      return RunPrepared(BuildUpdateSql(write, Placeholder), write.set_values, write.key_values);
    });
    if (PQntuples(res.r) == 0) throw RowNotFound(write.target->table, "PostgreSQL");
    return Returned(res.r);
  }

  void Delete(const RowWrite& write) override {
    ResultPtr res = Guarded([&] { return RunPrepared(BuildDeleteSql(write, Placeholder), write.key_values, {}); });
    if (std::string_view(PQcmdTuples(res.r)) == "0") throw RowNotFound(write.target->table, "PostgreSQL");
  }

  std::vector<VbError> TakeWarnings() override { return std::exchange(warnings_, {}); }

 private:
  struct Rewrite {
    std::string exec_text;
    std::vector<std::string> locators;
  };
  struct TableMeta {
    std::string qualified;             // quoted, schema-qualified as regclass prints it
    char relkind = 'r';
    std::map<int, std::string> names;  // attnum -> column name
    std::vector<int> primary_key;      // attnums
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

  // Runs `f` under a savepoint when a transaction is open.
  template <class F>
  auto Guarded(F&& f) -> decltype(f()) {
    if (PQtransactionStatus(conn_) != PQTRANS_INTRANS) return f();
    Simple("SAVEPOINT veldrane_statement");
    try {
      auto result = f();
      Simple("RELEASE SAVEPOINT veldrane_statement");
      return result;
    } catch (const VbError&) {
      Simple("ROLLBACK TO SAVEPOINT veldrane_statement");
      Simple("RELEASE SAVEPOINT veldrane_statement");
      throw;
    }
  }

  void Simple(const std::string& sql) {
    ResultPtr res(PQexec(conn_, sql.c_str()));
    if (PQresultStatus(res.r) != PGRES_COMMAND_OK) throw Failure(res.r);
  }

  ResultPtr Run(const std::string& sql) {
    ResultPtr res(PQexecParams(conn_, sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0));
    ExecStatusType status = PQresultStatus(res.r);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) throw Failure(res.r);
    return res;
  }

  ResultPtr RunPrepared(const std::string& sql, const std::vector<Variant>& first, const std::vector<Variant>& second) {
    auto it = prepared_.find(sql);
    size_t count = first.size() + second.size();
    if (it == prepared_.end()) {
      std::string name = "veldrane_" + std::to_string(prepared_.size() + 1);
      ResultPtr res(PQprepare(conn_, name.c_str(), sql.c_str(), static_cast<int>(count), nullptr));
      if (PQresultStatus(res.r) != PGRES_COMMAND_OK) throw Failure(res.r);
      it = prepared_.emplace(sql, name).first;
    }
    std::vector<std::optional<std::string>> texts;
    texts.reserve(count);
    for (const Variant& v : first) texts.push_back(ParamText(v));
    for (const Variant& v : second) texts.push_back(ParamText(v));
    std::vector<const char*> values;
    for (const auto& t : texts) values.push_back(t ? t->c_str() : nullptr);
    ResultPtr res(PQexecPrepared(conn_, it->second.c_str(), static_cast<int>(count), values.data(), nullptr, nullptr, 0));
    ExecStatusType status = PQresultStatus(res.r);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) throw Failure(res.r);
    return res;
  }

  std::vector<Variant> Returned(const PGresult* res) {
    std::vector<Variant> out;
    if (PQntuples(res) == 0) return out;
    for (int i = 0; i < PQnfields(res); ++i) out.push_back(ReadPgValue(res, 0, i));
    return out;
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

  void MarkHidden(Rowset& rows, const std::vector<std::string>& locators) {
    size_t visible = rows.columns.size() - locators.size();
    for (size_t i = visible; i < rows.columns.size(); ++i) {
      rows.columns[i].hidden = true;
      rows.columns[i].base_column = locators[i - visible];
    }
  }

  // Fills rows.target. Returns false when a rewrite with locator columns was
  // recorded (with `rewrite`) and the query must be read again.
  bool FindTarget(const std::string& sql, Rowset& rows, bool rewrite) {
    SelectShape shape = AnalyzeSelect(sql);
    if (!shape.single_table) {
      rows.target.refusal = shape.refusal;
      return true;
    }
    std::set<Oid> tables;
    for (size_t i = 0; i < rows.columns.size(); ++i) {
      if (table_of_[i] != InvalidOid && !rows.columns[i].hidden) tables.insert(table_of_[i]);
    }
    if (tables.size() != 1) {
      rows.target.refusal = tables.empty() ? "the query returns no column of a table" : "the query reads more than one table";
      return true;
    }
    const TableMeta& meta = Table(*tables.begin());
    if (meta.relkind != 'r' && meta.relkind != 'p') {
      rows.target.refusal = meta.qualified + " is not a table";
      return true;
    }
    for (size_t i = 0; i < rows.columns.size(); ++i) {
      ColumnInfo& c = rows.columns[i];
      if (c.hidden) {
        c.key = true;
        rows.target.key.push_back(static_cast<int32_t>(i));
        continue;
      }
      if (table_of_[i] != *tables.begin()) continue;
      auto name = meta.names.find(column_of_[i]);
      if (name == meta.names.end()) continue;
      c.writable = true;
      c.base_column = name->second;
    }
    if (rows.target.key.empty()) {
      std::vector<int32_t> key;
      for (int attnum : meta.primary_key) {
        for (size_t i = 0; i < rows.columns.size(); ++i) {
          if (rows.columns[i].writable && column_of_[i] == attnum) {
            key.push_back(static_cast<int32_t>(i));
            break;
          }
        }
      }
      if (meta.primary_key.empty() || key.size() != meta.primary_key.size()) {
        if (!rewrite) {
          rows.target.refusal = "the row locator cannot be read";
          return true;
        }
        Rewrite r;
        if (meta.primary_key.empty()) {
          if (meta.relkind == 'p') {
            rows.target.refusal = meta.qualified + " is partitioned and has no primary key";
            return true;
          }
          r.locators.push_back("ctid");
        } else {
          for (int attnum : meta.primary_key) r.locators.push_back(meta.names.at(attnum));
        }
        std::string extra;
        for (const std::string& l : r.locators) extra += ", " + QuoteIdentifier(l);
        r.exec_text = sql.substr(0, shape.from_offset) + extra + " " + sql.substr(shape.from_offset);
        rewrites_[sql] = std::move(r);
        return false;
      }
      for (int32_t k : key) rows.columns[static_cast<size_t>(k)].key = true;
      rows.target.key = key;
    }
    rows.target.table = meta.qualified;
    return true;
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
    return tables_.emplace(oid, std::move(meta)).first->second;
  }

  ResultPtr Catalog(const std::string& sql) {
    return Guarded([&] { return Run(sql); });
  }

  void ForgetTables() {
    tables_.clear();
    rewrites_.clear();
  }

  VbError Failure(const PGresult* res) const {
    if (!res || PQstatus(conn_) != CONNECTION_OK) {
      return VbError(adoerr::kProviderFailure, Trimmed(PQerrorMessage(conn_)), "PostgreSQL");
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
  std::vector<VbError> warnings_;
  std::unordered_map<std::string, std::string> prepared_;  // SQL text -> prepared statement name
  std::unordered_map<std::string, Rewrite> rewrites_;      // query text -> text with locators
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
