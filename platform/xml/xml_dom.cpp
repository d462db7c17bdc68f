#include "platform/xml/xml_dom.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <pugixml.hpp>

#include "core/vb_error.h"
#include "platform/host/files.h"

namespace veldrane::xml {

struct Node::Owner {
  pugi::xml_document doc;
};

namespace {

// Character data and comments are kept so that readers see every node; the
// declaration is kept so that a loaded document saves with it. Whitespace-only
// character data is dropped by the parser (no parse_ws_pcdata).
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_comments | pugi::parse_pi |
                                   pugi::parse_declaration;

// No indentation or line breaks are added between elements: what is built is
// what is written. The declaration is written only when one was appended.
constexpr unsigned kFormatOptions = pugi::format_raw | pugi::format_no_declaration;

const char* kFileNotFoundReason = "The system cannot locate the object specified.\r\n";

pugi::xml_node Wrap(pugi::xml_node_struct* n) { return pugi::xml_node(n); }

bool IsCharacterData(const pugi::xml_node& n) {
  return n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata;
}

void CollectText(const pugi::xml_node& n, std::string& out) {
  if (IsCharacterData(n)) {
    out += n.value();
    return;
  }
  for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
    if (IsCharacterData(c) || c.type() == pugi::node_element) CollectText(c, out);
  }
}

bool ValidName(std::string_view name) {
  if (name.empty()) return false;
  auto start = [](unsigned char c) { return std::isalpha(c) || c == '_' || c == ':' || c >= 0x80; };
  auto rest = [&](unsigned char c) { return start(c) || std::isdigit(c) || c == '-' || c == '.'; };
  if (!start(static_cast<unsigned char>(name[0]))) return false;
  for (char c : name.substr(1)) {
    if (!rest(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// Fills line, linepos and srcText from a byte offset into `text`. linepos
// counts characters, not bytes, so that a fault after accented letters is
// reported where an editor shows it.
void Locate(std::string_view text, size_t offset, ParseError& e) {
  if (offset > text.size()) offset = text.size();
  size_t line_start = 0;
  int32_t line = 1;
  for (size_t i = 0; i < offset; ++i) {
    if (text[i] == '\n') {
      ++line;
      line_start = i + 1;
    }
  }
  int32_t column = 1;
  for (size_t i = line_start; i < offset; ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++column;
  }
  size_t line_end = text.find('\n', line_start);
  if (line_end == std::string_view::npos) line_end = text.size();
  std::string_view src = text.substr(line_start, line_end - line_start);
  if (!src.empty() && src.back() == '\r') src.remove_suffix(1);
  e.line = line;
  e.linepos = column;
  e.filepos = static_cast<int32_t>(offset);
  e.srcText = std::string(src);
}

// Reads a whole file; on failure returns false and the errno value.
bool ReadFile(const std::string& path, std::string& out, int& err) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    err = errno;
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    err = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd);
    return false;
  }
  out.clear();
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

// A carriage return in a value is written as a character reference: a raw
// one would reach the next reader as a line feed (XML folds CR LF and CR
// into LF), and a formula or query saved with Windows line ends would not
// come back as it was. The format writes no line breaks of its own, so every
// CR in the output belongs to a text or an attribute value.
struct StringWriter : pugi::xml_writer {
  std::string out;
  void write(const void* data, size_t size) override {
    const char* bytes = static_cast<const char*>(data);
    for (size_t i = 0; i < size; ++i) {
      if (bytes[i] == '\r') {
        out += "&#13;";
      } else {
        out += bytes[i];
      }
    }
  }
};

VbError CannotWrite(const std::string& path, const std::string& why) {
  return VbError(75, "Path/File access error: cannot write '" + path + "': " + why, "Veldrane XML");
}

}  // namespace

// ---- Node ----------------------------------------------------------------

Node::Type Node::nodeType() const {
  switch (Wrap(node_).type()) {
    case pugi::node_element:
      return Type::Element;
    case pugi::node_pcdata:
    case pugi::node_cdata:
      return Type::Text;
    case pugi::node_comment:
      return Type::Comment;
    case pugi::node_pi:
    case pugi::node_declaration:
      return Type::ProcessingInstruction;
    default:
      return Type::Other;
  }
}

std::string Node::nodeName() const {
  pugi::xml_node n = Wrap(node_);
  switch (n.type()) {
    case pugi::node_element:
    case pugi::node_pi:
    case pugi::node_declaration:
      return n.name();
    case pugi::node_pcdata:
      return "#text";
    case pugi::node_cdata:
      return "#cdata-section";
    case pugi::node_comment:
      return "#comment";
    case pugi::node_document:
      return "#document";
    default:
      return {};
  }
}

std::string Node::baseName() const {
  pugi::xml_node n = Wrap(node_);
  if (n.type() != pugi::node_element && n.type() != pugi::node_pi && n.type() != pugi::node_declaration) return {};
  std::string_view name = n.name();
  size_t colon = name.find(':');
  return std::string(colon == std::string_view::npos ? name : name.substr(colon + 1));
}

std::string Node::text() const {
  pugi::xml_node n = Wrap(node_);
  if (!n) return {};
  if (n.type() == pugi::node_comment || n.type() == pugi::node_pi) return n.value();
  std::string out;
  CollectText(n, out);
  return out;
}

void Node::setText(std::string_view value) {
  pugi::xml_node n = Wrap(node_);
  if (IsCharacterData(n) || n.type() == pugi::node_comment) {
    n.set_value(std::string(value).c_str());
    return;
  }
  if (n.type() != pugi::node_element) throw VbError::InvalidCall("This node cannot hold text.");
  while (n.first_child()) n.remove_child(n.first_child());
  if (!value.empty()) n.append_child(pugi::node_pcdata).set_value(std::string(value).c_str());
}

std::vector<Node> Node::childNodes() const {
  std::vector<Node> out;
  for (pugi::xml_node c = Wrap(node_).first_child(); c; c = c.next_sibling()) {
    out.push_back(Node(owner_, c.internal_object()));
  }
  return out;
}

std::vector<Node> Node::childElements() const {
  std::vector<Node> out;
  for (pugi::xml_node c = Wrap(node_).first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_element) out.push_back(Node(owner_, c.internal_object()));
  }
  return out;
}

Node Node::lastChild() const {
  pugi::xml_node c = Wrap(node_).last_child();
  return c ? Node(owner_, c.internal_object()) : Node();
}

Node Node::firstChildElement(std::string_view name) const {
  for (pugi::xml_node c = Wrap(node_).first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_element && name == c.name()) return Node(owner_, c.internal_object());
  }
  return Node();
}

