#include "platform/db/row_spool.h"

#include <cstring>

#include "platform/db/sqlite_values.h"

namespace veldrane::ado {

namespace {

template <class T>
char* Put(char* out, const T& value) {
  std::memcpy(out, &value, sizeof value);
  return out + sizeof value;
}

}  // namespace

void RowSpool::Append(const std::vector<SqliteCell>& row) {
  size_t bytes = 0;
  for (const SqliteCell& cell : row) {
    bytes += 1 + (cell.storage_class == SQLITE_NULL ? 0
                  : cell.storage_class == SQLITE_INTEGER || cell.storage_class == SQLITE_FLOAT
                      ? 8
                      : sizeof(uint32_t) + cell.bytes.size());
  }
  char* out = file_.Extend(bytes);
  for (const SqliteCell& cell : row) {
    *out++ = static_cast<char>(cell.storage_class);
    switch (cell.storage_class) {
      case SQLITE_NULL: break;
      case SQLITE_INTEGER: out = Put(out, cell.integer); break;
      case SQLITE_FLOAT: out = Put(out, cell.real); break;
      default:
        out = Put(out, static_cast<uint32_t>(cell.bytes.size()));
        std::memcpy(out, cell.bytes.data(), cell.bytes.size());
        out += cell.bytes.size();
        break;
    }
  }
  ++rows_;
  file_.Appended();
}

void RowSpool::StartReading() {
  file_.StartReading();
  rows_read_ = 0;
}

bool RowSpool::ReadRow(Variant* row, const std::vector<ColumnInfo>& columns) {
  if (rows_read_ >= rows_) return false;
  for (size_t i = 0; i < columns.size(); ++i) {
    int storage_class = static_cast<unsigned char>(*file_.Take(1));
    sqlite3_int64 integer = 0;
    double real = 0;
    std::string_view bytes;
    switch (storage_class) {
      case SQLITE_NULL: break;
      case SQLITE_INTEGER:
        std::memcpy(&integer, file_.Take(sizeof integer), sizeof integer);
        break;
      case SQLITE_FLOAT:
        std::memcpy(&real, file_.Take(sizeof real), sizeof real);
        break;
      default: {
        uint32_t size = 0;
        std::memcpy(&size, file_.Take(sizeof size), sizeof size);
        bytes = std::string_view(file_.Take(size), size);
        break;
      }
    }
    SqliteValueAsVariant(storage_class, integer, real, bytes, columns[i], row[i]);
  }
  ++rows_read_;
  return true;
}

}  // namespace veldrane::ado
