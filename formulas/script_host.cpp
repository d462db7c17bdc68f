// The script host of clsProcess. First version: entry points only; both
// raise until the host lands.
#include "engine/cls_process.h"

namespace veldrane {

Variant clsProcess::EvaluateValue(const std::string&) {
  throw VbError(vberr::kNotSupported, "clsProcess.EvaluateValue is not implemented yet");
}

void clsProcess::PrepareScript() {
  throw VbError(vberr::kNotSupported, "clsProcess.PrepareScript is not implemented yet");
}

}  // namespace veldrane
