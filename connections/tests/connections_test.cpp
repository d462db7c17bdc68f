#include "connections/connections.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/host/library_folder.h"
#include "platform/host/prompts.h"
#include "platform/host/registry.h"

namespace veldrane {
namespace {

namespace fs = std::filesystem;
using Kind = host::ScriptedPrompts::Kind;

int ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const VbError& e) {
    return e.number();
  }
  return 0;
}

std::vector<std::string> Names(cConnections& registry) {
  std::vector<std::string> out;
  for (const tConnection& entry : *registry.ConnectionsList()) out.push_back(entry.name);
  return out;
}

class Connections : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "veldrane-cnn-XXXXXX").string();
    folder = mkdtemp(pattern.data());
    host::SetLibraryFolder(folder);
    // No translation database in the folder: every text stays English.
    host::SetCurrentRegistry(std::make_shared<host::MemoryRegistry>());
    prompts = std::make_shared<host::ScriptedPrompts>();
    host::SetCurrentPrompts(prompts);
  }
  void TearDown() override {
    host::SetCurrentPrompts(nullptr);
    host::SetCurrentRegistry(nullptr);
    host::SetLibraryFolder("");
    fs::remove_all(folder);
  }
  void WriteFile(const std::string& text) { std::ofstream(folder + "/connections.cnn", std::ios::binary) << text; }
  void Add(cConnections& registry, const std::string& name, const std::string& conn) {
    registry.ConnectionsList()->Add(tConnection{name, conn}, name);
  }

  std::string folder;
  std::shared_ptr<host::ScriptedPrompts> prompts;
};

TEST(LoadFailureMessage, PutsThePiecesInOrder) {
  xml::ParseError error;
  error.errorCode = -1072896659;
  error.reason = "End tag 'a' does not match the start tag 'b'.\r\n";
  error.line = 3;
  error.linepos = 7;
  error.filepos = 41;
  error.srcText = "  </a>";
  error.url = "/opt/v/connections.cnn";
  EXPECT_EQ(LoadFailureMessage(error),
            "Your XML Document failed to loaddue the following error.\r\n"
            "Error #: -1072896659: End tag 'a' does not match the start tag 'b'.\r\n"
            "Line #: 3\r\nLine Position: 7\r\nPosition In File: 41\r\nSource Text:   </a>\r\n"
            "Document URL: /opt/v/connections.cnn");
  error.reason = "no line break";
  EXPECT_NE(LoadFailureMessage(error).find(": no line break\r\nLine #: 3"), std::string::npos);
}

TEST_F(Connections, ANewRegistryIsEmptyAndAMissingFileOnlyShowsTheMessage) {
  cConnections registry;
  EXPECT_EQ(registry.ConnectionsList()->Count(), 0);
  registry.LoadConnections();
  EXPECT_EQ(registry.ConnectionsList()->Count(), 0);
  ASSERT_EQ(prompts->calls.size(), 1u);
  const auto& call = prompts->calls[0];
  EXPECT_EQ(call.kind, Kind::MsgBox);
  EXPECT_EQ(call.buttons, host::vbExclamation | host::vbOKOnly);
  EXPECT_EQ(call.title, "");
  EXPECT_EQ(call.prompt.rfind("Your XML Document failed to loaddue the following error.\r\nError #: ", 0), 0u)
      << call.prompt;
  EXPECT_NE(call.prompt.find("Document URL: " + folder + "/connections.cnn"), std::string::npos) << call.prompt;
}

TEST_F(Connections, SavedEntriesLoadBackWithTheSameNamesStringsAndOrder) {
  cConnections saved;
  Add(saved, "zeta", "Provider=SQLite;Data Source=/d/z.db;");
  Add(saved, "Alpha & <Co>", "Provider=PostgreSQL;Host=db;Password='p\"w';");
  Add(saved, "empty", "");
  Add(saved, "Überweisung", "Provider=SQLite;Data Source=/d/ü.db;");
  saved.SaveConnections();

  cConnections loaded;
  loaded.LoadConnections();
  EXPECT_TRUE(prompts->calls.empty());
  ASSERT_EQ(Names(loaded), Names(saved));
  for (int32_t i = 1; i <= saved.ConnectionsList()->Count(); ++i) {
    EXPECT_EQ(loaded.ConnectionsList()->Item(i).connString, saved.ConnectionsList()->Item(i).connString);
  }
  EXPECT_EQ(loaded.ConnectionString("ALPHA & <co>"), "Provider=PostgreSQL;Host=db;Password='p\"w';");
}

