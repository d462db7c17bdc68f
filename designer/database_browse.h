// What the side panels read from outside the document: the named
// connections of the registry, whether a connection string opens, the
// tables of a database and the columns of a table or query. Nothing here
// writes. Called on the library thread, like every use of the data layer.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace veldrane::designer {

// [{"name": .., "connString": ..}] from the registry file; an empty list
// when there is no file. Raises std::runtime_error when the file is there
// but does not read.
nlohmann::json ConnectionList(const std::string& connection_file);

// {"ok": true} or {"ok": false, "error": text}.
nlohmann::json TestConnection(const std::string& connection_string);

// {"tables": [names]} or {"error": text}.
nlohmann::json ListTables(const std::string& connection_string);

// {"columns": [{"name", "type", "size"}]} or {"error": text}; the columns
// of `table`, or of `query` when `table` is empty. No row is read.
nlohmann::json ListColumns(const std::string& connection_string, const std::string& table, const std::string& query);

}  // namespace veldrane::designer
