// The checks every request to the designer passes before it is answered,
// and the headers every answer carries.
//
// A request is answered only when it names us as 127.0.0.1 or localhost on
// our port (a foreign name is a rebinding page), comes from our own origin
// or from no page at all (the browser's address bar, a test's client), and
// carries the token: as a query parameter, the X-Veldrane-Token header, or
// the cookie our page was given. A request that changes anything must
// carry the header itself, which a foreign page cannot send without a
// preflight that we never answer.
#pragma once

#include <string>

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace veldrane::designer {

class HttpGuard {
 public:
  HttpGuard(std::string token, int port) : token_(std::move(token)), port_(port) {}

  // "" when the request may be answered, else why not (and `status` is the
  // answer's status).
  std::string Refuse(const httplib::Request& request, int& status) const;
  // The cookie that lets the page's module and event requests through.
  std::string Cookie() const;
  // Headers every answer carries (no caching, no framing, no referrer).
  static void Harden(httplib::Response& response);

 private:
  bool HostIsOurs(const std::string& host) const;
  bool OriginIsOurs(const std::string& origin) const;

  std::string token_;
  int port_;
};

// True when the two texts are equal, in time that depends on the length only.
bool SameSecret(const std::string& a, const std::string& b);

}  // namespace veldrane::designer
