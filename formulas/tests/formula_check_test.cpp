// The designer's formula checks: CheckFormula's verdicts and the queries it
// leaves on the TARGET steps, and isFormulaUsed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/step_data.h"
#include "engine/tests/run_test_support.h"

namespace veldrane::run_testing {
namespace {

class FormulaCheckTest : public RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    db = SqliteDatabase("db", "CREATE TABLE SRC (ID INTEGER, NAME TEXT); INSERT INTO SRC VALUES (1, 'Ann');"
                              "CREATE TABLE DST (ID INTEGER, NAME TEXT); INSERT INTO DST VALUES (1, 'Old');"
                              "CREATE TABLE NOWHERE (ID INTEGER); CREATE TABLE somewhere (ID INTEGER)");
    flow.Source("SOURCE", "a", db, "SRC");
  }
  std::shared_ptr<cShape> Target(const std::string& caption, const std::string& table,
                                 const std::vector<tFields>& mappings) {
    return flow.Target(caption, "a", db, table, "UpdateInsert", mappings);
  }

  std::string db;
  clsProcess p;
  FlowBuilder flow{p};
};

TEST_F(FormulaCheckTest, SyntaxErrorGivesDescriptionLineTextAndLineNumber) {
  std::string verdict = p.CheckFormula("Function Main\r\n  Main = (1 +\r\nEnd Function");
  EXPECT_EQ(verdict, "Syntax error -   Main = (1 + - On Line 2");
}

TEST_F(FormulaCheckTest, RunTimeErrorIsReportedTheSameWay) {
  std::string verdict = p.CheckFormula("Function Main\r\n  Main = 1\r\n  Main = 1 / 0\r\nEnd Function");
  EXPECT_EQ(verdict, "Division by zero -   Main = 1 / 0 - On Line 3");
}

TEST_F(FormulaCheckTest, PassesWhenMainReadsATargetWithoutRows) {
  Target("TARGET", "DST", {Mapping("NAME", "SOURCE([NAME])")});
  EXPECT_EQ(p.CheckFormula("Function Main\r\n  Main = TARGET(\"NAME\") & SOURCE(\"NAME\")\r\nEnd Function"), "");
  EXPECT_EQ(p.CheckFormula("Function Main\r\n  Main = SOURCE(\"NAME\")\r\nEnd Function"), "");
}

TEST_F(FormulaCheckTest, TargetsShowTheirLookupRowsOrNoRowAtAll) {
  auto keyed = Target("KEYED", "DST", {Mapping("ID", "SOURCE([ID])", "SOURCE(\"ID\")")});
  auto plain = Target("PLAIN", "DST", {Mapping("NAME", "SOURCE([NAME])")});
  auto nowhere = Target("NW", "NOWHERE", {Mapping("ID", "SOURCE([ID])")});
  auto lower = Target("LOW", "somewhere", {Mapping("ID", "SOURCE([ID])")});
  // The lookups are evaluated by an engine prepared with the steps' rows.
  p.CheckFormula("Function Main\r\nEnd Function");
  EXPECT_EQ(p.CheckFormula("Function Main\r\n  Main = KEYED(\"NAME\")\r\nEnd Function"), "");
  EXPECT_EQ(StepData::Of(*keyed).data()->Source(), "SELECT * FROM DST WHERE ID = '1'");
  EXPECT_EQ(StepData::Of(*keyed).data()->RecordCount(), 1);
  EXPECT_EQ(StepData::Of(*plain).data()->Source(), "SELECT * FROM DST WHERE 1 = 2");
  EXPECT_EQ(StepData::Of(*plain).data()->RecordCount(), 0);
  // Whatever the table's name holds.
  EXPECT_EQ(StepData::Of(*nowhere).data()->Source(), "SELECT * FROM NOWHERE WHERE 1 = 2");
  EXPECT_EQ(StepData::Of(*lower).data()->Source(), "SELECT * FROM somewhere WHERE 1 = 2");
}

TEST_F(FormulaCheckTest, NeverRaisesEvenWhenTheLogCannotWriteItsRow) {
  registry->Set(host::kInstallPathValue, home + "/no/such/folder");
  Target("KEYED", "DST", {Mapping("ID", "SOURCE([ID])", "1 +")});
  std::string verdict;
  EXPECT_NO_THROW(verdict = p.CheckFormula("Function Main\r\n  Main = 1\r\nEnd Function"));
  EXPECT_NE(verdict, "");
}

TEST_F(FormulaCheckTest, FormulaIsUsedOnlyByExactNameInTargetValues) {
  Target("TARGET", "DST", {Mapping("NAME", "FORMULA!Total"), Mapping("ID", "SOURCE([ID])", "FORMULA!Key")});
  EXPECT_TRUE(p.isFormulaUsed("Total"));
  EXPECT_FALSE(p.isFormulaUsed("total"));
  EXPECT_FALSE(p.isFormulaUsed("Key"));  // lookups do not count
  EXPECT_FALSE(p.isFormulaUsed(""));
}

}  // namespace
}  // namespace veldrane::run_testing
