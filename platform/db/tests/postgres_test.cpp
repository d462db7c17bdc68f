// The PostgreSQL provider against the real server the test command starts.
// Without VELDRANE_PG, or with the server unreachable, these tests fail:
// they never skip.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <map>
#include <sstream>

#include "core/oadate.h"
#include "platform/db/ado.h"
#include "platform/db/field_values.h"
#include "platform/db/tests/db_test_util.h"
#include "platform/db/target_select.h"

namespace veldrane::ado {
namespace {

using testing::Raised;

std::string Conninfo() {
  const char* pg = std::getenv("VELDRANE_PG");
  return pg ? pg : "";
}

// "host=.. port=.." as a key -> value map.
std::map<std::string, std::string> ConninfoParts() {
  std::map<std::string, std::string> parts;
  std::istringstream in(Conninfo());
  std::string item;
  while (in >> item) {
    size_t eq = item.find('=');
    if (eq != std::string::npos) parts[item.substr(0, eq)] = item.substr(eq + 1);
  }
  return parts;
}

class Postgres : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Conninfo().empty()) << "VELDRANE_PG is not set: the PostgreSQL tests need the test cluster";
    cn_ = Connection::Create();
    cn_->Open("Provider=PostgreSQL;Data Source=" + Conninfo());
    cn_->Execute(
        "DROP TABLE IF EXISTS customers, notes, typed;"
        "CREATE TABLE customers (custno serial PRIMARY KEY, name varchar(40) NOT NULL, city text);"
        "INSERT INTO customers (name, city) VALUES ('Alder', 'Bonn'), ('Birch', 'Köln');"
        "CREATE TABLE notes (msg text, n integer);"
        "INSERT INTO notes VALUES ('same', 1), ('same', 1), ('other', 2);");
  }
  RecordsetRef Open(const std::string& sql, int32_t lock = adLockOptimistic) {
    auto rs = Recordset::Create();
    rs->Open(Variant(sql), Variant(ObjectRef(cn_)), adOpenKeyset, lock);
    return rs;
  }
  // The first column of every row of `sql` as text; through a recordset
  // (the provider's query path) unless `execute`.
  std::vector<std::string> Column(const std::string& sql, bool execute = true, ConnectionRef cn = nullptr) {
    if (!cn) cn = cn_;
    std::vector<std::string> out;
    RecordsetRef rs;
    if (execute) {
      rs = cn->Execute(sql);
    } else {
      rs = Recordset::Create();
      rs->Open(Variant(sql), Variant(ObjectRef(cn)), adOpenKeyset, adLockOptimistic);
    }
    for (; !rs->IsEOF(); rs->MoveNext()) out.push_back(rs->GetFields().Item(Variant(int32_t{0})).Value().ToText());
    return out;
  }
  // A second connection to the same database: sees only what was committed.
  ConnectionRef Other() {
    auto cn = Connection::Create();
    cn->Open("Provider=PostgreSQL;Data Source=" + Conninfo());
    return cn;
  }
  void AddCustomer(const std::string& name) {
    auto rs = Open("SELECT * FROM customers WHERE 1 = 2");
    rs->AddNew();
    rs->GetFields().Item("name").SetValue(Variant(name));
    rs->Update();
  }
  ConnectionRef cn_;
};

// The test cluster makes one role give its password (see pg-test-cluster.sh).
TEST_F(Postgres, AWrongPasswordIsRefusedWithTheServersMessage) {
  auto parts = ConninfoParts();
  std::string base = "Provider=PostgreSQL;Host=" + parts["host"] + ";Port=" + parts["port"] + ";Database=" +
                     parts["dbname"] + ";User ID=veldrane_password;Password=";
  auto cn = Connection::Create();
  VbError e = Raised([&] { cn->Open(base + "wrong"); });
  EXPECT_EQ(e.number(), adoerr::kProviderFailure);
  EXPECT_NE(e.description().find("password authentication failed for user \"veldrane_password\""), std::string::npos)
      << e.description();
  EXPECT_EQ(e.description().find("wrong"), std::string::npos) << "the error repeats the password";
  EXPECT_EQ(cn->State(), adStateClosed);
  ASSERT_EQ(cn->GetErrors().Count(), 1);
  EXPECT_EQ(cn->GetErrors().Item(0).Description(), e.description());
  cn->Open(base + "veldrane-secret");
  EXPECT_EQ(cn->Execute("SELECT current_user")->GetFields().Item(Variant(int32_t{0})).Value().ToText(),
            "veldrane_password");
}

