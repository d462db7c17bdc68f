// The script host of clsProcess: the one VBScript engine of the thread,
// prepared with every SOURCE and TARGET step's rows under the step's caption,
// the step collection as "Steps" and the SQLExecute bridge, and asked for
// the value of formulas and lookup expressions.
//
// The engine is reset before every TARGET step of every record, so a formula
// never sees code or variables that an earlier step's formulas left behind.
// That stays cheap because the engine keeps its parses by text: the bridge
// and each formula are compiled once per thread, however often they are
// added again.
#include <algorithm>

#include "core/text.h"
#include "engine/cls_process.h"
#include "engine/run_state.h"
#include "formulas/c_formulas.h"
#include "history/cls_log.h"
#include "platform/db/ado.h"
#include "vbscript/script_control.h"

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

// Gives `object` to the engine under `name`, unless a name equal to it
// without regard to case was given since the reset: the first step with a
// caption keeps it. (The engine refuses such a name too; checking first
// spares it raising on every preparation.)
void AddNamedObject(vbs::ScriptControl& engine, std::vector<std::string>& given, const std::string& name,
                    const Variant& object) {
  std::string folded = ToLowerAscii(name);
  if (std::find(given.begin(), given.end(), folded) != given.end()) throw VbError::DuplicateKey();
  engine.AddObject(name, object);
  given.push_back(std::move(folded));
}

}  // namespace

Variant clsProcess::EvaluateValue(const std::string& value) {
  vbs::ScriptControl& engine = vbs::ScriptControl::ForThread();
  try {
    Variant result;
    if (Contains(value, "FORMULA!")) {
      std::string name = value.substr(8);
      tFormula* formula = Formulas()->Collection()->Find(name);
      if (!formula) {
        throw VbError(vberr::kInvalidCall, "Invalid procedure call or argument: there is no formula named '" + name + "'");
      }
      engine.AddCode(formula->formula);
      result = engine.Eval("Main");
    } else {
      result = engine.Eval(value);
    }
    // A value, not an object: a field read as SOURCE("F") gives its value.
    return result.Resolved();
  } catch (const VbError& e) {
    // A formula that fails is a failed record in the log; the mapping gets
    // the empty value and the transfer goes on.
    ++EnsureRunState(run_).failures_logged;
    gbLog->AddLog(e.description(), true, mFilename, std::to_string(e.number()), mStatistics.CurrRecord, true);
    return Variant();
  }
}

void clsProcess::PrepareScript() {
  vbs::ScriptControl& engine = vbs::ScriptControl::ForThread();
  std::vector<std::string>& given = EnsureRunState(run_).script_names;
  try {
    engine.Reset();
  } catch (const VbError&) {
    return;  // an engine that cannot be reset is left as it is, quietly
  }
  given.clear();
  // Each step's failure skips that step only: rows that will not open (the
  // step has logged why), or a caption the engine refuses or another step
  // already took.
  for (std::shared_ptr<cShape>& step : *Shapes()->Collection()) {
    try {
      std::shared_ptr<ado::Recordset> rows = step->data();
      if (rows) AddNamedObject(engine, given, step->sCaption(), Variant(ObjectRef(rows)));
    } catch (const VbError&) {
      // Deliberately skipped; see above.
    }
  }
  try {
    if (!mStepsByCaption) {
      mStepsByCaption = NewCollection<std::shared_ptr<cShape>>();
      // A duplicate caption stops the filling; the steps before it are kept.
      IndexStepsByCaption(*mStepsByCaption);
    }
  } catch (const VbError&) {
    // Deliberately absorbed: the partial collection is given to the engine.
  }
  try {
    AddNamedObject(engine, given, "Steps", Variant(ObjectRef(mStepsByCaption)));
  } catch (const VbError&) {
    // A step captioned Steps took the name first; formulas then reach it instead.
  }
  try {
    engine.AddCode(kSqlExecuteCode);
  } catch (const VbError&) {
    // A step captioned SQLExecute clashes with the bridge; formulas go without it.
  }
}

}  // namespace veldrane
