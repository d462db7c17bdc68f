#include "cli/interrupt.h"

#include <unistd.h>

#include <atomic>
#include <csignal>

#include "vbscript/interrupt.h"

namespace veldrane::cli {

namespace {

std::atomic<int> g_signals{0};
struct sigaction g_old_int {};
struct sigaction g_old_term {};

void OnSignal(int) {
  if (g_signals.fetch_add(1) >= 1) {
    // Only async-signal-safe calls from here on.
    static const char kMessage[] = "\nveldrane: aborted\n";
    ssize_t ignored = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    (void)ignored;
    ::_exit(130);
  }
  // A formula running now (an endless loop) stops at its next statement.
  veldrane::vbs::RequestInterrupt();
  static const char kMessage[] = "\nveldrane: stopping after the current record (Ctrl-C again to abort)\n";
  ssize_t ignored = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  (void)ignored;
}

}  // namespace

InterruptGuard::InterruptGuard() {
  g_signals = 0;
  veldrane::vbs::ClearInterrupt();
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &g_old_int);
  sigaction(SIGTERM, &action, &g_old_term);
}

InterruptGuard::~InterruptGuard() {
  sigaction(SIGINT, &g_old_int, nullptr);
  sigaction(SIGTERM, &g_old_term, nullptr);
}

bool InterruptGuard::Requested() { return g_signals.load() > 0; }

}  // namespace veldrane::cli
