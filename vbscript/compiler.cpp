#include "vbscript/compiler.h"

#include "core/text.h"
#include "vbscript/builtins.h"
#include "vbscript/interpreter.h"
#include "vbscript/nodes.h"
#include "vbscript/script_constants.h"
#include "vbscript/script_errors.h"

namespace veldrane::vbs {

namespace {

ProcKind KindOf(ast::ProcKind k) {
  switch (k) {
    case ast::ProcKind::Sub: return ProcKind::Sub;
    case ast::ProcKind::Function: return ProcKind::Function;
    case ast::ProcKind::PropertyGet: return ProcKind::PropertyGet;
    case ast::ProcKind::PropertyLet: return ProcKind::PropertyLet;
    case ast::ProcKind::PropertySet: return ProcKind::PropertySet;
  }
  return ProcKind::Sub;
}

// Calls the callback for every statement of a procedure body or top-level
// block, descending into compound statements (not into procedures).
template <class F>
void ForEachStmt(ast::StmtList& list, F&& f) {
  for (auto& s : list) {
    f(*s);
    switch (s->kind) {
      case ast::StmtKind::If: {
        auto& st = static_cast<ast::IfStmt&>(*s);
        for (auto& b : st.branches) ForEachStmt(b.body, f);
        ForEachStmt(st.else_body, f);
        break;
      }
      case ast::StmtKind::Select: {
        auto& st = static_cast<ast::SelectStmt&>(*s);
        for (auto& c : st.cases) ForEachStmt(c.body, f);
        ForEachStmt(st.else_body, f);
        break;
      }
      case ast::StmtKind::For: ForEachStmt(static_cast<ast::ForStmt&>(*s).body, f); break;
      case ast::StmtKind::ForEach: ForEachStmt(static_cast<ast::ForEachStmt&>(*s).body, f); break;
      case ast::StmtKind::Do: ForEachStmt(static_cast<ast::DoStmt&>(*s).body, f); break;
      case ast::StmtKind::With: ForEachStmt(static_cast<ast::WithStmt&>(*s).body, f); break;
      default: break;
    }
  }
}

FixedArray ArrayDecl(const ast::VarDecl& var, int slot) {
  FixedArray a;
  a.slot = slot;
  a.dynamic = var.bounds.empty();
  for (const auto& b : var.bounds) {
    a.bounds.push_back(static_cast<const ast::LiteralExpr&>(*b).value.ToLong());
  }
  return a;
}

}  // namespace

struct Compiler::Impl {
  Impl(Interpreter& i, SourceRef s, const Proc* o) : interp(i), source(std::move(s)), src(source.get()), outer(o) {}

  Interpreter& interp;
  SourceRef source;
  const SourceText* src;
  const Proc* outer;  // the procedure an Eval or Execute runs in
  bool option_explicit = false;
  Proc* proc = nullptr;            // the procedure being compiled
  const ClassDef* cls = nullptr;   // its class

  [[noreturn]] void Fail(int32_t number, Pos pos) { ThrowCompileError(number, *src, pos); }

  // ---------------------------------------------------------------- names

  struct Resolution {
    enum Kind { Local, Const, Field, Method, Property, Implicit, Err, Global };
    Resolution(Kind k, int s = -1, Variant v = {}, const ClassMember* m = nullptr, Cell* c = nullptr)
        : kind(k), slot(s), value(std::move(v)), member(m), cell(c) {}
    Kind kind;
    int slot;
    Variant value;
    const ClassMember* member;
    Cell* cell;
  };

  Resolution Resolve(std::string_view name, bool is_call) {
    const Proc* p = proc ? proc : outer;
    const ClassDef* c = proc ? cls : (outer ? outer->owner : nullptr);
    if (p) {
      auto it = p->locals.find(name);
      // Inside Function F, "F" is the result but "F(...)" calls F again.
      if (it != p->locals.end() && !(is_call && it->second == p->result_slot)) {
        return Resolution(Resolution::Local, it->second);
      }
      auto ct = p->constants.find(name);
      if (ct != p->constants.end()) return Resolution(Resolution::Const, -1, ct->second);
    }
    if (c) {
      auto m = c->members.find(name);
      if (m != c->members.end()) {
        const ClassMember& member = m->second;
        if (member.field >= 0) return Resolution(Resolution::Field, member.field);
        if (member.method) return {Resolution::Method, -1, {}, &member};
        return {Resolution::Property, -1, {}, &member};
      }
    }
    if (p) {
      auto it = p->implicits.find(name);
      if (it != p->implicits.end()) return {Resolution::Implicit, it->second, {}, nullptr, interp.Intern(name)};
    }
    if (IEquals(name, "Err")) return Resolution(Resolution::Err);
    if (auto v = BuiltinConstant(name)) return Resolution(Resolution::Const, -1, *v);
    return {Resolution::Global, -1, {}, nullptr, interp.Intern(name)};
  }

