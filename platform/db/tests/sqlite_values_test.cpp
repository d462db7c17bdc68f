// Typed values through SQLite: round trips of every kind the engine moves,
// and the promise that turning quoted literals into parameters never changes
// which rows a query finds.
#include <gtest/gtest.h>

#define SQLITE_ENABLE_COLUMN_METADATA 1
#include <sqlite3.h>

#include "core/oadate.h"
#include "platform/db/ado.h"
#include "platform/db/field_values.h"
#include "platform/db/tests/db_test_util.h"

namespace veldrane::ado {
namespace {

using testing::Raised;

class SqliteValues : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("values.db");
    cn_ = Connection::Create();
    cn_->Open("Provider=SQLite;Data Source=" + path_ + ";Mode=Create");
  }
  RecordsetRef Open(const std::string& sql, int32_t lock = adLockOptimistic) {
    auto rs = Recordset::Create();
    rs->Open(Variant(sql), Variant(ObjectRef(cn_)), adOpenKeyset, lock);
    return rs;
  }
  testing::TempDir dir_;
  std::string path_;
  ConnectionRef cn_;
};

TEST_F(SqliteValues, TypedRoundTrips) {
  cn_->Execute(
      "CREATE TABLE V (ID INTEGER PRIMARY KEY, I INT, BIG BIGINT, R DOUBLE, D DECIMAL(10,2), T TEXT, "
      "DT DATETIME, DA DATE, B BOOLEAN, BL BLOB, C CHAR(5))");
  std::string long_text(100000, 'x');
  long_text += "\xC3\xA4'\"\n";
  double when = OaFromParts({2024, 2, 29, 13, 45, 7});
  double midnight = OaFromParts({1999, 12, 31});
  auto rs = Open("SELECT * FROM V WHERE 1 = 2");
  rs->AddNew();
  Fields& f = rs->GetFields();
  f.Item("I").SetValue(Variant("-42"));
  f.Item("BIG").SetValue(Variant(9007199254740993.0));
  f.Item("R").SetValue(Variant(0.1));
  f.Item("D").SetValue(Variant("12345678.25"));
  f.Item("T").SetValue(Variant(long_text));
  f.Item("DT").SetValue(Variant::Date(when));
  f.Item("DA").SetValue(Variant("1999-12-31"));
  f.Item("B").SetValue(Variant(true));
  f.Item("BL").SetValue(BytesToVariant("\x00\x01\xFF", 3));
  f.Item("C").SetValue(Variant("ab"));
  rs->Update();
  rs->AddNew();  // every column Null
  rs->Update();

  auto back = Open("SELECT * FROM V ORDER BY ID", adLockReadOnly);
  Fields& g = back->GetFields();
  EXPECT_EQ(g.Item("I").Value(), Variant(int32_t{-42}));
  EXPECT_EQ(g.Item("BIG").Type(), adBigInt);
  EXPECT_EQ(g.Item("R").Value(), Variant(0.1));
  EXPECT_EQ(g.Item("D").Value(), Variant(12345678.25));
  EXPECT_EQ(g.Item("D").Type(), adNumeric);
  EXPECT_EQ(g.Item("T").Value().ToString(), long_text);
  EXPECT_EQ(g.Item("DT").Value(), Variant::Date(when));
  EXPECT_EQ(g.Item("DT").Type(), adDBTimeStamp);
  EXPECT_EQ(g.Item("DA").Value(), Variant::Date(midnight));
  EXPECT_EQ(g.Item("B").Value(), Variant(true));
  EXPECT_EQ(VariantToBytes(g.Item("BL").Value()), std::string("\x00\x01\xFF", 3));
  EXPECT_EQ(g.Item("C").Value().ToString(), "ab");
  back->MoveNext();
  for (const char* name : {"I", "BIG", "R", "D", "T", "DT", "DA", "B", "BL", "C"}) {
    EXPECT_TRUE(g.Item(name).Value().IsNull()) << name;
  }
  // Dates are stored as the text a key built from them carries.
  auto raw = cn_->Execute("SELECT DT, DA FROM V WHERE ID = 1");
  EXPECT_EQ(raw->GetFields().Item("DT").Value().ToString(), "2024-02-29 13:45:07");
  EXPECT_EQ(cn_->Execute("SELECT COUNT(*) FROM V WHERE DA = '1999-12-31'")->GetFields().Item(Variant(0)).Value(),
            Variant(int16_t{1}));
}

