#include "model/c_lines.h"

#include <cmath>

#include "core/checked.h"
#include "model/line_geometry.h"

namespace veldrane {

namespace {

// Whether a link end, read as a number, is `number`. An end that is not a
// number matches nothing rather than failing the whole operation.
bool EndIs(const std::string& end, int16_t number) {
  std::optional<double> value = ParseNumber(end);
  return value && *value == number;
}

// The control, or 91: a link made without a window has no controls.
WindowControl& Control(const std::shared_ptr<WindowControl>& control) {
  if (!control) throw VbError::ObjectNotSet();
  return *control;
}

// Positions are compared as the window would show them: in whole units.
bool Moved(float current, float wanted) { return std::trunc(current) != std::trunc(wanted); }

}  // namespace

cLines::cLines()
    : collection_(NewCollection<std::shared_ptr<cLine>>()),
      prompt_([](std::string_view, std::string_view, std::string_view) { return std::string(); }) {}

void cLines::Prompt(InputPrompt prompt) {
  if (prompt) {
    prompt_ = std::move(prompt);
  } else {
    prompt_ = [](std::string_view, std::string_view, std::string_view) { return std::string(); };
  }
}

DesignerWindow& cLines::Window() const {
  if (!form_) throw VbError::ObjectNotSet();
  return *form_;
}

template <class F>
void cLines::WindowAction(F&& action) const {
  try {
    action();
  } catch (const VbError& e) {
    // Links are made without a window by the runner: the window's part of
    // the request is skipped. With a window, every failure counts.
    if (form_ || e.number() != vberr::kObjectNotSet) throw;
  }
}

std::shared_ptr<cLine> cLines::addLine(const std::string& sFrom, const std::string& sTo,
                                       const std::string& sCaption) {
  if (sFrom == "0" || sTo == "0") {
    linkError("Cannot make a link!!!!");
    return nullptr;
  }
  auto line = std::make_shared<cLine>();
  line->sFrom(sFrom);
  line->sTo(sTo);
  collection_->Add(line);
  // From here a failure ends the request with no link returned; what was
  // done stays done (the link stays in the collection, as designers expect
  // when a routing fails halfway).
  try {
    MAX_LINE = AddChecked16(MAX_LINE, 1);
    const int16_t n = MAX_LINE;
    WindowAction([&] {
      for (const char* array : {"ln", "arrUp", "arrDown", "aDot", "lblLineCap"}) Window().Array(array).Load(n);
    });
    WindowAction([&] { line->objLine = Window().Array("ln").Item(n); });
    line->sCaption(sCaption);
    WindowAction([&] { UpdateLine(*line); });
    WindowAction([&] {
      Control(line->objLine).setVisible(true);
      Window().Array("lblLineCap").Item(n)->ZOrder(0);
    });
  } catch (const VbError&) {
    return nullptr;
  }
  return line;
}

void cLines::AddCaptionToLine(const std::string& sFrom, const std::string& sTo) {
  for (int32_t i = 1; i <= collection_->Count(); ++i) {
    std::shared_ptr<cLine> line = collection_->Item(i);
    bool matches = (line->sFrom() == sFrom && line->sTo() == sTo) || (line->sFrom() == sTo && line->sTo() == sFrom);
    if (!matches) continue;
    std::string answer = prompt_("Enter the caption:", "Add Caption To Line", "");
    line->sCaption(answer);
    WindowControl& ln = Control(line->objLine);
    std::shared_ptr<WindowControl> label = Window().Array("lblLineCap").Item(ln.Index());
    label->setCaption(answer);
    label->setVisible(!answer.empty());
    double x1 = ln.x1(), y1 = ln.y1(), x2 = ln.x2(), y2 = ln.y2();
    label->Move(static_cast<float>(x1 + (x2 - x1) / 2 - label->Width() / 2.0),
                static_cast<float>(y1 + (y2 - y1) / 2 - label->Height() / 2.0));
  }
}

void cLines::DeleteLine(int16_t xFrom, int16_t xTo) {
  if (xFrom <= 0 || xTo <= 0) {
    linkError("Cannot determine which arrow to delete.");
    return;
  }
  // Downwards, so that removing a link leaves the positions still to visit.
  for (int32_t i = collection_->Count(); i >= 1; --i) {
    std::shared_ptr<cLine> line = collection_->Item(i);
    bool matches = (EndIs(line->sFrom(), xFrom) && EndIs(line->sTo(), xTo)) ||
                   (EndIs(line->sFrom(), xTo) && EndIs(line->sTo(), xFrom));
    if (!matches) continue;
    WindowControl& ln = Control(line->objLine);
    ln.setVisible(false);
    line->sFrom("");
    line->sTo("");
    const int16_t n = ln.Index();
    for (const char* array : {"aDot", "arrUp", "arrDown", "lblLineCap"}) Window().Array(array).Item(n)->setVisible(false);
    collection_->Remove(i);
  }
}

void cLines::UpdateConntectedLines(const std::string& shapeIndex) {
  for (int32_t i = 1; i <= collection_->Count(); ++i) {
    std::shared_ptr<cLine> line = collection_->Item(i);
    if (line->sTo() == shapeIndex || line->sFrom() == shapeIndex) UpdateLine(*line);
  }
}

void cLines::UpdateLine(cLine& xLine) {
  const int16_t f = Variant(xLine.sFrom()).ToInteger();
  const int16_t t = Variant(xLine.sTo()).ToInteger();
  ControlArray& shp = Window().Array("shp");
  std::shared_ptr<WindowControl> F = shp.Item(f);
  std::shared_ptr<WindowControl> T = shp.Item(t);
  geometry::Segment s = geometry::RouteLink(geometry::Box{F->Left(), F->Top(), F->Width(), F->Height()},
                                            geometry::Box{T->Left(), T->Top(), T->Width(), T->Height()});

  WindowControl& ln = Control(xLine.objLine);
  std::shared_ptr<WindowControl> label = Window().Array("lblLineCap").Item(ln.Index());
  if (!label->Caption().empty()) {
    float cx = static_cast<float>(s.x1 + (static_cast<double>(s.x2) - s.x1) / 2);
    float cy = static_cast<float>(s.y1 + (static_cast<double>(s.y2) - s.y1) / 2);
    float left = static_cast<float>(cx - label->Width() / 2.0);
    float top = static_cast<float>(cy - label->Height() / 2.0);
    if (Moved(label->Left(), left) || Moved(label->Top(), top)) label->Move(left, top);
  }
  // An unmoved line keeps its arrow head: re-routing a step that did not
  // move only reads from the window.
  if (Moved(ln.x1(), s.x1) || Moved(ln.y1(), s.y1) || Moved(ln.x2(), s.x2) || Moved(ln.y2(), s.y2)) {
    ln.setX1(s.x1);
    ln.setY1(s.y1);
    ln.setX2(s.x2);
    ln.setY2(s.y2);
    UpdateArrowHead(xLine);
  }
}

void cLines::UpdateArrowHead(cLine& xLine) {
  WindowControl& ln = Control(xLine.objLine);
  const int16_t n = ln.Index();
  double dx = static_cast<double>(ln.x1()) - ln.x2();
  double dy = static_cast<double>(ln.y1()) - ln.y2();
  double len = std::sqrt(dx * dx + dy * dy);
  double s = 0, c = 0;
  if (len != 0) {
    s = dy / len;
    c = dx / len;
  }
  geometry::Barbs barbs = geometry::BarbDirections(s, c);

  const double ex = ln.x2(), ey = ln.y2();
  DesignerWindow& window = Window();
  std::shared_ptr<WindowControl> dot = window.Array("aDot").Item(n);
  dot->setLeft(static_cast<float>(ex - dot->Width() / 2.0));
  dot->setTop(static_cast<float>(ey - dot->Height() / 2.0));

  // The barbs start where the window now has the dot's centre, which may be
  // rounded to its own units.
  std::shared_ptr<WindowControl> up = window.Array("arrUp").Item(n);
  std::shared_ptr<WindowControl> down = window.Array("arrDown").Item(n);
  up->setX1(static_cast<float>(dot->Left() + dot->Width() / 2.0));
  up->setY1(static_cast<float>(dot->Top() + dot->Height() / 2.0));
  down->setX1(up->x1());
  down->setY1(up->y1());
  up->setX2(static_cast<float>(barbs.cosA * geometry::kBarbLength + ex));
  up->setY2(static_cast<float>(barbs.sinA * geometry::kBarbLength + ey));
  down->setX2(static_cast<float>(barbs.cosB * geometry::kBarbLength + ex));
  down->setY2(static_cast<float>(barbs.sinB * geometry::kBarbLength + ey));

  // The barbs stay placed but hidden: a link ends in a visible dot.
  up->setVisible(false);
  up->ZOrder(0);
  down->setVisible(false);
  down->ZOrder(0);
  dot->setVisible(true);
  dot->ZOrder(0);
}

}  // namespace veldrane
