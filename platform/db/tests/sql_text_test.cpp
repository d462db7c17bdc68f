#include "platform/db/sql_text.h"

#include <gtest/gtest.h>

#include "platform/db/connection_string.h"
#include "platform/db/tests/db_test_util.h"

namespace veldrane::ado {
namespace {

TEST(SqlText, SingleTableQueriesCanBeWrittenBack) {
  for (const char* sql : {"SELECT * FROM T WHERE K = '1'", "select a, b from \"My Table\" x order by a",
                          "SELECT * FROM main.T", "SELECT *, a + 1 AS n FROM T AS t WHERE (a IN (SELECT 1))",
                          "SELECT * FROM NOWHERE WHERE 1 = 2", "SELECT * FROM T;"}) {
    SelectShape shape = AnalyzeSelect(sql);
    EXPECT_TRUE(shape.single_table) << sql << ": " << shape.refusal;
  }
  std::string sql = "SELECT a, 'FROM' FROM T";
  EXPECT_EQ(AnalyzeSelect(sql).from_offset, sql.rfind("FROM"));
}

TEST(SqlText, OtherQueriesSayWhyNot) {
  struct Case {
    const char* sql;
    const char* reason;
  } cases[] = {
      {"SELECT * FROM A, B", "more than one table"},
      {"SELECT * FROM A JOIN B ON A.x = B.x", "more than one table"},
      {"SELECT * FROM A a INNER JOIN B b ON a.x = b.x", "more than one table"},
      {"SELECT DISTINCT a FROM A", "DISTINCT"},
      {"SELECT a, COUNT(*) FROM A GROUP BY a", "aggregates"},
      {"SELECT a FROM A GROUP BY a", "groups"},
      {"SELECT a FROM A UNION SELECT a FROM B", "combines"},
      {"SELECT 1", "no table"},
      {"UPDATE A SET x = 1", "not a plain SELECT"},
      {"SELECT * FROM (SELECT * FROM A) s", "by name"},
  };
  for (const auto& c : cases) {
    SelectShape shape = AnalyzeSelect(c.sql);
    EXPECT_FALSE(shape.single_table) << c.sql;
    EXPECT_NE(shape.refusal.find(c.reason), std::string::npos) << c.sql << ": " << shape.refusal;
  }
}

TEST(SqlText, TableNamesAndRowQueries) {
  EXPECT_TRUE(IsTableName("CUSTOMERS"));
  EXPECT_TRUE(IsTableName("  \"order lines\" "));
  EXPECT_TRUE(IsTableName("public.customers"));
  EXPECT_FALSE(IsTableName("SELECT * FROM T"));
  EXPECT_FALSE(IsTableName("T WHERE 1 = 2"));
  EXPECT_TRUE(IsRowQuery("  select 1"));
  EXPECT_TRUE(IsRowQuery("WITH x AS (SELECT 1) SELECT * FROM x"));
  EXPECT_FALSE(IsRowQuery("INSERT INTO T VALUES (1)"));
}

TEST(SqlText, LiteralsAfterWhereBecomeParameters) {
  auto p = ParameterizeLiterals("SELECT * FROM CUSTOMERS WHERE CUSTNO = '42' AND NAME = 'O''Brien'");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->text, "SELECT * FROM CUSTOMERS WHERE CUSTNO = ? AND NAME = ?");
  ASSERT_EQ(p->values.size(), 2u);
  EXPECT_EQ(p->values[0], "42");
  EXPECT_EQ(p->values[1], "O'Brien");

  // Literals before WHERE name things (aliases, columns) and stay as written.
  p = ParameterizeLiterals("SELECT 'x' AS 'y' FROM T WHERE a = 'b' ORDER BY 'c'");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->text, "SELECT 'x' AS 'y' FROM T WHERE a = ? ORDER BY 'c'");

  EXPECT_FALSE(ParameterizeLiterals("SELECT * FROM T"));
  EXPECT_FALSE(ParameterizeLiterals("SELECT * FROM T WHERE a = 1"));
  EXPECT_FALSE(ParameterizeLiterals("SELECT * FROM T WHERE a IN (SELECT b FROM U WHERE c = 'x')"));
  EXPECT_FALSE(ParameterizeLiterals("SELECT * FROM T WHERE a = ? AND b = 'x'"));
  EXPECT_FALSE(ParameterizeLiterals("SELECT * FROM T WHERE a = X'00'"));
  EXPECT_FALSE(ParameterizeLiterals("DELETE FROM T WHERE a = 'x'"));
  // A quote inside a comment is not a literal.
  p = ParameterizeLiterals("SELECT * FROM T WHERE a = 'x' -- don't\n");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->values.size(), 1u);
}

TEST(ConnectionString, KeysValuesAndQuotes) {
  auto cs = ConnectionString::Parse(
      "Provider=Microsoft.Jet.OLEDB.4.0;Jet OLEDB:Database Password=pw;Data Source=/tmp/a b.mdb;"
      "Persist Security Info=False;");
  EXPECT_EQ(cs.Provider(), "Microsoft.Jet.OLEDB.4.0");
  EXPECT_EQ(cs.Get({"data source"}).value_or(""), "/tmp/a b.mdb");
  EXPECT_EQ(cs.Get({"JET OLEDB:DATABASE PASSWORD"}).value_or(""), "pw");
  cs = ConnectionString::Parse("  Data Source = \"x;y=\"\"z\"\"\" ; Mode='Create'");
  EXPECT_EQ(cs.Get({"Data Source"}).value_or(""), "x;y=\"z\"");
  EXPECT_EQ(cs.Get({"Mode"}).value_or(""), "Create");
  EXPECT_FALSE(cs.Get({"Provider"}));
}

TEST(ConnectionString, MalformedStringsNameTheFault) {
  for (const char* text : {"Provider", "=x", "Data Source=\"open", "Data Source='a' b"}) {
    VbError e = testing::Raised([&] { ConnectionString::Parse(text); });
    EXPECT_EQ(e.number(), adoerr::kBadConnectionString) << text;
    EXPECT_EQ(e.description().rfind("Malformed connection string: ", 0), 0u) << e.description();
    // The string may carry a password: the message must not repeat it.
    EXPECT_EQ(e.description().find(text), std::string::npos) << e.description();
  }
  VbError secret = testing::Raised([] { ConnectionString::Parse("Password=hunter2;Data Source=\"x"); });
  EXPECT_EQ(secret.description().find("hunter2"), std::string::npos) << secret.description();
  EXPECT_EQ(ProviderNameOf("Provider=SLXOLEDB.1;Data Source=\"broken"), "SLXOLEDB.1");
}

}  // namespace
}  // namespace veldrane::ado