TEST_F(SqliteValues, NumericDecimalsComeBackNumeric) {
  cn_->Execute("CREATE TABLE M (AMOUNT NUMERIC(12,2)); INSERT INTO M VALUES ('19.90'), (7)");
  auto rs = Open("SELECT AMOUNT FROM M", adLockReadOnly);
  EXPECT_EQ(rs->GetFields().Item("AMOUNT").Value(), Variant(19.9));
  rs->MoveNext();
  EXPECT_EQ(rs->GetFields().Item("AMOUNT").Value(), Variant(7.0));
}

// Stored date texts read back as the dates they name, month ends and leap
// days included, through a static cursor and a forward-only stream alike; a
// day the month does not have is not turned into another date.
TEST_F(SqliteValues, StoredDatesReadBackAsTheDatesTheyName) {
  cn_->Execute(
      "CREATE TABLE D (N INTEGER, AT DATETIME);"
      "INSERT INTO D VALUES (1, '2024-01-31'), (2, '2024-02-29 23:59:59'), (3, '2023-12-31 00:00:01'),"
      " (4, '2000-02-29'), (5, '2023-02-29'), (6, '2024-04-31 10:00:00')");
  const double expected[] = {OaFromParts({2024, 1, 31}), OaFromParts({2024, 2, 29, 23, 59, 59}),
                             OaFromParts({2023, 12, 31, 0, 0, 1}), OaFromParts({2000, 2, 29})};
  for (int32_t cursor : {adOpenStatic, adOpenForwardOnly}) {
    auto rs = Recordset::Create();
    rs->Open(Variant("SELECT AT FROM D ORDER BY N"), Variant(ObjectRef(cn_)), cursor, adLockReadOnly);
    for (double day : expected) {
      ASSERT_FALSE(rs->IsEOF());
      EXPECT_EQ(rs->GetFields().Item("AT").Value(), Variant::Date(day)) << FormatOaDate(day);
      rs->MoveNext();
    }
    for (const char* text : {"2023-02-29", "2024-04-31 10:00:00"}) {
      ASSERT_FALSE(rs->IsEOF());
      EXPECT_EQ(rs->GetFields().Item("AT").Value(), Variant(text));
      rs->MoveNext();
    }
  }
}

