// The run counters of clsProcess and the execution-history row written at the
// end of a whole run.
//
// Index layout of the four arrays: 0 unused, 1 insert, 2 update, 3 lookup,
// 4 delete, 5 all kinds. Invariants kept by the counting operations:
// Totals(k) = Success(k) + Errors(k) for k 1..4; Success(5) and Errors(5)
// are the sums of 1..4; Totals(5) = Success(5) + Errors(5) + failures that
// have no kind. A counter at its 32-bit limit raises Overflow (6) and keeps
// its value: a wrapped count would be a wrong figure in the history.
#include <algorithm>
#include <climits>
#include <string_view>

#include "core/checked.h"
#include "core/oadate.h"
#include "engine/cls_process.h"
#include "history/cls_log.h"
#include "history/history_tables.h"
#include "history/veldrane_data.h"
#include "platform/db/ado.h"

namespace veldrane {

namespace {

// Increases every counter of `counters` or none: the invariants must hold
// even when one of them is at its limit.
void IncreaseAll(std::initializer_list<int32_t*> counters) {
  for (int32_t* c : counters) AddChecked32(*c, 1);  // raises before anything changed
  for (int32_t* c : counters) ++*c;
}

void SetField(ado::Recordset& rs, std::string_view name, const Variant& value) {
  rs.GetFields().Item(name).SetValue(value);
}

}  // namespace

void clsProcess::ResetStatistics() {
  mStatistics = tStatistic{};
  mStatistics.CurrRecord = 1;
}

void clsProcess::CountSuccess(CounterKind counter) {
  const int kind = static_cast<int>(counter);
  tStatistic& s = mStatistics;
  IncreaseAll({&s.Success[kind], &s.Success[kAllKinds], &s.Totals[kind], &s.Totals[kAllKinds]});
}

void clsProcess::CountFailure(CounterKind counter) {
  const int kind = static_cast<int>(counter);
  tStatistic& s = mStatistics;
  IncreaseAll({&s.Errors[kind], &s.Totals[kind], &s.Errors[kAllKinds], &s.Totals[kAllKinds]});
}

void clsProcess::CountFailure() { IncreaseAll({&mStatistics.Totals[kAllKinds]}); }

void clsProcess::WriteHistoryRow(const std::string& result) {
  if (!mHistory) mHistory = std::make_shared<cVeldraneData>();
  const tStatistic& s = mStatistics;
  // Every failed operation, with or without a kind: Totals(5) counts them all
  // beside the successes.
  int32_t failed = s.Totals[kAllKinds] - s.Success[kAllKinds];
  mHistory->AppendRow(executiondata, [&](ado::Recordset& rs) {
    // Read after the new row was started, as the table has always numbered
    // its rows; ids stay unique and increasing.
    SetField(rs, "ID", Variant(AddChecked32(rs.RecordCount(), 1)));
    SetField(rs, "NAME", Variant(history::NameValue(mFilename)));
    SetField(rs, "RUNTIME", Variant::Date(s.StartTime));
    SetField(rs, "END", Variant::Date(s.EndTime));
    // A source whose rows could not be counted beforehand still has the
    // rows it gave: never 0 when rows were read.
    int64_t rows = s.TotalRecords > 0 ? s.TotalRecords : last_run_.records_read;
    SetField(rs, "ROWS", Variant(static_cast<int32_t>(std::min<int64_t>(rows, INT32_MAX))));
    SetField(rs, "RINSERTS", Variant(s.Totals[1]));
    SetField(rs, "RUPDATES", Variant(s.Totals[2]));
    SetField(rs, "RDELETED", Variant(s.Totals[4]));
    SetField(rs, "RERRORS", Variant(failed));
    SetField(rs, "RESULT", Variant(result));
  });
  for (std::string notice : mHistory->TakeNotices()) Log()->AddLog(notice, true);
}

}  // namespace veldrane
