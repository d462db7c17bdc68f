// The state behind a Recordset, shared with its Fields and Field objects so
// that a Field handed out (for example by a script's SQLExecute) keeps its
// rows alive after the recordset object itself is gone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/variant.h"
#include "platform/db/ado.h"
#include "platform/db/packed_rows.h"
#include "platform/db/provider.h"
#include "platform/db/target_select.h"

namespace veldrane::ado {

enum class RowSource {
  None,      // closed
  Database,  // rows of a connection's query
  Client,    // a client-side table: persisted file or Fields.Append
};

struct RecordsetState {
  bool open = false;
  RowSource source_kind = RowSource::None;
  std::vector<std::string> unreadable_rows;  // persisted rows left out when opened, with why
  std::vector<ColumnInfo> columns;     // visible columns first, then hidden ones
  // The provider's description `columns` is a copy of, while it is; and the
  // columns a Close put aside for an opening with that description again.
  std::shared_ptr<const std::vector<ColumnInfo>> columns_origin;
  std::vector<ColumnInfo> closed_columns;
  uint64_t columns_version = 0;        // changes whenever `columns` may describe other columns
  int32_t visible = 0;                 // number of visible columns
  RowTable rows;                       // one value per column, hidden locators included
  PackedRows added;                    // Database rows: those added through AddNew/Update, after `rows`
  mutable std::vector<Variant> unpacked;  // the added row last read
  mutable int64_t unpacked_row = -1;      // its index; -1: none
  std::vector<uint8_t> deleted;        // per row: deleted through Delete; skipped by moves
  int64_t deleted_count = 0;
  int64_t position = 0;                // index into rows, then added; -1 = BOF, RowCount() = EOF

  int32_t edit_mode = adEditNone;
  bool adding = false;                 // the pending edit is a new row
  int64_t position_before_add = 0;     // restored by CancelUpdate
  std::vector<Variant> edit_values;    // the pending row
  std::vector<bool> assigned;          // which columns the pending edit set
  // Database rows: the description and buffers of a write-back, kept
  // between rows. One for edits and one for new rows: a run that updates
  // or inserts record by record goes from one to the other.
  struct WriteShape {
    RowWrite write;
    std::vector<size_t> set_index;       // column of each value the write sets
    std::vector<size_t> returned_index;  // column of each value the write returns
    // What `write` was described for: the columns and the ones assigned.
    const ColumnInfo* columns = nullptr;
    uint64_t columns_version = 0;
    std::vector<bool> assigned;
  };
  WriteShape writes[2];                // [0] edits, [1] new rows
  std::vector<Variant> stored;         // the values the last write returned

  // A forward-only, read-only recordset on a server cursor reads its rows
  // one at a time: `rows` then holds the current row only (none at EOF).
  std::unique_ptr<RowStream> stream;
  int64_t streamed = 0;                // rows the stream has given since its start
  int64_t stream_total = -1;           // its rows, once it has reached the end; -1 before

  ConnectionRef connection;            // Database rows: their connection
  WriteTarget target;                  // Database rows: where changes go
  bool read_only = true;               // lock type read-only: refuse changes
  std::string source;                  // the Open source (SQL or path)
  std::shared_ptr<const TargetSelect> source_select;  // OpenTarget's select: the source, as text when asked
  std::string file;                    // Client rows from / saved to this file

  int32_t cursor_type = adOpenForwardOnly;
  int32_t lock_type = adLockReadOnly;
  int32_t cursor_location = adUseServer;

  // The current row's values, or nullptr at BOF/EOF or on a deleted row.
  // Valid until another row is read: a packed row is unpacked into one slot.
  const Variant* CurrentRow() const {
    if (!AtRow() || deleted[static_cast<size_t>(position)]) return nullptr;
    return RowAt(static_cast<size_t>(position));
  }
  bool AtRow() const { return position >= 0 && position < static_cast<int64_t>(RowCount()); }
  size_t RowCount() const { return rows.size() + added.size(); }
  const Variant* RowAt(size_t i) const {
    if (i < rows.size()) return rows.Row(i);
    if (unpacked_row != static_cast<int64_t>(i)) {
      unpacked.resize(columns.size());
      added.Read(i - rows.size(), unpacked.data(), columns.size());
      unpacked_row = static_cast<int64_t>(i);
    }
    return unpacked.data();
  }
  // Takes `table` as the rows, none deleted and none added.
  void SetRows(RowTable&& table) {
    rows = std::move(table);
    added.Clear();
    unpacked_row = -1;
    deleted.assign(rows.size(), 0);
    deleted_count = 0;
  }
  // Appends a row kept as Variants and returns its index.
  int64_t AppendRow(std::vector<Variant>&& values) {
    rows.Append(std::move(values));
    deleted.push_back(0);
    return static_cast<int64_t>(rows.size()) - 1;
  }
  // Appends a row written to the database and returns its index. It is kept
  // packed; its values stay at hand while it is the current row.
  int64_t AppendAdded(std::vector<Variant>&& values) {
    added.Append(values.data(), columns.size());
    deleted.push_back(0);
    unpacked.swap(values);  // the caller's vector keeps a buffer for the next row
    unpacked_row = static_cast<int64_t>(RowCount()) - 1;
    return unpacked_row;
  }
  // Row `i` takes `values`.
  void ReplaceRow(size_t i, std::vector<Variant>&& values) {
    if (i < rows.size()) {
      Variant* row = rows.Row(i);
      for (size_t k = 0; k < rows.width(); ++k) row[k] = std::move(values[k]);
      return;
    }
    added.Replace(i - rows.size(), values.data(), columns.size());
    unpacked.swap(values);
    unpacked_row = static_cast<int64_t>(i);
  }
};

}  // namespace veldrane::ado
