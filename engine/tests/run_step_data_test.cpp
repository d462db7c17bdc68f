// The data side of a step: how SOURCE and TARGET steps open their rows,
// what they keep, what they log when opening fails, and ExecuteSql.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/step_data.h"
#include "engine/tests/run_test_support.h"

namespace veldrane::run_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

class StepDataTest : public RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    db = SqliteDatabase("db", "CREATE TABLE SRC (ID INTEGER, NAME TEXT);"
                              "INSERT INTO SRC VALUES (1, 'Ann'), (2, 'Ben')");
  }
  std::shared_ptr<cShape> Logged(std::shared_ptr<cShape> step) {
    step->gbLog = log;
    return step;
  }

  std::string db;
  clsProcess p;
  FlowBuilder flow{p};
  std::shared_ptr<clsLog> log = std::make_shared<clsLog>();
};

TEST_F(StepDataTest, SourceOpensATableOrItsQueryText) {
  auto table = Logged(flow.Source("T", "a", db, "SRC", "table"));
  EXPECT_EQ(StepData::Of(*table).data()->Source(), "SELECT * FROM SRC");
  // Read row by row: the count is known once the last row has been read,
  // and reading again gives the same rows.
  auto rows = StepData::Of(*table).data();
  EXPECT_EQ(rows->RecordCount(), -1);
  rows->MoveNext();
  rows->MoveNext();
  EXPECT_TRUE(rows->IsEOF());
  EXPECT_EQ(rows->RecordCount(), 2);
  RunSql(db, "DELETE FROM SRC WHERE ID = 1");
  rows->MoveFirst();
  EXPECT_EQ(rows->GetFields().Item(std::string_view("ID")).Value().ToLong(), 1);
  // Anything but "table", exactly, is a query.
  auto capital = Logged(flow.Source("Q", "a", db, "SELECT NAME FROM SRC WHERE ID = 2", "Table"));
  EXPECT_EQ(StepData::Of(*capital).data()->Source(), "SELECT NAME FROM SRC WHERE ID = 2");
  EXPECT_EQ(StepData::Of(*capital).data()->GetFields().Item(std::string_view("NAME")).Value().ToText(), "Ben");
  EXPECT_TRUE(log->Text().empty());
}

TEST_F(StepDataTest, SourceRowsAreOpenedOnceAndKeepTheirPosition) {
  auto source = Logged(flow.Source("S", "a", db, "SRC"));
  auto rows = StepData::Of(*source).data();
  rows->MoveNext();
  RunSql(db, "DELETE FROM SRC");
  EXPECT_EQ(StepData::Of(*source).data(), rows);
  EXPECT_EQ(StepData::Of(*source).data()->GetFields().Item(std::string_view("ID")).Value().ToText(), "2");
  // setQuery discards them: the next read opens the source afresh.
  StepData::Of(*source).setQuery("");
  EXPECT_NE(StepData::Of(*source).data(), rows);
  EXPECT_EQ(StepData::Of(*source).data()->RecordCount(), 0);
}

TEST_F(StepDataTest, TargetRowsFollowEachQueryAndStayClosedWithoutOne) {
  auto target = Logged(flow.Target("T", "a", db, "SRC", "Insert", {}));
  auto closed = StepData::Of(*target).data();
  EXPECT_EQ(closed->State(), ado::adStateClosed);
  EXPECT_EQ(StepData::Of(*target).data(), closed);
  EXPECT_EQ(target->cnSource()->State(), ado::adStateOpen);
  StepData::Of(*target).setQuery("SELECT * FROM SRC WHERE ID = '2'");
  auto found = StepData::Of(*target).data();
  EXPECT_NE(found, closed);
  EXPECT_EQ(found->RecordCount(), 1);
  EXPECT_EQ(found->LockType(), ado::adLockOptimistic);
  EXPECT_EQ(StepData::Of(*target).data(), found);  // not re-opened until the next setQuery
  EXPECT_TRUE(log->Text().empty());
}

