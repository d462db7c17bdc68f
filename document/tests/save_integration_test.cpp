#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <fstream>

#include "document/tests/document_test_support.h"
#include "history/cls_log.h"

namespace veldrane {
namespace {

using testing::ErrorFrom;
using testing::FormulasOf;
using ::testing::HasSubstr;
using testing::LinksOf;
using testing::PayloadsOf;
using testing::ReadWholeFile;
using testing::StepsOf;
using testing::TempFolder;
using testing::WindowedProcess;

const std::string kTemplateSaved =
    "<?xml version=\"1.0\"?>"
    "<veldrane xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:noNamespaceSchemaLocation=\"veldrane.xsd\">"
    "<nodes>"
    "<node type=\"start\" x=\"660\" y=\"500\" caption=\"START\"><next caption=\"\">4</next></node>"
    "<node type=\"storage\" x=\"4800\" y=\"500\" caption=\"TARGET\">"
    "<storageconn><connname/><connstring/><operation>UpdateInsert</operation></storageconn>"
    "<storagetarget type=\"table\"/><storagefields/>"
    "<next caption=\"\">3</next><previous caption=\"\">4</previous></node>"
    "<node type=\"stop\" x=\"7140\" y=\"500\" caption=\"END\"><previous caption=\"\">2</previous></node>"
    "<node type=\"data\" x=\"2550\" y=\"500\" caption=\"SOURCE\">"
    "<dataconn><connname/><connstring/></dataconn><datasource type=\"sql\"/><datafields/>"
    "<previous caption=\"\">1</previous><next caption=\"\">2</next></node>"
    "</nodes>"
    "<formula/>"
    "</veldrane>";

// The number of entries in a run log (each begins with CR LF).
size_t Entries(clsLog& log) {
  size_t count = 0;
  for (size_t at = log.Text().find("\r\n"); at != std::string::npos; at = log.Text().find("\r\n", at + 2)) ++count;
  return count;
}

TEST(SaveIntegration, TemplateWithAWindowIsWrittenInElementAndAttributeOrder) {
  TempFolder folder;
  WindowedProcess w;
  ASSERT_EQ(w.process->LoadIntegration("", w.window), "");
  const std::string path = folder.File("new.xml");
  EXPECT_EQ(w.process->SaveIntegration(path), "");
  EXPECT_EQ(ReadWholeFile(path), kTemplateSaved);
  EXPECT_EQ(w.process->Filename(), path);
  EXPECT_EQ(Entries(*w.process->Log()), 0u) << w.process->Log()->Text();
}

TEST(SaveIntegration, SavedDocumentLoadsBackIntoTheSameFlow) {
  TempFolder folder;
  WindowedProcess w;
  clsProcess& p = *w.process;
  ASSERT_EQ(p.LoadIntegration("", w.window), "");
  auto& target = std::get<tStorage>(p.Shapes()->Collection()->Item("k2")->objElements);
  target.connString = "Provider=SQLite;Data Source=dw.db";
  target.target = "CLIENTS";
  target.fields = NewCollection<tFields>();
  target.fields->Add(tFields{"ID", 3, 4, "SOURCE(\"CUSTNO\")", "ID = 1"}, "ID");
  target.fields->Add(tFields{"NAME", 202, -50, "FORMULA!Upper", ""}, "NAME");
  auto& source = std::get<tData>(p.Shapes()->Collection()->Item("k4")->objElements);
  source.Source = "SELECT * FROM \"A&B\" WHERE X < 3";
  source.fields = NewCollection<tFields>();
  source.fields->Add(tFields{"CUSTNO", 3, 4, "", ""});
  p.Shapes()->AddShape(aDecission, 100.5f, -20, "Big?");
  std::get<tDecission>(p.Shapes()->Collection()->Item("k5")->objElements).condition = "x > 1";
  p.Lines()->addLine("5", "3", "Yes");
  p.Formulas()->AddFormula("Upper", "Function Main\n  Main = UCase(SOURCE(\"NAME\"))\nEnd Function");
  p.Formulas()->AddFormula("Blank", "");

  const std::string path = folder.File("flow.xml");
  p.SaveIntegration(path);
  const std::string bytes = ReadWholeFile(path);

  clsProcess again;
  ASSERT_EQ(again.LoadIntegration(path), "");
  EXPECT_EQ(StepsOf(again), StepsOf(p));
  EXPECT_EQ(LinksOf(again), LinksOf(p));
  EXPECT_EQ(PayloadsOf(again), PayloadsOf(p));
  EXPECT_EQ(FormulasOf(again), FormulasOf(p));

  // Saved again, it is the same document byte for byte.
  again.SaveIntegration(folder.File("again.xml"));
  EXPECT_EQ(ReadWholeFile(folder.File("again.xml")), bytes);
}

TEST(SaveIntegration, FormulaLineBreaksSurvive) {
  TempFolder folder;
  clsProcess p;
  p.Formulas()->AddFormula("Lines", "Function Main\n\tMain = 1 ' one\n\nEnd Function\n");
  p.Formulas()->AddFormula("Windows", "Function Main\r\nMain = 2\r\nEnd Function");
  p.SaveIntegration(folder.File("f.xml"));
  clsProcess again;
  ASSERT_EQ(again.LoadIntegration(folder.File("f.xml")), "");
  EXPECT_EQ(again.Formulas()->Collection()->Item("Lines").formula, "Function Main\n\tMain = 1 ' one\n\nEnd Function\n");
  // Carriage returns come back as they were, not folded into line feeds.
  EXPECT_EQ(again.Formulas()->Collection()->Item("Windows").formula, "Function Main\r\nMain = 2\r\nEnd Function");
  again.Formulas()->AddFormula("Bare", "a\rb\r\r\nc");
  again.SaveIntegration(folder.File("g.xml"));
  clsProcess third;
  ASSERT_EQ(third.LoadIntegration(folder.File("g.xml")), "");
  EXPECT_EQ(third.Formulas()->Collection()->Item("Windows").formula, "Function Main\r\nMain = 2\r\nEnd Function");
  EXPECT_EQ(third.Formulas()->Collection()->Item("Bare").formula, "a\rb\r\r\nc");
}

TEST(SaveIntegration, ALinkEndBetweenBlanksIsReadAndSavedAsItsNumber) {
  TempFolder folder;
  std::string doc = kTemplateSaved;
  doc.replace(doc.find("<next caption=\"\">4</next>"), 25, "<next caption=\"\">\n  4 \t</next>");
  std::ofstream(folder.File("blanks.xml")) << doc;
  clsProcess p;
  ASSERT_EQ(p.LoadIntegration(folder.File("blanks.xml")), "");
  p.SaveIntegration(folder.File("saved.xml"));
  EXPECT_THAT(ReadWholeFile(folder.File("saved.xml")), HasSubstr("caption=\"START\"><next caption=\"\">4</next>"));
  clsProcess again;
  ASSERT_EQ(again.LoadIntegration(folder.File("saved.xml")), "");
  EXPECT_EQ(LinksOf(again), LinksOf(p));
  EXPECT_EQ(LinksOf(again).size(), 3u);
}

TEST(SaveIntegration, StepsAreRenumberedDenselyAfterRemovals) {
  TempFolder folder;
  WindowedProcess w;
  clsProcess& p = *w.process;
  ASSERT_EQ(p.LoadIntegration("", w.window), "");
  p.Shapes()->AddShape(aProcess, 6000, 1500, "P");  // k5
  p.Lines()->addLine("4", "5", "");
  p.Lines()->addLine("5", "3", "done");
  ASSERT_TRUE(p.Shapes()->removeShape(2));  // TARGET and its links go
  ASSERT_EQ(LinksOf(p), (std::vector<std::string>{"1>4 ", "4>5 ", "5>3 done"}));

  const std::string path = folder.File("renumbered.xml");
  p.SaveIntegration(path);
  const std::string bytes = ReadWholeFile(path);
  // START, END, SOURCE, P are nodes 1..4 now.
  EXPECT_THAT(bytes, HasSubstr("caption=\"START\"><next caption=\"\">3</next></node>"));
  EXPECT_THAT(bytes, HasSubstr("caption=\"END\"><previous caption=\"done\">4</previous></node>"));
  EXPECT_THAT(bytes,
              HasSubstr("caption=\"P\"><previous caption=\"\">3</previous><next caption=\"done\">2</next></node>"));

  clsProcess again;
  ASSERT_EQ(again.LoadIntegration(path), "");
  EXPECT_EQ(StepsOf(again), (std::vector<std::string>{"k1 1 START (660,500)", "k2 10 END (7140,500)",
                                                      "k3 5 SOURCE (2550,500)", "k4 2 P (6000,1500)"}));
  EXPECT_EQ(LinksOf(again), (std::vector<std::string>{"1>3 ", "3>4 ", "4>2 done"}));
}

TEST(SaveIntegration, LinkToARemovedStepIsWrittenAsZeroAndNotMadeOnLoad) {
  TempFolder folder;
  clsProcess p;
  ASSERT_EQ(p.LoadIntegration(""), "");
  p.Shapes()->Collection()->Remove("k3");  // END gone, its link 2>3 stays
  const std::string path = folder.File("dangling.xml");
  p.SaveIntegration(path);
  EXPECT_THAT(ReadWholeFile(path), HasSubstr("caption=\"TARGET\">"));
  EXPECT_THAT(ReadWholeFile(path), HasSubstr("<next caption=\"\">0</next><previous caption=\"\">3</previous></node>"));

  clsProcess again;
  std::vector<std::string> refused;
  again.Lines()->linkError.connect([&](const std::string& text) { refused.push_back(text); });
  ASSERT_EQ(again.LoadIntegration(path), "");
  EXPECT_EQ(LinksOf(again), (std::vector<std::string>{"1>3 ", "3>2 "}));
  EXPECT_EQ(refused, (std::vector<std::string>{"Cannot make a link!!!!"}));
}

TEST(SaveIntegration, WithoutAWindowStepsKeepTheirPositionsAndLinks) {
  TempFolder folder;
  clsProcess p;
  p.Shapes()->AddShape(aStart, 10, 20, "START");
  p.Shapes()->AddShape(aData, 1500.25f, 20, "SOURCE");
  p.Shapes()->AddShape(aStop, 3000, 20, "");
  p.Lines()->addLine("1", "2", "");
  p.Lines()->addLine("2", "3", "");
  const std::string path = folder.File("headless.xml");
  p.SaveIntegration(path);
  const std::string bytes = ReadWholeFile(path);
  EXPECT_THAT(bytes, HasSubstr("<node type=\"data\" x=\"1500.25\" y=\"20\" caption=\"SOURCE\">"));
  EXPECT_THAT(bytes,
              HasSubstr("<node type=\"stop\" x=\"3000\" y=\"20\" caption=\"\"><previous caption=\"\">2</previous>"));

  clsProcess again;
  ASSERT_EQ(again.LoadIntegration(path), "");
  EXPECT_EQ(StepsOf(again), StepsOf(p));
  EXPECT_EQ(LinksOf(again), LinksOf(p));
}

TEST(SaveIntegration, EmptyValuesAreWrittenAsEmptyItems) {
  TempFolder folder;
  clsProcess p;
  p.Shapes()->AddShape(aStorage, 0, 0, "");
  auto& target = std::get<tStorage>(p.Shapes()->Collection()->Item(1)->objElements);
  target.fields = NewCollection<tFields>();
  target.fields->Add(tFields{"", 0, 0, "", ""});
  p.Shapes()->AddShape(aNothing, 0, 0, "x");
  p.Shapes()->AddShape(int16_t{42}, 0, 0, "y");
  p.SaveIntegration(folder.File("empty.xml"));
  const std::string bytes = ReadWholeFile(folder.File("empty.xml"));
  EXPECT_THAT(bytes, HasSubstr("<node type=\"storage\" x=\"0\" y=\"0\" caption=\"\">"));
  EXPECT_THAT(bytes, HasSubstr("<field name=\"\" type=\"0\" size=\"0\"><f_value/><f_lookup/></field>"));
  EXPECT_THAT(
      bytes,
      HasSubstr("<node type=\"\" x=\"0\" y=\"0\" caption=\"x\"/><node type=\"\" x=\"0\" y=\"0\" caption=\"y\"/>"));
}

TEST(SaveIntegration, FormulasAreWrittenInCollectionOrder) {
  TempFolder folder;
  clsProcess p;
  p.Formulas()->AddFormula("Zeta", "Main = 1");
  p.Formulas()->AddFormula("Alpha", "Main = 2");
  p.SaveIntegration(folder.File("formulas.xml"));
  EXPECT_THAT(ReadWholeFile(folder.File("formulas.xml")),
              HasSubstr("<nodes/><formula><formula name=\"Zeta\">Main = 1</formula><formula name=\"Alpha\">Main = "
                        "2</formula></formula>"));
}

TEST(SaveIntegration, NoFileNameIsLoggedOnce) {
  clsProcess p;
  ASSERT_EQ(p.LoadIntegration(""), "");
  EXPECT_EQ(p.SaveIntegration(), "");
  EXPECT_EQ(Entries(*p.Log()), 1u);
  EXPECT_FALSE(p.Log()->IsCritical());
}

TEST(SaveIntegration, UnwritablePathIsLogged) {
  TempFolder folder;
  clsProcess p;
  ASSERT_EQ(p.LoadIntegration(""), "");
  const std::string nowhere = folder.File("no-such-folder/flow.xml");
  EXPECT_EQ(p.SaveIntegration(nowhere), "");
  EXPECT_EQ(p.Filename(), nowhere);  // taken before the write, also when it fails
  EXPECT_THAT(p.Log()->Text(), HasSubstr(nowhere));
  EXPECT_FALSE(std::filesystem::exists(nowhere));
}

TEST(SaveIntegration, FailedWriteLeavesThePreviousDocument) {
  TempFolder folder;
  clsProcess p;
  ASSERT_EQ(p.LoadIntegration(""), "");
  const std::string path = folder.File("kept.xml");
  p.SaveIntegration(path);
  const std::string before = ReadWholeFile(path);
  for (int i = 0; i < 100; ++i) p.Shapes()->AddShape(aProcess, 0, 0, "more");

  // A file size limit stands in for a full disk: the larger document cannot
  // be written out.
  struct rlimit old_limit {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old_limit;
  small.rlim_cur = before.size() + 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  EXPECT_EQ(p.SaveIntegration(path), "");
  setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);

  EXPECT_EQ(ReadWholeFile(path), before);
  EXPECT_THAT(p.Log()->Text(), HasSubstr(path));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), std::filesystem::directory_iterator()), 1)
      << "no temporary file is left behind";
}

TEST(SaveIntegration, PayloadFailureEndsThePayloadButNotTheLinks) {
  TempFolder folder;
  clsProcess p;
  p.Shapes()->AddShape(aStart, 0, 0, "S");
  p.Shapes()->AddShape(aStorage, 0, 0, "T");
  p.Shapes()->Collection()->Item(2)->objElements = tData{};  // not the record a TARGET needs
  p.Lines()->addLine("1", "2", "");
  p.SaveIntegration(folder.File("odd.xml"));
  EXPECT_THAT(
      ReadWholeFile(folder.File("odd.xml")),
      HasSubstr("<node type=\"storage\" x=\"0\" y=\"0\" caption=\"T\"><previous caption=\"\">1</previous></node>"));
  EXPECT_EQ(Entries(*p.Log()), 1u);
  EXPECT_THAT(p.Log()->Text(), HasSubstr("k2"));
}

}  // namespace
}  // namespace veldrane
