// `veldrane design DOC`: serves a designer for one document on the loopback
// interface and prints its address; opens a browser when one is at hand.
// Ctrl-C stops it (a note says when changes were left unsaved).

#include <CLI/CLI.hpp>

#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <thread>

#include "cli/cli_context.h"
#include "cli/commands.h"
#include "designer/designer.h"
#include "platform/host/prompts.h"

extern char** environ;

namespace veldrane::cli {

namespace {

struct DesignOptions {
  std::string document;
  int port = 0;
  bool no_browser = false;
};

// Starts the desktop's browser on the address, when the session has a
// display and a way to open addresses; the address is printed either way.
void OpenBrowser(const std::string& address) {
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) return;
  std::string opener = "xdg-open";
  char* argv[] = {opener.data(), const_cast<char*>(address.c_str()), nullptr};
  pid_t pid = 0;
  // A missing opener is no failure: the person opens the printed address.
  if (::posix_spawnp(&pid, opener.c_str(), nullptr, nullptr, argv, environ) != 0) return;
  std::thread([pid] {
    int status = 0;
    ::waitpid(pid, &status, 0);
  }).detach();
}

int Design(const DesignOptions& options, const Context& context) {
  // Paths given relative to where the command started are resolved before
  // the command moves into the document's folder.
  std::string home = context.PrepareHome();
  std::string connection_file = context.ConnectionFile();
  std::string document = AbsolutePath(options.document);
  std::error_code ec;
  if (!std::filesystem::is_directory(std::filesystem::path(document).parent_path(), ec)) {
    throw CliError("the folder of '" + options.document + "' does not exist");
  }
  // Relative data sources in the document's connection strings are read
  // from the document's folder, as run, preview and check read them.
  EnterDocumentFolder(document);

  // Nobody answers the terminal while the person works in the browser: a
  // message the library would show goes to standard error instead.
  host::SetCurrentPrompts(std::make_shared<host::NonInteractivePrompts>(std::cerr));

  designer::DesignerOptions o;
  o.document = document;
  o.port = options.port;
  o.web_root = designer::DefaultWebRoot();
  o.executable = std::filesystem::read_symlink("/proc/self/exe", ec).string();
  o.connection_file = connection_file;
  o.global_args = {"--home", home, "--connections", o.connection_file};

  // Ctrl-C and termination are taken by one thread that stops the server;
  // every other thread inherits the blocked mask.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGUSR1);  // our own wake-up when the server ends first
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  std::unique_ptr<designer::DesignerServer> server;
  try {
    server = std::make_unique<designer::DesignerServer>(o);
  } catch (const std::runtime_error& error) {
    throw CliError(options.document + ": " + error.what());
  }
  std::thread waiter([&] {
    int signal = 0;
    sigwait(&stop_signals, &signal);
    if (signal != SIGUSR1) server->Stop();
  });

  std::printf("Designing %s\nOpen %s\n(Ctrl-C stops the designer.)\n", document.c_str(), server->Address().c_str());
  std::fflush(stdout);
  if (!options.no_browser) OpenBrowser(server->Address());
  bool served = server->Serve();
  // Wake the waiter when the server ended by itself.
  pthread_kill(waiter.native_handle(), SIGUSR1);
  waiter.join();
  if (!served) throw CliError("the designer could not listen on 127.0.0.1:" + std::to_string(server->port()));
  if (server->Dirty()) std::printf("\nThe designer stopped with unsaved changes to %s.\n", document.c_str());
  return kExitOk;
}

}  // namespace

void AddDesignCommand(CLI::App& app, const Context& context, int& status) {
  auto options = std::make_shared<DesignOptions>();
  CLI::App* cmd = app.add_subcommand("design", "Edit a document in the browser designer");
  cmd->footer("Serves the designer on 127.0.0.1 and prints its address, which carries a random token.\n"
              "A DOC that does not exist starts from the default template and is written on Save.");
  cmd->add_option("DOC", options->document, "The integration document (XML)")->required();
  cmd->add_option("--port", options->port, "The port to listen on (default: any free port)")->check(CLI::Range(0, 65535));
  cmd->add_flag("--no-browser", options->no_browser, "Only print the address");
  cmd->callback([options, &context, &status] { status = Design(*options, context); });
}

}  // namespace veldrane::cli
