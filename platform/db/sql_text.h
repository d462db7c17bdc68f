// Just enough reading of SQL text for the data layer: the shape of a query
// (does it read one table, so that its rows can be written back?), whether a
// recordset source is a bare table name, and the turning of quoted literals
// in a WHERE clause into bound parameters so that queries that differ only
// in their literal values share one prepared statement.
//
// This is a tokenizer with a few rules, not a parser: whatever it cannot
// vouch for, it declines (no write-back, no parameters), and the statement
// then runs exactly as written.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veldrane::ado {

struct SqlToken {
  enum Kind { Word, QuotedName, String, Number, Param, Punct };
  Kind kind;
  size_t begin;        // byte offsets into the text
  size_t end;
  int depth;           // parenthesis depth at the token
  bool prefixed = false;  // a String with a type prefix (X'..', E'..', N'..')
};

// Splits `sql` into tokens, skipping blanks and comments. An unterminated
// string or name runs to the end of the text.
std::vector<SqlToken> TokenizeSql(std::string_view sql);

struct SelectShape {
  bool single_table = false;  // SELECT <list> FROM <one table> [alias] [WHERE/ORDER/LIMIT ...]
  size_t from_offset = 0;     // offset of the top-level FROM keyword
  std::string refusal;        // when not single_table: why, in words
};

// The shape of a query, for deciding on write-back.
SelectShape AnalyzeSelect(std::string_view sql);

// True when `source` is only a table name (an identifier, quoted or not,
// optionally qualified by a schema).
bool IsTableName(std::string_view source);

// `name` as it can stand in a statement: unchanged when it is a table or
// column name (an identifier, quoted or bracketed or not, optionally
// qualified), else quoted as one identifier with its double quotes doubled,
// so that a name such as "X --" or "X; DROP" can never change the statement
// it is put into.
std::string SafeIdentifier(std::string_view name);

// The statement without what trails it: blanks, comments and semicolons
// after its last word, so that it can be wrapped in another statement.
std::string_view StatementBody(std::string_view sql);

// True when `sql` begins with SELECT, WITH or VALUES (statements that
// return rows whether or not there are any).
bool IsRowQuery(std::string_view sql);

struct ParameterizedSql {
  std::string text;                 // the statement with "?" markers
  std::vector<std::string> values;  // the literals' values, unescaped, in order
};

// Replaces the plain quoted literals that follow the top-level WHERE of a
// SELECT (up to ORDER BY, GROUP BY, LIMIT and the like) by "?" markers.
// Declines (nullopt) when there is nothing to replace, or when a nested
// SELECT follows the WHERE.
std::optional<ParameterizedSql> ParameterizeLiterals(std::string_view sql);

}  // namespace veldrane::ado
