// Whole runs of `veldrane` through the ODBC provider: SQLite files into
// MariaDB (through its DSN), MariaDB into PostgreSQL (through psqlODBC),
// and a MariaDB server stopped in the middle of a run. What a run reports
// is checked against what the tables hold afterwards.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include <unistd.h>

#include "cli/tests/cli_harness.h"
#include "platform/db/ado.h"

namespace veldrane::cli::test {
namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

const std::string kMaria = "Provider=MSDASQL;DSN=veldrane_maria;UID=veldrane;PWD=veldrane-secret";
const std::string kPg = "Provider=MSDASQL;DSN=veldrane_pg";

ado::ConnectionRef Open(const std::string& conn) {
  auto cn = ado::Connection::Create();
  cn->Open(conn);
  return cn;
}

Variant One(const std::string& conn, const std::string& sql) {
  return Open(conn)->Execute(sql)->GetFields().Item(Variant(int32_t{0})).Value();
}

class OdbcRuns : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Env("ODBCSYSINI").empty()) << "ODBCSYSINI is not set: run the ODBC tests through ctest";
    ASSERT_FALSE(Env("VELDRANE_MARIADB_DIR").empty()) << "VELDRANE_MARIADB_DIR is not set";
  }
  // "insert 4 1 5" style rows of the run report: the first two numbers.
  static std::pair<int, int> Counted(const std::string& out, const std::string& operation) {
    std::smatch m;
    if (!std::regex_search(out, m, std::regex(operation + " +([0-9,]+) +([0-9,]+) +([0-9,]+)"))) return {-1, -1};
    auto number = [](std::string s) { return std::stoi(std::regex_replace(s, std::regex(","), "")); };
    return {number(m[1]), number(m[2])};
  }
  TempDir dir;
  std::string source = dir / "source.db";
  std::string scratch = dir / "scratch.db";
  std::string home = dir / "home";
};

TEST_F(OdbcRuns, SqliteIntoMariaDbUpdateInsertWithLookups) {
  MakeCustomerDatabases(source, scratch, 2500);
  auto maria = Open(kMaria);
  maria->Execute("DROP TABLE IF EXISTS CUSTOMERS");
  maria->Execute("CREATE TABLE CUSTOMERS (CUSTNO INTEGER PRIMARY KEY, NAME VARCHAR(60) NOT NULL, CITY VARCHAR(40), "
                 "LABEL VARCHAR(100), AMOUNT DOUBLE)");
  maria->Execute("INSERT INTO CUSTOMERS VALUES (7, 'old', 'Bonn', NULL, 0), (2400, 'old', 'Köln', NULL, 0)");
  Document doc = Document::Customers(source, scratch, "UpdateInsert", /*key=*/true, /*formula=*/true);
  std::string xml = doc.Xml();
  xml = std::regex_replace(xml, std::regex("<storageconn><connname>dst</connname><connstring>[^<]*"),
                           "<storageconn><connname>dst</connname><connstring>" + kMaria);
  std::string path = dir / "upsert.xml";
  {
    std::ofstream out(path);
    out << xml;
  }
  CliResult run = RunCli({"run", path}, home);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("every record succeeded"), std::string::npos) << run.out;
  EXPECT_EQ(One(kMaria, "SELECT COUNT(*) FROM CUSTOMERS").ToLong(), 2500);
  EXPECT_EQ(One(kMaria, "SELECT NAME FROM CUSTOMERS WHERE CUSTNO = 7").ToText(), "Customer 7");
  EXPECT_EQ(One(kMaria, "SELECT LABEL FROM CUSTOMERS WHERE CUSTNO = 2400").ToText(), "Customer 2400 (Oslo)");
  EXPECT_EQ(One(kMaria, "SELECT SUM(AMOUNT) FROM CUSTOMERS").ToDouble(),
            Scalar(source, "SELECT SUM(AMOUNT) FROM CUSTOMERS").ToDouble());

  // Again with one name the target refuses: that record fails alone.
  Sql(source, "UPDATE CUSTOMERS SET NAME = NULL WHERE CUSTNO = 1234; UPDATE CUSTOMERS SET CITY = 'Riga'");
  CliResult again = RunCli({"run", path}, home);
  EXPECT_EQ(again.status, 1) << again.out << again.err;
  EXPECT_EQ(One(kMaria, "SELECT COUNT(*) FROM CUSTOMERS WHERE CITY = 'Riga'").ToLong(), 2499) << again.out;
  EXPECT_EQ(One(kMaria, "SELECT CITY FROM CUSTOMERS WHERE CUSTNO = 1234").ToText(), "Rome");
  std::string errors = RunCli({"history", "errors", "--json"}, home).out;
  EXPECT_NE(errors.find("NAME"), std::string::npos) << errors;
  EXPECT_EQ(errors.find("veldrane-secret"), std::string::npos) << errors;
}

