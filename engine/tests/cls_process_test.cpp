// The process object itself: its collections, the log relay, the walks along
// the links, the caption index, insertShapeAtEnd and its script face. Runs
// are tested with the run driver.
#include "engine/cls_process.h"

#include <gtest/gtest.h>

#include <functional>

#include "engine/tests/process_probe.h"
#include "formulas/c_formulas.h"
#include "history/cls_log.h"
#include "model/memory_window.h"

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

std::shared_ptr<cShape> Step(clsProcess& p, const std::string& key) { return p.Shapes()->Collection()->Item(key); }

std::vector<std::string> LinksOf(clsProcess& p) {
  std::vector<std::string> out;
  for (const std::shared_ptr<cLine>& l : *p.Lines()->Collection())
    out.push_back(l->sFrom() + ">" + l->sTo() + " " + l->sCaption());
  return out;
}

struct Designer {
  std::shared_ptr<clsProcess> process = std::make_shared<clsProcess>();
  std::shared_ptr<MemoryWindow> window = std::make_shared<MemoryWindow>();
  Designer() {
    window->SetProcess(process);
    EXPECT_EQ(process->LoadIntegration("", window), "");  // START k1, TARGET k2, END k3, SOURCE k4
  }
};

TEST(clsProcess, NewObjectIsEmptyAndCreatesEachCollectionOnce) {
  clsProcess p;
  EXPECT_EQ(p.Filename(), "");
  EXPECT_EQ(p.SourceStep(), nullptr);
  EXPECT_EQ(p.SourceData(), nullptr);
  EXPECT_EQ(p.Shapes(), p.Shapes());
  EXPECT_EQ(p.Lines(), p.Lines());
  EXPECT_EQ(p.Formulas(), p.Formulas());
  EXPECT_EQ(p.Shapes()->Collection()->Count(), 0);
  EXPECT_EQ(p.Lines()->Count(), 0);
  EXPECT_EQ(p.Formulas()->Count(), 0);
  EXPECT_EQ(p.Form(), nullptr);
  EXPECT_FALSE(p.Log()->IsCritical());
}

TEST(clsProcess, StatisticsIsACopy) {
  clsProcess p;
  tStatistic copy = p.Statistics();
  copy.Success[0] = 5;
  copy.CurrRecord = 9;
  EXPECT_EQ(p.Statistics().Success[0], 0);
  EXPECT_EQ(p.Statistics().CurrRecord, 0);
}

TEST(clsProcess, RelaysItsLogsCriticalEntries) {
  std::shared_ptr<clsLog> log;
  std::vector<std::string> seen;
  {
    clsProcess p;
    p.LogAdded.connect([&](std::string& text) { seen.push_back(text); });
    log = p.Log();
    log->AddCritical("CRITICAL ERROR: step failed");
    log->AddLog("ordinary entry");
    EXPECT_EQ(seen, (std::vector<std::string>{"CRITICAL ERROR: step failed"}));
  }
  // A step may keep the log after its process is gone.
  log->AddCritical("after");
  EXPECT_EQ(seen.size(), 1u);
}

TEST(clsProcess, FindsStartAndEndByType) {
  clsProcess p;
  EXPECT_EQ(ProcessProbe::Start(p), nullptr);
  EXPECT_EQ(ProcessProbe::End(p), nullptr);
  ASSERT_EQ(p.LoadIntegration(""), "");
  p.Shapes()->AddShape(aStart, 0, 0, "second start");
  EXPECT_EQ(ProcessProbe::Start(p)->Key, "k1");
  EXPECT_EQ(ProcessProbe::End(p)->Key, "k3");
}

TEST(clsProcess, NextStepFollowsTheFirstLinkWithAMatchingCaption) {
  clsProcess p;
  p.Shapes()->AddShape(aDecission, 0, 0, "D");
  p.Shapes()->AddShape(aProcess, 0, 0, "A");
  p.Shapes()->AddShape(aProcess, 0, 0, "B");
  p.Lines()->addLine("1", "2", "Yes");
  p.Lines()->addLine("1", "3", "No");
  p.Lines()->addLine("1", "2", "no");
  auto d = Step(p, "k1");
  EXPECT_EQ(ProcessProbe::Next(p, d, "")->Key, "k2");
  EXPECT_EQ(ProcessProbe::Next(p, d, "NO")->Key, "k3");
  EXPECT_EQ(ProcessProbe::Next(p, d, "yes")->Key, "k2");
  EXPECT_EQ(ProcessProbe::Next(p, d, "Maybe"), nullptr);
  EXPECT_EQ(ProcessProbe::Next(p, Step(p, "k3"), ""), nullptr);
  EXPECT_EQ(ProcessProbe::Next(p, nullptr, ""), nullptr);
  EXPECT_EQ(ProcessProbe::Previous(p, Step(p, "k3"))->Key, "k1");
  EXPECT_EQ(ProcessProbe::Previous(p, d), nullptr);
}

