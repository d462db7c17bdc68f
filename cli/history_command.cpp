// `veldrane history`: the execution history (one row per run) and the
// execution log (one row per failed record) of the home folder, as a table
// or as JSON, and `history prune`, which removes rows older than a number of
// days (the tables otherwise grow without end).

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_context.h"
#include "cli/commands.h"
#include "cli/run_report.h"
#include "core/oadate.h"
#include "history/veldrane_data.h"
#include "platform/db/ado.h"
#include "platform/host/files.h"

namespace veldrane::cli {

namespace {

struct HistoryOptions {
  int32_t limit = 20;
  bool json = false;
  double older_than_days = -1;
};

struct Table {
  std::vector<std::string> names;             // column names, in order
  std::vector<std::vector<Variant>> rows;     // values, oldest first
  std::vector<std::string> unreadable;        // rows the file holds but that could not be read
};

std::string TrimRight(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// Fixed-length text columns come back padded with blanks; dates in the
// fixed format; Null as an empty cell.
std::string Cell(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return "";
  if (value.IsDate()) return FormatOaDate(value.AsDate());
  return TrimRight(value.ToString());
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string JsonValue(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return "null";
  if (value.IsDate()) return JsonString(FormatOaDateIso(value.AsDate()));
  if (value.IsBoolean()) return value.AsBool() ? "true" : "false";
  if (value.IsNumber()) {
    double d = value.ToDouble();
    if (std::isfinite(d)) return FormatDouble(d);
    return "null";
  }
  return JsonString(TrimRight(value.ToString()));
}

// The rows of a history table, or an empty table when its file is missing.
// Reading changes nothing: it neither creates the file nor moves a damaged
// one aside (the next run does that, and says so). A file that cannot be
// read at all raises, naming it.
Table ReadTable(kindrecordset krs) {
  cVeldraneData store;
  Table table;
  std::string file = store.TableFile(krs);
  if (!host::FileExists(file)) return table;
  ado::RecordsetRef rs = ado::Recordset::Create();
  try {
    rs->Open(Variant(file), Variant("Provider=MSPersist"));
  } catch (const VbError& error) {
    throw CliError("the history table " + file + " is damaged and cannot be read: " + error.description(),
                   kExitFailures);
  }
  table.unreadable = rs->UnreadableRows();
  ado::Fields& fields = rs->GetFields();
  for (int32_t i = 0; i < fields.Count(); ++i) table.names.push_back(fields.Item(Variant(i)).Name());
  if (rs->RecordCount() == 0) return table;
  for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) {
    std::vector<Variant> row;
    for (int32_t i = 0; i < fields.Count(); ++i) row.push_back(fields.Item(Variant(i)).Value());
    table.rows.push_back(std::move(row));
  }
  return table;
}

void PrintTable(const Table& table, size_t first) {
  std::vector<size_t> widths;
  for (const auto& name : table.names) widths.push_back(name.size());
  std::vector<std::vector<std::string>> cells;
  for (size_t r = first; r < table.rows.size(); ++r) {
    std::vector<std::string> line;
    for (size_t c = 0; c < table.names.size(); ++c) {
      line.push_back(Cell(table.rows[r][c]));
      widths[c] = std::max(widths[c], line.back().size());
    }
    cells.push_back(std::move(line));
  }
  auto print_line = [&](const std::vector<std::string>& line) {
    std::string text;
    for (size_t c = 0; c < line.size(); ++c) {
      std::string cell = line[c];
      if (c + 1 < line.size()) cell.resize(widths[c], ' ');
      text += (c ? "  " : "") + cell;
    }
    std::printf("%s\n", TrimRight(text).c_str());
  };
  print_line(table.names);
  for (const auto& line : cells) print_line(line);
}

void PrintJson(const Table& table, size_t first) {
  std::printf("[");
  for (size_t r = first; r < table.rows.size(); ++r) {
    std::printf("%s\n  {", r == first ? "" : ",");
    for (size_t c = 0; c < table.names.size(); ++c) {
      std::printf("%s%s: %s", c ? ", " : "", JsonString(table.names[c]).c_str(), JsonValue(table.rows[r][c]).c_str());
    }
    std::printf("}");
  }
  std::printf("%s]\n", table.rows.size() > first ? "\n" : "");
}

// The rows that could not be read, on standard error; the status to return.
int ReportUnreadable(const Table& table, kindrecordset krs) {
  if (table.unreadable.empty()) return kExitOk;
  std::string file = cVeldraneData().TableFile(krs);
  std::fprintf(stderr, "veldrane history: %zu %s of %s could not be read and %s left out:\n", table.unreadable.size(),
               table.unreadable.size() == 1 ? "row" : "rows", file.c_str(), table.unreadable.size() == 1 ? "is" : "are");
  for (const auto& row : table.unreadable) std::fprintf(stderr, "  %s\n", row.c_str());
  return kExitFailures;
}

int Show(kindrecordset krs, const HistoryOptions& options, const Context& context) {
  std::string home = context.PrepareHome();
  Table table = ReadTable(krs);
  size_t first = table.rows.size() > static_cast<size_t>(options.limit) ? table.rows.size() - options.limit : 0;
  if (options.json) {
    PrintJson(table, first);
    return ReportUnreadable(table, krs);
  }
  const char* what = krs == executiondata ? "runs" : "failed records";
  if (table.rows.empty()) {
    std::printf("no %s recorded in %s\n", what, home.c_str());
    return ReportUnreadable(table, krs);
  }
  PrintTable(table, first);
  std::printf("(%zu of %zu %s, oldest first; %s)\n", table.rows.size() - first, table.rows.size(), what,
              cVeldraneData().TableFile(krs).c_str());
  return ReportUnreadable(table, krs);
}

// Deletes the rows of `krs` whose RUNTIME is before `cutoff`; returns how
// many went and how many stayed. Runs under the table's lock, so that a run
// appending its row at the same moment is not lost. A damaged file is moved
// aside by the store, which says where on standard error; `damaged` is set.
std::pair<int64_t, int64_t> Prune(kindrecordset krs, double cutoff, bool& damaged) {
  cVeldraneData store;
  std::string file = store.TableFile(krs);
  if (!host::FileExists(file)) return {0, 0};
  host::FileLock lock(file);
  ado::RecordsetRef rs = store.getRS(krs);
  if (!store.TakeNotices().empty()) damaged = true;
  int64_t removed = 0;
  if (rs->RecordCount() > 0) {
    for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) {
      Variant runtime = rs->GetFields().Item("RUNTIME").Value();
      if (!runtime.IsNull() && runtime.ToDate() < cutoff) {
        rs->Delete();
        ++removed;
      }
    }
  }
  int64_t kept = rs->RecordCount();
  if (removed == 0) return {0, kept};
  // A new run's ID is the row count plus one: number the rows that stay
  // from 1 again so that the next ID cannot repeat one still in the table.
  if (krs == executiondata && kept > 0) {
    int32_t id = 0;
    for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) {
      ado::Field& field = rs->GetFields().Item("ID");
      if (!field.Value().IsNull()) field.SetValue(Variant(++id));
      rs->Update();
    }
  }
  rs->Save();
  return {removed, kept};
}

int PruneCommand(const HistoryOptions& options, const Context& context) {
  if (!(options.older_than_days >= 0)) throw CliError("--older-than DAYS is required (a number of days, 0 or more)");
  std::string home = context.PrepareHome();
  double cutoff = OaNow() - options.older_than_days;
  bool damaged = false;
  auto runs = Prune(executiondata, cutoff, damaged);
  auto errors = Prune(executionlogdata, cutoff, damaged);
  std::printf("removed %s runs and %s failed-record rows older than %s (before %s); %s runs and %s rows remain in %s\n",
              Grouped(runs.first).c_str(), Grouped(errors.first).c_str(), FormatDuration(options.older_than_days * 86400).c_str(),
              FormatOaDate(cutoff).c_str(), Grouped(runs.second).c_str(), Grouped(errors.second).c_str(), home.c_str());
  return damaged ? kExitFailures : kExitOk;
}

}  // namespace

