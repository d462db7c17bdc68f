// The storage operations of a TARGET step, run end to end on SQLite files:
// what each writes, how it counts, how it fails, and what a failure leaves
// in the log, the execution-log table and the counters.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/tests/run_test_support.h"

namespace veldrane::run_testing {
namespace {

using ::testing::HasSubstr;

class TransferTest : public RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    src = SqliteDatabase("src",
                         "CREATE TABLE SRC (ID INTEGER, NAME TEXT, CITY TEXT);"
                         "INSERT INTO SRC VALUES (1, 'Ann', 'Oslo'), (2, 'Ben', 'Rome'), (3, 'Cy', 'Lyon')");
    dst = SqliteDatabase("dst",
                         "CREATE TABLE DST (ID INTEGER PRIMARY KEY, NAME TEXT, CITY TEXT DEFAULT 'none');"
                         "CREATE TABLE AUDIT (ID INTEGER, NOTE TEXT)");
  }

  // START, SOURCE (table SRC), the given TARGET steps in order, END.
  void Flow(std::vector<std::shared_ptr<cShape>> targets) {
    std::vector<std::shared_ptr<cShape>> chain{start, source};
    chain.insert(chain.end(), targets.begin(), targets.end());
    chain.push_back(flow.Step(aStop, "END"));
    flow.Chain(chain);
  }
  std::shared_ptr<cShape> Target(const std::string& caption, const std::string& table, const std::string& op,
                                 const std::vector<tFields>& mappings) {
    return flow.Target(caption, "dst", dst, table, op, mappings);
  }
  // An Insert into AUDIT of the record's ID: shows which records got past
  // the steps before it.
  std::shared_ptr<cShape> Audit() {
    return Target("AUDITSTEP", "AUDIT", "Insert", {Mapping("ID", "SOURCE([ID])")});
  }
  const tStatistic Stats() {
    tStatistic s = p.Statistics();
    ExpectCounterInvariants(s);
    return s;
  }

  std::string src, dst;
  clsProcess p;
  FlowBuilder flow{p};
  std::shared_ptr<cShape> start = flow.Step(aStart, "START");
  std::shared_ptr<cShape> source = nullptr;

  void AddSource() { source = flow.Source("SOURCE", "src", src, "SRC"); }
};

TEST_F(TransferTest, InsertWritesEveryMappedValueIntoANewRow) {
  AddSource();
  Flow({Target("TARGET", "DST", "Insert",
               {Mapping("ID", "SOURCE([ID])"), Mapping("NAME", "SOURCE([NAME])"), Mapping("CITY", "")})});
  EXPECT_EQ(p.Run(), 0);
  // CITY's value is empty: the mapping writes nothing, even on a new row.
  EXPECT_EQ(ReadRows(dst, "SELECT ID, NAME, CITY FROM DST ORDER BY ID"),
            (Table{{"1", "Ann", "none"}, {"2", "Ben", "none"}, {"3", "Cy", "none"}}));
  tStatistic s = Stats();
  EXPECT_EQ(s.Success[1], 3);
  EXPECT_EQ(s.Success[5], 3);
  EXPECT_EQ(s.Totals[1], 3);
  EXPECT_EQ(s.Totals[5], 3);
  EXPECT_EQ(s.Errors[5], 0);
  EXPECT_EQ(s.CurrRecord, 3);
  EXPECT_EQ(s.TotalRecords, 3);
  EXPECT_TRUE(HistoryRows(executionlogdata).empty());
}

