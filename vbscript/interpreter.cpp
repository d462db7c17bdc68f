#include "vbscript/interpreter.h"

#include <pthread.h>

#include <algorithm>
#include <cstdint>
#include <new>

#include "vbscript/builtins.h"
#include "vbscript/compiler.h"
#include "vbscript/lexer.h"
#include "vbscript/err_object.h"
#include "vbscript/interrupt.h"
#include "vbscript/parser.h"
#include "vbscript/script_errors.h"
#include "vbscript/script_object.h"

namespace veldrane::vbs {

namespace {

constexpr size_t kMaxCachedTexts = 512;
constexpr size_t kInlineSlots = 8;

// The slots of one call: small frames live on the C++ stack.
class SlotBuffer {
 public:
  explicit SlotBuffer(int count) {
    size_t n = static_cast<size_t>(count);
    if (n > kInlineSlots) {
      heap_values_ = std::make_unique<Variant[]>(n);
      heap_refs_ = std::make_unique<Variant*[]>(n);
      values_ = heap_values_.get();
      refs_ = heap_refs_.get();
    }
    for (size_t i = 0; i < n; ++i) refs_[i] = &values_[i];
  }
  Variant* values() { return values_; }
  Variant** refs() { return refs_; }

 private:
  Variant inline_values_[kInlineSlots];
  Variant* inline_refs_[kInlineSlots];
  std::unique_ptr<Variant[]> heap_values_;
  std::unique_ptr<Variant*[]> heap_refs_;
  Variant* values_ = inline_values_;
  Variant** refs_ = inline_refs_;
};

LocatedError Locate(const VbError& error, const SourceText& source, Pos pos) {
  return LocatedError(AsScriptError(error), source.Line(pos.line), pos);
}

}  // namespace

namespace {

// What ExecBlock does with a statement's failure, kept out of line: every
// script call nests ExecBlock, and its frame is what limits how deep
// scripts may recurse on a given stack. Called inside a catch handler; it
// rethrows (located) or, under On Error Resume Next, records the failure.
[[gnu::noinline, gnu::cold]] void StatementFailed(const Stmt& s, Frame& f) {
  try {
    throw;
  } catch (const LocatedError& e) {
    if (!f.resume_next) throw;
    f.interp.RecordError(e);
  } catch (const VbError& e) {
    LocatedError located = Locate(e, s.source(), s.pos());
    if (!f.resume_next) throw located;
    f.interp.RecordError(located);
  } catch (const std::bad_alloc&) {
    LocatedError located = Locate(VbError(7), s.source(), s.pos());
    if (!f.resume_next) throw located;
    f.interp.RecordError(located);
  } catch (const std::exception& e) {
    // A host object failed with a C++ exception of its own: report it as
    // the platform's internal error, with its text.
    LocatedError located = Locate(VbError(51, e.what()), s.source(), s.pos());
    if (!f.resume_next) throw located;
    f.interp.RecordError(located);
  }
}

}  // namespace

// The one place where a failure gets its line: the innermost statement that
// was running. Errors already located (in a called procedure) keep theirs.
Flow ExecBlock(const StmtList& list, Frame& f) {
  CheckInterrupt();  // every turn of a loop, even an empty one, comes here
  for (const StmtPtr& s : list) {
    // Outside the try: On Error Resume Next must not hold back a stop.
    CheckInterrupt();
    try {
      Flow flow = s->Exec(f);
      if (flow != Flow::Normal) return flow;
    } catch (...) {
      // Sorted out of line; what is not a script failure (a quit request)
      // passes on unchanged.
      StatementFailed(*s, f);
    }
  }
  return Flow::Normal;
}

Interpreter::Interpreter() : err_(std::make_shared<ErrObject>()), self_(std::make_shared<Interpreter*>(this)) {}

Interpreter::~Interpreter() {
  // Objects that outlive the engine must not call back into it.
  *self_ = nullptr;
}

namespace {

// The lowest stack address script calls may reach on this thread: the
// thread's own stack bottom plus a margin for what runs below the last
// check (built-ins, host objects). Hosts may run the engine on threads with
// small stacks, so the call count alone is not a safe limit.
uintptr_t StackFloor() {
  thread_local const uintptr_t floor = [] {
    pthread_attr_t attr;
    void* addr = nullptr;
    size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
      pthread_attr_getstack(&attr, &addr, &size);
      pthread_attr_destroy(&attr);
    }
    if (!addr) return uintptr_t{0};
    size_t margin = std::min<size_t>(256 * 1024, size / 4);
    return reinterpret_cast<uintptr_t>(addr) + margin;
  }();
  return floor;
}

}  // namespace

