// The interpreter: the engine state behind a ScriptControl. It owns the
// global names (Cells), the Err object and the cache of compiled texts, binds
// compiled blocks (procedures, classes, global Dims and Consts) and runs
// them, and calls script procedures with VBScript's argument passing (ByRef
// binds the caller's variable, ByVal copies).
//
// One interpreter per thread; nothing in it is locked.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/object.h"
#include "core/text.h"
#include "vbscript/code.h"
#include "vbscript/nodes.h"

namespace veldrane::vbs {

class ErrObject;

class Interpreter {
 public:
  Interpreter();
  ~Interpreter();
  Interpreter(const Interpreter&) = delete;
  Interpreter& operator=(const Interpreter&) = delete;

  // --- the host face (ScriptControl forwards here)
  // Empties every global name, the Err object and the depth counter; the
  // compiled-text cache stays (it holds no state).
  void Reset();
  void AddObject(std::string_view name, const Variant& object);
  // Compiles (or takes from the cache), binds and runs a code text. Raises
  // LocatedError.
  void AddCode(std::string_view code);
  // Evaluates an expression text in global scope. Raises LocatedError.
  Variant Eval(std::string_view expression);
  // Sets every global variable to Empty, so objects held by the script are
  // released (and their Class_Terminate runs) while the engine still works.
  void ReleaseGlobals();

  // --- used by compiled code
  // The Cell of a global name (created on first use, kept for the engine's life).
  Cell* Intern(std::string_view name);
  // Calls a script procedure with argument expressions of the caller.
  Variant CallProc(const Proc& p, ScriptObject* me, Frame& caller, const ExprList& args);
  // Calls a script procedure with values (dispatch, GetRef); ByRef
  // parameters bind to the given values.
  Variant CallProcValues(const Proc& p, ScriptObject* me, Args args);
  // New ClassName: a script class, else the built-in RegExp; 506 otherwise.
  ObjectRef NewObject(const Cell& cell);
  // Eval, Execute, ExecuteGlobal, GetRef, CreateObject.
  Variant CallIntrinsic(Intrinsic which, Frame& f, const ExprList& args);
  // True while an element of `array` is bound to a ByRef parameter of a
  // running call: the array may not be resized or erased (10).
  bool IsLocked(const VbArray& array) const;
  // Me outside a class (one object for the engine's life, so Me Is Me).
  ObjectRef global_object();
  // The Err object.
  ErrObject& err() { return *err_; }
  ObjectRef err_ref() const;
  // Sets Err from an error that On Error Resume Next absorbed.
  void RecordError(const VbError& error);
  // Counts script calls; raises 28 past kMaxDepth or when the thread's
  // stack is nearly used up, so deep recursion never overflows it.
  struct DepthGuard {
    explicit DepthGuard(Interpreter& i);
    ~DepthGuard() { --interp.depth_; }
    Interpreter& interp;
  };
  // A handle that script objects keep to call back into the engine safely.
  std::weak_ptr<Interpreter*> handle() const { return self_; }

  // Number of texts in the compiled cache (for tests).
  size_t cached_texts() const { return code_cache_.size() + expr_cache_.size(); }

  // Script calls that may be nested before 28, "Out of stack space". A
  // plain recursive function takes one to two KB of stack per level, so
  // this depth needs about 40 MB; on a thread with less, the stack check of
  // DepthGuard raises 28 first (an 8 MB thread stops near 5,000 levels).
  static constexpr int kMaxDepth = 20000;

 private:
  struct CompiledExpr {
    SourceRef source;
    ExprPtr expr;
  };
  std::shared_ptr<const CompiledBlock> CompileCode(std::string_view code, const Proc* scope);
  std::shared_ptr<const CompiledExpr> CompileExpr(std::string_view text, const Proc* scope);
  void Bind(const CompiledBlock& block);
  Variant Enter(const Proc& p, ScriptObject* me, Variant** slots);

  // Keeps a procedure or class that a rebinding replaced while script code
  // was running (ExecuteGlobal redefining the running Main): freed once no
  // script code runs any more.
  void Retire(Cell& cell);

  NameMap<std::unique_ptr<Cell>> cells_;
  std::vector<std::shared_ptr<const void>> retired_;
  std::unordered_map<std::string, std::shared_ptr<const CompiledBlock>, TextHash, std::equal_to<>> code_cache_;
  std::unordered_map<std::string, std::shared_ptr<const CompiledExpr>, TextHash, std::equal_to<>> expr_cache_;
  std::shared_ptr<ErrObject> err_;
  ObjectRef global_object_;
  std::vector<const VbArray*> locked_arrays_;  // see IsLocked
  std::shared_ptr<Interpreter*> self_;
  int depth_ = 0;
};

}  // namespace veldrane::vbs