TEST_F(TransferTest, FailedInsertIsLoggedWithItsRecordAndCountedAsInsertError) {
  RunSql(dst, "INSERT INTO DST VALUES (2, 'taken', 'x')");
  AddSource();
  Flow({Target("TARGET", "DST", "Insert", {Mapping("ID", "SOURCE([ID])"), Mapping("NAME", "SOURCE([NAME])")})});
  p.Run();
  tStatistic s = Stats();
  EXPECT_EQ(s.Success[1], 2);
  EXPECT_EQ(s.Errors[1], 1);
  EXPECT_EQ(s.Totals[1], 3);
  EXPECT_EQ(s.Errors[5], 1);
  EXPECT_EQ(s.Totals[5], 3);
  std::vector<HistoryRow> log = HistoryRows(executionlogdata);
  ASSERT_EQ(log.size(), 1u);
  // The second record fails: one record was completed before it.
  EXPECT_EQ(log[0]["RECORD"], "1");
  EXPECT_EQ(log[0]["ERRNUMBER"], std::to_string(vberr::kProviderIntegrityViolation));
  // The row's Update failed, not a mapping: the provider's message alone.
  EXPECT_THAT(log[0]["ERRDESC"], ::testing::Not(HasSubstr("-->")));
  EXPECT_THAT(log[0]["ERRDESC"], HasSubstr("DST.ID"));
  EXPECT_EQ(ReadRows(dst, "SELECT NAME FROM DST WHERE ID = 2"), (Table{{"taken"}}));
}

// A run writes its failure rows in batches; every one is in the table by the
// time the end is told, whatever their number.
TEST_F(TransferTest, EveryFailedRecordOfALongRunIsLoggedBeforeTheEnd) {
  const int records = 2500;  // more than one batch
  std::string values;
  for (int i = 1; i <= records; ++i) values += (i > 1 ? ", (" : "(") + std::to_string(i) + ", 'n')";
  RunSql(src, "DELETE FROM SRC; INSERT INTO SRC (ID, NAME) VALUES " + values);
  RunSql(dst, "CREATE TABLE STRICT_DST (ID INTEGER PRIMARY KEY, NAME TEXT, CODE TEXT NOT NULL)");
  AddSource();
  Flow({Target("TARGET", "STRICT_DST", "Insert", {Mapping("ID", "SOURCE([ID])"), Mapping("NAME", "SOURCE([NAME])")})});
  size_t logged_at_end = 0;
  p.IntegrationEnd.connect([&](tStatistic&) { logged_at_end = HistoryRows(executionlogdata).size(); });
  p.Run();
  EXPECT_EQ(Stats().Errors[1], records);
  EXPECT_EQ(logged_at_end, static_cast<size_t>(records));
  std::vector<HistoryRow> log = HistoryRows(executionlogdata);
  ASSERT_EQ(log.size(), static_cast<size_t>(records));
  for (int i = 0; i < records; ++i) ASSERT_EQ(log[static_cast<size_t>(i)]["RECORD"], std::to_string(i));
  EXPECT_THAT(log.back()["ERRDESC"], HasSubstr("NOT NULL constraint failed: STRICT_DST.CODE"));
}

TEST_F(TransferTest, UpdateInsertUpdatesTheFoundRowWithoutItsKeyAndInsertsWhenNoneIsFound) {
  RunSql(dst, "CREATE TABLE KEYED (ID INTEGER PRIMARY KEY, K TEXT, NAME TEXT); INSERT INTO KEYED VALUES (10, '1', 'old')");
  p.Formulas()->AddFormula("Changed", "Function Main\r\n  Main = \"changed\"\r\nEnd Function");
  AddSource();
  Flow({Target("TARGET", "KEYED", "UpdateInsert",
               {Mapping("K", "FORMULA!Changed", "SOURCE(\"ID\")"), Mapping("NAME", "SOURCE([NAME])")})});
  p.Run();
  // Record 1 finds K = '1': NAME changes, the key mapping is not written.
  // Records 2 and 3 find nothing: new rows with every mapping, key included.
  EXPECT_EQ(ReadRows(dst, "SELECT K, NAME FROM KEYED ORDER BY ID"),
            (Table{{"1", "Ann"}, {"changed", "Ben"}, {"changed", "Cy"}}));
  tStatistic s = Stats();
  EXPECT_EQ(s.Success[2], 1);
  EXPECT_EQ(s.Success[1], 2);
  EXPECT_EQ(s.Totals[5], 3);
}

