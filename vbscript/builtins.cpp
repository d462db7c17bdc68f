// Joins the per-group tables into one case-insensitive lookup.
#include "vbscript/builtins.h"

#include <string>
#include <unordered_map>

#include "core/text.h"

namespace veldrane::vbs {

const BuiltinSpec* FindBuiltin(std::string_view name) {
  using Index = std::unordered_map<std::string, const BuiltinSpec*, IHash, IEqual>;
  static const Index index = [] {
    Index all;
    for (auto table : {StringBuiltins(), MathBuiltins(), DateBuiltins(), ConversionBuiltins(), FormatBuiltins(),
                       ArrayBuiltins(), InspectionBuiltins()}) {
      for (const BuiltinSpec& spec : table) all.emplace(spec.name, &spec);
    }
    return all;
  }();
  auto it = index.find(std::string(name));
  return it == index.end() ? nullptr : it->second;
}

}  // namespace veldrane::vbs
