// veldrane-make-langdb: writes the translation database that ships beside
// the library, from the checked-in table of translations.
//
//   veldrane-make-langdb <translations.tsv> <VeldraneLang.mdb>
//
// The database is built under a temporary name and renamed over the old one,
// so a failed build never leaves a half-written database in place.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

#include "core/text.h"
#include "core/vb_error.h"
#include "platform/db/ado.h"

namespace {

using namespace veldrane;

struct Row {
  std::string language, ambient, source, dest;
};

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> out(1);
  for (char c : line) {
    if (c == '\t') {
      out.emplace_back();
    } else {
      out.back() += c;
    }
  }
  return out;
}

std::vector<Row> ReadRows(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw VbError(53, "File not found: '" + path + "'");
  std::vector<Row> rows;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    auto fields = SplitTabs(line);
    if (fields.size() != 4 || fields[0].empty() || fields[2].empty()) {
      throw VbError(5, path + ":" + std::to_string(number) +
                           ": expected DESTLANGUAGE, AMBIENT, SOURCESTRING and DestString separated by tabs");
    }
    rows.push_back({fields[0], fields[1], fields[2], fields[3]});
  }
  return rows;
}

std::string Quoted(const std::string& value) { return "'" + ReplaceAll(value, "'", "''") + "'"; }

void WriteDatabase(const std::vector<Row>& rows, const std::string& path) {
  auto cn = ado::Connection::Create();
  cn->Open("Provider=SQLite;Mode=Create;Data Source=" + path);
  // Text compares without regard to ASCII case, as the original store did,
  // so "0000040c" finds the rows of "0000040C".
  cn->Execute(
      "CREATE TABLE SYS_TRANSLATION ("
      "ID INTEGER PRIMARY KEY, "
      "DESTLANGUAGE TEXT COLLATE NOCASE, "
      "SOURCESTRING TEXT COLLATE NOCASE, "
      "AMBIENT TEXT COLLATE NOCASE, "
      "DestString TEXT)");
  cn->Execute("CREATE INDEX SYS_TRANSLATION_LOOKUP ON SYS_TRANSLATION (DESTLANGUAGE, SOURCESTRING)");
  cn->BeginTrans();
  for (const auto& row : rows) {
    cn->Execute("INSERT INTO SYS_TRANSLATION (DESTLANGUAGE, SOURCESTRING, AMBIENT, DestString) VALUES (" +
                Quoted(row.language) + ", " + Quoted(row.source) + ", " + Quoted(row.ambient) + ", " +
                Quoted(row.dest) + ")");
  }
  cn->CommitTrans();
  cn->Close();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: veldrane-make-langdb <translations.tsv> <VeldraneLang.mdb>\n";
    return 2;
  }
  std::string source = argv[1];
  std::filesystem::path target = argv[2];
  std::string temp = target.string() + ".tmp-" + std::to_string(getpid());
  try {
    auto rows = ReadRows(source);
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path());
    std::filesystem::remove(temp);
    WriteDatabase(rows, temp);
    std::filesystem::rename(temp, target);
  } catch (const std::exception& e) {
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    std::cerr << "veldrane-make-langdb: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
