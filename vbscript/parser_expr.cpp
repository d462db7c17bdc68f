// Expressions. Levels, loosest first: Imp, Eqv, Xor, Or, And, Not,
// comparisons (= <> < > <= >= Is), &, + -, Mod, \, * /, ^, unary - +.
// Unary minus binds tighter than ^ (-3^2 is 9) and ^ groups left (2^3^2 is
// 64); comparisons group left.
#include "vbscript/parser_impl.h"

namespace veldrane::vbs {

using namespace ast;

namespace {

constexpr int kNotLevel = 5;
constexpr int kCompareLevel = 6;
constexpr int kPowLevel = 12;

// The binary operator a token stands for, and its level; -1 when none.
int BinaryLevel(const Token& t, BinOp& op) {
  switch (t.type) {
    case Tok::Eq: op = BinOp::Eq; return kCompareLevel;
    case Tok::Ne: op = BinOp::Ne; return kCompareLevel;
    case Tok::Lt: op = BinOp::Lt; return kCompareLevel;
    case Tok::Gt: op = BinOp::Gt; return kCompareLevel;
    case Tok::Le: op = BinOp::Le; return kCompareLevel;
    case Tok::Ge: op = BinOp::Ge; return kCompareLevel;
    case Tok::Amp: op = BinOp::Concat; return 7;
    case Tok::Plus: op = BinOp::Add; return 8;
    case Tok::Minus: op = BinOp::Sub; return 8;
    case Tok::Backslash: op = BinOp::IntDiv; return 10;
    case Tok::Star: op = BinOp::Mul; return 11;
    case Tok::Slash: op = BinOp::Div; return 11;
    case Tok::Caret: op = BinOp::Pow; return kPowLevel;
    case Tok::Name:
      switch (t.kw) {
        case Kw::Imp: op = BinOp::Imp; return 0;
        case Kw::Eqv: op = BinOp::Eqv; return 1;
        case Kw::Xor: op = BinOp::Xor; return 2;
        case Kw::Or: op = BinOp::Or; return 3;
        case Kw::And: op = BinOp::And; return 4;
        case Kw::Is: op = BinOp::Is; return kCompareLevel;
        case Kw::Mod: op = BinOp::Mod; return 9;
        default: return -1;
      }
    default: return -1;
  }
}

}  // namespace

// expression -> operand(0)
ExprPtr Parser::ParseExpression() {
  Depth guard(*this);
  ExprPtr lhs = Peek().Is(Kw::Not) ? ParseNot() : ParseUnary();
  return ParseBinaryFrom(std::move(lhs), 0);
}

// not -> 'Not' ( not | unary { binop(level >= comparison) operand } )
// Not takes what binds tighter than itself, and may be repeated ("Not Not x").
ExprPtr Parser::ParseNot() {
  Depth guard(*this);
  Pos pos = Next().pos;
  ExprPtr operand = Peek().Is(Kw::Not) ? ParseNot() : ParseBinaryFrom(ParseUnary(), kCompareLevel);
  return std::make_unique<UnaryExpr>(pos, UnOp::Not, std::move(operand));
}

// operand(level) -> ['Not'] unary { binop(level' >= level) operand(level' + 1) }
ExprPtr Parser::ParseBinaryFrom(ExprPtr lhs, int min_level) {
  while (true) {
    BinOp op;
    int level = BinaryLevel(Peek(), op);
    if (level < 0 || level < min_level) return lhs;
    Pos pos = Next().pos;
    ExprPtr rhs;
    if (Peek().Is(Kw::Not)) {
      // "a And Not b".
      rhs = ParseNot();
      if (level > kNotLevel) rhs = ParseBinaryFrom(std::move(rhs), level + 1);
    } else {
      rhs = ParseBinaryFrom(ParseUnary(), level + 1);
    }
    lhs = std::make_unique<BinaryExpr>(pos, op, std::move(lhs), std::move(rhs));
  }
}

// unary -> ('-' | '+') unary | primary
ExprPtr Parser::ParseUnary() {
  Depth guard(*this);
  if (Peek().type == Tok::Minus || Peek().type == Tok::Plus) {
    bool neg = Peek().type == Tok::Minus;
    Pos pos = Next().pos;
    ExprPtr operand = ParseUnary();
    return std::make_unique<UnaryExpr>(pos, neg ? UnOp::Neg : UnOp::Plus, std::move(operand));
  }
  return ParsePrimary();
}

// primary -> literal | name postfix | '(' expression ')' postfix | '.' name postfix
//          | 'Me' postfix | 'New' name
ExprPtr Parser::ParsePrimary() {
  const Token& t = Peek();
  Pos pos = t.pos;
  switch (t.type) {
    case Tok::Number:
    case Tok::Date: {
      Variant v = t.value;
      Next();
      return std::make_unique<LiteralExpr>(pos, std::move(v));
    }
    case Tok::String: {
      Variant v(t.text);
      Next();
      return std::make_unique<LiteralExpr>(pos, std::move(v));
    }
    case Tok::LParen: {
      Next();
      ExprPtr inner = ParseExpression();
      Expect(Tok::RParen, cerr::kExpectedRParen);
      return ParsePostfix(std::make_unique<ParenExpr>(pos, std::move(inner)), false);
    }
    case Tok::Dot: {
      Next();
      if (Peek().type != Tok::Name) Fail(cerr::kExpectedIdentifier);
      std::string name = Next().text;
      return ParsePostfix(std::make_unique<MemberExpr>(pos, nullptr, std::move(name)), false);
    }
    case Tok::Name:
      break;
    default:
      Fail(cerr::kSyntax);
  }
  switch (t.kw) {
    case Kw::True: Next(); return std::make_unique<LiteralExpr>(pos, Variant(true));
    case Kw::False: Next(); return std::make_unique<LiteralExpr>(pos, Variant(false));
    case Kw::Null: Next(); return std::make_unique<LiteralExpr>(pos, Variant::Null());
    case Kw::Empty: Next(); return std::make_unique<LiteralExpr>(pos, Variant());
    case Kw::Nothing: Next(); return std::make_unique<LiteralExpr>(pos, Variant::Nothing());
    case Kw::Me:
      Next();
      return ParsePostfix(std::make_unique<MeExpr>(pos), false);
    case Kw::New: {
      Next();
      std::string name = ExpectIdentifier();
      return std::make_unique<NewExpr>(pos, std::move(name));
    }
    default:
      break;
  }
  if (!t.IsIdentifier()) Fail(cerr::kSyntax);
  std::string name = Next().text;
  return ParsePostfix(std::make_unique<NameExpr>(pos, std::move(name)), false);
}

// postfix -> { '.' name | '(' [arguments] ')' }
// At the head of a statement, " .name" after a blank starts an argument
// ("Foo .x" inside With) instead of naming a member.
ExprPtr Parser::ParsePostfix(ExprPtr base, bool statement_head) {
  while (true) {
    const Token& t = Peek();
    if (t.type == Tok::Dot && !(statement_head && t.space_before)) {
      Pos pos = Next().pos;
      if (Peek().type != Tok::Name) Fail(cerr::kExpectedIdentifier);
      std::string name = Next().text;
      base = std::make_unique<MemberExpr>(pos, std::move(base), std::move(name));
    } else if (t.type == Tok::LParen) {
      Pos pos = Next().pos;
      ExprList args = ParseArgList();
      base = std::make_unique<CallExpr>(pos, std::move(base), std::move(args));
    } else {
      return base;
    }
  }
}

// arguments -> [ expression ] { ',' [ expression ] } ')'   (the '(' is consumed)
ExprList Parser::ParseArgList() {
  ExprList args;
  if (Accept(Tok::RParen)) return args;
  while (true) {
    if (Peek().type == Tok::Comma || Peek().type == Tok::RParen) {
      args.push_back(std::make_unique<MissingExpr>(Peek().pos));
    } else {
      args.push_back(ParseExpression());
    }
    if (Accept(Tok::Comma)) continue;
    Expect(Tok::RParen, cerr::kExpectedRParen);
    return args;
  }
}

bool Parser::CanStartExpression(const Token& t) const {
  switch (t.type) {
    case Tok::Number:
    case Tok::String:
    case Tok::Date:
    case Tok::LParen:
    case Tok::Minus:
    case Tok::Plus:
    case Tok::Dot:
      return true;
    case Tok::Name:
      if (t.IsIdentifier()) return true;
      switch (t.kw) {
        case Kw::True: case Kw::False: case Kw::Null: case Kw::Empty: case Kw::Nothing:
        case Kw::Me: case Kw::New: case Kw::Not:
          return true;
        default:
          return false;
      }
    default:
      return false;
  }
}

std::string Parser::ExpectIdentifier() {
  if (!Peek().IsIdentifier()) Fail(cerr::kExpectedIdentifier);
  return Next().text;
}

// whole expression -> expression end
ExprPtr Parser::ParseWholeExpression() {
  SkipSeparators();
  ExprPtr e = ParseExpression();
  SkipSeparators();
  if (Peek().type != Tok::End) Fail(cerr::kExpectedEndOfStatement);
  return e;
}

}  // namespace veldrane::vbs
