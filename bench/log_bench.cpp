// veldrane-bench-log: what failed records cost. Every failed record becomes
// a row of the execution-log table, a file that the run extends while it
// goes; this program measures a run in which every record fails.
//
//   veldrane-bench-log [--failures N[,N...]] [--work DIR] [--cli PATH]
//
// For each N: a source of N rows, a target that already holds every key (so
// that every Insert fails), an empty history folder, then one run through
// the engine in this process. Prints the time, the peak resident memory, the
// bytes the process wrote and the size of the execution-log file. With
// --cli, the same run goes through that `veldrane run` program instead (for
// comparing two builds); its peak memory then comes from the child's usage.

#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/engine_bench_support.h"
#include "engine/cls_process.h"

namespace veldrane::bench {

namespace {

namespace fs = std::filesystem;

struct Options {
  std::vector<int> failures = {50000, 200000};
  std::string work;
  std::string cli;
};

// Bytes this process has written so far (write calls, cache included).
long long WrittenBytes() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long value = 0;
  while (io >> key >> value) {
    if (key == "wchar:") return value;
  }
  return -1;
}

struct Figures {
  double seconds = 0;
  double peak_mb = 0;
  long long written = -1;
  int failed = 0;
};

Figures EngineRun(const std::string& document) {
  ResetPeakMemory();
  long long written_before = WrittenBytes();
  auto process = std::make_shared<clsProcess>();
  std::string load_error = process->LoadIntegration(document);
  if (!load_error.empty()) throw std::runtime_error(load_error);
  Stopwatch clock;
  process->Run();
  Figures f;
  f.seconds = clock.Seconds();
  f.peak_mb = PeakMemoryMb();
  f.written = WrittenBytes() - written_before;
  tStatistic stats = process->Statistics();
  f.failed = stats.Totals[5] - stats.Success[5];
  return f;
}

Figures CliRun(const std::string& cli, const std::string& document, const std::string& home) {
  Stopwatch clock;
  pid_t pid = fork();
  if (pid == 0) {
    setenv("VELDRANE_HOME", home.c_str(), 1);
    if (!freopen("/dev/null", "w", stdout)) _exit(126);
    execl(cli.c_str(), cli.c_str(), "run", document.c_str(), "--quiet", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  Figures f;
  f.seconds = clock.Seconds();
  f.peak_mb = usage.ru_maxrss / 1024.0;
  f.failed = WIFEXITED(status) ? WEXITSTATUS(status) : -1;  // the exit status: 1 when records failed
  return f;
}

int Main(const Options& options) {
  fs::path work = options.work.empty() ? fs::temp_directory_path() / "veldrane-bench-log" : fs::path(options.work);
  fs::create_directories(work);
  std::printf("veldrane-bench-log: every record fails; %s\n\n", options.cli.empty() ? "engine in process"
                                                                                    : ("through " + options.cli).c_str());
  std::printf("%10s %10s %10s %12s %12s  %s\n", "failures", "seconds", "peak MB", "written MB", "log file MB",
              options.cli.empty() ? "failed" : "exit");
  for (int n : options.failures) {
    fs::path folder = work / std::to_string(n);
    fs::remove_all(folder);
    fs::create_directories(folder / "home");
    std::string source = (folder / "source.db").string();
    std::string target = (folder / "target.db").string();
    MakeSource(source, n);
    MakeSqliteTarget(target, n, false);
    sqlite3* db = OpenSqlite(target);
    Exec(db, ("ATTACH '" + source + "' AS s; INSERT INTO DST (ID, NAME) SELECT ID, NAME FROM s.SRC").c_str());
    sqlite3_close(db);
    std::string doc = WriteDocument(folder / "fail.xml", SqliteConn(source), SqliteConn(target), "Insert", false, false);
    std::string home = (folder / "home").string();
    setenv("VELDRANE_HOME", home.c_str(), 1);
    Figures f = options.cli.empty() ? EngineRun(doc) : CliRun(options.cli, doc, home);
    std::error_code ec;
    auto log_size = fs::file_size(folder / "home" / "executedlogdata.xml", ec);
    std::printf("%10d %10.2f %10.1f %12.1f %12.1f  %d\n", n, f.seconds, f.peak_mb,
                f.written < 0 ? -1.0 : f.written / 1048576.0, ec ? -1.0 : log_size / 1048576.0, f.failed);
    std::fflush(stdout);
  }
  return 0;
}

std::vector<int> ParseList(const std::string& text) {
  std::vector<int> out;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) out.push_back(std::stoi(item));
  return out;
}

}  // namespace

}  // namespace veldrane::bench

int main(int argc, char** argv) {
  veldrane::bench::Options options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw std::runtime_error(arg + " needs a value");
      return argv[++i];
    };
    try {
      if (arg == "--failures") options.failures = veldrane::bench::ParseList(value());
      else if (arg == "--work") options.work = value();
      else if (arg == "--cli") options.cli = value();
      else throw std::runtime_error("unknown argument " + arg);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "veldrane-bench-log: %s\n", e.what());
      return 2;
    }
  }
  try {
    return veldrane::bench::Main(options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "veldrane-bench-log: %s\n", e.what());
    return 1;
  }
}
