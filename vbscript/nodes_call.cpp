// Compiled calls: procedures, built-ins, array elements, members and default
// members.
#include "core/vb_error.h"
#include "vbscript/interpreter.h"
#include "vbscript/nodes.h"
#include "vbscript/script_errors.h"
#include "vbscript/script_object.h"

namespace veldrane::vbs {

std::vector<Variant> EvalArgs(Frame& f, const ExprList& args) {
  std::vector<Variant> out;
  out.reserve(args.size());
  for (const auto& a : args) out.push_back(a->Eval(f));
  return out;
}

std::vector<int32_t> Subscripts(std::span<const Variant> args) {
  std::vector<int32_t> out;
  out.reserve(args.size());
  for (const Variant& a : args) out.push_back(a.ToLong());
  return out;
}

ObjectRef ObjectFor(const Variant& v) {
  if (!v.IsObject()) throw VbError::ObjectRequired();
  if (!v.AsObject()) throw VbError::ObjectNotSet();
  return v.AsObject();
}

namespace {

// The object whose member is assigned: Nothing raises 424 here, not 91.
ObjectRef AssignTarget(const Variant& v) {
  if (v.IsNothing()) throw VbError::ObjectRequired();
  return ObjectFor(v);
}

// A script object's default method, so it can be called with ByRef arguments.
const Proc* DefaultMethod(const ObjectRef& obj) {
  auto* so = dynamic_cast<ScriptObject*>(obj.get());
  if (!so || !so->cls().default_member) return nullptr;
  const ClassMember& m = *so->cls().default_member;
  return m.method ? m.method.get() : m.get.get();
}

Variant CallBuiltin(Frame& f, const BuiltinSpec& spec, const ExprList& args) {
  int n = static_cast<int>(args.size());
  if (n < spec.min_args || (spec.max_args >= 0 && n > spec.max_args)) {
    throw Runtime(vberr::kWrongArgumentCount, spec.name);
  }
  std::vector<Variant> values = EvalArgs(f, args);
  BuiltinContext ctx{&f.interp};
  return spec.fn(ctx, Args(values));
}

// The element of the array behind `v` named by the arguments.
Variant* ElementOf(Frame& f, Variant* v, const ExprList& args, ArrayRef* owner) {
  if (!v || !v->IsArray()) return nullptr;
  ArrayRef array = v->AsArray();
  std::vector<Variant> values = EvalArgs(f, args);
  Variant* element = &array->At(Subscripts(values));
  if (owner) *owner = std::move(array);
  return element;
}

class LocalCall final : public Expr {
 public:
  LocalCall(Pos pos, int slot, ExprList args) : Expr(pos), slot_(slot), args_(std::move(args)) {}
  Variant Eval(Frame& f) const override { return IndexValue(f, *f.slots[slot_], args_); }
  Variant* ElementRef(Frame& f, ArrayRef* owner) const override { return ElementOf(f, f.slots[slot_], args_, owner); }
  void Assign(Frame& f, Variant v, bool is_set) const override {
    AssignIndexed(f, *f.slots[slot_], args_, std::move(v), is_set);
  }

 private:
  int slot_;
  ExprList args_;
};

class FieldCall final : public Expr {
 public:
  FieldCall(Pos pos, int index, ExprList args) : Expr(pos), index_(static_cast<size_t>(index)), args_(std::move(args)) {}
  Variant Eval(Frame& f) const override { return IndexValue(f, f.me->fields()[index_], args_); }
  Variant* ElementRef(Frame& f, ArrayRef* owner) const override {
    return ElementOf(f, &f.me->fields()[index_], args_, owner);
  }
  void Assign(Frame& f, Variant v, bool is_set) const override {
    AssignIndexed(f, f.me->fields()[index_], args_, std::move(v), is_set);
  }

 private:
  size_t index_;
  ExprList args_;
};

class GlobalCall final : public Expr {
 public:
  GlobalCall(Pos pos, Cell* cell, const BuiltinSpec* builtin, Intrinsic intrinsic, bool option_explicit, ExprList args)
      : Expr(pos), cell_(cell), builtin_(builtin), intrinsic_(intrinsic), explicit_(option_explicit), args_(std::move(args)) {}

