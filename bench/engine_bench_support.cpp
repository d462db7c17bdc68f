#include "bench/engine_bench_support.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <fstream>
#include <stdexcept>

namespace veldrane::bench {

void ResetPeakMemory() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

double PeakMemoryMb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return 0;
}

void Check(int rc, sqlite3* db) {
  if (rc != SQLITE_OK) throw std::runtime_error(std::string("sqlite: ") + sqlite3_errmsg(db));
}

sqlite3* OpenSqlite(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
    std::string message = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    throw std::runtime_error("cannot open " + path + ": " + message);
  }
  return db;
}

void Exec(sqlite3* db, const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : "unknown error";
    sqlite3_free(message);
    throw std::runtime_error(std::string("sqlite: ") + text + " in: " + sql);
  }
}

PGconn* OpenPg(const std::string& conninfo) {
  PGconn* pg = PQconnectdb(conninfo.c_str());
  if (PQstatus(pg) != CONNECTION_OK) {
    std::string message = PQerrorMessage(pg);
    PQfinish(pg);
    throw std::runtime_error("cannot connect to PostgreSQL: " + message);
  }
  return pg;
}

void PgExec(PGconn* pg, const std::string& sql) {
  PGresult* result = PQexec(pg, sql.c_str());
  ExecStatusType status = PQresultStatus(result);
  PQclear(result);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    throw std::runtime_error("postgresql: " + std::string(PQerrorMessage(pg)) + " in: " + sql);
  }
}

void PgPrepare(PGconn* pg, const char* name, const char* sql, int parameters) {
  PGresult* result = PQprepare(pg, name, sql, parameters, nullptr);
  bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
  PQclear(result);
  if (!ok) throw std::runtime_error("postgresql: " + std::string(PQerrorMessage(pg)));
}

namespace {

const char* const kCities[] = {"Berlin", "Paris", "Madrid", "Rome", "Oslo", "Vienna", "Dublin", "Prague"};

void FillRows(sqlite3* db, const char* table, int rows, int step, const char* name_prefix) {
  Exec(db, "BEGIN");
  sqlite3_stmt* insert = nullptr;
  std::string sql = std::string("INSERT INTO ") + table + " (ID, NAME, CITY, AMOUNT, CREATED) VALUES (?, ?, ?, ?, ?)";
  Check(sqlite3_prepare_v2(db, sql.c_str(), -1, &insert, nullptr), db);
  for (int id = step; id <= rows; id += step) {
    std::string name = name_prefix + std::to_string(id);
    char created[16];
    std::snprintf(created, sizeof created, "2025-%02d-%02d", 1 + id % 12, 1 + id % 28);
    sqlite3_bind_int(insert, 1, id);
    sqlite3_bind_text(insert, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 3, kCities[id % 8], -1, SQLITE_STATIC);
    sqlite3_bind_double(insert, 4, (id % 10000) / 100.0 + 1);
    sqlite3_bind_text(insert, 5, created, -1, SQLITE_TRANSIENT);
    if (sqlite3_step(insert) != SQLITE_DONE) Check(SQLITE_ERROR, db);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  Exec(db, "COMMIT");
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '"') out += "&quot;";
    else out += c;
  }
  return out;
}

}  // namespace

void MakeSource(const std::string& path, int rows) {
  std::filesystem::remove(path);
  sqlite3* db = OpenSqlite(path);
  Exec(db, "CREATE TABLE SRC (ID INTEGER PRIMARY KEY, NAME TEXT, CITY TEXT, AMOUNT REAL, CREATED TEXT)");
  FillRows(db, "SRC", rows, 1, "Customer ");
  sqlite3_close(db);
}

void MakeSqliteTarget(const std::string& path, int rows, bool half_present) {
  std::filesystem::remove(path);
  sqlite3* db = OpenSqlite(path);
  Exec(db, "CREATE TABLE DST (ID INTEGER PRIMARY KEY, NAME TEXT, CITY TEXT, AMOUNT REAL, CREATED TEXT, GROSS REAL)");
  if (half_present) FillRows(db, "DST", rows, 2, "Old name ");
  sqlite3_close(db);
}

void MakePgTarget(const std::string& conninfo, int rows) {
  PGconn* pg = OpenPg(conninfo);
  PgExec(pg, "SET client_min_messages = warning");
  PgExec(pg, "DROP TABLE IF EXISTS dst");
  PgExec(pg,
         "CREATE TABLE dst (id integer PRIMARY KEY, name text, city text, amount double precision, created text, "
         "gross double precision)");
  PgExec(pg, "INSERT INTO dst (id, name, city, amount, created) SELECT g, 'Old name ' || g, 'Berlin', 1, "
             "'2025-01-01' FROM generate_series(2, " + std::to_string(rows) + ", 2) g");
  PgExec(pg, "VACUUM ANALYZE dst");
  PQfinish(pg);
}

std::string SqliteConn(const std::string& path) { return "Provider=SQLite;Data Source=" + path; }

std::string WriteDocument(const std::filesystem::path& path, const std::string& source_conn,
                          const std::string& target_conn, const std::string& operation, bool key, bool formula) {
  std::string fields;
  for (const char* column : {"ID", "NAME", "CITY", "AMOUNT", "CREATED"}) {
    std::string lookup = key && std::string(column) == "ID" ? "SOURCE(\"ID\")" : "";
    fields += std::string("<field name=\"") + column + "\" type=\"200\" size=\"50\"><f_value>SOURCE([" + column +
              "])</f_value><f_lookup>" + Escaped(lookup) + "</f_lookup></field>";
  }
  if (formula) fields += "<field name=\"GROSS\" type=\"5\" size=\"8\"><f_value>FORMULA!Gross</f_value><f_lookup></f_lookup></field>";
  std::string xml =
      "<?xml version=\"1.0\"?>\n"
      "<veldrane xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:noNamespaceSchemaLocation=\"veldrane.xsd\">\n"
      "<nodes>\n"
      "<node type=\"start\" x=\"660\" y=\"500\" caption=\"START\"><next caption=\"\">2</next></node>\n"
      "<node type=\"data\" x=\"2550\" y=\"500\" caption=\"SOURCE\"><dataconn><connname>source</connname><connstring>" +
      Escaped(source_conn) +
      "</connstring></dataconn><datasource type=\"table\">SRC</datasource><previous caption=\"\">1</previous>"
      "<next caption=\"\">3</next></node>\n"
      "<node type=\"storage\" x=\"4800\" y=\"500\" caption=\"TARGET\"><storageconn><connname>target</connname><connstring>" +
      Escaped(target_conn) + "</connstring><operation>" + operation +
      "</operation></storageconn><storagetarget type=\"table\">DST</storagetarget><storagefields>" + fields +
      "</storagefields><previous caption=\"\">2</previous><next caption=\"\">4</next></node>\n"
      "<node type=\"stop\" x=\"7140\" y=\"500\" caption=\"END\"><previous caption=\"\">3</previous></node>\n"
      "</nodes>\n"
      "<formula>" +
      std::string(formula ? "<formula name=\"Gross\">Function Main\r\n  Main = SOURCE(\"AMOUNT\") * 1.19\r\nEnd Function</formula>" : "") +
      "</formula>\n"
      "</veldrane>\n";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << xml;
  if (!out) throw std::runtime_error("cannot write " + path.string());
  return path.string();
}

}  // namespace veldrane::bench
