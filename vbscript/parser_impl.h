// The parser's shared state, split over parser_expr.cpp (expressions),
// parser_stmt.cpp (statements and blocks) and parser_decl.cpp (declarations,
// procedures, classes). Internal to the engine.
#pragma once

#include <vector>

#include "vbscript/ast.h"
#include "vbscript/lexer.h"
#include "vbscript/script_errors.h"

namespace veldrane::vbs {

class Parser {
 public:
  Parser(const SourceText& source, std::vector<Token> tokens) : source_(source), tokens_(std::move(tokens)) {}

  ast::Program ParseProgram();
  ast::ExprPtr ParseWholeExpression();

  // --- expressions (parser_expr.cpp)
  ast::ExprPtr ParseExpression();
  ast::ExprPtr ParseBinaryFrom(ast::ExprPtr lhs, int min_level);
  ast::ExprPtr ParseNot();
  ast::ExprPtr ParseUnary();
  ast::ExprPtr ParsePrimary();
  ast::ExprPtr ParsePostfix(ast::ExprPtr base, bool statement_head);
  ast::ExprList ParseArgList();
  bool CanStartExpression(const Token& t) const;

  // --- statements (parser_stmt.cpp)
  enum class Stop : uint8_t { EndOfText, EndIf, Else, Next, Loop, Wend, Case, EndSelect, EndWith, EndProc, EndClass };
  void ParseBlock(ast::StmtList& out, std::initializer_list<Kw> stops);
  ast::StmtPtr ParseStatement(bool single_line);
  ast::StmtPtr ParseIf();
  void ParseSingleLineIf(ast::IfStmt& stmt);
  ast::StmtPtr ParseSelect();
  ast::StmtPtr ParseFor();
  ast::StmtPtr ParseDo();
  ast::StmtPtr ParseWhile();
  ast::StmtPtr ParseWith();
  ast::StmtPtr ParseExit();
  ast::StmtPtr ParseOnError();
  ast::ExprPtr ParseStatementHead();
  ast::StmtPtr ParseCall();
  ast::StmtPtr ParseSet();
  ast::StmtPtr ParseAssignOrCall();
  void ExpectEndOfStatement();
  bool AtEndOfStatement() const;
  bool CanStartStatement(const Token& t) const;

  // --- declarations (parser_decl.cpp)
  void ParseDimList(std::vector<ast::VarDecl>& out, bool redim);
  ast::StmtPtr ParseDim();
  ast::StmtPtr ParseReDim();
  ast::StmtPtr ParseConst();
  ast::StmtPtr ParseErase();
  ast::StmtPtr ParseVisibility();
  std::unique_ptr<ast::ProcDecl> ParseProc(bool is_public, bool is_default, bool in_class);
  void ParseClass();
  void AddProc(std::unique_ptr<ast::ProcDecl> proc);

  // --- tokens
  const Token& Peek(size_t ahead = 0) const {
    size_t k = pos_ + ahead;
    return k < tokens_.size() ? tokens_[k] : tokens_.back();
  }
  const Token& Next() { return tokens_[pos_ < tokens_.size() - 1 ? pos_++ : pos_]; }
  bool Accept(Tok type) {
    if (Peek().type != type) return false;
    ++pos_;
    return true;
  }
  bool AcceptKw(Kw kw) {
    if (!Peek().Is(kw)) return false;
    ++pos_;
    return true;
  }
  void Expect(Tok type, int32_t error) {
    if (!Accept(type)) Fail(error);
  }
  void ExpectKw(Kw kw, int32_t error) {
    if (!AcceptKw(kw)) Fail(error);
  }
  std::string ExpectIdentifier();
  [[noreturn]] void Fail(int32_t number) const { ThrowCompileError(number, source_, Peek().pos); }
  [[noreturn]] void FailAt(int32_t number, Pos pos) const { ThrowCompileError(number, source_, pos); }
  void SkipSeparators() {
    while (Peek().type == Tok::Newline || Peek().type == Tok::Colon) ++pos_;
  }

  // Guards the recursion of nested expressions and blocks.
  struct Depth {
    explicit Depth(Parser& p) : parser(p) {
      if (++parser.depth_ > kMaxDepth) parser.Fail(1001);
    }
    ~Depth() { --parser.depth_; }
    Parser& parser;
  };
  static constexpr int kMaxDepth = 200;

  const SourceText& source_;
  std::vector<Token> tokens_;
  size_t pos_ = 0;
  int depth_ = 0;
  ast::Program program_;
  // What the statement being parsed sits in, for Exit and Me checks.
  ast::ProcKind proc_kind_ = ast::ProcKind::Sub;
  bool in_proc_ = false;
  bool in_class_ = false;
  int do_depth_ = 0;
  int for_depth_ = 0;
  bool single_line_if_ = false;  // inside a one-line If, Else ends a statement
};

}  // namespace veldrane::vbs
