// The example integrations of examples/, run end to end with RunFile on
// freshly seeded SQLite databases: what lands in the warehouse, what the
// counters say, and the history and execution-log rows naming the document.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "engine/tests/run_test_support.h"

namespace veldrane::run_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// The documents name their databases relative to the folder they are run
// from: each test runs in a folder of its own holding data/crm.db and
// data/warehouse.db.
class ExamplesTest : public RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    const char* source_dir = std::getenv("VELDRANE_SOURCE_DIR");
    ASSERT_TRUE(source_dir) << "VELDRANE_SOURCE_DIR is not set";
    examples = std::string(source_dir) + "/examples";
    std::filesystem::create_directory(databases + "/data");
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    previous_dir = cwd;
    ASSERT_EQ(chdir(databases.c_str()), 0);
    crm = SqliteDatabase("data/crm",
                         "CREATE TABLE CUSTOMERS (CUSTNO INTEGER PRIMARY KEY, NAME TEXT, CITY TEXT);"
                         "CREATE TABLE ORDERS (ORDERNO INTEGER PRIMARY KEY, CUSTNO INTEGER, AMOUNT REAL, STATUS TEXT);"
                         "INSERT INTO CUSTOMERS VALUES (1, '  ann smith ', 'Oslo'), (2, 'o''brien', 'Rome');"
                         "INSERT INTO ORDERS VALUES (10, 1, 250.5, 'OPEN'), (11, 2, 80, 'CANCELLED'),"
                         " (12, 9, 20, 'OPEN'), (13, 2, 99.5, 'OPEN'), (14, 1, 5, 'CANCELLED')");
    warehouse = SqliteDatabase("data/warehouse",
                               "CREATE TABLE CLIENTS (CUSTNO INTEGER PRIMARY KEY, NAME TEXT, CITY TEXT);"
                               "CREATE TABLE ORDER_FACTS (ORDERNO INTEGER PRIMARY KEY, CUSTNO INTEGER,"
                               " CLIENT_NAME TEXT, AMOUNT REAL);"
                               "CREATE TABLE REVIEWED_ORDERS (ORDERNO INTEGER PRIMARY KEY, AMOUNT REAL, NOTE TEXT)");
  }
  void TearDown() override {
    ASSERT_EQ(chdir(previous_dir.c_str()), 0);
    RunFixture::TearDown();
  }
  std::string Example(const std::string& name) { return examples + "/" + name; }

  std::string examples, previous_dir, crm, warehouse;
  clsProcess p;
};

TEST_F(ExamplesTest, CustomersUpsertInsertsNewClientsAndUpdatesKnownOnes) {
  RunSql(warehouse, "INSERT INTO CLIENTS VALUES (2, 'OLD', 'Nowhere')");
  std::string doc = Example("customers_upsert.xml");
  EXPECT_EQ(p.RunFile(doc), 0);
  EXPECT_EQ(ReadRows(warehouse, "SELECT CUSTNO, NAME, CITY FROM CLIENTS ORDER BY CUSTNO"),
            (Table{{"1", "ANN SMITH", "Oslo"}, {"2", "O'BRIEN", "Rome"}}));
  tStatistic s = p.Statistics();
  ExpectCounterInvariants(s);
  EXPECT_EQ(s.Success[1], 1);
  EXPECT_EQ(s.Success[2], 1);
  EXPECT_THAT(LogEntries(*p.Log()),
              ElementsAre("VeldraneRunner: Loading " + doc, "VeldraneRunner: Executing " + doc,
                          "VeldraneRunner: starting process", "VeldraneRunner: processing"));
  std::vector<HistoryRow> runs = HistoryRows(executiondata);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0]["NAME"], doc);
  EXPECT_EQ(runs[0]["ROWS"], "2");
  EXPECT_EQ(runs[0]["RINSERTS"], "1");
  EXPECT_EQ(runs[0]["RUPDATES"], "1");
  EXPECT_EQ(runs[0]["RESULT"], "Completed");
}

TEST_F(ExamplesTest, LookupThenWriteReadsTheClientFoundForEachOrder) {
  RunSql(warehouse, "INSERT INTO CLIENTS VALUES (1, 'Ann', 'Oslo'), (2, 'Obi', 'Rome')");
  std::string doc = Example("lookup_then_write.xml");
  p.RunFile(doc);
  // Order 12's customer 9 is no client: its fact cannot be written.
  EXPECT_EQ(ReadRows(warehouse, "SELECT ORDERNO, CUSTNO, CLIENT_NAME, AMOUNT FROM ORDER_FACTS ORDER BY ORDERNO"),
            (Table{{"10", "1", "Ann", "250.5"}, {"13", "2", "Obi", "99.5"}}));
  tStatistic s = p.Statistics();
  ExpectCounterInvariants(s);
  EXPECT_EQ(s.Success[3], 3);
  EXPECT_EQ(s.Success[1], 2);
  EXPECT_EQ(s.Errors[1], 1);
  std::vector<HistoryRow> log = HistoryRows(executionlogdata);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0]["NAME"], doc);
  EXPECT_EQ(log[0]["RECORD"], "1");  // the second open order
  EXPECT_EQ(log[0]["ERRNUMBER"], "3021");
  EXPECT_THAT(log[0]["ERRDESC"], HasSubstr("NAME --> CLIENT_NAME"));
  std::vector<HistoryRow> runs = HistoryRows(executiondata);
  EXPECT_EQ(runs[0]["RERRORS"], "1");
  EXPECT_EQ(runs[0]["RESULT"], "Completed with errors");
}

TEST_F(ExamplesTest, DeleteOrdersRemovesTheFactsOfCancelledOrders) {
  RunSql(warehouse, "INSERT INTO ORDER_FACTS VALUES (10, 1, 'Ann', 250.5), (11, 2, 'Obi', 80), (14, 1, 'Ann', 5)");
  p.RunFile(Example("delete_orders.xml"));
  EXPECT_EQ(ReadRows(warehouse, "SELECT ORDERNO FROM ORDER_FACTS"), (Table{{"10"}}));
  EXPECT_EQ(p.Statistics().Success[4], 2);
  EXPECT_EQ(HistoryRows(executiondata)[0]["RDELETED"], "2");
}

TEST_F(ExamplesTest, DecisionFlowSendsEveryOrderAlongTheFirstLink) {
  p.RunFile(Example("decision_flow.xml"));
  EXPECT_EQ(ReadRows(warehouse, "SELECT ORDERNO, NOTE FROM REVIEWED_ORDERS ORDER BY ORDERNO"),
            (Table{{"10", "big"}, {"11", "small"}, {"12", "small"}, {"13", "small"}, {"14", "small"}}));
  EXPECT_EQ(p.Statistics().Success[1], 5);
}

}  // namespace
}  // namespace veldrane::run_testing