  Variant Eval(Frame& f) const override {
    switch (cell_->kind) {
      case Cell::Kind::Procedure: return f.interp.CallProc(*cell_->proc, nullptr, f, args_);
      case Cell::Kind::Variable:
      case Cell::Kind::Constant:
      case Cell::Kind::NamedObject:
        return IndexValue(f, cell_->value, args_);
      case Cell::Kind::Class: throw Runtime(vberr::kTypeMismatch, cell_->name);
      case Cell::Kind::Undefined: break;
    }
    if (builtin_) return CallBuiltin(f, *builtin_, args_);
    if (intrinsic_ != Intrinsic::None) return f.interp.CallIntrinsic(intrinsic_, f, args_);
    Undefined();
  }

  Variant* ElementRef(Frame& f, ArrayRef* owner) const override {
    if (cell_->kind != Cell::Kind::Variable) return nullptr;
    return ElementOf(f, &cell_->value, args_, owner);
  }

  void Assign(Frame& f, Variant v, bool is_set) const override {
    switch (cell_->kind) {
      case Cell::Kind::Variable:
      case Cell::Kind::NamedObject:
        AssignIndexed(f, cell_->value, args_, std::move(v), is_set);
        return;
      case Cell::Kind::Undefined: Undefined();
      default: throw Runtime(rerr::kIllegalAssignment, cell_->name);
    }
  }

 private:
  // Calling a name nobody defined: 13 (500 under Option Explicit).
  [[noreturn]] void Undefined() const {
    throw Runtime(explicit_ ? rerr::kUndefinedVariable : vberr::kTypeMismatch, cell_->name);
  }

  Cell* cell_;
  const BuiltinSpec* builtin_;
  Intrinsic intrinsic_;
  bool explicit_;
  ExprList args_;
};

class ImplicitCall final : public Expr {
 public:
  ImplicitCall(Pos pos, Cell* cell, int slot, bool option_explicit, ExprList args)
      : Expr(pos), cell_(cell), slot_(slot), explicit_(option_explicit), args_(std::move(args)) {}
  Variant Eval(Frame& f) const override {
    if (cell_->kind == Cell::Kind::Procedure) return f.interp.CallProc(*cell_->proc, nullptr, f, args_);
    return IndexValue(f, Target(f), args_);
  }
  Variant* ElementRef(Frame& f, ArrayRef* owner) const override { return ElementOf(f, &Target(f), args_, owner); }
  void Assign(Frame& f, Variant v, bool is_set) const override { AssignIndexed(f, Target(f), args_, std::move(v), is_set); }

 private:
  Variant& Target(Frame& f) const {
    if (cell_->kind == Cell::Kind::Variable || cell_->kind == Cell::Kind::Constant ||
        cell_->kind == Cell::Kind::NamedObject) {
      return cell_->value;
    }
    if (explicit_) throw Runtime(rerr::kUndefinedVariable, cell_->name);
    return *f.slots[slot_];
  }
  Cell* cell_;
  int slot_;
  bool explicit_;
  ExprList args_;
};

class MethodCall final : public Expr {
 public:
  MethodCall(Pos pos, const Proc* method, ExprList args) : Expr(pos), method_(method), args_(std::move(args)) {}
  Variant Eval(Frame& f) const override { return f.interp.CallProc(*method_, f.me, f, args_); }

 private:
  const Proc* method_;
  ExprList args_;
};

class PropertyRef final : public Expr {
 public:
  PropertyRef(Pos pos, const ClassMember* member, std::string name, ExprList args)
      : Expr(pos), member_(member), name_(std::move(name)), args_(std::move(args)) {}
  Variant Eval(Frame& f) const override {
    if (!member_->get) throw VbError::NotSupported(name_);
    return f.interp.CallProc(*member_->get, f.me, f, args_);
  }
  void Assign(Frame& f, Variant v, bool is_set) const override {
    std::vector<Variant> values = EvalArgs(f, args_);
    values.push_back(std::move(v));
    f.me->InvokeResolved(*member_, name_, is_set ? InvokeKind::Set : InvokeKind::Let, Args(values));
  }

