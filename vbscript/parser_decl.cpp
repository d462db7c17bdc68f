// Declarations: Dim, ReDim, Const, Erase, Public/Private, procedures and
// classes.
#include "core/text.h"
#include "vbscript/parser_impl.h"

namespace veldrane::vbs {

using namespace ast;

// vardecl -> name [ '(' [ bound { ',' bound } ] ')' ]
// Dim bounds are integer constants; ReDim bounds are expressions.
void Parser::ParseDimList(std::vector<VarDecl>& out, bool redim) {
  while (true) {
    VarDecl var;
    var.pos = Peek().pos;
    var.name = ExpectIdentifier();
    if (Accept(Tok::LParen)) {
      var.is_array = true;
      if (!Accept(Tok::RParen)) {
        while (true) {
          if (redim) {
            var.bounds.push_back(ParseExpression());
          } else {
            const Token& t = Peek();
            if (t.type != Tok::Number) Fail(cerr::kExpectedInteger);
            var.bounds.push_back(std::make_unique<LiteralExpr>(t.pos, t.value));
            Next();
          }
          if (Accept(Tok::Comma)) continue;
          Expect(Tok::RParen, cerr::kExpectedRParen);
          break;
        }
      }
      if (redim && var.bounds.empty()) Fail(cerr::kExpectedExpression);
    } else if (redim) {
      Fail(cerr::kExpectedLParen);
    }
    out.push_back(std::move(var));
    if (!Accept(Tok::Comma)) return;
  }
}

// dim -> 'Dim' vardecl { ',' vardecl }
StmtPtr Parser::ParseDim() {
  auto stmt = std::make_unique<DimStmt>(Next().pos);
  ParseDimList(stmt->vars, false);
  return stmt;
}

// redim -> 'ReDim' [ 'Preserve' ] vardecl { ',' vardecl }
StmtPtr Parser::ParseReDim() {
  Pos pos = Next().pos;
  bool preserve = AcceptKw(Kw::Preserve);
  auto stmt = std::make_unique<ReDimStmt>(pos, preserve);
  ParseDimList(stmt->vars, true);
  return stmt;
}

// const -> 'Const' name '=' literal { ',' name '=' literal }
// A literal may carry a sign; anything else is error 1045.
StmtPtr Parser::ParseConst() {
  auto stmt = std::make_unique<ConstStmt>(Next().pos);
  while (true) {
    ConstItem item;
    item.pos = Peek().pos;
    item.name = ExpectIdentifier();
    Expect(Tok::Eq, cerr::kExpectedEquals);
    bool negate = false;
    while (Peek().type == Tok::Minus || Peek().type == Tok::Plus) {
      if (Next().type == Tok::Minus) negate = !negate;
    }
    const Token& t = Peek();
    if (t.type == Tok::Number || t.type == Tok::Date) {
      item.value = t.value;
    } else if (t.type == Tok::String && !negate) {
      item.value = Variant(t.text);
    } else if (t.Is(Kw::True) || t.Is(Kw::False)) {
      item.value = Variant(t.Is(Kw::True));
    } else if (t.Is(Kw::Null) && !negate) {
      item.value = Variant::Null();
    } else if (t.Is(Kw::Empty) && !negate) {
      item.value = Variant();
    } else if (t.Is(Kw::Nothing) && !negate) {
      item.value = Variant::Nothing();
    } else {
      Fail(cerr::kExpectedLiteral);
    }
    Next();
    if (negate) {
      const Variant& v = item.value;
      if (v.Type() == VarType::Integer && v.AsInteger() != INT16_MIN) item.value = Variant(static_cast<int16_t>(-v.AsInteger()));
      else if (v.Type() == VarType::Long && v.AsLong() != INT32_MIN) {
        int32_t n = -v.AsLong();
        item.value = n >= -32768 ? Variant(static_cast<int16_t>(n)) : Variant(n);
      } else item.value = Variant(-v.ToDouble());
    }
    stmt->items.push_back(std::move(item));
    if (!Accept(Tok::Comma)) return stmt;
  }
}

// erase -> 'Erase' name { ',' name }
StmtPtr Parser::ParseErase() {
  auto stmt = std::make_unique<EraseStmt>(Next().pos);
  while (true) {
    Pos pos = Peek().pos;
    stmt->targets.push_back(std::make_unique<NameExpr>(pos, ExpectIdentifier()));
    if (!Accept(Tok::Comma)) return stmt;
  }
}

// visibility -> ('Public' | 'Private') ( procedure | const | vardecl { ',' vardecl } )
StmtPtr Parser::ParseVisibility() {
  const Token& first = Next();
  bool is_public = first.Is(Kw::Public);
  Pos pos = first.pos;
  if (AcceptKw(Kw::Default)) {
    if (!is_public) FailAt(cerr::kDefaultNotPublic, pos);
    if (!in_class_) FailAt(cerr::kMustBeInClass, pos);
    Fail(cerr::kDefaultPlacement);
  }
  const Token& t = Peek();
  if (t.Is(Kw::Sub) || t.Is(Kw::Function)) {
    AddProc(ParseProc(is_public, false, false));
    return nullptr;
  }
  if (t.Is(Kw::Property)) Fail(cerr::kMustBeInClass);
  if (t.Is(Kw::Const)) return ParseConst();
  auto stmt = std::make_unique<DimStmt>(pos);
  ParseDimList(stmt->vars, false);
  return stmt;
}

// procedure -> ('Sub' | 'Function' | 'Property' ('Get' | 'Let' | 'Set')) name
//              [ '(' [ param { ',' param } ] ')' ] block 'End' ('Sub' | 'Function' | 'Property')
// param -> [ 'ByVal' | 'ByRef' ] name [ '(' ')' ]
std::unique_ptr<ProcDecl> Parser::ParseProc(bool is_public, bool is_default, bool in_class) {
  auto proc = std::make_unique<ProcDecl>();
  proc->is_public = is_public;
  proc->is_default = is_default;
  const Token& head = Next();
  proc->pos = head.pos;
  int32_t end_error;
  Kw end_kw;
  if (head.Is(Kw::Sub)) {
    proc->kind = ProcKind::Sub, end_error = cerr::kExpectedSub, end_kw = Kw::Sub;
  } else if (head.Is(Kw::Function)) {
    proc->kind = ProcKind::Function, end_error = cerr::kExpectedFunction, end_kw = Kw::Function;
  } else {
    end_error = cerr::kExpectedProperty, end_kw = Kw::Property;
    if (AcceptKw(Kw::Get)) proc->kind = ProcKind::PropertyGet;
    else if (AcceptKw(Kw::Let)) proc->kind = ProcKind::PropertyLet;
    else if (AcceptKw(Kw::Set)) proc->kind = ProcKind::PropertySet;
    else Fail(cerr::kExpectedLetSetGet);
  }
  if (is_default && proc->kind != ProcKind::PropertyGet && proc->kind != ProcKind::Function &&
      proc->kind != ProcKind::Sub) {
    FailAt(cerr::kDefaultNotGet, proc->pos);
  }
  Pos name_pos = Peek().pos;
  proc->name = ExpectIdentifier();
  bool has_list = Accept(Tok::LParen);
  if (has_list && !Accept(Tok::RParen)) {
    while (true) {
      Param param;
      if (AcceptKw(Kw::ByVal)) param.byval = true;
      else AcceptKw(Kw::ByRef);
      param.pos = Peek().pos;
      param.name = ExpectIdentifier();
      if (Accept(Tok::LParen)) Expect(Tok::RParen, cerr::kExpectedRParen);
      for (const Param& other : proc->params) {
        if (IEquals(other.name, param.name)) FailAt(cerr::kNameRedefined, param.pos);
      }
      proc->params.push_back(std::move(param));
      if (Accept(Tok::Comma)) continue;
      Expect(Tok::RParen, cerr::kExpectedRParen);
      break;
    }
  }
  if (in_class && (IEquals(proc->name, "Class_Initialize") || IEquals(proc->name, "Class_Terminate")) &&
      !proc->params.empty()) {
    FailAt(cerr::kInitTermArgs, name_pos);
  }
  if ((proc->kind == ProcKind::PropertyLet || proc->kind == ProcKind::PropertySet) && proc->params.empty()) {
    FailAt(cerr::kLetSetNeedsArgument, name_pos);
  }
  // After a parameter list the body may start on the same line: "Sub S() x End Sub".
  if (!has_list) ExpectEndOfStatement();

  bool saved_in_proc = in_proc_;
  ProcKind saved_kind = proc_kind_;
  int saved_do = do_depth_, saved_for = for_depth_;
  in_proc_ = true;
  proc_kind_ = proc->kind;
  do_depth_ = for_depth_ = 0;
  ParseBlock(proc->body, {Kw::End});
  in_proc_ = saved_in_proc;
  proc_kind_ = saved_kind;
  do_depth_ = saved_do;
  for_depth_ = saved_for;

  if (!Peek().Is(Kw::End)) Fail(cerr::kExpectedEnd);
  Next();
  ExpectKw(end_kw, end_error);
  return proc;
}

void Parser::AddProc(std::unique_ptr<ProcDecl> proc) { program_.procs.push_back(std::move(proc)); }

// class -> 'Class' name { member separator } 'End' 'Class'
// member -> [ 'Public' [ 'Default' ] | 'Private' ] procedure
//         | ('Public' | 'Private' | 'Dim') vardecl { ',' vardecl }
void Parser::ParseClass() {
  Next();
  auto cls = std::make_unique<ClassDecl>();
  cls->pos = Peek().pos;
  cls->name = ExpectIdentifier();
  ExpectEndOfStatement();
  bool saved = in_class_;
  in_class_ = true;
  bool has_default = false;
  while (true) {
    SkipSeparators();
    const Token& t = Peek();
    if (t.type == Tok::End) Fail(cerr::kExpectedEnd);
    if (t.Is(Kw::End)) {
      Next();
      ExpectKw(Kw::Class, cerr::kExpectedClass);
      break;
    }
    bool is_public = true, is_default = false, visibility = false;
    Pos pos = t.pos;
    if (t.Is(Kw::Public) || t.Is(Kw::Private)) {
      is_public = Next().Is(Kw::Public);
      visibility = true;
      if (AcceptKw(Kw::Default)) {
        if (!is_public) FailAt(cerr::kDefaultNotPublic, pos);
        is_default = true;
      }
    }
    const Token& u = Peek();
    if (u.Is(Kw::Sub) || u.Is(Kw::Function) || u.Is(Kw::Property)) {
      if (is_default && has_default) FailAt(cerr::kMultipleDefault, pos);
      has_default = has_default || is_default;
      cls->procs.push_back(ParseProc(is_public, is_default, true));
    } else if (is_default) {
      Fail(cerr::kDefaultPlacement);
    } else if (visibility || AcceptKw(Kw::Dim)) {
      std::vector<VarDecl> vars;
      ParseDimList(vars, false);
      for (auto& v : vars) cls->fields.push_back(FieldDecl{std::move(v), is_public});
    } else {
      Fail(cerr::kExpectedEnd);
    }
    ExpectEndOfStatement();
  }
  in_class_ = saved;
  program_.classes.push_back(std::move(cls));
}

}  // namespace veldrane::vbs
