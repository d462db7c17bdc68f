// WriteIntegration: writes a flow's steps, links and formulas as an
// integration document.
//
// The writer is a boundary: every failure becomes an entry of the run log and
// the writer goes on, so that a designer never loses more of a document than
// the part that could not be written. A failure inside a payload ends that
// payload; the step's links are still written.
//
// Positions and link ends come from the step's control when the step has
// one, otherwise from what the step remembers (its position and number), so
// a flow loaded or built without a window saves and loads back the same.
// The file is replaced atomically: a failed save leaves the old document.
#include <exception>
#include <optional>

#include "core/variant.h"
#include "document/document_format.h"
#include "document/integration_document.h"
#include "model/c_lines.h"
#include "model/c_shapes.h"
#include "formulas/c_formulas.h"
#include "history/cls_log.h"

namespace veldrane {

namespace {

constexpr std::string_view kSchemaInstance = "http://www.w3.org/2001/XMLSchema-instance";

enum class ItemKind { Element, Attribute };

// The one routine that creates every element and attribute: an empty value
// gives an element without text or an attribute with the empty value, never
// a missing item. Returns the element created (the parent for an attribute).
xml::Node AddItem(xml::Node parent, ItemKind kind, std::string_view name, std::string_view value) {
  if (kind == ItemKind::Attribute) {
    parent.setAttribute(name, value);
    return parent;
  }
  xml::Node element = parent.appendElement(name);
  if (!value.empty()) element.setText(value);
  return element;
}

std::string Whole(int16_t value) { return std::to_string(value); }

// Whether a link end, read as a number, is `number`. An end that is not a
// number (left blank by a failed designer request) belongs to no step.
bool EndIs(const std::string& end, int16_t number) {
  std::optional<double> value = ParseNumber(end);
  return value && *value == number;
}

class Writer {
 public:
  Writer(clsLog& log, cShapes& shapes) : log_(log), shapes_(shapes) {}

  // Runs one statement of the writer; a failure is logged and swallowed.
  template <class F>
  void Guard(F&& statement) {
    try {
      statement();
    } catch (const VbError& e) {
      Log(e.description());
    } catch (const std::exception& e) {
      // Anything else a statement can throw (out of memory in the DOM) is
      // logged the same way: the writer never raises to its caller.
      Log(e.what());
    }
  }

  void WriteStep(xml::Node nodes, cShape& step, cLines& lines) {
    xml::Node node;
    Guard([&] { node = AddItem(nodes, ItemKind::Element, "node", {}); });
    Guard([&] { AddItem(node, ItemKind::Attribute, "type", document::StepTypeName(step.objType)); });
    Guard([&] { AddItem(node, ItemKind::Attribute, "x", FormatSingle(step.X())); });
    Guard([&] { AddItem(node, ItemKind::Attribute, "y", FormatSingle(step.Y())); });
    Guard([&] { AddItem(node, ItemKind::Attribute, "caption", step.sCaption()); });
    Guard([&] { WritePayload(node, step); });
    std::optional<int16_t> index;
    Guard([&] { index = step.objShape ? step.objShape->Index() : step.Index; });
    if (!index) return;
    for (const std::shared_ptr<cLine>& line : *lines.Collection()) {
      if (EndIs(line->sFrom(), *index)) {
        Guard([&] {
          xml::Node next = AddItem(node, ItemKind::Element, "next", Whole(NodeNumber(line->sTo())));
          AddItem(next, ItemKind::Attribute, "caption", line->sCaption());
        });
      }
      if (EndIs(line->sTo(), *index)) {
        Guard([&] {
          xml::Node previous = AddItem(node, ItemKind::Element, "previous", Whole(NodeNumber(line->sFrom())));
          AddItem(previous, ItemKind::Attribute, "caption", line->sCaption());
        });
      }
    }
  }

 private:
  void Log(const std::string& description) { log_.AddLog(description, false, {}, {}, 0, false); }

  // The node number of the step a link end names; 0 when no step has it.
  int16_t NodeNumber(const std::string& end) { return shapes_.getPosByKey("k" + end); }

