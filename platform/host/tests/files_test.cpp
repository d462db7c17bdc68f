#include "platform/host/files.h"

#include <gtest/gtest.h>
#include <stdlib.h>

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

}  // namespace
}  // namespace veldrane::host
