// connections.cnn: any bytes as the registry's file. Loading takes what it
// can or shows a message; what was loaded must save and load again alike.
#include <cstdlib>

#include "connections/connections.h"
#include "fuzz/fuzz_support.h"

using namespace veldrane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::QuietPrompts();
  fuzz::WriteScratch("connections.cnn", data, size);
  cConnections registry;
  try {
    registry.LoadConnections();
  } catch (const VbError&) {
    return 0;  // a name held twice stops the load
  }
  try {
    registry.SaveConnections();
  } catch (const VbError&) {
    std::abort();  // the scratch folder is writable: saving must work
  }
  cConnections again;
  try {
    again.LoadConnections();
  } catch (const VbError&) {
    std::abort();  // names we saved once each cannot clash
  }
  auto a = registry.ConnectionsList();
  auto b = again.ConnectionsList();
  if (a->Count() != b->Count()) std::abort();
  for (int32_t i = 1; i <= a->Count(); ++i) {
    if (a->Item(i).name != b->Item(i).name || a->Item(i).connString != b->Item(i).connString) std::abort();
  }
  return 0;
}
