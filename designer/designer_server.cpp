// The designer's HTTP face: the page's files, the JSON requests of its
// gestures and panels, and the run's event stream. Every request passes the
// guard first; everything that touches the document runs on the library
// thread.
#include "designer/designer.h"

#include <fcntl.h>
#include <unistd.h>

#include <httplib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "designer/database_browse.h"
#include "designer/design_session.h"
#include "designer/http_guard.h"
#include "designer/library_thread.h"
#include "designer/run_service.h"

namespace veldrane::designer {

using nlohmann::json;

struct DesignerServer::Impl {
  DesignerOptions options;
  std::string token;
  LibraryThread library;
  std::unique_ptr<DesignSession> session;  // lives on the library thread
  RunService runs;
  httplib::Server server;
  int port = 0;
  std::unique_ptr<HttpGuard> guard;

  explicit Impl(DesignerOptions o)
      : options(std::move(o)),
        token(options.token.empty() ? RandomToken() : options.token),
        runs(options.executable, options.global_args) {}

  void Routes();
  void Tools();
  // Answers a gesture: the library's message (refusals are answered 200,
  // they are the library's word, not a failed request) and the new state.
  void Gesture(httplib::Response& res, const std::function<std::string(DesignSession&)>& gesture);
  // Saves first when the document has changes: check, preview and run read
  // the document from its file, as the command does.
  void SaveIfChanged();
};

namespace {

void Json(httplib::Response& res, const json& body, int status = 200) {
  res.status = status;
  // Texts from a document or a database need not be UTF-8; a bad byte is
  // shown as a replacement character rather than failing the answer.
  res.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
}

json Body(const httplib::Request& req) {
  if (req.body.empty()) return json::object();
  json body = json::parse(req.body);  // a parse error is answered 400 by the handler
  if (!body.is_object()) throw std::invalid_argument("the request body is not an object");
  return body;
}

// The step number in the path. Numbers are 16-bit in the library: a larger
// one names no step (rather than wrapping round to one that exists).
int IndexOf(const httplib::Request& req) {
  const std::string digits = req.matches[1].str();
  if (digits.size() > 5 || std::stoi(digits) > 32767) throw Refusal{404, "There is no step " + digits + "."};
  return std::stoi(digits);
}

const char* ContentType(const std::string& file) {
  std::string ext = std::filesystem::path(file).extension().string();
  if (ext == ".js") return "text/javascript";
  if (ext == ".css") return "text/css";
  if (ext == ".svg") return "image/svg+xml";
  if (ext == ".png") return "image/png";
  return "text/html; charset=utf-8";
}

}  // namespace

void DesignerServer::Impl::Gesture(httplib::Response& res, const std::function<std::string(DesignSession&)>& gesture) {
  json out = library.Call([&] {
    std::string message = gesture(*session);
    return json{{"message", message}, {"state", session->State()}};
  });
  Json(res, out);
}

void DesignerServer::Impl::SaveIfChanged() {
  library.Call([&] {
    if (session->dirty()) session->Save();
  });
}

void DesignerServer::Impl::Routes() {
  auto& s = server;
  s.Get("/", [this](const httplib::Request&, httplib::Response& res) {
    std::ifstream in(options.web_root + "/index.html");
    if (!in) return Json(res, {{"error", "the page's files are missing in " + options.web_root}}, 500);
    std::stringstream page;
    page << in.rdbuf();
    res.set_header("Set-Cookie", guard->Cookie());
    res.set_content(page.str(), "text/html; charset=utf-8");
  });
  s.Get("/favicon.ico", [](const httplib::Request&, httplib::Response& res) { res.status = 204; });
  s.Get(R"(/web/([a-z_-]+\.(js|css|png|svg)))", [this](const httplib::Request& req, httplib::Response& res) {
    std::string file = options.web_root + "/" + req.matches[1].str();
    std::ifstream in(file, std::ios::binary);
    if (!in) return Json(res, {{"error", "no such file"}}, 404);
    std::stringstream content;
    content << in.rdbuf();
    res.set_content(content.str(), ContentType(file));
  });

  s.Get("/api/state", [this](const httplib::Request&, httplib::Response& res) {
    Json(res, library.Call([&] { return session->State(); }));
  });
  s.Post("/api/steps", [this](const httplib::Request& req, httplib::Response& res) {
    json b = Body(req);
    Gesture(res, [&](DesignSession& d) {
      return d.AddStep(b.at("type").get<int>(), b.value("x", 0.0f), b.value("y", 0.0f), b.value("caption", ""));
    });
  });
  s.Post(R"(/api/steps/(\d+)/move)", [this](const httplib::Request& req, httplib::Response& res) {
    json b = Body(req);
    Gesture(res, [&](DesignSession& d) { return d.MoveStep(IndexOf(req), b.at("x").get<float>(), b.at("y").get<float>()); });
  });
  s.Post(R"(/api/steps/(\d+)/caption)", [this](const httplib::Request& req, httplib::Response& res) {
    json b = Body(req);
    Gesture(res, [&](DesignSession& d) { return d.CaptionStep(IndexOf(req), b.at("caption").get<std::string>()); });
  });
  s.Post(R"(/api/steps/(\d+)/select)", [this](const httplib::Request& req, httplib::Response& res) {
    Gesture(res, [&](DesignSession& d) { return d.SelectStep(IndexOf(req)); });
  });
  s.Post(R"(/api/steps/(\d+)/insert-at-end)", [this](const httplib::Request& req, httplib::Response& res) {
    Gesture(res, [&](DesignSession& d) { return d.InsertAtEnd(IndexOf(req)); });
  });
  s.Post(R"(/api/steps/(\d+)/delete)", [this](const httplib::Request& req, httplib::Response& res) {
    Gesture(res, [&](DesignSession& d) { return d.RemoveStep(IndexOf(req)); });
  });
  s.Post(R"(/api/steps/(\d+)/payload)", [this](const httplib::Request& req, httplib::Response& res) {
    json b = Body(req);
    Gesture(res, [&](DesignSession& d) { return d.SetPayload(IndexOf(req), b.at("payload")); });
  });
  s.Post("/api/links", [this](const httplib::Request& req, httplib::Response& res) {
    json b = Body(req);
    Gesture(res, [&](DesignSession& d) { return d.AddLink(b.at("from").get<std::string>(), b.at("to").get<std::string>(), ""); });
  });
  s.Post("/api/links/caption", [this](const httplib::Request& req, httplib::Response& res) {
    json b = Body(req);
    Gesture(res, [&](DesignSession& d) {
      return d.CaptionLink(b.at("from").get<std::string>(), b.at("to").get<std::string>(), b.at("caption").get<std::string>());
    });
  });
  s.Post("/api/links/delete", [this](const httplib::Request& req, httplib::Response& res) {
    json b = Body(req);
    Gesture(res, [&](DesignSession& d) { return d.RemoveLinks(b.at("from").get<int>(), b.at("to").get<int>()); });
  });

  s.Post("/api/formulas", [this](const httplib::Request& req, httplib::Response& res) {
    json b = Body(req);
    Gesture(res, [&](DesignSession& d) { return d.AddFormula(b.at("name").get<std::string>(), b.value("text", "")); });
  });
  s.Post("/api/formulas/text", [this](const httplib::Request& req, httplib::Response& res) {
    json b = Body(req);
    Gesture(res, [&](DesignSession& d) { return d.SetFormulaText(b.at("name").get<std::string>(), b.at("text").get<std::string>()); });
  });
  s.Post("/api/formulas/rename", [this](const httplib::Request& req, httplib::Response& res) {
    json b = Body(req);
    Gesture(res, [&](DesignSession& d) { return d.RenameFormula(b.at("name").get<std::string>(), b.at("newName").get<std::string>()); });
  });
  s.Post("/api/formulas/delete", [this](const httplib::Request& req, httplib::Response& res) {
    json b = Body(req);
    Gesture(res, [&](DesignSession& d) { return d.DeleteFormula(b.at("name").get<std::string>()); });
  });
  s.Post("/api/formulas/check", [this](const httplib::Request& req, httplib::Response& res) {
    json b = Body(req);
    Json(res, library.Call([&] { return session->CheckFormula(b.at("text").get<std::string>()); }));
  });
  s.Post("/api/save", [this](const httplib::Request&, httplib::Response& res) {
    Json(res, library.Call([&] {
      session->Save();
      return json{{"message", ""}, {"state", session->State()}};
    }));
  });
}

void DesignerServer::Impl::Tools() {
  auto& s = server;
  s.Get("/api/connections", [this](const httplib::Request&, httplib::Response& res) {
    Json(res, library.Call([&] { return ConnectionList(options.connection_file); }));
  });
  s.Post("/api/db/test", [this](const httplib::Request& req, httplib::Response& res) {
    json b = Body(req);
    Json(res, library.Call([&] { return TestConnection(b.at("connString").get<std::string>()); }));
  });
  s.Post("/api/db/tables", [this](const httplib::Request& req, httplib::Response& res) {
    json b = Body(req);
    Json(res, library.Call([&] { return ListTables(b.at("connString").get<std::string>()); }));
  });
  s.Post("/api/db/columns", [this](const httplib::Request& req, httplib::Response& res) {
    json b = Body(req);
    Json(res, library.Call([&] {
      return ListColumns(b.at("connString").get<std::string>(), b.value("table", ""), b.value("query", ""));
    }));
  });

  s.Post("/api/check", [this](const httplib::Request&, httplib::Response& res) {
    SaveIfChanged();
    auto result = runs.Tool({"check", session->document()}, std::chrono::seconds(120));
    Json(res, {{"status", result.status}, {"output", result.out}});
  });
  s.Post("/api/preview", [this](const httplib::Request& req, httplib::Response& res) {
    json b = Body(req);
    int records = std::clamp(b.value("records", 10), 1, 1000);
    SaveIfChanged();
    auto result = runs.Tool({"preview", session->document(), "--records", std::to_string(records)}, std::chrono::seconds(120));
    Json(res, {{"status", result.status}, {"output", result.out}});
  });
  s.Get("/api/history", [this](const httplib::Request& req, httplib::Response& res) {
    std::string kind = req.get_param_value("kind") == "errors" ? "errors" : "runs";
    auto result = runs.Tool({"history", kind, "--limit", "200", "--json"}, std::chrono::seconds(60));
    try {
      Json(res, {{"rows", json::parse(result.out)}});
    } catch (const json::exception&) {
      Json(res, {{"error", result.out}}, 500);
    }
  });

  s.Post("/api/run", [this](const httplib::Request&, httplib::Response& res) {
    SaveIfChanged();
    int run = runs.Start(session->document());
    if (run == 0) return Json(res, {{"error", "a run is going already"}}, 409);
    Json(res, {{"run", run}});
  });
  s.Post("/api/run/cancel", [this](const httplib::Request&, httplib::Response& res) {
    runs.Cancel();
    Json(res, {{"running", runs.running()}});
  });
  // Server-sent events: one "data:" block per event of the run, then the
  // stream ends with the run.
  s.Get("/api/run/events", [this](const httplib::Request& req, httplib::Response& res) {
    int run = std::stoi(req.has_param("run") ? req.get_param_value("run") : "0");
    auto sent = std::make_shared<size_t>(0);
    res.set_header("X-Accel-Buffering", "no");
    res.set_chunked_content_provider("text/event-stream", [this, run, sent](size_t, httplib::DataSink& sink) {
      bool over = false;
      auto events = runs.EventsFrom(run, *sent, std::chrono::seconds(10), over);
      std::string chunk;
      for (const std::string& e : events) chunk += "id: " + std::to_string(++*sent) + "\ndata: " + e + "\n\n";
      // A comment keeps the connection alive through quiet stretches.
      if (chunk.empty() && !over) chunk = ": waiting\n\n";
      if (!chunk.empty() && !sink.write(chunk.data(), chunk.size())) return false;
      if (over) sink.done();
      return true;
    });
  });
}

DesignerServer::DesignerServer(DesignerOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {
  Impl& d = *impl_;
  try {
    d.library.Call([&] { d.session = std::make_unique<DesignSession>(d.options.document); });
  } catch (const Refusal& refusal) {
    throw std::runtime_error(refusal.message);
  }
  d.port = d.options.port == 0 ? d.server.bind_to_any_port("127.0.0.1")
                               : (d.server.bind_to_port("127.0.0.1", d.options.port) ? d.options.port : -1);
  if (d.port <= 0) throw std::runtime_error("cannot listen on 127.0.0.1 port " + std::to_string(d.options.port));
  d.guard = std::make_unique<HttpGuard>(d.token, d.port);
  d.server.set_payload_max_length(8 << 20);
  // A browser keeps several connections open and a run's event stream holds
  // one for the whole run: enough workers that neither starves a gesture.
  d.server.new_task_queue = [] { return new httplib::ThreadPool(16); };
  d.server.set_keep_alive_timeout(2);
  d.server.set_pre_routing_handler([&d](const httplib::Request& req, httplib::Response& res) {
    HttpGuard::Harden(res);
    int status = 403;
    std::string why = d.guard->Refuse(req, status);
    if (why.empty()) return httplib::Server::HandlerResponse::Unhandled;
    Json(res, {{"error", why}}, status);
    return httplib::Server::HandlerResponse::Handled;
  });
  d.server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr ep) {
    try {
      std::rethrow_exception(ep);
    } catch (const Refusal& refusal) {
      Json(res, {{"error", refusal.message}}, refusal.status);
    } catch (const json::exception& error) {
      Json(res, {{"error", std::string("bad request: ") + error.what()}}, 400);
    } catch (const std::invalid_argument& error) {
      Json(res, {{"error", std::string("bad request: ") + error.what()}}, 400);
    } catch (const std::exception& error) {
      Json(res, {{"error", error.what()}}, 500);
    }
  });
  d.Routes();
  d.Tools();
}

