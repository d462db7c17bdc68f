// The run driver on SQLite files: the events and their order, the driver's
// messages, cancellation, the critical stop, failed preparations, the walk
// (decisions, dead ends, cycles), step-wise runs and their roll-back, batch
// commits, the message yield and the history row.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/tests/run_test_support.h"

namespace veldrane::run_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

class RunDriverTest : public RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    src = SqliteDatabase("src", "CREATE TABLE SRC (ID INTEGER, NAME TEXT)");
    dst = SqliteDatabase("dst", "CREATE TABLE DST (ID INTEGER, NAME TEXT)");
    trace.Attach(p);
  }
  void Rows(int n) {
    for (int i = 1; i <= n; ++i) RunSql(src, "INSERT INTO SRC VALUES (" + std::to_string(i) + ", 'n" + std::to_string(i) + "')");
  }
  std::shared_ptr<cShape> Source() { return flow.Source("SOURCE", "src", src, "SRC"); }
  std::shared_ptr<cShape> Target(const std::string& caption = "TARGET", const std::string& conn = {}) {
    return flow.Target(caption, "dst", conn.empty() ? dst : conn, "DST", "Insert",
                       {Mapping("ID", "SOURCE([ID])"), Mapping("NAME", "SOURCE([NAME])")});
  }
  // START, SOURCE, TARGET, END.
  void SimpleFlow() { flow.Chain({flow.Step(aStart, "START"), Source(), Target(), flow.Step(aStop, "END")}); }
  std::string Count(const std::string& table = "DST") { return ReadRows(dst, "SELECT COUNT(*) FROM " + table)[0][0]; }
  std::vector<std::string> Log() { return LogEntries(*p.Log()); }

  std::string src, dst;
  clsProcess p;
  FlowBuilder flow{p};
  EventTrace trace;
};

TEST_F(RunDriverTest, WholeRunRaisesItsEventsInOrderAndWritesOneHistoryRow) {
  Rows(3);
  SimpleFlow();
  EXPECT_EQ(p.Run(), 0);
  EXPECT_THAT(trace.events, ElementsAre("started 3", "record 1", "record 2", "record 3", "end 3"));
  EXPECT_THAT(Log(), ElementsAre("VeldraneRunner: starting process", "VeldraneRunner: processing"));
  EXPECT_EQ(Count(), "3");
  tStatistic s = p.Statistics();
  ExpectCounterInvariants(s);
  EXPECT_GT(s.EndTime, 0);
  EXPECT_GE(s.EndTime, s.StartTime);
  std::vector<HistoryRow> runs = HistoryRows(executiondata);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0]["ID"], "1");
  EXPECT_EQ(runs[0]["ROWS"], "3");
  EXPECT_EQ(runs[0]["RINSERTS"], "3");
  EXPECT_EQ(runs[0]["RUPDATES"], "0");
  EXPECT_EQ(runs[0]["RDELETED"], "0");
  EXPECT_EQ(runs[0]["RERRORS"], "0");
  EXPECT_EQ(runs[0]["RESULT"], "Completed");
  EXPECT_FALSE(runs[0]["RUNTIME"].empty());
  EXPECT_FALSE(runs[0]["END"].empty());
}

TEST_F(RunDriverTest, SecondRunProcessesTheRowsReadAtTheFirstOpening) {
  Rows(2);
  SimpleFlow();
  p.Run();
  RunSql(src, "INSERT INTO SRC VALUES (9, 'late')");
  trace.events.clear();
  p.Run();
  EXPECT_THAT(trace.events, ElementsAre("started 2", "record 1", "record 2", "end 2"));
  EXPECT_EQ(ReadRows(dst, "SELECT ID FROM DST ORDER BY ID"), (Table{{"1"}, {"1"}, {"2"}, {"2"}}));
  std::vector<HistoryRow> runs = HistoryRows(executiondata);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[1]["ID"], "2");
}

