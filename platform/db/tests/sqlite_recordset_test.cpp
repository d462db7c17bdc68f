// Recordsets over real SQLite files: reading, counting, writing back by key
// or rowid, edit modes, and the failures the record transfer relies on.
#include <gtest/gtest.h>

#include "core/object.h"
#include "platform/db/ado.h"
#include "platform/db/field_values.h"
#include "platform/db/tests/db_test_util.h"

namespace veldrane::ado {
namespace {

using testing::Raised;

class SqliteRecordset : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("test.db");
    cn_ = Connection::Create();
    cn_->Open("Provider=SQLite;Data Source=" + path_ + ";Mode=Create");
    cn_->Execute(
        "CREATE TABLE CUSTOMERS (CUSTNO INTEGER PRIMARY KEY, NAME VARCHAR(40) NOT NULL, CITY TEXT);"
        "INSERT INTO CUSTOMERS VALUES (1, 'Alder', 'Bonn'), (2, 'Birch', 'Köln'), (3, 'Cedar', NULL);"
        "CREATE TABLE LOGROWS (MSG TEXT, N INTEGER);"
        "INSERT INTO LOGROWS VALUES ('same', 1), ('same', 1), ('other', 2);"
        "CREATE TABLE CITIES (CITY TEXT PRIMARY KEY, COUNTRY TEXT);"
        "INSERT INTO CITIES VALUES ('Bonn', 'DE');");
  }

  RecordsetRef Open(const std::string& sql, int32_t cursor = adOpenKeyset, int32_t lock = adLockOptimistic) {
    auto rs = Recordset::Create();
    rs->Open(Variant(sql), Variant(ObjectRef(cn_)), cursor, lock);
    return rs;
  }

  // The table's rows as "a|b|c" lines, read through a separate connection.
  std::vector<std::string> Rows(const std::string& sql) {
    auto other = Connection::Create();
    other->Open("Provider=SQLite;Data Source=" + path_);
    auto rs = other->Execute(sql);
    std::vector<std::string> out;
    for (; !rs->IsEOF(); rs->MoveNext()) {
      std::string line;
      for (int32_t i = 0; i < rs->GetFields().Count(); ++i) {
        line += (i ? "|" : "") + (rs->GetFields().Item(Variant(i)).Value().IsNull()
                                      ? std::string("<null>")
                                      : rs->GetFields().Item(Variant(i)).Value().ToString());
      }
      out.push_back(line);
    }
    return out;
  }

  testing::TempDir dir_;
  std::string path_;
  ConnectionRef cn_;
};

TEST_F(SqliteRecordset, ReadsCountsAndMoves) {
  auto rs = Open("SELECT * FROM CUSTOMERS ORDER BY CUSTNO", adOpenStatic, adLockReadOnly);
  EXPECT_EQ(rs->State(), adStateOpen);
  EXPECT_EQ(rs->RecordCount(), 3);
  EXPECT_FALSE(rs->IsBOF());
  EXPECT_EQ(rs->GetFields().Count(), 3);
  EXPECT_EQ(rs->GetFields().Item("name").Value().ToString(), "Alder");
  EXPECT_EQ(rs->GetFields().Item(Variant(int32_t{0})).Value(), Variant(int32_t{1}));
  EXPECT_EQ(rs->GetFields().Item("CUSTNO").Type(), adInteger);
  EXPECT_EQ(rs->GetFields().Item("NAME").DefinedSize(), 40);
  std::vector<std::string> names;
  for (; !rs->IsEOF(); rs->MoveNext()) names.push_back(rs->GetFields().Item("NAME").Value().ToString());
  EXPECT_EQ(names, (std::vector<std::string>{"Alder", "Birch", "Cedar"}));
  EXPECT_EQ(Raised([&] { rs->MoveNext(); }).number(), vberr::kNoCurrentRecord);
  EXPECT_EQ(Raised([&] { rs->GetFields().Item("NAME").Value(); }).number(), vberr::kNoCurrentRecord);
  EXPECT_EQ(Raised([&] { rs->EditMode(); }).number(), vberr::kNoCurrentRecord);
  rs->MoveLast();
  EXPECT_EQ(rs->GetFields().Item("CITY").Value(), Variant::Null());
  rs->MovePrevious();
  EXPECT_EQ(rs->GetFields().Item("CITY").Value().ToString(), "Köln");
  rs->MoveFirst();
  rs->MovePrevious();
  EXPECT_TRUE(rs->IsBOF());
  EXPECT_EQ(Raised([&] { rs->GetFields().Item("NOPE"); }).number(), vberr::kItemNotFound);
  EXPECT_EQ(Raised([&] { rs->GetFields().Item(Variant(int32_t{3})); }).number(), vberr::kItemNotFound);
  rs->Close();
  EXPECT_EQ(rs->State(), adStateClosed);
  EXPECT_EQ(Raised([&] { rs->IsEOF(); }).number(), vberr::kObjectClosed);
  EXPECT_EQ(Raised([&] { rs->Close(); }).number(), vberr::kObjectClosed);
}

