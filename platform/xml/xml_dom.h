// A thin XML DOM for the integration document, the connection file and any
// other XML the library reads or writes.
//
// Reading: a Document parses a file or a string; on failure it keeps a
// ParseError with the fields a user needs to find the fault (code, reason,
// line, position in the line, position in the file, the offending line and
// the document's address). Nodes are walked in document order; whitespace-only
// text between elements is dropped, line breaks inside element text are kept,
// and comments and processing instructions stay visible so that readers can
// refuse them where a format allows only elements.
//
// Writing: build a tree with an XML declaration, elements, attributes (kept
// in the order they were set) and text, then save it. Saving replaces the
// file atomically: a crash never leaves half a document.
//
// This is not a validating parser and knows nothing of schemas; DTDs are
// skipped and external entities are never fetched.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pugi {
struct xml_node_struct;
}

namespace veldrane::xml {

// Why a load failed. `reason` ends with a line break, so that a message
// built as "...: " + reason + "Line #: ..." keeps its lines apart.
struct ParseError {
  int32_t errorCode = 0;  // 0 after a successful load; negative otherwise
  std::string reason;     // what went wrong, in words
  std::string srcText;    // the line of the source that holds the fault
  std::string url;        // the path that was loaded; empty for loadXML
  int32_t line = 0;       // 1-based line of the fault (0: no position)
  int32_t linepos = 0;    // 1-based character position within that line
  int32_t filepos = 0;    // 0-based byte offset of the fault in the source
};

// Error codes of ParseError.
inline constexpr int32_t kErrorObjectNotFound = -2146697210;  // missing file or folder
inline constexpr int32_t kErrorAccess = -2147024891;          // file exists but cannot be read
inline constexpr int32_t kErrorParseBase = -1072896768;       // + the parser's status for malformed XML

class Document;

// A light handle to one node of a Document. Copies refer to the same node;
// a handle keeps its document alive. Default-constructed = no node.
class Node {
 public:
  enum class Type { Element, Text, Comment, ProcessingInstruction, Other };

  Node() = default;

  // True when the handle refers to no node.
  bool IsNull() const { return node_ == nullptr; }
  // Element, Text (character data and CDATA), Comment, ProcessingInstruction
  // (the XML declaration included) or Other; Other for a null handle.
  Type nodeType() const;

  // Qualified name of an element ("xsi:schemaLocation"), target of a
  // processing instruction, "#text" / "#comment" for those, "" for none.
  std::string nodeName() const;
  // The name without its namespace prefix ("schemaLocation").
  std::string baseName() const;

  // Concatenated character data of the node and all its descendants, in
  // document order, line breaks kept; the value of a text or comment node.
  std::string text() const;
  // Replaces the element's children with one text node (none when empty).
  // Raises 5 on a node that cannot hold text.
  void setText(std::string_view value);

  // The children in document order, non-element nodes included.
  std::vector<Node> childNodes() const;
  // The element children only, in document order.
  std::vector<Node> childElements() const;
  // The last child of any kind, or a null handle.
  Node lastChild() const;
  // The first child element with exactly this (qualified) name, or null.
  Node firstChildElement(std::string_view name) const;
  // The parent node, or a null handle at the top.
  Node parentNode() const;

  // The attributes as (qualified name, value) pairs, in document order.
  std::vector<std::pair<std::string, std::string>> attributes() const;
  // The value of the named attribute; "" when the element has none.
  std::string attribute(std::string_view name) const;
  // True when the element carries the named attribute.
  bool hasAttribute(std::string_view name) const;
  // Sets an attribute: an existing one keeps its place, a new one goes last.
  // Raises 5 on a node that is not an element.
  void setAttribute(std::string_view name, std::string_view value);

  // Appends a child element and returns it. Raises 5 when this node cannot
  // have children or `name` is not a valid XML name.
  Node appendElement(std::string_view name);

  // Same node of the same document.
  bool operator==(const Node& other) const { return node_ == other.node_; }

 private:
  friend class Document;
  struct Owner;
  Node(std::shared_ptr<Owner> owner, pugi::xml_node_struct* node) : owner_(std::move(owner)), node_(node) {}

  std::shared_ptr<Owner> owner_;           // keeps the document's storage alive
  pugi::xml_node_struct* node_ = nullptr;  // the node itself; null = none
};

// One XML document: parsed from a file or a string, or built and saved.
class Document {
 public:
  Document();
  ~Document();
  Document(Document&&) noexcept;
  Document& operator=(Document&&) noexcept;

  // Replaces the content with the parsed file. Returns false on failure and
  // fills parseError(); the content is then empty.
  bool load(const std::string& path);
  // Replaces the content with the parsed text; as load, with an empty url.
  bool loadXML(std::string_view text);
  // Why the last load failed (errorCode 0 after a success).
  const ParseError& parseError() const { return error_; }

  // The root element, or a null handle in an empty document.
  Node documentElement() const;
  // The top-level nodes (declaration, comments, the root), in order.
  std::vector<Node> childNodes() const;

  // Appends the XML declaration <?xml version="1.0"?> at the top level.
  Node appendDeclaration();
  // Appends the root element; raises 5 when the document already has one.
  Node appendElement(std::string_view name);

  // Writes the document to `path`, replacing any file there atomically (a
  // temporary file beside it, then a rename). Raises 75 naming the path when
  // the file cannot be written; the old file then stays as it was.
  void save(const std::string& path) const;
  // The document as text, exactly as save writes it.
  std::string xml() const;

 private:
  bool Parse(std::string_view text, std::string url);
  void Reset();

  std::shared_ptr<Node::Owner> owner_;
  ParseError error_;
};

}  // namespace veldrane::xml