TEST_F(RunDriverTest, SourceWithoutRowsStartsAndEndsTheRun) {
  SimpleFlow();
  p.Run();
  EXPECT_THAT(trace.events, ElementsAre("started 0", "end 0"));
  std::vector<HistoryRow> runs = HistoryRows(executiondata);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0]["ROWS"], "0");
  EXPECT_EQ(runs[0]["RESULT"], "Completed");
}

TEST_F(RunDriverTest, CancelFromTheStatisticsHandlerStopsBeforeTheNextRecord) {
  Rows(5);
  SimpleFlow();
  p.CancelExec();  // before the run: no effect
  bool cancel = true;
  p.StatisticsAdded.connect([&](tStatistic& s) {
    if (cancel && s.CurrRecord == 2) {
      EXPECT_EQ(p.CancelExec(), 0);
    }
  });
  EXPECT_EQ(p.Run(), 0);
  EXPECT_THAT(trace.events, ElementsAre("started 5", "record 1", "record 2", "end 2"));
  EXPECT_EQ(Count(), "2");
  EXPECT_EQ(Log().back(), "Execution Stopped by user request");
  EXPECT_TRUE(HasEntryStartingWith(*p.Log(), "Execution Stopped"));
  EXPECT_NE(p.Log()->Text().find(": Execution Stopped by user request"), std::string::npos);  // stamped
  std::vector<HistoryRow> runs = HistoryRows(executiondata);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0]["ROWS"], "5");
  EXPECT_EQ(runs[0]["RINSERTS"], "2");
  EXPECT_EQ(runs[0]["RESULT"], "Cancelled");

  // The flag is cleared by the next run.
  cancel = false;
  trace.events.clear();
  p.Run();
  EXPECT_EQ(trace.events.size(), 2u + 5u);
}

TEST_F(RunDriverTest, CancelDuringTheMessageYieldTakesEffectBeforeTheNextRecord) {
  Rows(3);
  SimpleFlow();
  int yields = 0;
  p.SetMessageYield([&] {
    ++yields;
    p.CancelExec();
  });
  p.Run();
  // One yield after each of SOURCE, TARGET and END of the first record.
  EXPECT_EQ(yields, 3);
  EXPECT_THAT(trace.events, ElementsAre("started 3", "record 1", "end 1"));
  EXPECT_EQ(Count(), "1");
}

TEST_F(RunDriverTest, CriticalConnectionFailureStopsTheRunWithoutEndEvents) {
  Rows(3);
  std::vector<std::string> critical;
  p.LogAdded.connect([&](std::string& text) { critical.push_back(text); });
  flow.Chain({flow.Step(aStart, "START"), Source(), Target("TARGET", "Provider=SQLite;Data Source=" + databases + "/missing.db"),
              flow.Step(aStop, "END")});
  EXPECT_EQ(p.Run(), 0);
  EXPECT_THAT(trace.events, ElementsAre("started 3"));
  EXPECT_TRUE(p.Log()->IsCritical());
  ASSERT_FALSE(critical.empty());
  EXPECT_EQ(critical[0], "CRITICAL ERROR: Error opening connection TARGET");
  EXPECT_TRUE(HistoryRows(executiondata).empty());
  EXPECT_EQ(p.Statistics().CurrRecord, 0);
  // The log stays critical: the next run stops after its first record too.
  trace.events.clear();
  EXPECT_EQ(p.Run(), 0);
  EXPECT_THAT(trace.events, ElementsAre("started 3"));
}

TEST_F(RunDriverTest, CriticalStopCommitsWhatWasProcessed) {
  Rows(3);
  auto first = Target("FIRST");
  auto second = flow.Target("SECOND", "broken", "Provider=SQLite;Data Source=" + databases + "/missing.db", "DST",
                            "Insert", {Mapping("ID", "SOURCE([ID])")});
  flow.Chain({flow.Step(aStart, "START"), Source(), first, second, flow.Step(aStop, "END")});
  p.Run();
  // Record 1 passed FIRST before the critical log stopped the run; its row
  // is kept although the batch never reached its size.
  EXPECT_EQ(Count(), "1");
}

