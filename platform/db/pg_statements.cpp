#include "platform/db/pg_statements.h"

#include "core/text.h"

namespace veldrane::ado {

namespace {

std::string Numbered(size_t i) { return "$" + std::to_string(i + 1); }

}  // namespace

// The quoted literals of a query's WHERE clause as parameters ($1, $2, ...),
// so that the per-record lookups of a run share one prepared statement.
std::optional<ParameterizedSql> ParameterizeForServer(std::string_view sql, bool standard_strings) {
  // Without standard strings a backslash escapes inside a literal, which the
  // tokenizer does not know about.
  if (!standard_strings && sql.find('\\') != std::string_view::npos) return std::nullopt;
  std::optional<ParameterizedSql> p = ParameterizeLiterals(sql);
  if (!p) return std::nullopt;
  // The "?" markers are the text's only parameter tokens: ParameterizeLiterals
  // declines a text that has markers of its own (and PostgreSQL's "?" operators).
  std::string text;
  size_t copied = 0, n = 0;
  for (const SqlToken& t : TokenizeSql(p->text)) {
    if (t.kind != SqlToken::Param) continue;
    text.append(p->text, copied, t.begin - copied);
    text += Numbered(n++);
    copied = t.end;
  }
  if (n != p->values.size()) return std::nullopt;
  text.append(p->text, copied);
  p->text = std::move(text);
  return p;
}

// True when every statement of `sql` reads or writes rows, and so cannot
// change a table's columns (short of a function that does).
bool OnlyRowStatements(std::string_view sql) {
  bool first = true;
  for (const SqlToken& t : TokenizeSql(sql)) {
    std::string_view word = sql.substr(t.begin, t.end - t.begin);
    if (t.kind == SqlToken::Punct && t.depth == 0 && word == ";") {
      first = true;
    } else if (first) {
      first = false;
      bool rows = t.kind == SqlToken::Word;
      if (rows) {
        rows = false;
        for (const char* w : {"SELECT", "VALUES", "WITH", "INSERT", "UPDATE", "DELETE"}) rows = rows || IEquals(word, w);
      }
      if (!rows) return false;
    }
  }
  return true;
}

// True when `sql` is one statement that reads or writes rows, which the
// extended protocol can carry in a pipeline. Texts with dollar quotes or
// backslashes are left to the simple protocol: no tokenizer guess decides
// where their statements end.
bool OneRowStatement(std::string_view sql) {
  if (sql.find_first_of("$\\") != std::string_view::npos || !OnlyRowStatements(sql)) return false;
  bool ended = false;
  for (const SqlToken& t : TokenizeSql(sql)) {
    if (ended) return false;
    ended = t.kind == SqlToken::Punct && t.depth == 0 && sql.substr(t.begin, t.end - t.begin) == ";";
  }
  return true;
}

// SQLSTATEs of a prepared statement's run that a change of its table by
// another connection can cause: a result of another shape (0A000), a
// statement dropped (26000), a value the old parameter type cannot hold
// (22...), an operator the old type lacks (42...).
bool MayBeStale(std::string_view state) {
  return state == "0A000" || state == "26000" || state.starts_with("22") || state.starts_with("42");
}

std::vector<ColumnShape> ShapeOf(const PGresult* res) {
  std::vector<ColumnShape> shape;
  for (int i = 0; i < PQnfields(res); ++i) {
    shape.push_back({PQfname(res, i), PQftype(res, i), PQftable(res, i), PQfmod(res, i), PQftablecol(res, i)});
  }
  return shape;
}

bool HasShape(const PGresult* res, const std::vector<ColumnShape>& shape) {
  if (static_cast<size_t>(PQnfields(res)) != shape.size()) return false;
  for (int i = 0; i < PQnfields(res); ++i) {
    const ColumnShape& s = shape[static_cast<size_t>(i)];
    if (PQftype(res, i) != s.type || PQfmod(res, i) != s.typmod || PQftable(res, i) != s.table ||
        PQftablecol(res, i) != s.column || s.name != PQfname(res, i)) {
      return false;
    }
  }
  return true;
}

}  // namespace veldrane::ado
