// How the process object uses the script host (formulas/script_host.h):
// PrepareScript and EvaluateValue for the record transfer, and the
// designer's formula checks, CheckFormula and isFormulaUsed.
#include "core/text.h"
#include "engine/cls_process.h"
#include "engine/run_state.h"
#include "engine/step_data.h"
#include "engine/step_rows.h"
#include "formulas/c_formulas.h"
#include "localization/bas_utils.h"
#include "platform/db/sql_text.h"
#include "platform/db/target_select.h"

namespace veldrane {

void clsProcess::PrepareScript() {
  try {
    if (!mStepsByCaption) {
      mStepsByCaption = NewCollection<std::shared_ptr<cShape>>();
      // A duplicate caption stops the filling; the steps before it are kept.
      IndexStepsByCaption(*mStepsByCaption);
    }
  } catch (const VbError&) {
    // Deliberately absorbed: the partial collection is given to the engine.
  }
  EnsureRunState(run_).script_host.Prepare(*Shapes(), mStepsByCaption, StepDataRows::Instance());
}

Variant clsProcess::EvaluateValue(const std::string& value, bool* failed) {
  try {
    return EnsureRunState(run_).script_host.Evaluate(value, *Formulas());
  } catch (const VbError& e) {
    // A formula that fails is a failed record in the log; the mapping gets
    // the empty value and the transfer goes on.
    LogFailedRecord(e.description(), e.number());
    if (failed) *failed = true;
    return Variant();
  }
}

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
  try {
    // Every TARGET step shows the formula its table's columns: with its
    // lookup rows when it has key conditions, else with no row at all.
    for (auto& step : *Shapes()->Collection()) {
      if (step->objType != aStorage) continue;
      std::shared_ptr<const ado::TargetSelect> select = BuildTarget(*step);
      const auto* payload = std::get_if<tStorage>(&step->objElements);
      if (!select && payload) select = ado::SelectNoRow(ado::SafeIdentifier(payload->target));
      if (select) StepData::Of(*step).setTarget(std::move(select));
    }
    PrepareScript();
  } catch (const VbError& e) {
    // Not the engine's failure (the log's history row could not be written):
    // reported in the same form, without a source line.
    return e.description() + " - " + Translate(" - On Line ", "clsProcess") + "0";
  }
  return EnsureRunState(run_).script_host.Check(Text);
}

}  // namespace veldrane