TEST_F(Postgres, ConnectsWithOleDbKeywords) {
  auto parts = ConninfoParts();
  auto cn = Connection::Create();
  cn->Open("Provider=PostgreSQL;Server=" + parts["host"] + ";Port=" + parts["port"] +
           ";Initial Catalog=" + parts["dbname"] + ";User ID=" + parts["user"] + ";Password=unused");
  EXPECT_EQ(cn->State(), adStateOpen);
  EXPECT_EQ(cn->Provider(), "PostgreSQL");
  auto by_uri = Connection::Create();
  by_uri->Open("Provider=PostgreSQL;Data Source=postgresql:///" + parts["dbname"] + "?host=" + parts["host"] +
               "&port=" + parts["port"] + "&user=" + parts["user"]);
  EXPECT_EQ(by_uri->Execute("SELECT current_database()")->GetFields().Item(Variant(int32_t{0})).Value().ToString(),
            parts["dbname"]);
  auto bad = Connection::Create();
  VbError e = Raised([&] {
    bad->Open("Provider=PostgreSQL;Host=" + parts["host"] + ";Port=" + parts["port"] +
              ";Database=no_such_db;User ID=" + parts["user"]);
  });
  EXPECT_EQ(e.number(), adoerr::kProviderFailure);
  EXPECT_NE(e.description().find("no_such_db"), std::string::npos) << e.description();
  EXPECT_EQ(bad->GetErrors().Count(), 1);
  e = Raised([&] {
    bad->Open("Provider=PostgreSQL;Host=" + parts["host"] + ";Port=" + parts["port"] + ";Database=" +
              parts["dbname"] + ";User ID=no_such_role");
  });
  EXPECT_NE(e.description().find("no_such_role"), std::string::npos) << e.description();
}

TEST_F(Postgres, WritesBackByPrimaryKey) {
  auto rs = Open("SELECT * FROM customers WHERE custno = '2'");
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->GetFields().Item("NAME").Value().ToString(), "Birch");
  rs->GetFields().Item("city").SetValue(Variant("Essen"));
  EXPECT_EQ(rs->EditMode(), adEditInProgress);
  rs->Update();
  EXPECT_EQ(rs->EditMode(), adEditNone);

  auto add = Open("SELECT * FROM customers WHERE 1 = 2");
  add->AddNew();
  add->GetFields().Item("name").SetValue(Variant("Cedar"));
  add->Update();
  EXPECT_EQ(add->GetFields().Item("custno").Value(), Variant(int32_t{3}));  // the serial, read back
  add->GetFields().Item("city").SetValue(Variant("Jena"));
  add->Update();
  EXPECT_EQ(Column("SELECT name || '/' || coalesce(city, '-') FROM customers ORDER BY custno"),
            (std::vector<std::string>{"Alder/Bonn", "Birch/Essen", "Cedar/Jena"}));

  auto del = Open("SELECT name FROM customers WHERE name = 'Alder'");  // key not selected
  del->Delete();
  EXPECT_EQ(del->EditMode(), adEditDelete);
  del->MoveNext();
  EXPECT_EQ(Raised([&] { del->EditMode(); }).number(), vberr::kNoCurrentRecord);
  EXPECT_EQ(Column("SELECT name FROM customers ORDER BY custno"), (std::vector<std::string>{"Birch", "Cedar"}));
}

TEST_F(Postgres, TablesWithoutKeyAreWrittenByCtid) {
  auto rs = Open("SELECT * FROM notes WHERE msg = 'same'");
  ASSERT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(rs->GetFields().Count(), 2);
  rs->GetFields().Item("n").SetValue(Variant(int32_t{5}));
  rs->Update();
  rs->GetFields().Item("n").SetValue(Variant(int32_t{6}));  // the row moved: its new ctid was read back
  rs->Update();
  rs->MoveNext();
  rs->Delete();
  EXPECT_EQ(Column("SELECT msg || n FROM notes ORDER BY msg, n"), (std::vector<std::string>{"other2", "same6"}));
}

