// Groups of records in a whole run, and the one way a failed record is
// logged.
//
// A run that groups its writes commits a group of CommitSize records at a
// time. A record counts as written only once its group is committed: when
// the database refuses the commit (a deferred constraint, a lock held by
// another program past the busy timeout, a full disk) or ends the
// transaction on its own in the middle of the group (a conflict clause
// that rolls back), the group is rolled back and its records are written
// again, one at a time, each committed on its own. Only the records that
// fail on their own then fail; each is counted under its operation and
// logged with the database's message. The source rows come back as they
// were read the first time (a source keeps the rows it gave).
//
// The execution-log rows of a group are written before the group is
// committed, so that committed rows never outlive the log rows of their
// group's failed records. A record that fails again, the same way, when
// its group is written again is not logged twice.
#include <string>

#include "core/vb_error.h"
#include "engine/cls_process.h"
#include "engine/run_state.h"
#include "engine/run_transactions.h"
#include "history/cls_log.h"
#include "platform/db/ado.h"

namespace veldrane {

namespace {

std::string RowKey(int32_t record, int32_t number, const std::string& text) {
  return std::to_string(record) + '\x1f' + std::to_string(number) + '\x1f' + text;
}

// Moves the successes counted since `before` to the failures of their
// kinds: the writes they counted were not committed. Returns how many.
int64_t UncountSuccesses(tStatistic& s, const tStatistic& before) {
  int64_t moved = 0;
  for (int k = 1; k <= 4; ++k) {
    int32_t d = s.Success[k] - before.Success[k];
    if (d <= 0) continue;
    s.Success[k] -= d;
    s.Success[5] -= d;
    s.Errors[k] += d;
    s.Errors[5] += d;
    moved += d;
  }
  return moved;
}

// The counters of `from`, keeping the record number, total and times of `to`.
void RestoreCounters(tStatistic& to, const tStatistic& from) {
  for (int k = 0; k <= 5; ++k) {
    to.Success[k] = from.Success[k];
    to.Errors[k] = from.Errors[k];
    to.Skipped[k] = from.Skipped[k];
    to.Totals[k] = from.Totals[k];
  }
}

constexpr const char* kNotCommitted = "VeldraneRunner ERROR: the writes of this record were not committed: ";

}  // namespace

void clsProcess::LogFailedRecord(const std::string& text, int32_t number) {
  RunState& state = EnsureRunState(run_);
  ++state.failures_logged;
  state.last_failure = text;
  std::string key = RowKey(mStatistics.CurrRecord, number, text);
  if (state.redoing && state.group_rows.count(key) > 0) {
    // Logged already when the group was first processed: the run log says
    // it again, the execution log keeps its one row.
    gbLog->AddLog(text, true);
    return;
  }
  if (!state.batch.empty() && !state.redoing) state.group_rows.insert(std::move(key));
  gbLog->AddLog(text, true, mFilename, std::to_string(number), mStatistics.CurrRecord, true);
}

void clsProcess::MarkGroup() { MarkGroupAfter(mStatistics.CurrRecord - 1); }

void clsProcess::MarkGroupAfter(int32_t last) {
  RunState& state = EnsureRunState(run_);
  state.group_stats = mStatistics;
  state.group_failures = state.failures_logged;
  state.group_first = last + 1;
  state.group_rows.clear();
  state.group_broken = false;
}

void clsProcess::WriteHeldLogRows() {
  try {
    gbLog->Flush();
  } catch (const VbError& e) {
    last_run_.log_rows_error = e.description();
    gbLog->AddLog("VeldraneRunner ERROR: rows of the execution log could not be written: " + e.description());
  }
}

void clsProcess::CloseGroup(RunBatch& batch, int32_t last) {
  if (!batch.active()) return;
  RunState& state = EnsureRunState(run_);
  if (last >= state.group_first) {
    WriteHeldLogRows();
    if (std::optional<VbError> failure = batch.Commit()) RedoGroup(batch, last, failure->description());
  }
  MarkGroupAfter(last);
}

void clsProcess::RedoGroup(RunBatch& batch, int32_t last, const std::string& reason) {
  RunState& state = EnsureRunState(run_);
  batch.Rollback();
  ++last_run_.groups_redone;
  const int32_t first = state.group_first;
  const int32_t resume_at = mStatistics.CurrRecord;
  gbLog->AddLog("VeldraneRunner: the writes of records " + std::to_string(first + 1) + " to " +
                    std::to_string(last + 1) + " could not be committed together (" + reason +
                    "); they are written again one record at a time",
                true);

  // Back to the group's first record. When its rows cannot be read again
  // the failure cannot be traced to single records: every record of the
  // group failed, and says so.
  try {
    mSourceData->MoveFirst();
    for (int32_t i = 0; i < first; ++i) mSourceData->MoveNext();
  } catch (const VbError& e) {
    UncountSuccesses(mStatistics, state.group_stats);
    for (int32_t r = first; r <= last; ++r) {
      mStatistics.CurrRecord = r;
      LogFailedRecord(kNotCommitted + reason + " (the source rows could not be read again: " + e.description() + ")",
                      e.number());
    }
    mStatistics.CurrRecord = resume_at;
    MarkGroupAfter(last);
    return;
  }

  RestoreCounters(mStatistics, state.group_stats);
  state.failures_logged = state.group_failures;
  state.redoing = true;
  for (int32_t r = first; r <= last; ++r) {
    mStatistics.CurrRecord = r;
    const tStatistic before = mStatistics;
    const int64_t logged_before = state.failures_logged;
    std::optional<VbError> failure;
    try {
      if (r > first) mSourceData->MoveNext();
      failure = batch.Begin();
    } catch (const VbError& e) {
      failure = e;
    }
    if (failure) {
      // Not written at all: nothing may be written outside a transaction.
      CountFailure();
      LogFailedRecord(kNotCommitted + failure->description(), failure->number());
      continue;
    }
    state.group_broken = false;
    ProcessRecord();
    if (state.group_broken) {
      batch.Rollback();
      failure = VbError(ado::adoerr::kNoTransaction, "the database ended the transaction: " + state.last_failure);
    } else {
      // Rows of the group's failed records go out before a commit that
      // makes a record's writes last; a record that wrote nothing (on a
      // full disk, every one) commits nothing they could be missed beside.
      if (mStatistics.Success[5] != before.Success[5]) WriteHeldLogRows();
      failure = batch.Commit();
    }
    state.group_broken = false;
    if (failure) {
      bool logged = state.failures_logged != logged_before;
      int64_t moved = UncountSuccesses(mStatistics, before);
      // A record whose walk counted nothing still failed.
      if (moved == 0 && !logged) CountFailure();
      if (moved > 0 || !logged) LogFailedRecord(kNotCommitted + failure->description(), failure->number());
    }
    if (gbLog->IsCritical()) break;
  }
  state.redoing = false;
  mStatistics.CurrRecord = resume_at;
  MarkGroupAfter(last);
}

}  // namespace veldrane
