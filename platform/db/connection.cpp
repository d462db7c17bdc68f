#include "core/object.h"
#include "core/text.h"
#include "platform/db/ado.h"
#include "platform/db/connection_string.h"
#include "platform/db/odbc_connect.h"
#include "platform/db/provider.h"
#include "platform/db/sql_text.h"

namespace veldrane::ado {

namespace {

enum class ProviderKind { Sqlite, Postgres, Odbc, Persist, Unknown };

ProviderKind KindOf(std::string_view provider) {
  if (provider.empty() || IEquals(provider, "SQLite") || IEquals(provider, "SQLite.1") ||
      IEquals(provider, "Microsoft.Jet.OLEDB.4.0")) {
    return ProviderKind::Sqlite;
  }
  if (IEquals(provider, "PostgreSQL") || IEquals(provider, "PostgreSQL.1")) return ProviderKind::Postgres;
  if (IEquals(provider, "MSDASQL") || IEquals(provider, "MSDASQL.1")) return ProviderKind::Odbc;
  if (IEquals(provider, "MSPersist")) return ProviderKind::Persist;
  return ProviderKind::Unknown;
}

// True when `text` parses, names no provider and holds ODBC keys.
bool OdbcKeysOnly(std::string_view text) {
  try {
    return IsOdbcWithoutProvider(ConnectionString::Parse(text));
  } catch (const VbError&) {
    return false;  // Open reports the malformation
  }
}

}  // namespace

ConnectionRef Connection::Create() { return std::make_shared<Connection>(); }

Connection::Connection() : provider_("SQLite"), errors_(std::make_shared<Errors>()) {}

Connection::~Connection() {
  if (session_ && transaction_level_ > 0) {
    try {
      session_->Rollback(1);
    } catch (const VbError&) {
      // A connection dropped with a transaction open rolls it back; if the
      // server is already gone there is nothing left to undo.
    }
  }
}

VbError Connection::Fail(const VbError& error, std::string sql_state) {
  errors_->Replace(error, std::move(sql_state));
  return error;
}

void Connection::RequireOpen() const {
  if (!open_) throw const_cast<Connection*>(this)->Fail(VbError(vberr::kObjectClosed, {}, "ADODB"));
}

ProviderSession& Connection::session() {
  RequireOpen();
  if (!session_) {
    throw Fail(VbError(vberr::kConnectionUnusable,
                       VbError::StandardDescription(vberr::kConnectionUnusable) + " (Provider '" + Provider() +
                           "' holds persisted files, not a database.)",
                       "ADODB"));
  }
  return *session_;
}

void Connection::Open(std::string_view connection_string, std::string_view user, std::string_view password,
                      int32_t) {
  if (open_) throw Fail(VbError(vberr::kObjectOpen, {}, "ADODB"));
  if (!connection_string.empty()) SetConnectionString(std::string(connection_string));
  errors_->Clear();
  try {
    class ConnectionString cs = ado::ConnectionString::Parse(connection_string_);
    // A string of ODBC keys alone (DSN=, FILEDSN=, Driver=) is ODBC's, as
    // OLE DB takes it.
    switch (IsOdbcWithoutProvider(cs) ? ProviderKind::Odbc : KindOf(cs.Provider())) {
      case ProviderKind::Sqlite: session_ = OpenSqliteSession(cs, user, password); break;
      case ProviderKind::Postgres: session_ = OpenPostgresSession(cs, user, password); break;
      case ProviderKind::Odbc: session_ = OpenOdbcSession(cs, user, password); break;
      case ProviderKind::Persist: break;
      case ProviderKind::Unknown:
        throw VbError(vberr::kProviderNotFound,
                      VbError::StandardDescription(vberr::kProviderNotFound) + " (Provider '" + cs.Provider() + "')",
                      "ADODB");
    }
  } catch (const VbError& e) {
    throw Fail(e);
  }
  open_ = true;
  transaction_level_ = 0;
}

void Connection::Close() {
  RequireOpen();
  if (session_ && transaction_level_ > 0) {
    try {
      session_->Rollback(1);
    } catch (const VbError& e) {
      // Closing still releases the connection; the failure is kept for the caller to read.
      errors_->Replace(e);
    }
  }
  session_.reset();
  open_ = false;
  transaction_level_ = 0;
}

int32_t Connection::State() const { return open_ ? adStateOpen : adStateClosed; }

std::string Connection::ConnectionString() const { return connection_string_; }

void Connection::SetConnectionString(std::string connection_string) {
  if (open_) throw Fail(VbError(vberr::kObjectOpen, {}, "ADODB"));
  connection_string_ = std::move(connection_string);
  provider_ = ProviderNameOf(connection_string_);
  if (provider_.empty()) provider_ = OdbcKeysOnly(connection_string_) ? "MSDASQL" : "SQLite";
}

int32_t Connection::CursorLocation() const { return cursor_location_; }

void Connection::SetCursorLocation(int32_t location) {
  if (location != adUseServer && location != adUseClient) throw Fail(VbError(vberr::kArgumentsWrongType, {}, "ADODB"));
  cursor_location_ = location;
}

std::string Connection::Provider() const { return provider_; }

Errors& Connection::GetErrors() { return *errors_; }

RecordsetRef Connection::Execute(std::string_view sql, int32_t options) {
  ProviderSession& s = session();
  std::string text(sql);
  if (options != -1 && (options & 0xFF) == adCmdTable) text = "SELECT * FROM " + text;
  std::optional<Rowset> rows;
  try {
    rows = s.Execute(text);
  } catch (const VbError& e) {
    throw Fail(e);
  }
  for (const VbError& w : s.TakeWarnings()) errors_->Add(w);
  auto rs = Recordset::Create();
  if (rows && (options == -1 || (options & adExecuteNoRecords) == 0)) {
    rs->AdoptRows(std::move(*rows), std::static_pointer_cast<Connection>(shared_from_this()), adOpenForwardOnly,
                  adLockReadOnly, text);
  }
  return rs;
}

int32_t Connection::BeginTrans() {
  ProviderSession& s = session();
  try {
    s.Begin(transaction_level_ + 1);
  } catch (const VbError& e) {
    throw Fail(e);
  }
  return ++transaction_level_;
}

void Connection::CommitTrans() {
  ProviderSession& s = session();
  if (transaction_level_ == 0) throw Fail(VbError(adoerr::kNoTransaction, "No transaction is active.", "ADODB"));
  try {
    s.Commit(transaction_level_);
  } catch (const VbError& e) {
    throw Fail(e);
  }
  --transaction_level_;
}

void Connection::RollbackTrans() {
  ProviderSession& s = session();
  if (transaction_level_ == 0) throw Fail(VbError(adoerr::kNoTransaction, "No transaction is active.", "ADODB"));
  try {
    s.Rollback(transaction_level_);
  } catch (const VbError& e) {
    throw Fail(e);
  }
  --transaction_level_;
}

bool Connection::InTransaction() {
  if (!open_ || !session_ || transaction_level_ == 0) return false;
  if (session_->TransactionOpen()) return true;
  transaction_level_ = 0;
  return false;
}

std::string Connection::DatabaseIdentity() const {
  if (!open_ || !session_) return {};
  std::string identity = session_->Identity();
  if (identity.empty() && KindOf(provider_) == ProviderKind::Postgres) identity = "PostgreSQL:" + connection_string_;
  return identity;
}

Variant Connection::Invoke(std::string_view name, InvokeKind kind, Args args) {
  static const MemberTable<Connection> table = [] {
    MemberTable<Connection> t;
    t.Add("Open", [](Connection& c, InvokeKind, Args a) {
      ExpectArgs(a, 0, 4);
      static const Variant none;
      c.Open(ArgOr(a, 0, none).ToText(), ArgOr(a, 1, none).ToText(), ArgOr(a, 2, none).ToText(),
             a.size() > 3 && !a[3].IsEmpty() ? a[3].ToLong() : -1);
      return Variant();
    });
    t.Add("Close", [](Connection& c, InvokeKind, Args a) {
      ExpectArgs(a, 0, 0);
      c.Close();
      return Variant();
    });
    t.Property("State", [](Connection& c) { return Variant(c.State()); });
    auto cs_get = [](Connection& c) { return Variant(c.ConnectionString()); };
    auto cs_let = [](Connection& c, const Variant& v) { c.SetConnectionString(v.ToText()); };
    t.Property("ConnectionString", cs_get, cs_let);
    t.Property("", cs_get, cs_let);
    t.Property(
        "CursorLocation", [](Connection& c) { return Variant(c.CursorLocation()); },
        [](Connection& c, const Variant& v) { c.SetCursorLocation(v.ToLong()); });
    t.Property("Provider", [](Connection& c) { return Variant(c.Provider()); });
    t.Property("Errors", [](Connection& c) { return Variant(c.GetErrors().shared_from_this()); });
    t.Add("Execute", [](Connection& c, InvokeKind, Args a) {
      ExpectArgs(a, 1, 3);
      // The records-affected argument (ByRef) is not counted; it is left as given.
      int32_t options = a.size() > 2 && !a[2].IsEmpty() ? a[2].ToLong() : -1;
      return Variant(ObjectRef(c.Execute(a[0].ToText(), options)));
    });
    t.Add("BeginTrans", [](Connection& c, InvokeKind, Args a) {
      ExpectArgs(a, 0, 0);
      return Variant(c.BeginTrans());
    });
    t.Add("CommitTrans", [](Connection& c, InvokeKind, Args a) {
      ExpectArgs(a, 0, 0);
      c.CommitTrans();
      return Variant();
    });
    t.Add("RollbackTrans", [](Connection& c, InvokeKind, Args a) {
      ExpectArgs(a, 0, 0);
      c.RollbackTrans();
      return Variant();
    });
    return t;
  }();
  return table.Invoke(*this, name, kind, args);
}

}  // namespace veldrane::ado
