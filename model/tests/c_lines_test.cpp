#include "model/c_lines.h"

#include <gtest/gtest.h>

#include "model/c_shapes.h"
#include "model/tests/model_test_support.h"

namespace veldrane {
namespace {

using testing_support::ErrorOf;
using testing_support::Messages;

// Three steps in a row on a memory window: 1 at x 0, 2 at x 3000, 3 at x 6000.
struct Board {
  std::shared_ptr<MemoryWindow> window = std::make_shared<MemoryWindow>();
  cShapes shapes;
  cLines lines;
  Board() {
    shapes.Form(window);
    lines.Form(window);
    for (int i = 0; i < 3; ++i) shapes.AddShape(aProcess, 3000.0f * i, 0);
  }
  std::shared_ptr<MemoryControl> Ln(int16_t n) { return window->Element("ln", n); }
};

TEST(cLines, RefusesAZeroEndAndAcceptsEverythingElse) {
  cLines lines;
  Messages refusals;
  lines.linkError.connect(refusals.Handler());
  EXPECT_FALSE(lines.addLine("0", "2", ""));
  EXPECT_FALSE(lines.addLine("1", "0", ""));
  EXPECT_EQ(refusals.texts, (std::vector<std::string>{"Cannot make a link!!!!", "Cannot make a link!!!!"}));
  EXPECT_EQ(lines.Count(), 0);
  EXPECT_EQ(lines.MAX_LINE, 0);

  // Without a window: a link with no controls.
  auto link = lines.addLine("1", "2", "");
  ASSERT_TRUE(link);
  EXPECT_FALSE(link->objLine);
  EXPECT_EQ(link->sCaption(), "");
  EXPECT_EQ(lines.Count(), 1);
  // Ends naming no step, a step linked to itself and duplicates are accepted.
  EXPECT_TRUE(lines.addLine("7", "7", "self"));
  EXPECT_TRUE(lines.addLine("1", "2", "twice"));
  EXPECT_EQ(lines.Count(), 3);
  EXPECT_EQ(lines.MAX_LINE, 3);
  EXPECT_TRUE(refusals.texts.size() == 2);
}

TEST(cLines, AnEndThatIsNoNumberKeepsTheLinkButReturnsNone) {
  cLines lines;
  EXPECT_FALSE(lines.addLine("", "2", "c"));
  EXPECT_FALSE(lines.addLine("1", "two", "c"));
  // Both stay in the collection, numbered and captioned.
  ASSERT_EQ(lines.Count(), 2);
  EXPECT_EQ(lines.item(Variant(1))->sFrom(), "");
  EXPECT_EQ(lines.item(Variant(2))->sCaption(), "c");
  EXPECT_EQ(lines.MAX_LINE, 2);
  EXPECT_EQ(ErrorOf([&] { lines.UpdateLine(*lines.item(Variant(1))); }), 13);
}

TEST(cLines, CounterOverflowsWithTheLinkAlreadyAdded) {
  cLines lines;
  lines.MAX_LINE = 32767;
  EXPECT_FALSE(lines.addLine("1", "2", ""));
  EXPECT_EQ(lines.Count(), 1);
  EXPECT_EQ(lines.MAX_LINE, 32767);
}

TEST(cLines, PositionsOutsideTheCollectionFail) {
  cLines lines;
  lines.addLine("1", "2", "");
  EXPECT_EQ(ErrorOf([&] { lines.item(Variant(2)); }), 9);
  EXPECT_EQ(ErrorOf([&] { lines.Remove(Variant(0)); }), 9);
  lines.Remove(Variant(1));
  EXPECT_EQ(lines.Count(), 0);
}

TEST(cLines, NewLinkGetsItsFiveControlsWithTheCaptionInFront) {
  Board b;
  auto link = b.lines.addLine("1", "2", "yes");
  ASSERT_TRUE(link);
  EXPECT_EQ(link->objLine, b.Ln(1));
  EXPECT_TRUE(b.Ln(1)->Visible());
  for (const char* array : {"arrUp", "arrDown", "lblLineCap"}) {
    ASSERT_TRUE(b.window->Element(array, 1)) << array;
    EXPECT_FALSE(b.window->Element(array, 1)->Visible()) << array;
  }
  EXPECT_TRUE(b.window->Element("aDot", 1)->Visible());
  // The caption is the link's; the label only shows once captioned on the window.
  EXPECT_EQ(b.window->Element("lblLineCap", 1)->Caption(), "");
  auto order = b.window->DrawingOrderNames();
  std::vector<std::string> tail(order.end() - 4, order.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"arrUp(1)", "arrDown(1)", "aDot(1)", "lblLineCap(1)"}));
}

TEST(cLines, LinkToAMissingStepOnAWindowStaysWithoutRouting) {
  Board b;
  EXPECT_FALSE(b.lines.addLine("1", "9", ""));
  EXPECT_EQ(b.lines.Count(), 1);
  EXPECT_EQ(b.lines.MAX_LINE, 1);
  EXPECT_FALSE(b.Ln(1)->Visible());  // failed before it was shown
}

