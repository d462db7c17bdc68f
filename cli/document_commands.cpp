// `veldrane new DOC` writes the default template as a new document;
// `veldrane render DOC -o FILE.svg` draws a document's flow chart the way
// the designer shows it, through the in-memory designer window.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "cli/cli_context.h"
#include "cli/commands.h"
#include "cli/svg_render.h"
#include "core/text.h"
#include "engine/cls_process.h"
#include "history/cls_log.h"
#include "model/memory_window.h"

namespace veldrane::cli {

namespace {

struct NewOptions {
  std::string document;
  bool force = false;
};

struct RenderOptions {
  std::string document;
  std::string output;
};

// Loads `document` (the template when empty) onto a fresh in-memory window.
std::shared_ptr<clsProcess> LoadOnWindow(const std::string& document, const std::shared_ptr<MemoryWindow>& window) {
  auto process = std::make_shared<clsProcess>();
  window->SetProcess(process);
  std::string load_error;
  try {
    load_error = process->LoadIntegration(document, window);
  } catch (const VbError& error) {
    throw CliError((document.empty() ? "the template" : document) +
                   ": the document does not fit the integration format: " + Describe(error));
  }
  if (!load_error.empty()) throw CliError(document + ": " + ReplaceAll(load_error, "\r\n", "\n  "));
  return process;
}

int New(const NewOptions& options, const Context& context) {
  std::error_code ec;
  if (std::filesystem::exists(options.document, ec) && !options.force) {
    throw CliError("'" + options.document + "' exists already (use --force to replace it)");
  }
  auto folder = std::filesystem::absolute(options.document).parent_path();
  if (!std::filesystem::is_directory(folder, ec)) throw CliError("the folder '" + folder.string() + "' does not exist");
  context.PrepareHome();

  auto window = std::make_shared<MemoryWindow>();
  auto process = LoadOnWindow("", window);
  size_t log_before = process->Log()->Text().size();
  process->SaveIntegration(options.document);
  // The writer logs its failures instead of raising them.
  std::string written = process->Log()->Text().substr(log_before);
  if (written.find_first_not_of("\r\n") != std::string::npos || !std::filesystem::exists(options.document, ec)) {
    throw CliError("cannot write '" + options.document + "': " + ReplaceAll(written, "\r\n", " "));
  }
  std::printf("%s: new integration written (START, SOURCE, TARGET, END; fill in the connections, the source\n"
              "and the target, then run 'veldrane check %s')\n",
              options.document.c_str(), options.document.c_str());
  return kExitOk;
}

int Render(const RenderOptions& options, const Context& context) {
  RequireReadableFile(options.document, "integration document");
  context.PrepareHome();
  std::string output = options.output;
  if (output.empty()) {
    output = std::filesystem::path(options.document).replace_extension(".svg").string();
  }
  auto window = std::make_shared<MemoryWindow>();
  auto process = LoadOnWindow(std::filesystem::absolute(options.document).string(), window);
  ShowLinkCaptions(*process->Lines(), *window);
  std::string svg = RenderSvg(*window, std::filesystem::path(options.document).filename().string());
  if (output == "-") {
    std::fputs(svg.c_str(), stdout);
    return kExitOk;
  }
  WriteFileAtomically(output, svg);
  std::printf("%s: %d steps, %d links drawn to %s\n", options.document.c_str(),
              process->Shapes()->Collection()->Count(), process->Lines()->Count(), output.c_str());
  return kExitOk;
}

}  // namespace

void AddNewCommand(CLI::App& app, const Context& context, int& status) {
  auto options = std::make_shared<NewOptions>();
  CLI::App* cmd = app.add_subcommand("new", "Write a new integration document from the default template");
  cmd->add_option("DOC", options->document, "The document to create")->required();
  cmd->add_flag("-f,--force", options->force, "Replace the file when it exists");
  cmd->callback([options, &context, &status] { status = New(*options, context); });
}

void AddRenderCommand(CLI::App& app, const Context& context, int& status) {
  auto options = std::make_shared<RenderOptions>();
  CLI::App* cmd = app.add_subcommand("render", "Draw a document's flow chart as SVG");
  cmd->footer("Steps are drawn as their flow-chart shapes with their captions, links as the designer routes\n"
              "them, ending in a dot, with their captions. '-o -' writes the picture to standard output.");
  cmd->add_option("DOC", options->document, "The integration document (XML)")->required();
  cmd->add_option("-o,--output", options->output, "The SVG file to write (default: DOC with .svg)");
  cmd->callback([options, &context, &status] { status = Render(*options, context); });
}

}  // namespace veldrane::cli
