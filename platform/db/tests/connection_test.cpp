#include <gtest/gtest.h>

#include "core/object.h"
#include "platform/db/ado.h"
#include "platform/db/tests/db_test_util.h"

namespace veldrane::ado {
namespace {

using testing::Raised;

TEST(Connection, UnknownProvidersFailButStillNameThemselves) {
  auto cn = Connection::Create();
  cn->SetConnectionString("Provider=SLXOLEDB.1;Data Source=crm;User ID=u");
  EXPECT_EQ(cn->Provider(), "SLXOLEDB.1");
  VbError e = Raised([&] { cn->Open(); });
  EXPECT_EQ(e.number(), vberr::kProviderNotFound);
  EXPECT_NE(e.description().find("SLXOLEDB.1"), std::string::npos);
  EXPECT_EQ(cn->State(), adStateClosed);
  ASSERT_EQ(cn->GetErrors().Count(), 1);
  EXPECT_EQ(cn->GetErrors().Item(0).Number(), vberr::kProviderNotFound);
  EXPECT_EQ(cn->Provider(), "SLXOLEDB.1");
  EXPECT_EQ(Raised([&] { cn->GetErrors().Item(1); }).number(), vberr::kItemNotFound);
}

TEST(Connection, StateRulesFollowAdo) {
  testing::TempDir dir;
  auto cn = Connection::Create();
  EXPECT_EQ(cn->State(), adStateClosed);
  EXPECT_EQ(cn->CursorLocation(), adUseServer);
  EXPECT_EQ(Raised([&] { cn->Execute("SELECT 1"); }).number(), vberr::kObjectClosed);
  EXPECT_EQ(Raised([&] { cn->BeginTrans(); }).number(), vberr::kObjectClosed);
  EXPECT_EQ(Raised([&] { cn->Close(); }).number(), vberr::kObjectClosed);
  EXPECT_EQ(Raised([&] { cn->SetCursorLocation(7); }).number(), vberr::kArgumentsWrongType);
  cn->SetCursorLocation(adUseClient);
  std::string cs = "Data Source=" + dir.File("a.db") + ";Mode=Create";
  cn->Open(cs);  // no Provider: SQLite
  EXPECT_EQ(cn->State(), adStateOpen);
  EXPECT_EQ(cn->ConnectionString(), cs);
  EXPECT_EQ(cn->Provider(), "SQLite");
  EXPECT_EQ(Raised([&] { cn->Open(cs); }).number(), vberr::kObjectOpen);
  EXPECT_EQ(Raised([&] { cn->SetConnectionString("x=y"); }).number(), vberr::kObjectOpen);
  auto rs = cn->Execute("SELECT 1 AS ONE, 'a' AS TWO");
  EXPECT_EQ(rs->GetFields().Item("ONE").Value(), Variant(int16_t{1}));
  EXPECT_EQ(rs->LockType(), adLockReadOnly);
  cn->BeginTrans();
  cn->Close();  // rolls the open transaction back
  EXPECT_EQ(cn->State(), adStateClosed);
  // Rows already read stay readable after their connection closed.
  EXPECT_EQ(rs->GetFields().Item("TWO").Value().ToString(), "a");
}

TEST(Connection, MalformedStringsAndUnreachableServers) {
  auto cn = Connection::Create();
  EXPECT_EQ(Raised([&] { cn->Open("Provider=SQLite;Data Source"); }).number(), adoerr::kBadConnectionString);
  EXPECT_EQ(Raised([&] { cn->Open("Provider=SQLite"); }).number(), adoerr::kProviderFailure);
  VbError e = Raised([&] { cn->Open("Provider=PostgreSQL;Host=/nonexistent-socket-dir;Port=1;Connect Timeout=2"); });
  EXPECT_EQ(e.number(), adoerr::kProviderFailure);
  EXPECT_NE(e.description().find("/nonexistent-socket-dir"), std::string::npos) << e.description();
  EXPECT_EQ(cn->GetErrors().Item(0).Source(), "PostgreSQL");
}

TEST(Connection, PersistConnectionsHoldNoDatabase) {
  auto cn = Connection::Create();
  cn->Open("Provider=MSPersist");
  EXPECT_EQ(cn->State(), adStateOpen);
  EXPECT_EQ(Raised([&] { cn->Execute("SELECT 1"); }).number(), vberr::kConnectionUnusable);
}

TEST(Connection, ScriptFace) {
  testing::TempDir dir;
  ObjectRef cn = Connection::Create();
  cn->Let("ConnectionString", Variant("Provider=SQLite;Data Source=" + dir.File("s.db") + ";Mode=Create"));
  cn->Let("CursorLocation", Variant(int32_t{3}));
  cn->Call("Open", {Variant(""), Variant(""), Variant(""), Variant(int32_t{-1})});
  EXPECT_EQ(cn->Get("State"), Variant(int32_t{1}));
  EXPECT_EQ(cn->Call("BeginTrans", {}), Variant(int32_t{1}));
  cn->Call("RollbackTrans", {});
  Variant rs = cn->Call("Execute", {Variant("SELECT 'x' AS F")});
  EXPECT_EQ(rs.AsObject()->Call("", {Variant("F")}).Resolved().ToString(), "x");
  Variant errors = cn->Get("Errors");
  EXPECT_EQ(errors.AsObject()->Get("Count"), Variant(int32_t{0}));
  EXPECT_THROW(cn->Call("Execute", {Variant("SELEKT")}), VbError);
  EXPECT_EQ(errors.AsObject()->Get("Count"), Variant(int32_t{1}));
  EXPECT_NE(errors.AsObject()->Call("Item", {Variant(int32_t{0})}).AsObject()->Get("Description").ToString().find(
                "syntax error"),
            std::string::npos);
  errors.AsObject()->Call("Clear", {});
  EXPECT_EQ(errors.AsObject()->Get("Count"), Variant(int32_t{0}));
}

}  // namespace
}  // namespace veldrane::ado
