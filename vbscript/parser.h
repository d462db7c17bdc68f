// The parser: tokens to the syntax tree (ast.h), by recursive descent. The
// grammar rule of each construct is written above the function that parses
// it. A syntax error is raised as a LocatedError (source "Microsoft VBScript
// compilation error") at the offending token.
#pragma once

#include "vbscript/ast.h"
#include "vbscript/source_text.h"

namespace veldrane::vbs {

// A whole code text: statements, procedures and classes.
ast::Program ParseProgram(const SourceText& source);

// One expression and nothing else (Eval).
ast::ExprPtr ParseExpressionText(const SourceText& source);

}  // namespace veldrane::vbs
