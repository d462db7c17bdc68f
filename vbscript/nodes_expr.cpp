// Compiled expressions: values, variables and operators.
#include "core/vb_error.h"
#include "vbscript/err_object.h"
#include "vbscript/interpreter.h"
#include "vbscript/nodes.h"
#include "vbscript/operators.h"
#include "vbscript/script_errors.h"
#include "vbscript/script_object.h"

namespace veldrane::vbs {

namespace {

class Literal final : public Expr {
 public:
  Literal(Pos pos, Variant v) : Expr(pos), value_(std::move(v)) {}
  Variant Eval(Frame&) const override { return CopyValue(value_); }
  const Variant* Peek(Frame&) const override { return &value_; }
  void Assign(Frame&, Variant, bool) const override { throw Runtime(rerr::kIllegalAssignment); }
  bool IsConstant(const Frame&) const override { return true; }

 private:
  Variant value_;
};

class Local final : public Expr {
 public:
  Local(Pos pos, int slot) : Expr(pos), slot_(slot) {}
  Variant Eval(Frame& f) const override { return CopyValue(*f.slots[slot_]); }
  const Variant* Peek(Frame& f) const override { return f.slots[slot_]; }
  Variant* VarRef(Frame& f) const override { return f.slots[slot_]; }
  void Assign(Frame& f, Variant v, bool) const override { *f.slots[slot_] = std::move(v); }

 private:
  int slot_;
};

class Field final : public Expr {
 public:
  Field(Pos pos, int index) : Expr(pos), index_(index) {}
  Variant Eval(Frame& f) const override { return f.me->fields()[static_cast<size_t>(index_)]; }
  const Variant* Peek(Frame& f) const override { return &f.me->fields()[static_cast<size_t>(index_)]; }
  Variant* VarRef(Frame& f) const override { return &f.me->fields()[static_cast<size_t>(index_)]; }
  void Assign(Frame& f, Variant v, bool) const override { f.me->fields()[static_cast<size_t>(index_)] = std::move(v); }

 private:
  int index_;
};

Variant CallBuiltinNoArgs(Frame& f, const BuiltinSpec& spec) {
  if (spec.min_args > 0) throw Runtime(vberr::kWrongArgumentCount, spec.name);
  BuiltinContext ctx{&f.interp};
  return spec.fn(ctx, Args());
}

class Global final : public Expr {
 public:
  Global(Pos pos, Cell* cell, const BuiltinSpec* builtin, bool option_explicit)
      : Expr(pos), cell_(cell), builtin_(builtin), explicit_(option_explicit) {}

  Variant Eval(Frame& f) const override {
    switch (cell_->kind) {
      case Cell::Kind::Variable:
      case Cell::Kind::Constant:
      case Cell::Kind::NamedObject:
        return CopyValue(cell_->value);
      case Cell::Kind::Procedure:
        return f.interp.CallProcValues(*cell_->proc, nullptr, Args());
      case Cell::Kind::Class:
        throw Runtime(vberr::kTypeMismatch, cell_->name);
      case Cell::Kind::Undefined:
        break;
    }
    if (builtin_) return CallBuiltinNoArgs(f, *builtin_);
    if (explicit_) throw Runtime(rerr::kUndefinedVariable, cell_->name);
    return Variant();
  }

  Variant* VarRef(Frame&) const override {
    if (cell_->kind == Cell::Kind::Variable) return &cell_->value;
    if (cell_->kind == Cell::Kind::Undefined && !builtin_) {
      if (explicit_) throw Runtime(rerr::kUndefinedVariable, cell_->name);
      cell_->kind = Cell::Kind::Variable;
      return &cell_->value;
    }
    return nullptr;
  }

  void Assign(Frame&, Variant v, bool) const override {
    if (cell_->kind == Cell::Kind::Undefined) {
      if (explicit_) throw Runtime(rerr::kUndefinedVariable, cell_->name);
      cell_->kind = Cell::Kind::Variable;
    }
    if (cell_->kind != Cell::Kind::Variable) throw Runtime(rerr::kIllegalAssignment, cell_->name);
    cell_->value = std::move(v);
  }

  bool IsConstant(const Frame&) const override { return cell_->kind == Cell::Kind::Constant; }

  const Variant* Peek(Frame&) const override {
    Cell::Kind k = cell_->kind;
    return k == Cell::Kind::Variable || k == Cell::Kind::Constant || k == Cell::Kind::NamedObject ? &cell_->value
                                                                                                  : nullptr;
  }

 private:
  Cell* cell_;
  const BuiltinSpec* builtin_;
  bool explicit_;
};

// A name a procedure assigns without Dim: the global when it exists.
class Implicit final : public Expr {
 public:
  Implicit(Pos pos, Cell* cell, int slot, bool option_explicit)
      : Expr(pos), cell_(cell), slot_(slot), explicit_(option_explicit) {}

