#include "platform/host/connection_string.h"

#include "core/text.h"

namespace veldrane::host {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string Quote(const std::string& value) {
  // Outer blanks are what the reader trims: tabs as well as spaces.
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  bool needs = value.find_first_of(";'\"") != std::string::npos ||
               (!value.empty() && (blank(value.front()) || blank(value.back())));
  if (!needs) return value;
  if (value.find('"') == std::string::npos) return "\"" + value + "\"";
  if (value.find('\'') == std::string::npos) return "'" + value + "'";
  return "\"" + ReplaceAll(value, "\"", "\"\"") + "\"";
}

}  // namespace

std::vector<ConnectionStringPart> ParseConnectionString(std::string_view text) {
  std::vector<ConnectionStringPart> parts;
  size_t i = 0;
  while (i < text.size()) {
    size_t eq = text.find_first_of("=;", i);
    if (eq == std::string_view::npos || text[eq] == ';') {
      size_t end = eq == std::string_view::npos ? text.size() : eq;
      std::string_view key = Trim(text.substr(i, end - i));
      if (!key.empty()) parts.push_back({std::string(key), std::string()});
      i = end + 1;
      continue;
    }
    ConnectionStringPart part{std::string(Trim(text.substr(i, eq - i))), std::string()};
    size_t j = eq + 1;
    while (j < text.size() && (text[j] == ' ' || text[j] == '\t')) ++j;
    if (j < text.size() && (text[j] == '"' || text[j] == '\'')) {
      // A quoted value; the quote doubled stands for itself.
      char quote = text[j++];
      while (j < text.size()) {
        if (text[j] == quote) {
          if (j + 1 < text.size() && text[j + 1] == quote) {
            part.value += quote;
            j += 2;
            continue;
          }
          ++j;
          break;
        }
        part.value += text[j++];
      }
      size_t end = text.find(';', j);
      i = end == std::string_view::npos ? text.size() : end + 1;
    } else {
      size_t end = text.find(';', j);
      if (end == std::string_view::npos) end = text.size();
      part.value = std::string(Trim(text.substr(j, end - j)));
      i = end + 1;
    }
    if (!part.key.empty()) parts.push_back(std::move(part));
  }
  return parts;
}

std::string BuildConnectionString(const std::vector<ConnectionStringPart>& parts) {
  std::string out;
  for (const auto& part : parts) {
    if (!out.empty()) out += ';';
    out += part.key;
    out += '=';
    out += Quote(part.value);
  }
  return out;
}

std::optional<std::string> FindPart(const std::vector<ConnectionStringPart>& parts, std::string_view key) {
  for (const auto& part : parts) {
    if (IEquals(part.key, key)) return part.value;
  }
  return std::nullopt;
}

}  // namespace veldrane::host
