#include <gtest/gtest.h>

#include "document/document_format.h"
#include "document/tests/document_test_support.h"
#include "platform/xml/xml_dom.h"

namespace veldrane {
namespace {

using testing::Document;
using testing::ErrorFrom;
using testing::FormulasOf;
using ::testing::HasSubstr;
using testing::LinksOf;
using testing::PayloadsOf;
using ::testing::StartsWith;
using testing::StepsOf;
using testing::TempFolder;
using testing::WriteWholeFile;

std::shared_ptr<cShape> Step(clsProcess& p, const std::string& key) { return p.Shapes()->Collection()->Item(key); }

TEST(LoadIntegration, TemplateGivesFourStepsThreeLinksAndNoFormulas) {
  clsProcess p;
  EXPECT_EQ(p.LoadIntegration(""), "");
  EXPECT_EQ(StepsOf(p), (std::vector<std::string>{"k1 1 START (660,500)", "k2 4 TARGET (4800,500)",
                                                  "k3 10 END (7140,500)", "k4 5 SOURCE (2550,500)"}));
  EXPECT_EQ(LinksOf(p), (std::vector<std::string>{"1>4 ", "2>3 ", "4>2 "}));
  EXPECT_EQ(p.Formulas()->Count(), 0);
  EXPECT_EQ(PayloadsOf(p), (std::vector<std::string>{"none", "storage ||table||UpdateInsert|no fields", "string ''",
                                                     "data ||sql||no fields"}));
  EXPECT_EQ(p.Filename(), "");
}

TEST(LoadIntegration, TemplateWithAWindowPlacesEveryStepAndLink) {
  testing::WindowedProcess w;
  ASSERT_EQ(w.process->LoadIntegration("", w.window), "");
  EXPECT_EQ(w.process->Form(), w.window);
  for (int16_t n = 1; n <= 4; ++n) {
    auto step = Step(*w.process, "k" + std::to_string(n));
    ASSERT_TRUE(step->objShape) << n;
    EXPECT_EQ(step->objShape->Index(), n);
    EXPECT_TRUE(step->objShape->Visible());
  }
  EXPECT_EQ(w.window->Element("shp", 3)->Left(), 7140);
  EXPECT_EQ(w.window->Element("lblShapeCap", 4)->Caption(), "SOURCE");
  for (const std::shared_ptr<cLine>& line : *w.process->Lines()->Collection()) EXPECT_TRUE(line->objLine);
  EXPECT_EQ(w.window->Indexes("ln"), (std::vector<int16_t>{0, 1, 2, 3}));
}

TEST(LoadIntegration, StepTheWindowCannotShowEndsTheLoad) {
  // Without its picture source the window refuses the TARGET step; its
  // payload must not land on the step added before it.
  testing::WindowedProcess w;
  w.window->RemoveMember("imgStorage");
  VbError e = ErrorFrom([&] { w.process->LoadIntegration("", w.window); });
  EXPECT_EQ(e.number(), 5);
  EXPECT_THAT(e.description(), HasSubstr("node 2 (\"TARGET\")"));
  EXPECT_EQ(StepsOf(*w.process), (std::vector<std::string>{"k1 1 START (660,500)"}));
  EXPECT_EQ(PayloadsOf(*w.process), (std::vector<std::string>{"none"}));
}

TEST(LoadIntegration, DocumentIsReadIntoANewProcessOnly) {
  clsProcess p;
  ASSERT_EQ(p.LoadIntegration(""), "");
  std::string refused = p.LoadIntegration("");
  EXPECT_THAT(refused, HasSubstr("already holds steps, links or formulas"));
  EXPECT_EQ(p.Shapes()->Collection()->Count(), 4);
  EXPECT_EQ(p.Lines()->Count(), 3);

  // Formulas alone are enough to refuse, and so is a step number already
  // given out (the steps would not number from 1).
  clsProcess with_formula;
  with_formula.Formulas()->AddFormula("F", "x");
  EXPECT_NE(with_formula.LoadIntegration(""), "");
  EXPECT_EQ(with_formula.Shapes()->Collection()->Count(), 0);
  clsProcess emptied;
  emptied.Shapes()->AddShape(aProcess, 0, 0);
  emptied.Shapes()->Collection()->Remove(1);
  EXPECT_NE(emptied.LoadIntegration(""), "");
  EXPECT_EQ(emptied.Shapes()->Collection()->Count(), 0);
}

TEST(LoadIntegration, MissingFileReturnsTheLoadErrorAndKeepsFilename) {
  TempFolder folder;
  clsProcess p;
  p.SaveIntegration(folder.File("earlier.xml"));  // sets Filename without loading
  const std::string missing = folder.File("missing.xml");
  std::string text = p.LoadIntegration(missing);
  EXPECT_THAT(text, StartsWith("Your XML Document failed to loaddue the following error.\r\nError #: " +
                               std::to_string(xml::kErrorObjectNotFound) + ": "));
  EXPECT_THAT(text, HasSubstr("The system cannot locate the object specified.\r\nLine #: 0\r\n"));
  EXPECT_THAT(text, HasSubstr("\r\nDocument URL: " + missing));
  EXPECT_EQ(p.Filename(), folder.File("earlier.xml"));
  EXPECT_EQ(p.Shapes()->Collection()->Count(), 0);
}

TEST(LoadIntegration, MalformedDocumentReportsWhereTheParserStopped) {
  TempFolder folder;
  const std::string path = folder.File("broken.xml");
  WriteWholeFile(path, "<veldrane>\n<nodes><node></nodes>\n</veldrane>");
  clsProcess p;
  std::string text = p.LoadIntegration(path);
  EXPECT_THAT(text, HasSubstr("Line #: 2\r\n"));
  EXPECT_THAT(text, HasSubstr("Source Text: <nodes><node></nodes>\r\n"));
  EXPECT_THAT(text, HasSubstr("Document URL: " + path));
  EXPECT_EQ(p.Shapes()->Collection()->Count(), 0);
  EXPECT_EQ(p.Filename(), "");
}

TEST(LoadIntegration, LoadErrorTextIsBuiltPieceByPiece) {
  xml::ParseError e;
  e.errorCode = -1072896659;
  e.reason = "Bad end tag.\r\n";
  e.line = 3;
  e.linepos = 7;
  e.filepos = 41;
  e.srcText = "<a></b>";
  e.url = "/x/y.xml";
  EXPECT_EQ(document::LoadErrorText(e),
            "Your XML Document failed to loaddue the following error.\r\n"
            "Error #: -1072896659: Bad end tag.\r\n"
            "Line #: 3\r\nLine Position: 7\r\nPosition In File: 41\r\nSource Text: <a></b>\r\nDocument URL: /x/y.xml");
}

TEST(LoadIntegration, TypeNamesAreComparedExactly) {
  const char* names[] = {"start",    "process",       "decission", "storage", "data",
                         "document", "processpredef", "window",    "point",   "stop"};
  for (int16_t type = 1; type <= 10; ++type) {
    EXPECT_EQ(document::StepTypeFromName(names[type - 1]), type);
    EXPECT_EQ(document::StepTypeName(type), names[type - 1]);
  }
  for (const char* other : {"Start", "STOP", "", "decision", " data"})
    EXPECT_EQ(document::StepTypeFromName(other), aNothing) << other;
  for (int16_t outside : {0, 11, -1, 300}) EXPECT_EQ(document::StepTypeName(outside), "") << outside;
}

TEST(LoadIntegration, CapitalisedTypeReadsAsNothingAndItsPayloadIsIgnored) {
  TempFolder folder;
  const std::string path = folder.File("capital.xml");
  WriteWholeFile(path, Document("<node type=\"Start\" x=\"1\" y=\"2\" caption=\"S\"/>"
                                "<node type=\"Data\" x=\"1\" y=\"2\" caption=\"D\">"
                                "<dataconn><connname>n</connname><connstring>c</connstring></dataconn></node>"));
  clsProcess p;
  ASSERT_EQ(p.LoadIntegration(path), "");
  EXPECT_EQ(Step(p, "k1")->objType, aNothing);
  EXPECT_EQ(Step(p, "k2")->objType, aNothing);
  EXPECT_EQ(PayloadsOf(p), (std::vector<std::string>{"none", "none"}));
  EXPECT_EQ(p.Filename(), path);
}

TEST(LoadIntegration, PositionsAreLeadingNumbers) {
  struct Case {
    const char* text;
    double value;
  } cases[] = {{"2550", 2550},    {"12.5", 12.5}, {"12.5px", 12.5}, {"", 0},    {"abc", 0},
               {"  -3e2x", -300}, {"1e", 1},      {".5", 0.5},      {"+7.", 7}, {"-", 0},
               {"1.5E+2", 150},   {"3 4", 3},     {"e5", 0},        {"0x10", 0}};
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(document::LeadingNumber(c.text), c.value) << c.text;

  TempFolder folder;
  const std::string path = folder.File("positions.xml");
  WriteWholeFile(path, Document("<node type=\"process\" x=\"12.5\" y=\"\" caption=\"A\"/>"
                                "<node type=\"process\" x=\"letters\" y=\"7.25cm\" caption=\"B\"/>"));
  clsProcess p;
  ASSERT_EQ(p.LoadIntegration(path), "");
  EXPECT_EQ(StepsOf(p), (std::vector<std::string>{"k1 2 A (12.5,0)", "k2 2 B (0,7.25)"}));
}

TEST(LoadIntegration, LinksComeFromNextElementsOnly) {
  TempFolder folder;
  const std::string path = folder.File("links.xml");
  // Node 3 names node 1 as its previous, but no next leads there; node 1's
  // next names a node that does not exist and is kept as it stands.
  WriteWholeFile(
      path,
      Document("<node type=\"start\" x=\"0\" y=\"0\" caption=\"S\"><next caption=\"Yes\">2</next>"
               "<next caption=\"\">99</next></node>"
               "<node type=\"stop\" x=\"0\" y=\"0\" caption=\"E\"><previous caption=\"\">1</previous></node>"
               "<node type=\"process\" x=\"0\" y=\"0\" caption=\"P\"><previous caption=\"\">1</previous></node>"));
  clsProcess p;
  ASSERT_EQ(p.LoadIntegration(path), "");
  EXPECT_EQ(LinksOf(p), (std::vector<std::string>{"1>2 Yes", "1>99 "}));
}

TEST(LoadIntegration, PayloadsAreReadByPositionAndName) {
  TempFolder folder;
  const std::string path = folder.File("payloads.xml");
  WriteWholeFile(
      path,
      Document(
          "<node type=\"data\" x=\"0\" y=\"0\" caption=\"SOURCE\">"
          "<dataconn><connname>first</connname><connstring>c1</connstring></dataconn>"
          "<dataconn><connname>crm</connname><connstring>Provider=SQLite;Data Source=a.db</connstring></dataconn>"
          "<datasource type=\"table\">CUSTOMERS</datasource>"
          "<datafields><field name=\"CUSTNO\" type=\"3\" size=\"4\"><f_value>x</f_value><f_lookup>y</f_lookup></field>"
          "<field name=\"NAME\" type=\"-202\" size=\"50\"/></datafields></node>"
          "<node type=\"storage\" x=\"0\" y=\"0\" caption=\"TARGET\">"
          "<storageconn><connname>dw</connname><connstring>cs</connstring><operation>Lookup</operation></storageconn>"
          "<storagetarget type=\"table\">CLIENTS</storagetarget>"
          "<storagefields><field name=\"ID\" type=\"3\" size=\"4\"><f_value>SOURCE(\"CUSTNO\")</f_value>"
          "<f_lookup>ID = 1</f_lookup></field><field name=\"NOTE\" type=\"200\" size=\"10\"/></storagefields></node>"
          "<node type=\"decission\" x=\"0\" y=\"0\" caption=\"D\"><condition>a &gt; b</condition></node>"));
  clsProcess p;
  ASSERT_EQ(p.LoadIntegration(path), "");
  EXPECT_EQ(PayloadsOf(p),
            (std::vector<std::string>{
                "data crm|Provider=SQLite;Data Source=a.db|table|CUSTOMERS|fields: [] CUSTNO/3/4// [] NAME/-202/50//",
                "storage dw|cs|table|CLIENTS|Lookup|fields: [ID] ID/3/4/SOURCE(\"CUSTNO\")/ID = 1 [NOTE] NOTE/200/10//",
                "decision a > b"}));
  // TARGET mappings are keyed by name, in any case.
  const auto& target = std::get<tStorage>(Step(p, "k2")->objElements);
  EXPECT_EQ(target.fields->Item("note").f_size, 10);
}

TEST(LoadIntegration, FormulasComeFromTheFormulaContainerOnly) {
  TempFolder folder;
  const std::string path = folder.File("formulas.xml");
  WriteWholeFile(path, Document("",
                                "<formulas><formula name=\"Ignored\">x</formula></formulas>"
                                "<formula><formula name=\"Total\">Function Main\nMain = 1\nEnd Function</formula>"
                                "<anything name=\"TOTAL\">again</anything><f name=\"Tax\">Main = 2</f></formula>"));
  clsProcess p;
  std::vector<std::string> refused;
  p.Formulas()->Error.connect([&](const std::string& text) { refused.push_back(text); });
  ASSERT_EQ(p.LoadIntegration(path), "");
  EXPECT_EQ(FormulasOf(p), (std::vector<std::string>{"Total=Function Main\nMain = 1\nEnd Function", "Tax=Main = 2"}));
  EXPECT_EQ(refused.size(), 1u);
}

// Each structural failure stops the load where it stands: what was read
// before it stays, Filename keeps its value, and the error names the cause
// and the place.
struct Broken {
  const char* name;
  std::string document;
  int number;
  const char* place;  // part of the description
  int steps;          // what stays
  int links;
  int formulas;
};

class LoadIntegrationFailure : public ::testing::TestWithParam<Broken> {};

const std::string kStart = "<node type=\"start\" x=\"0\" y=\"0\" caption=\"S\"><next caption=\"\">2</next></node>";
const std::string kStop = "<node type=\"stop\" x=\"0\" y=\"0\" caption=\"E\"/>";
const std::string kFormula = "<formula><f name=\"A\">1</f>";

std::string Target(const std::string& children) {
  return "<node type=\"storage\" x=\"0\" y=\"0\" caption=\"T\">" + children + "</node>";
}
std::string Source(const std::string& children) {
  return "<node type=\"data\" x=\"0\" y=\"0\" caption=\"Q\">" + children + "</node>";
}

INSTANTIATE_TEST_SUITE_P(
    Structure, LoadIntegrationFailure,
    ::testing::Values(
        Broken{"ThreeAttributes", Document(kStart + "<node type=\"stop\" x=\"0\" y=\"0\"/>"), 9, "node 2", 1, 0, 0},
        Broken{"NextWithoutCaption",
               Document(kStart + kStop + "<node type=\"process\" x=\"0\" y=\"0\" caption=\"P\"><next>1</next></node>"),
               9, "node 3 (\"P\")", 3, 1, 0},
        Broken{"DatasourceWithoutType", Document(kStart + Source("<datasource>T</datasource>")), 9, "datasource", 2, 0,
               0},
        Broken{"StoragetargetWithoutType", Document(kStart + Target("<storagetarget>T</storagetarget>")), 9,
               "storagetarget", 2, 0, 0},
        Broken{"DataconnWithOneChild", Document(kStart + Source("<dataconn><connname/></dataconn>")), 9, "dataconn", 2,
               0, 0},
        Broken{"StorageconnWithTwoChildren", Document(Target("<storageconn><connname/><connstring/></storageconn>")), 9,
               "storageconn", 1, 0, 0},
        Broken{"FieldWithTwoAttributes", Document(Source("<datafields><field name=\"A\" type=\"3\"/></datafields>")), 9,
               "field 1 of datafields", 1, 0, 0},
        Broken{"TypeNotANumber",
               Document(Target("<storagefields><field name=\"A\" type=\"int\" size=\"4\"/></storagefields>")), 13,
               "\"int\"", 1, 0, 0},
        Broken{"TypeNotWhole",
               Document(Target("<storagefields><field name=\"A\" type=\"3.5\" size=\"4\"/></storagefields>")), 13,
               "\"3.5\"", 1, 0, 0},
        Broken{"SizeOutOfRange",
               Document(Source("<datafields><field name=\"A\" type=\"3\" size=\"32768\"/></datafields>")), 6,
               "\"32768\"", 1, 0, 0},
        Broken{"CaseDifferingTargetFields",
               Document(kStart + kStop +
                        Target("<storagefields><field name=\"Name\" type=\"3\" size=\"4\"/>"
                               "<field name=\"NAME\" type=\"3\" size=\"4\"/></storagefields>")),
               457, "node 3 (\"T\")", 3, 0, 0},
        Broken{"CommentBelowNodes", Document(kStart + "<!-- note -->" + kStop), 13, "a comment", 1, 0, 0},
        Broken{"TextInAStep", Document(kStart + "<node type=\"stop\" x=\"0\" y=\"0\" caption=\"E\">text</node>"), 13,
               "\"text\"", 1, 0, 0},
        Broken{"InstructionInDatafields", Document(Source("<datafields><?pi x?></datafields>")), 13,
               "processing instruction", 1, 0, 0},
        Broken{"CommentInFormulas", Document(kStart + kStop, kFormula + "<!-- c --></formula>"), 13, "in formula", 2, 1,
               1},
        Broken{"FormulaWithoutName", Document(kStart + kStop, kFormula + "<f>2</f></formula>"), 9, "formula 2", 2, 1,
               1},
        Broken{"SecondNodes", "<veldrane><nodes>" + kStart + kStop + "</nodes><nodes/></veldrane>", 457, "second nodes",
               2, 1, 0}),
    [](const ::testing::TestParamInfo<Broken>& info) { return std::string(info.param.name); });

TEST_P(LoadIntegrationFailure, StopsAndKeepsWhatWasRead) {
  const Broken& c = GetParam();
  TempFolder folder;
  const std::string path = folder.File("broken.xml");
  WriteWholeFile(path, c.document);
  clsProcess p;
  VbError e = ErrorFrom([&] { p.LoadIntegration(path); });
  EXPECT_EQ(e.number(), c.number) << e.description();
  EXPECT_THAT(e.description(), HasSubstr(path));
  EXPECT_THAT(e.description(), HasSubstr(c.place));
  EXPECT_EQ(p.Shapes()->Collection()->Count(), c.steps);
  EXPECT_EQ(p.Lines()->Count(), c.links);
  EXPECT_EQ(p.Formulas()->Count(), c.formulas);
  EXPECT_EQ(p.Filename(), "");
}

TEST(LoadIntegration, PayloadFailureLeavesTheStepWithItsEmptyPayload) {
  TempFolder folder;
  const std::string path = folder.File("broken.xml");
  WriteWholeFile(
      path, Document(Target("<storageconn><connname>n</connname><connstring>c</connstring><operation>Insert</operation>"
                            "</storageconn><storagetarget>T</storagetarget>")));
  clsProcess p;
  EXPECT_EQ(ErrorFrom([&] { p.LoadIntegration(path); }).number(), 9);
  EXPECT_EQ(PayloadsOf(p), (std::vector<std::string>{"storage |||||no fields"}));
}

TEST(LoadIntegration, MoreThan32766StepElementsOverflowTheLinkCounter) {
  std::string nodes;
  nodes.reserve(32767 * 48);
  for (int i = 1; i <= 32767; ++i)
    nodes += "<n type=\"point\" x=\"0\" y=\"0\" caption=\"\"><next caption=\"\">1</next></n>";
  TempFolder folder;
  const std::string path = folder.File("huge.xml");
  WriteWholeFile(path, Document(nodes));
  clsProcess p;
  VbError e = ErrorFrom([&] { p.LoadIntegration(path); });
  EXPECT_EQ(e.number(), 6) << e.description();
  EXPECT_EQ(p.Shapes()->Collection()->Count(), 32767);
  // The counter passes its limit only after the last element's links.
  EXPECT_EQ(p.Lines()->Count(), 32767);
}

}  // namespace
}  // namespace veldrane
