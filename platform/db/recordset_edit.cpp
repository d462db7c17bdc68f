// Changing rows: AddNew, Update, CancelUpdate, Delete, EditMode and Save,
// and the script face of Recordset. Database rows are written back at once
// (Update and Delete run their statement before returning); client rows
// (persisted files, appended fields) change in memory until Save.
#include <atomic>

#include "core/object.h"
#include "platform/db/ado.h"
#include "platform/db/persist_xml.h"
#include "platform/db/provider.h"
#include "platform/db/recordset_state.h"

namespace veldrane::ado {

namespace {

[[noreturn]] void Raise(int32_t number, std::string description = {}) {
  throw VbError(number, std::move(description), "ADODB");
}

void RequireUpdatable(const RecordsetState& s) {
  if (s.read_only) Raise(vberr::kUpdateNotSupported);
  if (s.source_kind == RowSource::Database && s.target.table.empty()) {
    Raise(vberr::kUpdateNotSupported, VbError::StandardDescription(vberr::kUpdateNotSupported) +
                                          " (The rows cannot be written back: " + s.target.refusal + ".)");
  }
}

// The key of `row` for UPDATE and DELETE.
void FillKey(const RecordsetState& s, const Variant* row, RowWrite& write) {
  for (int32_t k : s.target.key) {
    write.key_columns.push_back(s.columns[static_cast<size_t>(k)].base_column);
    write.key_values.push_back(row[k]);
  }
}

// Which columns the pending edit writes and which the database gives back.
void DescribeWrite(RecordsetState& s, RecordsetState::WriteShape& shape) {
  static std::atomic<uint64_t> next_shape{1};
  RowWrite& write = shape.write;
  write.set_columns.clear();
  write.set_values.clear();
  write.returning.clear();
  write.returning_set.clear();
  shape.set_index.clear();
  shape.returned_index.clear();
  for (size_t i = 0; i < s.columns.size(); ++i) {
    const ColumnInfo& c = s.columns[i];
    int32_t set = -1;
    if (s.assigned[i] && c.writable) {
      set = static_cast<int32_t>(write.set_values.size());
      write.set_columns.push_back(c.base_column);
      write.set_values.emplace_back();
      shape.set_index.push_back(i);
    }
    if (c.writable || c.hidden) {
      write.returning.push_back(&c);
      write.returning_set.push_back(set);
      shape.returned_index.push_back(i);
    }
  }
  write.shape = next_shape.fetch_add(1, std::memory_order_relaxed);
  shape.columns = s.columns.data();
  shape.columns_version = s.columns_version;
  shape.assigned = s.assigned;
}

// The current row takes `values`.
void StoreInCurrent(RecordsetState& s, std::vector<Variant>&& values) {
  s.ReplaceRow(static_cast<size_t>(s.position), std::move(values));
}

// Runs a write-back statement; a failure also lands in the connection's Errors.
template <class F>
void Guarded(RecordsetState& s, F&& f) {
  ProviderSession& session = s.connection->session();
  try {
    f(session);
    for (const VbError& w : session.TakeWarnings()) s.connection->GetErrors().Add(w);
  } catch (const VbError& e) {
    throw s.connection->Fail(e);
  }
}

}  // namespace

void Recordset::AddNew() {
  RequireOpen();
  RecordsetState& s = *state_;
  RequireUpdatable(s);
  if (s.edit_mode == adEditInProgress || s.edit_mode == adEditAdd) Update();
  s.position_before_add = s.position;
  s.adding = true;
  s.edit_mode = adEditAdd;
  s.edit_values.assign(s.columns.size(), Variant::Null());
  s.assigned.assign(s.columns.size(), false);
}

void Recordset::Update() {
  RequireOpen();
  RecordsetState& s = *state_;
  if (s.edit_mode != adEditInProgress && s.edit_mode != adEditAdd) return;
  if (s.source_kind == RowSource::Client) {
    if (s.adding) {
      s.position = s.AppendRow(std::move(s.edit_values));
    } else {
      StoreInCurrent(s, std::move(s.edit_values));
    }
    s.edit_mode = adEditNone;
    s.adding = false;
    s.edit_values.clear();
    s.assigned.clear();
    return;
  }
  // The write buffers are kept between rows: a run of AddNew/Update that
  // sets the same columns reuses them as they are, values apart.
  RecordsetState::WriteShape& shape = s.writes[s.adding ? 1 : 0];
  RowWrite& write = shape.write;
  write.target = &s.target;
  write.key_columns.clear();
  write.key_values.clear();
  if (write.shape == 0 || shape.columns != s.columns.data() || shape.columns_version != s.columns_version ||
      shape.assigned != s.assigned) {
    DescribeWrite(s, shape);
  }
  // The values written are moved out of the pending row and back again:
  // what the database stored, when it says so, takes their place.
  const std::vector<size_t>& set_index = shape.set_index;
  for (size_t k = 0; k < set_index.size(); ++k) write.set_values[k] = std::move(s.edit_values[set_index[k]]);
  auto restore = [&] {
    for (size_t k = 0; k < set_index.size(); ++k) s.edit_values[set_index[k]] = std::move(write.set_values[k]);
  };
  if (!s.adding && set_index.empty()) {  // nothing assigned to a column of the table
    s.edit_mode = adEditNone;
    s.edit_values.clear();
    s.assigned.clear();
    return;
  }
  std::vector<Variant>& stored = s.stored;
  try {
    if (s.adding) {
      Guarded(s, [&](ProviderSession& session) { session.Insert(write, stored); });
    } else {
      FillKey(s, s.CurrentRow(), write);
      Guarded(s, [&](ProviderSession& session) { session.Update(write, stored); });
    }
  } catch (...) {
    restore();  // the pending edit stays as it was, to be mended or cancelled
    throw;
  }
  restore();
  // The row as the database now holds it: defaults, generated keys and the
  // new locator (a PostgreSQL update moves the row's ctid). An Empty value
  // is one the database stored as written.
  std::vector<Variant>& values = s.edit_values;
  const std::vector<size_t>& returned_index = shape.returned_index;
  for (size_t k = 0; k < stored.size() && k < returned_index.size(); ++k) {
    if (!stored[k].IsEmpty()) values[returned_index[k]] = std::move(stored[k]);
  }
  if (s.adding) {
    s.position = s.AppendAdded(std::move(values));
  } else {
    StoreInCurrent(s, std::move(values));
  }
  s.edit_mode = adEditNone;
  s.adding = false;
  s.edit_values.clear();
  s.assigned.clear();
}

void Recordset::CancelUpdate() {
  RequireOpen();
  RecordsetState& s = *state_;
  if (s.adding) s.position = s.position_before_add;
  if (s.edit_mode == adEditInProgress || s.edit_mode == adEditAdd) {
    s.edit_mode = adEditNone;
    s.adding = false;
    s.edit_values.clear();
    s.assigned.clear();
  }
}

void Recordset::Delete(int32_t affect) {
  RequireOpen();
  RecordsetState& s = *state_;
  if (affect != adAffectCurrent) {
    Raise(vberr::kArgumentsWrongType,
          VbError::StandardDescription(vberr::kArgumentsWrongType) + " (Only the current record can be deleted.)");
  }
  if (s.adding) Raise(vberr::kNotAllowedInContext);
  RequireUpdatable(s);
  const Variant* row = s.CurrentRow();
  if (!row) Raise(vberr::kNoCurrentRecord);
  if (s.source_kind == RowSource::Database) {
    RowWrite write;
    write.target = &s.target;
    FillKey(s, row, write);
    Guarded(s, [&](ProviderSession& session) { session.Delete(write); });
  }
  // A pending change of the deleted row goes with it.
  s.edit_values.clear();
  s.assigned.clear();
  s.deleted[static_cast<size_t>(s.position)] = 1;
  ++s.deleted_count;
  s.edit_mode = adEditDelete;
}

int32_t Recordset::EditMode() const {
  RequireOpen();
  const RecordsetState& s = *state_;
  if (s.adding) return adEditAdd;
  if (s.edit_mode == adEditDelete && s.AtRow()) return adEditDelete;
  if (!s.CurrentRow()) Raise(vberr::kNoCurrentRecord);
  return s.edit_mode;
}

void Recordset::Save(std::string_view destination, int32_t persist_format) {
  RequireOpen();
  RecordsetState& s = *state_;
  if (persist_format != adPersistXML) {
    Raise(vberr::kArgumentsWrongType, VbError::StandardDescription(vberr::kArgumentsWrongType) +
                                          " (Only the XML format (adPersistXML, 1) can be saved.)");
  }
  std::string path = destination.empty() ? s.file : std::string(destination);
  if (path.empty()) {
    Raise(vberr::kArgumentsWrongType, VbError::StandardDescription(vberr::kArgumentsWrongType) +
                                          " (The recordset was not opened from a file; give a destination.)");
  }
  if (s.edit_mode == adEditInProgress || s.edit_mode == adEditAdd) Update();
  std::vector<ColumnInfo> columns(s.columns.begin(), s.columns.begin() + s.visible);
  // Packed rows are unpacked one at a time into the same slot: they are
  // copied out for the file.
  RowTable unpacked(s.columns.size());
  std::vector<const Variant*> rows;
  rows.reserve(s.RowCount());
  for (size_t i = 0; i < s.RowCount(); ++i) {
    if (s.deleted[i]) continue;
    if (i < s.rows.size()) {
      rows.push_back(s.rows.Row(i));
    } else {
      const Variant* row = s.RowAt(i);
      Variant* copy = unpacked.Append();
      std::copy(row, row + s.columns.size(), copy);
      rows.push_back(copy);
    }
  }
  ReplaceFileAtomically(path, FormatPersisted(columns, rows, !s.read_only));
  s.file = path;
}

bool Recordset::SaveAppending(const std::string& path) {
  RequireOpen();
  RecordsetState& s = *state_;
  if (s.edit_mode == adEditInProgress || s.edit_mode == adEditAdd) Update();
  std::vector<ColumnInfo> columns(s.columns.begin(), s.columns.begin() + s.visible);
  std::vector<const Variant*> rows;
  for (size_t i = 0; i < s.rows.size(); ++i) {
    if (!s.deleted[i]) rows.push_back(s.rows.Row(i));
  }
  if (s.RowCount() != s.rows.size()) return false;  // packed rows: only database recordsets have them
  return AppendPersistedRows(path, columns, rows);
}

}  // namespace veldrane::ado
