// The query a TARGET step opens its rows with, shared by the record transfer
// and the designer's formula check.
//
// A query without key conditions must select no row, so that the rows open
// empty and ready for a new one. Whether it has conditions is known from how
// it was built, never by searching its text: a table whose name contains
// WHERE is no different from any other.
#pragma once

#include <string>

namespace veldrane {

// The condition that selects no row.
inline constexpr const char* kSelectNoRow = " WHERE 1 = 2";

// `built` as it is when it selects by key, else with " WHERE 1 = 2".
inline std::string TargetQuery(const std::string& built, bool keyed) { return keyed ? built : built + kSelectNoRow; }

// A query on `table` that selects no row.
inline std::string SelectNothing(const std::string& table) { return "SELECT * FROM " + table + kSelectNoRow; }

}  // namespace veldrane
