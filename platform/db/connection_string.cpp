#include "platform/db/connection_string.h"

#include "core/text.h"
#include "core/vb_error.h"
#include "platform/db/ado.h"

namespace veldrane::ado {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
  return s;
}

[[noreturn]] void Malformed(std::string_view text, size_t pos, std::string_view what) {
  throw VbError(adoerr::kBadConnectionString,
                // The text itself is not repeated: it may hold a password.
                "Malformed connection string: " + std::string(what) + " at position " + std::to_string(pos + 1) +
                    " of " + std::to_string(text.size()),
                "ADODB");
}

}  // namespace

ConnectionString ConnectionString::Parse(std::string_view text) {
  ConnectionString cs;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    // Key: up to "=", or a ";" that ends an empty or key-only segment.
    size_t key_start = i;
    while (i < n && text[i] != '=' && text[i] != ';') ++i;
    std::string_view key = Trim(text.substr(key_start, i - key_start));
    if (i >= n || text[i] == ';') {
      if (!key.empty()) Malformed(text, key_start, "a key without \"=\"");
      ++i;
      continue;
    }
    if (key.empty()) Malformed(text, key_start, "a value without a key");
    ++i;  // past '='
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::string value;
    if (i < n && (text[i] == '"' || text[i] == '\'')) {
      char quote = text[i];
      size_t open = i++;
      bool closed = false;
      while (i < n) {
        if (text[i] == quote) {
          if (i + 1 < n && text[i + 1] == quote) {
            value += quote;
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        value += text[i++];
      }
      if (!closed) Malformed(text, open, "an unterminated quoted value");
      while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
      if (i < n && text[i] != ';') Malformed(text, i, "text after a quoted value");
    } else if (i < n && text[i] == '{') {
      // An ODBC value in braces may hold ";" ("PWD={a;b}", "}}" for "}"):
      // kept with its braces, as the driver manager reads it.
      size_t open = i++;
      bool closed = false;
      while (i < n) {
        if (text[i] == '}') {
          if (i + 1 < n && text[i + 1] == '}') {
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        ++i;
      }
      if (!closed) Malformed(text, open, "an unterminated value in braces");
      value = std::string(text.substr(open, i - open));
      while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
      if (i < n && text[i] != ';') Malformed(text, i, "text after a value in braces");
    } else {
      size_t value_start = i;
      while (i < n && text[i] != ';') ++i;
      value = std::string(Trim(text.substr(value_start, i - value_start)));
    }
    if (i < n) ++i;  // past ';'
    bool replaced = false;
    for (auto& [k, v] : cs.pairs_) {
      if (IEquals(k, key)) {
        v = value;
        replaced = true;
      }
    }
    if (!replaced) cs.pairs_.emplace_back(std::string(key), std::move(value));
  }
  return cs;
}

std::optional<std::string> ConnectionString::Get(std::initializer_list<std::string_view> keys) const {
  for (std::string_view key : keys) {
    for (const auto& [k, v] : pairs_) {
      if (IEquals(k, key)) return v;
    }
  }
  return std::nullopt;
}

std::string ConnectionString::Provider() const { return Get({"Provider"}).value_or(std::string()); }

std::string ProviderNameOf(std::string_view text) {
  try {
    return ConnectionString::Parse(text).Provider();
  } catch (const VbError&) {
    // A malformed string still names its provider when the key is readable;
    // Open reports the malformation itself.
  }
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find(';', pos);
    std::string_view part = text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    size_t eq = part.find('=');
    if (eq != std::string_view::npos && IEquals(Trim(part.substr(0, eq)), "Provider")) {
      return std::string(Trim(part.substr(eq + 1)));
    }
    if (end == std::string_view::npos) break;
    pos = end + 1;
  }
  return {};
}

}  // namespace veldrane::ado