TEST_F(RunDriverTest, SourceThatCannotBeOpenedEndsThePreparation) {
  Rows(1);
  flow.Chain({flow.Step(aStart, "START"), flow.Source("SOURCE", "src", src, "NO_SUCH_TABLE"), Target(),
              flow.Step(aStop, "END")});
  p.Run();
  EXPECT_TRUE(trace.events.empty());
  std::vector<std::string> log = Log();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[0], "VeldraneRunner: starting process");
  EXPECT_THAT(log[1], StartsWith("CRITICAL ERROR:"));
  EXPECT_THAT(log[1], HasSubstr("NO_SUCH_TABLE"));
  EXPECT_THAT(log[2], StartsWith("VeldraneRunner ERROR: error connecting to source"));
  EXPECT_FALSE(p.Log()->IsCritical());
  EXPECT_TRUE(HistoryRows(executiondata).empty());
}

TEST_F(RunDriverTest, CaptionsThatDifferOnlyInCaseKeepTheRunFromStarting) {
  Rows(1);
  flow.Chain({flow.Step(aStart, "START"), Source(), Target("Target"), Target("TARGET"), flow.Step(aStop, "END")});
  p.Run();
  EXPECT_TRUE(trace.events.empty());
  EXPECT_THAT(Log().back(), StartsWith("VeldraneRunner ERROR: error connecting to sourceThis key is already associated"));
  EXPECT_EQ(Count(), "0");
}

TEST_F(RunDriverTest, EmptyIntegrationLogsTheFailureAndRaisesNoEvent) {
  EXPECT_EQ(p.Run(), 0);
  EXPECT_TRUE(trace.events.empty());
  std::vector<std::string> log = Log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], "VeldraneRunner: starting process");
  EXPECT_THAT(log[1], StartsWith("VeldraneRunner ERROR: error connecting to sourceObject variable"));
}

TEST_F(RunDriverTest, IntegrationWithoutSourceRunsNothingAndSaysSo) {
  // With a TARGET the last step is taken as the source and yields no rows.
  flow.Chain({flow.Step(aStart, "START"), Target(), flow.Step(aStop, "END")});
  p.Run();
  // The counters were reset before the loop found it had no rows.
  tStatistic s = p.Statistics();
  EXPECT_EQ(s.CurrRecord, 1);
  EXPECT_EQ(s.TotalRecords, 0);
  EXPECT_EQ(s.StartTime, 0);
  EXPECT_EQ(s.EndTime, 0);
  for (int k = 0; k < 6; ++k) EXPECT_EQ(s.Success[k] + s.Errors[k] + s.Skipped[k] + s.Totals[k], 0);
  EXPECT_TRUE(trace.events.empty());
  EXPECT_THAT(Log().back(), StartsWith("VeldraneRunner ERROR: "));
  EXPECT_THAT(Log().back(), HasSubstr("no SOURCE"));
  EXPECT_TRUE(HistoryRows(executiondata).empty());

  // Without SOURCE and TARGET steps the failure is a preparation failure.
  clsProcess q;
  FlowBuilder f(q);
  f.Chain({f.Step(aStart, "START"), f.Step(aStop, "END")});
  q.Run();
  EXPECT_THAT(LogEntries(*q.Log()).back(), StartsWith("VeldraneRunner ERROR: error connecting to source"));
}

TEST_F(RunDriverTest, DecisionIsPassedAlongItsFirstLink) {
  Rows(2);
  auto start = flow.Step(aStart, "START");
  auto source = Source();
  auto decide = flow.Step(aDecission, "BIG?");
  p.Shapes()->AddElementsToNode(decide->Key, tDecission{"False"});
  auto target = Target();
  auto end = flow.Step(aStop, "END");
  flow.Chain({start, source, decide});
  flow.Link(decide, target, "Yes");
  flow.Link(decide, end, "No");
  flow.Link(target, end);
  p.Run();
  EXPECT_EQ(Count(), "2");
}

