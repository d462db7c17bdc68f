#include "vbscript/script_control.h"

#include "vbscript/interpreter.h"
#include "vbscript/script_errors.h"

namespace veldrane::vbs {

ScriptControl::ScriptControl() : interpreter_(std::make_unique<Interpreter>()) {}
ScriptControl::~ScriptControl() = default;

std::string ScriptControl::Language() const { return "VBScript"; }

void ScriptControl::Reset() {
  error_ = ScriptError();
  interpreter_->Reset();
}

void ScriptControl::AddObject(std::string_view name, const Variant& object) { interpreter_->AddObject(name, object); }

void ScriptControl::AddCode(std::string_view code) {
  error_ = ScriptError();
  try {
    interpreter_->AddCode(code);
  } catch (const VbError& e) {
    Fail(e);
    throw;
  }
}

Variant ScriptControl::Eval(std::string_view expression) {
  error_ = ScriptError();
  try {
    return interpreter_->Eval(expression);
  } catch (const VbError& e) {
    Fail(e);
    throw;
  }
}

const ScriptError& ScriptControl::Error() const { return error_; }

ScriptControl& ScriptControl::ForThread() {
  thread_local ScriptControl control;
  return control;
}

Interpreter& ScriptControl::interpreter() { return *interpreter_; }

void ScriptControl::Fail(const VbError& error) {
  error_.Number = error.number();
  error_.Description = error.description();
  error_.Source = error.source();
  if (const auto* located = dynamic_cast<const LocatedError*>(&error)) {
    error_.Text = located->line_text();
    error_.Line = located->pos().line;
    error_.Column = located->pos().col;
  }
}

}  // namespace veldrane::vbs