TEST(clsProcess, NextStepTakesTheLinkEndAsAPositionAfterRemovals) {
  Designer d;
  clsProcess& p = *d.process;
  p.Shapes()->AddShape(aProcess, 0, 0, "P");  // k5
  ASSERT_TRUE(p.Shapes()->removeShape(2));    // k1 k3 k4 k5 remain
  p.Lines()->addLine("4", "3", "");
  // "3" is the third step in the collection (k4), not the step numbered 3.
  EXPECT_EQ(ProcessProbe::Next(p, Step(p, "k4"), "")->Key, "k4");
  EXPECT_EQ(ProcessProbe::Next(p, Step(p, "k1"), "")->Key, "k5");  // 1>4: position 4 is k5
  p.Lines()->addLine("5", "9", "");
  EXPECT_EQ(ErrorOf([&] { ProcessProbe::Next(p, Step(p, "k5"), ""); }), 9);
}

TEST(clsProcess, IndexByCaptionRefusesCaptionsDifferingInCase) {
  clsProcess p;
  p.Shapes()->AddShape(aProcess, 0, 0, "Source");
  p.Shapes()->AddShape(aProcess, 0, 0, "");
  p.Shapes()->AddShape(aProcess, 0, 0, "");
  Collection<std::shared_ptr<cShape>> steps;
  ProcessProbe::IndexByCaption(p, steps);
  EXPECT_EQ(steps.Count(), 3);
  EXPECT_EQ(steps.Item("SOURCE")->Key, "k1");

  p.Shapes()->AddShape(aProcess, 0, 0, "SOURCE");
  Collection<std::shared_ptr<cShape>> again;
  EXPECT_EQ(ErrorOf([&] { ProcessProbe::IndexByCaption(p, again); }), 457);
  EXPECT_EQ(again.Count(), 3);
}

TEST(clsProcess, InsertShapeAtEndPutsTheStepBeforeEnd) {
  Designer d;
  clsProcess& p = *d.process;
  auto cb = p.Shapes()->AddShape(aProcess, 6000, 2000, "NEW");  // k5
  const float old_x1 = d.window->Element("ln", 2)->x1();
  EXPECT_TRUE(p.insertShapeAtEnd(*cb));
  EXPECT_EQ(LinksOf(p), (std::vector<std::string>{"1>4 ", "5>3 ", "4>2 ", "2>5 "}));
  // The changed link is drawn from its new start.
  EXPECT_NE(d.window->Element("ln", 2)->x1(), old_x1);
  EXPECT_TRUE(d.window->Element("ln", 4)->Visible());
}

TEST(clsProcess, InsertShapeAtEndWithoutAWindow) {
  clsProcess p;
  ASSERT_EQ(p.LoadIntegration(""), "");
  auto cb = p.Shapes()->AddShape(aProcess, 0, 0, "NEW");
  EXPECT_TRUE(p.insertShapeAtEnd(*cb));
  EXPECT_EQ(LinksOf(p), (std::vector<std::string>{"1>4 ", "5>3 ", "4>2 ", "2>5 "}));
}

TEST(clsProcess, InsertShapeAtEndFindsThePreviousStepByNumber) {
  Designer d;
  clsProcess& p = *d.process;
  p.Shapes()->AddShape(aProcess, 6000, 0, "MID");  // k5
  ASSERT_TRUE(p.Shapes()->removeShape(2));
  p.Lines()->addLine("4", "5", "");
  p.Lines()->addLine("5", "3", "");
  auto cb = p.Shapes()->AddShape(aProcess, 6000, 3000, "NEW");  // k6, at position 5
  EXPECT_TRUE(p.insertShapeAtEnd(*cb));
  EXPECT_EQ(LinksOf(p), (std::vector<std::string>{"1>4 ", "4>5 ", "6>3 ", "5>6 "}));
}

TEST(clsProcess, InsertShapeAtEndWithoutALinkIntoEnd) {
  Designer d;
  clsProcess& p = *d.process;
  ASSERT_TRUE(p.Shapes()->removeShape(2));  // takes 2>3 and 4>2 with it
  auto before = LinksOf(p);
  auto cb = p.Shapes()->AddShape(aProcess, 0, 0, "NEW");
  EXPECT_FALSE(p.insertShapeAtEnd(*cb));
  EXPECT_EQ(LinksOf(p), before);

  clsProcess no_end;
  auto step = no_end.Shapes()->AddShape(aProcess, 0, 0, "x");
  EXPECT_EQ(ErrorOf([&] { no_end.insertShapeAtEnd(*step); }), 91);
}

TEST(clsProcess, ScriptFaceReachesMembersByName) {
  auto p = std::make_shared<clsProcess>();
  EXPECT_EQ(p->Call("loadintegration", {Variant("")}).ToString(), "");
  EXPECT_EQ(p->Get("FILENAME").ToString(), "");
  EXPECT_EQ(p->Shapes()->Collection()->Count(), 4);
  auto cb = p->Shapes()->AddShape(aProcess, 0, 0, "NEW");
  EXPECT_TRUE(p->Call("insertShapeAtEnd", {Variant(ObjectRef(cb))}).ToBool());
  EXPECT_EQ(ErrorOf([&] { p->Call("insertShapeAtEnd", {Variant(ObjectRef(p))}); }), 13);
  EXPECT_TRUE(p->Get("SourceStep").IsNothing());
  EXPECT_EQ(ErrorOf([&] { p->Get("NoSuchMember"); }), 438);
  EXPECT_EQ(ErrorOf([&] { p->Let("Filename", Variant("x")); }), 438);
}

}  // namespace
}  // namespace veldrane
