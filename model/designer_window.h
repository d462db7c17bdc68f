// The designer window as the flow-chart model sees it.
//
// A designer host hands its window to the step and link collections; they then
// mirror steps and links as controls on it: a picture and a caption label per
// step, a line, two arrow barbs, an end dot and a caption label per link. The
// model reaches the window's members by name, as a late-bound caller would:
// control arrays ("shp", "lblShapeCap", "ln", "arrUp", "arrDown", "aDot",
// "lblLineCap"), single controls ("imgStart" .. "imgStop", "shpSelector",
// "shpPrevious"), the mouse pointer picture and the process object the window
// shows. A member the window lacks raises 438; the callers raise 91 themselves
// when they have no window at all.
//
// Element 0 of every control array exists beforehand; element n is created by
// Load(n) and starts hidden, with a size (the model never sets Width/Height).
// How controls are drawn is the window's business; MemoryWindow is the
// in-memory implementation used by tests and the SVG renderer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace veldrane {

class cLines;

// One control on the window. Every member raises 438 unless the control kind
// has it; an implementation overrides the members its controls support.
class WindowControl {
 public:
  virtual ~WindowControl() = default;

  // The element's index in its control array.
  virtual int16_t Index() const;

  // Position and size of pictures, labels and shapes, in window units.
  virtual float Left() const;
  virtual void setLeft(float value);
  virtual float Top() const;
  virtual void setTop(float value);
  virtual float Width() const;
  virtual void setWidth(float value);
  virtual float Height() const;
  virtual void setHeight(float value);
  // Sets Left and Top together.
  virtual void Move(float left, float top);

  // End points of lines.
  virtual float x1() const;
  virtual void setX1(float value);
  virtual float y1() const;
  virtual void setY1(float value);
  virtual float x2() const;
  virtual void setX2(float value);
  virtual float y2() const;
  virtual void setY2(float value);

  virtual bool Visible() const;
  virtual void setVisible(bool value);
  // Text of labels.
  virtual std::string Caption() const;
  virtual void setCaption(const std::string& value);
  // Picture of pictures and picture sources: a reference the window resolves.
  virtual std::string Picture() const;
  virtual void setPicture(const std::string& value);

  // Changes the drawing order: 0 brings the control to the front, 1 sends it
  // to the back.
  virtual void ZOrder(int16_t position);
};

// A control array of the window.
class ControlArray {
 public:
  virtual ~ControlArray() = default;
  // The element under `index`; raises 340 when it was never loaded.
  virtual std::shared_ptr<WindowControl> Item(int16_t index) = 0;
  // Creates element `index`, hidden, sized like element 0; raises 360 when it
  // already exists.
  virtual void Load(int16_t index) = 0;
};

// What the model needs of the process object that a window shows: its link
// collection, so that removing a step can remove the step's links.
class DesignerProcess {
 public:
  virtual ~DesignerProcess() = default;
  // The process's link collection; null when it has none yet.
  virtual std::shared_ptr<cLines> Lines() = 0;
};

class DesignerWindow {
 public:
  virtual ~DesignerWindow() = default;
  // A control array by name; raises 438 when the window has none of that name.
  virtual ControlArray& Array(std::string_view name) = 0;
  // A single control by name; raises 438 when the window has none of that name.
  virtual WindowControl& Control(std::string_view name) = 0;
  // Sets the window's custom mouse pointer picture ("" = none); raises 438
  // when the window has no such member.
  virtual void setMouseIcon(const std::string& picture) = 0;
  // The process object the window shows (null = Nothing); raises 438 when the
  // window has no such member.
  virtual std::shared_ptr<DesignerProcess> process() = 0;
};

}  // namespace veldrane