  ExprPtr NameNode(const std::string& name, Pos pos) {
    Resolution r = Resolve(name, false);
    switch (r.kind) {
      case Resolution::Local: return MakeLocal(pos, r.slot);
      case Resolution::Const: return MakeLiteral(pos, r.value, true);
      case Resolution::Field: return MakeField(pos, r.slot);
      case Resolution::Method: return MakeMethodCall(pos, r.member->method.get(), {});
      case Resolution::Property: return MakePropertyRef(pos, r.member, name, {});
      case Resolution::Implicit: return MakeImplicit(pos, r.cell, r.slot, option_explicit);
      case Resolution::Err: return MakeErrObject(pos);
      case Resolution::Global: return MakeGlobal(pos, r.cell, FindBuiltin(name), option_explicit);
    }
    return nullptr;
  }

  ExprPtr NameCall(const std::string& name, Pos pos, ExprList args) {
    Resolution r = Resolve(name, true);
    switch (r.kind) {
      case Resolution::Local: return MakeLocalCall(pos, r.slot, std::move(args));
      case Resolution::Const: return MakeDefaultCall(pos, MakeLiteral(pos, r.value, true), std::move(args));
      case Resolution::Field: return MakeFieldCall(pos, r.slot, std::move(args));
      case Resolution::Method: return MakeMethodCall(pos, r.member->method.get(), std::move(args));
      case Resolution::Property: return MakePropertyRef(pos, r.member, name, std::move(args));
      case Resolution::Implicit: return MakeImplicitCall(pos, r.cell, r.slot, option_explicit, std::move(args));
      case Resolution::Err: return MakeDefaultCall(pos, MakeErrObject(pos), std::move(args));
      case Resolution::Global:
        return MakeGlobalCall(pos, r.cell, FindBuiltin(name), IntrinsicOf(name), option_explicit, std::move(args));
    }
    return nullptr;
  }

  // ---------------------------------------------------------------- expressions

  ExprList Exprs(ast::ExprList& list) {
    ExprList out;
    out.reserve(list.size());
    for (auto& e : list) out.push_back(Expr(*e));
    return out;
  }

  // The object of a member access, and whether it is Me (private members allowed).
  ExprPtr MemberObject(ast::MemberExpr& m, bool& is_me) {
    is_me = false;
    // Outside any With, ".name" fails when it runs (505), not when it compiles.
    if (!m.object) return MakeWithObject(m.pos);
    if (m.object->kind == ast::ExprKind::Me) {
      // Me outside a class is the global object, reached like any other object.
      is_me = (proc ? cls : (outer ? outer->owner : nullptr)) != nullptr;
      return MakeMe(m.object->pos);
    }
    return Expr(*m.object);
  }

  ExprPtr Call(ast::Expr& callee_ast, ast::ExprList& arg_asts, Pos pos) {
    ExprList args = Exprs(arg_asts);
    // "(F)(x)" calls F with x, as "F(x)" does.
    ast::Expr* stripped = &callee_ast;
    while (stripped->kind == ast::ExprKind::Paren) stripped = static_cast<ast::ParenExpr*>(stripped)->inner.get();
    ast::Expr& callee = *stripped;
    if (callee.kind == ast::ExprKind::Name) {
      return NameCall(static_cast<ast::NameExpr&>(callee).name, callee.pos, std::move(args));
    }
    if (callee.kind == ast::ExprKind::Member) {
      auto& m = static_cast<ast::MemberExpr&>(callee);
      bool is_me;
      ExprPtr obj = MemberObject(m, is_me);
      return MakeMemberCall(m.pos, std::move(obj), m.name, std::move(args), is_me);
    }
    return MakeDefaultCall(pos, Expr(callee), std::move(args));
  }

