// The designer's formula checks on clsProcess: CheckFormula tries a formula
// text against the steps before it is stored; isFormulaUsed tells whether a
// TARGET mapping refers to a formula.
#include "core/text.h"
#include "engine/cls_process.h"
#include "engine/run_state.h"
#include "engine/target_query.h"
#include "formulas/script_engine_use.h"
#include "localization/bas_utils.h"
#include "platform/db/sql_text.h"
#include "vbscript/script_control.h"

namespace veldrane {

bool clsProcess::isFormulaUsed(const std::string& formulaname) {
  for (auto& step : *Shapes()->Collection()) {
    if (step->objType != aStorage) continue;
    const auto* payload = std::get_if<tStorage>(&step->objElements);
    if (!payload || !payload->fields) continue;
    for (const tFields& field : *payload->fields) {
      // The name is what follows the first eight characters, compared exactly.
      if (Contains(field.f_value, "FORMULA!") && field.f_value.substr(8) == formulaname) return true;
    }
  }
  return false;
}

std::string clsProcess::CheckFormula(const std::string& Text) {
  vbs::ScriptControl& engine = vbs::ScriptControl::ForThread();
  try {
    // Every TARGET step shows the formula its table's columns: with its
    // lookup rows when it has key conditions, else with no row at all.
    for (auto& step : *Shapes()->Collection()) {
      if (step->objType != aStorage) continue;
      std::string query = BuildQuery(*step);
      const RunState& run = EnsureRunState(run_);
      const auto* payload = std::get_if<tStorage>(&step->objElements);
      if (run.lookup_null && payload) {
        step->setQuery(SelectNothing(ado::SafeIdentifier(payload->target)));
      } else {
        step->setQuery(TargetQuery(query, run.query_keyed));
      }
    }
    PrepareScript();
  } catch (const VbError& e) {
    // Not the engine's failure (the log's history row could not be written):
    // reported in the same form, without a source line.
    return e.description() + " - " + Translate(" - On Line ", "clsProcess") + "0";
  }

  try {
    MarkScriptEngineUsed();
    engine.AddCode(Text);
    engine.Eval("Main");
    return std::string();
  } catch (const VbError& e) {
    const vbs::ScriptError& error = engine.Error();
    // A column read from a TARGET step without rows: the text is fine.
    if (error.Number == vberr::kNoCurrentRecord) return std::string();
    return error.Description + " - " + error.Text + Translate(" - On Line ", "clsProcess") + std::to_string(error.Line);
  }
}

}  // namespace veldrane
