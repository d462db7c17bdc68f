// Transactions of a run, beyond the step-wise ones that DebugMode keeps.
//
// A whole run groups the writes of each TARGET connection into transactions
// of CommitSize records (RunBatch), so that a long run does not pay one
// commit per written row. On PostgreSQL a failed statement poisons the
// transaction around it, so while a PostgreSQL connection is inside a
// transaction each TARGET step's work runs under a savepoint
// (StepSavepoints): a failed record is rolled back to it alone and never
// takes the records before it down.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/db/ado.h"

namespace veldrane {

struct RunState;

// True for a connection to a PostgreSQL server.
bool IsPostgres(const ado::Connection& connection);

// The open connections among `connections` whose writes may be batched: two
// connections of one provider may reach one database, and one thread
// holding two transactions there could wait on itself, so such connections
// keep committing each write on its own.
std::vector<ado::ConnectionRef> BatchableConnections(const std::vector<ado::ConnectionRef>& connections);

// The batch transactions of one whole run. Begins one transaction on each
// connection given; RecordDone commits and begins anew every `commit_size`
// records; Commit (or the destructor, for a run that stops on a failure)
// commits what was processed. A connection whose transaction cannot be
// begun writes without one. `on_failure` hears of a commit that failed.
class RunBatch {
 public:
  using FailureReport = std::function<void(const VbError&)>;
  RunBatch(RunState& state, std::vector<ado::ConnectionRef> connections, int32_t commit_size,
           FailureReport on_failure);
  ~RunBatch();
  RunBatch(const RunBatch&) = delete;
  RunBatch& operator=(const RunBatch&) = delete;

  // One more record is processed.
  void RecordDone();
  // Commits the open transactions and ends the batch.
  void Commit();

 private:
  void CommitAll(bool begin_again);

  RunState& state_;
  int32_t commit_size_;
  FailureReport on_failure_;
  bool open_ = false;
};

// Savepoints on the given connections for the span of one TARGET step's
// transfer: released when the step's statements all went through, rolled
// back when one of them failed (PostgreSQL then refuses the release). While
// it lasts, the statements of the step on those connections need no
// savepoint of their own (IsolateStatements). Never raises.
class StepSavepoints {
 public:
  explicit StepSavepoints(const std::vector<ado::ConnectionRef>& connections);
  ~StepSavepoints();
  StepSavepoints(const StepSavepoints&) = delete;
  StepSavepoints& operator=(const StepSavepoints&) = delete;

 private:
  std::vector<ado::Connection*> taken_;  // connections where a savepoint was begun
};

// The thread's record of PostgreSQL connections that a run holds inside a
// transaction (a batch, a step-wise run); counted, so that two holders of
// one connection do not undo each other's note.
void NoteTransaction(const ado::Connection& connection);
void ForgetTransaction(const ado::Connection& connection);

// True when a statement on `connection` whose failure the caller absorbs
// must run under a savepoint of its own: a PostgreSQL connection inside a
// run's transaction, outside a step's savepoint. Autocommitted statements
// poison nothing, so they run as they are.
bool IsolateStatements(const ado::Connection& connection);

}  // namespace veldrane
