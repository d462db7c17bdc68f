// Calling built-ins directly from tests, without a script around them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "vbscript/builtins.h"

namespace veldrane::vbs {

// The built-in's result; a missing built-in fails the test and gives Empty.
inline Variant Call(std::string_view name, std::vector<Variant> args) {
  const BuiltinSpec* spec = FindBuiltin(name);
  if (!spec) {
    ADD_FAILURE() << "no built-in " << name;
    return Variant();
  }
  BuiltinContext ctx;
  return spec->fn(ctx, Args(args));
}

// The error number the call raises, or 0 when it succeeds.
inline int ErrorOf(std::string_view name, std::vector<Variant> args) {
  try {
    Call(name, std::move(args));
  } catch (const VbError& e) {
    return e.number();
  }
  return 0;
}

inline std::string Text(const Variant& v) { return v.ToString(); }

}  // namespace veldrane::vbs
