// What the engine benchmark needs around its measurements: a stopwatch, the
// peak memory of a stretch of work, the source and target databases of the
// scenarios (built with SQLite's and libpq's own APIs, as the physical
// limits use them), and the integration documents the engine runs.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>

struct sqlite3;
struct pg_conn;
typedef struct pg_conn PGconn;

namespace veldrane::bench {

class Stopwatch {
 public:
  double Seconds() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(); }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Peak resident memory since the last reset, in MiB (Linux: VmHWM, reset
// through /proc/self/clear_refs).
void ResetPeakMemory();
double PeakMemoryMb();

// SQLite: raises std::runtime_error with the database's message unless `rc`
// is SQLITE_OK.
void Check(int rc, sqlite3* db);
sqlite3* OpenSqlite(const std::string& path);
void Exec(sqlite3* db, const char* sql);

// libpq: open, run, prepare; failures raise with the server's message.
PGconn* OpenPg(const std::string& conninfo);
void PgExec(PGconn* pg, const std::string& sql);
void PgPrepare(PGconn* pg, const char* name, const char* sql, int parameters);

// SRC(ID, NAME, CITY, AMOUNT, CREATED) with `rows` rows, IDs 1..rows.
void MakeSource(const std::string& path, int rows);
// An empty DST (ID primary key, NAME, CITY, AMOUNT, CREATED, GROSS); with
// `half_present`, every even ID of 1..rows already there with old values.
void MakeSqliteTarget(const std::string& path, int rows, bool half_present);
void MakePgTarget(const std::string& conninfo, int rows);

std::string SqliteConn(const std::string& path);

// An integration document START -> SOURCE (table SRC) -> TARGET (DST,
// `operation`) -> END mapping every column; with `key` the ID mapping is the
// lookup; with `formula` GROSS is FORMULA!Gross (AMOUNT * 1.19). Returns
// the path written.
std::string WriteDocument(const std::filesystem::path& path, const std::string& source_conn,
                          const std::string& target_conn, const std::string& operation, bool key, bool formula);

}  // namespace veldrane::bench
