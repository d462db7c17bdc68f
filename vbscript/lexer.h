// The lexer: script text to tokens.
//
// Names are case-insensitive (keywords carry a Kw id; the text keeps the
// spelling for messages and TypeName); ' and Rem comments run to the end of
// the line; " _" joins a line to the next; ":" and line breaks separate
// statements; strings double their quotes; numbers are decimal, &H, &O or
// floating with an exponent; #...# is a date literal. Lexical errors (1030
// to 1033, 1007) are raised here with their place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/variant.h"
#include "vbscript/source_text.h"

namespace veldrane::vbs {

enum class Tok : uint8_t {
  End,      // end of text
  Newline,  // end of a line
  Colon,    // ":" statement separator
  Name,     // identifier or keyword (see Token::kw)
  Number,
  String,
  Date,
  LParen, RParen, Comma, Dot,
  Eq, Ne, Lt, Gt, Le, Ge,
  Plus, Minus, Star, Slash, Backslash, Caret, Amp,
};

// Keywords. Reserved ones cannot name variables; the contextual ones
// (Step, Property, Default, Error, Explicit, Get, Let, Resume, GoTo) can.
enum class Kw : uint8_t {
  None,
  And, ByRef, ByVal, Call, Case, Class, Const, Dim, Do, Each, Else, ElseIf, Empty, End, Eqv, Erase, Exit,
  False, For, Function, If, Imp, In, Is, Loop, Me, Mod, New, Next, Not, Nothing, Null, On, Option, Or,
  Preserve, Private, Public, ReDim, Select, Set, Sub, Then, To, True, Until, Wend, While, With, Xor,
  // contextual
  Step, Property, Default, Error, Explicit, Get, Let, Resume, GoTo, Stop,
};

struct Token {
  Tok type = Tok::End;
  Kw kw = Kw::None;
  bool space_before = false;  // blank before the token (tells "a .b" from "a.b")
  Pos pos;
  std::string text;  // name as written, string contents
  Variant value;     // Number and Date literals

  bool Is(Kw k) const { return type == Tok::Name && kw == k; }
  // A name that may stand for a variable or procedure.
  bool IsIdentifier() const;
};

// Splits `source` into tokens, ending with Tok::End. Raises a LocatedError
// (compilation error) on bad input.
std::vector<Token> Tokenize(const SourceText& source);

// The keyword with this name (any case), or Kw::None.
Kw KeywordOf(std::string_view name);

}  // namespace veldrane::vbs