Node Node::parentNode() const {
  pugi::xml_node p = Wrap(node_).parent();
  return p ? Node(owner_, p.internal_object()) : Node();
}

std::vector<std::pair<std::string, std::string>> Node::attributes() const {
  std::vector<std::pair<std::string, std::string>> out;
  for (pugi::xml_attribute a = Wrap(node_).first_attribute(); a; a = a.next_attribute()) {
    out.emplace_back(a.name(), a.value());
  }
  return out;
}

std::string Node::attribute(std::string_view name) const {
  return Wrap(node_).attribute(std::string(name).c_str()).value();
}

bool Node::hasAttribute(std::string_view name) const {
  return static_cast<bool>(Wrap(node_).attribute(std::string(name).c_str()));
}

void Node::setAttribute(std::string_view name, std::string_view value) {
  pugi::xml_node n = Wrap(node_);
  if (n.type() != pugi::node_element && n.type() != pugi::node_declaration) {
    throw VbError::InvalidCall("Attributes can only be set on an element.");
  }
  if (!ValidName(name)) throw VbError::InvalidCall("'" + std::string(name) + "' is not a valid attribute name.");
  std::string key(name);
  pugi::xml_attribute a = n.attribute(key.c_str());
  if (!a) a = n.append_attribute(key.c_str());
  a.set_value(std::string(value).c_str());
}

