// What the command's tests share: running the built `veldrane` as a user
// would (arguments, environment, captured output and exit status), a
// throw-away folder per test, small SQLite databases made through the
// library's data layer, and integration documents built from a few lines.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "core/variant.h"

namespace veldrane::cli::test {

struct CliResult {
  int status = -1;   // exit status; 128 + n when killed by signal n
  std::string out;   // standard output
  std::string err;   // standard error
};

// A folder under the system's temporary folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// A copy of the build's library folder (the library and the translation
// database beside it), made once per test program: the programs the tests
// run load the library from there (LD_LIBRARY_PATH), so that what they
// record beside it never reaches the database the build ships.
const std::string& LibraryCopy();

// Runs `veldrane` with `args`, HOME and VELDRANE_HOME pointing into `home`
// (so that nothing is written beside the build), plus `env`.
CliResult RunCli(const std::vector<std::string>& args, const std::string& home,
                 const std::map<std::string, std::string>& env = {});

// Runs another program of the build (`path`) the same way.
CliResult RunProgram(const std::string& path, const std::vector<std::string>& args, const std::string& home);

// A running `veldrane`, for tests that signal it.
class CliProcess {
 public:
  CliProcess(const std::vector<std::string>& args, const std::string& home);
  ~CliProcess();
  // Reads standard output until a line contains `text`; false at its end.
  bool WaitForOutput(const std::string& text);
  void Signal(int signal);
  // Waits for the end, collecting the rest of the output.
  CliResult Finish();

 private:
  pid_t pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  std::string out_;
};

// SQL on a SQLite file through the data layer (the file is created when
// missing). Several statements separated by ";" run in order.
void Sql(const std::string& db, const std::string& sql);
// The first column of the first row of a query.
Variant Scalar(const std::string& db, const std::string& sql);
std::string SqliteConn(const std::string& db);

// A customers source with `rows` rows (CUSTNO 1..rows, NAME, CITY, AMOUNT)
// and an empty target table CUSTOMERS (CUSTNO primary key, NAME, CITY,
// LABEL, AMOUNT).
void MakeCustomerDatabases(const std::string& source, const std::string& target, int rows);

// An integration document built step by step. Steps get node numbers in the
// order they are added; Link joins them by node number.
class Document {
 public:
  int Start();
  int End();
  int Source(const std::string& caption, const std::string& conn, const std::string& table);
  // A SOURCE step that reads the rows of a query.
  int SourceQuery(const std::string& caption, const std::string& conn, const std::string& sql);
  int Target(const std::string& caption, const std::string& conn, const std::string& table, const std::string& operation);
  int Decision(const std::string& caption, const std::string& condition);
  // A mapping of the TARGET step `node`.
  void Map(int node, const std::string& field, const std::string& value, const std::string& lookup = {});
  void Link(int from, int to, const std::string& caption = {});
  void Formula(const std::string& name, const std::string& text);
  // The document's XML text; Save writes it to `path` and returns `path`.
  std::string Xml() const;
  std::string Save(const std::string& path) const;

  // START -> SOURCE(CUSTOMERS) -> TARGET(CUSTOMERS, `operation`) -> END over
  // the customer databases, mapping CUSTNO (the key when `key`), NAME, CITY,
  // AMOUNT and, with `formula`, LABEL = FORMULA!Label.
  static Document Customers(const std::string& source, const std::string& target, const std::string& operation,
                            bool key, bool formula);

 private:
  struct Step {
    std::string type, caption, payload;
    std::vector<std::string> fields;
  };
  int Add(Step step);
  std::vector<Step> steps_;
  std::vector<std::tuple<int, int, std::string>> links_;
  std::vector<std::pair<std::string, std::string>> formulas_;
};

// The number of times `part` occurs in `text`.
int Count(const std::string& text, const std::string& part);

}  // namespace veldrane::cli::test
