#include "designer/run_service.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "core/vb_error.h"
#include "engine/cls_process.h"
#include "history/cls_log.h"

extern char** environ;

namespace veldrane::designer {

using nlohmann::json;

namespace {

// Progress events of a long run are thinned to this pace; the page redraws
// no faster than a person reads.
constexpr auto kProgressPace = std::chrono::milliseconds(150);

json Counters(const tStatistic& s) {
  json rows = json::array();
  // The counters are indexed 1 insert, 2 update, 3 lookup, 4 delete and 5
  // all kinds together (0 is unused).
  const char* kinds[] = {"", "Insert", "Update", "Lookup", "Delete", "All"};
  for (int k = 1; k <= 5; ++k) {
    rows.push_back({{"kind", kinds[k]}, {"success", s.Success[k]}, {"errors", s.Errors[k]}, {"total", s.Totals[k]}});
  }
  return {{"record", s.CurrRecord}, {"records", s.TotalRecords}, {"counters", std::move(rows)}};
}

// An event's text; a byte that is not UTF-8 (a log line quoting a Latin-1
// database value) becomes a replacement character.
std::string Text(const json& event) { return event.dump(-1, ' ', false, json::error_handler_t::replace); }

// The last `count` lines of a log text, its CR LF separators made plain.
std::string LastLines(const std::string& text, size_t count) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    if (end > start) lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  std::string out;
  for (size_t i = lines.size() > count ? lines.size() - count : 0; i < lines.size(); ++i) out += lines[i] + "\n";
  return out;
}

}  // namespace

RunService::RunService(std::string executable, std::vector<std::string> global_args)
    : executable_(std::move(executable)), global_args_(std::move(global_args)) {}

RunService::~RunService() {
  cancel_ = true;
  if (thread_.joinable()) thread_.join();
}

int RunService::Start(const std::string& document) {
  std::lock_guard lock(mutex_);
  if (running_) return 0;
  if (thread_.joinable()) thread_.join();
  running_ = true;
  cancel_ = false;
  ++run_;
  events_.clear();
  over_ = false;
  thread_ = std::thread([this, document, run = run_] { RunThread(document, run); });
  return run_;
}

void RunService::Push(std::string event) {
  {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
  }
  changed_.notify_all();
}

void RunService::RunThread(std::string document, int run) {
  json end = {{"type", "end"}, {"run", run}, {"completed", false}};
  {
    // The process object lives on this thread only, as the library wants.
    clsProcess process;
    auto last = std::chrono::steady_clock::now() - kProgressPace;
    process.ProcessStarted.connect([&](tStatistic& s) {
      json e = Counters(s);
      e["type"] = "started";
      Push(Text(e));
    });
    process.StatisticsAdded.connect([&](tStatistic& s) {
      auto now = std::chrono::steady_clock::now();
      if (now - last < kProgressPace && s.CurrRecord != s.TotalRecords) return;
      last = now;
      json e = Counters(s);
      e["type"] = "progress";
      Push(Text(e));
    });
    process.IntegrationEnd.connect([&](tStatistic& s) {
      end.update(Counters(s));
      end["completed"] = true;
    });
    process.LogAdded.connect([&](std::string& text) { Push(Text(json{{"type", "log"}, {"text", text}})); });
    process.SetMessageYield([&] {
      if (cancel_) process.CancelExec();
    });
    try {
      process.RunFile(document);
    } catch (const VbError& error) {
      // RunFile handles the run's own failures; what escapes is a document
      // the loader could not read.
      end["error"] = error.description();
    }
    if (!end.contains("counters")) end.update(Counters(process.Statistics()));
    end["cancelled"] = cancel_.load();
    end["log"] = LastLines(process.Log()->Text(), 200);
  }
  // The history row is read once the run's process (and its log, which
  // writes the failure rows) is gone.
  if (end["completed"].get<bool>()) {
    ToolResult history = Tool({"history", "runs", "--limit", "1", "--json"}, std::chrono::seconds(30));
    try {
      json rows = json::parse(history.out);
      if (rows.is_array() && !rows.empty()) end["history"] = rows.back();
    } catch (const json::exception&) {
      end["historyError"] = history.out;
    }
  }
  Push(Text(end));
  {
    std::lock_guard lock(mutex_);
    over_ = true;
    running_ = false;
  }
  changed_.notify_all();
}

std::vector<std::string> RunService::EventsFrom(int run, size_t from, std::chrono::milliseconds wait, bool& over) {
  std::unique_lock lock(mutex_);
  if (run != run_) {
    over = true;
    return {};
  }
  changed_.wait_for(lock, wait, [&] { return events_.size() > from || over_; });
  std::vector<std::string> out;
  for (size_t i = from; i < events_.size(); ++i) out.push_back(events_[i]);
  over = over_;
  return out;
}

RunService::ToolResult RunService::Tool(const std::vector<std::string>& args, std::chrono::seconds timeout) const {
  ToolResult result;
  std::vector<std::string> argv_text = {executable_};
  argv_text.insert(argv_text.end(), global_args_.begin(), global_args_.end());
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) {
    result.out = "cannot make a pipe";
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDERR_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t pid = 0;
  int spawned = ::posix_spawn(&pid, executable_.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[1]);
  if (spawned != 0) {
    ::close(pipe_fds[0]);
    result.out = "cannot start " + executable_;
    return result;
  }

  auto deadline = std::chrono::steady_clock::now() + timeout;
  bool timed_out = false;
  char buffer[8192];
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timed_out = true;
      break;
    }
    pollfd p{pipe_fds[0], POLLIN, 0};
    int ready = ::poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    ssize_t n = ::read(pipe_fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    result.out.append(buffer, static_cast<size_t>(n));
  }
  ::close(pipe_fds[0]);
  if (timed_out) ::kill(pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (timed_out) {
    result.out += "\n(stopped after " + std::to_string(timeout.count()) + " seconds)";
    result.status = -1;
  } else {
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  return result;
}

}  // namespace veldrane::designer