TEST_F(SqliteRecordset, TableNameAsSourceAndEmptyResults) {
  auto rs = Open("CITIES", adOpenStatic, adLockReadOnly);
  EXPECT_EQ(rs->RecordCount(), 1);
  auto empty = Open("SELECT * FROM CUSTOMERS WHERE 1 = 2");
  EXPECT_TRUE(empty->IsEOF());
  EXPECT_TRUE(empty->IsBOF());
  EXPECT_EQ(empty->RecordCount(), 0);
  EXPECT_EQ(empty->GetFields().Count(), 3);  // the columns are known without rows
  EXPECT_EQ(Raised([&] { empty->EditMode(); }).number(), vberr::kNoCurrentRecord);
  EXPECT_EQ(Raised([&] { empty->Delete(); }).number(), vberr::kNoCurrentRecord);
}

TEST_F(SqliteRecordset, AddNewInsertsAndReadsBackTheGeneratedKey) {
  auto rs = Open("SELECT * FROM CUSTOMERS WHERE 1 = 2");
  rs->AddNew();
  EXPECT_EQ(rs->EditMode(), adEditAdd);
  EXPECT_FALSE(rs->IsEOF());
  rs->GetFields().Item("NAME").SetValue(Variant("Dogwood"));
  EXPECT_EQ(rs->EditMode(), adEditAdd);
  rs->Update();
  EXPECT_EQ(rs->EditMode(), adEditNone);
  EXPECT_EQ(rs->RecordCount(), 1);
  Variant key = rs->GetFields().Item("CUSTNO").Value();
  EXPECT_EQ(key, Variant(int32_t{4}));
  // A later change of the new row lands on that row.
  rs->GetFields().Item("CITY").SetValue(Variant("Jena"));
  EXPECT_EQ(rs->EditMode(), adEditInProgress);
  rs->Update();
  EXPECT_EQ(Rows("SELECT * FROM CUSTOMERS ORDER BY CUSTNO"),
            (std::vector<std::string>{"1|Alder|Bonn", "2|Birch|Köln", "3|Cedar|<null>", "4|Dogwood|Jena"}));
}

TEST_F(SqliteRecordset, AddedRowHoldsWhatDefaultsGeneratedColumnsAndTriggersPutThere) {
  cn_->Execute(
      "CREATE TABLE ORDERS (ID INTEGER PRIMARY KEY, QTY INTEGER, NOTE TEXT, STATUS TEXT DEFAULT 'new',"
      " TWICE INTEGER GENERATED ALWAYS AS (QTY * 2) STORED)");
  auto rs = Open("SELECT * FROM ORDERS WHERE 1 = 2");
  rs->AddNew();
  rs->GetFields().Item("QTY").SetValue(Variant(int32_t{21}));
  rs->Update();
  EXPECT_TRUE(rs->GetFields().Item("NOTE").Value().IsNull());
  EXPECT_EQ(rs->GetFields().Item("STATUS").Value().ToText(), "new");
  EXPECT_EQ(rs->GetFields().Item("TWICE").Value().ToLong(), 42);
  // A trigger added later (through the connection, so the table is looked at
  // again) may fill any column.
  cn_->Execute("CREATE TRIGGER ORDERS_NOTE AFTER INSERT ON ORDERS BEGIN "
               "UPDATE ORDERS SET NOTE = 'by trigger' WHERE ID = NEW.ID; END");
  rs = Open("SELECT * FROM ORDERS WHERE 1 = 2");
  rs->AddNew();
  rs->GetFields().Item("QTY").SetValue(Variant(int32_t{1}));
  rs->Update();
  EXPECT_EQ(rs->GetFields().Item("NOTE").Value().ToText(), "by trigger");
}

