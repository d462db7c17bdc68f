// Ctrl-C during a run: the first asks the run to stop before its next record
// (so that it still ends with its history row) and stops a formula that is
// running (an endless loop) at its next statement; the second aborts the
// program at once with status 130.
//
// The signal handler only counts; the run polls Requested() from the
// engine's message yield and its events, where calling the engine is safe.
#pragma once

namespace veldrane::cli {

class InterruptGuard {
 public:
  // Installs the handler for SIGINT (and SIGTERM, which cancels the same
  // way) for the guard's life.
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

  // True once the first signal arrived.
  static bool Requested();
};

}  // namespace veldrane::cli
