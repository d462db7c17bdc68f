// Compiled statements.
#include <optional>

#include "core/vb_error.h"
#include "vbscript/err_object.h"
#include "vbscript/interpreter.h"
#include "vbscript/nodes.h"
#include "vbscript/operators.h"
#include "vbscript/script_errors.h"

namespace veldrane::vbs {

namespace {

class Assign final : public Stmt {
 public:
  Assign(Pos pos, const SourceText* src, ExprPtr target, ExprPtr value, bool is_set)
      : Stmt(pos, src), target_(std::move(target)), value_(std::move(value)), is_set_(is_set) {}
  Flow Exec(Frame& f) const override {
    Variant v = value_->Eval(f);
    if (is_set_) {
      if (!v.IsObject()) throw VbError::ObjectRequired();
    } else if (v.IsObject() || v.IsArray()) {
      v = LetValue(std::move(v));
    }
    if (Variant* ref = target_->VarRef(f)) {
      *ref = std::move(v);
    } else {
      target_->Assign(f, std::move(v), is_set_);
    }
    return Flow::Normal;
  }

 private:
  ExprPtr target_, value_;
  bool is_set_;
};

// s = s & a & b: the common way to build a string. Appending in place keeps
// the loop linear instead of copying the whole text every time.
class Append final : public Stmt {
 public:
  Append(Pos pos, const SourceText* src, ExprPtr target, ExprList pieces)
      : Stmt(pos, src), target_(std::move(target)), pieces_(std::move(pieces)) {}
  Flow Exec(Frame& f) const override {
    if (pieces_.size() == 1) {
      // One piece: read it in place when it is a literal or a variable.
      Variant held;
      const Variant* piece = pieces_[0]->Peek(f);
      if (!piece) {
        held = pieces_[0]->Eval(f);
        piece = &held;
      }
      Variant* target = target_->VarRef(f);
      if (target && target != piece && target->IsString() && ops::AppendInPlace(*target, *piece)) return Flow::Normal;
      Variant result = ops::Concat(target_->Eval(f), *piece);
      target_->Assign(f, std::move(result), false);
      return Flow::Normal;
    }
    std::vector<Variant> values = EvalArgs(f, pieces_);
    Variant* target = target_->VarRef(f);
    bool plain = target && target->IsString();
    for (const Variant& v : values) plain = plain && !v.IsObject() && !v.IsArray();
    if (plain) {
      for (const Variant& v : values) ops::AppendInPlace(*target, v);
      return Flow::Normal;
    }
    Variant result = target_->Eval(f);
    for (const Variant& v : values) result = ops::Concat(result, v);
    target_->Assign(f, std::move(result), false);
    return Flow::Normal;
  }

 private:
  ExprPtr target_;
  ExprList pieces_;
};

class CallStmt final : public Stmt {
 public:
  CallStmt(Pos pos, const SourceText* src, ExprPtr call) : Stmt(pos, src), call_(std::move(call)) {}
  Flow Exec(Frame& f) const override {
    call_->Eval(f);
    return Flow::Normal;
  }

 private:
  ExprPtr call_;
};

// Runs the header of a compound statement (a condition, loop bounds, the
// object of a With, the subject of a Select). Under On Error Resume Next a
// failure is recorded and false returned: the run goes on with the next
// statement, which is the first one inside the block, as VBScript does.
template <class F>
bool Header(Frame& f, F&& run) {
  if (!f.resume_next) {
    run();
    return true;
  }
  try {
    run();
    return true;
  } catch (const VbError& e) {
    f.interp.RecordError(AsScriptError(e));
    return false;
  }
}

// The truth of a condition; nullopt when it failed under On Error Resume Next.
std::optional<bool> Condition(Frame& f, const Expr& cond) {
  if (!f.resume_next) return ops::Truth(cond.Eval(f));
  bool truth = false;
  if (!Header(f, [&] { truth = ops::Truth(cond.Eval(f)); })) return std::nullopt;
  return truth;
}

// The body of a loop whose header failed: it runs once and the loop ends.
Flow RunOnce(const StmtList& body, Frame& f, Flow exit) {
  Flow flow = ExecBlock(body, f);
  return flow == exit ? Flow::Normal : flow;
}

class If final : public Stmt {
 public:
  If(Pos pos, const SourceText* src, std::vector<Branch> branches, StmtList else_body)
      : Stmt(pos, src), branches_(std::move(branches)), else_(std::move(else_body)) {}
  Flow Exec(Frame& f) const override {
    for (const Branch& b : branches_) {
      if (Condition(f, *b.cond).value_or(true)) return ExecBlock(b.body, f);
    }
    return ExecBlock(else_, f);
  }

