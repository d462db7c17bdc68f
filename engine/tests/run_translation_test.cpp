// The run's user-facing texts go through the translation database: with a
// German keyboard layout and the database beside the library, the critical
// connection message, the cancel message, the Null-lookup message and the
// formula check's line label read in German.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "engine/tests/run_test_support.h"

namespace veldrane::run_testing {
namespace {

using ::testing::HasSubstr;

class TranslatedRunTest : public RunFixture {};

TEST_F(TranslatedRunTest, MessagesReadInTheUsersLanguage) {
  const char* build = std::getenv("VELDRANE_BUILD_DIR");
  ASSERT_TRUE(build) << "VELDRANE_BUILD_DIR is not set";
  // A copy: looking texts up records the missing ones in the database.
  std::filesystem::copy_file(std::string(build) + "/lib/VeldraneLang.mdb", library + "/VeldraneLang.mdb");
  registry->Set(host::kKeyboardLayoutValue, "00000407");
  std::string src = SqliteDatabase("src", "CREATE TABLE SRC (ID INTEGER, K TEXT); INSERT INTO SRC VALUES (1, NULL), (2, 'b')");
  std::string dst = SqliteDatabase("dst", "CREATE TABLE DST (ID INTEGER, K TEXT)");

  // Each thread opens the translation database once; a fresh thread sees
  // this test's folder whatever the tests before it did.
  std::thread([&] {
    clsProcess p;
    FlowBuilder flow(p);
    flow.Chain({flow.Step(aStart, "START"), flow.Source("SOURCE", "s", src, "SRC"),
                flow.Target("TARGET", "d", dst, "DST", "UpdateInsert",
                            {Mapping("ID", "SOURCE([ID])"), Mapping("K", "SOURCE([K])", "SOURCE(\"K\")")}),
                flow.Step(aStop, "END")});
    p.StatisticsAdded.connect([&](tStatistic&) { p.CancelExec(); });
    p.Run();
    const std::string& log = p.Log()->Text();
    EXPECT_THAT(log, HasSubstr("SOURCE(\"K\") --> K Nachschlagen ist mit einem NULL-Wert nicht möglich"));
    EXPECT_THAT(log, HasSubstr(": Ausführung auf Anforderung des Benutzers angehalten"));
    EXPECT_EQ(p.CheckFormula("Function Main\r\n  Main = (\r\nEnd Function"), "Syntax error -   Main = ( - in Zeile 2");

    clsProcess broken;
    FlowBuilder f(broken);
    f.Chain({f.Step(aStart, "START"), f.Source("SOURCE", "s", src, "SRC"),
             f.Target("TARGET", "x", "Provider=SQLite;Data Source=" + databases + "/missing.db", "DST", "Insert", {}),
             f.Step(aStop, "END")});
    broken.Run();
    EXPECT_THAT(broken.Log()->Text(), HasSubstr("\r\nKRITISCHER FEHLER: Fehler beim Öffnen der Verbindung TARGET"));
  }).join();
}

}  // namespace
}  // namespace veldrane::run_testing
