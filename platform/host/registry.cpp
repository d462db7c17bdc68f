#include "platform/host/registry.h"

#include <cstdlib>
#include <utility>

#include "core/text.h"

namespace veldrane::host {

namespace {

std::optional<std::string> Env(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

bool IsLayoutId(std::string_view text) {
  if (text.size() != 8) return false;
  for (char c : text) {
    bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  return true;
}

std::optional<std::string> KeyboardLayout() {
  if (auto explicit_value = Env("VELDRANE_LANGUAGE"); explicit_value && !explicit_value->empty()) {
    if (IsLayoutId(*explicit_value)) return explicit_value;
    if (auto id = LanguageIdForLocale(*explicit_value)) return id;
    // Neither a layout nor a locale we know: the user meant this value.
    return explicit_value;
  }
  // The first locale variable that is set decides, as for the C library.
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    auto value = Env(name);
    if (value && !value->empty()) return LanguageIdForLocale(*value);
  }
  return std::nullopt;
}

struct Installed {
  std::mutex mutex;
  std::shared_ptr<Registry> registry;
};

Installed& InstalledRegistry() {
  static Installed installed;
  return installed;
}

}  // namespace

std::string CanonicalRegistryPath(std::string_view full_path) {
  size_t sep = full_path.find('\\');
  std::string root = ToUpperAscii(full_path.substr(0, sep));
  if (root == "HKLM") root = "HKEY_LOCAL_MACHINE";
  if (root == "HKCU") root = "HKEY_CURRENT_USER";
  if (root == "HKCR") root = "HKEY_CLASSES_ROOT";
  if (sep == std::string_view::npos) return root;
  return root + ToLowerAscii(full_path.substr(sep));
}

std::optional<std::string> EnvironmentRegistry::RegRead(std::string_view full_path) {
  std::string path = CanonicalRegistryPath(full_path);
  if (path == CanonicalRegistryPath(kInstallPathValue)) return Env("VELDRANE_HOME");
  if (path == CanonicalRegistryPath(kKeyboardLayoutValue)) return KeyboardLayout();
  return std::nullopt;
}

std::optional<std::string> MemoryRegistry::RegRead(std::string_view full_path) {
  std::lock_guard lock(mutex_);
  auto it = values_.find(CanonicalRegistryPath(full_path));
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void MemoryRegistry::Set(std::string_view full_path, std::string value) {
  std::lock_guard lock(mutex_);
  values_[CanonicalRegistryPath(full_path)] = std::move(value);
}

void MemoryRegistry::Remove(std::string_view full_path) {
  std::lock_guard lock(mutex_);
  values_.erase(CanonicalRegistryPath(full_path));
}

std::shared_ptr<Registry> CurrentRegistry() {
  auto& installed = InstalledRegistry();
  std::lock_guard lock(installed.mutex);
  if (!installed.registry) installed.registry = std::make_shared<EnvironmentRegistry>();
  return installed.registry;
}

void SetCurrentRegistry(std::shared_ptr<Registry> registry) {
  auto& installed = InstalledRegistry();
  std::lock_guard lock(installed.mutex);
  installed.registry = std::move(registry);
}

}  // namespace veldrane::host
