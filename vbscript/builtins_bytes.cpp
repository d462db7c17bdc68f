// The byte-oriented string built-ins (LenB, LeftB, RightB, MidB, InStrB).
// They count the bytes of the text's UTF-16 form, two per code unit. A byte
// count that would split a code unit is rounded down to whole units: our
// strings are UTF-8 and cannot hold half a character.
#include <vector>

#include "vbscript/builtins_strings.h"
#include "vbscript/builtins_support.h"

namespace veldrane::vbs {

using namespace detail;

namespace {

// Runs `f` on the UTF-16 form of argument 0, or gives Null for Null.
template <class F>
Variant OnUnits(Args args, F f) {
  Variant holder;
  const Variant& v = ValueOf(args, 0, holder);
  if (v.IsNull()) return Variant::Null();
  TextArg text(v);
  return f(ToUtf16(text.view()));
}

size_t ByteCountArg(Args args, size_t i) {
  int32_t n = LongArg(args, i);
  if (n < 0) throw VbError::InvalidCall();
  return static_cast<size_t>(n);
}

}  // namespace

Variant LenB(BuiltinContext&, Args args) {
  return OnUnits(args, [](const std::u16string& u) { return Variant(static_cast<int32_t>(u.size() * 2)); });
}

Variant LeftB(BuiltinContext&, Args args) {
  size_t n = ByteCountArg(args, 1);
  return OnUnits(args, [n](const std::u16string& u) {
    return Variant(FromUtf16(std::u16string_view(u).substr(0, n / 2)));
  });
}

Variant RightB(BuiltinContext&, Args args) {
  size_t n = ByteCountArg(args, 1);
  return OnUnits(args, [n](const std::u16string& u) {
    size_t units = n / 2 < u.size() ? n / 2 : u.size();
    return Variant(FromUtf16(std::u16string_view(u).substr(u.size() - units)));
  });
}

Variant MidB(BuiltinContext&, Args args) {
  int32_t start = LongArg(args, 1);
  if (start < 1) throw VbError::InvalidCall();
  bool has_length = Given(args, 2);
  size_t length = has_length ? ByteCountArg(args, 2) : 0;
  return OnUnits(args, [&](const std::u16string& u) {
    size_t from = static_cast<size_t>(start - 1) / 2;
    if (from >= u.size()) return Variant(std::string());
    std::u16string_view rest = std::u16string_view(u).substr(from);
    return Variant(FromUtf16(has_length ? rest.substr(0, length / 2) : rest));
  });
}

// InStrB([start,] string1, string2[, compare]): the byte position (1-based)
// of the match in the UTF-16 form.
Variant InStrB(BuiltinContext&, Args args) {
  size_t first = args.size() >= 3 ? 1 : 0;
  int32_t start = 1;
  if (first == 1) {
    start = LongArg(args, 0);
    if (start < 1) throw VbError::InvalidCall();
  }
  bool text_mode = args.size() == 4 && TextCompareArg(args, 3);
  Variant h1, h2;
  const Variant& v1 = ValueOf(args, first, h1);
  const Variant& v2 = ValueOf(args, first + 1, h2);
  if (v1.IsNull() || v2.IsNull()) return Variant::Null();
  TextArg t1(v1), t2(v2);
  std::u16string hay = ToUtf16(text_mode ? FoldText(t1.view()) : std::string(t1.view()));
  std::u16string needle = ToUtf16(text_mode ? FoldText(t2.view()) : std::string(t2.view()));
  size_t from = static_cast<size_t>(start - 1) / 2;
  if (hay.empty() || from >= hay.size()) return Variant(int32_t{0});
  if (needle.empty()) return Variant(start);
  size_t hit = hay.find(needle, from);
  if (hit == std::u16string::npos) return Variant(int32_t{0});
  return Variant(static_cast<int32_t>(hit * 2 + 1));
}

}  // namespace veldrane::vbs