TEST_F(Postgres, TypedValuesRoundTrip) {
  cn_->Execute(
      "CREATE TABLE typed (id serial PRIMARY KEY, s smallint, i integer, b bigint, d double precision, "
      "m numeric(12,2), big numeric(30,4), t text, v varchar(10), c char(5), dd date, ts timestamp, "
      "ok boolean, bin bytea)");
  std::string long_text(70000, 'y');
  long_text += "ü'\"";
  double when = OaFromParts({2023, 10, 5, 23, 59, 58});
  auto rs = Open("SELECT * FROM typed WHERE 1 = 2");
  rs->AddNew();
  Fields& f = rs->GetFields();
  f.Item("s").SetValue(Variant(int16_t{-7}));
  f.Item("i").SetValue(Variant("123456"));
  f.Item("b").SetValue(Variant(4000000000.0));
  f.Item("d").SetValue(Variant(0.1));
  f.Item("m").SetValue(Variant("1234.56"));
  f.Item("big").SetValue(Variant("123456789012.3456"));
  f.Item("t").SetValue(Variant(long_text));
  f.Item("v").SetValue(Variant("short"));
  f.Item("c").SetValue(Variant("ab"));
  f.Item("dd").SetValue(Variant::Date(OaFromParts({2000, 2, 29})));
  f.Item("ts").SetValue(Variant::Date(when));
  f.Item("ok").SetValue(Variant(true));
  f.Item("bin").SetValue(BytesToVariant("\x00\x7F\xFF", 3));
  rs->Update();
  rs->AddNew();
  rs->Update();  // all Null

  auto back = Open("SELECT * FROM typed ORDER BY id", adLockReadOnly);
  Fields& g = back->GetFields();
  EXPECT_EQ(g.Item("s").Value(), Variant(int16_t{-7}));
  EXPECT_EQ(g.Item("i").Value(), Variant(int32_t{123456}));
  EXPECT_EQ(g.Item("b").Value(), Variant(4000000000.0));
  EXPECT_EQ(g.Item("d").Value(), Variant(0.1));
  EXPECT_EQ(g.Item("m").Value(), Variant(1234.56));
  EXPECT_EQ(g.Item("m").Type(), adNumeric);
  EXPECT_EQ(g.Item("m").Precision(), 12);
  EXPECT_EQ(g.Item("m").NumericScale(), 2);
  EXPECT_EQ(g.Item("big").Value().Type(), VarType::Currency);  // more digits than a Double holds
  EXPECT_EQ(NumberText(g.Item("big").Value()), "123456789012.3456");
  EXPECT_EQ(g.Item("t").Value().ToString(), long_text);
  EXPECT_EQ(g.Item("c").Value().ToString(), "ab   ");
  EXPECT_EQ(g.Item("c").Type(), adWChar);
  EXPECT_EQ(g.Item("c").DefinedSize(), 5);
  EXPECT_EQ(g.Item("dd").Value(), Variant::Date(OaFromParts({2000, 2, 29})));
  EXPECT_EQ(g.Item("ts").Value(), Variant::Date(when));
  EXPECT_EQ(g.Item("ok").Value(), Variant(true));
  EXPECT_EQ(VariantToBytes(g.Item("bin").Value()), std::string("\x00\x7F\xFF", 3));
  back->MoveNext();
  for (const char* name : {"s", "i", "b", "d", "m", "t", "c", "dd", "ts", "ok", "bin"}) {
    EXPECT_TRUE(g.Item(name).Value().IsNull()) << name;
  }
}

