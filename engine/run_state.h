// RunState: what the engine keeps between the steps of a run that the host
// never sees (open batch transactions, caches of prepared work). It lives
// behind clsProcess::run_ so that it can change without touching the
// process object's public header.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/run_transactions.h"
#include "engine/walk_plan.h"
#include "formulas/script_host.h"
#include "model/records.h"
#include "platform/db/ado.h"

namespace veldrane {

class cShape;

struct RunState {
  RunState() = default;
  RunState(const RunState&) = delete;
  RunState& operator=(const RunState&) = delete;
  ~RunState() { ForgetStepWise(); }

  // Ends the note of the step-wise run's connections.
  void ForgetStepWise() {
    for (const ado::ConnectionRef& c : step_wise_noted) ForgetTransaction(*c);
    step_wise_noted.clear();
  }

  // --- Preparation (StartProcess) ---
  bool prepared = false;         // the last StartProcess got through its preparation
  std::string preparation_error;  // why it did not, when it did not
  bool step_wise = false;        // RunRecord prepared a step-wise run that no whole run ended

  // --- Transactions ---
  // TARGET connections whose writes a whole run groups into transactions of
  // CommitSize records; each holds one open transaction while the run goes.
  std::vector<ado::ConnectionRef> batch;
  int32_t records_in_batch = 0;  // records processed since the last commit
  // PostgreSQL connections inside a transaction (batch or step-wise): each
  // TARGET step's work runs under a savepoint on them, because a failed
  // statement there poisons the whole transaction.
  std::vector<ado::ConnectionRef> savepoint_connections;
  // The step-wise run's PostgreSQL connections, noted as inside a
  // transaction (NoteTransaction) until the step-wise mode ends.
  std::vector<ado::ConnectionRef> step_wise_noted;

  // --- The walk of every record, followed once per run ---
  WalkPlan walk;
  int64_t failures_logged = 0;  // failures logged as execution-log rows this run

  // --- The open group of records (whole runs that group their writes) ---
  // Set by the walk when a connection of the group lost its transaction:
  // the records of the group are then written again, one at a time.
  bool group_broken = false;
  std::string last_failure;     // the description of the last failure logged
  // The execution-log rows logged for the open group, while it is first
  // processed: written again one at a time, a record that fails the same
  // way is not logged twice.
  std::unordered_set<std::string> group_rows;
  bool redoing = false;         // the group's records are written one at a time
  tStatistic group_stats;       // the counters when the open group began
  int64_t group_failures = 0;   // failures_logged when it began
  int32_t group_first = 0;      // the number (0-based) of its first record

  // --- The target select BuildTarget made last ---
  bool lookup_null = false;       // a lookup value was Null: no query may be run
  std::string null_mapping;       // that mapping's description

  // --- Script host ---
  // The thread's engine as this process prepared it.
  ScriptHost script_host;
};

// The run state of a process object, created on first use.
inline RunState& EnsureRunState(std::unique_ptr<RunState>& state) {
  if (!state) state = std::make_unique<RunState>();
  return *state;
}

}  // namespace veldrane
