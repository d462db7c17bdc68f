// The script host's view of the steps' rows (formulas/script_host.h),
// served from each step's StepData.
#include "engine/step_rows.h"

#include "engine/step_data.h"
#include "platform/db/ado.h"
#include "platform/db/target_select.h"

namespace veldrane {

namespace {

// A step's rows as the engine sees them: every member, the default one and
// enumeration go to the rows the step had at the last preparation. They are
// found when a formula first reaches them: the step's own rows while it has
// not moved on to another query since, else rows opened apart with the
// query it had. Most records' formulas never look at another step's rows,
// and holding them would keep a TARGET step from re-opening its recordset
// in place.
class StepRows : public Object {
 public:
  explicit StepRows(const std::shared_ptr<cShape>& step) { Point(step); }
  void Point(const std::shared_ptr<cShape>& step) {
    StepData& data = StepData::Of(*step);
    // The same step whose rows were not discarded since: nothing to point
    // anew (a SOURCE step, record after record).
    if (step_ == step && generation_ == data.dataGeneration()) return;
    rows_.reset();
    generation_ = data.dataGeneration();
    // Kept as the step has it: a TARGET step's select in parts costs no text.
    target_ = data.target();
    if (target_) {
      query_.clear();
    } else {
      query_ = data.query();
    }
    if (step_ != step) step_ = step;
  }
  std::string TypeName() const override { return "Recordset"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override { return Rows().Invoke(name, kind, args); }
  std::vector<Variant> Enumerate() override { return Rows().Enumerate(); }
  // Invoke("", Get, {field}), resolved: Fields.Item(field).Value.
  Variant FieldValue(std::string_view field) {
    Rows();
    return rows_->GetFields().Item(field).Value();
  }

 private:
  // Raises, as `data` does, when the rows cannot be opened.
  Object& Rows() {
    if (!rows_) {
      if (StepData::Of(*step_).dataGeneration() == generation_) {
        rows_ = StepData::Of(*step_).data();
      } else {
        rows_ = target_ ? StepData::Of(*step_).dataApart(target_) : StepData::Of(*step_).dataApart(query_);
      }
    }
    return *rows_;
  }

  std::shared_ptr<cShape> step_;
  uint64_t generation_ = 0;               // the step's rows at preparation
  std::string query_;                     // and the query they were opened with
  std::shared_ptr<const ado::TargetSelect> target_;  // or the select
  std::shared_ptr<ado::Recordset> rows_;  // null until a formula reaches them
};

}  // namespace

StepDataRows& StepDataRows::Instance() {
  static StepDataRows rows;
  return rows;
}

bool StepDataRows::Connect(cShape& step) { return StepData::Of(step).connect(); }

bool StepDataRows::Connected(const cShape& step) {
  const StepData* data = StepData::Find(step);
  return data && data->connected();
}

ObjectRef StepDataRows::StandIn(const std::shared_ptr<cShape>& step) { return std::make_shared<StepRows>(step); }

void StepDataRows::Point(Object& stand_in, const std::shared_ptr<cShape>& step) {
  static_cast<StepRows&>(stand_in).Point(step);
}

Variant StepDataRows::FieldValue(Object& stand_in, std::string_view field) {
  return static_cast<StepRows&>(stand_in).FieldValue(field);
}

}  // namespace veldrane
