// Adding rows at the end of a persisted file in place. A table that only
// grows (the execution log gains a row per failed record) would otherwise be
// read and written whole for every batch, and a run failing many records
// would spend its time, and the disk, on rewriting rows already stored.
//
// The rows go where the file's ending ("</rs:data>" and "</xml>") stood, and
// the ending follows them. Before the file is touched, a journal beside it
// records where the ending stood and what it was; the journal goes once the
// new rows and ending are on disk. A crash in between leaves the journal,
// and the next writer (under the table's lock) puts the old ending back and
// cuts what follows: the table is as it was before the interrupted append.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/db/persist_xml.h"

namespace veldrane::ado {

namespace {

constexpr std::string_view kJournalMagic = "veldrane-append ";
constexpr size_t kHeadLimit = 1 << 16;  // a schema far longer than a history table's

VbError WriteFailure(const std::string& path, const char* step, int err) {
  return VbError(vberr::kFileNotOpened,
                 "File could not be opened. ('" + path + "': " + step + ": " + std::strerror(err) + ")", "MSPersist");
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_;
};

bool PreadAll(int fd, std::string& out, size_t size, off_t offset) {
  out.resize(size);
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd, out.data() + done, size - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool PwriteAll(int fd, std::string_view data, off_t offset) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::pwrite(fd, data.data() + done, data.size() - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// True when the schema at the head of the file describes `columns`.
bool SameColumns(const std::string& head, const std::vector<ColumnInfo>& columns, const std::string& path) {
  size_t data = head.find("<rs:data");
  if (data == std::string::npos) return false;
  try {
    PersistedTable table = ParsePersisted(head.substr(0, data) + std::string(kEmptyDataEnd), path);
    if (table.columns.size() != columns.size()) return false;
    for (size_t i = 0; i < columns.size(); ++i) {
      const ColumnInfo& a = table.columns[i];
      const ColumnInfo& b = columns[i];
      if (a.name != b.name || a.type != b.type) return false;
      // The file gives a number's or a date's storage size, not the size it
      // was made with; a text's width is its own, and decides its padding.
      bool sized = a.type == adChar || a.type == adWChar || a.type == adVarChar || a.type == adVarWChar ||
                   a.type == adLongVarChar || a.type == adLongVarWChar;
      if (sized && a.defined_size != b.defined_size) return false;
    }
    return true;
  } catch (const VbError&) {
    // A head we cannot read is not one we may extend: the caller rewrites.
    return false;
  }
}

std::string JournalPath(const std::string& path) { return path + ".append"; }

void SyncFolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

}  // namespace

void RecoverPersistedAppend(const std::string& path) {
  std::string journal_path = JournalPath(path);
  Fd journal(::open(journal_path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!journal) return;
  struct stat st {};
  std::string text;
  if (::fstat(journal.get(), &st) != 0 || !PreadAll(journal.get(), text, static_cast<size_t>(st.st_size), 0)) {
    throw WriteFailure(journal_path, "cannot read", errno);
  }
  // "veldrane-append <offset> <length>\n<ending>"; a journal cut short was
  // never followed by a change to the table, which is then as it was.
  size_t line_end = text.find('\n');
  long long offset = -1;
  size_t length = 0;
  if (text.rfind(kJournalMagic, 0) == 0 && line_end != std::string::npos &&
      std::sscanf(text.c_str() + kJournalMagic.size(), "%lld %zu", &offset, &length) == 2 && offset >= 0 &&
      text.size() == line_end + 1 + length) {
    Fd table(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (!table) throw WriteFailure(path, "cannot open", errno);
    std::string_view ending(text.data() + line_end + 1, length);
    if (!PwriteAll(table.get(), ending, offset) || ::ftruncate(table.get(), offset + static_cast<off_t>(length)) != 0 ||
        ::fsync(table.get()) != 0) {
      throw WriteFailure(path, "cannot restore after an interrupted append", errno);
    }
  }
  ::unlink(journal_path.c_str());
  SyncFolderOf(path);
}

bool AppendPersistedRows(const std::string& path, const std::vector<ColumnInfo>& columns,
                         const std::vector<const Variant*>& rows) {
  RecoverPersistedAppend(path);
  Fd table(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
  if (!table) return false;
  struct stat st {};
  if (::fstat(table.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  size_t size = static_cast<size_t>(st.st_size);
  std::string head, tail;
  size_t tail_size = std::min<size_t>(size, 64);
  if (!PreadAll(table.get(), head, std::min(size, kHeadLimit), 0) ||
      !PreadAll(table.get(), tail, tail_size, static_cast<off_t>(size - tail_size))) {
    return false;
  }
  std::string_view old_ending;
  if (EndsWith(tail, kDataEnd)) {
    old_ending = kDataEnd;
  } else if (EndsWith(tail, kEmptyDataEnd)) {
    old_ending = kEmptyDataEnd;
  } else {
    return false;
  }
  if (!SameColumns(head, columns, path)) return false;
  if (rows.empty()) return true;

  off_t offset = static_cast<off_t>(size - old_ending.size());
  std::string journal_text = std::string(kJournalMagic) + std::to_string(offset) + " " +
                             std::to_string(old_ending.size()) + "\n" + std::string(old_ending);
  std::string journal_path = JournalPath(path);
  {
    Fd journal(::open(journal_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!journal) throw WriteFailure(journal_path, "cannot create", errno);
    if (!PwriteAll(journal.get(), journal_text, 0) || ::fsync(journal.get()) != 0) {
      int err = errno;
      ::unlink(journal_path.c_str());
      throw WriteFailure(journal_path, "cannot write", err);
    }
  }
  SyncFolderOf(path);

  std::string added = old_ending == kEmptyDataEnd ? "<rs:data>\n" : "";
  added += FormatPersistedRows(columns, rows);
  added += kDataEnd;
  if (!PwriteAll(table.get(), added, offset) || ::fsync(table.get()) != 0) {
    int err = errno;
    RecoverPersistedAppend(path);  // the table as it was
    throw WriteFailure(path, "cannot append", err);
  }
  ::unlink(journal_path.c_str());
  return true;
}

}  // namespace veldrane::ado
