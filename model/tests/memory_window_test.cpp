#include "model/memory_window.h"

#include <gtest/gtest.h>

#include "model/tests/model_test_support.h"

namespace veldrane {
namespace {

using testing_support::ErrorOf;

TEST(MemoryWindow, LoadsHiddenElementsSizedLikeTheFirst) {
  MemoryWindow w;
  for (const char* array : {"shp", "lblShapeCap", "ln", "arrUp", "arrDown", "aDot", "lblLineCap"}) {
    EXPECT_EQ(w.Indexes(array), std::vector<int16_t>{0}) << array;
  }
  w.Element("shp", 0)->setWidth(500);
  w.Element("shp", 0)->setVisible(true);
  w.Array("shp").Load(4);
  auto e = w.Element("shp", 4);
  ASSERT_TRUE(e);
  EXPECT_FALSE(e->Visible());
  EXPECT_EQ(e->Width(), 500);
  EXPECT_EQ(e->Height(), MemoryWindow::kPictureHeight);
  EXPECT_EQ(e->Index(), 4);
  EXPECT_EQ(w.Indexes("shp"), (std::vector<int16_t>{0, 4}));
  EXPECT_EQ(ErrorOf([&] { w.Array("shp").Load(4); }), 360);
  EXPECT_EQ(ErrorOf([&] { w.Array("shp").Item(3); }), 340);
  EXPECT_EQ(ErrorOf([&] { w.Array("SHP").Item(4); }), 0);  // members by name in any case
}

TEST(MemoryWindow, ControlsAnswerOnlyTheirOwnMembers) {
  MemoryWindow w;
  auto line = w.Element("ln", 0);
  auto label = w.Element("lblLineCap", 0);
  auto dot = w.Element("aDot", 0);
  EXPECT_EQ(ErrorOf([&] { line->Left(); }), 438);
  EXPECT_EQ(ErrorOf([&] { line->Move(1, 2); }), 438);
  EXPECT_EQ(ErrorOf([&] { label->x1(); }), 438);
  EXPECT_EQ(ErrorOf([&] { dot->Caption(); }), 438);
  EXPECT_EQ(ErrorOf([&] { label->setPicture("p"); }), 438);
  EXPECT_EQ(ErrorOf([&] { w.Control("imgStart").Index(); }), 343);
  EXPECT_EQ(w.Control("imgStop").Picture(), "stop");
  label->Move(10, 20);
  EXPECT_EQ(label->Left(), 10);
  EXPECT_EQ(label->Top(), 20);
}

TEST(MemoryWindow, ZOrderMovesToEitherEndOfTheDrawingOrder) {
  MemoryWindow w;
  w.Array("ln").Load(1);
  w.Array("aDot").Load(1);
  auto order = w.DrawingOrderNames();
  ASSERT_GE(order.size(), 2u);
  EXPECT_EQ(order.back(), "aDot(1)");  // new elements are drawn in front
  w.Element("ln", 1)->ZOrder(0);
  EXPECT_EQ(w.DrawingOrderNames().back(), "ln(1)");
  w.Element("ln", 1)->ZOrder(1);
  EXPECT_EQ(w.DrawingOrderNames().front(), "ln(1)");
  EXPECT_EQ(w.DrawingOrderNames().size(), order.size());
}

TEST(MemoryWindow, RemovedMembersFailAsMissing) {
  MemoryWindow w;
  w.RemoveMember("aDot");
  w.RemoveMember("shpSelector");
  w.RemoveMember("MouseIcon");
  w.RemoveMember("process");
  EXPECT_EQ(ErrorOf([&] { w.Array("aDot"); }), 438);
  EXPECT_EQ(ErrorOf([&] { w.Control("shpSelector"); }), 438);
  EXPECT_EQ(ErrorOf([&] { w.setMouseIcon(""); }), 438);
  EXPECT_EQ(ErrorOf([&] { w.process(); }), 438);
  EXPECT_EQ(ErrorOf([&] { w.Array("shp"); }), 0);
}

TEST(MemoryWindow, ControlsOutliveTheirWindow) {
  std::shared_ptr<WindowControl> kept;
  {
    MemoryWindow w;
    w.Array("shp").Load(1);
    kept = w.Array("shp").Item(1);
  }
  kept->setLeft(5);
  kept->ZOrder(0);  // no window left to order: nothing happens
  EXPECT_EQ(kept->Left(), 5);
}

}  // namespace
}  // namespace veldrane
