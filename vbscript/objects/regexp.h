// RegExp and its results: the regular-expression object of the script
// language (New RegExp), the Matches collection that Execute returns, each
// Match, and a match's SubMatches.
//
// Patterns use the ECMAScript grammar. Matching runs over code points, so
// FirstIndex and Length count characters, as Len and Mid do. A pattern that
// does not compile raises one of the script engine's regular-expression
// errors (5017 syntax error, 5018 unexpected quantifier, 5019 expected ']',
// 5020 expected ')', 5021 invalid range) when it is first used.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "core/object.h"
#include "core/variant.h"

namespace veldrane::vbs {

// One match: Value (default), FirstIndex (0-based), Length, SubMatches.
class Match : public Object {
 public:
  Match(std::string value, int32_t first_index, int32_t length, std::vector<Variant> submatches);
  std::string TypeName() const override { return "IMatch2"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override;

  const std::string& value() const { return value_; }
  int32_t first_index() const { return first_index_; }
  int32_t length() const { return length_; }
  // Each capture group's text; Empty for a group that took no part.
  const std::vector<Variant>& submatches() const { return submatches_; }

 private:
  std::string value_;
  int32_t first_index_;
  int32_t length_;
  std::vector<Variant> submatches_;
};

// A read-only, 0-based list of Variants: Count, Item (default), For Each.
// Matches ("IMatchCollection2") and SubMatches ("ISubMatches") are both this.
class ResultList : public Object {
 public:
  ResultList(std::string type_name, std::vector<Variant> items);
  std::string TypeName() const override { return type_name_; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override;
  std::vector<Variant> Enumerate() override { return items_; }

  const std::vector<Variant>& items() const { return items_; }

 private:
  std::string type_name_;
  std::vector<Variant> items_;
};

class RegExp : public Object {
 public:
  std::string TypeName() const override { return "IRegExp2"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override;

  void set_pattern(std::string pattern);
  void set_ignore_case(bool on);
  void set_global(bool on);
  void set_multiline(bool on);
  const std::string& pattern() const { return pattern_; }

  // True when the pattern matches somewhere in `text`.
  bool Test(std::string_view text);
  // The matches (all of them with Global, else the first) as a Matches list.
  std::shared_ptr<ResultList> Execute(std::string_view text);
  // `text` with the matches (all with Global, else the first) replaced;
  // $1..$99, $&, $`, $' and $$ in `replacement` are expanded.
  std::string Replace(std::string_view text, std::string_view replacement);

 private:
  const std::wregex& Compiled();
  // Runs matching work over `chars` characters with enough stack for the
  // matcher's recursion; raises 28 when no stack that large can be had.
  void RunMatcher(size_t chars, const std::function<void()>& work);

  std::string pattern_;
  bool ignore_case_ = false;
  bool global_ = false;
  bool multiline_ = false;
  std::optional<std::wregex> compiled_;  // rebuilt after any setting changes
};

}  // namespace veldrane::vbs