  ExprPtr Expr(ast::Expr& e) {
    switch (e.kind) {
      case ast::ExprKind::Literal: return MakeLiteral(e.pos, static_cast<ast::LiteralExpr&>(e).value, false);
      case ast::ExprKind::Name: return NameNode(static_cast<ast::NameExpr&>(e).name, e.pos);
      case ast::ExprKind::Member: {
        auto& m = static_cast<ast::MemberExpr&>(e);
        bool is_me;
        ExprPtr obj = MemberObject(m, is_me);
        return MakeMemberGet(m.pos, std::move(obj), m.name, is_me);
      }
      case ast::ExprKind::Call: {
        auto& c = static_cast<ast::CallExpr&>(e);
        return Call(*c.callee, c.args, c.pos);
      }
      case ast::ExprKind::Unary: {
        auto& u = static_cast<ast::UnaryExpr&>(e);
        return MakeUnary(e.pos, u.op, Expr(*u.operand));
      }
      case ast::ExprKind::Binary: {
        auto& b = static_cast<ast::BinaryExpr&>(e);
        ExprPtr lhs = Expr(*b.lhs);
        ExprPtr rhs = Expr(*b.rhs);
        return MakeBinary(e.pos, b.op, std::move(lhs), std::move(rhs));
      }
      case ast::ExprKind::New: return MakeNew(e.pos, interp.Intern(static_cast<ast::NewExpr&>(e).class_name));
      case ast::ExprKind::Me: return MakeMe(e.pos);
      case ast::ExprKind::Paren: return MakeParen(e.pos, Expr(*static_cast<ast::ParenExpr&>(e).inner));
      case ast::ExprKind::Missing: return MakeLiteral(e.pos, Variant(), false);
    }
    return nullptr;
  }

  // ---------------------------------------------------------------- statements

  // Pieces that cannot run script code, so evaluating them before reading
  // the target (as the in-place append does) changes nothing.
  bool IsInert(ast::Expr& e) {
    switch (e.kind) {
      case ast::ExprKind::Literal: return true;
      case ast::ExprKind::Name: {
        Resolution r = Resolve(static_cast<ast::NameExpr&>(e).name, false);
        return r.kind == Resolution::Local || r.kind == Resolution::Const || r.kind == Resolution::Field ||
               r.kind == Resolution::Implicit;
      }
      case ast::ExprKind::Paren: return IsInert(*static_cast<ast::ParenExpr&>(e).inner);
      case ast::ExprKind::Unary: return IsInert(*static_cast<ast::UnaryExpr&>(e).operand);
      case ast::ExprKind::Binary: {
        auto& b = static_cast<ast::BinaryExpr&>(e);
        return IsInert(*b.lhs) && IsInert(*b.rhs);
      }
      case ast::ExprKind::Call: {
        auto& c = static_cast<ast::CallExpr&>(e);
        if (c.callee->kind != ast::ExprKind::Name) return false;
        const std::string& name = static_cast<ast::NameExpr&>(*c.callee).name;
        Resolution r = Resolve(name, true);
        if (r.kind != Resolution::Global || !FindBuiltin(name) || IntrinsicOf(name) != Intrinsic::None) {
          return r.kind == Resolution::Local;
        }
        for (auto& a : c.args) {
          if (!IsInert(*a)) return false;
        }
        return true;
      }
      default: return false;
    }
  }

  // target = target & a & b: the pieces a, b when the statement has that shape.
  bool AppendPieces(ast::AssignStmt& s, std::vector<ast::Expr*>& pieces) {
    if (s.is_set || s.target->kind != ast::ExprKind::Name) return false;
    const std::string& name = static_cast<ast::NameExpr&>(*s.target).name;
    Resolution r = Resolve(name, false);
    if (r.kind != Resolution::Local && r.kind != Resolution::Global && r.kind != Resolution::Implicit &&
        r.kind != Resolution::Field) {
      return false;
    }
    ast::Expr* e = s.value.get();
    while (e->kind == ast::ExprKind::Binary && static_cast<ast::BinaryExpr*>(e)->op == ast::BinOp::Concat) {
      auto* b = static_cast<ast::BinaryExpr*>(e);
      if (!IsInert(*b->rhs)) return false;
      pieces.push_back(b->rhs.get());
      e = b->lhs.get();
    }
    if (pieces.empty() || e->kind != ast::ExprKind::Name || !IEquals(static_cast<ast::NameExpr*>(e)->name, name)) {
      return false;
    }
    std::reverse(pieces.begin(), pieces.end());
    return true;
  }

