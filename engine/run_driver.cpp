// The run driver of clsProcess: RunFile, Run, RunRecord, RunNextRecord and
// CancelExec, with StartProcess (preparing a run), ProcessRecords (the
// record loop of a whole run) and ProcessRecord (the walk of one record from
// START along the first link of every step).
//
// This is a boundary: failures of the preparation, of the record loop and of
// a record's walk end up in the run log, never with the host, except for the
// step-wise operations, whose failures reach their caller.
#include <algorithm>
#include <cctype>

#include "core/checked.h"
#include "core/oadate.h"
#include "engine/cls_process.h"
#include "engine/run_state.h"
#include "engine/run_transactions.h"
#include "engine/step_data.h"
#include "history/cls_log.h"
#include "localization/bas_utils.h"
#include "platform/db/ado.h"
#include "platform/db/sql_text.h"
#include "vbscript/interrupt.h"

namespace veldrane {

namespace {

const std::string* ConnectionNameOf(const Payload& payload) {
  if (const auto* d = std::get_if<tData>(&payload)) return &d->connName;
  if (const auto* s = std::get_if<tStorage>(&payload)) return &s->connName;
  return nullptr;
}

bool HasData(const cShape& step) { return step.objType == aData || step.objType == aStorage; }

// Runs one action of the connection sharing and step-wise switching; its
// failure skips just that action, so that one step that cannot share or
// begin a transaction does not keep the others from it.
template <class F>
void SkippingFailure(F&& action) {
  try {
    action();
  } catch (const VbError&) {
    // Deliberately skipped; see above.
  }
}

// The distinct connections of the TARGET steps.
std::vector<ado::ConnectionRef> TargetConnections(cShapes& shapes) {
  std::vector<ado::ConnectionRef> out;
  for (auto& step : *shapes.Collection()) {
    if (step->objType != aStorage) continue;
    ado::ConnectionRef c = step->cnSource();
    if (std::find(out.begin(), out.end(), c) == out.end()) out.push_back(std::move(c));
  }
  return out;
}

// The connection among `seen` that reaches the database `connection`
// reaches, or null.
ado::ConnectionRef SameDatabase(const std::vector<ado::ConnectionRef>& seen, ado::Connection& connection) {
  std::string identity = connection.DatabaseIdentity();
  if (identity.empty()) return nullptr;
  for (const ado::ConnectionRef& c : seen) {
    if (c.get() == &connection || c->DatabaseIdentity() == identity) return c;
  }
  return nullptr;
}

// Holds the run log's execution-log rows for the length of a run (they are
// written in batches) and writes the rest when the run ends, however it
// ends; a failure to write them becomes a line of the log and is kept for
// the run's summary.
class HeldLogRows {
 public:
  HeldLogRows(clsLog& log, std::string& failure) : log_(log), failure_(failure) { log_.HoldRows(true); }
  ~HeldLogRows() { End(); }
  HeldLogRows(const HeldLogRows&) = delete;
  HeldLogRows& operator=(const HeldLogRows&) = delete;
  void End() {
    Guarded([this] { log_.HoldRows(false); });
  }
  // Writes the rows that have waited long enough, also when no failure
  // comes after them to do it.
  void WriteDue() {
    Guarded([this] { log_.FlushIfDue(); });
  }

 private:
  template <class F>
  void Guarded(F&& write) {
    try {
      write();
    } catch (const VbError& e) {
      failure_ = e.description();
      log_.AddLog("VeldraneRunner ERROR: rows of the execution log could not be written: " + e.description());
    }
  }