Interpreter::DepthGuard::DepthGuard(Interpreter& i) : interp(i) {
  char probe = 0;
  bool low_stack = reinterpret_cast<uintptr_t>(&probe) < StackFloor();
  if (++interp.depth_ > kMaxDepth || low_stack) {
    --interp.depth_;
    throw Runtime(rerr::kOutOfStack);
  }
}

Cell* Interpreter::Intern(std::string_view name) {
  auto it = cells_.find(name);
  if (it != cells_.end()) return it->second.get();
  auto cell = std::make_unique<Cell>();
  cell->name = std::string(name);
  Cell* raw = cell.get();
  cells_.emplace(std::string(name), std::move(cell));
  return raw;
}

void Interpreter::ReleaseGlobals() {
  // Collect first: a Class_Terminate may run script code that adds names.
  std::vector<Variant> dying;
  for (auto& [name, cell] : cells_) {
    if (cell->kind == Cell::Kind::Variable && (cell->value.IsObject() || cell->value.IsArray())) {
      dying.push_back(std::move(cell->value));
      cell->value = Variant();
    }
  }
  dying.clear();
}

void Interpreter::Reset() {
  ReleaseGlobals();
  // What the names held dies once every name is undefined, all in one list:
  // a reset comes before every record's formulas.
  struct Held {
    Variant value;
    std::shared_ptr<const Proc> proc;
    std::shared_ptr<const ClassDef> cls;
  };
  std::vector<Held> dying;
  for (auto& [name, cell] : cells_) {
    // Most names are only referred to by compiled text and hold nothing.
    if (cell->kind == Cell::Kind::Undefined && cell->value.IsEmpty() && !cell->proc && !cell->cls) continue;
    Retire(*cell);
    if (dying.empty()) dying.reserve(16);
    dying.push_back({std::move(cell->value), std::move(cell->proc), std::move(cell->cls)});
    cell->value = Variant();
    cell->proc.reset();
    cell->cls.reset();
    cell->kind = Cell::Kind::Undefined;
  }
  dying.clear();
  err_->Clear();
}

namespace {

// A name scripts can write: a letter, then letters, digits or underscores,
// and not a reserved word.
bool IsScriptName(std::string_view name) {
  if (name.empty() || name.size() > 255) return false;
  auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (!letter(name[0])) return false;
  for (char c : name) {
    if (!letter(c) && !(c >= '0' && c <= '9') && c != '_') return false;
  }
  Kw kw = KeywordOf(name);
  return kw == Kw::None || kw >= Kw::Step;
}

}  // namespace

void Interpreter::AddObject(std::string_view name, const Variant& object) {
  // As the script control does, a name that scripts could not write, or one
  // already given, is refused: the caller decides what to skip.
  if (!IsScriptName(name)) {
    throw VbError(vberr::kInvalidCall, "Invalid procedure call or argument: '" + std::string(name) + "'",
                  kRuntimeSource);
  }
  Cell* cell = Intern(name);
  if (cell->kind == Cell::Kind::NamedObject) throw VbError(vberr::kDuplicateKey, "", kRuntimeSource);
  Variant old = std::move(cell->value);
  cell->kind = Cell::Kind::NamedObject;
  cell->value = object;
  cell->proc.reset();
  cell->cls.reset();
}

std::shared_ptr<const CompiledBlock> Interpreter::CompileCode(std::string_view code, const Proc* scope) {
  if (!scope) {
    auto it = code_cache_.find(code);
    if (it != code_cache_.end()) return it->second;
  }
  auto source = std::make_shared<const SourceText>(code);
  ast::Program program = ParseProgram(*source);
  Compiler compiler(*this, source, scope);
  std::shared_ptr<const CompiledBlock> block = compiler.CompileProgram(program);
  if (!scope) {
    if (code_cache_.size() >= kMaxCachedTexts) code_cache_.clear();
    code_cache_.emplace(std::string(code), block);
  }
  return block;
}