TEST_F(StepDataTest, RowsHeldElsewhereAreNeverReopenedUnderTheirHolder) {
  auto target = Logged(flow.Target("T", "a", db, "SRC", "Insert", {}));
  StepData::Of(*target).setQuery("SELECT * FROM SRC WHERE ID = '1'");
  std::weak_ptr<ado::Recordset> first = StepData::Of(*target).data();
  // Nobody else holds them: the same object serves the next query.
  StepData::Of(*target).setQuery("SELECT * FROM SRC WHERE ID = '2'");
  EXPECT_EQ(StepData::Of(*target).data(), first.lock());
  EXPECT_EQ(StepData::Of(*target).data()->GetFields().Item(std::string_view("NAME")).Value().ToText(), "Ben");
  // A Field handed out keeps the rows it came from.
  std::shared_ptr<Object> held = StepData::Of(*target).data()->GetFields().Item(std::string_view("NAME")).shared_from_this();
  StepData::Of(*target).setQuery("SELECT * FROM SRC WHERE ID = '1'");
  EXPECT_NE(StepData::Of(*target).data(), first.lock());
  EXPECT_EQ(held->Invoke("Value", InvokeKind::Get, {}).ToText(), "Ben");
  EXPECT_EQ(StepData::Of(*target).data()->GetFields().Item(std::string_view("NAME")).Value().ToText(), "Ann");
}

TEST_F(StepDataTest, RowsOfAQueryThatSelectsNoneAreEmptiedNotReopened) {
  auto target = Logged(flow.Target("T", "a", db, "SRC", "Insert", {}));
  const std::string none = "SELECT * FROM SRC WHERE 1 = 2";
  EXPECT_FALSE(StepData::Of(*target).emptyRowsFor(none));  // nothing opened with it yet
  StepData::Of(*target).setQuery(none);
  std::weak_ptr<ado::Recordset> rows = StepData::Of(*target).data();
  StepData::Of(*target).data()->AddNew();
  StepData::Of(*target).data()->GetFields().Item(std::string_view("ID")).SetValue(Variant(int32_t{3}));
  StepData::Of(*target).data()->Update();
  EXPECT_EQ(StepData::Of(*target).data()->RecordCount(), 1);
  uint64_t generation = StepData::Of(*target).dataGeneration();
  ASSERT_TRUE(StepData::Of(*target).emptyRowsFor(none));
  EXPECT_EQ(StepData::Of(*target).data(), rows.lock());
  EXPECT_EQ(StepData::Of(*target).data()->RecordCount(), 0);
  EXPECT_TRUE(StepData::Of(*target).data()->IsEOF());
  EXPECT_NE(StepData::Of(*target).dataGeneration(), generation);
  EXPECT_EQ(ReadRows(db, "SELECT ID FROM SRC ORDER BY ID"), (Table{{"1"}, {"2"}, {"3"}}));  // the row stays written
  // Another query, or rows someone else holds, take the ordinary way.
  EXPECT_FALSE(StepData::Of(*target).emptyRowsFor("SELECT * FROM SRC WHERE 2 = 3"));
  auto held = StepData::Of(*target).data();
  EXPECT_FALSE(StepData::Of(*target).emptyRowsFor(none));
}

TEST_F(StepDataTest, ConnectionThatCannotOpenIsCriticalAtEveryRead) {
  auto target = Logged(flow.Target("Orders out", "a", "Provider=SQLite;Data Source=" + databases + "/nope.db", "SRC",
                                   "Insert", {}));
  std::vector<std::string> raised;
  log->LogAdded.connect([&](std::string& t) { raised.push_back(t); });
  EXPECT_THROW(StepData::Of(*target).data(), VbError);
  EXPECT_THROW(StepData::Of(*target).data(), VbError);
  EXPECT_TRUE(log->IsCritical());
  // The fixed entry, then the provider's reason in an entry of its own.
  auto entries = LogEntries(*log);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0], "CRITICAL ERROR: Error opening connection Orders out");
  EXPECT_THAT(entries[1], ::testing::HasSubstr("nope.db"));
  EXPECT_EQ(entries[2], entries[0]);
  EXPECT_EQ(raised.size(), 4u);
}

