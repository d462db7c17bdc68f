#include "vbscript/objects/regexp.h"

#include <algorithm>

#include "vbscript/builtins.h"
#include "vbscript/builtins_support.h"
#include "vbscript/objects/deep_stack.h"

namespace veldrane::vbs {

namespace {

const char kRuntimeSource[] = "Microsoft VBScript runtime error";

// Code points, so that offsets in the wide text are character positions.
std::wstring Widen(std::string_view s) {
  std::wstring out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) out.push_back(static_cast<wchar_t>(detail::DecodeAt(s, i)));
  return out;
}

std::string Narrow(std::wstring_view s) {
  std::string out;
  out.reserve(s.size());
  for (wchar_t c : s) detail::AppendUtf8(out, static_cast<char32_t>(c));
  return out;
}

VbError PatternError(const std::regex_error& e) {
  switch (e.code()) {
    case std::regex_constants::error_badrepeat: return VbError(5018, "Unexpected quantifier", kRuntimeSource);
    case std::regex_constants::error_brack: return VbError(5019, "Expected ']' in regular expression", kRuntimeSource);
    case std::regex_constants::error_paren: return VbError(5020, "Expected ')' in regular expression", kRuntimeSource);
    case std::regex_constants::error_range: return VbError(5021, "Invalid range in character set", kRuntimeSource);
    default: return VbError(5017, "Syntax error in regular expression", kRuntimeSource);
  }
}

// True when a quantifier has nothing to repeat ("*a", "(+a)", "a|?", "a**"),
// which the library reports as a different fault or lets through.
bool MisplacedQuantifier(std::wstring_view p) {
  bool can_repeat = false;  // the previous token is something a quantifier may follow
  size_t i = 0, n = p.size();
  auto brace_quantifier = [&](size_t at) {  // "{m}", "{m,}" or "{m,n}" at p[at]
    size_t k = at + 1, digits = 0;
    while (k < n && p[k] >= L'0' && p[k] <= L'9') ++k, ++digits;
    if (digits == 0) return size_t{0};
    if (k < n && p[k] == L',') {
      ++k;
      while (k < n && p[k] >= L'0' && p[k] <= L'9') ++k;
    }
    return k < n && p[k] == L'}' ? k + 1 - at : size_t{0};
  };
  while (i < n) {
    wchar_t c = p[i];
    size_t quantifier = (c == L'*' || c == L'+' || c == L'?') ? 1 : (c == L'{' ? brace_quantifier(i) : 0);
    if (quantifier) {
      if (!can_repeat) return true;
      i += quantifier;
      if (i < n && p[i] == L'?') ++i;  // lazy form
      can_repeat = false;
      continue;
    }
    if (c == L'\\') {
      i += 2;
      can_repeat = true;
    } else if (c == L'[') {
      for (++i; i < n && p[i] != L']'; ++i) {
        if (p[i] == L'\\') ++i;
      }
      ++i;
      can_repeat = true;
    } else if (c == L'(') {
      ++i;
      if (i < n && p[i] == L'?') {
        ++i;
        if (i < n && (p[i] == L':' || p[i] == L'=' || p[i] == L'!')) ++i;
      }
      can_repeat = false;
    } else if (c == L'|' || c == L'^' || c == L'$') {
      ++i;
      can_repeat = false;
    } else {
      ++i;
      can_repeat = true;
    }
  }
  return false;
}

// How many recursion levels the matcher may spend per character: one per
// state it can pass between two characters. Counted generously from the
// pattern's structure; a counted repeat {m,n} can unroll into n states.
size_t LevelsPerChar(std::wstring_view p) {
  size_t levels = 2;
  for (size_t i = 0; i < p.size(); ++i) {
    switch (p[i]) {
      case L'(':
      case L'|':
      case L'*':
      case L'+':
      case L'?': ++levels; break;
      case L'{': {
        size_t count = 0;
        while (i + 1 < p.size() && p[i + 1] != L'}') {
          ++i;
          if (p[i] >= L'0' && p[i] <= L'9') count = std::min<size_t>(count * 10 + static_cast<size_t>(p[i] - L'0'), 100000);
          if (p[i] == L',') count = 0;  // the upper bound is what unrolls
        }
        levels += 1 + count;
        break;
      }
      default: break;
    }
  }
  return levels;
}

// Stack per recursion level (measured frames are about 160 bytes; this
// leaves room to spare), what a caller's stack can lend without a thread,
// and the most a matching thread may reserve.
constexpr size_t kBytesPerLevel = 512;
constexpr size_t kInlineStack = 128 * 1024;
constexpr size_t kMaxStack = size_t{2} << 30;

// The text argument of Test, Execute and Replace.
std::string TextOf(const Variant& v) { return v.Resolved().ToString(); }

}  // namespace