TEST_F(TransferTest, UpdateInsertWithoutLookupsAlwaysInserts) {
  RunSql(dst, "CREATE TABLE LOOSE (NAME TEXT); INSERT INTO LOOSE VALUES ('Ann')");
  AddSource();
  Flow({Target("TARGET", "LOOSE", "UpdateInsert", {Mapping("NAME", "SOURCE([NAME])")})});
  p.Run();
  EXPECT_EQ(ReadRows(dst, "SELECT NAME FROM LOOSE ORDER BY rowid"), (Table{{"Ann"}, {"Ann"}, {"Ben"}, {"Cy"}}));
  EXPECT_EQ(Stats().Success[1], 3);
}

TEST_F(TransferTest, UpdateThatFindsNoRowLogsOnceCountsNothingAndSkipsTheRestOfTheWalk) {
  RunSql(dst, "INSERT INTO DST VALUES (1, 'old', 'x'), (3, 'old', 'x')");
  AddSource();
  Flow({Target("TARGET", "DST", "Update", {Mapping("ID", "SOURCE([ID])", "SOURCE(\"ID\")"),
                                            Mapping("NAME", "SOURCE([NAME])")}),
        Audit()});
  p.Run();
  EXPECT_EQ(ReadRows(dst, "SELECT ID, NAME FROM DST ORDER BY ID"), (Table{{"1", "Ann"}, {"3", "Cy"}}));
  // Record 2's walk ended at the failed Update: AUDIT never saw it.
  EXPECT_EQ(ReadRows(dst, "SELECT ID FROM AUDIT ORDER BY ID"), (Table{{"1"}, {"3"}}));
  tStatistic s = Stats();
  EXPECT_EQ(s.Success[2], 2);
  EXPECT_EQ(s.Success[1], 2);  // the audit inserts
  EXPECT_EQ(s.Totals[5], 4);   // the failure is not counted at all
  std::vector<HistoryRow> log = HistoryRows(executionlogdata);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0]["ERRNUMBER"], "3021");
  EXPECT_EQ(log[0]["RECORD"], "1");
  EXPECT_EQ(s.CurrRecord, 3);  // the record still counts as processed
}

TEST_F(TransferTest, UnparsableValueFailsTheRecordWithThePreviousMappingsDescription) {
  RunSql(dst, "INSERT INTO DST VALUES (1, 'old', 'x')");
  AddSource();
  // Update: the first mapping written cannot be parsed; nothing was pending.
  auto update = Target("UPD", "DST", "Update", {Mapping("ID", "SOURCE([ID])", "SOURCE(\"ID\")"), Mapping("NAME", "42")});
  Flow({update});
  p.Run();
  tStatistic s = Stats();
  // Record 1 found its row and failed before writing: only the overall total.
  // Records 2 and 3 found none: uncounted.
  EXPECT_EQ(s.Totals[5], 1);
  EXPECT_EQ(s.Errors[5], 0);
  std::vector<HistoryRow> log = HistoryRows(executionlogdata);
  ASSERT_EQ(log.size(), 3u);
  // The mapping that could not be read is named by its text.
  EXPECT_THAT(log[0]["ERRDESC"], HasSubstr(": 42 --> NAME Invalid procedure call or argument"));
  EXPECT_THAT(log[0]["ERRDESC"], HasSubstr("'42'"));
  EXPECT_EQ(log[0]["ERRNUMBER"], "5");
  EXPECT_EQ(ReadRows(dst, "SELECT NAME FROM DST"), (Table{{"old"}}));
}

TEST_F(TransferTest, AFailureNamesTheMappingInHandNotTheOneWrittenBefore) {
  AddSource();
  Flow({Target("TARGET", "DST", "Insert", {Mapping("NAME", "SOURCE([NAME])"), Mapping("CITY", "42")})});
  p.Run();
  tStatistic s = Stats();
  EXPECT_EQ(s.Errors[1], 3);  // a new row was pending each time
  EXPECT_TRUE(ReadRows(dst, "SELECT * FROM DST").empty());
  std::vector<HistoryRow> log = HistoryRows(executionlogdata);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_THAT(log[2]["ERRDESC"], HasSubstr(": 42 --> CITY Invalid procedure call"));
  EXPECT_EQ(log[2]["RECORD"], "2");
}

