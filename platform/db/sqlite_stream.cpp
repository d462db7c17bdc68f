#include "platform/db/sqlite_stream.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "platform/db/sqlite_values.h"
#include "platform/db/row_spool.h"

namespace veldrane::ado {

namespace {

// Every open stream of the process; a write looks here first, so the common
// case (no stream open) is one atomic read.
std::mutex g_streams_mutex;
std::vector<SqliteStream*> g_streams;
std::atomic<size_t> g_stream_count{0};

}  // namespace

SqliteStream::SqliteStream(sqlite3* db, sqlite3_stmt* stmt, std::vector<ColumnInfo> columns, std::string file)
    : db_(db),
      stmt_(stmt),
      columns_(std::move(columns)),
      file_(std::move(file)),
      thread_(std::this_thread::get_id()),
      buffered_(columns_.size()) {
  std::lock_guard<std::mutex> lock(g_streams_mutex);
  g_streams.push_back(this);
  g_stream_count = g_streams.size();
}

SqliteStream::~SqliteStream() {
  {
    std::lock_guard<std::mutex> lock(g_streams_mutex);
    g_streams.erase(std::remove(g_streams.begin(), g_streams.end(), this), g_streams.end());
    g_stream_count = g_streams.size();
  }
  Finish();
}

void SqliteStream::Finish() {
  if (stmt_) sqlite3_finalize(stmt_);
  stmt_ = nullptr;
}

bool SqliteStream::Step(Variant* row) {
  if (!stmt_) {
    // A failure ends the rows for good: every later read raises it again.
    if (failure_) throw *failure_;
    return false;
  }
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) {
    cells_.resize(columns_.size());
    for (size_t i = 0; i < columns_.size(); ++i) {
      SqliteCell& cell = cells_[i];
      // One value object per cell rather than a column call per property.
      sqlite3_value* value = sqlite3_column_value(stmt_, static_cast<int>(i));
      cell.storage_class = sqlite3_value_type(value);
      switch (cell.storage_class) {
        case SQLITE_NULL: break;
        case SQLITE_INTEGER: cell.integer = sqlite3_value_int64(value); break;
        case SQLITE_FLOAT: cell.real = sqlite3_value_double(value); break;
        case SQLITE_BLOB: {
          const char* data = static_cast<const char*>(sqlite3_value_blob(value));
          cell.bytes = std::string_view(data ? data : "", static_cast<size_t>(sqlite3_value_bytes(value)));
          break;
        }
        default: {
          cell.storage_class = SQLITE_TEXT;
          const char* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
          cell.bytes = std::string_view(text ? text : "", static_cast<size_t>(sqlite3_value_bytes(value)));
          break;
        }
      }
      SqliteValueAsVariant(cell.storage_class, cell.integer, cell.real, cell.bytes, columns_[i], row[i]);
    }
    try {
      spool_.Append(cells_);
    } catch (const VbError& e) {
      // A row that could not be kept for reading again would be missing
      // from a second reading: the rows end here, with the reason.
      failure_ = e;
      Finish();
      throw;
    }
    return true;
  }
  // The end, or a failure: the statement is let go either way, so that its
  // read lock does not outlive the rows.
  if (rc != SQLITE_DONE) failure_ = VbError(vberr::kProviderCommandError, sqlite3_errmsg(db_), "SQLite");
  Finish();
  if (failure_) throw *failure_;
  return false;
}

bool SqliteStream::Next(Variant* row) {
  if (replaying_) {
    if (spool_.ReadRow(row, columns_)) return true;
    replaying_ = false;  // every row read so far has been given again
  }
  if (!materialized_) return Step(row);
  if (next_buffered_ < buffered_.size()) {
    Variant* from = buffered_.Row(next_buffered_++);
    for (size_t i = 0; i < columns_.size(); ++i) row[i] = std::move(from[i]);
    return true;
  }
  // A failure while reading ahead belongs to the row it kept from coming.
  if (failure_) throw *failure_;
  return false;
}

void SqliteStream::Rewind() {
  spool_.StartReading();
  replaying_ = true;
  // Rows read ahead into memory are in the spool as well.
  buffered_.Reset(columns_.size());
  next_buffered_ = 0;
}

void SqliteStream::Materialize() {
  if (materialized_) return;
  materialized_ = true;
  if (replaying_) {
    // The rows not yet given again are in the spool; only the statement's
    // remaining rows are read, into the spool and through it.
    std::vector<Variant> row(columns_.size());
    try {
      while (Step(row.data())) {
      }
    } catch (const VbError&) {
      // Kept in failure_, raised when the rows before it have been given.
    }
    return;
  }
  std::vector<Variant> row(columns_.size());
  try {
    while (Step(row.data())) {
      Variant* to = buffered_.Append();
      for (size_t i = 0; i < row.size(); ++i) to[i] = std::move(row[i]);
    }
  } catch (const VbError&) {
    // Kept in failure_, raised when the rows before it have been given.
  }
}

void MaterializeStreams(sqlite3* db, const std::string& file) {
  if (g_stream_count.load(std::memory_order_relaxed) == 0) return;
  std::vector<SqliteStream*> due;
  {
    std::lock_guard<std::mutex> lock(g_streams_mutex);
    for (SqliteStream* s : g_streams) {
      // Another thread's statement is that thread's to step.
      if (s->thread_ != std::this_thread::get_id() || s->materialized_) continue;
      if (s->db_ == db || (!file.empty() && s->file_ == file)) due.push_back(s);
    }
  }
  for (SqliteStream* s : due) s->Materialize();
}

}  // namespace veldrane::ado
