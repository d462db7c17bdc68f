#include "history/veldrane_data.h"

#include <mutex>

#include "history/history_tables.h"
#include "platform/db/persist_xml.h"
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

std::mutex notice_mutex;
std::function<void(const std::string&)> notice_handler;

// An empty table with the fields of `table`, for rows to be added to a file.
ado::RecordsetRef EmptyTable(const history::HistoryTable& table) {
  auto rs = ado::Recordset::Create();
  for (const auto& field : table.fields) {
    rs->GetFields().Append(field.name, field.type, field.defined_size, ado::adFldUnspecified);
  }
  rs->Open();
  return rs;
}

std::string Joined(const std::vector<std::string>& items, size_t most) {
  std::string out;
  for (size_t i = 0; i < items.size() && i < most; ++i) out += (i ? "; " : "") + items[i];
  if (items.size() > most) out += "; and " + std::to_string(items.size() - most) + " more";
  return out;
}

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
    ado::RecordsetRef rs = OpenPersisted(file);
    if (rs->UnreadableRows().empty()) return rs;
  } catch (const VbError&) {
    // Missing or unreadable: recovered below, under the lock, so that two
    // holders never both create the file and drop a row added in between.
  }
  host::FileLock lock(file);
  return OpenOrCreateLocked(krs, file);
}

std::vector<std::string> cVeldraneData::TakeNotices() {
  std::vector<std::string> taken;
  taken.swap(notices_);
  return taken;
}

void cVeldraneData::SetNoticeHandler(std::function<void(const std::string&)> handler) {
  std::lock_guard<std::mutex> guard(notice_mutex);
  notice_handler = std::move(handler);
}

void cVeldraneData::Notice(const std::string& text) {
  notices_.push_back(text);
  std::function<void(const std::string&)> handler;
  {
    std::lock_guard<std::mutex> guard(notice_mutex);
    handler = notice_handler;
  }
  if (handler) handler(text);
}

ado::RecordsetRef cVeldraneData::OpenOrCreateLocked(kindrecordset krs, const std::string& file) {
  if (host::FileExists(file)) {
    ado::RecoverPersistedAppend(file);
    ado::RecordsetRef rs;
    std::string why;
    try {
      rs = OpenPersisted(file);
    } catch (const VbError& e) {
      why = e.description();
    }
    if (rs && rs->UnreadableRows().empty()) return rs;
    // Never destroyed, never in silence: the file as it was goes aside, and
    // the user hears where.
    std::string moved = host::SetAsideFile(file);
    if (!rs) {
      Notice("The history table '" + file + "' could not be read (" + why + "); it was moved to '" + moved +
             "' and an empty table started in its place.");
    } else {
      const auto& lost = rs->UnreadableRows();
      Notice("The history table '" + file + "' has " + std::to_string(lost.size()) +
             (lost.size() == 1 ? " row" : " rows") + " that could not be read (" + Joined(lost, 3) +
             "); the file as it was is kept as '" + moved + "', the other rows carry over.");
      rs->Save(file, ado::adPersistXML);
      return rs;
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
  const history::HistoryTable& table = *history::FindHistoryTable(krs);
  host::FileLock lock(file);
  if (table.grows_in_place) {
    // The rows are made in a table of their own, then go at the end of the
    // file; a file of another form (another writer's layout, damage) is
    // read and rewritten whole below, after which appends go in place again.
    ado::RecordsetRef added = EmptyTable(table);
    for (size_t i = 0; i < count; ++i) {
      added->AddNew();
      fill(*added, i);
      added->Update();
    }
    if (!host::FileExists(file)) CreateTableFile(krs);
    if (added->SaveAppending(file)) return;
    ado::RecordsetRef rs = OpenOrCreateLocked(krs, file);
    ado::Fields& from = added->GetFields();
    for (added->MoveFirst(); !added->IsEOF(); added->MoveNext()) {
      rs->AddNew();
      for (int32_t f = 0; f < from.Count(); ++f) {
        rs->GetFields().Item(Variant(f)).SetValue(from.Item(Variant(f)).Value());
      }
      rs->Update();
    }
    rs->Save(std::string_view(), ado::adPersistXML);
    return;
  }
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
  ado::RecordsetRef rs = EmptyTable(*history::FindHistoryTable(krs));
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
