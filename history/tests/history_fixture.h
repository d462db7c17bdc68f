// A temporary installation folder for the history tests: the registry points
// the store at it, the library folder (where the translation database would
// be) is a second, empty folder, and prompts are scripted.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "core/vb_error.h"
#include "platform/host/library_folder.h"
#include "platform/host/prompts.h"
#include "platform/host/registry.h"

namespace veldrane::testing {

inline std::string MakeTempFolder(const char* tag) {
  std::string pattern = (std::filesystem::temp_directory_path() / (std::string("veldrane-") + tag + "-XXXXXX")).string();
  return mkdtemp(pattern.data());
}

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

inline int ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const VbError& e) {
    return e.number();
  }
  return 0;
}

class HistoryFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = MakeTempFolder("hist");
    library = MakeTempFolder("lib");
    registry = std::make_shared<host::MemoryRegistry>();
    registry->Set(host::kInstallPathValue, folder);
    host::SetCurrentRegistry(registry);
    host::SetLibraryFolder(library);
    prompts = std::make_shared<host::ScriptedPrompts>();
    host::SetCurrentPrompts(prompts);
  }
  void TearDown() override {
    host::SetCurrentPrompts(nullptr);
    host::SetCurrentRegistry(nullptr);
    host::SetLibraryFolder("");
    std::filesystem::remove_all(folder);
    std::filesystem::remove_all(library);
  }
  std::string File(const std::string& name) const { return folder + "/" + name; }
  // Names of the entries of the installation folder, lock files left out.
  std::vector<std::string> FolderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      std::string name = entry.path().filename().string();
      if (name.size() < 5 || name.substr(name.size() - 5) != ".lock") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string folder;
  std::string library;
  std::shared_ptr<host::MemoryRegistry> registry;
  std::shared_ptr<host::ScriptedPrompts> prompts;
};

}  // namespace veldrane::testing
