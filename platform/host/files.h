// The few file operations the library performs itself: appending a log text,
// deleting a table file, setting a damaged file aside, holding the advisory
// lock under which a table is read, extended and saved, and the one way every
// file we rewrite whole (tables, documents, connections.cnn, drawings) is
// replaced. Failures raise VbError with the platform's file error numbers and
// name the file concerned.
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

// Replaces the content of the file at `path` atomically: the text goes to a
// temporary file beside the target, reaches the disk, and is renamed over it,
// so that a reader or a crash sees the old content or the new, never half.
// A symbolic link is followed to the file it names, which is replaced while
// the link stays. The file keeps its mode, and its owner and group where the
// process may set them (a connection file kept private stays private); a new
// file gets 0666 less the umask. Temporary files that a killed writer left
// beside the target are removed first (only those no live writer holds).
// Raises 75 naming the file when it cannot be written (61 for a full disk).
void ReplaceFileAtomically(const std::string& path, std::string_view content);

// The file a write to `path` lands in: `path` itself, or the end of its chain
// of symbolic links (which need not exist yet). Raises 75 for a loop.
std::string ResolveLinks(const std::string& path);

// Removes the temporary files that writers of `path` left when they were
// killed: ".<name>.tmp-XXXXXX", and the older ".<name>.XXXXXX" when it holds
// a persisted table. A file younger than a minute, or one a live writer
// still holds locked, is left alone. Returns how many were removed.
int RemoveStaleTemporaries(const std::string& path);

// An exclusive advisory lock on "<path>.lock", held for the object's life.
// It serialises read-modify-save cycles on one file between objects and
// between processes; it does not stop a writer that does not take it. The
// lock file is left in place: removing it would let two holders lock two
// different files. Taking the lock again in the same thread while it is held
// (a recovery path inside a locked cycle) shares the held lock instead of
// waiting for itself. Raises 75 when the lock file cannot be opened.
class FileLock {
 public:
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  std::string lock_path_;  // "<path>.lock", the key of the thread's held locks
};

}  // namespace veldrane::host
