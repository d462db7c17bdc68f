// Formula checks of clsProcess for the designer. First version:
// isFormulaUsed is complete; CheckFormula raises until the script host lands.
#include "core/text.h"
#include "engine/cls_process.h"

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

std::string clsProcess::CheckFormula(const std::string&) {
  throw VbError(vberr::kNotSupported, "clsProcess.CheckFormula is not implemented yet");
}

}  // namespace veldrane
