// Transactions on SQLite as a run uses them: savepoints held back until a
// second write needs them, and a transaction the database ends on its own
// noticed rather than written past.
#include <gtest/gtest.h>

#include "platform/db/held_savepoints.h"
#include "platform/db/tests/db_test_util.h"

namespace veldrane::ado::testing {
namespace {

TEST(HeldSavepoints, FirstRowWriteGoesWithoutTheSecondSendsThem) {
  HeldSavepoints held;
  EXPECT_FALSE(held.RowWriteNeedsThem()) << "nothing held, nothing to send";
  held.Hold(2);
  EXPECT_FALSE(held.RowWriteNeedsThem());
  EXPECT_TRUE(held.RowWriteNeedsThem());
  EXPECT_EQ(held.Take(), (std::vector<int32_t>{2}));
  EXPECT_TRUE(held.empty());

  // Nested levels go out in order; dropping takes only the innermost.
  held.Hold(2);
  held.Hold(3);
  EXPECT_FALSE(held.Drop(2));
  EXPECT_TRUE(held.Drop(3));
  EXPECT_FALSE(held.RowWriteNeedsThem());
  held.Hold(3);
  EXPECT_TRUE(held.RowWriteNeedsThem()) << "level 2 already had its unguarded write";
  EXPECT_EQ(held.Take(), (std::vector<int32_t>{2, 3}));
}

class SqliteTransactions : public ::testing::Test {
 protected:
  void SetUp() override {
    cn->Open("Provider=SQLite;Mode=Create;Data Source=" + dir.File("t.db"));
    cn->Execute("CREATE TABLE T (ID INTEGER PRIMARY KEY, NAME TEXT)");
  }
  int64_t Rows() { return cn->Execute("SELECT COUNT(*) FROM T")->GetFields().Item(Variant(int32_t{0})).Value().ToLong(); }
  void InsertRow(int32_t id) {
    auto rs = Recordset::Create();
    rs->Open(Variant("SELECT * FROM T WHERE 1 = 2"), Variant(ObjectRef(cn)), adOpenKeyset, adLockOptimistic);
    rs->AddNew();
    rs->GetFields().Item("ID").SetValue(Variant(id));
    rs->Update();
  }

  TempDir dir;
  ConnectionRef cn = Connection::Create();
};

TEST_F(SqliteTransactions, RollingBackToAHeldSavepointUndoesWhatWasWrittenUnderIt) {
  cn->BeginTrans();
  InsertRow(1);
  cn->BeginTrans();  // held back
  cn->Execute("INSERT INTO T VALUES (2, 'through a statement')");  // sends it
  InsertRow(3);
  cn->RollbackTrans();
  EXPECT_EQ(Rows(), 1);

  cn->BeginTrans();  // held back, and never sent: one row written under it
  InsertRow(4);
  cn->CommitTrans();
  cn->CommitTrans();
  EXPECT_EQ(Rows(), 2);
  EXPECT_FALSE(cn->InTransaction());
}

TEST_F(SqliteTransactions, ATransactionTheDatabaseEndedIsNoticed) {
  cn->Execute("CREATE TABLE K (ID INTEGER PRIMARY KEY ON CONFLICT ROLLBACK)");
  cn->BeginTrans();
  cn->Execute("INSERT INTO K VALUES (1)");
  cn->BeginTrans();
  EXPECT_THROW(cn->Execute("INSERT INTO K VALUES (1)"), VbError);
  EXPECT_FALSE(cn->InTransaction()) << "the conflict clause rolled the whole transaction back";
  // A new transaction starts afresh; nothing held back from the old one is sent into it.
  cn->BeginTrans();
  cn->Execute("INSERT INTO K VALUES (2)");
  cn->CommitTrans();
  EXPECT_EQ(cn->Execute("SELECT COUNT(*) FROM K")->GetFields().Item(Variant(int32_t{0})).Value().ToLong(), 1);
}

TEST(SqliteIdentity, OneFileUnderTwoSpellingsIsOneDatabase) {
  TempDir dir;
  auto a = Connection::Create();
  a->Open("Provider=SQLite;Mode=Create;Data Source=" + dir.File("x.db"));
  auto b = Connection::Create();
  b->Open("Provider=SQLite;Data Source=" + (dir.path() / "." / "x.db").string());
  auto ro = Connection::Create();
  ro->Open("Provider=SQLite;Mode=Read;Data Source=" + dir.File("x.db"));
  auto other = Connection::Create();
  other->Open("Provider=SQLite;Mode=Create;Data Source=" + dir.File("y.db"));
  EXPECT_FALSE(a->DatabaseIdentity().empty());
  EXPECT_EQ(a->DatabaseIdentity(), b->DatabaseIdentity());
  EXPECT_NE(a->DatabaseIdentity(), ro->DatabaseIdentity()) << "a writer must not share a read-only connection";
  EXPECT_NE(a->DatabaseIdentity(), other->DatabaseIdentity());
}

}  // namespace
}  // namespace veldrane::ado::testing
