#include "vbscript/interrupt.h"

#include <atomic>

#include "core/vb_error.h"

namespace veldrane::vbs {

namespace {

// One flag for the process: a signal reaches whichever thread it likes.
std::atomic<bool> g_interrupt{false};
static_assert(std::atomic<bool>::is_always_lock_free, "raised from a signal handler");
thread_local long long t_budget = -1;  // statements left; negative: no limit

}  // namespace

void RequestInterrupt() { g_interrupt.store(true, std::memory_order_relaxed); }
void ClearInterrupt() { g_interrupt.store(false, std::memory_order_relaxed); }
bool InterruptRequested() { return g_interrupt.load(std::memory_order_relaxed); }

void SetStatementBudget(long long statements) { t_budget = statements; }

void CheckInterrupt() {
  if (g_interrupt.load(std::memory_order_relaxed)) {
    throw VbError(18, "User interrupt occurred: the script was stopped");
  }
  if (t_budget >= 0 && t_budget-- == 0) {
    t_budget = 0;  // spent: every later statement stops too
    throw VbError(18, "User interrupt occurred: the script ran out of its statement budget");
  }
}

}  // namespace veldrane::vbs