TEST_F(TransferTest, AConstraintTheRowBreaksIsNotBlamedOnTheLastMapping) {
  RunSql(dst, "CREATE TABLE STRICT_DST (ID INTEGER, NAME TEXT NOT NULL, VAL TEXT)");
  AddSource();
  Flow({Target("TARGET", "STRICT_DST", "Insert", {Mapping("ID", "SOURCE([ID])"), Mapping("VAL", "SOURCE([CITY])")})});
  p.Run();
  std::vector<HistoryRow> log = HistoryRows(executionlogdata);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_THAT(log[0]["ERRDESC"], HasSubstr("STRICT_DST.NAME"));
  EXPECT_THAT(log[0]["ERRDESC"], ::testing::Not(HasSubstr("CITY --> VAL")));
}

TEST_F(TransferTest, DeleteRemovesOnlyTheFirstRowFoundAndFailsWithoutARow) {
  RunSql(dst, "CREATE TABLE ORDERS (NO INTEGER PRIMARY KEY, CUST INTEGER);"
              "INSERT INTO ORDERS VALUES (1, 1), (2, 1), (3, 3)");
  AddSource();
  Flow({Target("TARGET", "ORDERS", "Delete", {Mapping("CUST", "SOURCE([ID])", "SOURCE(\"ID\")")}), Audit()});
  p.Run();
  // Customer 1 had two orders: the first found went. Customer 2 had none.
  EXPECT_EQ(ReadRows(dst, "SELECT NO FROM ORDERS ORDER BY NO"), (Table{{"2"}}));
  tStatistic s = Stats();
  EXPECT_EQ(s.Success[4], 2);
  EXPECT_EQ(s.Errors[4], 0);
  EXPECT_EQ(ReadRows(dst, "SELECT ID FROM AUDIT ORDER BY ID"), (Table{{"1"}, {"3"}}));
  std::vector<HistoryRow> log = HistoryRows(executionlogdata);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0]["ERRNUMBER"], "3021");
}

TEST_F(TransferTest, DeleteWithoutLookupsSelectsNothingAndFails) {
  RunSql(dst, "INSERT INTO DST VALUES (1, 'keep', 'x')");
  AddSource();
  Flow({Target("TARGET", "DST", "Delete", {Mapping("NAME", "SOURCE([NAME])")})});
  p.Run();
  EXPECT_EQ(ReadRows(dst, "SELECT NAME FROM DST"), (Table{{"keep"}}));
  EXPECT_EQ(Stats().Totals[5], 0);
  EXPECT_EQ(HistoryRows(executionlogdata).size(), 3u);
}

TEST_F(TransferTest, LookupWritesNothingAndFeedsALaterStep) {
  RunSql(dst, "CREATE TABLE CLIENTS (ID INTEGER PRIMARY KEY, LABEL TEXT);"
              "INSERT INTO CLIENTS VALUES (1, 'gold'), (2, 'silver'), (3, 'bronze')");
  AddSource();
  auto lookup = Target("CLIENT", "CLIENTS", "Lookup", {Mapping("ID", "SOURCE([ID])", "SOURCE(\"ID\")")});
  auto write = Target("TARGET", "DST", "UpdateInsert",
                      {Mapping("ID", "SOURCE([ID])", "SOURCE(\"ID\")"), Mapping("NAME", "CLIENT([LABEL])")});
  RunSql(dst, "INSERT INTO DST VALUES (2, 'old', 'x')");
  Flow({lookup, write});
  p.Run();
  EXPECT_EQ(ReadRows(dst, "SELECT ID, NAME FROM DST ORDER BY ID"),
            (Table{{"1", "gold"}, {"2", "silver"}, {"3", "bronze"}}));
  EXPECT_EQ(ReadRows(dst, "SELECT COUNT(*) FROM CLIENTS"), (Table{{"3"}}));
  tStatistic s = Stats();
  EXPECT_EQ(s.Success[3], 3);
  EXPECT_EQ(s.Success[1], 2);
  EXPECT_EQ(s.Success[2], 1);
  EXPECT_EQ(s.Success[5], 6);  // two per record
}