  Variant Eval(Frame& f) const override {
    switch (cell_->kind) {
      case Cell::Kind::Variable:
      case Cell::Kind::Constant:
      case Cell::Kind::NamedObject:
        return cell_->value;
      case Cell::Kind::Procedure:
        return f.interp.CallProcValues(*cell_->proc, nullptr, Args());
      default:
        return *Local(f);
    }
  }
  Variant* VarRef(Frame& f) const override {
    if (cell_->kind == Cell::Kind::Variable) return &cell_->value;
    if (cell_->kind != Cell::Kind::Undefined) return nullptr;
    return Local(f);
  }
  void Assign(Frame& f, Variant v, bool) const override {
    if (cell_->kind == Cell::Kind::Variable) {
      cell_->value = std::move(v);
    } else if (cell_->kind == Cell::Kind::Undefined) {
      *Local(f) = std::move(v);
    } else {
      throw Runtime(rerr::kIllegalAssignment, cell_->name);
    }
  }
  bool IsConstant(const Frame&) const override { return cell_->kind == Cell::Kind::Constant; }

 private:
  Variant* Local(Frame& f) const {
    if (explicit_) throw Runtime(rerr::kUndefinedVariable, cell_->name);
    return f.slots[slot_];
  }
  Cell* cell_;
  int slot_;
  bool explicit_;
};

class Me final : public Expr {
 public:
  using Expr::Expr;
  Variant Eval(Frame& f) const override {
    if (!f.me) return Variant(f.interp.global_object());
    return Variant(f.me->shared_from_this());
  }
};

class WithObject final : public Expr {
 public:
  using Expr::Expr;
  Variant Eval(Frame& f) const override {
    if (f.with_stack.empty()) throw Runtime(rerr::kUnqualifiedReference);
    return f.with_stack.back();
  }
};

class ErrRef final : public Expr {
 public:
  using Expr::Expr;
  Variant Eval(Frame& f) const override { return Variant(f.interp.err_ref()); }
};

class New final : public Expr {
 public:
  New(Pos pos, Cell* cell) : Expr(pos), cell_(cell) {}
  Variant Eval(Frame& f) const override { return Variant(f.interp.NewObject(*cell_)); }

 private:
  Cell* cell_;
};

class Paren final : public Expr {
 public:
  Paren(Pos pos, ExprPtr inner) : Expr(pos), inner_(std::move(inner)) {}
  Variant Eval(Frame& f) const override { return inner_->Eval(f); }
  bool IsConstant(const Frame& f) const override { return inner_->IsConstant(f); }

 private:
  ExprPtr inner_;
};

using UnaryFn = Variant (*)(const Variant&);
using BinaryFn = Variant (*)(const Variant&, const Variant&);

class Unary final : public Expr {
 public:
  Unary(Pos pos, UnaryFn fn, ExprPtr operand, bool constant)
      : Expr(pos), fn_(fn), operand_(std::move(operand)), constant_(constant) {}
  Variant Eval(Frame& f) const override { return fn_(operand_->Eval(f)); }
  // "-5" is still a numeric literal for the comparison rule.
  bool IsConstant(const Frame& f) const override { return constant_ && operand_->IsConstant(f); }

 private:
  UnaryFn fn_;
  ExprPtr operand_;
  bool constant_;
};

// Calls fn(a, b) reading plain variables and literals in place, without
// copies. A left operand is read in place only when the right one runs no
// code (it is peekable too), so the value is the one VBScript would see.
template <class F>
Variant WithOperands(Frame& f, const Expr& lhs, const Expr& rhs, F&& fn) {
  if (const Variant* pa = lhs.Peek(f)) {
    if (const Variant* pb = rhs.Peek(f)) return fn(*pa, *pb);
    Variant a = CopyValue(*pa);
    Variant b = rhs.Eval(f);
    return fn(a, b);
  }
  Variant a = lhs.Eval(f);
  if (const Variant* pb = rhs.Peek(f)) return fn(a, *pb);
  Variant b = rhs.Eval(f);
  return fn(a, b);
}

class Binary final : public Expr {
 public:
  Binary(Pos pos, BinaryFn fn, ExprPtr lhs, ExprPtr rhs) : Expr(pos), fn_(fn), lhs_(std::move(lhs)), rhs_(std::move(rhs)) {}
  Variant Eval(Frame& f) const override { return WithOperands(f, *lhs_, *rhs_, fn_); }

 private:
  BinaryFn fn_;
  ExprPtr lhs_, rhs_;
};

class Comparison final : public Expr {
 public:
  Comparison(Pos pos, ops::Cmp op, ExprPtr lhs, ExprPtr rhs) : Expr(pos), op_(op), lhs_(std::move(lhs)), rhs_(std::move(rhs)) {}
  Variant Eval(Frame& f) const override {
    return WithOperands(f, *lhs_, *rhs_, [&](const Variant& a, const Variant& b) {
      return ops::Compare(op_, a, b, lhs_->IsConstant(f), rhs_->IsConstant(f));
    });
  }

 private:
  ops::Cmp op_;
  ExprPtr lhs_, rhs_;
};

class IsNode final : public Expr {
 public:
  IsNode(Pos pos, ExprPtr lhs, ExprPtr rhs) : Expr(pos), lhs_(std::move(lhs)), rhs_(std::move(rhs)) {}
  Variant Eval(Frame& f) const override {
    Variant a = lhs_->Eval(f);
    Variant b = rhs_->Eval(f);
    return Variant(ops::Is(a, b));
  }

