#include "model/c_shapes.h"

#include <gtest/gtest.h>

#include "platform/db/ado.h"
#include "model/tests/model_test_support.h"

namespace veldrane {
namespace {

using testing_support::ErrorOf;
using testing_support::Messages;
using testing_support::TestProcess;

// A step collection on a memory window whose process shares the link
// collection, as a designer sets them up.
struct Designer {
  std::shared_ptr<MemoryWindow> window = std::make_shared<MemoryWindow>();
  std::shared_ptr<TestProcess> process = std::make_shared<TestProcess>();
  cShapes shapes;
  Designer() {
    window->SetProcess(process);
    shapes.Form(window);
    process->lines->Form(window);
  }
  cLines& lines() { return *process->lines; }
};

TEST(cShapes, NumbersAndKeysCountFromOneAndShiftTheCurrentStep) {
  cShapes shapes;
  std::vector<std::shared_ptr<cShape>> made;
  for (int i = 0; i < 10; ++i) made.push_back(shapes.AddShape(aProcess, 0, 0));
  EXPECT_EQ(made[0]->Index, 1);
  EXPECT_EQ(made[0]->Key, "k1");
  EXPECT_EQ(made[9]->Index, 10);
  EXPECT_EQ(made[9]->Key, "k10");
  EXPECT_EQ(shapes.MAX_SHAPE, 10);
  EXPECT_EQ(shapes.CurrCtl(), "k10");
  EXPECT_EQ(shapes.PrevCtl(), "k9");
  EXPECT_EQ(shapes.Collection()->Count(), 10);
  EXPECT_EQ(shapes.Collection()->Item("K7"), made[6]);  // keys fetch in any case
}

TEST(cShapes, AddsWithoutAWindow) {
  cShapes shapes;
  auto plain = shapes.AddShape(aStart, 660, 500);
  ASSERT_TRUE(plain);
  EXPECT_FALSE(plain->objShape);
  EXPECT_EQ(plain->sCaption(), "");
  EXPECT_EQ(shapes.CurrCtl(), "k1");
  auto captioned = shapes.AddShape(aData, 2550, 500, "SOURCE");
  ASSERT_TRUE(captioned);
  EXPECT_EQ(captioned->sCaption(), "SOURCE");
  // The position is kept for a later save or drawing.
  EXPECT_EQ(captioned->X(), 2550);
  EXPECT_EQ(captioned->Y(), 500);
  // Designer operations need the window.
  EXPECT_EQ(ErrorOf([&] { shapes.getIndexByKey("k1"); }), 91);
  EXPECT_EQ(ErrorOf([&] { shapes.removeShape(2); }), 91);
  EXPECT_EQ(shapes.Collection()->Count(), 2);
  EXPECT_EQ(ErrorOf([&] { shapes.AddCaptionToShape("k1", "BEGIN"); }), 91);
  EXPECT_EQ(plain->sCaption(), "BEGIN");  // set before the window is needed
}

TEST(cShapes, InitialPayloadFollowsTheType) {
  cShapes shapes;
  EXPECT_TRUE(std::holds_alternative<tData>(shapes.AddShape(aData, 0, 0)->objElements));
  EXPECT_TRUE(std::holds_alternative<tStorage>(shapes.AddShape(aStorage, 0, 0)->objElements));
  EXPECT_TRUE(std::holds_alternative<tDecission>(shapes.AddShape(aDecission, 0, 0)->objElements));
  auto end = shapes.AddShape(aStop, 0, 0);
  ASSERT_TRUE(std::holds_alternative<std::string>(end->objElements));
  EXPECT_EQ(std::get<std::string>(end->objElements), "");
  for (int16_t type : std::vector<int16_t>{aNothing, aStart, aProcess, aPoint, 11, -1}) {
    auto step = shapes.AddShape(type, 0, 0);
    ASSERT_TRUE(step) << type;
    EXPECT_TRUE(std::holds_alternative<std::monostate>(step->objElements)) << type;
  }
  // A new SOURCE or TARGET record has no field collection yet.
  EXPECT_FALSE(std::get<tData>(shapes.Collection()->Item(1)->objElements).fields);
  EXPECT_FALSE(std::get<tStorage>(shapes.Collection()->Item(2)->objElements).fields);
}

TEST(cShapes, CopiesOfOnePayloadShareTheirFields) {
  cShapes shapes;
  shapes.AddShape(aStorage, 0, 0, "A");
  shapes.AddShape(aStorage, 0, 0, "B");
  tStorage record;
  record.target = "CUSTOMERS";
  record.fields = NewCollection<tFields>();
  shapes.AddElementsToNode("k1", record);
  shapes.AddElementsToNode("k2", record);
  record.target = "changed later";  // strings are copied...
  std::get<tStorage>(shapes.Collection()->Item(1)->objElements).fields->Add(tFields{"CUSTNO", 3, 4, "", ""}, "CUSTNO");
  auto& b = std::get<tStorage>(shapes.Collection()->Item(2)->objElements);
  EXPECT_EQ(b.target, "CUSTOMERS");
  ASSERT_EQ(b.fields->Count(), 1);  // ...the field collection is shared
  EXPECT_EQ(b.fields->Item("custno").f_name, "CUSTNO");
  EXPECT_EQ(record.fields->Count(), 1);
}

TEST(cShapes, NewSourceTellsTheStepsAttachmentThatItsRowsAreStale) {
  cShapes shapes;
  auto step = shapes.AddShape(aData, 0, 0, "SOURCE");
  auto told = std::make_shared<ToldAttachment>();
  step->attach(told);
  tData same;  // same (empty) Source as the initial record
  same.connString = "Provider=SQLite;Data Source=x.db";
  shapes.AddElementsToNode("k1", same);
  EXPECT_EQ(told->source_changes, 0);
  EXPECT_EQ(std::get<tData>(step->objElements).connString, "Provider=SQLite;Data Source=x.db");

  tData other = same;
  other.Source = "CUSTOMERS";
  shapes.AddElementsToNode("k1", other);
  EXPECT_EQ(told->source_changes, 1);

  // Only the text decides, case included.
  other.Source = "customers";
  shapes.AddElementsToNode("k1", other);
  EXPECT_EQ(told->source_changes, 2);

  // A TARGET step keeps its query whatever the record says; a new
  // connection is what makes its rows stale.
  auto target = shapes.AddShape(aStorage, 0, 0);
  auto target_told = std::make_shared<ToldAttachment>();
  target->attach(target_told);
  shapes.AddElementsToNode("k2", tStorage{"", "", "table", "T", nullptr, "Insert"});
  EXPECT_EQ(target_told->source_changes, 0);
  auto first = target->cnSource();
  target->cnSource(first);
  EXPECT_EQ(target_told->connection_changes, 0);
  target->cnSource(ado::Connection::Create());
  EXPECT_EQ(target_told->connection_changes, 1);

  EXPECT_EQ(ErrorOf([&] { shapes.AddElementsToNode("k99", tDecission{}); }), 5);
  EXPECT_EQ(ErrorOf([&] { shapes.AddElementsToNode("k1", std::string("not a record")); }), 13);
}

TEST(cShapes, LookUpsBetweenKeysNumbersAndPositions) {
  Designer d;
  for (int i = 0; i < 3; ++i) d.shapes.AddShape(aProcess, 100.0f * i, 0);
  EXPECT_EQ(d.shapes.getPosByKey("k3"), 3);
  EXPECT_EQ(d.shapes.getPosByKey("K3"), 0);  // positions compare keys exactly
  EXPECT_EQ(d.shapes.getPosByKey("k9"), 0);
  EXPECT_EQ(d.shapes.getKeyByIndex(2), "k2");
  EXPECT_EQ(d.shapes.getKeyByIndex(9), "");
  EXPECT_EQ(d.shapes.getIndexByKey(""), -1);
  EXPECT_EQ(d.shapes.getIndexByKey("k2"), 2);
  EXPECT_EQ(ErrorOf([&] { d.shapes.getIndexByKey("k9"); }), 5);

  ASSERT_TRUE(d.shapes.removeShape(1));
  EXPECT_EQ(d.shapes.getPosByKey("k3"), 2);
  EXPECT_EQ(d.shapes.getIndexByKey("k3"), 3);
  EXPECT_EQ(d.shapes.getKeyByIndex(1), "");
  // Numbers are never given out again.
  EXPECT_EQ(d.shapes.AddShape(aProcess, 0, 0)->Index, 4);
}

TEST(cShapes, CounterOverflowsInsteadOfWrapping) {
  cShapes shapes;
  shapes.MAX_SHAPE = 32766;
  auto last = shapes.AddShape(aProcess, 0, 0);
  ASSERT_TRUE(last);
  EXPECT_EQ(last->Key, "k32767");
  EXPECT_FALSE(shapes.AddShape(aProcess, 0, 0));
  EXPECT_EQ(shapes.MAX_SHAPE, 32767);
  EXPECT_EQ(shapes.Collection()->Count(), 1);
  EXPECT_EQ(shapes.CurrCtl(), "k32767");
}

TEST(cShapes, PlacesPictureAndCaptionOnTheWindow) {
  Designer d;
  d.window->setMouseIcon("hand");
  auto step = d.shapes.AddShape(aStorage, 300, 400, "TARGET");
  ASSERT_TRUE(step);
  auto picture = d.window->Element("shp", 1);
  auto label = d.window->Element("lblShapeCap", 1);
  ASSERT_TRUE(picture && label);
  EXPECT_EQ(step->objShape, picture);
  EXPECT_TRUE(picture->Visible());
  EXPECT_EQ(picture->Left(), 300);
  EXPECT_EQ(picture->Top(), 400);
  EXPECT_EQ(picture->Picture(), "storage");
  EXPECT_EQ(d.window->MouseIcon(), "");
  EXPECT_EQ(label->Caption(), "TARGET");
  EXPECT_TRUE(label->Visible());
  EXPECT_EQ(label->Top(), 400 + MemoryWindow::kPictureHeight + 5);

  // A step without a caption leaves its label hidden; a type without a
  // picture source leaves the picture as loaded.
  auto bare = d.shapes.AddShape(aNothing, 0, 0);
  EXPECT_FALSE(d.window->Element("lblShapeCap", 2)->Visible());
  EXPECT_EQ(d.window->Element("shp", 2)->Picture(), "");
  // The window is the truth for a windowed step's position.
  d.window->Element("shp", 2)->setLeft(77);
  EXPECT_EQ(bare->X(), 77);

  // An empty caption hides the label again.
  d.shapes.AddCaptionToShape("k1", "");
  EXPECT_FALSE(label->Visible());
  EXPECT_EQ(step->sCaption(), "");
}

TEST(cShapes, CaptionIsCentredWithBankersRoundingIn16Bits) {
  Designer d;
  d.window->Element("lblShapeCap", 0)->setWidth(1000);
  d.shapes.AddShape(aProcess, 99, 0, "P");
  // 99 + 1215 / 2 = 706.5 rounds to the even 706; 1000 / 2 = 500.
  EXPECT_EQ(d.window->Element("lblShapeCap", 1)->Left(), 206);
  d.window->Element("lblShapeCap", 1)->setWidth(1001);  // 500.5 rounds to 500
  d.shapes.AddCaptionToShape("k1", "Q");
  EXPECT_EQ(d.window->Element("lblShapeCap", 1)->Left(), 206);
  d.window->Element("lblShapeCap", 1)->setWidth(1003);  // 501.5 rounds to 502
  d.shapes.AddCaptionToShape("k1", "Q");
  EXPECT_EQ(d.window->Element("lblShapeCap", 1)->Left(), 204);

  // Past 16 bits the centring overflows; AddShape then gives no step, but the
  // step is already in the collection and captioned.
  EXPECT_FALSE(d.shapes.AddShape(aProcess, 32767, 0, "FAR"));
  EXPECT_EQ(d.shapes.Collection()->Count(), 2);
  EXPECT_EQ(d.shapes.Collection()->Item("k2")->sCaption(), "FAR");
  EXPECT_EQ(ErrorOf([&] { d.shapes.AddCaptionToShape("k2", "FAR"); }), 6);
}

TEST(cShapes, AMissingWindowMemberEndsTheRequest) {
  Designer d;
  d.window->RemoveMember("imgStorage");
  EXPECT_FALSE(d.shapes.AddShape(aStorage, 0, 0));
  EXPECT_EQ(d.shapes.MAX_SHAPE, 1);
  EXPECT_EQ(d.shapes.Collection()->Count(), 0);
  EXPECT_EQ(d.shapes.CurrCtl(), "");
  // The number is spent: the next step leaves a gap.
  EXPECT_EQ(d.shapes.AddShape(aStart, 0, 0)->Index, 2);

  d.window->RemoveMember("MouseIcon");
  EXPECT_FALSE(d.shapes.AddShape(aStart, 0, 0));
  EXPECT_EQ(d.shapes.MAX_SHAPE, 3);
}

TEST(cShapes, RemovingAStepDeletesItsLinksAndHidesItsControls) {
  Designer d;
  d.shapes.AddShape(aStart, 0, 0, "START");
  d.shapes.AddShape(aProcess, 2000, 0, "P");
  d.shapes.AddShape(aProcess, 4000, 0, "Q");
  d.lines().addLine("1", "2", "");
  d.lines().addLine("2", "3", "");
  d.lines().addLine("3", "2", "back");
  d.lines().addLine("2", "3", "again");
  d.lines().addLine("1", "3", "");
  Messages refusals;
  d.shapes.linkError.connect(refusals.Handler());

  EXPECT_TRUE(d.shapes.removeShape(2));
  EXPECT_TRUE(refusals.texts.empty());
  ASSERT_EQ(d.lines().Count(), 1);
  EXPECT_EQ(d.lines().item(Variant(1))->sTo(), "3");
  EXPECT_FALSE(d.window->Element("shp", 2)->Visible());
  EXPECT_FALSE(d.window->Element("lblShapeCap", 2)->Visible());
  EXPECT_FALSE(d.window->Element("ln", 2)->Visible());
  EXPECT_TRUE(d.window->Element("ln", 5)->Visible());
  EXPECT_FALSE(d.window->Control("shpSelector").Visible());
  EXPECT_FALSE(d.window->Control("shpPrevious").Visible());
  EXPECT_EQ(d.shapes.Collection()->Count(), 2);
  EXPECT_EQ(d.shapes.CurrCtl(), "k2");  // the previous current step, even though it is gone
  EXPECT_EQ(d.shapes.PrevCtl(), "k2");
  // PrevCtl does not move, so a second removal leaves both the same.
  EXPECT_TRUE(d.shapes.removeShape(3));
  EXPECT_EQ(d.shapes.CurrCtl(), "k2");
  EXPECT_EQ(d.shapes.PrevCtl(), "k2");
  EXPECT_EQ(d.lines().Count(), 0);
}

TEST(cShapes, StartAndEndAreRefusedButLoseTheirLinks) {
  Designer d;
  d.shapes.AddShape(aStart, 0, 0, "START");
  d.shapes.AddShape(aStop, 3000, 0, "END");
  d.lines().addLine("1", "2", "");
  Messages refusals;
  d.shapes.linkError.connect(refusals.Handler());
  EXPECT_FALSE(d.shapes.removeShape(1));
  EXPECT_EQ(refusals.texts, std::vector<std::string>{"Cannot delete start or end object."});
  EXPECT_EQ(d.shapes.Collection()->Count(), 2);
  EXPECT_TRUE(d.window->Element("shp", 1)->Visible());
  EXPECT_EQ(d.lines().Count(), 0);
  EXPECT_FALSE(d.shapes.removeShape(2));
  EXPECT_EQ(refusals.texts.size(), 2u);

  // A number no step has is the collection's failure; nothing else changes.
  EXPECT_EQ(ErrorOf([&] { d.shapes.removeShape(9); }), 5);
  EXPECT_EQ(d.shapes.Collection()->Count(), 2);
}

TEST(cShapes, RemovalNeedsTheWindowsProcess) {
  Designer d;
  d.shapes.AddShape(aProcess, 0, 0);
  d.window->SetProcess(nullptr);
  EXPECT_EQ(ErrorOf([&] { d.shapes.removeShape(1); }), 91);
  d.window->RemoveMember("process");
  EXPECT_EQ(ErrorOf([&] { d.shapes.removeShape(1); }), 438);
  EXPECT_EQ(d.shapes.Collection()->Count(), 1);
}

TEST(cShapes, ScriptFaceAnswersByNameAndCanBeExtended) {
  cShapes shapes;
  auto step = shapes.AddShape(aData, 0, 0, "SOURCE");
  EXPECT_EQ(step->Get("KEY").ToString(), "k1");
  EXPECT_EQ(step->Get("index").ToInteger(), 1);
  EXPECT_EQ(step->Get("objType").ToInteger(), aData);
  step->Let("sCaption", Variant("RENAMED"));
  EXPECT_EQ(step->sCaption(), "RENAMED");
  EXPECT_EQ(ErrorOf([&] { step->Let("Key", Variant("k9")); }), 438);
  EXPECT_EQ(ErrorOf([&] { step->Get("NoSuchMember"); }), 438);

  cShape::Members().Property("TestOnlyEcho", [](cShape& s) { return Variant("echo " + s.Key); });
  EXPECT_EQ(step->Get("testonlyecho").ToString(), "echo k1");
}

}  // namespace
}  // namespace veldrane
