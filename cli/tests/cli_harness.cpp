#include "cli/tests/cli_harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <tuple>

#include "platform/db/ado.h"

namespace veldrane::cli::test {

namespace {

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

// A copy of the build's library folder (the library, the translation
// database beside it) that the programs run by the tests load instead: a
// text the command translates for the first time is recorded in the
// translation database beside the library it loaded, and the database the
// build ships must not change because tests ran.
class IsolatedLibrary {
 public:
  IsolatedLibrary() {
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "veldrane-cli-lib-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a folder for the library copy");
    folder_ = pattern;
    fs::path built = fs::path(VELDRANE_CLI_PATH).parent_path().parent_path() / "lib";
    for (const auto& entry : fs::directory_iterator(built)) {
      if (entry.is_regular_file()) fs::copy_file(entry.path(), fs::path(folder_) / entry.path().filename());
    }
  }
  ~IsolatedLibrary() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  const std::string& folder() const { return folder_; }

 private:
  std::string folder_;
};

}  // namespace

const std::string& LibraryCopy() {
  static IsolatedLibrary copy;
  return copy.folder();
}

namespace {

pid_t Spawn(const std::string& program, const std::vector<std::string>& args, const std::string& home,
            const std::map<std::string, std::string>& env, int& out_fd, int& err_fd) {
  const std::string& library = LibraryCopy();  // made before the fork
  int out_pipe[2], err_pipe[2];
  if (::pipe(out_pipe) != 0 || ::pipe(err_pipe) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::dup2(out_pipe[1], 1);
    ::dup2(err_pipe[1], 2);
    int null_in = ::open("/dev/null", O_RDONLY);
    ::dup2(null_in, 0);
    ::close(out_pipe[0]);
    ::close(err_pipe[0]);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("VELDRANE_HOME", home.c_str(), 1);
    ::unsetenv("VELDRANE_CONNECTIONS");
    // Searched before the programs' own run path.
    ::setenv("LD_LIBRARY_PATH", library.c_str(), 1);
    for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  out_fd = out_pipe[0];
  err_fd = err_pipe[0];
  return pid;
}

// Reads both pipes until both close.
void Drain(int out_fd, int err_fd, std::string& out, std::string& err) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  int open = 2;
  char buffer[8192];
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n <= 0) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      } else {
        (i == 0 ? out : err).append(buffer, static_cast<size_t>(n));
      }
    }
  }
}

int Wait(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "veldrane-cli-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

CliResult RunCli(const std::vector<std::string>& args, const std::string& home,
                 const std::map<std::string, std::string>& env) {
  CliResult result;
  int out_fd = -1, err_fd = -1;
  pid_t pid = Spawn(VELDRANE_CLI_PATH, args, home, env, out_fd, err_fd);
  Drain(out_fd, err_fd, result.out, result.err);
  result.status = Wait(pid);
  return result;
}

CliResult RunProgram(const std::string& path, const std::vector<std::string>& args, const std::string& home) {
  CliResult result;
  int out_fd = -1, err_fd = -1;
  pid_t pid = Spawn(path, args, home, {}, out_fd, err_fd);
  Drain(out_fd, err_fd, result.out, result.err);
  result.status = Wait(pid);
  return result;
}

CliProcess::CliProcess(const std::vector<std::string>& args, const std::string& home) {
  pid_ = Spawn(VELDRANE_CLI_PATH, args, home, {}, out_fd_, err_fd_);
}

CliProcess::~CliProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    Finish();
  }
}

bool CliProcess::WaitForOutput(const std::string& text) {
  char buffer[4096];
  while (out_.find(text) == std::string::npos) {
    ssize_t n = ::read(out_fd_, buffer, sizeof buffer);
    if (n <= 0) return false;
    out_.append(buffer, static_cast<size_t>(n));
  }
  return true;
}

void CliProcess::Signal(int signal) { ::kill(pid_, signal); }

CliResult CliProcess::Finish() {
  CliResult result;
  result.out = out_;
  Drain(out_fd_, err_fd_, result.out, result.err);
  result.status = Wait(pid_);
  pid_ = -1;
  return result;
}

std::string SqliteConn(const std::string& db) { return "Provider=SQLite;Data Source=" + db; }

void Sql(const std::string& db, const std::string& sql) {
  auto connection = ado::Connection::Create();
  connection->Open(SqliteConn(db) + ";Mode=Create");
  connection->Execute(sql);
  connection->Close();
}

Variant Scalar(const std::string& db, const std::string& sql) {
  auto connection = ado::Connection::Create();
  connection->Open(SqliteConn(db));
  auto rows = connection->Execute(sql);
  Variant value = rows->GetFields().Item(Variant(int32_t{0})).Value();
  connection->Close();
  return value;
}

