// How a whole run ended, told honestly: the exit status of `veldrane run`
// and the table of counters it prints.
//
// The counters alone do not tell every failure: a failure without a kind
// only raises Totals(5), and an Update or Delete that found no row counts
// nothing at all but writes a row to the execution log. So the outcome also
// carries the number of execution-log rows the run wrote.
#pragma once

#include <cstdint>
#include <string>

#include "model/records.h"

namespace veldrane::cli {

struct RunOutcome {
  bool started = false;           // ProcessStarted was raised: the record loop began
  bool ended = false;             // IntegrationEnd was raised: complete or cancelled
  bool critical = false;          // the run log holds a critical entry
  bool cancel_requested = false;  // the command asked the run to stop
  int64_t logged_failures = 0;    // execution-log rows this run wrote
  tStatistic stats;               // the counters at the end
};

// What the run came to, in the order the exit status checks it.
enum class RunResult {
  NotStarted,  // preparation failed: no record was processed
  Stopped,     // a critical entry or an unhandled failure ended it early
  Cancelled,   // the user stopped it; it ended with its history row
  Failures,    // it ran to the end but some records failed
  Success,     // every record succeeded
};

RunResult Classify(const RunOutcome& outcome);
// 0 success, 1 failures, 2 not started or stopped, 130 cancelled.
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
