// Runs against the real PostgreSQL server: source and target on the server,
// a run from SQLite into it, formulas querying it through SQLExecute, and the
// transactions (a failed record inside a batch or a step-wise run must not
// poison the records after it). Every test makes its own tables.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/tests/run_test_support.h"

namespace veldrane::run_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class PostgresRunTest : public RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    pg = PostgresConnection();
    src_table = UniqueName("vr_src");
    dst_table = UniqueName("vr_dst");
    RunSql(pg, "CREATE TABLE " + src_table + " (id INTEGER, name TEXT, city TEXT)");
    RunSql(pg, "CREATE TABLE " + dst_table + " (id INTEGER PRIMARY KEY, name TEXT, city TEXT, note TEXT)");
    RunSql(pg, "INSERT INTO " + src_table + " VALUES (1, 'Ann', 'Oslo'), (2, 'Ben', 'Rome'), (3, 'Cy', 'Lyon'), (4, 'Di', 'Bonn')");
  }
  void TearDown() override {
    try {
      RunSql(pg, "DROP TABLE IF EXISTS " + src_table + "; DROP TABLE IF EXISTS " + dst_table);
    } catch (const VbError&) {
      // The server is gone; the test has failed already and reported why.
    }
    RunFixture::TearDown();
  }
  Table Target() { return ReadRows(pg, "SELECT id, name, city, note FROM " + dst_table + " ORDER BY id"); }

  std::string pg, src_table, dst_table;
  clsProcess p;
  FlowBuilder flow{p};
};

TEST_F(PostgresRunTest, SourceAndTargetOnTheServerWithAFormulaQueryingIt) {
  RunSql(pg, "INSERT INTO " + dst_table + " VALUES (2, 'old', 'old', NULL)");
  // The note counts the target's rows before the record is written.
  p.Formulas()->AddFormula("Before", "Function Main\r\n  Main = \"rows:\" & SQLExecute(\"TARGET\", \"SELECT COUNT(*) AS n FROM " +
                                         dst_table + "\", \"n\")\r\nEnd Function");
  flow.Chain({flow.Step(aStart, "START"), flow.Source("SOURCE", "pg", pg, src_table),
              flow.Target("TARGET", "pg", pg, dst_table, "UpdateInsert",
                          {Mapping("id", "SOURCE([id])", "SOURCE(\"id\")"), Mapping("name", "SOURCE([name])"),
                           Mapping("city", "SOURCE([city])"), Mapping("note", "FORMULA!Before")}),
              flow.Step(aStop, "END")});
  p.Run();
  EXPECT_EQ(Target(), (Table{{"1", "Ann", "Oslo", "rows:1"},
                             {"2", "Ben", "Rome", "rows:2"},
                             {"3", "Cy", "Lyon", "rows:2"},
                             {"4", "Di", "Bonn", "rows:3"}}));
  tStatistic s = p.Statistics();
  ExpectCounterInvariants(s);
  EXPECT_EQ(s.Success[1], 3);
  EXPECT_EQ(s.Success[2], 1);
  EXPECT_TRUE(HistoryRows(executionlogdata).empty());
  EXPECT_EQ(HistoryRows(executiondata)[0]["RESULT"], "Completed");
}

TEST_F(PostgresRunTest, FromSqliteIntoTheServer) {
  std::string lite = SqliteDatabase("src", "CREATE TABLE PEOPLE (ID INTEGER, NAME TEXT, CITY TEXT);"
                                           "INSERT INTO PEOPLE VALUES (7, 'O''Hara', 'Cork'), (8, 'Eve', NULL)");
  flow.Chain({flow.Step(aStart, "START"), flow.Source("SOURCE", "lite", lite, "SELECT * FROM PEOPLE ORDER BY ID", "sql"),
              flow.Target("TARGET", "pg", pg, dst_table, "Insert",
                          {Mapping("id", "SOURCE([ID])"), Mapping("name", "SOURCE([NAME])"),
                           Mapping("city", "SOURCE([CITY])")}),
              flow.Step(aStop, "END")});
  p.Run();
  EXPECT_EQ(Target(), (Table{{"7", "O'Hara", "Cork", "<null>"}, {"8", "Eve", "<null>", "<null>"}}));
  EXPECT_EQ(p.Statistics().Success[1], 2);
}

