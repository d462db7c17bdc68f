// Record transfer of clsProcess. First version: entry points only; both
// raise until the transfer lands.
#include "engine/cls_process.h"

namespace veldrane {

std::string clsProcess::BuildQuery(cShape&) {
  throw VbError(vberr::kNotSupported, "clsProcess.BuildQuery is not implemented yet");
}

void clsProcess::TransferRecord(cShape&) {
  throw VbError(vberr::kNotSupported, "clsProcess.TransferRecord is not implemented yet");
}

}  // namespace veldrane
