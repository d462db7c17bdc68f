#include "platform/db/pg_pipeline.h"

namespace veldrane::ado {

std::string Trimmed(const char* text) {
  std::string s = text ? text : "";
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

bool Succeeded(const PGresult* res) {
  ExecStatusType status = PQresultStatus(res);
  return res && (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK);
}

bool PgPipeline::Withdraw(std::string_view sql) {
  if (deferred_.empty() || deferred_.back() != sql) return false;
  deferred_.pop_back();
  return true;
}

bool PgPipeline::Dispatch(const PgCommand& c) {
  switch (c.kind) {
    case PgCommand::kText:
      return PQsendQueryParams(conn_, c.text, c.count, nullptr, c.values, nullptr, nullptr, 0) == 1;
    case PgCommand::kPrepare: return PQsendPrepare(conn_, c.name, c.text, c.count, nullptr) == 1;
    case PgCommand::kPrepared:
      return PQsendQueryPrepared(conn_, c.name, c.count, c.values, nullptr, nullptr, 0) == 1;
    case PgCommand::kSync: return PQpipelineSync(conn_) == 1;
  }
  return false;
}

ResultPtr PgPipeline::Receive() {
  ResultPtr first(PQgetResult(conn_));
  if (!first.r) return first;
  // libpq ends each command's answer with a null; a row-returning command
  // has a single result here since single-row mode is never used.
  while (PGresult* more = PQgetResult(conn_)) PQclear(more);
  return first;
}

bool PgPipeline::ReceiveSync() {
  // Bounded: a lost connection answers null (or an error) from here on.
  for (int i = 0; i < 1000; ++i) {
    PGresult* r = PQgetResult(conn_);
    if (!r) {
      if (PQstatus(conn_) != CONNECTION_OK) return false;
      continue;
    }
    bool sync = PQresultStatus(r) == PGRES_PIPELINE_SYNC;
    PQclear(r);
    if (sync) return true;
  }
  return false;
}

PgPipeline::Answers PgPipeline::Send(const std::vector<PgCommand>& commands) {
  Answers a;
  std::vector<std::string> held = std::exchange(deferred_, {});
  auto fill = [&] {
    a.deferred.resize(held.size());
    a.results.resize(commands.size());
    if (a.lost.empty()) a.lost = Trimmed(PQerrorMessage(conn_));
    if (a.lost.empty()) a.lost = "the server did not answer";
  };
  if (PQenterPipelineMode(conn_) != 1) {
    fill();
    return a;
  }
  size_t sent_held = 0, sent = 0;
  bool ok = true;
  for (const std::string& sql : held) {
    if (!(ok = Dispatch(PgCommand::Text(sql)))) break;
    ++sent_held;
  }
  for (size_t i = 0; ok && i < commands.size(); ++i) {
    if (!(ok = Dispatch(commands[i]))) break;
    ++sent;
  }
  if (!ok) a.lost = Trimmed(PQerrorMessage(conn_));
  bool synced = PQpipelineSync(conn_) == 1;
  bool complete = ok && synced;
  for (size_t i = 0; i < sent_held; ++i) a.deferred.push_back(Receive());
  for (size_t i = 0; i < sent; ++i) {
    if (commands[i].kind == PgCommand::kSync) {
      // The marker itself: no null follows it.
      a.results.emplace_back(PQgetResult(conn_));
    } else {
      a.results.push_back(Receive());
    }
  }
  if (synced && !ReceiveSync()) complete = false;
  PQexitPipelineMode(conn_);
  for (const ResultPtr& r : a.deferred) complete = complete && r.r;
  for (const ResultPtr& r : a.results) complete = complete && r.r;
  if (!complete) fill();
  return a;
}

}  // namespace veldrane::ado
