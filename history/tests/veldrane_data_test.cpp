#include "history/veldrane_data.h"

#include <thread>

#include "core/oadate.h"
#include "history/tests/history_fixture.h"
#include "platform/xml/xml_dom.h"

namespace veldrane {
namespace {

using testing::ErrorOf;
using testing::ReadWholeFile;

struct ExpectedField {
  const char* name;
  int32_t type;
  int32_t size;
};

// The tables as the product has always written them.
const std::vector<ExpectedField> kScheduled = {{"ID", 14, 10},   {"NAME", 129, 255},     {"FROM", 135, 0},
                                               {"TO", 135, 0},   {"EVERY", 5, 0},        {"KINDEVERY", 3, 2},
                                               {"WEEKDAY", 3, 5}, {"LASTRUN", 135, 0},   {"STATUS", 129, 255}};
const std::vector<ExpectedField> kExecuted = {{"ID", 14, 10},       {"NAME", 129, 255},   {"RUNTIME", 135, 0},
                                              {"END", 135, 0},      {"ROWS", 14, 10},     {"RINSERTS", 14, 10},
                                              {"RUPDATES", 14, 10}, {"RDELETED", 14, 10}, {"RERRORS", 14, 10},
                                              {"RESULT", 129, 255}};
const std::vector<ExpectedField> kExecutedLog = {{"ID", 14, 10},        {"RECORD", 14, 10},  {"NAME", 129, 255},
                                                 {"RUNTIME", 135, 0},   {"ERRNUMBER", 14, 10}, {"ERRDESC", 129, 255}};

std::string Trimmed(const Variant& v) {
  std::string s = v.ToString();
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

using VeldraneData = testing::HistoryFolderTest;

TEST_F(VeldraneData, FolderComesFromTheRegistryElseTheLibraryFolder) {
  EXPECT_EQ(cVeldraneData().Path(), folder);
  registry->Set(host::kInstallPathValue, folder + "/");
  EXPECT_EQ(cVeldraneData().Path(), folder);
  registry->Remove(host::kInstallPathValue);
  EXPECT_EQ(cVeldraneData().Path(), library);
  EXPECT_EQ(cVeldraneData().TableFile(executiondata), library + "/executeddata.xml");
}

TEST_F(VeldraneData, EachTableIsCreatedEmptyWithItsFieldsInOrder) {
  struct Case {
    kindrecordset krs;
    const char* file;
    const std::vector<ExpectedField>* fields;
  } cases[] = {{scheduleddata, "scheduleddata.xml", &kScheduled},
               {executiondata, "executeddata.xml", &kExecuted},
               {executionlogdata, "executedlogdata.xml", &kExecutedLog}};
  cVeldraneData store;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    ado::RecordsetRef rs = store.getRS(c.krs);
    EXPECT_TRUE(std::filesystem::exists(File(c.file)));
    ASSERT_EQ(rs->State(), ado::adStateOpen);
    EXPECT_EQ(rs->RecordCount(), 0);
    ado::Fields& fields = rs->GetFields();
    ASSERT_EQ(fields.Count(), static_cast<int32_t>(c.fields->size()));
    for (size_t i = 0; i < c.fields->size(); ++i) {
      ado::Field& field = fields.Item(Variant(static_cast<int32_t>(i)));
      EXPECT_EQ(field.Name(), (*c.fields)[i].name);
      EXPECT_EQ(field.Type(), (*c.fields)[i].type) << field.Name();
      if ((*c.fields)[i].type == ado::adChar) {
        EXPECT_EQ(field.DefinedSize(), 255) << field.Name();
      }
    }
  }
  EXPECT_TRUE(prompts->calls.empty());
}

TEST_F(VeldraneData, TableFilesHaveThePersistedRecordsetLayout) {
  cVeldraneData store;
  store.getRS(executionlogdata);
  std::string text = ReadWholeFile(File("executedlogdata.xml"));
  EXPECT_EQ(text.rfind("<xml", 0), 0u) << "no XML declaration before the root: " << text.substr(0, 40);

  xml::Document doc;
  ASSERT_TRUE(doc.load(File("executedlogdata.xml")));
  xml::Node root = doc.documentElement();
  EXPECT_EQ(root.nodeName(), "xml");
  // Namespaces are bound by URI; the prefixes are ADO's.
  EXPECT_EQ(root.attribute("xmlns:s"), "uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882");
  EXPECT_EQ(root.attribute("xmlns:dt"), "uuid:C2F41010-65B3-11d1-A29F-00AA00C14882");
  EXPECT_EQ(root.attribute("xmlns:rs"), "urn:schemas-microsoft-com:rowset");
  EXPECT_EQ(root.attribute("xmlns:z"), "#RowsetSchema");
  auto parts = root.childElements();
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].nodeName(), "s:Schema");
  EXPECT_EQ(parts[1].nodeName(), "rs:data");
  xml::Node element_type = parts[0].firstChildElement("s:ElementType");
  ASSERT_FALSE(element_type.IsNull());
  std::vector<std::string> names;
  for (const xml::Node& attr : element_type.childElements()) {
    if (attr.nodeName() == "s:AttributeType") names.push_back(attr.attribute("name"));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"ID", "RECORD", "NAME", "RUNTIME", "ERRNUMBER", "ERRDESC"}));
  xml::Node errdesc = element_type.childElements()[5].firstChildElement("s:datatype");
  EXPECT_EQ(errdesc.attribute("dt:type"), "string");
  EXPECT_EQ(errdesc.attribute("dt:maxLength"), "255");
  EXPECT_EQ(errdesc.attribute("rs:fixedlength"), "true");
}

