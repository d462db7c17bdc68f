// Scripting.Dictionary and RegExp through their dispatch interface, the way
// the interpreter reaches them.
#include <gtest/gtest.h>

#include <vector>

#include "vbscript/builtins.h"
#include "vbscript/objects/dictionary.h"
#include "vbscript/objects/regexp.h"

namespace veldrane::vbs {
namespace {

int ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const VbError& e) {
    return e.number();
  }
  return 0;
}

std::vector<std::string> Texts(const std::vector<Variant>& items) {
  std::vector<std::string> out;
  for (const Variant& v : items) out.push_back(v.Resolved().ToString());
  return out;
}

TEST(Dictionary, KeysMeetByValueAndKeepTheirOrder) {
  ObjectRef d = CreateDictionary();
  EXPECT_EQ(d->TypeName(), "Dictionary");
  d->Call("Add", {int16_t{1}, "one"});
  d->Call("Add", {"1", "text one"});
  d->Call("Add", {"b", "bee"});
  EXPECT_EQ(ErrorOf([&] { d->Call("Add", {1.0, "again"}); }), 457);
  EXPECT_EQ(d->Call("", {int32_t{1}}).ToString(), "one");
  EXPECT_TRUE(d->Call("Exists", {"b"}).AsBool());
  EXPECT_FALSE(d->Call("Exists", {"B"}).AsBool());

  // Reading a missing key adds it, Empty.
  EXPECT_TRUE(d->Call("Item", {"new"}).IsEmpty());
  EXPECT_EQ(d->Get("Count").AsLong(), 4);

  // Assigning through the default member.
  Variant let_args[] = {Variant("b"), Variant("B!")};
  d->Invoke("", InvokeKind::Let, Args(let_args));
  EXPECT_EQ(d->Call("Item", {"b"}).ToString(), "B!");

  d->Call("Remove", {"1"});
  d->Call("Add", {"1", "back"});
  EXPECT_EQ(Texts(d->Enumerate()), (std::vector<std::string>{"1", "b", "new", "1"}));
  EXPECT_EQ(Texts(d->Get("Items").AsArray()->items()), (std::vector<std::string>{"one", "B!", "", "back"}));
  EXPECT_EQ(ErrorOf([&] { d->Call("Remove", {"zzz"}); }), 32811);
}

TEST(Dictionary, TextModeAndRenaming) {
  ObjectRef d = CreateDictionary();
  d->Let("CompareMode", int16_t{1});
  d->Call("Add", {"Key", int16_t{1}});
  EXPECT_EQ(ErrorOf([&] { d->Call("Add", {"KEY", int16_t{2}}); }), 457);
  EXPECT_TRUE(d->Call("Exists", {"kEy"}).AsBool());
  // CompareMode may not change once there are items.
  EXPECT_EQ(ErrorOf([&] { d->Let("CompareMode", int16_t{0}); }), 5);

  d->Call("Add", {"other", int16_t{2}});
  Variant rename[] = {Variant("KEY"), Variant("first")};
  d->Invoke("Key", InvokeKind::Let, Args(rename));
  EXPECT_EQ(Texts(d->Enumerate()), (std::vector<std::string>{"first", "other"}));
  EXPECT_EQ(d->Call("Item", {"FIRST"}).AsInteger(), 1);
  Variant clash[] = {Variant("first"), Variant("OTHER")};
  EXPECT_EQ(ErrorOf([&] { d->Invoke("Key", InvokeKind::Let, Args(clash)); }), 457);
  Variant missing[] = {Variant("nope"), Variant("x")};
  EXPECT_EQ(ErrorOf([&] { d->Invoke("Key", InvokeKind::Let, Args(missing)); }), 32811);

  d->Call("RemoveAll", {});
  EXPECT_EQ(d->Get("Count").AsLong(), 0);
  d->Let("CompareMode", int16_t{0});
  EXPECT_EQ(d->Get("CompareMode").AsLong(), 0);
}

TEST(Dictionary, ObjectKeysAreTheirIdentity) {
  ObjectRef d = CreateDictionary();
  ObjectRef a = CreateRegExp(), b = CreateRegExp();
  d->Call("Add", {a, "a"});
  d->Call("Add", {b, "b"});
  EXPECT_EQ(d->Call("Item", {a}).ToString(), "a");
  EXPECT_EQ(d->Get("Count").AsLong(), 2);
  EXPECT_EQ(ErrorOf([&] { d->Call("Add", {Variant(std::make_shared<VbArray>()), 1.0}); }), 13);
}

std::shared_ptr<RegExp> Re(const char* pattern, bool global = false) {
  auto re = std::make_shared<RegExp>();
  re->set_pattern(pattern);
  re->set_global(global);
  return re;
}