 private:
  std::vector<Branch> branches_;
  StmtList else_;
};

class Select final : public Stmt {
 public:
  Select(Pos pos, const SourceText* src, ExprPtr subject, std::vector<CaseBranch> cases, StmtList else_body)
      : Stmt(pos, src), subject_(std::move(subject)), cases_(std::move(cases)), else_(std::move(else_body)) {}
  Flow Exec(Frame& f) const override {
    Variant subject;
    if (!Header(f, [&] {
          subject = subject_->Eval(f);
          if (subject.IsObject()) subject = subject.Resolved();
        })) {
      return ExecBlock(cases_.empty() ? else_ : cases_.front().body, f);
    }
    // The subject is held like a variable: a constant Case value converts
    // it, but a constant subject does not convert the Case values.
    for (const CaseBranch& c : cases_) {
      for (const ExprPtr& value : c.values) {
        Variant v = value->Eval(f);
        std::optional<int> cmp = ops::CompareValues(subject, v, false, value->IsConstant(f));
        if (cmp && *cmp == 0) return ExecBlock(c.body, f);
      }
    }
    return ExecBlock(else_, f);
  }

 private:
  ExprPtr subject_;
  std::vector<CaseBranch> cases_;
  StmtList else_;
};

// A loop bound: numbers as they are, text converted, Null refused.
Variant LoopNumber(Variant v) {
  if (v.IsObject()) v = v.Resolved();
  if (v.IsNull()) throw VbError::InvalidUseOfNull();
  if (v.IsString()) return Variant(v.ToDouble());
  if (v.IsArray()) throw VbError::TypeMismatch();
  return v;
}

bool IsWhole(const Variant& v) {
  size_t i = v.storage().index();
  return i == 4 || i == 5;
}
int64_t Whole(const Variant& v) { return v.storage().index() == 4 ? v.AsInteger() : v.AsLong(); }

class For final : public Stmt {
 public:
  For(Pos pos, const SourceText* src, ExprPtr var, ExprPtr from, ExprPtr to, ExprPtr step, StmtList body)
      : Stmt(pos, src), var_(std::move(var)), from_(std::move(from)), to_(std::move(to)), step_(std::move(step)),
        body_(std::move(body)) {}
  Flow Exec(Frame& f) const override {
    Variant start, end, step;
    if (!Header(f, [&] {
          start = LoopNumber(from_->Eval(f));
          end = LoopNumber(to_->Eval(f));
          step = step_ ? LoopNumber(step_->Eval(f)) : Variant(static_cast<int16_t>(1));
        })) {
      // The body runs once; its Next then finds no loop to continue.
      Flow flow = ExecBlock(body_, f);
      if (flow == Flow::ExitFor) return Flow::Normal;
      if (flow != Flow::Normal) return flow;
      throw Runtime(rerr::kForNotInitialized);
    }
    bool up = *ops::CompareValues(step, Variant(static_cast<int16_t>(0)), false, false) >= 0;
    var_->Assign(f, std::move(start), false);
    // The usual loop: whole-number counter, bounds and step. The counter is
    // still read from and written to its variable every time round, so a body
    // that changes it behaves as it does in the general loop below.
    if (IsWhole(end) && IsWhole(step)) {
      int64_t last = Whole(end), by = Whole(step);
      while (true) {
        Variant* counter = var_->ElementRef(f, nullptr);
        if (!counter || !IsWhole(*counter)) break;  // the body changed its type: general loop
        int64_t current = Whole(*counter);
        if (by >= 0 ? current > last : current < last) return Flow::Normal;
        Flow flow = ExecBlock(body_, f);
        if (flow == Flow::ExitFor) return Flow::Normal;
        if (flow != Flow::Normal) return flow;
        counter = var_->ElementRef(f, nullptr);
        if (!counter || !IsWhole(*counter)) {
          if (counter) *counter = ops::Add(*counter, step);
          else var_->Assign(f, ops::Add(var_->Eval(f), step), false);
          break;
        }
        int64_t next = Whole(*counter) + by;
        bool was_long = counter->storage().index() == 5 || step.storage().index() == 5;
        if (!was_long && next >= INT16_MIN && next <= INT16_MAX) {
          *counter = Variant(static_cast<int16_t>(next));
        } else if (next >= INT32_MIN && next <= INT32_MAX) {
          *counter = Variant(static_cast<int32_t>(next));
        } else {
          *counter = Variant(static_cast<double>(next));
        }
      }
    }
    while (true) {
      Variant* counter = var_->ElementRef(f, nullptr);
      Variant current;
      if (!counter) current = var_->Eval(f);
      std::optional<int> c = ops::CompareValues(counter ? *counter : current, end, false, false);
      if (!c || (up ? *c > 0 : *c < 0)) break;
      Flow flow = ExecBlock(body_, f);
      if (flow == Flow::ExitFor) break;
      if (flow != Flow::Normal) return flow;
      counter = var_->ElementRef(f, nullptr);
      if (counter) {
        *counter = ops::Add(*counter, step);
      } else {
        var_->Assign(f, ops::Add(var_->Eval(f), step), false);
      }
    }
    return Flow::Normal;
  }

