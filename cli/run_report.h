// How a whole run ended, told honestly: the exit status of `veldrane run`
// and the table of counters it prints.
//
// The outcome is the engine's own account of the run (RunSummary): how it
// ended, how many failed records it logged (also those no counter holds:
// an Update that found no row counts nothing), whether its flow reached a
// TARGET step, and whether its history row and failure rows were written.
#pragma once

#include <cstdint>
#include <string>

#include "engine/run_summary.h"
#include "model/records.h"

namespace veldrane::cli {

struct RunOutcome {
  RunSummary summary;             // the engine's account of the run
  tStatistic stats;               // the counters at the end
  bool log_errors = false;        // the run log holds a "VeldraneRunner ERROR: " entry
};

// What the run came to, in the order the exit status checks it.
enum class RunResult {
  NotStarted,  // the document did not load or the run could not be prepared
  Stopped,     // a critical entry or an unhandled failure ended it early
  Cancelled,   // the user stopped it; it ended with its history row
  Unrecorded,  // it ran, but its history row or failure rows were not written
  Failures,    // it ran to the end but some records failed
  Problems,    // it ran to the end, but its flow or its log tells of trouble
  Success,     // every record succeeded
};

RunResult Classify(const RunOutcome& outcome);
// 0 success; 1 failures or problems; 2 not started or stopped; 3 history or
// failure rows not written; 130 cancelled.
int ExitStatus(RunResult result);
// One line for the user: "completed: every record succeeded", ...
std::string Describe(RunResult result, const RunOutcome& outcome);

// Failures that the counters show: Totals(5) less Success(5), so failures
// without a kind are counted too.
int64_t CountedFailures(const tStatistic& stats);

// The table of counters: insert, update, lookup, delete and all kinds, each
// with success, errors and total; a line for failures without a kind when
// there were any.
std::string CountersTable(const tStatistic& stats);

// "0.42 s", "1 min 05 s", "2 h 03 min".
std::string FormatDuration(double seconds);
// Whole numbers with thousands separators: 1234567 -> "1,234,567".
std::string Grouped(int64_t value);

}  // namespace veldrane::cli
