#include "engine/run_transactions.h"

#include <algorithm>

#include "core/text.h"
#include "core/vb_error.h"
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
    bool ambiguous = IsPostgres(*c) && std::any_of(distinct.begin(), distinct.end(), [&](const ado::ConnectionRef& other) {
                       return other != c && IsPostgres(*other);
                     });
    if (!ambiguous) batchable.push_back(c);
  }
  return batchable;
}

RunBatch::RunBatch(RunState& state, std::vector<ado::ConnectionRef> connections, int32_t commit_size)
    : state_(state), commit_size_(commit_size) {
  state_.batch.clear();
  state_.savepoint_connections.clear();
  state_.records_in_batch = 0;
  if (commit_size_ <= 1) return;  // every write commits on its own
  for (ado::ConnectionRef& c : connections) {
    try {
      c->BeginTrans();
    } catch (const VbError&) {
      continue;  // this connection writes without a group, as a plain connection does
    }
    if (IsPostgres(*c)) NoteTransaction(*c);
    connections_.push_back(c);
  }
  state_.batch = connections_;
  state_.savepoint_connections = connections_;
}

RunBatch::~RunBatch() {
  Rollback();
  for (const ado::ConnectionRef& c : connections_) {
    if (IsPostgres(*c)) ForgetTransaction(*c);
  }
  state_.batch.clear();
  state_.savepoint_connections.clear();
}

bool RunBatch::RecordDone() {
  if (!active()) return false;
  return ++state_.records_in_batch >= commit_size_;
}

bool RunBatch::Intact() {
  for (const ado::ConnectionRef& c : connections_) {
    if (!c->InTransaction()) return false;
  }
  return true;
}

std::optional<VbError> RunBatch::Commit() {
  state_.records_in_batch = 0;
  std::optional<VbError> failure;
  for (const ado::ConnectionRef& c : connections_) {
    if (failure) break;
    if (!c->InTransaction()) {
      failure = VbError(ado::adoerr::kNoTransaction,
                        "the database ended the transaction before it could be committed", c->Provider());
      break;
    }
    try {
      c->CommitTrans();
    } catch (const VbError& e) {
      failure = e;
    }
  }
  if (failure) Rollback();
  return failure;
}

void RunBatch::Rollback() {
  state_.records_in_batch = 0;
  for (const ado::ConnectionRef& c : connections_) {
    while (c->InTransaction()) {
      try {
        c->RollbackTrans();
      } catch (const VbError&) {
        // The connection may be gone, and its transaction with it; nothing
        // of it is counted as written.
        break;
      }
    }
  }
}

std::optional<VbError> RunBatch::Begin() {
  state_.records_in_batch = 0;
  for (const ado::ConnectionRef& c : connections_) {
    try {
      c->BeginTrans();
    } catch (const VbError& e) {
      Rollback();
      return e;
    }
  }
  return std::nullopt;
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

void StepSavepoints::End(bool failed) {
  for (ado::Connection* c : taken_) {
    auto it = std::find(t_contained.begin(), t_contained.end(), c);
    if (it != t_contained.end()) t_contained.erase(it);
  }
  for (auto it = taken_.rbegin(); it != taken_.rend(); ++it) {
    ado::Connection& c = **it;
    // The database ended the transaction: the savepoint went with it.
    if (!c.InTransaction()) continue;
    try {
      if (failed) {
        c.RollbackTrans();
      } else {
        c.CommitTrans();
      }
    } catch (const VbError&) {
      // A refused release (a statement of the step failed on PostgreSQL):
      // roll back to the savepoint; if even that fails the connection is
      // gone, and its transaction with it, which the run finds out.
      try {
        if (!failed && c.InTransaction()) c.RollbackTrans();
      } catch (const VbError&) {
      }
    }
  }
  taken_.clear();
}

}  // namespace veldrane
