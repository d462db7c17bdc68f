// veldrane-script FILE.vbs [ARGS]: runs a script file the way a command-line
// script host does. An uncaught error is reported on standard error as
//   FILE(LINE, COL) SOURCE: DESCRIPTION (0x800A000D)
// and the exit status is 1; WScript.Quit n ends with status n.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "vbscript/interpreter.h"
#include "vbscript/objects/deep_stack.h"
#include "vbscript/runner/wscript.h"
#include "vbscript/script_control.h"

using namespace veldrane;
using namespace veldrane::vbs;

namespace {

constexpr size_t kScriptStackBytes = size_t{64} << 20;

std::string HexCode(int32_t number) {
  uint32_t code = number >= 0 && number <= 0xFFFF ? 0x800A0000u + static_cast<uint32_t>(number)
                                                   : static_cast<uint32_t>(number);
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", code);
  return buf;
}

int Report(const std::string& file, const ScriptError& e) {
  std::cout.flush();
  std::cerr << file << "(" << e.Line << ", " << e.Column << ") " << e.Source << ": " << e.Description << " ("
            << HexCode(e.Number) << ")\n";
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  if (argc < 2) {
    std::cerr << "usage: veldrane-script FILE.vbs [ARGS]\n";
    return 2;
  }
  std::string file = argv[1];
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::cerr << "veldrane-script: cannot open " << file << "\n";
    return 2;
  }
  std::stringstream buffer;
  buffer << in.rdbuf();
  std::string text = buffer.str();
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);

  std::vector<std::string> arguments(argv + 2, argv + argc);
  ScriptControl control;
  control.AddObject("WScript", Variant(NewWScript(file, std::move(arguments))));
  int status = 0;
  // Scripts run on a thread of their own with a stack that lets recursion
  // reach the engine's depth limit, as the native host's does; the main
  // thread's stack would stop it a few thousand levels down.
  auto run = [&] {
    try {
      control.AddCode(text);
      control.interpreter().ReleaseGlobals();
    } catch (const VbError&) {
      status = Report(file, control.Error());
    } catch (const QuitRequest& quit) {
      status = quit.code;
    }
  };
  try {
    RunOnStack(kScriptStackBytes, run);
  } catch (const VbError&) {
    // No such thread could be made (the work catches its own errors): the
    // main thread runs the script, and the engine's stack check still holds.
    run();
  }
  std::cout.flush();
  return status;
}
