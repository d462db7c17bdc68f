// `veldrane run` as a user meets it: output, exit statuses, target rows,
// the history it leaves and the log file it appends.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "cli/tests/cli_harness.h"

namespace veldrane::cli::test {
namespace {

class RunCommand : public ::testing::Test {
 protected:
  TempDir dir;
  std::string source = dir / "source.db";
  std::string target = dir / "target.db";
  std::string home = dir / "home";

  // True when a line of `out` holds these words separated by blanks only.
  static bool HasRow(const std::string& out, const std::string& words) {
    std::string pattern = "(^|\\n) *";
    for (char c : words) pattern += c == ' ' ? std::string(" +") : std::string(1, c);
    return std::regex_search(out, std::regex(pattern + " *(\\n|$)"));
  }

  std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
};

TEST_F(RunCommand, InsertsEveryRecordAndReportsCountersLogAndHistory) {
  MakeCustomerDatabases(source, target, 25);
  std::string doc = Document::Customers(source, target, "Insert", false, true).Save(dir / "insert.xml");

  CliResult run = RunCli({"run", doc, "--log", dir / "run.log"}, home);

  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("started: 25 records"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("25/25"), std::string::npos) << "plain progress lines without a terminal";
  EXPECT_NE(run.out.find("completed: every record succeeded"), std::string::npos);
  // The table row for inserts: 25 successes, no errors, 25 in total.
  EXPECT_TRUE(HasRow(run.out, "insert 25 0 25")) << run.out;
  EXPECT_NE(run.out.find("appended to " + (dir / "run.log")), std::string::npos);
  EXPECT_NE(run.out.find(home + "/executeddata.xml"), std::string::npos) << run.out;
  EXPECT_EQ(Scalar(target, "SELECT COUNT(*) FROM CUSTOMERS").ToLong(), 25);
  EXPECT_EQ(Scalar(target, "SELECT LABEL FROM CUSTOMERS WHERE CUSTNO = 3").ToString(), "Customer 3 (Oslo)");
  EXPECT_TRUE(std::filesystem::exists(home + "/executeddata.xml"));
  EXPECT_NE(ReadText(dir / "run.log").find("VeldraneRunner: Executing"), std::string::npos);
}

TEST_F(RunCommand, LogFileIsAppendedRunAfterRun) {
  MakeCustomerDatabases(source, target, 3);
  std::string doc = Document::Customers(source, target, "UpdateInsert", true, false).Save(dir / "upsert.xml");
  ASSERT_EQ(RunCli({"run", doc, "--log", dir / "run.log"}, home).status, 0);
  ASSERT_EQ(RunCli({"run", doc, "--log", dir / "run.log"}, home).status, 0);
  EXPECT_EQ(Count(ReadText(dir / "run.log"), "VeldraneRunner: Loading"), 2);
  // The second run found every key: updates, not inserts.
  EXPECT_EQ(Scalar(target, "SELECT COUNT(*) FROM CUSTOMERS").ToLong(), 3);
}

TEST_F(RunCommand, FailedRecordsGiveStatusOneAndAreCounted) {
  MakeCustomerDatabases(source, target, 10);
  Sql(target, "INSERT INTO CUSTOMERS (CUSTNO, NAME) VALUES (4, 'taken'); INSERT INTO CUSTOMERS (CUSTNO, NAME) VALUES (7, 'taken')");
  std::string doc = Document::Customers(source, target, "Insert", false, false).Save(dir / "insert.xml");

  CliResult run = RunCli({"run", doc}, home);

  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_TRUE(HasRow(run.out, "insert 8 2 10")) << run.out;
  EXPECT_NE(run.out.find("completed with failures"), std::string::npos);
  EXPECT_NE(run.out.find("veldrane history errors"), std::string::npos);
}

TEST_F(RunCommand, FailureNoCounterShowsStillGivesStatusOne) {
  // An Update whose lookup finds no row counts nothing, but the record failed.
  MakeCustomerDatabases(source, target, 4);
  std::string doc = Document::Customers(source, target, "Update", true, false).Save(dir / "update.xml");

  CliResult run = RunCli({"run", doc}, home);

  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_TRUE(HasRow(run.out, "all 0 0 0")) << run.out;
  EXPECT_NE(run.out.find("4 failed records logged"), std::string::npos) << run.out;
}

TEST_F(RunCommand, RunThatCannotStartGivesStatusTwo) {
  MakeCustomerDatabases(source, target, 2);
  std::string missing_db = Document::Customers(dir / "nowhere.db", target, "Insert", false, false).Save(dir / "bad.xml");

  CliResult run = RunCli({"run", missing_db}, home);
  EXPECT_EQ(run.status, 2) << run.out << run.err;
  EXPECT_NE(run.out.find("error connecting to source"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("no row written"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(home + "/executeddata.xml"));
}

TEST_F(RunCommand, UnreadableDocumentsAreNamed) {
  CliResult missing = RunCli({"run", dir / "absent.xml"}, home);
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("absent.xml"), std::string::npos) << missing.err;

  std::ofstream(dir / "broken.xml") << "<veldrane><nodes></veldrane>";
  CliResult broken = RunCli({"run", dir / "broken.xml"}, home);
  EXPECT_EQ(broken.status, 2);
  EXPECT_NE(broken.err.find("broken.xml"), std::string::npos) << broken.err;
  EXPECT_NE(broken.err.find("failed to load"), std::string::npos) << broken.err;
}

TEST_F(RunCommand, LogThatCannotBeWrittenStopsTheRunBeforeItStarts) {
  MakeCustomerDatabases(source, target, 3);
  std::string doc = Document::Customers(source, target, "Insert", false, false).Save(dir / "insert.xml");
  CliResult run = RunCli({"run", doc, "--log", dir / "no/such/folder/run.log"}, home);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("run.log"), std::string::npos) << run.err;
  EXPECT_EQ(Scalar(target, "SELECT COUNT(*) FROM CUSTOMERS").ToLong(), 0);
}

TEST_F(RunCommand, MisuseIsRefusedWithHelpfulText) {
  CliResult no_doc = RunCli({"run"}, home);
  EXPECT_EQ(no_doc.status, 2);
  EXPECT_NE(no_doc.err.find("DOC"), std::string::npos) << no_doc.err;

  CliResult zero = RunCli({"run", "x.xml", "--commit-size", "0"}, home);
  EXPECT_EQ(zero.status, 2);
  EXPECT_NE(zero.err.find("commit-size"), std::string::npos) << zero.err;

  CliResult help = RunCli({"run", "--help"}, home);
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Exit status"), std::string::npos);
}

TEST_F(RunCommand, QuietPrintsNothingOnSuccess) {
  MakeCustomerDatabases(source, target, 3);
  std::string doc = Document::Customers(source, target, "Insert", false, false).Save(dir / "insert.xml");
  CliResult run = RunCli({"run", "--quiet", doc}, home);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
}

TEST_F(RunCommand, CtrlCCancelsTheRunWhichStillWritesItsHistoryRow) {
  const int rows = 40000;
  MakeCustomerDatabases(source, target, rows);
  std::string doc = Document::Customers(source, target, "Insert", false, true).Save(dir / "long.xml");

  CliProcess run({"run", doc}, home);
  ASSERT_TRUE(run.WaitForOutput("started:"));
  run.Signal(SIGINT);
  CliResult result = run.Finish();

  ASSERT_EQ(result.status, 130) << result.out << result.err;
  EXPECT_NE(result.out.find("cancelled after"), std::string::npos) << result.out;
  EXPECT_LT(Scalar(target, "SELECT COUNT(*) FROM CUSTOMERS").ToLong(), rows);
  CliResult history = RunCli({"history", "--json"}, home);
  EXPECT_NE(history.out.find("\"ROWS\": 40000"), std::string::npos) << history.out;
}

TEST_F(RunCommand, FormulasRecurseAsDeepAsScriptsDo) {
  MakeCustomerDatabases(source, target, 1);
  Document doc = Document::Customers(source, target, "Insert", false, false);
  doc.Map(3, "LABEL", "FORMULA!Deep");
  doc.Formula("Deep", "Function R(n)\r\n  If n = 0 Then R = 0 Else R = 1 + R(n - 1)\r\nEnd Function\r\n"
                      "Function Main\r\n  Main = R(10000)\r\nEnd Function");
  CliResult run = RunCli({"run", doc.Save(dir / "deep.xml")}, home);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(Scalar(target, "SELECT LABEL FROM CUSTOMERS").ToString(), "10000");
}

TEST_F(RunCommand, CtrlCStopsAFormulaThatNeverEndsAndTheRunKeepsItsHistoryRow) {
  MakeCustomerDatabases(source, target, 5);
  Document doc = Document::Customers(source, target, "Insert", false, false);
  doc.Map(3, "LABEL", "FORMULA!Spin");  // node 3 is the TARGET step
  doc.Formula("Spin", "Function Main\r\n  Do\r\n  Loop\r\nEnd Function");
  std::string path = doc.Save(dir / "spin.xml");

  CliProcess run({"run", path}, home);
  ASSERT_TRUE(run.WaitForOutput("started:"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  run.Signal(SIGINT);  // once: the second would abort without a history row
  CliResult result = run.Finish();

  ASSERT_EQ(result.status, 130) << result.out << result.err;
  EXPECT_EQ(result.err.find("aborted"), std::string::npos) << result.err;
  CliResult errors = RunCli({"history", "errors", "--json"}, home);
  EXPECT_NE(errors.out.find("User interrupt occurred"), std::string::npos) << errors.out;
  EXPECT_NE(errors.out.find("formula Spin"), std::string::npos) << errors.out;
  CliResult runs = RunCli({"history", "--json"}, home);
  EXPECT_NE(runs.out.find("\"ROWS\": 5"), std::string::npos) << runs.out;
}

}  // namespace
}  // namespace veldrane::cli::test
