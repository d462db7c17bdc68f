// veldrane-bench-odbc: the ODBC provider beside hand-written ODBC doing the
// same work, in the same run, on a MariaDB server.
//
//   veldrane-bench-odbc [--rows N] [--read-rows N] [--repeat K] [--odbc STRING] [--only upsert,read]
//
// upsert: a whole UpdateInsert run through the engine, SQLite source into a
//   MariaDB table that holds every second key, beside a loop over the same
//   source rows with a prepared SELECT by key, then a prepared UPDATE or
//   INSERT, in one transaction (what a programmer would write by hand).
// read: every field of every row of a table read through a forward-only
//   recordset, beside SQLFetch with a bound row array of 256 rows.
// Each side runs K times, alternating; the best of each and the spread
// (worst to best ratio) are printed. The ODBC string (default: the test
// DSN, DSN=veldrane_maria;UID=veldrane;PWD=veldrane-secret) reaches the
// server; the drivers come from ODBCSYSINI / ODBCINI as usual.
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/engine_bench_support.h"
#include "engine/cls_process.h"
#include "platform/db/ado.h"

namespace veldrane::bench {

std::string ScrubbedForPrint(const std::string& conn);

namespace {

struct Options {
  int rows = 20000;
  int read_rows = 100000;
  int repeat = 3;
  std::string odbc = "DSN=veldrane_maria;UID=veldrane;PWD=veldrane-secret";
  std::string only = "upsert,read";
};

// --- Hand-written ODBC -------------------------------------------------------

void Ok(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE h, const char* what) {
  if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO || rc == SQL_NO_DATA) return;
  SQLCHAR state[6] = {}, message[512] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  SQLGetDiagRec(type, h, 1, state, &native, message, sizeof message, &length);
  throw std::runtime_error(std::string(what) + ": " + reinterpret_cast<char*>(message));
}

struct Odbc {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  explicit Odbc(const std::string& conn) {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    std::string text = conn;
    Ok(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS, nullptr, 0, nullptr,
                        SQL_DRIVER_NOPROMPT),
       SQL_HANDLE_DBC, dbc, "connect");
  }
  ~Odbc() {
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
  }
  SQLHSTMT Statement(const char* sql) {
    SQLHSTMT s = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &s);
    if (sql) Ok(SQLPrepare(s, const_cast<SQLCHAR*>(reinterpret_cast<const SQLCHAR*>(sql)), SQL_NTS), SQL_HANDLE_STMT, s, sql);
    return s;
  }
  void Exec(const std::string& sql) {
    SQLHSTMT s = Statement(nullptr);
    std::string text = sql;
    Ok(SQLExecDirect(s, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS), SQL_HANDLE_STMT, s, sql.c_str());
    SQLFreeHandle(SQL_HANDLE_STMT, s);
  }
};

void MakeMariaTarget(const std::string& conn, int rows) {
  Odbc db(conn);
  db.Exec("DROP TABLE IF EXISTS DST");
  db.Exec("CREATE TABLE DST (ID INTEGER PRIMARY KEY, NAME VARCHAR(60), CITY VARCHAR(40), AMOUNT DOUBLE, "
          "CREATED VARCHAR(20), GROSS DOUBLE)");
  std::string values;
  for (int id = 2; id <= rows; id += 2) {
    values += (values.empty() ? "(" : ",(") + std::to_string(id) + ", 'Old name " + std::to_string(id) +
              "', 'Berlin', 1, '2025-01-01', NULL)";
    if (values.size() > 60000 || id + 2 > rows) {
      db.Exec("INSERT INTO DST VALUES " + values);
      values.clear();
    }
  }
}