TEST_F(TransferTest, LookupExpressionsReadTheRowsOfTheCurrentRecord) {
  // The engine is given each record's re-opened rows: a lookup expression
  // naming the Lookup step reads this record's row, never the last one's.
  RunSql(dst, "CREATE TABLE CLIENTS (ID INTEGER PRIMARY KEY, LABEL TEXT);"
              "INSERT INTO CLIENTS VALUES (1, 'gold'), (2, 'silver'), (3, 'bronze');"
              "INSERT INTO DST VALUES (1, 'old', 'x'), (2, 'old', 'x'), (3, 'old', 'x')");
  AddSource();
  auto lookup = Target("CLIENT", "CLIENTS", "Lookup", {Mapping("ID", "SOURCE([ID])", "SOURCE(\"ID\")")});
  auto write = Target("TARGET", "DST", "Update",
                      {Mapping("ID", "SOURCE([ID])", "CLIENT(\"ID\")"), Mapping("NAME", "CLIENT([LABEL])")});
  Flow({lookup, write});
  p.Run();
  EXPECT_EQ(ReadRows(dst, "SELECT ID, NAME FROM DST ORDER BY ID"),
            (Table{{"1", "gold"}, {"2", "silver"}, {"3", "bronze"}}));
  EXPECT_EQ(Stats().Success[2], 3);
}

TEST_F(TransferTest, LookupValuesWithQuotesAreDoubledInTheCondition) {
  RunSql(src, "UPDATE SRC SET NAME = 'O''Brien' WHERE ID = 2");
  RunSql(dst, "CREATE TABLE PEOPLE (NAME TEXT, SEEN INTEGER); INSERT INTO PEOPLE VALUES ('O''Brien', 0)");
  AddSource();
  Flow({Target("TARGET", "PEOPLE", "Update", {Mapping("NAME", "SOURCE([NAME])", "SOURCE(\"NAME\")"),
                                               Mapping("SEEN", "SOURCE([ID])")})});
  p.Run();
  EXPECT_EQ(ReadRows(dst, "SELECT NAME, SEEN FROM PEOPLE"), (Table{{"O'Brien", "2"}}));
  EXPECT_EQ(Stats().Success[2], 1);
}

TEST_F(TransferTest, TableWhoseNameContainsWhereIsQueriedLikeAnyOther) {
  // A Lookup without key conditions selects no row, whatever the table is
  // called; a later reference to its row then fails the same way for both.
  RunSql(dst, "CREATE TABLE NOWHERE (LABEL TEXT); INSERT INTO NOWHERE VALUES ('n');"
              "CREATE TABLE PLAIN (LABEL TEXT); INSERT INTO PLAIN VALUES ('p')");
  AddSource();
  auto nowhere = Target("L1", "NOWHERE", "Lookup", {Mapping("LABEL", "SOURCE([NAME])")});
  auto plain = Target("L2", "PLAIN", "Lookup", {Mapping("LABEL", "SOURCE([NAME])")});
  auto write1 = Target("W1", "DST", "Insert", {Mapping("NAME", "L1([LABEL])")});
  auto write2 = Target("W2", "AUDIT", "Insert", {Mapping("NOTE", "L2([LABEL])")});
  Flow({nowhere, plain, write1, write2});
  p.Run();
  EXPECT_TRUE(ReadRows(dst, "SELECT * FROM DST").empty());
  EXPECT_TRUE(ReadRows(dst, "SELECT * FROM AUDIT").empty());
  tStatistic s = Stats();
  EXPECT_EQ(s.Errors[1], 6);  // both writes, every record: no current row
  std::vector<HistoryRow> log = HistoryRows(executionlogdata);
  ASSERT_EQ(log.size(), 6u);
  for (HistoryRow& row : log) EXPECT_EQ(row["ERRNUMBER"], "3021");
}

