// RunService: what the designer runs beside the drawing: whole runs of the
// saved document with their live progress, and the command's own reports
// (check, preview, history).
//
// A run gets a thread and a process object of its own, loaded from the
// saved document as `veldrane run` loads it, so that a run never disturbs
// the drawing the person keeps editing. Its events (ProcessStarted,
// StatisticsAdded, LogAdded, IntegrationEnd) become a numbered list of JSON
// texts that the page follows as server-sent events; progress is thinned to
// a few events a second. Check, preview and history are the `veldrane`
// command's own reports, run as a child process with the designer's home
// folder and connection file, so the designer shows exactly what the
// command would.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace veldrane::designer {

class RunService {
 public:
  struct ToolResult {
    int status = -1;   // exit status; -1 when the command could not be started or timed out
    std::string out;   // standard output and standard error together
  };

  // `executable` is the `veldrane` command; `global_args` go before the
  // subcommand (--home, --connections).
  RunService(std::string executable, std::vector<std::string> global_args);
  ~RunService();

  // Starts a whole run of `document`. Returns the run's number, or 0 when a
  // run is still going.
  int Start(const std::string& document);
  // Asks the current run to stop after its current record.
  void Cancel() { cancel_ = true; }
  bool running() const { return running_; }

  // The events of run `run` from position `from` on, waiting up to `wait`
  // for one to come. `over` is set once the run has ended and every event
  // has been handed out. An unknown run has no events and is over.
  std::vector<std::string> EventsFrom(int run, size_t from, std::chrono::milliseconds wait, bool& over);

  // Runs `veldrane <global args> <args>` and gives its status and output,
  // killing it after `timeout`.
  ToolResult Tool(const std::vector<std::string>& args, std::chrono::seconds timeout) const;

 private:
  void RunThread(std::string document, int run);
  void Push(std::string event);

  std::string executable_;
  std::vector<std::string> global_args_;
  std::atomic<bool> cancel_{false};     // set by Cancel, read at every step of the run
  std::atomic<bool> running_{false};
  std::thread thread_;                  // the current or last run
  std::mutex mutex_;                    // guards the three below
  std::condition_variable changed_;     // a new event, or the run's end
  int run_ = 0;                         // number of the current or last run
  std::vector<std::string> events_;     // its events so far
  bool over_ = true;                    // it has ended
};

}  // namespace veldrane::designer
