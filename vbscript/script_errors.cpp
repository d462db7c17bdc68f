#include "vbscript/script_errors.h"

#include <unordered_map>

namespace veldrane::vbs {

std::string CompileErrorDescription(int32_t number) {
  static const std::unordered_map<int32_t, const char*> table = {
      {1001, "Out of memory"},
      {1002, "Syntax error"},
      {1003, "Expected ':'"},
      {1005, "Expected '('"},
      {1006, "Expected ')'"},
      {1007, "Expected ']'"},
      {1010, "Expected identifier"},
      {1011, "Expected '='"},
      {1012, "Expected 'If'"},
      {1013, "Expected 'To'"},
      {1014, "Expected 'End'"},
      {1015, "Expected 'Function'"},
      {1016, "Expected 'Sub'"},
      {1017, "Expected 'Then'"},
      {1018, "Expected 'Wend'"},
      {1019, "Expected 'Loop'"},
      {1020, "Expected 'Next'"},
      {1021, "Expected 'Case'"},
      {1022, "Expected 'Select'"},
      {1023, "Expected expression"},
      {1024, "Expected statement"},
      {1025, "Expected end of statement"},
      {1026, "Expected integer constant"},
      {1027, "Expected 'While' or 'Until'"},
      {1028, "Expected 'While', 'Until' or end of statement"},
      {1029, "Expected 'With'"},
      {1030, "Identifier too long"},
      {1031, "Invalid number"},
      {1032, "Invalid character"},
      {1033, "Unterminated string constant"},
      {1034, "Unterminated comment"},
      {1037, "Invalid use of 'Me' keyword"},
      {1038, "'loop' without 'do'"},
      {1039, "Invalid 'exit' statement"},
      {1040, "Invalid 'for' loop control variable"},
      {1041, "Name redefined"},
      {1042, "Must be first statement on the line"},
      {1043, "Cannot assign to non-ByVal argument"},
      {1044, "Cannot use parentheses when calling a Sub"},
      {1045, "Expected literal constant"},
      {1046, "Expected 'In'"},
      {1047, "Expected 'Class'"},
      {1048, "Must be defined inside a Class"},
      {1049, "Expected Let or Set or Get in property declaration"},
      {1050, "Expected 'Property'"},
      {1051, "Number of arguments must be consistent across properties specification"},
      {1052, "Cannot have multiple default property/method in a Class"},
      {1053, "Class initialize or terminate do not have arguments"},
      {1054, "Property set or let must have at least one argument"},
      {1055, "Unexpected 'Next'"},
      {1056, "'Default' can be specified only on 'Property' or 'Function' or 'Sub'"},
      {1057, "'Default' specification must also specify 'Public'"},
      {1058, "'Default' specification can only be on Property Get"},
  };
  auto it = table.find(number);
  return it == table.end() ? std::string() : std::string(it->second);
}

VbError Runtime(int32_t number, std::string_view name) {
  std::string text = VbError::StandardDescription(number);
  if (text.empty()) text = "Unknown runtime error";
  if (!name.empty()) text += ": '" + std::string(name) + "'";
  return VbError(number, std::move(text), kRuntimeSource);
}

LocatedError::LocatedError(const VbError& error, std::string line_text, Pos pos)
    : VbError(error.number(), error.description(), error.source()), line_text_(std::move(line_text)), pos_(pos) {}

void ThrowCompileError(int32_t number, const SourceText& source, Pos pos) {
  VbError error(number, CompileErrorDescription(number), kCompileSource);
  throw LocatedError(error, source.Line(pos.line), pos);
}

int32_t NormalizedNumber(int32_t number) {
  uint32_t bits = static_cast<uint32_t>(number);
  if ((bits & 0xFFFF0000u) == 0x800A0000u) return static_cast<int32_t>(bits & 0xFFFFu);
  // Platform failure codes that have a VBScript number of their own.
  static const std::unordered_map<uint32_t, int32_t> platform = {
      {0x80004001u, 445},  // not implemented
      {0x80004002u, 430},  // no such interface
      {0x80070005u, 70},   // access denied
      {0x8007000Eu, 7},    // out of memory
      {0x80070057u, 5},    // invalid argument
      {0x80070002u, 53},   // file not found
      {0x80070003u, 76},   // path not found
      {0x80020003u, 438},  // member not found
      {0x80020004u, 448},  // named argument not found
      {0x80020005u, 13},   // type mismatch
      {0x80020006u, 438},  // unknown name
      {0x80020007u, 446},  // no named arguments
      {0x80020008u, 458},  // unsupported variant type
      {0x8002000Au, 6},    // overflow
      {0x8002000Bu, 9},    // bad index
      {0x8002000Du, 10},   // array locked
      {0x8002000Eu, 450},  // wrong argument count
      {0x8002000Fu, 449},  // argument not optional
      {0x80020011u, 451},  // not a collection
      {0x80040154u, 429},  // class not registered
      {0x800401F3u, 429},  // invalid class string
  };
  auto it = platform.find(bits);
  return it == platform.end() ? number : it->second;
}

int32_t RaisedNumber(int32_t number) {
  number = NormalizedNumber(number);
  // Positive numbers are VBScript's own, up to 65535; negative ones are
  // failure codes and pass as they are.
  return number > 0xFFFF ? 0 : number;
}

VbError AsScriptError(const VbError& error) {
  int32_t number = NormalizedNumber(error.number());
  if (number != error.number()) {
    std::string description = error.description();
    if (description.empty()) description = VbError::StandardDescription(number);
    return VbError(number, description, error.source());
  }
  if (error.source() == "Veldrane") {
    // Core names 91 as the wider platform does; scripts know VBScript's text.
    std::string description = error.description();
    if (number == vberr::kObjectNotSet && description == VbError::StandardDescription(number)) {
      description = "Object variable not set";
    }
    return VbError(number, description, kRuntimeSource);
  }
  return error;
}

}  // namespace veldrane::vbs