Node Node::appendElement(std::string_view name) {
  pugi::xml_node n = Wrap(node_);
  if (n.type() != pugi::node_element) throw VbError::InvalidCall("Only an element can hold child elements.");
  if (!ValidName(name)) throw VbError::InvalidCall("'" + std::string(name) + "' is not a valid element name.");
  return Node(owner_, n.append_child(std::string(name).c_str()).internal_object());
}

// ---- Document --------------------------------------------------------------

Document::Document() : owner_(std::make_shared<Node::Owner>()) {}
Document::~Document() = default;
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;

void Document::Reset() {
  // Nodes handed out earlier keep the old tree alive; the document moves on
  // to fresh storage instead of invalidating them.
  owner_ = std::make_shared<Node::Owner>();
  error_ = ParseError{};
}

bool Document::load(const std::string& path) {
  Reset();
  std::string content;
  int err = 0;
  if (!ReadFile(path, content, err)) {
    error_.url = path;
    if (err == ENOENT || err == ENOTDIR || path.empty()) {
      error_.errorCode = kErrorObjectNotFound;
      error_.reason = kFileNotFoundReason;
    } else {
      error_.errorCode = kErrorAccess;
      error_.reason = std::string(std::strerror(err)) + ".\r\n";
    }
    return false;
  }
  return Parse(content, path);
}

bool Document::loadXML(std::string_view text) {
  Reset();
  return Parse(text, {});
}

bool Document::Parse(std::string_view text, std::string url) {
  pugi::xml_parse_result r =
      owner_->doc.load_buffer(text.data(), text.size(), kParseOptions, pugi::encoding_auto);
  if (r) return true;
  owner_ = std::make_shared<Node::Owner>();  // a failed parse leaves an empty document
  error_.errorCode = kErrorParseBase - static_cast<int32_t>(r.status);
  error_.reason = std::string(r.description()) + ".\r\n";
  error_.url = std::move(url);
  // Offsets count bytes of UTF-8 input; for other encodings they count the
  // converted text, so the line is still right, the column approximate.
  Locate(text, r.offset < 0 ? 0 : static_cast<size_t>(r.offset), error_);
  return false;
}

Node Document::documentElement() const {
  pugi::xml_node root = owner_->doc.document_element();
  return root ? Node(owner_, root.internal_object()) : Node();
}

std::vector<Node> Document::childNodes() const {
  std::vector<Node> out;
  for (pugi::xml_node c = owner_->doc.first_child(); c; c = c.next_sibling()) {
    out.push_back(Node(owner_, c.internal_object()));
  }
  return out;
}

Node Document::appendDeclaration() {
  pugi::xml_node decl = owner_->doc.append_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  return Node(owner_, decl.internal_object());
}

Node Document::appendElement(std::string_view name) {
  if (owner_->doc.document_element()) {
    throw VbError::InvalidCall("Only one top level element is allowed in an XML document.");
  }
  if (!ValidName(name)) throw VbError::InvalidCall("'" + std::string(name) + "' is not a valid element name.");
  return Node(owner_, owner_->doc.append_child(std::string(name).c_str()).internal_object());
}

std::string Document::xml() const {
  StringWriter w;
  owner_->doc.save(w, "", kFormatOptions, pugi::encoding_utf8);
  return w.out;
}

void Document::save(const std::string& path) const {
  if (path.empty()) throw CannotWrite(path, "no file name");
  try {
    host::ReplaceFileAtomically(path, xml());
  } catch (const VbError& e) {
    throw VbError(e.number(), e.description(), "Veldrane XML");
  }
}

}  // namespace veldrane::xml
