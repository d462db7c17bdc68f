#include "localization/bas_utils.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <thread>

#include "platform/host/library_folder.h"
#include "platform/host/registry.h"

namespace veldrane {
namespace {

namespace fs = std::filesystem;

struct TranslationRow {
  const char* language;
  const char* ambient;
  const char* source;
  Variant dest;  // Null: no translation entered
};

// Each case runs in a thread of its own: the translation connection belongs
// to the thread, as it does in the library.
template <class F>
void InFreshThread(F f) {
  std::thread t(f);
  t.join();
}

std::string Sql(const Variant& v) {
  if (v.IsNull()) return "NULL";
  return "'" + ReplaceAll(v.ToString(), "'", "''") + "'";
}

class Translation : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "veldrane-lang-XXXXXX").string();
    folder = mkdtemp(pattern.data());
    host::SetLibraryFolder(folder);
    registry = std::make_shared<host::MemoryRegistry>();
    registry->Set(host::kKeyboardLayoutValue, "00000407");
    host::SetCurrentRegistry(registry);
  }
  void TearDown() override {
    host::SetCurrentRegistry(nullptr);
    host::SetLibraryFolder("");
    fs::remove_all(folder);
  }

  // A translation database in the library folder holding `rows`.
  void MakeDatabase(const std::vector<TranslationRow>& rows) {
    auto cn = ado::Connection::Create();
    cn->Open("Provider=SQLite;Mode=Create;Data Source=" + folder + "/VeldraneLang.mdb");
    cn->Execute(
        "CREATE TABLE SYS_TRANSLATION (ID INTEGER PRIMARY KEY, DESTLANGUAGE TEXT, SOURCESTRING TEXT, "
        "AMBIENT TEXT, DestString TEXT)");
    for (const auto& row : rows) {
      cn->Execute("INSERT INTO SYS_TRANSLATION (DESTLANGUAGE, AMBIENT, SOURCESTRING, DestString) VALUES (" +
                  Sql(Variant(row.language)) + ", " + Sql(Variant(row.ambient)) + ", " + Sql(Variant(row.source)) +
                  ", " + Sql(row.dest) + ")");
    }
    cn->Close();
  }

  // The rows of the table for `source`, as "language|ambient|dest" ("<null>" for Null).
  std::vector<std::string> RowsFor(const std::string& source) {
    auto cn = ado::Connection::Create();
    cn->Open(TranslationConnectionString(folder));
    auto rs = cn->Execute("SELECT DESTLANGUAGE, AMBIENT, DestString FROM SYS_TRANSLATION WHERE SOURCESTRING = " +
                          Sql(Variant(source)) + " ORDER BY ID");
    std::vector<std::string> out;
    for (; !rs->IsEOF(); rs->MoveNext()) {
      auto& f = rs->GetFields();
      Variant dest = f.Item(std::string_view("DestString")).Value();
      out.push_back(f.Item(std::string_view("DESTLANGUAGE")).Value().ToText() + "|" +
                    f.Item(std::string_view("AMBIENT")).Value().ToText() + "|" +
                    (dest.IsNull() ? "<null>" : dest.ToString()));
    }
    cn->Close();
    return out;
  }

  std::string folder;
  std::shared_ptr<host::MemoryRegistry> registry;
};

TEST_F(Translation, ARowWithATranslationForTheLanguageAndContextIsUsed) {
  MakeDatabase({{"00000407", "cConnections", "New Connection", Variant("Neue Verbindung")},
                {"0000040C", "cConnections", "New Connection", Variant("Nouvelle connexion")}});
  InFreshThread([] {
    EXPECT_EQ(Translate("New Connection", "cConnections"), "Neue Verbindung");
    // Another context has no row: the text comes back and is recorded.
    EXPECT_EQ(Translate("New Connection", "cShape"), "New Connection");
  });
  registry->Set(host::kKeyboardLayoutValue, "0000040C");
  InFreshThread([] { EXPECT_EQ(Translate("New Connection", "cConnections"), "Nouvelle connexion"); });
  EXPECT_EQ(RowsFor("New Connection"),
            (std::vector<std::string>{"00000407|cConnections|Neue Verbindung", "0000040C|cConnections|Nouvelle connexion",
                                      "00000407|cShape|<null>"}));
}

TEST_F(Translation, AMissingTextIsRecordedOnceAndComesBackUnchanged) {
  MakeDatabase({});
  InFreshThread([] {
    EXPECT_EQ(Translate("Execution Stopped by user request", "clsProcess"), "Execution Stopped by user request");
    EXPECT_EQ(Translate("Execution Stopped by user request", "clsProcess"), "Execution Stopped by user request");
  });
  InFreshThread([] { Translate("Execution Stopped by user request", "clsProcess"); });
  EXPECT_EQ(RowsFor("Execution Stopped by user request"), (std::vector<std::string>{"00000407|clsProcess|<null>"}));
}

TEST_F(Translation, EmptyOrNullTranslationsGiveTheText) {
  MakeDatabase({{"00000407", "", "Error", Variant("")}, {"00000407", "clsProcess", " - On Line ", Variant::Null()}});
  InFreshThread([] {
    EXPECT_EQ(Translate("Error", ""), "Error");
    EXPECT_EQ(Translate(" - On Line ", "clsProcess"), " - On Line ");
  });
  EXPECT_EQ(RowsFor("Error").size(), 1u);  // a row existed: nothing recorded
}

