#include "platform/host/files.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/vb_error.h"

namespace veldrane::host {
namespace {

namespace fs = std::filesystem;

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "veldrane-host-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempFolder() { fs::remove_all(path_); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

int ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const VbError& e) {
    return e.number();
  }
  return 0;
}

TEST(AppendTextFile, CreatesThenAppendsAndNamesTheFileOnFailure) {
  TempFolder dir;
  std::string path = dir / "run.log";
  AppendTextFile(path, "one\r\n");
  AppendTextFile(path, "two\r\n");
  EXPECT_EQ(ReadFile(path), "one\r\ntwo\r\n");

  EXPECT_EQ(ErrorOf([] { AppendTextFile("", "x"); }), 75);
  std::string missing = dir / "no/such/folder.log";
  try {
    AppendTextFile(missing, "x");
    FAIL() << "expected a failure";
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), 76);
    EXPECT_NE(e.description().find(missing), std::string::npos) << e.description();
  }
}

TEST(DeleteFile, RemovesAFileAndFailsWhenItIsMissing) {
  TempFolder dir;
  std::string path = dir / "t.xml";
  AppendTextFile(path, "x");
  DeleteFile(path);
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(ErrorOf([&] { DeleteFile(path); }), 53);
}

TEST(SetAsideFile, KeepsTheContentUnderAFreshName) {
  TempFolder dir;
  std::string path = dir / "executeddata.xml";
  AppendTextFile(path, "first");
  std::string first = SetAsideFile(path);
  AppendTextFile(path, "second");
  std::string second = SetAsideFile(path);
  EXPECT_FALSE(FileExists(path));
  EXPECT_NE(first, second);
  EXPECT_EQ(first.rfind(path + ".damaged-", 0), 0u) << first;
  EXPECT_EQ(ReadFile(first), "first");
  EXPECT_EQ(ReadFile(second), "second");
}

TEST(FileLock, SerialisesReadModifyWriteCycles) {
  TempFolder dir;
  std::string path = dir / "counter";
  AppendTextFile(path, "0");
  auto bump = [&] {
    for (int i = 0; i < 200; ++i) {
      FileLock lock(path);
      int value = std::stoi(ReadFile(path));
      std::this_thread::yield();
      std::ofstream(path, std::ios::trunc) << value + 1;
    }
  };
  std::thread a(bump), b(bump), c(bump);
  a.join();
  b.join();
  c.join();
  EXPECT_EQ(ReadFile(path), "600");
  EXPECT_TRUE(FileExists(path + ".lock"));
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

// Makes `path` look as old as a file a killed writer left an hour ago.
void AgeFile(const std::string& path) {
  struct timespec times[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

TEST(ReplaceFileAtomically, KeepsTheModeOfAPrivateFileAndGivesNewFilesTheUsualOne) {
  TempFolder dir;
  std::string secret = dir / "connections.cnn";
  AppendTextFile(secret, "old");
  ::chmod(secret.c_str(), 0600);
  ReplaceFileAtomically(secret, "new");
  EXPECT_EQ(ReadFile(secret), "new");
  EXPECT_EQ(ModeOf(secret), 0600u);

  mode_t mask = ::umask(022);
  std::string fresh = dir / "fresh.xml";
  ReplaceFileAtomically(fresh, "x");
  ::umask(mask);
  EXPECT_EQ(ModeOf(fresh), 0644u);
}

TEST(ReplaceFileAtomically, WritesThroughSymbolicLinksToTheirTarget) {
  TempFolder dir;
  fs::create_directories(dir / "real");
  std::string real = dir / "real/doc.xml";
  AppendTextFile(real, "old");
  ::chmod(real.c_str(), 0640);
  // A relative link, and a link to that link.
  fs::create_symlink("real/doc.xml", dir / "link.xml");
  fs::create_symlink(dir / "link.xml", dir / "link2.xml");
  ReplaceFileAtomically(dir / "link2.xml", "new");
  EXPECT_TRUE(fs::is_symlink(dir / "link.xml"));
  EXPECT_TRUE(fs::is_symlink(dir / "link2.xml"));
  EXPECT_EQ(ReadFile(real), "new");
  EXPECT_EQ(ModeOf(real), 0640u);
  // No temporary file is left in the link's folder or in the target's.
  for (const auto& entry : fs::directory_iterator(dir.path() + "/real")) {
    EXPECT_EQ(entry.path().filename(), "doc.xml");
  }

  fs::create_symlink("a", dir / "b");
  fs::create_symlink("b", dir / "a");
  EXPECT_EQ(ErrorOf([&] { ReplaceFileAtomically(dir / "a", "x"); }), 75);
}

TEST(ReplaceFileAtomically, RemovesTemporariesThatKilledWritersLeft) {
  TempFolder dir;
  std::string table = dir / "executeddata.xml";
  AppendTextFile(table, "<xml xmlns:s='x'/>");
  std::string old_style = dir / ".executeddata.xml.Ab3xZ9";   // as the table writer named them
  std::string new_style = dir / ".executeddata.xml.tmp-Qw12Er";
  std::string young = dir / ".executeddata.xml.tmp-Yo0ung";
  std::string busy = dir / ".executeddata.xml.tmp-Bu5syy";
  std::string users = dir / ".executeddata.xml.backup";      // not a table: the user's own
  for (const auto& f : {old_style, new_style, busy}) {
    AppendTextFile(f, "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'");
    AgeFile(f);
  }
  AppendTextFile(young, "<xml xmlns:s=");
  AppendTextFile(users, "my notes");
  AgeFile(users);
  // A writer still working holds its temporary file locked.
  int held = ::open(busy.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);

  ReplaceFileAtomically(table, "rows");
  EXPECT_FALSE(FileExists(old_style));
  EXPECT_FALSE(FileExists(new_style));
  EXPECT_TRUE(FileExists(young));
  EXPECT_TRUE(FileExists(busy));
  EXPECT_TRUE(FileExists(users));
  ::close(held);
  EXPECT_EQ(ReadFile(table), "rows");
}

TEST(FileLock, ASecondLockOnTheSameFileInOneThreadDoesNotWaitForTheFirst) {
  TempFolder dir;
  std::string path = dir / "executeddata.xml";
  {
    FileLock outer(path);
    FileLock inner(path);  // used to wait for ever
  }
  // Released: another thread takes it at once.
  std::thread other([&] { FileLock again(path); });
  other.join();
}

}  // namespace
}  // namespace veldrane::host