TEST_F(Connections, TheSavedFileHasOneRootWithThreeAttributesAndOrderedChildren) {
  cConnections registry;
  Add(registry, "one", "Provider=SQLite;Data Source=a.db;");
  Add(registry, "two", "");
  registry.SaveConnections();

  xml::Document doc;
  ASSERT_TRUE(doc.load(folder + "/connections.cnn"));
  xml::Node root = doc.documentElement();
  EXPECT_EQ(root.nodeName(), "connections");
  EXPECT_EQ(root.attributes(), (std::vector<std::pair<std::string, std::string>>{
                                   {"lastconn", ""},
                                   {"xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance"},
                                   {"xsi:noNamespaceSchemaLocation", "connections.xsd"}}));
  auto entries = root.childNodes();
  ASSERT_EQ(entries.size(), 2u);
  for (const auto& entry : entries) {
    EXPECT_EQ(entry.nodeName(), "connection");
    auto parts = entry.childNodes();
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].nodeName(), "connname");
    EXPECT_EQ(parts[1].nodeName(), "connstring");
  }
  EXPECT_EQ(entries[0].childNodes()[1].text(), "Provider=SQLite;Data Source=a.db;");
  EXPECT_TRUE(entries[1].childNodes()[1].childNodes().empty());  // an empty value, an empty element
  // Nothing but the declaration and the root at the top.
  EXPECT_EQ(doc.childNodes().size(), 2u);
}

TEST_F(Connections, ForeignRootsPrefixesAndExtraElementsAreTolerated) {
  WriteFile(
      "<?xml version=\"1.0\"?>\n"
      "<registry version=\"2\" xmlns:a=\"urn:other\">\n"
      "  <!-- written by another tool -->\n"
      "  <a:connection kind=\"db\"><a:connname>first</a:connname><note>skip</note>"
      "<a:connstring>Provider=SQLite;Data Source=1.db</a:connstring></a:connection>\n"
      "  <other><connection><connname>nested</connname></connection></other>\n"
      "  <connection><connname>old</connname><connname>second</connname></connection>\n"
      "  <connection><connstring>unnamed-string</connstring><connname>third</connname></connection>\n"
      "</registry>\n");
  cConnections registry;
  registry.LoadConnections();
  EXPECT_TRUE(prompts->calls.empty());
  EXPECT_EQ(Names(registry), (std::vector<std::string>{"first", "second", "third"}));
  EXPECT_EQ(registry.ConnectionString("first"), "Provider=SQLite;Data Source=1.db");
  EXPECT_EQ(registry.ConnectionString("second"), "");  // no connstring: empty
  EXPECT_EQ(registry.ConnectionString("third"), "unnamed-string");
}

TEST_F(Connections, AHeldNameStopsTheLoadWithTheDuplicateKeyError) {
  WriteFile(
      "<connections><connection><connname>a</connname><connstring>s1</connstring></connection>"
      "<connection><connname>b</connname><connstring>s2</connstring></connection></connections>");
  cConnections registry;
  registry.LoadConnections();
  EXPECT_EQ(ErrorOf([&] { registry.LoadConnections(); }), 457);
  EXPECT_EQ(Names(registry), (std::vector<std::string>{"a", "b"}));

  WriteFile(
      "<connections><connection><connname>x</connname></connection>"
      "<connection><connname>X</connname></connection><connection><connname>y</connname></connection>"
      "</connections>");
  cConnections twice;
  EXPECT_EQ(ErrorOf([&] { twice.LoadConnections(); }), 457);
  EXPECT_EQ(Names(twice), (std::vector<std::string>{"x"}));
}

