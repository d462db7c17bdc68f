// Helpers shared by the model's tests: a process object for a window to
// show, error-number capture and a window with a process attached.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/vb_error.h"
#include "model/c_lines.h"
#include "model/c_shape.h"
#include "model/memory_window.h"

namespace veldrane {

// Counts what the model tells a step's attachment.
struct ToldAttachment : StepAttachment {
  ToldAttachment() : StepAttachment(this) {}
  int source_changes = 0;
  int connection_changes = 0;
  void SourceChanged() override { ++source_changes; }
  void ConnectionChanged() override { ++connection_changes; }
};

namespace testing_support {

// The error number a call raises; 0 when it raises nothing.
inline int ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const VbError& e) {
    return e.number();
  }
  return 0;
}

// The smallest process object a window can show: one link collection.
class TestProcess : public DesignerProcess {
 public:
  std::shared_ptr<cLines> lines = std::make_shared<cLines>();
  std::shared_ptr<cLines> Lines() override { return lines; }
};

// Collects the texts of a linkError-like event.
struct Messages {
  std::vector<std::string> texts;
  std::function<void(const std::string&)> Handler() {
    return [this](const std::string& s) { texts.push_back(s); };
  }
};

}  // namespace testing_support
}  // namespace veldrane
