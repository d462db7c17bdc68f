// The syntax tree: what the parser builds and the compiler reads. It keeps
// names as written and every node's place; resolving names to slots,
// procedures and objects is the compiler's work, not the tree's.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/variant.h"
#include "vbscript/source_text.h"

namespace veldrane::vbs::ast {

enum class ExprKind : uint8_t { Literal, Name, Member, Call, Unary, Binary, New, Me, Paren, Missing };

enum class BinOp : uint8_t {
  Imp, Eqv, Xor, Or, And,
  Eq, Ne, Lt, Gt, Le, Ge, Is,
  Concat, Add, Sub, Mod, IntDiv, Mul, Div, Pow,
};
enum class UnOp : uint8_t { Neg, Plus, Not };

struct Expr {
  explicit Expr(ExprKind k, Pos p) : kind(k), pos(p) {}
  virtual ~Expr() = default;
  ExprKind kind;
  Pos pos;
};
using ExprPtr = std::unique_ptr<Expr>;
using ExprList = std::vector<ExprPtr>;

struct LiteralExpr : Expr {
  LiteralExpr(Pos p, Variant v) : Expr(ExprKind::Literal, p), value(std::move(v)) {}
  Variant value;
};
struct NameExpr : Expr {
  NameExpr(Pos p, std::string n) : Expr(ExprKind::Name, p), name(std::move(n)) {}
  std::string name;
};
// object.name; a null object means the innermost With's object (".name").
struct MemberExpr : Expr {
  MemberExpr(Pos p, ExprPtr o, std::string n) : Expr(ExprKind::Member, p), object(std::move(o)), name(std::move(n)) {}
  ExprPtr object;
  std::string name;
};
// callee(args): a procedure call, an array element or a default-member call.
struct CallExpr : Expr {
  CallExpr(Pos p, ExprPtr c, ExprList a) : Expr(ExprKind::Call, p), callee(std::move(c)), args(std::move(a)) {}
  ExprPtr callee;
  ExprList args;
};
struct UnaryExpr : Expr {
  UnaryExpr(Pos p, UnOp o, ExprPtr e) : Expr(ExprKind::Unary, p), op(o), operand(std::move(e)) {}
  UnOp op;
  ExprPtr operand;
};
struct BinaryExpr : Expr {
  BinaryExpr(Pos p, BinOp o, ExprPtr l, ExprPtr r) : Expr(ExprKind::Binary, p), op(o), lhs(std::move(l)), rhs(std::move(r)) {}
  BinOp op;
  ExprPtr lhs, rhs;
};
struct NewExpr : Expr {
  NewExpr(Pos p, std::string n) : Expr(ExprKind::New, p), class_name(std::move(n)) {}
  std::string class_name;
};
struct MeExpr : Expr {
  explicit MeExpr(Pos p) : Expr(ExprKind::Me, p) {}
};
// (expr): a value, never a variable, so it passes ByVal.
struct ParenExpr : Expr {
  ParenExpr(Pos p, ExprPtr e) : Expr(ExprKind::Paren, p), inner(std::move(e)) {}
  ExprPtr inner;
};

// An argument left out of a list ("FormatNumber(x,,,-1)"): the parameter's default.
struct MissingExpr : Expr {
  explicit MissingExpr(Pos p) : Expr(ExprKind::Missing, p) {}
};

enum class StmtKind : uint8_t {
  Assign, Call, Dim, ReDim, Const, Erase, If, Select, For, ForEach, Do, With, Exit, OnError, Nop,
};

struct Stmt {
  explicit Stmt(StmtKind k, Pos p) : kind(k), pos(p) {}
  virtual ~Stmt() = default;
  StmtKind kind;
  Pos pos;
};
using StmtPtr = std::unique_ptr<Stmt>;
using StmtList = std::vector<StmtPtr>;

struct AssignStmt : Stmt {
  AssignStmt(Pos p, ExprPtr t, ExprPtr v, bool s) : Stmt(StmtKind::Assign, p), target(std::move(t)), value(std::move(v)), is_set(s) {}
  ExprPtr target, value;
  bool is_set;
};
// A call statement: `Foo a, b`, `Call Foo(a, b)`, `obj.M x`.
struct CallStmt : Stmt {
  CallStmt(Pos p, ExprPtr c, ExprList a) : Stmt(StmtKind::Call, p), callee(std::move(c)), args(std::move(a)) {}
  ExprPtr callee;
  ExprList args;
};

// One name of Dim/ReDim/Public/Private: `a`, `a()`, `a(3, 4)`.
struct VarDecl {
  std::string name;
  Pos pos;
  bool is_array = false;  // written with parentheses
  ExprList bounds;        // upper bounds (empty for a dynamic array)
};
struct DimStmt : Stmt {
  DimStmt(Pos p) : Stmt(StmtKind::Dim, p) {}
  std::vector<VarDecl> vars;
};
struct ReDimStmt : Stmt {
  ReDimStmt(Pos p, bool pr) : Stmt(StmtKind::ReDim, p), preserve(pr) {}
  bool preserve;
  std::vector<VarDecl> vars;
};
struct ConstItem {
  std::string name;
  Pos pos;
  Variant value;
};
struct ConstStmt : Stmt {
  ConstStmt(Pos p) : Stmt(StmtKind::Const, p) {}
  std::vector<ConstItem> items;
};
struct EraseStmt : Stmt {
  EraseStmt(Pos p) : Stmt(StmtKind::Erase, p) {}
  std::vector<ExprPtr> targets;
};
struct IfBranch {
  Pos pos;
  ExprPtr cond;
  StmtList body;
};
struct IfStmt : Stmt {
  IfStmt(Pos p) : Stmt(StmtKind::If, p) {}
  std::vector<IfBranch> branches;
  bool has_else = false;
  StmtList else_body;
};
struct CaseClause {
  Pos pos;
  ExprList values;
  StmtList body;
};
struct SelectStmt : Stmt {
  SelectStmt(Pos p) : Stmt(StmtKind::Select, p) {}
  ExprPtr subject;
  std::vector<CaseClause> cases;
  bool has_else = false;
  StmtList else_body;
};
struct ForStmt : Stmt {
  ForStmt(Pos p) : Stmt(StmtKind::For, p) {}
  std::string var;
  Pos var_pos;
  ExprPtr from, to, step;  // step may be null
  StmtList body;
};
struct ForEachStmt : Stmt {
  ForEachStmt(Pos p) : Stmt(StmtKind::ForEach, p) {}
  std::string var;
  Pos var_pos;
  ExprPtr group;
  StmtList body;
};
enum class LoopTest : uint8_t { None, PreWhile, PreUntil, PostWhile, PostUntil };
struct DoStmt : Stmt {
  DoStmt(Pos p) : Stmt(StmtKind::Do, p) {}
  LoopTest test = LoopTest::None;
  ExprPtr cond;
  StmtList body;
};
struct WithStmt : Stmt {
  WithStmt(Pos p) : Stmt(StmtKind::With, p) {}
  ExprPtr object;
  StmtList body;
};
enum class ExitWhat : uint8_t { Do, For, Function, Sub, Property };
struct ExitStmt : Stmt {
  ExitStmt(Pos p, ExitWhat w) : Stmt(StmtKind::Exit, p), what(w) {}
  ExitWhat what;
};
struct OnErrorStmt : Stmt {
  OnErrorStmt(Pos p, bool r) : Stmt(StmtKind::OnError, p), resume_next(r) {}
  bool resume_next;
};

enum class ProcKind : uint8_t { Sub, Function, PropertyGet, PropertyLet, PropertySet };

struct Param {
  std::string name;
  Pos pos;
  bool byval = false;
};
struct ProcDecl {
  ProcKind kind = ProcKind::Sub;
  std::string name;
  Pos pos;
  std::vector<Param> params;
  StmtList body;
  bool is_public = true;
  bool is_default = false;
};
struct FieldDecl {
  VarDecl var;
  bool is_public = true;
};
struct ClassDecl {
  std::string name;
  Pos pos;
  std::vector<FieldDecl> fields;
  std::vector<std::unique_ptr<ProcDecl>> procs;
};

// One parsed text: its statements, and the procedures and classes it
// defines (hoisted: they exist before the first statement runs).
struct Program {
  StmtList body;
  std::vector<std::unique_ptr<ProcDecl>> procs;
  std::vector<std::unique_ptr<ClassDecl>> classes;
  bool option_explicit = false;
};

}  // namespace veldrane::vbs::ast
