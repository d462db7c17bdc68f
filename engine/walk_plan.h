// WalkPlan: the steps every record of a run visits. The run follows the
// first link leaving each step, from START to END, whatever a decision's
// condition says; the links do not change while a run goes, so the walk is
// followed once and replayed for every record. The commands that explain a
// document (check, preview) show this same walk.
#pragma once

#include <memory>
#include <vector>

namespace veldrane {

class cShape;

struct WalkPlan {
  enum class End {
    kEnd,      // reached the END step (the last of `steps`)
    kDeadEnd,  // the last step has no outgoing link
    kLoop,     // the next step was reached before: the flow loops there
    kFailure,  // following a link failed (an end that is not a number)
    kNoStart,  // the flow has no START step: no record walks at all
  };
  bool built = false;
  std::vector<std::shared_ptr<cShape>> steps;  // after START, in walk order
  End end = End::kEnd;
  std::shared_ptr<cShape> loop_step;           // kLoop: where the flow loops back
};

}  // namespace veldrane
