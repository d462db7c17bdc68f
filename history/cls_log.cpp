#include "history/cls_log.h"

#include <cmath>
#include <cstdio>
#include <optional>

#include "core/oadate.h"
#include "history/history_tables.h"
#include "history/veldrane_data.h"
#include "platform/host/files.h"

namespace veldrane {

namespace {

constexpr size_t kErrDescWidth = 255;
constexpr size_t kHeldRowsLimit = 1000;
constexpr std::chrono::seconds kHeldRowsWait{2};

// The first `width` characters of a UTF-8 text (never a broken character).
std::string FirstCharacters(const std::string& text, size_t width) {
  size_t chars = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    bool starts_character = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
    if (starts_character && chars++ == width) return text.substr(0, i);
  }
  return text;
}

// ERRNUMBER is a decimal field: the text must be a number; empty stays empty.
Variant ErrNumberValue(const std::string& err_number) {
  if (err_number.empty()) return Variant::Null();
  std::optional<double> number = ParseNumber(err_number);
  if (!number) {
    throw VbError::TypeMismatch("Type mismatch: ERRNUMBER '" + err_number + "' is not a number");
  }
  if (*number == std::trunc(*number) && std::fabs(*number) < 9.2e18) {
    return Variant::FromInt64(static_cast<int64_t>(*number));
  }
  return Variant(*number);
}

}  // namespace

std::string StampLogEntry(double oadate, std::string_view message) {
  DateParts p = OaToParts(oadate);
  // Seconds since midnight as "#0.00", rounded as the format rounds.
  int64_t centis = (static_cast<int64_t>(p.hour) * 3600 + p.minute * 60 + p.second) * 100 +
                   static_cast<int64_t>(std::llround(p.millisecond / 10.0));
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%02d: ", p.hour, p.minute, p.second,
                static_cast<int>(centis % 100));
  return buf + std::string(message);
}

void clsLog::Append(std::string& Val, bool ShowTime) {
  if (ShowTime) Val = StampLogEntry(OaNow(), Val);
  sLog_ += "\r\n";
  sLog_ += Val;
}

void clsLog::AddLog(std::string& Val, bool ShowTime, const std::string& IntName, const std::string& ErrNumber,
                    int32_t Record, bool SaveRecord) {
  Append(Val, ShowTime);
  if (!SaveRecord) return;
  HeldRow row{Record, history::NameValue(IntName), OaNow(), ErrNumberValue(ErrNumber), FirstCharacters(Val, kErrDescWidth)};
  if (held_.empty()) first_held_at_ = std::chrono::steady_clock::now();
  held_.push_back(std::move(row));
  if (!hold_ || held_.size() >= kHeldRowsLimit) {
    Flush();
  } else {
    FlushIfDue();
  }
}

void clsLog::FlushIfDue() {
  if (held_.empty() || std::chrono::steady_clock::now() - first_held_at_ < kHeldRowsWait) return;
  Flush();
}

void clsLog::HoldRows(bool hold) {
  hold_ = hold;
  if (!hold) Flush();
}

void clsLog::Flush() {
  if (held_.empty()) return;
  std::vector<HeldRow> rows;
  rows.swap(held_);
  // A table file that had to be moved aside is told in the log too, beside
  // the rows that went into its replacement.
  auto write = [this](const std::vector<HeldRow>& rows, size_t first, size_t count) {
    cVeldraneData store;
    struct Notices {
      clsLog& log;
      cVeldraneData& store;
      ~Notices() {
        for (std::string notice : store.TakeNotices()) log.Append(notice, true);
      }
    } notices{*this, store};
    store.AppendRows(executionlogdata, count, [&](ado::Recordset& rs, size_t i) {
      const HeldRow& row = rows[first + i];
      ado::Fields& fields = rs.GetFields();
      fields.Item(std::string_view("RECORD")).SetValue(Variant(row.record));
      fields.Item(std::string_view("NAME")).SetValue(Variant(row.name));
      fields.Item(std::string_view("RUNTIME")).SetValue(Variant::Date(row.runtime));
      fields.Item(std::string_view("ERRNUMBER")).SetValue(row.err_number);
      fields.Item(std::string_view("ERRDESC")).SetValue(Variant(row.err_desc));
    });
  };
  try {
    write(rows, 0, rows.size());
  } catch (const VbError&) {
    if (rows.size() == 1) throw;
    // A row the table refuses must not take the others with it: one by one,
    // and the first failure is raised.
    std::optional<VbError> failure;
    for (size_t i = 0; i < rows.size(); ++i) {
      try {
        write(rows, i, 1);
      } catch (const VbError& e) {
        if (!failure) failure = e;
      }
    }
    throw *failure;
  }
}

clsLog::~clsLog() {
  try {
    Flush();
  } catch (const std::exception&) {
    // Nowhere to report it: whoever holds rows ends the hold, and hears of
    // a failure, before letting the log go.
  }
}

void clsLog::AddLog(const std::string& Val, bool ShowTime, const std::string& IntName, const std::string& ErrNumber,
                    int32_t Record, bool SaveRecord) {
  std::string copy = Val;
  AddLog(copy, ShowTime, IntName, ErrNumber, Record, SaveRecord);
}

void clsLog::AddCritical(std::string& Val, bool ShowTime) {
  Append(Val, ShowTime);
  bCritical_ = true;
  LogAdded(Val);
}

void clsLog::AddCritical(const std::string& Val, bool ShowTime) {
  std::string copy = Val;
  AddCritical(copy, ShowTime);
}

void clsLog::SaveLog(const std::string& LogFile) { host::AppendTextFile(LogFile, sLog_ + "\r\n"); }

Variant clsLog::Invoke(std::string_view name, InvokeKind kind, Args args) {
  // Val is written back to the caller's variable, as a ByRef argument is.
  static const MemberTable<clsLog> members = [] {
    MemberTable<clsLog> t;
    t.Add("AddLog", [](clsLog& self, InvokeKind k, Args a) {
      if (k != InvokeKind::Get) throw VbError::NotSupported("AddLog");
      ExpectArgs(a, 1, 6);
      std::string val = a[0].ToString();
      const Variant none;
      self.AddLog(val, ArgOr(a, 1, Variant(false)).ToBool(), ArgOr(a, 2, none).ToText(), ArgOr(a, 3, none).ToText(),
                  ArgOr(a, 4, Variant(int32_t{0})).ToLong(), ArgOr(a, 5, Variant(false)).ToBool());
      a[0] = Variant(val);
      return Variant();
    });
    t.Add("AddCritical", [](clsLog& self, InvokeKind k, Args a) {
      if (k != InvokeKind::Get) throw VbError::NotSupported("AddCritical");
      ExpectArgs(a, 1, 2);
      std::string val = a[0].ToString();
      self.AddCritical(val, ArgOr(a, 1, Variant(false)).ToBool());
      a[0] = Variant(val);
      return Variant();
    });
    t.Property("IsCritical", [](clsLog& self) { return Variant(self.IsCritical()); });
    t.Add("SaveLog", [](clsLog& self, InvokeKind k, Args a) {
      if (k != InvokeKind::Get) throw VbError::NotSupported("SaveLog");
      ExpectArgs(a, 1, 1);
      self.SaveLog(a[0].ToString());
      return Variant();
    });
    return t;
  }();
  return members.Invoke(*this, name, kind, args);
}

}  // namespace veldrane