TEST_F(VeldraneData, ARowSavedThroughTheRecordsetIsReadBackWithEveryValue) {
  double start = OaFromParts({2024, 3, 9, 8, 15, 30, 0});
  double end = OaFromParts({2024, 3, 9, 8, 16, 2, 0});
  {
    cVeldraneData store;
    ado::RecordsetRef rs = store.getRS(executiondata);
    rs->AddNew();
    ado::Fields& f = rs->GetFields();
    f.Item(std::string_view("ID")).SetValue(Variant(int32_t{1}));
    f.Item(std::string_view("NAME")).SetValue(Variant("/data/orders.xml"));
    f.Item(std::string_view("RUNTIME")).SetValue(Variant::Date(start));
    f.Item(std::string_view("END")).SetValue(Variant::Date(end));
    f.Item(std::string_view("ROWS")).SetValue(Variant(int32_t{10}));
    f.Item(std::string_view("RINSERTS")).SetValue(Variant(int32_t{7}));
    f.Item(std::string_view("RUPDATES")).SetValue(Variant(int32_t{2}));
    f.Item(std::string_view("RDELETED")).SetValue(Variant(int32_t{0}));
    f.Item(std::string_view("RERRORS")).SetValue(Variant(int32_t{1}));
    f.Item(std::string_view("RESULT")).SetValue(Variant("RESULT"));
    rs->Update();
    rs->Save();
  }
  ado::RecordsetRef rs = cVeldraneData().getRS(executiondata);
  ASSERT_EQ(rs->RecordCount(), 1);
  rs->MoveFirst();
  ado::Fields& f = rs->GetFields();
  EXPECT_EQ(f.Item(std::string_view("ID")).Value().ToLong(), 1);
  EXPECT_EQ(Trimmed(f.Item(std::string_view("NAME")).Value()), "/data/orders.xml");
  EXPECT_DOUBLE_EQ(f.Item(std::string_view("RUNTIME")).Value().ToDate(), start);
  EXPECT_DOUBLE_EQ(f.Item(std::string_view("END")).Value().ToDate(), end);
  EXPECT_EQ(f.Item(std::string_view("ROWS")).Value().ToLong(), 10);
  EXPECT_EQ(f.Item(std::string_view("RINSERTS")).Value().ToLong(), 7);
  EXPECT_EQ(f.Item(std::string_view("RUPDATES")).Value().ToLong(), 2);
  EXPECT_EQ(f.Item(std::string_view("RDELETED")).Value().ToLong(), 0);
  EXPECT_EQ(f.Item(std::string_view("RERRORS")).Value().ToLong(), 1);
  EXPECT_EQ(Trimmed(f.Item(std::string_view("RESULT")).Value()), "RESULT");
}

TEST_F(VeldraneData, ClearDeletesTheFileAndTheNextGetRSStartsEmpty) {
  cVeldraneData store;
  store.AppendRow(executionlogdata, [](ado::Recordset& rs) {
    rs.GetFields().Item(std::string_view("RECORD")).SetValue(Variant(int32_t{3}));
  });
  EXPECT_EQ(store.getRS(executionlogdata)->RecordCount(), 1);
  store.Clear(executionlogdata);
  EXPECT_FALSE(std::filesystem::exists(File("executedlogdata.xml")));
  EXPECT_EQ(store.getRS(executionlogdata)->RecordCount(), 0);
  store.Clear(executionlogdata);
  EXPECT_EQ(ErrorOf([&] { store.Clear(executionlogdata); }), 53);
}

