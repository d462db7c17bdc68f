#include "history/cls_log.h"

#include <chrono>
#include <regex>
#include <thread>

#include "core/oadate.h"
#include "history/tests/history_fixture.h"
#include "history/veldrane_data.h"

namespace veldrane {
namespace {

using testing::ErrorOf;
using testing::ReadWholeFile;

std::string Trimmed(const Variant& v) {
  std::string s = v.ToString();
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

bool IsStamped(const std::string& text, const std::string& message) {
  static const std::regex stamp(R"(^\d\d:\d\d:\d\d\.\d\d: )");
  return std::regex_search(text, stamp) && text.substr(13) == message;
}

TEST(StampLogEntry, WritesTimeHundredthsAndMessage) {
  struct Row {
    DateParts at;
    const char* expected;
  } rows[] = {
      {{2024, 5, 6, 14, 3, 7, 250}, "14:03:07.25: Done"},
      {{2024, 5, 6, 0, 0, 0, 0}, "00:00:00.00: Done"},
      {{2024, 5, 6, 9, 5, 1, 5}, "09:05:01.01: Done"},    // .005 rounds up, as "#0.00" does
      {{2024, 5, 6, 9, 5, 1, 994}, "09:05:01.99: Done"},
      {{2024, 5, 6, 23, 59, 59, 996}, "23:59:59.00: Done"},  // the seconds text rounds to 86400.00
  };
  for (const auto& row : rows) {
    EXPECT_EQ(StampLogEntry(OaFromParts(row.at), "Done"), row.expected);
  }
}

TEST(ClsLog, EntriesAreJoinedWithCrLfAndOnlyStampingChangesTheCaller) {
  clsLog log;
  EXPECT_EQ(log.Text(), "");
  EXPECT_FALSE(log.IsCritical());
  std::string a = "a", b = "b";
  log.AddLog(a);
  log.AddLog(b, false);
  EXPECT_EQ(log.Text(), "\r\na\r\nb");
  EXPECT_EQ(a, "a");

  std::string c = "Done";
  log.AddLog(c, true);
  EXPECT_TRUE(IsStamped(c, "Done")) << c;
  EXPECT_EQ(log.Text(), "\r\na\r\nb\r\n" + c);
  log.AddLog("literal");  // a value the caller does not need back
  EXPECT_EQ(log.Text().substr(log.Text().size() - 9), "\r\nliteral");
}

TEST(ClsLog, CriticalEntriesRaiseExactlyOneEventAndStayCritical) {
  clsLog log;
  std::vector<std::string> raised;
  log.LogAdded.connect([&](std::string& text) { raised.push_back(text); });
  std::string val = "CRITICAL ERROR: Error opening connection SOURCE";
  log.AddCritical(val, true);
  ASSERT_EQ(raised.size(), 1u);
  EXPECT_TRUE(IsStamped(val, "CRITICAL ERROR: Error opening connection SOURCE")) << val;
  EXPECT_EQ(raised[0], val);
  EXPECT_TRUE(log.IsCritical());
  log.AddLog("after");
  log.AddCritical("again");
  EXPECT_TRUE(log.IsCritical());
  ASSERT_EQ(raised.size(), 2u);
  EXPECT_EQ(raised[1], "again");
  EXPECT_EQ(log.Text(), "\r\n" + val + "\r\nafter\r\nagain");
}

using ClsLogHistory = testing::HistoryFolderTest;

TEST_F(ClsLogHistory, WithoutSaveRecordNoFileIsTouched) {
  clsLog log;
  log.AddLog("x", true, "int.xml", "13", 4, false);
  EXPECT_TRUE(FolderEntries().empty());
}

TEST_F(ClsLogHistory, SaveRecordAppendsTheExecutionLogRow) {
  clsLog log;
  std::string val = "Mapping CUSTNO Type mismatch";
  double before = OaNow();
  log.AddLog(val, true, "/data/orders.xml", "13", 7, true);
  double after = OaNow();
  ASSERT_TRUE(std::filesystem::exists(File("executedlogdata.xml")));

  ado::RecordsetRef rs = cVeldraneData().getRS(executionlogdata);
  ASSERT_EQ(rs->GetFields().Count(), 6);
  ASSERT_EQ(rs->RecordCount(), 1);
  rs->MoveFirst();
  ado::Fields& f = rs->GetFields();
  EXPECT_TRUE(f.Item(std::string_view("ID")).Value().IsNull());
  EXPECT_EQ(f.Item(std::string_view("RECORD")).Value().ToLong(), 7);
  EXPECT_EQ(Trimmed(f.Item(std::string_view("NAME")).Value()), "/data/orders.xml");
  double runtime = f.Item(std::string_view("RUNTIME")).Value().ToDate();
  EXPECT_GE(runtime, before - 1.0 / 86400);  // the file keeps whole seconds
  EXPECT_LE(runtime, after);
  EXPECT_EQ(f.Item(std::string_view("ERRNUMBER")).Value().ToLong(), 13);
  EXPECT_EQ(Trimmed(f.Item(std::string_view("ERRDESC")).Value()), val);

  log.AddLog("second", false, "/data/orders.xml", "-2147217900", 8, true);
  rs = cVeldraneData().getRS(executionlogdata);
  EXPECT_EQ(rs->RecordCount(), 2);
  rs->MoveLast();
  EXPECT_EQ(rs->GetFields().Item(std::string_view("ERRNUMBER")).Value().ToDouble(), -2147217900.0);
}

TEST_F(ClsLogHistory, HeldRowsAreWrittenTogether) {
  clsLog log;
  log.HoldRows(true);
  log.AddLog("first", false, "a.xml", "5", 1, true);
  log.AddLog("second", false, std::string(300, 'n'), "5", 2, true);  // a NAME cut to fit, not refused
  log.AddLog("third", false, "a.xml", "5", 3, true);
  EXPECT_FALSE(std::filesystem::exists(File("executedlogdata.xml")));
  log.Flush();
  ado::RecordsetRef rs = cVeldraneData().getRS(executionlogdata);
  ASSERT_EQ(rs->RecordCount(), 3);
  rs->MoveLast();
  EXPECT_EQ(rs->GetFields().Item(std::string_view("RECORD")).Value().ToLong(), 3);

  // A thousand held rows go out without waiting for the end of the hold.
  for (int i = 0; i < 1000; ++i) log.AddLog("many", false, "a.xml", "5", 10 + i, true);
  EXPECT_EQ(cVeldraneData().getRS(executionlogdata)->RecordCount(), 1003);
  log.AddLog("last", false, "a.xml", "5", 2000, true);
  EXPECT_EQ(cVeldraneData().getRS(executionlogdata)->RecordCount(), 1003);
  log.HoldRows(false);
  EXPECT_EQ(cVeldraneData().getRS(executionlogdata)->RecordCount(), 1004);
  EXPECT_NE(log.Text().find("second"), std::string::npos);  // the text keeps every entry
}

TEST_F(ClsLogHistory, AHeldRowGoesOutAfterTwoSecondsWithoutAnotherToPushIt) {
  clsLog log;
  log.HoldRows(true);
  log.AddLog("alone", false, "a.xml", "5", 1, true);
  log.FlushIfDue();
  EXPECT_FALSE(std::filesystem::exists(File("executedlogdata.xml")));
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  log.FlushIfDue();
  EXPECT_EQ(cVeldraneData().getRS(executionlogdata)->RecordCount(), 1);
}

TEST_F(ClsLogHistory, EmptyErrNumberLeavesTheFieldEmptyAndTextIsRefused) {
  clsLog log;
  log.AddLog("no number", false, "", "", 0, true);
  ado::RecordsetRef rs = cVeldraneData().getRS(executionlogdata);
  ASSERT_EQ(rs->RecordCount(), 1);
  rs->MoveFirst();
  EXPECT_TRUE(rs->GetFields().Item(std::string_view("ERRNUMBER")).Value().IsNull());

  EXPECT_EQ(ErrorOf([&] { log.AddLog("bad", false, "", "abc", 0, true); }), 13);
  // The entry is in the text already; no row was written.
  EXPECT_EQ(log.Text(), "\r\nno number\r\nbad");
  EXPECT_EQ(cVeldraneData().getRS(executionlogdata)->RecordCount(), 1);
}

TEST_F(ClsLogHistory, ALongEntryIsCutForErrDescAndKeptWholeInTheText) {
  clsLog log;
  std::string val;
  for (int i = 0; i < 300; ++i) val += (i % 2 ? "\xC3\xA9" : "x");  // "é" is two bytes, one character
  log.AddLog(val, false, "", "5", 1, true);
  EXPECT_EQ(log.Text(), "\r\n" + val);
  ado::RecordsetRef rs = cVeldraneData().getRS(executionlogdata);
  rs->MoveFirst();
  std::string stored = Trimmed(rs->GetFields().Item(std::string_view("ERRDESC")).Value());
  EXPECT_EQ(stored, val.substr(0, 128 + 127 * 2));  // 128 "x" and 127 "é"
}

TEST_F(ClsLogHistory, SaveLogAppendsTheWholeTextEachTime) {
  clsLog log;
  log.AddLog("a");
  log.AddLog("b");
  std::string path = File("run.log");
  std::ofstream(path, std::ios::binary) << "earlier\r\n";
  log.SaveLog(path);
  log.SaveLog(path);
  EXPECT_EQ(ReadWholeFile(path), "earlier\r\n\r\na\r\nb\r\n\r\na\r\nb\r\n");
  EXPECT_EQ(log.Text(), "\r\na\r\nb");
  EXPECT_EQ(ErrorOf([&] { log.SaveLog(""); }), 75);
  EXPECT_EQ(ErrorOf([&] { log.SaveLog(File("missing/run.log")); }), 76);
}

TEST(ClsLogScript, AddLogWritesTheStampedTextBackToTheArgument) {
  clsLog log;
  std::vector<Variant> args = {Variant("Done"), Variant(true)};
  log.Invoke("addlog", InvokeKind::Get, args);
  EXPECT_TRUE(IsStamped(args[0].ToString(), "Done")) << args[0].ToString();
  std::vector<Variant> none;
  EXPECT_FALSE(log.Invoke("IsCritical", InvokeKind::Get, none).ToBool());
}

}  // namespace
}  // namespace veldrane
