// The data side of a step (cShape): its connection, its rows, the query a
// TARGET step re-opens its rows with, and ExecuteSql for formulas.
//
// A SOURCE step opens its rows once and keeps them, with their position,
// until setQuery discards them; a TARGET step's rows are discarded by every
// setQuery and re-opened, with the new query, by the next read of `data`.
// Opening absorbs every failure on purpose: what went wrong reaches the run
// log as a "CRITICAL ERROR:" entry, and `data` then fails for its caller
// (the run driver, the record transfer, the script host), each of which has
// its own way of going on.
#include <string_view>

#include "core/object.h"
#include "engine/run_transactions.h"
#include "history/cls_log.h"
#include "localization/bas_utils.h"
#include "model/c_shape.h"
#include "platform/db/ado.h"
#include "platform/db/sql_text.h"
#include "platform/db/target_select.h"

namespace veldrane {

namespace {

// The provider whose TARGET rows need a client-side cursor.
constexpr std::string_view kClientCursorProvider = "SLXOLEDB.1";

const std::string* ConnectionStringOf(const Payload& payload) {
  if (const auto* d = std::get_if<tData>(&payload)) return &d->connString;
  if (const auto* s = std::get_if<tStorage>(&payload)) return &s->connString;
  return nullptr;
}

// Runs one statement of the opening sequence. Its failure is absorbed: the
// sequence goes on, and what failed shows in the connection's state and
// error list, which the sequence examines afterwards.
template <class F>
void Absorbing(F&& statement) {
  try {
    statement();
  } catch (const VbError&) {
    // Deliberately ignored; see above.
  }
}

// Runs a statement whose failure the caller may absorb. On PostgreSQL a
// failed statement aborts the transaction around it (a run's batch, a
// step-wise run), and every later write of the run would fail with it;
// there the statement runs under a savepoint of its own, rolled back when it
// fails, unless a step's savepoint already contains it. The statement's
// failure is raised again.
template <class F>
void IsolatedOnServer(ado::Connection& cn, F&& statement) {
  bool isolated = false;
  if (IsolateStatements(cn)) {
    try {
      cn.BeginTrans();
      isolated = true;
    } catch (const VbError&) {
      // No savepoint to be had: the statement runs as it is.
    }
  }
  try {
    statement();
  } catch (const VbError&) {
    if (isolated) Absorbing([&] { cn.RollbackTrans(); });
    throw;
  }
  if (isolated) {
    try {
      cn.CommitTrans();
    } catch (const VbError&) {
      Absorbing([&] { cn.RollbackTrans(); });
    }
  }
}

}  // namespace

std::shared_ptr<ado::Recordset> cShape::data() {
  if (objType != aData && objType != aStorage) return nullptr;
  // Open rows on an open connection are what OpenData would give back (it
  // clears the error list, finds nothing to report and returns them); a
  // transfer reads them a dozen times per record.
  if (mData && cn_source_ && mData->State() == ado::adStateOpen && cn_source_->State() == ado::adStateOpen) {
    cn_source_->GetErrors().Clear();
    return mData;
  }
  std::shared_ptr<ado::Recordset> rows = OpenData(objElements);
  if (!rows) {
    throw VbError(vberr::kObjectRequired,
                  "Object required: the rows of step '" + sCaption() + "' could not be opened (see the run log)");
  }
  return rows;
}

std::shared_ptr<ado::Recordset> cShape::dataApart(const std::string& query) {
  // Opened through the step's own path, then the step's query and rows are
  // put back as they were, whatever happened.
  struct Restore {
    cShape& step;
    std::string query;
    std::shared_ptr<const ado::TargetSelect> target;
    std::shared_ptr<ado::Recordset> rows;
    ~Restore() {
      step.mQuery = std::move(query);
      step.mTarget = std::move(target);
      step.mData = std::move(rows);
    }
  } restore{*this, std::move(mQuery), std::move(mTarget), std::move(mData)};
  mQuery = query;
  mTarget.reset();
  mData.reset();
  return data();
}

std::string cShape::query() const { return mTarget ? mTarget->Text() : mQuery; }

namespace {

// Rows that nothing but the step holds, open on an open connection.
bool OwnOpenRows(const std::shared_ptr<ado::Recordset>& rows, const std::shared_ptr<ado::Connection>& cn) {
  return rows && rows.use_count() == 1 && rows->Unshared() && rows->State() == ado::adStateOpen && cn &&
         cn->State() == ado::adStateOpen;
}

}  // namespace

bool cShape::emptyRowsFor(const std::string& strQuery) {
  if (strQuery != query() || !OwnOpenRows(mData, cn_source_)) return false;
  if (!mData->DiscardRows()) return false;
  ++data_generation_;
  return true;
}

bool cShape::emptyRowsFor(const ado::TargetSelect& select) {
  // Compared in parts: a select of no row is the same whatever the record.
  if (!mTarget || !mTarget->Same(select) || !OwnOpenRows(mData, cn_source_)) return false;
  if (!mData->DiscardRows()) return false;
  ++data_generation_;
  return true;
}

void cShape::setQuery(const std::string& strQuery) {
  mQuery = strQuery;
  mTarget.reset();
  DropRows();
}

void cShape::setTarget(std::shared_ptr<const ado::TargetSelect> select) {
  mQuery.clear();
  mTarget = std::move(select);
  DropRows();
}

void cShape::DropRows() {
  ++data_generation_;
  // Rows that nothing else holds (no script, no Field handed out) are closed
  // and the object is opened again with the new query: a TARGET step does
  // this for every record, and a new recordset each time was a good part of
  // a record's cost. Rows held elsewhere stay as they are for their holder.
  if (mData && mData.use_count() == 1 && mData->Unshared() && mData->State() == ado::adStateOpen) {
    try {
      mData->Close();
      return;
    } catch (const VbError&) {
      // Deliberately ignored: a new object is made instead.
    }
  }
  mData.reset();
}

Variant cShape::ExecuteSql(const Variant& sql, const Variant& Field) {
  // Every failure gives the empty value and nothing is logged: a formula
  // asking for something that is not there simply gets nothing.
  try {
    ado::RecordsetRef rows;
    std::shared_ptr<ado::Connection> cn = cnSource();
    IsolatedOnServer(*cn, [&] { rows = cn->Execute(sql.ToText(), -1); });
    if (rows->State() == ado::adStateClosed || rows->IsEOF()) return Variant();
    ado::Field& field = rows->GetFields().Item(Field);
    // The field itself: a script reading it as a value gets its Value, and
    // the field keeps its rows alive.
    return Variant(field.shared_from_this());
  } catch (const VbError&) {
    return Variant();
  }
}

bool cShape::connected() const { return cn_source_ && cn_source_->State() == ado::adStateOpen; }

bool cShape::connect() {
  if (objType != aData && objType != aStorage) return false;
  return OpenConnection(objElements) != nullptr;
}

std::shared_ptr<ado::Connection> cShape::OpenConnection(const Payload& payload) {
  std::shared_ptr<ado::Connection> cn = cnSource();
  std::string reason;  // the provider's own words, for the user
  if (cn->State() == ado::adStateClosed) {
    const std::string* conn_string = ConnectionStringOf(payload);
    try {
      cn->SetConnectionString(conn_string ? *conn_string : std::string());
    } catch (const VbError& e) {
      reason = e.description();
    }
    Absorbing([&] { cn->SetCursorLocation(ado::adUseClient); });
    try {
      cn->Open("", "", "", -1);
    } catch (const VbError& e) {
      if (reason.empty()) reason = e.description();
    }
  }
  if (cn->State() == ado::adStateClosed) {
    if (gbLog) {
      gbLog->AddCritical(Translate("CRITICAL ERROR: Error opening connection", "cShape") + " " + sCaption());
      // The fixed entry stays as hosts know it; why follows in its own.
      if (!reason.empty()) gbLog->AddCritical(reason);
    }
    return nullptr;
  }
  return cn;
}

std::shared_ptr<ado::Recordset> cShape::OpenData(const Payload& payload) {
  std::shared_ptr<ado::Connection> cn = OpenConnection(payload);
  if (!cn) return nullptr;
  cn->GetErrors().Clear();

  if (!mData) mData = ado::Recordset::Create();
  if (objType == aData) {
    const auto* source = std::get_if<tData>(&payload);
    if (mData->State() == ado::adStateClosed && source) {
      // A table name goes in as a name: it can never end or extend the statement.
      std::string text =
          source->sourcetype == "table" ? "SELECT * FROM " + ado::SafeIdentifier(source->Source) : source->Source;
      Absorbing([&] {
        IsolatedOnServer(*cn, [&] {
          // Read row by row where the provider can: a source of millions of
          // rows then costs the memory of one.
          mData->Open(Variant(text), Variant(ObjectRef(cn)), ado::adOpenForwardOnly, ado::adLockReadOnly, -1);
        });
      });
    }
  } else if (objType == aStorage) {
    if (mData->State() == ado::adStateClosed && (mTarget || !mQuery.empty())) {
      if (cn->Provider() == kClientCursorProvider) {
        Absorbing([&] { mData->Close(); });  // not open: that failure is expected
        Absorbing([&] { mData->SetCursorLocation(ado::adUseClient); });
      }
      Absorbing([&] {
        IsolatedOnServer(*cn, [&] {
          if (mTarget) {
            mData->OpenTarget(mTarget, cn);
          } else {
            mData->Open(Variant(mQuery), Variant(ObjectRef(cn)), ado::adOpenKeyset, ado::adLockOptimistic, -1);
          }
        });
      });
    }
  }

  ado::Errors& errors = cn->GetErrors();
  if (errors.Count() > 0) {
    // The provider's own text names the table or statement it refused.
    if (gbLog) gbLog->AddLog("CRITICAL ERROR:" + errors.Item(0).Description());
    return nullptr;
  }
  return mData;
}

namespace {

// The data side's members on a step's script face: formulas reach another
// step's rows (`Steps("X").data`) and its connection (`ExecuteSql`).
const bool kDataMembersRegistered = [] {
  MemberTable<cShape>& members = cShape::Members();
  members.Add("data", [](cShape& step, InvokeKind kind, Args args) {
    if (kind != InvokeKind::Get) throw VbError::NotSupported("data");
    ExpectArgs(args, 0, 0);
    std::shared_ptr<ado::Recordset> rows = step.data();
    return rows ? Variant(ObjectRef(rows)) : Variant::Nothing();
  });
  members.Add("setQuery", [](cShape& step, InvokeKind, Args args) {
    ExpectArgs(args, 1, 1);
    step.setQuery(args[0].ToText());
    return Variant();
  });
  members.Add("ExecuteSql", [](cShape& step, InvokeKind, Args args) {
    ExpectArgs(args, 2, 2);
    return step.ExecuteSql(args[0], args[1]);
  });
  return true;
}();

}  // namespace

}  // namespace veldrane
