// clsLog: the run log of a process object — an in-memory text that grows by
// one line per message of a load or a run, optionally time-stamped.
//
// The log remembers whether any critical entry was added and raises LogAdded
// for those at once, so that the host sees them while the run goes on. An
// ordinary entry can also become a row of the execution-log history table.
// The whole text can be appended to a file. Nothing ever empties the text or
// resets the critical flag: an owner that wants a fresh log makes a new one.
//
// Entries are separated by CR LF, which also precedes the first one. A
// stamped entry reads "hh:nn:ss.cc: message", cc being the hundredths of the
// second.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/event.h"
#include "core/object.h"

namespace veldrane {

class clsLog : public Object {
 public:
  // Appends an entry. With ShowTime, `Val` is replaced by the stamped text
  // first (the caller sees it). With SaveRecord, also appends a row to the
  // executionlogdata table (RECORD, NAME, RUNTIME now, ERRNUMBER, ERRDESC =
  // the entry cut to 255 characters); an empty ErrNumber leaves ERRNUMBER
  // empty, a text that is not a number raises 13. Failures of the row raise
  // after the entry is already in the text.
  void AddLog(std::string& Val, bool ShowTime = false, const std::string& IntName = {},
              const std::string& ErrNumber = {}, int32_t Record = 0, bool SaveRecord = false);
  // The same for a value the caller does not need back.
  void AddLog(const std::string& Val, bool ShowTime = false, const std::string& IntName = {},
              const std::string& ErrNumber = {}, int32_t Record = 0, bool SaveRecord = false);

  // While rows are held, the execution-log rows of AddLog are kept and
  // written together: when a thousand are waiting, when the first of them
  // has waited two seconds (looked at by AddLog and FlushIfDue), at Flush,
  // and when holding ends. A run holds them, because the table is one file
  // that every row would otherwise read and write whole: a run failing ten
  // thousand records would spend a quarter of an hour on it.
  // Ending the hold writes the rows still held. A failure to write raises
  // from the call that wrote: the rows the table took are in it, the others
  // are gone with the error, as a single row's would be.
  void HoldRows(bool hold);
  void Flush();
  // Flush when the oldest held row has waited two seconds; costs next to
  // nothing when no row is held, so that a run can call it every record.
  void FlushIfDue();
  ~clsLog() override;

  // Appends a critical entry (stamped into `Val` with ShowTime), marks the
  // log critical and raises LogAdded once with `Val`. Never writes a row.
  void AddCritical(std::string& Val, bool ShowTime = false);
  void AddCritical(const std::string& Val, bool ShowTime = false);

  // True once any critical entry was added.
  bool IsCritical() const { return bCritical_; }

  // Appends the whole text and CR LF to the file `LogFile` (no folder is
  // added), creating it when missing. The text stays. Raises 75 (or 76 for a
  // missing folder) naming the file when it cannot be written.
  void SaveLog(const std::string& LogFile);

  // The whole text (sLog).
  const std::string& Text() const { return sLog_; }

  // Raised by AddCritical with the entry text, before it returns. A handler
  // may change the text, as the caller's variable is passed on.
  Event<std::string&> LogAdded;

  std::string TypeName() const override { return "clsLog"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override;

 private:
  void Append(std::string& Val, bool ShowTime);

  // One execution-log row waiting to be written.
  struct HeldRow {
    int32_t record;
    std::string name;
    double runtime;
    Variant err_number;
    std::string err_desc;
  };

  std::string sLog_;        // the whole log text
  bool bCritical_ = false;  // set by the first AddCritical, never cleared
  bool hold_ = false;
  std::vector<HeldRow> held_;
  std::chrono::steady_clock::time_point first_held_at_;  // when the oldest held row was added
};

// The stamped form of `message` at the local time `oadate` (an OLE date):
// "hh:nn:ss", ".", the hundredths of the second, ": ", the message. The
// hundredths are the last two digits of the seconds since midnight written
// "#0.00", so a time at .995 or later shows ".00".
std::string StampLogEntry(double oadate, std::string_view message);

}  // namespace veldrane
