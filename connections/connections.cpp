#include "connections/connections.h"

#include "localization/bas_utils.h"
#include "platform/host/library_folder.h"
#include "platform/host/prompts.h"

namespace veldrane {

namespace {

constexpr const char* kConnectionFile = "\\connections.cnn";
constexpr const char* kSchemaInstance = "http://www.w3.org/2001/XMLSchema-instance";

}  // namespace

std::string LoadFailureMessage(const xml::ParseError& error) {
  std::string reason = error.reason;
  // The reason is meant to end the "Error #" line; keep the next piece on
  // its own line even when a reason comes without its line break.
  if (reason.empty() || reason.back() != '\n') reason += "\r\n";
  return "Your XML Document failed to load" + std::string("due the following error.") + "\r\n" +
         "Error #: " + std::to_string(error.errorCode) + ": " + reason + "Line #: " + std::to_string(error.line) +
         "\r\n" + "Line Position: " + std::to_string(error.linepos) + "\r\n" +
         "Position In File: " + std::to_string(error.filepos) + "\r\n" + "Source Text: " + error.srcText + "\r\n" +
         "Document URL: " + error.url;
}

cConnections::cConnections() : colConnections_(NewCollection<tConnection>()) {}

std::string cConnections::FilePath() { return host::JoinPath(host::LibraryFolder(), kConnectionFile); }

ado::ConnectionRef cConnections::Connection(const std::string& name) {
  try {
    const tConnection& entry = colConnections_->Item(name);
    auto connection = ado::Connection::Create();
    connection->Open(entry.connString, "", "", -1);
    return connection;
  } catch (const std::exception&) {
    // Every failure (a name not held, a string that cannot be opened) gives
    // Nothing without a message: the caller tests the result.
    return nullptr;
  }
}

std::string cConnections::ConnectionString(const std::string& name) { return colConnections_->Item(name).connString; }

void cConnections::ShowFailure(const VbError& error) {
  host::CurrentPrompts()->MsgBox(std::to_string(error.number()) + "\r\n" + error.description(), host::vbOKOnly, "");
}

void cConnections::CreateConnection() {
  std::optional<std::string> data_source;
  std::string name;
  try {
    data_source = host::CurrentPrompts()->PromptNew();
    if (!data_source) return;  // the user cancelled: nothing to say
    name = host::CurrentPrompts()->InputBox(Translate("Enter a new connection name", "cConnections"),
                                            Translate("New Connection", "cConnections"), "");
  } catch (const VbError& error) {
    ShowFailure(error);
    return;
  }
  // A cancelled name prompt answers "": an entry without a name could never
  // be found again, so nothing is added.
  if (name.empty()) return;
  // A name already held is refused silently, as the registry always did.
  if (colConnections_->Contains(name)) return;
  colConnections_->Add(tConnection{name, *data_source + ";"}, name);
}

void cConnections::ModifyConnection(const std::string& name) {
  tConnection entry = colConnections_->Item(name);
  std::string conn_string = entry.connString;
  std::string answer;
  try {
    if (!host::CurrentPrompts()->PromptEdit(conn_string)) return;  // cancelled: nothing changes
    answer = host::CurrentPrompts()->InputBox(Translate("Connection Name", "cConnections"), "Veldrane", entry.name);
  } catch (const VbError& error) {
    ShowFailure(error);
    return;
  }
  std::string new_name = answer.empty() ? entry.name : answer;
  // Renaming onto another entry's name would drop this entry from the
  // registry; refuse the name and keep the entry under its own.
  if (!SameKey(new_name, entry.name) && colConnections_->Contains(new_name)) {
    host::CurrentPrompts()->MsgBox("The name \"" + new_name + "\" is already used by another connection.",
                                   host::vbExclamation | host::vbOKOnly, "");
    new_name = entry.name;
  }
  colConnections_->Remove(entry.name);
  entry.name = new_name;
  entry.connString = conn_string + ";";
  colConnections_->Add(entry, entry.name);
}

void cConnections::DeleteConnection(const std::string& Connection) {
  if (colConnections_->Contains(Connection)) colConnections_->Remove(Connection);
}

tConnection cConnections::ReadConnectionNode(const xml::Node& node) {
  tConnection entry;
  for (const xml::Node& child : node.childNodes()) {
    if (child.nodeType() != xml::Node::Type::Element) continue;
    // A child that occurs twice: the later one wins.
    std::string base = child.baseName();
    if (base == "connname") entry.name = child.text();
    if (base == "connstring") entry.connString = child.text();
  }
  return entry;
}

void cConnections::LoadConnections() {
  xmlDoc_ = std::make_unique<xml::Document>();
  if (!xmlDoc_->load(FilePath())) {
    host::CurrentPrompts()->MsgBox(LoadFailureMessage(xmlDoc_->parseError()), host::vbExclamation | host::vbOKOnly,
                                   "");
    xmlDoc_.reset();
    return;
  }
  std::unique_ptr<xml::Document> doc = std::move(xmlDoc_);
  for (const xml::Node& child : doc->documentElement().childNodes()) {
    if (child.nodeType() != xml::Node::Type::Element || child.baseName() != "connection") continue;
    tConnection entry = ReadConnectionNode(child);
    colConnections_->Add(entry, entry.name);
  }
}

void cConnections::AppendXmlNode(xml::Node& parent, const std::string& text, const std::string& name) {
  xml::Node node = parent.appendElement(name);
  if (!text.empty()) node.setText(text);
}

void cConnections::SaveConnections() {
  xmlDoc_ = std::make_unique<xml::Document>();
  xmlDoc_->appendDeclaration();
  xml::Node root = xmlDoc_->appendElement("connections");
  root.setAttribute("lastconn", "");
  root.setAttribute("xmlns:xsi", kSchemaInstance);
  root.setAttribute("xsi:noNamespaceSchemaLocation", "connections.xsd");
  for (int32_t i = 1; i <= colConnections_->Count(); ++i) {
    const tConnection& entry = colConnections_->Item(i);
    root.appendElement("connection");
    xml::Node connection = root.lastChild();
    AppendXmlNode(connection, entry.name, "connname");
    AppendXmlNode(connection, entry.connString, "connstring");
  }
  xmlDoc_->save(FilePath());
}

Variant cConnections::Invoke(std::string_view name, InvokeKind kind, Args args) {
  static const MemberTable<cConnections> members = [] {
    MemberTable<cConnections> t;
    auto method = [&t](std::string_view member, size_t min_args, auto body) {
      std::string n(member);
      t.Add(member, [n, min_args, body](cConnections& self, InvokeKind k, Args a) {
        if (k != InvokeKind::Get) throw VbError::NotSupported(n);
        ExpectArgs(a, min_args, min_args);
        return body(self, a);
      });
    };
    method("Connection", 1, [](cConnections& self, Args a) {
      return Variant(ObjectRef(self.Connection(a[0].ToString())));
    });
    method("ConnectionString", 1,
           [](cConnections& self, Args a) { return Variant(self.ConnectionString(a[0].ToString())); });
    method("ConnectionsList", 0,
           [](cConnections& self, Args) { return Variant(ObjectRef(self.ConnectionsList())); });
    method("CreateConnection", 0, [](cConnections& self, Args) {
      self.CreateConnection();
      return Variant();
    });
    method("ModifyConnection", 1, [](cConnections& self, Args a) {
      self.ModifyConnection(a[0].ToString());
      return Variant();
    });
    method("LoadConnections", 0, [](cConnections& self, Args) {
      self.LoadConnections();
      return Variant();
    });
    method("SaveConnections", 0, [](cConnections& self, Args) {
      self.SaveConnections();
      return Variant();
    });
    method("DeleteConnection", 1, [](cConnections& self, Args a) {
      self.DeleteConnection(a[0].ToString());
      return Variant();
    });
    return t;
  }();
  return members.Invoke(*this, name, kind, args);
}

}  // namespace veldrane
