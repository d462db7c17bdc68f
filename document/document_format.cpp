#include "document/document_format.h"

#include <array>
#include <charconv>
#include <cmath>

namespace veldrane::document {

namespace {

// Indexed by shpType; aNothing has no name of its own.
constexpr std::array<std::string_view, 11> kTypeNames = {
    "", "start", "process", "decission", "storage", "data", "document", "processpredef", "window", "point", "stop",
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string Describe(const xml::Node& node) {
  switch (node.nodeType()) {
    case xml::Node::Type::Text:
      return "text " + Quoted(node.text());
    case xml::Node::Type::Comment:
      return "a comment";
    case xml::Node::Type::ProcessingInstruction:
      return "a processing instruction";
    default:
      return "a node that is not an element";
  }
}

VbError Raise(int32_t number, const char* cause, const ReadPlace& place, const std::string& what) {
  return VbError(number, std::string(cause) + " in " + place.Describe() + ": " + what, "Veldrane document");
}

}  // namespace

std::string_view StepTypeName(int16_t type) {
  if (type < 1 || type >= static_cast<int16_t>(kTypeNames.size())) return {};
  return kTypeNames[static_cast<size_t>(type)];
}

int16_t StepTypeFromName(std::string_view name) {
  if (name.empty()) return aNothing;
  for (size_t i = 1; i < kTypeNames.size(); ++i) {
    if (kTypeNames[i] == name) return static_cast<int16_t>(i);
  }
  return aNothing;
}

double LeadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const size_t start = i;
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  // An exponent counts only when digits follow it: "12e" reads as 12.
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && IsDigit(text[j])) {
      while (j < text.size() && IsDigit(text[j])) ++j;
      i = j;
    }
  }
  // from_chars, unlike strtod, never looks at the locale's decimal point.
  double value = 0;
  auto [end, ec] = std::from_chars(text.data() + start, text.data() + i, value);
  if (ec == std::errc::result_out_of_range) value = HUGE_VAL;
  (void)end;
  return negative ? -value : value;
}

int16_t ParseWhole16(const ReadPlace& place, std::string_view text, const std::string& what) {
  std::string_view t = text;
  while (!t.empty() && IsBlank(t.front())) t.remove_prefix(1);
  while (!t.empty() && IsBlank(t.back())) t.remove_suffix(1);
  bool negative = false;
  if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
    negative = t.front() == '-';
    t.remove_prefix(1);
  }
  bool whole = !t.empty();
  for (char c : t) whole = whole && IsDigit(c);
  if (!whole) throw Mismatch(place, what + " is " + Quoted(text) + ", not a whole number");
  while (t.size() > 1 && t.front() == '0') t.remove_prefix(1);
  int32_t value = 0;
  if (t.size() <= 5) std::from_chars(t.data(), t.data() + t.size(), value);
  if (negative) value = -value;
  if (t.size() > 5 || value < -32768 || value > 32767) {
    throw TooLarge(place, what + " is " + Quoted(text) + ", outside -32768..32767");
  }
  return static_cast<int16_t>(value);
}

std::string LoadErrorText(const xml::ParseError& e) {
  // The parts follow one another with no separator where none is listed: the
  // parser's reason ends with its own line break.
  std::string text = "Your XML Document failed to load";
  text += "due the following error.";
  text += "\r\n";
  text += "Error #: " + std::to_string(e.errorCode);
  text += ": " + e.reason;
  text += "Line #: " + std::to_string(e.line) + "\r\n";
  text += "Line Position: " + std::to_string(e.linepos) + "\r\n";
  text += "Position In File: " + std::to_string(e.filepos) + "\r\n";
  text += "Source Text: " + e.srcText + "\r\n";
  text += "Document URL: " + e.url;
  return text;
}

std::string ReadPlace::Describe() const {
  std::string out =
      "integration document " + (document.empty() ? std::string("(default template)") : "'" + document + "'");
  if (node > 0) {
    out += ", node " + std::to_string(node);
    if (!caption.empty()) out += " (" + Quoted(caption) + ")";
  }
  return out;
}

VbError MissingItem(const ReadPlace& place, const std::string& what) {
  return Raise(vberr::kSubscriptOutOfRange, "Missing item", place, what);
}

VbError NotAnElement(const ReadPlace& place, const xml::Node& node, const std::string& where) {
  return Raise(vberr::kTypeMismatch, "Type mismatch", place,
               Describe(node) + " stands " + where + ", where only elements belong");
}

VbError Mismatch(const ReadPlace& place, const std::string& what) {
  return Raise(vberr::kTypeMismatch, "Type mismatch", place, what);
}

VbError TooLarge(const ReadPlace& place, const std::string& what) {
  return Raise(vberr::kOverflow, "Overflow", place, what);
}

VbError DuplicateName(const ReadPlace& place, const std::string& what) {
  return Raise(vberr::kDuplicateKey, "Duplicate key", place, what);
}

void RequireElementChildren(const ReadPlace& place, const xml::Node& parent, const std::string& where) {
  for (const xml::Node& child : parent.childNodes()) {
    if (child.nodeType() != xml::Node::Type::Element) throw NotAnElement(place, child, where);
  }
}

}  // namespace veldrane::document