void MakeCustomerDatabases(const std::string& source, const std::string& target, int rows) {
  std::string sql =
      "CREATE TABLE CUSTOMERS (CUSTNO INTEGER PRIMARY KEY, NAME TEXT, CITY TEXT, AMOUNT REAL);"
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
      std::to_string(rows) +
      ") INSERT INTO CUSTOMERS SELECT i, 'Customer ' || i, CASE i % 3 WHEN 0 THEN 'Oslo' WHEN 1 THEN 'Rome' "
      "ELSE 'Lyon' END, i * 1.5 FROM n";
  Sql(source, sql);
  Sql(target, "CREATE TABLE CUSTOMERS (CUSTNO INTEGER PRIMARY KEY, NAME TEXT NOT NULL, CITY TEXT, LABEL TEXT, AMOUNT REAL)");
}

int Document::Add(Step step) {
  steps_.push_back(std::move(step));
  return static_cast<int>(steps_.size());
}

int Document::Start() { return Add({"start", "START", "", {}}); }
int Document::End() { return Add({"stop", "END", "", {}}); }

int Document::Source(const std::string& caption, const std::string& conn, const std::string& table) {
  return Add({"data", caption,
              "<dataconn><connname>src</connname><connstring>" + Escaped(conn) +
                  "</connstring></dataconn><datasource type=\"table\">" + Escaped(table) + "</datasource>",
              {}});
}

int Document::SourceQuery(const std::string& caption, const std::string& conn, const std::string& sql) {
  return Add({"data", caption,
              "<dataconn><connname>src</connname><connstring>" + Escaped(conn) +
                  "</connstring></dataconn><datasource type=\"query\">" + Escaped(sql) + "</datasource>",
              {}});
}

int Document::Target(const std::string& caption, const std::string& conn, const std::string& table,
                     const std::string& operation) {
  return Add({"storage", caption,
              "<storageconn><connname>dst</connname><connstring>" + Escaped(conn) + "</connstring><operation>" +
                  operation + "</operation></storageconn><storagetarget type=\"table\">" + Escaped(table) +
                  "</storagetarget>",
              {}});
}

int Document::Decision(const std::string& caption, const std::string& condition) {
  return Add({"decission", caption, "<condition>" + Escaped(condition) + "</condition>", {}});
}

void Document::Map(int node, const std::string& field, const std::string& value, const std::string& lookup) {
  steps_.at(node - 1).fields.push_back("<field name=\"" + Escaped(field) + "\" type=\"200\" size=\"50\"><f_value>" +
                                       Escaped(value) + "</f_value><f_lookup>" + Escaped(lookup) + "</f_lookup></field>");
}

void Document::Link(int from, int to, const std::string& caption) { links_.emplace_back(from, to, caption); }

void Document::Formula(const std::string& name, const std::string& text) { formulas_.emplace_back(name, text); }

std::string Document::Xml() const {
  std::string xml =
      "<?xml version=\"1.0\"?>\n<veldrane xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
      "xsi:noNamespaceSchemaLocation=\"veldrane.xsd\">\n<nodes>\n";
  for (size_t i = 0; i < steps_.size(); ++i) {
    const Step& step = steps_[i];
    int node = static_cast<int>(i + 1);
    xml += "<node type=\"" + step.type + "\" x=\"" + std::to_string(660 + 2000 * i) + "\" y=\"" +
           std::to_string(500 + 300 * (i % 2)) + "\" caption=\"" + Escaped(step.caption) + "\">" + step.payload;
    if (step.type == "storage") {
      xml += "<storagefields>";
      for (const auto& field : step.fields) xml += field;
      xml += "</storagefields>";
    }
    for (const auto& [from, to, caption] : links_) {
      if (from == node) xml += "<next caption=\"" + Escaped(caption) + "\">" + std::to_string(to) + "</next>";
      if (to == node) xml += "<previous caption=\"" + Escaped(caption) + "\">" + std::to_string(from) + "</previous>";
    }
    xml += "</node>\n";
  }
  xml += "</nodes>\n<formula>";
  for (const auto& [name, text] : formulas_) xml += "<formula name=\"" + Escaped(name) + "\">" + Escaped(text) + "</formula>";
  xml += "</formula>\n</veldrane>\n";
  return xml;
}

std::string Document::Save(const std::string& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << Xml();
  return path;
}

Document Document::Customers(const std::string& source, const std::string& target, const std::string& operation,
                             bool key, bool formula) {
  Document doc;
  int start = doc.Start();
  int src = doc.Source("SOURCE", SqliteConn(source), "CUSTOMERS");
  int dst = doc.Target("TARGET", SqliteConn(target), "CUSTOMERS", operation);
  int end = doc.End();
  doc.Link(start, src);
  doc.Link(src, dst);
  doc.Link(dst, end);
  doc.Map(dst, "CUSTNO", "SOURCE([CUSTNO])", key ? "SOURCE(\"CUSTNO\")" : "");
  doc.Map(dst, "NAME", "SOURCE([NAME])");
  doc.Map(dst, "CITY", "SOURCE([CITY])");
  doc.Map(dst, "AMOUNT", "SOURCE([AMOUNT])");
  if (formula) {
    doc.Map(dst, "LABEL", "FORMULA!Label");
    doc.Formula("Label", "Function Main\r\n  Main = SOURCE(\"NAME\") & \" (\" & SOURCE(\"CITY\") & \")\"\r\nEnd Function");
  }
  return doc;
}

int Count(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
  return count;
}

}  // namespace veldrane::cli::test