TEST_F(Connections, CreateAsksForTheDataSourceThenTheName) {
  cConnections registry;
  prompts->QueueDialog(std::optional<std::string>("Provider=SQLite;Data Source=/d/a.db"));
  prompts->QueueInput("Orders");
  registry.CreateConnection();
  EXPECT_EQ(registry.ConnectionString("orders"), "Provider=SQLite;Data Source=/d/a.db;");
  ASSERT_EQ(prompts->calls.size(), 2u);
  EXPECT_EQ(prompts->calls[0].kind, Kind::PromptNew);
  EXPECT_EQ(prompts->calls[1].kind, Kind::InputBox);
  EXPECT_EQ(prompts->calls[1].prompt, "Enter a new connection name");
  EXPECT_EQ(prompts->calls[1].title, "New Connection");
  EXPECT_EQ(prompts->calls[1].text, "");

  // A name already held (in any case) adds nothing and says nothing.
  prompts->QueueDialog(std::optional<std::string>("Provider=SQLite;Data Source=/d/b.db"));
  prompts->QueueInput("ORDERS");
  registry.CreateConnection();
  EXPECT_EQ(registry.ConnectionsList()->Count(), 1);
  EXPECT_EQ(registry.ConnectionString("orders"), "Provider=SQLite;Data Source=/d/a.db;");
  EXPECT_EQ(prompts->calls.size(), 4u);
}

TEST_F(Connections, CreateCancelledOrFailedAddsNothing) {
  cConnections registry;
  prompts->QueueDialog(std::optional<std::string>());  // dialog cancelled
  registry.CreateConnection();
  EXPECT_EQ(prompts->calls.size(), 1u);  // no name asked, no message

  prompts->QueueDialog(std::optional<std::string>("Provider=SQLite;Data Source=x.db"));
  prompts->QueueInput("");  // name prompt cancelled
  registry.CreateConnection();
  EXPECT_EQ(registry.ConnectionsList()->Count(), 0);

  prompts->QueueDialog(VbError(3706));
  registry.CreateConnection();
  EXPECT_EQ(registry.ConnectionsList()->Count(), 0);
  ASSERT_EQ(prompts->calls.size(), 5u);
  EXPECT_EQ(prompts->calls[4].kind, Kind::MsgBox);
  EXPECT_EQ(prompts->calls[4].prompt, "3706\r\nProvider cannot be found. It may not be properly installed.");
  EXPECT_EQ(prompts->calls[4].buttons, host::vbOKOnly);
}

TEST_F(Connections, ModifyEditsTheStringAndMovesTheEntryToTheEnd) {
  cConnections registry;
  Add(registry, "a", "Provider=SQLite;Data Source=a.db;");
  Add(registry, "b", "Provider=SQLite;Data Source=b.db;");
  Add(registry, "c", "Provider=SQLite;Data Source=c.db;");

  prompts->QueueDialog(std::optional<std::string>("Provider=SQLite;Data Source=new.db"));
  prompts->QueueInput("");  // keeps the name
  registry.ModifyConnection("A");
  EXPECT_EQ(Names(registry), (std::vector<std::string>{"b", "c", "a"}));
  EXPECT_EQ(registry.ConnectionString("a"), "Provider=SQLite;Data Source=new.db;");
  ASSERT_EQ(prompts->calls.size(), 2u);
  EXPECT_EQ(prompts->calls[0].prompt, "Provider=SQLite;Data Source=a.db;");  // the dialog got the old string
  EXPECT_EQ(prompts->calls[1].prompt, "Connection Name");
  EXPECT_EQ(prompts->calls[1].title, "Veldrane");
  EXPECT_EQ(prompts->calls[1].text, "a");

  prompts->QueueDialog(std::optional<std::string>("Provider=SQLite;Data Source=b2.db"));
  prompts->QueueInput("d");
  registry.ModifyConnection("b");
  EXPECT_EQ(Names(registry), (std::vector<std::string>{"c", "a", "d"}));
  EXPECT_EQ(registry.ConnectionString("d"), "Provider=SQLite;Data Source=b2.db;");
}

