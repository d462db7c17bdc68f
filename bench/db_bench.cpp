// Rows per second (processor time, best of five alternating rounds) through the ADO-shaped
// recordsets beside the same work done with SQLite's C API directly, in the
// same run on the same file:
//   read    100,000 rows, every field of every row, forward-only (row by row)
//   static  the same through a static cursor, which holds the whole result
//   insert  100,000 rows with AddNew/Update in one transaction
//   lookup  the engine's per-record pattern: re-open "SELECT * FROM T WHERE
//           K = '<n>'" and change one field of the row found
// The benchmark includes sqlite3.h itself: the direct path is the yardstick.
//
// `--profile read|insert|lookup [recordset|direct]` runs one side of one
// scenario ten times and prints nothing, for a profiler to watch.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/variant.h"
#include "platform/db/ado.h"

using namespace veldrane;
using namespace veldrane::ado;

namespace {

constexpr int kRows = 100000;
constexpr int kLookups = 20000;

// Thread CPU time: the machine is shared, and wall time would measure the neighbours.
using Clock = std::chrono::duration<double>;
struct CpuClock {
  static Clock now() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return Clock(static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9);
  }
};

double Seconds(Clock start) { return (CpuClock::now() - start).count(); }

void Check(int rc, sqlite3* db) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    std::exit(1);
  }
}

void Report(const char* what, int rows, double ours, double direct) {
  std::printf("%-8s recordset %10.0f rows/s   direct %10.0f rows/s   ratio %.2f\n", what, rows / ours, rows / direct,
              direct / ours);
}

double DirectInsert(sqlite3* db, const char* table) {
  auto start = CpuClock::now();
  Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
  sqlite3_stmt* stmt = nullptr;
  std::string sql = std::string("INSERT INTO ") + table + " (NAME, AMOUNT, QTY, CREATED) VALUES (?, ?, ?, ?)";
  Check(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), db);
  for (int i = 0; i < kRows; ++i) {
    std::string name = "name " + std::to_string(i);
    sqlite3_bind_text(stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_double(stmt, 2, i * 0.25);
    sqlite3_bind_int(stmt, 3, i % 1000);
    sqlite3_bind_text(stmt, 4, "2024-01-02 03:04:05", -1, SQLITE_STATIC);
    Check(sqlite3_step(stmt), db);
    sqlite3_reset(stmt);
  }
  sqlite3_finalize(stmt);
  Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
  return Seconds(start);
}

double RecordsetInsert(const ConnectionRef& cn, const char* table) {
  auto start = CpuClock::now();
  cn->BeginTrans();
  auto rs = Recordset::Create();
  rs->Open(Variant(std::string("SELECT * FROM ") + table + " WHERE 1 = 2"), Variant(ObjectRef(cn)), adOpenKeyset,
           adLockOptimistic);
  Fields& f = rs->GetFields();
  Field& name = f.Item("NAME");
  Field& amount = f.Item("AMOUNT");
  Field& qty = f.Item("QTY");
  Field& created = f.Item("CREATED");
  Variant when = Variant::Date(45293.12783564815);
  for (int i = 0; i < kRows; ++i) {
    rs->AddNew();
    name.SetValue(Variant("name " + std::to_string(i)));
    amount.SetValue(Variant(i * 0.25));
    qty.SetValue(Variant(int32_t{i % 1000}));
    created.SetValue(when);
    rs->Update();
  }
  cn->CommitTrans();
  return Seconds(start);
}

double DirectRead(sqlite3* db, long& checksum) {
  auto start = CpuClock::now();
  sqlite3_stmt* stmt = nullptr;
  Check(sqlite3_prepare_v2(db, "SELECT * FROM READS", -1, &stmt, nullptr), db);
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    int64_t id = sqlite3_column_int64(stmt, 0);
    std::string name(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
    double amount = sqlite3_column_double(stmt, 2);
    int qty = sqlite3_column_int(stmt, 3);
    std::string created(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 4)));
    checksum += id + static_cast<long>(name.size() + amount + qty + created.size());
  }
  sqlite3_finalize(stmt);
  return Seconds(start);
}

// `cursor`: adOpenForwardOnly reads row by row, as a server cursor does;
// adOpenStatic holds the whole result in memory first.
double RecordsetRead(const ConnectionRef& cn, long& checksum, int32_t cursor) {
  auto start = CpuClock::now();
  auto rs = Recordset::Create();
  rs->Open(Variant("SELECT * FROM READS"), Variant(ObjectRef(cn)), cursor, adLockReadOnly);
  Fields& f = rs->GetFields();
  for (; !rs->IsEOF(); rs->MoveNext()) {
    Variant id = f.Item(Variant(int32_t{0})).Value();
    Variant name = f.Item(Variant(int32_t{1})).Value();
    Variant amount = f.Item(Variant(int32_t{2})).Value();
    Variant qty = f.Item(Variant(int32_t{3})).Value();
    Variant created = f.Item(Variant(int32_t{4})).Value();
    checksum += id.ToLong() + static_cast<long>(name.AsString().size() + amount.ToDouble() + qty.ToLong() + 19);
  }
  return Seconds(start);
}

