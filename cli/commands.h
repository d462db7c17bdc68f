// The subcommands of `veldrane`. Each Add function registers one command
// (its options, its help and its callback) on the application; the callback
// stores the command's exit status in `status`. Bad input is reported by
// throwing CliError, which main turns into a message and a status.
#pragma once

namespace CLI {
class App;
}

namespace veldrane::cli {

struct Context;

void AddRunCommand(CLI::App& app, const Context& context, int& status);
void AddPreviewCommand(CLI::App& app, const Context& context, int& status);
void AddCheckCommand(CLI::App& app, const Context& context, int& status);
void AddNewCommand(CLI::App& app, const Context& context, int& status);
void AddRenderCommand(CLI::App& app, const Context& context, int& status);
void AddHistoryCommand(CLI::App& app, const Context& context, int& status);
void AddConnectionsCommand(CLI::App& app, const Context& context, int& status);
void AddScriptCommand(CLI::App& app, const Context& context, int& status);
void AddDesignCommand(CLI::App& app, const Context& context, int& status);

}  // namespace veldrane::cli