// SELECT by key, then UPDATE or INSERT, prepared once, one transaction.
double HandWrittenUpsert(const std::string& source, const std::string& conn) {
  sqlite3* src = OpenSqlite(source);
  sqlite3_stmt* read = nullptr;
  Check(sqlite3_prepare_v2(src, "SELECT ID, NAME, CITY, AMOUNT, CREATED FROM SRC", -1, &read, nullptr), src);
  Odbc db(conn);
  SQLSetConnectAttr(db.dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
  SQLHSTMT find = db.Statement("SELECT ID, NAME, CITY, AMOUNT, CREATED, GROSS FROM DST WHERE ID = ?");
  SQLHSTMT update = db.Statement("UPDATE DST SET NAME = ?, CITY = ?, AMOUNT = ?, CREATED = ? WHERE ID = ?");
  SQLHSTMT insert = db.Statement("INSERT INTO DST (ID, NAME, CITY, AMOUNT, CREATED) VALUES (?, ?, ?, ?, ?)");
  SQLINTEGER id = 0;
  char name[64], city[64], created[32];
  double amount = 0;
  SQLLEN id_len = 0, name_len = SQL_NTS, city_len = SQL_NTS, amount_len = 0, created_len = SQL_NTS;
  auto text = [](SQLHSTMT s, SQLUSMALLINT n, char* buffer, SQLLEN* len) {
    SQLBindParameter(s, n, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 60, 0, buffer, 64, len);
  };
  SQLBindParameter(find, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &id, 0, &id_len);
  text(update, 1, name, &name_len);
  text(update, 2, city, &city_len);
  SQLBindParameter(update, 3, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &amount, 0, &amount_len);
  text(update, 4, created, &created_len);
  SQLBindParameter(update, 5, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &id, 0, &id_len);
  SQLBindParameter(insert, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &id, 0, &id_len);
  text(insert, 2, name, &name_len);
  text(insert, 3, city, &city_len);
  SQLBindParameter(insert, 4, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &amount, 0, &amount_len);
  text(insert, 5, created, &created_len);
  auto copy = [](char* to, const unsigned char* from) {
    std::snprintf(to, 64, "%s", from ? reinterpret_cast<const char*>(from) : "");
  };
  Stopwatch clock;
  int count = 0;
  while (sqlite3_step(read) == SQLITE_ROW) {
    id = sqlite3_column_int(read, 0);
    copy(name, sqlite3_column_text(read, 1));
    copy(city, sqlite3_column_text(read, 2));
    amount = sqlite3_column_double(read, 3);
    copy(created, sqlite3_column_text(read, 4));
    Ok(SQLExecute(find), SQL_HANDLE_STMT, find, "find");
    bool found = SQLFetch(find) == SQL_SUCCESS;
    SQLFreeStmt(find, SQL_CLOSE);
    SQLHSTMT write = found ? update : insert;
    Ok(SQLExecute(write), SQL_HANDLE_STMT, write, found ? "update" : "insert");
    ++count;
  }
  Ok(SQLEndTran(SQL_HANDLE_DBC, db.dbc, SQL_COMMIT), SQL_HANDLE_DBC, db.dbc, "commit");
  double seconds = clock.Seconds();
  for (SQLHSTMT s : {find, update, insert}) SQLFreeHandle(SQL_HANDLE_STMT, s);
  sqlite3_finalize(read);
  sqlite3_close(src);
  return count / seconds;
}

void MakeReadTable(const std::string& conn, int rows) {
  Odbc db(conn);
  db.Exec("DROP TABLE IF EXISTS READ_ROWS");
  db.Exec("CREATE TABLE READ_ROWS (ID INTEGER PRIMARY KEY, NAME VARCHAR(40), AMOUNT DOUBLE, PRICE DECIMAL(12,2), "
          "SINCE DATETIME)");
  std::string values;
  for (int id = 1; id <= rows; ++id) {
    values += (values.empty() ? "(" : ",(") + std::to_string(id) + ", 'Customer " + std::to_string(id) + "', " +
              std::to_string(id) + ".5, " + std::to_string(id % 1000) + ".25, '2024-05-06 07:08:09')";
    if (values.size() > 60000 || id == rows) {
      db.Exec("INSERT INTO READ_ROWS VALUES " + values);
      values.clear();
    }
  }
}

constexpr const char* kReadSql = "SELECT ID, NAME, AMOUNT, PRICE, SINCE FROM READ_ROWS";

// SQLFetch with a bound row array of 256 rows, every value looked at.
double DirectRead(const std::string& conn, int rows) {
  Odbc db(conn);
  SQLHSTMT s = db.Statement(nullptr);
  constexpr SQLULEN kBlock = 256;
  SQLULEN fetched = 0;
  SQLSetStmtAttr(s, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
  SQLSetStmtAttr(s, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kBlock), 0);
  SQLSetStmtAttr(s, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
  std::vector<SQLINTEGER> id(kBlock);
  std::vector<char> name(kBlock * 41), price(kBlock * 16);
  std::vector<double> amount(kBlock);
  std::vector<SQL_TIMESTAMP_STRUCT> since(kBlock);
  std::vector<SQLLEN> l1(kBlock), l2(kBlock), l3(kBlock), l4(kBlock), l5(kBlock);
  Stopwatch clock;
  std::string sql = kReadSql;
  Ok(SQLExecDirect(s, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS), SQL_HANDLE_STMT, s, "read");
  SQLBindCol(s, 1, SQL_C_SLONG, id.data(), 0, l1.data());
  SQLBindCol(s, 2, SQL_C_CHAR, name.data(), 41, l2.data());
  SQLBindCol(s, 3, SQL_C_DOUBLE, amount.data(), 0, l3.data());
  SQLBindCol(s, 4, SQL_C_CHAR, price.data(), 16, l4.data());
  SQLBindCol(s, 5, SQL_C_TYPE_TIMESTAMP, since.data(), 0, l5.data());
  int64_t count = 0, sum = 0;
  while (SQL_SUCCEEDED(SQLFetch(s))) {
    for (SQLULEN r = 0; r < fetched; ++r) {
      sum += id[r] + static_cast<int64_t>(amount[r]) + name[r * 41] + std::atoi(&price[r * 16]) + since[r].day;
      ++count;
    }
  }
  double seconds = clock.Seconds();
  SQLFreeHandle(SQL_HANDLE_STMT, s);
  if (count != rows || sum == 0) throw std::runtime_error("direct read gave " + std::to_string(count) + " rows");
  return count / seconds;
}

double RecordsetRead(const std::string& conn, int rows) {
  auto cn = ado::Connection::Create();
  cn->Open("Provider=MSDASQL;" + conn);
  Stopwatch clock;
  auto rs = ado::Recordset::Create();
  rs->Open(Variant(std::string(kReadSql)), Variant(ObjectRef(cn)), ado::adOpenForwardOnly, ado::adLockReadOnly);
  ado::Fields& f = rs->GetFields();
  int64_t count = 0, sum = 0;
  for (; !rs->IsEOF(); rs->MoveNext()) {
    for (int32_t i = 0; i < 5; ++i) sum += f.Item(Variant(i)).Value().IsNull() ? 0 : 1;
    ++count;
  }
  double seconds = clock.Seconds();
  if (count != rows || sum != 5 * count) throw std::runtime_error("recordset read gave " + std::to_string(count) + " rows");
  return count / seconds;
}

// --- Measuring ----------------------------------------------------------------

struct Sides {
  std::vector<double> engine, limit;
};

void Report(const char* name, const Sides& s, double goal) {
  double best_engine = *std::max_element(s.engine.begin(), s.engine.end());
  double best_limit = *std::max_element(s.limit.begin(), s.limit.end());
  std::vector<double> ratios;
  for (size_t i = 0; i < s.engine.size(); ++i) ratios.push_back(s.engine[i] / s.limit[i]);
  std::printf("%-40s %12.0f %12.0f %7.1f%% (rounds %.1f%%-%.1f%%) goal %.0f%% %s\n", name, best_engine, best_limit,
              100 * best_engine / best_limit, 100 * *std::min_element(ratios.begin(), ratios.end()),
              100 * *std::max_element(ratios.begin(), ratios.end()), 100 * goal,
              best_engine / best_limit >= goal ? "ok" : "BELOW GOAL");
  std::printf("%-40s engine rounds:", "");
  for (double e : s.engine) std::printf(" %.0f", e);
  std::printf("; hand-written rounds:");
  for (double l : s.limit) std::printf(" %.0f", l);
  std::printf("\n");
}

int Main(const Options& o) {
  std::filesystem::path work = std::filesystem::temp_directory_path() / "veldrane-bench-odbc";
  std::filesystem::create_directories(work);
  setenv("VELDRANE_HOME", work.c_str(), 1);
  auto wants = [&](const char* name) { return ("," + o.only + ",").find(std::string(",") + name + ",") != std::string::npos; };
  std::printf("veldrane-bench-odbc: %d upsert rows, %d read rows, best of %d, %s\n", o.rows, o.read_rows, o.repeat,
              ScrubbedForPrint(o.odbc).c_str());
  std::printf("%-40s %12s %12s %8s\n", "scenario", "engine/s", "by hand/s", "ratio");
  if (wants("upsert")) {
    std::string source = (work / "source.db").string();
    MakeSource(source, o.rows);
    std::string doc = WriteDocument(work / "maria.xml", SqliteConn(source), "Provider=MSDASQL;" + o.odbc,
                                    "UpdateInsert", true, false);
    Sides s;
    for (int i = 0; i < o.repeat; ++i) {
      MakeMariaTarget(o.odbc, o.rows);
      s.limit.push_back(HandWrittenUpsert(source, o.odbc));
      MakeMariaTarget(o.odbc, o.rows);
      auto process = std::make_shared<clsProcess>();
      std::string error = process->LoadIntegration(doc);
      if (!error.empty()) throw std::runtime_error(error);
      Stopwatch clock;
      process->Run();
      double seconds = clock.Seconds();
      tStatistic stats = process->Statistics();
      int written = stats.Success[1] + stats.Success[2];
      if (written != o.rows) throw std::runtime_error("the engine wrote " + std::to_string(written) + " rows");
      s.engine.push_back(o.rows / seconds);
    }
    Report("UpdateInsert, SQLite -> MariaDB (ODBC)", s, 0.5);
  }
  if (wants("read")) {
    MakeReadTable(o.odbc, o.read_rows);
    Sides s;
    for (int i = 0; i < o.repeat; ++i) {
      s.limit.push_back(DirectRead(o.odbc, o.read_rows));
      s.engine.push_back(RecordsetRead(o.odbc, o.read_rows));
    }
    Report("read, forward-only recordset (ODBC)", s, 0.5);
  }
  return 0;
}

}  // namespace

// The string without its password, for the heading.
std::string ScrubbedForPrint(const std::string& conn) {
  std::string out;
  size_t pos = 0;
  while (pos < conn.size()) {
    size_t end = conn.find(';', pos);
    std::string part = conn.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    if (part.rfind("PWD=", 0) != 0 && part.rfind("pwd=", 0) != 0) out += part + ";";
    if (end == std::string::npos) break;
    pos = end + 1;
  }
  return out;
}

}  // namespace veldrane::bench

int main(int argc, char** argv) {
  veldrane::bench::Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw std::runtime_error(a + " needs a value");
      return argv[++i];
    };
    try {
      if (a == "--rows") o.rows = std::stoi(value());
      else if (a == "--read-rows") o.read_rows = std::stoi(value());
      else if (a == "--repeat") o.repeat = std::max(1, std::stoi(value()));
      else if (a == "--odbc") o.odbc = value();
      else if (a == "--only") o.only = value();
      else throw std::runtime_error("unknown option " + a);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "veldrane-bench-odbc: %s\n", e.what());
      return 2;
    }
  }
  try {
    return veldrane::bench::Main(o);
  } catch (const veldrane::VbError& e) {
    std::fprintf(stderr, "veldrane-bench-odbc: %s\n", e.description().c_str());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "veldrane-bench-odbc: %s\n", e.what());
    return 1;
  }
}
