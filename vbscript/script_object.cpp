#include "vbscript/script_object.h"

#include "vbscript/interpreter.h"
#include "vbscript/nodes.h"
#include "vbscript/script_errors.h"

namespace veldrane::vbs {

namespace {

// Runs Class_Terminate, then frees the instance.
void Terminate(ScriptObject* object, std::weak_ptr<Interpreter*> engine) {
  const std::shared_ptr<const Proc>& terminate = object->cls().terminate;
  std::shared_ptr<Interpreter*> handle = engine.lock();
  if (terminate && handle && *handle) {
    // A temporary, non-owning reference serves as Me while the handler runs.
    std::shared_ptr<ScriptObject> me(object, [](ScriptObject*) {});
    try {
      (*handle)->CallProcValues(*terminate, object, Args());
    } catch (...) {
      // Absorbed: the last reference went away in a destructor, where no
      // caller can receive the error (VBScript ignores them here too).
    }
    // A handler that stored Me somewhere keeps the instance alive: leak it
    // rather than free an object still in use.
    if (me.use_count() > 1) return;
  }
  delete object;
}

// Instances released while another is being released (the fields of a
// long linked list) wait here instead of being freed recursively, which
// would exhaust the stack on a chain of a few hundred thousand objects.
struct PendingRelease {
  ScriptObject* object;
  std::weak_ptr<Interpreter*> engine;
};
thread_local std::vector<PendingRelease> t_pending;
thread_local bool t_releasing = false;

void Release(ScriptObject* object, std::weak_ptr<Interpreter*> engine) {
  t_pending.push_back(PendingRelease{object, std::move(engine)});
  if (t_releasing) return;
  t_releasing = true;
  while (!t_pending.empty()) {
    PendingRelease next = std::move(t_pending.back());
    t_pending.pop_back();
    Terminate(next.object, std::move(next.engine));
  }
  t_releasing = false;
}

class ProcRef final : public Object {
 public:
  ProcRef(std::shared_ptr<const Proc> proc, std::weak_ptr<Interpreter*> engine)
      : proc_(std::move(proc)), engine_(std::move(engine)) {}
  std::string TypeName() const override { return "Object"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override {
    if (!name.empty() || kind != InvokeKind::Get) throw VbError::NotSupported(name);
    std::shared_ptr<Interpreter*> handle = engine_.lock();
    if (!handle || !*handle) throw VbError::ObjectNotSet();
    return (*handle)->CallProcValues(*proc_, nullptr, args);
  }

 private:
  std::shared_ptr<const Proc> proc_;
  std::weak_ptr<Interpreter*> engine_;
};

// Me outside a class: the script's global names as members of one object.
class GlobalObject final : public Object {
 public:
  explicit GlobalObject(std::weak_ptr<Interpreter*> engine) : engine_(std::move(engine)) {}
  std::string TypeName() const override { return "Object"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override {
    std::shared_ptr<Interpreter*> handle = engine_.lock();
    if (!handle || !*handle) throw VbError::ObjectNotSet();
    if (name.empty()) throw VbError::NotSupported();
    Cell& cell = *(*handle)->Intern(name);
    switch (cell.kind) {
      case Cell::Kind::Procedure:
        if (kind != InvokeKind::Get) break;
        return (*handle)->CallProcValues(*cell.proc, nullptr, args);
      case Cell::Kind::Variable:
        if (kind != InvokeKind::Get && args.size() == 1) {
          if (kind == InvokeKind::Set && !args[0].IsObject()) throw VbError::ObjectRequired();
          cell.value = kind == InvokeKind::Let ? LetValue(args[0]) : args[0];
          return Variant();
        }
        [[fallthrough]];
      case Cell::Kind::Constant:
      case Cell::Kind::NamedObject:
        if (kind != InvokeKind::Get) break;
        return args.empty() ? cell.value : IndexValues(cell.value, args);
      default:
        break;
    }
    throw VbError::NotSupported(name);
  }

 private:
  std::weak_ptr<Interpreter*> engine_;
};

}  // namespace

ObjectRef NewGlobalObject(Interpreter& interp) { return std::make_shared<GlobalObject>(interp.handle()); }

ScriptObject::ScriptObject(std::shared_ptr<const ClassDef> cls, std::weak_ptr<Interpreter*> engine)
    : cls_(std::move(cls)), engine_(std::move(engine)), fields_(cls_->field_names.size()) {
  for (const FixedArray& a : cls_->arrays) fields_[static_cast<size_t>(a.slot)] = MakeArray(a, !a.dynamic);
}

Interpreter& ScriptObject::Engine() const {
  std::shared_ptr<Interpreter*> handle = engine_.lock();
  if (!handle || !*handle) throw VbError::ObjectNotSet();
  return **handle;
}

Variant ScriptObject::Invoke(std::string_view name, InvokeKind kind, Args args) {
  return InvokeMember(name, kind, args, false);
}

Variant ScriptObject::InvokeMember(std::string_view name, InvokeKind kind, Args args, bool allow_private) {
  const ClassMember* member = nullptr;
  if (name.empty()) {
    member = cls_->default_member;
  } else {
    auto it = cls_->members.find(name);
    if (it != cls_->members.end() && (allow_private || it->second.is_public)) member = &it->second;
  }
  if (!member) throw VbError::NotSupported(name);
  return InvokeResolved(*member, name, kind, args);
}

Variant ScriptObject::InvokeResolved(const ClassMember& m, std::string_view name, InvokeKind kind, Args args) {
  if (m.field >= 0) {
    Variant& field = fields_[static_cast<size_t>(m.field)];
    if (kind == InvokeKind::Get) {
      if (args.empty()) return field;
      if (field.IsArray()) return field.AsArray()->At(Subscripts(args));
      if (field.IsObject()) return ObjectFor(field)->Invoke("", InvokeKind::Get, args);
      throw VbError::TypeMismatch();
    }
    if (args.empty()) throw VbError::WrongArgumentCount();
    Variant value = args.back();
    if (kind == InvokeKind::Set && !value.IsObject()) throw VbError::ObjectRequired();
    if (kind == InvokeKind::Let) value = LetValue(std::move(value));
    if (args.size() == 1) {
      field = std::move(value);
      return Variant();
    }
    Args index = args.first(args.size() - 1);
    if (field.IsArray()) {
      field.AsArray()->At(Subscripts(index)) = std::move(value);
    } else if (field.IsObject()) {
      ObjectFor(field)->Invoke("", kind, args);
    } else {
      throw VbError::TypeMismatch();
    }
    return Variant();
  }
  if (m.method) {
    if (kind != InvokeKind::Get) throw VbError::NotSupported(name);
    return Engine().CallProcValues(*m.method, this, args);
  }
  const Proc* proc = kind == InvokeKind::Get ? m.get.get() : kind == InvokeKind::Let ? m.let.get() : m.set.get();
  if (!proc) throw VbError::NotSupported(name);
  return Engine().CallProcValues(*proc, this, args);
}

ObjectRef NewScriptObject(Interpreter& interp, std::shared_ptr<const ClassDef> cls) {
  std::weak_ptr<Interpreter*> engine = interp.handle();
  std::shared_ptr<ScriptObject> object(new ScriptObject(cls, engine),
                                       [engine](ScriptObject* o) { Release(o, engine); });
  if (cls->initialize) interp.CallProcValues(*cls->initialize, object.get(), Args());
  return object;
}

ObjectRef NewProcRef(Interpreter& interp, std::shared_ptr<const Proc> proc) {
  return std::make_shared<ProcRef>(std::move(proc), interp.handle());
}

}  // namespace veldrane::vbs
