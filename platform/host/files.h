// The few file operations the library performs itself: appending a log text,
// deleting a table file, setting a damaged file aside, and holding the
// advisory lock under which a table is read, extended and saved.
//
// Whole-file rewrites are not here: the database layer and the XML document
// save their files atomically themselves. Failures raise VbError with the
// platform's file error numbers and name the file concerned.
#pragma once

#include <string>
#include <string_view>

namespace veldrane::host {

// Appends `text` to the file at `path`, creating it when missing; existing
// content stays. Raises 75 (path/file access) when the name is empty or the
// file cannot be opened or written, 76 when its folder does not exist.
void AppendTextFile(const std::string& path, std::string_view text);

// Deletes the file at `path`. Raises 53 (file not found) when there is no
// such file, 70 (permission denied) when it cannot be removed.
void DeleteFile(const std::string& path);

// True when something exists at `path`.
bool FileExists(const std::string& path);

// Renames the file at `path` beside itself as "<path>.damaged-<yyyymmdd-hhnnss>"
// (with "-2", "-3"... when that name is taken) and returns the new path, so
// that a file we cannot read is never overwritten. Raises 75 when the rename
// fails.
std::string SetAsideFile(const std::string& path);

// An exclusive advisory lock on "<path>.lock", held for the object's life.
// It serialises read-modify-save cycles on one file between objects and
// between processes; it does not stop a writer that does not take it. The
// lock file is left in place: removing it would let two holders lock two
// different files. Raises 75 when the lock file cannot be opened.
class FileLock {
 public:
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_ = -1;  // open lock file, flock'ed exclusively
};

}  // namespace veldrane::host
