#include "designer/http_guard.h"

#include <httplib.h>

namespace veldrane::designer {

namespace {

std::string CookieValue(const std::string& header, const std::string& name) {
  size_t at = 0;
  while (at < header.size()) {
    size_t end = header.find(';', at);
    if (end == std::string::npos) end = header.size();
    std::string part = header.substr(at, end - at);
    size_t start = part.find_first_not_of(' ');
    if (start != std::string::npos) part = part.substr(start);
    if (part.size() > name.size() && part.compare(0, name.size(), name) == 0 && part[name.size()] == '=') {
      return part.substr(name.size() + 1);
    }
    at = end + 1;
  }
  return {};
}

}  // namespace

bool SameSecret(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  unsigned char diff = 0;
  for (size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

static bool HostIsOurs(const std::string& host, int port) {
  std::string suffix = ":" + std::to_string(port);
  return host == "127.0.0.1" + suffix || host == "localhost" + suffix;
}

bool HttpGuard::HostIsOurs(const std::string& host) const { return designer::HostIsOurs(host, port_); }

bool HttpGuard::OriginIsOurs(const std::string& origin) const {
  const std::string scheme = "http://";
  return origin.compare(0, scheme.size(), scheme) == 0 && HostIsOurs(origin.substr(scheme.size()));
}

std::string HttpGuard::Refuse(const httplib::Request& request, int& status) const {
  status = 403;
  if (!HostIsOurs(request.get_header_value("Host"))) {
    status = 421;
    return "this designer answers only to 127.0.0.1 and localhost on its own port";
  }
  if (request.has_header("Origin") && !OriginIsOurs(request.get_header_value("Origin"))) {
    return "requests from other origins are refused";
  }
  // Browsers say where a request comes from even when they leave Origin out.
  if (request.has_header("Sec-Fetch-Site")) {
    std::string site = request.get_header_value("Sec-Fetch-Site");
    if (site != "same-origin" && site != "none") return "requests from other sites are refused";
  }
  std::string header = request.get_header_value("X-Veldrane-Token");
  bool changes = request.method != "GET" && request.method != "HEAD";
  if (changes) {
    if (!SameSecret(header, token_)) return "missing or wrong token";
    return {};
  }
  if (SameSecret(header, token_) || SameSecret(request.get_param_value("token"), token_) ||
      SameSecret(CookieValue(request.get_header_value("Cookie"), "veldrane_" + std::to_string(port_)), token_)) {
    return {};
  }
  return "missing or wrong token";
}

std::string HttpGuard::Cookie() const {
  return "veldrane_" + std::to_string(port_) + "=" + token_ + "; Path=/; HttpOnly; SameSite=Strict";
}

void HttpGuard::Harden(httplib::Response& response) {
  response.set_header("Cache-Control", "no-store");
  response.set_header("X-Content-Type-Options", "nosniff");
  response.set_header("X-Frame-Options", "DENY");
  response.set_header("Referrer-Policy", "no-referrer");
  response.set_header("Content-Security-Policy",
                      "default-src 'self'; img-src 'self' data:; style-src 'self'; frame-ancestors 'none'");
}

}  // namespace veldrane::designer