// For each query, the rows found through the recordset (whose WHERE literals
// become parameters) equal the rows SQLite finds for the text as written.
TEST_F(SqliteValues, ParameterizedLiteralsFindTheSameRows) {
  cn_->Execute(
      "CREATE TABLE A (I INTEGER, T TEXT, R REAL, N NUMERIC, U, D DATETIME);"
      "INSERT INTO A VALUES (42, '42', 42.0, 42, 42, '2024-01-01'), (7, '07', 7.5, '7.50', '7', '2024-01-01 10:00:00'),"
      " (NULL, 'abc', NULL, 'abc', 'abc', NULL), (0, '', 0, 0, x'00', '')");
  const char* queries[] = {
      "SELECT * FROM A WHERE I = '42'",   "SELECT * FROM A WHERE T = '42'",   "SELECT * FROM A WHERE R = '42'",
      "SELECT * FROM A WHERE N = '42'",   "SELECT * FROM A WHERE U = '42'",   "SELECT * FROM A WHERE U = '7'",
      "SELECT * FROM A WHERE T = '07'",   "SELECT * FROM A WHERE I = '07'",   "SELECT * FROM A WHERE N = '7.5'",
      "SELECT * FROM A WHERE R = '7.50'", "SELECT * FROM A WHERE I = ' 42'",  "SELECT * FROM A WHERE '42' = I",
      "SELECT * FROM A WHERE I + 0 = '42'", "SELECT * FROM A WHERE T LIKE 'a%'", "SELECT * FROM A WHERE I IN ('7', '42')",
      "SELECT * FROM A WHERE D = '2024-01-01'", "SELECT * FROM A WHERE D > '2024-01-01'",
      "SELECT * FROM A WHERE T = ''",     "SELECT * FROM A WHERE N = 'abc'",  "SELECT * FROM A WHERE T = 'O''Brien'",
      "SELECT * FROM A WHERE I = '42' AND T = '42' ORDER BY 'x'",
  };
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  for (const char* sql : queries) {
    for (int round = 0; round < 2; ++round) {  // the second round runs from the statement cache
      sqlite3_stmt* stmt = nullptr;
      ASSERT_EQ(sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr), SQLITE_OK) << sql;
      std::vector<std::string> direct;
      while (sqlite3_step(stmt) == SQLITE_ROW) {
        const unsigned char* t = sqlite3_column_text(stmt, 1);
        direct.push_back(t ? reinterpret_cast<const char*>(t) : "<null>");
      }
      sqlite3_finalize(stmt);
      auto rs = Open(sql, round ? adLockOptimistic : adLockReadOnly);
      std::vector<std::string> ours;
      for (; !rs->IsEOF(); rs->MoveNext()) {
        Variant v = rs->GetFields().Item("T").Value();
        ours.push_back(v.IsNull() ? "<null>" : v.ToString());
      }
      EXPECT_EQ(ours, direct) << sql;
    }
  }
  sqlite3_close(db);
}

TEST_F(SqliteValues, MissingAndDamagedFilesAreErrorsNamingTheFile) {
  std::string missing = dir_.File("missing.db");
  auto cn = Connection::Create();
  VbError e = Raised([&] { cn->Open("Provider=SQLite;Data Source=" + missing); });
  EXPECT_EQ(e.number(), adoerr::kProviderFailure);
  EXPECT_NE(e.description().find(missing), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(missing));  // never created silently
  EXPECT_EQ(cn->State(), adStateClosed);
  EXPECT_EQ(cn->GetErrors().Count(), 1);

  std::string junk = dir_.File("junk.db");
  testing::WriteFile(junk, std::string(4096, 'j'));
  e = Raised([&] { cn->Open("Provider=SQLite;Data Source=" + junk); });
  EXPECT_NE(e.description().find("not a database"), std::string::npos) << e.description();
  EXPECT_NE(e.description().find(junk), std::string::npos);
  EXPECT_EQ(testing::ReadFile(junk), std::string(4096, 'j'));
}

TEST_F(SqliteValues, JetConnectionStringsOpenTheSameEngine) {
  cn_->Execute("CREATE TABLE SYS_TRANSLATION (DESTLANGUAGE TEXT, SOURCESTRING TEXT, AMBIENT TEXT, DestString TEXT)");
  auto jet = Connection::Create();
  jet->Open("Provider=Microsoft.Jet.OLEDB.4.0;Jet OLEDB:Database Password=hbvqeynzk5820471936;Data Source=" + path_ +
            ";Persist Security Info=False;");
  EXPECT_EQ(jet->Provider(), "Microsoft.Jet.OLEDB.4.0");
  jet->Execute("INSERT INTO SYS_TRANSLATION (DESTLANGUAGE,SOURCESTRING,AMBIENT)  VALUES ('00000407','Error','')");
  auto rs = Recordset::Create();
  rs->Open(Variant("SELECT * FROM SYS_TRANSLATION WHERE DESTLANGUAGE = '00000407' AND SOURCESTRING = 'Error'"),
           Variant(ObjectRef(jet)), adOpenStatic, adLockUnspecified);
  EXPECT_EQ(rs->RecordCount(), 1);
  EXPECT_TRUE(rs->GetFields().Item("DestString").Value().IsNull());
}

}  // namespace
}  // namespace veldrane::ado
