#include "platform/db/row_spool.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/db/sqlite_values.h"

namespace veldrane::ado {

namespace {

constexpr size_t kFlushAt = 1 << 16;
constexpr int32_t kDeviceIoError = 57;

[[noreturn]] void IoFailure(const std::string& what) {
  throw VbError(kDeviceIoError, "Device I/O error (" + what + ": " + std::strerror(errno) + ")", "SQLite");
}

template <class T>
char* Put(char* out, const T& value) {
  std::memcpy(out, &value, sizeof value);
  return out + sizeof value;
}

}  // namespace

RowSpool::~RowSpool() {
  if (fd_ >= 0) ::close(fd_);
}

void RowSpool::Append(const std::vector<SqliteCell>& row) {
  size_t bytes = 0;
  for (const SqliteCell& cell : row) {
    bytes += 1 + (cell.storage_class == SQLITE_NULL ? 0
                  : cell.storage_class == SQLITE_INTEGER || cell.storage_class == SQLITE_FLOAT
                      ? 8
                      : sizeof(uint32_t) + cell.bytes.size());
  }
  size_t at = write_buffer_.size();
  write_buffer_.resize(at + bytes);
  char* out = write_buffer_.data() + at;
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
  if (write_buffer_.size() >= kFlushAt) Flush();
}

void RowSpool::Flush() {
  if (write_buffer_.empty()) return;
  if (fd_ < 0) {
    // An unnamed file: nothing is left behind, whatever ends the process.
    std::string dir = std::filesystem::temp_directory_path().string();
    fd_ = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ < 0) {
      std::string pattern = dir + "/veldrane-rows-XXXXXX";
      fd_ = ::mkstemp(pattern.data());
      if (fd_ < 0) IoFailure("a temporary file for the rows read could not be made in " + dir);
      ::unlink(pattern.c_str());
    }
  }
  size_t done = 0;
  while (done < write_buffer_.size()) {
    ssize_t n = ::pwrite(fd_, write_buffer_.data() + done, write_buffer_.size() - done,
                         static_cast<off_t>(file_size_ + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      IoFailure("the rows read could not be kept");
    }
    done += static_cast<size_t>(n);
  }
  file_size_ += done;
  write_buffer_.clear();
}

void RowSpool::StartReading() {
  read_offset_ = 0;
  read_buffer_.clear();
  read_pos_ = 0;
  rows_read_ = 0;
}

void RowSpool::Need(size_t n) {
  if (read_buffer_.size() - read_pos_ >= n) return;
  Flush();  // the rows appended since reading began are read from the file too
  read_buffer_.erase(0, read_pos_);
  read_pos_ = 0;
  size_t want = std::max(n - read_buffer_.size(), kFlushAt);
  size_t have = read_buffer_.size();
  read_buffer_.resize(have + want);
  size_t got = 0;
  while (got < n - have) {
    ssize_t r = ::pread(fd_, read_buffer_.data() + have + got, want - got, static_cast<off_t>(read_offset_));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) IoFailure("the rows read could not be read again");
    got += static_cast<size_t>(r);
    read_offset_ += static_cast<uint64_t>(r);
  }
  read_buffer_.resize(have + got);
}

bool RowSpool::ReadRow(Variant* row, const std::vector<ColumnInfo>& columns) {
  if (rows_read_ >= rows_) return false;
  for (size_t i = 0; i < columns.size(); ++i) {
    Need(1);
    int storage_class = static_cast<unsigned char>(read_buffer_[read_pos_++]);
    sqlite3_int64 integer = 0;
    double real = 0;
    std::string_view bytes;
    switch (storage_class) {
      case SQLITE_NULL: break;
      case SQLITE_INTEGER:
        Need(sizeof integer);
        std::memcpy(&integer, read_buffer_.data() + read_pos_, sizeof integer);
        read_pos_ += sizeof integer;
        break;
      case SQLITE_FLOAT:
        Need(sizeof real);
        std::memcpy(&real, read_buffer_.data() + read_pos_, sizeof real);
        read_pos_ += sizeof real;
        break;
      default: {
        uint32_t size = 0;
        Need(sizeof size);
        std::memcpy(&size, read_buffer_.data() + read_pos_, sizeof size);
        read_pos_ += sizeof size;
        Need(size);
        bytes = std::string_view(read_buffer_.data() + read_pos_, size);
        read_pos_ += size;
        break;
      }
    }
    SqliteValueAsVariant(storage_class, integer, real, bytes, columns[i], row[i]);
  }
  ++rows_read_;
  return true;
}

}  // namespace veldrane::ado
