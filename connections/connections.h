// cConnections: the host's registry of named database connection strings,
// kept in memory and read from or written to connections.cnn beside the
// component library only when the host asks.
//
// Entries are created and edited through the data-link dialog and named
// through an input box (both via the current Prompts), deleted, and opened
// as live connections by name. The engine does not use the registry: an
// integration document carries its own connection strings.
//
// The file is XML: a root `connections` (attributes lastconn, xmlns:xsi,
// xsi:noNamespaceSchemaLocation) with one `connection` per entry, holding
// `connname` then `connstring`. Reading is lenient: the root's name and
// attributes are not examined, prefixes are ignored, other elements skipped.
#pragma once

#include <string>

#include "core/collection.h"
#include "core/object.h"
#include "model/records.h"
#include "platform/db/ado.h"
#include "platform/xml/xml_dom.h"

namespace veldrane {

class cConnections : public Object {
 public:
  // An empty registry; the file is not read.
  cConnections();

  // A newly opened connection for the named entry, or nullptr (Nothing) when
  // the name is not held or the string cannot be opened; never raises and
  // shows nothing. The caller closes it.
  ado::ConnectionRef Connection(const std::string& name);
  // The entry's connection string; raises 5 when the name is not held.
  std::string ConnectionString(const std::string& name);
  // The registry itself (the live collection), keyed by name in any case.
  CollectionRef<tConnection> ConnectionsList() { return colConnections_; }

  // Asks for a new data source, then its name, and adds the entry (string
  // with ";" appended). Cancelled dialog or empty name: nothing added. A name
  // already held: nothing added, nothing said. A failing dialog: a message
  // box with its number and description.
  void CreateConnection();
  // Edits the named entry's string in the dialog, then asks for its name (an
  // empty answer keeps it) and moves the entry to the end. Cancelled dialog:
  // nothing changes. A name held by another entry is refused with a message
  // box and the entry keeps its name. Raises 5 when `name` is not held.
  void ModifyConnection(const std::string& name);
  // Adds the entries of the connection file to the registry. A file that
  // cannot be loaded gives a message box and changes nothing; a name already
  // held stops the load with 457 (the entries before it stay).
  void LoadConnections();
  // Writes the whole registry to the connection file, replacing it
  // atomically. Raises when it cannot be written.
  void SaveConnections();
  // Removes the named entry; a name not held is ignored.
  void DeleteConnection(const std::string& Connection);

  // The connection file: the library folder + "\connections.cnn".
  static std::string FilePath();

  std::string TypeName() const override { return "cConnections"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override;

 private:
  tConnection ReadConnectionNode(const xml::Node& node);
  void AppendXmlNode(xml::Node& parent, const std::string& text, const std::string& name);
  void ShowFailure(const VbError& error);

  std::unique_ptr<xml::Document> xmlDoc_;   // working document of Load/Save
  CollectionRef<tConnection> colConnections_;  // the registry, keyed by name
};

// The message LoadConnections shows for a file that failed to load.
std::string LoadFailureMessage(const xml::ParseError& error);

}  // namespace veldrane
