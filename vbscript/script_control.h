// The script-control face of the VBScript engine: what a host (the formula
// evaluator, the designer's formula check, the command-line runner) uses to
// give the engine named objects, add code, evaluate expressions and read the
// last error.
//
// One engine per thread (ForThread). Code accumulates until Reset; a later
// definition of a procedure replaces an earlier one of the same name, so the
// `Main` of the text added last is the one that Eval("Main") runs. Parsed
// code is cached by its text; a cached text behaves exactly as a fresh one,
// errors included. This is not a sandbox: scripts may call every member of
// every object the host gives them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/variant.h"
#include "core/vb_error.h"

namespace veldrane::vbs {

class Interpreter;

// The last error the engine reported, as the script control's Error object.
struct ScriptError {
  int32_t Number = 0;       // 0 when no error; a host object's own number is kept (3021 stays 3021)
  std::string Description;  // the error's description
  std::string Source;       // "Microsoft VBScript runtime error", "...compilation error" or the host's source
  std::string Text;         // the source line in which the error arose
  int32_t Line = 0;         // its 1-based line within the code given to AddCode/Eval
  int32_t Column = 0;       // its 1-based column
};

class ScriptControl {
 public:
  ScriptControl();
  ~ScriptControl();
  ScriptControl(const ScriptControl&) = delete;
  ScriptControl& operator=(const ScriptControl&) = delete;

  // Always "VBScript".
  std::string Language() const;
  // Removes all code, variables and named objects, and clears Error().
  void Reset();
  // Makes `object` reachable by `name` (any case) from the code added later.
  // Raises 5 when `name` is not a name scripts can write (blanks, a leading
  // digit, a reserved word) and 457 when the name was already added.
  void AddObject(std::string_view name, const Variant& object);
  // Compiles `code` and runs its top-level statements. A syntax or run-time
  // error fills Error() and raises VbError with the error's number.
  void AddCode(std::string_view code);
  // The value of `expression` (objects are returned as objects). Raises
  // VbError and fills Error() on failure.
  Variant Eval(std::string_view expression);
  // The last error; Number is 0 after a successful AddCode or Eval.
  const ScriptError& Error() const;

  // The engine of the calling thread, created on first use.
  static ScriptControl& ForThread();

  // The interpreter behind this face (for the runner and the engine's tests).
  Interpreter& interpreter();

 private:
  void Fail(const VbError& error);

  std::unique_ptr<Interpreter> interpreter_;
  ScriptError error_;
};

}  // namespace veldrane::vbs
