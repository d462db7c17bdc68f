// The three history tables: their files and their fields, in order, with the
// data types and defined sizes that every file written by any version of the
// product carries. Readers of these files (hosts, reporting tools) rely on
// the names and the order, so they never change.
#pragma once

#include <cstdint>
#include <string>
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
  // Rows are only ever added and nobody numbers them: new rows are written
  // at the end of the file in place instead of rewriting it whole.
  bool grows_in_place = false;
};

// The width of the NAME and ERRDESC columns, in characters.
inline constexpr size_t kTextWidth = 255;

// A document path as NAME holds it: one that does not fit keeps its last
// 255 characters, the end being what tells two documents apart.
std::string NameValue(const std::string& path);

// The table for `krs`, or nullptr for a value that names no table.
const HistoryTable* FindHistoryTable(kindrecordset krs);

}  // namespace veldrane::history
