// The compiler: syntax tree to compiled nodes (code.h). It resolves every
// name once: locals and parameters to frame slots, class fields to instance
// indexes, class methods and properties to their procedures, built-in
// constants to literals, and everything else to the engine's global Cell of
// that name (bound at run time, so later code can define it).
//
// It also collects what a block declares (global Dims and Consts,
// procedures, classes) so the interpreter can bind them before the block's
// first statement runs, and it raises the errors that need names
// (1041 Name redefined).
#pragma once

#include <memory>

#include "vbscript/ast.h"
#include "vbscript/code.h"

namespace veldrane::vbs {

class Interpreter;

class Compiler {
 public:
  // `scope` is the procedure whose locals the code sees (Eval and Execute
  // inside a procedure), or null for global code.
  Compiler(Interpreter& interp, SourceRef source, const Proc* scope);
  ~Compiler();

  // A whole code text.
  std::shared_ptr<CompiledBlock> CompileProgram(ast::Program& program);
  // One expression.
  ExprPtr CompileExpression(ast::Expr& expr);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace veldrane::vbs
