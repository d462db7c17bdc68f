// The persisted-table reader: any bytes as a table file. A text the reader
// takes must write back as a table that reads again to the same text.
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "platform/db/persist_xml.h"

using namespace veldrane;

namespace {

std::string Formatted(const ado::PersistedTable& table) {
  std::vector<const Variant*> rows;
  for (const auto& row : table.rows) rows.push_back(row.data());
  return ado::FormatPersisted(table.columns, rows, table.updatable);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ado::PersistedTable table;
  try {
    table = ado::ParsePersisted(fuzz::AsText(data, size), "fuzz");
  } catch (const VbError&) {
    return 0;
  }
  std::string written = Formatted(table);
  ado::PersistedTable again;
  try {
    again = ado::ParsePersisted(written, "written");
  } catch (const VbError&) {
    std::abort();  // we wrote a table we cannot read
  }
  if (again.columns.size() != table.columns.size() || again.rows.size() != table.rows.size() ||
      !again.unreadable_rows.empty() || Formatted(again) != written) {
    std::abort();
  }
  return 0;
}
