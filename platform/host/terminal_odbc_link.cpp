// The ODBC page of the terminal data-link dialog: the user picks one of the
// data sources or drivers the driver manager knows (by number or name) and
// answers what it needs; the result is a Provider=MSDASQL string. A current
// password is never shown: Enter keeps it.
#include <istream>
#include <ostream>

#include "core/text.h"
#include "platform/host/connection_string.h"
#include "platform/host/prompts.h"

namespace veldrane::host {

namespace {

struct OdbcField {
  const char* key;    // the ODBC key
  const char* label;  // what the user is asked
};

// Keys the page sets; the others of an edited string stay as they were.
bool IsPageKey(std::string_view key) {
  for (const char* k : {"Provider", "DSN", "Driver", "Server", "Port", "Database", "UID", "PWD", "User ID", "Password"}) {
    if (IEquals(key, k)) return true;
  }
  return false;
}

std::string Unbraced(const std::string& value) {
  if (value.size() >= 2 && value.front() == '{' && value.back() == '}') return value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

std::optional<std::string> TerminalPrompts::RunOdbcForm(const std::string& current, bool same_provider) {
  auto parts = ParseConnectionString(current);
  std::vector<std::pair<std::string, std::string>> sources;
  std::vector<std::string> drivers;
  if (odbc_.data_sources) sources = odbc_.data_sources();
  if (odbc_.drivers) drivers = odbc_.drivers();
  if (sources.empty() && drivers.empty()) {
    out_ << "No ODBC driver or data source is installed (install a driver package, for example odbc-mariadb, "
            "and define data sources in odbc.ini).\n";
    auto text = Ask("ODBC connection string", same_provider ? current : std::string("Provider=MSDASQL;DSN="));
    if (!text) return std::nullopt;
    return *text;
  }
  std::string current_dsn = same_provider ? FindPart(parts, "DSN").value_or("") : "";
  std::string current_driver = same_provider ? Unbraced(FindPart(parts, "Driver").value_or("")) : "";
  size_t offered = 1;
  size_t n = 0;
  if (!sources.empty()) out_ << "Data sources:\n";
  for (const auto& [name, driver] : sources) {
    out_ << "  " << ++n << ") " << name << (driver.empty() ? "" : " (" + driver + ")") << "\n";
    if (IEquals(name, current_dsn)) offered = n;
  }
  if (!drivers.empty()) out_ << "Drivers:\n";
  for (const std::string& driver : drivers) {
    out_ << "  " << ++n << ") " << driver << "\n";
    if (current_dsn.empty() && IEquals(driver, current_driver)) offered = n;
  }
  size_t choice = 0;
  while (choice == 0) {
    auto answer = Ask("Data source or driver", std::to_string(offered));
    if (!answer) return std::nullopt;
    for (size_t i = 0; i < sources.size(); ++i) {
      if (IEquals(*answer, sources[i].first) || *answer == std::to_string(i + 1)) choice = i + 1;
    }
    for (size_t i = 0; i < drivers.size() && choice == 0; ++i) {
      if (IEquals(*answer, drivers[i]) || *answer == std::to_string(sources.size() + i + 1)) {
        choice = sources.size() + i + 1;
      }
    }
    if (choice == 0) out_ << "Please choose one of the numbers above.\n";
  }

  std::vector<ConnectionStringPart> built{{"Provider", "MSDASQL"}};
  std::vector<OdbcField> fields;
  if (choice <= sources.size()) {
    const std::string& dsn = sources[choice - 1].first;
    same_provider = same_provider && IEquals(dsn, current_dsn);
    built.push_back({"DSN", dsn});
    fields = {{"UID", "User name"}, {"PWD", "Password"}};
  } else {
    const std::string& driver = drivers[choice - sources.size() - 1];
    same_provider = same_provider && IEquals(driver, current_driver);
    built.push_back({"Driver", "{" + driver + "}"});
    fields = {{"Server", "Server"}, {"Port", "Port"}, {"Database", "Database"}, {"UID", "User name"}, {"PWD", "Password"}};
  }
  for (const OdbcField& field : fields) {
    bool password = IEquals(field.key, "PWD");
    std::string now;
    if (same_provider) {
      now = FindPart(parts, field.key).value_or("");
      if (now.empty() && IEquals(field.key, "UID")) now = FindPart(parts, "User ID").value_or("");
      if (now.empty() && password) now = FindPart(parts, "Password").value_or("");
    }
    auto value = Ask(field.label, password && !now.empty() ? "unchanged" : now);
    if (!value) return std::nullopt;
    if (password && *value == "unchanged" && !now.empty()) value = now;
    if (!value->empty()) built.push_back({field.key, *value});
  }
  if (same_provider) {
    for (const auto& part : parts) {
      if (!IsPageKey(part.key)) built.push_back(part);
    }
  }
  return BuildConnectionString(built);
}

}  // namespace veldrane::host
