// The integration document reader and writer: any bytes as a document. The
// reader must answer with a load error, a raised error or a model, never a
// crash; a model it read must save as a document that reads again.
#include <cstdlib>

#include "engine/cls_process.h"
#include "fuzz/fuzz_support.h"

using namespace veldrane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::QuietPrompts();
  std::string path = fuzz::WriteScratch("document.xml", data, size);
  auto process = std::make_shared<clsProcess>();
  try {
    if (!process->LoadIntegration(path).empty()) return 0;
  } catch (const VbError&) {
    return 0;  // a document that does not fit the format ends the load with an error
  }
  std::string saved = fuzz::ScratchFolder() + "/saved.xml";
  process->SaveIntegration(saved);
  auto again = std::make_shared<clsProcess>();
  try {
    // What we wrote is well-formed XML whatever the model held.
    if (!again->LoadIntegration(saved).empty()) std::abort();
  } catch (const VbError&) {
    // Structural refusals (too many steps for the counters) are the reader's
    // right; the text itself was read.
  }
  return 0;
}
