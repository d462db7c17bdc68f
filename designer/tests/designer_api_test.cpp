// The designer server through a real HTTP client on the loopback interface:
// who it answers, what each gesture does to the library's window and model,
// what it saves, and what a run reports.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>

#include "designer/tests/designer_test_support.h"
#include "engine/cls_process.h"
#include "formulas/c_formulas.h"

namespace veldrane::designer::test {
namespace {

using cli::test::Document;
using cli::test::MakeCustomerDatabases;
using cli::test::TempDir;

// The events of run `run`, read as the page's event source reads them.
std::vector<json> RunEvents(Designer& designer, int run) {
  std::vector<json> events;
  auto client = designer.Bare();
  std::string buffer;
  client.Get(("/api/run/events?run=" + std::to_string(run)).c_str(), {{"X-Veldrane-Token", designer.token()}},
             [&](const char* data, size_t size) {
               buffer.append(data, size);
               for (size_t at; (at = buffer.find("\n\n")) != std::string::npos; buffer.erase(0, at + 2)) {
                 std::string block = buffer.substr(0, at);
                 size_t data_at = block.find("data: ");
                 if (data_at != std::string::npos) events.push_back(json::parse(block.substr(data_at + 6)));
               }
               return true;
             });
  return events;
}

class DesignerApi : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeCustomerDatabases(dir / "source.db", dir / "target.db", 25);
    document = Document::Customers(dir / "source.db", dir / "target.db", "UpdateInsert", true, true).Save(dir / "doc.xml");
    designer = std::make_unique<Designer>(dir, document);
  }

  TempDir dir;
  std::string document;
  std::unique_ptr<Designer> designer;
};

TEST_F(DesignerApi, RefusesRequestsWithoutTheTokenOrFromElsewhere) {
  auto client = designer->Bare();
  std::string ours = "127.0.0.1:" + std::to_string(designer->port());
  const std::string& token = designer->token();

  auto no_token = client.Get("/api/state");
  ASSERT_TRUE(no_token);
  EXPECT_EQ(no_token->status, 403);
  EXPECT_NE(no_token->body.find("token"), std::string::npos);
  EXPECT_EQ(client.Get("/api/state", {{"X-Veldrane-Token", token + "0"}})->status, 403);
  EXPECT_EQ(client.Get("/")->status, 403);

  // The token in the address opens the page and gives it the cookie that
  // its module and event requests carry.
  auto page = client.Get(("/?token=" + token).c_str());
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("<svg id=\"canvas\""), std::string::npos);
  std::string cookie = page->get_header_value("Set-Cookie");
  EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
  std::string cookie_pair = cookie.substr(0, cookie.find(';'));
  EXPECT_EQ(client.Get("/web/app.js", {{"Cookie", cookie_pair}})->status, 200);
  EXPECT_EQ(client.Get("/web/app.js")->status, 403);

  // A rebinding page reaches us under its own name; a foreign page sends its
  // origin; both are refused even with the token.
  EXPECT_EQ(client.Get("/api/state", {{"X-Veldrane-Token", token}, {"Host", "evil.example:" + std::to_string(designer->port())}})->status, 421);
  EXPECT_EQ(client.Get("/api/state", {{"X-Veldrane-Token", token}, {"Host", "127.0.0.1:1"}})->status, 421);
  EXPECT_EQ(client.Get("/api/state", {{"X-Veldrane-Token", token}, {"Origin", "http://evil.example"}})->status, 403);
  EXPECT_EQ(client.Get("/api/state", {{"X-Veldrane-Token", token}, {"Sec-Fetch-Site", "cross-site"}})->status, 403);
  EXPECT_EQ(client.Get("/api/state", {{"X-Veldrane-Token", token}, {"Origin", "http://" + ours}})->status, 200);
  EXPECT_EQ(client.Get("/api/state", {{"X-Veldrane-Token", token}, {"Host", "localhost:" + std::to_string(designer->port())}})->status, 200);

  // A change needs the header itself: the cookie alone is what a forged
  // form would carry.
  auto forged = client.Post("/api/save", {{"Cookie", cookie_pair}}, "{}", "application/json");
  EXPECT_EQ(forged->status, 403);
  auto query_only = client.Post(("/api/save?token=" + token).c_str(), "{}", "application/json");
  EXPECT_EQ(query_only->status, 403);

  // Only the page's own files are served.
  EXPECT_EQ(client.Get("/web/../doc.xml", {{"X-Veldrane-Token", token}})->status, 404);
  EXPECT_EQ(client.Get("/web/%2e%2e/doc.xml", {{"X-Veldrane-Token", token}})->status, 404);
}