TEST_F(PostgresRunTest, FailedRecordInsideABatchDoesNotTakeTheOthersDown) {
  RunSql(pg, "INSERT INTO " + dst_table + " VALUES (2, 'taken', NULL, NULL)");
  flow.Chain({flow.Step(aStart, "START"), flow.Source("SOURCE", "pg", pg, src_table),
              flow.Target("TARGET", "pg", pg, dst_table, "Insert",
                          {Mapping("id", "SOURCE([id])"), Mapping("name", "SOURCE([name])")}),
              flow.Step(aStop, "END")});
  // A formula on the target connection with a bad query fails inside the
  // transaction too; it must not poison it either.
  p.Formulas()->AddFormula("Bad", "Function Main\r\n  Main = SQLExecute(\"TARGET\", \"SELECT nope FROM nowhere\", \"x\")\r\nEnd Function");
  auto& mappings = *std::get<tStorage>(p.Shapes()->Collection()->Item(3)->objElements).fields;
  mappings.Add(Mapping("note", "FORMULA!Bad"), "note");
  p.Run();
  EXPECT_EQ(Target(), (Table{{"1", "Ann", "<null>", "<null>"},
                             {"2", "taken", "<null>", "<null>"},
                             {"3", "Cy", "<null>", "<null>"},
                             {"4", "Di", "<null>", "<null>"}}));
  tStatistic s = p.Statistics();
  ExpectCounterInvariants(s);
  EXPECT_EQ(s.Success[1], 3);
  EXPECT_EQ(s.Errors[1], 1);
  std::vector<HistoryRow> log = HistoryRows(executionlogdata);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0]["RECORD"], "1");
  EXPECT_EQ(log[0]["ERRNUMBER"], std::to_string(vberr::kProviderIntegrityViolation));
  std::vector<HistoryRow> runs = HistoryRows(executiondata);
  EXPECT_EQ(runs[0]["RERRORS"], "1");
  EXPECT_EQ(runs[0]["RESULT"], "Completed with errors");
}

TEST_F(PostgresRunTest, StepWiseRunKeepsGoingAfterAFailedRecordAndIsRolledBack) {
  RunSql(pg, "INSERT INTO " + dst_table + " VALUES (2, 'taken', NULL, NULL)");
  flow.Chain({flow.Step(aStart, "START"), flow.Source("SOURCE", "pg", pg, src_table),
              flow.Target("TARGET", "pg", pg, dst_table, "Insert",
                          {Mapping("id", "SOURCE([id])"), Mapping("name", "SOURCE([name])")}),
              flow.Step(aStop, "END")});
  p.RunRecord();
  for (int i = 0; i < 3; ++i) p.RunNextRecord();
  tStatistic s = p.Statistics();
  EXPECT_EQ(s.Success[1], 2);  // records 1 and 3: record 2 failed but did not poison record 3
  EXPECT_EQ(s.Errors[1], 1);
  EXPECT_EQ(s.CurrRecord, 1);
  // Uncommitted: another session sees only the row that was there.
  EXPECT_EQ(Target(), (Table{{"2", "taken", "<null>", "<null>"}}));

  std::vector<std::string> events;
  p.StatisticsAdded.connect([&](tStatistic& st) { events.push_back(std::to_string(st.CurrRecord)); });
  p.Run();
  EXPECT_THAT(events, ElementsAre("1", "2", "3", "4"));
  EXPECT_EQ(Target().size(), 4u);
  EXPECT_EQ(p.Statistics().Success[1], 3);
}

TEST_F(PostgresRunTest, UnreachableServerIsACriticalStop) {
  std::vector<std::string> critical;
  p.LogAdded.connect([&](std::string& t) { critical.push_back(t); });
  flow.Chain({flow.Step(aStart, "START"), flow.Source("SOURCE", "pg", pg, src_table),
              flow.Target("TARGET", "gone", "Provider=PostgreSQL;Host=/nonexistent-veldrane;Port=1;Database=x", dst_table,
                          "Insert", {Mapping("id", "SOURCE([id])")}),
              flow.Step(aStop, "END")});
  int ends = 0;
  p.IntegrationEnd.connect([&](tStatistic&) { ++ends; });
  EXPECT_EQ(p.Run(), 0);
  ASSERT_FALSE(critical.empty());
  EXPECT_EQ(critical[0], "CRITICAL ERROR: Error opening connection TARGET");
  EXPECT_EQ(ends, 0);
  EXPECT_TRUE(HistoryRows(executiondata).empty());
}

