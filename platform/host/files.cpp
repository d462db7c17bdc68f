#include "platform/host/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/vb_error.h"

namespace veldrane::host {

namespace {

VbError FileError(int32_t number, const std::string& path, int err = 0) {
  std::string text = VbError::StandardDescription(number) + ": '" + path + "'";
  if (err != 0) text += " (" + std::string(std::strerror(err)) + ")";
  return VbError(number, text);
}

// The platform's number for a failed open: a missing folder is "path not
// found", everything else "path/file access".
int32_t OpenErrorNumber(int err) { return err == ENOENT ? 76 : 75; }

}  // namespace

void AppendTextFile(const std::string& path, std::string_view text) {
  if (path.empty()) throw FileError(75, path);
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) {
    int err = errno;
    throw FileError(OpenErrorNumber(err), path, err);
  }
  const char* data = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t written = ::write(fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      throw FileError(err == ENOSPC ? 61 : 75, path, err);
    }
    data += written;
    left -= static_cast<size_t>(written);
  }
  if (::close(fd) != 0) {
    int err = errno;
    throw FileError(75, path, err);
  }
}

void DeleteFile(const std::string& path) {
  if (::unlink(path.c_str()) == 0) return;
  int err = errno;
  if (err == ENOENT || err == ENOTDIR) throw FileError(53, path);
  throw FileError(70, path, err);
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::string SetAsideFile(const std::string& path) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  std::string base = path + ".damaged-" + stamp;
  std::string target = base;
  for (int n = 2; FileExists(target); ++n) target = base + "-" + std::to_string(n);
  if (std::rename(path.c_str(), target.c_str()) != 0) {
    int err = errno;
    throw FileError(75, path, err);
  }
  return target;
}

FileLock::FileLock(const std::string& path) {
  std::string lock_path = path + ".lock";
  fd_ = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    int err = errno;
    throw FileError(OpenErrorNumber(err), lock_path, err);
  }
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    int err = errno;
    ::close(fd_);
    throw FileError(75, lock_path, err);
  }
}

FileLock::~FileLock() {
  // Closing the descriptor releases the lock.
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace veldrane::host
