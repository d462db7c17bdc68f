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
// What a run does with a step's rows (opening them, the query a TARGET step
// re-opens them with, `data`, `setQuery`, `ExecuteSql`) is the engine's
// StepData (engine/step_data.h), attached to the step; the model only tells
// it when the step's source or connection changes.
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
}  // namespace ado

class clsLog;

// What a layer above keeps with a step. The model never looks inside; it
// only tells it when what it keeps has gone stale.
class StepAttachment {
 public:
  virtual ~StepAttachment() = default;
  // Says which kind of attachment this is, so that its owner layer finds
  // its own at the cost of a comparison (it is looked for many times per
  // record): the address of something of that layer's.
  const void* kind() const { return kind_; }
  // The SOURCE step's text changed: rows read with the old one are stale.
  virtual void SourceChanged() = 0;
  // The step's connection was replaced by another.
  virtual void ConnectionChanged() = 0;

 protected:
  explicit StepAttachment(const void* kind) : kind_(kind) {}

 private:
  const void* kind_;
};

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
  // The connection when one was created; null otherwise. Creates nothing.
  const std::shared_ptr<ado::Connection>& cnSourceIfAny() const { return cn_source_; }
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

  // What a layer above keeps with the step; null until it attaches one.
  StepAttachment* attachment() const { return attachment_.get(); }
  void attach(std::shared_ptr<StepAttachment> attachment) { attachment_ = std::move(attachment); }

  // Where the step stands: its control's Left and Top when it has one, else
  // the position it was created at.
  float X() const;
  float Y() const;
  // Records a position; moves the control too when the step has one.
  void SetPosition(float x, float y);

  // Script face: sCaption, Index, Key, objType, DebugMode; other parts of the
  // library add their members to Members() (the engine's StepData adds data,
  // setQuery and ExecuteSql).
  std::string TypeName() const override { return "cShape"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override;
  // The member table behind Invoke. Add to it before the first script runs
  // (a static initialiser of the adding file is the usual place).
  static MemberTable<cShape>& Members();

 private:
  friend class cShapes;

  std::string caption_;                        // sCaption
  bool debug_mode_ = false;                    // DebugMode
  float x_ = 0;                                // position without a window control
  float y_ = 0;
  std::shared_ptr<ado::Connection> cn_source_;  // cnSource, created on first use
  std::shared_ptr<StepAttachment> attachment_;  // attachment()
};

}  // namespace veldrane
