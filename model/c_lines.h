// cLines: the links of one process, in order of creation, without keys.
//
// Links are created without checks beyond refusing a "0" end: empty ends,
// ends naming no step and duplicates are accepted. With a designer window
// each new link gets its five controls (line, two arrow barbs, end dot,
// caption label) and is routed between the facing sides of its two step
// pictures (line_geometry.cpp). Captioning, deleting and re-routing are
// designer operations and raise 91 without a window.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/collection.h"
#include "core/event.h"
#include "model/c_line.h"
#include "model/designer_window.h"

namespace veldrane {

class cLines {
 public:
  // The modal text prompt: (prompt, title, default text) -> the answer, or ""
  // when cancelled.
  using InputPrompt =
      std::function<std::string(std::string_view prompt, std::string_view title, std::string_view default_text)>;

  cLines();

  // The number of the most recently created link; the next gets MAX_LINE + 1.
  int16_t MAX_LINE = 0;

  // Raised with a message when a request is refused.
  Event<const std::string&> linkError;

  // Sets the designer window (null = none).
  void Form(std::shared_ptr<DesignerWindow> window) { form_ = std::move(window); }
  // Sets the prompt AddCaptionToLine asks with. The default answers every
  // prompt as cancelled.
  void Prompt(InputPrompt prompt);

  // The number of links.
  int32_t Count() const { return collection_->Count(); }
  // The link at a 1-based position; raises 9 outside 1..Count.
  std::shared_ptr<cLine> item(const Variant& vntIndexKey) const { return collection_->Item(vntIndexKey); }
  // The live collection of links.
  CollectionRef<std::shared_ptr<cLine>> Collection() const { return collection_; }

  // Asks for a caption for every link between the two steps (either
  // direction) and shows it on the window. Raises 91 without a window, after
  // the first matching link's caption is set.
  void AddCaptionToLine(const std::string& sFrom, const std::string& sTo);

  // Adds a link and, on the window, its controls, routed. Refuses a "0" end
  // through linkError. Returns null when anything but a missing window fails
  // (an end that is not a number, overflow of MAX_LINE); the link may then
  // already be in the collection.
  std::shared_ptr<cLine> addLine(const std::string& sFrom, const std::string& sTo, const std::string& sCaption);

  // Removes the link at a 1-based position; the window is not touched.
  // Raises 9 outside 1..Count.
  void Remove(const Variant& vntIndexKey) { collection_->Remove(vntIndexKey); }

  // Removes every link between the two steps, in both directions, hiding
  // their controls. An end not above 0 is refused through linkError. Raises
  // 91 when a matching link has no line control (no window).
  void DeleteLine(int16_t xFrom, int16_t xTo);

  // Re-routes every link that starts or ends at the step numbered
  // `shapeIndex` (compared as text). Raises 91 without a window when some
  // link touches the step.
  void UpdateConntectedLines(const std::string& shapeIndex);

  // Re-routes the link between the facing sides of its steps' pictures and
  // places its caption, end dot and arrow barbs. Writes to the window only
  // what moved. Raises 13 for an end that is not a number, then 91 without a
  // window.
  void UpdateLine(cLine& xLine);

 private:
  // Places the end dot and the arrow barbs at the line's end.
  void UpdateArrowHead(cLine& xLine);
  // The window, or 91 when none is set.
  DesignerWindow& Window() const;
  // Runs one window action of addLine: without a window its 91 is absorbed.
  template <class F>
  void WindowAction(F&& action) const;

  std::shared_ptr<DesignerWindow> form_;              // Form
  CollectionRef<std::shared_ptr<cLine>> collection_;  // Collection
  InputPrompt prompt_;                                // the caption prompt
};

}  // namespace veldrane
