// Transactions of a run, beyond the step-wise ones that DebugMode keeps.
//
// A whole run groups the writes of each TARGET connection into transactions
// of CommitSize records (RunBatch), so that a long run does not pay one
// commit per written row. Inside a group each TARGET step's work runs under
// a savepoint (StepSavepoints): a failed step is rolled back to it alone
// and never takes the records before it down (on PostgreSQL a failed
// statement would otherwise poison the whole transaction).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/db/ado.h"

namespace veldrane {

struct RunState;

// True for a connection to a PostgreSQL server.
bool IsPostgres(const ado::Connection& connection);

// The open connections among `connections` whose writes may be grouped,
// each once. Connections to one database were made one connection by the
// run (same identity); two PostgreSQL connections that differ may still
// reach one database, where one thread holding two transactions could wait
// on itself, so those keep committing each write on its own.
std::vector<ado::ConnectionRef> BatchableConnections(const std::vector<ado::ConnectionRef>& connections);

// The group transactions of one whole run: one transaction on each
// connection given, spanning up to `commit_size` records. The batch only
// holds the transactions; the run driver decides when a group is
// committed, and what happens to the records of a group that is not.
class RunBatch {
 public:
  // Begins a transaction on each connection; one whose transaction cannot
  // be begun writes without a group, each statement committed on its own.
  RunBatch(RunState& state, std::vector<ado::ConnectionRef> connections, int32_t commit_size);
  // Rolls back what is still open: a group is committed only by Commit,
  // whose outcome the run accounts for.
  ~RunBatch();
  RunBatch(const RunBatch&) = delete;
  RunBatch& operator=(const RunBatch&) = delete;

  // True while writes are grouped at all.
  bool active() const { return !connections_.empty(); }
  // One more record is processed in the open group; true when the group is full.
  bool RecordDone();
  // True when every connection still holds its transaction (the database
  // ends one on its own after some failures: a statement whose conflict
  // clause rolls back, a full disk).
  bool Intact();
  // Commits every open transaction; on the first failure the others are
  // rolled back and the failure is returned. Nothing is begun again.
  std::optional<VbError> Commit();
  // Rolls back whatever is open.
  void Rollback();
  // Begins a transaction on every connection; the failure when one cannot
  // be begun (those begun are rolled back).
  std::optional<VbError> Begin();

 private:
  RunState& state_;
  int32_t commit_size_;
  std::vector<ado::ConnectionRef> connections_;
};

// Savepoints on the given connections for the span of one TARGET step's
// transfer: released when the step went through, rolled back when it
// failed, so that a failed step leaves nothing of what it did (a
// formula's SQLExecute included). While it lasts, the statements of the
// step on those connections need no savepoint of their own
// (IsolateStatements). Never raises; a connection whose transaction the
// database ended meanwhile is left alone.
class StepSavepoints {
 public:
  explicit StepSavepoints(const std::vector<ado::ConnectionRef>& connections);
  // Rolls back: a step that did not reach End failed.
  ~StepSavepoints() { End(true); }
  StepSavepoints(const StepSavepoints&) = delete;
  StepSavepoints& operator=(const StepSavepoints&) = delete;

  void End(bool failed);

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
