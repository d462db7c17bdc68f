// A TARGET step's select kept in parts: opened with its values bound, it
// gives the rows, the write-back and the Source text that the same query
// written out as text gives, whatever the values hold.
#include <gtest/gtest.h>

#include "platform/db/ado.h"
#include "platform/db/target_select.h"
#include "platform/db/tests/db_test_util.h"

namespace veldrane::ado {
namespace {

using testing::TempDir;

std::shared_ptr<TargetSelect> Select(std::string table, std::vector<std::string> columns, std::vector<Variant> values) {
  auto s = std::make_shared<TargetSelect>();
  s->table = std::move(table);
  s->key_columns = std::move(columns);
  s->key_values = std::move(values);
  return s;
}

TEST(TargetSelect, TextWritesValuesAsQuotedLiteralsAndMarkedTextHasMarkersOnly) {
  auto s = Select("\"Order Lines\"", {"id", "\"Name\""}, {Variant(int32_t{42}), Variant(std::string("O'Brien"))});
  EXPECT_EQ(s->Text(), "SELECT * FROM \"Order Lines\" WHERE id = '42' AND \"Name\" = 'O''Brien'");
  EXPECT_EQ(s->Marked(), "SELECT * FROM \"Order Lines\" WHERE id = ? AND \"Name\" = ?");
  EXPECT_EQ(SelectNoRow("T")->Text(), "SELECT * FROM T WHERE 1 = 2");
  // The next record's select shares the prepared text, not the values.
  auto next = s->Next({Variant(int32_t{7}), Variant(std::string("x"))});
  EXPECT_EQ(&next->Marked(), &s->Marked());
  EXPECT_EQ(next->Text(), "SELECT * FROM \"Order Lines\" WHERE id = '7' AND \"Name\" = 'x'");
  EXPECT_TRUE(SelectNoRow("T")->Same(*SelectNoRow("T")));
  EXPECT_FALSE(SelectNoRow("T")->Same(*SelectNoRow("U")));
  EXPECT_FALSE(s->Same(*next));
}

class SqliteTarget : public ::testing::Test {
 protected:
  void SetUp() override {
    cn_ = Connection::Create();
    cn_->Open("Provider=SQLite;Data Source=" + dir_.File("t.db") + ";Mode=Create");
    cn_->Execute("CREATE TABLE \"Order Lines\" (id INTEGER PRIMARY KEY, name TEXT, qty INTEGER)");
    cn_->Execute("INSERT INTO \"Order Lines\" VALUES (1, 'O''Brien', 3), (2, 'a'' OR ''1''=''1', 4), (3, '--', 5)");
  }
  RecordsetRef Opened(const std::shared_ptr<TargetSelect>& s) {
    auto rs = Recordset::Create();
    rs->OpenTarget(s, cn_);
    return rs;
  }
  int64_t Count(const std::string& where) {
    return cn_->Execute("SELECT COUNT(*) FROM \"Order Lines\" WHERE " + where)->GetFields().Item(Variant(int32_t{0})).Value().ToLong();
  }
  TempDir dir_;
  ConnectionRef cn_;
};

TEST_F(SqliteTarget, BoundValuesFindExactlyTheRowsTheirTextFinds) {
  // Quotes, an injection attempt and a comment marker are values, nothing more.
  for (const char* name : {"O'Brien", "a' OR '1'='1", "--"}) {
    auto s = Select("\"Order Lines\"", {"name"}, {Variant(std::string(name))});
    auto rs = Opened(s);
    ASSERT_EQ(rs->RecordCount(), 1) << name;
    EXPECT_EQ(rs->GetFields().Item("name").Value().ToText(), name);
    auto written = Recordset::Create();
    written->Open(Variant(s->Text()), Variant(ObjectRef(cn_)), adOpenKeyset, adLockOptimistic);
    EXPECT_EQ(written->GetFields().Item("id").Value().ToLong(), rs->GetFields().Item("id").Value().ToLong()) << name;
    EXPECT_EQ(rs->Source(), s->Text());
  }
  // An integer key bound as text compares as the quoted literal would: as a number.
  auto by_id = Opened(Select("\"Order Lines\"", {"id"}, {Variant(int32_t{2})}));
  ASSERT_EQ(by_id->RecordCount(), 1);
  EXPECT_EQ(by_id->GetFields().Item("qty").Value().ToLong(), 4);
  EXPECT_EQ(Opened(Select("\"Order Lines\"", {"id"}, {Variant(int32_t{9})}))->RecordCount(), 0);
}

TEST_F(SqliteTarget, RowsOpenedInPartsAreWrittenBackAndReopenedForTheNextRecord) {
  auto first = Select("\"Order Lines\"", {"id"}, {Variant(int32_t{1})});
  auto rs = Opened(first);
  rs->GetFields().Item("qty").SetValue(Variant(int32_t{30}));
  rs->Update();
  EXPECT_EQ(Count("id = 1 AND qty = 30"), 1);
  rs->Close();
  rs->OpenTarget(first->Next({Variant(int32_t{3})}), cn_);
  rs->Delete(adAffectCurrent);
  EXPECT_EQ(Count("id = 3"), 0);
  rs->Close();
  // No key: no row, and a new one is inserted.
  rs->OpenTarget(SelectNoRow("\"Order Lines\""), cn_);
  EXPECT_EQ(rs->RecordCount(), 0);
  rs->AddNew();
  rs->GetFields().Item("name").SetValue(Variant(std::string("new")));
  rs->Update();
  EXPECT_EQ(Count("name = 'new'"), 1);
  EXPECT_EQ(Count("1 = 1"), 3);
}

TEST_F(SqliteTarget, AMissingTableFailsWithTheDatabasesMessageInErrors) {
  auto rs = Recordset::Create();
  VbError e = testing::Raised([&] { rs->OpenTarget(Select("nowhere", {"id"}, {Variant(int32_t{1})}), cn_); });
  EXPECT_NE(e.description().find("nowhere"), std::string::npos) << e.description();
  EXPECT_EQ(cn_->GetErrors().Count(), 1);
  EXPECT_EQ(rs->State(), adStateClosed);
}

}  // namespace
}  // namespace veldrane::ado
