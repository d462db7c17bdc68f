// Runs work whose recursion grows with its input on a thread whose stack is
// sized for it. The standard library's regular-expression matcher
// backtracks by recursion, one level per state it passes for every
// character it consumes, so matching a long text would overflow the calling
// thread's stack and kill the process.
#pragma once

#include <cstddef>
#include <functional>

namespace veldrane::vbs {

// Runs `work` on a new thread with `stack_bytes` of stack, waits for it, and
// rethrows whatever it threw. Raises 28 (out of stack space) when no such
// thread can be made.
void RunOnStack(size_t stack_bytes, const std::function<void()>& work);

}  // namespace veldrane::vbs
