// How OLE DB connection strings become ODBC ones, and which strings choose
// the ODBC provider: no driver needed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "platform/db/ado.h"
#include "platform/db/connection_string.h"
#include "platform/db/odbc_connect.h"
#include "platform/db/tests/db_test_util.h"

namespace veldrane::ado {
namespace {

using testing::Raised;

OdbcConnectString Build(const std::string& text, const std::string& user = "", const std::string& password = "") {
  return BuildOdbcConnectString(ConnectionString::Parse(text), user, password);
}

TEST(OdbcConnectString, MapsOleDbKeysAndKeepsTheDriversOwn) {
  OdbcConnectString s = Build("Provider=MSDASQL;Data Source=crm;User ID=ann;Password=s3cret;Initial Catalog=sales;"
                              "Persist Security Info=False;Option=3");
  EXPECT_EQ(s.connect, "DSN=crm;UID=ann;PWD=s3cret;DATABASE=sales;Option=3;");
  EXPECT_EQ(s.shown, "DSN=crm;UID=ann;DATABASE=sales;Option=3;");
  EXPECT_EQ(s.password, "s3cret");
}

TEST(OdbcConnectString, BracedValuesAndExtendedPropertiesPassThrough) {
  OdbcConnectString s = Build("Provider=MSDASQL;Extended Properties=\"Driver={MariaDB Unicode};Server=db1;"
                              "PWD={a;b}}c}\";UID=bob");
  EXPECT_EQ(s.connect, "Driver={MariaDB Unicode};Server=db1;PWD={a;b}}c};UID=bob;");
  EXPECT_EQ(s.password, "a;b}c");
  EXPECT_EQ(s.shown.find("a;b"), std::string::npos);
}

TEST(OdbcConnectString, OpensCredentialsReplaceTheStringsAndAreQuotedWhenNeeded) {
  OdbcConnectString s = Build("DSN=crm;UID=x;PWD=y", "carol", "p;w d");
  EXPECT_EQ(s.connect, "DSN=crm;UID=carol;PWD={p;w d};");
  EXPECT_EQ(s.shown, "DSN=crm;UID=carol;");
  EXPECT_EQ(ScrubSecret("Access denied for p;w d", s.password), "Access denied for ***");
}

TEST(OdbcConnectString, AStringWithoutDataSourceIsRefusedByName) {
  VbError e = Raised([] { Build("Provider=MSDASQL;Server=db1"); });
  EXPECT_EQ(e.number(), adoerr::kBadConnectionString);
  EXPECT_NE(e.description().find("DSN="), std::string::npos);
}

TEST(OdbcConnectString, OdbcKeysWithoutAProviderChooseOdbc) {
  EXPECT_TRUE(IsOdbcWithoutProvider(ConnectionString::Parse("DSN=crm")));
  EXPECT_TRUE(IsOdbcWithoutProvider(ConnectionString::Parse("FILEDSN=/etc/x.dsn")));
  EXPECT_TRUE(IsOdbcWithoutProvider(ConnectionString::Parse("Driver={SQLite3};Database=/tmp/x")));
  EXPECT_FALSE(IsOdbcWithoutProvider(ConnectionString::Parse("Data Source=/tmp/x.db")));
  EXPECT_FALSE(IsOdbcWithoutProvider(ConnectionString::Parse("Provider=SQLite;DSN=x")));
  auto cn = Connection::Create();
  cn->SetConnectionString("DSN=crm");
  EXPECT_EQ(cn->Provider(), "MSDASQL");
  cn->SetConnectionString("Provider=MSDASQL.1;DSN=crm");
  EXPECT_EQ(cn->Provider(), "MSDASQL.1");
  // A DSN the driver manager does not know: its own message, no password.
  VbError e = Raised([&] { cn->Open("Provider=MSDASQL;DSN=no_such_dsn;PWD=hunter22"); });
  EXPECT_EQ(e.number(), adoerr::kProviderFailure);
  EXPECT_NE(e.description().find("IM002"), std::string::npos) << e.description();
  EXPECT_EQ(e.description().find("hunter22"), std::string::npos);
}

// What the data-link dialog offers: the drivers and data sources of the
// private odbcinst.ini / odbc.ini the test command uses.
TEST(OdbcConnectString, TheDriverManagerListsTheInstalledDriversAndDataSources) {
  ASSERT_NE(std::getenv("ODBCSYSINI"), nullptr) << "run through ctest";
  std::vector<std::string> drivers = InstalledOdbcDrivers();
  for (const char* d : {"MariaDB Unicode", "PostgreSQL Unicode", "SQLite3"}) {
    EXPECT_NE(std::find(drivers.begin(), drivers.end(), d), drivers.end()) << d;
  }
  std::vector<std::string> names;
  for (const OdbcDataSource& s : InstalledOdbcDataSources()) {
    names.push_back(s.name);
    if (s.name == "veldrane_maria") EXPECT_EQ(s.driver, "MariaDB Unicode");
  }
  EXPECT_NE(std::find(names.begin(), names.end(), "veldrane_maria"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "veldrane_pg"), names.end());
}

}  // namespace
}  // namespace veldrane::ado