// A recordset keeps the rows added through it in a packed form: they must
// come back exactly as they were held, after thousands more, when changed
// again and when saved.
TEST_F(SqliteRecordset, AddedRowsComeBackAsTheyWereHeld) {
  cn_->Execute(
      "CREATE TABLE ITEMS (ID INTEGER PRIMARY KEY, NAME TEXT, AMOUNT REAL, QTY INTEGER, SEEN DATETIME,"
      " OK BOOLEAN, DATA BLOB, NOTE TEXT DEFAULT 'none')");
  auto rs = Open("SELECT * FROM ITEMS WHERE 1 = 2");
  Fields& f = rs->GetFields();
  const int rows = 3000;
  std::vector<std::vector<Variant>> held;
  cn_->BeginTrans();
  auto current = [&] {
    std::vector<Variant> values;
    for (int32_t i = 0; i < f.Count(); ++i) values.push_back(f.Item(Variant(i)).Value());
    return values;
  };
  for (int i = 0; i < rows; ++i) {
    rs->AddNew();
    // Names of 0 to 299 characters: lengths on both sides of one length byte.
    if (i % 7) f.Item("NAME").SetValue(Variant(std::string(static_cast<size_t>(i % 300), 'a' + i % 26)));
    f.Item("AMOUNT").SetValue(Variant(i * 0.1));
    f.Item("QTY").SetValue(Variant(int32_t{i - 1500}));
    if (i % 3 == 0) f.Item("SEEN").SetValue(Variant::Date(45000.25 + i));
    f.Item("OK").SetValue(Variant(i % 2 == 0));
    if (i % 5 == 0) f.Item("DATA").SetValue(BytesToVariant(std::string(static_cast<size_t>(i % 40), '\x7F').data(), i % 40));
    rs->Update();
    held.push_back(current());
  }
  cn_->CommitTrans();
  ASSERT_EQ(rs->RecordCount(), rows);
  EXPECT_EQ(held[0][7].ToText(), "none");  // the default the insert left to the database
  auto expect_held = [&] {
    rs->MoveFirst();
    int n = 0;
    for (; !rs->IsEOF(); rs->MoveNext(), ++n) {
      std::vector<Variant> values = current();
      for (size_t c = 0; c < values.size(); ++c) {
        if (values[c].IsArray()) {
          ASSERT_EQ(VariantToBytes(values[c]), VariantToBytes(held[static_cast<size_t>(n)][c])) << "row " << n;
        } else {
          ASSERT_EQ(values[c], held[static_cast<size_t>(n)][c]) << "row " << n << ", column " << c;
        }
      }
    }
    EXPECT_EQ(n, static_cast<int>(held.size()));
  };
  expect_held();

  // An added row changed again: the database and the recordset agree.
  rs->MoveFirst();
  for (int i = 0; i < 1500; ++i) rs->MoveNext();
  f.Item("NAME").SetValue(Variant("changed"));
  rs->Update();
  held[1500] = current();
  EXPECT_EQ(Rows("SELECT NAME FROM ITEMS WHERE ID = 1501"), std::vector<std::string>{"changed"});
  expect_held();

  // One deleted: skipped by moves, gone from the table and from the saved file.
  rs->MoveFirst();
  rs->MoveNext();
  rs->Delete();
  held.erase(held.begin() + 1);
  EXPECT_EQ(rs->RecordCount(), rows - 1);
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM ITEMS"), std::vector<std::string>{std::to_string(rows - 1)});
  expect_held();
  rs->Save(dir_.File("items.xml"), adPersistXML);
  auto saved = Recordset::Create();
  saved->Open(Variant(dir_.File("items.xml")), Variant("Provider=MSPersist"), adOpenStatic, adLockReadOnly);
  EXPECT_EQ(saved->RecordCount(), rows - 1);
  for (int i = 0; i < 1499; ++i) saved->MoveNext();
  EXPECT_EQ(saved->GetFields().Item("NAME").Value().ToText(), "changed");
}

