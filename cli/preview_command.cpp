// `veldrane preview DOC`: the first records of a run, one at a time, in the
// step-wise mode: for each record, what each TARGET step did (operation, key,
// values written or the error). Everything is rolled back at the end, and
// the history goes to a throw-away folder, so neither the target databases
// nor the user's history change.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_context.h"
#include "cli/commands.h"
#include "cli/flow_text.h"
#include "cli/interrupt.h"
#include "cli/run_report.h"
#include "core/text.h"
#include "engine/cls_process.h"
#include "engine/step_data.h"
#include "history/cls_log.h"
#include "platform/db/ado.h"

namespace veldrane::cli {

namespace {

struct PreviewOptions {
  std::string document;
  int32_t records = 10;
};

// A folder for the preview's history rows, removed when the preview ends.
class ScratchHome {
 public:
  ScratchHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "veldrane-preview-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw CliError("cannot create a temporary folder for the preview");
    path_ = pattern;
  }
  ~ScratchHome() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

const char* Outcome(const tStatistic& before, const tStatistic& after) {
  static const char* const kDone[] = {"", "inserted", "updated", "looked up", "deleted"};
  static const char* const kFailed[] = {"", "FAILED (insert)", "FAILED (update)", "FAILED (lookup)", "FAILED (delete)"};
  for (int k = 1; k <= 4; ++k) {
    if (after.Errors[k] > before.Errors[k]) return kFailed[k];
  }
  for (int k = 1; k <= 4; ++k) {
    if (after.Success[k] > before.Success[k]) return kDone[k];
  }
  if (after.Totals[5] > before.Totals[5]) return "FAILED";
  return nullptr;
}

// "F = value" for the mappings that `want` selects, read from the step's
// current row.
std::string RowValues(cShape& step, const tStorage& storage, bool keys) {
  std::string out;
  if (!storage.fields) return out;
  std::shared_ptr<ado::Recordset> rows;
  try {
    rows = StepData::Of(step).data();
  } catch (const VbError& error) {
    return "(rows not readable: " + error.description() + ")";
  }
  if (!rows || rows->State() == ado::adStateClosed) return "(no rows)";
  if (rows->IsEOF() || rows->IsBOF()) return keys ? "(no row found)" : std::string();
  for (auto& field : *storage.fields) {
    bool is_key = !field.f_lookup.empty();
    if (keys ? !is_key : (is_key || field.f_value.empty())) continue;
    if (!out.empty()) out += ", ";
    try {
      out += field.f_name + " = " + Show(rows->GetFields().Item(field.f_name).Value());
    } catch (const VbError& error) {
      out += field.f_name + " = (" + error.description() + ")";
    }
  }
  return out;
}

// The log entries a step wrote: the errors of the record, one per line.
void PrintErrors(const std::string& log) {
  size_t pos = 0;
  while (pos < log.size()) {
    size_t end = log.find("\r\n", pos);
    if (end == std::string::npos) end = log.size();
    std::string line = log.substr(pos, end - pos);
    if (!line.empty()) std::printf("      error:  %s\n", line.c_str());
    pos = end + 2;
  }
}

class StepReporter {
 public:
  StepReporter(clsProcess& process, std::vector<std::shared_ptr<cShape>> walk)
      : process_(process), walk_(std::move(walk)) {}

  void BeginRecord(int32_t number, int32_t total) {
    std::printf("record %s of %s\n", Grouped(number).c_str(), Grouped(total).c_str());
    next_ = 0;
    before_ = process_.Statistics();
    log_size_ = process_.Log()->Text().size();
  }

  // Called by the engine after each step of the walk.
  void AfterStep() {
    size_t at = next_++;
    if (at >= walk_.size()) return;
    cShape& step = *walk_[at];
    tStatistic after = process_.Statistics();
    std::string log = process_.Log()->Text().substr(log_size_);
    log_size_ = process_.Log()->Text().size();
    tStatistic before = before_;
    before_ = after;
    if (step.objType != aStorage) return;
    const auto* storage = std::get_if<tStorage>(&step.objElements);
    if (!storage) return;

    const char* outcome = Outcome(before, after);
    // Whatever a step writes to the log during a record is a failure.
    bool failed = log.find_first_not_of("\r\n") != std::string::npos;
    if (!outcome) outcome = failed ? "FAILED" : "nothing written";
    if (failed || (outcome && std::string(outcome).rfind("FAILED", 0) == 0)) ++failed_steps_;
    std::printf("  %-16s %-13s %s\n", step.sCaption().c_str(), storage->shpOperation.c_str(), outcome);
    StorageOperation op = OperationOf(*storage);
    if (op != StorageOperation::kDelete && std::string(outcome).rfind("FAILED", 0) != 0 && !failed) {
      std::string keys = RowValues(step, *storage, true);
      if (!keys.empty()) std::printf("      key:    %s\n", keys.c_str());
      if (op != StorageOperation::kLookup) {
        std::string values = RowValues(step, *storage, false);
        if (!values.empty()) std::printf("      values: %s\n", values.c_str());
      }
    }
    PrintErrors(log);
  }

