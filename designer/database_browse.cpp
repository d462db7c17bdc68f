#include "designer/database_browse.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "connections/connections.h"
#include "core/text.h"
#include "platform/db/ado.h"
#include "platform/host/library_folder.h"
#include "platform/host/prompts.h"

namespace veldrane::designer {

using nlohmann::json;

namespace {

ado::ConnectionRef Open(const std::string& connection_string) {
  auto connection = ado::Connection::Create();
  connection->Open(connection_string);
  return connection;
}

ado::RecordsetRef Query(const ado::ConnectionRef& connection, const std::string& sql) {
  auto rs = ado::Recordset::Create();
  rs->Open(Variant(sql), Variant(ObjectRef(connection)), ado::adOpenStatic, ado::adLockReadOnly);
  return rs;
}

bool IsPostgres(const ado::Connection& connection) {
  return ToLowerAscii(connection.Provider()).find("postgres") != std::string::npos;
}

}  // namespace

json ConnectionList(const std::string& connection_file) {
  json out = json::array();
  std::error_code ec;
  if (connection_file.empty() || !std::filesystem::exists(connection_file, ec)) return out;
  if (std::filesystem::path(connection_file).filename() != "connections.cnn") {
    throw std::runtime_error("the connection registry file must be called connections.cnn (given: " + connection_file + ")");
  }
  // The library reads the registry from its own folder under a fixed name;
  // the folder is pointed there for the read only, since translations are
  // looked up beside the library too.
  std::string library_folder = host::LibraryFolder();
  host::SetLibraryFolder(std::filesystem::path(connection_file).parent_path().string());
  std::ostringstream messages;
  auto previous_prompts = host::CurrentPrompts();
  host::SetCurrentPrompts(std::make_shared<host::NonInteractivePrompts>(messages));
  cConnections registry;
  std::string failure;
  try {
    registry.LoadConnections();
  } catch (const VbError& error) {
    failure = error.description();
  }
  host::SetCurrentPrompts(previous_prompts);
  host::SetLibraryFolder(library_folder);
  if (!failure.empty()) throw std::runtime_error(connection_file + ": " + failure);
  if (!messages.str().empty()) throw std::runtime_error(connection_file + ": " + messages.str());
  for (const tConnection& entry : *registry.ConnectionsList()) {
    out.push_back({{"name", entry.name}, {"connString", entry.connString}});
  }
  return out;
}

json TestConnection(const std::string& connection_string) {
  try {
    Open(connection_string)->Close();
    return {{"ok", true}};
  } catch (const VbError& error) {
    return {{"ok", false}, {"error", error.description()}};
  }
}

json ListTables(const std::string& connection_string) {
  try {
    auto connection = Open(connection_string);
    std::string sql = IsPostgres(*connection)
                          ? "SELECT table_name FROM information_schema.tables WHERE table_schema NOT IN "
                            "('pg_catalog', 'information_schema') ORDER BY table_name"
                          : "SELECT name FROM sqlite_master WHERE type IN ('table', 'view') AND name NOT LIKE "
                            "'sqlite_%' ORDER BY name";
    auto rs = Query(connection, sql);
    json tables = json::array();
    for (; !rs->IsEOF(); rs->MoveNext()) tables.push_back(rs->GetFields().Item(Variant(0)).Value().ToString());
    rs->Close();
    connection->Close();
    return {{"tables", tables}};
  } catch (const VbError& error) {
    return {{"error", error.description()}};
  }
}

json ListColumns(const std::string& connection_string, const std::string& table, const std::string& query) {
  if (table.empty() && query.empty()) return {{"error", "no table or query given"}};
  try {
    auto connection = Open(connection_string);
    // A condition no row meets: the columns come without reading the rows.
    std::string sql = table.empty() ? "SELECT * FROM (" + query + ") q WHERE 1 = 2"
                                    : "SELECT * FROM " + table + " WHERE 1 = 2";
    auto rs = Query(connection, sql);
    json columns = json::array();
    for (int32_t i = 0; i < rs->GetFields().Count(); ++i) {
      ado::Field& field = rs->GetFields().Item(Variant(i));
      // The document keeps types and sizes as 16-bit numbers.
      int32_t size = std::clamp<int32_t>(field.DefinedSize(), 0, 32767);
      columns.push_back({{"name", field.Name()}, {"type", std::clamp<int32_t>(field.Type(), -32768, 32767)}, {"size", size}});
    }
    rs->Close();
    connection->Close();
    return {{"columns", columns}};
  } catch (const VbError& error) {
    return {{"error", error.description()}};
  }
}

}  // namespace veldrane::designer
