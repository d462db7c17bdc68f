// The script host: what a prepared engine knows (each step's rows under its
// caption, Steps, SQLExecute), how formulas and expressions are evaluated,
// and what a failed evaluation leaves in the log.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/step_data.h"
#include "engine/tests/run_test_support.h"
#include "vbscript/script_control.h"

namespace veldrane {

// Reaches the script host's operations, which only the engine calls.
struct ProcessProbe {
  static Variant Evaluate(clsProcess& p, const std::string& value) { return p.EvaluateValue(value); }
  static void Prepare(clsProcess& p) { p.PrepareScript(); }
};

namespace run_testing {
namespace {

using ::testing::HasSubstr;

class ScriptHostTest : public RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    db = SqliteDatabase("db", "CREATE TABLE SRC (ID INTEGER, NAME TEXT);"
                              "INSERT INTO SRC VALUES (1, 'Ann'), (2, 'Ben')");
    source = flow.Source("SOURCE", "a", db, "SRC");
    target = flow.Target("TARGET", "a", db, "SRC", "Insert", {});
  }
  Variant Eval(const std::string& value) { return ProcessProbe::Evaluate(p, value); }

  std::string db;
  clsProcess p;
  FlowBuilder flow{p};
  std::shared_ptr<cShape> source, target;
};

TEST_F(ScriptHostTest, ExpressionsAndFormulasAreEvaluatedByTheEngine) {
  ProcessProbe::Prepare(p);
  Variant ten = Eval("10");
  EXPECT_EQ(ten.ToLong(), 10);
  EXPECT_TRUE(ten.IsNumber());
  // A step's caption names its rows; a field read is a value, not an object.
  Variant name = Eval("SOURCE(\"NAME\")");
  EXPECT_TRUE(name.IsString());
  EXPECT_EQ(name.AsString(), "Ann");
  // The formula's name is looked up without regard to case.
  p.Formulas()->AddFormula("total", "Function Main\r\n  Main = SOURCE(\"ID\") + 41\r\nEnd Function");
  EXPECT_EQ(Eval("FORMULA!Total").ToLong(), 42);
  EXPECT_TRUE(p.Log()->Text().empty());
}

TEST_F(ScriptHostTest, FailedEvaluationIsEmptyAndLoggedAsAFailedRecord) {
  std::string doc = databases + "/doc.xml";
  p.SaveIntegration(doc);  // gives the process its file name
  ProcessProbe::Prepare(p);
  EXPECT_TRUE(Eval("FORMULA!Missing").IsEmpty());
  EXPECT_TRUE(Eval("1 +").IsEmpty());
  std::vector<HistoryRow> rows = HistoryRows(executionlogdata);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0]["NAME"], doc);
  EXPECT_EQ(rows[0]["RECORD"], std::to_string(p.Statistics().CurrRecord));
  EXPECT_EQ(rows[0]["ERRNUMBER"], "5");
  EXPECT_THAT(rows[0]["ERRDESC"], HasSubstr("Missing"));
  EXPECT_EQ(rows[1]["ERRNUMBER"], "1002");  // the engine's syntax error
  std::vector<std::string> entries = LogEntries(*p.Log());
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_NE(p.Log()->Text().find(":"), std::string::npos);  // stamped
}

TEST_F(ScriptHostTest, FormulaWithoutMainRunsTheMainAddedBeforeSinceTheReset) {
  p.Formulas()->AddFormula("One", "Function Main\r\n  Main = 1\r\nEnd Function");
  p.Formulas()->AddFormula("Helper", "Function Twice(x)\r\n  Twice = 2 * x\r\nEnd Function");
  ProcessProbe::Prepare(p);
  EXPECT_EQ(Eval("FORMULA!One").ToLong(), 1);
  EXPECT_EQ(Eval("FORMULA!Helper").ToLong(), 1);
  EXPECT_EQ(Eval("Twice(4)").ToLong(), 8);
  // A reset forgets every formula's code.
  ProcessProbe::Prepare(p);
  EXPECT_TRUE(Eval("Twice(4)").IsEmpty());
}