TEST_F(Translation, AnEmptyContextMatchesARowOfAnyContext) {
  MakeDatabase({{"00000407", "cConnections", "Connection Name", Variant("Verbindungsname")}});
  InFreshThread([] {
    EXPECT_EQ(Translate("Connection Name", ""), "Verbindungsname");
    EXPECT_EQ(Translate("Connection Name", "cConnections"), "Verbindungsname");
  });
  EXPECT_EQ(RowsFor("Connection Name").size(), 1u);
}

TEST_F(Translation, WithoutARegistryValueTheKeyIsEmpty) {
  registry->Remove(host::kKeyboardLayoutValue);
  MakeDatabase({{"", "", "Error Opening File", Variant("Datei?")}});
  InFreshThread([] {
    EXPECT_EQ(Translate("Error Opening File", ""), "Datei?");
    EXPECT_EQ(Translate("Error", ""), "Error");
  });
  EXPECT_EQ(RowsFor("Error"), (std::vector<std::string>{"||<null>"}));
}

TEST_F(Translation, QuotesInTextsContextsAndKeysAreMatchedAndRecorded) {
  registry->Set(host::kKeyboardLayoutValue, "it's");
  MakeDatabase({{"it's", "o'clock", "Don't stop", Variant("N'arrêtez pas")}});
  InFreshThread([] {
    EXPECT_EQ(Translate("Don't stop", "o'clock"), "N'arrêtez pas");
    EXPECT_EQ(Translate("Can't open", "o'clock"), "Can't open");
  });
  EXPECT_EQ(RowsFor("Can't open"), (std::vector<std::string>{"it's|o'clock|<null>"}));
}

TEST_F(Translation, AMissingDatabaseIsNotTriedAgainInTheSameThread) {
  InFreshThread([this] {
    EXPECT_EQ(Translate("Error", ""), "Error");
    MakeDatabase({{"00000407", "", "Error", Variant("Fehler")}});
    // The database is there now, but this thread already failed to open it.
    EXPECT_EQ(Translate("Error", ""), "Error");
  });
  InFreshThread([] { EXPECT_EQ(Translate("Error", ""), "Fehler"); });
}

TEST_F(Translation, TheShippedDatabaseTranslatesTheTenTextsForALocale) {
  const char* build = std::getenv("VELDRANE_BUILD_DIR");
  ASSERT_NE(build, nullptr) << "run through CTest, which names the build folder";
  fs::copy_file(fs::path(build) / "lib" / "VeldraneLang.mdb", fs::path(folder) / "VeldraneLang.mdb");

  struct Text {
    const char* ambient;
    const char* source;
  } texts[] = {{"cConnections", "Enter a new connection name"},
               {"cConnections", "New Connection"},
               {"cConnections", "Connection Name"},
               {"cShape", "CRITICAL ERROR: Error opening connection"},
               {"clsProcess", "Execution Stopped by user request"},
               {"clsProcess", "Lookup cannot be used with a NULL value"},
               {"clsProcess", " - On Line "},
               {"", "Conversion error in transformation: "},
               {"", "Error Opening File"},
               {"", "Error"}};
  for (const char* language : {"00000407", "0000040C", "00000C0A"}) {
    registry->Set(host::kKeyboardLayoutValue, language);
    InFreshThread([&] {
      int translated = 0;
      for (const auto& text : texts) {
        std::string result = Translate(text.source, text.ambient);
        EXPECT_FALSE(result.empty()) << language << " " << text.source;
        if (result != text.source) ++translated;
      }
      // Spanish writes "Error" as English does; every other text differs.
      EXPECT_EQ(translated, std::string(language) == "00000C0A" ? 9 : 10) << language;
    });
  }
  // Other tests run the library from the build folder and may record texts
  // under their own language key there; only the shipped languages count.
  for (const auto& text : texts) {
    size_t shipped = 0;
    for (const std::string& row : RowsFor(text.source)) {
      for (const char* language : {"00000407|", "0000040C|", "00000C0A|"}) {
        if (row.rfind(language, 0) == 0) ++shipped;
      }
    }
    EXPECT_EQ(shipped, 3u) << "recorded a shipped text: " << text.source;
  }

  // A user whose locale is German sees German, through the default registry.
  host::SetCurrentRegistry(std::make_shared<host::EnvironmentRegistry>());
  std::string saved = std::getenv("VELDRANE_LANGUAGE") ? std::getenv("VELDRANE_LANGUAGE") : "";
  setenv("VELDRANE_LANGUAGE", "de_DE.UTF-8", 1);
  InFreshThread([] {
    EXPECT_EQ(Translate("New Connection", "cConnections"), "Neue Verbindung");
    EXPECT_EQ(Translate(" - On Line ", "clsProcess"), " - in Zeile ");
  });
  if (saved.empty()) {
    unsetenv("VELDRANE_LANGUAGE");
  } else {
    setenv("VELDRANE_LANGUAGE", saved.c_str(), 1);
  }
}

}  // namespace
}  // namespace veldrane
