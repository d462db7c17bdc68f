#include "platform/db/spool_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/vb_error.h"

namespace veldrane::ado {

namespace {

constexpr size_t kFlushAt = 1 << 16;
constexpr int32_t kDeviceIoError = 57;

}  // namespace

SpoolFile::~SpoolFile() {
  if (fd_ >= 0) ::close(fd_);
}

void SpoolFile::IoFailure(const std::string& what) const {
  throw VbError(kDeviceIoError, "Device I/O error (" + what + ": " + std::strerror(errno) + ")", source_);
}

char* SpoolFile::Extend(size_t n) {
  size_t at = write_buffer_.size();
  write_buffer_.resize(at + n);
  return write_buffer_.data() + at;
}

void SpoolFile::Appended() {
  if (write_buffer_.size() >= kFlushAt) Flush();
}

void SpoolFile::Flush() {
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

void SpoolFile::StartReading() {
  read_offset_ = 0;
  read_buffer_.clear();
  read_pos_ = 0;
}

const char* SpoolFile::Take(size_t n) {
  if (read_buffer_.size() - read_pos_ < n) {
    Flush();  // the bytes appended since reading began are read from the file too
    read_buffer_.erase(0, read_pos_);
    read_pos_ = 0;
    size_t have = read_buffer_.size();
    size_t want = std::max(n - have, kFlushAt);
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
  const char* at = read_buffer_.data() + read_pos_;
  read_pos_ += n;
  return at;
}

}  // namespace veldrane::ado
