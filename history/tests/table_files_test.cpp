// The history files as they meet the world: damaged files, killed writers,
// long document paths and an execution log that grows by appending.
#include <sys/stat.h>

#include <sstream>

#include "history/cls_log.h"
#include "history/history_tables.h"
#include "history/tests/history_fixture.h"
#include "history/veldrane_data.h"
#include "platform/db/persist_xml.h"

namespace veldrane {
namespace {

using testing::ReadWholeFile;

std::string Trimmed(const Variant& v) {
  std::string s = v.ToString();
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

class TableFiles : public testing::HistoryFolderTest {
 protected:
  void SetUp() override {
    HistoryFolderTest::SetUp();
    cVeldraneData::SetNoticeHandler([this](const std::string& text) { told.push_back(text); });
  }
  void TearDown() override {
    cVeldraneData::SetNoticeHandler(nullptr);
    HistoryFolderTest::TearDown();
  }
  void AddRun(cVeldraneData& store, int32_t id) {
    store.AppendRow(executiondata, [&](ado::Recordset& rs) {
      rs.GetFields().Item(std::string_view("ID")).SetValue(Variant(id));
    });
  }
  std::string SetAsideName() const {
    for (const auto& name : FolderEntries()) {
      if (name.find(".damaged-") != std::string::npos) return File(name);
    }
    return {};
  }
  std::vector<std::string> told;  // notices, as the user would see them
};

TEST_F(TableFiles, ADamagedTableIsToldNamingWhereItWent) {
  struct Case {
    const char* what;
    std::function<void(const std::string&)> damage;
  } cases[] = {
      {"empty", [](const std::string& f) { std::ofstream{f}; }},
      {"cut short", [](const std::string& f) {
         std::string text = ReadWholeFile(f);
         std::ofstream(f, std::ios::trunc) << text.substr(0, text.size() / 2);
       }},
      {"a folder", [](const std::string& f) {
         std::filesystem::remove(f);
         std::filesystem::create_directory(f);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    told.clear();
    cVeldraneData store;
    AddRun(store, 1);
    c.damage(File("executeddata.xml"));
    AddRun(store, 2);
    std::string moved = SetAsideName();
    ASSERT_FALSE(moved.empty());
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find(File("executeddata.xml")), std::string::npos) << told[0];
    EXPECT_NE(told[0].find(moved), std::string::npos) << told[0];
    EXPECT_EQ(store.TakeNotices(), told);
    EXPECT_EQ(cVeldraneData().getRS(executiondata)->RecordCount(), 1);
  }
}

TEST_F(TableFiles, OneUnreadableValueCostsOnlyItsRowAndTheFileIsKept) {
  cVeldraneData store;
  for (int32_t id = 1; id <= 3; ++id) AddRun(store, id);
  std::string path = File("executeddata.xml");
  std::string text = ReadWholeFile(path);
  size_t second = text.find("ID='2'");
  ASSERT_NE(second, std::string::npos);
  text.replace(second, 6, "ID='abc'");
  std::ofstream(path, std::ios::trunc) << text;

  AddRun(store, 4);
  ado::RecordsetRef rs = cVeldraneData().getRS(executiondata);
  std::vector<int32_t> ids;
  for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) ids.push_back(rs->GetFields().Item(Variant(0)).Value().ToLong());
  EXPECT_EQ(ids, (std::vector<int32_t>{1, 3, 4}));
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find("row 2, field 'ID'"), std::string::npos) << told[0];
  EXPECT_EQ(ReadWholeFile(SetAsideName()), text);
}

TEST_F(TableFiles, TheRunLogTellsOfATableItHadToMoveAside) {
  clsLog log;
  log.AddLog("first", false, "doc.xml", "5", 1, true);
  std::ofstream(File("executedlogdata.xml"), std::ios::trunc) << "<xml>";
  log.AddLog("second", false, "doc.xml", "5", 2, true);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(log.Text().find(told[0]), std::string::npos) << log.Text();
  EXPECT_EQ(cVeldraneData().getRS(executionlogdata)->RecordCount(), 1);
}

TEST_F(TableFiles, ALongDocumentPathKeepsItsLast255Characters) {
  std::string path = "/" + std::string(300, 'd') + "/orders-\xc3\xbc.xml";  // ends in a two-byte letter
  clsLog log;
  log.AddLog("failed", false, path, "13", 1, true);
  ado::RecordsetRef rs = cVeldraneData().getRS(executionlogdata);
  ASSERT_EQ(rs->RecordCount(), 1);
  rs->MoveFirst();
  std::string name = Trimmed(rs->GetFields().Item(std::string_view("NAME")).Value());
  EXPECT_EQ(name, history::NameValue(path));
  EXPECT_EQ(name.size(), 256u);  // 255 characters, one of them two bytes
  EXPECT_EQ(path.substr(path.size() - name.size()), name);
}

TEST_F(TableFiles, TheExecutionLogGrowsInPlaceAsAWholeSaveWouldWriteIt) {
  std::string path = File("executedlogdata.xml");
  cVeldraneData store;
  auto add = [&](int32_t first, size_t count) {
    store.AppendRows(executionlogdata, count, [&](ado::Recordset& rs, size_t i) {
      rs.GetFields().Item(std::string_view("RECORD")).SetValue(Variant(static_cast<int32_t>(first + i)));
      rs.GetFields().Item(std::string_view("ERRDESC")).SetValue(Variant("it's <bad> & \"odd\""));
    });
  };
  add(1, 2);
  // Held open across the appends: a file replaced by a rewrite would leave
  // this one with the old text.
  std::ifstream held(path, std::ios::binary);
  add(3, 3);
  add(6, 1);
  std::stringstream seen;
  seen << held.rdbuf();
  EXPECT_EQ(seen.str(), ReadWholeFile(path)) << "appended in place, not rewritten";

  ado::RecordsetRef rs = cVeldraneData().getRS(executionlogdata);
  ASSERT_EQ(rs->RecordCount(), 6);
  rs->MoveLast();
  EXPECT_EQ(rs->GetFields().Item(std::string_view("RECORD")).Value().ToLong(), 6);
  // Byte for byte what saving the whole table writes.
  std::string appended = ReadWholeFile(path);
  rs->Save(File("whole.xml"));
  EXPECT_EQ(appended, ReadWholeFile(File("whole.xml")));
  EXPECT_FALSE(std::filesystem::exists(path + ".append"));
}

TEST_F(TableFiles, AnAppendACrashInterruptedIsUndoneByTheNextWriter) {
  std::string path = File("executedlogdata.xml");
  cVeldraneData store;
  store.AppendRow(executionlogdata, [](ado::Recordset&) {});
  std::string before = ReadWholeFile(path);
  // What a writer killed mid-append leaves: its journal and half its rows.
  size_t offset = before.size() - ado::kDataEnd.size();
  std::ofstream(path + ".append") << "veldrane-append " << offset << " " << ado::kDataEnd.size() << "\n"
                                  << ado::kDataEnd;
  std::ofstream(path, std::ios::in | std::ios::out | std::ios::ate).seekp(static_cast<std::streamoff>(offset))
      << "\t<z:row RECORD='9' NAME='hal";
  EXPECT_NE(ReadWholeFile(path), before);

  EXPECT_EQ(cVeldraneData().getRS(executionlogdata)->RecordCount(), 1);  // recovered under the lock
  EXPECT_EQ(ReadWholeFile(path), before);
  store.AppendRow(executionlogdata, [](ado::Recordset&) {});
  EXPECT_EQ(cVeldraneData().getRS(executionlogdata)->RecordCount(), 2);
  EXPECT_TRUE(told.empty());
}

TEST_F(TableFiles, ALogInAnotherWritersLayoutIsRewrittenOnceThenAppended) {
  // Written by another tool: CR LF line ends, so it does not end as ours do.
  std::string path = File("executedlogdata.xml");
  cVeldraneData store;
  store.AppendRow(executionlogdata, [](ado::Recordset&) {});
  std::string text = ReadWholeFile(path), crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  std::ofstream(path, std::ios::trunc | std::ios::binary) << crlf;
  store.AppendRow(executionlogdata, [](ado::Recordset&) {});
  store.AppendRow(executionlogdata, [](ado::Recordset&) {});
  EXPECT_EQ(cVeldraneData().getRS(executionlogdata)->RecordCount(), 3);
  EXPECT_TRUE(told.empty());
}

}  // namespace
}  // namespace veldrane
