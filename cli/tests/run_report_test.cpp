// How a run's end becomes an exit status and a line for the user, and how
// the plain parts of the display read. In-process: these decide what a
// scheduled job sees, so every outcome is pinned here.

#include <gtest/gtest.h>

#include "cli/flow_text.h"
#include "cli/progress.h"
#include "cli/run_report.h"

namespace veldrane::cli {
namespace {

RunOutcome Ended(int32_t records) {
  RunOutcome outcome;
  outcome.summary.end = RunSummary::End::kCompleted;
  outcome.summary.reached_target = true;
  outcome.summary.history_written = true;
  outcome.summary.records_read = records;
  outcome.stats.TotalRecords = records;
  outcome.stats.CurrRecord = records;
  return outcome;
}

TEST(RunReport, EveryOutcomeHasItsExitStatusAndItsWords) {
  struct Case {
    const char* what;
    RunOutcome outcome;
    int status;
    const char* words;
  };
  RunOutcome not_started;
  not_started.summary.end = RunSummary::End::kNotStarted;
  not_started.summary.failure = "Cannot load 'x.xml'";
  RunOutcome critical = Ended(10);
  critical.summary.end = RunSummary::End::kCritical;
  RunOutcome stopped_silently = Ended(10);
  stopped_silently.summary.end = RunSummary::End::kFailed;
  RunOutcome cancelled = Ended(10);
  cancelled.summary.end = RunSummary::End::kCancelled;
  cancelled.stats.CurrRecord = 4;
  // A source whose rows were not counted is cancelled all the same.
  RunOutcome cancelled_uncounted = cancelled;
  cancelled_uncounted.stats.TotalRecords = 0;
  RunOutcome kind_failure = Ended(10);
  kind_failure.stats.Success[1] = kind_failure.stats.Success[5] = 9;
  kind_failure.stats.Errors[1] = kind_failure.stats.Errors[5] = 1;
  kind_failure.stats.Totals[1] = kind_failure.stats.Totals[5] = 10;
  RunOutcome kindless_failure = Ended(10);
  kindless_failure.stats.Success[2] = kindless_failure.stats.Success[5] = 9;
  kindless_failure.stats.Totals[2] = 9;
  kindless_failure.stats.Totals[5] = 10;  // one failure without a kind
  RunOutcome logged_only = Ended(10);
  logged_only.summary.failed_records = 3;  // an Update that found no row counts nothing
  RunOutcome no_target = Ended(10);
  no_target.summary.reached_target = false;
  no_target.summary.flow_problem = "no TARGET step is reached from START";
  RunOutcome loop = Ended(10);
  loop.summary.flow_problem = "the flow never reaches END: it loops back to step 'A'";
  RunOutcome log_error = Ended(10);
  log_error.log_errors = true;
  RunOutcome no_history = Ended(10);
  no_history.summary.history_written = false;
  no_history.summary.history_error = "Permission denied";
  RunOutcome no_log_rows = logged_only;
  no_log_rows.summary.log_rows_error = "No space left on device";
  RunOutcome clean = Ended(10);
  clean.stats.Success[1] = clean.stats.Success[5] = clean.stats.Totals[1] = clean.stats.Totals[5] = 10;

  const Case cases[] = {
      {"not started", not_started, 2, "could not start: Cannot load"},
      {"critical", critical, 2, "critical error"},
      {"stopped silently", stopped_silently, 2, "stopped before the end"},
      {"cancelled", cancelled, 130, "cancelled after 4 of 10"},
      {"cancelled, rows not counted", cancelled_uncounted, 130, "cancelled after 4 of an unknown number"},
      {"counted failure", kind_failure, 1, "1 counted failure"},
      {"failure without a kind", kindless_failure, 1, "completed with failures"},
      {"logged failure", logged_only, 1, "3 failed records logged"},
      {"no TARGET step reached", no_target, 1, "nothing was written: no TARGET step"},
      {"a loop in the flow", loop, 1, "loops back to step 'A'"},
      {"errors in the run log", log_error, 1, "the run log holds errors"},
      {"history row not written", no_history, 3, "history row was NOT written: Permission denied"},
      {"failure rows not written", no_log_rows, 3, "NOT written to the execution log: No space"},
      {"clean", clean, 0, "every record succeeded"},
  };
  for (const Case& c : cases) {
    RunResult result = Classify(c.outcome);
    EXPECT_EQ(ExitStatus(result), c.status) << c.what;
    EXPECT_NE(Describe(result, c.outcome).find(c.words), std::string::npos) << c.what << ": "
                                                                           << Describe(result, c.outcome);
  }
}

TEST(RunReport, CountersTableShowsKindlessFailuresApart) {
  tStatistic stats;
  stats.Success[1] = stats.Success[5] = 1234;
  stats.Totals[1] = 1234;
  stats.Totals[5] = 1236;
  std::string table = CountersTable(stats);
  EXPECT_NE(table.find("1,234"), std::string::npos) << table;
  EXPECT_NE(table.find("failures without a kind (in the total only): 2"), std::string::npos) << table;
  stats.Totals[5] = 1234;
  EXPECT_EQ(CountersTable(stats).find("without a kind"), std::string::npos);
}

TEST(RunReport, NumbersAndDurationsRead) {
  EXPECT_EQ(Grouped(0), "0");
  EXPECT_EQ(Grouped(999), "999");
  EXPECT_EQ(Grouped(1000), "1,000");
  EXPECT_EQ(Grouped(-1234567), "-1,234,567");
  EXPECT_EQ(FormatDuration(0.5), "0.50 s");
  EXPECT_EQ(FormatDuration(65), "1 min 05 s");
  EXPECT_EQ(FormatDuration(7380), "2 h 03 min");
}

TEST(Progress, BarTellsDoneRateAndTimeLeft) {
  std::string half = ProgressDisplay::BarText(500, 1000, 10, 0, 10);
  EXPECT_EQ(half.rfind("[#####.....] 500/1,000  50%", 0), 0u) << half;
  EXPECT_NE(half.find("50 rec/s"), std::string::npos) << half;
  EXPECT_NE(half.find("0:10 left"), std::string::npos) << half;
  EXPECT_NE(ProgressDisplay::BarText(10, 10, 1, 3, 0).find("failures 3"), std::string::npos);
  // More records than announced (a source that grew) never overflows the bar.
  EXPECT_EQ(ProgressDisplay::BarText(20, 10, 1, 0, 4).rfind("[####]", 0), 0u);
  EXPECT_EQ(ProgressDisplay::BarText(7, 0, 1, 0, 4).rfind("7 records", 0), 0u);
}

TEST(ValueTexts, ParsedByPositionAsTheTransferDoes) {
  ValueText field = ParseValueText("SOURCE([CUSTNO])");
  EXPECT_EQ(field.kind, ValueText::Kind::StepField);
  EXPECT_EQ(field.caption, "SOURCE");
  EXPECT_EQ(field.field, "CUSTNO");
  ValueText formula = ParseValueText("FORMULA!Total");
  EXPECT_EQ(formula.kind, ValueText::Kind::Formula);
  EXPECT_EQ(formula.formula, "Total");
  EXPECT_EQ(ParseValueText("42").kind, ValueText::Kind::Unparsable);
  EXPECT_EQ(ParseValueText("A(").kind, ValueText::Kind::Unparsable);
  EXPECT_EQ(ParseValueText("").kind, ValueText::Kind::Empty);
  EXPECT_EQ(Show(Variant::Null()), "NULL");
  EXPECT_EQ(Show(Variant("O'Brien")), "'O'Brien'");
}

}  // namespace
}  // namespace veldrane::cli
