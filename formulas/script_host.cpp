// The script host: the one VBScript engine of the thread, prepared with
// every SOURCE and TARGET step's rows under the step's caption, the step
// collection as "Steps" and the SQLExecute bridge, and asked for the value
// of formulas and lookup expressions.
//
// The engine is prepared afresh before every TARGET step of every record, so
// a formula never sees code, variables or errors that an earlier step's
// formulas left behind. That stays cheap in two ways. The engine keeps its
// parses by text: the bridge and each formula are compiled once per thread,
// however often they are added again. And when nothing has run on the engine
// since this process prepared it (no formula, no failed evaluation, no
// other host), a reset would only give it the same names again: then the
// step rows it holds, given through stand-ins, are simply pointed at the
// rows each step has now.
#include <algorithm>

#include "formulas/script_host.h"

#include "core/text.h"
#include "formulas/c_formulas.h"
#include "localization/bas_utils.h"
#include "model/c_shape.h"
#include "model/c_shapes.h"
#include "platform/db/ado.h"
#include "vbscript/lexer.h"
#include "vbscript/script_control.h"
#include "vbscript/script_errors.h"

namespace veldrane {

namespace {

// The bridge through which formulas query a step's connection. Lines are
// separated by a lone carriage return; the text is kept as it has always
// been written, trailing blanks included.
constexpr const char* kSqlExecuteCode =
    "Private Function SQLExecute(Step, sql, FIELD)\r"
    "   Dim returnVal\r"
    "   Dim strField \r"
    "   Dim strSql  \r"
    "   strSql = sql\r"
    "   strField = FIELD   \r"
    "   SQLExecute =  Steps(Step).ExecuteSql(strSql,strField)\r"
    "End Function";

// Whether the thread's engine holds exactly what a preparation gave it: who
// prepared it, and the number of uses since that may have left code,
// variables or an error behind.
struct EngineUse {
  const ScriptHost* prepared_for = nullptr;
  uint64_t uses = 0;
  uint64_t uses_at_preparation = 0;
};
thread_local EngineUse t_engine;

void EngineUsed() { ++t_engine.uses; }

// True when evaluating `expression` without failure leaves the engine as it
// was: expressions cannot declare or assign, and the bridge and the
// built-ins keep nothing in the engine; only Execute and ExecuteGlobal run
// code.
bool LeavesEngineAsItWas(std::string_view expression) {
  static constexpr std::string_view kRunsCode = "execute";
  for (size_t i = 0; i + kRunsCode.size() <= expression.size(); ++i) {
    if (IEquals(expression.substr(i, kRunsCode.size()), kRunsCode)) return false;
  }
  return true;
}

// A lookup expression that only reads a step's field, Name("Field"): a
// plain script name, then one string literal without doubled quotes.
struct FieldRead {
  std::string_view name;
  std::string_view field;
};

bool ParseFieldRead(std::string_view text, FieldRead& read) {
  size_t i = 0;
  auto blanks = [&] {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  };
  auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  blanks();
  size_t start = i;
  if (i == text.size() || !letter(text[i])) return false;
  while (i < text.size() && (letter(text[i]) || (text[i] >= '0' && text[i] <= '9') || text[i] == '_')) ++i;
  read.name = text.substr(start, i - start);
  blanks();
  if (i == text.size() || text[i++] != '(') return false;
  blanks();
  if (i == text.size() || text[i++] != '"') return false;
  size_t close = text.find('"', i);
  if (close == std::string_view::npos) return false;
  read.field = text.substr(i, close - i);
  i = close + 1;
  // A doubled quote is a quote inside the literal: left to the engine.
  if (i < text.size() && text[i] == '"') return false;
  blanks();
  if (i == text.size() || text[i++] != ')') return false;
  blanks();
  return i == text.size();
}

}  // namespace

const ScriptHost::ScriptObject* ScriptHost::PreparedStep(std::string_view name) const {
  if (t_engine.prepared_for != this || t_engine.uses != t_engine.uses_at_preparation || !rows_source_) return nullptr;
  for (const ScriptObject& object : objects_) {
    if (!IEquals(object.name, name)) continue;
    // Steps is given as it is, a step through its stand-in. A keyword that
    // may name an object (Step, Error...) is the engine's to read.
    return object.step && !object.keyword ? &object : nullptr;
  }
  return nullptr;
}

ScriptHost::~ScriptHost() {
  // The engine may outlive this host: it must not take a later host for this one.
  if (t_engine.prepared_for == this) t_engine.prepared_for = nullptr;
}

Variant ScriptHost::Evaluate(const std::string& value, cFormulas& formulas) {
  vbs::ScriptControl& engine = vbs::ScriptControl::ForThread();
  const tFormula* running = nullptr;  // the formula evaluated, for the description
  try {
    Variant result;
    if (Contains(value, "FORMULA!")) {
      std::string name = value.substr(8);
      tFormula* formula = formulas.Collection()->Find(name);
      if (!formula) {
        throw VbError(vberr::kInvalidCall, "Invalid procedure call or argument: there is no formula named '" + name + "'");
      }
      EngineUsed();
      running = formula;
      engine.AddCode(formula->formula);
      result = engine.Eval("Main");
    } else {
      // The usual lookup, SOURCE("ID"), read as the engine would read it
      // (the named object's default member, failures as the engine reports
      // them) without compiling and running it: a record evaluates one per
      // key mapping.
      FieldRead read;
      if (ParseFieldRead(value, read)) {
        if (const ScriptObject* step = PreparedStep(read.name)) {
          try {
            return rows_source_->FieldValue(*step->given, read.field);
          } catch (const VbError& e) {
            throw vbs::AsScriptError(e);
          } catch (const std::bad_alloc&) {
            throw vbs::AsScriptError(VbError(7));
          } catch (const std::exception& e) {
            throw vbs::AsScriptError(VbError(51, e.what()));
          }
        }
      }
      if (!LeavesEngineAsItWas(value)) EngineUsed();
      result = engine.Eval(value);
    }
    // A value, not an object: a field read as SOURCE("F") gives its value.
    return result.Resolved();
  } catch (const VbError& e) {
    EngineUsed();  // the engine's error state
    if (!running) throw;
    // Which formula, and where in it: a description alone ("Division by
    // zero") leaves the user to guess among them.
    int32_t line = engine.Error().Number != 0 ? engine.Error().Line : 0;
    throw VbError(e.number(), e.description() + " (formula " + running->name +
                                  (line > 0 ? ", line " + std::to_string(line) : std::string()) + ")",
                  e.source());
  }
}

std::string ScriptHost::Check(const std::string& text) {
  vbs::ScriptControl& engine = vbs::ScriptControl::ForThread();
  try {
    EngineUsed();
    engine.AddCode(text);
    engine.Eval("Main");
    return std::string();
  } catch (const VbError&) {
    const vbs::ScriptError& error = engine.Error();
    // A column read from a TARGET step without rows: the text is fine.
    if (error.Number == vberr::kNoCurrentRecord) return std::string();
    return error.Description + " - " + error.Text + Translate(" - On Line ", "clsProcess") + std::to_string(error.Line);
  }
}

bool ScriptHost::PreparedAsBefore(cShapes& shapes, const CollectionRef<std::shared_ptr<cShape>>& steps_by_caption,
                                  StepRowsSource& steps_rows) {
  // Nothing ran on the engine since this process prepared it, and it was
  // given the steps there are, in order, under their captions, with their
  // connections open: a new preparation would only point the stand-ins at
  // the steps' rows of now. (Anything else, duplicate captions included,
  // takes the full way.)
  if (t_engine.prepared_for != this || t_engine.uses != t_engine.uses_at_preparation || !steps_by_caption ||
      objects_.empty() || objects_.back().current != ObjectRef(steps_by_caption)) {
    return false;
  }
  const size_t steps = objects_.size() - 1;
  size_t k = 0;
  for (const std::shared_ptr<cShape>& step : *shapes.Collection()) {
    if (step->objType != aData && step->objType != aStorage) continue;
    if (k >= steps || objects_[k].current.get() != step.get() || objects_[k].name != step->sCaption() ||
        !steps_rows.Connected(*step)) {
      return false;
    }
    ++k;
  }
  if (k != steps) return false;
  for (size_t i = 0; i < steps; ++i) {
    ScriptObject& had = objects_[i];
    steps_rows.Point(*had.given, had.step);
  }
  return true;
}

void ScriptHost::Prepare(cShapes& shapes, const CollectionRef<std::shared_ptr<cShape>>& steps_by_caption,
                         StepRowsSource& steps_rows) {
  vbs::ScriptControl& engine = vbs::ScriptControl::ForThread();
  rows_source_ = &steps_rows;
  if (PreparedAsBefore(shapes, steps_by_caption, steps_rows)) return;

  // What the engine is to know: each SOURCE and TARGET step's rows under
  // its caption, then Steps. A step whose connection will not open (it has
  // logged why) is left out; of steps with one caption the first keeps it.
  struct Wanted {
    const std::string* name;  // valid for this call
    ObjectRef object;         // the step, or Steps
  };
  std::vector<Wanted> wanted;
  wanted.reserve(objects_.size());
  auto want = [&](const std::string& name, ObjectRef object) {
    for (const Wanted& w : wanted) {
      if (IEquals(*w.name, name)) return;
    }
    wanted.push_back({&name, std::move(object)});
  };
  for (std::shared_ptr<cShape>& step : *shapes.Collection()) {
    if (steps_rows.Connect(*step)) want(step->sCaption(), step);
  }
  static const std::string kSteps = "Steps";
  want(kSteps, steps_by_caption);

  t_engine.prepared_for = nullptr;
  objects_.clear();
  try {
    engine.Reset();
  } catch (const VbError&) {
    return;  // an engine that cannot be reset is left as it is, quietly
  }
  for (Wanted& w : wanted) {
    // Steps goes to the engine as it is; step rows through a stand-in.
    bool is_steps = w.object == ObjectRef(steps_by_caption);
    std::shared_ptr<cShape> step = is_steps ? nullptr : std::static_pointer_cast<cShape>(w.object);
    ObjectRef given = is_steps ? w.object : steps_rows.StandIn(step);
    try {
      engine.AddObject(*w.name, Variant(given));
      bool keyword = vbs::KeywordOf(*w.name) != vbs::Kw::None;
      objects_.push_back({*w.name, std::move(given), std::move(w.object), std::move(step), keyword});
    } catch (const VbError&) {
      // A caption the engine refuses: that step is not given to it.
    }
  }
  try {
    engine.AddCode(kSqlExecuteCode);
  } catch (const VbError&) {
    // A step captioned SQLExecute clashes with the bridge; formulas go without it.
  }
  t_engine.prepared_for = this;
  t_engine.uses_at_preparation = t_engine.uses;
}

}  // namespace veldrane
