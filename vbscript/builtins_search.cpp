// Searching and replacing in strings: InStr, InStrRev, Replace, StrComp.
// Text-mode comparison folds both sides to lower case first; the fold keeps
// every character's byte length, so positions found in the folded copies are
// positions in the originals.
#include "vbscript/builtins_search.h"

#include <optional>

#include "vbscript/builtins_strings.h"
#include "vbscript/builtins_support.h"

namespace veldrane::vbs {

using namespace detail;

SearchText::SearchText(std::string_view text, bool text_mode) {
  if (text_mode && !IsAsciiLower(text)) {
    folded_ = FoldText(text);
    view_ = folded_;
  } else {
    view_ = text;
  }
}

bool SearchText::IsAsciiLower(std::string_view s) {
  for (char c : s) {
    if ((c >= 'A' && c <= 'Z') || (static_cast<unsigned char>(c) & 0x80)) return false;
  }
  return true;
}

namespace {

// Reads a Null-propagating text argument: false when it was Null.
bool ReadText(Args args, size_t i, Variant& holder, std::optional<TextArg>& out) {
  const Variant& v = ValueOf(args, i, holder);
  if (v.IsNull()) return false;
  out.emplace(v);
  return true;
}

// The text of an argument that must not be Null (94 otherwise).
std::string RequiredText(Args args, size_t i) {
  Variant holder;
  const Variant& v = ValueOf(args, i, holder);
  if (v.IsNull()) throw VbError::InvalidUseOfNull();
  return std::string(TextArg(v).view());
}

}  // namespace

// InStr([start,] string1, string2[, compare])
Variant InStr(BuiltinContext&, Args args) {
  size_t first = args.size() >= 3 ? 1 : 0;
  int32_t start = 1;
  if (first == 1) {
    start = LongArg(args, 0);
    if (start < 1) throw VbError::InvalidCall();
  }
  bool text_mode = args.size() == 4 && TextCompareArg(args, 3);
  Variant h1, h2;
  std::optional<TextArg> t1, t2;
  bool has1 = ReadText(args, first, h1, t1);
  bool has2 = ReadText(args, first + 1, h2, t2);
  if (!has1 || !has2) return Variant::Null();
  std::string_view s1 = t1->view(), s2 = t2->view();
  if (s1.empty()) return Variant(int32_t{0});
  size_t from = ByteOffset(s1, static_cast<size_t>(start) - 1);
  if (from >= s1.size()) return Variant(int32_t{0});
  if (s2.empty()) return Variant(start);
  SearchText hay(s1, text_mode), needle(s2, text_mode);
  size_t hit = hay.view().find(needle.view(), from);
  if (hit == std::string_view::npos) return Variant(int32_t{0});
  return Variant(static_cast<int32_t>(CharCount(s1.substr(0, hit)) + 1));
}

// InStrRev(string1, string2[, start[, compare]])
Variant InStrRev(BuiltinContext&, Args args) {
  int32_t start = LongArgOr(args, 2, -1);
  if (start == 0 || start < -1) throw VbError::InvalidCall();
  bool text_mode = TextCompareArg(args, 3);
  Variant h1, h2;
  std::optional<TextArg> t1, t2;
  bool has1 = ReadText(args, 0, h1, t1);
  bool has2 = ReadText(args, 1, h2, t2);
  // Unlike InStr, InStrRev has no Null answer for a Null string to search.
  if (!has1) throw VbError::InvalidUseOfNull();
  if (!has2) return Variant::Null();
  std::string_view s1 = t1->view(), s2 = t2->view();
  if (s1.empty()) return Variant(int32_t{0});
  size_t length = CharCount(s1);
  if (start == -1) start = static_cast<int32_t>(length);
  if (static_cast<size_t>(start) > length) return Variant(int32_t{0});
  if (s2.empty()) return Variant(start);
  // The match must end at or before character `start`.
  size_t end = ByteOffset(s1, static_cast<size_t>(start));
  if (end < s2.size()) return Variant(int32_t{0});
  SearchText hay(s1, text_mode), needle(s2, text_mode);
  size_t hit = hay.view().rfind(needle.view(), end - s2.size());
  if (hit == std::string_view::npos) return Variant(int32_t{0});
  return Variant(static_cast<int32_t>(CharCount(s1.substr(0, hit)) + 1));
}

// Replace(expression, find, replacewith[, start[, count[, compare]]]). The
// result begins at `start`: the characters before it are dropped.
Variant Replace(BuiltinContext&, Args args) {
  Variant holder;
  const Variant& value = ValueOf(args, 0, holder);
  if (value.IsNull()) throw VbError::InvalidUseOfNull();
  TextArg expression(value);
  std::string find = RequiredText(args, 1);
  std::string with = RequiredText(args, 2);
  int32_t start = LongArgOr(args, 3, 1);
  if (start < 1) throw VbError::InvalidCall();
  int32_t count = LongArgOr(args, 4, -1);
  if (count < -1) throw VbError::InvalidCall();
  bool text_mode = TextCompareArg(args, 5);

  std::string_view rest = expression.view().substr(ByteOffset(expression.view(), static_cast<size_t>(start) - 1));
  if (find.empty() || count == 0 || rest.empty()) return Variant(rest);
  SearchText hay(rest, text_mode), needle(find, text_mode);
  std::string out;
  out.reserve(rest.size());
  size_t pos = 0;
  for (int32_t done = 0; count == -1 || done < count; ++done) {
    size_t hit = hay.view().find(needle.view(), pos);
    if (hit == std::string_view::npos) break;
    out.append(rest.substr(pos, hit - pos));
    out.append(with);
    CheckStringSize(out.size());
    pos = hit + find.size();
  }
  out.append(rest.substr(pos));
  return Variant(std::move(out));
}

// StrComp(string1, string2[, compare]): -1, 0, 1, or Null when either is Null.
Variant StrComp(BuiltinContext&, Args args) {
  bool text_mode = TextCompareArg(args, 2);
  Variant h1, h2;
  std::optional<TextArg> t1, t2;
  bool has1 = ReadText(args, 0, h1, t1);
  bool has2 = ReadText(args, 1, h2, t2);
  if (!has1 || !has2) return Variant::Null();
  return Variant(static_cast<int16_t>(CompareText(t1->view(), t2->view(), text_mode)));
}

}  // namespace veldrane::vbs