TEST_F(TransferTest, NullLookupFailsTheRecordAndWritesNothing) {
  RunSql(src, "UPDATE SRC SET CITY = NULL WHERE ID = 2");
  RunSql(dst, "CREATE TABLE PLACES (ID INTEGER, CITY TEXT, NAME TEXT);"
              "INSERT INTO PLACES VALUES (2, 'Rome', 'old'), (2, 'Paris', 'old')");
  AddSource();
  // Record 2's second key is Null: selecting by ID alone would update a row
  // that is not its own.
  Flow({Target("TARGET", "PLACES", "Update", {Mapping("ID", "SOURCE([ID])", "SOURCE(\"ID\")"),
                                               Mapping("CITY", "SOURCE([CITY])", "SOURCE(\"CITY\")"),
                                               Mapping("NAME", "SOURCE([NAME])")}),
        Audit()});
  p.Run();
  EXPECT_EQ(ReadRows(dst, "SELECT ID, CITY, NAME FROM PLACES ORDER BY CITY"),
            (Table{{"2", "Paris", "old"}, {"2", "Rome", "old"}}));
  tStatistic s = Stats();
  // Records 1 and 3 find no row (uncounted, their walks end); record 2
  // counts the Null lookup without a kind, and its audit insert.
  EXPECT_EQ(s.Totals[5], 2);
  EXPECT_EQ(s.Errors[5], 0);
  EXPECT_EQ(s.Success[5], 1);
  // The walk goes on after a Null lookup: AUDIT has record 2.
  EXPECT_EQ(ReadRows(dst, "SELECT ID FROM AUDIT ORDER BY ID"), (Table{{"2"}}));
  std::vector<HistoryRow> log = HistoryRows(executionlogdata);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[1]["ERRNUMBER"], "94");
  EXPECT_EQ(log[1]["RECORD"], "1");
  EXPECT_THAT(log[1]["ERRDESC"], HasSubstr("SOURCE(\"CITY\") --> CITY Lookup cannot be used with a NULL value"));
}

TEST_F(TransferTest, ALookupThatFailsFailsTheRecordAndWritesNothing) {
  // Record 2's key cannot be evaluated (division by zero). Taking it as
  // Empty would find no row and insert ID 2 a second time.
  p.Formulas()->AddFormula("Key", "Function Main\r\n  Main = SOURCE(\"ID\") + 0 * (1 / (SOURCE(\"ID\") - 2))\r\nEnd Function");
  RunSql(dst, "CREATE TABLE PLACES (ID INTEGER, NAME TEXT); INSERT INTO PLACES VALUES (2, 'old')");
  AddSource();
  Flow({Target("TARGET", "PLACES", "UpdateInsert",
               {Mapping("ID", "SOURCE([ID])", "FORMULA!Key"), Mapping("NAME", "SOURCE([NAME])")}),
        Audit()});
  p.Run();
  EXPECT_EQ(ReadRows(dst, "SELECT ID, NAME FROM PLACES ORDER BY ID, NAME"),
            (Table{{"1", "Ann"}, {"2", "old"}, {"3", "Cy"}}));
  tStatistic s = Stats();
  EXPECT_EQ(s.Success[1], 2 + 3);  // records 1 and 3, and every audit insert
  EXPECT_EQ(s.Totals[5] - s.Success[5], 1);
  EXPECT_EQ(ReadRows(dst, "SELECT ID FROM AUDIT ORDER BY ID"), (Table{{"1"}, {"2"}, {"3"}}));
  // One entry: the formula's own failure, not a second one for the write.
  std::vector<HistoryRow> log = HistoryRows(executionlogdata);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0]["ERRNUMBER"], "11");
  EXPECT_EQ(log[0]["RECORD"], "1");  // numbered from 0
}

