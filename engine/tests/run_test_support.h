// What the run tests share: a fixture with a temporary installation folder
// (history tables), an empty library folder (no translation database, so
// texts come back as written) and scripted prompts; SQLite files made and
// read through the data layer; PostgreSQL tables named per test; a builder
// for flows START, SOURCE, TARGET..., END; and readers of the history rows
// and the log.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/text.h"
#include "core/vb_error.h"
#include "engine/cls_process.h"
#include "formulas/c_formulas.h"
#include "history/cls_log.h"
#include "history/veldrane_data.h"
#include "platform/db/ado.h"
#include "platform/host/library_folder.h"
#include "platform/host/prompts.h"
#include "platform/host/registry.h"

namespace veldrane::run_testing {

inline std::string MakeTempFolder(const char* tag) {
  std::string pattern =
      (std::filesystem::temp_directory_path() / (std::string("veldrane-") + tag + "-XXXXXX")).string();
  return mkdtemp(pattern.data());
}

// The values of a query's rows as text ("<null>" for Null), row by row.
using Table = std::vector<std::vector<std::string>>;

inline Table ReadRows(const std::string& conn_string, const std::string& sql) {
  auto cn = ado::Connection::Create();
  cn->Open(conn_string);
  ado::RecordsetRef rs = cn->Execute(sql);
  Table out;
  if (rs->State() == ado::adStateClosed) return out;
  while (!rs->IsEOF()) {
    std::vector<std::string> row;
    ado::Fields& fields = rs->GetFields();
    for (int32_t i = 0; i < fields.Count(); ++i) {
      Variant v = fields.Item(Variant(i)).Value();
      row.push_back(v.IsNull() ? std::string("<null>") : v.ToText());
    }
    out.push_back(std::move(row));
    rs->MoveNext();
  }
  return out;
}

inline void RunSql(const std::string& conn_string, const std::string& sql) {
  auto cn = ado::Connection::Create();
  cn->Open(conn_string);
  cn->Execute(sql);
}

// The connection string of the test server; a test that needs it fails
// (never skips) without it.
inline std::string PostgresConnection() {
  const char* conninfo = std::getenv("VELDRANE_PG");
  if (!conninfo || !*conninfo) {
    ADD_FAILURE() << "VELDRANE_PG is not set: the PostgreSQL tests need the test cluster";
    return "Provider=PostgreSQL;Data Source=host=/nonexistent dbname=none";
  }
  return std::string("Provider=PostgreSQL;Data Source=") + conninfo;
}

// A table name no other test (or earlier run of this one) uses.
inline std::string UniqueName(const std::string& stem) {
  static std::atomic<int> counter{0};
  return stem + "_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

inline tFields Mapping(std::string name, std::string value, std::string lookup = {}) {
  tFields f;
  f.f_name = std::move(name);
  f.f_value = std::move(value);
  f.f_lookup = std::move(lookup);
  return f;
}

// Builds a flow on a process: steps in the order added, linked by Link.
class FlowBuilder {
 public:
  explicit FlowBuilder(clsProcess& process) : process_(process) {}

  std::shared_ptr<cShape> Step(int16_t type, const std::string& caption) {
    auto step = process_.Shapes()->AddShape(type, 0, 0, caption);
    EXPECT_TRUE(step) << "step " << caption << " was not created";
    return step;
  }
  std::shared_ptr<cShape> Source(const std::string& caption, const std::string& conn_name,
                                 const std::string& conn_string, const std::string& source,
                                 const std::string& sourcetype = "table") {
    auto step = Step(aData, caption);
    tData d;
    d.connName = conn_name;
    d.connString = conn_string;
    d.sourcetype = sourcetype;
    d.Source = source;
    d.fields = NewCollection<tFields>();
    process_.Shapes()->AddElementsToNode(step->Key, d);
    return step;
  }
  std::shared_ptr<cShape> Target(const std::string& caption, const std::string& conn_name,
                                 const std::string& conn_string, const std::string& table, const std::string& op,
                                 const std::vector<tFields>& mappings) {
    auto step = Step(aStorage, caption);
    tStorage s;
    s.connName = conn_name;
    s.connString = conn_string;
    s.targettype = "table";
    s.target = table;
    s.shpOperation = op;
    s.fields = NewCollection<tFields>();
    for (const tFields& m : mappings) s.fields->Add(m, m.f_name);
    process_.Shapes()->AddElementsToNode(step->Key, s);
    return step;
  }
  void Link(const std::shared_ptr<cShape>& from, const std::shared_ptr<cShape>& to, const std::string& caption = {}) {
    process_.Lines()->addLine(std::to_string(from->Index), std::to_string(to->Index), caption);
  }
  // Links the steps one after the other.
  void Chain(const std::vector<std::shared_ptr<cShape>>& steps) {
    for (size_t i = 1; i < steps.size(); ++i) Link(steps[i - 1], steps[i]);
  }

 private:
  clsProcess& process_;
};

// The events of a run, in the order they came, with the record numbers.
struct EventTrace {
  std::vector<std::string> events;
  void Attach(clsProcess& p) {
    p.ProcessStarted.connect(
        [this](tStatistic& s) { events.push_back("started " + std::to_string(s.TotalRecords)); });
    p.StatisticsAdded.connect([this](tStatistic& s) { events.push_back("record " + std::to_string(s.CurrRecord)); });
    p.IntegrationEnd.connect([this](tStatistic& s) { events.push_back("end " + std::to_string(s.CurrRecord)); });
  }
};

// The log text as entries (the leading CR LF dropped), time stamps removed.
inline std::vector<std::string> LogEntries(const clsLog& log) {
  std::vector<std::string> out;
  const std::string& text = log.Text();
  size_t pos = 0;
  while ((pos = text.find("\r\n", pos)) != std::string::npos) {
    pos += 2;
    size_t end = text.find("\r\n", pos);
    std::string entry = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    // "hh:nn:ss.cc: " stamps are 13 characters.
    if (entry.size() >= 13 && entry[2] == ':' && entry[5] == ':' && entry[8] == '.' && entry[11] == ':') {
      entry = entry.substr(13);
    }
    out.push_back(entry);
  }
  return out;
}

inline bool HasEntryStartingWith(const clsLog& log, const std::string& prefix) {
  for (const std::string& e : LogEntries(log)) {
    if (e.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

// The rows of a history table, field name -> text ("" for Null).
using HistoryRow = std::map<std::string, std::string>;

inline std::vector<HistoryRow> HistoryRows(kindrecordset table) {
  cVeldraneData store;
  ado::RecordsetRef rs = store.getRS(table);
  std::vector<HistoryRow> out;
  if (rs->RecordCount() == 0) return out;
  rs->MoveFirst();
  while (!rs->IsEOF()) {
    HistoryRow row;
    ado::Fields& fields = rs->GetFields();
    for (int32_t i = 0; i < fields.Count(); ++i) {
      ado::Field& f = fields.Item(Variant(i));
      Variant v = f.Value();
      std::string text = v.IsNull() ? std::string() : v.ToText();
      while (!text.empty() && text.back() == ' ') text.pop_back();  // fixed-length strings are padded
      row[f.Name()] = text;
    }
    out.push_back(std::move(row));
    rs->MoveNext();
  }
  return out;
}

// The relations between the counters that every sequence of counting keeps.
inline void ExpectCounterInvariants(const tStatistic& s) {
  int32_t success = 0, errors = 0;
  for (int k = 1; k <= 4; ++k) {
    EXPECT_EQ(s.Totals[k], s.Success[k] + s.Errors[k]) << "kind " << k;
    success += s.Success[k];
    errors += s.Errors[k];
  }
  EXPECT_EQ(s.Success[5], success);
  EXPECT_EQ(s.Errors[5], errors);
  EXPECT_GE(s.Totals[5], s.Success[5] + s.Errors[5]);
  EXPECT_EQ(s.Success[0], 0);
  EXPECT_EQ(s.Errors[0], 0);
  EXPECT_EQ(s.Totals[0], 0);
  for (int32_t v : s.Skipped) EXPECT_EQ(v, 0);
}

// A temporary installation folder, an empty library folder and a folder for
// the test's databases, all removed afterwards.
class RunFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    home = MakeTempFolder("run-home");
    library = MakeTempFolder("run-lib");
    databases = MakeTempFolder("run-db");
    registry = std::make_shared<host::MemoryRegistry>();
    registry->Set(host::kInstallPathValue, home);
    host::SetCurrentRegistry(registry);
    host::SetLibraryFolder(library);
    prompts = std::make_shared<host::ScriptedPrompts>();
    host::SetCurrentPrompts(prompts);
  }
  void TearDown() override {
    host::SetCurrentPrompts(nullptr);
    host::SetCurrentRegistry(nullptr);
    host::SetLibraryFolder("");
    std::error_code ignored;  // a failed test may leave anything behind
    std::filesystem::remove_all(home, ignored);
    std::filesystem::remove_all(library, ignored);
    std::filesystem::remove_all(databases, ignored);
  }

  // A new SQLite database in the test's folder, made with `ddl`.
  std::string SqliteDatabase(const std::string& name, const std::string& ddl) {
    std::string file = databases + "/" + name + ".db";
    RunSql("Provider=SQLite;Data Source=" + file + ";Mode=Create", ddl);
    return "Provider=SQLite;Data Source=" + file;
  }

  std::string home;
  std::string library;
  std::string databases;
  std::shared_ptr<host::MemoryRegistry> registry;
  std::shared_ptr<host::ScriptedPrompts> prompts;
};

}  // namespace veldrane::run_testing
