#include "cli/flow_text.h"

#include "core/text.h"
#include "engine/cls_process.h"
#include "platform/db/ado.h"

namespace veldrane::cli {

std::string TypeName(int16_t type) {
  static const char* const kNames[] = {"nothing", "start",  "process", "decission",     "storage", "data",
                                       "document", "processpredef", "window", "point", "stop"};
  if (type < 0 || type > 10) return "nothing";
  return kNames[type];
}

ValueText ParseValueText(const std::string& text) {
  ValueText value;
  if (text.empty()) return value;
  if (text.rfind("FORMULA", 0) == 0) {
    value.kind = ValueText::Kind::Formula;
    size_t bang = text.find("FORMULA!");
    value.formula = bang == std::string::npos ? std::string() : text.substr(bang + 8);
    return value;
  }
  // By position, as the transfer does: the caption before the first "(",
  // then one character skipped after it and two at the end.
  size_t paren = text.find('(');
  if (paren == std::string::npos || text.size() < paren + 3) {
    value.kind = ValueText::Kind::Unparsable;
    return value;
  }
  value.kind = ValueText::Kind::StepField;
  value.caption = text.substr(0, paren);
  value.field = text.substr(paren + 2, text.size() - paren - 4);
  return value;
}

std::string Show(const Variant& value) {
  if (value.IsNull()) return "NULL";
  if (value.IsEmpty()) return "(empty)";
  if (value.IsString()) return "'" + value.AsString() + "'";
  if (value.IsObject()) return "(object)";
  try {
    return value.ToString();
  } catch (const VbError&) {
    // Arrays and other values without a text form.
    return "(" + VarTypeName(value) + ")";
  }
}

}  // namespace veldrane::cli