  StmtList Stmts(ast::StmtList& list) {
    StmtList out;
    out.reserve(list.size());
    for (auto& s : list) {
      if (StmtPtr c = Stmt(*s)) out.push_back(std::move(c));
    }
    return out;
  }

  StmtPtr Stmt(ast::Stmt& s) {
    Pos pos = s.pos;
    switch (s.kind) {
      case ast::StmtKind::Assign: {
        auto& a = static_cast<ast::AssignStmt&>(s);
        std::vector<ast::Expr*> pieces;
        if (AppendPieces(a, pieces)) {
          ExprList compiled;
          for (ast::Expr* p : pieces) compiled.push_back(Expr(*p));
          return MakeAppend(pos, src, Expr(*a.target), std::move(compiled));
        }
        ExprPtr target = Expr(*a.target);
        ExprPtr value = Expr(*a.value);
        return MakeAssign(pos, src, std::move(target), std::move(value), a.is_set);
      }
      case ast::StmtKind::Call: {
        auto& c = static_cast<ast::CallStmt&>(s);
        return MakeCallStmt(pos, src, Call(*c.callee, c.args, pos));
      }
      case ast::StmtKind::Dim:
      case ast::StmtKind::Const:
      case ast::StmtKind::Nop:
        return nullptr;  // declarations are made before the code runs
      case ast::StmtKind::ReDim: {
        auto& r = static_cast<ast::ReDimStmt&>(s);
        std::vector<ReDimItem> items;
        // ReDim declares its name, even under Option Explicit.
        bool saved = option_explicit;
        for (auto& v : r.vars) {
          option_explicit = false;
          ExprPtr target = NameNode(v.name, v.pos);
          option_explicit = saved;
          items.push_back(ReDimItem{std::move(target), Exprs(v.bounds)});
        }
        return MakeReDim(pos, src, r.preserve, std::move(items));
      }
      case ast::StmtKind::Erase: return MakeErase(pos, src, Exprs(static_cast<ast::EraseStmt&>(s).targets));
      case ast::StmtKind::If: {
        auto& i = static_cast<ast::IfStmt&>(s);
        std::vector<Branch> branches;
        for (auto& b : i.branches) branches.push_back(Branch{Expr(*b.cond), Stmts(b.body)});
        return MakeIf(pos, src, std::move(branches), Stmts(i.else_body));
      }
      case ast::StmtKind::Select: {
        auto& sel = static_cast<ast::SelectStmt&>(s);
        std::vector<CaseBranch> cases;
        ExprPtr subject = Expr(*sel.subject);
        for (auto& c : sel.cases) cases.push_back(CaseBranch{Exprs(c.values), Stmts(c.body)});
        return MakeSelect(pos, src, std::move(subject), std::move(cases), sel.has_else, Stmts(sel.else_body));
      }
      case ast::StmtKind::For: {
        auto& f = static_cast<ast::ForStmt&>(s);
        ExprPtr var = NameNode(f.var, f.var_pos);
        ExprPtr from = Expr(*f.from), to = Expr(*f.to);
        ExprPtr step = f.step ? Expr(*f.step) : nullptr;
        return MakeFor(pos, src, std::move(var), std::move(from), std::move(to), std::move(step), Stmts(f.body));
      }
      case ast::StmtKind::ForEach: {
        auto& f = static_cast<ast::ForEachStmt&>(s);
        ExprPtr var = NameNode(f.var, f.var_pos);
        ExprPtr group = Expr(*f.group);
        return MakeForEach(pos, src, std::move(var), std::move(group), Stmts(f.body));
      }
      case ast::StmtKind::Do: {
        auto& d = static_cast<ast::DoStmt&>(s);
        ExprPtr cond = d.cond ? Expr(*d.cond) : nullptr;
        return MakeDo(pos, src, d.test, std::move(cond), Stmts(d.body));
      }
      case ast::StmtKind::With: {
        auto& w = static_cast<ast::WithStmt&>(s);
        ExprPtr obj = Expr(*w.object);
        StmtList body = Stmts(w.body);
        return MakeWith(pos, src, std::move(obj), std::move(body));
      }
      case ast::StmtKind::Exit: {
        auto what = static_cast<ast::ExitStmt&>(s).what;
        Flow flow = what == ast::ExitWhat::Do ? Flow::ExitDo : what == ast::ExitWhat::For ? Flow::ExitFor : Flow::ExitProc;
        return MakeExit(pos, src, flow);
      }
      case ast::StmtKind::OnError:
        return MakeOnError(pos, src, static_cast<ast::OnErrorStmt&>(s).resume_next);
    }
    return nullptr;
  }

