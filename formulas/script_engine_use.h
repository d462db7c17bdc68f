// The thread's script engine is shared by every process of the thread. The
// script host skips a reset when nothing ran on the engine since it
// prepared it; whoever runs code on it outside the host's own evaluation
// says so here, so that the next preparation resets it.
#pragma once

namespace veldrane {

// The engine may now hold code, variables or an error that a reset clears.
void MarkScriptEngineUsed();

}  // namespace veldrane