TEST_F(SqliteRecordset, ReopenedRecordsetFindsFieldsOfItsNewColumns) {
  auto rs = Open("SELECT NAME, CITY FROM CUSTOMERS WHERE CUSTNO = '1'");
  EXPECT_EQ(rs->GetFields().Item("city").Value().ToText(), "Bonn");
  rs->Close();
  rs->Open(Variant("SELECT NAME, CITY FROM CUSTOMERS WHERE CUSTNO = '2'"), Variant(ObjectRef(cn_)), adOpenKeyset,
           adLockOptimistic);
  EXPECT_EQ(rs->GetFields().Item("city").Value().ToText(), "Köln");
  rs->Close();
  // Other columns in another order: names are found anew.
  rs->Open(Variant("SELECT CITY AS NAME, NAME AS CITY FROM CUSTOMERS WHERE CUSTNO = '2'"), Variant(ObjectRef(cn_)),
           adOpenKeyset, adLockOptimistic);
  EXPECT_EQ(rs->GetFields().Item("city").Value().ToText(), "Birch");
  EXPECT_EQ(rs->GetFields().Count(), 2);
  rs->Close();
  EXPECT_THROW(rs->GetFields().Item("city"), VbError);
}

TEST_F(SqliteRecordset, UpdateChangesOnlyTheCurrentRow) {
  auto rs = Open("SELECT NAME, CITY FROM CUSTOMERS WHERE CUSTNO = '2'");  // key not selected
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->EditMode(), adEditNone);
  rs->GetFields().Item("CITY").SetValue(Variant("Essen"));
  EXPECT_EQ(rs->EditMode(), adEditInProgress);
  EXPECT_EQ(rs->GetFields().Item("CITY").Value().ToString(), "Essen");
  rs->Update();
  EXPECT_EQ(rs->EditMode(), adEditNone);
  EXPECT_EQ(Rows("SELECT * FROM CUSTOMERS ORDER BY CUSTNO"),
            (std::vector<std::string>{"1|Alder|Bonn", "2|Birch|Essen", "3|Cedar|<null>"}));
  // A pending change is saved by a move, as ADO does; CancelUpdate drops one.
  auto all = Open("SELECT * FROM CUSTOMERS ORDER BY CUSTNO");
  all->GetFields().Item("CITY").SetValue(Variant("Ulm"));
  all->MoveNext();
  all->GetFields().Item("CITY").SetValue(Variant("Trier"));
  all->CancelUpdate();
  EXPECT_EQ(all->EditMode(), adEditNone);
  EXPECT_EQ(all->GetFields().Item("CITY").Value().ToString(), "Essen");
  EXPECT_EQ(Rows("SELECT CITY FROM CUSTOMERS ORDER BY CUSTNO"),
            (std::vector<std::string>{"Ulm", "Essen", "<null>"}));
}

// A run that updates or inserts goes from edits to new rows and back, with
// other columns each time; each write must set just what it was given.
TEST_F(SqliteRecordset, EditsAndNewRowsInTurnWriteWhatEachAssigned) {
  auto rs = Open("SELECT * FROM CUSTOMERS WHERE CUSTNO = 1");
  rs->GetFields().Item("CITY").SetValue(Variant("Ulm"));
  rs->Update();
  rs->AddNew();
  rs->GetFields().Item("CUSTNO").SetValue(Variant(7));
  rs->GetFields().Item("NAME").SetValue(Variant("Fir"));
  rs->Update();
  rs->Close();
  rs->Open(Variant("SELECT * FROM CUSTOMERS WHERE CUSTNO = 2"), Variant(ObjectRef(cn_)), adOpenKeyset, adLockOptimistic);
  rs->GetFields().Item("NAME").SetValue(Variant("Beech"));
  rs->Update();
  rs->AddNew();
  rs->GetFields().Item("NAME").SetValue(Variant("Yew"));
  rs->GetFields().Item("CITY").SetValue(Variant("Hof"));
  rs->Update();
  EXPECT_EQ(rs->GetFields().Item("CUSTNO").Value().ToLong(), 8);  // generated, read back
  rs->AddNew();
  rs->GetFields().Item("CUSTNO").SetValue(Variant(20));
  rs->GetFields().Item("NAME").SetValue(Variant("Elm"));
  rs->Update();
  EXPECT_EQ(Rows("SELECT * FROM CUSTOMERS ORDER BY CUSTNO"),
            (std::vector<std::string>{"1|Alder|Ulm", "2|Beech|Köln", "3|Cedar|<null>", "7|Fir|<null>",
                                      "8|Yew|Hof", "20|Elm|<null>"}));
}

