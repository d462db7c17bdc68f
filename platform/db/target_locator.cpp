#include "platform/db/target_locator.h"

#include "core/text.h"
#include "platform/db/sql_text.h"

namespace veldrane::ado {

namespace {

bool SameName(const TableFacts& facts, std::string_view a, std::string_view b) {
  return facts.case_sensitive_names ? a == b : IEquals(a, b);
}

}  // namespace

TargetLocation LocateTarget(std::string_view sql, std::vector<ColumnInfo>& columns,
                            const std::vector<ColumnOrigin>& origins, TableCatalog& catalog, bool may_add_locators) {
  TargetLocation out;
  SelectShape shape = AnalyzeSelect(sql);
  if (!shape.single_table) {
    out.target.refusal = shape.refusal;
    return out;
  }
  std::string table;
  for (size_t i = 0; i < columns.size() && i < origins.size(); ++i) {
    if (columns[i].hidden || origins[i].table.empty()) continue;
    if (!table.empty() && origins[i].table != table) {
      out.target.refusal = "the query reads more than one table";
      return out;
    }
    table = origins[i].table;
  }
  if (table.empty()) {
    out.target.refusal = "the query returns no column of a table";
    return out;
  }
  const TableFacts& facts = catalog.Facts(table);
  if (!facts.refusal.empty()) {
    out.target.refusal = facts.refusal;
    return out;
  }
  std::vector<int32_t> hidden;
  for (size_t i = 0; i < columns.size(); ++i) {
    ColumnInfo& c = columns[i];
    if (c.hidden) {
      c.key = true;
      c.writable = false;
      hidden.push_back(static_cast<int32_t>(i));
    } else if (i < origins.size() && origins[i].table == table) {
      c.writable = true;
      c.base_column = origins[i].column;
    }
  }
  if (!hidden.empty()) {
    out.target.table = facts.qualified;
    out.target.key = std::move(hidden);
    return out;
  }
  // The key, when every key column is selected under its own name.
  std::vector<int32_t> key;
  for (const std::string& k : facts.key) {
    for (size_t i = 0; i < columns.size(); ++i) {
      if (columns[i].writable && SameName(facts, columns[i].base_column, k)) {
        key.push_back(static_cast<int32_t>(i));
        break;
      }
    }
  }
  if (!facts.key.empty() && key.size() == facts.key.size()) {
    for (int32_t k : key) columns[static_cast<size_t>(k)].key = true;
    out.target.table = facts.qualified;
    out.target.key = std::move(key);
    return out;
  }
  if (facts.locators.empty()) {
    out.target.refusal = "the table has no primary key and no row locator";
  } else if (!may_add_locators) {
    out.target.refusal = "the row locator cannot be read";
  } else {
    out.locators = facts.locators;
    out.from_offset = shape.from_offset;
  }
  return out;
}

std::string WithLocators(std::string_view sql, size_t from_offset, const std::vector<std::string>& locators) {
  if (locators.empty()) return std::string(sql);
  std::string extra;
  for (const std::string& l : locators) extra += ", " + QuoteIdentifier(l);
  std::string out(sql.substr(0, from_offset));
  out += extra;
  out += ' ';
  out += sql.substr(from_offset);
  return out;
}

void MarkLocators(std::vector<ColumnInfo>& columns, const std::vector<std::string>& locators) {
  if (locators.size() > columns.size()) return;
  size_t visible = columns.size() - locators.size();
  for (size_t i = visible; i < columns.size(); ++i) {
    ColumnInfo& c = columns[i];
    c.hidden = true;
    c.key = true;
    c.writable = false;
    c.base_column = locators[i - visible];
    // A row id has no declared type to tell.
    if (c.type == adVariant) c.type = adBigInt;
  }
}

}  // namespace veldrane::ado
