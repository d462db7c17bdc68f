// Talking to the PostgreSQL server in libpq's pipeline mode: everything the
// session has to say before it needs an answer goes out together and is
// answered in one round trip. Commands whose answer nobody waits for (the
// savepoint bookkeeping of transactions) are held back and travel in front
// of the next command that does need one.
//
// Transport only: the pipeline reports what the server answered and leaves
// deciding what a failure means to the session.
#pragma once

#include <libpq-fe.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace veldrane::ado {

struct ResultPtr {
  PGresult* r = nullptr;
  ResultPtr() = default;
  explicit ResultPtr(PGresult* p) : r(p) {}
  ResultPtr(ResultPtr&& o) noexcept : r(o.r) { o.r = nullptr; }
  ResultPtr& operator=(ResultPtr&& o) noexcept {
    std::swap(r, o.r);
    return *this;
  }
  ResultPtr(const ResultPtr&) = delete;
  ResultPtr& operator=(const ResultPtr&) = delete;
  ~ResultPtr() { PQclear(r); }
};

// libpq's text without the trailing newline.
std::string Trimmed(const char* text);

// True for a result that reports success (rows or a completed command).
bool Succeeded(const PGresult* res);

// One command of a pipeline. Texts, names and values are borrowed: they must
// outlive the Send they are given to.
struct PgCommand {
  enum Kind {
    kText,      // `text` with `count` parameters, unnamed
    kPrepare,   // prepares `text` (with `count` untyped parameters) as `name`
    kPrepared,  // runs the prepared statement `name`
    kSync,      // ends a segment: a failure before it does not skip what follows
  };
  Kind kind = kText;
  const char* text = nullptr;
  const char* name = nullptr;
  int count = 0;
  const char* const* values = nullptr;

  static PgCommand Text(const std::string& sql) { return {kText, sql.c_str()}; }
  static PgCommand Sync() { return {kSync}; }
};

class PgPipeline {
 public:
  explicit PgPipeline(PGconn* conn) : conn_(conn) {}

  // Holds `sql` back (one statement, no parameters) until the next Send.
  void Defer(std::string sql) { deferred_.push_back(std::move(sql)); }
  // Drops the last held-back command when it is `sql`; true when it did.
  bool Withdraw(std::string_view sql);
  // The held-back commands, oldest first.
  const std::vector<std::string>& deferred() const { return deferred_; }

  struct Answers {
    std::vector<ResultPtr> deferred;  // one per held-back command that was sent
    std::vector<ResultPtr> results;   // one per command given (a Sync's is its marker)
    std::string lost;                 // libpq's message when commands went unanswered
  };

  // Sends the held-back commands, then `commands`, with a Sync after them, and
  // reads every answer. A command the server skipped after an earlier failure
  // of its segment is answered PGRES_PIPELINE_ABORTED; one that could not be
  // sent or whose answer never came is left null, and `lost` says why.
  Answers Send(const std::vector<PgCommand>& commands);

 private:
  bool Dispatch(const PgCommand& c);
  // Reads one command's answer (and the end marker libpq puts after it).
  ResultPtr Receive();
  // Reads up to and including the Sync marker; false when none came.
  bool ReceiveSync();

  PGconn* conn_;
  std::vector<std::string> deferred_;
};

}  // namespace veldrane::ado
