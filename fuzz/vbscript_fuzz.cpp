// The VBScript engine: any bytes as a script, compiled and run with a budget
// of statements, so that an endless loop ends as a script error.
#include "fuzz/fuzz_support.h"
#include "vbscript/interrupt.h"
#include "vbscript/script_control.h"

using namespace veldrane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::QuietPrompts();
  vbs::ScriptControl& engine = vbs::ScriptControl::ForThread();
  engine.Reset();
  vbs::SetStatementBudget(20000);
  try {
    engine.AddCode(fuzz::AsText(data, size));
    engine.Eval("Main");
  } catch (const VbError&) {
    // Compile and run-time errors are the script's.
  }
  vbs::SetStatementBudget(-1);
  return 0;
}