TEST(RegExp, ExecuteReportsCharacterPositionsAndGroups) {
  auto re = Re("(\\w)(\\d)?\xC3\xA9", true);
  auto matches = re->Execute("x \xE2\x82\xAC\xE2\x82\xAC a1\xC3\xA9 b\xC3\xA9");
  ASSERT_EQ(matches->items().size(), 2u);
  auto first = std::dynamic_pointer_cast<Match>(matches->items()[0].AsObject());
  EXPECT_EQ(first->value(), "a1\xC3\xA9");
  EXPECT_EQ(first->first_index(), 5);
  EXPECT_EQ(first->length(), 3);
  ObjectRef second = matches->items()[1].AsObject();
  EXPECT_EQ(second->Get("FirstIndex").AsLong(), 9);
  ObjectRef groups = second->Get("SubMatches").AsObject();
  EXPECT_EQ(groups->Get("Count").AsLong(), 2);
  EXPECT_EQ(groups->Call("", {int16_t{0}}).ToString(), "b");
  EXPECT_TRUE(groups->Call("Item", {int16_t{1}}).IsEmpty());
  EXPECT_EQ(ErrorOf([&] { matches->Call("Item", {int16_t{2}}); }), 5);
  EXPECT_EQ(matches->Call("", {int16_t{0}}).Resolved().ToString(), "a1\xC3\xA9");
}

TEST(RegExp, SettingsChangeTheMatch) {
  auto re = Re("^b.");
  EXPECT_FALSE(re->Test("ab\nbc"));
  re->set_multiline(true);
  EXPECT_TRUE(re->Test("ab\nbc"));
  re->set_pattern("HELLO");
  EXPECT_FALSE(re->Test("say hello"));
  re->set_ignore_case(true);
  EXPECT_TRUE(re->Test("say hello"));
  EXPECT_EQ(Re("o")->Replace("foo boo", "0"), "f0o boo");
  EXPECT_EQ(Re("o", true)->Replace("foo boo", "0"), "f00 b00");
  EXPECT_EQ(Re("(\\w+)@(\\w+)", true)->Replace("me@host you@there", "$2 at $1 ($&) $$"),
            "host at me (me@host) $ there at you (you@there) $");
  // Group numbers the pattern lacks stay literal; $10 with one group is $1 then "0".
  EXPECT_EQ(Re("(b)")->Replace("abc", "[$0|$2|$10|$`|$'|$x|$]"), "a[$0|$2|b0|a|c|$x|$]c");
  EXPECT_EQ(Re("a*", true)->Replace("baaac", "-"), "-b--c-");
}

TEST(RegExp, BadPatternsRaiseTheScriptErrors) {
  EXPECT_EQ(ErrorOf([] { Re("[abc")->Test("a"); }), 5019);
  EXPECT_EQ(ErrorOf([] { Re("(abc")->Test("a"); }), 5020);
  EXPECT_EQ(ErrorOf([] { Re("*a")->Test("a"); }), 5018);
  EXPECT_EQ(ErrorOf([] { Re("a|+b")->Test("a"); }), 5018);
  EXPECT_EQ(ErrorOf([] { Re("a**")->Test("a"); }), 5018);
  EXPECT_FALSE(Re("a*?[*+]{2}\\*(?:x)+")->Test("a"));
  EXPECT_EQ(ErrorOf([] { Re("[z-a]")->Test("a"); }), 5021);
  // The pattern is checked when used, and a fixed pattern works again.
  auto re = Re("(");
  re->set_pattern("a+");
  EXPECT_TRUE(re->Test("caaat"));
}

TEST(RegExp, LongTextsDoNotExhaustTheStack) {
  // The matcher recurses per character: these texts are far deeper than a
  // thread's usual 8 MB stack allows.
  std::string pairs;
  for (int i = 0; i < 20000; ++i) pairs += "ab";
  EXPECT_TRUE(Re("^(a|b)*$")->Test(pairs));
  EXPECT_FALSE(Re("^(a|b)*c")->Test(pairs));
  std::string digits(100000, '7');
  auto matches = Re("\\d+", true)->Execute(digits + "x" + digits);
  ASSERT_EQ(matches->items().size(), 2u);
  EXPECT_EQ(matches->items()[1].AsObject()->Get("FirstIndex").AsLong(), 100001);
  EXPECT_EQ(Re("(a|b)+", true)->Replace(pairs + "!", "<$1>"), "<b>!");
  // Errors raised while matching on the deep stack reach the caller.
  EXPECT_EQ(ErrorOf([&] { Re("(a|b")->Test(pairs); }), 5020);
}

TEST(RegExp, ScriptFaceReadsAndWritesProperties) {
  ObjectRef re = CreateRegExp();
  EXPECT_EQ(re->TypeName(), "IRegExp2");
  re->Let("Pattern", "\\d+");
  re->Let("Global", true);
  EXPECT_TRUE(re->Get("Global").AsBool());
  EXPECT_EQ(re->Call("Replace", {"a1b22c333", "#"}).ToString(), "a#b#c#");
  ObjectRef matches = re->Call("Execute", {"a1b22"}).AsObject();
  EXPECT_EQ(matches->TypeName(), "IMatchCollection2");
  EXPECT_EQ(Texts(matches->Enumerate()), (std::vector<std::string>{"1", "22"}));
  EXPECT_EQ(ErrorOf([&] { re->Get("NoSuchMember"); }), 438);
}

}  // namespace
}  // namespace veldrane::vbs
