// `veldrane new`, `render`, `history` and `connections`: the files they
// write and what they print.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "cli/tests/cli_harness.h"
#include "core/oadate.h"
#include "history/veldrane_data.h"
#include "platform/xml/xml_dom.h"

namespace veldrane::cli::test {
namespace {

class Documents : public ::testing::Test {
 protected:
  TempDir dir;
  std::string home = dir / "home";
};

// Elements named `name` with attribute class = `cls`, anywhere below `node`.
int CountElements(const xml::Node& node, const std::string& name, const std::string& cls) {
  int count = 0;
  for (const xml::Node& child : node.childNodes()) {
    if (child.nodeType() != xml::Node::Type::Element) continue;
    if (child.nodeName() == name && child.attribute("class") == cls) ++count;
    count += CountElements(child, name, cls);
  }
  return count;
}

TEST_F(Documents, NewWritesTheTemplateAndRefusesToOverwrite) {
  std::string doc = dir / "fresh.xml";
  CliResult made = RunCli({"new", doc}, home);
  ASSERT_EQ(made.status, 0) << made.out << made.err;
  CliResult check = RunCli({"check", doc}, home);
  EXPECT_NE(check.out.find("Steps (4):"), std::string::npos) << check.out;
  EXPECT_NE(check.out.find("UpdateInsert into"), std::string::npos);
  EXPECT_NE(check.out.find("START -> SOURCE"), std::string::npos);

  CliResult again = RunCli({"new", doc}, home);
  EXPECT_EQ(again.status, 2);
  EXPECT_NE(again.err.find("--force"), std::string::npos) << again.err;
  EXPECT_EQ(RunCli({"new", "--force", doc}, home).status, 0);
  EXPECT_EQ(RunCli({"new", dir / "no/such/folder/x.xml"}, home).status, 2);
}

TEST_F(Documents, RenderDrawsOneShapePerStepAndOnePathPerLink) {
  Document doc;
  int start = doc.Start();
  int src = doc.Source("SOURCE", "Provider=SQLite;Data Source=x.db", "T");
  int decide = doc.Decision("BIG?", "x > 1");
  int dst = doc.Target("TARGET", "Provider=SQLite;Data Source=y.db", "T", "Insert");
  int end = doc.End();
  doc.Link(start, src);
  doc.Link(src, decide);
  doc.Link(decide, dst, "yes");
  doc.Link(decide, end, "no & done");
  doc.Link(dst, end);
  std::string svg_path = dir / "flow.svg";

  CliResult render = RunCli({"render", doc.Save(dir / "flow.xml"), "-o", svg_path}, home);

  ASSERT_EQ(render.status, 0) << render.out << render.err;
  xml::Document svg;
  ASSERT_TRUE(svg.load(svg_path)) << svg.parseError().reason;
  xml::Node root = svg.documentElement();
  EXPECT_EQ(root.nodeName(), "svg");
  EXPECT_EQ(CountElements(root, "g", "step"), 5);
  EXPECT_EQ(CountElements(root, "path", "link"), 5);
  EXPECT_EQ(CountElements(root, "circle", "end"), 5);  // every link ends in a dot
  std::string text = root.text();
  for (const char* caption : {"START", "SOURCE", "BIG?", "TARGET", "END", "yes", "no & done"}) {
    EXPECT_NE(text.find(caption), std::string::npos) << caption;
  }

  CliResult missing = RunCli({"render", dir / "none.xml", "-o", svg_path}, home);
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("none.xml"), std::string::npos);
}

class History : public Documents {
 protected:
  // Appends rows to a history table of `home` through the library.
  void AddRow(kindrecordset table, const std::function<void(ado::Recordset&)>& fill) {
    std::filesystem::create_directories(home);
    ::setenv("VELDRANE_HOME", home.c_str(), 1);
    cVeldraneData().AppendRow(table, fill);
  }
  void AddRun(int id, double days_ago, const std::string& name) {
    AddRow(executiondata, [&](ado::Recordset& rs) {
      rs.GetFields().Item("ID").SetValue(Variant(id));
      rs.GetFields().Item("NAME").SetValue(Variant(name));
      rs.GetFields().Item("RUNTIME").SetValue(Variant::Date(OaNow() - days_ago));
      rs.GetFields().Item("END").SetValue(Variant::Date(OaNow() - days_ago));
      rs.GetFields().Item("ROWS").SetValue(Variant(int32_t{10}));
    });
  }
};

TEST_F(History, ShowsRunsAndErrorsAsTableAndJson) {
  CliResult empty = RunCli({"history"}, home);
  EXPECT_EQ(empty.status, 0);
  EXPECT_NE(empty.out.find("no runs recorded"), std::string::npos) << empty.out;

  for (int i = 1; i <= 5; ++i) AddRun(i, 5 - i, "run" + std::to_string(i) + ".xml");
  AddRow(executionlogdata, [](ado::Recordset& rs) {
    rs.GetFields().Item("RECORD").SetValue(Variant(int32_t{7}));
    rs.GetFields().Item("NAME").SetValue(Variant("run5.xml"));
    rs.GetFields().Item("RUNTIME").SetValue(Variant::Date(OaNow()));
    rs.GetFields().Item("ERRNUMBER").SetValue(Variant(int32_t{3021}));
    rs.GetFields().Item("ERRDESC").SetValue(Variant("no current record"));
  });

  CliResult runs = RunCli({"history", "runs", "--limit", "2"}, home);
  EXPECT_EQ(runs.status, 0) << runs.err;
  EXPECT_NE(runs.out.find("RINSERTS"), std::string::npos);
  EXPECT_EQ(runs.out.find("run3.xml"), std::string::npos) << "only the last two";
  EXPECT_NE(runs.out.find("run4.xml"), std::string::npos);
  EXPECT_NE(runs.out.find("(2 of 5 runs"), std::string::npos) << runs.out;

  CliResult errors = RunCli({"history", "errors", "--json"}, home);
  EXPECT_EQ(errors.status, 0);
  EXPECT_NE(errors.out.find("\"ERRNUMBER\": 3021"), std::string::npos) << errors.out;
  EXPECT_NE(errors.out.find("\"ERRDESC\": \"no current record\""), std::string::npos) << errors.out;
  EXPECT_EQ(errors.out.front(), '[');
}

TEST_F(History, PruneRemovesOldRowsAndKeepsRunNumbersUnique) {
  AddRun(1, 40, "old1.xml");
  AddRun(2, 35, "old2.xml");
  AddRun(3, 2, "new3.xml");
  AddRun(4, 1, "new4.xml");

  CliResult prune = RunCli({"history", "prune", "--older-than", "30"}, home);
  ASSERT_EQ(prune.status, 0) << prune.out << prune.err;
  EXPECT_NE(prune.out.find("removed 2 runs"), std::string::npos) << prune.out;

  CliResult runs = RunCli({"history", "--json"}, home);
  EXPECT_EQ(runs.out.find("old1.xml"), std::string::npos);
  EXPECT_NE(runs.out.find("new4.xml"), std::string::npos);
  // The runs that stay are numbered 1 and 2: a next run gets 3, unused.
  EXPECT_NE(runs.out.find("\"ID\": 1, \"NAME\": \"new3.xml\""), std::string::npos) << runs.out;
  EXPECT_NE(runs.out.find("\"ID\": 2, \"NAME\": \"new4.xml\""), std::string::npos) << runs.out;

  EXPECT_EQ(RunCli({"history", "prune"}, home).status, 2);
  EXPECT_EQ(RunCli({"history", "prune", "--older-than", "-3"}, home).status, 2);
}

TEST_F(Documents, ConnectionsAreAddedListedShownAndRemoved) {
  std::string file = dir / "connections.cnn";
  auto cli = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"--connections", file});
    return RunCli(args, home);
  };
  EXPECT_NE(cli({"connections", "list"}).out.find("no connections"), std::string::npos);
  ASSERT_EQ(cli({"connections", "add", "shop", "Provider=SQLite;Data Source=" + (dir / "shop.db")}).status, 0);
  ASSERT_EQ(cli({"connections", "add", "crm", "Provider=PostgreSQL;Host=db;User ID=me;Password=secret"}).status, 0);
  EXPECT_TRUE(std::filesystem::exists(file));

  CliResult list = cli({"connections", "list"});
  EXPECT_NE(list.out.find("shop"), std::string::npos);
  EXPECT_NE(list.out.find("Password=***"), std::string::npos) << list.out;
  EXPECT_EQ(list.out.find("secret"), std::string::npos);
  EXPECT_NE(cli({"connections", "show", "CRM"}).out.find("Password=secret"), std::string::npos);

  CliResult duplicate = cli({"connections", "add", "Shop", "Provider=SQLite;Data Source=z.db"});
  EXPECT_EQ(duplicate.status, 1);
  EXPECT_NE(duplicate.err.find("--replace"), std::string::npos);
  EXPECT_EQ(cli({"connections", "test", "shop"}).status, 1) << "shop.db does not exist";

  ASSERT_EQ(cli({"connections", "remove", "shop"}).status, 0);
  EXPECT_EQ(cli({"connections", "show", "shop"}).status, 1);
  EXPECT_EQ(cli({"connections", "remove", "shop"}).status, 1);
  EXPECT_NE(cli({"connections", "list"}).out.find("crm"), std::string::npos);
  // Another process, the library itself, reads what we wrote.
  EXPECT_EQ(RunCli({"--connections", dir.path(), "connections", "show", "crm"}, home).status, 0);
  EXPECT_EQ(RunCli({"--connections", dir / "other.xml", "connections", "list"}, home).status, 2);
  EXPECT_EQ(cli({"connections"}).status, 2);
}

}  // namespace
}  // namespace veldrane::cli::test

namespace veldrane::cli::test {
namespace {

TEST(Script, RunsAFileWithTheEngineRunnerAndKeepsItsStatus) {
  std::filesystem::path runner = std::filesystem::path(VELDRANE_CLI_PATH).parent_path() / "veldrane-script";
  if (!std::filesystem::exists(runner)) GTEST_SKIP() << "veldrane-script is not built beside veldrane";
  TempDir dir;
  std::ofstream(dir / "ok.vbs") << "WScript.Echo \"answer \" & (6 * 7) & \" \" & WScript.Arguments.Count\n";
  std::ofstream(dir / "bad.vbs") << "x = (1 +\n";
  CliResult ok = RunCli({"script", dir / "ok.vbs", "first"}, dir.path());
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(ok.out, "answer 42 1\n");
  CliResult bad = RunCli({"script", dir / "bad.vbs"}, dir.path());
  EXPECT_NE(bad.status, 0);
  EXPECT_NE(bad.err.find("Syntax error"), std::string::npos) << bad.err;
  EXPECT_EQ(RunCli({"script", dir / "none.vbs"}, dir.path()).status, 2);
}

}  // namespace
}  // namespace veldrane::cli::test
