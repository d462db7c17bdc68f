// The built-in functions of the VBScript engine, as a table the compiler
// resolves names against (case-insensitive). Each group of functions lives in
// its own file (builtins_strings.cpp, builtins_math.cpp, builtins_dates.cpp,
// builtins_conversion.cpp, builtins_format.cpp, builtins_arrays.cpp,
// builtins_inspection.cpp) and exposes its table; builtins.cpp joins them.
//
// Functions that need the running interpreter (Eval, Execute,
// ExecuteGlobal, GetRef, CreateObject) are the interpreter's own and are
// not in these tables.
#pragma once

#include <span>
#include <string_view>

#include "core/object.h"
#include "core/variant.h"

namespace veldrane::vbs {

class Interpreter;

// What a built-in may need from the engine that calls it.
struct BuiltinContext {
  Interpreter* interpreter = nullptr;  // may be null when called outside a script
};

// A built-in: arguments arrive already evaluated (objects are NOT resolved to
// their default value; a function that needs a value calls Resolved() or a
// Variant conversion). Raises VbError with the platform's number on failure.
using BuiltinFn = Variant (*)(BuiltinContext& ctx, Args args);

struct BuiltinSpec {
  const char* name;  // as documented, e.g. "InStrRev"
  BuiltinFn fn;
  int min_args;
  int max_args;  // -1: any number
};

std::span<const BuiltinSpec> StringBuiltins();
std::span<const BuiltinSpec> MathBuiltins();
std::span<const BuiltinSpec> DateBuiltins();
std::span<const BuiltinSpec> ConversionBuiltins();
std::span<const BuiltinSpec> FormatBuiltins();
std::span<const BuiltinSpec> ArrayBuiltins();
std::span<const BuiltinSpec> InspectionBuiltins();

// The built-in with this name (any case), or nullptr.
const BuiltinSpec* FindBuiltin(std::string_view name);

// Objects that CreateObject and New make (in vbscript/objects/).
ObjectRef CreateDictionary();  // "Scripting.Dictionary"
ObjectRef CreateRegExp();      // New RegExp

}  // namespace veldrane::vbs