TEST_F(TransferTest, NullLookupOfALookupStepHidesThePreviousRecordsRow) {
  RunSql(src, "UPDATE SRC SET ID = NULL WHERE NAME = 'Ben'");
  RunSql(dst, "CREATE TABLE CLIENTS (ID INTEGER, LABEL TEXT); INSERT INTO CLIENTS VALUES (1, 'gold'), (3, 'bronze')");
  AddSource();
  auto lookup = Target("CLIENT", "CLIENTS", "Lookup", {Mapping("ID", "SOURCE([ID])", "SOURCE(\"ID\")")});
  auto write = Target("TARGET", "AUDIT", "Insert", {Mapping("ID", "SOURCE([ID])"), Mapping("NOTE", "CLIENT([LABEL])")});
  Flow({lookup, write});
  p.Run();
  // Ben's record must not be written with Ann's label.
  EXPECT_EQ(ReadRows(dst, "SELECT ID, NOTE FROM AUDIT ORDER BY ID"), (Table{{"1", "gold"}, {"3", "bronze"}}));
  tStatistic s = Stats();
  EXPECT_EQ(s.Success[3], 2);
  EXPECT_EQ(s.Errors[3], 0);   // the Null lookup counts without a kind
  EXPECT_EQ(s.Errors[1], 1);   // Ben's insert had no client row to read
}

TEST_F(TransferTest, LookupExpressionIsEvaluatedOncePerMappingAndRecord) {
  // Each evaluation counts up: a second evaluation would select key 2.
  p.Formulas()->AddFormula("Counter", "Dim n\r\nFunction Main\r\n  n = n + 1\r\n  Main = n\r\nEnd Function");
  RunSql(dst, "INSERT INTO DST VALUES (1, 'old', 'x'), (2, 'old', 'x')");
  AddSource();
  Flow({Target("TARGET", "DST", "Update", {Mapping("ID", "SOURCE([ID])", "FORMULA!Counter"),
                                            Mapping("NAME", "SOURCE([NAME])")})});
  p.Run();
  // The engine is reset before every TARGET step: the counter restarts at 1.
  EXPECT_EQ(ReadRows(dst, "SELECT ID, NAME FROM DST ORDER BY ID"), (Table{{"1", "Cy"}, {"2", "old"}}));
  EXPECT_EQ(Stats().Success[2], 3);
}

TEST_F(TransferTest, ReferenceToAMissingStepOrFieldFailsTheRecordNamingIt) {
  AddSource();
  Flow({Target("TARGET", "DST", "Insert", {Mapping("ID", "SOURCE([ID])"), Mapping("NAME", "NOBODY([NAME])"),
                                            Mapping("CITY", "SOURCE([NOFIELD])")})});
  p.Run();
  std::vector<HistoryRow> log = HistoryRows(executionlogdata);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_THAT(log[0]["ERRDESC"], HasSubstr("NAME --> NAME "));
  EXPECT_THAT(log[0]["ERRDESC"], HasSubstr("'NOBODY'"));
  EXPECT_EQ(Stats().Errors[1], 3);
}

TEST_F(TransferTest, MissingFormulaWritesTheEmptyValueAndLogsTheFailedRecord) {
  AddSource();
  Flow({Target("TARGET", "DST", "Insert", {Mapping("ID", "SOURCE([ID])"), Mapping("NAME", "FORMULA!Nothing")})});
  p.Run();
  EXPECT_EQ(ReadRows(dst, "SELECT ID, NAME FROM DST ORDER BY ID"),
            (Table{{"1", "<null>"}, {"2", "<null>"}, {"3", "<null>"}}));
  EXPECT_EQ(Stats().Success[1], 3);
  std::vector<HistoryRow> log = HistoryRows(executionlogdata);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[2]["RECORD"], "2");
  EXPECT_EQ(log[2]["ERRNUMBER"], "5");
  EXPECT_THAT(log[2]["ERRDESC"], HasSubstr("Nothing"));
  // The history row tells that something went wrong although every insert
  // succeeded.
  std::vector<HistoryRow> runs = HistoryRows(executiondata);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0]["RESULT"], "Completed with errors");
  EXPECT_EQ(runs[0]["RERRORS"], "0");
}

}  // namespace
}  // namespace veldrane::run_testing
