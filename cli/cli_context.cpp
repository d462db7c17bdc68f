#include "cli/cli_context.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/host/files.h"
#include "platform/host/library_folder.h"
#include "platform/host/registry.h"

namespace veldrane::cli {

namespace {

// Answers the installation folder from the chosen home and every other value
// (the keyboard layout) as the environment registry does.
class HomeRegistry : public host::Registry {
 public:
  explicit HomeRegistry(std::string home) : home_(std::move(home)) {}

  std::optional<std::string> RegRead(std::string_view full_path) override {
    if (host::CanonicalRegistryPath(full_path) == host::CanonicalRegistryPath(host::kInstallPathValue)) return home_;
    return environment_.RegRead(full_path);
  }

 private:
  std::string home_;
  host::EnvironmentRegistry environment_;
};

}  // namespace

std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  auto absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.lexically_normal().string();
}

std::string EnterDocumentFolder(const std::string& document) {
  std::string absolute = AbsolutePath(document);
  std::string folder = std::filesystem::path(absolute).parent_path().string();
  if (::chdir(folder.c_str()) != 0) throw CliError("cannot enter the folder '" + folder + "': " + std::strerror(errno));
  return absolute;
}

std::string DefaultHome() {
  if (const char* env = std::getenv("VELDRANE_HOME"); env && *env) return env;
  const char* user_home = std::getenv("HOME");
  std::string base = user_home && *user_home ? user_home : ".";
  return base + "/.local/share/veldrane";
}

std::string Context::PrepareHome() const {
  std::string folder = AbsolutePath(home.empty() ? DefaultHome() : home);
  MakeFolders(folder);
  host::SetCurrentRegistry(std::make_shared<HomeRegistry>(folder));
  return folder;
}

std::string Context::ConnectionFile() const {
  std::string chosen = connections;
  if (chosen.empty()) {
    if (const char* env = std::getenv("VELDRANE_CONNECTIONS"); env && *env) chosen = env;
  }
  if (chosen.empty()) return host::JoinPath(host::LibraryFolder(), "\\connections.cnn");
  std::error_code ec;
  if (std::filesystem::is_directory(chosen, ec)) return AbsolutePath(host::JoinPath(chosen, "\\connections.cnn"));
  return AbsolutePath(chosen);
}

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

std::string Describe(const VbError& error) {
  return error.description() + " (error " + std::to_string(error.number()) + ")";
}

void RequireReadableFile(const std::string& path, const std::string& what) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    throw CliError("cannot read " + what + " '" + path + "': " + std::strerror(errno));
  }
  if (S_ISDIR(st.st_mode)) throw CliError("cannot read " + what + " '" + path + "': it is a folder");
  if (::access(path.c_str(), R_OK) != 0) {
    throw CliError("cannot read " + what + " '" + path + "': " + std::strerror(errno));
  }
}

void MakeFolders(const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec || !std::filesystem::is_directory(folder)) {
    throw CliError("cannot create the folder '" + folder + "': " + (ec ? ec.message() : "not a folder"));
  }
}

std::string ReadFile(const std::string& path) {
  RequireReadableFile(path, "file");
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in.good() && !in.eof()) throw CliError("cannot read '" + path + "'");
  return text.str();
}

void WriteFileAtomically(const std::string& path, const std::string& content) {
  try {
    host::ReplaceFileAtomically(path, content);
  } catch (const VbError& e) {
    throw CliError("cannot write the file: " + e.description());
  }
}

}  // namespace veldrane::cli
