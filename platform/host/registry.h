// Registry: where the library reads the two machine settings it needs, the
// installation folder and the user's first keyboard layout.
//
// Values are addressed by their full path, root key first, as the shell
// object's regread takes them ("HKEY_CURRENT_USER\Keyboard Layout\Preload\1";
// the short roots HKLM and HKCU are accepted, and paths compare without
// regard to case). On Linux the default registry answers from the
// environment; hosts and tests install their own. This is not a store: the
// library never writes a registry value.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace veldrane::host {

// The installation folder of the product.
inline constexpr std::string_view kInstallPathValue = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillmont\\Harrowdeck\\Veldrane\\Path";
// The current user's first preloaded keyboard layout: eight hex digits.
inline constexpr std::string_view kKeyboardLayoutValue = "HKEY_CURRENT_USER\\Keyboard Layout\\Preload\\1";

class Registry {
 public:
  virtual ~Registry() = default;
  // The value at `full_path`, or nullopt when no such value exists (where
  // the shell object's regread would fail; callers decide what that means).
  virtual std::optional<std::string> RegRead(std::string_view full_path) = 0;
};

// The default registry: the installation folder from VELDRANE_HOME; the
// keyboard layout from VELDRANE_LANGUAGE (eight hex digits, or a locale name
// such as de_DE) or else from the first of LC_ALL, LC_MESSAGES, LANG that is
// set, mapped to its language identifier. Any other value is not found.
class EnvironmentRegistry : public Registry {
 public:
  std::optional<std::string> RegRead(std::string_view full_path) override;
};

// A registry held in memory, for tests and for hosts that configure the
// library themselves. Safe to share between threads.
class MemoryRegistry : public Registry {
 public:
  std::optional<std::string> RegRead(std::string_view full_path) override;
  // Sets (or replaces) the value at `full_path`.
  void Set(std::string_view full_path, std::string value);
  // Removes the value; later reads do not find it.
  void Remove(std::string_view full_path);

 private:
  std::mutex mutex_;
  std::map<std::string, std::string> values_;  // canonical path -> value
};

// The registry the library reads from: the one installed, else the
// environment registry.
std::shared_ptr<Registry> CurrentRegistry();
// Installs `registry` for the whole process; nullptr restores the default.
void SetCurrentRegistry(std::shared_ptr<Registry> registry);

// A registry path in one spelling: full root name in upper case, the rest
// lower case, so that equal paths compare equal as the registry compares them.
std::string CanonicalRegistryPath(std::string_view full_path);

// The language identifier of a POSIX locale name ("de_DE.UTF-8@euro",
// "fr_CA", "es") as eight upper-case hex digits ("00000407"), or nullopt for
// "C", "POSIX", an empty name or a language we do not know.
std::optional<std::string> LanguageIdForLocale(std::string_view locale);

}  // namespace veldrane::host