double DirectLookups(sqlite3* db) {
  auto start = CpuClock::now();
  Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
  sqlite3_stmt* select = nullptr;
  sqlite3_stmt* update = nullptr;
  Check(sqlite3_prepare_v2(db, "SELECT * FROM READS WHERE ID = ?", -1, &select, nullptr), db);
  Check(sqlite3_prepare_v2(db, "UPDATE READS SET QTY = ? WHERE ID = ?", -1, &update, nullptr), db);
  for (int i = 1; i <= kLookups; ++i) {
    sqlite3_bind_int(select, 1, i);
    while (sqlite3_step(select) == SQLITE_ROW) {
    }
    sqlite3_reset(select);
    sqlite3_bind_int(update, 1, i % 7);
    sqlite3_bind_int(update, 2, i);
    Check(sqlite3_step(update), db);
    sqlite3_reset(update);
  }
  sqlite3_finalize(select);
  sqlite3_finalize(update);
  Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
  return Seconds(start);
}

double RecordsetLookups(const ConnectionRef& cn) {
  auto start = CpuClock::now();
  cn->BeginTrans();
  for (int i = 1; i <= kLookups; ++i) {
    auto rs = Recordset::Create();
    rs->Open(Variant("SELECT * FROM READS WHERE ID = '" + std::to_string(i) + "'"), Variant(ObjectRef(cn)),
             adOpenKeyset, adLockOptimistic);
    rs->GetFields().Item("QTY").SetValue(Variant(int32_t{i % 7 + 1}));
    rs->Update();
  }
  cn->CommitTrans();
  return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  std::string profile = argc > 1 && std::string(argv[1]) == "--profile" && argc > 2 ? argv[2] : "";
  bool profile_direct = argc > 3 && std::string(argv[3]) == "direct";
  if (argc > 1 && (profile.empty() || (profile != "read" && profile != "insert" && profile != "lookup"))) {
    std::fprintf(stderr, "usage: veldrane-bench-db [--profile read|insert|lookup [recordset|direct]]\n");
    return 2;
  }
  std::string dir = (std::filesystem::temp_directory_path() / "veldrane-bench-db-XXXXXX").string();
  if (!::mkdtemp(dir.data())) return 1;
  std::string path = dir + "/bench.db";
  sqlite3* db = nullptr;
  Check(sqlite3_open(path.c_str(), &db), db);
  const char* schema = "(ID INTEGER PRIMARY KEY, NAME TEXT, AMOUNT REAL, QTY INTEGER, CREATED DATETIME)";
  for (const char* t : {"READS", "DIRECT_INSERTS", "RS_INSERTS"}) {
    Check(sqlite3_exec(db, (std::string("CREATE TABLE ") + t + " " + schema).c_str(), nullptr, nullptr, nullptr), db);
  }
  DirectInsert(db, "READS");
  auto cn = Connection::Create();
  cn->Open("Provider=SQLite;Data Source=" + path);

  if (!profile.empty()) {
    long sum = 0;
    for (int k = 0; k < 10; ++k) {
      if (profile == "read") profile_direct ? DirectRead(db, sum) : RecordsetRead(cn, sum, adOpenForwardOnly);
      if (profile == "insert") profile_direct ? DirectInsert(db, "DIRECT_INSERTS") : RecordsetInsert(cn, "RS_INSERTS");
      if (profile == "lookup") profile_direct ? DirectLookups(db) : RecordsetLookups(cn);
    }
    cn->Close();
    sqlite3_close(db);
    std::filesystem::remove_all(dir);
    return 0;
  }
  std::printf("SQLite %s, %d rows (lookups: %d)\n", sqlite3_libversion(), kRows, kLookups);
  // The two sides run in alternating rounds, so that a busy spell of the
  // machine falls on both; each figure is the best of its five rounds.
  constexpr int kRounds = 5;
  auto compare = [&](const char* what, int rows, auto&& direct_run, auto&& ours_run) {
    double direct = 1e300, ours = 1e300;
    for (int k = 0; k < kRounds; ++k) {
      direct = std::min(direct, direct_run());
      ours = std::min(ours, ours_run());
    }
    Report(what, rows, ours, direct);
  };
  long direct_sum = 0, ours_sum = 0;
  auto direct_read = [&] { direct_sum = 0; return DirectRead(db, direct_sum); };
  compare("read", kRows, direct_read, [&] { ours_sum = 0; return RecordsetRead(cn, ours_sum, adOpenForwardOnly); });
  if (direct_sum != ours_sum) std::printf("  (checksums differ: %ld vs %ld)\n", direct_sum, ours_sum);
  compare("static", kRows, direct_read, [&] { ours_sum = 0; return RecordsetRead(cn, ours_sum, adOpenStatic); });
  if (direct_sum != ours_sum) std::printf("  (checksums differ: %ld vs %ld)\n", direct_sum, ours_sum);
  compare("insert", kRows, [&] { return DirectInsert(db, "DIRECT_INSERTS"); },
          [&] { return RecordsetInsert(cn, "RS_INSERTS"); });
  compare("lookup", kLookups, [&] { return DirectLookups(db); }, [&] { return RecordsetLookups(cn); });

  cn->Close();
  sqlite3_close(db);
  std::filesystem::remove_all(dir);
  return 0;
}
