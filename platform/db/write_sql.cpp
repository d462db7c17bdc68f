// The INSERT, UPDATE and DELETE texts of write-back, shared by the SQL
// providers. Identifiers are always double-quoted so that column names that
// are keywords or hold blanks ("FROM", "TO", "END" in the history tables)
// are written safely.
#include "core/vb_error.h"
#include "platform/db/provider.h"

namespace veldrane::ado {

namespace {

void AppendReturning(std::string& sql, const RowWrite& write) {
  if (write.returning.empty()) return;
  sql += " RETURNING ";
  for (size_t i = 0; i < write.returning.size(); ++i) {
    if (i) sql += ", ";
    sql += QuoteIdentifier(write.returning[i]->base_column);
  }
}

void AppendWhere(std::string& sql, const RowWrite& write, size_t first_param, std::string (*placeholder)(size_t)) {
  sql += " WHERE ";
  for (size_t i = 0; i < write.key_columns.size(); ++i) {
    if (i) sql += " AND ";
    sql += QuoteIdentifier(write.key_columns[i]) + " = " + placeholder(first_param + i);
  }
}

}  // namespace

std::string QuoteIdentifier(std::string_view name) {
  // rowid and ctid are pseudo-columns: quoting would make them ordinary names.
  if (name == "rowid" || name == "_rowid_" || name == "oid" || name == "ctid") return std::string(name);
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string BuildInsertSql(const RowWrite& write, std::string (*placeholder)(size_t), bool returning) {
  std::string sql = "INSERT INTO " + write.target->table;
  if (write.set_columns.empty()) {
    sql += " DEFAULT VALUES";
  } else {
    sql += " (";
    for (size_t i = 0; i < write.set_columns.size(); ++i) {
      if (i) sql += ", ";
      sql += QuoteIdentifier(write.set_columns[i]);
    }
    sql += ") VALUES (";
    for (size_t i = 0; i < write.set_columns.size(); ++i) {
      if (i) sql += ", ";
      sql += placeholder(i);
    }
    sql += ")";
  }
  if (returning) AppendReturning(sql, write);
  return sql;
}

std::string BuildUpdateSql(const RowWrite& write, std::string (*placeholder)(size_t), bool returning) {
  std::string sql = "UPDATE " + write.target->table + " SET ";
  for (size_t i = 0; i < write.set_columns.size(); ++i) {
    if (i) sql += ", ";
    sql += QuoteIdentifier(write.set_columns[i]) + " = " + placeholder(i);
  }
  AppendWhere(sql, write, write.set_columns.size(), placeholder);
  if (returning) AppendReturning(sql, write);
  return sql;
}

std::string BuildDeleteSql(const RowWrite& write, std::string (*placeholder)(size_t)) {
  std::string sql = "DELETE FROM " + write.target->table;
  AppendWhere(sql, write, 0, placeholder);
  return sql;
}

VbError RowNotFound(std::string_view table, std::string_view provider) {
  return VbError(adoerr::kRowNotFound,
                 "Row cannot be located for updating. Some values may have been changed since it was last read. "
                 "(Table " + std::string(table) + ")",
                 std::string(provider));
}

}  // namespace veldrane::ado
