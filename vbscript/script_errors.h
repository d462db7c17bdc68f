// Errors as the engine raises them: the compilation error numbers with their
// descriptions, and the located error that carries a failure from the
// statement where it arose to the host (number, description, source, line,
// column and the text of the line).
//
// Engine code throws plain VbErrors (core factories or Runtime()); the
// statement runner turns the first one it meets into a LocatedError, so the
// place is always that of the innermost statement. Errors that come back from
// a host object keep their own number and source.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/vb_error.h"
#include "vbscript/source_text.h"

namespace veldrane::vbs {

inline constexpr const char* kRuntimeSource = "Microsoft VBScript runtime error";
inline constexpr const char* kCompileSource = "Microsoft VBScript compilation error";

// Compilation error numbers used by the lexer and parser.
namespace cerr {
inline constexpr int32_t kSyntax = 1002;
inline constexpr int32_t kExpectedColon = 1003;
inline constexpr int32_t kExpectedLParen = 1005;
inline constexpr int32_t kExpectedRParen = 1006;
inline constexpr int32_t kExpectedRBracket = 1007;
inline constexpr int32_t kExpectedIdentifier = 1010;
inline constexpr int32_t kExpectedEquals = 1011;
inline constexpr int32_t kExpectedIf = 1012;
inline constexpr int32_t kExpectedTo = 1013;
inline constexpr int32_t kExpectedEnd = 1014;
inline constexpr int32_t kExpectedFunction = 1015;
inline constexpr int32_t kExpectedSub = 1016;
inline constexpr int32_t kExpectedThen = 1017;
inline constexpr int32_t kExpectedWend = 1018;
inline constexpr int32_t kExpectedLoop = 1019;
inline constexpr int32_t kExpectedNext = 1020;
inline constexpr int32_t kExpectedCase = 1021;
inline constexpr int32_t kExpectedSelect = 1022;
inline constexpr int32_t kExpectedExpression = 1023;
inline constexpr int32_t kExpectedStatement = 1024;
inline constexpr int32_t kExpectedEndOfStatement = 1025;
inline constexpr int32_t kExpectedInteger = 1026;
inline constexpr int32_t kExpectedWhileUntil = 1027;
inline constexpr int32_t kExpectedWhileUntilEnd = 1028;
inline constexpr int32_t kExpectedWith = 1029;
inline constexpr int32_t kIdentifierTooLong = 1030;
inline constexpr int32_t kInvalidNumber = 1031;
inline constexpr int32_t kInvalidCharacter = 1032;
inline constexpr int32_t kUnterminatedString = 1033;
inline constexpr int32_t kInvalidMe = 1037;
inline constexpr int32_t kLoopWithoutDo = 1038;
inline constexpr int32_t kInvalidExit = 1039;
inline constexpr int32_t kInvalidForVariable = 1040;
inline constexpr int32_t kNameRedefined = 1041;
inline constexpr int32_t kMustBeFirst = 1042;
inline constexpr int32_t kParensOnSubCall = 1044;
inline constexpr int32_t kExpectedLiteral = 1045;
inline constexpr int32_t kExpectedIn = 1046;
inline constexpr int32_t kExpectedClass = 1047;
inline constexpr int32_t kMustBeInClass = 1048;
inline constexpr int32_t kExpectedLetSetGet = 1049;
inline constexpr int32_t kExpectedProperty = 1050;
inline constexpr int32_t kInconsistentPropertyArgs = 1051;
inline constexpr int32_t kMultipleDefault = 1052;
inline constexpr int32_t kInitTermArgs = 1053;
inline constexpr int32_t kLetSetNeedsArgument = 1054;
inline constexpr int32_t kUnexpectedNext = 1055;
inline constexpr int32_t kDefaultPlacement = 1056;
inline constexpr int32_t kDefaultNotPublic = 1057;
inline constexpr int32_t kDefaultNotGet = 1058;
}  // namespace cerr

// Runtime error numbers of the engine that core does not name.
namespace rerr {
inline constexpr int32_t kOutOfStack = 28;
inline constexpr int32_t kSubNotDefined = 35;
inline constexpr int32_t kForNotInitialized = 92;
inline constexpr int32_t kCannotCreate = 429;
inline constexpr int32_t kUndefinedVariable = 500;
inline constexpr int32_t kUnqualifiedReference = 505;
inline constexpr int32_t kIllegalAssignment = 501;
inline constexpr int32_t kClassNotDefined = 506;
inline constexpr int32_t kArrayLocked = 10;
}  // namespace rerr

// The description of a compilation error number ("" when unknown).
std::string CompileErrorDescription(int32_t number);

// A VBScript runtime error with the standard description, optionally
// followed by ": 'name'" as the engine names the culprit.
VbError Runtime(int32_t number, std::string_view name = {});

// An error that has found its place.
class LocatedError : public VbError {
 public:
  LocatedError(const VbError& error, std::string line_text, Pos pos);
  const std::string& line_text() const { return line_text_; }
  Pos pos() const { return pos_; }

 private:
  std::string line_text_;
  Pos pos_;
};

// Raises a compilation error at `pos` of `source`.
[[noreturn]] void ThrowCompileError(int32_t number, const SourceText& source, Pos pos);

// The number a script sees for a failure code: 0x800A00nn is nn, and the
// platform's codes that VBScript numbers (0x8007000E is 7, "Out of memory")
// take that number; any other number is returned as it is.
int32_t NormalizedNumber(int32_t number);
// The number Err.Raise raises for its argument: normalized, or 0 (which
// raises 5) when no error can have it.
int32_t RaisedNumber(int32_t number);

// The error as a script sees it: engine errors (source "Veldrane", the
// default of core's factories) read as VBScript runtime errors; a host's
// HRESULT-shaped number 0x800A00nn becomes nn.
VbError AsScriptError(const VbError& error);

}  // namespace veldrane::vbs