 private:
  ExprPtr var_, from_, to_, step_;
  StmtList body_;
};

class ForEach final : public Stmt {
 public:
  ForEach(Pos pos, const SourceText* src, ExprPtr var, ExprPtr group, StmtList body)
      : Stmt(pos, src), var_(std::move(var)), group_(std::move(group)), body_(std::move(body)) {}
  Flow Exec(Frame& f) const override {
    std::vector<Variant> items;
    if (!Header(f, [&] { items = Items(group_->Eval(f)); })) return RunOnce(body_, f, Flow::ExitFor);
    for (Variant& item : items) {
      bool is_object = item.IsObject();
      var_->Assign(f, is_object ? std::move(item) : CopyArrayIfShared(std::move(item)), is_object);
      Flow flow = ExecBlock(body_, f);
      if (flow == Flow::ExitFor) break;
      if (flow != Flow::Normal) return flow;
    }
    return Flow::Normal;
  }

 private:
  static std::vector<Variant> Items(const Variant& group);

  ExprPtr var_, group_;
  StmtList body_;
};

// The elements For Each visits: an array's with the first subscript
// varying fastest, a collection's in its own order.
std::vector<Variant> ForEach::Items(const Variant& group) {
  if (group.IsObject()) return ObjectFor(group)->Enumerate();
  if (!group.IsArray()) throw VbError::NotACollection();
  const VbArray& array = *group.AsArray();
  const std::vector<VbArray::Dim>& dims = array.dims();
  if (dims.size() < 2) return array.items();
  // Elements are stored with the last subscript varying fastest.
  std::vector<Variant> out;
  out.reserve(array.items().size());
  std::vector<size_t> stride(dims.size(), 1);
  for (size_t d = dims.size() - 1; d > 0; --d) stride[d - 1] = stride[d] * static_cast<size_t>(dims[d].count);
  std::vector<int32_t> index(dims.size(), 0);
  for (size_t n = 0; n < array.items().size(); ++n) {
    size_t at = 0;
    for (size_t d = 0; d < dims.size(); ++d) at += static_cast<size_t>(index[d]) * stride[d];
    out.push_back(array.items()[at]);
    for (size_t d = 0; d < dims.size() && ++index[d] == dims[d].count; ++d) index[d] = 0;
  }
  return out;
}

class Do final : public Stmt {
 public:
  Do(Pos pos, const SourceText* src, ast::LoopTest test, ExprPtr cond, StmtList body)
      : Stmt(pos, src), test_(test), cond_(std::move(cond)), body_(std::move(body)) {}
  Flow Exec(Frame& f) const override {
    bool pre = test_ == ast::LoopTest::PreWhile || test_ == ast::LoopTest::PreUntil;
    bool until = test_ == ast::LoopTest::PreUntil || test_ == ast::LoopTest::PostUntil;
    while (true) {
      if (pre) {
        std::optional<bool> truth = Condition(f, *cond_);
        if (!truth) return RunOnce(body_, f, Flow::ExitDo);
        if (*truth == until) break;
      }
      Flow flow = ExecBlock(body_, f);
      if (flow == Flow::ExitDo) break;
      if (flow != Flow::Normal) return flow;
      if (test_ != ast::LoopTest::None && !pre) {
        // A failed test at the foot of the loop ends it rather than spin.
        std::optional<bool> truth = Condition(f, *cond_);
        if (!truth || *truth == until) break;
      }
    }
    return Flow::Normal;
  }