  // A step whose failure ended the record's walk took no turn after it:
  // it is reported here, with what it logged.
  void EndRecord() {
    if (next_ >= walk_.size()) return;
    cShape& step = *walk_[next_];
    next_ = walk_.size();
    const auto* storage = std::get_if<tStorage>(&step.objElements);
    if (step.objType != aStorage || !storage) return;
    ++failed_steps_;
    std::printf("  %-16s %-13s %s\n", step.sCaption().c_str(), storage->shpOperation.c_str(),
                "FAILED (the record's walk ends here)");
    std::string log = process_.Log()->Text().substr(log_size_);
    log_size_ = process_.Log()->Text().size();
    PrintErrors(log);
  }

  int failed_steps() const { return failed_steps_; }

 private:
  clsProcess& process_;
  std::vector<std::shared_ptr<cShape>> walk_;
  size_t next_ = 0;
  tStatistic before_;
  size_t log_size_ = 0;
  int failed_steps_ = 0;
};

// Ends the step-wise mode on every SOURCE and TARGET step: each rolls back
// the transaction it began. Returns the failures.
std::vector<std::string> RollBack(clsProcess& process) {
  std::vector<std::string> failures;
  auto steps = process.Shapes()->Collection();
  for (int32_t i = steps->Count(); i >= 1; --i) {
    cShape& step = *steps->Item(i);
    if ((step.objType != aStorage && step.objType != aData) || !step.DebugMode()) continue;
    try {
      step.DebugMode(false);
    } catch (const VbError& error) {
      failures.push_back(step.sCaption() + ": " + Describe(error));
    }
  }
  return failures;
}

int Preview(const PreviewOptions& options) {
  RequireReadableFile(options.document, "integration document");
  ScratchHome scratch;
  Context{scratch.path(), {}}.PrepareHome();

  auto process = std::make_shared<clsProcess>();
  process->LogAdded.connect([](std::string& text) { std::printf("%s\n", text.c_str() + (text.rfind("\r\n", 0) == 0 ? 2 : 0)); });
  std::string load_error;
  try {
    load_error = process->LoadIntegration(EnterDocumentFolder(options.document));
  } catch (const VbError& error) {
    throw CliError(options.document + ": the document does not fit the integration format: " + Describe(error));
  }
  if (!load_error.empty()) throw CliError(options.document + ": " + ReplaceAll(load_error, "\r\n", "\n  "));

  // Ctrl-C stops a formula that loops for ever; the preview then rolls back.
  InterruptGuard interrupt;
  WalkPlan walk = process->PlanFlow();
  StepReporter reporter(*process, walk.steps);
  process->SetMessageYield([&reporter] { reporter.AfterStep(); });

  int status = kExitOk;
  try {
    process->RunRecord();
  } catch (const VbError& error) {
    RollBack(*process);
    throw CliError("the preview could not start: " + Describe(error));
  }
  auto source = process->SourceData();
  if (!source || Contains(process->Log()->Text(), "VeldraneRunner ERROR")) {
    RollBack(*process);
    std::string text = process->Log()->Text();
    size_t at = text.find("VeldraneRunner ERROR");
    throw CliError("the preview could not start" +
                   (at == std::string::npos ? std::string() : ": " + text.substr(at, text.find("\r\n", at) - at)));
  }

  int32_t total = process->Statistics().TotalRecords;
  int32_t shown = 0;
  try {
    while (shown < options.records && !source->IsEOF() && !process->Log()->IsCritical() &&
           !InterruptGuard::Requested()) {
      reporter.BeginRecord(shown + 1, total);
      process->RunNextRecord();
      reporter.EndRecord();
      ++shown;
    }
  } catch (const VbError& error) {
    std::printf("the preview stopped: %s\n", Describe(error).c_str());
    status = kExitCannotRun;
  }
  if (process->Log()->IsCritical()) status = kExitCannotRun;
  if (InterruptGuard::Requested()) status = kExitCancelled;

  std::vector<std::string> failures = RollBack(*process);
  for (const auto& failure : failures) std::printf("ROLLBACK FAILED on %s\n", failure.c_str());
  if (!failures.empty()) return kExitCannotRun;
  std::printf("\n%s of %s records previewed; %d step%s failed; everything was rolled back.\n", Grouped(shown).c_str(),
              Grouped(total).c_str(), reporter.failed_steps(), reporter.failed_steps() == 1 ? "" : "s");
  if (status == kExitOk && reporter.failed_steps() > 0) status = kExitFailures;
  return status;
}

}  // namespace

void AddPreviewCommand(CLI::App& app, const Context&, int& status) {
  auto options = std::make_shared<PreviewOptions>();
  CLI::App* cmd = app.add_subcommand("preview", "Show what the first records would do, then roll everything back");
  cmd->footer(
      "Runs the integration record by record inside transactions and shows, for each record, what each\n"
      "TARGET step did (operation, key, values written or the error). Nothing is changed in the target\n"
      "databases, and no history is written. Exit status: 0 every step succeeded, 1 some failed, 2 the\n"
      "preview could not run.");
  cmd->add_option("DOC", options->document, "The integration document (XML)")->required();
  cmd->add_option("-n,--records", options->records, "How many records to preview (default 10)")
      ->check(CLI::Range(1, 1000000));
  cmd->callback([options, &status] { status = Preview(*options); });
}

}  // namespace veldrane::cli
