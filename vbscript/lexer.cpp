#include "vbscript/lexer.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <unordered_map>

#include "core/oadate.h"
#include "core/text.h"
#include "vbscript/script_errors.h"

namespace veldrane::vbs {

namespace {

constexpr size_t kMaxIdentifier = 255;

const std::unordered_map<std::string, Kw, TextHash, std::equal_to<>>& KeywordTable() {
  static const std::unordered_map<std::string, Kw, TextHash, std::equal_to<>> table = {
      {"and", Kw::And},         {"byref", Kw::ByRef},     {"byval", Kw::ByVal},       {"call", Kw::Call},
      {"case", Kw::Case},       {"class", Kw::Class},     {"const", Kw::Const},       {"dim", Kw::Dim},
      {"do", Kw::Do},           {"each", Kw::Each},       {"else", Kw::Else},         {"elseif", Kw::ElseIf},
      {"empty", Kw::Empty},     {"end", Kw::End},         {"eqv", Kw::Eqv},           {"erase", Kw::Erase},
      {"exit", Kw::Exit},       {"false", Kw::False},     {"for", Kw::For},           {"function", Kw::Function},
      {"if", Kw::If},           {"imp", Kw::Imp},         {"in", Kw::In},             {"is", Kw::Is},
      {"loop", Kw::Loop},       {"me", Kw::Me},           {"mod", Kw::Mod},           {"new", Kw::New},
      {"next", Kw::Next},       {"not", Kw::Not},         {"nothing", Kw::Nothing},   {"null", Kw::Null},
      {"on", Kw::On},           {"option", Kw::Option},   {"or", Kw::Or},             {"preserve", Kw::Preserve},
      {"private", Kw::Private}, {"public", Kw::Public},   {"redim", Kw::ReDim},       {"select", Kw::Select},
      {"set", Kw::Set},         {"sub", Kw::Sub},         {"then", Kw::Then},         {"to", Kw::To},
      {"true", Kw::True},       {"until", Kw::Until},     {"wend", Kw::Wend},         {"while", Kw::While},
      {"with", Kw::With},       {"xor", Kw::Xor},         {"step", Kw::Step},         {"property", Kw::Property},
      {"default", Kw::Default}, {"error", Kw::Error},     {"explicit", Kw::Explicit}, {"get", Kw::Get},
      {"let", Kw::Let},         {"resume", Kw::Resume},   {"goto", Kw::GoTo},         {"stop", Kw::Stop},
  };
  return table;
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameChar(char c) { return IsLetter(c) || IsDigit(c) || c == '_' || static_cast<unsigned char>(c) >= 0x80; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\v'; }

class Lexer {
 public:
  explicit Lexer(const SourceText& source) : source_(source), text_(source.text()) {}

  std::vector<Token> Run() {
    while (true) {
      bool space = SkipBlanks();
      if (i_ >= text_.size()) break;
      char c = text_[i_];
      Pos pos = Here();
      if (c == '\r' || c == '\n') {
        ConsumeLineBreak();
        Push(Tok::Newline, pos, space);
        continue;
      }
      if (c == '\'') {
        SkipToLineEnd();
        continue;
      }
      if (c == '_' && IsContinuation()) continue;
      if (IsLetter(c) || static_cast<unsigned char>(c) >= 0x80) {
        LexName(pos, space);
        continue;
      }
      if (c == '[') {
        LexBracketName(pos, space);
        continue;
      }
      if (IsDigit(c) || (c == '.' && i_ + 1 < text_.size() && IsDigit(text_[i_ + 1]) && !FollowsOperand(space))) {
        LexNumber(pos, space);
        continue;
      }
      if (c == '"') {
        LexString(pos, space);
        continue;
      }
      if (c == '#') {
        LexDate(pos, space);
        continue;
      }
      if (c == '&' && i_ + 1 < text_.size() && (text_[i_ + 1] == 'h' || text_[i_ + 1] == 'H' ||
                                                  text_[i_ + 1] == 'o' || text_[i_ + 1] == 'O')) {
        if (i_ + 2 < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[i_ + 2]))) {
          LexRadix(pos, space);
          continue;
        }
      }
      LexOperator(c, pos, space);
    }
    Push(Tok::Newline, Here(), false);
    Push(Tok::End, Here(), false);
    return std::move(tokens_);
  }

 private:
  Pos Here() const { return Pos{line_, static_cast<int>(i_ - line_start_) + 1}; }

  [[noreturn]] void Fail(int32_t number, Pos pos) { ThrowCompileError(number, source_, pos); }

  void Push(Tok type, Pos pos, bool space) {
    Token t;
    t.type = type;
    t.pos = pos;
    t.space_before = space;
    tokens_.push_back(std::move(t));
  }

  bool SkipBlanks() {
    bool any = false;
    while (i_ < text_.size() && IsBlank(text_[i_])) ++i_, any = true;
    return any;
  }

  void ConsumeLineBreak() {
    if (text_[i_] == '\r' && i_ + 1 < text_.size() && text_[i_ + 1] == '\n') ++i_;
    ++i_;
    ++line_;
    line_start_ = i_;
  }

  void SkipToLineEnd() {
    while (i_ < text_.size() && text_[i_] != '\r' && text_[i_] != '\n') ++i_;
  }

  // " _" at the end of a line joins it to the next one.
  bool IsContinuation() {
    size_t j = i_ + 1;
    while (j < text_.size() && IsBlank(text_[j])) ++j;
    if (j < text_.size() && text_[j] != '\r' && text_[j] != '\n') return false;
    i_ = j;
    if (i_ < text_.size()) ConsumeLineBreak();
    return true;
  }

  // True when the previous token ends an operand, so "." is a member access.
  bool FollowsOperand(bool space) const {
    if (tokens_.empty() || space) return false;
    Tok t = tokens_.back().type;
    return t == Tok::Name || t == Tok::RParen;
  }

  bool AtStatementStart() const {
    if (tokens_.empty()) return true;
    const Token& t = tokens_.back();
    return t.type == Tok::Newline || t.type == Tok::Colon || t.Is(Kw::Then) || t.Is(Kw::Else);
  }

  void LexName(Pos pos, bool space) {
    size_t start = i_;
    while (i_ < text_.size() && IsNameChar(text_[i_])) ++i_;
    std::string name = text_.substr(start, i_ - start);
    if (name.size() > kMaxIdentifier) Fail(cerr::kIdentifierTooLong, pos);
    Kw kw = KeywordOf(name);
    if (IEquals(name, "rem") && AtStatementStart()) {
      SkipToLineEnd();
      return;
    }
    Push(Tok::Name, pos, space);
    tokens_.back().kw = kw;
    tokens_.back().text = std::move(name);
  }

  // [any name]: a name that may contain blanks or be a keyword.
  void LexBracketName(Pos pos, bool space) {
    size_t start = ++i_;
    while (i_ < text_.size() && text_[i_] != ']' && text_[i_] != '\r' && text_[i_] != '\n') ++i_;
    if (i_ >= text_.size() || text_[i_] != ']') Fail(cerr::kExpectedRBracket, Here());
    std::string name = text_.substr(start, i_ - start);
    ++i_;
    if (name.size() > kMaxIdentifier) Fail(cerr::kIdentifierTooLong, pos);
    Push(Tok::Name, pos, space);
    tokens_.back().text = std::move(name);
  }

  void LexNumber(Pos pos, bool space) {
    size_t start = i_;
    bool is_float = false;
    while (i_ < text_.size() && IsDigit(text_[i_])) ++i_;
    if (i_ < text_.size() && text_[i_] == '.') {
      is_float = true;
      ++i_;
      while (i_ < text_.size() && IsDigit(text_[i_])) ++i_;
    }
    if (i_ < text_.size() && (text_[i_] == 'e' || text_[i_] == 'E')) {
      size_t j = i_ + 1;
      if (j < text_.size() && (text_[j] == '+' || text_[j] == '-')) ++j;
      if (j < text_.size() && IsDigit(text_[j])) {
        is_float = true;
        i_ = j;
        while (i_ < text_.size() && IsDigit(text_[i_])) ++i_;
      } else {
        Fail(cerr::kInvalidNumber, pos);
      }
    }
    std::string digits = text_.substr(start, i_ - start);
    double d = std::strtod(digits.c_str(), nullptr);
    if (!std::isfinite(d)) Fail(cerr::kInvalidNumber, pos);
    Push(Tok::Number, pos, space);
    Token& t = tokens_.back();
    t.text = digits;
    if (is_float || d > 2147483647.0) {
      t.value = Variant(d);
    } else if (d <= 32767.0) {
      t.value = Variant(static_cast<int16_t>(d));
    } else {
      t.value = Variant(static_cast<int32_t>(d));
    }
  }

  // &Hff, &O17, optionally with a trailing & that reads the digits as 32
  // bits. Without it, four hex digits or fewer are 16 bits (&HFFFF is -1). The
  // subtype is the smallest that holds the value, as for decimal literals:
  // &H10& is an Integer, &HFFFF& a Long.
  void LexRadix(Pos pos, bool space) {
    int base = (text_[i_ + 1] == 'h' || text_[i_ + 1] == 'H') ? 16 : 8;
    i_ += 2;
    uint64_t v = 0;
    size_t start = i_;
    while (i_ < text_.size()) {
      char c = text_[i_];
      int d;
      if (IsDigit(c)) d = c - '0';
      else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
      else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
      else break;
      if (d >= base) Fail(cerr::kInvalidNumber, pos);
      v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
      if (v > 0xFFFFFFFFull) Fail(cerr::kInvalidNumber, pos);
      ++i_;
    }
    if (i_ == start) Fail(cerr::kInvalidNumber, pos);
    bool force_long = false;
    if (i_ < text_.size() && text_[i_] == '&') {
      force_long = true;
      ++i_;
    }
    Push(Tok::Number, pos, space);
    Token& t = tokens_.back();
    int32_t value = v <= 0xFFFF && !force_long ? static_cast<int16_t>(static_cast<uint16_t>(v))
                                               : static_cast<int32_t>(static_cast<uint32_t>(v));
    if (value >= INT16_MIN && value <= INT16_MAX) {
      t.value = Variant(static_cast<int16_t>(value));
    } else {
      t.value = Variant(value);
    }
  }

  void LexString(Pos pos, bool space) {
    ++i_;
    std::string value;
    while (true) {
      if (i_ >= text_.size() || text_[i_] == '\r' || text_[i_] == '\n') Fail(cerr::kUnterminatedString, pos);
      char c = text_[i_++];
      if (c == '"') {
        if (i_ < text_.size() && text_[i_] == '"') {
          value += '"';
          ++i_;
          continue;
        }
        break;
      }
      value += c;
    }
    Push(Tok::String, pos, space);
    tokens_.back().text = std::move(value);
  }

  void LexDate(Pos pos, bool space) {
    size_t start = ++i_;
    while (i_ < text_.size() && text_[i_] != '#' && text_[i_] != '\r' && text_[i_] != '\n') ++i_;
    if (i_ >= text_.size() || text_[i_] != '#') Fail(cerr::kSyntax, pos);
    std::string body = text_.substr(start, i_ - start);
    ++i_;
    auto date = ParseOaDate(body);
    if (!date) Fail(cerr::kSyntax, pos);
    Push(Tok::Date, pos, space);
    tokens_.back().value = Variant::Date(*date);
  }

  void LexOperator(char c, Pos pos, bool space) {
    char next = i_ + 1 < text_.size() ? text_[i_ + 1] : '\0';
    Tok type;
    size_t len = 1;
    switch (c) {
      case ':': type = Tok::Colon; break;
      case '(': type = Tok::LParen; break;
      case ')': type = Tok::RParen; break;
      case ',': type = Tok::Comma; break;
      case '.': type = Tok::Dot; break;
      // "=>" and "=<" are accepted spellings of ">=" and "<=", as "><" is of "<>".
      case '=':
        if (next == '>') type = Tok::Ge, len = 2;
        else if (next == '<') type = Tok::Le, len = 2;
        else type = Tok::Eq;
        break;
      case '+': type = Tok::Plus; break;
      case '-': type = Tok::Minus; break;
      case '*': type = Tok::Star; break;
      case '/': type = Tok::Slash; break;
      case '\\': type = Tok::Backslash; break;
      case '^': type = Tok::Caret; break;
      case '&': type = Tok::Amp; break;
      case '<':
        if (next == '>') type = Tok::Ne, len = 2;
        else if (next == '=') type = Tok::Le, len = 2;
        else type = Tok::Lt;
        break;
      case '>':
        if (next == '=') type = Tok::Ge, len = 2;
        else if (next == '<') type = Tok::Ne, len = 2;
        else type = Tok::Gt;
        break;
      default: Fail(cerr::kInvalidCharacter, pos);
    }
    i_ += len;
    Push(type, pos, space);
  }

  const SourceText& source_;
  const std::string& text_;
  size_t i_ = 0;
  int line_ = 1;
  size_t line_start_ = 0;
  std::vector<Token> tokens_;
};

}  // namespace

bool Token::IsIdentifier() const {
  if (type != Tok::Name) return false;
  return kw == Kw::None || kw >= Kw::Step;
}

Kw KeywordOf(std::string_view name) {
  // Every name of the source goes through here: folded on the stack.
  char folded[8];
  if (name.size() > sizeof folded) return Kw::None;
  for (size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    folded[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
  }
  const auto& table = KeywordTable();
  auto it = table.find(std::string_view(folded, name.size()));
  return it == table.end() ? Kw::None : it->second;
}

std::vector<Token> Tokenize(const SourceText& source) { return Lexer(source).Run(); }

}  // namespace veldrane::vbs
