// `veldrane preview` and `veldrane check`: what they show of a document, and
// that neither changes the target databases or the history.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/tests/cli_harness.h"

namespace veldrane::cli::test {
namespace {

class PreviewCheck : public ::testing::Test {
 protected:
  TempDir dir;
  std::string source = dir / "source.db";
  std::string target = dir / "target.db";
  std::string home = dir / "home";

  // START -> SOURCE -> LOOKUP (Lookup on the target by CUSTNO) -> TARGET
  // (UpdateInsert, NAME read from the lookup's row) -> END.
  std::string LookupDocument() {
    Document doc;
    int start = doc.Start();
    int src = doc.Source("SOURCE", SqliteConn(source), "CUSTOMERS");
    int lookup = doc.Target("KNOWN", SqliteConn(target), "CUSTOMERS", "Lookup");
    int dst = doc.Target("TARGET", SqliteConn(target), "CUSTOMERS", "UpdateInsert");
    int end = doc.End();
    doc.Link(start, src);
    doc.Link(src, lookup);
    doc.Link(lookup, dst, "then");
    doc.Link(dst, end);
    doc.Map(lookup, "CUSTNO", "", "SOURCE(\"CUSTNO\")");
    doc.Map(dst, "CUSTNO", "SOURCE([CUSTNO])", "SOURCE(\"CUSTNO\")");
    doc.Map(dst, "NAME", "SOURCE([NAME])");
    doc.Map(dst, "LABEL", "FORMULA!Label");
    doc.Formula("Label", "Function Main\r\n  Main = \"seen \" & SOURCE(\"CITY\")\r\nEnd Function");
    return doc.Save(dir / "lookup.xml");
  }
};

TEST_F(PreviewCheck, PreviewShowsEachTargetStepThenRollsBack) {
  MakeCustomerDatabases(source, target, 6);
  Sql(target, "INSERT INTO CUSTOMERS (CUSTNO, NAME, CITY) VALUES (2, 'Old Two', 'Bergen')");
  std::string doc = LookupDocument();

  CliResult preview = RunCli({"preview", doc, "--records", "3"}, home);

  EXPECT_EQ(preview.status, 0) << preview.out << preview.err;
  EXPECT_EQ(Count(preview.out, "record "), 3) << preview.out;
  EXPECT_NE(preview.out.find("record 1 of 6"), std::string::npos);
  EXPECT_NE(preview.out.find("KNOWN"), std::string::npos);
  EXPECT_NE(preview.out.find("looked up"), std::string::npos);
  EXPECT_EQ(Count(preview.out, "inserted"), 2) << preview.out;  // records 1 and 3
  EXPECT_EQ(Count(preview.out, "updated"), 1) << preview.out;   // record 2 was there
  EXPECT_NE(preview.out.find("key:    CUSTNO = 1"), std::string::npos) << preview.out;
  EXPECT_NE(preview.out.find("LABEL = 'seen Rome'"), std::string::npos) << preview.out;
  EXPECT_NE(preview.out.find("rolled back"), std::string::npos);
  // Nothing changed: the one row that was there, as it was.
  EXPECT_EQ(Scalar(target, "SELECT COUNT(*) FROM CUSTOMERS").ToLong(), 1);
  EXPECT_EQ(Scalar(target, "SELECT NAME FROM CUSTOMERS").ToString(), "Old Two");
  // No history of the preview in the user's home.
  EXPECT_FALSE(std::filesystem::exists(home + "/executeddata.xml"));
  EXPECT_FALSE(std::filesystem::exists(home + "/executedlogdata.xml"));
}

TEST_F(PreviewCheck, PreviewShowsFailedStepsWithTheirError) {
  MakeCustomerDatabases(source, target, 3);
  Sql(target, "INSERT INTO CUSTOMERS (CUSTNO, NAME) VALUES (2, 'taken')");
  std::string doc = Document::Customers(source, target, "Insert", false, false).Save(dir / "insert.xml");

  CliResult preview = RunCli({"preview", doc}, home);

  EXPECT_EQ(preview.status, 1) << preview.out << preview.err;
  EXPECT_EQ(Count(preview.out, "FAILED"), 1) << preview.out;
  EXPECT_NE(preview.out.find("error:"), std::string::npos) << preview.out;
  EXPECT_NE(preview.out.find("3 of 3 records previewed; 1 step failed"), std::string::npos) << preview.out;
  EXPECT_EQ(Scalar(target, "SELECT COUNT(*) FROM CUSTOMERS").ToLong(), 1);
}

TEST_F(PreviewCheck, PreviewOfATargetWhoseRowsDoNotOpenFails) {
  MakeCustomerDatabases(source, target, 2);
  std::string doc = Document::Customers(source, target, "Insert", false, false).Save(dir / "insert.xml");
  Sql(target, "DROP TABLE CUSTOMERS");
  CliResult preview = RunCli({"preview", doc}, home);
  EXPECT_EQ(preview.status, 1) << preview.out;
  EXPECT_EQ(Count(preview.out, "FAILED"), 2) << preview.out;
  EXPECT_NE(preview.out.find("no such table"), std::string::npos) << preview.out;
  EXPECT_NE(preview.out.find("2 steps failed"), std::string::npos) << preview.out;
}

TEST_F(PreviewCheck, CheckSummarisesAGoodDocument) {
  MakeCustomerDatabases(source, target, 2);
  std::string doc = LookupDocument();

  CliResult check = RunCli({"check", doc}, home);

  EXPECT_EQ(check.status, 0) << check.out << check.err;
  EXPECT_NE(check.out.find("Steps (5):"), std::string::npos) << check.out;
  EXPECT_NE(check.out.find("UpdateInsert into CUSTOMERS"), std::string::npos);
  EXPECT_NE(check.out.find("KNOWN -> TARGET  \"then\""), std::string::npos) << check.out;
  EXPECT_NE(check.out.find("Label"), std::string::npos);
  EXPECT_NE(check.out.find("No problems found."), std::string::npos);
  EXPECT_EQ(Count(check.out, "FAIL "), 0);
}

TEST_F(PreviewCheck, CheckNamesTheStepFieldOrFormulaOfEveryProblem) {
  MakeCustomerDatabases(source, target, 2);
  Document doc;
  int start = doc.Start();
  int src = doc.Source("SOURCE", SqliteConn(source), "CUSTOMERS");
  int dst = doc.Target("TARGET", SqliteConn(target), "CUSTOMERS", "UpdateInsert");
  int gone = doc.Target("ARCHIVE", SqliteConn(dir / "missing.db"), "OLD", "Insert");
  int end = doc.End();
  doc.Link(start, src);
  doc.Link(src, dst);
  doc.Link(dst, gone);
  doc.Link(gone, end);
  doc.Map(dst, "CUSTNO", "SOURCE([CUSTNO])", "SOURCE(\"CUSTNO\")");
  doc.Map(dst, "NICKNAME", "SOURCE([NAME])");   // no such column in the target
  doc.Map(dst, "CITY", "SOURCE([TOWN])");       // no such column in the source
  doc.Map(dst, "LABEL", "FORMULA!Missing");     // no such formula
  doc.Map(dst, "AMOUNT", "42");                 // a constant must be a formula
  doc.Formula("Broken", "Function Main\r\n  Main = (1 +\r\nEnd Function");
  doc.Save(dir / "bad.xml");

  CliResult check = RunCli({"check", dir / "bad.xml"}, home);

  EXPECT_EQ(check.status, 1) << check.out << check.err;
  EXPECT_NE(check.out.find("FAIL  TARGET, field NICKNAME: no such column in CUSTOMERS"), std::string::npos) << check.out;
  EXPECT_NE(check.out.find("FAIL  TARGET, field CITY: step SOURCE has no column \"TOWN\""), std::string::npos);
  EXPECT_NE(check.out.find("FAIL  TARGET, field LABEL: no formula named \"Missing\""), std::string::npos);
  EXPECT_NE(check.out.find("FAIL  TARGET, field AMOUNT: the value \"42\""), std::string::npos);
  EXPECT_NE(check.out.find("FAIL  ARCHIVE: the connection does not open"), std::string::npos);
  EXPECT_NE(check.out.find("FAIL  formula Broken:"), std::string::npos);
  EXPECT_NE(check.out.find("formula Broken is not used"), std::string::npos);
  EXPECT_NE(check.out.find("6 problems found."), std::string::npos) << check.out;
}

TEST_F(PreviewCheck, CheckReportsTheLoadErrorAndBrokenFlows) {
  std::ofstream(dir / "broken.xml") << "<veldrane><nodes>";
  CliResult broken = RunCli({"check", dir / "broken.xml"}, home);
  EXPECT_EQ(broken.status, 1);
  EXPECT_NE(broken.out.find("Your XML Document failed to load"), std::string::npos) << broken.out;
  EXPECT_NE(broken.out.find("Line #:"), std::string::npos);

  MakeCustomerDatabases(source, target, 1);
  Document doc;
  int start = doc.Start();
  int src = doc.Source("SOURCE", SqliteConn(source), "CUSTOMERS");
  doc.Source("source", SqliteConn(source), "CUSTOMERS");  // a caption taken in another case
  doc.End();
  doc.Link(start, src);  // and nothing leads on to END
  CliResult flow = RunCli({"check", doc.Save(dir / "flow.xml")}, home);
  EXPECT_EQ(flow.status, 1);
  EXPECT_NE(flow.out.find("caption \"source\" is taken"), std::string::npos) << flow.out;
  EXPECT_NE(flow.out.find("stop at SOURCE before reaching END"), std::string::npos) << flow.out;
}

TEST_F(PreviewCheck, CheckTriesFormulasWithoutWritingAnythingAnywhere) {
  MakeCustomerDatabases(source, target, 3);
  Document doc;
  int start = doc.Start();
  int src = doc.Source("SOURCE", SqliteConn(source), "CUSTOMERS");
  int dst = doc.Target("TARGET", SqliteConn(target), "CUSTOMERS", "UpdateInsert");
  int end = doc.End();
  doc.Link(start, src);
  doc.Link(src, dst);
  doc.Link(dst, end);
  doc.Map(dst, "CUSTNO", "SOURCE([CUSTNO])", "SOURCE(\"CUSTNO\")");
  doc.Map(dst, "LABEL", "FORMULA!Stamp");
  // Reading TARGET's row opens its connection, as a run's formula would find it.
  doc.Formula("Stamp", "Function Main\r\n  On Error Resume Next\r\n  x = TARGET(\"CUSTNO\")\r\n  SQLExecute \"TARGET\", \"INSERT INTO CUSTOMERS (CUSTNO, NAME) VALUES (99, 'x')\", 0\r\n"
                       "  Main = \"stamped\"\r\nEnd Function");
  std::string path = doc.Save(dir / "writes.xml");
  CliResult checked = RunCli({"check", path}, home);
  EXPECT_EQ(checked.status, 0) << checked.out << checked.err;
  EXPECT_EQ(Scalar(target, "SELECT COUNT(*) FROM CUSTOMERS").ToLong(), 0);
  EXPECT_FALSE(std::filesystem::exists(home + "/executedlogdata.xml"));
  EXPECT_FALSE(std::filesystem::exists(home + "/executeddata.xml"));
}

TEST_F(PreviewCheck, CheckNamesAStepOfAnUnknownType) {
  MakeCustomerDatabases(source, target, 1);
  Document doc = Document::Customers(source, target, "Insert", false, false);
  std::string xml = doc.Xml();
  size_t at = xml.find("type=\"storage\"");
  ASSERT_NE(at, std::string::npos);
  xml.replace(at, 14, "type=\"teleport\"");
  std::ofstream(dir / "teleport.xml") << xml;
  CliResult checked = RunCli({"check", dir / "teleport.xml"}, home);
  EXPECT_EQ(checked.status, 1) << checked.out;
  EXPECT_NE(checked.out.find("FAIL  step k3 \"TARGET\": its type is none of"), std::string::npos) << checked.out;
}

}  // namespace
}  // namespace veldrane::cli::test
