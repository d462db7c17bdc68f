// Inspection built-ins (IsArray, IsDate, IsEmpty, IsNull, IsNumeric,
// IsObject, TypeName, VarType), RGB and the engine's identity.
//
// The Is* tests that ask about a value (IsDate, IsEmpty, IsNull, IsNumeric)
// look through an object to its default value, so IsNull(rs("F")) tests the
// field's value. An object without a usable default value is simply not
// Null, not Empty, not a number and not a date: they never raise.
#include <optional>

#include "core/oadate.h"
#include "vbscript/builtins_support.h"

namespace veldrane::vbs {
namespace {

using namespace detail;

// The value an Is* test looks at; nullopt for an object that has none.
std::optional<Variant> ValueForTest(const Variant& v) {
  if (!v.IsObject()) return v;
  if (v.IsNothing()) return std::nullopt;
  try {
    return v.Resolved();
  } catch (const VbError&) {
    // No default member, or one that needs arguments: the object has no
    // value to test, which answers the question with False.
    return std::nullopt;
  }
}

Variant IsArray(BuiltinContext&, Args args) { return Variant(args[0].IsArray()); }
Variant IsObject(BuiltinContext&, Args args) { return Variant(args[0].IsObject()); }

Variant IsEmpty(BuiltinContext&, Args args) {
  auto v = ValueForTest(args[0]);
  return Variant(v && v->IsEmpty());
}

Variant IsNull(BuiltinContext&, Args args) {
  auto v = ValueForTest(args[0]);
  return Variant(v && v->IsNull());
}

Variant IsNumeric(BuiltinContext&, Args args) {
  auto v = ValueForTest(args[0]);
  if (!v) return Variant(false);
  switch (v->Type()) {
    case VarType::Empty:
    case VarType::Boolean:
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency: return Variant(true);
    case VarType::String: return Variant(ParseNumber(v->AsString()).has_value());
    default: return Variant(false);
  }
}

Variant IsDate(BuiltinContext&, Args args) {
  auto v = ValueForTest(args[0]);
  if (!v) return Variant(false);
  if (v->IsDate()) return Variant(true);
  if (!v->IsString()) return Variant(false);
  auto parsed = ParseOaDate(v->AsString());
  return Variant(parsed.has_value() && *parsed >= -657434.0 && *parsed < 2958466.0);
}

Variant TypeName(BuiltinContext&, Args args) { return Variant(VarTypeName(args[0])); }

// Arrays report Variant (12) with the array flag.
constexpr int16_t kVariantArray = static_cast<int16_t>(VarType::Array) | static_cast<int16_t>(VarType::Variant);

Variant VarType(BuiltinContext&, Args args) {
  const Variant& v = args[0];
  if (v.IsArray()) return Variant(kVariantArray);
  if (v.IsObject() && !v.IsNothing()) {
    // An object with a default value reports that value's type.
    auto value = ValueForTest(v);
    if (value && !value->IsObject()) {
      if (value->IsArray()) return Variant(kVariantArray);
      return Variant(static_cast<int16_t>(value->Type()));
    }
    return Variant(static_cast<int16_t>(VarType::Object));
  }
  return Variant(static_cast<int16_t>(v.Type()));
}

Variant RGB(BuiltinContext&, Args args) {
  int32_t color = 0;
  for (size_t i = 0; i < 3; ++i) {
    int32_t c = LongArg(args, i);
    if (c < 0) throw VbError::InvalidCall();
    if (c > 255) c = 255;
    color |= c << (8 * i);
  }
  return Variant(color);
}

Variant ScriptEngine(BuiltinContext&, Args) { return Variant("VBScript"); }
Variant ScriptEngineMajorVersion(BuiltinContext&, Args) { return Variant(int32_t{5}); }
Variant ScriptEngineMinorVersion(BuiltinContext&, Args) { return Variant(int32_t{8}); }
Variant ScriptEngineBuildVersion(BuiltinContext&, Args) { return Variant(int32_t{16384}); }

const BuiltinSpec kInspectionBuiltins[] = {
    {"IsArray", IsArray, 1, 1},
    {"IsDate", IsDate, 1, 1},
    {"IsEmpty", IsEmpty, 1, 1},
    {"IsNull", IsNull, 1, 1},
    {"IsNumeric", IsNumeric, 1, 1},
    {"IsObject", IsObject, 1, 1},
    {"RGB", RGB, 3, 3},
    {"ScriptEngine", ScriptEngine, 0, 0},
    {"ScriptEngineBuildVersion", ScriptEngineBuildVersion, 0, 0},
    {"ScriptEngineMajorVersion", ScriptEngineMajorVersion, 0, 0},
    {"ScriptEngineMinorVersion", ScriptEngineMinorVersion, 0, 0},
    {"TypeName", TypeName, 1, 1},
    {"VarType", VarType, 1, 1},
};

}  // namespace

std::span<const BuiltinSpec> InspectionBuiltins() { return kInspectionBuiltins; }

}  // namespace veldrane::vbs
