// StepData (see engine/step_data.h).
#include <string_view>

#include "core/object.h"
#include "engine/run_transactions.h"
#include "history/cls_log.h"
#include "localization/bas_utils.h"
#include "engine/step_data.h"
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

const char StepData::kKind = 0;

StepData& StepData::Of(cShape& step) {
  StepAttachment* attached = step.attachment();
  if (attached && attached->kind() == &kKind) return static_cast<StepData&>(*attached);
  auto data = std::make_shared<StepData>(step);
  StepData& made = *data;
  step.attach(std::move(data));
  return made;
}

StepData* StepData::Find(const cShape& step) {
  StepAttachment* attached = step.attachment();
  return attached && attached->kind() == &kKind ? static_cast<StepData*>(attached) : nullptr;
}

void StepData::SourceChanged() {
  query_.clear();
  target_.reset();
  rows_.reset();
  ++generation_;  // the rows read so far are not the step's any more
}

void StepData::ConnectionChanged() {
  // A TARGET step's rows write through the connection they were opened on:
  // on a new connection they are opened again.
  if (!rows_) return;
  rows_.reset();
  ++generation_;
}

std::shared_ptr<ado::Recordset> StepData::data() {
  if (step_.objType != aData && step_.objType != aStorage) return nullptr;
  // Open rows on an open connection are what OpenData would give back (it
  // clears the error list, finds nothing to report and returns them); a
  // transfer reads them a dozen times per record.
  const std::shared_ptr<ado::Connection>& cn = step_.cnSourceIfAny();
  if (rows_ && cn && rows_->State() == ado::adStateOpen && cn->State() == ado::adStateOpen) {
    cn->GetErrors().Clear();
    return rows_;
  }
  std::shared_ptr<ado::Recordset> rows = OpenData();
  if (!rows) {
    throw VbError(vberr::kObjectRequired, "Object required: the rows of step '" + step_.sCaption() +
                                              "' could not be opened (see the run log)");
  }
  return rows;
}

namespace {

// Puts a step's query and rows back as they were, whatever happened.
struct QueryRestore {
  std::string& query_slot;
  std::shared_ptr<const ado::TargetSelect>& target_slot;
  std::shared_ptr<ado::Recordset>& rows_slot;
  std::string query = std::move(query_slot);
  std::shared_ptr<const ado::TargetSelect> target = std::move(target_slot);
  std::shared_ptr<ado::Recordset> rows = std::move(rows_slot);
  ~QueryRestore() {
    query_slot = std::move(query);
    target_slot = std::move(target);
    rows_slot = std::move(rows);
  }
};

}  // namespace

std::shared_ptr<ado::Recordset> StepData::dataApart(const std::string& query) {
  // Opened through the step's own path, then the step's query and rows are
  // put back as they were.
  QueryRestore restore{query_, target_, rows_};
  query_ = query;
  target_.reset();
  rows_.reset();
  return data();
}

std::shared_ptr<ado::Recordset> StepData::dataApart(std::shared_ptr<const ado::TargetSelect> select) {
  QueryRestore restore{query_, target_, rows_};
  query_.clear();
  target_ = std::move(select);
  rows_.reset();
  return data();
}

std::string StepData::query() const { return target_ ? target_->Text() : query_; }

namespace {

// Rows that nothing but the step holds, open on an open connection.
bool OwnOpenRows(const std::shared_ptr<ado::Recordset>& rows, const std::shared_ptr<ado::Connection>& cn) {
  return rows && rows.use_count() == 1 && rows->Unshared() && rows->State() == ado::adStateOpen && cn &&
         cn->State() == ado::adStateOpen;
}

}  // namespace

bool StepData::emptyRowsFor(const std::string& strQuery) {
  if (strQuery != query() || !OwnOpenRows(rows_, step_.cnSourceIfAny())) return false;
  if (!rows_->DiscardRows()) return false;
  ++generation_;
  return true;
}

bool StepData::emptyRowsFor(const ado::TargetSelect& select) {
  // Compared in parts: a select of no row is the same whatever the record.
  if (!target_ || !target_->Same(select) || !OwnOpenRows(rows_, step_.cnSourceIfAny())) return false;
  if (!rows_->DiscardRows()) return false;
  ++generation_;
  return true;
}

void StepData::setQuery(const std::string& strQuery) {
  query_ = strQuery;
  target_.reset();
  DropRows();
}

void StepData::setTarget(std::shared_ptr<const ado::TargetSelect> select) {
  query_.clear();
  target_ = std::move(select);
  DropRows();
}

