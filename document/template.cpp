// The default template: what a new, unsaved integration starts from. Its
// step elements are not in flow order (TARGET and END come before SOURCE), so
// its links name node 4 from START and node 2 from SOURCE. The blanks inside
// storageconn are whitespace-only text, which the parser drops.
#include "document/document_format.h"

namespace veldrane::document {

std::string_view DefaultTemplate() {
  static constexpr std::string_view kTemplate =
      "<?xml version=\"1.0\"?>"
      "<veldrane xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
      "xsi:noNamespaceSchemaLocation=\"veldrane.xsd\">"
      "<nodes>"
      "<node type=\"start\" x=\"660\" y=\"500\" caption=\"START\">"
      "<next caption=\"\">4</next>"
      "</node>"
      "<node type=\"storage\" x=\"4800\" y=\"500\" caption=\"TARGET\">"
      "<storageconn>    <connname></connname>   "
      "<connstring></connstring><operation>UpdateInsert</operation></storageconn>"
      "<storagetarget type=\"table\"></storagetarget>"
      "<next caption=\"\">3</next>"
      "<previous caption=\"\">4</previous>"
      "</node>"
      "<node type=\"stop\" x=\"7140\" y=\"500\" caption=\"END\">"
      "<previous caption=\"\">2</previous>"
      "</node>"
      "<node type=\"data\" x=\"2550\" y=\"500\" caption=\"SOURCE\">"
      "<dataconn><connname></connname><connstring></connstring></dataconn>"
      "<datasource type=\"sql\"></datasource>"
      "<previous caption=\"\">1</previous>"
      "<next caption=\"\">2</next>"
      "</node>"
      "</nodes>"
      "<formulas></formulas>"
      "</veldrane>";
  return kTemplate;
}

}  // namespace veldrane::document
