// cLine: one arrow of the flow chart, from one step to another, with an
// optional caption. Links name their steps by number as decimal text (a link
// from step k2 to step k5 has sFrom "2" and sTo "5"), never by key. The run
// driver follows links; on a designer window a link is drawn by five controls
// that share the index of its line control.
#pragma once

#include <memory>
#include <string>

#include "model/designer_window.h"

namespace veldrane {

class cLine {
 public:
  // The line control drawing the link; null when created without a window.
  std::shared_ptr<WindowControl> objLine;

  // Number of the step where the link starts, as decimal text.
  const std::string& sFrom() const { return from_; }
  void sFrom(std::string value) { from_ = std::move(value); }
  // Number of the step where the link ends, as decimal text.
  const std::string& sTo() const { return to_; }
  void sTo(std::string value) { to_ = std::move(value); }
  // The link's caption; walks may choose among a step's links by it.
  const std::string& sCaption() const { return caption_; }
  void sCaption(std::string value) { caption_ = std::move(value); }

 private:
  std::string from_;     // sFrom
  std::string to_;       // sTo
  std::string caption_;  // sCaption
};

}  // namespace veldrane