 private:
  ast::LoopTest test_;
  ExprPtr cond_;
  StmtList body_;
};

class With final : public Stmt {
 public:
  With(Pos pos, const SourceText* src, ExprPtr object, StmtList body)
      : Stmt(pos, src), object_(std::move(object)), body_(std::move(body)) {}
  Flow Exec(Frame& f) const override {
    Variant object;
    Header(f, [&] {
      object = object_->Eval(f);
      if (!object.IsObject()) throw VbError::ObjectRequired();
    });
    f.with_stack.push_back(std::move(object));
    struct Pop {
      Frame& f;
      ~Pop() { f.with_stack.pop_back(); }
    } pop{f};
    return ExecBlock(body_, f);
  }

 private:
  ExprPtr object_;
  StmtList body_;
};

class Exit final : public Stmt {
 public:
  Exit(Pos pos, const SourceText* src, Flow flow) : Stmt(pos, src), flow_(flow) {}
  Flow Exec(Frame&) const override { return flow_; }

 private:
  Flow flow_;
};

class OnError final : public Stmt {
 public:
  OnError(Pos pos, const SourceText* src, bool resume_next) : Stmt(pos, src), resume_next_(resume_next) {}
  Flow Exec(Frame& f) const override {
    f.resume_next = resume_next_;
    f.interp.err().Clear();
    return Flow::Normal;
  }

 private:
  bool resume_next_;
};

class ReDim final : public Stmt {
 public:
  ReDim(Pos pos, const SourceText* src, bool preserve, std::vector<ReDimItem> items)
      : Stmt(pos, src), preserve_(preserve), items_(std::move(items)) {}
  Flow Exec(Frame& f) const override {
    for (const ReDimItem& item : items_) {
      std::vector<VbArray::Dim> dims;
      for (const ExprPtr& b : item.bounds) {
        int32_t upper = b->Eval(f).ToLong();
        if (upper < -1) throw VbError::SubscriptOutOfRange();
        dims.push_back(VbArray::Dim{0, upper + 1});
      }
      Variant* target = item.target->VarRef(f);
      if (!target) throw VbError::TypeMismatch();
      if (target->IsArray()) {
        VbArray& array = *target->AsArray();
        if (array.fixed || f.interp.IsLocked(array)) throw Runtime(rerr::kArrayLocked);
        if (preserve_ && !array.dims().empty()) {
          array.Redim(std::move(dims), true);
          continue;
        }
      }
      *target = Variant(ArrayRef(std::make_shared<VbArray>(std::move(dims))));
    }
    return Flow::Normal;
  }

