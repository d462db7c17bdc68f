// Connection strings as OLE DB writes them: `key=value` pairs separated by
// ";", keys compared without regard to case and trimmed, values trimmed or
// quoted with "..." or '...' (a doubled quote inside stands for one), or
// in ODBC braces {...} kept as written (so that "PWD={a;b}" stays one value).
// A malformed string raises -2147217805 with the position of the fault.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace veldrane::ado {

class ConnectionString {
 public:
  // Parses `text`; raises -2147217805 when it is malformed.
  static ConnectionString Parse(std::string_view text);

  // The value of the first of `keys` present (case-insensitive), if any.
  std::optional<std::string> Get(std::initializer_list<std::string_view> keys) const;
  // The Provider= value as written (trimmed), or empty.
  std::string Provider() const;
  const std::vector<std::pair<std::string, std::string>>& pairs() const { return pairs_; }

 private:
  std::vector<std::pair<std::string, std::string>> pairs_;  // key, value; a later key replaces an earlier one
};

// The provider name from a connection string without failing on a
// malformed rest ("SLXOLEDB.1" reads back even from a string we cannot use).
std::string ProviderNameOf(std::string_view text);

}  // namespace veldrane::ado
