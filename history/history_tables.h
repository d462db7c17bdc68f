// The three history tables: their files and their fields, in order, with the
// data types and defined sizes that every file written by any version of the
// product carries. Readers of these files (hosts, reporting tools) rely on
// the names and the order, so they never change.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "model/records.h"

namespace veldrane::history {

struct HistoryField {
  const char* name;      // column name, upper case
  int32_t type;          // ado::DataTypeEnum
  int32_t defined_size;  // as given to Fields.Append
};

struct HistoryTable {
  kindrecordset krs;                // the selector
  const char* file;                 // file name as the product writes it, "\..."
  std::vector<HistoryField> fields;  // in ordinal order
};

// The table for `krs`, or nullptr for a value that names no table.
const HistoryTable* FindHistoryTable(kindrecordset krs);

}  // namespace veldrane::history