void StepData::DropRows() {
  ++generation_;
  // Rows that nothing else holds (no script, no Field handed out) are closed
  // and the object is opened again with the new query: a TARGET step does
  // this for every record, and a new recordset each time was a good part of
  // a record's cost. Rows held elsewhere stay as they are for their holder.
  if (rows_ && rows_.use_count() == 1 && rows_->Unshared() && rows_->State() == ado::adStateOpen) {
    try {
      rows_->Close();
      return;
    } catch (const VbError&) {
      // Deliberately ignored: a new object is made instead.
    }
  }
  rows_.reset();
}

Variant StepData::ExecuteSql(const Variant& sql, const Variant& Field) {
  // Every failure gives the empty value and nothing is logged: a formula
  // asking for something that is not there simply gets nothing.
  try {
    ado::RecordsetRef rows;
    std::shared_ptr<ado::Connection> cn = step_.cnSource();
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

bool StepData::connected() const {
  const std::shared_ptr<ado::Connection>& cn = step_.cnSourceIfAny();
  return cn && cn->State() == ado::adStateOpen;
}

bool StepData::connect() {
  if (step_.objType != aData && step_.objType != aStorage) return false;
  return OpenConnection() != nullptr;
}

std::shared_ptr<ado::Connection> StepData::OpenConnection() {
  const Payload& payload = step_.objElements;
  std::shared_ptr<ado::Connection> cn = step_.cnSource();
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
    if (step_.gbLog) {
      step_.gbLog->AddCritical(Translate("CRITICAL ERROR: Error opening connection", "cShape") + " " +
                               step_.sCaption());
      // The fixed entry stays as hosts know it; why follows in its own.
      if (!reason.empty()) step_.gbLog->AddCritical(reason);
    }
    return nullptr;
  }
  return cn;
}

std::shared_ptr<ado::Recordset> StepData::OpenData() {
  std::shared_ptr<ado::Connection> cn = OpenConnection();
  if (!cn) return nullptr;
  cn->GetErrors().Clear();
  const Payload& payload = step_.objElements;

  if (!rows_) rows_ = ado::Recordset::Create();
  if (step_.objType == aData) {
    const auto* source = std::get_if<tData>(&payload);
    if (rows_->State() == ado::adStateClosed && source) {
      // A table name goes in as a name: it can never end or extend the statement.
      std::string text =
          source->sourcetype == "table" ? "SELECT * FROM " + ado::SafeIdentifier(source->Source) : source->Source;
      Absorbing([&] {
        IsolatedOnServer(*cn, [&] {
          // Read row by row where the provider can: a source of millions of
          // rows then costs the memory of one.
          rows_->Open(Variant(text), Variant(ObjectRef(cn)), ado::adOpenForwardOnly, ado::adLockReadOnly, -1);
        });
      });
    }
  } else if (step_.objType == aStorage) {
    if (rows_->State() == ado::adStateClosed && (target_ || !query_.empty())) {
      if (cn->Provider() == kClientCursorProvider) {
        Absorbing([&] { rows_->Close(); });  // not open: that failure is expected
        Absorbing([&] { rows_->SetCursorLocation(ado::adUseClient); });
      }
      Absorbing([&] {
        IsolatedOnServer(*cn, [&] {
          if (target_) {
            rows_->OpenTarget(target_, cn);
          } else {
            rows_->Open(Variant(query_), Variant(ObjectRef(cn)), ado::adOpenKeyset, ado::adLockOptimistic, -1);
          }
        });
      });
    }
  }

  ado::Errors& errors = cn->GetErrors();
  if (errors.Count() > 0) {
    // The provider's own text names the table or statement it refused.
    if (step_.gbLog) step_.gbLog->AddLog("CRITICAL ERROR:" + errors.Item(0).Description());
    return nullptr;
  }
  return rows_;
}

namespace {

// The data side's members on a step's script face: formulas reach another
// step's rows (`Steps("X").data`) and its connection (`ExecuteSql`).
const bool kDataMembersRegistered = [] {
  MemberTable<cShape>& members = cShape::Members();
  members.Add("data", [](cShape& step, InvokeKind kind, Args args) {
    if (kind != InvokeKind::Get) throw VbError::NotSupported("data");
    ExpectArgs(args, 0, 0);
    std::shared_ptr<ado::Recordset> rows = StepData::Of(step).data();
    return rows ? Variant(ObjectRef(rows)) : Variant::Nothing();
  });
  members.Add("setQuery", [](cShape& step, InvokeKind, Args args) {
    ExpectArgs(args, 1, 1);
    StepData::Of(step).setQuery(args[0].ToText());
    return Variant();
  });
  members.Add("ExecuteSql", [](cShape& step, InvokeKind, Args args) {
    ExpectArgs(args, 2, 2);
    return StepData::Of(step).ExecuteSql(args[0], args[1]);
  });
  return true;
}();

}  // namespace

}  // namespace veldrane
