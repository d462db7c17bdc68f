// ReadIntegration: reads an integration document (or the default template)
// into a flow's steps, links and formulas.
//
// Steps are read in a first pass over `nodes`, links in a second, so that a
// `next` may name a later node. A link names its ends by node number, which
// is the number the step collection gives a step only when it counts from 1;
// that is why a document is read only into collections that are still empty.
// A document that parses but does not fit the format stops the load with an
// error naming the place and the cause; what was read before stays.
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "document/document_format.h"
#include "document/integration_document.h"
#include "formulas/c_formulas.h"
#include "model/c_lines.h"
#include "model/c_shapes.h"

namespace veldrane {

namespace {

using document::ReadPlace;

// A position as the single-precision value a step stores.
float Position(const ReadPlace& place, const std::string& text, const char* which) {
  double value = document::LeadingNumber(text);
  if (!(std::fabs(value) <= FLT_MAX)) {
    throw document::TooLarge(place, std::string(which) + " is \"" + text + "\", too large for a position");
  }
  return static_cast<float>(value);
}

void ReadSteps(const ReadPlace& document_place, const xml::Node& nodes, cShapes& shapes) {
  ReadPlace place = document_place;
  for (const xml::Node& element : nodes.childNodes()) {
    ++place.node;
    place.caption.clear();
    if (element.nodeType() != xml::Node::Type::Element) throw document::NotAnElement(place, element, "in nodes");
    std::vector<std::pair<std::string, std::string>> attributes = element.attributes();
    if (attributes.size() < 4) {
      throw document::MissingItem(place, "the step element has " + std::to_string(attributes.size()) +
                                             " attribute(s); type, x, y and caption are needed, in this order");
    }
    const int16_t type = document::StepTypeFromName(attributes[0].second);
    const float x = Position(place, attributes[1].second, "x");
    const float y = Position(place, attributes[2].second, "y");
    place.caption = attributes[3].second;
    document::RequireElementChildren(place, element, "in the step element");

    // AddShape reports no failure of its own; the payload below would then
    // land on the step before (CurrCtl), so a step that was not added ends
    // the load here.
    const bool full = shapes.MAX_SHAPE == INT16_MAX;
    if (!shapes.AddShape(type, x, y, place.caption)) {
      if (full) throw document::TooLarge(place, "the step collection already holds 32767 numbered steps");
      throw VbError(vberr::kInvalidCall, "The step of " + place.Describe() + " could not be added to the flow chart",
                    "Veldrane document");
    }
    switch (type) {
      case aData:
        shapes.AddElementsToNode(shapes.CurrCtl(), document::ReadSourcePayload(place, element));
        break;
      case aStorage:
        shapes.AddElementsToNode(shapes.CurrCtl(), document::ReadTargetPayload(place, element));
        break;
      case aDecission:
        shapes.AddElementsToNode(shapes.CurrCtl(), document::ReadDecisionPayload(element));
        break;
      default:
        break;
    }
  }
}

void ReadLinks(const ReadPlace& document_place, const xml::Node& nodes, cLines& lines) {
  ReadPlace place = document_place;
  int16_t n = 1;
  for (const xml::Node& element : nodes.childElements()) {
    place.node = n;
    place.caption = element.attributes()[3].second;  // four are there: the first pass checked
    for (const xml::Node& child : element.childElements()) {
      if (child.baseName() != "next") continue;
      std::vector<std::pair<std::string, std::string>> attributes = child.attributes();
      if (attributes.empty())
        throw document::MissingItem(place, "a next element has no attribute; its first must be caption");
      // `previous` elements are written for readers of the file only: every
      // link is made from the `next` at its start.
      // The node number may stand between blanks or line breaks, as a hand
      // or a formatting editor writes it; the link keeps the number alone.
      std::string to = child.text();
      size_t first = to.find_first_not_of(" \t\r\n");
      to = first == std::string::npos ? std::string() : to.substr(first, to.find_last_not_of(" \t\r\n") - first + 1);
      lines.addLine(std::to_string(n), to, attributes.front().second);
    }
    if (n == INT16_MAX) throw document::TooLarge(place, "a document holds at most 32766 step elements");
    ++n;
  }
}

void ReadFormulas(const ReadPlace& place, const xml::Node& container, cFormulas& formulas) {
  size_t number = 0;
  for (const xml::Node& element : container.childNodes()) {
    ++number;
    if (element.nodeType() != xml::Node::Type::Element) throw document::NotAnElement(place, element, "in formula");
    std::vector<std::pair<std::string, std::string>> attributes = element.attributes();
    if (attributes.empty()) {
      throw document::MissingItem(place,
                                  "formula " + std::to_string(number) + " has no attribute; its first must be name");
    }
    // A name already held is refused through the collection's Error event;
    // the load goes on.
    formulas.AddFormula(attributes.front().second, element.text());
  }
}

}  // namespace

std::string ReadIntegration(const std::string& filename, IntegrationModel model) {
  xml::Document doc;
  const bool loaded = filename.empty() ? doc.loadXML(document::DefaultTemplate()) : doc.load(filename);
  if (!loaded) return document::LoadErrorText(doc.parseError());

  const ReadPlace place{filename, 0, {}};
  bool nodes_read = false;
  for (const xml::Node& child : doc.documentElement().childNodes()) {
    if (child.nodeType() != xml::Node::Type::Element) continue;
    const std::string name = child.baseName();
    if (name == "nodes") {
      // Node numbers count within one `nodes`; a second one would number its
      // links against the first one's steps.
      if (nodes_read) throw document::DuplicateName(place, "the document holds a second nodes element; one is allowed");
      nodes_read = true;
      ReadSteps(place, child, model.shapes);
      ReadLinks(place, child, model.lines);
    } else if (name == "formula") {
      ReadFormulas(place, child, model.formulas);
    }
  }
  return {};
}

}  // namespace veldrane
