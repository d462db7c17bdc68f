#include "platform/host/registry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/host/library_folder.h"

namespace veldrane::host {
namespace {

// Sets environment variables for one test and puts the old values back.
class ScopedEnv {
 public:
  void Set(const char* name, const char* value) {
    Remember(name);
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    for (auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }

 private:
  void Remember(const char* name) {
    for (auto& entry : saved_) {
      if (entry.first == name) return;
    }
    const char* old = std::getenv(name);
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(LanguageIdForLocale, MapsLocaleNamesToLanguageIdentifiers) {
  struct Row {
    const char* locale;
    const char* id;  // nullptr: not found
  } rows[] = {
      {"de_DE", "00000407"},       {"de_DE.UTF-8", "00000407"}, {"de_AT.UTF-8@euro", "00000C07"},
      {"en_US", "00000409"},       {"en_GB.UTF-8", "00000809"}, {"fr_FR", "0000040C"},
      {"fr_CA", "00000C0C"},       {"es_ES.UTF-8", "00000C0A"}, {"es_MX", "0000080A"},
      {"de", "00000407"},          {"de_BE", "00000407"},       {"pt-BR", "00000416"},
      {"C", nullptr},              {"POSIX", nullptr},          {"C.UTF-8", nullptr},
      {"", nullptr},               {"xx_YY", nullptr},
  };
  for (const auto& row : rows) {
    auto id = LanguageIdForLocale(row.locale);
    if (row.id) {
      ASSERT_TRUE(id.has_value()) << row.locale;
      EXPECT_EQ(*id, row.id) << row.locale;
    } else {
      EXPECT_FALSE(id.has_value()) << row.locale;
    }
  }
}

TEST(EnvironmentRegistry, ReadsTheInstallFolderAndLayoutFromTheEnvironment) {
  ScopedEnv env;
  EnvironmentRegistry registry;
  env.Set("VELDRANE_HOME", "/opt/veldrane");
  env.Set("VELDRANE_LANGUAGE", nullptr);
  env.Set("LC_ALL", nullptr);
  env.Set("LC_MESSAGES", "fr_FR.UTF-8");
  env.Set("LANG", "de_DE.UTF-8");
  EXPECT_EQ(registry.RegRead(kInstallPathValue).value_or("?"), "/opt/veldrane");
  // Short root and other case reach the same value, as in the registry.
  EXPECT_EQ(registry.RegRead("HKLM\\Software\\Quillmont\\Harrowdeck\\Veldrane\\PATH").value_or("?"),
            "/opt/veldrane");
  // LC_MESSAGES comes before LANG.
  EXPECT_EQ(registry.RegRead(kKeyboardLayoutValue).value_or("?"), "0000040C");
  env.Set("LC_ALL", "es_ES.UTF-8");
  EXPECT_EQ(registry.RegRead(kKeyboardLayoutValue).value_or("?"), "00000C0A");
  // An explicit layout wins and is used unchanged; a locale name is mapped.
  env.Set("VELDRANE_LANGUAGE", "00000407");
  EXPECT_EQ(registry.RegRead(kKeyboardLayoutValue).value_or("?"), "00000407");
  env.Set("VELDRANE_LANGUAGE", "en_US");
  EXPECT_EQ(registry.RegRead("hkcu\\keyboard layout\\preload\\1").value_or("?"), "00000409");
  EXPECT_FALSE(registry.RegRead("HKEY_CURRENT_USER\\Keyboard Layout\\Preload\\2").has_value());
}

TEST(EnvironmentRegistry, MissingValuesAreNotFound) {
  ScopedEnv env;
  EnvironmentRegistry registry;
  env.Set("VELDRANE_HOME", nullptr);
  env.Set("VELDRANE_LANGUAGE", nullptr);
  env.Set("LC_ALL", nullptr);
  env.Set("LC_MESSAGES", nullptr);
  env.Set("LANG", "C");
  EXPECT_FALSE(registry.RegRead(kInstallPathValue).has_value());
  EXPECT_FALSE(registry.RegRead(kKeyboardLayoutValue).has_value());
  env.Set("LANG", nullptr);
  EXPECT_FALSE(registry.RegRead(kKeyboardLayoutValue).has_value());
}

TEST(MemoryRegistry, SetReadRemoveAndInstall) {
  auto registry = std::make_shared<MemoryRegistry>();
  registry->Set("HKCU\\Keyboard Layout\\Preload\\1", "00000407");
  EXPECT_EQ(registry->RegRead(kKeyboardLayoutValue).value_or("?"), "00000407");
  EXPECT_FALSE(registry->RegRead(kInstallPathValue).has_value());

  SetCurrentRegistry(registry);
  EXPECT_EQ(CurrentRegistry().get(), registry.get());
  registry->Remove(kKeyboardLayoutValue);
  EXPECT_FALSE(CurrentRegistry()->RegRead(kKeyboardLayoutValue).has_value());
  SetCurrentRegistry(nullptr);
  EXPECT_NE(dynamic_cast<EnvironmentRegistry*>(CurrentRegistry().get()), nullptr);
}

TEST(LibraryFolder, IsTheFolderOfTheLoadedImageUnlessOverridden) {
  namespace fs = std::filesystem;
  // Linked into this test program, the library's code lives in its image.
  std::string folder = LibraryFolder();
  EXPECT_EQ(fs::path(folder), fs::canonical("/proc/self/exe").parent_path());

  SetLibraryFolder("/srv/veldrane/");
  EXPECT_EQ(LibraryFolder(), "/srv/veldrane");
  SetLibraryFolder("");
  EXPECT_EQ(LibraryFolder(), folder);
}

TEST(JoinPath, JoinsBackslashNamesWithOneSlash) {
  EXPECT_EQ(JoinPath("/opt/v", "\\connections.cnn"), "/opt/v/connections.cnn");
  EXPECT_EQ(JoinPath("/opt/v/", "/executeddata.xml"), "/opt/v/executeddata.xml");
  EXPECT_EQ(JoinPath("/opt/v", "VeldraneLang.mdb"), "/opt/v/VeldraneLang.mdb");
  EXPECT_EQ(JoinPath("/", "\\x.xml"), "/x.xml");
  EXPECT_EQ(JoinPath("", "\\x.xml"), "x.xml");
}

}  // namespace
}  // namespace veldrane::host
