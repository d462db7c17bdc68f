// The WScript object of the command-line runner: Echo writes a line to
// standard output (arguments joined by one blank), Arguments holds the
// command-line arguments, Quit ends the script with a status.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/object.h"

namespace veldrane::vbs {

// Thrown by WScript.Quit; not a VbError, so no On Error absorbs it.
struct QuitRequest {
  int code = 0;
};

// `script_path` is the path as given on the command line.
ObjectRef NewWScript(std::string script_path, std::vector<std::string> arguments);

}  // namespace veldrane::vbs