  clsLog& log_;
  std::string& failure_;
};

}  // namespace

int16_t clsProcess::RunFile(const std::string& Filename) {
  gbLog->AddLog("VeldraneRunner: Loading " + Filename);
  // A document that does not load is not run: running whatever the object
  // holds would only fail later, or worse, run a half-read flow. (A second
  // document is refused by the loader: steps would be there twice.)
  std::string failure;
  try {
    failure = LoadIntegration(Filename);
  } catch (const VbError& e) {
    failure = e.description();
  }
  if (!failure.empty()) {
    gbLog->AddLog("VeldraneRunner ERROR: " + failure);
    last_run_ = RunSummary();
    last_run_.end = RunSummary::End::kNotStarted;
    last_run_.failure = failure;
    return 0;
  }
  gbLog->AddLog("VeldraneRunner: Executing " + Filename);
  StartProcess(true);
  return 0;
}

int16_t clsProcess::Run() {
  StartProcess(true);
  return 0;
}

int16_t clsProcess::RunRecord() {
  StartProcess(false);
  RunState& state = EnsureRunState(run_);
  if (!state.prepared) {
    state.step_wise = false;
    throw VbError(vberr::kObjectNotSet, "RunRecord: the run could not be prepared: " + state.preparation_error);
  }
  if (!mSourceData) {
    state.step_wise = false;
    throw VbError(vberr::kObjectNotSet, "RunRecord: the integration has no SOURCE step to read rows from");
  }
  ResetStatistics();
  mStatistics.TotalRecords = SourceRecordCount();
  mStatistics.CurrRecord = 1;
  mStatistics.StartTime = OaNow();
  mSourceData->MoveFirst();
  // PostgreSQL connections inside a step-wise transaction need a savepoint
  // around every TARGET step, or one failed write would poison the rest.
  state.savepoint_connections.clear();
  for (auto& step : *Shapes()->Collection()) {
    if (!HasData(*step) || !step->DebugMode()) continue;
    ado::ConnectionRef c = step->cnSource();
    if (IsPostgres(*c) && std::find(state.savepoint_connections.begin(), state.savepoint_connections.end(), c) ==
                              state.savepoint_connections.end()) {
      state.savepoint_connections.push_back(c);
      NoteTransaction(*c);
      state.step_wise_noted.push_back(c);
    }
  }
  state.step_wise = true;
  return 0;
}

int16_t clsProcess::RunNextRecord() {
  RunState& state = EnsureRunState(run_);
  if (!state.step_wise || !mSourceData) {
    throw VbError(vberr::kObjectNotSet, "RunNextRecord: no step-wise run is prepared; call RunRecord first");
  }
  if (!mSourceData->IsEOF()) {
    ProcessRecord();
    mSourceData->MoveNext();
  }
  return 0;
}

int32_t clsProcess::SourceRecordCount() {
  int32_t count = mSourceData->RecordCount();
  if (count >= 0) return count;
  // Rows read one at a time: the database counts them. The source text is
  // wrapped as it runs, without what trails it (a comment, semicolons), and
  // on a line of its own, so that a comment in it ends before the wrapping.
  std::string sql(ado::StatementBody(mSourceData->Source()));
  try {
    ado::RecordsetRef counted =
        mSourceStep->cnSource()->Execute("SELECT COUNT(*) FROM (\n" + sql + "\n) veldrane_rows", -1);
    return counted->GetFields().Item(Variant(int32_t{0})).Value().ToLong();
  } catch (const VbError& e) {
    // The run goes on without a total; only its progress is the poorer for
    // it, and the history counts the rows read instead.
    gbLog->AddLog("VeldraneRunner: the number of source rows is not known: " + e.description());
    return 0;
  }
}

int16_t clsProcess::CancelExec() {
  mCancel = true;
  // A formula running now (an endless loop) stops at its next statement.
  vbs::RequestInterrupt();
  return 0;
}

void clsProcess::StartProcess(bool run) {
  RunState& state = EnsureRunState(run_);
  gbLog->AddLog("VeldraneRunner: starting process");
  if (run) last_run_ = RunSummary();
  state.prepared = false;
  state.preparation_error.clear();
  state.walk = WalkPlan();
  state.ForgetStepWise();  // noted again by RunRecord while the mode lasts
  bool ignoring = false;  // from the first SOURCE or TARGET step of the sharing on
  try {
    // The SOURCE step: the first aData step, else the last step. Every step
    // reports into the run log.
    CollectionRef<std::shared_ptr<cShape>> steps = Shapes()->Collection();
    std::shared_ptr<cShape> source;
    for (auto& step : *steps) {
      step->gbLog = gbLog;
      if (!source || source->objType != aData) source = step;
    }
    mSourceStep = source;
    if (!source) {
      throw VbError(vberr::kObjectNotSet, "Object variable or With block variable not set: the integration has no steps");
    }
    mSourceData = StepData::Of(*source).data();
    mStartStep = GetStartStep();
    mStepsByCaption = NewCollection<std::shared_ptr<cShape>>();
    IndexStepsByCaption(*mStepsByCaption);
    PrepareScript();
    state.prepared = true;

    // Steps naming one connection share one connection object; every
    // SOURCE and TARGET step enters (Run: leaves) the step-wise mode, which
    // rolls back what a step-wise run wrote.
    // Steps that reach one database under different names (or none) share
    // one connection too: a run holding two transactions on one SQLite
    // file would wait on its own lock, and a formula's SQLExecute through
    // the other name would write outside the run's transaction.
    std::vector<ado::ConnectionRef> seen;
    for (auto& step : *steps) {
      if (!HasData(*step)) continue;
      ignoring = true;
      SkippingFailure([&] {
        if (!mConnections) mConnections = NewCollection<std::shared_ptr<ado::Connection>>();
        const std::string* name = ConnectionNameOf(step->objElements);
        std::string key = name ? *name : std::string();
        std::shared_ptr<ado::Connection>* named = key.empty() ? nullptr : mConnections->Find(key);
        ado::ConnectionRef shared = named ? *named : SameDatabase(seen, *step->cnSource());
        if (shared) {
          step->cnSource(shared);
        } else {
          shared = step->cnSource();
          seen.push_back(shared);
        }
        if (!key.empty() && !named) mConnections->Add(shared, key);
      });
      SkippingFailure([&] { step->DebugMode(!run); });
    }
    if (run) {
      state.step_wise = false;
      gbLog->AddLog("VeldraneRunner: processing");
      ProcessRecords();
    }
  } catch (const VbError& e) {
    if (!ignoring) {
      state.prepared = false;
      state.preparation_error = e.description();
      gbLog->AddLog("VeldraneRunner ERROR: error connecting to source" + e.description());
      if (run) {
        last_run_.end = RunSummary::End::kNotStarted;
        last_run_.failure = "error connecting to source" + e.description();
      }
    } else {
      // The record loop stopped on a failure it does not handle itself;
      // said, so that a run that did nothing does not pass for a quiet one.
      gbLog->AddLog("VeldraneRunner ERROR: " + e.description());
      if (run) {
        last_run_.end = RunSummary::End::kFailed;
        last_run_.failure = e.description();
      }
    }
  }
}

void clsProcess::ProcessRecords() {
  RunState& state = EnsureRunState(run_);
  mCancel = false;
  vbs::ClearInterrupt();
  ResetStatistics();
  if (!mSourceData) {
    throw VbError(vberr::kObjectNotSet,
                  "Object variable or With block variable not set: the integration has no SOURCE step to read rows from");
  }
  mStatistics.TotalRecords = SourceRecordCount();
  mStatistics.CurrRecord = 0;
  mStatistics.StartTime = OaNow();
  state.failures_logged = 0;
  PlanWalk();
  HeldLogRows held_rows(*gbLog, last_run_.log_rows_error);
  ProcessStarted(mStatistics);

  RunBatch batch(state, BatchableConnections(TargetConnections(*Shapes())), commit_size_);
  MarkGroup();
  // However the loop ends, the records processed are in a committed group
  // or counted failed before anything else is told. `last`: the number
  // (0-based) of the last record processed.
  auto close_group = [&](int32_t last) {
    CloseGroup(batch, last);
    last_run_.records_read = int64_t{last} + 1;
    last_run_.failed_records = state.failures_logged;
  };

  bool cancelled = false;
  try {
    mSourceData->MoveFirst();
    for (;;) {
      if (mSourceData->IsEOF()) {
        cancelled = mCancel;
        break;
      }
      if (mCancel) {
        cancelled = true;
        break;
      }
      ProcessRecord();
      bool redone = state.group_broken;
      if (redone) RedoGroup(batch, mStatistics.CurrRecord, state.last_failure);
      if (gbLog->IsCritical()) {
        // A critical entry stops the run without end events; what was
        // processed is committed (or counted failed) all the same.
        close_group(mStatistics.CurrRecord);
        last_run_.end = RunSummary::End::kCritical;
        return;
      }
      mStatistics.CurrRecord = AddChecked32(mStatistics.CurrRecord, 1);
      bool begin = redone;
      if (!redone && batch.RecordDone()) {
        CloseGroup(batch, mStatistics.CurrRecord - 1);
        begin = true;
      }
      if (begin) {
        if (std::optional<VbError> failure = batch.Begin()) {
          gbLog->AddLog("VeldraneRunner ERROR: the next group of records cannot begin a transaction: " +
                        failure->description());
          throw *failure;
        }
      }
      held_rows.WriteDue();
      StatisticsAdded(mStatistics);
      mSourceData->MoveNext();
    }
  } catch (const VbError&) {
    close_group(mStatistics.CurrRecord - 1);
    throw;
  }
  // Committed before the end is told, so that the history row describes
  // what the databases hold; the failures' rows are in their table by then too.
  close_group(mStatistics.CurrRecord - 1);
  held_rows.End();
  last_run_.failed_records = state.failures_logged;

  if (cancelled) gbLog->AddLog(Translate("Execution Stopped by user request", "clsProcess"), true);
  mStatistics.EndTime = OaNow();
  last_run_.end = cancelled ? RunSummary::End::kCancelled : RunSummary::End::kCompleted;
  IntegrationEnd(mStatistics);

  const tStatistic& s = mStatistics;
  std::string result = "Completed";
  if (cancelled) {
    result = "Cancelled";
  } else if (s.Totals[5] != s.Success[5] || state.failures_logged > 0) {
    result = "Completed with errors";
  }
  try {
    WriteHistoryRow(result);
    last_run_.history_written = true;
  } catch (const VbError& e) {
    last_run_.history_error = e.description();
    gbLog->AddLog("VeldraneRunner ERROR: the execution history row could not be written: " + e.description());
  }
}

void clsProcess::PlanWalk() {
  WalkPlan& walk = EnsureRunState(run_).walk;
  if (walk.built || !mStartStep) return;
  walk = PlanFlow();
  last_run_.reached_target = std::any_of(walk.steps.begin(), walk.steps.end(),
                                         [](const std::shared_ptr<cShape>& s) { return s->objType == aStorage; });
  if (walk.end == WalkPlan::End::kLoop) {
    last_run_.flow_problem = "the flow never reaches END: it loops back to step '" + walk.loop_step->sCaption() + "'";
  } else if (walk.end == WalkPlan::End::kFailure) {
    last_run_.flow_problem = "a link of the flow leads to no step";
  } else if (!last_run_.reached_target) {
    last_run_.flow_problem = "no TARGET step is reached from START";
  }
}

void clsProcess::ProcessRecord() {
  if (!mStartStep) return;
  RunState& state = EnsureRunState(run_);
  PlanWalk();
  const WalkPlan& walk = state.walk;

  try {
    for (const std::shared_ptr<cShape>& step : walk.steps) {
      bool stop = false;
      if (step->objType == aStorage) {
        PrepareScript();
        {
          // The step failed when it counted a failure (a failure it could
          // not count raises, and the savepoints roll back on the way
          // out). A formula that failed but left the row to be written with
          // an empty value is not a failed write.
          StepSavepoints savepoints(state.savepoint_connections);
          int64_t failed_before = int64_t{mStatistics.Totals[5]} - mStatistics.Success[5];
          TransferRecord(*step);
          savepoints.End(int64_t{mStatistics.Totals[5]} - mStatistics.Success[5] != failed_before);
        }
        stop = gbLog->IsCritical();
        // A transaction the database ended took the group's earlier writes
        // with it; later steps must not write outside it. The group is
        // written again, one record at a time.
        if (!state.batch.empty() && !state.group_broken) {
          for (const ado::ConnectionRef& c : state.batch) {
            if (!c->InTransaction()) state.group_broken = true;
          }
        }
        if (state.group_broken) return;
      }
      if (message_yield_) message_yield_();
      if (stop) return;
    }
    if (walk.end == WalkPlan::End::kLoop) {
      ++state.failures_logged;
      gbLog->AddLog("VeldraneRunner ERROR: the flow never reaches END: it loops back to step '" +
                    walk.loop_step->sCaption() + "' (record " + std::to_string(mStatistics.CurrRecord) + ")");
    }
    // A walk that found no next step (or looped) yields once more, as the
    // step that found nothing took its turn.
    if (walk.end == WalkPlan::End::kDeadEnd || walk.end == WalkPlan::End::kLoop) {
      if (message_yield_) message_yield_();
    }
  } catch (const VbError&) {
    // A failure of the walk ends this record's walk; the transfer has logged
    // its own failures, and the record loop goes on with the next record.
  }
}

}  // namespace veldrane
