// `veldrane run` tells what happened: a record counts as written only once
// its writes are committed, a group the database refuses is written again
// one record at a time, and the exit status and the last line come from the
// run itself. Each case is one a user met on SQLite.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "cli/tests/cli_harness.h"
#include "platform/db/ado.h"

namespace veldrane::cli::test {
namespace {

// A small file system of its own (to fill, or to make read-only), where
// the machine lets a test mount one; unmounted with the object.
class SmallMount {
 public:
  SmallMount(const std::string& path, const std::string& options) : path_(path) {
    std::filesystem::create_directories(path);
    mounted_ = ::mount("tmpfs", path.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~SmallMount() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }

 private:
  std::string path_;
  bool mounted_ = false;
};

class TruthfulRuns : public ::testing::Test {
 protected:
  TempDir dir;
  std::string source = dir / "source.db";
  std::string target = dir / "target.db";
  std::string home = dir / "home";

  // START -> SOURCE(SRC) -> TARGET(`table`, `operation`) -> END, mapping
  // ID (the key when `keyed`) and NAME.
  Document Flow(const std::string& table, const std::string& operation, bool keyed = false,
                const std::string& target_db = {}) {
    Document doc;
    int start = doc.Start();
    int src = doc.Source("SOURCE", SqliteConn(source), "SRC");
    int dst = doc.Target("TARGET", SqliteConn(target_db.empty() ? target : target_db), table, operation);
    int end = doc.End();
    doc.Link(start, src);
    doc.Link(src, dst);
    doc.Link(dst, end);
    doc.Map(dst, "ID", "SOURCE([ID])", keyed ? "SOURCE(\"ID\")" : "");
    doc.Map(dst, "NAME", "SOURCE([NAME])");
    return doc;
  }

  void MakeSource(int rows) {
    Sql(source,
        "CREATE TABLE SRC (ID INTEGER PRIMARY KEY, NAME TEXT, PARENT INTEGER); "
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
            std::to_string(rows) + ") INSERT INTO SRC SELECT i, 'name ' || i, CASE i WHEN 3 THEN 99 ELSE 1 END FROM n");
  }

  std::string History() { return RunCli({"history", "--json"}, home).out; }
  std::string Errors() { return RunCli({"history", "errors", "--json", "--limit", "1000000"}, home).out; }
  int64_t Rows(const std::string& db, const std::string& table) {
    return Scalar(db, "SELECT COUNT(*) FROM " + table).ToLong();
  }