TEST_F(Postgres, FailuresCarryTheServersMessageAndSpareTheTransaction) {
  cn_->BeginTrans();
  auto rs = Open("SELECT * FROM customers WHERE 1 = 2");
  rs->AddNew();
  rs->GetFields().Item("custno").SetValue(Variant(int32_t{1}));
  rs->GetFields().Item("name").SetValue(Variant("Twin"));
  VbError e = Raised([&] { rs->Update(); });
  EXPECT_EQ(e.number(), vberr::kProviderIntegrityViolation);
  EXPECT_NE(e.description().find("duplicate key value violates unique constraint"), std::string::npos)
      << e.description();
  EXPECT_EQ(rs->EditMode(), adEditAdd);
  EXPECT_EQ(cn_->GetErrors().Item(0).Description(), e.description());
  rs->CancelUpdate();
  // The transaction goes on after the failed statement.
  cn_->Execute("DELETE FROM customers");
  EXPECT_EQ(Column("SELECT count(*) FROM customers"), std::vector<std::string>{"0"});
  cn_->RollbackTrans();
  EXPECT_EQ(Column("SELECT count(*) FROM customers"), std::vector<std::string>{"2"});

  e = Raised([&] { Open("SELECT * FROM nosuch"); });
  EXPECT_EQ(e.number(), vberr::kProviderCommandError);
  EXPECT_NE(e.description().find("relation \"nosuch\" does not exist"), std::string::npos) << e.description();
  auto ok = Open("SELECT * FROM customers WHERE 1 = 2");
  ok->AddNew();
  ok->GetFields().Item("name").SetValue(Variant(std::string(41, 'x')));
  e = Raised([&] { ok->Update(); });
  EXPECT_NE(e.description().find("character varying(40)"), std::string::npos) << e.description();
  EXPECT_EQ(Column("SELECT count(*) FROM customers"), std::vector<std::string>{"2"});
  EXPECT_EQ(Raised([&] { cn_->RollbackTrans(); }).number(), adoerr::kNoTransaction);
}

// Execute takes one row statement through the pipeline and anything else
// (several statements, commands, dollar quotes) as a whole text; either way
// a failure inside a transaction undoes that statement alone.
TEST_F(Postgres, ExecuteRunsStatementsAndSparesTheTransaction) {
  cn_->BeginTrans();
  auto added = cn_->Execute("INSERT INTO customers (name, city) VALUES ('Cedar', 'Ulm') RETURNING custno, name;");
  ASSERT_FALSE(added->IsEOF());
  EXPECT_EQ(added->GetFields().Item("name").Value().ToText(), "Cedar");
  VbError e = Raised([&] { cn_->Execute("SELECT nosuch FROM customers"); });
  EXPECT_EQ(e.number(), vberr::kProviderCommandError);
  EXPECT_NE(e.description().find("column \"nosuch\" does not exist"), std::string::npos) << e.description();
  e = Raised([&] { cn_->Execute("UPDATE customers SET city = 'x'; SELECT 1/0"); });
  EXPECT_NE(e.description().find("division by zero"), std::string::npos) << e.description();
  EXPECT_EQ(Column("SELECT city FROM customers ORDER BY custno"), (std::vector<std::string>{"Bonn", "Köln", "Ulm"}));
  EXPECT_EQ(Column("UPDATE customers SET city = 'Jena' WHERE name = 'Cedar'; SELECT city FROM customers WHERE "
                   "name = 'Cedar'"),
            std::vector<std::string>{"Jena"});
  EXPECT_EQ(Column("SELECT $$a;b$$ || ';'"), std::vector<std::string>{"a;b;"});
  cn_->CommitTrans();
  EXPECT_EQ(Column("SELECT count(*) FROM customers", true, Other()), std::vector<std::string>{"3"});
}

TEST_F(Postgres, WarningsLandInErrorsWithoutFailing) {
  cn_->GetErrors().Clear();
  cn_->Execute("DO $$ BEGIN RAISE WARNING 'careful: %', 42; END $$");
  ASSERT_EQ(cn_->GetErrors().Count(), 1);
  EXPECT_EQ(cn_->GetErrors().Item(0).Description(), "careful: 42");
  cn_->GetErrors().Clear();
  cn_->Execute("DO $$ BEGIN RAISE NOTICE 'just so you know'; END $$");
  EXPECT_EQ(cn_->GetErrors().Count(), 0);
}

