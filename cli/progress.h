// The live view of a run: on a terminal one bar redrawn in place (records
// done of the total, rate, time left, failures so far); elsewhere plain
// lines at every tenth of the records, so that a scheduled job's log stays
// short and readable. Messages (critical log entries) are printed between
// the updates without tearing the bar.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "model/records.h"

namespace veldrane::cli {

class ProgressDisplay {
 public:
  enum class Mode {
    Bar,    // a terminal: redraw one line
    Lines,  // a pipe or a file: a line per tenth
    Quiet,  // nothing but messages
  };

  ProgressDisplay(Mode mode, std::FILE* out);

  // The record loop began with `total` records.
  void Started(int32_t total);
  // A record was done; redraws at most ten times a second.
  void Advanced(const tStatistic& stats);
  // Prints a message on a line of its own.
  void Message(const std::string& text);
  // The run ended: the last state of the bar, then a line break.
  void Finished(const tStatistic& stats);

  // The text of one state, without control characters; `width` 0 leaves
  // the bar out (plain lines).
  static std::string BarText(int32_t done, int32_t total, double elapsed_seconds, int64_t failures, int width);

 private:
  void Draw(const tStatistic& stats, bool force);
  double Elapsed() const;

  Mode mode_;
  std::FILE* out_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_draw_;
  int32_t total_ = 0;
  int next_tenth_ = 1;       // Lines: the next tenth to report
  int32_t next_count_ = 0;   // Lines without a total: the next count to report
  bool bar_shown_ = false;   // Bar: a partial line is on the screen
};

}  // namespace veldrane::cli
