// ProcessProbe: the tests' way to the process object's private walks (the
// engine alone calls them). One definition for every test of the engine
// binary, so that no two files define the friend differently.
#pragma once

#include <memory>
#include <string>

#include "engine/cls_process.h"

namespace veldrane {

struct ProcessProbe {
  static std::shared_ptr<cShape> Start(clsProcess& p) { return p.GetStartStep(); }
  static std::shared_ptr<cShape> End(clsProcess& p) { return p.GetEndStep(); }
  static std::shared_ptr<cShape> Next(clsProcess& p, const std::shared_ptr<cShape>& step, const std::string& caption) {
    return p.GetNextStep(step, caption);
  }
  static std::shared_ptr<cShape> Previous(clsProcess& p, const std::shared_ptr<cShape>& step) {
    return p.GetPreviousStep(step);
  }
  static void IndexByCaption(clsProcess& p, Collection<std::shared_ptr<cShape>>& steps) {
    p.IndexStepsByCaption(steps);
  }
};

}  // namespace veldrane
