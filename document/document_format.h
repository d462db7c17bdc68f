// The integration document's format, shared by its reader and its writer:
// the step-type names, how a position is read back, the default template of
// a new integration, the text returned when a document cannot be parsed, and
// the errors raised when a well-formed document does not fit the format.
//
// Internal to document/: hosts reach documents only through
// clsProcess::LoadIntegration and clsProcess::SaveIntegration.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/vb_error.h"
#include "model/records.h"
#include "platform/xml/xml_dom.h"

namespace veldrane::document {

// The name written for a step type; "" for aNothing and any value outside
// 1..10.
std::string_view StepTypeName(int16_t type);
// The step type of a name, compared exactly (case matters); aNothing for any
// other name, the empty one included.
int16_t StepTypeFromName(std::string_view name);

// The value of the longest leading part of `text` that forms a decimal number
// (leading blanks skipped, "." as decimal point, optional sign and exponent);
// 0 when the text does not begin with a number.
double LeadingNumber(std::string_view text);

// The default template: one line, four steps, three links, no formulas.
std::string_view DefaultTemplate();

// The text LoadIntegration returns when the parser fails.
std::string LoadErrorText(const xml::ParseError& error);

// Where a reader stands in a document, for the errors it raises.
struct ReadPlace {
  std::string document;  // the file name, or the template
  int32_t node = 0;      // node number of the step element; 0 outside nodes
  std::string caption;   // the step's caption, once read

  // "integration document 'a.xml', node 2 ("TARGET")".
  std::string Describe() const;
};

// Why a well-formed document does not fit the format. The description names
// the cause, the place and the item: "Missing item in integration document
// 'a.xml', node 2 ("TARGET"): storageconn has 2 children ...".
VbError MissingItem(const ReadPlace& place, const std::string& what);  // 9
VbError NotAnElement(const ReadPlace& place, const xml::Node& node, const std::string& where);  // 13
VbError Mismatch(const ReadPlace& place, const std::string& what);       // 13
VbError TooLarge(const ReadPlace& place, const std::string& what);       // 6
VbError DuplicateName(const ReadPlace& place, const std::string& what);  // 457

// A field's `type` or `size`: a whole decimal number. Raises 13 when the text
// is not one, 6 when it lies outside -32768..32767; `what` names the value.
int16_t ParseWhole16(const ReadPlace& place, std::string_view text, const std::string& what);

// Raises NotAnElement for the first child of `parent` that is not an element.
void RequireElementChildren(const ReadPlace& place, const xml::Node& parent, const std::string& where);

// The payload records, read from the children of a step element; see
// reader_payloads.cpp. Each starts from an empty record.
tData ReadSourcePayload(const ReadPlace& place, const xml::Node& step);
tStorage ReadTargetPayload(const ReadPlace& place, const xml::Node& step);
tDecission ReadDecisionPayload(const xml::Node& step);

}  // namespace veldrane::document