TEST_F(OdbcRuns, MariaDbIntoPostgreSqlWithADuplicateInTheMiddle) {
  auto maria = Open(kMaria);
  maria->Execute("DROP TABLE IF EXISTS SRC");
  maria->Execute("CREATE TABLE SRC (ID INTEGER PRIMARY KEY, NAME VARCHAR(40), SINCE DATE, PRICE DECIMAL(12,2))");
  std::string values;
  for (int i = 1; i <= 300; ++i) {
    values += std::string(values.empty() ? "" : ", ") + "(" + std::to_string(i) + ", 'Grüße " + std::to_string(i) +
              "', '2024-01-" + std::to_string(1 + i % 28) + "', " + std::to_string(i) + ".05)";
  }
  maria->Execute("INSERT INTO SRC VALUES " + values);
  auto pg = Open(kPg);
  pg->Execute("DROP TABLE IF EXISTS odbc_dst");
  pg->Execute("CREATE TABLE odbc_dst (id integer PRIMARY KEY, name varchar(40), since date, price numeric(12,2))");
  pg->Execute("INSERT INTO odbc_dst VALUES (150, 'taken', NULL, NULL)");
  Document doc;
  int start = doc.Start();
  int src = doc.Source("SOURCE", kMaria, "SRC");
  int dst = doc.Target("TARGET", kPg, "odbc_dst", "Insert");
  int end = doc.End();
  doc.Link(start, src);
  doc.Link(src, dst);
  doc.Link(dst, end);
  doc.Map(dst, "id", "SOURCE([ID])");
  doc.Map(dst, "name", "SOURCE([NAME])");
  doc.Map(dst, "since", "SOURCE([SINCE])");
  doc.Map(dst, "price", "SOURCE([PRICE])");
  CliResult run = RunCli({"run", doc.Save(dir / "m2p.xml")}, home);
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_EQ(Counted(run.out, "insert"), std::make_pair(299, 1)) << run.out;
  EXPECT_EQ(One(kPg, "SELECT COUNT(*) FROM odbc_dst").ToLong(), 300);
  EXPECT_EQ(One(kPg, "SELECT name FROM odbc_dst WHERE id = 150").ToText(), "taken");
  EXPECT_EQ(One(kPg, "SELECT name || '/' || since || '/' || price FROM odbc_dst WHERE id = 27").ToText(),
            "Grüße 27/2024-01-28/27.05");
  EXPECT_EQ(One(kPg, "SELECT SUM(price) FROM odbc_dst WHERE id <> 150").ToText(),
            One(kMaria, "SELECT SUM(PRICE) FROM SRC WHERE ID <> 150").ToText());
}

TEST_F(OdbcRuns, ConnectionsTestAndCheckReportTheDriversMessage) {
  std::string registry = dir / "registry";
  std::filesystem::create_directories(registry);
  std::string wrong = "Provider=MSDASQL;DSN=veldrane_maria;UID=veldrane;PWD=wrong-pw-77";
  ASSERT_EQ(RunCli({"--connections", registry, "connections", "add", "crm", wrong}, home).status, 0);
  ASSERT_EQ(RunCli({"--connections", registry, "connections", "add", "good", kMaria}, home).status, 0);
  CliResult bad = RunCli({"--connections", registry, "connections", "test", "crm"}, home);
  EXPECT_NE(bad.status, 0);
  std::string said = bad.out + bad.err;
  EXPECT_NE(said.find("Access denied for user 'veldrane'"), std::string::npos) << said;
  EXPECT_EQ(said.find("wrong-pw-77"), std::string::npos) << said;
  CliResult good = RunCli({"--connections", registry, "connections", "test", "good"}, home);
  EXPECT_EQ(good.status, 0) << good.out << good.err;
  CliResult list = RunCli({"--connections", registry, "connections", "list"}, home);
  EXPECT_EQ(list.out.find("wrong-pw-77"), std::string::npos) << list.out;

  MakeCustomerDatabases(source, scratch, 3);
  Document doc;
  int start = doc.Start();
  int src = doc.Source("SOURCE", SqliteConn(source), "CUSTOMERS");
  int dst = doc.Target("TARGET", wrong, "CUSTOMERS", "Insert");
  int end = doc.End();
  doc.Link(start, src);
  doc.Link(src, dst);
  doc.Link(dst, end);
  doc.Map(dst, "CUSTNO", "SOURCE([CUSTNO])");
  CliResult check = RunCli({"check", doc.Save(dir / "check.xml")}, home);
  EXPECT_NE(check.status, 0);
  said = check.out + check.err;
  EXPECT_NE(said.find("Access denied for user 'veldrane'"), std::string::npos) << said;
  EXPECT_EQ(said.find("wrong-pw-77"), std::string::npos) << said;
}