TEST_F(Connections, ModifyRefusesAnotherEntrysNameAndKeepsTheRegistryWhole) {
  cConnections registry;
  Add(registry, "a", "A;");
  Add(registry, "b", "B;");
  prompts->QueueDialog(std::optional<std::string>("A2"));
  prompts->QueueInput("B");
  registry.ModifyConnection("a");
  EXPECT_EQ(Names(registry), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(registry.ConnectionString("b"), "B;");
  EXPECT_EQ(registry.ConnectionString("a"), "A2;");
  ASSERT_EQ(prompts->calls.size(), 3u);
  EXPECT_EQ(prompts->calls[2].kind, Kind::MsgBox);
  EXPECT_NE(prompts->calls[2].prompt.find("\"B\""), std::string::npos) << prompts->calls[2].prompt;

  // Only the case of its own name changes: allowed.
  prompts->QueueDialog(std::optional<std::string>("A3"));
  prompts->QueueInput("A");
  registry.ModifyConnection("a");
  EXPECT_EQ(Names(registry), (std::vector<std::string>{"b", "A"}));
}

TEST_F(Connections, ModifyCancelledOrFailedChangesNothing) {
  cConnections registry;
  Add(registry, "a", "A;");
  Add(registry, "b", "B;");
  prompts->QueueDialog(std::optional<std::string>());
  registry.ModifyConnection("a");
  EXPECT_EQ(Names(registry), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(registry.ConnectionString("a"), "A;");
  EXPECT_EQ(prompts->calls.size(), 1u);  // no name asked

  prompts->QueueDialog(VbError(5, "The dialog could not be shown"));
  registry.ModifyConnection("a");
  EXPECT_EQ(Names(registry), (std::vector<std::string>{"a", "b"}));
  ASSERT_EQ(prompts->calls.size(), 3u);
  EXPECT_EQ(prompts->calls[2].prompt, "5\r\nThe dialog could not be shown");

  EXPECT_EQ(ErrorOf([&] { registry.ModifyConnection("missing"); }), 5);
  EXPECT_EQ(prompts->calls.size(), 3u);
}

TEST_F(Connections, DeleteIgnoresNamesNotHeld) {
  cConnections registry;
  Add(registry, "a", "A;");
  registry.DeleteConnection("missing");
  EXPECT_EQ(registry.ConnectionsList()->Count(), 1);
  registry.DeleteConnection("A");
  EXPECT_EQ(registry.ConnectionsList()->Count(), 0);
  EXPECT_EQ(ErrorOf([&] { registry.ConnectionString("a"); }), 5);
  EXPECT_TRUE(prompts->calls.empty());
}

TEST_F(Connections, ConnectionOpensByNameOrGivesNothingSilently) {
  auto create = ado::Connection::Create();
  create->Open("Provider=SQLite;Mode=Create;Data Source=" + folder + "/shop.db");
  create->Close();

  cConnections registry;
  Add(registry, "shop", "Provider=SQLite;Data Source=" + folder + "/shop.db;");
  Add(registry, "crm", "Provider=SLXOLEDB.1;Data Source=crm;");
  Add(registry, "gone", "Provider=SQLite;Data Source=" + folder + "/missing.db;");
  ado::ConnectionRef shop = registry.Connection("SHOP");
  ASSERT_NE(shop, nullptr);
  EXPECT_EQ(shop->State(), ado::adStateOpen);
  shop->Close();
  EXPECT_EQ(registry.Connection("crm"), nullptr);
  EXPECT_EQ(registry.Connection("gone"), nullptr);
  EXPECT_EQ(registry.Connection("unknown"), nullptr);
  EXPECT_FALSE(fs::exists(folder + "/missing.db"));
  EXPECT_TRUE(prompts->calls.empty());
}

TEST_F(Connections, SaveFailsWhenTheFolderCannotBeWritten) {
  cConnections registry;
  Add(registry, "a", "A;");
  host::SetLibraryFolder(folder + "/missing");
  EXPECT_NE(ErrorOf([&] { registry.SaveConnections(); }), 0);
  host::SetLibraryFolder(folder);
  registry.SaveConnections();
  EXPECT_TRUE(fs::exists(folder + "/connections.cnn"));
}

}  // namespace
}  // namespace veldrane