TEST_F(RunDriverTest, StepWithoutOutgoingLinkEndsTheWalkAndTheRecordStillCounts) {
  Rows(2);
  flow.Chain({flow.Step(aStart, "START"), Source(), Target()});
  flow.Step(aStop, "END");
  p.Run();
  EXPECT_THAT(trace.events, ElementsAre("started 2", "record 1", "record 2", "end 2"));
  EXPECT_EQ(Count(), "2");
}

TEST_F(RunDriverTest, CycleIsCutAtTheFirstReturnAndTheRunGoesOn) {
  Rows(3);
  auto start = flow.Step(aStart, "START");
  auto source = Source();
  auto target = Target();
  flow.Step(aStop, "END");
  flow.Chain({start, source, target, source});
  p.Run();
  EXPECT_THAT(trace.events, ElementsAre("started 3", "record 1", "record 2", "record 3", "end 3"));
  EXPECT_EQ(Count(), "3");  // each record passes TARGET once
  int loops = 0;
  for (const std::string& e : Log()) {
    if (e.rfind("VeldraneRunner ERROR: ", 0) == 0) {
      ++loops;
      EXPECT_THAT(e, HasSubstr("'SOURCE'"));
    }
  }
  EXPECT_EQ(loops, 3);
  EXPECT_EQ(HistoryRows(executiondata)[0]["RESULT"], "Completed with errors");
}