TEST_F(PostgresRunTest, DeleteAndLookupOnTheServer) {
  RunSql(pg, "INSERT INTO " + dst_table + " VALUES (1, 'a', NULL, NULL), (3, 'c', NULL, NULL), (9, 'keep', NULL, NULL)");
  std::string facts = UniqueName("vr_facts");
  RunSql(pg, "CREATE TABLE " + facts + " (id INTEGER, label TEXT)");
  flow.Chain({flow.Step(aStart, "START"), flow.Source("SOURCE", "pg", pg, src_table),
              flow.Target("FOUND", "pg", pg, dst_table, "Lookup", {Mapping("id", "SOURCE([id])", "SOURCE(\"id\")")}),
              flow.Target("FACT", "pg", pg, facts, "Insert",
                          {Mapping("id", "SOURCE([id])"), Mapping("label", "FOUND([name])")}),
              flow.Target("GONE", "pg", pg, dst_table, "Delete", {Mapping("id", "SOURCE([id])", "SOURCE(\"id\")")}),
              flow.Step(aStop, "END")});
  p.Run();
  EXPECT_EQ(ReadRows(pg, "SELECT id, label FROM " + facts + " ORDER BY id"), (Table{{"1", "a"}, {"3", "c"}}));
  EXPECT_EQ(Target(), (Table{{"9", "keep", "<null>", "<null>"}}));
  tStatistic s = p.Statistics();
  ExpectCounterInvariants(s);
  EXPECT_EQ(s.Success[3], 4);
  EXPECT_EQ(s.Success[4], 2);
  EXPECT_EQ(s.Errors[1], 2);  // records 2 and 4 found no row to read a label from
  EXPECT_EQ(HistoryRows(executiondata)[0]["RDELETED"], "2");
  RunSql(pg, "DROP TABLE " + facts);
}

TEST_F(PostgresRunTest, GroupWhoseCommitFailsIsWrittenAgainRecordByRecord) {
  std::string parent = UniqueName("vr_parent");
  std::string child = UniqueName("vr_child");
  RunSql(pg, "CREATE TABLE " + parent + " (id INTEGER PRIMARY KEY); INSERT INTO " + parent + " VALUES (1), (2), (4)");
  RunSql(pg, "CREATE TABLE " + child + " (id INTEGER PRIMARY KEY, parent INTEGER REFERENCES " + parent +
                 "(id) DEFERRABLE INITIALLY DEFERRED)");
  flow.Chain({flow.Step(aStart, "START"), flow.Source("SOURCE", "pg", pg, src_table),
              flow.Target("TARGET", "pg", pg, child, "Insert",
                          {Mapping("id", "SOURCE([id])"), Mapping("parent", "SOURCE([id])")}),
              flow.Step(aStop, "END")});
  p.Run();
  // Record 3 names no parent: only it fails, at its own commit.
  EXPECT_EQ(ReadRows(pg, "SELECT id FROM " + child + " ORDER BY id"), (Table{{"1"}, {"2"}, {"4"}}));
  tStatistic s = p.Statistics();
  ExpectCounterInvariants(s);
  EXPECT_EQ(s.Success[1], 3);
  EXPECT_EQ(s.Errors[1], 1);
  std::vector<HistoryRow> log = HistoryRows(executionlogdata);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0]["RECORD"], "2");
  EXPECT_THAT(log[0]["ERRDESC"], HasSubstr("foreign key"));
  EXPECT_EQ(HistoryRows(executiondata)[0]["RERRORS"], "1");
  EXPECT_EQ(p.LastRun().groups_redone, 1);
  RunSql(pg, "DROP TABLE " + child + "; DROP TABLE " + parent);
}

TEST_F(PostgresRunTest, FormulaWritingThroughAnotherNameJoinsTheRunsTransaction) {
  RunSql(pg, "INSERT INTO " + dst_table + " VALUES (2, 'taken', NULL, NULL)");
  // The source's rows are marked through the source's own connection name;
  // the target writes under another name to the same database.
  p.Formulas()->AddFormula("Mark", "Function Main\r\n  Dim done\r\n  done = SQLExecute(\"SOURCE\", \"UPDATE " + src_table +
                                       " SET city = 'done' WHERE id = \" & SOURCE(\"id\"), \"\")\r\n"
                                       "  Main = \"marked\"\r\nEnd Function");
  flow.Chain({flow.Step(aStart, "START"), flow.Source("SOURCE", "pgsrc", pg, src_table),
              flow.Target("TARGET", "pgdst", pg, dst_table, "Insert",
                          {Mapping("id", "SOURCE([id])"), Mapping("name", "SOURCE([name])"),
                           Mapping("note", "FORMULA!Mark")}),
              flow.Step(aStop, "END")});
  p.Run();
  EXPECT_EQ(p.Statistics().Success[1], 3);
  // Record 2 failed: its mark was undone with it.
  EXPECT_EQ(ReadRows(pg, "SELECT id, city FROM " + src_table + " ORDER BY id"),
            (Table{{"1", "done"}, {"2", "Rome"}, {"3", "done"}, {"4", "done"}}));
}

}  // namespace
}  // namespace veldrane::run_testing
