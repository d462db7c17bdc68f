// The compiled form of a script: what the compiler makes of the syntax tree
// and the interpreter runs. Names are resolved at compile time: a local
// variable is a slot of its frame, a class field an index into the instance,
// and any other name a Cell, the engine's one entry for that global name.
// Cells live as long as the engine (Reset empties them), so compiled code
// can be cached by its text and bound again after a Reset.
//
// Expressions and statements are small node objects with one virtual entry
// each (Eval, Exec): the tree is walked directly, without string lookups or
// allocations on the common paths.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/object.h"
#include "core/text.h"
#include "core/variant.h"
#include "vbscript/source_text.h"

namespace veldrane::vbs {

class Interpreter;
class ScriptObject;
struct Proc;
struct ClassDef;

// Case-insensitive, transparent hashing for name tables.
struct NameHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return IHash{}(s); }
};
struct NameEq {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return IEquals(a, b); }
};
template <class V>
using NameMap = std::unordered_map<std::string, V, NameHash, NameEq>;

// One global name of the engine.
struct Cell {
  enum class Kind : uint8_t { Undefined, Variable, Constant, Procedure, Class, NamedObject };
  Kind kind = Kind::Undefined;
  Variant value;                          // Variable, Constant, NamedObject
  std::shared_ptr<const Proc> proc;       // Procedure
  std::shared_ptr<const ClassDef> cls;    // Class
  std::string name;                       // as first written
};

// What a running procedure (or top-level code) needs.
struct Frame {
  explicit Frame(Interpreter& i) : interp(i) {}
  Interpreter& interp;
  Variant** slots = nullptr;        // locals; a ByRef parameter points at the caller's variable
  ScriptObject* me = nullptr;       // the instance of a class method
  const Proc* proc = nullptr;       // null for top-level code
  bool resume_next = false;         // On Error Resume Next is in force
  std::vector<Variant> with_stack;  // objects of the enclosing With blocks
};

enum class Flow : uint8_t { Normal, ExitDo, ExitFor, ExitProc };

class Expr {
 public:
  explicit Expr(Pos pos) : pos_(pos) {}
  virtual ~Expr() = default;
  // The value; an object stays an object (callers resolve where they need a value).
  virtual Variant Eval(Frame& f) const = 0;
  // The variable this expression names, for ByRef arguments; nullptr when
  // it is not a plain variable (the argument then passes by value).
  virtual Variant* VarRef(Frame&) const { return nullptr; }
  // The storage this expression names, including array elements (for
  // assignments through nested subscripts and ByRef arguments); nullptr
  // when none. For an element, `owner` (when given) receives the array
  // that holds it.
  virtual Variant* ElementRef(Frame& f, ArrayRef* owner) const {
    (void)owner;
    return VarRef(f);
  }
  // Assigns `value` (already a Let value or an object for Set).
  virtual void Assign(Frame& f, Variant value, bool is_set) const;
  // The value in place, without a copy, when this expression is a variable
  // or literal whose storage can be read directly; nullptr otherwise. The
  // pointer is valid until the next script code runs.
  virtual const Variant* Peek(Frame&) const { return nullptr; }
  // True for literals and named constants (the comparison rule).
  virtual bool IsConstant(const Frame&) const { return false; }
  Pos pos() const { return pos_; }

 private:
  Pos pos_;
};
using ExprPtr = std::unique_ptr<Expr>;
using ExprList = std::vector<ExprPtr>;

class Stmt {
 public:
  Stmt(Pos pos, const SourceText* source) : pos_(pos), source_(source) {}
  virtual ~Stmt() = default;
  virtual Flow Exec(Frame& f) const = 0;
  Pos pos() const { return pos_; }
  const SourceText& source() const { return *source_; }

 private:
  Pos pos_;
  const SourceText* source_;  // kept alive by the block or procedure that owns the statement
};
using StmtPtr = std::unique_ptr<Stmt>;
using StmtList = std::vector<StmtPtr>;

// Runs statements in order; turns the first error into a located one, and
// under On Error Resume Next records it in Err and goes on.
Flow ExecBlock(const StmtList& list, Frame& f);

enum class ProcKind : uint8_t { Sub, Function, PropertyGet, PropertyLet, PropertySet };

// A fixed-size array declared with Dim: its upper bounds.
struct FixedArray {
  int slot = -1;                // local slot or field index
  bool dynamic = false;         // Dim a(): an array without elements
  std::vector<int32_t> bounds;  // upper bounds
};

struct Proc {
  std::string name;
  ProcKind kind = ProcKind::Sub;
  bool is_public = true;
  std::vector<bool> byval;              // one per parameter
  int slot_count = 0;                   // parameters, then the result, then locals
  int result_slot = -1;                 // Function and Property Get
  std::vector<FixedArray> arrays;       // local arrays made at entry
  NameMap<int> locals;                  // every local name, for Eval and Execute inside the procedure
  NameMap<Variant> constants;           // local Const values
  NameMap<int> implicits;               // names assigned without Dim: slot used when no global exists
  const ClassDef* owner = nullptr;      // the class of a method
  bool option_explicit = false;
  StmtList body;
  SourceRef source;
  size_t param_count() const { return byval.size(); }
};

// A member of a script class.
struct ClassMember {
  int field = -1;                       // a variable
  std::shared_ptr<const Proc> method;   // Sub or Function
  std::shared_ptr<const Proc> get, let, set;
  bool is_public = true;
};

struct ClassDef {
  std::string name;
  std::vector<std::string> field_names;
  std::vector<FixedArray> arrays;       // fields that are arrays
  NameMap<ClassMember> members;
  const ClassMember* default_member = nullptr;
  std::shared_ptr<const Proc> initialize, terminate;
  std::vector<std::shared_ptr<const Proc>> procs;  // keeps every procedure alive
  SourceRef source;
};

// A compiled code text: what AddCode, ExecuteGlobal and the runner bind and run.
struct CompiledBlock {
  SourceRef source;
  StmtList body;
  struct Global {
    Cell* cell;
    FixedArray array;  // slot unused; bounds when is_array
    bool is_array = false;
  };
  std::vector<Global> globals;                                  // Dim, Public, Private at top level
  std::vector<std::pair<Cell*, Variant>> constants;              // Const at top level
  std::vector<std::pair<Cell*, std::shared_ptr<const Proc>>> procs;
  std::vector<std::pair<Cell*, std::shared_ptr<const ClassDef>>> classes;
};

// A copy of a value; the plain numeric subtypes without the generic
// variant machinery (the hot path of every variable read).
inline Variant CopyValue(const Variant& v) {
  switch (v.storage().index()) {
    case 0: return Variant();
    case 2: return Variant(v.AsBool());
    case 4: return Variant(v.AsInteger());
    case 5: return Variant(v.AsLong());
    case 7: return Variant(v.AsDouble());
    default: return v;
  }
}

// A new array for a Dim declaration.
Variant MakeArray(const FixedArray& decl, bool fixed);

// The value stored by a Let: objects read through their default member,
// arrays copied (VBScript arrays are values).
Variant LetValue(Variant v);
// An array is copied unless `v` holds the only reference to it.
Variant CopyArrayIfShared(Variant v);

}  // namespace veldrane::vbs
