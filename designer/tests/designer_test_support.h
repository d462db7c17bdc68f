// What the designer's API tests share: a designer server on the loopback
// interface for one document in a throw-away folder (with its own home
// folder and connection file), and a real HTTP client that speaks to it as
// the page does.
#pragma once

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <thread>

#include "cli/tests/cli_harness.h"
#include "designer/designer.h"

namespace veldrane::designer::test {

using nlohmann::json;

class Designer {
 public:
  // Serves `document` (a path inside `folder`) on a free port.
  Designer(const cli::test::TempDir& folder, const std::string& document);
  ~Designer();

  // A client with the Host the page would send and no token.
  httplib::Client Bare() const;
  // GET with the token in the header; the parsed JSON answer.
  json Get(const std::string& path, int expect_status = 200);
  // POST with the token header and a JSON body; the parsed JSON answer.
  json Post(const std::string& path, const json& body = json::object(), int expect_status = 200);

  // The current state as the page reads it.
  json State() { return Get("/api/state"); }
  int port() const { return server_->port(); }
  const std::string& token() const { return server_->token(); }
  const std::string& home() const { return home_; }

 private:
  std::string home_;
  std::unique_ptr<DesignerServer> server_;
  std::thread serving_;
};

// The window control `name`(`index`) in a state, or null json when the
// window shows none.
json Control(const json& state, const std::string& name, int index);
// The step captioned `caption` in a state, or null json.
json StepByCaption(const json& state, const std::string& caption);

}  // namespace veldrane::designer::test
