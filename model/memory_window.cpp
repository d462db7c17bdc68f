#include "model/memory_window.h"

#include <algorithm>

#include "core/vb_error.h"
#include "model/c_lines.h"

namespace veldrane {

// What all controls of one window share: the drawing order (back to front)
// and the count of writes. Controls hold it weakly, so a control kept by a
// step after its window is gone still answers but no longer orders anything.
struct MemorySurface {
  std::vector<const MemoryControl*> order;
  int64_t writes = 0;
};

// ---- MemoryControl ----------------------------------------------------------

MemoryControl::MemoryControl(Kind kind, std::string member, int16_t index, std::shared_ptr<MemorySurface> surface)
    : kind_(kind), member_(std::move(member)), index_(index), surface_(surface) {
  // A new control is drawn in front of the ones before it.
  if (surface) surface->order.push_back(this);
}

MemoryControl::~MemoryControl() {
  if (auto s = surface_.lock()) std::erase(s->order, this);
}

std::string MemoryControl::Name() const {
  return IsElement() ? member_ + "(" + std::to_string(index_) + ")" : member_;
}

void MemoryControl::CopyFrom(const MemoryControl& model) {
  left_ = model.left_;
  top_ = model.top_;
  width_ = model.width_;
  height_ = model.height_;
  x1_ = model.x1_;
  y1_ = model.y1_;
  x2_ = model.x2_;
  y2_ = model.y2_;
  caption_ = model.caption_;
  picture_ = model.picture_;
}

void MemoryControl::RequireBox(const char* member) const {
  if (!HasBox()) throw VbError::NotSupported(member);
}
void MemoryControl::RequireLine(const char* member) const {
  if (HasBox()) throw VbError::NotSupported(member);
}
void MemoryControl::Wrote() const {
  if (auto s = surface_.lock()) ++s->writes;
}

int16_t MemoryControl::Index() const {
  if (!IsElement()) throw VbError(343, "Object not an array");
  return index_;
}

float MemoryControl::Left() const {
  RequireBox("Left");
  return left_;
}
void MemoryControl::setLeft(float value) {
  RequireBox("Left");
  left_ = value;
  Wrote();
}
float MemoryControl::Top() const {
  RequireBox("Top");
  return top_;
}
void MemoryControl::setTop(float value) {
  RequireBox("Top");
  top_ = value;
  Wrote();
}
float MemoryControl::Width() const {
  RequireBox("Width");
  return width_;
}
void MemoryControl::setWidth(float value) {
  RequireBox("Width");
  width_ = value;
  Wrote();
}
float MemoryControl::Height() const {
  RequireBox("Height");
  return height_;
}
void MemoryControl::setHeight(float value) {
  RequireBox("Height");
  height_ = value;
  Wrote();
}
void MemoryControl::Move(float left, float top) {
  RequireBox("Move");
  left_ = left;
  top_ = top;
  Wrote();
}

float MemoryControl::x1() const {
  RequireLine("x1");
  return x1_;
}
void MemoryControl::setX1(float value) {
  RequireLine("x1");
  x1_ = value;
  Wrote();
}
float MemoryControl::y1() const {
  RequireLine("y1");
  return y1_;
}
void MemoryControl::setY1(float value) {
  RequireLine("y1");
  y1_ = value;
  Wrote();
}
float MemoryControl::x2() const {
  RequireLine("x2");
  return x2_;
}
void MemoryControl::setX2(float value) {
  RequireLine("x2");
  x2_ = value;
  Wrote();
}
float MemoryControl::y2() const {
  RequireLine("y2");
  return y2_;
}
void MemoryControl::setY2(float value) {
  RequireLine("y2");
  y2_ = value;
  Wrote();
}

void MemoryControl::setVisible(bool value) {
  visible_ = value;
  Wrote();
}

std::string MemoryControl::Caption() const {
  if (kind_ != Kind::Label) throw VbError::NotSupported("Caption");
  return caption_;
}
void MemoryControl::setCaption(const std::string& value) {
  if (kind_ != Kind::Label) throw VbError::NotSupported("Caption");
  caption_ = value;
  Wrote();
}

std::string MemoryControl::Picture() const {
  if (kind_ != Kind::Picture) throw VbError::NotSupported("Picture");
  return picture_;
}
void MemoryControl::setPicture(const std::string& value) {
  if (kind_ != Kind::Picture) throw VbError::NotSupported("Picture");
  picture_ = value;
  Wrote();
}

void MemoryControl::ZOrder(int16_t position) {
  auto s = surface_.lock();
  if (!s) return;
  std::erase(s->order, this);
  if (position == 0) {
    s->order.push_back(this);
  } else {
    s->order.insert(s->order.begin(), this);
  }
  ++s->writes;
}

// ---- MemoryWindow -----------------------------------------------------------

class MemoryWindow::ElementArray : public ControlArray {
 public:
  ElementArray(MemoryControl::Kind kind, std::string name, std::shared_ptr<MemorySurface> surface)
      : kind_(kind), name_(std::move(name)), surface_(std::move(surface)) {
    elements_[0] = std::make_shared<MemoryControl>(kind_, name_, 0, surface_);
  }

  std::shared_ptr<WindowControl> Item(int16_t index) override { return Get(index); }

  std::shared_ptr<MemoryControl> Get(int16_t index) const {
    auto it = elements_.find(index);
    if (it == elements_.end()) {
      throw VbError(340, "Control array element '" + std::to_string(index) + "' doesn't exist");
    }
    return it->second;
  }

