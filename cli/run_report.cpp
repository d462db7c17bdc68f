#include "cli/run_report.h"

#include <cmath>
#include <cstdio>

#include "cli/cli_context.h"

namespace veldrane::cli {

RunResult Classify(const RunOutcome& outcome) {
  const RunSummary& run = outcome.summary;
  switch (run.end) {
    case RunSummary::End::kNotRun:
    case RunSummary::End::kNotStarted:
      return RunResult::NotStarted;
    case RunSummary::End::kCritical:
    case RunSummary::End::kFailed:
      return RunResult::Stopped;
    case RunSummary::End::kCancelled:
      return RunResult::Cancelled;
    case RunSummary::End::kCompleted:
      break;
  }
  if (!run.history_written || !run.log_rows_error.empty()) return RunResult::Unrecorded;
  if (CountedFailures(outcome.stats) > 0 || run.failed_records > 0) return RunResult::Failures;
  if (!run.flow_problem.empty() || outcome.log_errors) return RunResult::Problems;
  return RunResult::Success;
}

int ExitStatus(RunResult result) {
  switch (result) {
    case RunResult::Success:
      return kExitOk;
    case RunResult::Failures:
    case RunResult::Problems:
      return kExitFailures;
    case RunResult::Unrecorded:
      return kExitUnrecorded;
    case RunResult::Cancelled:
      return kExitCancelled;
    case RunResult::NotStarted:
    case RunResult::Stopped:
      break;
  }
  return kExitCannotRun;
}

std::string Describe(RunResult result, const RunOutcome& outcome) {
  const RunSummary& run = outcome.summary;
  std::string flow = run.flow_problem.empty() ? std::string() : " (" + run.flow_problem + ")";
  switch (result) {
    case RunResult::Success:
      return "completed: every record succeeded";
    case RunResult::Failures: {
      int64_t counted = CountedFailures(outcome.stats);
      std::string text = "completed with failures: " + Grouped(counted) + " counted failure" +
                         (counted == 1 ? "" : "s");
      text += ", " + Grouped(run.failed_records) + " failed record" + (run.failed_records == 1 ? "" : "s") + " logged";
      return text + flow;
    }
    case RunResult::Problems:
      if (!run.reached_target) return "completed, but nothing was written: " + run.flow_problem;
      if (!run.flow_problem.empty()) return "completed with problems: " + run.flow_problem;
      return "completed with problems: the run log holds errors";
    case RunResult::Unrecorded:
      if (!run.history_written) {
        return "completed, but its history row was NOT written: " +
               (run.history_error.empty() ? std::string("the run did not write it") : run.history_error);
      }
      return "completed, but rows of its failed records were NOT written to the execution log: " +
             run.log_rows_error;
    case RunResult::Cancelled:
      return "cancelled after " + Grouped(outcome.stats.CurrRecord) + " of " +
             (outcome.stats.TotalRecords > 0 ? Grouped(outcome.stats.TotalRecords) : std::string("an unknown number of")) +
             " records";
    case RunResult::Stopped:
      return run.end == RunSummary::End::kCritical
                 ? "stopped by a critical error after " + Grouped(outcome.stats.CurrRecord) + " records"
                 : "stopped before the end of the records by a failure of the run: " + run.failure;
    case RunResult::NotStarted:
      break;
  }
  return "the run could not start" + (run.failure.empty() ? std::string() : ": " + run.failure);
}

int64_t CountedFailures(const tStatistic& stats) {
  return static_cast<int64_t>(stats.Totals[5]) - static_cast<int64_t>(stats.Success[5]);
}

std::string Grouped(int64_t value) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  std::string out;
  int count = 0;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (count > 0 && count % 3 == 0) out.insert(out.begin(), ',');
    out.insert(out.begin(), *it);
    ++count;
  }
  return value < 0 ? "-" + out : out;
}

std::string FormatDuration(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  char buffer[64];
  if (seconds < 60) {
    std::snprintf(buffer, sizeof buffer, "%.2f s", seconds);
  } else if (seconds < 3600) {
    long s = std::lround(seconds);
    std::snprintf(buffer, sizeof buffer, "%ld min %02ld s", s / 60, s % 60);
  } else {
    long m = std::lround(seconds / 60);
    std::snprintf(buffer, sizeof buffer, "%ld h %02ld min", m / 60, m % 60);
  }
  return buffer;
}

std::string CountersTable(const tStatistic& stats) {
  static const char* const kKinds[] = {"", "insert", "update", "lookup", "delete", "all"};
  char line[128];
  std::string out;
  std::snprintf(line, sizeof line, "  %-8s %12s %12s %12s\n", "", "success", "errors", "total");
  out += line;
  for (int k = 1; k <= 5; ++k) {
    std::snprintf(line, sizeof line, "  %-8s %12s %12s %12s\n", kKinds[k], Grouped(stats.Success[k]).c_str(),
                  Grouped(stats.Errors[k]).c_str(), Grouped(stats.Totals[k]).c_str());
    out += line;
  }
  int64_t without_kind = static_cast<int64_t>(stats.Totals[5]) - stats.Success[5] - stats.Errors[5];
  if (without_kind > 0) out += "  failures without a kind (in the total only): " + Grouped(without_kind) + "\n";
  return out;
}

}  // namespace veldrane::cli