std::shared_ptr<const Interpreter::CompiledExpr> Interpreter::CompileExpr(std::string_view text, const Proc* scope) {
  if (!scope) {
    auto it = expr_cache_.find(text);
    if (it != expr_cache_.end()) return it->second;
  }
  auto compiled = std::make_shared<CompiledExpr>();
  compiled->source = std::make_shared<const SourceText>(text);
  ast::ExprPtr tree = ParseExpressionText(*compiled->source);
  Compiler compiler(*this, compiled->source, scope);
  compiled->expr = compiler.CompileExpression(*tree);
  if (!scope) {
    if (expr_cache_.size() >= kMaxCachedTexts) expr_cache_.clear();
    expr_cache_.emplace(std::string(text), compiled);
  }
  return compiled;
}

void Interpreter::Retire(Cell& cell) {
  if (depth_ == 0) return;
  if (cell.proc) retired_.push_back(cell.proc);
  if (cell.cls) retired_.push_back(cell.cls);
}

void Interpreter::Bind(const CompiledBlock& block) {
  for (const auto& [cell, proc] : block.procs) Retire(*cell);
  for (const auto& [cell, cls] : block.classes) Retire(*cell);
  for (const auto& [cell, value] : block.constants) {
    cell->kind = Cell::Kind::Constant;
    cell->value = value;
    cell->proc.reset();
    cell->cls.reset();
  }
  // A name declared again keeps its value: the same text is added again and again.
  for (const auto& g : block.globals) {
    Cell* cell = g.cell;
    if (cell->kind == Cell::Kind::Variable) continue;
    cell->kind = Cell::Kind::Variable;
    cell->proc.reset();
    cell->cls.reset();
    cell->value = g.is_array ? MakeArray(g.array, !g.array.dynamic) : Variant();
  }
  for (const auto& [cell, proc] : block.procs) {
    cell->kind = Cell::Kind::Procedure;
    cell->proc = proc;
    cell->cls.reset();
    cell->value = Variant();
  }
  for (const auto& [cell, cls] : block.classes) {
    cell->kind = Cell::Kind::Class;
    cell->cls = cls;
    cell->proc.reset();
    cell->value = Variant();
  }
}

void Interpreter::AddCode(std::string_view code) {
  if (depth_ == 0) retired_.clear();
  std::shared_ptr<const CompiledBlock> block = CompileCode(code, nullptr);
  Bind(*block);
  Frame f(*this);
  ExecBlock(block->body, f);
}

Variant Interpreter::Eval(std::string_view expression) {
  if (depth_ == 0) retired_.clear();
  std::shared_ptr<const CompiledExpr> compiled = CompileExpr(expression, nullptr);
  Frame f(*this);
  try {
    return compiled->expr->Eval(f);
  } catch (const LocatedError&) {
    throw;
  } catch (const VbError& e) {
    throw Locate(e, *compiled->source, compiled->expr->pos());
  } catch (const std::bad_alloc&) {
    throw Locate(VbError(7), *compiled->source, compiled->expr->pos());
  } catch (const std::exception& e) {
    // A host object's own C++ failure, reported as ExecBlock does.
    throw Locate(VbError(51, e.what()), *compiled->source, compiled->expr->pos());
  }
}

Variant Interpreter::Enter(const Proc& p, ScriptObject* me, Variant** slots) {
  DepthGuard guard(*this);
  // The instance must outlive its own method, even when the method drops
  // the last reference to it.
  ObjectRef keep = me ? me->shared_from_this() : nullptr;
  Frame f(*this);
  f.slots = slots;
  f.me = me;
  f.proc = &p;
  for (const FixedArray& a : p.arrays) *slots[a.slot] = MakeArray(a, !a.dynamic);
  ExecBlock(p.body, f);
  if (p.result_slot >= 0) return std::move(*slots[p.result_slot]);
  return Variant();
}

namespace {

// The arrays whose elements a call binds to ByRef parameters. Each is
// locked for the call (ReDim and Erase raise 10), so the elements stay where
// the parameters point, and is held alive even if the callee drops it.
class LockedArrays {
 public:
  explicit LockedArrays(std::vector<const VbArray*>& registry) : registry_(registry) {}
  LockedArrays(const LockedArrays&) = delete;
  LockedArrays& operator=(const LockedArrays&) = delete;
  ~LockedArrays() { registry_.resize(registry_.size() - held_.size()); }
  void Lock(ArrayRef array) {
    registry_.push_back(array.get());
    held_.push_back(std::move(array));
  }

 private:
  std::vector<const VbArray*>& registry_;
  std::vector<ArrayRef> held_;
};

}  // namespace

