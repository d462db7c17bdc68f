// Reading a loaded integration the way the run reads it, for the commands
// that explain a document (check, preview): step types by name, value texts
// taken apart, and values shown to a user. The walk from START is the
// engine's own (clsProcess::PlanFlow).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/variant.h"
#include "model/c_shape.h"
#include "model/records.h"

namespace veldrane::cli {

// "start", "storage", ... as the document names step types; "nothing" for 0.
std::string TypeName(int16_t type);

// A mapping's value text taken apart as the record transfer parses it.
struct ValueText {
  enum class Kind { Empty, Formula, StepField, Unparsable };
  Kind kind = Kind::Empty;
  std::string formula;  // Formula: the name after "FORMULA!"
  std::string caption;  // StepField: the step named
  std::string field;    // StepField: the column named
};
ValueText ParseValueText(const std::string& text);

// A value for a user: strings quoted, Null as NULL, Empty as (empty).
std::string Show(const Variant& value);

}  // namespace veldrane::cli
