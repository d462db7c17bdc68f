// The ODBC provider against three real drivers: MariaDB (the throw-away
// server the test command starts, through the veldrane_maria DSN),
// PostgreSQL (the test cluster through psqlODBC, veldrane_pg) and SQLite
// files (the SQLite ODBC driver). The drivers and DSNs come from the
// private odbcinst.ini / odbc.ini the build writes (ODBCSYSINI, ODBCINI).
// Without them these tests fail: they never skip.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "core/oadate.h"
#include "platform/db/ado.h"
#include "platform/db/field_values.h"
#include "platform/db/tests/db_test_util.h"
#include "platform/db/tests/odbc_test_util.h"

namespace veldrane::ado {
namespace {

using testing::Raised;
using testing::TempDir;

class Odbc : public ::testing::TestWithParam<OdbcBackend> {
 protected:
  void SetUp() override {
    RequireOdbcEnvironment();
    cn_ = Connection::Create();
    cn_->Open(ConnectionStringFor(GetParam(), dir_));
    for (const char* t : {"odbc_customers", "odbc_typed", "odbc_many"}) Drop(cn_, t);
    cn_->Execute("CREATE TABLE odbc_customers (custno INTEGER PRIMARY KEY, name VARCHAR(40) NOT NULL, city VARCHAR(40))");
    cn_->Execute("INSERT INTO odbc_customers VALUES (1, 'Alder', 'Bonn')");
    cn_->Execute("INSERT INTO odbc_customers VALUES (2, 'Birch', 'Köln')");
  }
  void TearDown() override {
    if (cn_ && cn_->State() == adStateOpen && !cn_->InTransaction()) {
      for (const char* t : {"odbc_customers", "odbc_typed", "odbc_many"}) Drop(cn_, t);
    }
  }
  RecordsetRef Open(const std::string& sql, int32_t cursor = adOpenKeyset, int32_t lock = adLockOptimistic,
                    ConnectionRef cn = nullptr) {
    auto rs = Recordset::Create();
    rs->Open(Variant(sql), Variant(ObjectRef(cn ? cn : cn_)), cursor, lock);
    return rs;
  }
  std::vector<std::string> Column(const std::string& sql, ConnectionRef cn = nullptr) {
    std::vector<std::string> out;
    for (auto rs = (cn ? cn : cn_)->Execute(sql); !rs->IsEOF(); rs->MoveNext()) {
      out.push_back(rs->GetFields().Item(Variant(int32_t{0})).Value().ToText());
    }
    return out;
  }
  ConnectionRef Other() {
    auto cn = Connection::Create();
    cn->Open(ConnectionStringFor(GetParam(), dir_));
    return cn;
  }
  TempDir dir_;
  ConnectionRef cn_;
};

TEST_P(Odbc, ReadsTypedColumnsAsTheirVariants) {
  const OdbcBackend b = GetParam();
  std::string ts = b == OdbcBackend::Postgres ? "TIMESTAMP" : b == OdbcBackend::MariaDb ? "DATETIME(3)" : "TIMESTAMP";
  std::string fl = b == OdbcBackend::MariaDb ? "DOUBLE" : "DOUBLE PRECISION";
  cn_->Execute("CREATE TABLE odbc_typed (id INTEGER PRIMARY KEY, big BIGINT, d " + fl +
               ", m DECIMAL(18,4), v VARCHAR(20), dd DATE, ts " + ts + ", t TEXT)");
  cn_->Execute("INSERT INTO odbc_typed VALUES (1, 9000000000, 0.1, 12345678901234.5678, 'Grüße ☃ 𝄞', '2000-02-29', "
               "'2023-10-05 23:59:58.250', 'long')");
  cn_->Execute("INSERT INTO odbc_typed (id) VALUES (2)");
  auto rs = Open("SELECT id, big, d, m, v, dd, ts, t FROM odbc_typed ORDER BY id", adOpenStatic, adLockReadOnly);
  Fields& f = rs->GetFields();
  EXPECT_EQ(f.Item("id").Type(), adInteger);
  EXPECT_EQ(f.Item("id").Value(), Variant(int32_t{1}));
  EXPECT_EQ(f.Item("big").Type(), adBigInt);
  EXPECT_EQ(f.Item("big").Value().ToDouble(), 9000000000.0);
  EXPECT_EQ(f.Item("d").Value(), Variant(0.1));
  if (b != OdbcBackend::Sqlite) {  // SQLite keeps a DECIMAL as a double: only 15 digits survive
    EXPECT_EQ(f.Item("m").Type(), adNumeric);
    EXPECT_EQ(f.Item("m").Value().ToText(), "12345678901234.5678");
  }
  EXPECT_EQ(f.Item("v").Value(), Variant("Grüße ☃ 𝄞"));
  EXPECT_EQ(f.Item("dd").Type(), adDBDate);
  EXPECT_EQ(f.Item("dd").Value(), Variant::Date(OaFromParts({2000, 2, 29})));
  EXPECT_EQ(f.Item("ts").Type(), adDBTimeStamp);
  EXPECT_EQ(FormatOaDateIso(f.Item("ts").Value().AsDate()), "2023-10-05T23:59:58");
  EXPECT_NEAR(f.Item("ts").Value().AsDate(), OaFromParts({2023, 10, 5, 23, 59, 58, 250}), 1e-8);
  EXPECT_EQ(f.Item("t").Value(), Variant("long"));
  rs->MoveNext();
  for (const char* name : {"big", "d", "m", "v", "dd", "ts", "t"}) EXPECT_TRUE(f.Item(name).Value().IsNull()) << name;
}

TEST_P(Odbc, StreamsManyRowsInBlocksAndGivesThemAgain) {
  cn_->Execute("CREATE TABLE odbc_many (id INTEGER PRIMARY KEY, label VARCHAR(30))");
  cn_->BeginTrans();
  for (int i = 1; i <= 1500; ++i) {
    cn_->Execute("INSERT INTO odbc_many VALUES (" + std::to_string(i) + ", 'row " + std::to_string(i) + " ü')");
  }
  cn_->CommitTrans();
  auto rs = Open("SELECT id, label FROM odbc_many ORDER BY id", adOpenForwardOnly, adLockReadOnly);
  int64_t sum = 0, n = 0;
  for (; !rs->IsEOF(); rs->MoveNext(), ++n) {
    sum += rs->GetFields().Item("id").Value().ToLong();
    if (n == 1234) {
      EXPECT_EQ(rs->GetFields().Item("label").Value(), Variant("row 1235 ü"));
    }
  }
  EXPECT_EQ(n, 1500);
  EXPECT_EQ(sum, 1500 * 1501 / 2);
  rs->MoveFirst();
  EXPECT_EQ(rs->GetFields().Item("id").Value(), Variant(int32_t{1}));
}

TEST_P(Odbc, AMissingTableFailsWithTheDriversMessage) {
  VbError e = Raised([&] { Open("SELECT * FROM no_such_table", adOpenStatic, adLockReadOnly); });
  EXPECT_EQ(e.number(), vberr::kProviderCommandError);
  EXPECT_EQ(e.source(), "ODBC");
  EXPECT_NE(e.description().find("no_such_table"), std::string::npos) << e.description();
  EXPECT_NE(e.description().find("SQLSTATE"), std::string::npos) << e.description();
  ASSERT_EQ(cn_->GetErrors().Count(), 1);
  EXPECT_EQ(cn_->GetErrors().Item(0).Description(), e.description());
}

TEST_P(Odbc, SavepointsUndoTheirOwnPartOfATransaction) {
  cn_->BeginTrans();
  cn_->Execute("INSERT INTO odbc_customers VALUES (3, 'Cedar', NULL)");
  EXPECT_EQ(cn_->BeginTrans(), 2);
  cn_->Execute("INSERT INTO odbc_customers VALUES (4, 'Dogwood', NULL)");
  cn_->RollbackTrans();
  EXPECT_EQ(cn_->BeginTrans(), 2);
  cn_->Execute("INSERT INTO odbc_customers VALUES (5, 'Elm', NULL)");
  EXPECT_EQ(cn_->BeginTrans(), 3);
  cn_->Execute("UPDATE odbc_customers SET city = 'Ulm' WHERE custno = 5");
  cn_->CommitTrans();
  cn_->CommitTrans();
  EXPECT_TRUE(cn_->InTransaction());
  if (GetParam() != OdbcBackend::Sqlite) {  // SQLite's writer lock would hold the reader off
    EXPECT_EQ(Column("SELECT name FROM odbc_customers ORDER BY custno", Other()),
              (std::vector<std::string>{"Alder", "Birch"}));
  }
  cn_->CommitTrans();
  EXPECT_FALSE(cn_->InTransaction());
  EXPECT_EQ(Column("SELECT name FROM odbc_customers ORDER BY custno", Other()),
            (std::vector<std::string>{"Alder", "Birch", "Cedar", "Elm"}));
  EXPECT_EQ(Column("SELECT city FROM odbc_customers WHERE custno = 5"), (std::vector<std::string>{"Ulm"}));

  cn_->BeginTrans();
  cn_->Execute("DELETE FROM odbc_customers");
  cn_->RollbackTrans();
  EXPECT_EQ(Column("SELECT COUNT(*) FROM odbc_customers"), (std::vector<std::string>{"4"}));
}

TEST_P(Odbc, ADuplicateKeyInTheMiddleOfAGroupFailsAloneAndTheRestCommits) {
  cn_->BeginTrans();
  std::vector<int32_t> numbers;
  for (int id : {10, 11, 1, 12}) {
    cn_->BeginTrans();
    try {
      cn_->Execute("INSERT INTO odbc_customers (custno, name) VALUES (" + std::to_string(id) + ", 'n" + std::to_string(id) +
                   "')");
      cn_->CommitTrans();
    } catch (const VbError& e) {
      numbers.push_back(e.number());
      EXPECT_NE(e.description().find("SQLSTATE 23"), std::string::npos) << e.description();
      cn_->RollbackTrans();
    }
  }
  EXPECT_EQ(numbers, std::vector<int32_t>{vberr::kProviderIntegrityViolation});
  ASSERT_TRUE(cn_->InTransaction());
  cn_->CommitTrans();
  EXPECT_EQ(Column("SELECT custno FROM odbc_customers ORDER BY custno", Other()),
            (std::vector<std::string>{"1", "2", "10", "11", "12"}));
}

TEST_P(Odbc, WritesRowsBackByTheirKeyWithTypedParameters) {
  const OdbcBackend b = GetParam();
  std::string ts = b == OdbcBackend::MariaDb ? "DATETIME" : "TIMESTAMP";
  cn_->Execute("CREATE TABLE odbc_typed (id INTEGER NOT NULL, code VARCHAR(10) NOT NULL, m DECIMAL(18,4), v VARCHAR(40), "
               "ts " + ts + ", n INTEGER, UNIQUE (id, code))");
  auto add = Open("SELECT * FROM odbc_typed WHERE 1 = 2");
  add->AddNew();
  Fields& f = add->GetFields();
  f.Item("id").SetValue(Variant(int32_t{1}));
  f.Item("code").SetValue(Variant("a"));
  f.Item("m").SetValue(Variant("12345678901234.5678"));
  f.Item("v").SetValue(Variant("Grüße ☃ 𝄞 'q'"));
  f.Item("ts").SetValue(Variant::Date(OaFromParts({2024, 2, 29, 13, 14, 15})));
  f.Item("n").SetValue(Variant::Null());
  add->Update();
  add->AddNew();
  f.Item("id").SetValue(Variant(int32_t{1}));
  f.Item("code").SetValue(Variant("b"));
  add->Update();

  // Keyed by the unique index (no primary key): the row of code 'b' alone changes.
  auto rs = Open("SELECT * FROM odbc_typed WHERE code = 'b'");
  ASSERT_EQ(rs->RecordCount(), 1);
  rs->GetFields().Item("n").SetValue(Variant(int32_t{42}));
  rs->Update();
  auto back = Open("SELECT id, code, m, v, ts, n FROM odbc_typed ORDER BY code", adOpenStatic, adLockReadOnly);
  Fields& g = back->GetFields();
  if (b != OdbcBackend::Sqlite) {
    EXPECT_EQ(g.Item("m").Value().ToText(), "12345678901234.5678");
  }
  EXPECT_EQ(g.Item("v").Value(), Variant("Grüße ☃ 𝄞 'q'"));
  EXPECT_EQ(g.Item("ts").Value(), Variant::Date(OaFromParts({2024, 2, 29, 13, 14, 15})));
  EXPECT_TRUE(g.Item("n").Value().IsNull());
  back->MoveNext();
  EXPECT_EQ(g.Item("n").Value(), Variant(int32_t{42}));
  EXPECT_TRUE(g.Item("m").Value().IsNull());

  auto del = Open("SELECT * FROM odbc_customers WHERE name = 'Alder'");
  del->Delete();
  auto upd = Open("SELECT custno, name FROM odbc_customers WHERE custno = 2");
  upd->GetFields().Item("name").SetValue(Variant("Birke"));
  upd->Update();
  upd->GetFields().Item("name").SetValue(Variant("Birke"));  // unchanged values still find their row
  upd->Update();
  EXPECT_EQ(Column("SELECT name FROM odbc_customers ORDER BY custno"), (std::vector<std::string>{"Birke"}));
}

TEST_P(Odbc, TargetSelectsBindTheirKeyValuesAndFindTheirRow) {
  TargetSelect first;
  first.table = "odbc_customers";
  first.key_columns = {"custno"};
  first.key_values = {Variant(int32_t{2})};
  Rowset rows = cn_->session().QueryTarget(first);
  ASSERT_EQ(rows.rows.size(), 1u);
  EXPECT_EQ(rows.rows.Row(0)[1], Variant("Birch"));
  EXPECT_FALSE(rows.target.table.empty()) << rows.target.refusal;
  ASSERT_EQ(rows.target.key.size(), 1u);
  // The same prepared select with another value, and one that finds nothing.
  auto next = first.Next({Variant("1")});
  rows = cn_->session().QueryTarget(*next);
  ASSERT_EQ(rows.rows.size(), 1u);
  EXPECT_EQ(rows.rows.Row(0)[1], Variant("Alder"));
  EXPECT_EQ(cn_->session().QueryTarget(*first.Next({Variant("99")})).rows.size(), 0u);
  EXPECT_EQ(cn_->session().QueryTarget(*SelectNoRow("odbc_customers")).rows.size(), 0u);
}

TEST_P(Odbc, ANewRowTakesTheKeyAndDefaultsTheDatabaseGaveIt) {
  const OdbcBackend b = GetParam();
  std::string id = b == OdbcBackend::MariaDb    ? "id INTEGER AUTO_INCREMENT PRIMARY KEY"
                   : b == OdbcBackend::Postgres ? "id SERIAL PRIMARY KEY"
                                                : "id INTEGER PRIMARY KEY";
  cn_->Execute("CREATE TABLE odbc_typed (" + id + ", name VARCHAR(20), kind VARCHAR(10) DEFAULT 'plain')");
  auto rs = Open("SELECT * FROM odbc_typed WHERE 1 = 2");
  for (const char* name : {"first", "second"}) {
    rs->AddNew();
    rs->GetFields().Item("name").SetValue(Variant(name));
    rs->Update();
  }
  EXPECT_EQ(rs->GetFields().Item("id").Value(), Variant(int32_t{2}));
  EXPECT_EQ(rs->GetFields().Item("kind").Value(), Variant("plain"));
  // The row is found again by the key it was given.
  rs->GetFields().Item("kind").SetValue(Variant("edited"));
  rs->Update();
  EXPECT_EQ(Column("SELECT kind FROM odbc_typed ORDER BY id"), (std::vector<std::string>{"plain", "edited"}));
}

TEST_P(Odbc, AKeyThatIsNotSelectedIsReadHiddenToWriteTheRowBack) {
  auto rs = Open("SELECT name FROM odbc_customers WHERE city = 'Bonn'");
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->GetFields().Count(), 1);  // the key is read, not shown
  rs->GetFields().Item("name").SetValue(Variant("Ahorn"));
  rs->Update();
  EXPECT_EQ(Column("SELECT name FROM odbc_customers ORDER BY custno"), (std::vector<std::string>{"Ahorn", "Birch"}));
}

TEST_P(Odbc, QueriesThatCannotBeWrittenBackSayWhy) {
  auto join = Open("SELECT a.name FROM odbc_customers a JOIN odbc_customers b ON a.custno = b.custno");
  VbError e = Raised([&] {
    join->GetFields().Item("name").SetValue(Variant("x"));
    join->Update();
  });
  EXPECT_NE(e.number(), 0);
  // A table without a key: SQLite's rowid finds its rows, the servers'
  // tables cannot be written back.
  cn_->Execute("CREATE TABLE odbc_typed (msg VARCHAR(10), n INTEGER)");
  cn_->Execute("INSERT INTO odbc_typed VALUES ('same', 1)");
  cn_->Execute("INSERT INTO odbc_typed VALUES ('same', 1)");
  auto keyless = Open("SELECT * FROM odbc_typed");
  auto change = [&] {
    keyless->GetFields().Item("n").SetValue(Variant(int32_t{2}));
    keyless->Update();
  };
  if (GetParam() == OdbcBackend::Sqlite) {
    change();
    EXPECT_EQ(Column("SELECT n FROM odbc_typed ORDER BY n"), (std::vector<std::string>{"1", "2"}));
  } else {
    e = Raised(change);
    EXPECT_NE(e.description().find("no primary key"), std::string::npos) << e.description();
  }
  EXPECT_EQ(Column("SELECT name FROM odbc_customers ORDER BY custno"), (std::vector<std::string>{"Alder", "Birch"}));
}

TEST_P(Odbc, TheIdentityNamesTheDatabaseWithoutThePassword) {
  std::string identity = cn_->DatabaseIdentity();
  EXPECT_TRUE(identity.starts_with("ODBC:")) << identity;
  EXPECT_EQ(identity.find("veldrane-secret"), std::string::npos) << identity;
  EXPECT_EQ(Other()->DatabaseIdentity(), identity);
  EXPECT_TRUE(cn_->Provider().starts_with("MSDASQL")) << cn_->Provider();
}

INSTANTIATE_TEST_SUITE_P(Drivers, Odbc,
                         ::testing::Values(OdbcBackend::MariaDb, OdbcBackend::Postgres, OdbcBackend::Sqlite),
                         [](const auto& info) { return std::string(BackendName(info.param)); });

// Server drivers alone: passwords and lost connections.
class OdbcServer : public Odbc {};

TEST_P(OdbcServer, AWrongPasswordIsRefusedWithoutRepeatingIt) {
  auto cn = Connection::Create();
  VbError e = Raised([&] { cn->Open(PasswordConnectionString(GetParam(), "wrong-pass-1234")); });
  EXPECT_EQ(e.number(), adoerr::kProviderFailure);
  EXPECT_EQ(e.source(), "ODBC");
  EXPECT_EQ(e.description().find("wrong-pass-1234"), std::string::npos) << e.description();
  EXPECT_NE(e.description().find(GetParam() == OdbcBackend::MariaDb ? "Access denied" : "password authentication"),
            std::string::npos)
      << e.description();
  EXPECT_EQ(cn->State(), adStateClosed);
  ASSERT_EQ(cn->GetErrors().Count(), 1);
  // The same password given to Open rather than in the string gets in.
  cn->Open(PasswordConnectionString(GetParam(), ""), "", "veldrane-secret");
  EXPECT_EQ(cn->State(), adStateOpen);
  EXPECT_EQ(cn->DatabaseIdentity().find("veldrane-secret"), std::string::npos);
}

TEST_P(OdbcServer, AKilledConnectionEndsTheTransaction) {
  cn_->BeginTrans();
  cn_->Execute("INSERT INTO odbc_customers VALUES (7, 'Gone', NULL)");
  std::string id = Column(GetParam() == OdbcBackend::MariaDb ? "SELECT CONNECTION_ID()" : "SELECT pg_backend_pid()")[0];
  Other()->Execute(GetParam() == OdbcBackend::MariaDb ? "KILL " + id : "SELECT pg_terminate_backend(" + id + ")");
  VbError e = Raised([&] { cn_->Execute("INSERT INTO odbc_customers VALUES (8, 'Lost', NULL)"); });
  EXPECT_NE(e.number(), 0);
  EXPECT_FALSE(cn_->InTransaction());
  EXPECT_EQ(Column("SELECT COUNT(*) FROM odbc_customers WHERE custno >= 7", Other()), (std::vector<std::string>{"0"}));
  cn_->Close();
}

// InnoDB rolls a deadlock's victim back whole: the transaction is over,
// and what it wrote is gone, whatever the connection believed.
TEST(OdbcMariaDb, ADeadlockVictimsTransactionIsNoLongerOpen) {
  RequireOdbcEnvironment();
  testing::TempDir dir;
  auto cn = Connection::Create();
  cn->Open(ConnectionStringFor(OdbcBackend::MariaDb, dir));
  cn->Execute("DROP TABLE IF EXISTS odbc_locks");
  cn->Execute("CREATE TABLE odbc_locks (id INTEGER PRIMARY KEY, n INTEGER) ENGINE=InnoDB");
  cn->Execute("INSERT INTO odbc_locks VALUES (1, 0), (2, 0)");
  auto other = Connection::Create();
  other->Open(ConnectionStringFor(OdbcBackend::MariaDb, dir));
  // The other transaction writes more rows, so that InnoDB picks this one as the victim.
  other->BeginTrans();
  for (int i = 10; i < 20; ++i) other->Execute("INSERT INTO odbc_locks VALUES (" + std::to_string(i) + ", 0)");
  other->Execute("UPDATE odbc_locks SET n = 1 WHERE id = 2");
  cn->BeginTrans();
  cn->Execute("INSERT INTO odbc_locks VALUES (5, 5)");
  cn->Execute("UPDATE odbc_locks SET n = 1 WHERE id = 1");
  std::string other_failure;
  std::thread blocked([&] {
    try {
      other->Execute("UPDATE odbc_locks SET n = 2 WHERE id = 1");
    } catch (const VbError& e) {
      other_failure = e.description();  // reported below: the wrong victim
    }
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  VbError e = Raised([&] { cn->Execute("UPDATE odbc_locks SET n = 2 WHERE id = 2"); });
  blocked.join();
  ASSERT_EQ(other_failure, "");
  other->CommitTrans();
  EXPECT_NE(e.description().find("40001"), std::string::npos) << e.description();
  EXPECT_FALSE(cn->InTransaction());
  // Back in autocommit: this row stays without a commit, the victim's does not.
  cn->Execute("INSERT INTO odbc_locks VALUES (6, 6)");
  auto third = Connection::Create();
  third->Open(ConnectionStringFor(OdbcBackend::MariaDb, dir));
  auto rs = third->Execute("SELECT COUNT(*) FROM odbc_locks WHERE id IN (5, 6)");
  EXPECT_EQ(rs->GetFields().Item(Variant(int32_t{0})).Value().ToLong(), 1);
  cn->Execute("DROP TABLE odbc_locks");
}

INSTANTIATE_TEST_SUITE_P(Drivers, OdbcServer, ::testing::Values(OdbcBackend::MariaDb, OdbcBackend::Postgres),
                         [](const auto& info) { return std::string(BackendName(info.param)); });

}  // namespace
}  // namespace veldrane::ado