  // ---------------------------------------------------------------- procedures

  std::shared_ptr<Proc> Shell(ast::ProcDecl& d, const ClassDef* owner) {
    auto p = std::make_shared<Proc>();
    p->name = d.name;
    p->kind = KindOf(d.kind);
    p->is_public = d.is_public;
    p->owner = owner;
    p->source = source;
    p->option_explicit = option_explicit;
    for (size_t i = 0; i < d.params.size(); ++i) {
      p->byval.push_back(d.params[i].byval);
      p->locals.emplace(d.params[i].name, static_cast<int>(i));
    }
    int next = static_cast<int>(d.params.size());
    if (p->kind == ProcKind::Function || p->kind == ProcKind::PropertyGet) {
      p->result_slot = next++;
      if (!p->locals.emplace(d.name, p->result_slot).second) Fail(cerr::kNameRedefined, d.pos);
    }
    p->slot_count = next;
    return p;
  }

  void DeclareLocal(Proc& p, const std::string& name, Pos pos) {
    if (p.locals.count(name) || p.constants.count(name)) Fail(cerr::kNameRedefined, pos);
    p.locals.emplace(name, p.slot_count++);
  }

  void Body(Proc& p, ast::ProcDecl& d, const ClassDef* owner) {
    Proc* saved_proc = proc;
    const ClassDef* saved_cls = cls;
    proc = &p;
    cls = owner;
    // Declarations first: a Dim anywhere in the body covers all of it.
    ForEachStmt(d.body, [&](ast::Stmt& s) {
      if (s.kind == ast::StmtKind::Dim) {
        for (auto& v : static_cast<ast::DimStmt&>(s).vars) {
          DeclareLocal(p, v.name, v.pos);
          if (v.is_array) p.arrays.push_back(ArrayDecl(v, p.locals[v.name]));
        }
      } else if (s.kind == ast::StmtKind::Const) {
        for (auto& c : static_cast<ast::ConstStmt&>(s).items) {
          if (p.locals.count(c.name) || p.constants.count(c.name)) Fail(cerr::kNameRedefined, c.pos);
          p.constants.emplace(c.name, c.value);
        }
      }
    });
    ForEachStmt(d.body, [&](ast::Stmt& s) {
      auto implicit = [&](const std::string& name) {
        if (p.locals.count(name) || p.constants.count(name) || p.implicits.count(name)) return;
        if (owner && owner->members.count(name)) return;
        if (IEquals(name, "Err") || BuiltinConstant(name)) return;
        p.implicits.emplace(name, p.slot_count++);
      };
      if (s.kind == ast::StmtKind::ReDim) {
        for (auto& v : static_cast<ast::ReDimStmt&>(s).vars) {
          if (!p.locals.count(v.name) && !(owner && owner->members.count(v.name))) p.locals.emplace(v.name, p.slot_count++);
        }
      } else if (s.kind == ast::StmtKind::Assign) {
        auto& a = static_cast<ast::AssignStmt&>(s);
        if (a.target->kind == ast::ExprKind::Name) implicit(static_cast<ast::NameExpr&>(*a.target).name);
      } else if (s.kind == ast::StmtKind::For) {
        implicit(static_cast<ast::ForStmt&>(s).var);
      } else if (s.kind == ast::StmtKind::ForEach) {
        implicit(static_cast<ast::ForEachStmt&>(s).var);
      }
    });
    p.body = Stmts(d.body);
    proc = saved_proc;
    cls = saved_cls;
  }

