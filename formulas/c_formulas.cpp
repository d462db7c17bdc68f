#include "formulas/c_formulas.h"

namespace veldrane {

cFormulas::cFormulas() : collection_(NewCollection<tFormula>()) {}

Variant cFormulas::AddFormula(const std::string& xName, const std::string& xText) {
  // The collection would take an empty name as "no key": the formula could
  // then never be found by name, and any number of them could pile up.
  if (xName.empty()) {
    Error(VbError::InvalidCall().description());
    return Variant();
  }
  // A designer request: a refused formula is reported through the event and
  // the caller (a document load among them) carries on.
  try {
    collection_->Add(tFormula{xName, xText}, xName);
  } catch (const VbError& e) {
    Error(e.description());
  }
  return Variant();
}

}  // namespace veldrane