DesignerServer::~DesignerServer() {
  Stop();
  // The session belongs to the library thread; it is released there.
  impl_->library.Call([&] { impl_->session.reset(); });
}

int DesignerServer::port() const { return impl_->port; }
const std::string& DesignerServer::token() const { return impl_->token; }
std::string DesignerServer::Address() const {
  return "http://127.0.0.1:" + std::to_string(impl_->port) + "/?token=" + impl_->token;
}
bool DesignerServer::Dirty() {
  return impl_->library.Call([&] { return impl_->session->dirty(); });
}
bool DesignerServer::Serve() { return impl_->server.listen_after_bind(); }
void DesignerServer::Stop() { impl_->server.stop(); }

std::string RandomToken() {
  unsigned char bytes[16];
  int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0 || ::read(fd, bytes, sizeof bytes) != static_cast<ssize_t>(sizeof bytes)) {
    if (fd >= 0) ::close(fd);
    throw std::runtime_error("cannot read the system's random source");
  }
  ::close(fd);
  std::string token;
  char hex[3];
  for (unsigned char b : bytes) {
    std::snprintf(hex, sizeof hex, "%02x", b);
    token += hex;
  }
  return token;
}

std::string DefaultWebRoot() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    auto beside = exe.parent_path() / "designer-web";
    if (std::filesystem::exists(beside / "index.html", ec)) return beside.string();
  }
#ifdef VELDRANE_DESIGNER_SOURCE_WEB
  return VELDRANE_DESIGNER_SOURCE_WEB;
#else
  return (exe.parent_path() / "designer-web").string();
#endif
}

}  // namespace veldrane::designer
