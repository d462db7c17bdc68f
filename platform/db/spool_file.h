// Bytes kept in an anonymous temporary file and read back from the start:
// what a forward-only stream keeps of the rows it gave, so that it can give
// the very same rows again (MoveFirst, a group written again record by
// record) without holding them in memory. What the bytes mean is the
// stream's (row_spool for SQLite, odbc_spool for ODBC).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace veldrane::ado {

class SpoolFile {
 public:
  // `source`: the provider named in errors ("SQLite", "ODBC").
  explicit SpoolFile(const char* source) : source_(source) {}
  ~SpoolFile();
  SpoolFile(const SpoolFile&) = delete;
  SpoolFile& operator=(const SpoolFile&) = delete;

  // `n` new bytes at the end, to be filled before the next call; then
  // Appended. Raises 57 ("Device I/O error") when the file cannot be written.
  char* Extend(size_t n);
  void Appended();

  // Reading starts again at the first byte.
  void StartReading();
  // The next `n` bytes, valid until the next call. Bytes appended since
  // reading began are read too. Raises 57 when they cannot be read.
  const char* Take(size_t n);

 private:
  void Flush();
  [[noreturn]] void IoFailure(const std::string& what) const;

  const char* source_;
  int fd_ = -1;               // opened on first flush
  std::string write_buffer_;  // appended, not yet in the file
  uint64_t file_size_ = 0;
  uint64_t read_offset_ = 0;  // of the file, after read_buffer_
  std::string read_buffer_;
  size_t read_pos_ = 0;
};

}  // namespace veldrane::ado
