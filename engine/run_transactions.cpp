#include "engine/run_transactions.h"

#include <algorithm>

#include "core/text.h"
#include "engine/run_state.h"

namespace veldrane {

namespace {

// Per thread, like everything a run touches: connections inside a run's
// transaction (with the number of holders), and those a step savepoint
// contains at the moment.
thread_local std::vector<std::pair<const ado::Connection*, int>> t_in_transaction;
thread_local std::vector<const ado::Connection*> t_contained;

}  // namespace

void NoteTransaction(const ado::Connection& connection) {
  for (auto& [c, holders] : t_in_transaction) {
    if (c == &connection) {
      ++holders;
      return;
    }
  }
  t_in_transaction.emplace_back(&connection, 1);
}

void ForgetTransaction(const ado::Connection& connection) {
  for (auto it = t_in_transaction.begin(); it != t_in_transaction.end(); ++it) {
    if (it->first == &connection) {
      if (--it->second == 0) t_in_transaction.erase(it);
      return;
    }
  }
}

bool IsolateStatements(const ado::Connection& connection) {
  bool inside = std::any_of(t_in_transaction.begin(), t_in_transaction.end(),
                            [&](const auto& entry) { return entry.first == &connection; });
  if (!inside) return false;
  return std::find(t_contained.begin(), t_contained.end(), &connection) == t_contained.end();
}

bool IsPostgres(const ado::Connection& connection) {
  std::string provider = connection.Provider();
  return IEquals(provider, "PostgreSQL") || IEquals(provider, "PostgreSQL.1");
}

std::vector<ado::ConnectionRef> BatchableConnections(const std::vector<ado::ConnectionRef>& connections) {
  std::vector<ado::ConnectionRef> distinct;
  for (const ado::ConnectionRef& c : connections) {
    if (c && c->State() != ado::adStateClosed && std::find(distinct.begin(), distinct.end(), c) == distinct.end()) {
      distinct.push_back(c);
    }
  }
  std::vector<ado::ConnectionRef> batchable;
  for (const ado::ConnectionRef& c : distinct) {
    std::string provider = ToLowerAscii(c->Provider());
    bool shared_provider = std::any_of(distinct.begin(), distinct.end(), [&](const ado::ConnectionRef& other) {
      return other != c && ToLowerAscii(other->Provider()) == provider;
    });
    if (!shared_provider) batchable.push_back(c);
  }
  return batchable;
}

RunBatch::RunBatch(RunState& state, std::vector<ado::ConnectionRef> connections, int32_t commit_size,
                   FailureReport on_failure)
    : state_(state), commit_size_(commit_size), on_failure_(std::move(on_failure)) {
  state_.batch.clear();
  state_.savepoint_connections.clear();
  state_.records_in_batch = 0;
  if (commit_size_ <= 1) return;  // every write commits on its own
  for (ado::ConnectionRef& c : connections) {
    try {
      c->BeginTrans();
    } catch (const VbError&) {
      continue;  // this connection writes without a batch, as a plain connection does
    }
    if (IsPostgres(*c)) {
      state_.savepoint_connections.push_back(c);
      NoteTransaction(*c);
    }
    state_.batch.push_back(std::move(c));
  }
  open_ = !state_.batch.empty();
}

RunBatch::~RunBatch() {
  if (open_) CommitAll(false);
}

void RunBatch::RecordDone() {
  if (!open_) return;
  if (++state_.records_in_batch < commit_size_) return;
  CommitAll(true);
}

void RunBatch::Commit() {
  if (open_) CommitAll(false);
}

void RunBatch::CommitAll(bool begin_again) {
  state_.records_in_batch = 0;
  std::vector<ado::ConnectionRef> still_batched;
  for (ado::ConnectionRef& c : state_.batch) {
    try {
      c->CommitTrans();
    } catch (const VbError& e) {
      try {
        if (on_failure_) on_failure_(e);
      } catch (const VbError&) {
        // The report could not be written (the history file); this may run
        // in a destructor, which must not raise.
      }
      try {
        c->RollbackTrans();  // ends the failed transaction so the next can begin
      } catch (const VbError&) {
        // The server may have ended it already; nothing is left to undo.
      }
    }
    if (!begin_again) continue;
    try {
      c->BeginTrans();
      still_batched.push_back(c);
    } catch (const VbError&) {
      // Goes on without a batch; its writes commit on their own.
    }
  }
  for (const ado::ConnectionRef& c : state_.batch) {
    if (IsPostgres(*c) && std::find(still_batched.begin(), still_batched.end(), c) == still_batched.end()) {
      ForgetTransaction(*c);
    }
  }
  state_.batch = std::move(still_batched);
  state_.savepoint_connections.erase(
      std::remove_if(state_.savepoint_connections.begin(), state_.savepoint_connections.end(),
                     [&](const ado::ConnectionRef& c) {
                       return std::find(state_.batch.begin(), state_.batch.end(), c) == state_.batch.end();
                     }),
      state_.savepoint_connections.end());
  open_ = !state_.batch.empty();
}

StepSavepoints::StepSavepoints(const std::vector<ado::ConnectionRef>& connections) {
  for (const ado::ConnectionRef& c : connections) {
    try {
      c->BeginTrans();
      taken_.push_back(c.get());
      t_contained.push_back(c.get());
    } catch (const VbError&) {
      // Without a savepoint the step still runs; only its failure's reach grows.
    }
  }
}

StepSavepoints::~StepSavepoints() {
  for (ado::Connection* c : taken_) {
    auto it = std::find(t_contained.begin(), t_contained.end(), c);
    if (it != t_contained.end()) t_contained.erase(it);
  }
  for (auto it = taken_.rbegin(); it != taken_.rend(); ++it) {
    try {
      (*it)->CommitTrans();
    } catch (const VbError&) {
      // Refused release: a statement of the step failed. Roll back to the
      // savepoint; if even that fails the connection is gone, and its
      // transaction with it.
      try {
        (*it)->RollbackTrans();
      } catch (const VbError&) {
      }
    }
  }
}

}  // namespace veldrane