  std::shared_ptr<const ClassDef> Class(ast::ClassDecl& c) {
    auto def = std::make_shared<ClassDef>();
    def->name = c.name;
    def->source = source;
    for (auto& f : c.fields) {
      int index = static_cast<int>(def->field_names.size());
      ClassMember m;
      m.field = index;
      m.is_public = f.is_public;
      if (!def->members.emplace(f.var.name, m).second) Fail(cerr::kNameRedefined, f.var.pos);
      def->field_names.push_back(f.var.name);
      if (f.var.is_array) def->arrays.push_back(ArrayDecl(f.var, index));
    }
    std::vector<std::pair<std::shared_ptr<Proc>, ast::ProcDecl*>> bodies;
    for (auto& d : c.procs) {
      auto p = Shell(*d, def.get());
      ClassMember& m = def->members[d->name];
      if (m.field >= 0) Fail(cerr::kNameRedefined, d->pos);
      switch (p->kind) {
        case ProcKind::Sub:
        case ProcKind::Function:
          if (m.get || m.let || m.set) Fail(cerr::kNameRedefined, d->pos);
          m.method = p;
          m.is_public = d->is_public;
          break;
        case ProcKind::PropertyGet: m.get = p; break;
        case ProcKind::PropertyLet: m.let = p; break;
        case ProcKind::PropertySet: m.set = p; break;
      }
      if (p->kind >= ProcKind::PropertyGet) m.is_public = d->is_public || (m.get && m.get->is_public) ||
                                                          (m.let && m.let->is_public) || (m.set && m.set->is_public);
      if (d->is_default) def->default_member = &m;
      if (IEquals(d->name, "Class_Initialize")) def->initialize = p;
      if (IEquals(d->name, "Class_Terminate")) def->terminate = p;
      def->procs.push_back(p);
      bodies.emplace_back(p, d.get());
    }
    for (auto& [p, d] : bodies) Body(*p, *d, def.get());
    return def;
  }

  std::shared_ptr<CompiledBlock> Program(ast::Program& program) {
    option_explicit = program.option_explicit;
    auto block = std::make_shared<CompiledBlock>();
    block->source = source;
    NameMap<bool> declared;
    ForEachStmt(program.body, [&](ast::Stmt& s) {
      if (s.kind == ast::StmtKind::Dim) {
        for (auto& v : static_cast<ast::DimStmt&>(s).vars) {
          if (!declared.emplace(v.name, true).second) Fail(cerr::kNameRedefined, v.pos);
          CompiledBlock::Global g{interp.Intern(v.name), {}, v.is_array};
          if (v.is_array) g.array = ArrayDecl(v, -1);
          block->globals.push_back(std::move(g));
        }
      } else if (s.kind == ast::StmtKind::Const) {
        for (auto& c : static_cast<ast::ConstStmt&>(s).items) {
          if (!declared.emplace(c.name, true).second) Fail(cerr::kNameRedefined, c.pos);
          block->constants.emplace_back(interp.Intern(c.name), c.value);
        }
      }
    });
    // Later definitions of a name replace earlier ones: bind in order.
    for (auto& d : program.procs) {
      auto p = Shell(*d, nullptr);
      Body(*p, *d, nullptr);
      block->procs.emplace_back(interp.Intern(d->name), std::move(p));
    }
    for (auto& c : program.classes) block->classes.emplace_back(interp.Intern(c->name), Class(*c));
    block->body = Stmts(program.body);
    return block;
  }
};

Compiler::Compiler(Interpreter& interp, SourceRef source, const Proc* scope)
    : impl_(std::make_unique<Impl>(interp, std::move(source), scope)) {}
Compiler::~Compiler() = default;

std::shared_ptr<CompiledBlock> Compiler::CompileProgram(ast::Program& program) { return impl_->Program(program); }

ExprPtr Compiler::CompileExpression(ast::Expr& expr) {
  if (impl_->outer) impl_->option_explicit = impl_->outer->option_explicit;
  return impl_->Expr(expr);
}

}  // namespace veldrane::vbs