 private:
  bool preserve_;
  std::vector<ReDimItem> items_;
};

class Erase final : public Stmt {
 public:
  Erase(Pos pos, const SourceText* src, ExprList targets) : Stmt(pos, src), targets_(std::move(targets)) {}
  Flow Exec(Frame& f) const override {
    for (const ExprPtr& t : targets_) {
      Variant* target = t->VarRef(f);
      if (!target || !target->IsArray()) throw VbError::TypeMismatch();
      VbArray& array = *target->AsArray();
      if (f.interp.IsLocked(array)) throw Runtime(rerr::kArrayLocked);
      if (array.fixed) {
        for (Variant& item : array.items()) item = Variant();
      } else {
        std::vector<VbArray::Dim> none;
        *target = Variant(ArrayRef(std::make_shared<VbArray>(std::move(none))));
      }
    }
    return Flow::Normal;
  }

 private:
  ExprList targets_;
};

}  // namespace

StmtPtr MakeAssign(Pos pos, const SourceText* src, ExprPtr target, ExprPtr value, bool is_set) {
  return std::make_unique<Assign>(pos, src, std::move(target), std::move(value), is_set);
}
StmtPtr MakeAppend(Pos pos, const SourceText* src, ExprPtr target, ExprList pieces) {
  return std::make_unique<Append>(pos, src, std::move(target), std::move(pieces));
}
StmtPtr MakeCallStmt(Pos pos, const SourceText* src, ExprPtr call) {
  return std::make_unique<CallStmt>(pos, src, std::move(call));
}
StmtPtr MakeIf(Pos pos, const SourceText* src, std::vector<Branch> branches, StmtList else_body) {
  return std::make_unique<If>(pos, src, std::move(branches), std::move(else_body));
}
StmtPtr MakeSelect(Pos pos, const SourceText* src, ExprPtr subject, std::vector<CaseBranch> cases, bool,
                   StmtList else_body) {
  return std::make_unique<Select>(pos, src, std::move(subject), std::move(cases), std::move(else_body));
}
StmtPtr MakeFor(Pos pos, const SourceText* src, ExprPtr var, ExprPtr from, ExprPtr to, ExprPtr step, StmtList body) {
  return std::make_unique<For>(pos, src, std::move(var), std::move(from), std::move(to), std::move(step), std::move(body));
}
StmtPtr MakeForEach(Pos pos, const SourceText* src, ExprPtr var, ExprPtr group, StmtList body) {
  return std::make_unique<ForEach>(pos, src, std::move(var), std::move(group), std::move(body));
}
StmtPtr MakeDo(Pos pos, const SourceText* src, ast::LoopTest test, ExprPtr cond, StmtList body) {
  return std::make_unique<Do>(pos, src, test, std::move(cond), std::move(body));
}
StmtPtr MakeWith(Pos pos, const SourceText* src, ExprPtr object, StmtList body) {
  return std::make_unique<With>(pos, src, std::move(object), std::move(body));
}
StmtPtr MakeExit(Pos pos, const SourceText* src, Flow flow) { return std::make_unique<Exit>(pos, src, flow); }
StmtPtr MakeOnError(Pos pos, const SourceText* src, bool resume_next) {
  return std::make_unique<OnError>(pos, src, resume_next);
}
StmtPtr MakeReDim(Pos pos, const SourceText* src, bool preserve, std::vector<ReDimItem> items) {
  return std::make_unique<ReDim>(pos, src, preserve, std::move(items));
}
StmtPtr MakeErase(Pos pos, const SourceText* src, ExprList targets) {
  return std::make_unique<Erase>(pos, src, std::move(targets));
}

}  // namespace veldrane::vbs
