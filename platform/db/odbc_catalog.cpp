// The ODBC provider's catalogue, for the target locator (target_locator.h),
// which decides where the rows of an updatable query are written back: the
// driver says which table a result column comes from
// (SQL_DESC_BASE_TABLE_NAME / SQL_DESC_BASE_COLUMN_NAME), which columns the
// table has (SQLColumns), and which of them locate a row: the primary key
// (SQLPrimaryKeys), else the first unique index (SQLStatistics). A driver
// that does not tell a column's table falls back on the one table the
// query's FROM names. SQLite's rowid locates the rows of a table without
// a key; the other databases' row ids do not survive an update.
#include <algorithm>
#include <map>

#include "core/text.h"
#include "platform/db/odbc_session.h"
#include "platform/db/odbc_values.h"
#include "platform/db/sql_text.h"

namespace veldrane::ado {

namespace {

// The name after the top-level FROM of a single-table query ("t", "s.t",
// a quoted name unquoted), or empty.
std::pair<std::string, std::string> FromTable(std::string_view sql, size_t from_offset) {
  std::vector<std::string> parts;
  bool expect_name = true;
  for (const SqlToken& t : TokenizeSql(sql.substr(from_offset))) {
    std::string_view word = sql.substr(from_offset + t.begin, t.end - t.begin);
    if (t.begin == 0) continue;  // FROM itself
    if (expect_name && (t.kind == SqlToken::Word || t.kind == SqlToken::QuotedName)) {
      std::string name(word);
      if (t.kind == SqlToken::QuotedName && name.size() >= 2) name = name.substr(1, name.size() - 2);
      parts.push_back(name);
      expect_name = false;
    } else if (!expect_name && t.kind == SqlToken::Punct && word == ".") {
      expect_name = true;
    } else {
      break;
    }
  }
  if (parts.empty()) return {};
  if (parts.size() == 1) return {std::string(), parts[0]};
  return {parts[parts.size() - 2], parts.back()};
}

std::string Text(const Variant& v) { return v.IsNull() || v.IsEmpty() ? std::string() : v.ToText(); }

}  // namespace

// The table's columns and what the target locator needs; `name` is tried
// as written, then folded to lower and upper case, as databases store
// unquoted names.
OdbcSession::TableInfo OdbcSession::LoadTable(const std::string& schema, const std::string& name) {
  TableInfo info;
  for (const std::string& candidate : {name, ToLowerAscii(name), ToUpperAscii(name)}) {
    info.columns = CatalogColumn(
        [&](SQLHSTMT s, SQLCHAR* sch, SQLSMALLINT sl, SQLCHAR* tab, SQLSMALLINT tl) {
          return SQLColumns(s, nullptr, 0, sch, sl, tab, tl, nullptr, 0);
        },
        schema, candidate, 4);
    if (!info.columns.empty()) {
      info.name = candidate;
      break;
    }
  }
  if (!info.columns.empty()) {
    std::vector<std::vector<Variant>> pk = CatalogRows(
        [&](SQLHSTMT s, SQLCHAR* sch, SQLSMALLINT sl, SQLCHAR* tab, SQLSMALLINT tl) {
          return SQLPrimaryKeys(s, nullptr, 0, sch, sl, tab, tl);
        },
        schema, info.name);
    std::sort(pk.begin(), pk.end(), [](const auto& a, const auto& b) { return a[4].ToLong() < b[4].ToLong(); });
    for (const auto& row : pk) info.key.push_back(Text(row[3]));
    if (info.key.empty()) {
      // No primary key: the first unique index whose columns are all known.
      std::vector<std::vector<Variant>> stats = CatalogRows(
          [&](SQLHSTMT s, SQLCHAR* sch, SQLSMALLINT sl, SQLCHAR* tab, SQLSMALLINT tl) {
            return SQLStatistics(s, nullptr, 0, sch, sl, tab, tl, SQL_INDEX_UNIQUE, SQL_QUICK);
          },
          schema, info.name);
      std::map<std::string, std::vector<std::pair<int32_t, std::string>>> indexes;
      std::vector<std::string> order;
      for (const auto& row : stats) {
        if (row.size() < 9 || row[6].ToLong() == SQL_TABLE_STAT || Text(row[8]).empty()) continue;
        std::string index = Text(row[5]);
        if (!indexes.count(index)) order.push_back(index);
        indexes[index].emplace_back(row[7].ToLong(), Text(row[8]));
      }
      if (!order.empty()) {
        auto& cols = indexes[order.front()];
        std::sort(cols.begin(), cols.end());
        for (const auto& [position, column] : cols) info.key.push_back(column);
      }
    }
  }
  TableFacts& facts = info.facts;
  facts.qualified = (schema.empty() ? std::string() : QuoteIdentifier(schema) + ".") + QuoteIdentifier(info.name);
  facts.key = info.key;
  if (info.columns.empty()) {
    facts.refusal = "the driver lists no columns for table " + name;
  } else if (!info.key.empty()) {
    facts.locators = info.key;
  } else if (IEquals(dbms_, "SQLite")) {
    facts.locators = {"rowid"};
  }
  return info;
}

std::vector<std::vector<Variant>> OdbcSession::CatalogRows(const CatalogCall& call, const std::string& schema,
                                                          const std::string& table) {
  OdbcStatement stmt(dbc_, Name());
  std::string s = schema, t = table;
  SQLRETURN rc = call(stmt.get(), s.empty() ? nullptr : reinterpret_cast<SQLCHAR*>(s.data()),
                      s.empty() ? 0 : static_cast<SQLSMALLINT>(s.size()), reinterpret_cast<SQLCHAR*>(t.data()),
                      static_cast<SQLSMALLINT>(t.size()));
  if (!Succeeded(rc)) throw Failure(SQL_HANDLE_STMT, stmt.get());
  OdbcFetcher fetcher(stmt.get(), DescribeResult(stmt.get(), Name(), true, false, false), Name());
  std::vector<std::vector<Variant>> rows;
  std::vector<Variant> row(fetcher.columns().size());
  while (fetcher.Next(row.data())) rows.push_back(row);
  return rows;
}

std::vector<std::string> OdbcSession::CatalogColumn(const CatalogCall& call, const std::string& schema,
                                                    const std::string& table, size_t column) {
  std::vector<std::string> out;
  for (const auto& row : CatalogRows(call, schema, table)) {
    if (row.size() > column - 1) out.push_back(Text(row[column - 1]));
  }
  return out;
}

TargetLocation OdbcSession::Locate(std::string_view sql, SQLHSTMT stmt, Rowset& rows, bool may_add_locators) {
  std::vector<ColumnOrigin> origins(rows.columns.size());
  SelectShape shape = AnalyzeSelect(sql);
  auto [schema, from] = shape.single_table ? FromTable(sql, shape.from_offset) : std::pair<std::string, std::string>();
  std::vector<std::string> base_tables(rows.columns.size()), base_columns(rows.columns.size());
  for (size_t i = 0; i < rows.columns.size(); ++i) {
    if (rows.columns[i].hidden) continue;
    SQLCHAR buffer[512];
    SQLSMALLINT length = 0;
    auto n = static_cast<SQLUSMALLINT>(i + 1);
    if (Succeeded(SQLColAttribute(stmt, n, SQL_DESC_BASE_TABLE_NAME, buffer, sizeof buffer, &length, nullptr))) {
      base_tables[i].assign(reinterpret_cast<char*>(buffer), static_cast<size_t>(std::clamp<SQLSMALLINT>(length, 0, 511)));
      if (!base_tables[i].empty() && IEquals(base_tables[i], from)) from = base_tables[i];  // the stored spelling
    }
    if (Succeeded(SQLColAttribute(stmt, n, SQL_DESC_BASE_COLUMN_NAME, buffer, sizeof buffer, &length, nullptr))) {
      base_columns[i].assign(reinterpret_cast<char*>(buffer), static_cast<size_t>(std::clamp<SQLSMALLINT>(length, 0, 511)));
    }
    SQLLEN auto_unique = SQL_FALSE;
    if (Succeeded(SQLColAttribute(stmt, n, SQL_DESC_AUTO_UNIQUE_VALUE, nullptr, 0, nullptr, &auto_unique))) {
      rows.columns[i].autoincrement = auto_unique == SQL_TRUE;
    }
  }
  for (size_t i = 0; i < rows.columns.size(); ++i) {
    if (rows.columns[i].hidden) continue;
    const std::string& base_column = base_columns[i];
    // The driver's word where it gives one; else the FROM table's column
    // of the same name, which an expression does not have.
    std::string table = base_tables[i].empty() ? from : base_tables[i];
    if (table.empty()) continue;
    std::string id = TableId(schema, table);
    const TableInfo& info = tables_.at(id);
    const std::string& name = base_column.empty() ? rows.columns[i].name : base_column;
    for (const std::string& column : info.columns) {
      if (IEquals(column, name)) {
        origins[i] = {id, column};
        break;
      }
    }
  }
  TargetLocation where = LocateTarget(sql, rows.columns, origins, *this, may_add_locators);
  if (where.locators.empty()) rows.target = where.target;
  return where;
}

std::string OdbcSession::TableId(const std::string& schema, const std::string& name) {
  std::string id = schema + "\x01" + name;
  if (!tables_.count(id)) tables_.emplace(id, LoadTable(schema, name));
  return id;
}

const TableFacts& OdbcSession::Facts(const std::string& table) { return tables_.at(table).facts; }

void OdbcSession::ForgetTables() {
  tables_.clear();
  target_plans_.clear();
}

}  // namespace veldrane::ado
