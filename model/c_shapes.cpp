#include "model/c_shapes.h"

#include <utility>
#include <vector>

#include "core/checked.h"
#include "model/c_lines.h"

namespace veldrane {

namespace {

// The picture source on the window for each step type; null for a type
// that has no picture.
const char* PictureSource(int16_t type) {
  switch (type) {
    case aStart:
      return "imgStart";
    case aProcess:
      return "imgProcess";
    case aDecission:
      return "imgDecission";
    case aStorage:
      return "imgStorage";
    case aData:
      return "imgData";
    case aDocument:
      return "imgDocument";
    case aProcessPredef:
      return "imgProcessPredef";
    case aWindow:
      return "imgWindow";
    case aPoint:
      return "imgPoint";
    case aStop:
      return "imgStop";
    default:
      return nullptr;
  }
}

Payload InitialPayload(int16_t type) {
  switch (type) {
    case aDecission:
      return tDecission{};
    case aStorage:
      return tStorage{};
    case aData:
      return tData{};
    case aStop:
      return std::string();
    default:
      return std::monostate{};
  }
}

// A link end read as a number; none when the text is not a whole 16-bit number.
std::optional<int16_t> EndNumber(const std::string& end) {
  std::optional<double> value = ParseNumber(end);
  if (!value || *value != static_cast<int16_t>(*value)) return std::nullopt;
  return static_cast<int16_t>(*value);
}

}  // namespace

cShapes::cShapes() : collection_(NewCollection<std::shared_ptr<cShape>>()) {}

DesignerWindow& cShapes::Window() const {
  if (!form_) throw VbError::ObjectNotSet();
  return *form_;
}

template <class F>
void cShapes::WindowAction(F&& action) const {
  try {
    action();
  } catch (const VbError& e) {
    // Steps are made without a window by the runner and by document loads:
    // the window's part of the request is skipped. With a window, every
    // failure counts.
    if (form_ || e.number() != vberr::kObjectNotSet) throw;
  }
}

std::shared_ptr<cShape> cShapes::AddShape(int16_t ShapeType, float X, float Y, const std::string& sCaption) {
  // A designer request: a failure ends it with no step returned and is not
  // reported further. What was done stays done (MAX_SHAPE may have advanced).
  try {
    auto step = std::make_shared<cShape>();
    MAX_SHAPE = AddChecked16(MAX_SHAPE, 1);
    const int16_t n = MAX_SHAPE;
    WindowAction([&] {
      Window().Array("shp").Load(n);
      Window().Array("lblShapeCap").Load(n);
    });
    const std::string key = "k" + std::to_string(n);
    WindowAction([&] { step->objShape = Window().Array("shp").Item(n); });
    step->objType = ShapeType;
    step->Index = n;
    step->Key = key;
    step->x_ = X;
    step->y_ = Y;
    WindowAction([&] {
      std::shared_ptr<WindowControl> picture = Window().Array("shp").Item(n);
      picture->setLeft(X);
      picture->setTop(Y);
    });
    step->objElements = InitialPayload(ShapeType);
    if (const char* source = PictureSource(ShapeType)) {
      WindowAction([&] { Window().Array("shp").Item(n)->setPicture(Window().Control(source).Picture()); });
    }
    step->sCaption(sCaption);
    WindowAction([&] {
      Window().Array("shp").Item(n)->setVisible(true);
      Window().setMouseIcon("");
    });
    prev_ctl_ = curr_ctl_;
    curr_ctl_ = key;
    collection_->Add(step, key);
    if (!sCaption.empty()) WindowAction([&] { AddCaptionToShape(key, sCaption); });
    return step;
  } catch (const VbError&) {
    return nullptr;
  }
}

void cShapes::AddCaptionToShape(const std::string& skey, const std::string& sCaption) {
  std::shared_ptr<cShape> step = collection_->Item(skey);
  const int16_t n = step->Index;
  step->sCaption(sCaption);
  DesignerWindow& window = Window();
  std::shared_ptr<WindowControl> label = window.Array("lblShapeCap").Item(n);
  label->setCaption(sCaption);
  // Centred under the picture in whole units, as 16-bit numbers: a step
  // placed beyond 32767 units cannot be captioned (Overflow).
  std::shared_ptr<WindowControl> picture = window.Array("shp").Item(n);
  int16_t picture_middle = RoundToInt16(static_cast<double>(picture->Left()) + picture->Width() / 2.0);
  int16_t half_label = RoundToInt16(label->Width() / 2.0);
  label->setLeft(AddChecked16(picture_middle, -static_cast<int32_t>(half_label)));
  label->setTop(static_cast<float>(static_cast<double>(picture->Top()) + picture->Height() + 5));
  label->setVisible(!sCaption.empty());
}

bool cShapes::removeShape(int16_t Index) {
  DesignerWindow& window = Window();
  std::shared_ptr<DesignerProcess> process = window.process();
  if (!process) throw VbError::ObjectNotSet();
  std::shared_ptr<cLines> lines = process->Lines();
  if (!lines) throw VbError::ObjectNotSet();

  // Gather first, delete after: DeleteLine removes every link between the
  // same two steps at once and blanks their ends, so the pairs are taken
  // while the ends are still there.
  std::vector<std::pair<int16_t, int16_t>> pairs;
  for (const std::shared_ptr<cLine>& line : *lines->Collection()) {
    std::optional<int16_t> from = EndNumber(line->sFrom());
    std::optional<int16_t> to = EndNumber(line->sTo());
    if (!from || !to || (*from != Index && *to != Index)) continue;
    pairs.emplace_back(*from, *to);
  }
  for (const auto& [from, to] : pairs) lines->DeleteLine(from, to);

  const std::string key = getKeyByIndex(Index);
  std::shared_ptr<cShape> step = collection_->Item(key);
  if (step->objType == aStop || step->objType == aStart) {
    linkError("Cannot delete start or end object.");
    return false;
  }
  window.Array("shp").Item(Index)->setVisible(false);
  window.Array("lblShapeCap").Item(Index)->setVisible(false);
  collection_->Remove(key);
  // PrevCtl stays: removing two steps in a row leaves CurrCtl == PrevCtl.
  curr_ctl_ = prev_ctl_;
  window.Control("shpSelector").setVisible(false);
  window.Control("shpPrevious").setVisible(false);
  return true;
}

void cShapes::AddElementsToNode(const std::string& Key, const Payload& Elements) {
  std::shared_ptr<cShape> step = collection_->Item(Key);
  if (step->objType == aData) {
    const tData* incoming = std::get_if<tData>(&Elements);
    if (!incoming) throw VbError::TypeMismatch("The payload of a SOURCE step must be a tData record.");
    const tData* current = std::get_if<tData>(&step->objElements);
    // A new source makes the next read of the rows open it instead of
    // serving the rows read from the old one.
    if ((!current || current->Source != incoming->Source) && step->attachment()) step->attachment()->SourceChanged();
  }
  step->objElements = Elements;
}

int16_t cShapes::getIndexByKey(const std::string& skey) const {
  if (skey.empty()) return -1;
  std::shared_ptr<cShape> step = collection_->Item(skey);
  if (!step->objShape) throw VbError::ObjectNotSet();
  return step->objShape->Index();
}

int16_t cShapes::getPosByKey(const std::string& skey) const {
  int16_t position = 0;
  for (const std::shared_ptr<cShape>& step : *collection_) {
    position = AddChecked16(position, 1);
    if (step->Key == skey) return position;
  }
  return 0;
}

std::string cShapes::getKeyByIndex(int16_t indx) const {
  for (const std::shared_ptr<cShape>& step : *collection_) {
    if (step->Index == indx) return step->Key;
  }
  return {};
}

}  // namespace veldrane
