// `veldrane check DOC`: loads a document and says what is in it and what is
// wrong with it before it runs. It opens every connection and the rows and
// tables the steps name, checks that mapped fields and referenced columns
// exist, tries every formula and lookup expression with the script engine,
// and names the step, field or formula of each problem. Nothing is written:
// the trials run inside transactions on the steps' connections that are
// rolled back (a formula may write through SQLExecute), and what the engine
// would log as failed records goes to a throw-away history folder.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "cli/cli_context.h"
#include "cli/commands.h"
#include "cli/flow_text.h"
#include "cli/interrupt.h"
#include "core/text.h"
#include "engine/cls_process.h"
#include "engine/step_data.h"
#include "formulas/c_formulas.h"
#include "platform/db/ado.h"
#include "platform/db/sql_text.h"

namespace veldrane::cli {

namespace {

std::string MaskPasswords(const std::string& connection_string) {
  static const std::regex kPassword("((^|;)\\s*(password|pwd)\\s*=)[^;]*", std::regex::icase);
  return std::regex_replace(connection_string, kPassword, "$1***");
}

class Checker {
 public:
  explicit Checker(clsProcess& process) : process_(process) {}

  void Ok(const std::string& text) { std::printf("  ok    %s\n", text.c_str()); }
  void Problem(const std::string& text) {
    std::printf("  FAIL  %s\n", text.c_str());
    ++problems_;
  }
  void Note(const std::string& text) { std::printf("  note  %s\n", text.c_str()); }
  int problems() const { return problems_; }

  // Opens a connection once per connection string; the failure text or "".
  std::string OpenConnection(const std::string& connection_string, ado::ConnectionRef& out) {
    auto found = connections_.find(connection_string);
    if (found != connections_.end()) {
      out = found->second.first;
      return found->second.second;
    }
    auto connection = ado::Connection::Create();
    std::string failure;
    try {
      connection->Open(connection_string);
    } catch (const VbError& error) {
      failure = Describe(error);
      connection = nullptr;
    }
    connections_[connection_string] = {connection, failure};
    out = connection;
    return failure;
  }

  // The column names of `sql` (no rows are read), or the failure.
  std::string Columns(const ado::ConnectionRef& connection, const std::string& sql, std::set<std::string, ILess>& out) {
    try {
      auto rs = ado::Recordset::Create();
      rs->Open(Variant(sql), Variant(ObjectRef(connection)), ado::adOpenStatic, ado::adLockReadOnly);
      for (int32_t i = 0; i < rs->GetFields().Count(); ++i) out.insert(rs->GetFields().Item(Variant(i)).Name());
      rs->Close();
      return {};
    } catch (const VbError& error) {
      return Describe(error);
    }
  }

  // Runs a script text through the process's formula check: "" or the error.
  std::string TryScript(const std::string& text) {
    try {
      return process_.CheckFormula(text);
    } catch (const VbError& error) {
      return Describe(error);
    }
  }

  std::map<std::string, std::set<std::string, ILess>, ILess> columns_by_step;  // caption -> columns

 private:
  clsProcess& process_;
  std::map<std::string, std::pair<ado::ConnectionRef, std::string>> connections_;
  int problems_ = 0;
};

// A folder for the history rows that trials would write, removed at the end.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "veldrane-check-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw CliError("cannot create a temporary folder for the check");
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// While it lives, every SOURCE and TARGET step whose connection opens is in
// a transaction (the step-wise mode), so that whatever a formula or lookup
// tried writes is undone. Connections that do not open are reported by the
// checks of their steps.
class Trials {
 public:
  explicit Trials(clsProcess& process) : process_(process) {
    for (auto& step : *process_.Shapes()->Collection()) {
      if (step->objType != aData && step->objType != aStorage) continue;
      try {
        if (StepData::Of(*step).connect()) step->DebugMode(true);
      } catch (const VbError&) {
        // A connection that cannot begin a transaction is left alone: the
        // trials that use it fail, and say why.
      }
    }
  }
  ~Trials() { RollBack(); }
  // Rolls every transaction back; the steps whose rollback failed, with why.
  std::vector<std::string> RollBack() {
    std::vector<std::string> failures;
    auto steps = process_.Shapes()->Collection();
    for (int32_t i = steps->Count(); i >= 1; --i) {
      cShape& step = *steps->Item(i);
      if (!step.DebugMode()) continue;
      try {
        step.DebugMode(false);
      } catch (const VbError& error) {
        failures.push_back(step.sCaption() + ": " + Describe(error));
      }
    }
    return failures;
  }

