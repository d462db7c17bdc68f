// The steps' rows as the script host reaches them: a stand-in per step
// that finds the step's rows (StepData) when a formula first reads them.
#pragma once

#include "formulas/script_host.h"

namespace veldrane {

class StepDataRows final : public StepRowsSource {
 public:
  // It keeps nothing: one serves every process.
  static StepDataRows& Instance();

  bool Connect(cShape& step) override;
  bool Connected(const cShape& step) override;
  ObjectRef StandIn(const std::shared_ptr<cShape>& step) override;
  void Point(Object& stand_in, const std::shared_ptr<cShape>& step) override;
  Variant FieldValue(Object& stand_in, std::string_view field) override;
};

}  // namespace veldrane
