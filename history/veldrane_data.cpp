#include "history/veldrane_data.h"

#include "history/history_tables.h"
#include "localization/bas_utils.h"
#include "platform/host/files.h"
#include "platform/host/library_folder.h"
#include "platform/host/prompts.h"
#include "platform/host/registry.h"

namespace veldrane {

namespace {

constexpr const char* kPersistProvider = "Provider=MSPersist";

std::string ReadInstallFolder() {
  try {
    auto value = host::CurrentRegistry()->RegRead(host::kInstallPathValue);
    if (value) return *value;
  } catch (const std::exception&) {
    // A host's registry may fail any way it likes; a missing installation
    // folder means the library's own folder, whatever the reason.
  }
  return std::string();
}

ado::RecordsetRef OpenPersisted(const std::string& file) {
  auto rs = ado::Recordset::Create();
  rs->Open(Variant(file), Variant(kPersistProvider));
  return rs;
}

kindrecordset SelectorOf(const Variant& v) { return static_cast<kindrecordset>(v.ToInteger()); }

}  // namespace

cVeldraneData::cVeldraneData() {
  sPath_ = ReadInstallFolder();
  while (sPath_.size() > 1 && (sPath_.back() == '/' || sPath_.back() == '\\')) sPath_.pop_back();
  if (sPath_.empty()) sPath_ = host::LibraryFolder();
}

std::string cVeldraneData::TableFile(kindrecordset krs) const {
  const history::HistoryTable* table = history::FindHistoryTable(krs);
  return table ? host::JoinPath(sPath_, table->file) : std::string();
}

ado::RecordsetRef cVeldraneData::getRSFromFile(const std::string& Filename) {
  try {
    return OpenPersisted(Filename);
  } catch (const std::exception&) {
    // Any failure to open becomes the message below; the caller gets an
    // unopened recordset and no error, as hosts expect.
  }
  host::CurrentPrompts()->MsgBox(Translate("Error Opening File", ""), host::vbCritical | host::vbOKOnly,
                                 Translate("Error", ""));
  return ado::Recordset::Create();
}

ado::RecordsetRef cVeldraneData::getRS(kindrecordset krs) {
  std::string file = TableFile(krs);
  if (file.empty()) return ado::Recordset::Create();
  try {
    return OpenPersisted(file);
  } catch (const VbError&) {
    // Missing or unreadable: recovered below, under the lock, so that two
    // holders never both create the file and drop a row added in between.
  }
  host::FileLock lock(file);
  return OpenOrCreateLocked(krs, file);
}

ado::RecordsetRef cVeldraneData::OpenOrCreateLocked(kindrecordset krs, const std::string& file) {
  if (host::FileExists(file)) {
    try {
      return OpenPersisted(file);
    } catch (const VbError&) {
      // The file is there but cannot be read: keep its rows aside.
      host::SetAsideFile(file);
    }
  }
  CreateTableFile(krs);
  return OpenPersisted(file);
}

void cVeldraneData::AppendRow(kindrecordset krs, const std::function<void(ado::Recordset&)>& fill) {
  AppendRows(krs, 1, [&](ado::Recordset& rs, size_t) { fill(rs); });
}

void cVeldraneData::AppendRows(kindrecordset krs, size_t count,
                               const std::function<void(ado::Recordset&, size_t)>& fill) {
  std::string file = TableFile(krs);
  if (file.empty()) throw VbError::InvalidCall("No history table has the number " + std::to_string(krs));
  if (count == 0) return;
  host::FileLock lock(file);
  ado::RecordsetRef rs = OpenOrCreateLocked(krs, file);
  for (size_t i = 0; i < count; ++i) {
    rs->AddNew();
    fill(*rs, i);
    rs->Update();
  }
  rs->Save(std::string_view(), ado::adPersistXML);
  rs->Close();
}

void cVeldraneData::Clear(kindrecordset krs) {
  std::string file = TableFile(krs);
  if (file.empty()) return;
  if (!host::FileExists(file)) throw VbError(53, "File not found: '" + file + "'");
  // Under the lock, so that an append in progress is not undone by its save.
  host::FileLock lock(file);
  host::DeleteFile(file);
}

void cVeldraneData::CreateScheduledData() { CreateTableFile(scheduleddata); }
void cVeldraneData::CreateExecutionData() { CreateTableFile(executiondata); }
void cVeldraneData::CreateExecutionLogData() { CreateTableFile(executionlogdata); }

void cVeldraneData::CreateTableFile(kindrecordset krs) {
  const history::HistoryTable* table = history::FindHistoryTable(krs);
  auto rs = ado::Recordset::Create();
  for (const auto& field : table->fields) {
    rs->GetFields().Append(field.name, field.type, field.defined_size, ado::adFldUnspecified);
  }
  rs->Open();
  rs->Save(TableFile(krs), ado::adPersistXML);
  rs->Close();
}

Variant cVeldraneData::Invoke(std::string_view name, InvokeKind kind, Args args) {
  static const MemberTable<cVeldraneData> members = [] {
    MemberTable<cVeldraneData> t;
    t.Add("getRSFromFile", [](cVeldraneData& self, InvokeKind k, Args a) {
      if (k != InvokeKind::Get) throw VbError::NotSupported("getRSFromFile");
      ExpectArgs(a, 1, 1);
      return Variant(ObjectRef(self.getRSFromFile(a[0].ToString())));
    });
    t.Add("getRS", [](cVeldraneData& self, InvokeKind k, Args a) {
      if (k != InvokeKind::Get) throw VbError::NotSupported("getRS");
      ExpectArgs(a, 1, 1);
      return Variant(ObjectRef(self.getRS(SelectorOf(a[0]))));
    });
    t.Add("Clear", [](cVeldraneData& self, InvokeKind k, Args a) {
      if (k != InvokeKind::Get) throw VbError::NotSupported("Clear");
      ExpectArgs(a, 1, 1);
      self.Clear(SelectorOf(a[0]));
      return Variant();
    });
    return t;
  }();
  return members.Invoke(*this, name, kind, args);
}

}  // namespace veldrane
