// `veldrane connections list|add|remove|show|test`: the registry of named
// connection strings (connections.cnn) that designer hosts offer their
// users. The file is read and written through the library's own registry
// class, so both see the same entries; every change replaces the file
// atomically.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
#include <sstream>
#include <string>

#include "cli/cli_context.h"
#include "cli/commands.h"
#include "connections/connections.h"
#include "platform/db/ado.h"
#include "platform/host/files.h"
#include "platform/host/library_folder.h"
#include "platform/host/prompts.h"

namespace veldrane::cli {

namespace {

struct ConnectionOptions {
  std::string name;
  std::string connection_string;
  bool replace = false;
};

std::string Masked(const std::string& connection_string) {
  static const std::regex kPassword("((^|;)\\s*(password|pwd)\\s*=)[^;]*", std::regex::icase);
  return std::regex_replace(connection_string, kPassword, "$1***");
}

// The registry loaded from the chosen file. The library keeps the file in
// its folder under a fixed name, so the folder is pointed at the file's.
class Registry {
 public:
  explicit Registry(const Context& context) : file_(context.ConnectionFile()) {
    std::filesystem::path path(file_);
    if (path.filename() != "connections.cnn") {
      throw CliError("the connection registry file must be called connections.cnn (given: " + file_ + ")");
    }
    host::SetLibraryFolder(path.parent_path().string());
    // Message boxes of the registry become our error messages.
    previous_ = host::CurrentPrompts();
    host::SetCurrentPrompts(std::make_shared<host::NonInteractivePrompts>(messages_));
    if (host::FileExists(file_)) {
      registry_.LoadConnections();
      if (!messages_.str().empty()) throw CliError(file_ + ": " + messages_.str());
    }
  }
  ~Registry() { host::SetCurrentPrompts(previous_); }

  cConnections& operator*() { return registry_; }
  cConnections* operator->() { return &registry_; }
  const std::string& file() const { return file_; }

  void Save() {
    std::filesystem::path folder = std::filesystem::path(file_).parent_path();
    MakeFolders(folder.string());
    try {
      registry_.SaveConnections();
    } catch (const VbError& error) {
      throw CliError("cannot write " + file_ + ": " + Describe(error));
    }
  }

  void Require(const std::string& name) {
    if (!registry_.ConnectionsList()->Contains(name)) {
      throw CliError("no connection named '" + name + "' in " + file_, kExitFailures);
    }
  }

 private:
  std::string file_;
  std::ostringstream messages_;
  std::shared_ptr<host::Prompts> previous_;  // restored when the registry is done
  cConnections registry_;
};

int List(const Context& context) {
  Registry registry(context);
  auto list = registry->ConnectionsList();
  if (list->Count() == 0) {
    std::printf("no connections in %s\n", registry.file().c_str());
    return kExitOk;
  }
  for (auto& entry : *list) std::printf("%-24s %s\n", entry.name.c_str(), Masked(entry.connString).c_str());
  return kExitOk;
}

int Add(const ConnectionOptions& options, const Context& context) {
  if (options.name.find_first_not_of(" \t") == std::string::npos) throw CliError("the connection name is empty");
  if (options.connection_string.empty()) throw CliError("the connection string is empty");
  Registry registry(context);
  auto list = registry->ConnectionsList();
  if (list->Contains(options.name)) {
    if (!options.replace) {
      throw CliError("a connection named '" + options.name + "' exists already (use --replace)", kExitFailures);
    }
    list->Remove(options.name);
  }
  list->Add(tConnection{options.name, options.connection_string}, options.name);
  registry.Save();
  std::printf("%s: %s\n", options.name.c_str(), options.replace ? "saved" : "added");
  return kExitOk;
}

int Remove(const std::string& name, const Context& context) {
  Registry registry(context);
  registry.Require(name);
  registry->DeleteConnection(name);
  registry.Save();
  std::printf("%s: removed\n", name.c_str());
  return kExitOk;
}

int ShowOne(const std::string& name, const Context& context) {
  Registry registry(context);
  registry.Require(name);
  std::printf("%s\n", registry->ConnectionString(name).c_str());
  return kExitOk;
}

int Test(const std::string& name, const Context& context) {
  Registry registry(context);
  registry.Require(name);
  auto connection = ado::Connection::Create();
  try {
    connection->Open(registry->ConnectionString(name));
  } catch (const VbError& error) {
    std::printf("%s: does not open: %s\n", name.c_str(), Describe(error).c_str());
    return kExitFailures;
  }
  std::printf("%s: opens (provider %s)\n", name.c_str(), connection->Provider().c_str());
  return kExitOk;
}

}  // namespace

void AddConnectionsCommand(CLI::App& app, const Context& context, int& status) {
  auto options = std::make_shared<ConnectionOptions>();
  CLI::App* cmd = app.add_subcommand("connections", "List, add, remove, show or test named connections");
  cmd->footer("Works on connections.cnn: --connections FILE|FOLDER, else $VELDRANE_CONNECTIONS, else the file\n"
              "beside the library. Passwords are masked in the list; 'show' prints the whole string.");
  cmd->require_subcommand(1);

  CLI::App* list = cmd->add_subcommand("list", "List the named connections");
  list->callback([&context, &status] { status = List(context); });

  CLI::App* add = cmd->add_subcommand("add", "Add a named connection");
  add->add_option("NAME", options->name, "The connection's name")->required();
  add->add_option("CONNSTRING", options->connection_string,
                  "The connection string, e.g. \"Provider=SQLite;Data Source=/data/shop.db\"")
      ->required();
  add->add_flag("--replace", options->replace, "Replace a connection of the same name");
  add->callback([options, &context, &status] { status = Add(*options, context); });

  CLI::App* remove = cmd->add_subcommand("remove", "Remove a named connection");
  remove->add_option("NAME", options->name, "The connection's name")->required();
  remove->callback([options, &context, &status] { status = Remove(options->name, context); });

  CLI::App* show = cmd->add_subcommand("show", "Print a connection's string");
  show->add_option("NAME", options->name, "The connection's name")->required();
  show->callback([options, &context, &status] { status = ShowOne(options->name, context); });

  CLI::App* test = cmd->add_subcommand("test", "Open a named connection and say whether it works");
  test->add_option("NAME", options->name, "The connection's name")->required();
  test->callback([options, &context, &status] { status = Test(options->name, context); });
}

}  // namespace veldrane::cli