TEST_F(VeldraneData, AValueThatNamesNoTableTouchesNoFile) {
  cVeldraneData store;
  ado::RecordsetRef rs = store.getRS(static_cast<kindrecordset>(3));
  EXPECT_EQ(rs->State(), ado::adStateClosed);
  store.Clear(static_cast<kindrecordset>(3));
  EXPECT_EQ(ErrorOf([&] { store.AppendRow(static_cast<kindrecordset>(-1), [](ado::Recordset&) {}); }), 5);
  EXPECT_TRUE(FolderEntries().empty());
}

TEST_F(VeldraneData, ADamagedFileIsSetAsideBeforeANewTableIsMade) {
  const std::string damaged = "<xml><s:Schema half a table";
  std::ofstream(File("executeddata.xml")) << damaged;
  ado::RecordsetRef rs = cVeldraneData().getRS(executiondata);
  EXPECT_EQ(rs->State(), ado::adStateOpen);
  EXPECT_EQ(rs->RecordCount(), 0);
  auto entries = FolderEntries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0], "executeddata.xml");
  EXPECT_EQ(entries[1].rfind("executeddata.xml.damaged-", 0), 0u) << entries[1];
  EXPECT_EQ(ReadWholeFile(File(entries[1])), damaged);
}

TEST_F(VeldraneData, TwoHoldersAppendingToOneTableLoseNoRow) {
  constexpr int kRowsEach = 20;
  auto writer = [&](int first_id) {
    cVeldraneData store;  // each holder has its own store, as process objects do
    for (int i = 0; i < kRowsEach; ++i) {
      store.AppendRow(executiondata, [&](ado::Recordset& rs) {
        rs.GetFields().Item(std::string_view("ID")).SetValue(Variant(int32_t{first_id + i}));
      });
    }
  };
  std::thread a(writer, 1000), b(writer, 2000);
  a.join();
  b.join();
  ado::RecordsetRef rs = cVeldraneData().getRS(executiondata);
  ASSERT_EQ(rs->RecordCount(), 2 * kRowsEach);
  std::vector<int32_t> ids;
  for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) {
    ids.push_back(rs->GetFields().Item(std::string_view("ID")).Value().ToLong());
  }
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids.front(), 1000);
  EXPECT_EQ(ids[kRowsEach - 1], 1000 + kRowsEach - 1);
  EXPECT_EQ(ids.back(), 2000 + kRowsEach - 1);
}

TEST_F(VeldraneData, AFailedFillLeavesTheFileAsItWas) {
  cVeldraneData store;
  store.AppendRow(executionlogdata, [](ado::Recordset&) {});
  std::string before = ReadWholeFile(File("executedlogdata.xml"));
  EXPECT_EQ(ErrorOf([&] {
              store.AppendRow(executionlogdata, [](ado::Recordset&) { throw VbError::TypeMismatch(); });
            }),
            13);
  EXPECT_EQ(ReadWholeFile(File("executedlogdata.xml")), before);
}

TEST_F(VeldraneData, GetRSFromFileShowsTheMessageAndReturnsAnUnopenedRecordset) {
  cVeldraneData store;
  ado::RecordsetRef rs = store.getRSFromFile(File("nowhere.xml"));
  EXPECT_EQ(rs->State(), ado::adStateClosed);
  ASSERT_EQ(prompts->calls.size(), 1u);
  EXPECT_EQ(prompts->calls[0].prompt, "Error Opening File");
  EXPECT_EQ(prompts->calls[0].title, "Error");
  EXPECT_EQ(prompts->calls[0].buttons, host::vbCritical | host::vbOKOnly);

  store.getRS(executiondata);
  EXPECT_EQ(store.getRSFromFile(File("executeddata.xml"))->State(), ado::adStateOpen);
  EXPECT_EQ(prompts->calls.size(), 1u);
}

TEST_F(VeldraneData, AMissingFolderIsAFailureOfGetRS) {
  registry->Set(host::kInstallPathValue, folder + "/missing");
  EXPECT_NE(ErrorOf([] { cVeldraneData().getRS(executiondata); }), 0);
}

}  // namespace
}  // namespace veldrane
