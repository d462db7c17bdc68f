// `veldrane script FILE.vbs [ARGS...]`: runs a VBScript file with the
// engine's own runner, `veldrane-script`, which is built beside `veldrane`.
// The runner's output and exit status become the command's.

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_context.h"
#include "cli/commands.h"

namespace veldrane::cli {

namespace {

struct ScriptOptions {
  std::string file;
  std::vector<std::string> arguments;
};

// The runner beside this executable, else on the PATH.
std::string RunnerPath() {
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    auto beside = self.parent_path() / "veldrane-script";
    if (::access(beside.c_str(), X_OK) == 0) return beside.string();
  }
  return "veldrane-script";
}

int RunScript(const ScriptOptions& options, const Context& context) {
  RequireReadableFile(options.file, "script");
  context.PrepareHome();
  std::string runner = RunnerPath();
  std::vector<std::string> words{runner, options.file};
  words.insert(words.end(), options.arguments.begin(), options.arguments.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  std::fflush(nullptr);
  ::execvp(runner.c_str(), argv.data());
  throw CliError("cannot start the script runner '" + runner + "': " + std::strerror(errno) +
                 " (build the target veldrane-script)");
}

}  // namespace

void AddScriptCommand(CLI::App& app, const Context& context, int& status) {
  auto options = std::make_shared<ScriptOptions>();
  CLI::App* cmd = app.add_subcommand("script", "Run a VBScript file with Veldrane's script engine");
  cmd->footer("Runs FILE with veldrane-script (installed beside veldrane); its exit status is the command's.");
  cmd->add_option("FILE", options->file, "The script file (.vbs)")->required();
  cmd->add_option("ARGS", options->arguments, "Arguments passed to the script");
  cmd->callback([options, &context, &status] { status = RunScript(*options, context); });
}

}  // namespace veldrane::cli
