// StepData: the data side of a SOURCE or TARGET step. It opens the step's
// connection (cShape::cnSource) and rows, keeps the query a TARGET step
// re-opens its rows with for every record, and runs a formula's SQL on the
// step's connection. The model knows the step; this is what a run does with
// it, kept beside the step (a cShape attachment) and made on first use.
//
// A SOURCE step opens its rows once and keeps them, with their position,
// until a new query discards them; a TARGET step's rows are discarded by
// every new query and re-opened, with it, by the next read of `data`.
// Opening absorbs every failure on purpose: what went wrong reaches the run
// log as a "CRITICAL ERROR:" entry, and `data` then fails for its caller
// (the run driver, the record transfer, the script host), each of which has
// its own way of going on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/variant.h"
#include "model/c_shape.h"

namespace veldrane {

namespace ado {
class Connection;
class Recordset;
struct TargetSelect;
}  // namespace ado

class StepData final : public StepAttachment {
 public:
  // The data side of `step`, made on first use.
  static StepData& Of(cShape& step);
  // The same without making one: null when the step has none yet.
  static StepData* Find(const cShape& step);

  explicit StepData(cShape& step) : StepAttachment(&kKind), step_(step) {}

  // The step's rows (SOURCE and TARGET steps), opening its connection and
  // rows first when needed; null for every other type. Raises when they
  // could not be opened (the step has logged why).
  std::shared_ptr<ado::Recordset> data();
  // Opens the step's connection (SOURCE and TARGET steps) unless it is open;
  // false, with the failure logged as critical, when it will not open, and
  // for every other type.
  bool connect();
  // True when the step's connection exists and is open; nothing is opened.
  bool connected() const;

  // The query the step's rows are (or will next be) opened with, as text.
  std::string query() const;
  // The select set by setTarget; null after setQuery.
  const std::shared_ptr<const ado::TargetSelect>& target() const { return target_; }
  // Changes whenever the step's rows are discarded for a new query: rows
  // read at one generation are the step's rows while it lasts.
  uint64_t dataGeneration() const { return generation_; }
  // Rows opened apart with `query` (or `select`) on the step's connection;
  // the step's own rows and query stay as they are. Raises as `data` does.
  std::shared_ptr<ado::Recordset> dataApart(const std::string& query);
  std::shared_ptr<ado::Recordset> dataApart(std::shared_ptr<const ado::TargetSelect> select);
  // The query a TARGET step's rows are opened with next; the rows held are
  // discarded. Nothing is opened.
  void setQuery(const std::string& strQuery);
  // The same for a select kept in parts (a TARGET step's per-record query):
  // its key values are bound when the rows open, never written into text.
  void setTarget(std::shared_ptr<const ado::TargetSelect> select);
  // For a query that selects no row by construction (a TARGET step with no
  // lookup): when the step's rows were opened with that very query and
  // nothing else holds them, they are emptied (a pending edit and the rows
  // added since are dropped from the recordset, not from the database) as a
  // new opening would leave them. False, with nothing changed, otherwise.
  bool emptyRowsFor(const std::string& strQuery);
  bool emptyRowsFor(const ado::TargetSelect& select);
  // Runs `sql` on the step's connection (as it is, never opened here) and
  // returns field `Field` (name or 0-based number) of the first row; the
  // empty value when anything fails or there is no row.
  Variant ExecuteSql(const Variant& sql, const Variant& Field);

  // StepAttachment.
  void SourceChanged() override;
  void ConnectionChanged() override;

 private:
  static const char kKind;  // StepAttachment::kind of every StepData

  // Closes or lets go of the rows for the next query.
  void DropRows();
  // Opens the connection and rows from the payload; null when an opening
  // failed (logged). Every failure is absorbed.
  std::shared_ptr<ado::Recordset> OpenData();
  // The first half of OpenData: cnSource, opened from the payload when closed.
  std::shared_ptr<ado::Connection> OpenConnection();

  cShape& step_;                                     // owns this
  std::string query_;                                // the query a TARGET step opens its rows with
  std::shared_ptr<const ado::TargetSelect> target_;  // instead of query_: the select in parts
  std::shared_ptr<ado::Recordset> rows_;             // null = not yet created
  uint64_t generation_ = 0;                          // dataGeneration
};

}  // namespace veldrane
