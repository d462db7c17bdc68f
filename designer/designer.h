// The designer: one integration document served to a browser on the
// loopback interface, drawn and edited through the library's own designer
// window model (see design_session.h).
//
// Who may talk to it: only this machine (the server listens on 127.0.0.1),
// only through the address it prints (every request carries the random
// token of that address, as a query parameter, a header or the cookie the
// page receives), only under the names 127.0.0.1 and localhost (a page
// from elsewhere cannot rebind its own name to us), and only from our own
// page (cross-origin requests are refused). It reads and writes the opened
// document, reads the connection registry, and reads the history folder
// through the command's own reports.
//
// This header is free of the HTTP and JSON libraries, so the command that
// starts the designer needs neither.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace veldrane::designer {

struct DesignerOptions {
  std::string document;                  // the document to open (created from the template when missing)
  int port = 0;                          // 0: any free port
  std::string web_root;                  // folder of the page's files
  std::string executable;                // the `veldrane` command, for check, preview and history
  std::vector<std::string> global_args;  // options given before its subcommand (--home, --connections)
  std::string connection_file;           // the connection registry to offer ("" = none)
  std::string token;                     // "" = a new random token
};

class DesignerServer {
 public:
  // Opens the document on the library thread and binds 127.0.0.1. Throws
  // std::runtime_error when the document does not load or the port is taken.
  explicit DesignerServer(DesignerOptions options);
  ~DesignerServer();
  DesignerServer(const DesignerServer&) = delete;
  DesignerServer& operator=(const DesignerServer&) = delete;

  // The bound port.
  int port() const;
  // The random token every request must carry.
  const std::string& token() const;
  // The address to open: http://127.0.0.1:PORT/?token=...
  std::string Address() const;
  // True while the document has changes that are not saved.
  bool Dirty();

  // Answers requests until Stop; returns false when listening failed.
  bool Serve();
  // Makes Serve return; safe from any thread.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A token of 32 hexadecimal digits from the system's random source.
std::string RandomToken();

// The folder beside the running program where the page's files are
// installed, falling back to the source folder this build was made from.
std::string DefaultWebRoot();

}  // namespace veldrane::designer
