// Statements and blocks.
#include "vbscript/parser_impl.h"

namespace veldrane::vbs {

using namespace ast;

// program -> { statement separator }
Program Parser::ParseProgram() {
  while (true) {
    SkipSeparators();
    if (Peek().type == Tok::End) break;
    if (StmtPtr s = ParseStatement(false)) program_.body.push_back(std::move(s));
    ExpectEndOfStatement();
  }
  return std::move(program_);
}

bool Parser::AtEndOfStatement() const {
  const Token& t = Peek();
  if (t.type == Tok::Newline || t.type == Tok::Colon || t.type == Tok::End) return true;
  return single_line_if_ && t.Is(Kw::Else);
}

void Parser::ExpectEndOfStatement() {
  if (!AtEndOfStatement()) Fail(cerr::kExpectedEndOfStatement);
}

// block -> { statement separator } up to End, Else, ElseIf, Next, Loop,
// Wend or Case (the caller checks that it is the one it expects)
void Parser::ParseBlock(StmtList& out, std::initializer_list<Kw> stops) {
  Depth guard(*this);
  bool saved_single = single_line_if_;
  single_line_if_ = false;
  while (true) {
    SkipSeparators();
    const Token& t = Peek();
    if (t.type == Tok::End) break;
    bool stop = false;
    for (Kw k : stops) stop = stop || t.Is(k);
    if (stop) break;
    if (StmtPtr s = ParseStatement(false)) out.push_back(std::move(s));
    // The End that closes the block may follow a statement on its line: "x End Sub".
    bool closes = false;
    for (Kw k : stops) closes = closes || (k == Kw::End && Peek().Is(Kw::End));
    if (!closes) ExpectEndOfStatement();
  }
  single_line_if_ = saved_single;
}

namespace {
const std::initializer_list<Kw> kBlockStops = {Kw::End, Kw::Else, Kw::ElseIf, Kw::Next, Kw::Loop, Kw::Wend, Kw::Case};
}

// statement -> assignment | call | declaration | compound statement
StmtPtr Parser::ParseStatement(bool single_line) {
  const Token& t = Peek();
  if (t.type == Tok::Dot) return ParseAssignOrCall();
  if (t.type != Tok::Name) Fail(cerr::kExpectedStatement);
  switch (t.kw) {
    case Kw::Dim: return ParseDim();
    case Kw::ReDim: return ParseReDim();
    case Kw::Const: return ParseConst();
    case Kw::Erase: return ParseErase();
    case Kw::If: return ParseIf();
    case Kw::Select: return ParseSelect();
    case Kw::For: return ParseFor();
    case Kw::Do: return ParseDo();
    case Kw::While: return ParseWhile();
    case Kw::With: return ParseWith();
    case Kw::Exit: return ParseExit();
    case Kw::On: return ParseOnError();
    case Kw::Call: return ParseCall();
    case Kw::Set: return ParseSet();
    case Kw::Me: return ParseAssignOrCall();
    case Kw::Stop: {
      Pos pos = Next().pos;
      return std::make_unique<Stmt>(StmtKind::Nop, pos);
    }
    case Kw::Option:
      Next();
      if (in_proc_) FailAt(cerr::kSyntax, t.pos);
      ExpectKw(Kw::Explicit, cerr::kSyntax);
      program_.option_explicit = true;
      return nullptr;
    case Kw::Sub:
    case Kw::Function:
      if (in_proc_ || single_line) Fail(cerr::kSyntax);
      AddProc(ParseProc(true, false, false));
      return nullptr;
    case Kw::Property:
      if (Peek(1).Is(Kw::Get) || Peek(1).Is(Kw::Let) || Peek(1).Is(Kw::Set)) Fail(cerr::kMustBeInClass);
      return ParseAssignOrCall();
    case Kw::Class:
      if (in_proc_ || single_line) Fail(cerr::kSyntax);
      ParseClass();
      return nullptr;
    case Kw::Public:
    case Kw::Private:
      if (in_proc_) Fail(cerr::kSyntax);
      return ParseVisibility();
    case Kw::Next: Fail(cerr::kUnexpectedNext);
    case Kw::Loop: Fail(cerr::kLoopWithoutDo);
    default:
      if (t.IsIdentifier()) return ParseAssignOrCall();
      Fail(cerr::kExpectedStatement);
  }
}

bool Parser::CanStartStatement(const Token& t) const {
  if (t.type == Tok::Dot) return true;
  if (t.type != Tok::Name) return false;
  switch (t.kw) {
    case Kw::Dim: case Kw::ReDim: case Kw::Const: case Kw::Erase: case Kw::If: case Kw::Select: case Kw::For:
    case Kw::Do: case Kw::While: case Kw::With: case Kw::Exit: case Kw::On: case Kw::Call: case Kw::Set: case Kw::Me:
      return true;
    default:
      return t.IsIdentifier();
  }
}

// if -> 'If' expression 'Then' newline block { 'ElseIf' expression 'Then' block }
//       [ 'Else' block ] 'End' 'If'
//     | 'If' expression 'Then' statements [ 'Else' statements ]   (one line)
StmtPtr Parser::ParseIf() {
  auto stmt = std::make_unique<IfStmt>(Next().pos);
  IfBranch first;
  first.pos = stmt->pos;
  first.cond = ParseExpression();
  ExpectKw(Kw::Then, cerr::kExpectedThen);
  if (Peek().type != Tok::Newline && Peek().type != Tok::End) {
    stmt->branches.push_back(std::move(first));
    ParseSingleLineIf(*stmt);
    return stmt;
  }
  ParseBlock(first.body, kBlockStops);
  stmt->branches.push_back(std::move(first));
  while (true) {
    if (Peek().Is(Kw::ElseIf)) {
      IfBranch branch;
      branch.pos = Next().pos;
      branch.cond = ParseExpression();
      ExpectKw(Kw::Then, cerr::kExpectedThen);
      ParseBlock(branch.body, kBlockStops);
      stmt->branches.push_back(std::move(branch));
      continue;
    }
    if (Peek().Is(Kw::Else) && !stmt->has_else) {
      Next();
      stmt->has_else = true;
      ParseBlock(stmt->else_body, kBlockStops);
      continue;
    }
    if (!Peek().Is(Kw::End)) Fail(cerr::kExpectedEnd);
    Next();
    ExpectKw(Kw::If, cerr::kExpectedIf);
    return stmt;
  }
}

// statements -> statement { ':' statement }, up to the end of the line, Else
// or an 'End' 'If' on the same line ("If a Then b End If")
void Parser::ParseSingleLineIf(IfStmt& stmt) {
  bool saved = single_line_if_;
  single_line_if_ = true;
  bool closed = false;
  auto parse_part = [&](StmtList& out, bool allow_else) {
    while (true) {
      const Token& t = Peek();
      if (t.type == Tok::Newline || t.type == Tok::End) return;
      if (t.Is(Kw::End) && Peek(1).Is(Kw::If)) {
        pos_ += 2;
        closed = true;
        return;
      }
      if (t.Is(Kw::Else)) {
        if (allow_else) return;
        Fail(cerr::kExpectedEndOfStatement);
      }
      if (Accept(Tok::Colon)) continue;
      if (StmtPtr s = ParseStatement(true)) out.push_back(std::move(s));
      if (!(Peek().Is(Kw::End) && Peek(1).Is(Kw::If))) ExpectEndOfStatement();
    }
  };
  parse_part(stmt.branches.back().body, true);
  if (!closed && AcceptKw(Kw::Else)) {
    stmt.has_else = true;
    parse_part(stmt.else_body, false);
  }
  single_line_if_ = saved;
}

// select -> 'Select' 'Case' expression { 'Case' expression { ',' expression } block }
//           [ 'Case' 'Else' block ] 'End' 'Select'
StmtPtr Parser::ParseSelect() {
  auto stmt = std::make_unique<SelectStmt>(Next().pos);
  ExpectKw(Kw::Case, cerr::kExpectedCase);
  stmt->subject = ParseExpression();
  ExpectEndOfStatement();
  SkipSeparators();
  while (true) {
    if (Peek().Is(Kw::Case) && !stmt->has_else) {
      Pos pos = Next().pos;
      if (AcceptKw(Kw::Else)) {
        stmt->has_else = true;
        ParseBlock(stmt->else_body, kBlockStops);
        continue;
      }
      CaseClause clause;
      clause.pos = pos;
      clause.values.push_back(ParseExpression());
      while (Accept(Tok::Comma)) clause.values.push_back(ParseExpression());
      // The first statement may follow the values on their line: "Case 1  x = 2".
      if (!AtEndOfStatement() && !CanStartStatement(Peek())) Fail(cerr::kExpectedEndOfStatement);
      ParseBlock(clause.body, kBlockStops);
      stmt->cases.push_back(std::move(clause));
      continue;
    }
    if (!Peek().Is(Kw::End)) Fail(stmt->has_else ? cerr::kExpectedEnd : cerr::kExpectedCase);
    Next();
    ExpectKw(Kw::Select, cerr::kExpectedSelect);
    return stmt;
  }
}

// for -> 'For' name '=' expression 'To' expression [ 'Step' expression ] block 'Next'
//      | 'For' 'Each' name 'In' expression block 'Next'
StmtPtr Parser::ParseFor() {
  Pos pos = Next().pos;
  auto finish = [&](StmtList& body) {
    ++for_depth_;
    ParseBlock(body, kBlockStops);
    --for_depth_;
    if (!AcceptKw(Kw::Next)) Fail(cerr::kExpectedNext);
  };
  if (AcceptKw(Kw::Each)) {
    auto stmt = std::make_unique<ForEachStmt>(pos);
    stmt->var_pos = Peek().pos;
    stmt->var = ExpectIdentifier();
    if (Peek().type == Tok::LParen || Peek().type == Tok::Dot) Fail(cerr::kInvalidForVariable);
    ExpectKw(Kw::In, cerr::kExpectedIn);
    stmt->group = ParseExpression();
    ExpectEndOfStatement();
    finish(stmt->body);
    return stmt;
  }
  auto stmt = std::make_unique<ForStmt>(pos);
  stmt->var_pos = Peek().pos;
  stmt->var = ExpectIdentifier();
  if (Peek().type == Tok::LParen || Peek().type == Tok::Dot) Fail(cerr::kInvalidForVariable);
  Expect(Tok::Eq, cerr::kExpectedEquals);
  stmt->from = ParseExpression();
  ExpectKw(Kw::To, cerr::kExpectedTo);
  stmt->to = ParseExpression();
  if (AcceptKw(Kw::Step)) stmt->step = ParseExpression();
  ExpectEndOfStatement();
  finish(stmt->body);
  return stmt;
}

// do -> 'Do' [ ('While' | 'Until') expression ] block 'Loop' [ ('While' | 'Until') expression ]
StmtPtr Parser::ParseDo() {
  auto stmt = std::make_unique<DoStmt>(Next().pos);
  if (Peek().Is(Kw::While) || Peek().Is(Kw::Until)) {
    stmt->test = Next().Is(Kw::While) ? LoopTest::PreWhile : LoopTest::PreUntil;
    stmt->cond = ParseExpression();
  }
  if (!AtEndOfStatement()) Fail(cerr::kExpectedWhileUntilEnd);
  ++do_depth_;
  ParseBlock(stmt->body, kBlockStops);
  --do_depth_;
  if (!AcceptKw(Kw::Loop)) Fail(cerr::kExpectedLoop);
  if (Peek().Is(Kw::While) || Peek().Is(Kw::Until)) {
    if (stmt->test != LoopTest::None) Fail(cerr::kExpectedEndOfStatement);
    stmt->test = Next().Is(Kw::While) ? LoopTest::PostWhile : LoopTest::PostUntil;
    stmt->cond = ParseExpression();
  }
  return stmt;
}

// while -> 'While' expression block 'Wend'
StmtPtr Parser::ParseWhile() {
  auto stmt = std::make_unique<DoStmt>(Next().pos);
  stmt->test = LoopTest::PreWhile;
  stmt->cond = ParseExpression();
  ExpectEndOfStatement();
  ParseBlock(stmt->body, kBlockStops);
  if (!AcceptKw(Kw::Wend)) Fail(cerr::kExpectedWend);
  return stmt;
}

// with -> 'With' expression block 'End' 'With'
StmtPtr Parser::ParseWith() {
  auto stmt = std::make_unique<WithStmt>(Next().pos);
  stmt->object = ParseExpression();
  ExpectEndOfStatement();
  ParseBlock(stmt->body, kBlockStops);
  if (!Peek().Is(Kw::End)) Fail(cerr::kExpectedEnd);
  Next();
  ExpectKw(Kw::With, cerr::kExpectedWith);
  return stmt;
}

// exit -> 'Exit' ('Do' | 'For' | 'Function' | 'Sub' | 'Property')
StmtPtr Parser::ParseExit() {
  Pos pos = Next().pos;
  const Token& t = Peek();
  ExitWhat what;
  bool valid;
  if (t.Is(Kw::Do)) what = ExitWhat::Do, valid = do_depth_ > 0;
  else if (t.Is(Kw::For)) what = ExitWhat::For, valid = for_depth_ > 0;
  else if (t.Is(Kw::Function)) what = ExitWhat::Function, valid = in_proc_ && proc_kind_ == ProcKind::Function;
  else if (t.Is(Kw::Sub)) what = ExitWhat::Sub, valid = in_proc_ && proc_kind_ == ProcKind::Sub;
  else if (t.Is(Kw::Property))
    what = ExitWhat::Property,
    valid = in_proc_ && (proc_kind_ == ProcKind::PropertyGet || proc_kind_ == ProcKind::PropertyLet ||
                         proc_kind_ == ProcKind::PropertySet);
  else Fail(cerr::kSyntax);
  if (!valid) Fail(cerr::kInvalidExit);
  Next();
  return std::make_unique<ExitStmt>(pos, what);
}

// on error -> 'On' 'Error' ('Resume' 'Next' | 'GoTo' '0')
StmtPtr Parser::ParseOnError() {
  Pos pos = Next().pos;
  ExpectKw(Kw::Error, cerr::kSyntax);
  if (AcceptKw(Kw::Resume)) {
    ExpectKw(Kw::Next, cerr::kSyntax);
    return std::make_unique<OnErrorStmt>(pos, true);
  }
  ExpectKw(Kw::GoTo, cerr::kSyntax);
  const Token& t = Peek();
  if (t.type != Tok::Number || t.value.ToDouble() != 0) Fail(cerr::kSyntax);
  Next();
  return std::make_unique<OnErrorStmt>(pos, false);
}

// head -> '.' name | 'Me' | '(' expression ')' | name
ExprPtr Parser::ParseStatementHead() {
  ExprPtr head;
  const Token& t = Peek();
  if (t.type == Tok::Dot) {
    Next();
    if (Peek().type != Tok::Name) Fail(cerr::kExpectedIdentifier);
    head = std::make_unique<MemberExpr>(t.pos, nullptr, Next().text);
  } else if (t.Is(Kw::Me)) {
    head = std::make_unique<MeExpr>(Next().pos);
  } else if (t.type == Tok::LParen) {
    // "Call (F)(x)", "Call (New C).Method()".
    Pos pos = Next().pos;
    ExprPtr inner = ParseExpression();
    Expect(Tok::RParen, cerr::kExpectedRParen);
    head = std::make_unique<ParenExpr>(pos, std::move(inner));
  } else {
    Pos name_pos = t.pos;
    head = std::make_unique<NameExpr>(name_pos, ExpectIdentifier());
  }
  return head;
}

// call -> 'Call' head postfix
StmtPtr Parser::ParseCall() {
  Pos pos = Next().pos;
  ExprPtr chain = ParsePostfix(ParseStatementHead(), false);
  if (chain->kind == ExprKind::Call) {
    auto* call = static_cast<CallExpr*>(chain.get());
    return std::make_unique<CallStmt>(pos, std::move(call->callee), std::move(call->args));
  }
  return std::make_unique<CallStmt>(pos, std::move(chain), ExprList{});
}

namespace {
bool IsAssignable(const Expr& e) {
  return e.kind == ExprKind::Name || e.kind == ExprKind::Member || e.kind == ExprKind::Call;
}
}  // namespace

// set -> 'Set' head postfix '=' expression
StmtPtr Parser::ParseSet() {
  Pos pos = Next().pos;
  ExprPtr target = ParsePostfix(ParseStatementHead(), false);
  if (!IsAssignable(*target)) Fail(cerr::kSyntax);
  Expect(Tok::Eq, cerr::kExpectedEquals);
  ExprPtr value = ParseExpression();
  return std::make_unique<AssignStmt>(pos, std::move(target), std::move(value), true);
}

// assignment -> target '=' expression
// call       -> target [ argument { ',' argument } ]
// A statement "Foo (a)" passes (a) by value; "Foo(a, b)" is error 1044.
StmtPtr Parser::ParseAssignOrCall() {
  const Token& t = Peek();
  Pos pos = t.pos;
  ExprPtr head;
  if (t.type == Tok::Dot) {
    Next();
    if (Peek().type != Tok::Name) Fail(cerr::kExpectedIdentifier);
    head = std::make_unique<MemberExpr>(pos, nullptr, Next().text);
  } else if (t.Is(Kw::Me)) {
    head = std::make_unique<MeExpr>(Next().pos);
  } else {
    head = std::make_unique<NameExpr>(pos, Next().text);
  }
  ExprPtr chain = ParsePostfix(std::move(head), true);
  if (Accept(Tok::Eq)) {
    if (!IsAssignable(*chain)) FailAt(cerr::kSyntax, pos);
    ExprPtr value = ParseExpression();
    return std::make_unique<AssignStmt>(pos, std::move(chain), std::move(value), false);
  }
  if (chain->kind == ExprKind::Me) FailAt(cerr::kSyntax, pos);
  ExprList args;
  if (AtEndOfStatement()) {
    if (chain->kind == ExprKind::Call) {
      auto* call = static_cast<CallExpr*>(chain.get());
      if (call->args.size() > 1) FailAt(cerr::kParensOnSubCall, call->pos);
      if (call->args.size() == 1) {
        Pos p = call->args[0]->pos;
        args.push_back(std::make_unique<ParenExpr>(p, std::move(call->args[0])));
      }
      return std::make_unique<CallStmt>(pos, std::move(call->callee), std::move(args));
    }
    return std::make_unique<CallStmt>(pos, std::move(chain), std::move(args));
  }
  ExprPtr callee;
  if (chain->kind == ExprKind::Call) {
    // "Foo (1) + 2, 3": the parenthesised group opens the first argument.
    auto* call = static_cast<CallExpr*>(chain.get());
    if (call->args.size() != 1) FailAt(cerr::kParensOnSubCall, call->pos);
    Pos p = call->args[0]->pos;
    ExprPtr first = std::make_unique<ParenExpr>(p, std::move(call->args[0]));
    args.push_back(ParseBinaryFrom(std::move(first), 0));
    callee = std::move(call->callee);
  } else {
    callee = std::move(chain);
    if (Peek().type == Tok::Comma) {
      args.push_back(std::make_unique<MissingExpr>(Peek().pos));
    } else {
      if (!CanStartExpression(Peek())) Fail(cerr::kExpectedEndOfStatement);
      args.push_back(ParseExpression());
    }
  }
  // "Err.Raise n, , text": an argument may be left out.
  while (Accept(Tok::Comma)) {
    bool missing = Peek().type == Tok::Comma || AtEndOfStatement();
    args.push_back(missing ? std::make_unique<MissingExpr>(Peek().pos) : ParseExpression());
  }
  return std::make_unique<CallStmt>(pos, std::move(callee), std::move(args));
}

ast::Program ParseProgram(const SourceText& source) {
  Parser parser(source, Tokenize(source));
  return parser.ParseProgram();
}

ast::ExprPtr ParseExpressionText(const SourceText& source) {
  Parser parser(source, Tokenize(source));
  return parser.ParseWholeExpression();
}

}  // namespace veldrane::vbs
