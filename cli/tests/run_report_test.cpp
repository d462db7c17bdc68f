// How a run's end becomes an exit status and a line for the user, and how
// the plain parts of the display read. In-process: these decide what a
// scheduled job sees, so every outcome is pinned here.

#include <gtest/gtest.h>

#include "cli/flow_walk.h"
#include "cli/progress.h"
#include "cli/run_report.h"

namespace veldrane::cli {
namespace {

RunOutcome Ended(int32_t records) {
  RunOutcome outcome;
  outcome.started = outcome.ended = true;
  outcome.stats.TotalRecords = records;
  outcome.stats.CurrRecord = records;
  return outcome;
}

TEST(RunReport, EveryOutcomeHasItsExitStatus) {
  struct Case {
    const char* what;
    RunOutcome outcome;
    int status;
  };
  RunOutcome not_started;
  RunOutcome critical = Ended(10);
  critical.critical = true;
  RunOutcome stopped_silently = Ended(10);
  stopped_silently.ended = false;
  RunOutcome cancelled = Ended(10);
  cancelled.stats.CurrRecord = 4;
  cancelled.cancel_requested = true;
  RunOutcome cancel_too_late = Ended(10);
  cancel_too_late.cancel_requested = true;
  RunOutcome kind_failure = Ended(10);
  kind_failure.stats.Success[1] = kind_failure.stats.Success[5] = 9;
  kind_failure.stats.Errors[1] = kind_failure.stats.Errors[5] = 1;
  kind_failure.stats.Totals[1] = kind_failure.stats.Totals[5] = 10;
  RunOutcome kindless_failure = Ended(10);
  kindless_failure.stats.Success[2] = kindless_failure.stats.Success[5] = 9;
  kindless_failure.stats.Totals[2] = 9;
  kindless_failure.stats.Totals[5] = 10;  // one failure without a kind
  RunOutcome logged_only = Ended(10);
  logged_only.logged_failures = 3;  // an Update that found no row counts nothing
  RunOutcome clean = Ended(10);
  clean.stats.Success[1] = clean.stats.Success[5] = clean.stats.Totals[1] = clean.stats.Totals[5] = 10;

  const Case cases[] = {
      {"not started", not_started, 2},          {"critical", critical, 2},
      {"stopped silently", stopped_silently, 2}, {"cancelled", cancelled, 130},
      {"cancel after the last record", cancel_too_late, 0}, {"counted failure", kind_failure, 1},
      {"failure without a kind", kindless_failure, 1}, {"logged failure", logged_only, 1},
      {"clean", clean, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(ExitStatus(Classify(c.outcome)), c.status) << c.what;
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