Variant Interpreter::CallProc(const Proc& p, ScriptObject* me, Frame& caller, const ExprList& args) {
  if (args.size() != p.param_count()) throw Runtime(vberr::kWrongArgumentCount, p.name);
  SlotBuffer buffer(p.slot_count);
  Variant** refs = buffer.refs();
  LockedArrays locked(locked_arrays_);
  for (size_t i = 0; i < args.size(); ++i) {
    if (!p.byval[i]) {
      if (Variant* ref = args[i]->VarRef(caller)) {
        refs[i] = ref;
        continue;
      }
      // An array element ("Inc a(1)") passes ByRef too.
      ArrayRef owner;
      if (Variant* element = args[i]->ElementRef(caller, &owner)) {
        refs[i] = element;
        if (owner) locked.Lock(std::move(owner));
        continue;
      }
    }
    buffer.values()[i] = CopyArrayIfShared(args[i]->Eval(caller));
  }
  return Enter(p, me, refs);
}

Variant Interpreter::CallProcValues(const Proc& p, ScriptObject* me, Args args) {
  if (args.size() != p.param_count()) throw Runtime(vberr::kWrongArgumentCount, p.name);
  SlotBuffer buffer(p.slot_count);
  Variant** refs = buffer.refs();
  for (size_t i = 0; i < args.size(); ++i) {
    if (p.byval[i]) {
      buffer.values()[i] = CopyArrayIfShared(args[i]);
    } else {
      refs[i] = &args[i];
    }
  }
  return Enter(p, me, refs);
}

ObjectRef Interpreter::NewObject(const Cell& cell) {
  if (cell.kind == Cell::Kind::Class) return NewScriptObject(*this, cell.cls);
  if (cell.kind == Cell::Kind::Undefined && IEquals(cell.name, "RegExp")) return CreateRegExp();
  throw Runtime(rerr::kClassNotDefined, cell.name);
}

ObjectRef Interpreter::err_ref() const { return err_; }

bool Interpreter::IsLocked(const VbArray& array) const {
  return std::find(locked_arrays_.begin(), locked_arrays_.end(), &array) != locked_arrays_.end();
}

ObjectRef Interpreter::global_object() {
  if (!global_object_) global_object_ = NewGlobalObject(*this);
  return global_object_;
}

void Interpreter::RecordError(const VbError& error) { err_->Set(error); }

Variant Interpreter::CallIntrinsic(Intrinsic which, Frame& f, const ExprList& args) {
  size_t max_args = which == Intrinsic::CreateObject ? 2 : 1;
  if (args.empty() || args.size() > max_args) throw Runtime(vberr::kWrongArgumentCount);
  Variant arg = args[0]->Eval(f);
  if (arg.IsObject()) arg = arg.Resolved();
  if (args.size() > 1) args[1]->Eval(f);
  std::string text = arg.ToString();
  // A syntax error in the text belongs to the statement that ran it: the
  // text has no place in the file of its own.
  auto unplaced = [](const LocatedError& e) { return VbError(e.number(), e.description(), e.source()); };
  switch (which) {
    case Intrinsic::Eval: {
      std::shared_ptr<const CompiledExpr> compiled;
      try {
        compiled = CompileExpr(text, f.proc);
      } catch (const LocatedError& e) {
        throw unplaced(e);
      }
      return compiled->expr->Eval(f);
    }
    case Intrinsic::Execute: {
      std::shared_ptr<const CompiledBlock> block;
      try {
        block = CompileCode(text, f.proc);
      } catch (const LocatedError& e) {
        throw unplaced(e);
      }
      Bind(*block);
      ExecBlock(block->body, f);
      return Variant();
    }
    case Intrinsic::ExecuteGlobal: {
      std::shared_ptr<const CompiledBlock> block;
      try {
        block = CompileCode(text, nullptr);
      } catch (const LocatedError& e) {
        throw unplaced(e);
      }
      Bind(*block);
      Frame global(*this);
      ExecBlock(block->body, global);
      return Variant();
    }
    case Intrinsic::GetRef: {
      Cell* cell = Intern(text);
      if (cell->kind != Cell::Kind::Procedure) throw Runtime(vberr::kInvalidCall);
      return Variant(NewProcRef(*this, cell->proc));
    }
    case Intrinsic::CreateObject:
      if (IEquals(text, "Scripting.Dictionary")) return Variant(CreateDictionary());
      if (IEquals(text, "VBScript.RegExp")) return Variant(CreateRegExp());
      throw Runtime(rerr::kCannotCreate, text);
    case Intrinsic::None:
      break;
  }
  throw Runtime(vberr::kTypeMismatch);
}

}  // namespace veldrane::vbs