TEST_F(DesignerApi, ShowsTheDocumentAsTheLibraryPlacesIt) {
  json state = designer->State();
  EXPECT_EQ(state["name"], "doc.xml");
  EXPECT_EQ(state["dirty"], false);
  ASSERT_EQ(state["steps"].size(), 4u);
  json target = StepByCaption(state, "TARGET");
  EXPECT_EQ(target["payload"]["kind"], "target");
  EXPECT_EQ(target["payload"]["fields"].size(), 5u);
  EXPECT_EQ(state["links"].size(), 3u);
  // Every step has its picture and caption, every link its line and dot;
  // the barbs stay hidden, as the library leaves them.
  for (const json& step : state["steps"]) {
    int n = step["index"];
    EXPECT_FALSE(Control(state, "shp", n).is_null()) << n;
    EXPECT_EQ(Control(state, "lblShapeCap", n)["caption"], step["caption"]);
  }
  for (const json& link : state["links"]) {
    int n = link["index"];
    EXPECT_FALSE(Control(state, "ln", n).is_null());
    EXPECT_FALSE(Control(state, "aDot", n).is_null());
    EXPECT_TRUE(Control(state, "arrUp", n).is_null());
  }
}

TEST_F(DesignerApi, GesturesBecomeTheLibrarysCalls) {
  json state = designer->State();
  int target = StepByCaption(state, "TARGET")["index"];
  json picture = Control(state, "shp", target);
  float left = picture["left"], top = picture["top"], width = picture["width"], height = picture["height"];

  // A new step straight below the TARGET step, then a link to it: the
  // library routes it from the bottom middle of one to the top middle of
  // the other.
  json added = designer->Post("/api/steps", {{"type", 4}, {"x", left}, {"y", top + 2000}, {"caption", "ARCHIVE"}});
  EXPECT_EQ(added["message"], "");
  EXPECT_EQ(added["state"]["dirty"], true);
  json archive = StepByCaption(added["state"], "ARCHIVE");
  ASSERT_FALSE(archive.is_null());
  int n = archive["index"];
  EXPECT_EQ(Control(added["state"], "shp", n)["picture"], "storage");

  json linked = designer->Post("/api/links", {{"from", std::to_string(target)}, {"to", std::to_string(n)}});
  EXPECT_EQ(linked["message"], "");
  ASSERT_EQ(linked["state"]["links"].size(), 4u);
  int line = linked["state"]["links"][3]["index"];
  json ln = Control(linked["state"], "ln", line);
  EXPECT_FLOAT_EQ(ln["x1"].get<float>(), left + width / 2);
  EXPECT_FLOAT_EQ(ln["y1"].get<float>(), top + height);
  EXPECT_FLOAT_EQ(ln["x2"].get<float>(), left + width / 2);
  EXPECT_FLOAT_EQ(ln["y2"].get<float>(), top + 2000);

  // Moved far to the right, the step takes its link along: now from the
  // middle of the TARGET's right side to the middle of its left side, and
  // its caption stays centred under it.
  json moved = designer->Post("/api/steps/" + std::to_string(n) + "/move", {{"x", left + 4000}, {"y", top + 2000}});
  ln = Control(moved["state"], "ln", line);
  EXPECT_FLOAT_EQ(ln["x1"].get<float>(), left + width);
  EXPECT_FLOAT_EQ(ln["y1"].get<float>(), top + height / 2);
  EXPECT_FLOAT_EQ(ln["x2"].get<float>(), left + 4000);
  EXPECT_FLOAT_EQ(ln["y2"].get<float>(), top + 2000 + height / 2);
  json label = Control(moved["state"], "lblShapeCap", n);
  EXPECT_FLOAT_EQ(label["left"].get<float>() + label["width"].get<float>() / 2, left + 4000 + width / 2);

  // The library's refusals come back as messages and change nothing.
  json refused = designer->Post("/api/links", {{"from", std::to_string(n)}, {"to", "0"}});
  EXPECT_EQ(refused["message"], "Cannot make a link!!!!");
  EXPECT_EQ(refused["state"]["links"].size(), 4u);
  int start = StepByCaption(state, "START")["index"];
  json kept = designer->Post("/api/steps/" + std::to_string(start) + "/delete");
  EXPECT_EQ(kept["message"], "Cannot delete start or end object.");
  EXPECT_FALSE(StepByCaption(kept["state"], "START").is_null());

  // Captions of links, and deleting links and steps.
  json captioned = designer->Post("/api/links/caption", {{"from", std::to_string(target)}, {"to", std::to_string(n)}, {"caption", "archive"}});
  EXPECT_EQ(Control(captioned["state"], "lblLineCap", line)["caption"], "archive");
  json unlinked = designer->Post("/api/links/delete", {{"from", target}, {"to", n}});
  EXPECT_TRUE(Control(unlinked["state"], "ln", line).is_null());
  json gone = designer->Post("/api/steps/" + std::to_string(n) + "/delete");
  EXPECT_EQ(gone["message"], "");
  EXPECT_TRUE(StepByCaption(gone["state"], "ARCHIVE").is_null());
  EXPECT_TRUE(Control(gone["state"], "shp", n).is_null());

  // A request that does not name what it needs is a bad request.
  designer->Post("/api/steps", {{"x", 1}}, 400);
  designer->Post("/api/steps/999/payload", {{"payload", json::object()}}, 404);
  // 65538 would wrap round to step 2 in 16 bits.
  designer->Post("/api/steps/65538/delete", json::object(), 404);
  designer->Post("/api/steps/99999999999/delete", json::object(), 404);
  EXPECT_EQ(designer->State()["steps"].size(), 4u);
}