// ---------------------------------------------------------------------------
// Match and the result lists

Match::Match(std::string value, int32_t first_index, int32_t length, std::vector<Variant> submatches)
    : value_(std::move(value)), first_index_(first_index), length_(length), submatches_(std::move(submatches)) {}

Variant Match::Invoke(std::string_view name, InvokeKind kind, Args args) {
  static const MemberTable<Match> members = [] {
    MemberTable<Match> t;
    t.Property("", [](Match& m) { return Variant(m.value_); });
    t.Property("Value", [](Match& m) { return Variant(m.value_); });
    t.Property("FirstIndex", [](Match& m) { return Variant(m.first_index_); });
    t.Property("Length", [](Match& m) { return Variant(m.length_); });
    t.Property("SubMatches", [](Match& m) {
      return Variant(ObjectRef(std::make_shared<ResultList>("ISubMatches", m.submatches_)));
    });
    return t;
  }();
  return members.Invoke(*this, name, kind, args);
}

ResultList::ResultList(std::string type_name, std::vector<Variant> items)
    : type_name_(std::move(type_name)), items_(std::move(items)) {}

Variant ResultList::Invoke(std::string_view name, InvokeKind kind, Args args) {
  static const MemberTable<ResultList> members = [] {
    MemberTable<ResultList> t;
    auto item = [](ResultList& list, InvokeKind kind, Args args) {
      if (kind != InvokeKind::Get) throw VbError::NotSupported("Item");
      ExpectArgs(args, 1, 1);
      int32_t index = args[0].ToLong();
      if (index < 0 || static_cast<size_t>(index) >= list.items_.size()) throw VbError::InvalidCall();
      return list.items_[static_cast<size_t>(index)];
    };
    t.Add("", item);
    t.Add("Item", item);
    t.Property("Count", [](ResultList& list) { return Variant(static_cast<int32_t>(list.items_.size())); });
    return t;
  }();
  return members.Invoke(*this, name, kind, args);
}

// ---------------------------------------------------------------------------
// RegExp

void RegExp::set_pattern(std::string pattern) {
  pattern_ = std::move(pattern);
  compiled_.reset();
}
void RegExp::set_ignore_case(bool on) {
  ignore_case_ = on;
  compiled_.reset();
}
void RegExp::set_global(bool on) { global_ = on; }
void RegExp::set_multiline(bool on) {
  multiline_ = on;
  compiled_.reset();
}

const std::wregex& RegExp::Compiled() {
  if (compiled_) return *compiled_;
  auto flags = std::regex_constants::ECMAScript;
  if (ignore_case_) flags |= std::regex_constants::icase;
  if (multiline_) flags |= std::regex_constants::multiline;
  std::wstring wide = Widen(pattern_);
  if (MisplacedQuantifier(wide)) throw VbError(5018, "Unexpected quantifier", kRuntimeSource);
  try {
    compiled_.emplace(wide, flags);
  } catch (const std::regex_error& e) {
    throw PatternError(e);
  }
  return *compiled_;
}

void RegExp::RunMatcher(size_t chars, const std::function<void()>& work) {
  Compiled();  // compiled here, so the matching thread only reads it
  size_t levels = LevelsPerChar(Widen(pattern_));
  size_t need = chars < kMaxStack / (levels * kBytesPerLevel) ? (chars + 64) * levels * kBytesPerLevel : kMaxStack + 1;
  if (need <= kInlineStack) return work();
  if (need > kMaxStack) throw VbError(28);
  RunOnStack(need + (1 << 20), work);
}

bool RegExp::Test(std::string_view text) {
  std::wstring wide = Widen(text);
  bool found = false;
  RunMatcher(wide.size(), [&] { found = std::regex_search(wide, Compiled()); });
  return found;
}

std::shared_ptr<ResultList> RegExp::Execute(std::string_view text) {
  std::wstring wide = Widen(text);
  std::vector<Variant> matches;
  RunMatcher(wide.size(), [&] {
    const std::wregex& re = Compiled();
    for (auto it = std::wsregex_iterator(wide.begin(), wide.end(), re); it != std::wsregex_iterator(); ++it) {
      const std::wsmatch& m = *it;
      std::vector<Variant> groups;
      for (size_t g = 1; g < m.size(); ++g) {
        groups.push_back(m[g].matched ? Variant(Narrow(m[g].str())) : Variant());
      }
      auto match = std::make_shared<Match>(Narrow(m.str()), static_cast<int32_t>(m.position()),
                                         static_cast<int32_t>(m.length()), std::move(groups));
      matches.emplace_back(ObjectRef(std::move(match)));
      if (!global_) break;
    }
  });
  return std::make_shared<ResultList>("IMatchCollection2", std::move(matches));
}

