#include "platform/db/sql_text.h"

#include <array>
#include <cctype>

#include "core/text.h"

namespace veldrane::ado {

namespace {

bool IsWordStart(unsigned char c) { return std::isalpha(c) || c == '_' || c >= 0x80; }
bool IsWordChar(unsigned char c) { return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80; }

std::string_view Text(std::string_view sql, const SqlToken& t) { return sql.substr(t.begin, t.end - t.begin); }

bool IsWord(std::string_view sql, const SqlToken& t, std::string_view word) {
  return t.kind == SqlToken::Word && IEquals(Text(sql, t), word);
}

bool IsAnyWord(std::string_view sql, const SqlToken& t, std::initializer_list<std::string_view> words) {
  if (t.kind != SqlToken::Word) return false;
  for (auto w : words) {
    if (IEquals(Text(sql, t), w)) return true;
  }
  return false;
}

bool IsPunct(std::string_view sql, const SqlToken& t, char c) {
  return t.kind == SqlToken::Punct && t.end - t.begin == 1 && sql[t.begin] == c;
}

// Skips a quoted run starting at `i` (the opening quote); returns the offset
// past the closing quote. A doubled closing quote stands for one.
size_t SkipQuoted(std::string_view sql, size_t i, char close) {
  ++i;
  while (i < sql.size()) {
    if (sql[i] == close) {
      if (close != ']' && i + 1 < sql.size() && sql[i + 1] == close) {
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
  return sql.size();
}

// Words after which a WHERE / FROM clause part ends.
const std::initializer_list<std::string_view> kClauseEnd = {"ORDER", "GROUP", "HAVING", "LIMIT", "OFFSET", "UNION",
                                                            "INTERSECT", "EXCEPT", "WINDOW", "FETCH", "FOR"};
const std::initializer_list<std::string_view> kAggregates = {"COUNT", "SUM", "AVG", "MIN", "MAX", "TOTAL",
                                                             "GROUP_CONCAT", "STRING_AGG", "ARRAY_AGG", "EVERY",
                                                             "BOOL_AND", "BOOL_OR"};

}  // namespace

std::vector<SqlToken> TokenizeSql(std::string_view sql) {
  std::vector<SqlToken> tokens;
  tokens.reserve(sql.size() / 4 + 4);
  int depth = 0;
  size_t i = 0;
  const size_t n = sql.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(sql[i]);
    if (std::isspace(c)) {
      ++i;
      continue;
    }
    if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
      while (i < n && sql[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      size_t close = sql.find("*/", i + 2);
      i = close == std::string_view::npos ? n : close + 2;
      continue;
    }
    size_t start = i;
    if (c == '\'') {
      i = SkipQuoted(sql, i, '\'');
      tokens.push_back({SqlToken::String, start, i, depth});
      continue;
    }
    if (c == '"' || c == '`' || c == '[') {
      i = SkipQuoted(sql, i, c == '[' ? ']' : static_cast<char>(c));
      tokens.push_back({SqlToken::QuotedName, start, i, depth});
      continue;
    }
    if (c == '$' && i + 1 < n && (sql[i + 1] == '$' || IsWordStart(static_cast<unsigned char>(sql[i + 1])))) {
      // A dollar-quoted string: $tag$ ... $tag$.
      size_t tag_end = i + 1;
      while (tag_end < n && IsWordChar(static_cast<unsigned char>(sql[tag_end])) && sql[tag_end] != '$') ++tag_end;
      if (tag_end < n && sql[tag_end] == '$') {
        std::string_view tag = sql.substr(i, tag_end - i + 1);
        size_t close = sql.find(tag, tag_end + 1);
        i = close == std::string_view::npos ? n : close + tag.size();
        tokens.push_back({SqlToken::String, start, i, depth, true});
        continue;
      }
    }
    if (IsWordStart(c)) {
      while (i < n && IsWordChar(static_cast<unsigned char>(sql[i]))) ++i;
      if (i < n && sql[i] == '\'' && i - start <= 2) {
        // X'..', E'..', N'..', U&'..': a literal whose value is not plain text.
        i = SkipQuoted(sql, i, '\'');
        tokens.push_back({SqlToken::String, start, i, depth, true});
        continue;
      }
      tokens.push_back({SqlToken::Word, start, i, depth});
      continue;
    }
    if (std::isdigit(c) || (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
      while (i < n && (std::isalnum(static_cast<unsigned char>(sql[i])) || sql[i] == '.')) ++i;
      tokens.push_back({SqlToken::Number, start, i, depth});
      continue;
    }
    if (c == '?' || c == ':' || c == '@' || c == '$') {
      if (c == ':' && i + 1 < n && sql[i + 1] == ':') {  // a cast operator, not a parameter
        i += 2;
        tokens.push_back({SqlToken::Punct, start, i, depth});
        continue;
      }
      ++i;
      while (i < n && IsWordChar(static_cast<unsigned char>(sql[i]))) ++i;
      tokens.push_back({i - start > 1 || c == '?' ? SqlToken::Param : SqlToken::Punct, start, i, depth});
      continue;
    }
    if (c == ')') --depth;
    tokens.push_back({SqlToken::Punct, start, i + 1, depth});
    if (c == '(') ++depth;
    ++i;
  }
  return tokens;
}

SelectShape AnalyzeSelect(std::string_view sql) {
  SelectShape shape;
  auto tokens = TokenizeSql(sql);
  if (tokens.empty() || !IsWord(sql, tokens[0], "SELECT")) {
    shape.refusal = "the source is not a plain SELECT";
    return shape;
  }
  size_t i = 1;
  if (i < tokens.size() && IsAnyWord(sql, tokens[i], {"DISTINCT"})) {
    shape.refusal = "the query selects DISTINCT rows";
    return shape;
  }
  size_t from = 0;
  for (; i < tokens.size(); ++i) {
    const SqlToken& t = tokens[i];
    if (t.depth != 0) continue;
    if (IsWord(sql, t, "FROM")) {
      from = i;
      break;
    }
    if (IsAnyWord(sql, t, kAggregates) && i + 1 < tokens.size() && IsPunct(sql, tokens[i + 1], '(')) {
      shape.refusal = "the query computes aggregates";
      return shape;
    }
  }
  if (from == 0) {
    shape.refusal = "the query reads no table";
    return shape;
  }
  i = from + 1;
  auto is_name = [&](size_t k) {
    return k < tokens.size() && (tokens[k].kind == SqlToken::QuotedName ||
                                 (tokens[k].kind == SqlToken::Word &&
                                  !IsAnyWord(sql, tokens[k], {"SELECT", "WHERE", "JOIN", "LATERAL", "ONLY"})));
  };
  if (i < tokens.size() && IsWord(sql, tokens[i], "ONLY")) ++i;  // PostgreSQL: no inherited tables
  if (!is_name(i)) {
    shape.refusal = "the query does not read from a table by name";
    return shape;
  }
  ++i;
  if (i + 1 < tokens.size() && IsPunct(sql, tokens[i], '.') && is_name(i + 1)) i += 2;
  if (i < tokens.size() && IsWord(sql, tokens[i], "AS")) ++i;
  if (i < tokens.size() && is_name(i) && !IsAnyWord(sql, tokens[i], kClauseEnd) &&
      !IsAnyWord(sql, tokens[i], {"INNER", "LEFT", "RIGHT", "FULL", "CROSS", "NATURAL", "OUTER", "USING", "ON"})) {
    ++i;  // alias
  }
  bool where_seen = false;
  for (size_t k = i; k < tokens.size(); ++k) {
    const SqlToken& t = tokens[k];
    if (t.depth != 0) continue;
    if (!where_seen && k == i && !(IsWord(sql, t, "WHERE") || IsAnyWord(sql, t, kClauseEnd) || IsPunct(sql, t, ';'))) {
      shape.refusal = "the query reads more than one table";
      return shape;
    }
    if (IsWord(sql, t, "WHERE")) where_seen = true;
    if (IsAnyWord(sql, t, {"GROUP", "HAVING"})) {
      shape.refusal = "the query groups rows";
      return shape;
    }
    if (IsAnyWord(sql, t, {"UNION", "INTERSECT", "EXCEPT"})) {
      shape.refusal = "the query combines several queries";
      return shape;
    }
    if (IsAnyWord(sql, t, {"JOIN"})) {
      shape.refusal = "the query reads more than one table";
      return shape;
    }
  }
  shape.single_table = true;
  shape.from_offset = tokens[from].begin;
  return shape;
}

bool IsTableName(std::string_view source) {
  // Most sources are queries: an unquoted name has no blank, which settles
  // it without tokenizing.
  size_t first = source.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return false;
  std::string_view trimmed = source.substr(first, source.find_last_not_of(" \t\r\n") + 1 - first);
  bool quoted = trimmed[0] == '"' || trimmed[0] == '[' || trimmed[0] == '`';
  if (!quoted && trimmed.find_first_of(" \t\r\n(") != std::string_view::npos) return false;
  auto tokens = TokenizeSql(source);
  auto name = [&](size_t k) {
    return tokens[k].kind == SqlToken::QuotedName ||
           (tokens[k].kind == SqlToken::Word && !IsAnyWord(source, tokens[k], {"SELECT", "WITH", "VALUES"}));
  };
  if (tokens.size() == 1) return name(0);
  return tokens.size() == 3 && name(0) && IsPunct(source, tokens[1], '.') && name(2);
}

std::string SafeIdentifier(std::string_view name) {
  // A run asks this for every record (its target query names the table and
  // the key columns), always of the same few names: the last answers are kept.
  struct Answer {
    std::string name, safe;
  };
  thread_local std::array<Answer, 8> answers;
  thread_local size_t next = 0;
  for (const Answer& a : answers) {
    if (!a.safe.empty() && a.name == name) return a.safe;
  }
  std::string safe;
  if (IsTableName(name)) {
    safe = std::string(name);
  } else {
    safe = "\"";
    for (char c : name) {
      safe += c;
      if (c == '"') safe += '"';
    }
    safe += "\"";
  }
  answers[next++ % answers.size()] = {std::string(name), safe};
  return safe;
}

std::string_view StatementBody(std::string_view sql) {
  auto tokens = TokenizeSql(sql);
  while (!tokens.empty() && IsPunct(sql, tokens.back(), ';')) tokens.pop_back();
  if (tokens.empty()) return sql.substr(0, 0);
  return sql.substr(0, tokens.back().end);
}

bool IsRowQuery(std::string_view sql) {
  auto tokens = TokenizeSql(sql);
  if (tokens.empty()) return false;
  size_t k = 0;
  while (k < tokens.size() && IsPunct(sql, tokens[k], '(')) ++k;
  return k < tokens.size() && IsAnyWord(sql, tokens[k], {"SELECT", "WITH", "VALUES"});
}

std::optional<ParameterizedSql> ParameterizeLiterals(std::string_view sql) {
  // Most texts a run repeats have no literal at all; they need no tokens.
  if (sql.find('\'') == std::string_view::npos) return std::nullopt;
  auto tokens = TokenizeSql(sql);
  if (tokens.empty() || !IsWord(sql, tokens[0], "SELECT")) return std::nullopt;
  size_t where = 0;
  for (size_t k = 1; k < tokens.size(); ++k) {
    if (tokens[k].depth == 0 && IsWord(sql, tokens[k], "WHERE")) {
      where = k;
      break;
    }
  }
  if (where == 0) return std::nullopt;
  ParameterizedSql out;
  size_t copied = 0;
  for (size_t k = where + 1; k < tokens.size(); ++k) {
    const SqlToken& t = tokens[k];
    if (IsWord(sql, t, "SELECT")) return std::nullopt;
    if (t.kind == SqlToken::Param) return std::nullopt;  // the text already has markers of its own
    if (t.depth == 0 && IsAnyWord(sql, t, kClauseEnd)) break;
    if (t.kind != SqlToken::String || t.prefixed) continue;
    if (t.end - t.begin < 2 || sql[t.end - 1] != '\'') return std::nullopt;  // unterminated
    out.text.append(sql.substr(copied, t.begin - copied));
    out.text += '?';
    copied = t.end;
    out.values.push_back(ReplaceAll(sql.substr(t.begin + 1, t.end - t.begin - 2), "''", "'"));
  }
  if (out.values.empty()) return std::nullopt;
  out.text.append(sql.substr(copied));
  return out;
}

}  // namespace veldrane::ado