  // True when a line of `out` holds these words separated by blanks only.
  static bool HasRow(const std::string& out, const std::string& words) {
    std::string pattern = "(^|\\n) *";
    for (char c : words) pattern += c == ' ' ? std::string(" +") : std::string(1, c);
    return std::regex_search(out, std::regex(pattern + " *(\\n|$)"));
  }
};

TEST_F(TruthfulRuns, GroupWhoseCommitFailsIsWrittenAgainRecordByRecord) {
  MakeSource(5);
  Sql(target,
      "CREATE TABLE PARENT (ID INTEGER PRIMARY KEY); INSERT INTO PARENT VALUES (1); "
      "CREATE TABLE CHILD (ID INTEGER PRIMARY KEY, NAME TEXT, "
      "PARENT INTEGER REFERENCES PARENT(ID) DEFERRABLE INITIALLY DEFERRED)");
  Document doc = Flow("CHILD", "Insert");
  doc.Map(3, "PARENT", "SOURCE([PARENT])");  // record 3 names a parent that is not there

  CliResult run = RunCli({"run", doc.Save(dir / "child.xml"), "--log", dir / "run.log"}, home);

  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_TRUE(HasRow(run.out, "insert 4 1 5")) << run.out;
  EXPECT_EQ(Rows(target, "CHILD"), 4);
  EXPECT_EQ(Rows(target, "CHILD WHERE ID = 3"), 0);
  std::string history = History();
  EXPECT_NE(history.find("\"RINSERTS\": 5"), std::string::npos) << history;
  EXPECT_NE(history.find("\"RERRORS\": 1"), std::string::npos) << history;
  std::string errors = Errors();
  EXPECT_EQ(Count(errors, "FOREIGN KEY constraint failed"), 1) << errors;
  EXPECT_NE(errors.find("\"RECORD\": 2"), std::string::npos) << errors;  // records before it: 2
  EXPECT_NE(run.out.find("written again one record at a time"), std::string::npos) << run.out;
}

TEST_F(TruthfulRuns, StatementThatEndsTheTransactionLosesNoEarlierRecord) {
  MakeSource(5);
  // The key's own conflict clause rolls the whole transaction back; the
  // trigger does the same with a message of its own.
  Sql(target,
      "CREATE TABLE KEYED (ID INTEGER PRIMARY KEY ON CONFLICT ROLLBACK, NAME TEXT); "
      "INSERT INTO KEYED VALUES (3, 'taken'); "
      "CREATE TABLE GUARDED (ID INTEGER PRIMARY KEY, NAME TEXT); "
      "CREATE TRIGGER refuse BEFORE INSERT ON GUARDED WHEN NEW.ID = 3 "
      "BEGIN SELECT RAISE(ROLLBACK, 'record three refused'); END");

  for (const std::string table : {"KEYED", "GUARDED"}) {
    CliResult run = RunCli({"run", Flow(table, "Insert").Save(dir / (table + ".xml")), "--log", dir / "run.log"}, home);
    EXPECT_EQ(run.status, 1) << table << run.out << run.err;
    EXPECT_TRUE(HasRow(run.out, "insert 4 1 5")) << table << run.out;
    EXPECT_EQ(Rows(target, table + " WHERE ID <> 3 OR NAME = 'taken'"), table == "KEYED" ? 5 : 4) << table;
  }
  std::string errors = Errors();
  EXPECT_EQ(Count(errors, "\"RECORD\""), 2) << "one row per failed record: " << errors;
  EXPECT_NE(errors.find("record three refused"), std::string::npos) << errors;
  std::ifstream log(dir / "run.log");
  std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.find("no transaction is active"), std::string::npos) << text;
  EXPECT_EQ(text.find("no such savepoint"), std::string::npos) << text;
}

TEST_F(TruthfulRuns, ABusyTargetAtCommitLosesNothingAndCountsWhatWasWritten) {
  MakeSource(5);
  Sql(target, "CREATE TABLE T (ID INTEGER PRIMARY KEY, NAME TEXT)");
  // Another program reads the target in a transaction for a while: the
  // run's commit has to wait for it, past the busy timeout.
  std::thread reader([this] {
    auto cn = ado::Connection::Create();
    cn->Open(SqliteConn(target));
    cn->BeginTrans();
    cn->Execute("SELECT * FROM T");
    std::this_thread::sleep_for(std::chrono::milliseconds(6500));
    cn->RollbackTrans();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  CliResult run = RunCli({"run", Flow("T", "Insert").Save(dir / "t.xml")}, home);
  reader.join();

  // However the waits fell, what is counted written is in the table.
  std::smatch inserted;
  ASSERT_TRUE(std::regex_search(run.out, inserted, std::regex("insert +([0-9]+) +([0-9]+) +5"))) << run.out;
  EXPECT_EQ(Rows(target, "T"), std::stoi(inserted[1])) << run.out;
  EXPECT_EQ(run.status, inserted[2] == "0" ? 0 : 1) << run.out << run.err;
}

TEST_F(TruthfulRuns, FullDiskCountsOnlyWhatTheTableHolds) {
  SmallMount disk(dir / "small", "size=512k");
  if (!disk.mounted()) GTEST_SKIP() << "this machine does not let the test mount a small file system";
  // Rows of half a kilobyte: the disk is full after about nine hundred.
  const int rows = 1200;
  Sql(source,
      "CREATE TABLE SRC (ID INTEGER PRIMARY KEY, NAME TEXT); "
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(rows) +
          ") INSERT INTO SRC SELECT i, printf('%0500d', i) FROM n");
  std::string full = dir / "small/target.db";
  Sql(full, "CREATE TABLE T (ID INTEGER PRIMARY KEY, NAME TEXT)");

  CliResult run = RunCli({"run", Flow("T", "Insert", false, full).Save(dir / "full.xml"), "--log", dir / "run.log"},
                         home);

  EXPECT_EQ(run.status, 1) << run.out << run.err;
  std::smatch counts;
  ASSERT_TRUE(std::regex_search(run.out, counts, std::regex("insert +([0-9,]+) +([0-9,]+) +1,200"))) << run.out;
  auto number = [](std::string text) { return std::stoll(std::regex_replace(text, std::regex(","), "")); };
  int64_t inserted = number(counts[1]);
  int64_t failed = number(counts[2]);
  EXPECT_GT(inserted, 0);
  EXPECT_GT(failed, 0);
  EXPECT_EQ(Rows(full, "T"), inserted);
  std::string history = History();
  EXPECT_NE(history.find("\"RERRORS\": " + std::to_string(failed)), std::string::npos) << history;
  EXPECT_EQ(Count(Errors(), "\"RECORD\""), failed);
  std::ifstream log(dir / "run.log");
  std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.find("no such savepoint"), std::string::npos);
}

TEST_F(TruthfulRuns, FormulaWritingThroughAnotherNameForTheSameFileFollowsTheRun) {
  // Source and target in one file, reached under two connection names; the
  // formula marks each source row as exported through the source's name.
  Sql(target,
      "CREATE TABLE SRC (ID INTEGER PRIMARY KEY, NAME TEXT, DONE INTEGER DEFAULT 0); "
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10) "
      "INSERT INTO SRC (ID, NAME) SELECT i, 'name ' || i FROM n; "
      "CREATE TABLE DST (ID INTEGER PRIMARY KEY, NAME TEXT, MARK TEXT); INSERT INTO DST VALUES (3, 'taken', NULL)");
  source = target;
  Document doc = Flow("DST", "Insert");
  doc.Map(3, "MARK", "FORMULA!Mark");
  doc.Formula("Mark",
              "Function Main\r\n  Dim done\r\n"
              "  done = SQLExecute(\"SOURCE\", \"UPDATE SRC SET DONE = 1 WHERE ID = \" & SOURCE(\"ID\"), \"\")\r\n"
              "  Main = \"exported\"\r\nEnd Function");

  auto began = std::chrono::steady_clock::now();
  CliResult run = RunCli({"run", doc.Save(dir / "mark.xml")}, home);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

  EXPECT_EQ(run.status, 1) << run.out << run.err;  // record 3 is already there
  EXPECT_TRUE(HasRow(run.out, "insert 9 1 10")) << run.out;
  EXPECT_EQ(Rows(target, "SRC WHERE DONE = 1"), 9) << "every exported row is marked";
  EXPECT_EQ(Rows(target, "SRC WHERE DONE = 0 AND ID = 3"), 1) << "the failed record's mark went with it";
  // Not a timing test: a run that waits on its own lock waits five seconds a record.
  EXPECT_LT(seconds, 20.0);
}

TEST_F(TruthfulRuns, TableNameThatIsNotANameIsQuotedAndChangesNoStatement) {
  MakeSource(10);
  Sql(target, "CREATE TABLE X (ID INTEGER PRIMARY KEY, NAME TEXT)");

  CliResult run = RunCli({"run", Flow("X --", "UpdateInsert", true).Save(dir / "x.xml")}, home);
  EXPECT_NE(run.status, 0) << run.out;
  EXPECT_EQ(run.out.find("every record succeeded"), std::string::npos) << run.out;
  EXPECT_EQ(Rows(target, "X"), 0);
  CliResult check = RunCli({"check", dir / "x.xml"}, home);
  EXPECT_EQ(check.status, 1) << check.out;
  EXPECT_NE(check.out.find("X --"), std::string::npos) << check.out;

  // Names already quoted or bracketed by the user keep working.
  for (const std::string name : {"[X]", "\"X\""}) {
    CliResult quoted = RunCli({"run", Flow(name, "UpdateInsert", true).Save(dir / "q.xml")}, home);
    EXPECT_EQ(quoted.status, 0) << name << quoted.out << quoted.err;
  }
  EXPECT_EQ(Rows(target, "X"), 10);
}

TEST_F(TruthfulRuns, ExitStatusComesFromThisRunAlone) {
  MakeSource(4);
  Sql(target, "CREATE TABLE T (ID INTEGER PRIMARY KEY, NAME TEXT); INSERT INTO T VALUES (2, 'taken')");
  std::string doc = Flow("T", "Insert").Save(dir / "t.xml");
  EXPECT_EQ(RunCli({"run", doc}, home).status, 1);
  // The same document again at once, now without a clash: the failure
  // rows of the run before are not this run's.
  Sql(target, "DELETE FROM T");
  CliResult clean = RunCli({"run", doc}, home);
  EXPECT_EQ(clean.status, 0) << clean.out;
  EXPECT_NE(clean.out.find("every record succeeded"), std::string::npos) << clean.out;
  Sql(target, "DELETE FROM T");
  RunCli({"check", doc}, home);
  EXPECT_EQ(RunCli({"run", doc}, home).status, 0);
}

TEST_F(TruthfulRuns, FlowThatLoopsOrReachesNoTargetIsNotASuccess) {
  MakeSource(3);
  Sql(target, "CREATE TABLE T (ID INTEGER PRIMARY KEY, NAME TEXT)");

  Document loop;
  int start = loop.Start();
  int src = loop.Source("SOURCE", SqliteConn(source), "SRC");
  int dst = loop.Target("TARGET", SqliteConn(target), "T", "UpdateInsert");
  int again = loop.Decision("AGAIN", "True");
  loop.End();
  loop.Link(start, src);
  loop.Link(src, dst);
  loop.Link(dst, again);
  loop.Link(again, src);
  loop.Map(dst, "ID", "SOURCE([ID])", "SOURCE(\"ID\")");
  CliResult looped = RunCli({"run", loop.Save(dir / "loop.xml")}, home);
  EXPECT_EQ(looped.status, 1) << looped.out;
  EXPECT_NE(looped.out.find("loops back to step 'SOURCE'"), std::string::npos) << looped.out;

  Document nothing;
  start = nothing.Start();
  src = nothing.Source("SOURCE", SqliteConn(source), "SRC");
  nothing.Target("TARGET", SqliteConn(target), "T", "Insert");
  int end = nothing.End();
  nothing.Link(start, src);
  nothing.Link(src, end);
  CliResult idle = RunCli({"run", nothing.Save(dir / "idle.xml")}, home);
  EXPECT_EQ(idle.status, 1) << idle.out;
  EXPECT_NE(idle.out.find("nothing was written: no TARGET step is reached"), std::string::npos) << idle.out;
}

TEST_F(TruthfulRuns, HistoryThatCannotBeWrittenIsAnError) {
  MakeSource(3);
  Sql(target, "CREATE TABLE T (ID INTEGER PRIMARY KEY, NAME TEXT); INSERT INTO T VALUES (2, 'taken')");
  std::string doc = Flow("T", "Insert").Save(dir / "t.xml");
  std::string readonly_home = dir / "ro-home";
  SmallMount ro(readonly_home, "size=1m,ro");
  if (!ro.mounted()) GTEST_SKIP() << "this machine does not let the test mount a read-only file system";

  CliResult run = RunCli({"run", doc}, readonly_home);

  EXPECT_EQ(run.status, 3) << run.out << run.err;
  EXPECT_NE(run.err.find("execution history row was not written"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("not written to the execution log"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("history:    NOT written"), std::string::npos) << run.out;
}

TEST_F(TruthfulRuns, RowsOfAQueryEndingInACommentAreCounted) {
  MakeSource(10);
  Sql(target, "CREATE TABLE T (ID INTEGER PRIMARY KEY, NAME TEXT)");
  Document doc;
  int start = doc.Start();
  int src = doc.SourceQuery("SOURCE", SqliteConn(source), "SELECT ID, NAME FROM SRC; -- every row\n");
  int dst = doc.Target("TARGET", SqliteConn(target), "T", "Insert");
  int end = doc.End();
  doc.Link(start, src);
  doc.Link(src, dst);
  doc.Link(dst, end);
  doc.Map(dst, "ID", "SOURCE([ID])");

  CliResult run = RunCli({"run", doc.Save(dir / "query.xml")}, home);

  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("started: 10 records"), std::string::npos) << run.out;
  EXPECT_NE(History().find("\"ROWS\": 10"), std::string::npos);
}

TEST_F(TruthfulRuns, DocumentThatDoesNotLoadIsInTheRunLog) {
  CliResult missing = RunCli({"run", dir / "absent.xml", "--log", dir / "run.log"}, home);
  EXPECT_EQ(missing.status, 2);
  std::ifstream log(dir / "run.log");
  std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("VeldraneRunner: Loading " + (dir / "absent.xml")), std::string::npos) << text;
  EXPECT_NE(text.find("VeldraneRunner ERROR: "), std::string::npos) << text;
  EXPECT_NE(missing.err.find("absent.xml"), std::string::npos) << missing.err;
}

// A run killed at any moment leaves whole groups and readable history; a
// run with UpdateInsert then completes the table.
TEST_F(TruthfulRuns, KilledRunLeavesWholeGroupsAndResumes) {
  const int rows = 200000;
  MakeCustomerDatabases(source, target, rows);
  std::string insert = Document::Customers(source, target, "Insert", false, false).Save(dir / "insert.xml");
  std::string upsert = Document::Customers(source, target, "UpdateInsert", true, false).Save(dir / "upsert.xml");

  for (int wait_ms : {50, 400, 900}) {
    Sql(target, "DELETE FROM CUSTOMERS");
    CliProcess run({"run", insert}, home);
    ASSERT_TRUE(run.WaitForOutput("started:"));
    std::this_thread::sleep_for(std::chrono::milliseconds(wait_ms));
    run.Signal(SIGKILL);
    run.Finish();
    int64_t held = Rows(target, "CUSTOMERS");
    EXPECT_EQ(held % 1000, 0) << "killed after " << wait_ms << " ms: " << held << " rows";
    EXPECT_EQ(RunCli({"history", "--json"}, home).status, 0);
    EXPECT_EQ(RunCli({"history", "errors", "--json"}, home).status, 0);
  }
  CliResult resumed = RunCli({"run", upsert}, home);
  EXPECT_EQ(resumed.status, 0) << resumed.out << resumed.err;
  EXPECT_EQ(Rows(target, "CUSTOMERS"), rows);
  EXPECT_EQ(Scalar(target, "SELECT SUM(AMOUNT) FROM CUSTOMERS").ToDouble(),
            Scalar(source, "SELECT SUM(AMOUNT) FROM CUSTOMERS").ToDouble());
}

}  // namespace
}  // namespace veldrane::cli::test
