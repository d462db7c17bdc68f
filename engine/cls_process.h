// clsProcess: the object a host creates to work with one integration.
//
// It owns the integration's model (steps, links, formulas), its run log for
// its whole life and the run counters, and it is the host's entry point for
// everything else: loading and saving the document, checking formulas,
// running the integration as a whole or one source record at a time, and
// cancelling a run. Events reach the host synchronously on its own thread.
//
// Its implementation, all in engine/, by what it does:
//   engine/cls_process.cpp      the object, its walk operations, insertShapeAtEnd,
//                               LoadIntegration and SaveIntegration (through document/)
//   engine/statistics.cpp       counters and the history row
//   engine/record_transfer.cpp  BuildTarget, BuildQuery, TransferRecord
// and beside it: engine/step_data.h (each step's connection and rows, StepData),
// engine/step_rows.h (the steps' rows as formulas reach them).
//   engine/run_driver.cpp       RunFile, Run, RunRecord, RunNextRecord ...
//   engine/run_groups.cpp       groups of records, their commits and redos; failed records
//   engine/formula_use.cpp      PrepareScript, EvaluateValue, CheckFormula, isFormulaUsed,
//                               through the script host of formulas/
// Engine-private run state (caches, open transactions) lives behind `run_`
// (engine/run_state.h) so that it can grow without touching this header.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/collection.h"
#include "core/event.h"
#include "core/object.h"
#include "model/c_lines.h"
#include "model/c_shape.h"
#include "model/c_shapes.h"
#include "model/designer_window.h"
#include "model/records.h"
#include "engine/run_summary.h"
#include "engine/walk_plan.h"

namespace veldrane {

namespace ado {
class Connection;
class Recordset;
struct TargetSelect;
}  // namespace ado

class cFormulas;
class clsLog;
class cVeldraneData;
class RunBatch;
struct RunState;

class clsProcess : public Object, public DesignerProcess {
 public:
  clsProcess();
  ~clsProcess() override;
  clsProcess(const clsProcess&) = delete;
  clsProcess& operator=(const clsProcess&) = delete;

  // --- The host interface, in its dispatch order ---

  // The SOURCE step of the last prepared run; null before the first run.
  std::shared_ptr<cShape> SourceStep() const { return mSourceStep; }
  // The SOURCE rows of the last prepared run; null before the first run.
  std::shared_ptr<ado::Recordset> SourceData() const { return mSourceData; }
  // A copy of the run counters.
  tStatistic Statistics() const { return mStatistics; }
  // The document last loaded or saved.
  const std::string& Filename() const { return mFilename; }

  // Loads the document, then runs it. Always returns 0.
  int16_t RunFile(const std::string& Filename);
  // Runs the loaded integration as a whole. Always returns 0.
  int16_t Run();
  // Prepares a step-wise run (transactions begun on every SOURCE and TARGET
  // connection) positioned on the first source record. Always returns 0;
  // failures reach the caller.
  int16_t RunRecord();
  // Processes the current source record of a step-wise run and moves on.
  // Always returns 0; raises when no step-wise run was prepared.
  int16_t RunNextRecord();
  // Asks a running whole run to stop before its next record. Returns 0.
  int16_t CancelExec();
  // Puts step `cb` in front of END: the link into END now leaves `cb`, and a
  // new link joins the step before END to `cb`. False when no link leads
  // into END. Failures reach the caller.
  bool insertShapeAtEnd(cShape& cb);
  // Sets the designer window; no other effect.
  void Form(std::shared_ptr<DesignerWindow> frm) { mForm = std::move(frm); }
  // The collections, created on first use; the objects themselves.
  std::shared_ptr<cShapes> Shapes();
  std::shared_ptr<cLines> Lines() override;
  std::shared_ptr<cFormulas> Formulas();
  // Reads a document (the default template for an empty name) into the
  // collections. Returns "" or the load-error text; a process that already
  // holds steps, links or formulas gets an error text and is left as it is;
  // structural failures raise. With `Form`, steps and links are mirrored on
  // that window.
  std::string LoadIntegration(const std::string& Filename, std::shared_ptr<DesignerWindow> Form = nullptr);
  // True when a TARGET mapping refers to the formula (exact case).
  bool isFormulaUsed(const std::string& formulaname);
  // Writes the document; failures are logged, never raised. Returns "".
  std::string SaveIntegration(const std::string& Filename = {});
  // Tries a formula text against the steps: "" when it passes, else the
  // engine's error text.
  std::string CheckFormula(const std::string& Text);

  // --- Events (raised synchronously on the caller's thread) ---
  Event<tStatistic&> StatisticsAdded;
  Event<cShape&> StepStatus;  // declared for hosts; the engine never raises it
  Event<tStatistic&> IntegrationEnd;
  Event<std::string&> LogAdded;
  Event<tStatistic&> ProcessStarted;

  // --- Beyond the automation interface ---