TEST_F(ScriptHostTest, PreparingAfterAnotherProcessUsedTheEngineForgetsItsCode) {
  ProcessProbe::Prepare(p);
  EXPECT_EQ(Eval("SOURCE(\"ID\")").ToLong(), 1);
  // Another process of the thread prepares the shared engine and adds code.
  clsProcess other;
  FlowBuilder(other).Source("OTHER", "o", db, "SRC");
  other.Formulas()->AddFormula("Helper", "Function Twice(x)\r\n  Twice = 2 * x\r\nEnd Function");
  ProcessProbe::Prepare(other);
  EXPECT_EQ(ProcessProbe::Evaluate(other, "FORMULA!Helper").IsEmpty(), true);  // no Main: an error, logged
  EXPECT_EQ(ProcessProbe::Evaluate(other, "Twice(2)").ToLong(), 4);
  // This process's next preparation starts from a reset engine with its own names.
  ProcessProbe::Prepare(p);
  EXPECT_TRUE(Eval("Twice(2)").IsEmpty());
  EXPECT_TRUE(Eval("OTHER(\"ID\")").IsEmpty());
  EXPECT_EQ(Eval("SOURCE(\"NAME\")").ToText(), "Ann");
  // Preparing twice in a row keeps what the engine knows, rows included.
  StepData::Of(*source).data()->MoveNext();
  ProcessProbe::Prepare(p);
  EXPECT_EQ(Eval("SOURCE(\"NAME\")").ToText(), "Ben");
  EXPECT_EQ(Eval("TypeName(SOURCE)").ToText(), "Recordset");
}

TEST_F(ScriptHostTest, SqlExecuteRunsOnAStepsConnectionByCaptionOrPosition) {
  ProcessProbe::Prepare(p);
  EXPECT_EQ(Eval("SQLExecute(\"TARGET\", \"SELECT NAME FROM SRC WHERE ID = 2\", \"NAME\")").ToText(), "Ben");
  EXPECT_EQ(Eval("SQLExecute(1, \"SELECT COUNT(*) AS N FROM SRC\", \"N\")").ToLong(), 2);
  EXPECT_TRUE(Eval("SQLExecute(\"TARGET\", \"SELECT NAME FROM SRC WHERE ID = 9\", \"NAME\")").IsEmpty());
  EXPECT_EQ(Eval("Steps.Count").ToLong(), 2);
  EXPECT_EQ(Eval("Steps(\"target\").sCaption").ToText(), "TARGET");
  EXPECT_TRUE(p.Log()->Text().empty());
}

TEST_F(ScriptHostTest, SecondStepWithACaptionIsNotGivenToTheEngine) {
  std::string other = SqliteDatabase("other", "CREATE TABLE SRC (ID INTEGER, NAME TEXT); INSERT INTO SRC VALUES (7, 'Zed')");
  flow.Source("source", "b", other, "SRC");
  flow.Source("LAST", "b", other, "SRC");
  ProcessProbe::Prepare(p);
  EXPECT_EQ(Eval("SOURCE(\"ID\")").ToLong(), 1);
  // Steps stops at the duplicate: SOURCE and TARGET only.
  EXPECT_EQ(Eval("Steps.Count").ToLong(), 2);
  EXPECT_EQ(Eval("LAST(\"NAME\")").ToText(), "Zed");
}

TEST_F(ScriptHostTest, TargetRowsAreThoseOfTheQueryAtPreparation) {
  StepData::Of(*target).setQuery("SELECT * FROM SRC WHERE ID = 2");
  ProcessProbe::Prepare(p);
  // The step moves on before a formula reads its rows (as a transfer does
  // between evaluating the lookup and the mapped values).
  StepData::Of(*target).setQuery("SELECT * FROM SRC WHERE ID = 1");
  EXPECT_EQ(Eval("TARGET(\"NAME\")").ToText(), "Ben");
  EXPECT_EQ(StepData::Of(*target).data()->GetFields().Item(std::string_view("NAME")).Value().ToText(), "Ann");
  // The next preparation follows the step.
  ProcessProbe::Prepare(p);
  EXPECT_EQ(Eval("TARGET(\"NAME\")").ToText(), "Ann");
}