  void Load(int16_t index) override {
    if (elements_.count(index)) throw VbError(360, "Object already loaded");
    auto element = std::make_shared<MemoryControl>(kind_, name_, index, surface_);
    element->CopyFrom(*elements_.at(0));
    elements_[index] = std::move(element);
    ++surface_->writes;
  }

  const std::map<int16_t, std::shared_ptr<MemoryControl>>& elements() const { return elements_; }

 private:
  MemoryControl::Kind kind_;
  std::string name_;
  std::shared_ptr<MemorySurface> surface_;
  std::map<int16_t, std::shared_ptr<MemoryControl>> elements_;
};

MemoryWindow::MemoryWindow() : surface_(std::make_shared<MemorySurface>()) {
  using K = MemoryControl::Kind;
  auto add_array = [&](K kind, const char* name, float width, float height) {
    auto array = std::make_unique<ElementArray>(kind, name, surface_);
    if (kind != K::Line) {
      array->Get(0)->setWidth(width);
      array->Get(0)->setHeight(height);
    }
    arrays_.emplace(name, std::move(array));
  };
  add_array(K::Picture, "shp", kPictureWidth, kPictureHeight);
  add_array(K::Label, "lblShapeCap", kLabelWidth, kLabelHeight);
  add_array(K::Line, "ln", 0, 0);
  add_array(K::Line, "arrUp", 0, 0);
  add_array(K::Line, "arrDown", 0, 0);
  add_array(K::Shape, "aDot", kDotSize, kDotSize);
  add_array(K::Label, "lblLineCap", kLabelWidth, kLabelHeight);

  const char* sources[][2] = {{"imgStart", "start"},       {"imgProcess", "process"},
                              {"imgDecission", "decission"}, {"imgStorage", "storage"},
                              {"imgData", "data"},           {"imgDocument", "document"},
                              {"imgProcessPredef", "processpredef"}, {"imgWindow", "window"},
                              {"imgPoint", "point"},         {"imgStop", "stop"}};
  for (auto& [member, picture] : sources) {
    auto img = std::make_shared<MemoryControl>(K::Picture, member, -1, surface_);
    img->setWidth(kPictureWidth);
    img->setHeight(kPictureHeight);
    img->setPicture(picture);
    singles_.emplace(member, std::move(img));
  }
  for (const char* marker : {"shpSelector", "shpPrevious"}) {
    auto shape = std::make_shared<MemoryControl>(K::Shape, marker, -1, surface_);
    shape->setWidth(kPictureWidth + 120);
    shape->setHeight(kPictureHeight + 120);
    shape->setVisible(true);
    singles_.emplace(marker, std::move(shape));
  }
  surface_->writes = 0;
}

MemoryWindow::~MemoryWindow() = default;

ControlArray& MemoryWindow::Array(std::string_view name) {
  auto it = arrays_.find(name);
  if (it == arrays_.end()) throw VbError::NotSupported(name);
  return *it->second;
}

WindowControl& MemoryWindow::Control(std::string_view name) {
  auto it = singles_.find(name);
  if (it == singles_.end()) throw VbError::NotSupported(name);
  return *it->second;
}

void MemoryWindow::setMouseIcon(const std::string& picture) {
  if (!has_mouse_icon_) throw VbError::NotSupported("MouseIcon");
  mouse_icon_ = picture;
  ++surface_->writes;
}

std::shared_ptr<DesignerProcess> MemoryWindow::process() {
  if (!has_process_) throw VbError::NotSupported("process");
  return process_;
}

void MemoryWindow::RemoveMember(std::string_view name) {
  if (IEquals(name, "MouseIcon")) has_mouse_icon_ = false;
  if (IEquals(name, "process")) has_process_ = false;
  if (auto it = arrays_.find(name); it != arrays_.end()) arrays_.erase(it);
  if (auto it = singles_.find(name); it != singles_.end()) singles_.erase(it);
}

std::shared_ptr<MemoryControl> MemoryWindow::Element(std::string_view array, int16_t index) const {
  auto it = arrays_.find(array);
  if (it == arrays_.end()) return nullptr;
  auto e = it->second->elements().find(index);
  return e == it->second->elements().end() ? nullptr : e->second;
}

std::vector<int16_t> MemoryWindow::Indexes(std::string_view array) const {
  std::vector<int16_t> out;
  auto it = arrays_.find(array);
  if (it == arrays_.end()) return out;
  for (auto& [index, element] : it->second->elements()) out.push_back(index);
  return out;
}

std::vector<const MemoryControl*> MemoryWindow::DrawingOrder() const { return surface_->order; }

std::vector<std::string> MemoryWindow::DrawingOrderNames() const {
  std::vector<std::string> out;
  for (const MemoryControl* c : surface_->order) out.push_back(c->Name());
  return out;
}

int64_t MemoryWindow::Writes() const { return surface_->writes; }

void ShowLinkCaptions(cLines& lines, MemoryWindow& window) {
  for (auto& line : *lines.Collection()) {
    if (line->sCaption().empty() || !line->objLine) continue;
    auto label = window.Element("lblLineCap", line->objLine->Index());
    if (!label) continue;
    const WindowControl& ln = *line->objLine;
    label->setCaption(line->sCaption());
    label->setVisible(true);
    label->Move(ln.x1() + (ln.x2() - ln.x1()) / 2 - label->Width() / 2,
                ln.y1() + (ln.y2() - ln.y1()) / 2 - label->Height() / 2);
  }
}

}  // namespace veldrane
