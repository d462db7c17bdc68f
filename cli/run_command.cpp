// `veldrane run DOC`: the headless runner. Loads the document, runs it as a
// whole while showing its progress and its critical entries, then prints the
// run's counters, the time taken and where the log and the history went.
// The exit status tells the outcome (see run_report.h).

#include <CLI/CLI.hpp>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "cli/cli_context.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/progress.h"
#include "cli/run_report.h"
#include "core/oadate.h"
#include "core/text.h"
#include "engine/cls_process.h"
#include "history/cls_log.h"
#include "history/veldrane_data.h"
#include "vbscript/objects/deep_stack.h"

namespace veldrane::cli {

namespace {

constexpr size_t kRunStackBytes = size_t{64} << 20;

struct RunOptions {
  std::string document;
  std::string log_file;
  int32_t commit_size = 0;  // 0: the engine's default
  bool quiet = false;
};

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return text;
}

// Lines of the log that report errors, for a run that did not start.
std::string ErrorLines(const std::string& log) {
  std::string out;
  size_t pos = 0;
  while (pos < log.size()) {
    size_t end = log.find('\n', pos);
    if (end == std::string::npos) end = log.size();
    std::string line = Trimmed(log.substr(pos, end - pos));
    if (Contains(line, "ERROR")) out += "  " + line + "\n";
    pos = end + 1;
  }
  return out;
}

int Run(RunOptions options, const Context& context) {
  context.PrepareHome();
  if (!options.log_file.empty()) {
    options.log_file = AbsolutePath(options.log_file);
    // Find out now, not after an hour's run, that the log cannot be written.
    std::ofstream probe(options.log_file, std::ios::app);
    if (!probe) throw CliError("cannot write the log file '" + options.log_file + "': " + std::strerror(errno));
  }
  // A document that is not there is the engine's to report, in the run log
  // a scheduled job's operators read; its folder is entered when it exists.
  std::string document = AbsolutePath(options.document);
  try {
    document = EnterDocumentFolder(options.document);
  } catch (const CliError&) {
    // Loading names the missing file.
  }
  std::FILE* out = stdout;

  auto process = std::make_shared<clsProcess>();
  if (options.commit_size > 0) process->CommitSize(options.commit_size);

  ProgressDisplay::Mode mode = options.quiet           ? ProgressDisplay::Mode::Quiet
                               : IsTerminal(stdout) ? ProgressDisplay::Mode::Bar
                                                       : ProgressDisplay::Mode::Lines;
  ProgressDisplay progress(mode, options.quiet ? stderr : out);
  RunOutcome outcome;
  bool started = false;
  bool cancel_requested = false;
  InterruptGuard interrupt;

  auto poll_cancel = [&] {
    if (InterruptGuard::Requested() && !cancel_requested) {
      cancel_requested = true;
      process->CancelExec();
    }
  };
  process->ProcessStarted.connect([&](tStatistic& stats) {
    started = true;
    progress.Started(stats.TotalRecords);
  });
  process->StatisticsAdded.connect([&](tStatistic& stats) {
    progress.Advanced(stats);
    poll_cancel();
  });
  process->LogAdded.connect([&](std::string& text) { progress.Message(text); });
  process->SetMessageYield(poll_cancel);

  auto started_at = std::chrono::steady_clock::now();
  // Formulas may recurse deeply: the run gets a stack of its own, as
  // `veldrane script` gives scripts, so that recursion reaches the script
  // engine's depth limit instead of stopping a few thousand levels down.
  bool ran = false;
  try {
    vbs::RunOnStack(kRunStackBytes, [&] {
      ran = true;
      process->RunFile(document);
    });
  } catch (const VbError&) {
    if (ran) throw;
    process->RunFile(document);  // no such thread could be made: the engine still checks its stack
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_at).count();

  outcome.summary = process->LastRun();
  outcome.stats = process->Statistics();
  outcome.log_errors = Contains(process->Log()->Text(), "VeldraneRunner ERROR: ");
  if (started) progress.Finished(outcome.stats);

  std::string log_note = "not saved (use --log FILE)";
  bool log_failed = false;
  if (!options.log_file.empty()) {
    try {
      process->Log()->SaveLog(options.log_file);
      log_note = "appended to " + options.log_file;
    } catch (const VbError& error) {
      std::fprintf(stderr, "veldrane run: cannot write the log: %s\n", Describe(error).c_str());
      log_note = "NOT written (" + error.description() + ")";
      log_failed = true;
    }
  }

  const RunSummary& run = outcome.summary;
  RunResult result = Classify(outcome);
  if (result == RunResult::NotStarted) {
    // Nothing ran: the reason goes where errors go, whatever --quiet says.
    std::fprintf(stderr, "veldrane run: %s: %s\n", options.document.c_str(),
                 ReplaceAll(run.failure, "\r\n", "\n  ").c_str());
  }
  // What the run could not record is an error of its own, also when the
  // run was cancelled or stopped.
  if (!run.history_error.empty()) {
    std::fprintf(stderr, "veldrane run: the execution history row was not written: %s\n", run.history_error.c_str());
  }
  if (!run.log_rows_error.empty()) {
    std::fprintf(stderr, "veldrane run: rows of failed records were not written to the execution log: %s\n",
                 run.log_rows_error.c_str());
  }

  std::FILE* report = options.quiet ? stderr : out;
  if (!options.quiet || result != RunResult::Success) {
    if (!options.quiet && started) std::fprintf(report, "\n%s", CountersTable(outcome.stats).c_str());
    std::fprintf(report, "\n%s: %s\n", options.document.c_str(), Describe(result, outcome).c_str());
    if (result == RunResult::NotStarted) std::fputs(ErrorLines(process->Log()->Text()).c_str(), report);
    if (run.groups_redone > 0) {
      std::fprintf(report, "note:       %s group%s of records could not be committed together and %s written again "
                   "one record at a time (see the log)\n",
                   Grouped(run.groups_redone).c_str(), run.groups_redone == 1 ? "" : "s",
                   run.groups_redone == 1 ? "was" : "were");
    }
  }
  if (!options.quiet) {
    cVeldraneData store;
    std::fprintf(report, "time taken: %s\n", FormatDuration(seconds).c_str());
    std::fprintf(report, "log:        %s\n", log_note.c_str());
    if (run.history_written) {
      std::fprintf(report, "history:    %s\n", store.TableFile(executiondata).c_str());
    } else if (!run.history_error.empty()) {
      std::fprintf(report, "history:    NOT written (%s)\n", run.history_error.c_str());
    } else {
      std::fprintf(report, "history:    no row written (the run did not reach its end)\n");
    }
    if (run.failed_records > 0) {
      std::fprintf(report, "failures:   %s logged in %s (see: veldrane history errors)\n",
                   Grouped(run.failed_records).c_str(), store.TableFile(executionlogdata).c_str());
    }
  }
  int status = ExitStatus(result);
  // A log the user asked for and did not get is not a success.
  if (log_failed && status == kExitOk) status = kExitCannotRun;
  return status;
}

}  // namespace

void AddRunCommand(CLI::App& app, const Context& context, int& status) {
  auto options = std::make_shared<RunOptions>();
  CLI::App* cmd = app.add_subcommand("run", "Run an integration document as a whole");
  cmd->footer(
      "Shows a progress bar on a terminal (plain lines otherwise) and critical errors as they happen,\n"
      "then the counters, the time taken and where the log and the history went.\n"
      "Ctrl-C stops after the current record (the run still writes its history row); a second Ctrl-C aborts.\n"
      "Exit status: 0 every record succeeded; 1 some records failed, or the flow reaches no TARGET step or\n"
      "never reaches END; 2 the run could not start or was stopped by a critical error; 3 it ran but its\n"
      "history row or failure rows could not be written; 130 cancelled.");
  cmd->add_option("DOC", options->document, "The integration document (XML)")->required();
  cmd->add_option("--log", options->log_file, "Append the run log to FILE");
  cmd->add_option("--commit-size", options->commit_size, "Records per transaction on each target (default 1000)")
      ->check(CLI::Range(1, 1000000000));
  cmd->add_flag("-q,--quiet", options->quiet, "Print nothing unless the run fails");
  cmd->callback([options, &context, &status] { status = Run(*options, context); });
}

}  // namespace veldrane::cli
