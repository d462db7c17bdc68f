// Array built-ins: Array, LBound, UBound, and the string/array bridges Join,
// Split and Filter. Arrays are Variant() arrays with lower bound 0.
#include <memory>
#include <string>
#include <vector>

#include "vbscript/builtins_search.h"
#include "vbscript/builtins_support.h"

namespace veldrane::vbs {
namespace {

using namespace detail;

// Arrays have value semantics: an array placed inside another is copied,
// so changing the original later does not reach into the new one.
Variant CopyValue(const Variant& v) {
  if (!v.IsArray() || !v.AsArray()) return v;
  auto copy = std::make_shared<VbArray>(*v.AsArray());
  copy->fixed = false;
  for (Variant& item : copy->items()) item = CopyValue(item);
  return Variant(ArrayRef(copy));
}

ArrayRef NewArray(std::vector<Variant> items) { return std::make_shared<VbArray>(std::move(items)); }

Variant Array(BuiltinContext&, Args args) {
  std::vector<Variant> items;
  items.reserve(args.size());
  for (const Variant& a : args) items.push_back(CopyValue(a));
  return Variant(NewArray(std::move(items)));
}

// The array argument `i`; anything else raises 13.
const VbArray& ArrayArg(Args args, size_t i, Variant& holder) {
  const Variant& v = ValueOf(args, i, holder);
  if (!v.IsArray() || !v.AsArray()) throw VbError::TypeMismatch();
  return *v.AsArray();
}

// The dimension (1-based) named by argument 1; raises 9 when the array has
// no such dimension (a dynamic array not yet sized has none).
const VbArray::Dim& DimensionArg(const VbArray& array, Args args) {
  int32_t dimension = LongArgOr(args, 1, 1);
  if (dimension < 1 || static_cast<size_t>(dimension) > array.dims().size()) throw VbError::SubscriptOutOfRange();
  return array.dims()[static_cast<size_t>(dimension) - 1];
}

Variant LBound(BuiltinContext&, Args args) {
  Variant holder;
  return Variant(DimensionArg(ArrayArg(args, 0, holder), args).lbound);
}

Variant UBound(BuiltinContext&, Args args) {
  Variant holder;
  const VbArray::Dim& dim = DimensionArg(ArrayArg(args, 0, holder), args);
  return Variant(dim.lbound + dim.count - 1);
}

// A one-dimensional array argument (Join, Filter); Null raises 94.
const VbArray& ListArg(Args args, Variant& holder) {
  const Variant& v = ValueOf(args, 0, holder);
  if (v.IsNull()) throw VbError::InvalidUseOfNull();
  const VbArray& array = ArrayArg(args, 0, holder);
  if (array.dims().size() > 1) throw VbError::InvalidCall();
  return array;
}

// The text of a delimiter or filter argument; Null raises 94.
std::string TextOrDefault(Args args, size_t i, const char* fallback) {
  if (i >= args.size()) return fallback;
  Variant holder;
  const Variant& v = ValueOf(args, i, holder);
  if (v.IsNull()) throw VbError::InvalidUseOfNull();
  return std::string(TextArg(v).view());
}

Variant Join(BuiltinContext&, Args args) {
  Variant holder;
  const VbArray& list = ListArg(args, holder);
  std::string delimiter = TextOrDefault(args, 1, " ");
  std::string out;
  bool first = true;
  for (const Variant& item : list.items()) {
    if (!first) out += delimiter;
    first = false;
    // Every element must read as text; Null cannot (13).
    if (item.IsNull()) throw VbError::TypeMismatch();
    std::string text = item.ToText();
    CheckStringSize(out.size(), text.size() + delimiter.size());
    out += text;
  }
  return Variant(std::move(out));
}

// Split(expression[, delimiter[, count[, compare]]])
Variant Split(BuiltinContext&, Args args) {
  Variant holder;
  const Variant& value = ValueOf(args, 0, holder);
  if (value.IsNull()) throw VbError::InvalidUseOfNull();
  TextArg expression(value);
  std::string delimiter = TextOrDefault(args, 1, " ");
  int32_t count = LongArgOr(args, 2, -1);
  if (count < -1) throw VbError::InvalidCall();
  bool text_mode = TextCompareArg(args, 3);

  std::string_view s = expression.view();
  std::vector<Variant> parts;
  if (s.empty() || count == 0) return Variant(NewArray(std::move(parts)));
  if (delimiter.empty()) {
    parts.emplace_back(s);
    return Variant(NewArray(std::move(parts)));
  }
  SearchText hay(s, text_mode), needle(delimiter, text_mode);
  size_t pos = 0;
  // The last part takes the rest of the text once `count` - 1 cuts are made.
  while (count == -1 || static_cast<int32_t>(parts.size()) < count - 1) {
    size_t hit = hay.view().find(needle.view(), pos);
    if (hit == std::string_view::npos) break;
    parts.emplace_back(s.substr(pos, hit - pos));
    pos = hit + delimiter.size();
  }
  parts.emplace_back(s.substr(pos));
  return Variant(NewArray(std::move(parts)));
}

// Filter(inputstrings, value[, include[, compare]])
Variant Filter(BuiltinContext&, Args args) {
  Variant holder;
  const VbArray& list = ListArg(args, holder);
  std::string value = TextOrDefault(args, 1, "");
  bool include = BoolArgOr(args, 2, true);
  bool text_mode = TextCompareArg(args, 3);
  SearchText needle(value, text_mode);
  std::vector<Variant> kept;
  for (const Variant& item : list.items()) {
    std::string text = item.ToText();
    SearchText hay(text, text_mode);
    bool found = hay.view().find(needle.view()) != std::string_view::npos;
    if (found == include) kept.emplace_back(std::move(text));
  }
  return Variant(NewArray(std::move(kept)));
}

const BuiltinSpec kArrayBuiltins[] = {
    {"Array", Array, 0, -1},
    {"Filter", Filter, 2, 4},
    {"Join", Join, 1, 2},
    {"LBound", LBound, 1, 2},
    {"Split", Split, 1, 4},
    {"UBound", UBound, 1, 2},
};

}  // namespace

std::span<const BuiltinSpec> ArrayBuiltins() { return kArrayBuiltins; }

}  // namespace veldrane::vbs
