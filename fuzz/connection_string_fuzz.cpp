// Connection strings: the provider's parser and the data-link dialog's
// reader and writer. Parts the writer builds must read back as they were.
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "platform/db/connection_string.h"
#include "platform/host/connection_string.h"

using namespace veldrane;

namespace {

// A key the writer can give back as it is: no separators, quotes or outer blanks.
bool PlainKey(const std::string& key) {
  if (key.empty() || key.front() == ' ' || key.back() == ' ') return false;
  return key.find_first_of("=;'\"\t\r\n") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text = fuzz::AsText(data, size);
  try {
    ado::ConnectionString parsed = ado::ConnectionString::Parse(text);
    (void)parsed.Provider();
    (void)parsed.Get({"Data Source", "Host"});
  } catch (const VbError&) {
    // A malformed string is refused with its position.
  }
  (void)ado::ProviderNameOf(text);

  std::vector<host::ConnectionStringPart> parts = host::ParseConnectionString(text);
  std::vector<host::ConnectionStringPart> plain;
  for (const auto& part : parts) {
    if (PlainKey(part.key)) plain.push_back(part);
  }
  std::vector<host::ConnectionStringPart> back = host::ParseConnectionString(host::BuildConnectionString(plain));
  if (back.size() != plain.size()) std::abort();
  for (size_t i = 0; i < plain.size(); ++i) {
    if (back[i].key != plain[i].key || back[i].value != plain[i].value) std::abort();
  }
  return 0;
}
