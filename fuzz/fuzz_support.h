// What the fuzz targets share: one scratch folder per process for the files
// a target must hand to code that reads files, scripted prompts that answer
// every message box (none waits for a terminal), and the history folder
// pointed there, so that nothing a target does reaches the user's files.
#pragma once

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "platform/host/library_folder.h"
#include "platform/host/prompts.h"
#include "platform/host/registry.h"

namespace veldrane::fuzz {

inline const std::string& ScratchFolder() {
  static const std::string folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "veldrane-fuzz-XXXXXX").string();
    std::string made = ::mkdtemp(pattern.data());
    auto registry = std::make_shared<host::MemoryRegistry>();
    registry->Set(host::kInstallPathValue, made);
    host::SetCurrentRegistry(registry);
    host::SetLibraryFolder(made);
    return made;
  }();
  return folder;
}

// Writes `data` to the scratch file `name` and returns its path.
inline std::string WriteScratch(const std::string& name, const uint8_t* data, size_t size) {
  std::string path = ScratchFolder() + "/" + name;
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                  static_cast<std::streamsize>(size));
  return path;
}

// Fresh scripted prompts for one input: message boxes are answered OK.
inline void QuietPrompts() { host::SetCurrentPrompts(std::make_shared<host::ScriptedPrompts>()); }

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

}  // namespace veldrane::fuzz
