// Helpers shared by the database layer's tests: a temporary folder removed
// afterwards, and a check that a call raises a given error number.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "core/vb_error.h"
#include "platform/db/ado.h"

namespace veldrane::ado::testing {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "veldrane-db-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Runs `f` and returns the VbError it raised; fails the test when it raised none.
inline VbError Raised(const std::function<void()>& f) {
  try {
    f();
  } catch (const VbError& e) {
    return e;
  }
  ADD_FAILURE() << "no error was raised";
  return VbError(0, "none");
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

}  // namespace veldrane::ado::testing