TEST_F(RunDriverTest, StepWiseRecordsAreRolledBackByTheNextWholeRun) {
  Rows(3);
  SimpleFlow();
  EXPECT_EQ(p.RunRecord(), 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(p.RunNextRecord(), 0);
  EXPECT_EQ(p.RunNextRecord(), 0);  // at the end: nothing more
  tStatistic s = p.Statistics();
  EXPECT_EQ(s.CurrRecord, 1);
  EXPECT_EQ(s.TotalRecords, 3);
  EXPECT_EQ(s.Success[1], 3);
  EXPECT_TRUE(trace.events.empty());
  EXPECT_THAT(Log(), ElementsAre("VeldraneRunner: starting process"));
  // The writes wait in the step's transaction: another connection sees none.
  EXPECT_EQ(Count(), "0");
  EXPECT_TRUE(HistoryRows(executiondata).empty());

  p.Run();
  // The step-wise rows were rolled back; the whole run wrote its own.
  EXPECT_EQ(Count(), "3");
  EXPECT_THAT(trace.events, ElementsAre("started 3", "record 1", "record 2", "record 3", "end 3"));
}

TEST_F(RunDriverTest, RunNextRecordWithoutRunRecordIsRefusedClearly) {
  Rows(1);
  SimpleFlow();
  try {
    p.RunNextRecord();
    FAIL() << "RunNextRecord raised nothing";
  } catch (const VbError& e) {
    EXPECT_THAT(e.description(), HasSubstr("RunRecord"));
  }
  p.Run();
  EXPECT_THROW(p.RunNextRecord(), VbError);  // a whole run is not a step-wise one
  EXPECT_EQ(Count(), "1");
}

TEST_F(RunDriverTest, RunRecordWithoutAPreparedSourceRaisesWhyToTheHost) {
  // No SOURCE step: the last step, END, has no rows.
  flow.Chain({flow.Step(aStart, "START"), Target(), flow.Step(aStop, "END")});
  try {
    p.RunRecord();
    FAIL() << "RunRecord raised nothing";
  } catch (const VbError& e) {
    EXPECT_THAT(e.description(), HasSubstr("no SOURCE"));
  }
  EXPECT_THROW(p.RunNextRecord(), VbError);

  // A preparation that fails says why, as the log does.
  clsProcess q;
  FlowBuilder f(q);
  f.Chain({f.Step(aStart, "START"), f.Source("SOURCE", "src", src, "NO_SUCH_TABLE"), f.Step(aStop, "END")});
  try {
    q.RunRecord();
    FAIL() << "RunRecord raised nothing";
  } catch (const VbError& e) {
    EXPECT_THAT(e.description(), HasSubstr("could not be prepared"));
  }
  EXPECT_THAT(LogEntries(*q.Log()).back(), StartsWith("VeldraneRunner ERROR: error connecting to source"));
}

TEST_F(RunDriverTest, BatchesCommitEveryCommitSizeRecordsAndAtTheEnd) {
  Rows(5);
  SimpleFlow();
  p.CommitSize(2);
  std::vector<std::string> seen;
  p.StatisticsAdded.connect([&](tStatistic&) { seen.push_back(Count()); });
  p.Run();
  // What another connection sees after each record.
  EXPECT_THAT(seen, ElementsAre("0", "2", "2", "4", "4"));
  EXPECT_EQ(Count(), "5");

  // CommitSize 1: every write is committed on its own.
  clsProcess q;
  FlowBuilder f(q);
  f.Chain({f.Step(aStart, "START"), f.Source("SOURCE", "src", src, "SRC"),
           f.Target("TARGET", "dst", dst, "DST", "Insert", {Mapping("ID", "SOURCE([ID])")}), f.Step(aStop, "END")});
  q.CommitSize(1);
  seen.clear();
  q.StatisticsAdded.connect([&](tStatistic&) { seen.push_back(Count()); });
  q.Run();
  EXPECT_THAT(seen, ElementsAre("6", "7", "8", "9", "10"));
  EXPECT_THROW(q.CommitSize(0), VbError);
}

TEST_F(RunDriverTest, CancelledBatchCommitsWhatItProcessed) {
  Rows(5);
  SimpleFlow();
  p.StatisticsAdded.connect([&](tStatistic& s) {
    if (s.CurrRecord == 3) p.CancelExec();
  });
  p.Run();
  EXPECT_EQ(Count(), "3");
}

TEST_F(RunDriverTest, StepsNamingOneConnectionShareIt) {
  Rows(1);
  std::string other = SqliteDatabase("other", "CREATE TABLE DST (ID INTEGER, NAME TEXT)");
  RunSql(dst, "INSERT INTO DST VALUES (1, 'x')");
  auto source = flow.Source("SOURCE", "same", dst, "DST");
  auto t1 = flow.Target("T1", "same", dst, "DST", "Insert", {Mapping("ID", "SOURCE([ID])")});
  // T2 names the same connection with another string: the shared one wins.
  auto t2 = flow.Target("T2", "same", other, "DST", "Insert", {Mapping("ID", "SOURCE([ID])")});
  flow.Chain({flow.Step(aStart, "START"), source, t1, t2, flow.Step(aStop, "END")});
  p.Run();
  EXPECT_EQ(t1->cnSource(), source->cnSource());
  EXPECT_EQ(t2->cnSource(), source->cnSource());
  EXPECT_EQ(Count(), "3");
  EXPECT_EQ(ReadRows(other, "SELECT COUNT(*) FROM DST"), (Table{{"0"}}));
}

TEST_F(RunDriverTest, RunFileOfADocumentThatDoesNotLoadDoesNotRun) {
  std::string bad = databases + "/broken.xml";
  FILE* f = fopen(bad.c_str(), "w");
  fputs("<veldrane><nodes>", f);
  fclose(f);
  EXPECT_EQ(p.RunFile(bad), 0);
  // The loader's text spans several lines; the entry starts the driver's way.
  const std::string& text = p.Log()->Text();
  EXPECT_THAT(text, StartsWith("\r\nVeldraneRunner: Loading " + bad + "\r\nVeldraneRunner ERROR: "));
  EXPECT_THAT(text, HasSubstr("Start-end tags mismatch"));
  EXPECT_THAT(text, Not(HasSubstr("VeldraneRunner: Executing")));
  EXPECT_THAT(text, Not(HasSubstr("starting process")));
  EXPECT_TRUE(trace.events.empty());
}

}  // namespace
}  // namespace veldrane::run_testing
