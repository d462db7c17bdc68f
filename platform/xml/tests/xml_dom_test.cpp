#include "platform/xml/xml_dom.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/vb_error.h"

namespace veldrane::xml {
namespace {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "xml_dom_test_XXXXXX").string();
    path_ = ::mkdtemp(tmpl.data());
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string File(const std::string& name) const { return (fs::path(path_) / name).string(); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<std::string> Names(const std::vector<Node>& nodes) {
  std::vector<std::string> out;
  for (const Node& n : nodes) out.push_back(n.nodeName());
  return out;
}

TEST(XmlDocument, WalksChildrenInDocumentOrderAndDropsBlankText) {
  Document doc;
  ASSERT_TRUE(doc.loadXML(
      "<?xml version=\"1.0\"?>\n"
      "<veldrane xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n"
      "  <nodes>\n"
      "    <node type=\"start\" x=\"660\" y=\"500\" caption=\"START\"><next caption=\"\">4</next></node>\n"
      "    <!-- a note -->\n"
      "    <?app hint?>\n"
      "    stray\n"
      "  </nodes>\n"
      "  <xsi:formula/>\n"
      "</veldrane>"));
  EXPECT_EQ(doc.parseError().errorCode, 0);
  Node root = doc.documentElement();
  EXPECT_EQ(root.nodeName(), "veldrane");
  EXPECT_EQ(Names(root.childNodes()), (std::vector<std::string>{"nodes", "xsi:formula"}));
  EXPECT_EQ(root.childNodes()[1].baseName(), "formula");

  std::vector<Node> kids = root.childNodes()[0].childNodes();
  ASSERT_EQ(kids.size(), 4u);
  EXPECT_EQ(kids[0].nodeType(), Node::Type::Element);
  EXPECT_EQ(kids[1].nodeType(), Node::Type::Comment);
  EXPECT_EQ(kids[2].nodeType(), Node::Type::ProcessingInstruction);
  EXPECT_EQ(kids[3].nodeType(), Node::Type::Text);
  EXPECT_EQ(kids[3].nodeName(), "#text");
  EXPECT_EQ(root.childNodes()[0].childElements().size(), 1u);

  // Attributes by position, in document order.
  auto attrs = kids[0].attributes();
  ASSERT_EQ(attrs.size(), 4u);
  EXPECT_EQ(attrs[0], (std::pair<std::string, std::string>{"type", "start"}));
  EXPECT_EQ(attrs[3], (std::pair<std::string, std::string>{"caption", "START"}));
  EXPECT_EQ(kids[0].attribute("x"), "660");
  EXPECT_EQ(kids[0].attribute("missing"), "");
  EXPECT_FALSE(kids[0].hasAttribute("missing"));
  EXPECT_EQ(kids[0].firstChildElement("next").text(), "4");
  EXPECT_TRUE(kids[0].firstChildElement("previous").IsNull());
}

TEST(XmlDocument, TextConcatenatesDescendantsAndKeepsLineBreaks) {
  Document doc;
  ASSERT_TRUE(doc.loadXML("<f name=\"Total\">Function Main\r\n  Main = 1<b>x</b><![CDATA[ <raw> ]]>\nEnd Function</f>"));
  // Line ends are normalised to a line feed; nothing else is touched.
  EXPECT_EQ(doc.documentElement().text(), "Function Main\n  Main = 1x <raw> \nEnd Function");
  Document blank;
  ASSERT_TRUE(blank.loadXML("<connstring>   </connstring>"));
  EXPECT_EQ(blank.documentElement().text(), "");
  EXPECT_TRUE(blank.documentElement().childNodes().empty());
}

TEST(XmlDocument, MalformedTextReportsPositionAndOffendingLine) {
  Document doc;
  const std::string text = "<a>\n  <b>ok</b>\n  <c></d>\n</a>";
  EXPECT_FALSE(doc.loadXML(text));
  const ParseError& e = doc.parseError();
  EXPECT_LT(e.errorCode, 0);
  EXPECT_FALSE(e.reason.empty());
  EXPECT_EQ(e.reason.substr(e.reason.size() - 2), "\r\n");
  EXPECT_EQ(e.line, 3);
  EXPECT_EQ(e.srcText, "  <c></d>");
  EXPECT_GE(e.linepos, 1);
  EXPECT_LE(e.linepos, static_cast<int32_t>(e.srcText.size()) + 1);
  // filepos and (line, linepos) name the same place.
  EXPECT_EQ(e.filepos, static_cast<int32_t>(text.find("  <c>")) + e.linepos - 1);
  EXPECT_EQ(e.url, "");
  EXPECT_TRUE(doc.documentElement().IsNull());

  // Different faults give different codes; an empty text is a fault too.
  Document empty;
  EXPECT_FALSE(empty.loadXML(""));
  EXPECT_NE(empty.parseError().errorCode, 0);
  EXPECT_NE(empty.parseError().errorCode, e.errorCode);
}

TEST(XmlDocument, LinePositionCountsCharactersNotBytes) {
  Document doc;
  EXPECT_FALSE(doc.loadXML("<a>\xC3\xA9\xC3\xA9<</a>"));
  EXPECT_EQ(doc.parseError().line, 1);
  // "<a>éé<" : the fault is found at or after the 6th character, never at a byte count.
  EXPECT_LE(doc.parseError().linepos, 8);
  EXPECT_GE(doc.parseError().linepos, 6);
}

TEST(XmlDocument, MissingFileAndUnreadablePathAreReported) {
  TempDir dir;
  Document doc;
  std::string missing = dir.File("nope.xml");
  EXPECT_FALSE(doc.load(missing));
  EXPECT_EQ(doc.parseError().errorCode, kErrorObjectNotFound);
  EXPECT_EQ(doc.parseError().reason, "The system cannot locate the object specified.\r\n");
  EXPECT_EQ(doc.parseError().url, missing);
  EXPECT_EQ(doc.parseError().line, 0);

  EXPECT_FALSE(doc.load(dir.path()));  // a folder is not a document
  EXPECT_NE(doc.parseError().errorCode, 0);
  EXPECT_EQ(doc.parseError().url, dir.path());
  EXPECT_FALSE(doc.parseError().reason.empty());
}

TEST(XmlDocument, MalformedFileCarriesItsUrlAndSuccessClearsTheError) {
  TempDir dir;
  std::string bad = dir.File("bad.xml");
  std::ofstream(bad) << "<root>\n<open>\n</root>\n";
  Document doc;
  EXPECT_FALSE(doc.load(bad));
  EXPECT_EQ(doc.parseError().url, bad);
  EXPECT_EQ(doc.parseError().line, 3);

  std::string good = dir.File("good.xml");
  std::ofstream(good) << "<root a=\"1\"/>";
  EXPECT_TRUE(doc.load(good));
  EXPECT_EQ(doc.parseError().errorCode, 0);
  EXPECT_EQ(doc.parseError().reason, "");
  EXPECT_EQ(doc.documentElement().attribute("a"), "1");
}

TEST(XmlDocument, BuildsAndSavesWhatItReadsBack) {
  Document doc;
  doc.appendDeclaration();
  Node root = doc.appendElement("connections");
  root.setAttribute("lastconn", "");
  root.setAttribute("xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance");
  root.setAttribute("xsi:noNamespaceSchemaLocation", "connections.xsd");
  root.appendElement("connection");
  Node last = root.lastChild();
  last.appendElement("connname").setText("Sales & <Co>");
  last.appendElement("connstring");
  EXPECT_EQ(doc.xml(),
            "<?xml version=\"1.0\"?><connections lastconn=\"\" "
            "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
            "xsi:noNamespaceSchemaLocation=\"connections.xsd\"><connection><connname>Sales &amp; "
            "&lt;Co&gt;</connname><connstring/></connection></connections>");

  // Re-setting an attribute keeps its place.
  root.setAttribute("lastconn", "x");
  EXPECT_EQ(root.attributes()[0], (std::pair<std::string, std::string>{"lastconn", "x"}));

  TempDir dir;
  std::string path = dir.File("connections.cnn");
  doc.save(path);
  Document back;
  ASSERT_TRUE(back.load(path));
  EXPECT_EQ(back.documentElement().firstChildElement("connection").firstChildElement("connname").text(),
            "Sales & <Co>");
  EXPECT_EQ(back.xml(), doc.xml());
  // Nothing but the document is left in the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(XmlDocument, SetTextReplacesChildrenAndEmptyTextLeavesNone) {
  Document doc;
  ASSERT_TRUE(doc.loadXML("<a><b/>old</a>"));
  Node a = doc.documentElement();
  a.setText("line1\nline2");
  EXPECT_EQ(a.childNodes().size(), 1u);
  EXPECT_EQ(a.text(), "line1\nline2");
  a.setText("");
  EXPECT_TRUE(a.childNodes().empty());
  EXPECT_EQ(doc.xml(), "<a/>");
}

TEST(XmlDocument, RefusesInvalidBuilding) {
  Document doc;
  doc.appendElement("root");
  auto number = [](auto f) {
    try {
      f();
    } catch (const VbError& e) {
      return e.number();
    }
    return 0;
  };
  EXPECT_EQ(number([&] { doc.appendElement("second"); }), 5);
  EXPECT_EQ(number([&] { doc.documentElement().appendElement("bad name"); }), 5);
  EXPECT_EQ(number([&] { doc.documentElement().setAttribute("", "v"); }), 5);
  EXPECT_EQ(number([&] { doc.documentElement().appendElement("1st"); }), 5);
}

TEST(XmlDocument, SaveFailureNamesThePathAndKeepsTheOldFile) {
  TempDir dir;
  Document doc;
  doc.appendElement("root");
  std::string missing_folder = dir.File("no/such/folder/out.xml");
  try {
    doc.save(missing_folder);
    FAIL() << "save into a missing folder succeeded";
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), 76);  // path not found
    EXPECT_NE(e.description().find(missing_folder), std::string::npos);
  }
  try {
    doc.save("");
    FAIL() << "save without a name succeeded";
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), 75);
  }

  // A read-only folder: the existing file stays whole and no temp file is left.
  if (::geteuid() != 0) {
    std::string path = dir.File("keep.xml");
    std::ofstream(path) << "<old/>";
    ::chmod(dir.path().c_str(), 0555);
    EXPECT_THROW(doc.save(path), VbError);
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(ReadAll(path), "<old/>");
  }
}

TEST(XmlDocument, NodesOutliveTheirDocumentAndItsReloads) {
  Node kept;
  {
    Document doc;
    ASSERT_TRUE(doc.loadXML("<a><b>text</b></a>"));
    kept = doc.documentElement().firstChildElement("b");
    ASSERT_TRUE(doc.loadXML("<other/>"));
    EXPECT_EQ(doc.documentElement().nodeName(), "other");
  }
  EXPECT_EQ(kept.text(), "text");
  EXPECT_EQ(kept.parentNode().nodeName(), "a");
}

TEST(XmlDocument, NullHandleAnswersEmpty) {
  Node none;
  EXPECT_TRUE(none.IsNull());
  EXPECT_EQ(none.nodeName(), "");
  EXPECT_EQ(none.text(), "");
  EXPECT_TRUE(none.childNodes().empty());
  EXPECT_TRUE(none.attributes().empty());
  EXPECT_TRUE(none.lastChild().IsNull());
}

}  // namespace
}  // namespace veldrane::xml
