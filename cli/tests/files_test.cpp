// The files the command reads and rewrites, as a new user meets them:
// damaged history tables, private and linked files, long document paths.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "cli/tests/cli_harness.h"
#include "core/oadate.h"
#include "history/veldrane_data.h"

namespace veldrane::cli::test {
namespace {

class Files : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(home); }
  void AddRun(int32_t id) {
    ::setenv("VELDRANE_HOME", home.c_str(), 1);
    cVeldraneData().AppendRow(executiondata, [&](ado::Recordset& rs) {
      rs.GetFields().Item("ID").SetValue(Variant(id));
      rs.GetFields().Item("NAME").SetValue(Variant("run.xml"));
      rs.GetFields().Item("RUNTIME").SetValue(Variant::Date(OaNow() - 40));
    });
  }
  std::string Table() const { return home + "/executeddata.xml"; }
  int SetAsideCount() const {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(home)) {
      count += entry.path().filename().string().find(".damaged-") != std::string::npos;
    }
    return count;
  }

  TempDir dir;
  std::string home = dir / "home";
};

TEST_F(Files, HistoryOfADamagedTableFailsNamingTheFileAndChangesNothing) {
  std::ofstream(Table()) << "";  // an empty file, as a full disk leaves one
  CliResult shown = RunCli({"history"}, home);
  EXPECT_EQ(shown.status, 1);
  EXPECT_EQ(shown.out.find("no runs recorded"), std::string::npos) << shown.out;
  EXPECT_NE(shown.err.find(Table()), std::string::npos) << shown.err;
  EXPECT_NE(shown.err.find("damaged"), std::string::npos) << shown.err;
  EXPECT_EQ(SetAsideCount(), 0);
  EXPECT_TRUE(std::filesystem::is_regular_file(Table()));
}

TEST_F(Files, HistoryShowsTheReadableRowsAndTellsOfAnUnreadableOne) {
  for (int32_t id = 1; id <= 3; ++id) AddRun(id);
  std::ifstream in(Table());
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  text.replace(text.find("ID='2'"), 6, "ID='abc'");
  std::ofstream(Table(), std::ios::trunc) << text;
  CliResult shown = RunCli({"history", "--json"}, home);
  EXPECT_EQ(shown.status, 1);
  EXPECT_EQ(Count(shown.out, "\"NAME\""), 2) << shown.out;
  EXPECT_NE(shown.err.find("row 2, field 'ID'"), std::string::npos) << shown.err;
}

TEST_F(Files, PruneOfADamagedTableEndsAndSaysWhereTheFileWent) {
  AddRun(1);
  std::ofstream(Table(), std::ios::trunc) << "<xml><s:Schema";
  CliResult pruned = RunCli({"history", "prune", "--older-than", "1"}, home);  // used to wait for ever
  EXPECT_EQ(pruned.status, 1) << pruned.out << pruned.err;
  ASSERT_EQ(SetAsideCount(), 1);
  EXPECT_NE(pruned.err.find(".damaged-"), std::string::npos) << pruned.err;
}

TEST_F(Files, AddingAConnectionKeepsAPrivateFilePrivateAndALinkALink) {
  std::string real = dir / "secrets/connections.cnn";
  std::filesystem::create_directories(dir / "secrets");
  ASSERT_EQ(RunCli({"--connections", real, "connections", "add", "a", "Provider=SQLite;Data Source=a.db"}, home).status,
            0);
  ::chmod(real.c_str(), 0600);
  std::string link = dir / "connections.cnn";
  std::filesystem::create_symlink(real, link);
  CliResult added = RunCli({"--connections", link, "connections", "add", "b", "Provider=SQLite;Data Source=b.db"}, home);
  ASSERT_EQ(added.status, 0) << added.err;
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  struct stat st {};
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(RunCli({"--connections", real, "connections", "show", "b"}, home).status, 0);
}

TEST_F(Files, RunningTheCommandLeavesTheShippedTranslationDatabaseAlone) {
  std::filesystem::path shipped =
      std::filesystem::path(VELDRANE_CLI_PATH).parent_path().parent_path() / "lib" / "VeldraneLang.mdb";
  auto bytes = [&] {
    std::ifstream in(shipped, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  std::string before = bytes();
  ASSERT_FALSE(before.empty());
  // A connection that does not open logs translated texts; a language no
  // translation has makes them new texts to record.
  Document doc = Document::Customers(dir / "none.db", dir / "none2.db", "Insert", false, false);
  RunCli({"run", doc.Save(dir / "broken.xml")}, home, {{"VELDRANE_LANGUAGE", "0000FFFF"}});
  EXPECT_TRUE(bytes() == before) << "the translation database beside the built library changed";
}

}  // namespace
}  // namespace veldrane::cli::test