TEST_F(StepDataTest, UnknownProviderFailsToOpenButReadsBack) {
  auto target = Logged(flow.Target("T", "a", "Provider=SLXOLEDB.1;Data Source=x", "SRC", "Insert", {}));
  EXPECT_THROW(StepData::Of(*target).data(), VbError);
  EXPECT_EQ(target->cnSource()->Provider(), "SLXOLEDB.1");
  EXPECT_TRUE(log->IsCritical());
  EXPECT_THAT(LogEntries(*log).at(1), ::testing::HasSubstr("Provider cannot be found"));
}

TEST_F(StepDataTest, QueryThatFailsIsAnOrdinaryEntry) {
  auto source = Logged(flow.Source("S", "a", db, "MISSING_TABLE"));
  try {
    StepData::Of(*source).data();
    FAIL() << "data raised nothing";
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), vberr::kObjectRequired);
  }
  std::vector<std::string> entries = LogEntries(*log);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_THAT(entries[0], StartsWith("CRITICAL ERROR:"));
  EXPECT_NE(entries[0].find("MISSING_TABLE"), std::string::npos);
  EXPECT_NE(entries[0].substr(15, 1), " ");  // no blank before the provider's text
  EXPECT_FALSE(log->IsCritical());
}

TEST_F(StepDataTest, ExecuteSqlGivesTheFirstRowsFieldOrNothing) {
  auto target = Logged(flow.Target("T", "a", db, "SRC", "Insert", {}));
  // Never opened: nothing.
  EXPECT_TRUE(StepData::Of(*target).ExecuteSql(Variant("SELECT 1 AS X"), Variant("X")).IsEmpty());
  StepData::Of(*target).data();
  EXPECT_EQ(StepData::Of(*target).ExecuteSql(Variant("SELECT NAME FROM SRC ORDER BY ID"), Variant("NAME")).Resolved().ToText(), "Ann");
  EXPECT_EQ(StepData::Of(*target).ExecuteSql(Variant("SELECT ID, NAME FROM SRC ORDER BY ID DESC"), Variant(int32_t{1})).Resolved().ToText(),
            "Ben");
  EXPECT_TRUE(StepData::Of(*target).ExecuteSql(Variant("SELECT NAME FROM SRC WHERE ID = 9"), Variant("NAME")).IsEmpty());
  EXPECT_TRUE(StepData::Of(*target).ExecuteSql(Variant("SELECT NAME FROM SRC"), Variant("NOPE")).IsEmpty());
  EXPECT_TRUE(StepData::Of(*target).ExecuteSql(Variant("SELEC nonsense"), Variant("NAME")).IsEmpty());
  EXPECT_TRUE(StepData::Of(*target).ExecuteSql(Variant("UPDATE SRC SET NAME = 'x' WHERE ID = 9"), Variant("NAME")).IsEmpty());
  EXPECT_TRUE(log->Text().empty());
  // The same through the step's script face.
  std::vector<Variant> args{Variant("SELECT COUNT(*) AS N FROM SRC"), Variant("N")};
  EXPECT_EQ(target->Invoke("executesql", InvokeKind::Get, args).Resolved().ToText(), "2");
}

TEST_F(StepDataTest, OtherStepTypesHaveNoRows) {
  EXPECT_EQ(StepData::Of(*flow.Step(aStart, "START")).data(), nullptr);
  EXPECT_EQ(StepData::Of(*flow.Step(aDecission, "D")).data(), nullptr);
  EXPECT_TRUE(flow.Step(aStop, "END")->Invoke("data", InvokeKind::Get, {}).IsNothing());
}

}  // namespace
}  // namespace veldrane::run_testing