 private:
  const ClassMember* member_;
  std::string name_;
  ExprList args_;
};

// The member `name` of a script object, when it is a procedure that can be
// called with the caller's argument expressions (so ByRef works).
const Proc* ScriptProc(const ObjectRef& obj, const std::string& name, bool allow_private, ScriptObject*& so) {
  so = dynamic_cast<ScriptObject*>(obj.get());
  if (!so) return nullptr;
  auto it = so->cls().members.find(name);
  if (it == so->cls().members.end() || (!allow_private && !it->second.is_public)) return nullptr;
  const ClassMember& m = it->second;
  if (m.method) return m.method.get();
  if (m.field < 0 && m.get) return m.get.get();
  return nullptr;
}

class MemberGet final : public Expr {
 public:
  MemberGet(Pos pos, ExprPtr object, std::string name, bool allow_private)
      : Expr(pos), object_(std::move(object)), name_(std::move(name)), allow_private_(allow_private) {}
  Variant Eval(Frame& f) const override {
    ObjectRef obj = ObjectFor(object_->Eval(f));
    if (allow_private_) return static_cast<ScriptObject&>(*obj).InvokeMember(name_, InvokeKind::Get, Args(), true);
    return obj->Invoke(name_, InvokeKind::Get, Args());
  }
  void Assign(Frame& f, Variant v, bool is_set) const override {
    ObjectRef obj = AssignTarget(object_->Eval(f));
    Variant arg[1] = {std::move(v)};
    InvokeKind kind = is_set ? InvokeKind::Set : InvokeKind::Let;
    if (allow_private_) {
      static_cast<ScriptObject&>(*obj).InvokeMember(name_, kind, Args(arg, 1), true);
    } else {
      obj->Invoke(name_, kind, Args(arg, 1));
    }
  }

 private:
  ExprPtr object_;
  std::string name_;
  bool allow_private_;
};

class MemberCall final : public Expr {
 public:
  MemberCall(Pos pos, ExprPtr object, std::string name, ExprList args, bool allow_private)
      : Expr(pos), object_(std::move(object)), name_(std::move(name)), args_(std::move(args)), allow_private_(allow_private) {}
  Variant Eval(Frame& f) const override {
    ObjectRef obj = ObjectFor(object_->Eval(f));
    ScriptObject* so = nullptr;
    if (const Proc* p = ScriptProc(obj, name_, allow_private_, so)) {
      if (p->param_count() > 0 || args_.empty()) return f.interp.CallProc(*p, so, f, args_);
      // A property without parameters, given arguments: they index its value.
      Variant value = f.interp.CallProcValues(*p, so, Args());
      return IndexValue(f, value, args_);
    }
    std::vector<Variant> values = EvalArgs(f, args_);
    if (so) return so->InvokeMember(name_, InvokeKind::Get, Args(values), allow_private_);
    try {
      Variant result = obj->Invoke(name_, InvokeKind::Get, Args(values));
      WriteBack(f, values);
      return result;
    } catch (const VbError& e) {
      // obj.Fields("F"): a member that takes no arguments returns an object
      // (or array) whose default member takes them, as late binding resolves it.
      if (e.number() != vberr::kWrongArgumentCount || values.empty()) throw;
    }
    Variant member = obj->Invoke(name_, InvokeKind::Get, Args());
    return IndexValues(member, values);
  }
  void Assign(Frame& f, Variant v, bool is_set) const override {
    ObjectRef obj = AssignTarget(object_->Eval(f));
    std::vector<Variant> values = EvalArgs(f, args_);
    values.push_back(std::move(v));
    InvokeKind kind = is_set ? InvokeKind::Set : InvokeKind::Let;
    if (auto* so = dynamic_cast<ScriptObject*>(obj.get())) {
      so->InvokeMember(name_, kind, Args(values), allow_private_);
      return;
    }
    try {
      obj->Invoke(name_, kind, Args(values));
      return;
    } catch (const VbError& e) {
      if (e.number() != vberr::kWrongArgumentCount || values.size() < 2) throw;
    }
    // obj.Fields("F") = v: assign through the default member of obj.Fields.
    ObjectFor(obj->Invoke(name_, InvokeKind::Get, Args()))->Invoke("", kind, Args(values));
  }

 private:
  // A host method's arguments are ByRef: what it wrote into them goes back
  // to the variables they came from.
  void WriteBack(Frame& f, std::vector<Variant>& values) const {
    for (size_t i = 0; i < args_.size(); ++i) {
      Variant* ref = args_[i]->VarRef(f);
      if (ref && !(*ref == values[i])) *ref = std::move(values[i]);
    }
  }

  ExprPtr object_;
  std::string name_;
  ExprList args_;
  bool allow_private_;
};

class DefaultCall final : public Expr {
 public:
  DefaultCall(Pos pos, ExprPtr callee, ExprList args) : Expr(pos), callee_(std::move(callee)), args_(std::move(args)) {}
  Variant Eval(Frame& f) const override {
    Variant v = callee_->Eval(f);
    return IndexValue(f, v, args_);
  }
  Variant* ElementRef(Frame& f, ArrayRef* owner) const override {
    return ElementOf(f, callee_->ElementRef(f, owner), args_, owner);
  }
  void Assign(Frame& f, Variant v, bool is_set) const override {
    if (Variant* target = callee_->ElementRef(f, nullptr)) {
      AssignIndexed(f, *target, args_, std::move(v), is_set);
      return;
    }
    Variant holder = callee_->Eval(f);
    if (!holder.IsObject()) throw VbError::TypeMismatch();
    AssignIndexed(f, holder, args_, std::move(v), is_set);
  }

