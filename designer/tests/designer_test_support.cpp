#include "designer/tests/designer_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/host/library_folder.h"

namespace veldrane::designer::test {

Designer::Designer(const cli::test::TempDir& folder, const std::string& document) : home_(folder / "home") {
  std::filesystem::create_directories(home_);
  // The run writes its history where the library's registry says: the
  // environment's installation folder, the same home the reports read.
  ::setenv("VELDRANE_HOME", home_.c_str(), 1);
  // Texts translated for the first time are recorded beside the library:
  // the server here and the runs it starts use a copy of the build's.
  ::setenv("LD_LIBRARY_PATH", cli::test::LibraryCopy().c_str(), 1);
  host::SetLibraryFolder(cli::test::LibraryCopy());
  DesignerOptions options;
  options.document = document;
  options.web_root = DefaultWebRoot();
  options.executable = VELDRANE_CLI_PATH;
  options.connection_file = folder / "connections.cnn";
  options.global_args = {"--home", home_, "--connections", options.connection_file};
  server_ = std::make_unique<DesignerServer>(options);
  serving_ = std::thread([this] { server_->Serve(); });
  // Serve binds nothing new: the socket listens from the constructor on,
  // so requests queue until the accept loop runs.
}

Designer::~Designer() {
  server_->Stop();
  serving_.join();
}

httplib::Client Designer::Bare() const {
  httplib::Client client("127.0.0.1", port());
  client.set_read_timeout(60, 0);
  return client;
}

json Designer::Get(const std::string& path, int expect_status) {
  auto client = Bare();
  auto res = client.Get(path.c_str(), {{"X-Veldrane-Token", token()}});
  EXPECT_TRUE(res) << path;
  if (!res) return json();
  EXPECT_EQ(res->status, expect_status) << path << ": " << res->body;
  return json::parse(res->body, nullptr, false);
}

json Designer::Post(const std::string& path, const json& body, int expect_status) {
  auto client = Bare();
  auto res = client.Post(path.c_str(), {{"X-Veldrane-Token", token()}}, body.dump(), "application/json");
  EXPECT_TRUE(res) << path;
  if (!res) return json();
  EXPECT_EQ(res->status, expect_status) << path << ": " << res->body;
  return json::parse(res->body, nullptr, false);
}

json Control(const json& state, const std::string& name, int index) {
  for (const json& c : state.at("window")) {
    if (c.at("name") == name && c.at("index") == index) return c;
  }
  return json();
}

json StepByCaption(const json& state, const std::string& caption) {
  for (const json& s : state.at("steps")) {
    if (s.at("caption") == caption) return s;
  }
  return json();
}

}  // namespace veldrane::designer::test
