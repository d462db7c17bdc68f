#include "cli/run_report.h"

#include <cmath>
#include <cstdio>

#include "cli/cli_context.h"

namespace veldrane::cli {

RunResult Classify(const RunOutcome& outcome) {
  if (!outcome.started) return RunResult::NotStarted;
  if (outcome.critical || !outcome.ended) return RunResult::Stopped;
  // A cancel that arrived while the last record was processed changes
  // nothing: the loop met the end of the rows first.
  if (outcome.cancel_requested && outcome.stats.CurrRecord < outcome.stats.TotalRecords) {
    return RunResult::Cancelled;
  }
  if (CountedFailures(outcome.stats) > 0 || outcome.logged_failures > 0) return RunResult::Failures;
  return RunResult::Success;
}

int ExitStatus(RunResult result) {
  switch (result) {
    case RunResult::Success:
      return kExitOk;
    case RunResult::Failures:
      return kExitFailures;
    case RunResult::Cancelled:
      return kExitCancelled;
    case RunResult::NotStarted:
    case RunResult::Stopped:
      break;
  }
  return kExitCannotRun;
}

std::string Describe(RunResult result, const RunOutcome& outcome) {
  switch (result) {
    case RunResult::Success:
      return "completed: every record succeeded";
    case RunResult::Failures: {
      int64_t counted = CountedFailures(outcome.stats);
      std::string text = "completed with failures: " + Grouped(counted) + " counted failure" +
                         (counted == 1 ? "" : "s");
      text += ", " + Grouped(outcome.logged_failures) + " failed record" + (outcome.logged_failures == 1 ? "" : "s") +
              " logged";
      return text;
    }
    case RunResult::Cancelled:
      return "cancelled after " + Grouped(outcome.stats.CurrRecord) + " of " + Grouped(outcome.stats.TotalRecords) +
             " records";
    case RunResult::Stopped:
      return outcome.critical ? "stopped by a critical error after " + Grouped(outcome.stats.CurrRecord) + " records"
                              : "stopped before the end of the records by a failure of the run";
    case RunResult::NotStarted:
      break;
  }
  return "the run could not start";
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
