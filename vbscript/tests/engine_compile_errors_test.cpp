// Compilation errors: number, line and column for each kind of bad text,
// one table row per case. Columns are 1-based and point at the offending token.
#include <gtest/gtest.h>

#include "vbscript/script_control.h"

namespace veldrane::vbs {
namespace {

struct Row {
  const char* code;
  int32_t number;
  int32_t line;
  int32_t column;
};

class CompileErrors : public ::testing::TestWithParam<Row> {};

TEST_P(CompileErrors, ReportNumberAndPlace) {
  const Row& row = GetParam();
  ScriptControl control;
  try {
    control.AddCode(row.code);
    FAIL() << "no error for: " << row.code;
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), row.number) << row.code << " -> " << e.description();
  }
  EXPECT_EQ(control.Error().Source, "Microsoft VBScript compilation error") << row.code;
  EXPECT_EQ(control.Error().Line, row.line) << row.code;
  EXPECT_EQ(control.Error().Column, row.column) << row.code;
  EXPECT_FALSE(control.Error().Description.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, CompileErrors,
    ::testing::Values(
        Row{"x = ", 1002, 1, 5},                                   // missing expression
        Row{"x = 1 2", 1025, 1, 7},                                // expected end of statement
        Row{"x = (1", 1006, 1, 7},                                 // expected ')'
        Row{"If x Then\n  y = 1\n", 1014, 3, 1},                   // block If without End If
        Row{"If x\n", 1017, 1, 5},                                 // expected 'Then'
        Row{"For i = 1 2\nNext", 1013, 1, 11},                     // expected 'To'
        Row{"For i 1 To 2\nNext", 1011, 1, 7},                     // expected '='
        Row{"For Each i Of a\nNext", 1046, 1, 12},                 // expected 'In'
        Row{"For i = 1 To 2\n", 1020, 2, 1},                       // expected 'Next'
        Row{"Do\nx = 1\n", 1019, 3, 1},                            // expected 'Loop'
        Row{"While x\n", 1018, 2, 1},                              // expected 'Wend'
        Row{"Do While x\nLoop Until y", 1025, 2, 6},               // two loop tests
        Row{"Select x\nEnd Select", 1021, 1, 8},                   // expected 'Case'
        Row{"Select Case x\nCase Is > 1\nEnd Select", 1002, 2, 6}, // VBA form
        Row{"Select Case x\nCase 1 To 5\nEnd Select", 1025, 2, 8}, // VBA form
        Row{"Sub S\nEnd Function", 1016, 2, 5},                    // expected 'Sub'
        Row{"Function F\nEnd Sub", 1015, 2, 5},                    // expected 'Function'
        Row{"Sub S(a, a)\nEnd Sub", 1041, 1, 10},                  // name redefined
        Row{"Dim a\nDim a", 1041, 2, 5},                           // name redefined
        Row{"Sub S\n  Dim v, v\nEnd Sub", 1041, 2, 10},            // name redefined in a procedure
        Row{"Dim a(n)", 1026, 1, 7},                               // expected integer constant
        Row{"Const C = 1 + 2", 1025, 1, 13},                       // a literal, then more
        Row{"Const C = x", 1045, 1, 11},                           // expected literal constant
        Row{"Exit Do", 1039, 1, 6},                                // invalid exit
        Row{"Sub S\n  Exit Function\nEnd Sub", 1039, 2, 8},        // invalid exit
        Row{"Next", 1055, 1, 1},                                   // unexpected Next
        Row{"Sub S x\nEnd Sub", 1025, 1, 7},                      // a body on the header line needs the list
        Row{"Loop", 1038, 1, 1},                                   // loop without do
        Row{"Foo(1, 2)", 1044, 1, 4},                              // parentheses on a Sub call
        Row{"Class C\n  Public Default Function A()\n  End Function\n  Public Default Function B()\n  End Function\nEnd Class",
            1052, 4, 3},
        Row{"Class C\n  Private Default Function A()\n  End Function\nEnd Class", 1057, 2, 3},
        Row{"Class C\n  Sub Class_Initialize(x)\n  End Sub\nEnd Class", 1053, 2, 7},
        Row{"Class C\n  Property Let P()\n  End Property\nEnd Class", 1054, 2, 16},
        Row{"Class C\n  Property P\n  End Property\nEnd Class", 1049, 2, 12},
        Row{"Property Get P\nEnd Property", 1048, 1, 1},
        Row{"Class C\n  Dim x\n", 1014, 3, 1},
        Row{"x = \"abc", 1033, 1, 5},                              // unterminated string
        Row{"x = 1 @ 2", 1032, 1, 7},                              // invalid character
        Row{"x = &H1FFFFFFFF", 1031, 1, 5},                        // invalid number
        Row{"x = 1e", 1031, 1, 5},                                 // exponent without digits
        Row{"x = [open", 1007, 1, 10},                             // expected ']'
        Row{"x = #not a date#", 1002, 1, 5},                       // bad date literal
        Row{"On Error GoTo 10", 1002, 1, 15},                      // only GoTo 0
        Row{"x = Sub", 1002, 1, 5},                                // keyword as a value
        Row{"Sub S\n  Sub T\n  End Sub\nEnd Sub", 1002, 2, 3},     // nested procedure
        Row{"x = ((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((("
            "((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((("
            "(((((((((((((((((((((((((((((((1",
            1001, 1, 105}));  // nesting too deep: refused, not a crash

TEST(CompileErrorsLexing, ContinuationAndCarriageReturnsCountLines) {
  ScriptControl control;
  EXPECT_THROW(control.AddCode("x = 1 + _\n  2\ny = )"), VbError);
  EXPECT_EQ(control.Error().Line, 3);
  EXPECT_EQ(control.Error().Text, "y = )");
  EXPECT_THROW(control.AddCode("a = 1\rb = 2\rc = = 3"), VbError);
  EXPECT_EQ(control.Error().Line, 3);
  EXPECT_EQ(control.Error().Text, "c = = 3");
  EXPECT_THROW(control.AddCode("a = 1\r\nb = (\r\n"), VbError);
  EXPECT_EQ(control.Error().Line, 2);
}

TEST(CompileErrorsLexing, KeywordsAreMemberNamesAfterADot) {
  ScriptControl control;
  control.AddCode(
      "Class Keys\n  Public [End], [Step]\nEnd Class\n"
      "Set k = New Keys\nk.End = 1\nk.Step = 2\n");
  EXPECT_EQ(control.Eval("k.end + k.STEP").ToLong(), 3);
  // Step, Property, Error and Default are names outside their statements.
  control.AddCode("step = 4 : property = 5 : error = 6 : default = 7");
  EXPECT_EQ(control.Eval("step + property + error + default").ToLong(), 22);
}

}  // namespace
}  // namespace veldrane::vbs