 private:
  ExprPtr callee_;
  ExprList args_;
};

}  // namespace

Variant IndexValues(const Variant& v, Args values) {
  if (v.IsObject()) return ObjectFor(v)->Invoke("", InvokeKind::Get, values);
  if (!v.IsArray()) throw VbError::TypeMismatch();
  return v.AsArray()->At(Subscripts(values));
}

Variant IndexValue(Frame& f, const Variant& v, const ExprList& args) {
  if (v.IsObject()) {
    ObjectRef obj = ObjectFor(v);
    if (const Proc* p = DefaultMethod(obj)) {
      return f.interp.CallProc(*p, static_cast<ScriptObject*>(obj.get()), f, args);
    }
    std::vector<Variant> values = EvalArgs(f, args);
    return obj->Invoke("", InvokeKind::Get, Args(values));
  }
  if (args.empty()) {
    return v;
  }
  if (!v.IsArray()) throw VbError::TypeMismatch();
  ArrayRef array = v.AsArray();
  std::vector<Variant> values = EvalArgs(f, args);
  return array->At(Subscripts(values));
}

void AssignIndexed(Frame& f, Variant& target, const ExprList& args, Variant value, bool is_set) {
  if (target.IsArray()) {
    ArrayRef array = target.AsArray();
    std::vector<Variant> values = EvalArgs(f, args);
    array->At(Subscripts(values)) = std::move(value);
    return;
  }
  if (target.IsObject()) {
    ObjectRef obj = ObjectFor(target);
    std::vector<Variant> values = EvalArgs(f, args);
    values.push_back(std::move(value));
    obj->Invoke("", is_set ? InvokeKind::Set : InvokeKind::Let, Args(values));
    return;
  }
  throw VbError::TypeMismatch();
}

ExprPtr MakeLocalCall(Pos pos, int slot, ExprList args) { return std::make_unique<LocalCall>(pos, slot, std::move(args)); }
ExprPtr MakeFieldCall(Pos pos, int index, ExprList args) { return std::make_unique<FieldCall>(pos, index, std::move(args)); }
ExprPtr MakeGlobalCall(Pos pos, Cell* cell, const BuiltinSpec* builtin, Intrinsic intrinsic, bool option_explicit,
                       ExprList args) {
  return std::make_unique<GlobalCall>(pos, cell, builtin, intrinsic, option_explicit, std::move(args));
}
ExprPtr MakeImplicitCall(Pos pos, Cell* cell, int slot, bool option_explicit, ExprList args) {
  return std::make_unique<ImplicitCall>(pos, cell, slot, option_explicit, std::move(args));
}
ExprPtr MakeMethodCall(Pos pos, const Proc* method, ExprList args) {
  return std::make_unique<MethodCall>(pos, method, std::move(args));
}
ExprPtr MakePropertyRef(Pos pos, const ClassMember* member, std::string name, ExprList args) {
  return std::make_unique<PropertyRef>(pos, member, std::move(name), std::move(args));
}
ExprPtr MakeMemberGet(Pos pos, ExprPtr object, std::string name, bool allow_private) {
  return std::make_unique<MemberGet>(pos, std::move(object), std::move(name), allow_private);
}
ExprPtr MakeMemberCall(Pos pos, ExprPtr object, std::string name, ExprList args, bool allow_private) {
  return std::make_unique<MemberCall>(pos, std::move(object), std::move(name), std::move(args), allow_private);
}
ExprPtr MakeDefaultCall(Pos pos, ExprPtr callee, ExprList args) {
  return std::make_unique<DefaultCall>(pos, std::move(callee), std::move(args));
}

Intrinsic IntrinsicOf(std::string_view name) {
  if (IEquals(name, "Eval")) return Intrinsic::Eval;
  if (IEquals(name, "Execute")) return Intrinsic::Execute;
  if (IEquals(name, "ExecuteGlobal")) return Intrinsic::ExecuteGlobal;
  if (IEquals(name, "GetRef")) return Intrinsic::GetRef;
  if (IEquals(name, "CreateObject")) return Intrinsic::CreateObject;
  return Intrinsic::None;
}

}  // namespace veldrane::vbs
