#include "model/line_geometry.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/c_lines.h"
#include "model/c_shapes.h"
#include "model/tests/model_test_support.h"

namespace veldrane {
namespace {

using geometry::Box;
using geometry::Segment;
using testing_support::ErrorOf;

const double kAlong = 150 * std::cos(0.5);   // about 131.6
const double kAcross = 150 * std::sin(0.5);  // about 71.9

void ExpectSegment(const Segment& s, float x1, float y1, float x2, float y2) {
  EXPECT_EQ(s.x1, x1);
  EXPECT_EQ(s.y1, y1);
  EXPECT_EQ(s.x2, x2);
  EXPECT_EQ(s.y2, y2);
}

TEST(LineGeometry, RoutesBetweenTheFacingSides) {
  const Box from{1000, 1000, 1200, 800};  // right 2200, bottom 1800, middle (1600, 1400)
  // Target to the right: right middle to left middle.
  ExpectSegment(RouteLink(from, Box{3000, 1000, 1200, 800}), 2200, 1400, 3000, 1400);
  // Target below, overlapping horizontally: bottom middle to top middle.
  ExpectSegment(RouteLink(from, Box{1500, 3000, 1200, 800}), 1600, 1800, 2100, 3000);
  // Target below and to the left: bottom middle to the target's right middle.
  ExpectSegment(RouteLink(from, Box{-1000, 3000, 1200, 800}), 1600, 1800, 200, 3400);
  // Target to the left on the same height: left middle to right middle.
  ExpectSegment(RouteLink(from, Box{-1000, 1000, 1200, 800}), 1000, 1400, 200, 1400);
  // Target above, overlapping horizontally: top middle to the target's bottom middle.
  ExpectSegment(RouteLink(from, Box{1500, -1000, 1200, 800}), 1600, 1000, 2100, -200);
  // Overlapping pictures: top middle to top middle.
  ExpectSegment(RouteLink(from, Box{1100, 1100, 1200, 800}), 1600, 1000, 1700, 1100);
}

TEST(LineGeometry, TouchingEdgesFallThroughToTheNextTest) {
  const Box from{0, 0, 1000, 1000};
  // T.L == F.right is not "to the right"; T.P > F.bottom is not true either:
  // the start falls to the left test (false) and then the top side. The end
  // sees F.right == T.L, not "to the left", and ends on T's top side.
  ExpectSegment(RouteLink(from, Box{1000, 0, 1000, 1000}), 500, 0, 1500, 0);
  // Just below, touching: the start takes the top side, the end the top side too.
  ExpectSegment(RouteLink(from, Box{0, 1000, 1000, 1000}), 500, 0, 500, 1000);
}

TEST(LineGeometry, ArcFunctionsAreExactAtTheEnds) {
  EXPECT_NEAR(geometry::ArcSin(1), 1.570796326795, 1e-12);
  EXPECT_NEAR(geometry::ArcSin(-1), -1.570796326795, 1e-12);
  EXPECT_NEAR(geometry::ArcCos(-1), 3.14159265359, 1e-12);
  EXPECT_EQ(geometry::ArcCos(1), 0);
  for (double x : {-0.9, -0.5, 0.0, 0.3, 0.99}) {
    EXPECT_NEAR(geometry::ArcSin(x), std::asin(x), 1e-12) << x;
    EXPECT_NEAR(geometry::ArcCos(x), std::acos(x), 1e-12) << x;
  }
  EXPECT_EQ(ErrorOf([] { geometry::ArcSin(1.5); }), 5);
  EXPECT_EQ(ErrorOf([] { geometry::ArcCos(-2); }), 5);
}

TEST(LineGeometry, BarbsLieHalfARadianEitherSideInEveryQuadrant) {
  for (int step = -180; step <= 180; step += 5) {
    double theta = step * M_PI / 180;
    geometry::Barbs b = geometry::BarbDirections(std::sin(theta), std::cos(theta));
    EXPECT_NEAR(b.cosA, std::cos(theta - 0.5), 1e-9) << step;
    EXPECT_NEAR(b.sinA, std::sin(theta - 0.5), 1e-9) << step;
    EXPECT_NEAR(b.cosB, std::cos(theta + 0.5), 1e-9) << step;
    EXPECT_NEAR(b.sinB, std::sin(theta + 0.5), 1e-9) << step;
  }
}

TEST(LineGeometry, BarbFiguresOfTheEdgeCases) {
  // A line pointing right: seen from its end, the start lies at theta = pi.
  geometry::Barbs right = geometry::BarbDirections(0, -1);
  EXPECT_NEAR(right.cosA * 150, -kAlong, 1e-6);
  EXPECT_NEAR(right.sinA * 150, kAcross, 1e-6);  // arrUp: below the line
  EXPECT_NEAR(right.cosB * 150, -kAlong, 1e-6);
  EXPECT_NEAR(right.sinB * 150, -kAcross, 1e-6);  // arrDown: above it
  // A link of no length.
  geometry::Barbs none = geometry::BarbDirections(0, 0);
  EXPECT_NEAR(none.cosA * 150, kAcross, 1e-6);
  EXPECT_NEAR(none.sinA * 150, -kAcross, 1e-6);
  EXPECT_NEAR(none.cosB * 150, -kAcross, 1e-6);
  EXPECT_NEAR(none.sinB * 150, kAcross, 1e-6);
}

// Two steps and one link between them on a memory window.
struct Drawn {
  std::shared_ptr<MemoryWindow> window = std::make_shared<MemoryWindow>();
  cShapes shapes;
  cLines lines;
  std::shared_ptr<cLine> link;
  Drawn(float x2, float y2) {
    shapes.Form(window);
    lines.Form(window);
    shapes.AddShape(aProcess, 0, 0);
    shapes.AddShape(aProcess, x2, y2);
    link = lines.addLine("1", "2", "");
  }
  std::shared_ptr<MemoryControl> operator()(const char* array) { return window->Element(array, 1); }
};

TEST(LineGeometry, LinkPointingRightEndsInADotWithHiddenBarbs) {
  Drawn d(3000, 0);
  ASSERT_TRUE(d.link);
  auto ln = d("ln");
  EXPECT_EQ(ln->x1(), 1215);
  EXPECT_EQ(ln->y1(), 427.5f);
  EXPECT_EQ(ln->x2(), 3000);
  EXPECT_EQ(ln->y2(), 427.5f);
  auto dot = d("aDot");
  EXPECT_EQ(dot->Left(), 3000 - MemoryWindow::kDotSize / 2);
  EXPECT_EQ(dot->Top(), 427.5f - MemoryWindow::kDotSize / 2);
  EXPECT_TRUE(dot->Visible());
  auto up = d("arrUp");
  auto down = d("arrDown");
  EXPECT_EQ(up->x1(), 3000);
  EXPECT_EQ(up->y1(), 427.5f);
  EXPECT_EQ(down->x1(), 3000);
  EXPECT_EQ(down->y1(), 427.5f);
  EXPECT_NEAR(up->x2(), 3000 - kAlong, 1e-3);
  EXPECT_NEAR(up->y2(), 427.5 + kAcross, 1e-3);
  EXPECT_NEAR(down->x2(), 3000 - kAlong, 1e-3);
  EXPECT_NEAR(down->y2(), 427.5 - kAcross, 1e-3);
  EXPECT_FALSE(up->Visible());
  EXPECT_FALSE(down->Visible());
}

TEST(LineGeometry, ASecondRoutingWritesNothing) {
  Drawn d(0, 3000);
  int64_t writes = d.window->Writes();
  d.lines.UpdateLine(*d.link);
  EXPECT_EQ(d.window->Writes(), writes);
  // A move of less than one unit is no move either.
  d.window->Element("shp", 2)->setLeft(0.4f);
  writes = d.window->Writes();
  d.lines.UpdateLine(*d.link);
  EXPECT_EQ(d.window->Writes(), writes);
}

TEST(LineGeometry, CaptionLabelFollowsTheMiddleOfTheLink) {
  Drawn d(3000, 0);
  auto label = d("lblLineCap");
  label->setCaption("yes");
  d.window->Element("shp", 2)->setTop(2000);
  d.lines.UpdateLine(*d.link);
  auto ln = d("ln");
  EXPECT_FLOAT_EQ(label->Left(), (ln->x1() + ln->x2()) / 2 - label->Width() / 2);
  EXPECT_FLOAT_EQ(label->Top(), (ln->y1() + ln->y2()) / 2 - label->Height() / 2);
  // An empty caption leaves the label where it is.
  label->setCaption("");
  label->Move(1, 1);
  d.window->Element("shp", 2)->setTop(4000);
  d.lines.UpdateLine(*d.link);
  EXPECT_EQ(label->Left(), 1);
}

TEST(LineGeometry, RoutingNeedsNumbersThenTheWindowThenTheSteps) {
  cLine loose;
  loose.sFrom("1");
  loose.sTo("x");
  cLines no_window;
  EXPECT_EQ(ErrorOf([&] { no_window.UpdateLine(loose); }), 13);
  loose.sTo("2");
  EXPECT_EQ(ErrorOf([&] { no_window.UpdateLine(loose); }), 91);
  Drawn d(3000, 0);
  d.link->sTo("7");
  EXPECT_EQ(ErrorOf([&] { d.lines.UpdateLine(*d.link); }), 340);
}

}  // namespace
}  // namespace veldrane
