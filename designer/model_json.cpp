#include "designer/model_json.h"

#include <stdexcept>

#include "model/memory_window.h"

namespace veldrane::designer {

using nlohmann::json;

namespace {

const char* KindName(MemoryControl::Kind kind) {
  switch (kind) {
    case MemoryControl::Kind::Picture: return "picture";
    case MemoryControl::Kind::Label: return "label";
    case MemoryControl::Kind::Line: return "line";
    case MemoryControl::Kind::Shape: return "shape";
  }
  return "shape";
}

json FieldsToJson(const CollectionRef<tFields>& fields, bool mapping) {
  json out = json::array();
  if (!fields) return out;
  for (const tFields& field : *fields) {
    json f = {{"name", field.f_name}, {"type", field.f_type}, {"size", field.f_size}};
    if (mapping) {
      f["value"] = field.f_value;
      f["lookup"] = field.f_lookup;
    }
    out.push_back(std::move(f));
  }
  return out;
}

// A field list as the document reader builds it: SOURCE fields unkeyed,
// TARGET mappings keyed by name (a second mapping of one column fails, as
// it does when such a document is read).
CollectionRef<tFields> FieldsFromJson(const json& list, bool mapping) {
  auto fields = NewCollection<tFields>();
  for (const json& f : list) {
    tFields field;
    field.f_name = f.value("name", "");
    field.f_type = f.value("type", int16_t{0});
    field.f_size = f.value("size", int16_t{0});
    if (mapping) {
      field.f_value = f.value("value", "");
      field.f_lookup = f.value("lookup", "");
      fields->Add(field, field.f_name);
    } else {
      fields->Add(field);
    }
  }
  return fields;
}

}  // namespace

json WindowToJson(const MemoryWindow& window) {
  json controls = json::array();
  for (const MemoryControl* control : window.DrawingOrder()) {
    if (!control->Visible()) continue;
    if (control->IsElement() && control->Index() == 0) continue;
    json c = {{"name", control->member()},
              {"index", control->IsElement() ? control->Index() : -1},
              {"kind", KindName(control->kind())}};
    if (control->kind() == MemoryControl::Kind::Line) {
      c["x1"] = control->x1();
      c["y1"] = control->y1();
      c["x2"] = control->x2();
      c["y2"] = control->y2();
    } else {
      c["left"] = control->Left();
      c["top"] = control->Top();
      c["width"] = control->Width();
      c["height"] = control->Height();
    }
    if (control->kind() == MemoryControl::Kind::Label) c["caption"] = control->Caption();
    if (control->kind() == MemoryControl::Kind::Picture) c["picture"] = control->Picture();
    controls.push_back(std::move(c));
  }
  return controls;
}

json PayloadToJson(const Payload& payload) {
  if (const auto* data = std::get_if<tData>(&payload)) {
    return {{"kind", "source"},           {"connName", data->connName}, {"connString", data->connString},
            {"sourcetype", data->sourcetype}, {"Source", data->Source},   {"fields", FieldsToJson(data->fields, false)}};
  }
  if (const auto* storage = std::get_if<tStorage>(&payload)) {
    return {{"kind", "target"},
            {"connName", storage->connName},
            {"connString", storage->connString},
            {"targettype", storage->targettype},
            {"target", storage->target},
            {"shpOperation", storage->shpOperation},
            {"fields", FieldsToJson(storage->fields, true)}};
  }
  if (const auto* decision = std::get_if<tDecission>(&payload)) {
    return {{"kind", "decision"}, {"condition", decision->condition}};
  }
  return {{"kind", "none"}};
}

Payload PayloadFromJson(int16_t type, const json& in) {
  switch (type) {
    case aData: {
      tData data;
      data.connName = in.value("connName", "");
      data.connString = in.value("connString", "");
      data.sourcetype = in.value("sourcetype", "");
      data.Source = in.value("Source", "");
      if (in.contains("fields")) data.fields = FieldsFromJson(in.at("fields"), false);
      return data;
    }
    case aStorage: {
      tStorage storage;
      storage.connName = in.value("connName", "");
      storage.connString = in.value("connString", "");
      storage.targettype = in.value("targettype", "table");
      storage.target = in.value("target", "");
      storage.shpOperation = in.value("shpOperation", "");
      if (in.contains("fields")) storage.fields = FieldsFromJson(in.at("fields"), true);
      return storage;
    }
    case aDecission: return tDecission{in.value("condition", "")};
    default: throw std::invalid_argument("this step has nothing to edit");
  }
}

}  // namespace veldrane::designer
