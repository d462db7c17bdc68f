// RunSummary: how the last whole run of a process object ended, as the
// engine itself saw it. Hosts tell their users the outcome from it (the
// runner's exit status and last line), never from re-reading the history
// tables or comparing counters, which cannot tell every failure apart.
#pragma once

#include <cstdint>
#include <string>

namespace veldrane {

struct RunSummary {
  enum class End {
    kNotRun,      // no whole run was started on the object
    kNotStarted,  // the document did not load, or the run could not be prepared
    kCompleted,   // every source record was processed
    kCancelled,   // CancelExec stopped it; it ended with its history row
    kCritical,    // a critical log entry stopped it, without end events
    kFailed,      // a failure the record loop does not handle stopped it
  };
  End end = End::kNotRun;
  std::string failure;             // kNotStarted, kFailed: why, in words

  int64_t records_read = 0;        // source records processed
  // Failed records as the execution log was told of them: every failed
  // operation, also those no counter holds (an Update that found no row).
  int64_t failed_records = 0;
  int64_t groups_redone = 0;       // groups whose records were written again one at a time

  bool reached_target = false;     // the walk from START meets a TARGET step
  std::string flow_problem;        // why the flow does not reach END, when it does not

  bool history_written = false;    // the execution-history row is in its table
  std::string history_error;       // why not, when the run should have written it
  std::string log_rows_error;      // execution-log rows that could not be written, when some could not
};

}  // namespace veldrane
