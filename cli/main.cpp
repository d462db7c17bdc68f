// The `veldrane` command: runs, previews, checks, creates and draws
// integration documents, shows the run history and keeps the connection
// registry. Every command's failure ends here as one message on standard
// error and an exit status.

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>

#include "cli/cli_context.h"
#include "cli/commands.h"
#include "history/veldrane_data.h"
#include "platform/db/odbc_connect.h"
#include "platform/host/prompts.h"

int main(int argc, char** argv) {
  using namespace veldrane::cli;

  // The library asks nobody by itself: on a terminal its questions come to
  // the user, otherwise its messages go to standard error and questions
  // are cancelled.
  if (isatty(STDIN_FILENO) && isatty(STDERR_FILENO)) {
    // The dialog offers the ODBC drivers and data sources installed here.
    veldrane::host::OdbcChoices odbc;
    odbc.drivers = [] { return veldrane::ado::InstalledOdbcDrivers(); };
    odbc.data_sources = [] {
      std::vector<std::pair<std::string, std::string>> out;
      for (const auto& s : veldrane::ado::InstalledOdbcDataSources()) out.emplace_back(s.name, s.driver);
      return out;
    };
    veldrane::host::SetCurrentPrompts(
        std::make_shared<veldrane::host::TerminalPrompts>(std::cin, std::cerr, std::move(odbc)));
  } else {
    veldrane::host::SetCurrentPrompts(std::make_shared<veldrane::host::NonInteractivePrompts>(std::cerr));
  }
  // A history table found damaged and moved aside is told at once.
  veldrane::cVeldraneData::SetNoticeHandler([](const std::string& text) { std::cerr << text << '\n'; });

  Context context;
  int status = kExitOk;
  CLI::App app{"veldrane: run, preview, check, draw and inspect data integrations", "veldrane"};
  app.require_subcommand(1);
  app.fallthrough();
  app.add_option("--home", context.home,
                 "Folder of the history tables (default: $VELDRANE_HOME, else ~/.local/share/veldrane)");
  app.add_option("--connections", context.connections,
                 "The connection registry file, or a folder holding connections.cnn\n"
                 "(default: $VELDRANE_CONNECTIONS, else connections.cnn beside the library)");
  app.footer("Run 'veldrane COMMAND --help' for the options of a command.");

  AddRunCommand(app, context, status);
  AddPreviewCommand(app, context, status);
  AddCheckCommand(app, context, status);
  AddNewCommand(app, context, status);
  AddRenderCommand(app, context, status);
  AddHistoryCommand(app, context, status);
  AddConnectionsCommand(app, context, status);
  AddScriptCommand(app, context, status);
  AddDesignCommand(app, context, status);

  std::string command = "veldrane";
  try {
    app.parse(argc, argv);
    return status;
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    // Misuse: CLI11 prints what was wrong; the status is ours.
    app.exit(e);
    return kExitCannotRun;
  } catch (const CliError& e) {
    for (const CLI::App* sub : app.get_subcommands()) command += " " + sub->get_name();
    std::fprintf(stderr, "%s: %s\n", command.c_str(), e.what());
    return e.status();
  } catch (const veldrane::VbError& e) {
    for (const CLI::App* sub : app.get_subcommands()) command += " " + sub->get_name();
    std::fprintf(stderr, "%s: %s\n", command.c_str(), Describe(e).c_str());
    return kExitCannotRun;
  } catch (const std::exception& e) {
    for (const CLI::App* sub : app.get_subcommands()) command += " " + sub->get_name();
    std::fprintf(stderr, "%s: unexpected failure: %s\n", command.c_str(), e.what());
    return kExitCannotRun;
  }
}
