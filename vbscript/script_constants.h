// The named constants every script sees (vbCrLf, vbTextCompare, vbLong, ...).
// They cannot be redefined, so the compiler folds them into literals, which
// also makes them constants for the number-versus-string comparison rule.
#pragma once

#include <optional>
#include <string_view>

#include "core/variant.h"

namespace veldrane::vbs {

// The value of a built-in constant (any case), or nullopt.
std::optional<Variant> BuiltinConstant(std::string_view name);

}  // namespace veldrane::vbs