TEST_F(Postgres, JoinsAndViewsAreReadOnlyWithAReason) {
  cn_->Execute("CREATE OR REPLACE VIEW customer_names AS SELECT custno, name FROM customers");
  auto view = Open("SELECT * FROM customer_names");
  VbError e = Raised([&] { view->GetFields().Item("name").SetValue(Variant("x")); });
  EXPECT_EQ(e.number(), vberr::kUpdateNotSupported);
  EXPECT_NE(e.description().find("not a table"), std::string::npos) << e.description();
  auto join = Open("SELECT c.name, n.msg FROM customers c, notes n");
  e = Raised([&] { join->AddNew(); });
  EXPECT_NE(e.description().find("more than one table"), std::string::npos) << e.description();
  cn_->Execute("DROP VIEW customer_names");
}

// The per-record lookups of a run differ only in their quoted literals and
// share one prepared statement: each must still read its own rows.
TEST_F(Postgres, QueriesDifferingInLiteralsReadTheirOwnRows) {
  cn_->Execute("INSERT INTO customers (name, city) VALUES ('O''Brien', 'Cork'), ('Back\\slash', 'Rome')");
  const std::vector<std::pair<std::string, std::vector<std::string>>> lookups = {
      {"Alder", {"Bonn"}}, {"O''Brien", {"Cork"}}, {"Back\\slash", {"Rome"}}, {"nobody", {}}, {"Birch", {"Köln"}}};
  for (int round = 0; round < 3; ++round) {
    for (const auto& [name, cities] : lookups) {
      EXPECT_EQ(Column("SELECT city FROM customers WHERE name = '" + name + "'", false), cities) << name;
    }
    // An integer column compared with a quoted literal, and several literals in one text.
    EXPECT_EQ(Column("SELECT name FROM customers WHERE custno = '" + std::to_string(round + 1) + "'", false),
              std::vector<std::string>{round == 0 ? "Alder" : round == 1 ? "Birch" : "O'Brien"});
    EXPECT_EQ(Column("SELECT name FROM customers WHERE city LIKE '" + std::string(round == 0 ? "B" : "R") +
                         "%' AND name <> 'x' ORDER BY custno", false),
              std::vector<std::string>{round == 0 ? "Alder" : "Back\\slash"});
  }
}

// pg_typeof('x') reads an untyped literal, which a parameter cannot stand
// for: the parameterized text does not prepare and the text runs as
// written, without harm to the transaction around it.
TEST_F(Postgres, QueriesWhoseLiteralsCannotBeParametersRunAsWritten) {
  cn_->BeginTrans();
  AddCustomer("Cedar");
  for (const char* tag : {"a", "b", "c"}) {
    EXPECT_EQ(Column(std::string("SELECT name FROM customers WHERE pg_typeof('") + tag +
                         "')::text = 'unknown' ORDER BY custno", false),
              (std::vector<std::string>{"Alder", "Birch", "Cedar"}));
  }
  cn_->CommitTrans();
  EXPECT_EQ(Column("SELECT count(*) FROM customers", true, Other()), std::vector<std::string>{"3"});
}

TEST_F(Postgres, RepeatedQueriesWithoutTheKeyWriteTheRowTheyRead) {
  for (const char* name : {"Alder", "Birch"}) {
    auto rs = Open(std::string("SELECT city FROM customers WHERE name = '") + name + "'");
    rs->GetFields().Item("city").SetValue(Variant(std::string("near ") + name));
    rs->Update();
  }
  for (int n : {2, 1}) {
    auto rs = Open("SELECT n FROM notes WHERE msg = '" + std::string(n == 1 ? "same" : "other") + "'");
    ASSERT_EQ(rs->RecordCount(), n == 1 ? 2 : 1);
    EXPECT_EQ(rs->GetFields().Count(), 1);  // the ctid stays hidden
    rs->GetFields().Item("n").SetValue(Variant(int32_t{n * 10}));
    rs->Update();
  }
  EXPECT_EQ(Column("SELECT name || ':' || city FROM customers ORDER BY custno"),
            (std::vector<std::string>{"Alder:near Alder", "Birch:near Birch"}));
  EXPECT_EQ(Column("SELECT msg || n FROM notes ORDER BY msg, n"), (std::vector<std::string>{"other20", "same1", "same10"}));
}

