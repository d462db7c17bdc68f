#include "core/object.h"
#include "core/text.h"
#include "platform/db/ado.h"
#include "platform/db/connection_string.h"
#include "platform/db/persist_xml.h"
#include "platform/db/provider.h"
#include "platform/db/recordset_state.h"
#include "platform/db/sql_text.h"

namespace veldrane::ado {

namespace {

[[noreturn]] void Raise(int32_t number, std::string description = {}) {
  throw VbError(number, std::move(description), "ADODB");
}

int64_t FirstLive(const RecordsetState& s, int64_t from, int step) {
  const auto count = static_cast<int64_t>(s.RowCount());
  for (int64_t i = from; i >= 0 && i < count; i += step) {
    if (!s.deleted[static_cast<size_t>(i)]) return i;
  }
  return step > 0 ? count : -1;
}

void ResetEdit(RecordsetState& s) {
  s.edit_mode = adEditNone;
  s.adding = false;
  s.edit_values.clear();
  s.assigned.clear();
}

}  // namespace

RecordsetRef Recordset::Create() { return std::make_shared<Recordset>(); }

Recordset::Recordset()
    : state_(std::make_shared<RecordsetState>()), fields_(std::make_shared<Fields>(state_)) {}

// A pending edit is never written by destruction: it is discarded, as the
// record transfer expects of a recordset it drops after a failure.
Recordset::~Recordset() = default;

void Recordset::RequireOpen() const {
  if (!state_->open) Raise(vberr::kObjectClosed);
}

void Recordset::Open(const Variant& source, const Variant& active_connection, int32_t cursor_type, int32_t lock_type,
                     int32_t options) {
  if (state_->open) Raise(vberr::kObjectOpen);
  // A recordset re-opened per record: the source text is copied once.
  Variant resolved;
  if (source.IsObject()) resolved = source.Resolved();
  const Variant& src = source.IsObject() ? resolved : source;
  std::string text = src.IsEmpty() || src.IsNull() ? std::string() : src.IsString() ? src.AsString() : src.ToText();
  ConnectionRef connection;
  bool persisted = false;
  if (active_connection.IsObject() && !active_connection.IsNothing()) {
    connection = std::dynamic_pointer_cast<Connection>(active_connection.AsObject());
    if (!connection) Raise(vberr::kArgumentsWrongType, "The active connection is not a Connection object.");
    persisted = IEquals(connection->Provider(), "MSPersist");
  } else if (!active_connection.IsEmpty() && !active_connection.IsNull() && !active_connection.IsNothing()) {
    std::string cs = active_connection.ToText();
    if (IEquals(ProviderNameOf(cs), "MSPersist")) {
      persisted = true;
    } else if (!cs.empty()) {
      connection = Connection::Create();
      connection->Open(cs);
    }
  } else {
    persisted = !text.empty();
  }
  if (persisted) {
    OpenPersisted(text, lock_type);
  } else if (!connection) {
    OpenClientTable(lock_type);
  } else {
    OpenFromConnection(text, connection, cursor_type, lock_type, options);
  }
  state_->source = std::move(text);
  state_->source_select.reset();
  if (cursor_type != adOpenUnspecified && state_->source_kind == RowSource::Client) state_->cursor_type = cursor_type;
}

void Recordset::OpenPersisted(const std::string& path, int32_t lock_type) {
  if (path.empty()) Raise(vberr::kFileNotOpened, "File could not be opened. (No file name given.)");
  PersistedTable table = ReadPersistedFile(path);
  RecordsetState& s = *state_;
  s.columns = std::move(table.columns);
  s.columns_origin.reset();
  ++s.columns_version;
  s.visible = static_cast<int32_t>(s.columns.size());
  RowTable rows(s.columns.size());
  for (auto& values : table.rows) rows.Append(std::move(values));
  s.SetRows(std::move(rows));
  s.source_kind = RowSource::Client;
  s.file = path;
  s.unreadable_rows = std::move(table.unreadable_rows);
  s.lock_type = lock_type == adLockUnspecified ? adLockBatchOptimistic : lock_type;
  s.read_only = s.lock_type == adLockReadOnly;
  s.cursor_type = adOpenStatic;
  s.cursor_location = adUseClient;
  s.connection.reset();
  s.target = {};
  s.position = FirstLive(s, 0, 1);
  ResetEdit(s);
  s.open = true;
  fields_->Refresh();
}

const std::vector<std::string>& Recordset::UnreadableRows() const { return state_->unreadable_rows; }

void Recordset::OpenClientTable(int32_t lock_type) {
  RecordsetState& s = *state_;
  if (s.columns.empty()) {
    Raise(vberr::kConnectionUnusable, VbError::StandardDescription(vberr::kConnectionUnusable) +
                                          " (No connection, no source and no appended fields.)");
  }
  s.columns_origin.reset();
  ++s.columns_version;
  s.visible = static_cast<int32_t>(s.columns.size());
  s.SetRows(RowTable(s.columns.size()));
  s.source_kind = RowSource::Client;
  s.file.clear();
  s.lock_type = lock_type == adLockUnspecified ? adLockBatchOptimistic : lock_type;
  s.read_only = s.lock_type == adLockReadOnly;
  s.cursor_type = adOpenStatic;
  s.cursor_location = adUseClient;
  s.connection.reset();
  s.target = {};
  s.position = 0;
  ResetEdit(s);
  s.open = true;
  fields_->Refresh();
}

void Recordset::OpenFromConnection(const std::string& source, const ConnectionRef& connection, int32_t cursor_type,
                                   int32_t lock_type, int32_t options) {
  if (connection->State() != adStateOpen) Raise(vberr::kConnectionUnusable);
  ProviderSession& session = connection->session();
  int32_t command = options == -1 ? adCmdUnknown : (options & 0x3FF);
  std::string table_query;
  if (command == adCmdTable || command == adCmdTableDirect ||
      ((command == adCmdUnknown || command == 0) && IsTableName(source))) {
    table_query = "SELECT * FROM " + source;
  }
  const std::string& sql = table_query.empty() ? source : table_query;
  if (sql.empty()) throw connection->Fail(VbError(vberr::kArgumentsWrongType, "The command text is empty.", "ADODB"));
  int32_t lock = lock_type == adLockUnspecified ? adLockReadOnly : lock_type;
  if (cursor_type == adOpenForwardOnly && lock == adLockReadOnly && state_->cursor_location == adUseServer) {
    std::unique_ptr<RowStream> stream;
    try {
      stream = session.OpenStream(sql);
    } catch (const VbError& e) {
      throw connection->Fail(e);
    }
    if (stream) {
      AdoptStream(std::move(stream), connection);
      return;
    }
  }
  Rowset rows;
  try {
    rows = session.Query(sql, lock != adLockReadOnly);
  } catch (const VbError& e) {
    throw connection->Fail(e);
  }
  for (const VbError& w : session.TakeWarnings()) connection->GetErrors().Add(w);
  // The source text is recorded by Open itself.
  AdoptRows(std::move(rows), connection, cursor_type == adOpenUnspecified ? adOpenForwardOnly : cursor_type, lock,
            std::string());
}

void Recordset::OpenTarget(std::shared_ptr<const TargetSelect> select, const ConnectionRef& connection) {
  if (state_->open) Raise(vberr::kObjectOpen);
  if (!connection || connection->State() != adStateOpen) Raise(vberr::kConnectionUnusable);
  ProviderSession& session = connection->session();
  Rowset rows;
  try {
    rows = session.QueryTarget(*select);
  } catch (const VbError& e) {
    throw connection->Fail(e);
  }
  for (const VbError& w : session.TakeWarnings()) connection->GetErrors().Add(w);
  AdoptRows(std::move(rows), connection, adOpenKeyset, adLockOptimistic, std::string());
  state_->source_select = std::move(select);
}

const TargetSelect* Recordset::OpenedTarget() const { return state_->open ? state_->source_select.get() : nullptr; }

void Recordset::AdoptRows(Rowset rows, ConnectionRef connection, int32_t cursor_type, int32_t lock_type,
                          std::string source) {
  RecordsetState& s = *state_;
  if (!rows.shared_columns) {
    s.columns = std::move(rows.columns);
    s.columns_origin.reset();
    ++s.columns_version;
  } else if (rows.shared_columns == s.columns_origin && s.columns.empty() &&
             s.closed_columns.size() == rows.shared_columns->size()) {
    s.columns.swap(s.closed_columns);  // the same description as before the Close
  } else {
    s.columns = *rows.shared_columns;
    s.columns_origin = std::move(rows.shared_columns);
    ++s.columns_version;
  }
  s.closed_columns.clear();
  s.visible = 0;
  for (const ColumnInfo& c : s.columns) s.visible += c.hidden ? 0 : 1;
  s.SetRows(std::move(rows.rows));
  s.target = std::move(rows.target);
  s.connection = std::move(connection);
  s.source_kind = RowSource::Database;
  s.cursor_type = cursor_type;
  s.lock_type = lock_type;
  s.read_only = lock_type == adLockReadOnly;
  s.source = std::move(source);
  s.source_select.reset();
  s.file.clear();
  s.position = 0;
  ResetEdit(s);
  s.open = true;
  fields_->Refresh();
}

void Recordset::AdoptStream(std::unique_ptr<RowStream> stream, ConnectionRef connection) {
  RecordsetState& s = *state_;
  s.columns = stream->Columns();
  s.columns_origin.reset();
  ++s.columns_version;
  s.visible = static_cast<int32_t>(s.columns.size());
  s.stream = std::move(stream);
  s.streamed = 0;
  s.stream_total = -1;
  s.target = {};
  s.connection = std::move(connection);
  s.source_kind = RowSource::Database;
  s.cursor_type = adOpenForwardOnly;
  s.lock_type = adLockReadOnly;
  s.read_only = true;
  s.file.clear();
  ResetEdit(s);
  s.open = true;
  fields_->Refresh();
  NextStreamed();
}

void Recordset::NextStreamed() {
  RecordsetState& s = *state_;
  const size_t width = s.columns.size();
  // The one row slot is kept from row to row.
  if (s.rows.size() != 1 || s.rows.width() != width) {
    RowTable slot(width);
    slot.Append();
    s.SetRows(std::move(slot));
  }
  s.position = 0;
  bool more = false;
  try {
    more = s.stream->Next(s.rows.Row(0));
  } catch (const VbError& e) {
    s.SetRows(RowTable(width));  // at EOF: the rows end where the failure is
    throw s.connection ? s.connection->Fail(e) : e;
  }
  if (!more) {
    s.SetRows(RowTable(width));
    s.stream_total = s.streamed;
    return;
  }
  ++s.streamed;
}

bool Recordset::DiscardRows() {
  RecordsetState& s = *state_;
  if (!s.open || s.source_kind != RowSource::Database || s.stream) return false;
  ResetEdit(s);
  s.SetRows(RowTable(s.columns.size()));
  s.position = 0;
  return true;
}

void Recordset::Close() {
  RequireOpen();
  RecordsetState& s = *state_;
  s.stream.reset();
  ResetEdit(s);
  s.open = false;
  s.SetRows(RowTable());
  // Put aside, not dropped, when they are a provider's description: the
  // next opening of the same query takes them back.
  if (s.columns_origin) {
    s.closed_columns.swap(s.columns);
  }
  s.columns.clear();
  s.visible = 0;
  s.connection.reset();
  s.target = {};
  s.source_kind = RowSource::None;
  s.position = 0;
  // The Field objects stay, by position, for the next opening: a recordset
  // re-opened per record would otherwise make them anew every time. Count
  // and lookups trim them to the columns there are.
}

int32_t Recordset::State() const { return state_->open ? adStateOpen : adStateClosed; }

bool Recordset::IsEOF() const {
  RequireOpen();
  const RecordsetState& s = *state_;
  if (s.adding || s.AtRow()) return false;  // a just-deleted row is still the position
  return s.position >= static_cast<int64_t>(s.RowCount()) || RecordCount() == 0;
}

bool Recordset::IsBOF() const {
  RequireOpen();
  const RecordsetState& s = *state_;
  if (s.stream) return s.streamed == 0;  // a stream can stand before its first row only when it has none
  if (s.adding || s.AtRow()) return false;
  return s.position < 0 || RecordCount() == 0;
}

void Recordset::SavePendingBeforeMove() {
  if (state_->edit_mode == adEditInProgress || state_->edit_mode == adEditAdd) Update();
  state_->edit_mode = adEditNone;
}

void Recordset::MoveFirst() {
  RequireOpen();
  if (state_->stream) {
    // Back to the start of a stream: the rows it gave before, again (a
    // static cursor's snapshot, kept on disk rather than in memory).
    RecordsetState& s = *state_;
    if (s.streamed <= 1 && s.rows.size() == 1) return;  // on the first row already
    s.stream->Rewind();
    s.streamed = 0;
    NextStreamed();
    return;
  }
  SavePendingBeforeMove();
  state_->position = FirstLive(*state_, 0, 1);
}

void Recordset::MoveLast() {
  RequireOpen();
  if (state_->stream) Raise(vberr::kNotAllowedInContext, "Operation is not allowed in this context. (The recordset is forward-only.)");
  SavePendingBeforeMove();
  state_->position = FirstLive(*state_, static_cast<int64_t>(state_->RowCount()) - 1, -1);
  if (state_->position < 0) state_->position = static_cast<int64_t>(state_->RowCount());
}

void Recordset::MoveNext() {
  RequireOpen();
  if (IsEOF()) Raise(vberr::kNoCurrentRecord);
  if (state_->stream) {
    NextStreamed();
    return;
  }
  SavePendingBeforeMove();
  state_->position = FirstLive(*state_, state_->position + 1, 1);
}

void Recordset::MovePrevious() {
  RequireOpen();
  if (state_->stream) Raise(vberr::kNotAllowedInContext, "Operation is not allowed in this context. (The recordset is forward-only.)");
  if (IsBOF()) Raise(vberr::kNoCurrentRecord);
  SavePendingBeforeMove();
  state_->position = FirstLive(*state_, state_->position - 1, -1);
}

int32_t Recordset::RecordCount() const {
  RequireOpen();
  // Not known before the last row has been read, as with any forward-only
  // cursor; then the rows there are (a source read twice is read the same).
  if (state_->stream) return static_cast<int32_t>(state_->stream_total);
  return static_cast<int32_t>(static_cast<int64_t>(state_->RowCount()) - state_->deleted_count);
}

Fields& Recordset::GetFields() { return *fields_; }

int32_t Recordset::CursorLocation() const { return state_->cursor_location; }

void Recordset::SetCursorLocation(int32_t location) {
  if (state_->open) Raise(vberr::kObjectOpen);
  if (location != adUseServer && location != adUseClient) Raise(vberr::kArgumentsWrongType);
  state_->cursor_location = location;
}

int32_t Recordset::CursorType() const { return state_->cursor_type; }
int32_t Recordset::LockType() const { return state_->lock_type; }
std::string Recordset::Source() const {
  return state_->source_select ? state_->source_select->Text() : state_->source;
}

bool Recordset::Unshared() const { return fields_.use_count() == 1 && fields_->Unshared(); }

}  // namespace veldrane::ado
