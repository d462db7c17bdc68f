// Reading and writing OLE DB style connection strings ("Key=Value;..."), for
// the data-link dialog, which shows a string's parts and builds a new one.
//
// Keys keep their spelling and are found without regard to case. A value
// holding ";", a quote or outer blanks is written between double quotes
// (single quotes when it holds a double quote), as OLE DB reads them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veldrane::host {

struct ConnectionStringPart {
  std::string key;    // as written, blanks around it removed
  std::string value;  // unquoted
};

// The parts of `text` in order; empty segments (";;", a trailing ";") are
// skipped, a segment without "=" is a key with an empty value.
std::vector<ConnectionStringPart> ParseConnectionString(std::string_view text);
// "Key=Value" parts joined by ";", without a trailing ";".
std::string BuildConnectionString(const std::vector<ConnectionStringPart>& parts);
// The value of the first part whose key equals `key` (any case).
std::optional<std::string> FindPart(const std::vector<ConnectionStringPart>& parts, std::string_view key);

}  // namespace veldrane::host