TEST_F(Postgres, FailedPreparedQueriesReportTheServerAndSpareTheTransaction) {
  cn_->BeginTrans();
  AddCustomer("Cedar");
  for (const char* key : {"1", "x", "2", "y", "3"}) {
    std::string sql = std::string("SELECT name FROM customers WHERE custno = '") + key + "'";
    if (std::isdigit(static_cast<unsigned char>(key[0]))) {
      EXPECT_EQ(Column(sql, false).size(), 1u) << key;
      continue;
    }
    VbError e = Raised([&] { Column(sql, false); });
    EXPECT_EQ(e.number(), vberr::kProviderCommandError);
    EXPECT_NE(e.description().find("invalid input syntax for type integer"), std::string::npos) << e.description();
  }
  cn_->CommitTrans();
  EXPECT_EQ(Column("SELECT name FROM customers ORDER BY custno", true, Other()),
            (std::vector<std::string>{"Alder", "Birch", "Cedar"}));
  // Failing records do not pile up statements on the server.
  auto statements = [&] { return Column("SELECT count(*) FROM pg_prepared_statements"); };
  auto before = statements();
  for (int i = 0; i < 5; ++i) Raised([&] { Column("SELECT name FROM customers WHERE custno = 'z" + std::to_string(i) + "'", false); });
  EXPECT_EQ(statements(), before);
}

// Savepoints are held back until a statement needs the server; they must
// nest, roll back and commit exactly as if each had gone out at once.
TEST_F(Postgres, HeldBackSavepointsNestRollBackAndCommit) {
  cn_->BeginTrans();
  AddCustomer("Cedar");
  cn_->BeginTrans();
  cn_->CommitTrans();  // nothing ran under it
  cn_->BeginTrans();
  // Fails first thing under the savepoint: undone alone, Cedar stays.
  auto rs = Open("SELECT * FROM customers WHERE 1 = 2");
  cn_->RollbackTrans();
  cn_->BeginTrans();
  rs->AddNew();
  rs->GetFields().Item("custno").SetValue(Variant(int32_t{1}));
  rs->GetFields().Item("name").SetValue(Variant("Twin"));
  VbError e = Raised([&] { rs->Update(); });
  EXPECT_NE(e.description().find("duplicate key value"), std::string::npos) << e.description();
  rs->CancelUpdate();
  AddCustomer("Dropped");
  cn_->BeginTrans();
  AddCustomer("Dropped too");
  cn_->CommitTrans();
  cn_->RollbackTrans();  // undoes both, keeps Cedar
  cn_->BeginTrans();
  cn_->BeginTrans();
  AddCustomer("Elm");
  cn_->CommitTrans();
  cn_->CommitTrans();
  EXPECT_EQ(Column("SELECT count(*) FROM customers", true, Other()), std::vector<std::string>{"2"});
  cn_->CommitTrans();
  EXPECT_EQ(Column("SELECT name FROM customers ORDER BY custno", true, Other()),
            (std::vector<std::string>{"Alder", "Birch", "Cedar", "Elm"}));

  // Closing with savepoints still held back rolls everything back.
  cn_->BeginTrans();
  AddCustomer("Fir");
  cn_->BeginTrans();
  cn_->BeginTrans();
  cn_->Close();
  EXPECT_EQ(Column("SELECT count(*) FROM customers", true, Other()), std::vector<std::string>{"4"});
}

// The server going away between a held-back savepoint and the commit: the
// commit fails with libpq's message instead of reporting writes as stored.
TEST_F(Postgres, ALostConnectionFailsTheCommit) {
  std::string pid = Column("SELECT pg_backend_pid()")[0];
  cn_->BeginTrans();
  AddCustomer("Cedar");
  cn_->BeginTrans();
  AddCustomer("Dora");
  cn_->CommitTrans();  // its release is held back
  Other()->Execute("SELECT pg_terminate_backend(" + pid + ")");
  VbError e = Raised([&] { cn_->CommitTrans(); });
  EXPECT_EQ(e.number(), adoerr::kProviderFailure);
  EXPECT_FALSE(e.description().empty());
  EXPECT_EQ(Column("SELECT count(*) FROM customers", true, Other()), std::vector<std::string>{"2"});
}

