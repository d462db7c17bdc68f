#include "platform/db/odbc_api.h"

#include <dlfcn.h>
#include <link.h>

#include <cstring>

#include "core/text.h"
#include "platform/db/odbc_connect.h"

namespace veldrane::ado {

namespace {

std::string TrimText(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\n' || s.back() == '\r' || s.back() == '\t')) s.pop_back();
  size_t start = s.find_first_not_of(" \n\r\t");
  return start == std::string::npos ? std::string() : s.substr(start);
}

}  // namespace

WideString ToWide(std::string_view s) {
  WideString out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    uint32_t cp = 0xFFFD;
    size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c >> 5) == 0x6) {
      len = 2;
    } else if ((c >> 4) == 0xE) {
      len = 3;
    } else if ((c >> 3) == 0x1E) {
      len = 4;
    }
    if (len > 1) {
      bool ok = i + len <= s.size();
      uint32_t v = c & (0xFF >> (len + 1));
      for (size_t k = 1; ok && k < len; ++k) {
        unsigned char cc = static_cast<unsigned char>(s[i + k]);
        ok = (cc & 0xC0) == 0x80;
        v = (v << 6) | (cc & 0x3F);
      }
      if (ok) {
        cp = v;
      } else {
        len = 1;
      }
    }
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<SQLWCHAR>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<SQLWCHAR>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<SQLWCHAR>(cp));
    }
  }
  return out;
}

std::string FromWide(const SQLWCHAR* text, size_t units) {
  std::string out;
  out.reserve(units);
  for (size_t i = 0; i < units; ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < units && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD;  // a lone surrogate
    }
    AppendUtf8(out, cp);
  }
  return out;
}

OdbcDiagnostics ReadDiagnostics(SQLSMALLINT handle_type, SQLHANDLE handle) {
  OdbcDiagnostics d;
  for (SQLSMALLINT record = 1; record < 20; ++record) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLWCHAR message[2048];
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRecW(handle_type, handle, record, state, &native, message,
                                  static_cast<SQLSMALLINT>(std::size(message)), &length);
    if (!Succeeded(rc)) break;
    size_t units = std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)), std::size(message) - 1);
    std::string text = TrimText(FromWide(message, units));
    if (record == 1) {
      d.state = FromWide(state, 5);
      d.native = native;
    }
    if (text.empty() || d.message.find(text) != std::string::npos) continue;
    if (!d.message.empty()) d.message += "; ";
    d.message += text;
  }
  return d;
}

VbError OdbcFailure(const OdbcDiagnostics& d, std::string_view source, std::string_view secret, std::string_view what) {
  std::string message = d.message.empty() ? std::string(what.empty() ? "the ODBC call failed" : what) : d.message;
  if (!d.state.empty()) {
    message += " (SQLSTATE " + d.state;
    if (d.native != 0) message += ", native error " + std::to_string(d.native);
    message += ")";
  }
  int32_t number = d.state.starts_with("23") ? vberr::kProviderIntegrityViolation : vberr::kProviderCommandError;
  return VbError(number, ScrubSecret(std::move(message), secret), std::string(source));
}

VbError OdbcFailure(SQLSMALLINT handle_type, SQLHANDLE handle, std::string_view source, std::string_view secret,
                    std::string_view what) {
  return OdbcFailure(ReadDiagnostics(handle_type, handle), source, secret, what);
}

bool DriverHasWideCalls(SQLHDBC dbc) {
  SQLCHAR name[512] = {};
  SQLSMALLINT length = 0;
  if (!Succeeded(SQLGetInfo(dbc, SQL_DRIVER_NAME, name, sizeof name, &length))) return true;
  // The driver manager loaded the library by its full path; find it among
  // the loaded objects by the file name the driver reports.
  struct Search {
    std::string file;
    std::string path;
  } search{reinterpret_cast<char*>(name), {}};
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        auto* s = static_cast<Search*>(data);
        std::string_view path = info->dlpi_name ? info->dlpi_name : "";
        // Drivers do not all report their file name exactly as it is
        // installed ("sqlite3odbc.so" for libsqlite3odbc.so).
        std::string_view base = path.substr(path.find_last_of('/') == std::string_view::npos ? 0 : path.find_last_of('/') + 1);
        if (!base.empty() && (base == s->file || (base.starts_with("lib") && base.substr(3) == s->file))) {
          s->path = std::string(path);
          return 1;
        }
        return 0;
      },
      &search);
  if (search.path.empty()) return true;  // not found: assume a Unicode driver, as most are
  void* lib = dlopen(search.path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (!lib) return true;
  bool wide = dlsym(lib, "SQLExecDirectW") != nullptr;
  dlclose(lib);
  return wide;
}

OdbcStatement::OdbcStatement(SQLHDBC dbc, std::string_view source) {
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &h_))) {
    h_ = SQL_NULL_HSTMT;
    throw OdbcFailure(SQL_HANDLE_DBC, dbc, source, {}, "no statement could be made on the connection");
  }
}

void OdbcStatement::Reset() {
  if (h_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, h_);
  h_ = SQL_NULL_HSTMT;
}

}  // namespace veldrane::ado
