// The run driver of clsProcess. First version: entry points only, so that
// the library links while the driver is written; every run operation raises
// until it lands.
#include "engine/cls_process.h"
#include "engine/run_state.h"

namespace veldrane {

namespace {
[[noreturn]] void NotYet(const char* what) {
  throw VbError(vberr::kNotSupported, std::string("clsProcess.") + what + " is not implemented yet");
}
}  // namespace

int16_t clsProcess::RunFile(const std::string&) { NotYet("RunFile"); }
int16_t clsProcess::Run() { NotYet("Run"); }
int16_t clsProcess::RunRecord() { NotYet("RunRecord"); }
int16_t clsProcess::RunNextRecord() { NotYet("RunNextRecord"); }

int16_t clsProcess::CancelExec() {
  mCancel = true;
  return 0;
}

void clsProcess::CommitSize(int32_t records) {
  if (records < 1) throw VbError::InvalidCall("CommitSize must be at least 1, not " + std::to_string(records));
  commit_size_ = records;
}

void clsProcess::StartProcess(bool) { NotYet("StartProcess"); }
void clsProcess::ProcessRecords() { NotYet("ProcessRecords"); }
void clsProcess::ProcessRecord() { NotYet("ProcessRecord"); }

}  // namespace veldrane