 private:
  clsProcess& process_;
};

void PrintSummary(clsProcess& process) {
  auto steps = process.Shapes()->Collection();
  std::printf("Steps (%d):\n", steps->Count());
  for (auto& step : *steps) {
    char head[128];
    std::snprintf(head, sizeof head, "  %-4s %-18s %-13s", step->Key.c_str(), step->sCaption().c_str(),
                  TypeName(step->objType).c_str());
    std::string text = head;
    if (std::holds_alternative<std::monostate>(step->objElements) ||
        std::holds_alternative<std::string>(step->objElements)) {
      while (!text.empty() && text.back() == ' ') text.pop_back();
    }
    std::printf("%s", text.c_str());
    if (const auto* data = std::get_if<tData>(&step->objElements)) {
      std::printf(" %s %s\n", data->sourcetype == "table" ? "table" : "query", data->Source.c_str());
      std::printf("  %-37s connection \"%s\": %s\n", "", data->connName.c_str(), MaskPasswords(data->connString).c_str());
    } else if (const auto* storage = std::get_if<tStorage>(&step->objElements)) {
      std::printf(" %s into %s\n", storage->shpOperation.c_str(), storage->target.c_str());
      std::printf("  %-37s connection \"%s\": %s\n", "", storage->connName.c_str(),
                  MaskPasswords(storage->connString).c_str());
      if (storage->fields) {
        for (auto& field : *storage->fields) {
          std::string line = field.f_name + " <- " + (field.f_value.empty() ? "(nothing)" : field.f_value);
          if (!field.f_lookup.empty()) line += "   key: " + field.f_lookup;
          std::printf("  %-37s %s\n", "", line.c_str());
        }
      }
    } else if (const auto* decision = std::get_if<tDecission>(&step->objElements)) {
      std::printf(" condition: %s\n", decision->condition.c_str());
    } else {
      std::printf("\n");
    }
  }
  auto lines = process.Lines()->Collection();
  std::printf("Links (%d):\n", lines->Count());
  for (auto& line : *lines) {
    auto caption_of = [&](const std::string& end) -> std::string {
      auto n = ParseNumber(end);
      if (n && *n >= 1 && *n <= steps->Count()) return steps->Item(static_cast<int32_t>(*n))->sCaption();
      return "?" + end;
    };
    std::printf("  %s -> %s%s\n", caption_of(line->sFrom()).c_str(), caption_of(line->sTo()).c_str(),
                line->sCaption().empty() ? "" : ("  \"" + line->sCaption() + "\"").c_str());
  }
  auto formulas = process.Formulas()->Collection();
  std::printf("Formulas (%d):\n", formulas->Count());
  for (auto& formula : *formulas) {
    std::printf("  %-24s %s\n", formula.name.c_str(), process.isFormulaUsed(formula.name) ? "used" : "not used");
  }
}

void CheckFlow(clsProcess& process, Checker& check) {
  auto steps = process.Shapes()->Collection();
  int starts = 0, sources = 0, ends = 0, targets = 0;
  std::set<std::string, ILess> captions;
  for (auto& step : *steps) {
    if (step->objType == aNothing) {
      check.Problem("step " + step->Key + " \"" + step->sCaption() +
                    "\": its type is none of start, data, storage, decission, stop or a drawing shape; "
                    "a run would pass over it");
    }
    starts += step->objType == aStart;
    sources += step->objType == aData;
    ends += step->objType == aStop;
    targets += step->objType == aStorage;
    if (!captions.insert(step->sCaption()).second) {
      check.Problem("step " + step->Key + ": the caption \"" + step->sCaption() +
                    "\" is taken by another step (captions must differ, in any case)");
    }
  }
  if (starts == 0) check.Problem("the flow has no START step");
  if (sources == 0) check.Problem("the flow has no SOURCE (data) step");
  if (sources > 1) check.Note("the flow has several SOURCE steps; the run reads the first");
  if (ends == 0) check.Problem("the flow has no END step");
  if (targets == 0) check.Note("the flow has no TARGET (storage) step: a run writes nothing");
  if (starts == 0) return;
  WalkPlan walk = process.PlanFlow();
  if (walk.end == WalkPlan::End::kLoop) {
    check.Problem("the links from START run in a circle and never reach END");
  } else if (walk.end != WalkPlan::End::kEnd) {
    std::string last = walk.steps.empty() ? "START" : walk.steps.back()->sCaption();
    check.Problem("the links from START stop at " + last + " before reaching END");
  } else {
    check.Ok("the links lead from START to END");
  }
  for (auto& step : *steps) {
    if (step->objType != aStorage && step->objType != aData) continue;
    bool on_walk = false;
    for (auto& visited : walk.steps) on_walk |= visited == step;
    if (!on_walk && step->objType == aStorage) {
      check.Note(step->sCaption() + ": not on the path from START (a record's walk takes the first link of each step)");
    }
  }
}

void CheckSource(cShape& step, const tData& data, Checker& check) {
  ado::ConnectionRef connection;
  std::string failure = check.OpenConnection(data.connString, connection);
  if (!failure.empty()) return check.Problem(step.sCaption() + ": the connection does not open: " + failure);
  check.Ok(step.sCaption() + ": the connection opens");
  if (data.Source.empty()) return check.Problem(step.sCaption() + ": no source table or query");
  std::string sql = data.sourcetype == "table" ? "SELECT * FROM " + data.Source + " WHERE 1 = 2"
                                               : "SELECT * FROM (" + data.Source + ") q WHERE 1 = 2";
  auto& columns = check.columns_by_step[step.sCaption()];
  failure = check.Columns(connection, sql, columns);
  if (!failure.empty()) return check.Problem(step.sCaption() + ": the source rows do not open: " + failure);
  check.Ok(step.sCaption() + ": the source rows open (" + std::to_string(columns.size()) + " columns)");
}

void CheckTarget(cShape& step, const tStorage& storage, Checker& check) {
  const std::string& name = step.sCaption();
  if (OperationOf(storage) == StorageOperation::kOther) {
    check.Problem(name + ": the operation \"" + storage.shpOperation +
                  "\" is none of Insert, Update, UpdateInsert, Delete, Lookup (it would act as Update)");
  }
  int keys = 0;
  if (storage.fields) {
    for (auto& field : *storage.fields) keys += !field.f_lookup.empty();
  }
  if (keys == 0 && (storage.shpOperation == "Delete" || storage.shpOperation == "Update" ||
                    storage.shpOperation == "Lookup")) {
    check.Problem(name + ": " + storage.shpOperation + " has no lookup field, so it never finds a row");
  }
  ado::ConnectionRef connection;
  std::string failure = check.OpenConnection(storage.connString, connection);
  if (!failure.empty()) return check.Problem(name + ": the connection does not open: " + failure);
  check.Ok(name + ": the connection opens");
  auto& columns = check.columns_by_step[name];
  failure = check.Columns(connection, "SELECT * FROM " + ado::SafeIdentifier(storage.target) + " WHERE 1 = 2", columns);
  if (!failure.empty()) return check.Problem(name + ": the target table \"" + storage.target + "\" does not open: " + failure);
  check.Ok(name + ": the target table " + storage.target + " opens");
  if (!storage.fields) return;
  for (auto& field : *storage.fields) {
    if (!columns.count(field.f_name)) {
      check.Problem(name + ", field " + field.f_name + ": no such column in " + storage.target);
    }
  }
}

void CheckMappings(clsProcess& process, Checker& check) {
  auto steps = process.Shapes()->Collection();
  auto formulas = process.Formulas()->Collection();
  for (auto& step : *steps) {
    const auto* storage = std::get_if<tStorage>(&step->objElements);
    if (step->objType != aStorage || !storage || !storage->fields) continue;
    for (auto& field : *storage->fields) {
      std::string where = step->sCaption() + ", field " + field.f_name;
      ValueText value = ParseValueText(field.f_value);
      switch (value.kind) {
        case ValueText::Kind::Empty:
          break;
        case ValueText::Kind::Unparsable:
          check.Problem(where + ": the value \"" + field.f_value +
                        "\" is neither STEP([FIELD]) nor FORMULA!name (write a constant as a formula)");
          break;
        case ValueText::Kind::Formula:
          if (!formulas->Contains(value.formula)) {
            check.Problem(where + ": no formula named \"" + value.formula + "\"");
          }
          break;
        case ValueText::Kind::StepField: {
          auto known = check.columns_by_step.find(value.caption);
          bool step_exists = false;
          for (auto& other : *steps) step_exists |= IEquals(other->sCaption(), value.caption);
          if (!step_exists) {
            check.Problem(where + ": no step captioned \"" + value.caption + "\"");
          } else if (known != check.columns_by_step.end() && !known->second.empty() &&
                     !known->second.count(value.field)) {
            check.Problem(where + ": step " + value.caption + " has no column \"" + value.field + "\"");
          }
          break;
        }
      }
      if (!field.f_lookup.empty()) {
        std::string failure = check.TryScript("Function Main\r\nMain = " + field.f_lookup + "\r\nEnd Function");
        if (!failure.empty()) check.Problem(where + ": the lookup \"" + field.f_lookup + "\" fails: " + failure);
      }
    }
  }
}

void CheckFormulas(clsProcess& process, Checker& check) {
  auto formulas = process.Formulas()->Collection();
  for (auto& formula : *formulas) {
    std::string failure = check.TryScript(formula.formula);
    if (failure.empty()) {
      check.Ok("formula " + formula.name);
    } else {
      check.Problem("formula " + formula.name + ": " + failure);
    }
    if (!process.isFormulaUsed(formula.name)) check.Note("formula " + formula.name + " is not used by any mapping");
  }
}

int Check(const std::string& document, const Context&) {
  RequireReadableFile(document, "integration document");
  ScratchFolder scratch;
  Context{scratch.path(), {}}.PrepareHome();
  auto process = std::make_shared<clsProcess>();
  std::string load_error;
  try {
    load_error = process->LoadIntegration(EnterDocumentFolder(document));
  } catch (const VbError& error) {
    std::printf("%s: the document does not fit the integration format: %s\n", document.c_str(), Describe(error).c_str());
    return kExitFailures;
  }
  if (!load_error.empty()) {
    std::printf("%s: %s\n", document.c_str(), ReplaceAll(load_error, "\r\n", "\n  ").c_str());
    return kExitFailures;
  }
  std::printf("%s\n", document.c_str());
  PrintSummary(*process);

  std::printf("Checks:\n");
  Checker check(*process);
  CheckFlow(*process, check);
  for (auto& step : *process->Shapes()->Collection()) {
    if (const auto* data = std::get_if<tData>(&step->objElements); data && step->objType == aData) {
      CheckSource(*step, *data, check);
    } else if (const auto* storage = std::get_if<tStorage>(&step->objElements); storage && step->objType == aStorage) {
      CheckTarget(*step, *storage, check);
    }
  }
  {
    // Ctrl-C stops a formula that loops for ever: it is reported as failed.
    InterruptGuard interrupt;
    Trials trials(*process);
    CheckMappings(*process, check);
    CheckFormulas(*process, check);
    for (const auto& failure : trials.RollBack()) check.Problem("ROLLBACK FAILED on " + failure);
  }
  if (check.problems() == 0) {
    std::printf("\nNo problems found.\n");
    return kExitOk;
  }
  std::printf("\n%d problem%s found.\n", check.problems(), check.problems() == 1 ? "" : "s");
  return kExitFailures;
}

}  // namespace

void AddCheckCommand(CLI::App& app, const Context& context, int& status) {
  auto document = std::make_shared<std::string>();
  CLI::App* cmd = app.add_subcommand("check", "Check a document: its steps, connections, tables, fields and formulas");
  cmd->footer(
      "Prints the document's steps, links and formulas, then opens every connection, source and target\n"
      "table, checks mapped fields and step references, and tries every formula and lookup expression.\n"
      "Nothing is written. Exit status: 0 no problem, 1 problems found (each names its step, field or\n"
      "formula), 2 the document could not be read.");
  cmd->add_option("DOC", *document, "The integration document (XML)")->required();
  cmd->callback([document, &context, &status] { status = Check(*document, context); });
}

}  // namespace veldrane::cli