void AddHistoryCommand(CLI::App& app, const Context& context, int& status) {
  auto options = std::make_shared<HistoryOptions>();
  CLI::App* cmd = app.add_subcommand("history", "Show the run history and the failed records, or prune them");
  cmd->footer("The tables live in the home folder (--home). 'history' alone shows the runs.");
  cmd->require_subcommand(0, 1);
  cmd->add_option("-n,--limit", options->limit, "Show the last N rows (default 20)")->check(CLI::Range(1, 100000000));
  cmd->add_flag("--json", options->json, "Print the rows as a JSON array");

  CLI::App* runs = cmd->add_subcommand("runs", "One row per run: times, rows, inserts, updates, result");
  runs->fallthrough();
  runs->callback([options, &context, &status] { status = Show(executiondata, *options, context); });
  CLI::App* errors = cmd->add_subcommand("errors", "One row per failed record: record, time, error number and text");
  errors->fallthrough();
  errors->callback([options, &context, &status] { status = Show(executionlogdata, *options, context); });
  CLI::App* prune = cmd->add_subcommand("prune", "Remove history rows older than a number of days");
  prune->footer("Removes the runs and failed-record rows whose time is older than DAYS days. The remaining runs\n"
                "are numbered from 1 again, so that the next run's number stays unique.");
  prune->add_option("--older-than", options->older_than_days, "Age in days (fractions allowed)")
      ->required()
      ->check(CLI::NonNegativeNumber);
  prune->callback([options, &context, &status] { status = PruneCommand(*options, context); });

  cmd->callback([cmd, options, &context, &status] {
    if (cmd->get_subcommands().empty()) status = Show(executiondata, *options, context);
  });
}

}  // namespace veldrane::cli