// The example document as shipped, its SQLite source put where it reads
// it; its DSN (crm_mariadb) is in the test command's odbc.ini.
TEST_F(OdbcRuns, TheMariaDbExampleRunsAsShipped) {
  std::string example = std::string(Env("VELDRANE_SOURCE_DIR")) + "/examples/customers_to_mariadb.xml";
  std::ifstream in(example);
  std::string xml((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_NE(xml.find("Provider=MSDASQL;DSN=crm_mariadb"), std::string::npos);
  std::string crm = dir / "crm.db";
  Sql(crm, "CREATE TABLE CUSTOMERS (CUSTNO INTEGER PRIMARY KEY, NAME TEXT, CITY TEXT);"
           "INSERT INTO CUSTOMERS VALUES (1, ' ada ', 'Oslo'), (2, 'Émile', 'Lyon'), (3, 'grace', NULL)");
  xml = std::regex_replace(xml, std::regex("data/crm\\.db"), crm);
  std::string path = dir / "example.xml";
  std::ofstream(path) << xml;
  const std::string shop = "Provider=MSDASQL;DSN=crm_mariadb";
  Open(shop)->Execute("DROP TABLE IF EXISTS CLIENTS");
  Open(shop)->Execute("CREATE TABLE CLIENTS (CUSTNO INTEGER PRIMARY KEY, NAME VARCHAR(50), CITY VARCHAR(50))");
  for (int run = 0; run < 2; ++run) {
    CliResult result = RunCli({"run", path}, home);
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    Sql(crm, "UPDATE CUSTOMERS SET CITY = 'Bergen' WHERE CUSTNO = 1");
  }
  EXPECT_EQ(One(shop, "SELECT COUNT(*) FROM CLIENTS").ToLong(), 3);
  EXPECT_EQ(One(shop, "SELECT CONCAT(NAME, '/', CITY) FROM CLIENTS WHERE CUSTNO = 1").ToText(), "ADA/Bergen");
  EXPECT_EQ(One(shop, "SELECT NAME FROM CLIENTS WHERE CUSTNO = 2").ToText(), "ÉMILE");
  EXPECT_TRUE(One(shop, "SELECT CITY FROM CLIENTS WHERE CUSTNO = 3").IsNull());
}

// The server goes away while a run writes to it: the run says so, and
// every record it counts as written is in the table once the server is
// back.
TEST_F(OdbcRuns, AServerStoppedMidRunIsReportedAndNothingUncommittedIsCounted) {
  // Its own server, under /tmp where the server's user can reach it.
  std::string server = "/tmp/veldrane-maria-midrun-" + std::to_string(::getpid());
  std::string script = std::string(Env("VELDRANE_SOURCE_DIR")) + "/scripts/mariadb-test-server.sh";
  ASSERT_EQ(std::system(("'" + script + "' start '" + server + "' >/dev/null").c_str()), 0);
  // However the test ends, the server and its data go.
  struct StopAtEnd {
    std::string command;
    ~StopAtEnd() { std::system(command.c_str()); }
  } stop_at_end{"'" + script + "' stop '" + server + "'"};
  std::string conn = "Provider=MSDASQL;Driver={MariaDB Unicode};Server=localhost;Socket=" + server +
                     "/mysqld.sock;Database=veldrane_test;UID=veldrane;PWD=veldrane-secret";
  Open(conn)->Execute("CREATE TABLE CUSTOMERS (CUSTNO INTEGER PRIMARY KEY, NAME VARCHAR(60) NOT NULL, "
                      "CITY VARCHAR(40), LABEL VARCHAR(100), AMOUNT DOUBLE)");
  MakeCustomerDatabases(source, scratch, 200000);
  Document doc = Document::Customers(source, scratch, "Insert", false, false);
  std::string xml = std::regex_replace(doc.Xml(), std::regex("<storageconn><connname>dst</connname><connstring>[^<]*"),
                                       "<storageconn><connname>dst</connname><connstring>" + conn);
  std::string path = dir / "insert.xml";
  {
    std::ofstream out(path);
    out << xml;
  }
  CliProcess run({"run", path}, home);
  ASSERT_TRUE(run.WaitForOutput("started:"));
  // Wait until some groups are committed, then shut the server down.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (One(conn, "SELECT COUNT(*) FROM CUSTOMERS").ToLong() < 3000 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_EQ(std::system(("'" + script + "' halt '" + server + "'").c_str()), 0);
  CliResult result = run.Finish();
  ASSERT_EQ(std::system(("'" + script + "' resume '" + server + "' >/dev/null").c_str()), 0);
  int64_t held = One(conn, "SELECT COUNT(*) FROM CUSTOMERS").ToLong();

  EXPECT_NE(result.status, 0) << result.out << result.err;
  std::string said = result.out + result.err;
  // The run says the connection was lost, in the driver's words.
  EXPECT_NE(said.find("The connection to the database was lost ("), std::string::npos) << said;
  EXPECT_TRUE(said.find("gone away") != std::string::npos || said.find("Lost connection") != std::string::npos ||
              said.find("Can't connect") != std::string::npos || said.find("shutdown") != std::string::npos)
      << said;
  auto [inserted, failed] = Counted(result.out, "insert");
  EXPECT_GE(held, 3000);
  EXPECT_LT(held, 200000);
  EXPECT_EQ(inserted, held) << result.out;
  EXPECT_EQ(said.find("veldrane-secret"), std::string::npos) << said;
}

}  // namespace
}  // namespace veldrane::cli::test
