// Stopping a script that runs too long: a formula with an endless loop must
// give way to Ctrl-C or to the host's CancelExec. The engine looks at one
// flag between statements (and at every turn of a loop); once it is raised,
// the statement in progress ends with error 18, "User interrupt occurred",
// which On Error Resume Next does not hold back, so every script of the
// process stops at its next statement until the flag is cleared.
#pragma once

namespace veldrane::vbs {

// Raises the flag. Async-signal-safe: a signal handler may call it.
void RequestInterrupt();
// Lowers the flag, for the next run.
void ClearInterrupt();
// True while the flag is raised.
bool InterruptRequested();
// Raises 18 when the flag is raised, or when this thread's statement budget
// is spent.
void CheckInterrupt();

// Lets the scripts of this thread run `statements` more statements (and loop
// turns) before the next raises 18, for callers that run scripts they do not
// trust to end (the fuzzing harness); a negative number lifts the limit,
// which is the default.
void SetStatementBudget(long long statements);

}  // namespace veldrane::vbs