TEST_F(ScriptHostTest, RowsThatWillNotOpenFailTheFormulaThatReadsThem) {
  StepData::Of(*target).setQuery("SELECT * FROM NO_SUCH_TABLE");
  ProcessProbe::Prepare(p);
  EXPECT_EQ(Eval("SOURCE(\"NAME\")").ToText(), "Ann");  // a formula not reading them is not troubled
  EXPECT_TRUE(Eval("TARGET(\"NAME\")").IsEmpty());
  EXPECT_THAT(p.Log()->Text(), HasSubstr("rows of step 'TARGET' could not be opened"));
}


// An execution-log description without its "hh:nn:ss.cc: " stamp.
std::string Unstamped(const std::string& description) {
  return description.size() > 13 && description[2] == ':' ? description.substr(13) : description;
}

// A lookup that only reads a step's field, SOURCE("ID"), is read without
// running the engine; the same text in parentheses is not. Both must give
// the same value and, when the read fails, the same failure.
TEST_F(ScriptHostTest, AFieldReadGivesWhatTheEngineGives) {
  std::string doc = databases + "/doc.xml";
  p.SaveIntegration(doc);
  flow.Source("Len", "c", db, "SRC");    // a caption that is also a built-in's name
  flow.Source("Error", "d", db, "SRC");  // and one that is also a word of the language
  ProcessProbe::Prepare(p);
  const std::vector<std::string> reads = {
      "SOURCE(\"NAME\")", "source(\"name\")", "  SOURCE ( \"ID\" ) ", "SOURCE(\"NO_SUCH\")", "SOURCE(\"\")",
      "SOURCE(\"NA\"\"ME\")", "Len(\"NAME\")", "Error(\"NAME\")", "Steps(\"SOURCE\")", "NOBODY(\"ID\")", "SOURCE(\"ID\", 1)"};
  for (const std::string& read : reads) {
    SCOPED_TRACE(read);
    size_t logged = HistoryRows(executionlogdata).size();
    Variant fast = Eval(read);
    ProcessProbe::Prepare(p);
    Variant full = Eval("(" + read + ")");
    ProcessProbe::Prepare(p);
    EXPECT_EQ(fast.Type(), full.Type());
    if (!fast.IsObject()) EXPECT_EQ(fast.ToText(), full.ToText());
    std::vector<HistoryRow> rows = HistoryRows(executionlogdata);
    ASSERT_EQ(rows.size() - logged, full.IsEmpty() ? 2u : 0u);
    if (rows.size() > logged) {
      EXPECT_EQ(rows[logged]["ERRNUMBER"], rows[logged + 1]["ERRNUMBER"]);
      EXPECT_EQ(Unstamped(rows[logged]["ERRDESC"]), Unstamped(rows[logged + 1]["ERRDESC"]));
    }
  }
  // Past the last row: no current record, from either way.
  std::shared_ptr<ado::Recordset> rows = StepData::Of(*source).data();
  while (!rows->IsEOF()) rows->MoveNext();
  EXPECT_TRUE(Eval("SOURCE(\"ID\")").IsEmpty());
  ProcessProbe::Prepare(p);
  EXPECT_TRUE(Eval("(SOURCE(\"ID\"))").IsEmpty());
  std::vector<HistoryRow> logged = HistoryRows(executionlogdata);
  ASSERT_GE(logged.size(), 2u);
  EXPECT_EQ(logged[logged.size() - 2]["ERRNUMBER"], "3021");
  EXPECT_EQ(Unstamped(logged[logged.size() - 2]["ERRDESC"]), Unstamped(logged.back()["ERRDESC"]));
}

// After a formula ran, the engine may hold a function of any name: a field
// read goes to the engine until the next preparation.
TEST_F(ScriptHostTest, AFieldReadAfterAFormulaIsTheEngines) {
  p.Formulas()->AddFormula("Shadow", "Function SOURCE(x)\r\n  SOURCE = \"shadowed\"\r\nEnd Function\r\n"
                                     "Function Main\r\n  Main = 1\r\nEnd Function");
  ProcessProbe::Prepare(p);
  EXPECT_EQ(Eval("SOURCE(\"NAME\")").ToText(), "Ann");
  Eval("FORMULA!Shadow");
  Variant after = Eval("SOURCE(\"NAME\")");
  Variant engine = Eval("(SOURCE(\"NAME\"))");
  EXPECT_EQ(after.ToText(), engine.ToText());
}

}  // namespace
}  // namespace run_testing
}  // namespace veldrane