TEST_F(SqliteRecordset, APendingEditIsDiscardedWithItsRecordset) {
  {
    auto rs = Open("SELECT * FROM CITIES WHERE 1 = 2");
    rs->AddNew();
    rs->GetFields().Item("CITY").SetValue(Variant("Wien"));
  }
  {
    auto rs = Open("SELECT * FROM CITIES");
    rs->GetFields().Item("COUNTRY").SetValue(Variant("XX"));
    rs->Close();
  }
  EXPECT_EQ(Rows("SELECT CITY, COUNTRY FROM CITIES"), std::vector<std::string>{"Bonn|DE"});
}

TEST_F(SqliteRecordset, AQueryFollowsATableChangedByAnotherConnection) {
  auto rs = Open("SELECT * FROM CITIES WHERE CITY = 'Bonn'");
  EXPECT_EQ(rs->GetFields().Count(), 2);
  auto other = Connection::Create();
  other->Open("Provider=SQLite;Data Source=" + path_);
  other->Execute("ALTER TABLE CITIES ADD COLUMN ZIP TEXT DEFAULT '53111'");
  auto again = Open("SELECT * FROM CITIES WHERE CITY = 'Bonn'");
  ASSERT_EQ(again->GetFields().Count(), 3);
  EXPECT_EQ(again->GetFields().Item("ZIP").Value().ToString(), "53111");
}

TEST_F(SqliteRecordset, RowsWithoutKeyAreWrittenByRowid) {
  // Two identical rows: a change or a delete must touch exactly one of them.
  auto rs = Open("SELECT * FROM LOGROWS WHERE MSG = 'same'");
  ASSERT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(rs->GetFields().Count(), 2);  // the rowid travels hidden
  rs->GetFields().Item("N").SetValue(Variant(int32_t{7}));
  rs->Update();
  EXPECT_EQ(Rows("SELECT MSG, N FROM LOGROWS ORDER BY rowid"),
            (std::vector<std::string>{"same|7", "same|1", "other|2"}));
  rs->MoveNext();
  rs->Delete(adAffectCurrent);
  EXPECT_EQ(rs->EditMode(), adEditDelete);
  EXPECT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(Raised([&] { rs->GetFields().Item("N").Value(); }).number(), vberr::kNoCurrentRecord);
  rs->MoveNext();
  EXPECT_TRUE(rs->IsEOF());
  EXPECT_EQ(Raised([&] { rs->EditMode(); }).number(), vberr::kNoCurrentRecord);
  EXPECT_EQ(Rows("SELECT MSG, N FROM LOGROWS ORDER BY rowid"), (std::vector<std::string>{"same|7", "other|2"}));
}

TEST_F(SqliteRecordset, DeleteKeepsEditModeFourUntilTheNextMove) {
  auto rs = Open("SELECT * FROM CUSTOMERS ORDER BY CUSTNO");
  rs->Delete();
  EXPECT_EQ(rs->EditMode(), adEditDelete);
  EXPECT_EQ(rs->EditMode(), adEditDelete);
  rs->MoveNext();
  EXPECT_EQ(rs->EditMode(), adEditNone);
  EXPECT_EQ(rs->GetFields().Item("CUSTNO").Value(), Variant(int32_t{2}));
  rs->MoveFirst();  // the deleted row is skipped
  EXPECT_EQ(rs->GetFields().Item("CUSTNO").Value(), Variant(int32_t{2}));
  EXPECT_EQ(Rows("SELECT CUSTNO FROM CUSTOMERS ORDER BY CUSTNO"), (std::vector<std::string>{"2", "3"}));

  auto only = Open("SELECT * FROM CITIES");
  only->Delete();
  EXPECT_FALSE(only->IsEOF());  // still positioned on the deleted row
  EXPECT_EQ(only->RecordCount(), 0);
  only->MoveNext();
  EXPECT_TRUE(only->IsEOF());
  EXPECT_TRUE(only->IsBOF());
}