TEST(cLines, DeleteRemovesEveryLinkBetweenThePairInBothDirections) {
  Board b;
  b.lines.addLine("1", "2", "a");
  b.lines.addLine("2", "3", "keep");
  b.lines.addLine("1", "2", "b");
  b.lines.addLine("2", "1", "back");
  b.lines.DeleteLine(2, 1);
  ASSERT_EQ(b.lines.Count(), 1);
  EXPECT_EQ(b.lines.item(Variant(1))->sCaption(), "keep");
  for (int16_t n : {1, 3, 4}) {
    EXPECT_FALSE(b.Ln(n)->Visible()) << n;
    EXPECT_FALSE(b.window->Element("aDot", n)->Visible()) << n;
  }
  EXPECT_TRUE(b.Ln(2)->Visible());
  // Numbers are not reused.
  b.lines.addLine("1", "3", "");
  EXPECT_EQ(b.lines.item(Variant(2))->objLine->Index(), 5);
}

TEST(cLines, DeleteRefusesEndsNotAboveZero) {
  Board b;
  b.lines.addLine("1", "2", "");
  Messages refusals;
  b.lines.linkError.connect(refusals.Handler());
  b.lines.DeleteLine(0, 2);
  b.lines.DeleteLine(1, -3);
  EXPECT_EQ(refusals.texts, (std::vector<std::string>(2, "Cannot determine which arrow to delete.")));
  EXPECT_EQ(b.lines.Count(), 1);
}

TEST(cLines, DeleteWithoutAWindowFailsBeforeChangingAnything) {
  cLines lines;
  lines.addLine("1", "2", "");
  lines.addLine("2", "1", "");
  EXPECT_EQ(ErrorOf([&] { lines.DeleteLine(1, 2); }), 91);
  EXPECT_EQ(lines.Count(), 2);
  EXPECT_EQ(lines.item(Variant(2))->sFrom(), "2");
  EXPECT_EQ(ErrorOf([&] { lines.DeleteLine(5, 6); }), 0);  // nothing to delete
}

TEST(cLines, CaptionIsAskedForEveryMatchingLinkAndCentredOnTheLine) {
  Board b;
  b.lines.addLine("1", "2", "");
  b.lines.addLine("2", "3", "");
  b.lines.addLine("2", "1", "");
  std::vector<std::string> asked;
  int calls = 0;
  b.lines.Prompt([&](std::string_view prompt, std::string_view title, std::string_view def) {
    asked.push_back(std::string(prompt) + "|" + std::string(title) + "|" + std::string(def));
    return ++calls == 1 ? std::string("Yes") : std::string();
  });
  b.lines.AddCaptionToLine("1", "2");
  EXPECT_EQ(asked, (std::vector<std::string>(2, "Enter the caption:|Add Caption To Line|")));
  EXPECT_EQ(b.lines.item(Variant(1))->sCaption(), "Yes");
  EXPECT_EQ(b.lines.item(Variant(3))->sCaption(), "");
  auto label = b.window->Element("lblLineCap", 1);
  EXPECT_EQ(label->Caption(), "Yes");
  EXPECT_TRUE(label->Visible());
  auto ln = b.Ln(1);
  EXPECT_FLOAT_EQ(label->Left() + label->Width() / 2, (ln->x1() + ln->x2()) / 2);
  EXPECT_FLOAT_EQ(label->Top() + label->Height() / 2, (ln->y1() + ln->y2()) / 2);
  EXPECT_FALSE(b.window->Element("lblLineCap", 3)->Visible());  // cancelled: empty, hidden
  EXPECT_EQ(b.lines.item(Variant(2))->sCaption(), "");          // 2 -> 3 was not asked about

  // The ends are compared as text: "01" is not "1".
  asked.clear();
  b.lines.AddCaptionToLine("01", "2");
  EXPECT_TRUE(asked.empty());
}

TEST(cLines, CaptionWithoutAWindowFailsAfterTheFirstCaption) {
  cLines lines;
  lines.addLine("1", "2", "");
  lines.addLine("1", "2", "");
  lines.Prompt([](std::string_view, std::string_view, std::string_view) { return std::string("No"); });
  EXPECT_EQ(ErrorOf([&] { lines.AddCaptionToLine("2", "1"); }), 91);
  EXPECT_EQ(lines.item(Variant(1))->sCaption(), "No");
  EXPECT_EQ(lines.item(Variant(2))->sCaption(), "");
}

TEST(cLines, UpdateConnectedLinesReroutesOnlyTheStepsLinks) {
  Board b;
  b.lines.addLine("1", "2", "");
  b.lines.addLine("3", "1", "");
  b.lines.addLine("2", "3", "");
  auto before_2 = b.Ln(2)->y1();
  // Step 2 moves down: links 1 and 3 follow it, link 2 (3 -> 1) does not.
  b.window->Element("shp", 2)->Move(3000, 5000);
  b.lines.UpdateConntectedLines("02");  // compared as text: touches nothing
  EXPECT_EQ(b.Ln(1)->y2(), 427.5f);
  EXPECT_EQ(b.Ln(3)->y1(), 427.5f);
  b.lines.UpdateConntectedLines("2");
  EXPECT_EQ(b.Ln(1)->x2(), 3000);  // still the left side of step 2...
  EXPECT_EQ(b.Ln(1)->y2(), 5427.5f);  // ...at its new height
  EXPECT_EQ(b.Ln(3)->x1(), 4215);
  EXPECT_EQ(b.Ln(3)->y1(), 5427.5f);
  EXPECT_EQ(b.Ln(2)->y1(), before_2);

  cLines bare;
  bare.addLine("1", "2", "");
  EXPECT_EQ(ErrorOf([&] { bare.UpdateConntectedLines("3"); }), 0);
  EXPECT_EQ(ErrorOf([&] { bare.UpdateConntectedLines("2"); }), 91);
}

}  // namespace
}  // namespace veldrane
