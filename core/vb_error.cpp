#include "core/vb_error.h"

#include <unordered_map>

namespace veldrane {

namespace {

const std::unordered_map<int32_t, const char*>& DescriptionTable() {
  static const std::unordered_map<int32_t, const char*> table = {
      {5, "Invalid procedure call or argument"},
      {6, "Overflow"},
      {7, "Out of memory"},
      {9, "Subscript out of range"},
      {10, "This array is fixed or temporarily locked"},
      {11, "Division by zero"},
      {13, "Type mismatch"},
      {14, "Out of string space"},
      {17, "Can't perform requested operation"},
      {28, "Out of stack space"},
      {35, "Sub or Function not defined"},
      {48, "Error in loading DLL"},
      {51, "Internal error"},
      {53, "File not found"},
      {57, "Device I/O error"},
      {58, "File already exists"},
      {61, "Disk full"},
      {67, "Too many files"},
      {70, "Permission denied"},
      {75, "Path/File access error"},
      {76, "Path not found"},
      {91, "Object variable or With block variable not set"},
      {92, "For loop not initialized"},
      {94, "Invalid use of Null"},
      {322, "Can't create necessary temporary file"},
      {424, "Object required"},
      {429, "ActiveX component can't create object"},
      {430, "Class doesn't support Automation"},
      {432, "File name or class name not found during Automation operation"},
      {438, "Object doesn't support this property or method"},
      {445, "Object doesn't support this action"},
      {446, "Object doesn't support named arguments"},
      {447, "Object doesn't support current locale setting"},
      {448, "Named argument not found"},
      {449, "Argument not optional"},
      {450, "Wrong number of arguments or invalid property assignment"},
      {451, "Object not a collection"},
      {453, "Specified DLL function not found"},
      {457, "This key is already associated with an element of this collection"},
      {458, "Variable uses an Automation type not supported in VBScript"},
      {462, "The remote server machine does not exist or is unavailable"},
      {481, "Invalid picture"},
      {500, "Variable is undefined"},
      {501, "Illegal assignment"},
      {502, "Object not safe for scripting"},
      {503, "Object not safe for initializing"},
      {504, "Object not safe for creating"},
      {505, "Invalid or unqualified reference"},
      {506, "Class not defined"},
      {507, "An exception occurred"},
      {3001, "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another."},
      {3002, "File could not be opened."},
      {3021, "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a current record."},
      {3219, "Operation is not allowed in this context."},
      {3251, "Current Recordset does not support updating. This may be a limitation of the provider or of the selected locktype."},
      {3265, "Item cannot be found in the collection corresponding to the requested name or ordinal."},
      {3704, "Operation is not allowed when the object is closed."},
      {3705, "Operation is not allowed when the object is open."},
      {3706, "Provider cannot be found. It may not be properly installed."},
      {3709, "The connection cannot be used to perform this operation. It is either closed or invalid in this context."},
  };
  return table;
}

std::string Describe(int32_t number, std::string description) {
  if (!description.empty()) return description;
  return VbError::StandardDescription(number);
}

}  // namespace

VbError::VbError(int32_t number, std::string description, std::string source)
    : std::runtime_error(Describe(number, description)),
      number_(number),
      description_(Describe(number, std::move(description))),
      source_(source.empty() ? std::string("Veldrane") : std::move(source)) {}

std::string VbError::StandardDescription(int32_t number) {
  const auto& table = DescriptionTable();
  auto it = table.find(number);
  return it == table.end() ? std::string() : std::string(it->second);
}

VbError VbError::InvalidCall(std::string detail) { return VbError(vberr::kInvalidCall, std::move(detail)); }
VbError VbError::Overflow() { return VbError(vberr::kOverflow); }
VbError VbError::SubscriptOutOfRange() { return VbError(vberr::kSubscriptOutOfRange); }
VbError VbError::DivisionByZero() { return VbError(vberr::kDivisionByZero); }
VbError VbError::TypeMismatch(std::string detail) { return VbError(vberr::kTypeMismatch, std::move(detail)); }
VbError VbError::ObjectNotSet() { return VbError(vberr::kObjectNotSet); }
VbError VbError::InvalidUseOfNull() { return VbError(vberr::kInvalidUseOfNull); }
VbError VbError::ObjectRequired() { return VbError(vberr::kObjectRequired); }
VbError VbError::NotSupported(std::string_view member) {
  std::string text = StandardDescription(vberr::kNotSupported);
  if (!member.empty()) text += ": '" + std::string(member) + "'";
  return VbError(vberr::kNotSupported, text);
}
VbError VbError::WrongArgumentCount() { return VbError(vberr::kWrongArgumentCount); }
VbError VbError::NotACollection() { return VbError(vberr::kNotACollection); }
VbError VbError::DuplicateKey() { return VbError(vberr::kDuplicateKey); }
VbError VbError::NoCurrentRecord() { return VbError(vberr::kNoCurrentRecord); }

}  // namespace veldrane
