// The state behind a Recordset, shared with its Fields and Field objects so
// that a Field handed out (for example by a script's SQLExecute) keeps its
// rows alive after the recordset object itself is gone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/variant.h"
#include "platform/db/ado.h"
#include "platform/db/provider.h"

namespace veldrane::ado {

enum class RowSource {
  None,      // closed
  Database,  // rows of a connection's query
  Client,    // a client-side table: persisted file or Fields.Append
};

struct RecordsetState {
  bool open = false;
  RowSource source_kind = RowSource::None;
  std::vector<ColumnInfo> columns;     // visible columns first, then hidden ones
  // The provider's description `columns` is a copy of, while it is; and the
  // columns a Close put aside for an opening with that description again.
  std::shared_ptr<const std::vector<ColumnInfo>> columns_origin;
  std::vector<ColumnInfo> closed_columns;
  uint64_t columns_version = 0;        // changes whenever `columns` may describe other columns
  int32_t visible = 0;                 // number of visible columns
  RowTable rows;                       // one value per column, hidden locators included
  std::vector<uint8_t> deleted;        // per row: deleted through Delete; skipped by moves
  int64_t deleted_count = 0;
  int64_t position = 0;                // index into rows; -1 = BOF, rows.size() = EOF

  int32_t edit_mode = adEditNone;
  bool adding = false;                 // the pending edit is a new row
  int64_t position_before_add = 0;     // restored by CancelUpdate
  std::vector<Variant> edit_values;    // the pending row
  std::vector<bool> assigned;          // which columns the pending edit set
  RowWrite write;                      // Database rows: buffers of the last write-back
  std::vector<size_t> returned_index;  // column of each value the write returned

  // A forward-only, read-only recordset on a server cursor reads its rows
  // one at a time: `rows` then holds the current row only (none at EOF).
  std::unique_ptr<RowStream> stream;
  int64_t streamed = 0;                // rows the stream has given since its start
  int64_t stream_total = -1;           // its rows, once it has reached the end; -1 before

  ConnectionRef connection;            // Database rows: their connection
  WriteTarget target;                  // Database rows: where changes go
  bool read_only = true;               // lock type read-only: refuse changes
  std::string source;                  // the Open source (SQL or path)
  std::string file;                    // Client rows from / saved to this file

  int32_t cursor_type = adOpenForwardOnly;
  int32_t lock_type = adLockReadOnly;
  int32_t cursor_location = adUseServer;

  // The current row's values, or nullptr at BOF/EOF or on a deleted row.
  const Variant* CurrentRow() const {
    if (!AtRow() || deleted[static_cast<size_t>(position)]) return nullptr;
    return rows.Row(static_cast<size_t>(position));
  }
  Variant* CurrentRow() { return const_cast<Variant*>(static_cast<const RecordsetState*>(this)->CurrentRow()); }
  bool AtRow() const { return position >= 0 && position < static_cast<int64_t>(rows.size()); }
  // Takes `table` as the rows, none deleted.
  void SetRows(RowTable&& table) {
    rows = std::move(table);
    deleted.assign(rows.size(), 0);
    deleted_count = 0;
  }
  // Appends a row and returns its index.
  int64_t AppendRow(std::vector<Variant>&& values) {
    rows.Append(std::move(values));
    deleted.push_back(0);
    return static_cast<int64_t>(rows.size()) - 1;
  }
};

}  // namespace veldrane::ado
