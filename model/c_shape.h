// cShape: one step of an integration's flow chart: a START or END marker, a
// SOURCE that reads rows, a TARGET that writes them, a decision, or a drawing
// shape.
//
// A step is data first: its type, its number and key within its collection,
// its caption and its payload record. Steps are created and numbered only by
// cShapes; nothing changes Index or Key afterwards. With a designer window a
// step also has its picture control (`objShape`); without one it still
// remembers where it was placed, so that a flow built without a window can
// be saved and drawn later.
//
// The data side of a step (opening its connection and rows, `data`,
// `setQuery`, `ExecuteSql`) lives with the engine in engine/step_data.cpp;
// this header only holds the state it works on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/object.h"
#include "model/designer_window.h"
#include "model/records.h"

namespace veldrane {

namespace ado {
class Connection;
class Recordset;
struct TargetSelect;
}  // namespace ado

class clsLog;

class cShape : public Object {
 public:
  // The picture control showing the step on the designer window; null when
  // the step was created without a window.
  std::shared_ptr<WindowControl> objShape;
  // The step type (a shpType value).
  int16_t objType = aNothing;
  // The payload: a record for SOURCE, TARGET and decision steps, an empty
  // string for END, nothing otherwise.
  Payload objElements;
  // The step number: unique in its collection, never reused; also the index
  // of the step's controls on the window.
  int16_t Index = 0;
  // The collection key: "k" followed by Index in decimal.
  std::string Key;
  // The run log the step reports to; set by the run driver.
  std::shared_ptr<clsLog> gbLog;

  // The caption written under the step.
  const std::string& sCaption() const { return caption_; }
  void sCaption(std::string value) { caption_ = std::move(value); }

  // The step's connection, created (closed, no connection string) on first use.
  std::shared_ptr<ado::Connection> cnSource();
  // Replaces the connection, e.g. by one shared with other steps.
  void cnSource(std::shared_ptr<ado::Connection> connection);

  // True while a transaction begun on cnSource is to be rolled back when the
  // flag is switched off.
  bool DebugMode() const { return debug_mode_; }
  // Switching on begins a transaction on cnSource, switching off rolls it
  // back; setting the current value does nothing. A database failure (for
  // example a connection that is not open) reaches the caller and the flag
  // keeps its old value.
  void DebugMode(bool value);

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
  const std::shared_ptr<const ado::TargetSelect>& target() const { return mTarget; }
  // Changes whenever the step's rows are discarded for a new query: rows
  // read at one generation are the step's rows while it lasts.
  uint64_t dataGeneration() const { return data_generation_; }
  // Rows opened apart with `query` on the step's connection; the step's own
  // rows and query stay as they are. Raises as `data` does.
  std::shared_ptr<ado::Recordset> dataApart(const std::string& query);
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

  // Where the step stands: its control's Left and Top when it has one, else
  // the position it was created at.
  float X() const;
  float Y() const;
  // Records a position; moves the control too when the step has one.
  void SetPosition(float x, float y);

  // Script face: sCaption, Index, Key, objType, DebugMode; other parts of the
  // library add their members to Members() (the data side adds data and
  // ExecuteSql).
  std::string TypeName() const override { return "cShape"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override;
  // The member table behind Invoke. Add to it before the first script runs
  // (a static initialiser of the adding file is the usual place).
  static MemberTable<cShape>& Members();

 private:
  friend class cShapes;
  friend struct ShapeDataProbe;  // lets the model's tests look at the prepared query

  // Forgets the prepared query and the rows opened with it, so that the next
  // read of the rows opens the step's source afresh.
  void DiscardQuery();
  // Closes or lets go of the rows for the next query (engine/step_data.cpp).
  void DropRows();
  // Opens the connection and rows from the payload; null when an opening
  // failed (logged). Every failure is absorbed.
  std::shared_ptr<ado::Recordset> OpenData(const Payload& payload);
  // The first half of OpenData: cnSource, opened from the payload when closed.
  std::shared_ptr<ado::Connection> OpenConnection(const Payload& payload);

  std::string caption_;                        // sCaption
  bool debug_mode_ = false;                    // DebugMode
  float x_ = 0;                                // position without a window control
  float y_ = 0;
  std::shared_ptr<ado::Connection> cn_source_;  // cnSource, created on first use
  // The data side (engine/step_data.cpp) works on these two.
  std::string mQuery;                          // the query a TARGET step opens its rows with
  std::shared_ptr<const ado::TargetSelect> mTarget;  // instead of mQuery: the select in parts
  std::shared_ptr<ado::Recordset> mData;       // the step's rows; null = not yet created
  uint64_t data_generation_ = 0;               // dataGeneration
};

}  // namespace veldrane