TEST_F(SqliteRecordset, RecordsetsThatCannotWriteRefuseWith3251) {
  auto ro = Open("SELECT * FROM CUSTOMERS", adOpenStatic, adLockReadOnly);
  EXPECT_EQ(Raised([&] { ro->AddNew(); }).number(), vberr::kUpdateNotSupported);
  EXPECT_EQ(Raised([&] { ro->GetFields().Item("NAME").SetValue(Variant("x")); }).number(),
            vberr::kUpdateNotSupported);
  EXPECT_EQ(Raised([&] { ro->Delete(); }).number(), vberr::kUpdateNotSupported);

  auto joined = Open("SELECT C.NAME, T.COUNTRY FROM CUSTOMERS C JOIN CITIES T ON C.CITY = T.CITY");
  ASSERT_EQ(joined->RecordCount(), 1);
  VbError e = Raised([&] { joined->GetFields().Item("NAME").SetValue(Variant("x")); });
  EXPECT_EQ(e.number(), vberr::kUpdateNotSupported);
  EXPECT_NE(e.description().find("more than one table"), std::string::npos) << e.description();

  auto computed = Open("SELECT CUSTNO, NAME || '!' AS LOUD FROM CUSTOMERS");
  e = Raised([&] { computed->GetFields().Item("LOUD").SetValue(Variant("x")); });
  EXPECT_EQ(e.number(), vberr::kUpdateNotSupported);
  EXPECT_NE(e.description().find("LOUD"), std::string::npos);
  EXPECT_EQ(Rows("SELECT NAME FROM CUSTOMERS ORDER BY CUSTNO"), (std::vector<std::string>{"Alder", "Birch", "Cedar"}));
}

TEST_F(SqliteRecordset, ProviderFailuresKeepTheEditAndTheDatabase) {
  auto rs = Open("SELECT * FROM CUSTOMERS WHERE 1 = 2");
  rs->AddNew();
  rs->GetFields().Item("CUSTNO").SetValue(Variant(int32_t{1}));
  rs->GetFields().Item("NAME").SetValue(Variant("Duplicate"));
  VbError e = Raised([&] { rs->Update(); });
  EXPECT_EQ(e.number(), vberr::kProviderIntegrityViolation);
  EXPECT_NE(e.description().find("UNIQUE constraint failed: CUSTOMERS.CUSTNO"), std::string::npos) << e.description();
  EXPECT_EQ(rs->EditMode(), adEditAdd);  // the record transfer counts the failure as an insert
  // The pending row is as it was: mended, it is written.
  EXPECT_EQ(rs->GetFields().Item("NAME").Value().ToText(), "Duplicate");
  rs->GetFields().Item("CUSTNO").SetValue(Variant(int32_t{9}));
  rs->Update();
  EXPECT_EQ(Rows("SELECT NAME FROM CUSTOMERS WHERE CUSTNO = 9"), std::vector<std::string>{"Duplicate"});
  cn_->Execute("DELETE FROM CUSTOMERS WHERE CUSTNO = 9");
  ASSERT_EQ(cn_->GetErrors().Count(), 1);
  EXPECT_EQ(cn_->GetErrors().Item(0).Description(), e.description());
  cn_->GetErrors().Clear();
  EXPECT_EQ(cn_->GetErrors().Count(), 0);

  rs->CancelUpdate();
  rs->AddNew();
  e = Raised([&] { rs->Update(); });  // NAME is NOT NULL
  EXPECT_EQ(e.number(), vberr::kProviderIntegrityViolation);
  EXPECT_NE(e.description().find("NOT NULL constraint failed: CUSTOMERS.NAME"), std::string::npos);

  e = Raised([&] { rs->GetFields().Item("CUSTNO").SetValue(Variant("abc")); });
  EXPECT_EQ(e.number(), adoerr::kTypeMismatch);
  EXPECT_NE(e.description().find("CUSTNO"), std::string::npos);
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM CUSTOMERS"), std::vector<std::string>{"3"});

  auto bad = Recordset::Create();
  e = Raised([&] { bad->Open(Variant("SELECT * FROM NOSUCH"), Variant(ObjectRef(cn_)), 1, 3); });
  EXPECT_EQ(e.number(), vberr::kProviderCommandError);
  EXPECT_EQ(e.description(), "no such table: NOSUCH");
  EXPECT_EQ(cn_->GetErrors().Item(0).Description(), "no such table: NOSUCH");
  EXPECT_EQ(bad->State(), adStateClosed);
}

