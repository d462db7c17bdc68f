#include "platform/host/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <algorithm>
#include <cctype>
#include <map>

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

namespace {

// Locks this thread holds: a nested FileLock on the same file shares the
// descriptor, since flock would make a second descriptor wait for the first.
struct HeldLock {
  int fd;
  int count;
};
thread_local std::map<std::string, HeldLock> held_locks;

constexpr int kMaxLinks = 40;          // as the kernel's own limit on a chain
constexpr time_t kStaleAfterSeconds = 60;
constexpr std::string_view kTempInfix = ".tmp-";

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsTempSuffix(std::string_view suffix) {
  if (suffix.size() != 6) return false;
  for (char c : suffix) {
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

bool StartsWith(const std::string& path, std::string_view prefix) {
  char buffer[64] = {};
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  ssize_t n = ::read(fd, buffer, std::min(prefix.size(), sizeof buffer));
  ::close(fd);
  return n == static_cast<ssize_t>(prefix.size()) && std::string_view(buffer, n) == prefix;
}

// Writes all of `content` to `fd`; false with errno set on failure.
bool WriteAll(int fd, std::string_view content) {
  size_t written = 0;
  while (written < content.size()) {
    ssize_t n = ::write(fd, content.data() + written, content.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    written += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string ResolveLinks(const std::string& path) {
  std::string current = path;
  for (int hops = 0; hops < kMaxLinks; ++hops) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
    if (n < 0) {
      int err = errno;
      throw FileError(75, path, err);
    }
    target.resize(static_cast<size_t>(n));
    // A relative link is relative to the folder that holds the link.
    current = target.front() == '/' ? target : FolderOf(current) + "/" + target;
  }
  throw FileError(75, path, ELOOP);
}

int RemoveStaleTemporaries(const std::string& path) {
  std::string folder = FolderOf(path);
  std::string prefix = "." + NameOf(path) + ".";
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return 0;
  int removed = 0;
  time_t now = std::time(nullptr);
  while (dirent* entry = ::readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) continue;
    std::string_view rest = name.substr(prefix.size());
    std::string full = folder + "/" + std::string(name);
    bool ours = rest.size() == kTempInfix.size() - 1 + 6 && rest.substr(0, 4) == kTempInfix.substr(1) &&
                IsTempSuffix(rest.substr(4));
    // The table writer used to name its files without the "tmp-"; such a
    // name may also be a user's own file, so only a table's text goes.
    if (!ours && !(IsTempSuffix(rest) && StartsWith(full, "<xml xmlns:s="))) continue;
    struct stat st {};
    if (::lstat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (now - st.st_mtime < kStaleAfterSeconds) continue;
    // A live writer holds its temporary file locked until it is renamed.
    int fd = ::open(full.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(full.c_str()) == 0) ++removed;
    ::close(fd);
  }
  ::closedir(dir);
  return removed;
}

void ReplaceFileAtomically(const std::string& path, std::string_view content) {
  if (path.empty()) throw FileError(75, path);
  std::string target = ResolveLinks(path);
  RemoveStaleTemporaries(target);
  std::string temp = FolderOf(target) + "/." + NameOf(target) + std::string(kTempInfix) + "XXXXXX";
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    int err = errno;
    throw FileError(OpenErrorNumber(err), target, err);
  }
  // Held until the rename, so that a cleaner never takes a file being written.
  ::flock(fd, LOCK_EX);
  auto fail = [&](int err) -> VbError {
    ::close(fd);
    ::unlink(temp.c_str());
    return FileError(err == ENOSPC ? 61 : 75, target, err);
  };
  if (!WriteAll(fd, content)) throw fail(errno);
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    // The owner first: changing it may clear set-id bits that the mode restores.
    // Only root may give a file away; anyone else keeps their own ownership.
    if (::fchown(fd, st.st_uid, st.st_gid) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
    ::fchmod(fd, st.st_mode & 07777);
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
  }
  if (::fsync(fd) != 0) throw fail(errno);
  if (::rename(temp.c_str(), target.c_str()) != 0) throw fail(errno);
  ::close(fd);
  int dir_fd = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd >= 0) {
    ::fsync(dir_fd);  // the rename itself reaches the disk
    ::close(dir_fd);
  }
}

FileLock::FileLock(const std::string& path) : lock_path_(path + ".lock") {
  auto held = held_locks.find(lock_path_);
  if (held != held_locks.end()) {
    ++held->second.count;
    return;
  }
  int fd = ::open(lock_path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    int err = errno;
    throw FileError(OpenErrorNumber(err), lock_path_, err);
  }
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    int err = errno;
    ::close(fd);
    throw FileError(75, lock_path_, err);
  }
  held_locks[lock_path_] = HeldLock{fd, 1};
}

FileLock::~FileLock() {
  auto held = held_locks.find(lock_path_);
  if (held == held_locks.end() || --held->second.count > 0) return;
  // Closing the descriptor releases the lock.
  ::close(held->second.fd);
  held_locks.erase(held);
}

}  // namespace veldrane::host