  // The run log (gbLog), shared with the steps during a run.
  std::shared_ptr<clsLog> Log() const { return gbLog; }
  // The designer window, or null.
  std::shared_ptr<DesignerWindow> Form() const { return mForm; }
  // Records per transaction on each TARGET connection during a whole run
  // (default 1000; 1 commits every write on its own).
  int32_t CommitSize() const { return commit_size_; }
  void CommitSize(int32_t records);
  // The steps every record of a run visits, from START along the first link
  // of each step (see WalkPlan). Follows the links as they are now.
  WalkPlan PlanFlow();
  // How the last whole run ended (Run, RunFile), as the engine saw it.
  const RunSummary& LastRun() const { return last_run_; }
  // Called after each step of a record's walk, so that a host's user
  // interface stays responsive (and can call CancelExec).
  void SetMessageYield(std::function<void()> yield) { message_yield_ = std::move(yield); }

  std::string TypeName() const override { return "clsProcess"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override;

 private:
  friend struct ProcessProbe;  // lets tests reach the walk operations

  // Walks (engine/cls_process.cpp).
  std::shared_ptr<cShape> GetStartStep();
  std::shared_ptr<cShape> GetEndStep();
  // The target of the first link leaving `step` whose caption matches
  // (empty caption: any); the target is found by position in the collection.
  std::shared_ptr<cShape> GetNextStep(const std::shared_ptr<cShape>& step, const std::string& caption);
  std::shared_ptr<cShape> GetPreviousStep(const std::shared_ptr<cShape>& step);
  // Adds every step under its caption; a duplicate caption raises 457.
  void IndexStepsByCaption(Collection<std::shared_ptr<cShape>>& steps);
  void SetFormOnCollections();
  void OnLogAdded(std::string& text);

  // Run driver (engine/run_driver.cpp).
  void StartProcess(bool run);
  void ProcessRecords();
  // The number of source rows: the recordset's count, or, for rows read one
  // at a time, the database's count of the source query.
  int32_t SourceRecordCount();
  void ProcessRecord();
  // Follows the links from START once; every record's walk replays it.
  void PlanWalk();

  // Groups of records and failed records (engine/run_groups.cpp).
  // Logs a failed record: a stamped entry with the record's number that is
  // also a row of the execution log, counted among the run's failures.
  void LogFailedRecord(const std::string& text, int32_t number);
  // The open group starts with the record in hand (MarkGroup), or with the
  // one after record `last` (0-based).
  void MarkGroup();
  void MarkGroupAfter(int32_t last);
  // Commits the open group (its failure rows written first); a group that
  // cannot be committed has its records written again one at a time.
  // `last` is the number of the group's last record (0-based).
  void CloseGroup(RunBatch& batch, int32_t last);
  void RedoGroup(RunBatch& batch, int32_t last, const std::string& reason);
  // Writes the execution-log rows the run log holds; a failure is told in
  // the run log and in LastRun.
  void WriteHeldLogRows();

  // Statistics and the history row (engine/statistics.cpp).
  void ResetStatistics();
  void CountSuccess(CounterKind kind);
  void CountFailure(CounterKind kind);
  void CountFailure();
  void WriteHistoryRow(const std::string& result);

  // Record transfer (engine/record_transfer.cpp).
  std::string BuildQuery(cShape& step);
  // The same in parts, its key values to be bound; null when a lookup value
  // was Null (RunState::lookup_null) or could not be had (logged).
  std::shared_ptr<const ado::TargetSelect> BuildTarget(cShape& step);
  void TransferRecord(cShape& step);

  // Script host (engine/formula_use.cpp). A failed evaluation is logged as
  // a failed record and gives Empty; `failed`, when given, tells it apart
  // from a value that is Empty.
  Variant EvaluateValue(const std::string& value, bool* failed = nullptr);
  void PrepareScript();

  std::shared_ptr<cShapes> mShapes;                   // created on first use
  std::shared_ptr<cLines> mLines;                     // created on first use
  std::shared_ptr<cFormulas> mFormulas;               // created on first use
  std::string mFilename;                              // document last loaded or saved
  std::shared_ptr<DesignerWindow> mForm;              // the designer window, or null
  bool mCancel = false;                               // set by CancelExec
  std::shared_ptr<ado::Recordset> mSourceData;        // SOURCE rows of the current run
  tStatistic mStatistics;                             // the run counters
  std::shared_ptr<cVeldraneData> mHistory;            // created on first use
  CollectionRef<std::shared_ptr<cShape>> mStepsByCaption;  // rebuilt at every run
  std::shared_ptr<cShape> mSourceStep;                // SOURCE step of the current run
  std::shared_ptr<cShape> mStartStep;                 // START step of the current run
  CollectionRef<std::shared_ptr<ado::Connection>> mConnections;  // one per connection name
  std::shared_ptr<clsLog> gbLog;                      // the run log, for the object's life
  int log_relay_ = 0;                                 // our handler on gbLog->LogAdded
  int32_t commit_size_ = 1000;                        // CommitSize
  std::function<void()> message_yield_;               // the host's message pump
  std::unique_ptr<RunState> run_;                     // engine-private run state
  RunSummary last_run_;                               // how the last whole run ended
};

}  // namespace veldrane
