// Persisted XML recordsets: our files in ADO's exact layout, files in ADO's
// own layouts (current, older, aliased names, pending changes), Null and
// empty values, atomic saving and damaged files.
#include <gtest/gtest.h>

#include "core/oadate.h"
#include "platform/db/ado.h"
#include "platform/db/tests/db_test_util.h"

namespace veldrane::ado {
namespace {

using testing::Raised;
using testing::ReadFile;
using testing::WriteFile;

const char* const kHeader =
    "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'\n"
    "\txmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'\n"
    "\txmlns:rs='urn:schemas-microsoft-com:rowset'\n"
    "\txmlns:z='#RowsetSchema'>\n";

// The five field types of the history tables, as Fields.Append makes them.
RecordsetRef HistoryLike() {
  auto rs = Recordset::Create();
  Fields& f = rs->GetFields();
  f.Append("ID", adDecimal, 10, adFldUnspecified);
  f.Append("NAME", adChar, 8, adFldUnspecified);
  f.Append("RUNTIME", adDBTimeStamp, 0, adFldUnspecified);
  f.Append("EVERY", adDouble, 0, adFldUnspecified);
  f.Append("KINDEVERY", adInteger, 2, adFldUnspecified);
  return rs;
}

const std::string kHistorySchema = std::string(kHeader) +
    "<s:Schema id='RowsetSchema'>\n"
    "\t<s:ElementType name='row' content='eltOnly' rs:updatable='true'>\n"
    "\t\t<s:AttributeType name='ID' rs:number='1' rs:nullable='true' rs:write='true'>\n"
    "\t\t\t<s:datatype dt:type='number' rs:dbtype='decimal' dt:maxLength='16' rs:precision='0' rs:scale='0' rs:fixedlength='true'/>\n"
    "\t\t</s:AttributeType>\n"
    "\t\t<s:AttributeType name='NAME' rs:number='2' rs:nullable='true' rs:write='true'>\n"
    "\t\t\t<s:datatype dt:type='string' rs:dbtype='str' dt:maxLength='8' rs:precision='0' rs:fixedlength='true'/>\n"
    "\t\t</s:AttributeType>\n"
    "\t\t<s:AttributeType name='RUNTIME' rs:number='3' rs:nullable='true' rs:write='true'>\n"
    "\t\t\t<s:datatype dt:type='dateTime' rs:dbtype='timestamp' dt:maxLength='16' rs:scale='0' rs:precision='0' rs:fixedlength='true'/>\n"
    "\t\t</s:AttributeType>\n"
    "\t\t<s:AttributeType name='EVERY' rs:number='4' rs:nullable='true' rs:write='true'>\n"
    "\t\t\t<s:datatype dt:type='float' dt:maxLength='8' rs:precision='0' rs:fixedlength='true'/>\n"
    "\t\t</s:AttributeType>\n"
    "\t\t<s:AttributeType name='KINDEVERY' rs:number='5' rs:nullable='true' rs:write='true'>\n"
    "\t\t\t<s:datatype dt:type='int' dt:maxLength='4' rs:precision='0' rs:fixedlength='true'/>\n"
    "\t\t</s:AttributeType>\n"
    "\t\t<s:extends type='rs:rowbase'/>\n"
    "\t</s:ElementType>\n"
    "</s:Schema>\n";

TEST(Persisted, EmptyAppendedTableSavesInAdoLayout) {
  testing::TempDir dir;
  auto rs = HistoryLike();
  EXPECT_EQ(rs->GetFields().Count(), 5);
  rs->Open();
  EXPECT_EQ(rs->RecordCount(), 0);
  EXPECT_TRUE(rs->IsEOF());
  EXPECT_EQ(Raised([&] { rs->GetFields().Append("X", adInteger); }).number(), vberr::kObjectOpen);
  std::string path = dir.File("executeddata.xml");
  rs->Save(path, adPersistXML);
  rs->Close();
  EXPECT_EQ(ReadFile(path), kHistorySchema + "<rs:data/>\n</xml>\n");
}

TEST(Persisted, RowsRoundTripThroughOurFile) {
  testing::TempDir dir;
  std::string path = dir.File("executedlogdata.xml");
  auto rs = HistoryLike();
  rs->Open();
  rs->Save(path);
  rs->Close();

  auto table = Recordset::Create();
  table->Open(Variant(path), Variant("Provider=MSPersist"), adOpenUnspecified, adLockUnspecified, -1);
  EXPECT_EQ(table->GetFields().Item("NAME").Type(), adChar);
  EXPECT_EQ(table->GetFields().Item("NAME").DefinedSize(), 8);
  EXPECT_EQ(table->GetFields().Item("ID").Type(), adDecimal);
  EXPECT_EQ(table->GetFields().Item("RUNTIME").Type(), adDBTimeStamp);
  EXPECT_EQ(table->GetFields().Item("EVERY").Type(), adDouble);
  EXPECT_EQ(table->GetFields().Item("KINDEVERY").Type(), adInteger);
  double when = OaFromParts({2024, 3, 1, 0, 0, 0});
  table->AddNew();
  table->GetFields().Item("ID").SetValue(Variant(int32_t{1}));
  table->GetFields().Item("NAME").SetValue(Variant("a'b&<c>"));
  table->GetFields().Item("RUNTIME").SetValue(Variant::Date(when));
  table->GetFields().Item("EVERY").SetValue(Variant(0.1));
  table->GetFields().Item("KINDEVERY").SetValue(Variant(int16_t{3}));
  table->Update();
  table->AddNew();  // left empty: every value Null
  table->GetFields().Item("NAME").SetValue(Variant(""));
  table->Update();
  EXPECT_EQ(Raised([&] { table->GetFields().Item("NAME").SetValue(Variant("123456789")); }).number(),
            adoerr::kTypeMismatch);
  table->Save();  // back to the file it came from
  EXPECT_EQ(ReadFile(path), kHistorySchema +
                                "<rs:data>\n"
                                "\t<z:row ID='1' NAME='a&apos;b&amp;&lt;c&gt; ' RUNTIME='2024-03-01T00:00:00' "
                                "EVERY='0.1' KINDEVERY='3'/>\n"
                                "\t<z:row NAME='        '/>\n"
                                "</rs:data>\n</xml>\n");

  auto again = Recordset::Create();
  again->Open(Variant(path), Variant("Provider=MSPersist"));
  ASSERT_EQ(again->RecordCount(), 2);
  Fields& f = again->GetFields();
  EXPECT_EQ(f.Item("ID").Value().ToDouble(), 1.0);
  EXPECT_EQ(f.Item("NAME").Value().ToString(), "a'b&<c> ");
  EXPECT_EQ(f.Item("RUNTIME").Value(), Variant::Date(when));
  EXPECT_EQ(f.Item("EVERY").Value(), Variant(0.1));
  EXPECT_EQ(f.Item("KINDEVERY").Value(), Variant(int32_t{3}));
  again->MoveNext();
  EXPECT_TRUE(f.Item("ID").Value().IsNull());
  EXPECT_EQ(f.Item("NAME").Value().ToString(), "        ");
  EXPECT_TRUE(f.Item("RUNTIME").Value().IsNull());
  // Deleting and saving rewrites the whole table; no temporary file stays behind.
  again->Delete();
  again->Save();
  size_t files = 0;
  for (auto& entry : std::filesystem::directory_iterator(dir.path())) files += entry.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 1u);
  auto last = Recordset::Create();
  last->Open(Variant(path), Variant("Provider=MSPersist"));
  EXPECT_EQ(last->RecordCount(), 1);
}

TEST(Persisted, ValuesWithLineBreaksAndOddNamesRoundTrip) {
  testing::TempDir dir;
  std::string path = dir.File("t.xml");
  auto rs = Recordset::Create();
  rs->GetFields().Append("COUNT(*)", adInteger);
  rs->GetFields().Append("TEXT", adVarWChar, 100);
  rs->Open();
  rs->AddNew();
  rs->GetFields().Item(Variant(int32_t{0})).SetValue(Variant(int32_t{5}));
  rs->GetFields().Item("TEXT").SetValue(Variant("line 1\r\n\tline \"2\" \xC3\xBC"));
  rs->Update();
  rs->Save(path);
  std::string text = ReadFile(path);
  EXPECT_NE(text.find("<s:AttributeType name='c0' rs:name='COUNT(*)' rs:number='1'"), std::string::npos);
  EXPECT_NE(text.find("<z:row c0='5' TEXT='line 1&#xD;&#xA;&#x9;line &quot;2&quot; \xC3\xBC'/>"), std::string::npos);
  auto back = Recordset::Create();
  back->Open(Variant(path), Variant("Provider=MSPersist"));
  EXPECT_EQ(back->GetFields().Item("COUNT(*)").Value(), Variant(int32_t{5}));
  EXPECT_EQ(back->GetFields().Item("TEXT").Value().ToString(), "line 1\r\n\tline \"2\" \xC3\xBC");
}

// Written by hand the way ADO writes a provider's rows: other prefixes bound
// to the same namespaces, an aliased column, provider metadata, Null values.
TEST(Persisted, ReadsAFileInAdosOwnLayout) {
  testing::TempDir dir;
  std::string path = dir.File("ado.xml");
  WriteFile(path,
            "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'\r\n"
            "\txmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'\r\n"
            "\txmlns:rs='urn:schemas-microsoft-com:rowset'\r\n"
            "\txmlns:z='#RowsetSchema'>\r\n"
            "<s:Schema id='RowsetSchema'>\r\n"
            "\t<s:ElementType name='row' content='eltOnly' rs:CommandTimeout='30'>\r\n"
            "\t\t<s:AttributeType name='ShipperID' rs:number='1' rs:maydefer='true' rs:writeunknown='true' "
            "rs:basetable='Shippers' rs:basecolumn='ShipperID' rs:keycolumn='true' rs:autoincrement='true'>\r\n"
            "\t\t\t<s:datatype dt:type='int' dt:maxLength='4' rs:precision='10' rs:fixedlength='true' rs:maybenull='false'/>\r\n"
            "\t\t</s:AttributeType>\r\n"
            "\t\t<s:AttributeType name='c1' rs:name='Company Name' rs:number='2' rs:nullable='true' rs:writeunknown='true'>\r\n"
            "\t\t\t<s:datatype dt:type='string' dt:maxLength='40'/>\r\n"
            "\t\t</s:AttributeType>\r\n"
            "\t\t<s:AttributeType name='Since' rs:number='3' rs:nullable='true'>\r\n"
            "\t\t\t<s:datatype dt:type='dateTime' rs:dbtype='timestamp' dt:maxLength='16' rs:scale='0' rs:precision='19' rs:fixedlength='true'/>\r\n"
            "\t\t</s:AttributeType>\r\n"
            "\t\t<s:AttributeType name='Rate' rs:number='4' rs:nullable='true'>\r\n"
            "\t\t\t<s:datatype dt:type='number' rs:dbtype='decimal' dt:maxLength='16' rs:precision='18' rs:scale='4' rs:fixedlength='true'/>\r\n"
            "\t\t</s:AttributeType>\r\n"
            "\t\t<s:extends type='rs:rowbase'/>\r\n"
            "\t</s:ElementType>\r\n"
            "</s:Schema>\r\n"
            "<rs:data>\r\n"
            "\t<z:row ShipperID='1' c1='Speedy &amp; Co' Since='1998-07-04T09:30:00' Rate='12.5'/>\r\n"
            "\t<z:row ShipperID='2' c1=''/>\r\n"
            "</rs:data>\r\n"
            "</xml>");
  auto rs = Recordset::Create();
  rs->Open(Variant(path), Variant("Provider=MSPersist"));
  ASSERT_EQ(rs->RecordCount(), 2);
  Fields& f = rs->GetFields();
  EXPECT_EQ(f.Item(Variant(int32_t{1})).Name(), "Company Name");
  EXPECT_EQ(f.Item("Company Name").Value().ToString(), "Speedy & Co");
  EXPECT_EQ(f.Item("SHIPPERID").Value(), Variant(int32_t{1}));
  EXPECT_EQ(f.Item("Since").Value(), Variant::Date(OaFromParts({1998, 7, 4, 9, 30, 0})));
  EXPECT_EQ(f.Item("Rate").Value(), Variant(12.5));
  EXPECT_EQ(f.Item("Rate").Precision(), 18);
  rs->MoveNext();
  EXPECT_EQ(f.Item("Company Name").Value(), Variant(""));  // empty attribute: empty text
  EXPECT_TRUE(f.Item("Since").Value().IsNull());             // absent attribute: Null
}

TEST(Persisted, ReadsTheOlderLayoutAndPendingChanges) {
  testing::TempDir dir;
  std::string path = dir.File("old.xml");
  WriteFile(path,
            "<xml xmlns:schema='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' "
            "xmlns:t='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882' xmlns:r='urn:schemas-microsoft-com:rowset' "
            "xmlns:row='#RowsetSchema'>"
            "<schema:Schema id='RowsetSchema'>"
            "<schema:ElementType name='row' content='eltOnly'>"
            "<schema:attribute type='K'/><schema:attribute type='V'/>"
            "<schema:extends type='r:rowbase'/>"
            "</schema:ElementType>"
            "<schema:AttributeType name='V' r:number='2' r:nullable='true'><schema:datatype t:type='string' t:maxLength='10'/></schema:AttributeType>"
            "<schema:AttributeType name='K' r:number='1'><schema:datatype t:type='i2'/></schema:AttributeType>"
            "</schema:Schema>"
            "<r:data>"
            "<row:row K='1' V='kept'/>"
            "<r:update><r:original><row:row K='2' V='old'/></r:original><row:row V='new'/></r:update>"
            "<r:insert><row:row K='3' V='added'/><row:row K='4'/></r:insert>"
            "<r:delete><row:row K='5' V='gone'/></r:delete>"
            "</r:data></xml>");
  auto rs = Recordset::Create();
  rs->Open(Variant(path), Variant("Provider=MSPersist"));
  std::vector<std::string> rows;
  for (; !rs->IsEOF(); rs->MoveNext()) {
    rows.push_back(rs->GetFields().Item("K").Value().ToString() + "=" + rs->GetFields().Item("V").Value().ToText());
  }
  EXPECT_EQ(rows, (std::vector<std::string>{"1=kept", "2=new", "3=added", "4="}));
  EXPECT_EQ(rs->GetFields().Item("K").Type(), adSmallInt);
}

TEST(Persisted, DamagedAndMissingFilesAreErrorsNamingTheFile) {
  testing::TempDir dir;
  std::string path = dir.File("damaged.xml");
  std::string cut = kHistorySchema.substr(0, kHistorySchema.size() / 2);
  WriteFile(path, cut);
  auto rs = Recordset::Create();
  VbError e = Raised([&] { rs->Open(Variant(path), Variant("Provider=MSPersist")); });
  EXPECT_EQ(e.number(), adoerr::kProviderFailure);
  EXPECT_NE(e.description().find(path), std::string::npos) << e.description();
  EXPECT_EQ(rs->State(), adStateClosed);
  EXPECT_EQ(ReadFile(path), cut);

  // One unreadable value costs its own row, not the table.
  WriteFile(path, kHistorySchema + "<rs:data><z:row KINDEVERY='1'/><z:row KINDEVERY='many'/>"
                                   "<z:row KINDEVERY='3'/></rs:data></xml>");
  rs->Open(Variant(path), Variant("Provider=MSPersist"));
  EXPECT_EQ(rs->RecordCount(), 2);
  ASSERT_EQ(rs->UnreadableRows().size(), 1u);
  EXPECT_NE(rs->UnreadableRows()[0].find("row 2, field 'KINDEVERY'"), std::string::npos) << rs->UnreadableRows()[0];
  rs->MoveLast();
  EXPECT_EQ(rs->GetFields().Item("KINDEVERY").Value().ToLong(), 3);
  rs->Close();

  e = Raised([&] { rs->Open(Variant(dir.File("none.xml")), Variant("Provider=MSPersist")); });
  EXPECT_EQ(e.number(), vberr::kFileNotOpened);
  EXPECT_NE(e.description().find("none.xml"), std::string::npos);
}

TEST(Persisted, AFailedSaveLeavesTheOldFile) {
  testing::TempDir dir;
  std::string path = dir.File("keep.xml");
  auto rs = HistoryLike();
  rs->Open();
  rs->Save(path);
  std::string before = ReadFile(path);
  auto again = Recordset::Create();
  again->Open(Variant(path), Variant("Provider=MSPersist"));
  again->AddNew();
  again->GetFields().Item("ID").SetValue(Variant(int32_t{9}));
  again->Update();
  EXPECT_EQ(Raised([&] { again->Save(dir.File("no/such/folder/x.xml")); }).number(), vberr::kFileNotOpened);
  EXPECT_EQ(Raised([&] { again->Save(path, adPersistADTG); }).number(), vberr::kArgumentsWrongType);
  EXPECT_EQ(ReadFile(path), before);
  EXPECT_EQ(Raised([&] { Recordset::Create()->Open(); }).number(), vberr::kConnectionUnusable);
}

TEST(Persisted, TwoColumnsOfOneNameKeepTheirOwnValues) {
  testing::TempDir dir;
  auto cn = Connection::Create();
  cn->Open("Provider=SQLite;Data Source=" + dir.File("q.db") + ";Mode=Create");
  auto rs = Recordset::Create();
  rs->Open(Variant("SELECT 1 AS X, 2 AS X"), Variant(ObjectRef(cn)), adOpenStatic, adLockReadOnly);
  std::string path = dir.File("twice.xml");
  rs->Save(path);
  // A row cannot hold one attribute twice: the second column goes by an alias.
  EXPECT_NE(ReadFile(path).find("rs:name='X'"), std::string::npos) << ReadFile(path);
  auto back = Recordset::Create();
  back->Open(Variant(path), Variant("Provider=MSPersist"));
  ASSERT_EQ(back->GetFields().Count(), 2);
  EXPECT_EQ(back->GetFields().Item(Variant(int32_t{0})).Name(), "X");
  EXPECT_EQ(back->GetFields().Item(Variant(int32_t{1})).Name(), "X");
  EXPECT_EQ(back->GetFields().Item(Variant(int32_t{0})).Value().ToLong(), 1);
  EXPECT_EQ(back->GetFields().Item(Variant(int32_t{1})).Value().ToLong(), 2);
}

TEST(Persisted, AnImplausibleFixedWidthIsNotPaddedOnSave) {
  testing::TempDir dir;
  std::string path = dir.File("wide.xml");
  std::string schema = kHistorySchema;
  size_t at = schema.find("dt:maxLength='8'");
  ASSERT_NE(at, std::string::npos);
  schema.replace(at, 16, "dt:maxLength='999999999'");
  WriteFile(path, schema + "<rs:data><z:row NAME='ab'/></rs:data></xml>");
  auto rs = Recordset::Create();
  rs->Open(Variant(path), Variant("Provider=MSPersist"));
  rs->Save(dir.File("saved.xml"));
  EXPECT_LT(ReadFile(dir.File("saved.xml")).size(), 10000u);
}

}  // namespace
}  // namespace veldrane::ado
