#include "history/history_tables.h"

#include "platform/db/ado.h"

namespace veldrane::history {

namespace {

using namespace veldrane::ado;

const std::vector<HistoryTable>& Tables() {
  static const std::vector<HistoryTable> tables = {
      {scheduleddata,
       "\\scheduleddata.xml",
       {{"ID", adDecimal, 10},
        {"NAME", adChar, 255},
        {"FROM", adDBTimeStamp, 0},
        {"TO", adDBTimeStamp, 0},
        {"EVERY", adDouble, 0},
        {"KINDEVERY", adInteger, 2},
        {"WEEKDAY", adInteger, 5},
        {"LASTRUN", adDBTimeStamp, 0},
        {"STATUS", adChar, 255}}},
      {executiondata,
       "\\executeddata.xml",
       {{"ID", adDecimal, 10},
        {"NAME", adChar, 255},
        {"RUNTIME", adDBTimeStamp, 0},
        {"END", adDBTimeStamp, 0},
        {"ROWS", adDecimal, 10},
        {"RINSERTS", adDecimal, 10},
        {"RUPDATES", adDecimal, 10},
        {"RDELETED", adDecimal, 10},
        {"RERRORS", adDecimal, 10},
        {"RESULT", adChar, 255}}},
      {executionlogdata,
       "\\executedlogdata.xml",
       {{"ID", adDecimal, 10},
        {"RECORD", adDecimal, 10},
        {"NAME", adChar, 255},
        {"RUNTIME", adDBTimeStamp, 0},
        {"ERRNUMBER", adDecimal, 10},
        {"ERRDESC", adChar, 255}},
       true},
  };
  return tables;
}

}  // namespace

std::string NameValue(const std::string& path) {
  size_t chars = 0;
  for (size_t i = path.size(); i-- > 0;) {
    bool starts_character = (static_cast<unsigned char>(path[i]) & 0xC0) != 0x80;
    if (starts_character && ++chars == kTextWidth) return path.substr(i);
  }
  return path;
}

const HistoryTable* FindHistoryTable(kindrecordset krs) {
  for (const auto& table : Tables()) {
    if (table.krs == krs) return &table;
  }
  return nullptr;
}

}  // namespace veldrane::history
