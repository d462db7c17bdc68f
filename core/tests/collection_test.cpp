#include "core/collection.h"

#include <gtest/gtest.h>

#include "core/event.h"

namespace veldrane {
namespace {

int ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const VbError& e) {
    return e.number();
  }
  return 0;
}

TEST(Collection, KeysIgnoreCaseAndPositionsAreOneBased) {
  Collection<std::string> c;
  c.Add("first", "Total");
  c.Add("second");
  c.Add("third", "k3");
  EXPECT_EQ(c.Count(), 3);
  EXPECT_EQ(c.Item(1), "first");
  EXPECT_EQ(c.Item("TOTAL"), "first");
  EXPECT_EQ(c.Item(Variant("total")), "first");
  EXPECT_EQ(c.Item(Variant(2)), "second");
  EXPECT_EQ(c.KeyAt(3), "k3");
  EXPECT_EQ(ErrorOf([&] { c.Add("dup", "TOTAL"); }), 457);
  EXPECT_EQ(c.Count(), 3);
  EXPECT_EQ(ErrorOf([&] { c.Item("missing"); }), 5);
  EXPECT_EQ(ErrorOf([&] { c.Item(0); }), 9);
  EXPECT_EQ(ErrorOf([&] { c.Item(4); }), 9);
}

TEST(Collection, KeysIgnoreTheCaseOfEveryLetterNotOnlyAscii) {
  Collection<int> c;
  c.Add(1, "\xC3\x9C" "bersicht");  // Übersicht
  EXPECT_EQ(ErrorOf([&] { c.Add(2, "\xC3\xBC" "bersicht"); }), 457);  // übersicht
  EXPECT_EQ(c.Item("\xC3\xBC" "BERSICHT"), 1);
  c.Add(3, "\xD0\x9C\xD0\x98\xD0\xA0");  // МИР
  EXPECT_EQ(c.Item("\xD0\xBC\xD0\xB8\xD1\x80"), 3);  // мир
  c.Add(4, "\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x99\xCE\x91");  // ΣΟΦΙΑ
  EXPECT_TRUE(c.Contains("\xCF\x83\xCE\xBF\xCF\x86\xCE\xB9\xCE\xB1"));  // σοφια
  c.Add(5, "\xC5\x81\xC3\xB3d\xC5\xBA");  // Łódź
  EXPECT_TRUE(c.Contains("\xC5\x82\xC3\x93D\xC5\xB9"));  // łÓDŹ
  // Letters that only look alike stay apart; bytes that are not UTF-8 are kept.
  c.Add(6, "ss");
  EXPECT_FALSE(c.Contains("\xC3\x9F"));
  c.Add(7, "\xFF\xC3");
  EXPECT_EQ(c.Item("\xFF\xC3"), 7);
  EXPECT_TRUE(SameKey("Stra\xC3\x9F" "e", "STRA\xC3\x9F" "E"));
  EXPECT_FALSE(SameKey("\xC3\xA4", "a"));
}

TEST(Collection, RemoveKeepsOrderAndKeysValid) {
  Collection<int> c;
  c.Add(1, "a");
  c.Add(2, "b");
  c.Add(3, "c");
  c.Remove("A");
  EXPECT_EQ(c.Item(1), 2);
  EXPECT_EQ(c.Item("c"), 3);
  c.Remove(2);
  EXPECT_EQ(c.Count(), 1);
  EXPECT_FALSE(c.Contains("c"));
  c.Add(9, "c");  // a removed key may be used again
  EXPECT_EQ(c.Item("C"), 9);
  EXPECT_EQ(ErrorOf([&] { c.Remove("zz"); }), 5);
}

TEST(Collection, ScriptFaceUsesItemAsDefaultMember) {
  auto c = NewCollection<Variant>();
  Variant args[] = {Variant("x"), Variant("K")};
  c->Invoke("add", InvokeKind::Get, Args(args, 2));
  Variant key[] = {Variant("k")};
  EXPECT_EQ(c->Invoke("", InvokeKind::Get, Args(key, 1)), Variant("x"));
  EXPECT_EQ(c->Get("COUNT"), Variant(1));
  EXPECT_EQ(c->Enumerate().size(), 1u);
}

TEST(Event, HandlersRunInOrderAndSeeReferenceArguments) {
  Event<std::string&> ev;
  std::string seen;
  int id = ev.connect([&](std::string& s) { seen += s; s = "changed"; });
  ev.connect([&](std::string& s) { seen += "|" + s; });
  std::string text = "a";
  ev(text);
  EXPECT_EQ(seen, "a|changed");
  EXPECT_EQ(text, "changed");
  ev.disconnect(id);
  seen.clear();
  ev(text);
  EXPECT_EQ(seen, "|changed");
}

}  // namespace
}  // namespace veldrane