TEST_F(SqliteRecordset, TransactionsRollBackAndNest) {
  EXPECT_EQ(cn_->BeginTrans(), 1);
  auto rs = Open("SELECT * FROM CITIES WHERE 1 = 2");
  rs->AddNew();
  rs->GetFields().Item("CITY").SetValue(Variant("Graz"));
  rs->Update();
  EXPECT_EQ(cn_->BeginTrans(), 2);
  cn_->Execute("DELETE FROM CITIES WHERE CITY = 'Bonn'");
  cn_->RollbackTrans();  // the inner level only
  cn_->CommitTrans();
  EXPECT_EQ(Rows("SELECT CITY FROM CITIES ORDER BY CITY"), (std::vector<std::string>{"Bonn", "Graz"}));

  cn_->BeginTrans();
  cn_->Execute("DELETE FROM CITIES");
  // A failing statement inside the transaction leaves it usable.
  EXPECT_EQ(Raised([&] { cn_->Execute("INSERT INTO NOSUCH VALUES (1)"); }).number(), vberr::kProviderCommandError);
  cn_->RollbackTrans();
  EXPECT_EQ(Rows("SELECT CITY FROM CITIES ORDER BY CITY"), (std::vector<std::string>{"Bonn", "Graz"}));
  EXPECT_EQ(Raised([&] { cn_->CommitTrans(); }).number(), adoerr::kNoTransaction);
}

TEST_F(SqliteRecordset, ScriptsReachMembersByName) {
  auto rs = Open("SELECT * FROM CUSTOMERS ORDER BY CUSTNO");
  Variant arg[] = {Variant("name")};
  Variant field = rs->Invoke("", InvokeKind::Get, Args(arg, 1));  // rs("name")
  EXPECT_EQ(field.Resolved().ToString(), "Alder");
  EXPECT_EQ(rs->Get("Fields").AsObject()->Call("Item", {Variant("CITY")}).AsObject()->Get("Value").ToString(), "Bonn");
  EXPECT_EQ(rs->Get("eof"), Variant(false));
  EXPECT_EQ(rs->Get("RecordCount"), Variant(int32_t{3}));
  Variant assign[] = {Variant("CITY"), Variant("Gera")};
  rs->Invoke("", InvokeKind::Let, Args(assign, 2));  // rs("CITY") = "Gera"
  EXPECT_EQ(rs->Get("EditMode"), Variant(int32_t{adEditInProgress}));
  rs->Call("Update", {});
  Variant result = cn_->Call("Execute", {Variant("SELECT CITY FROM CUSTOMERS WHERE CUSTNO = 1")});
  // A field handed out keeps its rows after the recordset is dropped.
  Variant kept = result.AsObject()->Call("Fields", {}).AsObject()->Call("Item", {Variant(int32_t{0})});
  result = Variant();
  EXPECT_EQ(kept.Resolved().ToString(), "Gera");
  EXPECT_EQ(cn_->Get("Provider").ToString(), "SQLite");
  EXPECT_EQ(cn_->Get("Errors").AsObject()->Get("Count"), Variant(int32_t{0}));
  auto closed = cn_->Execute("UPDATE CUSTOMERS SET CITY = CITY");
  EXPECT_EQ(closed->State(), adStateClosed);
  // Several statements run in order; the rows are those of the last query.
  auto last = cn_->Execute("UPDATE CITIES SET COUNTRY = 'AT'; SELECT COUNTRY FROM CITIES; DELETE FROM LOGROWS");
  ASSERT_EQ(last->State(), adStateOpen);
  EXPECT_EQ(last->GetFields().Item("COUNTRY").Value().ToString(), "AT");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM LOGROWS"), std::vector<std::string>{"0"});
}

}  // namespace
}  // namespace veldrane::ado
