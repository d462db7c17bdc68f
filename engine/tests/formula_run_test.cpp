// Formulas that fail or never end, during a run: what the log says of them,
// and how a run with an endless formula is stopped.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/tests/run_test_support.h"
#include "vbscript/interrupt.h"

namespace veldrane::run_testing {
namespace {

using ::testing::HasSubstr;

class FormulaRunTest : public RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    src = SqliteDatabase("src", "CREATE TABLE SRC (ID INTEGER);INSERT INTO SRC VALUES (1), (2), (3)");
    dst = SqliteDatabase("dst", "CREATE TABLE DST (ID INTEGER, VAL TEXT)");
  }
  void TearDown() override {
    vbs::ClearInterrupt();
    RunFixture::TearDown();
  }
  // START, SOURCE, TARGET (ID, VAL = the formula), END.
  void FlowWithFormula(const std::string& name, const std::string& text) {
    p.Formulas()->AddFormula(name, text);
    flow.Chain({flow.Step(aStart, "START"), flow.Source("SOURCE", "src", src, "SRC"),
                flow.Target("TARGET", "dst", dst, "DST", "Insert",
                            {Mapping("ID", "SOURCE([ID])"), Mapping("VAL", "FORMULA!" + name)}),
                flow.Step(aStop, "END")});
  }
  std::string Entries() {
    std::string all;
    for (const auto& e : LogEntries(*p.Log())) all += e + "\n";
    return all;
  }

  std::string src, dst;
  clsProcess p;
  FlowBuilder flow{p};
};

TEST_F(FormulaRunTest, AFailedFormulaIsLoggedWithItsNameAndLine) {
  FlowWithFormula("Ratio", "Function Main\r\n  x = SOURCE(\"ID\")\r\n  Main = x / 0\r\nEnd Function");
  p.Run();
  EXPECT_THAT(Entries(), HasSubstr("Division by zero (formula Ratio, line 3)"));
  std::vector<HistoryRow> rows = HistoryRows(executionlogdata);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0]["ERRNUMBER"], "11");
  EXPECT_THAT(rows[0]["ERRDESC"], HasSubstr("(formula Ratio, line 3)"));
}

TEST_F(FormulaRunTest, AnEndlessFormulaStopsWhenTheRunIsCancelledAndTheRunKeepsItsHistoryRow) {
  // On Error Resume Next must not swallow the stop.
  FlowWithFormula("Spin", "Function Main\r\n  On Error Resume Next\r\n  Do\r\n  Loop\r\n  Main = 1\r\nEnd Function");
  // As Ctrl-C does: the signal raises the flag, the host cancels when it
  // next has the hand.
  p.SetMessageYield([&] {
    if (vbs::InterruptRequested()) p.CancelExec();
  });
  std::thread signal([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    vbs::RequestInterrupt();
  });
  p.Run();
  signal.join();
  EXPECT_THAT(Entries(), HasSubstr("User interrupt occurred"));
  EXPECT_THAT(Entries(), HasSubstr("(formula Spin"));
  EXPECT_THAT(Entries(), HasSubstr("Execution Stopped by user request"));
  EXPECT_EQ(HistoryRows(executiondata).size(), 1u);
  EXPECT_LT(p.Statistics().CurrRecord, 3);

  // The next run starts with the flag lowered: its formulas run.
  p.Formulas()->Collection()->Item("Spin").formula = "Function Main\r\n  Main = 7\r\nEnd Function";
  p.Run();
  EXPECT_EQ(ReadRows(dst, "SELECT COUNT(*) FROM DST WHERE VAL = '7'")[0][0], "3");
}

TEST_F(FormulaRunTest, CancelExecRaisesTheFlagThatStopsAFormula) {
  vbs::ClearInterrupt();
  p.CancelExec();
  EXPECT_TRUE(vbs::InterruptRequested());
}

}  // namespace
}  // namespace veldrane::run_testing