TEST_F(Postgres, CachedQueriesFollowSchemaChanges) {
  auto query = [&] { return Open("SELECT * FROM customers WHERE name = 'Birch'"); };
  query();
  EXPECT_EQ(query()->GetFields().Count(), 3);
  // On this connection, inside a transaction: the result's new column is read and written.
  cn_->BeginTrans();
  cn_->Execute("ALTER TABLE customers ADD COLUMN rank integer");
  auto rs = query();
  ASSERT_EQ(rs->GetFields().Count(), 4);
  rs->GetFields().Item("rank").SetValue(Variant(int32_t{7}));
  rs->Update();
  cn_->CommitTrans();
  EXPECT_EQ(Column("SELECT rank FROM customers WHERE name = 'Birch'", true, Other()), std::vector<std::string>{"7"});
  // On another connection: the prepared statement's result changes type under it.
  query();
  Other()->Execute("ALTER TABLE customers ALTER COLUMN rank TYPE numeric(6,2)");
  rs = query();
  EXPECT_EQ(rs->GetFields().Item("rank").Type(), adNumeric);
  EXPECT_EQ(rs->GetFields().Item("rank").Precision(), 6);
  rs->GetFields().Item("rank").SetValue(Variant(7.25));
  rs->Update();
  EXPECT_EQ(Column("SELECT rank FROM customers WHERE name = 'Birch'", true, Other()), std::vector<std::string>{"7.25"});
}

}  // namespace
}  // namespace veldrane::ado

namespace veldrane::ado {
namespace {

// A TARGET step's select in parts, on the server: the values are bound to
// the prepared statement, and rows found by them are written back.
TEST_F(Postgres, TargetSelectsBindTheirValuesAndWriteBack) {
  cn_->Execute("DROP TABLE IF EXISTS \"Order Lines\";"
               "CREATE TABLE \"Order Lines\" (id integer PRIMARY KEY, name text, qty integer);"
               "INSERT INTO \"Order Lines\" VALUES (1, 'O''Brien', 3), (2, 'a'' OR ''1''=''1', 4), (3, '$1', 5)");
  auto first = std::make_shared<TargetSelect>();
  first->table = "\"Order Lines\"";
  first->key_columns = {"name"};
  auto rs = Recordset::Create();
  // Twice each: the first run of a select and the prepared runs after it.
  for (int round = 0; round < 2; ++round) {
    for (const char* name : {"O'Brien", "a' OR '1'='1", "$1"}) {
      auto s = first->Next({Variant(std::string(name))});
      rs->OpenTarget(s, cn_);
      ASSERT_EQ(rs->RecordCount(), 1) << name;
      EXPECT_EQ(rs->Source(), s->Text());
      rs->GetFields().Item("qty").SetValue(Variant(int32_t{10 * (round + 1)}));
      rs->Update();
      rs->Close();
    }
  }
  EXPECT_EQ(Column("SELECT count(*) FROM \"Order Lines\" WHERE qty = 20"), std::vector<std::string>{"3"});
  // An integer key bound as text is compared as the column's type.
  auto by_id = std::make_shared<TargetSelect>();
  by_id->table = "\"Order Lines\"";
  by_id->key_columns = {"id"};
  by_id->key_values = {Variant(int32_t{2})};
  rs->OpenTarget(by_id, cn_);
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->GetFields().Item("name").Value().ToText(), "a' OR '1'='1");
  rs->Close();
  rs->OpenTarget(SelectNoRow("\"Order Lines\""), cn_);
  EXPECT_EQ(rs->RecordCount(), 0);
  rs->AddNew();
  rs->GetFields().Item("id").SetValue(Variant(int32_t{4}));
  rs->Update();
  EXPECT_EQ(Column("SELECT count(*) FROM \"Order Lines\""), std::vector<std::string>{"4"});
}

}  // namespace
}  // namespace veldrane::ado
