// cFormulas: the named formulas of one process, in the order they were added,
// keyed by name without regard to case.
//
// A formula is a piece of VBScript text defining Main; TARGET mappings refer
// to it as "FORMULA!" followed by its name. This class only holds them:
// evaluation and the designer's checks live beside it in this folder. A name
// already held is refused through the Error event, never raised, so that a
// document with a duplicate formula still loads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/collection.h"
#include "core/event.h"
#include "core/variant.h"
#include "model/designer_window.h"
#include "model/records.h"

namespace veldrane {

class cFormulas {
 public:
  cFormulas();

  // Raised with the failure's description when AddFormula refuses a formula.
  Event<const std::string&> Error;

  // Stores the designer window; nothing here draws on it.
  void Form(std::shared_ptr<DesignerWindow> window) { form_ = std::move(window); }

  // The number of formulas.
  int32_t Count() const { return collection_->Count(); }
  // The live collection; hosts remove formulas through it.
  CollectionRef<tFormula> Collection() const { return collection_; }

  // Adds a formula under its name. A name already held (in any case) or an
  // empty name is refused through Error; nothing is raised. Always returns
  // the empty value.
  Variant AddFormula(const std::string& xName, const std::string& xText);

 private:
  std::shared_ptr<DesignerWindow> form_;  // Form
  CollectionRef<tFormula> collection_;    // Collection
};

}  // namespace veldrane
