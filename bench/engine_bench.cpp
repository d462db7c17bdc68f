// veldrane-bench: rows per second of whole runs through the real engine and
// integration documents, each beside the physical limit measured in the
// same run: SQLite's and libpq's C APIs doing the same rows with prepared
// statements in one transaction.
//
//   veldrane-bench [--rows N] [--pg CONNINFO] [--only LIST] [--repeat K] [--work DIR]
//
// Scenarios: insert (SQLite into an empty table), upsert (UpdateInsert into
// a table that holds every second key, key indexed), formula (the same with
// one formula per record) and pg (SQLite into PostgreSQL, UpdateInsert).
// The pg scenario needs --pg or VELDRANE_PG (a libpq connection string).
// Prints a table: engine rate, limit rate, their ratio, the goal ratio, and
// the peak resident memory of the engine run. With --repeat K each side is
// measured K times, alternating, and the best figure of each is kept.

#include <libpq-fe.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/engine_bench_support.h"
#include "engine/cls_process.h"
#include "history/cls_log.h"

namespace veldrane::bench {

namespace {

struct Options {
  int rows = 100000;
  std::string pg;
  std::string only = "insert,upsert,formula,pg";
  std::string work;
  int repeat = 1;  // best of this many rounds, each side
};

struct Result {
  std::string name;
  double engine_rate = 0;
  double limit_rate = 0;
  double goal = 0;
  double peak_mb = 0;
  std::string note;
};

// --- The physical limits ---------------------------------------------------

// Reads every source row with a prepared SELECT and hands it to `row`.
void ForEachSourceRow(sqlite3* src, const std::function<void(sqlite3_stmt*)>& row) {
  sqlite3_stmt* select = nullptr;
  Check(sqlite3_prepare_v2(src, "SELECT ID, NAME, CITY, AMOUNT, CREATED FROM SRC", -1, &select, nullptr), src);
  while (sqlite3_step(select) == SQLITE_ROW) row(select);
  sqlite3_finalize(select);
}

void BindRow(sqlite3_stmt* stmt, sqlite3_stmt* from, bool gross, int first) {
  sqlite3_bind_int64(stmt, first, sqlite3_column_int64(from, 0));
  sqlite3_bind_text(stmt, first + 1, reinterpret_cast<const char*>(sqlite3_column_text(from, 1)), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(stmt, first + 2, reinterpret_cast<const char*>(sqlite3_column_text(from, 2)), -1, SQLITE_TRANSIENT);
  sqlite3_bind_double(stmt, first + 3, sqlite3_column_double(from, 3));
  sqlite3_bind_text(stmt, first + 4, reinterpret_cast<const char*>(sqlite3_column_text(from, 4)), -1, SQLITE_TRANSIENT);
  if (gross) sqlite3_bind_double(stmt, first + 5, sqlite3_column_double(from, 3) * 1.19);
}

double SqliteInsertLimit(const std::string& source, const std::string& target) {
  sqlite3* src = OpenSqlite(source);
  sqlite3* dst = OpenSqlite(target);
  Stopwatch clock;
  Exec(dst, "BEGIN");
  sqlite3_stmt* insert = nullptr;
  Check(sqlite3_prepare_v2(dst, "INSERT INTO DST (ID, NAME, CITY, AMOUNT, CREATED) VALUES (?, ?, ?, ?, ?)", -1, &insert,
                           nullptr),
        dst);
  long count = 0;
  ForEachSourceRow(src, [&](sqlite3_stmt* row) {
    BindRow(insert, row, false, 1);
    if (sqlite3_step(insert) != SQLITE_DONE) Check(SQLITE_ERROR, dst);
    sqlite3_reset(insert);
    ++count;
  });
  Exec(dst, "COMMIT");
  double seconds = clock.Seconds();
  sqlite3_finalize(insert);
  sqlite3_close(dst);
  sqlite3_close(src);
  return count / seconds;
}

double SqliteUpsertLimit(const std::string& source, const std::string& target, bool gross) {
  sqlite3* src = OpenSqlite(source);
  sqlite3* dst = OpenSqlite(target);
  Stopwatch clock;
  Exec(dst, "BEGIN");
  sqlite3_stmt *select = nullptr, *update = nullptr, *insert = nullptr;
  Check(sqlite3_prepare_v2(dst, "SELECT * FROM DST WHERE ID = ?", -1, &select, nullptr), dst);
  Check(sqlite3_prepare_v2(dst,
                           gross ? "UPDATE DST SET NAME = ?2, CITY = ?3, AMOUNT = ?4, CREATED = ?5, GROSS = ?6 WHERE ID = ?1"
                                 : "UPDATE DST SET NAME = ?2, CITY = ?3, AMOUNT = ?4, CREATED = ?5 WHERE ID = ?1",
                           -1, &update, nullptr),
        dst);
  Check(sqlite3_prepare_v2(dst,
                           gross ? "INSERT INTO DST (ID, NAME, CITY, AMOUNT, CREATED, GROSS) VALUES (?, ?, ?, ?, ?, ?)"
                                 : "INSERT INTO DST (ID, NAME, CITY, AMOUNT, CREATED) VALUES (?, ?, ?, ?, ?)",
                           -1, &insert, nullptr),
        dst);
  long count = 0;
  ForEachSourceRow(src, [&](sqlite3_stmt* row) {
    sqlite3_bind_int64(select, 1, sqlite3_column_int64(row, 0));
    bool found = sqlite3_step(select) == SQLITE_ROW;
    sqlite3_reset(select);
    sqlite3_stmt* write = found ? update : insert;
    BindRow(write, row, gross, 1);
    if (sqlite3_step(write) != SQLITE_DONE) Check(SQLITE_ERROR, dst);
    sqlite3_reset(write);
    ++count;
  });
  Exec(dst, "COMMIT");
  double seconds = clock.Seconds();
  sqlite3_finalize(select);
  sqlite3_finalize(update);
  sqlite3_finalize(insert);
  sqlite3_close(dst);
  sqlite3_close(src);
  return count / seconds;
}

double PgUpsertLimit(const std::string& source, const std::string& conninfo) {
  sqlite3* src = OpenSqlite(source);
  PGconn* pg = OpenPg(conninfo);
  Stopwatch clock;
  PgExec(pg, "BEGIN");
  PgPrepare(pg, "sel", "SELECT * FROM dst WHERE id = $1", 1);
  PgPrepare(pg, "upd", "UPDATE dst SET name = $2, city = $3, amount = $4, created = $5 WHERE id = $1", 5);
  PgPrepare(pg, "ins", "INSERT INTO dst (id, name, city, amount, created) VALUES ($1, $2, $3, $4, $5)", 5);
  long count = 0;
  ForEachSourceRow(src, [&](sqlite3_stmt* row) {
    std::string values[5];
    for (int i = 0; i < 5; ++i) values[i] = reinterpret_cast<const char*>(sqlite3_column_text(row, i));
    const char* params[5] = {values[0].c_str(), values[1].c_str(), values[2].c_str(), values[3].c_str(),
                             values[4].c_str()};
    PGresult* found = PQexecPrepared(pg, "sel", 1, params, nullptr, nullptr, 0);
    bool exists = PQresultStatus(found) == PGRES_TUPLES_OK && PQntuples(found) > 0;
    PQclear(found);
    PGresult* written = PQexecPrepared(pg, exists ? "upd" : "ins", 5, params, nullptr, nullptr, 0);
    if (PQresultStatus(written) != PGRES_COMMAND_OK) throw std::runtime_error(PQerrorMessage(pg));
    PQclear(written);
    ++count;
  });
  PgExec(pg, "COMMIT");
  double seconds = clock.Seconds();
  PQfinish(pg);
  sqlite3_close(src);
  return count / seconds;
}

// --- The engine -------------------------------------------------------------

// Runs `document` through a new process object; returns rows per second and
// checks that every row was written.
double EngineRun(const std::string& document, int rows, double& peak_mb, std::string& note) {
  ResetPeakMemory();
  auto process = std::make_shared<clsProcess>();
  std::string load_error = process->LoadIntegration(document);
  if (!load_error.empty()) throw std::runtime_error(load_error);
  Stopwatch clock;
  process->Run();
  double seconds = clock.Seconds();
  peak_mb = PeakMemoryMb();
  tStatistic stats = process->Statistics();
  int written = stats.Success[1] + stats.Success[2];
  if (written != rows || stats.Totals[5] != stats.Success[5]) {
    note = "only " + std::to_string(written) + " of " + std::to_string(rows) + " rows written, " +
           std::to_string(stats.Totals[5] - stats.Success[5]) + " failures";
    std::string log = process->Log()->Text();
    std::fprintf(stderr, "%s\n", log.substr(0, 2000).c_str());
  }
  return rows / seconds;
}

// The script a user would otherwise write for UpdateInsert: Python's
// sqlite3 module (which keeps its statements prepared), a SELECT by key,
// then an UPDATE or an INSERT, in one transaction. Prints rows per second.
constexpr const char* kPythonPeer = R"py(
import sqlite3, sys, time
src = sqlite3.connect(sys.argv[1])
dst = sqlite3.connect(sys.argv[2], isolation_level=None)
began = time.perf_counter()
dst.execute("BEGIN")
count = 0
for row in src.execute("SELECT ID, NAME, CITY, AMOUNT, CREATED FROM SRC"):
    if dst.execute("SELECT * FROM DST WHERE ID = ?", (row[0],)).fetchone():
        dst.execute("UPDATE DST SET NAME = ?, CITY = ?, AMOUNT = ?, CREATED = ? WHERE ID = ?", row[1:] + row[:1])
    else:
        dst.execute("INSERT INTO DST (ID, NAME, CITY, AMOUNT, CREATED) VALUES (?, ?, ?, ?, ?)", row)
    count += 1
dst.execute("COMMIT")
print(count / (time.perf_counter() - began))
)py";

// Rows per second of the Python peer; 0 when no python3 can run it.
double PythonUpsertRate(const std::filesystem::path& work, const std::string& source, const std::string& target) {
  std::filesystem::path script = work / "upsert_peer.py";
  std::ofstream(script) << kPythonPeer;
  std::string command = "python3 '" + script.string() + "' '" + source + "' '" + target + "' 2>/dev/null";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return 0;
  char line[64] = {};
  bool read = std::fgets(line, sizeof line, pipe) != nullptr;
  int status = ::pclose(pipe);
  return read && status == 0 ? std::atof(line) : 0;
}

void PrintResults(const std::vector<Result>& results) {
  std::printf("\n%-34s %14s %14s %8s %6s %10s\n", "scenario", "engine rows/s", "limit rows/s", "ratio", "goal",
              "peak MB");
  for (const auto& r : results) {
    std::printf("%-34s %14.0f %14.0f %7.1f%% %5.0f%% %10.1f  %s%s\n", r.name.c_str(), r.engine_rate, r.limit_rate,
                100 * r.engine_rate / r.limit_rate, 100 * r.goal, r.peak_mb,
                r.engine_rate / r.limit_rate >= r.goal ? "ok" : "BELOW GOAL", r.note.empty() ? "" : ("; " + r.note).c_str());
  }
}

// The best of `rounds` measurements of each side: on a shared machine a
// single figure says as much about the neighbours as about the code.
void Measure(Result& r, int rounds, const std::function<double()>& limit, const std::function<double()>& engine) {
  for (int i = 0; i < rounds; ++i) {
    r.limit_rate = std::max(r.limit_rate, limit());
    r.engine_rate = std::max(r.engine_rate, engine());
  }
}

int Main(const Options& options) {
  std::filesystem::path work = options.work.empty() ? std::filesystem::temp_directory_path() / "veldrane-bench"
                                                    : std::filesystem::path(options.work);
  std::filesystem::create_directories(work);
  // The runs' history goes to the work folder, not beside the library.
  setenv("VELDRANE_HOME", work.c_str(), 1);
  auto wants = [&](const char* name) { return ("," + options.only + ",").find(std::string(",") + name + ",") != std::string::npos; };

  std::printf("veldrane-bench: %d source rows, SQLite %s, work folder %s\n", options.rows, sqlite3_libversion(),
              work.c_str());
  std::string source = (work / "source.db").string();
  MakeSource(source, options.rows);
  std::vector<Result> results;

  if (wants("insert")) {
    Result r;
    r.name = "insert, SQLite -> SQLite";
    r.goal = 0.25;
    std::string target = (work / "insert_target.db").string();
    std::string doc = WriteDocument(work / "insert.xml", SqliteConn(source), SqliteConn(target), "Insert", false, false);
    Measure(
        r, options.repeat,
        [&] {
          MakeSqliteTarget(target, options.rows, false);
          return SqliteInsertLimit(source, target);
        },
        [&] {
          MakeSqliteTarget(target, options.rows, false);
          return EngineRun(doc, options.rows, r.peak_mb, r.note);
        });
    results.push_back(r);
    PrintResults({r});
  }
  for (bool formula : {false, true}) {
    if (!wants(formula ? "formula" : "upsert")) continue;
    Result r;
    r.name = formula ? "UpdateInsert + formula, SQLite" : "UpdateInsert, SQLite (half present)";
    r.goal = formula ? 0.15 : 0.25;
    std::string target = (work / "upsert_target.db").string();
    std::string doc = WriteDocument(work / (formula ? "formula.xml" : "upsert.xml"), SqliteConn(source),
                                    SqliteConn(target), "UpdateInsert", true, formula);
    Measure(
        r, options.repeat,
        [&] {
          MakeSqliteTarget(target, options.rows, true);
          return SqliteUpsertLimit(source, target, formula);
        },
        [&] {
          MakeSqliteTarget(target, options.rows, true);
          return EngineRun(doc, options.rows, r.peak_mb, r.note);
        });
    results.push_back(r);
    PrintResults({r});
    if (!formula) {
      // Beside the limit, the script a user would write instead, in the same run.
      double peer = 0;
      for (int i = 0; i < options.repeat; ++i) {
        MakeSqliteTarget(target, options.rows, true);
        peer = std::max(peer, PythonUpsertRate(work, source, target));
      }
      if (peer > 0) {
        std::printf("  Python sqlite3 peer (UpdateInsert as a script): %.0f rows/s; the engine runs %.2fx its speed\n", peer,
                    r.engine_rate / peer);
      } else {
        std::printf("  Python sqlite3 peer: skipped (python3 did not run)\n");
      }
    }
  }
  if (wants("pg")) {
    std::string conninfo = options.pg;
    if (conninfo.empty() && std::getenv("VELDRANE_PG")) conninfo = std::getenv("VELDRANE_PG");
    if (conninfo.empty()) {
      std::printf("pg: skipped (give --pg CONNINFO or VELDRANE_PG)\n");
    } else {
      Result r;
    r.name = "UpdateInsert, SQLite -> PostgreSQL";
      r.goal = 0.5;
      std::string doc = WriteDocument(work / "pg.xml", SqliteConn(source), "Provider=PostgreSQL;Data Source=" + conninfo,
                                      "UpdateInsert", true, false);
      Measure(
          r, options.repeat,
          [&] {
            MakePgTarget(conninfo, options.rows);
            return PgUpsertLimit(source, conninfo);
          },
          [&] {
            MakePgTarget(conninfo, options.rows);
            return EngineRun(doc, options.rows, r.peak_mb, r.note);
          });
      results.push_back(r);
      PrintResults({r});
    }
  }
  std::printf("\nall scenarios:");
  PrintResults(results);
  return 0;
}

}  // namespace

}  // namespace veldrane::bench

int main(int argc, char** argv) {
  veldrane::bench::Options options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "veldrane-bench: %s needs a value\n", arg.c_str());
        std::exit(2);
      }
      return argv[++i];
    };
    if (arg == "--rows") {
      options.rows = std::atoi(value().c_str());
      if (options.rows < 1) {
        std::fprintf(stderr, "veldrane-bench: --rows wants a positive number\n");
        return 2;
      }
    } else if (arg == "--pg") {
      options.pg = value();
    } else if (arg == "--only") {
      options.only = value();
    } else if (arg == "--repeat") {
      options.repeat = std::atoi(value().c_str());
      if (options.repeat < 1) {
        std::fprintf(stderr, "veldrane-bench: --repeat wants a positive number\n");
        return 2;
      }
    } else if (arg == "--work") {
      options.work = value();
    } else {
      std::fprintf(stderr, "usage: veldrane-bench [--rows N] [--pg CONNINFO] [--only insert,upsert,formula,pg] [--repeat K] [--work DIR]\n");
      return arg == "--help" || arg == "-h" ? 0 : 2;
    }
  }
  try {
    return veldrane::bench::Main(options);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "veldrane-bench: %s\n", error.what());
    return 1;
  }
}
