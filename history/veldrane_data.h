// cVeldraneData: the product's history, three small tables kept as persisted
// recordset files in the installation folder — the schedules the host keeps
// (scheduleddata), one row per executed integration (executiondata) and one
// row per logged failure of an execution (executionlogdata).
//
// A caller gets a table as an in-memory, updatable recordset loaded from its
// file and saves it back whole. Rows the library itself adds (a run's history
// row, the run log's rows) go through AppendRow(s) instead, which read, extend
// and save the file under an advisory lock, so that two process objects or
// two processes appending to one table never lose each other's rows. The
// execution log, which only grows, gets its rows added at the end of its file
// in place (journaled), so that a run's cost does not grow with the table.
//
// A file that exists but cannot be read is set aside under a
// ".damaged-<time>" name before an empty table replaces it; a file with rows
// that cannot be read (a bad value) is set aside the same way and the rows
// that can be read carry over. Its rows are never destroyed, and the user is
// told: each such move is a notice, given to the notice handler at once
// (standard error unless a host installs its own) and kept by the object
// for its owner's log.
//
// This class does not interpret the rows; the writers decide the values.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/object.h"
#include "model/records.h"
#include "platform/db/ado.h"

namespace veldrane {

class cVeldraneData : public Object {
 public:
  // The folder is the registry's installation folder, else the folder of the
  // component library. Never fails.
  cVeldraneData();

  // Any persisted recordset file, opened as it is (no folder added). When
  // it cannot be opened: a critical message box ("Error Opening File",
  // "Error", translated) and a new, unopened recordset; nothing is raised.
  ado::RecordsetRef getRSFromFile(const std::string& Filename);

  // The table `krs`, opened from its file; a missing file is created empty
  // first, an unreadable one is set aside and replaced by an empty table.
  // A value that names no table gives an unopened recordset and touches no
  // file. Raises when the file cannot be created (missing or read-only folder).
  ado::RecordsetRef getRS(kindrecordset krs);

  // Deletes the file of table `krs`; other values do nothing. Raises 53
  // when the file does not exist.
  void Clear(kindrecordset krs);

  // Appends one row to table `krs` and saves the table, all under the
  // table's file lock: opens (or creates) the file, starts a new row, calls
  // `fill` to set its values, updates and saves. A failure (from `fill`
  // too) raises and leaves the file as it was. Raises 5 for a value that
  // names no table.
  void AppendRow(kindrecordset krs, const std::function<void(ado::Recordset&)>& fill);
  // The same for `count` rows in one reading and one saving of the file;
  // `fill` is called with each new row and its number (0-based). A failure
  // of any row leaves the file as it was.
  void AppendRows(kindrecordset krs, size_t count, const std::function<void(ado::Recordset&, size_t)>& fill);

  // Notices of the files this object moved aside since the last call, which
  // empties the list. Each names the table file and where it went.
  std::vector<std::string> TakeNotices();

  // Where notices go at once, for every store of the process; nullptr puts
  // back the default, which only keeps them for TakeNotices (and the run
  // log, which takes them): a library writes nowhere by itself.
  static void SetNoticeHandler(std::function<void(const std::string&)> handler);

  // The folder of the three files, without a trailing separator (sPath).
  const std::string& Path() const { return sPath_; }
  // The full path of table `krs`'s file; "" for a value that names no table.
  std::string TableFile(kindrecordset krs) const;

  std::string TypeName() const override { return "cVeldraneData"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override;

 private:
  // Opens table `krs`, creating or replacing its file; the caller holds the lock.
  ado::RecordsetRef OpenOrCreateLocked(kindrecordset krs, const std::string& file);
  void Notice(const std::string& text);
  void CreateScheduledData();
  void CreateExecutionData();
  void CreateExecutionLogData();
  void CreateTableFile(kindrecordset krs);

  std::string sPath_;  // folder of the three files, fixed at creation
  std::vector<std::string> notices_;  // files moved aside, not yet taken
};

}  // namespace veldrane
