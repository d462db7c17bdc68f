// Reading the payload records of SOURCE, TARGET and decision steps from the
// children of a step element. Children are visited in order and chosen by
// local name; a payload element that occurs twice is read twice and the last
// one counts. Values that the format takes by position (the children of
// dataconn and storageconn, the first attribute of datasource and
// storagetarget, the three attributes of a field) must be there.
#include <string>

#include "document/document_format.h"

namespace veldrane::document {

namespace {

// The child elements of `parent`, of which the first `needed` are taken by
// position and must be there.
std::vector<xml::Node> PositionalChildren(const ReadPlace& place, const xml::Node& parent, size_t needed,
                                          const std::string& names) {
  std::vector<xml::Node> children = parent.childElements();
  if (children.size() < needed) {
    throw MissingItem(place, parent.nodeName() + " has " + std::to_string(children.size()) + " child element(s); " +
                                 names + " are needed, in this order");
  }
  return children;
}

// The value of the first attribute of `element`, which must have one.
std::string FirstAttribute(const ReadPlace& place, const xml::Node& element, const std::string& name) {
  std::vector<std::pair<std::string, std::string>> attributes = element.attributes();
  if (attributes.empty()) throw MissingItem(place, element.nodeName() + " has no attribute; its first must be " + name);
  return attributes.front().second;
}

// A field's name, type and size, taken by position.
tFields ReadFieldAttributes(const ReadPlace& place, const xml::Node& field, const std::string& list, size_t number) {
  const std::string which = "field " + std::to_string(number) + " of " + list;
  std::vector<std::pair<std::string, std::string>> attributes = field.attributes();
  if (attributes.size() < 3) {
    throw MissingItem(place, which + " has " + std::to_string(attributes.size()) +
                                 " attribute(s); name, type and size are needed, in this order");
  }
  tFields record;
  record.f_name = attributes[0].second;
  record.f_type = ParseWhole16(place, attributes[1].second, "the type of " + which + " (" + record.f_name + ")");
  record.f_size = ParseWhole16(place, attributes[2].second, "the size of " + which + " (" + record.f_name + ")");
  return record;
}

}  // namespace

tData ReadSourcePayload(const ReadPlace& place, const xml::Node& step) {
  tData record;
  for (const xml::Node& child : step.childElements()) {
    const std::string name = child.baseName();
    if (name == "dataconn") {
      std::vector<xml::Node> parts = PositionalChildren(place, child, 2, "connname and connstring");
      record.connName = parts[0].text();
      record.connString = parts[1].text();
    } else if (name == "datasource") {
      record.Source = child.text();
      record.sourcetype = FirstAttribute(place, child, "type");
    } else if (name == "datafields") {
      RequireElementChildren(place, child, "in datafields");
      auto fields = NewCollection<tFields>();
      size_t number = 0;
      // A SOURCE field never carries a mapping: any children are ignored.
      for (const xml::Node& field : child.childElements())
        fields->Add(ReadFieldAttributes(place, field, "datafields", ++number));
      record.fields = fields;
    }
  }
  return record;
}

tStorage ReadTargetPayload(const ReadPlace& place, const xml::Node& step) {
  tStorage record;
  for (const xml::Node& child : step.childElements()) {
    const std::string name = child.baseName();
    if (name == "storageconn") {
      std::vector<xml::Node> parts = PositionalChildren(place, child, 3, "connname, connstring and operation");
      record.connName = parts[0].text();
      record.connString = parts[1].text();
      record.shpOperation = parts[2].text();
    } else if (name == "storagetarget") {
      record.target = child.text();
      record.targettype = FirstAttribute(place, child, "type");
    } else if (name == "storagefields") {
      RequireElementChildren(place, child, "in storagefields");
      auto fields = NewCollection<tFields>();
      size_t number = 0;
      for (const xml::Node& field : child.childElements()) {
        tFields mapping = ReadFieldAttributes(place, field, "storagefields", ++number);
        // A mapping element left out of a hand-made document reads as empty,
        // as the writer would have written it.
        for (const xml::Node& part : field.childElements()) {
          if (part.baseName() == "f_value") mapping.f_value = part.text();
          if (part.baseName() == "f_lookup") mapping.f_lookup = part.text();
        }
        if (fields->Contains(mapping.f_name)) {
          throw DuplicateName(place, "storagefields holds two fields named \"" + mapping.f_name +
                                         "\" (TARGET field names must differ in more than case)");
        }
        fields->Add(mapping, mapping.f_name);
      }
      record.fields = fields;
    }
  }
  return record;
}

tDecission ReadDecisionPayload(const xml::Node& step) {
  tDecission record;
  for (const xml::Node& child : step.childElements()) {
    if (child.baseName() == "condition") record.condition = child.text();
  }
  return record;
}

}  // namespace veldrane::document
