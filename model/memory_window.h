// MemoryWindow: a designer window that lives only in memory.
//
// It behaves as a real window does towards the model: element 0 of every
// control array exists from the start, Load(n) creates element n hidden and
// sized like element 0, Move sets Left and Top together, and ZOrder changes a
// drawing order that callers can read back. Tests use it to watch what the
// model does to a window; the CLI draws its state as SVG.
//
// Tests can take members away (RemoveMember) to see how the model meets a
// window that lacks them, and can count writes to check that an operation
// only read from the window.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/text.h"
#include "model/designer_window.h"

namespace veldrane {

struct MemorySurface;

// One control of a MemoryWindow. Its kind decides which members it has; the
// others raise 438 as the interface's defaults do.
class MemoryControl : public WindowControl {
 public:
  enum class Kind {
    Picture,  // step pictures and picture sources: position, size, Picture
    Label,    // captions: position, size, Caption
    Line,     // links and arrow barbs: end points
    Shape,    // end dots and markers: position, size
  };

  MemoryControl(Kind kind, std::string member, int16_t index, std::shared_ptr<MemorySurface> surface);
  ~MemoryControl() override;

  // What the control is, for renderers and tests.
  Kind kind() const { return kind_; }
  // The window member it belongs to ("shp", "imgStart", ...).
  const std::string& member() const { return member_; }
  // True for an element of a control array.
  bool IsElement() const { return index_ >= 0; }
  // "shp(3)" for an element, "imgStart" for a single control.
  std::string Name() const;
  // Takes over every property of `model` except Index and Visible.
  void CopyFrom(const MemoryControl& model);

  int16_t Index() const override;
  float Left() const override;
  void setLeft(float value) override;
  float Top() const override;
  void setTop(float value) override;
  float Width() const override;
  void setWidth(float value) override;
  float Height() const override;
  void setHeight(float value) override;
  void Move(float left, float top) override;
  float x1() const override;
  void setX1(float value) override;
  float y1() const override;
  void setY1(float value) override;
  float x2() const override;
  void setX2(float value) override;
  float y2() const override;
  void setY2(float value) override;
  bool Visible() const override { return visible_; }
  void setVisible(bool value) override;
  std::string Caption() const override;
  void setCaption(const std::string& value) override;
  std::string Picture() const override;
  void setPicture(const std::string& value) override;
  void ZOrder(int16_t position) override;

 private:
  bool HasBox() const { return kind_ != Kind::Line; }
  void RequireBox(const char* member) const;
  void RequireLine(const char* member) const;
  void Wrote() const;

  Kind kind_;
  std::string member_;
  int16_t index_;                             // -1 for a single control
  std::weak_ptr<MemorySurface> surface_;      // drawing order and write count of the window
  float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  float x1_ = 0, y1_ = 0, x2_ = 0, y2_ = 0;
  bool visible_ = false;
  std::string caption_;
  std::string picture_;
};

class MemoryWindow : public DesignerWindow {
 public:
  // Default sizes of the first elements, in window units.
  static constexpr float kPictureWidth = 1215, kPictureHeight = 855;
  static constexpr float kLabelWidth = 1215, kLabelHeight = 255;
  static constexpr float kDotSize = 105;

  // A window with every member the model uses: the seven control arrays with
  // element 0 (hidden), the ten picture sources (Picture = "start",
  // "process", ... "stop"), the two markers (shown), no mouse icon and no
  // process.
  MemoryWindow();
  ~MemoryWindow() override;

  ControlArray& Array(std::string_view name) override;
  WindowControl& Control(std::string_view name) override;
  void setMouseIcon(const std::string& picture) override;
  std::shared_ptr<DesignerProcess> process() override;

  // Sets the process object the window shows.
  void SetProcess(std::shared_ptr<DesignerProcess> process) { process_ = std::move(process); }
  // Takes a member away ("shp", "imgStop", "MouseIcon", "process", ...);
  // later accesses raise 438.
  void RemoveMember(std::string_view name);

  // The current mouse icon ("" = none).
  const std::string& MouseIcon() const { return mouse_icon_; }
  // Element `index` of an array, or null when it is not loaded.
  std::shared_ptr<MemoryControl> Element(std::string_view array, int16_t index) const;
  // The loaded indexes of an array, ascending.
  std::vector<int16_t> Indexes(std::string_view array) const;
  // Every control, from the back of the drawing order to the front.
  std::vector<const MemoryControl*> DrawingOrder() const;
  // The same as names ("shp(1)", "imgStart", ...).
  std::vector<std::string> DrawingOrderNames() const;
  // How many writes (property sets, moves, loads, order changes) the window
  // has seen.
  int64_t Writes() const;

 private:
  class ElementArray;

  std::shared_ptr<MemorySurface> surface_;
  std::map<std::string, std::unique_ptr<ElementArray>, ILess> arrays_;   // members match in any case
  std::map<std::string, std::shared_ptr<MemoryControl>, ILess> singles_;
  bool has_mouse_icon_ = true;
  bool has_process_ = true;
  std::string mouse_icon_;
  std::shared_ptr<DesignerProcess> process_;
};

class cLines;

// A loaded link keeps its caption in the model only; a designer shows it
// once it is set on the window. Puts each caption of `lines` on its label,
// centred on the line, as the designer places it.
void ShowLinkCaptions(cLines& lines, MemoryWindow& window);

}  // namespace veldrane