  void WritePayload(xml::Node node, cShape& step) {
    switch (step.objType) {
      case aDecission: {
        const tDecission& record = Record<tDecission>(step);
        AddItem(node, ItemKind::Element, "condition", record.condition);
        break;
      }
      case aStorage: {
        const tStorage& record = Record<tStorage>(step);
        xml::Node conn = AddItem(node, ItemKind::Element, "storageconn", {});
        AddItem(conn, ItemKind::Element, "connname", record.connName);
        AddItem(conn, ItemKind::Element, "connstring", record.connString);
        AddItem(conn, ItemKind::Element, "operation", record.shpOperation);
        xml::Node target = AddItem(node, ItemKind::Element, "storagetarget", record.target);
        AddItem(target, ItemKind::Attribute, "type", record.targettype);
        WriteFields(AddItem(node, ItemKind::Element, "storagefields", {}), record.fields, true);
        break;
      }
      case aData: {
        const tData& record = Record<tData>(step);
        xml::Node conn = AddItem(node, ItemKind::Element, "dataconn", {});
        AddItem(conn, ItemKind::Element, "connname", record.connName);
        AddItem(conn, ItemKind::Element, "connstring", record.connString);
        xml::Node source = AddItem(node, ItemKind::Element, "datasource", record.Source);
        AddItem(source, ItemKind::Attribute, "type", record.sourcetype);
        WriteFields(AddItem(node, ItemKind::Element, "datafields", {}), record.fields, false);
        break;
      }
      default:
        break;
    }
  }

  void WriteFields(xml::Node list, const CollectionRef<tFields>& fields, bool mappings) {
    if (!fields) return;
    for (int32_t i = 1; i <= fields->Count(); ++i) {
      const tFields& field = fields->Item(i);
      xml::Node element = AddItem(list, ItemKind::Element, "field", {});
      AddItem(element, ItemKind::Attribute, "name", field.f_name);
      AddItem(element, ItemKind::Attribute, "type", Whole(field.f_type));
      AddItem(element, ItemKind::Attribute, "size", Whole(field.f_size));
      if (!mappings) continue;
      AddItem(element, ItemKind::Element, "f_value", field.f_value);
      AddItem(element, ItemKind::Element, "f_lookup", field.f_lookup);
    }
  }

  // The step's payload record; 13 naming the step when a host stored
  // something else in objElements.
  template <class T>
  static const T& Record(const cShape& step) {
    const auto* record = std::get_if<T>(&step.objElements);
    if (!record) {
      throw VbError::TypeMismatch("The payload of step " + step.Key + " (\"" + step.sCaption() +
                                  "\") is not the record its type needs; it was not written");
    }
    return *record;
  }

  clsLog& log_;
  cShapes& shapes_;
};

}  // namespace

void WriteIntegration(const std::string& filename, IntegrationModel model, clsLog& log) {
  Writer writer(log, model.shapes);

  xml::Document doc;
  writer.Guard([&] { doc.appendDeclaration(); });
  xml::Node root;
  writer.Guard([&] { root = doc.appendElement("veldrane"); });
  writer.Guard([&] { AddItem(root, ItemKind::Attribute, "xmlns:xsi", kSchemaInstance); });
  writer.Guard([&] { AddItem(root, ItemKind::Attribute, "xsi:noNamespaceSchemaLocation", "veldrane.xsd"); });

  xml::Node nodes;
  writer.Guard([&] { nodes = AddItem(root, ItemKind::Element, "nodes", {}); });
  for (const std::shared_ptr<cShape>& step : *model.shapes.Collection()) writer.WriteStep(nodes, *step, model.lines);

  xml::Node container;
  writer.Guard([&] { container = AddItem(root, ItemKind::Element, "formula", {}); });
  for (int32_t i = 1; i <= model.formulas.Count(); ++i) {
    writer.Guard([&] {
      const tFormula& record = model.formulas.Collection()->Item(i);
      xml::Node element = AddItem(container, ItemKind::Element, "formula", record.formula);
      AddItem(element, ItemKind::Attribute, "name", record.name);
    });
  }

  writer.Guard([&] { doc.save(filename); });
}

}  // namespace veldrane
