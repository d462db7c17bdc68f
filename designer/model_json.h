// The JSON forms the page reads and sends: the designer window's controls,
// and the payload records of SOURCE, TARGET and decision steps.
//
// The window is reported as it stands, control by control in its drawing
// order (back to front), so the page draws what the library placed and
// nothing else. Payloads go both ways: the page edits a step's record in a
// side panel and sends it back whole.
#pragma once

#include <nlohmann/json.hpp>

#include "model/records.h"

namespace veldrane {
class MemoryWindow;
}

namespace veldrane::designer {

// Every visible control of the window except element 0 of the arrays and
// the picture sources, back to front: {"name": "shp", "index": 3,
// "kind": "picture", "left": .., "top": .., "width": .., "height": ..,
// "picture": "storage"}; labels carry "caption", lines x1, y1, x2, y2.
nlohmann::json WindowToJson(const MemoryWindow& window);

// {"kind": "source"|"target"|"decision"|"none", ...the record's members}.
nlohmann::json PayloadToJson(const Payload& payload);

// The record of a step of type `type` from its JSON form; members left out
// keep their empty value. Raises nlohmann::json::exception on values of the
// wrong type and std::invalid_argument for a type without a payload record.
Payload PayloadFromJson(int16_t type, const nlohmann::json& json);

}  // namespace veldrane::designer