namespace {

// Expands $$, $&, $`, $', $n and $nn in a replacement as script regular
// expressions do: a group number the pattern does not have stays literal
// text ("$0", "$9" with fewer groups), and "$10" with fewer than ten groups
// is group 1 followed by "0".
void AppendSubstitution(std::wstring& out, std::wstring_view with, const std::wsmatch& m, std::wstring_view text) {
  size_t groups = m.size() - 1;
  for (size_t i = 0; i < with.size(); ++i) {
    wchar_t c = with[i];
    if (c != L'$' || i + 1 >= with.size()) {
      out += c;
      continue;
    }
    wchar_t next = with[i + 1];
    if (next == L'$') {
      out += L'$';
      ++i;
    } else if (next == L'&') {
      out += m.str();
      ++i;
    } else if (next == L'`') {
      out.append(text.substr(0, static_cast<size_t>(m.position())));
      ++i;
    } else if (next == L'\'') {
      out.append(text.substr(static_cast<size_t>(m.position() + m.length())));
      ++i;
    } else if (next >= L'0' && next <= L'9') {
      size_t one = static_cast<size_t>(next - L'0');
      bool has_two = i + 2 < with.size() && with[i + 2] >= L'0' && with[i + 2] <= L'9';
      size_t two = has_two ? one * 10 + static_cast<size_t>(with[i + 2] - L'0') : 0;
      if (has_two && two >= 1 && two <= groups) {
        out += m[two].str();
        i += 2;
      } else if (one >= 1 && one <= groups) {
        out += m[one].str();
        ++i;
      } else {
        out += c;
      }
    } else {
      out += c;
    }
  }
}

}  // namespace

std::string RegExp::Replace(std::string_view text, std::string_view replacement) {
  std::wstring wide = Widen(text), with = Widen(replacement);
  std::wstring out;
  RunMatcher(wide.size(), [&] {
    auto last = wide.cbegin();
    for (auto it = std::wsregex_iterator(wide.begin(), wide.end(), Compiled()); it != std::wsregex_iterator(); ++it) {
      const std::wsmatch& m = *it;
      out.append(last, m[0].first);
      AppendSubstitution(out, with, m, wide);
      last = m[0].second;
      if (!global_) break;
    }
    out.append(last, wide.cend());
  });
  return Narrow(out);
}

Variant RegExp::Invoke(std::string_view name, InvokeKind kind, Args args) {
  static const MemberTable<RegExp> members = [] {
    MemberTable<RegExp> t;
    t.Property(
        "Pattern", [](RegExp& r) { return Variant(r.pattern_); },
        [](RegExp& r, const Variant& v) { r.set_pattern(v.Resolved().ToString()); });
    t.Property(
        "IgnoreCase", [](RegExp& r) { return Variant(r.ignore_case_); },
        [](RegExp& r, const Variant& v) { r.set_ignore_case(v.ToBool()); });
    t.Property(
        "Global", [](RegExp& r) { return Variant(r.global_); },
        [](RegExp& r, const Variant& v) { r.set_global(v.ToBool()); });
    t.Property(
        "Multiline", [](RegExp& r) { return Variant(r.multiline_); },
        [](RegExp& r, const Variant& v) { r.set_multiline(v.ToBool()); });
    t.Add("Test", [](RegExp& r, InvokeKind, Args args) {
      ExpectArgs(args, 1, 1);
      return Variant(r.Test(TextOf(args[0])));
    });
    t.Add("Execute", [](RegExp& r, InvokeKind, Args args) {
      ExpectArgs(args, 1, 1);
      return Variant(ObjectRef(r.Execute(TextOf(args[0]))));
    });
    t.Add("Replace", [](RegExp& r, InvokeKind, Args args) {
      ExpectArgs(args, 2, 2);
      return Variant(r.Replace(TextOf(args[0]), TextOf(args[1])));
    });
    return t;
  }();
  return members.Invoke(*this, name, kind, args);
}

ObjectRef CreateRegExp() { return std::make_shared<RegExp>(); }

}  // namespace veldrane::vbs