 private:
  ExprPtr lhs_, rhs_;
};

}  // namespace

void Expr::Assign(Frame&, Variant, bool) const { throw Runtime(rerr::kIllegalAssignment); }

ExprPtr MakeLiteral(Pos pos, Variant value, bool) { return std::make_unique<Literal>(pos, std::move(value)); }
ExprPtr MakeLocal(Pos pos, int slot) { return std::make_unique<Local>(pos, slot); }
ExprPtr MakeField(Pos pos, int index) { return std::make_unique<Field>(pos, index); }
ExprPtr MakeGlobal(Pos pos, Cell* cell, const BuiltinSpec* builtin, bool option_explicit) {
  return std::make_unique<Global>(pos, cell, builtin, option_explicit);
}
ExprPtr MakeImplicit(Pos pos, Cell* cell, int slot, bool option_explicit) {
  return std::make_unique<Implicit>(pos, cell, slot, option_explicit);
}
ExprPtr MakeMe(Pos pos) { return std::make_unique<Me>(pos); }
ExprPtr MakeWithObject(Pos pos) { return std::make_unique<WithObject>(pos); }
ExprPtr MakeErrObject(Pos pos) { return std::make_unique<ErrRef>(pos); }
ExprPtr MakeNew(Pos pos, Cell* cell) { return std::make_unique<New>(pos, cell); }
ExprPtr MakeParen(Pos pos, ExprPtr inner) { return std::make_unique<Paren>(pos, std::move(inner)); }

ExprPtr MakeUnary(Pos pos, ast::UnOp op, ExprPtr operand) {
  switch (op) {
    case ast::UnOp::Neg: return std::make_unique<Unary>(pos, &ops::Neg, std::move(operand), true);
    case ast::UnOp::Plus: return std::make_unique<Unary>(pos, &ops::Plus, std::move(operand), true);
    case ast::UnOp::Not: return std::make_unique<Unary>(pos, &ops::Not, std::move(operand), false);
  }
  return nullptr;
}

ExprPtr MakeBinary(Pos pos, ast::BinOp op, ExprPtr lhs, ExprPtr rhs) {
  auto bin = [&](BinaryFn fn) -> ExprPtr { return std::make_unique<Binary>(pos, fn, std::move(lhs), std::move(rhs)); };
  auto cmp = [&](ops::Cmp c) -> ExprPtr { return std::make_unique<Comparison>(pos, c, std::move(lhs), std::move(rhs)); };
  switch (op) {
    case ast::BinOp::Imp: return bin(&ops::Imp);
    case ast::BinOp::Eqv: return bin(&ops::Eqv);
    case ast::BinOp::Xor: return bin(&ops::Xor);
    case ast::BinOp::Or: return bin(&ops::Or);
    case ast::BinOp::And: return bin(&ops::And);
    case ast::BinOp::Eq: return cmp(ops::Cmp::Eq);
    case ast::BinOp::Ne: return cmp(ops::Cmp::Ne);
    case ast::BinOp::Lt: return cmp(ops::Cmp::Lt);
    case ast::BinOp::Gt: return cmp(ops::Cmp::Gt);
    case ast::BinOp::Le: return cmp(ops::Cmp::Le);
    case ast::BinOp::Ge: return cmp(ops::Cmp::Ge);
    case ast::BinOp::Is: return std::make_unique<IsNode>(pos, std::move(lhs), std::move(rhs));
    case ast::BinOp::Concat: return bin(&ops::Concat);
    case ast::BinOp::Add: return bin(&ops::Add);
    case ast::BinOp::Sub: return bin(&ops::Sub);
    case ast::BinOp::Mod: return bin(&ops::Mod);
    case ast::BinOp::IntDiv: return bin(&ops::IntDiv);
    case ast::BinOp::Mul: return bin(&ops::Mul);
    case ast::BinOp::Div: return bin(&ops::Div);
    case ast::BinOp::Pow: return bin(&ops::Pow);
  }
  return nullptr;
}

Variant MakeArray(const FixedArray& decl, bool fixed) {
  std::vector<VbArray::Dim> dims;
  for (int32_t ub : decl.bounds) dims.push_back(VbArray::Dim{0, ub + 1});
  auto array = std::make_shared<VbArray>(std::move(dims));
  array->fixed = fixed;
  return Variant(ArrayRef(std::move(array)));
}

Variant CopyArrayIfShared(Variant v) {
  if (v.IsArray() && v.AsArray().use_count() > 1) {
    auto copy = std::make_shared<VbArray>(*v.AsArray());
    copy->fixed = false;
    return Variant(ArrayRef(std::move(copy)));
  }
  return v;
}

Variant LetValue(Variant v) {
  if (v.IsObject()) return v.Resolved();
  if (v.IsArray()) return CopyArrayIfShared(std::move(v));
  return v;
}

}  // namespace veldrane::vbs
