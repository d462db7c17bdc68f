// Factories of the compiled nodes (nodes_expr.cpp, nodes_call.cpp,
// nodes_stmt.cpp). The compiler builds the tree through these; the node
// classes themselves stay private to their files.
#pragma once

#include <utility>
#include <vector>

#include "vbscript/ast.h"
#include "vbscript/builtins.h"
#include "vbscript/code.h"

namespace veldrane::vbs {

// The interpreter's own functions, which need the calling frame.
enum class Intrinsic : uint8_t { None, Eval, Execute, ExecuteGlobal, GetRef, CreateObject };
Intrinsic IntrinsicOf(std::string_view name);

// --- values and variables
ExprPtr MakeLiteral(Pos pos, Variant value, bool named_constant);
ExprPtr MakeLocal(Pos pos, int slot);
ExprPtr MakeField(Pos pos, int index);
// A global name: variable, constant, procedure, named object, else the
// built-in of that name, else Empty (or error 500 under Option Explicit).
ExprPtr MakeGlobal(Pos pos, Cell* cell, const BuiltinSpec* builtin, bool option_explicit);
// A name a procedure assigns without declaring it: the global variable when
// one exists, else a local of the procedure.
ExprPtr MakeImplicit(Pos pos, Cell* cell, int slot, bool option_explicit);
ExprPtr MakeMe(Pos pos);
ExprPtr MakeWithObject(Pos pos);
ExprPtr MakeErrObject(Pos pos);
ExprPtr MakeNew(Pos pos, Cell* cell);
// (expr): the value only, so it passes ByVal.
ExprPtr MakeParen(Pos pos, ExprPtr inner);
ExprPtr MakeUnary(Pos pos, ast::UnOp op, ExprPtr operand);
ExprPtr MakeBinary(Pos pos, ast::BinOp op, ExprPtr lhs, ExprPtr rhs);

// --- calls
ExprPtr MakeLocalCall(Pos pos, int slot, ExprList args);
ExprPtr MakeFieldCall(Pos pos, int index, ExprList args);
ExprPtr MakeGlobalCall(Pos pos, Cell* cell, const BuiltinSpec* builtin, Intrinsic intrinsic, bool option_explicit,
                       ExprList args);
ExprPtr MakeImplicitCall(Pos pos, Cell* cell, int slot, bool option_explicit, ExprList args);
// A Sub or Function of the class, called on Me by its bare name.
ExprPtr MakeMethodCall(Pos pos, const Proc* method, ExprList args);
// A property of the class used by its bare name (reads Get, assigns Let/Set).
ExprPtr MakePropertyRef(Pos pos, const ClassMember* member, std::string name, ExprList args);
ExprPtr MakeMemberGet(Pos pos, ExprPtr object, std::string name, bool allow_private);
ExprPtr MakeMemberCall(Pos pos, ExprPtr object, std::string name, ExprList args, bool allow_private);
ExprPtr MakeDefaultCall(Pos pos, ExprPtr callee, ExprList args);

// --- statements
StmtPtr MakeAssign(Pos pos, const SourceText* src, ExprPtr target, ExprPtr value, bool is_set);
// target = target & a & b ...: appends in place when the target holds a String.
StmtPtr MakeAppend(Pos pos, const SourceText* src, ExprPtr target, ExprList pieces);
StmtPtr MakeCallStmt(Pos pos, const SourceText* src, ExprPtr call);
struct Branch {
  ExprPtr cond;
  StmtList body;
};
StmtPtr MakeIf(Pos pos, const SourceText* src, std::vector<Branch> branches, StmtList else_body);
struct CaseBranch {
  ExprList values;
  StmtList body;
};
StmtPtr MakeSelect(Pos pos, const SourceText* src, ExprPtr subject, std::vector<CaseBranch> cases, bool has_else,
                   StmtList else_body);
StmtPtr MakeFor(Pos pos, const SourceText* src, ExprPtr var, ExprPtr from, ExprPtr to, ExprPtr step, StmtList body);
StmtPtr MakeForEach(Pos pos, const SourceText* src, ExprPtr var, ExprPtr group, StmtList body);
StmtPtr MakeDo(Pos pos, const SourceText* src, ast::LoopTest test, ExprPtr cond, StmtList body);
StmtPtr MakeWith(Pos pos, const SourceText* src, ExprPtr object, StmtList body);
StmtPtr MakeExit(Pos pos, const SourceText* src, Flow flow);
StmtPtr MakeOnError(Pos pos, const SourceText* src, bool resume_next);
struct ReDimItem {
  ExprPtr target;
  ExprList bounds;
};
StmtPtr MakeReDim(Pos pos, const SourceText* src, bool preserve, std::vector<ReDimItem> items);
StmtPtr MakeErase(Pos pos, const SourceText* src, ExprList targets);

// Helpers shared by the node files.
// Evaluates arguments into values (objects kept).
std::vector<Variant> EvalArgs(Frame& f, const ExprList& args);
// v(args): an array element, a default-member call, or v itself without arguments.
Variant IndexValue(Frame& f, const Variant& v, const ExprList& args);
// The same with evaluated arguments (never empty).
Variant IndexValues(const Variant& v, Args values);
// v(args) = value: an array element or the default member's Let/Set.
void AssignIndexed(Frame& f, Variant& target, const ExprList& args, Variant value, bool is_set);
// The subscripts of an array access (9 when the count does not match).
std::vector<int32_t> Subscripts(std::span<const Variant> args);
// The object a member access needs: 424 for a non-object, 91 for Nothing.
ObjectRef ObjectFor(const Variant& v);

}  // namespace veldrane::vbs