TEST_F(DesignerApi, PutsAStepBeforeEnd) {
  json state = designer->State();
  std::string target = std::to_string(StepByCaption(state, "TARGET")["index"].get<int>());
  std::string end = std::to_string(StepByCaption(state, "END")["index"].get<int>());
  json added = designer->Post("/api/steps", {{"type", 4}, {"x", 7000}, {"y", 2000}, {"caption", "LAST"}});
  std::string last = std::to_string(StepByCaption(added["state"], "LAST")["index"].get<int>());
  json moved = designer->Post("/api/steps/" + last + "/insert-at-end");
  EXPECT_EQ(moved["message"], "");
  std::set<std::pair<std::string, std::string>> links;
  for (const json& l : moved["state"]["links"]) links.insert({l["from"].get<std::string>(), l["to"].get<std::string>()});
  EXPECT_TRUE(links.count({target, last}));
  EXPECT_TRUE(links.count({last, end}));
  EXPECT_FALSE(links.count({target, end}));
}

TEST_F(DesignerApi, SavesWhatWasDrawnAndKeepsTheFilesMode) {
  ::chmod(document.c_str(), 0640);
  json state = designer->State();
  int source = StepByCaption(state, "SOURCE")["index"];
  int target = StepByCaption(state, "TARGET")["index"];
  json added = designer->Post("/api/steps", {{"type", 4}, {"x", 4800}, {"y", 3000}, {"caption", "COPY"}});
  int n = StepByCaption(added["state"], "COPY")["index"];
  designer->Post("/api/steps/" + std::to_string(n) + "/caption", {{"caption", "COPY2"}});
  designer->Post("/api/links", {{"from", std::to_string(target)}, {"to", std::to_string(n)}});
  json payload = {{"connName", "wh"}, {"connString", cli::test::SqliteConn(dir / "target.db")}, {"target", "CUSTOMERS"},
                  {"shpOperation", "Insert"},
                  {"fields", {{{"name", "CUSTNO"}, {"type", 3}, {"size", 4}, {"value", "SOURCE([CUSTNO])"}, {"lookup", ""}},
                              {{"name", "NAME"}, {"type", 202}, {"size", 50}, {"value", "FORMULA!Label"}, {"lookup", ""}}}}};
  EXPECT_EQ(designer->Post("/api/steps/" + std::to_string(n) + "/payload", {{"payload", payload}})["message"], "");
  json twice = payload;
  twice["fields"][1]["name"] = "custno";
  EXPECT_NE(designer->Post("/api/steps/" + std::to_string(n) + "/payload", {{"payload", twice}})["message"], "");

  json saved = designer->Post("/api/save");
  EXPECT_EQ(saved["state"]["dirty"], false);
  struct stat st {};
  ASSERT_EQ(::stat(document.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  // The saved document, read back by the library, holds the new step, its
  // link and its mapping.
  clsProcess reread;
  ASSERT_EQ(reread.LoadIntegration(document), "");
  auto steps = reread.Shapes()->Collection();
  ASSERT_EQ(steps->Count(), 5);
  auto copy = steps->Item(5);
  EXPECT_EQ(copy->sCaption(), "COPY2");
  const auto& storage = std::get<tStorage>(copy->objElements);
  EXPECT_EQ(storage.shpOperation, "Insert");
  ASSERT_EQ(storage.fields->Count(), 2);
  EXPECT_EQ(storage.fields->Item(std::string("NAME")).f_value, "FORMULA!Label");
  bool linked = false;
  for (auto& line : *reread.Lines()->Collection()) linked |= line->sFrom() == "3" && line->sTo() == "5";
  EXPECT_TRUE(linked);
  (void)source;
}

TEST_F(DesignerApi, FormulasAreCheckedAndKeptWhileUsed) {
  json check = designer->Post("/api/formulas/check", {{"text", "Function Main\r\n  Main = 1 +\r\nEnd Function"}});
  EXPECT_NE(check["error"], "");
  EXPECT_EQ(check["line"], 2);
  EXPECT_EQ(designer->Post("/api/formulas/check", {{"text", "Function Main\r\n  Main = SOURCE(\"NAME\")\r\nEnd Function"}})["error"], "");

  // Label is mapped into TARGET: it stays.
  EXPECT_NE(designer->Post("/api/formulas/delete", {{"name", "Label"}})["message"], "");
  EXPECT_NE(designer->Post("/api/formulas/rename", {{"name", "Label"}, {"newName", "Tag"}})["message"], "");
  json added = designer->Post("/api/formulas", {{"name", "Spare"}, {"text", "Function Main\r\n  Main = 2\r\nEnd Function"}});
  EXPECT_EQ(added["state"]["formulas"].size(), 2u);
  EXPECT_NE(designer->Post("/api/formulas", {{"name", "spare"}, {"text", ""}})["message"], "");
  EXPECT_EQ(designer->Post("/api/formulas/rename", {{"name", "Spare"}, {"newName", "Extra"}})["message"], "");
  json deleted = designer->Post("/api/formulas/delete", {{"name", "Extra"}});
  EXPECT_EQ(deleted["message"], "");
  EXPECT_EQ(deleted["state"]["formulas"].size(), 1u);
}

TEST_F(DesignerApi, ReadsTheDatabaseForThePanels) {
  std::string conn = cli::test::SqliteConn(dir / "target.db");
  EXPECT_EQ(designer->Post("/api/db/test", {{"connString", conn}})["ok"], true);
  json bad = designer->Post("/api/db/test", {{"connString", "Provider=Nowhere"}});
  EXPECT_EQ(bad["ok"], false);
  json tables = designer->Post("/api/db/tables", {{"connString", conn}});
  EXPECT_NE(std::find(tables["tables"].begin(), tables["tables"].end(), "CUSTOMERS"), tables["tables"].end());
  json columns = designer->Post("/api/db/columns", {{"connString", conn}, {"table", "CUSTOMERS"}});
  ASSERT_EQ(columns["columns"].size(), 5u);
  EXPECT_EQ(columns["columns"][0]["name"], "CUSTNO");
  EXPECT_EQ(designer->Get("/api/connections").size(), 0u);
  auto added = cli::test::RunCli({"--connections", dir / "connections.cnn", "connections", "add", "wh", conn}, designer->home());
  ASSERT_EQ(added.status, 0) << added.err;
  json registry = designer->Get("/api/connections");
  ASSERT_EQ(registry.size(), 1u);
  EXPECT_EQ(registry[0]["name"], "wh");
  EXPECT_EQ(registry[0]["connString"], conn);
}

TEST_F(DesignerApi, RunsTheSavedDocumentWithLiveEvents) {
  // A change not yet saved is saved before the run reads the file.
  designer->Post("/api/steps", {{"type", 2}, {"x", 100}, {"y", 3000}, {"caption", "NOTE"}});
  json started = designer->Post("/api/run");
  int run = started["run"];
  EXPECT_GT(run, 0);
  EXPECT_EQ(designer->State()["dirty"], false);

  std::vector<json> events = RunEvents(*designer, run);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front()["type"], "started");
  EXPECT_EQ(events.front()["records"], 25);
  json end = events.back();
  EXPECT_EQ(end["type"], "end");
  EXPECT_EQ(end["completed"], true);
  EXPECT_EQ(end["record"], 25);
  EXPECT_EQ(end["counters"][0]["kind"], "Insert");
  EXPECT_EQ(end["counters"][0]["success"], 25) << end.dump();
  ASSERT_TRUE(end.contains("history"));
  EXPECT_EQ(cli::test::Scalar(dir / "target.db", "SELECT COUNT(*) FROM CUSTOMERS").ToString(), "25");

  json history = designer->Get("/api/history?kind=runs");
  EXPECT_EQ(history["rows"].size(), 1u);
}

TEST(DesignerRun, StopsWhenCancelledAndRunsOneAtATime) {
  TempDir dir;
  MakeCustomerDatabases(dir / "source.db", dir / "target.db", 20000);
  std::string doc = Document::Customers(dir / "source.db", dir / "target.db", "Insert", false, true).Save(dir / "doc.xml");
  Designer designer(dir, doc);
  int run = designer.Post("/api/run")["run"];
  // The cancel is seen at the next step of the run, wherever it is.
  designer.Post("/api/run/cancel");
  designer.Post("/api/run", json::object(), 409);
  std::vector<json> events = RunEvents(designer, run);
  ASSERT_FALSE(events.empty());
  json end = events.back();
  EXPECT_EQ(end["cancelled"], true);
  EXPECT_EQ(end["completed"], true);
  EXPECT_LT(end["record"].get<int>(), 20000);
  EXPECT_NE(end["log"].get<std::string>().find("Execution Stopped by user request"), std::string::npos) << end["log"];
  EXPECT_EQ(end["history"]["RESULT"], "Cancelled") << end["history"];
  // A later run starts afresh.
  EXPECT_EQ(designer.Post("/api/run")["run"], run + 1);
  EXPECT_EQ(RunEvents(designer, run + 1).back()["cancelled"], false);
}

TEST_F(DesignerApi, ChecksAndPreviewsAsTheCommandDoes) {
  json check = designer->Post("/api/check");
  EXPECT_EQ(check["status"], 0) << check["output"];
  json preview = designer->Post("/api/preview", {{"records", 2}});
  std::string shown = preview["output"];
  EXPECT_NE(shown.find("UpdateInsert  inserted"), std::string::npos) << shown;
  EXPECT_NE(shown.find("2 of 25 records previewed"), std::string::npos) << shown;
  EXPECT_EQ(cli::test::Scalar(dir / "target.db", "SELECT COUNT(*) FROM CUSTOMERS").ToString(), "0");

  // A TARGET whose table does not exist: the check names the step.
  json state = designer->State();
  int target = StepByCaption(state, "TARGET")["index"];
  json payload = StepByCaption(state, "TARGET")["payload"];
  payload["target"] = "NO_SUCH_TABLE";
  designer->Post("/api/steps/" + std::to_string(target) + "/payload", {{"payload", payload}});
  check = designer->Post("/api/check");
  EXPECT_EQ(check["status"], 1);
  EXPECT_NE(check["output"].get<std::string>().find("TARGET: the target table \"NO_SUCH_TABLE\""), std::string::npos)
      << check["output"];
}

TEST(DesignerNewDocument, StartsFromTheTemplateAndIsWrittenOnSave) {
  TempDir dir;
  std::string path = dir / "new.xml";
  Designer designer(dir, path);
  json state = designer.State();
  EXPECT_EQ(state["dirty"], true);
  ASSERT_EQ(state["steps"].size(), 4u);
  EXPECT_EQ(state["steps"][3]["caption"], "SOURCE");
  EXPECT_EQ(state["links"].size(), 3u);
  EXPECT_FALSE(std::filesystem::exists(path));
  designer.Post("/api/save");
  clsProcess reread;
  ASSERT_EQ(reread.LoadIntegration(path), "");
  EXPECT_EQ(reread.Shapes()->Collection()->Count(), 4);
  EXPECT_EQ(reread.Lines()->Count(), 3);
}

TEST(DesignerNewDocument, SavesThroughASymbolicLinkIntoTheFileItNames) {
  TempDir dir;
  std::filesystem::create_directories(dir / "real");
  // One link to a document that exists, one to a document yet to be made.
  Document().Save(dir / "real/doc.xml");
  std::filesystem::create_symlink("real/doc.xml", dir / "doc.xml");
  std::filesystem::create_symlink(dir / "real/new.xml", dir / "new.xml");
  for (const char* name : {"doc.xml", "new.xml"}) {
    Designer designer(dir, dir / name);
    designer.Post("/api/steps", {{"type", 2}, {"x", 100}, {"y", 100}, {"caption", "NOTE"}});
    designer.Post("/api/save");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / name)) << name;
    clsProcess reread;
    ASSERT_EQ(reread.LoadIntegration(dir / ("real/" + std::string(name))), "") << name;
    EXPECT_EQ(reread.Shapes()->Collection()->Count(), std::string(name) == "doc.xml" ? 1 : 5) << name;
  }
}

TEST(DesignerNewDocument, RefusesADocumentThatDoesNotLoad) {
  TempDir dir;
  std::string path = dir / "broken.xml";
  FILE* f = std::fopen(path.c_str(), "w");
  std::fputs("<veldrane><nodes><node type='start'/>", f);
  std::fclose(f);
  EXPECT_THROW(Designer(dir, path), std::runtime_error);
}

}  // namespace
}  // namespace veldrane::designer::test
