#include "cli/progress.h"

#include <algorithm>
#include <cmath>

#include "cli/run_report.h"

namespace veldrane::cli {

namespace {

constexpr int kBarWidth = 28;
constexpr int32_t kLinesWithoutTotal = 10000;  // report every this many records when the total is unknown

std::string Clock(double seconds) {
  long s = std::lround(std::max(0.0, seconds));
  char buffer[32];
  if (s >= 3600) {
    std::snprintf(buffer, sizeof buffer, "%ld:%02ld:%02ld", s / 3600, (s / 60) % 60, s % 60);
  } else {
    std::snprintf(buffer, sizeof buffer, "%ld:%02ld", s / 60, s % 60);
  }
  return buffer;
}

}  // namespace

ProgressDisplay::ProgressDisplay(Mode mode, std::FILE* out)
    : mode_(mode), out_(out), start_(std::chrono::steady_clock::now()), last_draw_(start_) {}

double ProgressDisplay::Elapsed() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

std::string ProgressDisplay::BarText(int32_t done, int32_t total, double elapsed, int64_t failures, int width) {
  std::string text;
  if (total > 0) {
    double fraction = std::clamp(static_cast<double>(done) / total, 0.0, 1.0);
    int filled = static_cast<int>(fraction * width);
    if (width > 0) text += "[" + std::string(filled, '#') + std::string(width - filled, '.') + "] ";
    text += Grouped(done) + "/" + Grouped(total);
    char percent[16];
    std::snprintf(percent, sizeof percent, " %3d%%", static_cast<int>(fraction * 100));
    text += percent;
  } else {
    text += Grouped(done) + " records";
  }
  double rate = elapsed > 0 ? done / elapsed : 0;
  text += "  " + Grouped(std::llround(rate)) + " rec/s";
  if (total > 0 && done < total) {
    text += "  " + (rate > 0 ? Clock((total - done) / rate) : std::string("--:--")) + " left";
  } else {
    text += "  " + Clock(elapsed);
  }
  if (failures > 0) text += "  failures " + Grouped(failures);
  return text;
}

void ProgressDisplay::Started(int32_t total) {
  start_ = std::chrono::steady_clock::now();
  total_ = total;
  next_tenth_ = 1;
  next_count_ = kLinesWithoutTotal;
  if (mode_ == Mode::Lines) {
    std::fprintf(out_, "started: %s records\n", Grouped(total).c_str());
    std::fflush(out_);
  } else if (mode_ == Mode::Bar) {
    Draw(tStatistic{}, true);
  }
}

void ProgressDisplay::Advanced(const tStatistic& stats) {
  if (mode_ == Mode::Bar) {
    Draw(stats, false);
    return;
  }
  if (mode_ != Mode::Lines) return;
  bool report = false;
  if (total_ > 0) {
    // Several tenths may pass in one record when there are fewer than ten.
    while (next_tenth_ <= 10 && static_cast<int64_t>(stats.CurrRecord) * 10 >= static_cast<int64_t>(total_) * next_tenth_) {
      ++next_tenth_;
      report = true;
    }
  } else if (stats.CurrRecord >= next_count_) {
    next_count_ += kLinesWithoutTotal;
    report = true;
  }
  if (report) {
    std::fprintf(out_, "%s\n", BarText(stats.CurrRecord, total_, Elapsed(), CountedFailures(stats), 0).c_str());
    std::fflush(out_);
  }
}

void ProgressDisplay::Draw(const tStatistic& stats, bool force) {
  auto now = std::chrono::steady_clock::now();
  if (!force && now - last_draw_ < std::chrono::milliseconds(100)) return;
  last_draw_ = now;
  std::string text = BarText(stats.CurrRecord, total_, Elapsed(), CountedFailures(stats), kBarWidth);
  // \r and "erase to end of line" redraw in place on any terminal.
  std::fprintf(out_, "\r%s\x1b[K", text.c_str());
  std::fflush(out_);
  bar_shown_ = true;
}

void ProgressDisplay::Message(const std::string& text) {
  if (mode_ == Mode::Bar && bar_shown_) std::fputs("\r\x1b[K", out_);
  // Log entries begin with a line break; the message gets its own line anyway.
  std::string trimmed = text;
  while (!trimmed.empty() && (trimmed.front() == '\r' || trimmed.front() == '\n')) trimmed.erase(trimmed.begin());
  std::fprintf(out_, "%s\n", trimmed.c_str());
  std::fflush(out_);
  bar_shown_ = false;
}

void ProgressDisplay::Finished(const tStatistic& stats) {
  if (mode_ == Mode::Bar) {
    Draw(stats, true);
    std::fputc('\n', out_);
    bar_shown_ = false;
  } else if (mode_ == Mode::Lines && total_ > 0 && next_tenth_ <= 10) {
    // The run ended early: say where.
    std::fprintf(out_, "%s\n", BarText(stats.CurrRecord, total_, Elapsed(), CountedFailures(stats), 0).c_str());
  }
  std::fflush(out_);
}

}  // namespace veldrane::cli
